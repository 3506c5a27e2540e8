#include "OwnWinePrefix.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

namespace fs = std::filesystem;

namespace mellodeck::test {
namespace {

std::string PrefixVariable() {
    const char* value = std::getenv("WINEPREFIX");
    return value ? value : "";
}

#ifdef _WIN32
// A Linux path as a Wine program reaches it: the root file system is drive Z:.
fs::path WinePath(const std::string& linuxPath) {
    std::string p = "Z:" + linuxPath;
    for (char& c : p)
        if (c == '/')
            c = '\\';
    return fs::path(p);
}
#endif

} // namespace

bool InOwnWinePrefix() {
#ifdef _WIN32
    // The system folder this program sees is the own prefix's drive_c\windows: true only under Wine with
    // that prefix (on Windows itself drive Z: holds no such folder), however its path is spelled.
    const char* windows = std::getenv("windir");
    std::error_code ec;
    const fs::path own = WinePath(std::string(MELLODECK_BINARY_DIR) + "/wineprefix/drive_c/windows");
    const fs::path system = fs::path(windows ? windows : "C:\\windows");
    const bool same = fs::exists(own, ec) && fs::equivalent(own, system, ec) && !ec;
    // WINEPREFIX, when Wine hands it on, must agree.
    const std::string named = PrefixVariable();
    return same && (named.empty() || (fs::equivalent(WinePath(named + "/drive_c/windows"), own, ec) && !ec));
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
