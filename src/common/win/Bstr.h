#pragma once
// Owner of a BSTR (SysFreeString), and reading one that may be null (a null BSTR is the empty text).
#include <windows.h>
#include <oleauto.h>

#include <new>
#include <string>

#include "common/win/UniqueResource.h"

namespace mellodeck::win {

struct BstrTraits {
    using Type = BSTR;
    static Type Empty() noexcept { return nullptr; }
    static bool IsEmpty(Type h) noexcept { return h == nullptr; }
    static void Close(Type h) noexcept { ::SysFreeString(h); }
};

// The text of a BSTR, embedded null characters included; "" for a null BSTR.
inline std::wstring BstrText(BSTR text) {
    return text ? std::wstring(text, ::SysStringLen(text)) : std::wstring();
}

class Bstr : public UniqueResource<BstrTraits> {
public:
    using UniqueResource::UniqueResource;
    // A copy of `text` (length-counted, so embedded nulls survive). Throws std::bad_alloc when the system
    // has no memory for it.
    static Bstr FromString(const std::wstring& text) {
        BSTR value = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        if (!value)
            throw std::bad_alloc();
        return Bstr(value);
    }
    std::wstring Text() const { return BstrText(Get()); }
    UINT Length() const noexcept { return Get() ? ::SysStringLen(Get()) : 0; }
    // Hands the string to an out parameter (the caller frees it); E_POINTER for no parameter, which keeps
    // the string here.
    HRESULT CopyOut(BSTR* out) noexcept {
        if (!out)
            return E_POINTER;
        *out = Release();
        return S_OK;
    }
};

} // namespace mellodeck::win
