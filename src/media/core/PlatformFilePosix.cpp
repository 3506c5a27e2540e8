// POSIX side of the media layer's file access (the native build). File names are UTF-8 on disk.
#include "media/core/PlatformFile.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace mellodeck {
namespace {

thread_local uint32_t tLastError = 0;

uint32_t MapErrno(int e) {
    switch (e) {
    case ENOENT: return oserr::kFileNotFound;
    case ENOTDIR: return oserr::kPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: return oserr::kAccessDenied;
    case EBADF: return oserr::kInvalidHandle;
    case ENOMEM: return oserr::kNotEnoughMemory;
    case EEXIST: return oserr::kFileExists;
    case ENOSPC: return oserr::kDiskFull;
    case EINVAL: return oserr::kInvalidParameter;
    default: return oserr::kWriteFault;
    }
}

} // namespace

PlatformFile PlatformFile::Open(const std::wstring& path, FileAccess access, FileDisposition disposition,
                                uint32_t& error) {
    PlatformFile f;
    error = 0;
    const std::string name = WideToUtf8(path);
    int flags = O_CLOEXEC;
    if (access == FileAccess::Read)
        flags |= O_RDONLY;
    else
        flags |= O_WRONLY;
    if (disposition == FileDisposition::CreateAlways)
        flags |= O_CREAT | O_TRUNC;
    int fd = ::open(name.c_str(), flags, 0644);
    if (fd < 0) {
        error = MapErrno(errno);
        tLastError = error;
        return f;
    }
    struct stat st {};
    const bool known = ::fstat(fd, &st) == 0;
    if (known && S_ISDIR(st.st_mode)) {
        ::close(fd);
        error = oserr::kAccessDenied;
        tLastError = error;
        return f;
    }
    if (known)
        f.FSizeAtOpen = static_cast<int64_t>(st.st_size);
#ifdef POSIX_FADV_SEQUENTIAL
    if (access == FileAccess::Read)
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
    f.FHandle = fd;
    return f;
}

bool PlatformFile::IsOpen() const { return FHandle >= 0; }

void PlatformFile::Close() {
    if (FHandle >= 0) {
        ::close(static_cast<int>(FHandle));
        FHandle = -1;
    }
}

int64_t PlatformFile::Read(void* buffer, size_t count) {
    if (FHandle < 0) {
        FLastError = oserr::kInvalidHandle;
        return -1;
    }
    size_t done = 0;
    auto* p = static_cast<char*>(buffer);
    while (done < count) {
        ssize_t r = ::read(static_cast<int>(FHandle), p + done, count - done);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            FLastError = MapErrno(errno);
            return -1;
        }
        if (r == 0)
            break;
        done += static_cast<size_t>(r);
    }
    return static_cast<int64_t>(done);
}

int64_t PlatformFile::ReadAt(int64_t position, void* buffer, size_t count) {
    if (FHandle < 0 || position < 0) {
        FLastError = FHandle < 0 ? oserr::kInvalidHandle : oserr::kInvalidParameter;
        return -1;
    }
    size_t done = 0;
    auto* p = static_cast<char*>(buffer);
    while (done < count) {
        ssize_t r = ::pread(static_cast<int>(FHandle), p + done, count - done, static_cast<off_t>(position + done));
        if (r < 0) {
            if (errno == EINTR)
                continue;
            FLastError = MapErrno(errno);
            return -1;
        }
        if (r == 0)
            break;
        done += static_cast<size_t>(r);
    }
    return static_cast<int64_t>(done);
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
        if (r < 0) {
            if (errno == EINTR)
                continue;
            FLastError = MapErrno(errno);
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
        FLastError = MapErrno(errno);
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
        FLastError = MapErrno(errno);
        return false;
    }
    return true;
}

bool PlatformRenameFile(const std::wstring& oldName, const std::wstring& newName) {
    const std::string from = WideToUtf8(oldName), to = WideToUtf8(newName);
    // Like the Windows move, refuse to replace an existing file: the save paths rely on that.
    struct stat st {};
    if (::lstat(to.c_str(), &st) == 0) {
        tLastError = oserr::kAlreadyExists;
        return false;
    }
    if (::rename(from.c_str(), to.c_str()) != 0) {
        tLastError = MapErrno(errno);
        return false;
    }
    return true;
}

bool PlatformDeleteFile(const std::wstring& name) {
    if (::unlink(WideToUtf8(name).c_str()) != 0) {
        tLastError = MapErrno(errno);
        return false;
    }
    return true;
}

uint32_t LastSystemError() { return tLastError; }

int64_t PlatformClusterSize(const std::wstring&) { return 4096; }

uint32_t PlatformTickCount() {
    using namespace std::chrono;
    return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void PlatformSleep(uint32_t milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

void PlatformUseDefaultThreadLocale() {}

std::string WideToAnsi(const std::wstring& text) {
    std::string out;
    out.reserve(text.size());
    for (wchar_t c : text)
        out += (static_cast<uint32_t>(c) < 0x100) ? static_cast<char>(c) : '?';
    return out;
}

std::wstring AnsiToWide(const std::string& text) {
    std::wstring out;
    out.reserve(text.size());
    for (char c : text)
        out += static_cast<wchar_t>(static_cast<unsigned char>(c));
    return out;
}

} // namespace mellodeck
