#pragma once
// Paths, attributes, folders and files with wide-character text.
//
// The path helpers are plain string code. Windows paths use "\" as the separator; the native (POSIX)
// build uses "/" instead (kPathDelimiter), and keeps the drive-letter rules (a letter and ":") on both
// so one set of rules serves both builds. Attribute values use the Win32 bit values on every platform;
// on POSIX only the directory and read-only bits carry meaning (see GetAttributes).
#include <cstdint>
#include <stdexcept>
#include <string>

namespace mellodeck {

#ifdef _WIN32
inline constexpr wchar_t kPathDelimiter = L'\\';
#else
inline constexpr wchar_t kPathDelimiter = L'/';
#endif
inline constexpr wchar_t kDriveDelimiter = L':';

// File attribute bits (Win32 values).
inline constexpr uint32_t kFileAttributeReadOnly = 0x00000001;
inline constexpr uint32_t kFileAttributeHidden = 0x00000002;
inline constexpr uint32_t kFileAttributeSystem = 0x00000004;
inline constexpr uint32_t kFileAttributeDirectory = 0x00000010;
inline constexpr uint32_t kFileAttributeArchive = 0x00000020;
inline constexpr uint32_t kFileAttributeNormal = 0x00000080;
inline constexpr uint32_t kInvalidFileAttributes = 0xFFFFFFFF;
// A hint beside the attributes: the file is read from start to end.
inline constexpr uint32_t kFileFlagSequentialScan = 0x08000000;

// Access, sharing and creation values for PlatformFile::OpenWith (Win32 values).
inline constexpr uint32_t kGenericRead = 0x80000000;
inline constexpr uint32_t kGenericWrite = 0x40000000;
inline constexpr uint32_t kFileShareRead = 0x00000001;
inline constexpr uint32_t kFileShareWrite = 0x00000002;
inline constexpr uint32_t kFileShareDelete = 0x00000004;
inline constexpr uint32_t kCreateNew = 1;
inline constexpr uint32_t kCreateAlways = 2;
inline constexpr uint32_t kOpenExisting = 3;
inline constexpr uint32_t kOpenAlways = 4;
inline constexpr uint32_t kTruncateExisting = 5;

// An operating-system file handle: a Win32 HANDLE on Windows, a file descriptor on POSIX. Its owner is
// PlatformFile (common/PlatformFile.h).
using TFileHandle = std::intptr_t;
inline constexpr TFileHandle kInvalidFileHandle = -1;

// Raised by ForceFolders for a path it cannot even start on.
class EFileUtils : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Creates one folder (default security / permissions). False when it fails or already exists.
bool CreateFolder(const std::wstring& path);
// Attributes of a file or folder; kInvalidFileAttributes when they cannot be read.
// POSIX: a folder reads as kFileAttributeDirectory, anything else as kFileAttributeArchive, plus
// kFileAttributeReadOnly when no write permission bit is set. Hidden and system never appear.
uint32_t GetAttributes(const std::wstring& path);
// Sets the attributes. POSIX: only the read-only bit has an effect (it removes every write permission
// bit; clearing it gives the owner write permission); the other bits are accepted and ignored.
bool SetAttributes(const std::wstring& path, uint32_t attributes);
// The file's last-write time and size folded into one comparable stamp (the time in the system's own units,
// the size beside it, so a rewrite within one tick of the clock still shows); 0 when it cannot be read.
uint64_t LastWriteStamp(const std::wstring& path);
// Removes read-only, hidden and system when any of them is set. True when nothing needed changing or
// the change succeeded; false when the attributes cannot be read or written.
bool ClearProtectiveAttributes(const std::wstring& path);
// Existence tests. Both are false for "/" and for empty text; a trailing delimiter is ignored.
bool FolderExists(const std::wstring& path);
bool FileExists(const std::wstring& path);

// Appends the delimiter unless the text already ends with one (empty text gives the delimiter alone).
std::wstring WithTrailingBackslash(const std::wstring& path);
// Removes one trailing delimiter, if present.
std::wstring WithoutTrailingBackslash(const std::wstring& path);
// Same path ignoring one trailing delimiter and letter case (Unicode upper-casing per character).
bool SamePath(const std::wstring& a, const std::wstring& b);
// Compares the first lengthA characters of both texts as SamePath does; false when the lengths differ
// or exceed either text.
bool SameTextN(const std::wstring& a, const std::wstring& b, std::size_t lengthA, std::size_t lengthB);
// At least three characters: an ASCII letter, ":" and the delimiter.
bool IsDrivePath(const std::wstring& path);
// Creates a folder and every missing parent. True when the folder exists afterwards (drive roots and
// existing folders need no call). Throws EFileUtils for an empty path.
bool ForceFolders(const std::wstring& path);
// From the last "." of the whole text to its end, dot included ("C:\a.b\file" gives ".b\file");
// empty when there is no dot.
std::wstring ExtractExtension(const std::wstring& path);
// Text after the last delimiter (all of it when there is none); empty for a drive such as "C:" or "C:\".
std::wstring ExtractName(const std::wstring& path);
// Everything before the last delimiter or ":" ("C:\dir\file" gives "C:\dir", "C:\file" gives "C:");
// empty when there is neither.
std::wstring ExtractFolder(const std::wstring& path);

} // namespace mellodeck
