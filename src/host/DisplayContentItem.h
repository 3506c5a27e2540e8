#pragma once
// A content item of the sidebar host with fixed placeholder answers. The host's helper object, created with
// the item, answers every interface the item lacks.
#include <windows.h>

#include "common/win/ComObject.h"
#include "host/HostIds.h"
#include "host/TypeInfoDispatch.h"

namespace mellodeck {

class TDisplayContentItem final
    : public win::ComObject<win::Extends<ITDisplayContentItem, IDispatch>, IHostContentItemHandler,
                            ISupportErrorInfo> {
public:
    // Creates the host's helper; throws win::EComError with the creation's HRESULT when it cannot.
    TDisplayContentItem();

    // IDispatch (the dual interface has no members of its own)
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception, UINT* argError) override;

    // IHostContentItemHandler
    HRESULT STDMETHODCALLTYPE DrawItem(LONG A, LONG B, LONG C) override;
    HRESULT STDMETHODCALLTYPE GetHeight(LONG A, LONG B, LONG C, LONG* Height) override;
    HRESULT STDMETHODCALLTYPE Reserved5() override;
    HRESULT STDMETHODCALLTYPE Reserved6() override;
    HRESULT STDMETHODCALLTYPE Reserved7(LONG A, LONG B, LONG C, LONG D) override;
    HRESULT STDMETHODCALLTYPE Reserved8(IUnknown** First, LONG B, IUnknown** Second, VARIANT_BOOL* Flag) override;
    HRESULT STDMETHODCALLTYPE Reserved9(LONG A) override;
    HRESULT STDMETHODCALLTYPE Reserved10(LONG A) override;
    HRESULT STDMETHODCALLTYPE GetFlags(LONG* Flags) override;
    HRESULT STDMETHODCALLTYPE Get_tooltip(BSTR* Tooltip) override;

    // ISupportErrorInfo
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override;

    static constexpr const GUID* ClassId = &CLSID_TDisplayContentItem;
    static constexpr LONG kHeight = 50;
    static constexpr LONG kFlags = 2;

protected:
    HRESULT QueryOtherInterface(REFIID iid, void** out) override;

private:
    template <typename Body> HRESULT Guarded(Body&& body) noexcept;

    win::ComPtr<IHostItemHelper> FHelper;
    TTypeInfoDispatch FDispatch{IID_ITDisplayContentItem};
};

} // namespace mellodeck
