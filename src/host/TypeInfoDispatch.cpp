#include "host/TypeInfoDispatch.h"

#include "common/win/ComObject.h"
#include "host/ServerModule.h"

namespace mellodeck {

HRESULT TTypeInfoDispatch::Load() noexcept {
    if (FInfo)
        return S_OK;
    return win::ComBoundary([&] {
        win::ComPtr<ITypeInfo> info = ModuleTypeInfo(FIid);
        // A dual interface is described twice; calls go through its vtable half, which ITypeInfo::Invoke
        // calls slot by slot.
        win::ComPtr<ITypeInfo> calls = info;
        HREFTYPE vtable = 0;
        if (SUCCEEDED(info->GetRefTypeOfImplType(static_cast<UINT>(-1), &vtable))) {
            win::ComPtr<ITypeInfo> half;
            if (SUCCEEDED(info->GetRefTypeInfo(vtable, half.Put())) && half)
                calls = half;
        }
        FCalls = calls;
        FInfo = info;
    });
}

HRESULT TTypeInfoDispatch::GetTypeInfoCount(UINT* count) noexcept {
    if (!count)
        return E_POINTER;
    *count = 1;
    return S_OK;
}

HRESULT TTypeInfoDispatch::GetTypeInfo(UINT index, LCID, ITypeInfo** info) noexcept {
    if (!info)
        return E_POINTER;
    *info = nullptr;
    if (index != 0)
        return DISP_E_BADINDEX;
    const HRESULT hr = Load();
    return FAILED(hr) ? hr : FInfo.CopyTo(info);
}

HRESULT TTypeInfoDispatch::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) noexcept {
    if (!IsEqualIID(iid, IID_NULL))
        return DISP_E_UNKNOWNINTERFACE;
    if ((count > 0 && !names) || (count > 0 && !ids))
        return E_POINTER;
    const HRESULT hr = Load();
    return FAILED(hr) ? hr : FInfo->GetIDsOfNames(names, count, ids);
}

HRESULT TTypeInfoDispatch::Invoke(void* instance, DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params,
                                  VARIANT* result, EXCEPINFO* exception, UINT* argError) noexcept {
    if (!IsEqualIID(iid, IID_NULL))
        return DISP_E_UNKNOWNINTERFACE;
    if (!params)
        return E_INVALIDARG;
    const HRESULT hr = Load();
    if (FAILED(hr))
        return hr;
    // A property get may be asked for as a method call too; ITypeInfo::Invoke sorts out which applies.
    return FCalls->Invoke(instance, id, flags, params, result, exception, argError);
}

} // namespace mellodeck
