#include "HostTestSupport.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "TestPaths.h"
#include "common/TextConvert.h"
#include "common/win/RegKey.h"
#include "common/win/RegistryTable.h"
#include "tools/standins/registrar/StandinRegistrar.h"

namespace mellodeck::test {

int RunRegsvr32(const std::wstring& path, bool unregister) {
    std::wstring command = L"regsvr32.exe /s ";
    if (unregister)
        command += L"/u ";
    command += L"\"" + path + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return -1;
    ::WaitForSingleObject(process.hProcess, 60000);
    DWORD code = static_cast<DWORD>(-1);
    ::GetExitCodeProcess(process.hProcess, &code);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return static_cast<int>(code);
}

TRegistrarSession::TRegistrarSession(bool registered) {
    static int counter = 0;
    wchar_t folder[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, folder);
    FLogPath = std::wstring(folder) + L"standin-registrar-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
               std::to_wstring(counter++) + L".log";
    ::DeleteFileW(FLogPath.c_str());
    win::ApplyRegistryRows({{HKEY_CURRENT_USER, standin::kRegistrarConfigKey, L"Log", FLogPath}});
    SetAddResult(S_OK);
    SetRegistered(registered);
}

TRegistrarSession::~TRegistrarSession() {
    SetRegistered(true); // the prefix's normal state for the next case
    win::RegKey key = win::RegKey::Open(HKEY_CURRENT_USER, standin::kRegistrarConfigKey, KEY_SET_VALUE);
    if (key) {
        ::RegDeleteValueW(key.Get(), L"Log");
        ::RegDeleteValueW(key.Get(), L"AddResult");
    }
    ::DeleteFileW(FLogPath.c_str());
}

void TRegistrarSession::SetAddResult(HRESULT result) {
    win::RegKey key = win::RegKey::Create(HKEY_CURRENT_USER, standin::kRegistrarConfigKey, KEY_SET_VALUE);
    const DWORD value = static_cast<DWORD>(result);
    ::RegSetValueExW(key.Get(), L"AddResult", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

void TRegistrarSession::SetRegistered(bool registered) { RunRegsvr32(RegistrarDllPath(), !registered); }

std::vector<std::wstring> TRegistrarSession::Log() const {
    std::vector<std::wstring> lines;
    std::ifstream file(std::filesystem::path(FLogPath), std::ios::binary);
    std::string line;
    while (std::getline(file, line))
        lines.push_back(Utf8ToWide(line));
    return lines;
}

void TRegistrarSession::ClearLog() { ::DeleteFileW(FLogPath.c_str()); }

THostModule::THostModule(const std::wstring& path) : FModule(::LoadLibraryW(path.c_str())) {}

THostModule::~THostModule() { Free(); }

void THostModule::Free() {
    if (FModule)
        ::FreeLibrary(FModule);
    FModule = nullptr;
}

namespace {
template <typename F> F Export(HMODULE module, const char* name) {
    return module ? reinterpret_cast<F>(reinterpret_cast<void*>(::GetProcAddress(module, name))) : nullptr;
}
} // namespace

HRESULT THostModule::Register() const {
    auto f = Export<HRESULT(STDAPICALLTYPE*)()>(FModule, "DllRegisterServer");
    return f ? f() : E_NOTIMPL;
}
HRESULT THostModule::Unregister() const {
    auto f = Export<HRESULT(STDAPICALLTYPE*)()>(FModule, "DllUnregisterServer");
    return f ? f() : E_NOTIMPL;
}
HRESULT THostModule::CanUnloadNow() const {
    auto f = Export<HRESULT(STDAPICALLTYPE*)()>(FModule, "DllCanUnloadNow");
    return f ? f() : E_NOTIMPL;
}
HRESULT THostModule::GetClassObject(REFCLSID clsid, REFIID iid, void** out) const {
    auto f = Export<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(FModule, "DllGetClassObject");
    return f ? f(clsid, iid, out) : E_NOTIMPL;
}

bool ClassesKeyExists(const std::wstring& key) {
    return static_cast<bool>(win::RegKey::Open(HKEY_CLASSES_ROOT, key, KEY_READ));
}

std::wstring ClassesValue(const std::wstring& key, const std::wstring& name, bool* found) {
    if (found)
        *found = false;
    win::RegKey k = win::RegKey::Open(HKEY_CLASSES_ROOT, key, KEY_READ);
    if (!k)
        return std::wstring();
    wchar_t buffer[2048] = {};
    DWORD size = sizeof(buffer) - sizeof(wchar_t);
    DWORD type = 0;
    if (::RegQueryValueExW(k.Get(), name.empty() ? nullptr : name.c_str(), nullptr, &type,
                           reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return std::wstring();
    if (found)
        *found = true;
    return buffer;
}

std::vector<std::wstring> ClassesKeyTree(const std::wstring& key) {
    std::vector<std::wstring> keys;
    win::RegKey k = win::RegKey::Open(HKEY_CLASSES_ROOT, key, KEY_READ);
    if (!k)
        return keys;
    keys.push_back(key);
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD length = 256;
        if (::RegEnumKeyExW(k.Get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        for (auto& sub : ClassesKeyTree(key + L"\\" + name))
            keys.push_back(sub);
    }
    std::sort(keys.begin(), keys.end());
    return keys;
}

std::wstring GuidString(REFGUID guid) { return win::GuidText(guid); }

} // namespace mellodeck::test
