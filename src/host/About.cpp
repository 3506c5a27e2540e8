#include "host/About.h"

#include <shellapi.h>

#include <algorithm>

#include "host/DialogLayout.h"
#include "host/HostResources.h"
#include "host/ServerModule.h"
#include "media/core/MediaManager.h"
#include "panel/GoogleSideBarConsts.h"
#include "player/BasePlayerManager.h"

namespace mellodeck {
namespace {

constexpr COLORREF kLinkColour = RGB(34, 68, 153);
constexpr int kImageLeft = 12;
constexpr int kImageTop = 12;
constexpr int kImageWidth = 81; // SB_ICON's size, kept when the picture is missing
constexpr int kImageHeight = 32;
constexpr int kOkWidth = 75;
constexpr int kOkHeight = 23;

constexpr wchar_t kFrenchDescription[] =
    L"Avec cet outil, vous pouvez contr\u00f4ler WinAmp \u00e0 partir de Google Desktop, afficher la pochette et "
    L"les tags de la piste courante. Vous pouvez \u00e9galement glisser-d\u00e9poser les fichiers que vous voulez "
    L"lire et lancer un \u00e9diteur de tags pour remplir les tags manuellement ou en chercher sur internet en "
    L"m\u00eame temps que rechercher la pochette de l\u2019album.";
constexpr wchar_t kFrenchFormats[] = L"Les types de fichiers support\u00e9s incluent le";

// A 32-bit bitmap with straight alpha composed onto white, as a bitmap a static control can show.
HBITMAP ComposeOnWhite(HBITMAP source) {
    BITMAP info{};
    if (!::GetObjectW(source, sizeof(info), &info) || info.bmBitsPixel != 32 || !info.bmBits)
        return nullptr;
    BITMAPINFO header{};
    header.bmiHeader.biSize = sizeof(header.bmiHeader);
    header.bmiHeader.biWidth = info.bmWidth;
    header.bmiHeader.biHeight = info.bmHeight; // the same row order as the source section
    header.bmiHeader.biPlanes = 1;
    header.bmiHeader.biBitCount = 32;
    header.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP result = ::CreateDIBSection(nullptr, &header, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!result)
        return nullptr;
    const auto* in = static_cast<const uint8_t*>(info.bmBits);
    auto* out = static_cast<uint8_t*>(bits);
    const size_t count = static_cast<size_t>(info.bmWidth) * static_cast<size_t>(std::abs(info.bmHeight));
    for (size_t i = 0; i < count; ++i) {
        const unsigned a = in[i * 4 + 3];
        for (int c = 0; c < 3; ++c)
            out[i * 4 + c] = static_cast<uint8_t>((in[i * 4 + c] * a + 255 * (255 - a) + 127) / 255);
        out[i * 4 + 3] = 255;
    }
    return result;
}

std::wstring SystemMessage(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD length = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                              FORMAT_MESSAGE_IGNORE_INSERTS,
                                          nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = length && buffer ? std::wstring(buffer, length) : std::wstring();
    if (buffer)
        ::LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r'))
        text.pop_back();
    return text;
}

} // namespace

std::wstring AboutVersionText(const std::wstring& version, bool forPanel, TBasePlayerManager* manager) {
    if (!forPanel)
        return version;
    if (!manager)
        return version + L" (Please reinstall Mellodeck)";
    if (!manager->State.Contains(csInstalled))
        return version + L" (WinAmp not intalled)";
    if (!manager->State.Contains(csLanched))
        return version + L" (WinAmp not launched)";
    const int32_t helper = manager->GetHelperVersion();
    if (helper < 0)
        return version + L" (WinAmp not found)";
    if (helper == 0)
        return version + L" (Helper too old!)";
    return version + L" (Helper version: " + std::to_wstring(helper) + L")";
}

std::wstring AboutFormatText(const std::wstring& designText, const std::vector<std::string>& extensions) {
    std::wstring list;
    for (const std::string& extension : extensions) {
        if (!list.empty())
            list += L", ";
        for (size_t i = 1; i < extension.size(); ++i) {
            const char c = extension[i];
            list += static_cast<wchar_t>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : static_cast<unsigned char>(c));
        }
    }
    return designText + L" " + list + L".";
}

std::vector<std::string> RegisteredExtensions() {
    std::vector<std::string> extensions;
    if (const TMediaManager* manager = MediaManager())
        for (int i = 0; i < manager->FormatCount(); ++i)
            extensions.push_back(manager->Extensions(i));
    return extensions;
}

