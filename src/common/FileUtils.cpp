#include "common/FileUtils.h"

#include "common/UnicodeCase.h"

namespace mellodeck {
namespace {

bool SameChar(wchar_t a, wchar_t b) {
    return a == b || UnicodeUpper(a) == UnicodeUpper(b);
}

bool IsAsciiLetter(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

// "C:" alone: the current folder of a drive, which needs no creating.
bool IsDriveDesignator(const std::wstring& path) {
    return path.size() == 2 && IsAsciiLetter(path[0]) && path[1] == kDriveDelimiter;
}

// The message of the one exception ForceFolders raises. The path is narrowed character by character
// (anything outside ASCII shows as "?") because exception texts are 8-bit.
std::string FormatCannotCreate(const std::wstring& path) {
    std::string text = "Can't create folder \"";
    for (wchar_t c : path)
        text += (c > 0 && c < 0x80) ? static_cast<char>(c) : '?';
    text += "\".";
    return text;
}

} // namespace

bool ClearProtectiveAttributes(const std::wstring& path) {
    constexpr uint32_t kProtective = kFileAttributeReadOnly | kFileAttributeHidden | kFileAttributeSystem;
    const uint32_t attributes = GetAttributes(path);
    if (attributes == kInvalidFileAttributes)
        return false;
    if ((attributes & kProtective) == 0)
        return true;
    return SetAttributes(path, attributes & ~kProtective);
}

bool FolderExists(const std::wstring& path) {
    if (path == L"/")
        return false;
    const uint32_t attributes = GetAttributes(WithoutTrailingBackslash(path));
    return attributes != kInvalidFileAttributes && (attributes & kFileAttributeDirectory) != 0;
}

bool FileExists(const std::wstring& path) {
    if (path == L"/")
        return false;
    const uint32_t attributes = GetAttributes(WithoutTrailingBackslash(path));
    return attributes != kInvalidFileAttributes && (attributes & kFileAttributeDirectory) == 0;
}

std::wstring WithTrailingBackslash(const std::wstring& path) {
    if (!path.empty() && path.back() == kPathDelimiter)
        return path;
    return path + kPathDelimiter;
}

std::wstring WithoutTrailingBackslash(const std::wstring& path) {
    if (!path.empty() && path.back() == kPathDelimiter)
        return path.substr(0, path.size() - 1);
    return path;
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
    const std::wstring x = WithoutTrailingBackslash(a);
    const std::wstring y = WithoutTrailingBackslash(b);
    if (x.size() != y.size())
        return false;
    for (std::size_t i = 0; i < x.size(); ++i)
        if (!SameChar(x[i], y[i]))
            return false;
    return true;
}

bool SameTextN(const std::wstring& a, const std::wstring& b, std::size_t lengthA, std::size_t lengthB) {
    if (lengthA != lengthB || lengthA > a.size() || lengthA > b.size())
        return false;
    for (std::size_t i = 0; i < lengthA; ++i)
        if (!SameChar(a[i], b[i]))
            return false;
    return true;
}

bool IsDrivePath(const std::wstring& path) {
    return path.size() >= 3 && IsAsciiLetter(path[0]) && path[1] == kDriveDelimiter && path[2] == kPathDelimiter;
}

bool ForceFolders(const std::wstring& path) {
    if (path.empty())
        throw EFileUtils(FormatCannotCreate(path));
    const std::wstring folder = WithoutTrailingBackslash(path);
    // A root ("\", "/", "C:\", "C:") and an existing folder are done without creating anything.
    if (folder.empty() || IsDriveDesignator(folder) || FolderExists(folder))
        return true;
    const std::wstring parent = ExtractFolder(folder);
    // A name without a folder part lives in the current folder, which exists.
    if (!parent.empty() && !ForceFolders(parent))
        return false;
    return CreateFolder(folder) || FolderExists(folder);
}

std::wstring ExtractExtension(const std::wstring& path) {
    const std::size_t dot = path.rfind(L'.');
    return dot == std::wstring::npos ? std::wstring() : path.substr(dot);
}

std::wstring ExtractName(const std::wstring& path) {
    if ((path.size() == 2 || path.size() == 3) && path[1] == kDriveDelimiter)
        return std::wstring();
    const std::size_t slash = path.rfind(kPathDelimiter);
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring ExtractFolder(const std::wstring& path) {
    const wchar_t delimiters[] = {kPathDelimiter, kDriveDelimiter, 0};
    const std::size_t last = path.find_last_of(delimiters);
    return last == std::wstring::npos ? std::wstring() : path.substr(0, last);
}

} // namespace mellodeck
