// The control's ActiveX side: in-place activation with the panel as its window, drawing through the view
// interfaces, the (empty) persistence, quick activation, property pages, the event connection point and
// the safety options.
#include "host/GoogleSideBarImpl.h"

#include "host/EventConnectionPoint.h"

#include <cstring>

#include "host/ServerModule.h"
#include "panel/win/GoogleSideBarWindow.h"

namespace mellodeck {

namespace {

// Enumerates the control's one connection point.
class TConnectionPointEnum final : public win::ComObject<IEnumConnectionPoints> {
public:
    explicit TConnectionPointEnum(IConnectionPoint* point, ULONG position = 0)
        : FPoint(point), FPosition(position) {}
    HRESULT STDMETHODCALLTYPE Next(ULONG count, IConnectionPoint** points, ULONG* fetched) override {
        if (!points || (count > 1 && !fetched))
            return E_POINTER;
        ULONG got = 0;
        if (count > 0 && FPosition == 0) {
            FPoint.CopyTo(&points[0]);
            FPosition = 1;
            got = 1;
        }
        if (fetched)
            *fetched = got;
        return got == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
        if (count == 0)
            return S_OK;
        const bool had = FPosition == 0;
        FPosition = 1;
        return had && count == 1 ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reset() override {
        FPosition = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumConnectionPoints** copy) override {
        if (!copy)
            return E_POINTER;
        return win::ComBoundary(
            [&] { *copy = win::MakeComObject<TConnectionPointEnum>(FPoint.Get(), FPosition).Detach(); });
    }

private:
    win::ComPtr<IConnectionPoint> FPoint;
    ULONG FPosition;
};

// Pixels -> HIMETRIC at the screen's resolution.
LONG ToHimetric(LONG pixels, int dpi) { return MulDiv(pixels, 2540, dpi); }
int ScreenDpi(int index) {
    HDC screen = ::GetDC(nullptr);
    const int dpi = screen ? ::GetDeviceCaps(screen, index) : 96;
    if (screen)
        ::ReleaseDC(nullptr, screen);
    return dpi ? dpi : 96;
}

} // namespace

TGoogleSideBarX::~TGoogleSideBarX() {
    if (FEventPoint)
        FEventPoint->Detach();
    if (FPanel && FPanel->Handle())
        FPanel->Destroy();
    FPanel.reset();
    // FEvents, FTitlePicture (which frees the bitmap it took) and FDisplaySite go with their owners.
}

// ---- the event connection point --------------------------------------------------------------------

HRESULT TEventConnectionPoint::GetConnectionInterface(IID* iid) {
    if (!iid)
        return E_POINTER;
    *iid = DIID_IGoogleSideBarXEvents;
    return S_OK;
}

HRESULT TEventConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** container) {
    if (!container)
        return E_POINTER;
    *container = nullptr;
    if (!FControl)
        return E_UNEXPECTED;
    return FControl->QueryInterface(__uuidof(IConnectionPointContainer), reinterpret_cast<void**>(container));
}

HRESULT TEventConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
    if (!sink || !cookie)
        return E_POINTER;
    *cookie = 0;
    if (!FControl)
        return E_UNEXPECTED;
    if (FControl->Events())
        return CONNECT_E_ADVISELIMIT;
    win::ComPtr<IDispatch> events;
    HRESULT hr = sink->QueryInterface(DIID_IGoogleSideBarXEvents, events.PutVoid());
    if (FAILED(hr))
        hr = sink->QueryInterface(__uuidof(IDispatch), events.PutVoid());
    if (FAILED(hr) || !events)
        return CONNECT_E_CANNOTCONNECT;
    FControl->SetEvents(events.Get());
    *cookie = kCookie;
    return S_OK;
}

HRESULT TEventConnectionPoint::Unadvise(DWORD cookie) {
    if (!FControl || cookie != kCookie || !FControl->Events())
        return CONNECT_E_NOCONNECTION;
    FControl->SetEvents(nullptr);
    return S_OK;
}

HRESULT TEventConnectionPoint::EnumConnections(IEnumConnections** connections) {
    if (connections)
        *connections = nullptr;
    return E_NOTIMPL;
}

// ---- IOleObject ------------------------------------------------------------------------------------

HRESULT TGoogleSideBarX::SetHostNames(LPCOLESTR, LPCOLESTR) { return S_OK; }

