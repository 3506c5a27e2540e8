#pragma once
// The stand-in sidebar host's container: a client site with the host's display-site interface and ambient
// properties, an in-place site and frame, a top-level window the control lives in, and the few things the
// tests and the demo do with a hosted control (input, drops, captures, the About box and the options page).
// Everything the display site is told goes to the log, one line per call:
//   SetTitle <text>
//   SetSizeHint <first> <second>
//   SetTitleIcon <width>x<height> picture <n>   (n counts distinct pictures, from 1)
#include <windows.h>
#include <ocidl.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/win/ComObject.h"
#include "common/win/WindowBase.h"
#include "host/HostIds.h"

namespace mellodeck::standin {

class TSiteLog {
public:
    // Lines are kept, and appended to `path` (UTF-8) when one is given.
    void SetFile(const std::wstring& path) { FPath = path; }
    void Add(const std::wstring& line);
    const std::vector<std::wstring>& Lines() const { return FLines; }
    void Clear() { FLines.clear(); }

private:
    std::wstring FPath;
    std::vector<std::wstring> FLines;
};

class TSidebarHost;

// The site objects of one hosting: client site, in-place site and frame in one object.
class TSidebarSite final
    : public win::ComObject<IOleClientSite, win::Extends<IOleInPlaceSite, IOleWindow>,
                            win::Extends<IOleInPlaceFrame, IOleInPlaceUIWindow>,
                            win::Extends<IGoogleDesktopDisplaySite, IDispatch>> {
public:
    TSidebarSite(TSidebarHost& host, bool displaySite);
    void Detach() { FHost = nullptr; }
    // Without the display site the site is a plain ActiveX container.
    bool OffersDisplaySite() const { return FDisplaySite; }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!FDisplaySite && IsEqualIID(iid, __uuidof(IGoogleDesktopDisplaySite))) {
            if (out)
                *out = nullptr;
            return out ? E_NOINTERFACE : E_POINTER;
        }
        return ComObject::QueryInterface(iid, out);
    }

    // IOleClientSite
    HRESULT STDMETHODCALLTYPE SaveObject() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** moniker) override;
    HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** container) override;
    HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }
    // IOleWindow
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override;
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    // IOleInPlaceSite
    HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnUIActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document,
                                               LPRECT position, LPRECT clip, LPOLEINPLACEFRAMEINFO info) override;
    HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT) override { return S_OK; }
    // IOleInPlaceUIWindow, IOleInPlaceFrame
    HRESULT STDMETHODCALLTYPE GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
    HRESULT STDMETHODCALLTYPE RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
    HRESULT STDMETHODCALLTYPE SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RemoveMenus(HMENU) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetStatusText(LPCOLESTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }
    // IDispatch: the ambient properties
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                                     UINT*) override;
    // IGoogleDesktopDisplaySite: the three operations a display plug-in is known to call
    HRESULT STDMETHODCALLTYPE SetTitle(BSTR title) override;
    HRESULT STDMETHODCALLTYPE SetTitleIcon(IPicture* icon) override;
    HRESULT STDMETHODCALLTYPE SetSizeHint(LONG first, LONG second) override;
#define STANDIN_SITE_RESERVED(n) \
    HRESULT STDMETHODCALLTYPE Reserved##n() override { return E_NOTIMPL; }
    STANDIN_SITE_RESERVED(7) STANDIN_SITE_RESERVED(8) STANDIN_SITE_RESERVED(9) STANDIN_SITE_RESERVED(10)
    STANDIN_SITE_RESERVED(11) STANDIN_SITE_RESERVED(12) STANDIN_SITE_RESERVED(15) STANDIN_SITE_RESERVED(16)
    STANDIN_SITE_RESERVED(17) STANDIN_SITE_RESERVED(18) STANDIN_SITE_RESERVED(19) STANDIN_SITE_RESERVED(20)
    STANDIN_SITE_RESERVED(21) STANDIN_SITE_RESERVED(22) STANDIN_SITE_RESERVED(24)
#undef STANDIN_SITE_RESERVED

protected:
    HRESULT QueryOtherInterface(REFIID iid, void** out) override;

private:
    TSidebarHost* FHost;
    bool FDisplaySite;
};

// The sidebar's window and the control in it.
class TSidebarHost : private win::WindowBase {
public:
    explicit TSidebarHost(TSiteLog& log);
    ~TSidebarHost() override;

    // Creates the control by its class, gives it a site (with or without the display site) and activates it
    // in place at width x height in the host's window.
    HRESULT Create(REFCLSID clsid, int width, int height, bool displaySite = true);
    // Gives the control a fresh site (a second sidebar panel taking it over, say).
    HRESULT NewSite(bool displaySite = true);
    HRESULT Resize(int width, int height);
    // In-place deactivation, a null site and the last reference, in the order a container uses.
    void Release();

    IUnknown* Control() const { return FControl.Get(); }
    TSidebarSite* Site() const { return FSite.Get(); }
    HWND ControlWindow() const;
    HWND Window() const { return Handle(); }
    RECT Bounds() const { return FBounds; }
    TSiteLog& Log() { return FLog; }
    // Picture handles given as title icons, in first-seen order.
    std::vector<OLE_HANDLE> TitlePictures;

    // Input as the panel receives it from the system (client coordinates of the control's window).
    void MouseMove(int x, int y);
    void Click(int x, int y);
    // Drops files on the control at (x, y) through the drop target its window registered.
    HRESULT DropFiles(const std::vector<std::wstring>& files, int x, int y, DWORD keyState = 0);
    // The control's pixels (WM_PRINTCLIENT into a 32-bit bitmap, alpha forced to 255): BGRA rows top-down.
    bool CapturePixels(std::vector<uint32_t>& pixels, int& width, int& height) const;
    bool CapturePng(const std::wstring& path) const;

    // Runs the message loop for `milliseconds`.
    static void Pump(DWORD milliseconds);

private:
    const wchar_t* ClassName() const override { return L"Mellodeck.StandinSidebar"; }

    TSiteLog& FLog;
    win::ComPtr<IUnknown> FControl;
    win::ComPtr<TSidebarSite> FSite;
    RECT FBounds{0, 0, 0, 0};
};

// Window capture of a top-level window (a dialog) from the screen, as PNG; false when it cannot be made.
bool CaptureWindowPng(HWND window, const std::wstring& path);
// Writes BGRA pixels (top-down) as an RGBA PNG.
bool WritePng(const std::wstring& path, const std::vector<uint32_t>& pixels, int width, int height);
// The first window below `root`, at any depth, for which `match` holds; nullptr when none.
HWND FindDescendant(HWND root, const std::function<bool(HWND)>& match);
// The first window below `root` with control identifier `id`.
HWND FindControl(HWND root, int id);
// The text of tab `index` of a tab control.
std::wstring TabText(HWND tabs, int index);
// Waits up to `milliseconds` for a visible top-level dialog (#32770) of this process titled `caption` (any
// title for nullptr).
HWND WaitForDialog(const wchar_t* caption, DWORD milliseconds);

} // namespace mellodeck::standin
