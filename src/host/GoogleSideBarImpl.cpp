// The control's automation members, host commands, client-site introduction and drop decisions.
#include "host/GoogleSideBarImpl.h"

#include "common/win/Bstr.h"
#include "host/About.h"
#include "host/EventConnectionPoint.h"
#include "host/ServerModule.h"
#include "panel/win/GoogleSideBarWindow.h"
#include "player/BasePlayerManager.h"

namespace mellodeck {
namespace {

VARIANT_BOOL Flag(bool value) { return value ? VARIANT_TRUE : VARIANT_FALSE; }

// The system locale reads right to left (Arabic, Hebrew, Farsi, Urdu and the like).
bool MiddleEastLocale() { return ::GetSystemMetrics(SM_MIDEASTENABLED) != 0; }

} // namespace

template <typename Body> HRESULT TGoogleSideBarX::Guarded(Body&& body) noexcept {
    return win::ComBoundary(std::forward<Body>(body), E_UNEXPECTED, {&IID_IGoogleSideBarX, L"Tracklight.GoogleSideBarX"});
}

TGoogleSideBarX::TGoogleSideBarX() : TGoogleSideBarX(nullptr) {}

TGoogleSideBarX::TGoogleSideBarX(std::unique_ptr<TGoogleSideBarWindow> panel) {
    EnsureLibraryStarted();
    FPanel = panel ? std::move(panel) : std::make_unique<TGoogleSideBarWindow>();
    HookPanel();
    // The panel drives the player once its window exists.
    FPanel->Panel().SetMode(sbmWinAmp);
    win::ThrowIfFailed(::CreateOleAdviseHolder(FOleAdvise.Put()), "no advise holder");
}

TGoogleSideBar& TGoogleSideBarX::Panel() { return FPanel->Panel(); }

HWND TGoogleSideBarX::PanelHandle() const { return FPanel ? FPanel->Handle() : nullptr; }

// The panel's Edit button does its own work first and then calls the owner, which has nothing to add.
void TGoogleSideBarX::HookPanel() {
    TGoogleSideBar& panel = FPanel->Panel();
    panel.OnEditBtnClick = [](TGoogleSideBar*) {};
    panel.OnAcceptDrop = [this](TGoogleSideBar*, uint32_t shift, uint32_t& effect, TPoint pt, int mode) {
        return AcceptDrop(shift, effect, pt, mode);
    };
    panel.OnFilesDropped = [this](TGoogleSideBar*, uint32_t keyState, uint32_t& effect, TPoint pt) {
        return FilesDropped(keyState, effect, pt);
    };
}

bool TGoogleSideBarX::AcceptDrop(uint32_t, uint32_t& Effect, TPoint, int) {
    Effect = DROPEFFECT_LINK;
    return true;
}

// Dropped files go to the player's playlist, replacing it when the option says so.
int32_t TGoogleSideBarX::FilesDropped(uint32_t, uint32_t&, TPoint) {
    return Guarded([&] {
        TGoogleSideBar& panel = Panel();
        TBasePlayerManager* manager = panel.WinAmpManager.get();
        if (!manager)
            return;
        const bool replace = panel.ReplaceWithDropped();
        if (replace) {
            manager->Stop();
            manager->ClearPlaylist();
        }
        manager->Enqueue(&panel.DroppedFiles);
        if (replace)
            manager->Play();
    });
}

// ---- IDispatch -------------------------------------------------------------------------------------

HRESULT TGoogleSideBarX::GetTypeInfoCount(UINT* count) { return FDispatch.GetTypeInfoCount(count); }
HRESULT TGoogleSideBarX::GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) {
    return FDispatch.GetTypeInfo(index, lcid, info);
}
HRESULT TGoogleSideBarX::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) {
    return FDispatch.GetIDsOfNames(iid, names, count, lcid, ids);
}
HRESULT TGoogleSideBarX::Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                                EXCEPINFO* exception, UINT* argError) {
    return FDispatch.Invoke(static_cast<IGoogleSideBarX*>(this), id, iid, lcid, flags, params, result, exception,
                            argError);
}

