// POSIX half of the file access (the native build). File names are UTF-8 on disk.
#include "common/PlatformFile.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace mellodeck {
namespace {

// Reads until count bytes arrived or the file ended, retrying interrupted calls; `read(p, n, done)` is one
// system read of n bytes into p, done bytes in. Returns the count read, or -1 with `error` set.
template <typename ReadCall> int64_t ReadFully(void* buffer, size_t count, uint32_t& error, ReadCall read) {
    size_t done = 0;
    auto* p = static_cast<char*>(buffer);
    while (done < count) {
        const ssize_t r = read(p + done, count - done, done);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            error = SystemErrorFromErrno(errno);
            return -1;
        }
        if (r == 0)
            break;
        done += static_cast<size_t>(r);
    }
    return static_cast<int64_t>(done);
}

// The one place a descriptor is opened. Folders are refused the way Windows refuses them; the size found
// on the way is kept for SizeAtOpen.
PlatformFile OpenDescriptor(const std::wstring& path, int flags, mode_t mode, bool sequential, uint32_t& error,
                            int64_t& sizeAtOpen) {
    error = 0;
    sizeAtOpen = -1;
    if (path.empty())
        error = oserr::kFileNotFound;
    const int fd = error ? -1 : ::open(WideToUtf8(path).c_str(), flags | O_CLOEXEC, mode);
    if (fd < 0) {
        if (!error)
            error = SystemErrorFromErrno(errno);
        SetLastSystemError(error);
        return PlatformFile();
    }
    struct stat st {};
    const bool known = ::fstat(fd, &st) == 0;
    if (known && S_ISDIR(st.st_mode)) {
        ::close(fd);
        error = oserr::kAccessDenied;
        SetLastSystemError(error);
        return PlatformFile();
    }
    if (known)
        sizeAtOpen = static_cast<int64_t>(st.st_size);
#ifdef POSIX_FADV_SEQUENTIAL
    if (sequential)
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
#else
    (void)sequential;
#endif
    return PlatformFile(fd);
}

} // namespace

PlatformFile PlatformFile::Open(const std::wstring& path, FileAccess access, FileDisposition disposition,
                                uint32_t& error) {
    int flags = access == FileAccess::Read ? O_RDONLY : access == FileAccess::Write ? O_WRONLY : O_RDWR | O_APPEND;
    if (disposition == FileDisposition::CreateAlways)
        flags |= O_CREAT | O_TRUNC;
    else if (disposition == FileDisposition::OpenAlways)
        flags |= O_CREAT;
    // Saved media and the log are at most writable by their owner and readable by others (the umask may
    // take more away); OpenWith leaves the choice to the umask alone.
    int64_t size = -1;
    PlatformFile f = OpenDescriptor(path, flags, 0644, access == FileAccess::Read, error, size);
    f.FSizeAtOpen = size;
    return f;
}

PlatformFile PlatformFile::OpenWith(const std::wstring& path, uint32_t access, uint32_t sharing, uint32_t disposition,
                                    uint32_t attributes, uint32_t& error) {
    (void)sharing;
    const bool reading = (access & kGenericRead) != 0;
    const bool writing = (access & kGenericWrite) != 0;
    int flags = writing ? (reading ? O_RDWR : O_WRONLY) : O_RDONLY;
    switch (disposition) {
    case kCreateNew: flags |= O_CREAT | O_EXCL; break;
    case kCreateAlways: flags |= O_CREAT | O_TRUNC; break;
    case kOpenExisting: break;
    case kOpenAlways: flags |= O_CREAT; break;
    case kTruncateExisting:
        // Truncating needs write access, as on Windows.
        if (writing) {
            flags |= O_TRUNC;
            break;
        }
        [[fallthrough]];
    default:
        error = oserr::kInvalidParameter;
        SetLastSystemError(error);
        return PlatformFile();
    }
    const mode_t mode = (attributes & kFileAttributeReadOnly) ? 0444 : 0666;
    int64_t size = -1;
    PlatformFile f = OpenDescriptor(path, flags, mode, (attributes & kFileFlagSequentialScan) != 0, error, size);
    f.FSizeAtOpen = size;
    return f;
}

