// Win32 half of the file access: the wide ("W") calls throughout.
#include "common/PlatformFile.h"

#include <windows.h>

#include <algorithm>

namespace mellodeck {

namespace {

// The one CreateFileW: a failure leaves the thread's code set, and reads as kInvalidHandle should the
// system have left it at 0.
HANDLE CreateHandle(const std::wstring& path, DWORD access, DWORD sharing, DWORD disposition, DWORD attributes,
                    uint32_t& error) {
    error = 0;
    HANDLE h = CreateFileW(path.c_str(), access, sharing, nullptr, disposition, attributes, nullptr);
    if (h == INVALID_HANDLE_VALUE || h == nullptr) {
        error = GetLastError();
        if (error == 0) {
            error = oserr::kInvalidHandle;
            SetLastError(error);
        }
        return INVALID_HANDLE_VALUE;
    }
    return h;
}

} // namespace

PlatformFile PlatformFile::Open(const std::wstring& path, FileAccess access, FileDisposition disposition,
                                uint32_t& error) {
    DWORD desired = GENERIC_WRITE, share = FILE_SHARE_READ, attrs = FILE_ATTRIBUTE_ARCHIVE;
    if (access == FileAccess::Read) {
        desired = GENERIC_READ;
        share = FILE_SHARE_READ | FILE_SHARE_WRITE;
        attrs |= FILE_FLAG_SEQUENTIAL_SCAN;
    } else if (access == FileAccess::Append) {
        desired = GENERIC_READ | GENERIC_WRITE;
        attrs = FILE_ATTRIBUTE_NORMAL;
    }
    const DWORD create = disposition == FileDisposition::CreateAlways ? CREATE_ALWAYS
                         : disposition == FileDisposition::OpenAlways ? OPEN_ALWAYS
                                                                      : OPEN_EXISTING;
    PlatformFile f(reinterpret_cast<TFileHandle>(CreateHandle(path, desired, share, create, attrs, error)));
    // An existing file opened to append is continued, not overwritten from its start.
    LARGE_INTEGER zero{};
    if (f.IsOpen() && access == FileAccess::Append &&
        !SetFilePointerEx(reinterpret_cast<HANDLE>(f.FHandle), zero, nullptr, FILE_END)) {
        error = GetLastError();
        if (error == 0)
            error = ERROR_SEEK;
        f.Close();
        SetLastError(error);
    }
    return f;
}

PlatformFile PlatformFile::OpenWith(const std::wstring& path, uint32_t access, uint32_t sharing, uint32_t disposition,
                                    uint32_t attributes, uint32_t& error) {
    return PlatformFile(
        reinterpret_cast<TFileHandle>(CreateHandle(path, access, sharing, disposition, attributes, error)));
}

bool PlatformFile::IsOpen() const { return FHandle != kInvalidFileHandle && FHandle != 0; }

void PlatformFile::Close() {
    if (IsOpen()) {
        CloseHandle(reinterpret_cast<HANDLE>(FHandle));
        FHandle = kInvalidFileHandle;
    }
}

int64_t PlatformFile::Read(void* buffer, size_t count) {
    if (!IsOpen()) {
        FLastError = ERROR_INVALID_HANDLE;
        return -1;
    }
    size_t done = 0;
    auto* p = static_cast<char*>(buffer);
    while (done < count) {
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(count - done, 1u << 30));
        DWORD got = 0;
        if (!ReadFile(reinterpret_cast<HANDLE>(FHandle), p + done, chunk, &got, nullptr)) {
            FLastError = GetLastError();
            return -1;
        }
        if (got == 0)
            break;
        done += got;
    }
    return static_cast<int64_t>(done);
}

int64_t PlatformFile::ReadAt(int64_t position, void* buffer, size_t count) {
    return Seek(position) ? Read(buffer, count) : -1;
}

int64_t PlatformFile::Write(const void* buffer, size_t count) {
    if (!IsOpen()) {
        FLastError = ERROR_INVALID_HANDLE;
        return -1;
    }
    size_t done = 0;
    const auto* p = static_cast<const char*>(buffer);
    while (done < count) {
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(count - done, 1u << 30));
        DWORD put = 0;
        if (!WriteFile(reinterpret_cast<HANDLE>(FHandle), p + done, chunk, &put, nullptr) || put == 0) {
            FLastError = GetLastError();
            if (FLastError == 0)
                FLastError = ERROR_WRITE_FAULT;
            return -1;
        }
        done += put;
    }
    return static_cast<int64_t>(done);
}

bool PlatformFile::Seek(int64_t position) {
    LARGE_INTEGER li;
    li.QuadPart = position;
    if (!IsOpen() || position < 0 || !SetFilePointerEx(reinterpret_cast<HANDLE>(FHandle), li, nullptr, FILE_BEGIN)) {
        FLastError = IsOpen() ? GetLastError() : ERROR_INVALID_HANDLE;
        return false;
    }
    return true;
}

int64_t PlatformFile::Size() {
    LARGE_INTEGER li;
    if (!IsOpen() || !GetFileSizeEx(reinterpret_cast<HANDLE>(FHandle), &li))
        return -1;
    return li.QuadPart;
}

bool PlatformFile::Truncate() {
    if (!IsOpen() || !SetEndOfFile(reinterpret_cast<HANDLE>(FHandle))) {
        FLastError = GetLastError();
        return false;
    }
    return true;
}

bool PlatformRenameFile(const std::wstring& oldName, const std::wstring& newName) {
    return MoveFileW(oldName.c_str(), newName.c_str()) != 0;
}

bool PlatformDeleteFile(const std::wstring& name) { return DeleteFileW(name.c_str()) != 0; }

int64_t PlatformClusterSize(const std::wstring& path) {
    // Cached for the last drive letter asked: saves query it once per file.
    static thread_local wchar_t lastDrive = 0;
    static thread_local int64_t lastSize = 4096;
    if (path.size() < 3 || path[1] != L':' || path[2] != L'\\' || !iswalpha(path[0]))
        return 4096;
    wchar_t drive = towupper(path[0]);
    if (drive == lastDrive)
        return lastSize;
    wchar_t root[4] = {drive, L':', L'\\', 0};
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
    int64_t size = 4096;
    if (GetDiskFreeSpaceW(root, &sectorsPerCluster, &bytesPerSector, &freeClusters, &totalClusters))
        size = static_cast<int64_t>(sectorsPerCluster) * bytesPerSector;
    if (size < 512)
        size = 4096;
    lastDrive = drive;
    lastSize = size;
    return size;
}

uint32_t PlatformTickCount() { return GetTickCount(); }

void PlatformSleep(uint32_t milliseconds) { Sleep(milliseconds); }

void PlatformUseDefaultThreadLocale() { SetThreadLocale(LOCALE_SYSTEM_DEFAULT); }

} // namespace mellodeck
