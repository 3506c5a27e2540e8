#pragma once
// Paths the tests share: generated fixtures and per-test scratch folders. On Windows (under Wine) the
// Linux paths of the build tree are reached through the Z: drive, and returned with backslashes.
#include <filesystem>
#include <string>

namespace mellodeck::test {

// Native path of a generated fixture, e.g. FixturePath("mp3/cbr128.mp3").
std::filesystem::path FixturePath(const std::string& relative);

// Same as FixturePath, as the wide text the library's own path helpers expect.
std::wstring FixtureText(const std::string& relative);

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

// Reads or writes a whole file as bytes.
std::string ReadAll(const std::filesystem::path& path);
void WriteAll(const std::filesystem::path& path, const std::string& bytes);

} // namespace mellodeck::test
