#pragma once
// The sidebar control: an ActiveX control whose window is the panel. It publishes the panel's options
// through IGoogleSideBarX, introduces itself to the host's display site when it gets its client site,
// answers the host's plug-in commands (About), names the options page, and decides for the panel what
// happens with dragged and dropped files.
#include <windows.h>
#include <ocidl.h>
#include <objsafe.h>
#include <olectl.h>

#include <memory>

#include "common/win/ComInit.h"
#include "common/win/ComObject.h"
#include "common/win/GdiObjects.h"
#include "host/HostIds.h"
#include "host/TypeInfoDispatch.h"
#include "panel/GoogleSideBar.h"

// The SDK header declares the interface without its identifier for __uuidof.
#ifdef __CRT_UUID_DECL
__CRT_UUID_DECL(IObjectSafety, 0xcb5bdc81, 0x93c1, 0x11cf, 0x8f, 0x20, 0x00, 0x80, 0x5f, 0x2c, 0xd0, 0x64)
#endif

namespace mellodeck {

class TGoogleSideBarWindow;
class TEventConnectionPoint;

using win::Extends;

class TGoogleSideBarX final
    : public win::ComObject<Extends<IGoogleSideBarX, IDispatch>, IHostPluginCommands, IOleObject,
                            Extends<IOleInPlaceObject, IOleWindow>, IOleInPlaceActiveObject, IOleControl,
                            Extends<IViewObject2, IViewObject>, Extends<IPersistStreamInit, IPersist>,
                            IPersistStorage, IPersistPropertyBag, IQuickActivate, ISpecifyPropertyPages,
                            IConnectionPointContainer, IObjectSafety, IProvideClassInfo, ISupportErrorInfo> {
public:
    static constexpr const GUID* ClassId = &CLSID_GoogleSideBarX;
    // OLEMISC_SIMPLEFRAME | OLEMISC_ACTSLIKELABEL and what an in-place control adds (registered as well).
    static constexpr DWORD kMiscStatus = 205201;

    // Tests give a panel with their own player manager; the product's panel drives the player.
    TGoogleSideBarX();
    explicit TGoogleSideBarX(std::unique_ptr<TGoogleSideBarWindow> panel);
    ~TGoogleSideBarX() override;

    TGoogleSideBar& Panel();

    // ---- IDispatch over the type library
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception, UINT* argError) override;

    // ---- IGoogleSideBarX
    HRESULT STDMETHODCALLTYPE get_PositionString(BSTR* Value) override;
    HRESULT STDMETHODCALLTYPE put_PositionString(BSTR Value) override;
    HRESULT STDMETHODCALLTYPE get_Font(IFontDisp** Value) override;
    HRESULT STDMETHODCALLTYPE put_Font(IFontDisp* Value) override;
    HRESULT STDMETHODCALLTYPE putref_Font(IFontDisp* Value) override;
    HRESULT STDMETHODCALLTYPE get_Caption(BSTR* Value) override;
    HRESULT STDMETHODCALLTYPE put_Caption(BSTR Value) override;
    HRESULT STDMETHODCALLTYPE get_Mode(TxSideBarMode* Value) override;
    HRESULT STDMETHODCALLTYPE put_Mode(TxSideBarMode Value) override;
    HRESULT STDMETHODCALLTYPE get_DoubleBuffered(VARIANT_BOOL* Value) override;
    HRESULT STDMETHODCALLTYPE put_DoubleBuffered(VARIANT_BOOL Value) override;
    HRESULT STDMETHODCALLTYPE get_AlignDisabled(VARIANT_BOOL* Value) override;
    HRESULT STDMETHODCALLTYPE get_VisibleDockClientCount(LONG* Value) override;
    HRESULT STDMETHODCALLTYPE DrawTextBiDiModeFlagsReadingOnly(LONG* Value) override;
    HRESULT STDMETHODCALLTYPE get_Enabled(VARIANT_BOOL* Value) override;
    HRESULT STDMETHODCALLTYPE put_Enabled(VARIANT_BOOL Value) override;
    HRESULT STDMETHODCALLTYPE InitiateAction() override;
    HRESULT STDMETHODCALLTYPE IsRightToLeft(VARIANT_BOOL* Value) override;
    HRESULT STDMETHODCALLTYPE UseRightToLeftReading(VARIANT_BOOL* Value) override;
    HRESULT STDMETHODCALLTYPE UseRightToLeftScrollBar(VARIANT_BOOL* Value) override;
    HRESULT STDMETHODCALLTYPE get_Visible(VARIANT_BOOL* Value) override;
    HRESULT STDMETHODCALLTYPE put_Visible(VARIANT_BOOL Value) override;
    HRESULT STDMETHODCALLTYPE SetSubComponent(VARIANT_BOOL IsSubComponent) override;
    HRESULT STDMETHODCALLTYPE AboutBox() override;
    HRESULT STDMETHODCALLTYPE get_RunAlwaysMinimized(VARIANT_BOOL* Value) override;
    HRESULT STDMETHODCALLTYPE put_RunAlwaysMinimized(VARIANT_BOOL Value) override;
    HRESULT STDMETHODCALLTYPE get_ReplaceWithDropped(VARIANT_BOOL* Value) override;
    HRESULT STDMETHODCALLTYPE put_ReplaceWithDropped(VARIANT_BOOL Value) override;
    HRESULT STDMETHODCALLTYPE get_SeparateLines(VARIANT_BOOL* Value) override;
    HRESULT STDMETHODCALLTYPE put_SeparateLines(VARIANT_BOOL Value) override;
    HRESULT STDMETHODCALLTYPE get_GlobalHotkeyEnabled(VARIANT_BOOL* Value) override;
    HRESULT STDMETHODCALLTYPE put_GlobalHotkeyEnabled(VARIANT_BOOL Value) override;
    HRESULT STDMETHODCALLTYPE get_OpenHotkey(BSTR* Value) override;
    HRESULT STDMETHODCALLTYPE put_OpenHotkey(BSTR Value) override;