// ---- IGoogleSideBarX: every member under the guard; null outputs are refused before any work --------

HRESULT TGoogleSideBarX::get_PositionString(BSTR* Value) {
    if (!Value)
        return E_POINTER;
    *Value = nullptr;
    return Guarded([&] { return win::Bstr::FromString(Panel().PositionString()).CopyOut(Value); });
}

HRESULT TGoogleSideBarX::put_PositionString(BSTR Value) {
    return Guarded([&] { Panel().SetPositionString(win::BstrText(Value)); });
}

HRESULT TGoogleSideBarX::get_Font(IFontDisp** Value) {
    if (!Value)
        return E_POINTER;
    *Value = nullptr;
    return Guarded([&] {
        const LOGFONTW font = FPanel->Font();
        HDC screen = ::GetDC(nullptr);
        const int dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 96;
        if (screen)
            ::ReleaseDC(nullptr, screen);
        const int pixels = font.lfHeight < 0 ? -font.lfHeight : font.lfHeight;
        FONTDESC description{};
        description.cbSizeofstruct = sizeof(description);
        description.lpstrName = const_cast<LPOLESTR>(font.lfFaceName);
        // Points in 1/10000 units: pixels * 72 / dpi.
        description.cySize.int64 = static_cast<LONGLONG>(pixels) * 72 * 10000 / (dpi ? dpi : 96);
        description.sWeight = static_cast<SHORT>(font.lfWeight);
        description.sCharset = font.lfCharSet;
        description.fItalic = font.lfItalic;
        description.fUnderline = font.lfUnderline;
        description.fStrikethrough = font.lfStrikeOut;
        return ::OleCreateFontIndirect(&description, __uuidof(IFontDisp), reinterpret_cast<void**>(Value));
    });
}

HRESULT TGoogleSideBarX::put_Font(IFontDisp* Value) {
    if (!Value)
        return E_INVALIDARG;
    return Guarded([&]() -> HRESULT {
        win::ComPtr<IFont> font = win::ComPtr<IFontDisp>(Value).As<IFont>();
        if (!font)
            return E_INVALIDARG;
        HFONT handle = nullptr;
        win::ThrowIfFailed(font->get_hFont(&handle), "the font has no handle");
        LOGFONTW description{};
        if (!handle || !::GetObjectW(handle, sizeof(description), &description))
            return E_INVALIDARG;
        FPanel->SetFont(description);
        return S_OK;
    });
}

HRESULT TGoogleSideBarX::putref_Font(IFontDisp* Value) { return put_Font(Value); }

HRESULT TGoogleSideBarX::get_Caption(BSTR* Value) {
    if (!Value)
        return E_POINTER;
    *Value = nullptr;
    return Guarded([&] { return win::Bstr::FromString(Panel().Caption()).CopyOut(Value); });
}

HRESULT TGoogleSideBarX::put_Caption(BSTR Value) {
    return Guarded([&] { Panel().SetCaption(win::BstrText(Value)); });
}

HRESULT TGoogleSideBarX::get_Mode(TxSideBarMode* Value) {
    if (!Value)
        return E_POINTER;
    return Guarded([&] { *Value = static_cast<TxSideBarMode>(Panel().Mode()); });
}

HRESULT TGoogleSideBarX::put_Mode(TxSideBarMode Value) {
    return Guarded([&] { return Panel().SetMode(static_cast<int>(Value)) ? S_OK : E_INVALIDARG; });
}

HRESULT TGoogleSideBarX::get_DoubleBuffered(VARIANT_BOOL* Value) {
    if (!Value)
        return E_POINTER;
    *Value = Flag(FDoubleBuffered);
    return S_OK;
}

