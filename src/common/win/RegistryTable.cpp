#include "common/win/RegistryTable.h"

#include <cwchar>

#include "common/win/RegKey.h"

namespace mellodeck::win {
namespace {

bool IsGone(LONG error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

LONG WriteRow(const RegistryRow& row) {
    LONG error = ERROR_SUCCESS;
    RegKey key = RegKey::Create(row.Root, row.Key, KEY_SET_VALUE, &error);
    if (!key)
        return error;
    if (!row.Text)
        return ERROR_SUCCESS;
    const std::wstring& text = *row.Text;
    return ::RegSetValueExW(key.Get(), row.ValueName.empty() ? nullptr : row.ValueName.c_str(), 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(text.c_str()),
                            static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

LONG RemoveRow(const RegistryRow& row) {
    if (row.ValueName.empty())
        return RemoveRegistryKey(row.Root, row.Key);
    LONG error = ERROR_SUCCESS;
    RegKey key = RegKey::Open(row.Root, row.Key, KEY_SET_VALUE, &error);
    if (!key)
        return IsGone(error) ? ERROR_SUCCESS : error;
    error = ::RegDeleteValueW(key.Get(), row.ValueName.c_str());
    return IsGone(error) ? ERROR_SUCCESS : error;
}

} // namespace

LONG ApplyRegistryRows(const RegistryRows& rows) {
    for (const RegistryRow& row : rows) {
        const LONG error = WriteRow(row);
        if (error != ERROR_SUCCESS)
            return error;
    }
    return ERROR_SUCCESS;
}

LONG RemoveRegistryRows(const RegistryRows& rows) {
    LONG first = ERROR_SUCCESS;
    for (auto row = rows.rbegin(); row != rows.rend(); ++row) {
        const LONG error = RemoveRow(*row);
        if (first == ERROR_SUCCESS)
            first = error;
    }
    return first;
}

LONG RemoveRegistryKey(HKEY root, const std::wstring& key) {
    // RegDeleteKeyW never removes a key that has subkeys, which is what keeps keys of others in place.
    const LONG error = ::RegDeleteKeyW(root, key.c_str());
    return IsGone(error) ? ERROR_SUCCESS : error;
}

std::wstring GuidText(REFGUID guid) {
    wchar_t text[40];
    std::swprintf(text, 40, L"{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned long>(guid.Data1), guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1],
                  guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
    return text;
}

} // namespace mellodeck::win
