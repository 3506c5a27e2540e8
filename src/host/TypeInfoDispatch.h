#pragma once
// IDispatch of a dual interface answered from the module's type library: names and calls go through
// ITypeInfo, which calls the interface's own vtable, so the vtable and IDispatch::Invoke run the same code.
#include <windows.h>
#include <oaidl.h>

#include "common/win/ComPtr.h"

namespace mellodeck {

class TTypeInfoDispatch {
public:
    // The type information of interface `iid` (loaded from the module's type library on first use).
    explicit TTypeInfoDispatch(REFIID iid) noexcept : FIid(iid) {}

    HRESULT GetTypeInfoCount(UINT* count) noexcept;
    HRESULT GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) noexcept;
    HRESULT GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) noexcept;
    // `instance` is the object as the dual interface the type information describes.
    HRESULT Invoke(void* instance, DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                   VARIANT* result, EXCEPINFO* exception, UINT* argError) noexcept;

private:
    HRESULT Load() noexcept;

    IID FIid;
    win::ComPtr<ITypeInfo> FInfo;  // what GetTypeInfo hands out
    win::ComPtr<ITypeInfo> FCalls; // what Invoke calls through
};

} // namespace mellodeck
