#pragma once
// The media layer's window on the operating system's files: an owned handle with 64-bit positions and
// the few whole-file operations the save paths need. Error codes are Windows system error codes on every
// platform (the POSIX side maps errno), because formats report them through LastError.
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/TextConvert.h" // WideToUtf8 and Utf8ToWide, for file names on POSIX and UTF-8 texts

namespace mellodeck {

namespace oserr {
constexpr uint32_t kFileNotFound = 2;
constexpr uint32_t kPathNotFound = 3;
constexpr uint32_t kAccessDenied = 5;
constexpr uint32_t kInvalidHandle = 6;
constexpr uint32_t kNotEnoughMemory = 8;
constexpr uint32_t kWriteFault = 29;
constexpr uint32_t kReadFault = 30;
constexpr uint32_t kSharingViolation = 32;
constexpr uint32_t kHandleEof = 38;
constexpr uint32_t kFileExists = 80;
constexpr uint32_t kInvalidParameter = 87;
constexpr uint32_t kDiskFull = 112;
constexpr uint32_t kAlreadyExists = 183;
constexpr uint32_t kTimeout = 1460;
} // namespace oserr

enum class FileAccess { Read, Write };
enum class FileDisposition { OpenExisting, CreateAlways };

class PlatformFile {
public:
    PlatformFile() = default;
    ~PlatformFile();
    PlatformFile(PlatformFile&& other) noexcept;
    PlatformFile& operator=(PlatformFile&& other) noexcept;
    PlatformFile(const PlatformFile&) = delete;
    PlatformFile& operator=(const PlatformFile&) = delete;

    // Opens a file; on failure the result is not open and `error` holds the system error code.
    // Read access shares reading and writing with others and hints sequential scanning; write access
    // shares reading only.
    static PlatformFile Open(const std::wstring& path, FileAccess access, FileDisposition disposition,
                             uint32_t& error);

    bool IsOpen() const;
    void Close();
    // Each returns the count transferred (which may be short at the end of the file), or -1 on error
    // with LastError() set.
    int64_t Read(void* buffer, size_t count);
    int64_t Write(const void* buffer, size_t count);
    // Reads from an absolute position in one call where the system allows (the file position is then
    // left alone; elsewhere it ends after the bytes read).
    int64_t ReadAt(int64_t position, void* buffer, size_t count);
    bool Seek(int64_t position);
    int64_t Size();
    // The size the open found, where opening had to ask the system anyway (the POSIX side checks for a
    // folder); -1 otherwise. A reader that takes the size once saves a second query with it.
    int64_t SizeAtOpen() const { return FSizeAtOpen; }
    bool Truncate(); // cuts the file at the current position
    uint32_t LastError() const { return FLastError; }

private:
    intptr_t FHandle = -1;
    uint32_t FLastError = 0;
    int64_t FSizeAtOpen = -1;
};

// Whole-file operations. Each returns success; `LastSystemError` reads the calling thread's code after a
// failure.
bool PlatformRenameFile(const std::wstring& oldName, const std::wstring& newName);
bool PlatformDeleteFile(const std::wstring& name);
uint32_t LastSystemError();
// Allocation unit of the drive holding `path` (4096 when unknown or below 512).
int64_t PlatformClusterSize(const std::wstring& path);
// Milliseconds since an arbitrary start, wrapping like the system tick count.
uint32_t PlatformTickCount();
void PlatformSleep(uint32_t milliseconds);
// Sets the calling thread's locale to the system default (Windows only; nothing elsewhere).
void PlatformUseDefaultThreadLocale();

// Wide text <-> the system's 8-bit code page (Latin-1 on POSIX, the ANSI code page on Windows).
std::string WideToAnsi(const std::wstring& text);
std::wstring AnsiToWide(const std::string& text);

} // namespace mellodeck