std::function<HINSTANCE(const std::wstring&)> TGoogleSideBarXAbout::OpenAddress = [](const std::wstring& address) {
    return ::ShellExecuteW(nullptr, L"open", address.c_str(), nullptr, nullptr, SW_SHOWMAXIMIZED);
};

void TGoogleSideBarXAbout::OpenLink(const std::wstring& address) {
    const auto result = static_cast<int>(reinterpret_cast<INT_PTR>(OpenAddress(address)));
    if (result > 32)
        return;
    const std::wstring text = L"Error #: " + std::to_wstring(result) + L"\r\n" +
                              SystemMessage(static_cast<DWORD>(result)) + L"\r\n\r\nPlease reinstall the application.";
    ::MessageBoxW(nullptr, text.c_str(), L"Error", MB_OK | MB_ICONERROR);
}

TGoogleSideBarXAbout::TGoogleSideBarXAbout(bool forPanel, TBasePlayerManager* manager,
                                           std::vector<std::string> extensions)
    : FForPanel(forPanel), FManager(manager), FExtensions(std::move(extensions)) {}

INT_PTR TGoogleSideBarXAbout::ShowModal() {
    return ::DialogBoxParamW(ServerModule(), MAKEINTRESOURCEW(IDD_ABOUT), nullptr, &DialogProc,
                             reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK TGoogleSideBarXAbout::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<TGoogleSideBarXAbout*>(lParam);
        ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        self->FDialog = dialog;
    }
    auto* self = reinterpret_cast<TGoogleSideBarXAbout*>(::GetWindowLongPtrW(dialog, DWLP_USER));
    if (!self)
        return FALSE;
    try {
        return self->HandleMessage(message, wParam, lParam);
    } catch (...) {
        // Nothing may cross back into the dialog manager; a box that cannot be built closes.
        ::EndDialog(dialog, -1);
        return TRUE;
    }
}

bool TGoogleSideBarXAbout::IsLink(HWND control) const {
    return control == Item(IDC_ABOUT_SUPPORT) || control == Item(IDC_ABOUT_FRENCH);
}

INT_PTR TGoogleSideBarXAbout::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        Initialise();
        return TRUE;
    case WM_CTLCOLORDLG:
        return reinterpret_cast<INT_PTR>(FBackground.Get());
    case WM_CTLCOLORSTATIC: {
        const auto dc = reinterpret_cast<HDC>(wParam);
        const auto control = reinterpret_cast<HWND>(lParam);
        ::SetBkColor(dc, RGB(255, 255, 255));
        ::SetTextColor(dc, IsLink(control) ? kLinkColour : ::GetSysColor(COLOR_BTNTEXT));
        return reinterpret_cast<INT_PTR>(FBackground.Get());
    }
    case WM_SETCURSOR:
        if (IsLink(reinterpret_cast<HWND>(wParam))) {
            ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
            ::SetWindowLongPtrW(FDialog, DWLP_MSGRESULT, TRUE);
            return TRUE;
        }
        return FALSE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
        case IDCANCEL:
            ::EndDialog(FDialog, IDOK);
            return TRUE;
        case IDC_ABOUT_SUPPORT:
            if (HIWORD(wParam) == STN_CLICKED)
                OpenLink(kSupportAddress);
            return TRUE;
        case IDC_ABOUT_FRENCH:
            if (HIWORD(wParam) == STN_CLICKED)
                OpenLink(kTranslatorAddress);
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

void TGoogleSideBarXAbout::Initialise() {
    FBackground.Reset(::CreateSolidBrush(RGB(255, 255, 255)));
    if (IsFrenchLanguage(SystemDefaultLanguage())) {
        ::SetWindowTextW(Item(IDC_ABOUT_DESC), kFrenchDescription);
        ::SetWindowTextW(Item(IDC_ABOUT_FORMATS), kFrenchFormats);
    }
    MakeFonts();
    LoadPicture();
    Layout();
}