HRESULT TGoogleSideBarX::put_DoubleBuffered(VARIANT_BOOL Value) {
    FDoubleBuffered = Value != VARIANT_FALSE; // the panel always paints through its frame buffer
    return S_OK;
}

HRESULT TGoogleSideBarX::get_AlignDisabled(VARIANT_BOOL* Value) {
    if (!Value)
        return E_POINTER;
    *Value = VARIANT_FALSE; // the panel never suspends the alignment of its children
    return S_OK;
}

HRESULT TGoogleSideBarX::get_VisibleDockClientCount(LONG* Value) {
    if (!Value)
        return E_POINTER;
    *Value = 0; // nothing docks into the panel
    return S_OK;
}

// The panel reads left to right; only a right-to-left system locale with a right-to-left panel would change
// the three answers below.
HRESULT TGoogleSideBarX::DrawTextBiDiModeFlagsReadingOnly(LONG* Value) {
    if (!Value)
        return E_POINTER;
    VARIANT_BOOL reading = VARIANT_FALSE;
    UseRightToLeftReading(&reading);
    *Value = reading ? DT_RTLREADING : 0;
    return S_OK;
}

HRESULT TGoogleSideBarX::IsRightToLeft(VARIANT_BOOL* Value) {
    if (!Value)
        return E_POINTER;
    constexpr bool kPanelLeftToRight = true;
    *Value = Flag(MiddleEastLocale() && !kPanelLeftToRight);
    return S_OK;
}

HRESULT TGoogleSideBarX::UseRightToLeftReading(VARIANT_BOOL* Value) { return IsRightToLeft(Value); }

HRESULT TGoogleSideBarX::UseRightToLeftScrollBar(VARIANT_BOOL* Value) { return IsRightToLeft(Value); }

HRESULT TGoogleSideBarX::get_Enabled(VARIANT_BOOL* Value) {
    if (!Value)
        return E_POINTER;
    const HWND window = PanelHandle();
    *Value = Flag(window ? ::IsWindowEnabled(window) != FALSE : FEnabled);
    return S_OK;
}

HRESULT TGoogleSideBarX::put_Enabled(VARIANT_BOOL Value) {
    FEnabled = Value != VARIANT_FALSE;
    if (const HWND window = PanelHandle())
        ::EnableWindow(window, FEnabled);
    return S_OK;
}

HRESULT TGoogleSideBarX::InitiateAction() { return S_OK; } // the panel has no attached action

HRESULT TGoogleSideBarX::get_Visible(VARIANT_BOOL* Value) {
    if (!Value)
        return E_POINTER;
    const HWND window = PanelHandle();
    *Value = Flag(window ? (::GetWindowLongPtrW(window, GWL_STYLE) & WS_VISIBLE) != 0 : FVisible);
    return S_OK;
}

HRESULT TGoogleSideBarX::put_Visible(VARIANT_BOOL Value) {
    FVisible = Value != VARIANT_FALSE;
    if (const HWND window = PanelHandle())
        ::ShowWindow(window, FVisible ? SW_SHOWNA : SW_HIDE);
    return S_OK;
}

HRESULT TGoogleSideBarX::SetSubComponent(VARIANT_BOOL IsSubComponent) {
    FSubComponent = IsSubComponent != VARIANT_FALSE;
    return S_OK;
}

HRESULT TGoogleSideBarX::AboutBox() {
    return Guarded([&] { ShowAbout(); });
}

void TGoogleSideBarX::ShowAbout() {
    TGoogleSideBarXAbout about(true, Panel().WinAmpManager.get(), RegisteredExtensions());
    about.ShowModal();
}