    // ---- IHostPluginCommands
    HRESULT STDMETHODCALLTYPE ExecuteCommand(LONG Command) override;
    HRESULT STDMETHODCALLTYPE Reserved4(LONG Value) override;
    HRESULT STDMETHODCALLTYPE Reserved5(LONG Value) override;

    // ---- IOleObject
    HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* site) override;
    HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite** site) override;
    HRESULT STDMETHODCALLTYPE SetHostNames(LPCOLESTR app, LPCOLESTR object) override;
    HRESULT STDMETHODCALLTYPE Close(DWORD saveOption) override;
    HRESULT STDMETHODCALLTYPE SetMoniker(DWORD which, IMoniker* moniker) override;
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) override;
    HRESULT STDMETHODCALLTYPE InitFromData(IDataObject* data, BOOL creation, DWORD reserved) override;
    HRESULT STDMETHODCALLTYPE GetClipboardData(DWORD reserved, IDataObject** data) override;
    HRESULT STDMETHODCALLTYPE DoVerb(LONG verb, LPMSG message, IOleClientSite* site, LONG index, HWND parent,
                                     LPCRECT bounds) override;
    HRESULT STDMETHODCALLTYPE EnumVerbs(IEnumOLEVERB** verbs) override;
    HRESULT STDMETHODCALLTYPE Update() override;
    HRESULT STDMETHODCALLTYPE IsUpToDate() override;
    HRESULT STDMETHODCALLTYPE GetUserClassID(CLSID* clsid) override;
    HRESULT STDMETHODCALLTYPE GetUserType(DWORD form, LPOLESTR* type) override;
    HRESULT STDMETHODCALLTYPE SetExtent(DWORD aspect, SIZEL* size) override;
    HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, SIZEL* size) override;
    HRESULT STDMETHODCALLTYPE Advise(IAdviseSink* sink, DWORD* cookie) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
    HRESULT STDMETHODCALLTYPE EnumAdvise(IEnumSTATDATA** advises) override;
    HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD aspect, DWORD* status) override;
    HRESULT STDMETHODCALLTYPE SetColorScheme(LOGPALETTE* palette) override;

    // ---- IOleWindow, IOleInPlaceObject, IOleInPlaceActiveObject
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override;
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL enter) override;
    HRESULT STDMETHODCALLTYPE InPlaceDeactivate() override;
    HRESULT STDMETHODCALLTYPE UIDeactivate() override;
    HRESULT STDMETHODCALLTYPE SetObjectRects(LPCRECT position, LPCRECT clip) override;
    HRESULT STDMETHODCALLTYPE ReactivateAndUndo() override;
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG message) override;
    HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL activate) override;
    HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL activate) override;
    HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window, BOOL frame) override;
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL enable) override;

    // ---- IOleControl
    HRESULT STDMETHODCALLTYPE GetControlInfo(CONTROLINFO* info) override;
    HRESULT STDMETHODCALLTYPE OnMnemonic(MSG* message) override;
    HRESULT STDMETHODCALLTYPE OnAmbientPropertyChange(DISPID id) override;
    HRESULT STDMETHODCALLTYPE FreezeEvents(BOOL freeze) override;

    // ---- IViewObject2
    HRESULT STDMETHODCALLTYPE Draw(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* device, HDC target,
                                   HDC dc, LPCRECTL bounds, LPCRECTL windowBounds, BOOL(STDMETHODCALLTYPE* cont)(ULONG_PTR),
                                   ULONG_PTR contArgument) override;
    HRESULT STDMETHODCALLTYPE GetColorSet(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* device,
                                          HDC target, LOGPALETTE** colours) override;
    HRESULT STDMETHODCALLTYPE Freeze(DWORD aspect, LONG index, void* aspectInfo, DWORD* freeze) override;
    HRESULT STDMETHODCALLTYPE Unfreeze(DWORD freeze) override;
    HRESULT STDMETHODCALLTYPE SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) override;
    HRESULT STDMETHODCALLTYPE GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) override;
    HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, LONG index, DVTARGETDEVICE* device, LPSIZEL size) override;

    // ---- IPersist, IPersistStreamInit, IPersistStorage, IPersistPropertyBag: the control keeps nothing of
    // its own (the options live with the panel), so every form of persistence stores and loads nothing.
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override;
    HRESULT STDMETHODCALLTYPE IsDirty() override;
    HRESULT STDMETHODCALLTYPE Load(LPSTREAM stream) override;
    HRESULT STDMETHODCALLTYPE Save(LPSTREAM stream, BOOL clearDirty) override;
    HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER* size) override;
    HRESULT STDMETHODCALLTYPE InitNew() override;
    HRESULT STDMETHODCALLTYPE InitNew(IStorage* storage) override;
    HRESULT STDMETHODCALLTYPE Load(IStorage* storage) override;
    HRESULT STDMETHODCALLTYPE Save(IStorage* storage, BOOL sameAsLoad) override;
    HRESULT STDMETHODCALLTYPE SaveCompleted(IStorage* storage) override;
    HRESULT STDMETHODCALLTYPE HandsOffStorage() override;
    HRESULT STDMETHODCALLTYPE Load(IPropertyBag* bag, IErrorLog* log) override;
    HRESULT STDMETHODCALLTYPE Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAll) override;

    // ---- IQuickActivate
    HRESULT STDMETHODCALLTYPE QuickActivate(QACONTAINER* container, QACONTROL* control) override;
    HRESULT STDMETHODCALLTYPE SetContentExtent(LPSIZEL size) override;
    HRESULT STDMETHODCALLTYPE GetContentExtent(LPSIZEL size) override;

    // ---- ISpecifyPropertyPages, IConnectionPointContainer, IObjectSafety, IProvideClassInfo, ISupportErrorInfo
    HRESULT STDMETHODCALLTYPE GetPages(CAUUID* pages) override;
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** points) override;
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** point) override;
    HRESULT STDMETHODCALLTYPE GetInterfaceSafetyOptions(REFIID iid, DWORD* supported, DWORD* enabled) override;
    HRESULT STDMETHODCALLTYPE SetInterfaceSafetyOptions(REFIID iid, DWORD mask, DWORD enabled) override;
    HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override;

    // ---- the panel's drag-and-drop decisions (Effect: DROPEFFECT_*; answers are HRESULT values)
    bool AcceptDrop(uint32_t Shift, uint32_t& Effect, TPoint Pt, int Mode);
    int32_t FilesDropped(uint32_t KeyState, uint32_t& Effect, TPoint Pt);

    // The event sink the host connected (IGoogleSideBarXEvents), or none.
    IDispatch* Events() const { return FEvents.Get(); }
    void SetEvents(IDispatch* sink) { FEvents = win::ComPtr<IDispatch>(sink); }