HRESULT TGoogleSideBarX::Close(DWORD) {
    InPlaceDeactivate();
    if (FOleAdvise)
        FOleAdvise->SendOnClose();
    return S_OK;
}

HRESULT TGoogleSideBarX::SetMoniker(DWORD, IMoniker*) { return E_NOTIMPL; }
HRESULT TGoogleSideBarX::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
    if (moniker)
        *moniker = nullptr;
    return E_NOTIMPL;
}
HRESULT TGoogleSideBarX::InitFromData(IDataObject*, BOOL, DWORD) { return E_NOTIMPL; }
HRESULT TGoogleSideBarX::GetClipboardData(DWORD, IDataObject** data) {
    if (data)
        *data = nullptr;
    return E_NOTIMPL;
}

HRESULT TGoogleSideBarX::DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND, LPCRECT bounds) {
    return win::ComBoundary([&]() -> HRESULT {
        if (site && !FClientSite)
            SetClientSite(site);
        if (bounds)
            FPosition = *bounds;
        switch (verb) {
        case OLEIVERB_PRIMARY: // verb 0 is "Properties"
        case OLEIVERB_PROPERTIES: {
            IUnknown* self = Unknown();
            HWND owner = nullptr;
            if (FInPlaceSite)
                FInPlaceSite->GetWindow(&owner);
            const CLSID page = CLSID_TPropertyPageForm;
            return ::OleCreatePropertyFrame(owner, 0, 0, L"Mellodeck", 1, &self, 1, const_cast<CLSID*>(&page),
                                            ::GetUserDefaultLCID(), 0, nullptr);
        }
        case OLEIVERB_SHOW:
        case OLEIVERB_INPLACEACTIVATE:
        case OLEIVERB_UIACTIVATE:
            return InPlaceActivate(verb);
        case OLEIVERB_HIDE:
            if (const HWND window = PanelHandle())
                ::ShowWindow(window, SW_HIDE);
            return S_OK;
        case OLEIVERB_OPEN:
        case OLEIVERB_DISCARDUNDOSTATE:
            return S_OK;
        default:
            return verb < 0 ? E_NOTIMPL : OLEOBJ_S_INVALIDVERB;
        }
    });
}

HRESULT TGoogleSideBarX::InPlaceActivate(LONG verb) {
    if (!FClientSite)
        return E_UNEXPECTED;
    if (!FInPlaceActive) {
        FInPlaceSite = FClientSite.As<IOleInPlaceSite>();
        if (!FInPlaceSite)
            return E_NOINTERFACE;
        if (FInPlaceSite->CanInPlaceActivate() != S_OK)
            return E_FAIL;
        FInPlaceSite->OnInPlaceActivate();
        HWND parent = nullptr;
        FInPlaceSite->GetWindow(&parent);
        win::ComPtr<IOleInPlaceFrame> frame;
        win::ComPtr<IOleInPlaceUIWindow> document;
        RECT position = FPosition, clip = FPosition;
        OLEINPLACEFRAMEINFO frameInfo{};
        frameInfo.cb = sizeof(frameInfo);
        if (SUCCEEDED(FInPlaceSite->GetWindowContext(frame.Put(), document.Put(), &position, &clip, &frameInfo)))
            FPosition = position;
        if (!FPanel->Create(parent, FPosition)) {
            FInPlaceSite->OnInPlaceDeactivate();
            return E_FAIL;
        }
        ::EnableWindow(FPanel->Handle(), FEnabled);
        if (!FVisible)
            ::ShowWindow(FPanel->Handle(), SW_HIDE);
        FInPlaceActive = true;
    }
    if (verb == OLEIVERB_UIACTIVATE && !FUIActive) {
        FUIActive = true;
        FInPlaceSite->OnUIActivate();
        ::SetFocus(FPanel->Handle());
    }
    return S_OK;
}

HRESULT TGoogleSideBarX::EnumVerbs(IEnumOLEVERB** verbs) {
    if (!verbs)
        return E_POINTER;
    return ::OleRegEnumVerbs(CLSID_GoogleSideBarX, verbs);
}

HRESULT TGoogleSideBarX::Update() { return S_OK; }
HRESULT TGoogleSideBarX::IsUpToDate() { return S_OK; }

