#pragma once
// Paths and file contents the tests share: generated fixtures, per-test scratch folders, whole files read
// and written as bytes. On Windows (under Wine) the Linux paths of the build tree are reached through the
// Z: drive, and returned with backslashes.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace mellodeck::test {

// Native path of a generated fixture, e.g. FixturePath("mp3/cbr128.mp3").
std::filesystem::path FixturePath(const std::string& relative);

// Same as FixturePath, as the wide text the library's own path helpers expect.
std::wstring FixtureText(const std::string& relative);

// A path of this machine given at build time (a Linux path: a built program, a capture folder), as this
// program reaches it: under Wine through drive Z: with backslashes, natively as it is.
std::wstring BuildTreePath(const std::string& linuxPath);

// True when the fixture exists; tests that need generated media skip with a message otherwise.
bool HaveFixture(const std::string& relative);

// A fresh, empty folder below the build tree, removed when the object goes away.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::filesystem::path& Path() const { return FPath; }
    // A file or folder name inside the folder, as wide text with the platform's separators.
    std::wstring Text(const std::string& name = "") const;

private:
    std::filesystem::path FPath;
};

// A file's contents as raw bytes. Tests use std::string where text-like handling is handier (building
// with +, comparing in messages) and ByteVector where the code under test takes bytes.
using ByteVector = std::vector<uint8_t>;

// Reads or writes a whole file; throws std::runtime_error when the file cannot be read or written.
std::string ReadAll(const std::filesystem::path& path);
void WriteAll(const std::filesystem::path& path, const std::string& bytes);
ByteVector ReadBytes(const std::filesystem::path& path);
void WriteBytes(const std::filesystem::path& path, const ByteVector& bytes);

// The same bytes in the other container.
std::string AsString(const ByteVector& bytes);
ByteVector AsBytes(const std::string& bytes);

} // namespace mellodeck::test