private:
    template <typename Body> HRESULT Guarded(Body&& body) noexcept;
    HRESULT GetFlag(VARIANT_BOOL* value, bool (TGoogleSideBarX::*read)());
    void ShowAbout();
    void HookPanel();
    HRESULT InPlaceActivate(LONG verb);
    void IntroduceToDisplaySite(IOleClientSite* site);
    void ViewChanged();
    HWND PanelHandle() const;

    win::OleInitScope FOle; // drag and drop and in-place activation need OLE on this thread
    std::unique_ptr<TGoogleSideBarWindow> FPanel;
    TTypeInfoDispatch FDispatch{IID_IGoogleSideBarX};

    win::ComPtr<IOleClientSite> FClientSite;
    win::ComPtr<IOleInPlaceSite> FInPlaceSite;
    win::ComPtr<IOleAdviseHolder> FOleAdvise;
    win::ComPtr<IAdviseSink> FViewAdvise;
    DWORD FViewAdviseAspects = 0, FViewAdviseFlags = 0;
    win::ComPtr<IDispatch> FEvents;                  // Events
    win::ComPtr<TEventConnectionPoint> FEventPoint;
    win::ComPtr<IGoogleDesktopDisplaySite> FDisplaySite; // DisplaySite
    win::ComPtr<IPicture> FTitlePicture;              // TitlePicture: owns the title bitmap once made
    win::GdiObject<HBITMAP> FTitleBitmap;             // TitleBitmap while no picture has taken it over
    bool FTitleBitmapLoaded = false;
    SIZEL FExtent{5292, 3969};                        // HIMETRIC, 200 x 150 pixels at 96 dpi
    RECT FPosition{0, 0, 200, 150};
    bool FInPlaceActive = false;
    bool FUIActive = false;
    bool FDoubleBuffered = true;
    bool FEnabled = true;
    bool FVisible = true;
    bool FSubComponent = false;
    DWORD FSafety = 0;
    DWORD FFreezeCount = 0;
};

} // namespace mellodeck
