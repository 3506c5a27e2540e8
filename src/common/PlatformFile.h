#pragma once
// The one owner of an operating-system file: a handle with 64-bit positions, and the few whole-file
// operations the save paths need. Error codes are Windows system error codes on every platform (the POSIX
// side maps errno, see SystemError.h), because formats report them through LastError and the log writes
// them. The POSIX half is posix/PlatformFilePosix.cpp, the Win32 half win/PlatformFileWin.cpp.
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/FileUtils.h"   // TFileHandle and the Win32-valued open flags
#include "common/SystemError.h" // oserr and LastSystemError
#include "common/TextConvert.h" // WideToUtf8 and Utf8ToWide, for file names on POSIX and UTF-8 texts

namespace mellodeck {

// Read: read only, others may read and write, scanned from start to end.
// Write: write only, others may read.
// Append: read and write, others may read; an existing file is kept and written after its end (on POSIX
// every write goes to the end).
enum class FileAccess { Read, Write, Append };
// OpenAlways creates a missing file and keeps an existing one.
enum class FileDisposition { OpenExisting, CreateAlways, OpenAlways };

class PlatformFile {
public:
    PlatformFile() = default;
    // Takes ownership of a handle (kInvalidFileHandle gives a file that is not open).
    explicit PlatformFile(TFileHandle handle) : FHandle(handle) {}
    ~PlatformFile();
    PlatformFile(PlatformFile&& other) noexcept;
    PlatformFile& operator=(PlatformFile&& other) noexcept;
    PlatformFile(const PlatformFile&) = delete;
    PlatformFile& operator=(const PlatformFile&) = delete;

    // Opens a file; on failure the result is not open, and `error` and LastSystemError() hold the system
    // error code. Read access hints sequential scanning.
    static PlatformFile Open(const std::wstring& path, FileAccess access, FileDisposition disposition,
                             uint32_t& error);
    // The general open, with FileUtils.h's Win32-valued access (kGenericRead, kGenericWrite), sharing,
    // creation (kCreateNew .. kTruncateExisting) and attribute bits; failure as for Open. POSIX: sharing
    // has no equivalent and is ignored; a read-only attribute creates the file without write permission;
    // folders are refused (kAccessDenied) on both.
    static PlatformFile OpenWith(const std::wstring& path, uint32_t access, uint32_t sharing, uint32_t disposition,
                                 uint32_t attributes, uint32_t& error);

    bool IsOpen() const;
    void Close();
    TFileHandle Handle() const { return FHandle; }
    // Gives up ownership; the file is then not open here.
    TFileHandle Release();
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
    TFileHandle FHandle = kInvalidFileHandle;
    uint32_t FLastError = 0;
    int64_t FSizeAtOpen = -1;
};

// Whole-file operations. Each returns success; LastSystemError() reads the calling thread's code after a
// failure.
bool PlatformRenameFile(const std::wstring& oldName, const std::wstring& newName);
bool PlatformDeleteFile(const std::wstring& name);
// Allocation unit of the drive holding `path` (4096 when unknown or below 512).
int64_t PlatformClusterSize(const std::wstring& path);
// Milliseconds since an arbitrary start, wrapping like the system tick count.
uint32_t PlatformTickCount();
void PlatformSleep(uint32_t milliseconds);
// Sets the calling thread's locale to the system default (Windows only; nothing elsewhere).
void PlatformUseDefaultThreadLocale();

} // namespace mellodeck