HRESULT TGoogleSideBarX::GetUserClassID(CLSID* clsid) {
    if (!clsid)
        return E_POINTER;
    *clsid = CLSID_GoogleSideBarX;
    return S_OK;
}

HRESULT TGoogleSideBarX::GetUserType(DWORD form, LPOLESTR* type) {
    if (!type)
        return E_POINTER;
    return ::OleRegGetUserType(CLSID_GoogleSideBarX, form, type);
}

HRESULT TGoogleSideBarX::SetExtent(DWORD aspect, SIZEL* size) {
    if (!size)
        return E_POINTER;
    if (aspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    FExtent = *size;
    return S_OK;
}

HRESULT TGoogleSideBarX::GetExtent(DWORD aspect, SIZEL* size) {
    if (!size)
        return E_POINTER;
    if (aspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    *size = FExtent;
    return S_OK;
}

HRESULT TGoogleSideBarX::Advise(IAdviseSink* sink, DWORD* cookie) {
    if (!sink || !cookie)
        return E_POINTER;
    return FOleAdvise->Advise(sink, cookie);
}
HRESULT TGoogleSideBarX::Unadvise(DWORD cookie) { return FOleAdvise->Unadvise(cookie); }
HRESULT TGoogleSideBarX::EnumAdvise(IEnumSTATDATA** advises) {
    if (!advises)
        return E_POINTER;
    return FOleAdvise->EnumAdvise(advises);
}

HRESULT TGoogleSideBarX::GetMiscStatus(DWORD, DWORD* status) {
    if (!status)
        return E_POINTER;
    *status = kMiscStatus;
    return S_OK;
}

HRESULT TGoogleSideBarX::SetColorScheme(LOGPALETTE*) { return E_NOTIMPL; }

// ---- IOleWindow, IOleInPlaceObject, IOleInPlaceActiveObject ------------------------------------------

HRESULT TGoogleSideBarX::GetWindow(HWND* window) {
    if (!window)
        return E_POINTER;
    *window = PanelHandle();
    return *window ? S_OK : E_FAIL;
}

HRESULT TGoogleSideBarX::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }

HRESULT TGoogleSideBarX::InPlaceDeactivate() {
    if (!FInPlaceActive)
        return S_OK;
    UIDeactivate();
    FInPlaceActive = false;
    if (FPanel && FPanel->Handle())
        FPanel->Destroy();
    if (FInPlaceSite)
        FInPlaceSite->OnInPlaceDeactivate();
    return S_OK;
}

HRESULT TGoogleSideBarX::UIDeactivate() {
    if (!FUIActive)
        return S_OK;
    FUIActive = false;
    if (FInPlaceSite)
        FInPlaceSite->OnUIDeactivate(FALSE);
    return S_OK;
}

HRESULT TGoogleSideBarX::SetObjectRects(LPCRECT position, LPCRECT) {
    if (!position)
        return E_POINTER;
    FPosition = *position;
    const int dx = ScreenDpi(LOGPIXELSX), dy = ScreenDpi(LOGPIXELSY);
    FExtent = {ToHimetric(position->right - position->left, dx), ToHimetric(position->bottom - position->top, dy)};
    if (const HWND window = PanelHandle())
        ::MoveWindow(window, position->left, position->top, position->right - position->left,
                     position->bottom - position->top, TRUE);
    return S_OK;
}

HRESULT TGoogleSideBarX::ReactivateAndUndo() { return E_NOTIMPL; }
HRESULT TGoogleSideBarX::TranslateAccelerator(LPMSG) { return S_FALSE; }
HRESULT TGoogleSideBarX::OnFrameWindowActivate(BOOL) { return S_OK; }
HRESULT TGoogleSideBarX::OnDocWindowActivate(BOOL) { return S_OK; }
HRESULT TGoogleSideBarX::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) { return S_OK; }
HRESULT TGoogleSideBarX::EnableModeless(BOOL) { return S_OK; }

// ---- IOleControl -----------------------------------------------------------------------------------

HRESULT TGoogleSideBarX::GetControlInfo(CONTROLINFO* info) {
    if (!info)
        return E_POINTER;
    info->cb = sizeof(CONTROLINFO);
    info->hAccel = nullptr;
    info->cAccel = 0;
    info->dwFlags = 0;
    return S_OK;
}

