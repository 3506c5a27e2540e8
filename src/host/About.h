#pragma once
// The About box: product name, copyright, the module's version with a one-line diagnosis of the player
// connection of one panel, the file types the media layer reads, and two links. Modal; a new dialog each time.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "common/win/GdiObjects.h"

namespace mellodeck {

class TBasePlayerManager;

// The version line: `version` ("Version: 2.0.1.15") followed, when the box is shown for a panel, by the
// diagnosis of that panel's player manager (which may be missing).
std::wstring AboutVersionText(const std::wstring& version, bool forPanel, TBasePlayerManager* manager);
// The file-type sentence: `designText`, a space, the extensions without their dot in upper case (ASCII
// letters only) joined by ", ", and a full stop.
std::wstring AboutFormatText(const std::wstring& designText, const std::vector<std::string>& extensions);
// The media manager's extensions in registration order (none before the media library has started).
std::vector<std::string> RegisteredExtensions();

class TGoogleSideBarXAbout {
public:
    // forPanel: shown for a panel, whose player manager is `manager` (null when it has none); `extensions`
    // are the media manager's registrations.
    TGoogleSideBarXAbout(bool forPanel, TBasePlayerManager* manager, std::vector<std::string> extensions);
    TGoogleSideBarXAbout(const TGoogleSideBarXAbout&) = delete;
    TGoogleSideBarXAbout& operator=(const TGoogleSideBarXAbout&) = delete;

    // Shows the box modally (no owner) and returns when it is closed: IDOK, or -1 when it cannot be shown.
    INT_PTR ShowModal();

    // Opens an address with the shell ("open", maximised); results up to 32 are shown as an error box.
    // Tests replace the shell call.
    static std::function<HINSTANCE(const std::wstring& address)> OpenAddress;
    static void OpenLink(const std::wstring& address);

private:
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void Initialise();
    void LoadPicture();
    void MakeFonts();
    void Layout();
    HWND Item(int id) const { return ::GetDlgItem(FDialog, id); }
    bool IsLink(HWND control) const;

    bool FForPanel;
    TBasePlayerManager* FManager;
    std::vector<std::string> FExtensions;
    HWND FDialog = nullptr;
    win::GdiObject<HBITMAP> FPicture; // SB_ICON on white
    win::GdiObject<HFONT> FNameFont;
    win::GdiObject<HFONT> FLinkFont;
    win::GdiObject<HBRUSH> FBackground;
};

// The addresses behind the two links.
inline constexpr wchar_t kSupportAddress[] = L"https://www.marquill.example/about?from=mellodeck&ch=about";
inline constexpr wchar_t kTranslatorAddress[] = L"https://www.marquill.example/fr/";

} // namespace mellodeck
