#include "panel/win/RegistrySettingsStore.h"

#include "common/AxSys.h"
#include "common/win/RegKey.h"
#include "panel/win/WindowHotkeyRegistrar.h"

namespace mellodeck::win {

TRegistrySettingsStore::TRegistrySettingsStore(std::wstring keyPath) : FKeyPath(std::move(keyPath)) {
    InstallSystemKeyNames();
}

bool TRegistrySettingsStore::ReadNumber(const std::wstring& name, uint32_t& value) {
    const RegKey key = RegKey::Open(HKEY_CURRENT_USER, FKeyPath, KEY_QUERY_VALUE);
    if (!key)
        return false;
    DWORD type = 0;
    DWORD number = 0;
    DWORD bytes = sizeof(number);
    if (::RegQueryValueExW(key.Get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&number), &bytes) !=
            ERROR_SUCCESS ||
        type != REG_DWORD || bytes != sizeof(number))
        return false;
    value = number;
    return true;
}

bool TRegistrySettingsStore::WriteNumber(const std::wstring& name, uint32_t value) {
    const RegKey key = RegKey::Create(HKEY_CURRENT_USER, FKeyPath, KEY_SET_VALUE);
    if (!key)
        return false;
    const DWORD number = value;
    return ::RegSetValueExW(key.Get(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                            sizeof(number)) == ERROR_SUCCESS;
}

bool TRegistrySettingsStore::ReadText(const std::wstring& name, std::wstring& value) {
    return ReadRegistryText(RegistryRoot::CurrentUser, FKeyPath, name, value);
}

bool TRegistrySettingsStore::WriteText(const std::wstring& name, const std::wstring& value) {
    return WriteRegistryText(RegistryRoot::CurrentUser, FKeyPath, name, value);
}

} // namespace mellodeck::win