HRESULT TGoogleSideBarX::OnMnemonic(MSG*) { return E_NOTIMPL; }
HRESULT TGoogleSideBarX::OnAmbientPropertyChange(DISPID) { return S_OK; }

HRESULT TGoogleSideBarX::FreezeEvents(BOOL freeze) {
    if (freeze)
        ++FFreezeCount;
    else if (FFreezeCount > 0)
        --FFreezeCount;
    return S_OK;
}

// ---- IViewObject2 ----------------------------------------------------------------------------------

HRESULT TGoogleSideBarX::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc, LPCRECTL bounds, LPCRECTL,
                              BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) {
    if (aspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    if (!dc)
        return E_INVALIDARG;
    return win::ComBoundary([&] {
        RECT area = bounds ? RECT{bounds->left, bounds->top, bounds->right, bounds->bottom} : FPosition;
        if (!bounds)
            ::OffsetRect(&area, -area.left, -area.top);
        if (PanelHandle()) {
            FPanel->PaintTo(dc, area);
        } else {
            // Not active: the panel's background only.
            HBRUSH brush = ::CreateSolidBrush(RGB(250, 250, 250));
            ::FillRect(dc, &area, brush);
            ::DeleteObject(brush);
        }
    });
}

HRESULT TGoogleSideBarX::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** colours) {
    if (colours)
        *colours = nullptr;
    return S_FALSE;
}

HRESULT TGoogleSideBarX::Freeze(DWORD, LONG, void*, DWORD* freeze) {
    if (freeze)
        *freeze = 0;
    return E_NOTIMPL;
}

HRESULT TGoogleSideBarX::Unfreeze(DWORD) { return E_NOTIMPL; }

HRESULT TGoogleSideBarX::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) {
    FViewAdvise = win::ComPtr<IAdviseSink>(sink);
    FViewAdviseAspects = aspects;
    FViewAdviseFlags = flags;
    return S_OK;
}

HRESULT TGoogleSideBarX::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) {
    if (aspects)
        *aspects = FViewAdviseAspects;
    if (flags)
        *flags = FViewAdviseFlags;
    if (sink)
        FViewAdvise.CopyTo(sink);
    return S_OK;
}

void TGoogleSideBarX::ViewChanged() {
    if (FViewAdvise)
        FViewAdvise->OnViewChange(DVASPECT_CONTENT, -1);
}

HRESULT TGoogleSideBarX::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) {
    return GetExtent(aspect, size);
}

// ---- persistence: nothing of the control's own to keep ----------------------------------------------

HRESULT TGoogleSideBarX::GetClassID(CLSID* clsid) { return GetUserClassID(clsid); }
HRESULT TGoogleSideBarX::IsDirty() { return S_FALSE; }
HRESULT TGoogleSideBarX::Load(LPSTREAM stream) { return stream ? S_OK : E_POINTER; }
HRESULT TGoogleSideBarX::Save(LPSTREAM stream, BOOL) { return stream ? S_OK : E_POINTER; }
HRESULT TGoogleSideBarX::GetSizeMax(ULARGE_INTEGER* size) {
    if (!size)
        return E_POINTER;
    size->QuadPart = 0;
    return S_OK;
}
HRESULT TGoogleSideBarX::InitNew() { return S_OK; }
HRESULT TGoogleSideBarX::InitNew(IStorage* storage) { return storage ? S_OK : E_POINTER; }
HRESULT TGoogleSideBarX::Load(IStorage* storage) { return storage ? S_OK : E_POINTER; }
HRESULT TGoogleSideBarX::Save(IStorage* storage, BOOL) { return storage ? S_OK : E_POINTER; }
HRESULT TGoogleSideBarX::SaveCompleted(IStorage*) { return S_OK; }
HRESULT TGoogleSideBarX::HandsOffStorage() { return S_OK; }
HRESULT TGoogleSideBarX::Load(IPropertyBag* bag, IErrorLog*) { return bag ? S_OK : E_POINTER; }
HRESULT TGoogleSideBarX::Save(IPropertyBag* bag, BOOL, BOOL) { return bag ? S_OK : E_POINTER; }

// ---- IQuickActivate --------------------------------------------------------------------------------

