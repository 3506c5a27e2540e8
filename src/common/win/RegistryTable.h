#pragma once
// Registration as data: rows of (root, key, value name, text) written in order and removed in reverse.
// A row without text only makes sure its key exists; a row with an empty value name sets the key's default
// value. Removing a row with a value name deletes that value; removing any other row deletes its key, one
// key at a time and never recursively, so a key that still holds something written by others stays.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace mellodeck::win {

struct RegistryRow {
    HKEY Root = HKEY_CLASSES_ROOT;
    std::wstring Key;
    std::wstring ValueName;            // empty: the key's default value
    std::optional<std::wstring> Text;  // nothing: key only
};

using RegistryRows = std::vector<RegistryRow>;

// Writes every row (REG_SZ values); stops at the first failure and answers its system error code
// (ERROR_SUCCESS when every row was written).
LONG ApplyRegistryRows(const RegistryRows& rows);
// Removes the rows in reverse order. A key or value that is already gone counts as removed; a failure does
// not stop the others. Answers the first failure's system error code, or ERROR_SUCCESS.
LONG RemoveRegistryRows(const RegistryRows& rows);
// Removes one key (not its subkeys); ERROR_SUCCESS also when it does not exist.
LONG RemoveRegistryKey(HKEY root, const std::wstring& key);

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in upper case.
std::wstring GuidText(REFGUID guid);

} // namespace mellodeck::win
