#include "host/DisplayContentItem.h"

#include "common/win/Bstr.h"
#include "common/win/GdiObjects.h"
#include "host/ServerModule.h"

namespace mellodeck {
namespace {

constexpr wchar_t kItemName[] = L"TDisplayContentItem";

} // namespace

template <typename Body> HRESULT TDisplayContentItem::Guarded(Body&& body) noexcept {
    return win::ComBoundary(std::forward<Body>(body), E_UNEXPECTED,
                            {&IID_IHostContentItemHandler, L"Tracklight.TDisplayContentItem"});
}

TDisplayContentItem::TDisplayContentItem() {
    EnsureLibraryStarted();
    const HRESULT hr = ::CoCreateInstance(CLSID_HostContentItemHelper, nullptr,
                                          CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, __uuidof(IHostItemHelper),
                                          FHelper.PutVoid());
    if (FAILED(hr))
        throw win::EComError(hr, "the host's content item helper cannot be created");
    if (!FHelper)
        throw win::EComError(E_NOINTERFACE, "the host's content item helper gave no interface");
}

HRESULT TDisplayContentItem::QueryOtherInterface(REFIID iid, void** out) {
    return FHelper->QueryInterface(iid, out);
}

HRESULT TDisplayContentItem::GetTypeInfoCount(UINT* count) { return FDispatch.GetTypeInfoCount(count); }
HRESULT TDisplayContentItem::GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) {
    return FDispatch.GetTypeInfo(index, lcid, info);
}
HRESULT TDisplayContentItem::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) {
    return FDispatch.GetIDsOfNames(iid, names, count, lcid, ids);
}
HRESULT TDisplayContentItem::Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                                    VARIANT* result, EXCEPINFO* exception, UINT* argError) {
    return FDispatch.Invoke(static_cast<ITDisplayContentItem*>(this), id, iid, lcid, flags, params, result,
                            exception, argError);
}

// The host asks the item to draw itself; it writes its name. The first value is taken as a device context
// only when it is one, and the area comes from the context's own clipping box, never from an address the
// host passed (the values' meaning is the host's).
HRESULT TDisplayContentItem::DrawItem(LONG A, LONG, LONG) {
    return Guarded([&] {
        const HDC dc = reinterpret_cast<HDC>(static_cast<LONG_PTR>(A));
        const DWORD kind = dc ? ::GetObjectType(dc) : 0;
        if (kind != OBJ_DC && kind != OBJ_MEMDC)
            return;
        RECT area{};
        if (::GetClipBox(dc, &area) == ERROR)
            return;
        const int savedMode = ::SetBkMode(dc, TRANSPARENT);
        ::DrawTextW(dc, kItemName, -1, &area, DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
        ::SetBkMode(dc, savedMode);
    });
}

HRESULT TDisplayContentItem::GetHeight(LONG, LONG, LONG, LONG* Height) {
    if (!Height)
        return E_POINTER;
    *Height = kHeight;
    return S_OK;
}

HRESULT TDisplayContentItem::Reserved5() { return S_OK; }
HRESULT TDisplayContentItem::Reserved6() { return S_OK; }
HRESULT TDisplayContentItem::Reserved7(LONG, LONG, LONG, LONG) { return S_OK; }

HRESULT TDisplayContentItem::Reserved8(IUnknown** First, LONG, IUnknown** Second, VARIANT_BOOL* Flag) {
    if (First)
        *First = nullptr;
    if (Second)
        *Second = nullptr;
    if (Flag)
        *Flag = VARIANT_FALSE;
    return S_OK;
}

HRESULT TDisplayContentItem::Reserved9(LONG) { return S_OK; }
HRESULT TDisplayContentItem::Reserved10(LONG) { return S_OK; }

HRESULT TDisplayContentItem::GetFlags(LONG* Flags) {
    if (!Flags)
        return E_POINTER;
    *Flags = kFlags;
    return S_OK;
}

HRESULT TDisplayContentItem::Get_tooltip(BSTR* Tooltip) {
    if (!Tooltip)
        return E_POINTER;
    *Tooltip = nullptr;
    return Guarded([&] { return win::Bstr::FromString(L"TDisplayContentItem.Get_tooltip").CopyOut(Tooltip); });
}

HRESULT TDisplayContentItem::InterfaceSupportsErrorInfo(REFIID iid) {
    return IsEqualIID(iid, IID_IHostContentItemHandler) ? S_OK : S_FALSE;
}

} // namespace mellodeck