HRESULT TGoogleSideBarX::QuickActivate(QACONTAINER* container, QACONTROL* control) {
    if (!container || !control)
        return E_POINTER;
    if (container->cbSize < sizeof(QACONTAINER) || control->cbSize < sizeof(QACONTROL))
        return E_INVALIDARG;
    return win::ComBoundary([&] {
        SetClientSite(container->pClientSite);
        if (container->pAdviseSink)
            SetAdvise(DVASPECT_CONTENT, 0, container->pAdviseSink);
        DWORD cookie = 0;
        if (container->pUnkEventSink) {
            win::ComPtr<IConnectionPoint> point;
            if (SUCCEEDED(FindConnectionPoint(DIID_IGoogleSideBarXEvents, point.Put())))
                point->Advise(container->pUnkEventSink, &cookie);
        }
        control->dwMiscStatus = kMiscStatus;
        control->dwViewStatus = VIEWSTATUS_OPAQUE;
        control->dwEventCookie = cookie;
        control->dwPropNotifyCookie = 0;
        control->dwPointerActivationPolicy = 0;
    });
}

HRESULT TGoogleSideBarX::SetContentExtent(LPSIZEL size) { return SetExtent(DVASPECT_CONTENT, size); }
HRESULT TGoogleSideBarX::GetContentExtent(LPSIZEL size) { return GetExtent(DVASPECT_CONTENT, size); }

// ---- pages, connection points, safety, class information, error information ----------------------

HRESULT TGoogleSideBarX::GetPages(CAUUID* pages) {
    if (!pages)
        return E_POINTER;
    pages->cElems = 0;
    pages->pElems = static_cast<GUID*>(::CoTaskMemAlloc(sizeof(GUID)));
    if (!pages->pElems)
        return E_OUTOFMEMORY;
    pages->pElems[0] = CLSID_TPropertyPageForm;
    pages->cElems = 1;
    return S_OK;
}

HRESULT TGoogleSideBarX::FindConnectionPoint(REFIID iid, IConnectionPoint** point) {
    if (!point)
        return E_POINTER;
    *point = nullptr;
    if (!IsEqualIID(iid, DIID_IGoogleSideBarXEvents))
        return CONNECT_E_NOCONNECTION;
    return win::ComBoundary([&] {
        if (!FEventPoint)
            FEventPoint = win::MakeComObject<TEventConnectionPoint>(this);
        *point = FEventPoint.Get();
        (*point)->AddRef();
    });
}

HRESULT TGoogleSideBarX::EnumConnectionPoints(IEnumConnectionPoints** points) {
    if (!points)
        return E_POINTER;
    *points = nullptr;
    return win::ComBoundary([&] {
        win::ComPtr<IConnectionPoint> point;
        win::ThrowIfFailed(FindConnectionPoint(DIID_IGoogleSideBarXEvents, point.Put()));
        *points = win::MakeComObject<TConnectionPointEnum>(point.Get()).Detach();
    });
}

namespace {
constexpr DWORD kSafetyOptions = INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA;
} // namespace

HRESULT TGoogleSideBarX::GetInterfaceSafetyOptions(REFIID iid, DWORD* supported, DWORD* enabled) {
    if (!supported || !enabled)
        return E_POINTER;
    win::ComPtr<IUnknown> probe;
    if (FAILED(QueryInterface(iid, probe.PutVoid()))) {
        *supported = 0;
        *enabled = 0;
        return E_NOINTERFACE;
    }
    *supported = kSafetyOptions;
    *enabled = FSafety;
    return S_OK;
}

HRESULT TGoogleSideBarX::SetInterfaceSafetyOptions(REFIID iid, DWORD mask, DWORD enabled) {
    win::ComPtr<IUnknown> probe;
    if (FAILED(QueryInterface(iid, probe.PutVoid())))
        return E_NOINTERFACE;
    FSafety = mask & enabled & kSafetyOptions;
    return S_OK;
}

HRESULT TGoogleSideBarX::GetClassInfo(ITypeInfo** info) {
    if (!info)
        return E_POINTER;
    *info = nullptr;
    return win::ComBoundary([&] { return ModuleTypeInfo(CLSID_GoogleSideBarX).CopyTo(info); });
}

HRESULT TGoogleSideBarX::InterfaceSupportsErrorInfo(REFIID iid) {
    return IsEqualIID(iid, IID_IGoogleSideBarX) ? S_OK : S_FALSE;
}

} // namespace mellodeck
