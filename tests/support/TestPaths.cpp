#include "TestPaths.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>

namespace fs = std::filesystem;

namespace mellodeck::test {
namespace {

fs::path FromBuildText(const std::string& linuxPath) {
#ifdef _WIN32
    // The build tree is a Linux path; Wine exposes the root file system as drive Z:.
    std::string p = "Z:" + linuxPath;
    for (char& c : p)
        if (c == '/')
            c = '\\';
    return fs::path(p);
#else
    return fs::path(linuxPath);
#endif
}

} // namespace

fs::path FixturePath(const std::string& relative) {
    std::string rel = relative;
#ifdef _WIN32
    for (char& c : rel)
        if (c == '/')
            c = '\\';
#endif
    return FromBuildText(MELLODECK_FIXTURE_DIR) / fs::path(rel);
}

std::wstring FixtureText(const std::string& relative) { return FixturePath(relative).wstring(); }

std::wstring BuildTreePath(const std::string& linuxPath) { return FromBuildText(linuxPath).wstring(); }

bool HaveFixture(const std::string& relative) {
    std::error_code ec;
    return fs::exists(FixturePath(relative), ec);
}

TempFolder::TempFolder() {
    static std::atomic<unsigned> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    fs::path base = FromBuildText(MELLODECK_BINARY_DIR) / "scratch";
    fs::create_directories(base);
    for (int attempt = 0; attempt < 100; ++attempt) {
        fs::path candidate = base / ("t" + std::to_string(stamp % 1000000007) + "_" + std::to_string(counter++));
        if (fs::create_directory(candidate)) {
            FPath = candidate;
            return;
        }
    }
    throw std::runtime_error("cannot create a scratch folder");
}

TempFolder::~TempFolder() {
    std::error_code ec;
    // Files may carry the read-only attribute after a test; make them writable before removing.
    for (auto it = fs::recursive_directory_iterator(FPath, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec))
        fs::permissions(it->path(), fs::perms::owner_write, fs::perm_options::add, ec);
    fs::remove_all(FPath, ec);
}

std::wstring TempFolder::Text(const std::string& name) const {
    return name.empty() ? FPath.wstring() : (FPath / fs::path(name)).wstring();
}

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path.string());
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

ByteVector ReadBytes(const fs::path& path) { return AsBytes(ReadAll(path)); }

void WriteBytes(const fs::path& path, const ByteVector& bytes) { WriteAll(path, AsString(bytes)); }

std::string AsString(const ByteVector& bytes) { return std::string(bytes.begin(), bytes.end()); }

ByteVector AsBytes(const std::string& bytes) { return ByteVector(bytes.begin(), bytes.end()); }

} // namespace mellodeck::test
