#include "OwnWinePrefix.h"

#include <cstdlib>
#include <fstream>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

#include "TestPaths.h"

#ifdef _WIN32
#include <process.h>
#endif

namespace fs = std::filesystem;

namespace mellodeck::test {
namespace {

std::string PrefixVariable() {
    const char* value = std::getenv("WINEPREFIX");
    return value ? value : "";
}

} // namespace

bool InOwnWinePrefix() {
#ifdef _WIN32
    // The system folder's drive is the own prefix's drive_c when a probe written at that drive's root
    // shows up there. Compared by content rather than by file identity: Wine gives drive C: and drive Z:
    // different volume serial numbers, so the same folder reached through both never reads as one file.
    std::error_code ec;
    const fs::path own = fs::path(BuildTreePath(std::string(MELLODECK_BINARY_DIR) + "/wineprefix/drive_c"));
    if (!fs::is_directory(own, ec))
        return false;
    const char* windows = std::getenv("windir");
    const fs::path root = fs::path(windows && *windows ? windows : "C:\\windows").root_path();
    static int counter = 0;
    const std::string name = "mellodeck-prefix-probe-" + std::to_string(_getpid()) + "-" + std::to_string(++counter);
    const fs::path probe = root / name;
    {
        std::ofstream out(probe, std::ios::binary);
        out << name;
        if (!out)
            return false;
    }
    bool same = fs::exists(own / name, ec);
    // WINEPREFIX, when Wine hands it on, must name the same folder.
    const std::string named = PrefixVariable();
    if (same && !named.empty())
        same = fs::exists(fs::path(BuildTreePath(named + "/drive_c/" + name)), ec);
    fs::remove(probe, ec);
    return same;
#else
    return false;
#endif
}

void RequireOwnWinePrefix() {
    if (!InOwnWinePrefix())
        throw std::runtime_error("refusing to change this system: the test must run in the build tree's own Wine "
                                 "prefix (" MELLODECK_BINARY_DIR "/wineprefix), but WINEPREFIX is \"" +
                                 PrefixVariable() + "\"");
}

} // namespace mellodeck::test
