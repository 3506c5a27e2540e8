#pragma once
// Owner of an opened or created registry key.
#include <windows.h>

#include <string>

#include "common/win/UniqueResource.h"

namespace mellodeck::win {

struct RegKeyTraits {
    using Type = HKEY;
    static Type Empty() noexcept { return nullptr; }
    static bool IsEmpty(Type h) noexcept { return h == nullptr; }
    static void Close(Type h) noexcept { ::RegCloseKey(h); }
};

class RegKey : public UniqueResource<RegKeyTraits> {
public:
    using UniqueResource::UniqueResource;

    // RegOpenKeyExW; empty on failure, with the system error code in `error` when given.
    static RegKey Open(HKEY root, const std::wstring& path, REGSAM access, LONG* error = nullptr) {
        RegKey key;
        const LONG result = ::RegOpenKeyExW(root, path.c_str(), 0, access, key.Put());
        if (error)
            *error = result;
        if (result != ERROR_SUCCESS)
            key.Release();
        return key;
    }
    // RegCreateKeyExW of a non-volatile key (opened when it exists); empty on failure.
    static RegKey Create(HKEY root, const std::wstring& path, REGSAM access, LONG* error = nullptr) {
        RegKey key;
        const LONG result = ::RegCreateKeyExW(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr,
                                              key.Put(), nullptr);
        if (error)
            *error = result;
        if (result != ERROR_SUCCESS)
            key.Release();
        return key;
    }
};

} // namespace mellodeck::win
