#pragma once
// The panel's window: a child window on the window base that paints the panel model through a 32-bit DIB
// section (one blit per paint), turns mouse, timer and hotkey messages into the model's handlers, shows the
// controls' hints in a tooltip and supplies the model with what it asks of a window (TPanelPlatform).
#include <windows.h>

#include <memory>

#include "common/win/WindowBase.h"
#include "panel/GoogleSideBar.h"
#include "panel/win/GdiCanvas.h"
#include "panel/win/PanelDragManager.h"

namespace mellodeck {

class TGoogleSideBarWindow : public win::WindowBase, private TPanelPlatform, private IPanelDropOwner {
public:
    // The product's panel: a TWinAmpManager and the options in the registry.
    TGoogleSideBarWindow();
    // Tests give their own manager and options store.
    TGoogleSideBarWindow(std::unique_ptr<TBasePlayerManager> Manager, std::unique_ptr<ISettingsStore> Store);
    ~TGoogleSideBarWindow() override;

    // The panel as a child of Parent filling Bounds.
    bool Create(HWND Parent, const RECT& Bounds);
    TGoogleSideBar& Panel() { return *FPanel; }
    // Draws the whole panel into DC with its client area's top-left at Bounds' top-left (IViewObject::Draw,
    // WM_PRINTCLIENT).
    void PaintTo(HDC DC, const RECT& Bounds);
    // The canvas font ("Tahoma" by default); setting it re-creates the track text font from it.
    LOGFONTW Font() const { return FCanvasFontSpec; }
    void SetFont(const LOGFONTW& Font);

    static constexpr UINT_PTR kFadeTimerId = 1;
    static constexpr const wchar_t* kClassName = L"Mellodeck.GoogleSideBar";

protected:
    const wchar_t* ClassName() const override { return kClassName; }
    void ClassOptions(WNDCLASSEXW& windowClass) const override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool OnCreate(const CREATESTRUCTW& create) override;
    void OnDestroy() override;
    void OnSize(UINT kind, int width, int height) override;
    void OnPaint() override;
    void OnTimer(UINT_PTR id) override;

private:
    // TPanelPlatform
    bool WindowExists() const override;
    TRect ClientRect() const override;
    void Invalidate(const TRect* R) override;
    void SetFadeTimer(bool On) override;
    bool LoadSkin(const wchar_t* Name, Bitmap32& Out) override;
    TPanelCanvas& ContentCanvas(int Width, int Height) override;
    bool HasCapture() const override;
    void SetCapture() override;
    void ReleaseCapture() override;
    void SetCursor(TCursor Cursor) override;
    void HideHint() override;
    std::unique_ptr<IHotkeyRegistrar> CreateHotkeyRegistrar() override;
    void RunInstallPrompt() override;
    void RunEditCommand(const std::wstring& FileName) override;

    // IPanelDropOwner: the files are read from the drag's data object, then the panel decides.
    HRESULT DoDragEnter(DWORD keyState, POINTL pt, DWORD& effect) override;
    HRESULT DoDragOver(DWORD keyState, POINTL pt, DWORD& effect) override;
    void DoDragLeave() override;
    HRESULT DoDrop(IDataObject* dataObject, DWORD keyState, DWORD& effect, POINTL pt) override;
    TPoint ClientPoint(POINTL screen) const;

    void MakeFonts();
    void CreateTooltip();
    // Renders the frame into FBuffer at the client's size.
    bool RenderFrame();
    TMouseMessage MouseMessage(WPARAM wParam, LPARAM lParam) const;

    std::unique_ptr<TGoogleSideBar> FPanel;
    win::TGdiCanvas FBuffer;  // Buffer: the frame, blitted once per paint
    win::TGdiCanvas FContent; // T: the content drawn before it is faded or copied onto the frame
    LOGFONTW FCanvasFontSpec{};
    win::TPanelFont FCanvasFont;
    win::TPanelFont FTextFont; // TextFont
    HWND FTooltip = nullptr;
    win::ComPtr<TPanelDragManager> FDragManager; // DragManager: registered while the window exists
    TCursor FCursor = crDefault;
};

} // namespace mellodeck