bool PlatformFile::IsOpen() const { return FHandle >= 0; }

void PlatformFile::Close() {
    if (FHandle >= 0) {
        ::close(static_cast<int>(FHandle));
        FHandle = kInvalidFileHandle;
    }
}

int64_t PlatformFile::Read(void* buffer, size_t count) {
    if (FHandle < 0) {
        FLastError = oserr::kInvalidHandle;
        return -1;
    }
    const int fd = static_cast<int>(FHandle);
    return ReadFully(buffer, count, FLastError, [fd](char* p, size_t n, size_t) { return ::read(fd, p, n); });
}

int64_t PlatformFile::ReadAt(int64_t position, void* buffer, size_t count) {
    if (FHandle < 0 || position < 0) {
        FLastError = FHandle < 0 ? oserr::kInvalidHandle : oserr::kInvalidParameter;
        return -1;
    }
    const int fd = static_cast<int>(FHandle);
    return ReadFully(buffer, count, FLastError, [fd, position](char* p, size_t n, size_t done) {
        return ::pread(fd, p, n, static_cast<off_t>(position + static_cast<int64_t>(done)));
    });
}

int64_t PlatformFile::Write(const void* buffer, size_t count) {
    if (FHandle < 0) {
        FLastError = oserr::kInvalidHandle;
        return -1;
    }
    size_t done = 0;
    const auto* p = static_cast<const char*>(buffer);
    while (done < count) {
        ssize_t r = ::write(static_cast<int>(FHandle), p + done, count - done);
        if (r < 0 && errno == EINTR)
            continue;
        // A write that moves nothing would never finish: a fault, as Windows reports it.
        if (r <= 0) {
            FLastError = r < 0 ? SystemErrorFromErrno(errno) : oserr::kWriteFault;
            return -1;
        }
        done += static_cast<size_t>(r);
    }
    return static_cast<int64_t>(done);
}

bool PlatformFile::Seek(int64_t position) {
    if (FHandle < 0 || position < 0) {
        FLastError = FHandle < 0 ? oserr::kInvalidHandle : oserr::kInvalidParameter;
        return false;
    }
    if (::lseek(static_cast<int>(FHandle), static_cast<off_t>(position), SEEK_SET) < 0) {
        FLastError = SystemErrorFromErrno(errno);
        return false;
    }
    return true;
}

int64_t PlatformFile::Size() {
    struct stat st {};
    if (FHandle < 0 || ::fstat(static_cast<int>(FHandle), &st) != 0)
        return -1;
    return static_cast<int64_t>(st.st_size);
}

bool PlatformFile::Truncate() {
    if (FHandle < 0)
        return false;
    off_t pos = ::lseek(static_cast<int>(FHandle), 0, SEEK_CUR);
    if (pos < 0 || ::ftruncate(static_cast<int>(FHandle), pos) != 0) {
        FLastError = SystemErrorFromErrno(errno);
        return false;
    }
    return true;
}

bool PlatformRenameFile(const std::wstring& oldName, const std::wstring& newName) {
    const std::string from = WideToUtf8(oldName), to = WideToUtf8(newName);
    // Like the Windows move, refuse to replace an existing file: the save paths rely on that.
    struct stat st {};
    if (::lstat(to.c_str(), &st) == 0) {
        SetLastSystemError(oserr::kAlreadyExists);
        return false;
    }
    if (::rename(from.c_str(), to.c_str()) != 0) {
        SetLastSystemError(SystemErrorFromErrno(errno));
        return false;
    }
    return true;
}

bool PlatformDeleteFile(const std::wstring& name) {
    if (::unlink(WideToUtf8(name).c_str()) != 0) {
        SetLastSystemError(SystemErrorFromErrno(errno));
        return false;
    }
    return true;
}

int64_t PlatformClusterSize(const std::wstring&) { return 4096; }

uint32_t PlatformTickCount() {
    using namespace std::chrono;
    return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void PlatformSleep(uint32_t milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

void PlatformUseDefaultThreadLocale() {}

} // namespace mellodeck