#define MELLODECK_PANEL_FLAG(Name)                                                                                 \
    HRESULT TGoogleSideBarX::get_##Name(VARIANT_BOOL* Value) {                                                     \
        if (!Value)                                                                                                \
            return E_POINTER;                                                                                      \
        return Guarded([&] { *Value = Flag(Panel().Name()); });                                                    \
    }                                                                                                              \
    HRESULT TGoogleSideBarX::put_##Name(VARIANT_BOOL Value) {                                                      \
        return Guarded([&] { Panel().Set##Name(Value != VARIANT_FALSE); });                                        \
    }
MELLODECK_PANEL_FLAG(RunAlwaysMinimized)
MELLODECK_PANEL_FLAG(ReplaceWithDropped)
MELLODECK_PANEL_FLAG(SeparateLines)
MELLODECK_PANEL_FLAG(GlobalHotkeyEnabled)
#undef MELLODECK_PANEL_FLAG

HRESULT TGoogleSideBarX::get_OpenHotkey(BSTR* Value) {
    if (!Value)
        return E_POINTER;
    *Value = nullptr;
    return Guarded([&] { return win::Bstr::FromString(Panel().OpenHotkey()).CopyOut(Value); });
}

HRESULT TGoogleSideBarX::put_OpenHotkey(BSTR Value) {
    return Guarded([&] { Panel().SetOpenHotkey(win::BstrText(Value)); });
}

// ---- IHostPluginCommands ---------------------------------------------------------------------------

HRESULT TGoogleSideBarX::ExecuteCommand(LONG Command) {
    if (Command != 1)
        return E_NOTIMPL;
    // Nothing raised while the box is up may cross back into the host.
    return win::ComBoundary([&] { ShowAbout(); });
}

HRESULT TGoogleSideBarX::Reserved4(LONG) { return E_NOTIMPL; }
HRESULT TGoogleSideBarX::Reserved5(LONG) { return E_NOTIMPL; }

// ---- the client site ---------------------------------------------------------------------------------

HRESULT TGoogleSideBarX::SetClientSite(IOleClientSite* site) {
    FClientSite = win::ComPtr<IOleClientSite>(site);
    if (!site) {
        // The host detaches: nothing of it is kept, or the display site and the control would keep each other.
        FDisplaySite.Reset();
        FInPlaceSite.Reset();
        return S_OK;
    }
    try {
        IntroduceToDisplaySite(site);
    } catch (...) {
        // The introduction is a courtesy; the site is taken whatever happens to it.
    }
    return S_OK;
}

void TGoogleSideBarX::IntroduceToDisplaySite(IOleClientSite* site) {
    // The title bitmap is loaded and made into a picture once per control.
    if (!FTitleBitmapLoaded) {
        FTitleBitmapLoaded = true;
        FTitleBitmap.Reset(static_cast<HBITMAP>(
            ::LoadImageW(ServerModule(), L"SB_TITLE_ICON", IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    }
    if (!FTitlePicture && FTitleBitmap) {
        PICTDESC description{};
        description.cbSizeofstruct = sizeof(description);
        description.picType = PICTYPE_BITMAP;
        description.bmp.hbitmap = FTitleBitmap.Get();
        if (SUCCEEDED(::OleCreatePictureIndirect(&description, __uuidof(IPicture), TRUE, FTitlePicture.PutVoid())) &&
            FTitlePicture)
            FTitleBitmap.Release(); // the picture owns the bitmap now
    }
    FDisplaySite.Reset();
    FDisplaySite = win::ComPtr<IOleClientSite>(site).As<IGoogleDesktopDisplaySite>();
    if (!FDisplaySite)
        return; // a plain ActiveX container
    const win::Bstr title = win::Bstr::FromString(L"WinAmp");
    FDisplaySite->SetTitle(title.Get());
    FDisplaySite->SetSizeHint(100, 100);
    if (FTitlePicture)
        FDisplaySite->SetTitleIcon(FTitlePicture.Get());
}

HRESULT TGoogleSideBarX::GetClientSite(IOleClientSite** site) {
    if (!site)
        return E_POINTER;
    return FClientSite.CopyTo(site);
}

} // namespace mellodeck
