#pragma once
// Owners of kernel handles and loaded modules, and the last-error guard.
#include <windows.h>

#include <string>

#include "common/PlatformFile.h"
#include "common/win/UniqueResource.h"

namespace mellodeck::win {

// Kernel objects report failure as NULL (events, mutexes, processes) or INVALID_HANDLE_VALUE (files);
// both mean "nothing to close".
struct KernelHandleTraits {
    using Type = HANDLE;
    static Type Empty() noexcept { return nullptr; }
    static bool IsEmpty(Type h) noexcept { return h == nullptr || h == INVALID_HANDLE_VALUE; }
    static void Close(Type h) noexcept { ::CloseHandle(h); }
};

// Files read as INVALID_HANDLE_VALUE when empty, the way CreateFileW reports failure.
struct FileHandleTraits {
    using Type = HANDLE;
    static Type Empty() noexcept { return INVALID_HANDLE_VALUE; }
    static bool IsEmpty(Type h) noexcept { return h == nullptr || h == INVALID_HANDLE_VALUE; }
    static void Close(Type h) noexcept { ::CloseHandle(h); }
};

struct ModuleTraits {
    using Type = HMODULE;
    static Type Empty() noexcept { return nullptr; }
    static bool IsEmpty(Type h) noexcept { return h == nullptr; }
    static void Close(Type h) noexcept { ::FreeLibrary(h); }
};

using UniqueHandle = UniqueResource<KernelHandleTraits>;
using UniqueFileHandle = UniqueResource<FileHandleTraits>;

// A library loaded by this owner and freed with it.
class ModuleHandle : public UniqueResource<ModuleTraits> {
public:
    using UniqueResource::UniqueResource;
    // LoadLibraryW; empty when loading fails (GetLastError tells why).
    static ModuleHandle Load(const std::wstring& name) { return ModuleHandle(::LoadLibraryW(name.c_str())); }
};

// PlatformFile::OpenWith, its handle with a Win32 owner; empty on failure (GetLastError tells why).
inline UniqueFileHandle OpenUniqueFile(const std::wstring& path, DWORD access, DWORD sharing, DWORD disposition,
                                       DWORD attributes) {
    uint32_t error = 0;
    PlatformFile file = PlatformFile::OpenWith(path, access, sharing, disposition, attributes, error);
    return UniqueFileHandle(reinterpret_cast<HANDLE>(file.Release()));
}

// Keeps the calling thread's last-error code across cleanup code that may change it.
class LastErrorGuard {
public:
    LastErrorGuard() noexcept : FError(::GetLastError()) {}
    ~LastErrorGuard() { ::SetLastError(FError); }
    LastErrorGuard(const LastErrorGuard&) = delete;
    LastErrorGuard& operator=(const LastErrorGuard&) = delete;
    DWORD Saved() const noexcept { return FError; }

private:
    DWORD FError;
};

} // namespace mellodeck::win
