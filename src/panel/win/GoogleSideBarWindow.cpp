#include "panel/win/GoogleSideBarWindow.h"

#include <commctrl.h>
#include <windowsx.h>

#include "panel/win/PanelCommands.h"
#include "panel/win/RegistrySettingsStore.h"
#include "panel/win/SkinResources.h"
#include "panel/win/WindowHotkeyRegistrar.h"
#include "player/win/WinAmpManager.h"

namespace mellodeck {

namespace {

HCURSOR SystemCursor(TCursor cursor) {
    return ::LoadCursorW(nullptr, cursor == crHandPoint ? IDC_HAND : IDC_ARROW);
}

} // namespace

TGoogleSideBarWindow::TGoogleSideBarWindow()
    : TGoogleSideBarWindow(std::make_unique<TWinAmpManager>(), std::make_unique<win::TRegistrySettingsStore>()) {}

TGoogleSideBarWindow::TGoogleSideBarWindow(std::unique_ptr<TBasePlayerManager> Manager,
                                           std::unique_ptr<ISettingsStore> Store) {
    TPanelPlatform& platform = *this;
    FPanel = std::make_unique<TGoogleSideBar>(platform, std::move(Manager), std::move(Store));
}

TGoogleSideBarWindow::~TGoogleSideBarWindow() {
    // The window goes first (WM_DESTROY still reaches this object), then the panel with its manager.
    Destroy();
    FPanel.reset();
}

bool TGoogleSideBarWindow::Create(HWND Parent, const RECT& Bounds) {
    return CreateChild(Parent, Bounds, 0, WS_CLIPSIBLINGS | WS_CLIPCHILDREN);
}

void TGoogleSideBarWindow::ClassOptions(WNDCLASSEXW& windowClass) const {
    WindowBase::ClassOptions(windowClass);
    windowClass.style = CS_DBLCLKS; // the panel repaints what it needs; no redraw on every size change
    windowClass.hCursor = nullptr;   // WM_SETCURSOR chooses between the arrow and the hand
}

// ---- life cycle ---------------------------------------------------------------------------------------

void TGoogleSideBarWindow::MakeFonts() {
    if (FCanvasFontSpec.lfFaceName[0] == 0) {
        LOGFONTW lf{};
        HDC screen = ::GetDC(nullptr);
        lf.lfHeight = -::MulDiv(8, screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 96, 72);
        if (screen)
            ::ReleaseDC(nullptr, screen);
        lf.lfWeight = FW_NORMAL;
        lf.lfCharSet = DEFAULT_CHARSET;
        wcscpy_s(lf.lfFaceName, L"Tahoma");
        FCanvasFontSpec = lf;
    }
    FCanvasFont = win::TPanelFont(FCanvasFontSpec);
    LOGFONTW text = FCanvasFontSpec;
    text.lfWeight = 500;
    text.lfQuality = static_cast<BYTE>(win::TrackFontQuality());
    FTextFont = win::TPanelFont(text);
    FBuffer.SetFonts(FCanvasFont.Get(), FTextFont.Get());
    FContent.SetFonts(FCanvasFont.Get(), FTextFont.Get());
}

void TGoogleSideBarWindow::SetFont(const LOGFONTW& Font) {
    FCanvasFontSpec = Font;
    if (Handle()) {
        MakeFonts();
        FPanel->Invalidate();
    }
}

void TGoogleSideBarWindow::CreateTooltip() {
    INITCOMMONCONTROLSEX init{sizeof(init), ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&init);
    FTooltip = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, Handle(), nullptr,
                                 Module(), nullptr);
    if (!FTooltip)
        return;
    TOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = Handle();
    tool.uId = reinterpret_cast<UINT_PTR>(Handle());
    tool.lpszText = LPSTR_TEXTCALLBACKW;
    ::SendMessageW(FTooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

bool TGoogleSideBarWindow::OnCreate(const CREATESTRUCTW&) {
    MakeFonts();
    CreateTooltip();
    FPanel->WindowCreated();
    // Files dropped from the shell. Registration needs OLE on this thread (the host initialises it); without
    // it the panel simply takes no drops.
    FDragManager = win::MakeComObject<TPanelDragManager>(static_cast<IPanelDropOwner*>(this));
    if (FAILED(::RegisterDragDrop(Handle(), FDragManager.Get())))
        FDragManager.Reset();
    return true;
}

void TGoogleSideBarWindow::OnDestroy() {
    if (FDragManager) {
        ::RevokeDragDrop(Handle());
        // OLE may still hold the object for a drag in progress: from now on it refuses everything.
        FDragManager->Detach();
        FDragManager.Reset();
    }
    FPanel->WindowDestroyed();
    if (FTooltip) {
        ::DestroyWindow(FTooltip);
        FTooltip = nullptr;
    }
    // The fonts belong to the window: made again when a new window is created.
    FBuffer.SetFonts(nullptr, nullptr);
    FContent.SetFonts(nullptr, nullptr);
    FTextFont.Reset();
    FCanvasFont.Reset();
}

void TGoogleSideBarWindow::OnSize(UINT, int, int) { FPanel->Resized(); }

void TGoogleSideBarWindow::OnTimer(UINT_PTR id) {
    if (id == kFadeTimerId)
        FPanel->FadeTimerTick();
}

// ---- painting -----------------------------------------------------------------------------------------

bool TGoogleSideBarWindow::RenderFrame() {
    RECT client{};
    ::GetClientRect(Handle(), &client);
    // The buffer follows the client size on every paint.
    if (!FBuffer.Resize(client.right, client.bottom) || FBuffer.Width() == 0 || FBuffer.Height() == 0)
        return false;
    FPanel->PaintFrame(FBuffer);
    ::GdiFlush();
    return true;
}

void TGoogleSideBarWindow::OnPaint() {
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(Handle(), &ps);
    if (!dc)
        return;
    const RECT& u = ps.rcPaint;
    FPanel->UpdateRect = {u.left, u.top, u.right, u.bottom};
    if (!FPanel->UpdateRect.IsEmpty() && RenderFrame())
        ::BitBlt(dc, u.left, u.top, u.right - u.left, u.bottom - u.top, FBuffer.DC(), u.left, u.top, SRCCOPY);
    ::EndPaint(Handle(), &ps);
}

void TGoogleSideBarWindow::PaintTo(HDC DC, const RECT& Bounds) {
    if (!Handle() || !DC)
        return;
    FPanel->UpdateRect = ClientRect();
    if (!RenderFrame())
        return;
    const int w = std::min<int>(FBuffer.Width(), Bounds.right - Bounds.left);
    const int h = std::min<int>(FBuffer.Height(), Bounds.bottom - Bounds.top);
    if (w > 0 && h > 0)
        ::BitBlt(DC, Bounds.left, Bounds.top, w, h, FBuffer.DC(), 0, 0, SRCCOPY);
}

// ---- messages -----------------------------------------------------------------------------------------

TMouseMessage TGoogleSideBarWindow::MouseMessage(WPARAM wParam, LPARAM lParam) const {
    return {{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}, static_cast<uint32_t>(wParam)};
}

LRESULT TGoogleSideBarWindow::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ERASEBKGND:
        return 1; // every pixel is painted from the buffer
    case WM_PRINTCLIENT: {
        RECT r = {0, 0, 0, 0};
        ::GetClientRect(Handle(), &r);
        PaintTo(reinterpret_cast<HDC>(wParam), r);
        return 0;
    }
    case WM_MOUSEMOVE: {
        const TMouseMessage m = MouseMessage(wParam, lParam);
        RECT client{};
        ::GetClientRect(Handle(), &client);
        POINT p{m.Pos.X, m.Pos.Y};
        bool inside = ::PtInRect(&client, p) != 0;
        if (inside) {
            HWND child = ::ChildWindowFromPointEx(Handle(), p, CWP_SKIPINVISIBLE | CWP_SKIPTRANSPARENT);
            inside = child == Handle() || child == nullptr;
        }
        FPanel->MouseMoveMessage(m, inside);
        return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        FPanel->LeftButtonDown(MouseMessage(wParam, lParam));
        return 0;
    case WM_LBUTTONUP:
        FPanel->LeftButtonUp(MouseMessage(wParam, lParam));
        return 0;
    case WM_CAPTURECHANGED:
        if (reinterpret_cast<HWND>(lParam) != Handle())
            FPanel->CaptureLost();
        return 0;
    case WM_SETCURSOR:
        if (LOWORD(lParam) == HTCLIENT) {
            ::SetCursor(SystemCursor(FCursor));
            return TRUE;
        }
        break;
    case WM_HOTKEY:
        FPanel->HotkeyPressed(static_cast<int>(wParam));
        return 0;
    case WM_NOTIFY: {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        if (header && header->hwndFrom == FTooltip && header->code == TTN_GETDISPINFOW) {
            auto* info = reinterpret_cast<NMTTDISPINFOW*>(lParam);
            static std::wstring text; // the tooltip copies it before the next request
            POINT p{};
            ::GetCursorPos(&p);
            ::ScreenToClient(Handle(), &p);
            text.clear();
            FPanel->HintAt({p.x, p.y}, text);
            info->lpszText = text.data();
            return 0;
        }
        break;
    }
    default:
        break;
    }
    return WindowBase::WindowProc(message, wParam, lParam);
}

// ---- drops --------------------------------------------------------------------------------------------

TPoint TGoogleSideBarWindow::ClientPoint(POINTL screen) const {
    POINT p{screen.x, screen.y};
    if (Handle())
        ::ScreenToClient(Handle(), &p);
    return {p.x, p.y};
}

HRESULT TGoogleSideBarWindow::DoDragEnter(DWORD keyState, POINTL pt, DWORD& effect) {
    return DoDragOver(keyState, pt, effect);
}

HRESULT TGoogleSideBarWindow::DoDragOver(DWORD keyState, POINTL pt, DWORD& effect) {
    // The list is collected again on every move over the panel.
    FPanel->DroppedFiles = ReadDroppedFiles(FDragManager ? FDragManager->CurrentDataObject() : nullptr);
    const uint32_t allowed = effect;
    uint32_t answer = kDropEffectNone;
    const HRESULT result = FPanel->DoDragOver(keyState, ClientPoint(pt), allowed, answer);
    effect = answer;
    return result;
}

void TGoogleSideBarWindow::DoDragLeave() {
    FPanel->DoDragLeave();
    FPanel->DroppedFiles.clear();
}

HRESULT TGoogleSideBarWindow::DoDrop(IDataObject* dataObject, DWORD keyState, DWORD& effect, POINTL pt) {
    // The list collected during the drag is used; a drop that came without one reads the data it brings.
    if (FPanel->DroppedFiles.empty())
        FPanel->DroppedFiles = ReadDroppedFiles(dataObject);
    const uint32_t allowed = effect;
    uint32_t answer = kDropEffectNone;
    const HRESULT result = FPanel->DoDrop(keyState, ClientPoint(pt), allowed, answer);
    effect = answer;
    FPanel->DroppedFiles.clear();
    return result;
}

// ---- TPanelPlatform -----------------------------------------------------------------------------------

bool TGoogleSideBarWindow::WindowExists() const { return Handle() != nullptr; }

TRect TGoogleSideBarWindow::ClientRect() const {
    RECT r{};
    if (Handle())
        ::GetClientRect(Handle(), &r);
    return {r.left, r.top, r.right, r.bottom};
}

void TGoogleSideBarWindow::Invalidate(const TRect* R) {
    if (!Handle())
        return;
    if (R) {
        if (R->IsEmpty())
            return;
        const RECT r{R->Left, R->Top, R->Right, R->Bottom};
        ::InvalidateRect(Handle(), &r, FALSE);
    } else {
        ::InvalidateRect(Handle(), nullptr, FALSE);
    }
}

void TGoogleSideBarWindow::SetFadeTimer(bool On) {
    if (!Handle())
        return;
    if (On)
        ::SetTimer(Handle(), kFadeTimerId, kFadeIntervalMs, nullptr);
    else
        ::KillTimer(Handle(), kFadeTimerId);
}

bool TGoogleSideBarWindow::LoadSkin(const wchar_t* Name, Bitmap32& Out) {
    return win::LoadSkinBitmap(win::ThisModule(), Name, Out);
}

TPanelCanvas& TGoogleSideBarWindow::ContentCanvas(int Width, int Height) {
    FContent.Resize(Width, Height);
    return FContent;
}

bool TGoogleSideBarWindow::HasCapture() const { return Handle() && ::GetCapture() == Handle(); }

void TGoogleSideBarWindow::SetCapture() {
    if (Handle())
        ::SetCapture(Handle());
}

void TGoogleSideBarWindow::ReleaseCapture() {
    if (HasCapture())
        ::ReleaseCapture();
}

void TGoogleSideBarWindow::SetCursor(TCursor Cursor) {
    FCursor = Cursor;
    // Shown at once: while the panel holds the mouse capture no WM_SETCURSOR arrives.
    if (Handle())
        ::SetCursor(SystemCursor(FCursor));
}

void TGoogleSideBarWindow::HideHint() {
    if (FTooltip)
        ::SendMessageW(FTooltip, TTM_POP, 0, 0);
}

std::unique_ptr<IHotkeyRegistrar> TGoogleSideBarWindow::CreateHotkeyRegistrar() {
    return std::make_unique<win::TWindowHotkeyRegistrar>(Handle());
}

void TGoogleSideBarWindow::RunInstallPrompt() { win::RunInstallPrompt(Handle()); }

void TGoogleSideBarWindow::RunEditCommand(const std::wstring& FileName) { win::RunEditCommand(Handle(), FileName); }

} // namespace mellodeck