void TGoogleSideBarXAbout::LoadPicture() {
    win::GdiObject<HBITMAP> loaded(static_cast<HBITMAP>(
        ::LoadImageW(ServerModule(), L"SB_ICON", IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    if (!loaded)
        return; // the picture stays empty; the layout keeps the design size
    FPicture.Reset(ComposeOnWhite(loaded.Get()));
    if (FPicture)
        ::SendMessageW(Item(IDC_ABOUT_IMAGE), STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(FPicture.Get()));
}

void TGoogleSideBarXAbout::MakeFonts() {
    LOGFONTW name{};
    ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof(name), &name);
    name.lfHeight = -13;
    name.lfWeight = FW_BOLD;
    FNameFont.Reset(::CreateFontIndirectW(&name));
    ::SendMessageW(Item(IDC_ABOUT_NAME), WM_SETFONT, reinterpret_cast<WPARAM>(FNameFont.Get()), FALSE);

    LOGFONTW link{};
    const auto dialogFont = reinterpret_cast<HFONT>(::SendMessageW(FDialog, WM_GETFONT, 0, 0));
    ::GetObjectW(dialogFont ? static_cast<HGDIOBJ>(dialogFont) : ::GetStockObject(DEFAULT_GUI_FONT), sizeof(link),
                 &link);
    link.lfUnderline = TRUE;
    FLinkFont.Reset(::CreateFontIndirectW(&link));
    for (int id : {IDC_ABOUT_SUPPORT, IDC_ABOUT_FRENCH})
        ::SendMessageW(Item(id), WM_SETFONT, reinterpret_cast<WPARAM>(FLinkFont.Get()), FALSE);
}

// Pixel layout from the design values; labels size themselves to their text, the two long ones wrap at a
// fixed width.
void TGoogleSideBarXAbout::Layout() {
    using win::TBox;
    auto autoSized = [&](int id, int left, int top) {
        const SIZE size = win::TextExtent(Item(id));
        TBox box{left, top, size.cx, size.cy};
        win::SetChildBox(Item(id), box);
        return box;
    };
    const TBox image{kImageLeft, kImageTop, kImageWidth, kImageHeight};
    win::SetChildBox(Item(IDC_ABOUT_IMAGE), image);

    SIZE nameSize = win::TextExtent(Item(IDC_ABOUT_NAME));
    const TBox name = autoSized(IDC_ABOUT_NAME, image.Right() + 12, image.Top + (image.Height - nameSize.cy) / 2);
    const TBox copyright = autoSized(IDC_ABOUT_COPYRIGHT, name.Left, image.Bottom() + 12);

    std::wstring version = AboutVersionText(ModuleVersionText(), FForPanel, FManager);
    ::SetWindowTextW(Item(IDC_ABOUT_VERSION), version.c_str());
    const TBox versionBox = autoSized(IDC_ABOUT_VERSION, copyright.Left, copyright.Bottom() + 4);
    const TBox support = autoSized(IDC_ABOUT_SUPPORT, versionBox.Left, versionBox.Bottom() + 3);

    const int w = std::max(name.Width, copyright.Width);
    const int wrapWidth = w + 32;
    TBox desc{name.Left, support.Bottom() + 16, wrapWidth, 0};
    desc.Height = win::WrappedTextHeight(Item(IDC_ABOUT_DESC), wrapWidth);
    win::SetChildBox(Item(IDC_ABOUT_DESC), desc);

    const std::wstring formats = AboutFormatText(win::WindowText(Item(IDC_ABOUT_FORMATS)), FExtensions);
    ::SetWindowTextW(Item(IDC_ABOUT_FORMATS), formats.c_str());
    TBox formatBox{name.Left, desc.Bottom() + 16, wrapWidth, 0};
    formatBox.Height = win::WrappedTextHeight(Item(IDC_ABOUT_FORMATS), wrapWidth);
    win::SetChildBox(Item(IDC_ABOUT_FORMATS), formatBox);

    const int clientWidth = copyright.Left + wrapWidth + 20;
    const TBox french = autoSized(IDC_ABOUT_FRENCH, formatBox.Left, formatBox.Bottom() + 8);
    const TBox ok{(clientWidth - kOkWidth) / 2, french.Bottom() + 16, kOkWidth, kOkHeight};
    win::SetChildBox(Item(IDOK), ok);
    win::SetClientSize(FDialog, clientWidth, ok.Bottom() + 16);

    // Centred on the screen after the size is known.
    RECT r{};
    ::GetWindowRect(FDialog, &r);
    const int x = (::GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left)) / 2;
    const int y = (::GetSystemMetrics(SM_CYSCREEN) - (r.bottom - r.top)) / 2;
    ::SetWindowPos(FDialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace mellodeck
