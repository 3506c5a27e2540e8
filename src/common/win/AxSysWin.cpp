// Win32 face of the module, platform and registry helpers. Everything goes through the wide calls: the
// program runs on the NT line only.
#include <windows.h>

#include <cstring>
#include <iterator>
#include <vector>

#include "common/AxSys.h"
#include "common/win/RegKey.h"

extern "C" IMAGE_DOS_HEADER __ImageBase; // the module (executable or DLL) this code is linked into

namespace mellodeck {
namespace {

HKEY RootKey(RegistryRoot root) {
    switch (root) {
    case RegistryRoot::ClassesRoot:
        return HKEY_CLASSES_ROOT;
    case RegistryRoot::CurrentUser:
        return HKEY_CURRENT_USER;
    case RegistryRoot::LocalMachine:
        return HKEY_LOCAL_MACHINE;
    }
    return HKEY_CURRENT_USER;
}

// High 32 bits of a file's product version (kernel32.dll on the older line); 0 when unreadable.
uint32_t ProductVersionMS(const std::wstring& path) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0)
        return 0;
    std::vector<unsigned char> data(size);
    void* fixed = nullptr;
    UINT fixedSize = 0;
    if (!GetFileVersionInfoW(path.c_str(), 0, size, data.data()) ||
        !VerQueryValueW(data.data(), L"\\", &fixed, &fixedSize) || fixed == nullptr ||
        fixedSize < sizeof(VS_FIXEDFILEINFO))
        return 0;
    return static_cast<const VS_FIXEDFILEINFO*>(fixed)->dwProductVersionMS;
}

std::wstring SystemFolder() {
    wchar_t buffer[MAX_PATH + 1] = {};
    const UINT n = GetSystemDirectoryW(buffer, MAX_PATH + 1);
    return (n == 0 || n > MAX_PATH) ? std::wstring() : std::wstring(buffer, n);
}

} // namespace

OsVersionFacts QueryOsVersionFacts() {
    // RtlGetVersion reports the real release; GetVersionExW answers what the executable's manifest allows.
    RTL_OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    using RtlGetVersionFn = LONG(WINAPI*)(RTL_OSVERSIONINFOW*);
    bool known = false;
    if (HMODULE ntdll = GetModuleHandleW(L"ntdll.dll")) {
        auto rtlGetVersion =
            reinterpret_cast<RtlGetVersionFn>(reinterpret_cast<void (*)()>(GetProcAddress(ntdll, "RtlGetVersion")));
        known = rtlGetVersion && rtlGetVersion(&info) == 0;
    }
    if (!known) {
        OSVERSIONINFOW plain{};
        plain.dwOSVersionInfoSize = sizeof(plain);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
        known = GetVersionExW(&plain) != FALSE;
#pragma GCC diagnostic pop
        info.dwMajorVersion = plain.dwMajorVersion;
        info.dwMinorVersion = plain.dwMinorVersion;
        info.dwPlatformId = plain.dwPlatformId;
        static_assert(sizeof(info.szCSDVersion) == sizeof(plain.szCSDVersion));
        memcpy(info.szCSDVersion, plain.szCSDVersion, sizeof(info.szCSDVersion));
    }
    OsVersionFacts facts;
    if (!known)
        return facts;
    facts.Platform = info.dwPlatformId;
    facts.Major = info.dwMajorVersion;
    facts.Minor = info.dwMinorVersion;
    info.szCSDVersion[std::size(info.szCSDVersion) - 1] = 0;
    facts.ServicePack = info.szCSDVersion;
    if (facts.Platform == kPlatformWin32Windows) {
        const std::wstring system = SystemFolder();
        if (!system.empty())
            facts.KernelProductVersionMS = ProductVersionMS(system + L"\\kernel32.dll");
    }
    return facts;
}

std::wstring ModuleFileName(bool ofProcess) {
    HMODULE module = ofProcess ? nullptr : reinterpret_cast<HMODULE>(&__ImageBase);
    // Long paths are read in full rather than cut at the classic 260-character limit.
    std::vector<wchar_t> buffer(522);
    for (;;) {
        const DWORD n = GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0)
            return std::wstring();
        if (n < buffer.size())
            return std::wstring(buffer.data(), n);
        if (buffer.size() >= 32768)
            return std::wstring();
        buffer.resize(buffer.size() * 2);
    }
}

bool ReadRegistryText(RegistryRoot root, const std::wstring& keyPath, const std::wstring& valueName,
                      std::wstring& text) {
    const win::RegKey key = win::RegKey::Open(RootKey(root), keyPath, KEY_READ);
    if (!key)
        return false;
    // First the type and size, then the data into a zero-filled buffer of that size. A value that grows
    // in between is read again.
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD type = 0, size = 0;
        if (RegQueryValueExW(key.Get(), valueName.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
            type != REG_SZ)
            return false;
        // Room for an odd byte count and a terminator the stored data may lack.
        std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 2, L'\0');
        DWORD got = size;
        const LONG result = RegQueryValueExW(key.Get(), valueName.c_str(), nullptr, &type,
                                             reinterpret_cast<BYTE*>(buffer.data()), &got);
        if (result == ERROR_MORE_DATA)
            continue;
        if (result != ERROR_SUCCESS || type != REG_SZ)
            return false;
        text.assign(buffer.data()); // up to the first null character
        return true;
    }
    return false;
}

void ReadRegistryTextOrEmpty(RegistryRoot root, const std::wstring& keyPath, const std::wstring& valueName,
                             std::wstring& text) {
    if (!ReadRegistryText(root, keyPath, valueName, text))
        text.clear();
}

bool WriteRegistryText(RegistryRoot root, const std::wstring& keyPath, const std::wstring& valueName,
                       const std::wstring& text) {
    const win::RegKey key = win::RegKey::Create(RootKey(root), keyPath, KEY_READ | KEY_CREATE_SUB_KEY | KEY_SET_VALUE);
    if (!key)
        return false;
    if (text.size() >= MAXDWORD / sizeof(wchar_t))
        return false;
    const DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    return RegSetValueExW(key.Get(), valueName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          bytes) == ERROR_SUCCESS;
}

} // namespace mellodeck
