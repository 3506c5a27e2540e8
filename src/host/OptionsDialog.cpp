#include "host/OptionsDialog.h"

#include <commctrl.h>

#include <algorithm>

#include "host/DialogLayout.h"
#include "host/HostResources.h"
#include "host/ServerModule.h"
#include "panel/GoogleSideBarConsts.h"
#include "panel/HotkeyText.h"

namespace mellodeck {
namespace {

constexpr int kSheetBorder = 8;
constexpr int kLabelLeft = 12;

struct TFrenchText {
    int Sheet; // -1: the tab of the sheet given by Id
    int Id;
    const wchar_t* Text;
};

// The form caption and the Interface tab keep their English text.
constexpr TFrenchText kFrench[] = {
    {-1, 0, L"G\u00e9n\u00e9ral"},
    {0, IDC_WINDOW_STATE_BOX, L" D\u00e9marrage "},
    {0, IDC_RUN_LABEL,
     L"WinAmp stocke l\u2019\u00e9tat de la fen\u00eatre courante donc la prochaine fois il pourra \u00eatre lanc\u00e9 "
     L"en normal ou minimis\u00e9, mais vous pouvez \u00e9craser ceci lorsque vous d\u00e9marrez \u00e0 partir du "
     L"Mellodeck."},
    {0, IDC_RUN_MINIMIZED, L"Toujours lancer WinAmp minimis\u00e9"},
    {0, IDC_DRAG_DROP_BOX, L" Glisser-d\u00e9poser "},
    {0, IDC_REPLACE_LABEL,
     L"Vous pouvez glisser-d\u00e9poser les musiques dans Mellodeck et remplacer la liste de lecture jou\u00e9e par "
     L"une nouvelle ou y ajouter simplement de nouvelles chansons."},
    {0, IDC_REPLACE_WITH_DROPPED, L"Remplacer la liste de lecture courante avec des fichiers gliss\u00e9s-d\u00e9pos\u00e9s"},
    {1, IDC_MULTILINE_BOX, L" Affichage "},
    {1, IDC_MULTILINE_LABEL, L"Vous pouvez emp\u00eacher Mellodeck d\u2019afficher plusieurs tags sur une ligne."},
    {1, IDC_MULTILINE, L"Toujours afficher les tags sur des lignes s\u00e9par\u00e9es"},
    {-1, 2, L"Raccourcis g\u00e9n\u00e9raux"},
    {2, IDC_HOTKEY_BOX, L" Raccourcis g\u00e9n\u00e9raux "},
    {2, IDC_GLOBAL_LABEL,
     L"Les raccourcis g\u00e9n\u00e9raux sont les raccourcis claviers que vous pouvez utiliser \u00e0 partir de "
     L"n\u2019importe quelle application lanc\u00e9e."},
    {2, IDC_GLOBAL_SHORTCUTS, L"Activer les raccourcis g\u00e9n\u00e9raux"},
    {2, IDC_OPEN_LABEL, L"Lancer, ouvrir ou cacher WinAmp"},
};

const wchar_t* const kSheetTitles[3] = {L"General", L"Interface", L"Global Hotkeys"};
constexpr int kSheetDialogs[3] = {IDD_OPTIONS_GENERAL, IDD_OPTIONS_INTERFACE, IDD_OPTIONS_HOTKEYS};

// Hot-key control flags and the hotkey text's modifier bits.
BYTE ControlModifiers(uint32_t shift) {
    BYTE flags = 0;
    if (shift & kHotkeyShift)
        flags |= HOTKEYF_SHIFT;
    if (shift & kHotkeyCtrl)
        flags |= HOTKEYF_CONTROL;
    if (shift & kHotkeyAlt)
        flags |= HOTKEYF_ALT;
    return flags;
}

uint32_t TextModifiers(BYTE flags) {
    uint32_t shift = 0;
    if (flags & HOTKEYF_SHIFT)
        shift |= kHotkeyShift;
    if (flags & HOTKEYF_CONTROL)
        shift |= kHotkeyCtrl;
    if (flags & HOTKEYF_ALT)
        shift |= kHotkeyAlt;
    return shift;
}

} // namespace

WORD HotkeyControlValue(const std::wstring& text) {
    const THotkey hotkey = TextToShortCut(text);
    BYTE flags = ControlModifiers(hotkey.Shift);
    if (hotkey.Key < VK_F1 || hotkey.Key > VK_F12)
        flags |= HOTKEYF_EXT;
    return MAKEWORD(static_cast<BYTE>(hotkey.Key), flags);
}

std::wstring HotkeyControlText(WORD value) {
    return ShortCutToText(THotkey{LOBYTE(value), TextModifiers(HIBYTE(value))});
}

TOptionsDialog::~TOptionsDialog() { Destroy(); }

HWND TOptionsDialog::Item(int id) const {
    for (HWND sheet : FSheets)
        if (HWND item = sheet ? ::GetDlgItem(sheet, id) : nullptr)
            return item;
    return nullptr;
}

bool TOptionsDialog::Create(HWND parent, const RECT& bounds) {
    Destroy();
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_TAB_CLASSES | ICC_HOTKEY_CLASS};
    ::InitCommonControlsEx(&controls);
    FPage.Reset(::CreateDialogParamW(ServerModule(), MAKEINTRESOURCEW(IDD_OPTIONS), parent, &PageProc,
                                     reinterpret_cast<LPARAM>(this)));
    if (!FPage)
        return false;
    FTabs = ::GetDlgItem(FPage.Get(), IDC_OPTIONS_TABS);
    for (int i = 0; i < 3; ++i) {
        TCITEMW tab{};
        tab.mask = TCIF_TEXT;
        tab.pszText = const_cast<wchar_t*>(kSheetTitles[i]);
        TabCtrl_InsertItem(FTabs, i, &tab);
        FSheets[i] = ::CreateDialogParamW(ServerModule(), MAKEINTRESOURCEW(kSheetDialogs[i]), FPage.Get(), &SheetProc,
                                          reinterpret_cast<LPARAM>(this));
        if (!FSheets[i]) {
            Destroy();
            return false;
        }
    }
    if (IsFrenchLanguage(SystemDefaultLanguage()))
        ApplyFrench();
    Move(bounds);
    ShowSheet(0); // General is the active sheet of a new page
    ::ShowWindow(FPage.Get(), SW_SHOW);
    return true;
}

void TOptionsDialog::Destroy() {
    FPage.Reset(); // the sheets and the tab control go with it
    FTabs = nullptr;
    for (HWND& sheet : FSheets)
        sheet = nullptr;
}

void TOptionsDialog::ApplyFrench() {
    for (const TFrenchText& t : kFrench) {
        if (t.Sheet < 0) {
            TCITEMW tab{};
            tab.mask = TCIF_TEXT;
            tab.pszText = const_cast<wchar_t*>(t.Text);
            TabCtrl_SetItem(FTabs, t.Id, &tab);
        } else {
            ::SetDlgItemTextW(FSheets[t.Sheet], t.Id, t.Text);
        }
    }
}

void TOptionsDialog::Move(const RECT& bounds) {
    if (!FPage)
        return;
    ::MoveWindow(FPage.Get(), bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top, TRUE);
    Layout();
}

// The sheets fill the tab control's display area less their border; group boxes are aligned to the top of
// their sheet at its full width, and everything below a word-wrapped label follows the label's height.
void TOptionsDialog::Layout() {
    using win::TBox;
    RECT client{};
    ::GetClientRect(FPage.Get(), &client);
    ::MoveWindow(FTabs, 0, 0, client.right, client.bottom, TRUE);
    RECT display = client;
    TabCtrl_AdjustRect(FTabs, FALSE, &display);
    const TBox sheet{display.left + kSheetBorder, display.top + kSheetBorder,
                     std::max(0L, display.right - display.left - 2 * kSheetBorder),
                     std::max(0L, display.bottom - display.top - 2 * kSheetBorder)};
    for (HWND s : FSheets)
        win::SetChildBox(s, sheet);

    const int boxWidth = sheet.Width;
    const int w = boxWidth - 2 * kLabelLeft; // W: the labels' and check boxes' width
    auto wrapped = [&](int id, int top) {
        TBox box{kLabelLeft, top, w, win::WrappedTextHeight(Item(id), w)};
        win::SetChildBox(Item(id), box);
        return box;
    };
    auto placed = [&](int id, int left, int top, int width) {
        TBox box = win::ChildBox(Item(id));
        box = {left, top, width, box.Height};
        win::SetChildBox(Item(id), box);
        return box;
    };
    constexpr int kCheckHeight = 17;
    auto check = [&](int id, int top) {
        TBox box{kLabelLeft, top, w, kCheckHeight};
        win::SetChildBox(Item(id), box);
        return box;
    };

    // General: Startup, then Drag and Drop below it.
    const TBox run = wrapped(IDC_RUN_LABEL, 20);
    const TBox runCheck = check(IDC_RUN_MINIMIZED, run.Bottom() + 10);
    const TBox stateBox{0, 0, boxWidth, runCheck.Bottom() + 10};
    win::SetChildBox(Item(IDC_WINDOW_STATE_BOX), stateBox);
    const int dragTop = stateBox.Bottom() + 10;
    const TBox replace = wrapped(IDC_REPLACE_LABEL, dragTop + 20);
    const TBox replaceCheck = check(IDC_REPLACE_WITH_DROPPED, replace.Bottom() + 10);
    win::SetChildBox(Item(IDC_DRAG_DROP_BOX), {0, dragTop, stateBox.Width, replaceCheck.Bottom() + 10 - dragTop});

    // Interface.
    const TBox multi = wrapped(IDC_MULTILINE_LABEL, 20);
    const TBox multiCheck = check(IDC_MULTILINE, multi.Bottom() + 10);
    win::SetChildBox(Item(IDC_MULTILINE_BOX), {0, 0, boxWidth, multiCheck.Bottom() + 10});

    // Global Hotkeys: the explanation keeps its design height.
    const TBox global{kLabelLeft, 20, w, 26};
    win::SetChildBox(Item(IDC_GLOBAL_LABEL), global);
    const TBox shortcuts = check(IDC_GLOBAL_SHORTCUTS, global.Bottom() + 10);
    const TBox edit = placed(IDC_OPEN_HOTKEY, 248, shortcuts.Bottom() + 8, 105);
    const SIZE openSize = win::TextExtent(Item(IDC_OPEN_LABEL));
    win::SetChildBox(Item(IDC_OPEN_LABEL), {shortcuts.Left + shortcuts.Height, edit.Top + (edit.Height - openSize.cy) / 2,
                                            openSize.cx, openSize.cy});
    win::SetChildBox(Item(IDC_HOTKEY_BOX), {0, 0, boxWidth, edit.Bottom() + 10});
}

void TOptionsDialog::ShowSheet(int index) {
    TabCtrl_SetCurSel(FTabs, index);
    for (int i = 0; i < 3; ++i)
        ::ShowWindow(FSheets[i], i == index ? SW_SHOW : SW_HIDE);
}

void TOptionsDialog::GlobalShortcutsClicked() {
    const bool on = ::IsDlgButtonChecked(FSheets[2], IDC_GLOBAL_SHORTCUTS) == BST_CHECKED;
    ::EnableWindow(Item(IDC_OPEN_LABEL), on);
    ::EnableWindow(Item(IDC_OPEN_HOTKEY), on);
}

void TOptionsDialog::Show(const TPageOptions& options) {
    if (!FPage)
        return;
    FShowing = true;
    auto setCheck = [&](int id, bool on) { ::SendMessageW(Item(id), BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0); };
    setCheck(IDC_RUN_MINIMIZED, options.RunAlwaysMinimized);
    setCheck(IDC_REPLACE_WITH_DROPPED, options.ReplaceWithDropped);
    setCheck(IDC_MULTILINE, options.SeparateLines);
    setCheck(IDC_GLOBAL_SHORTCUTS, options.GlobalHotkeyEnabled);
    GlobalShortcutsClicked(); // setting the box from code acts as a click
    ::SendMessageW(Item(IDC_OPEN_HOTKEY), HKM_SETHOTKEY, HotkeyControlValue(options.OpenHotkey), 0);
    FShowing = false;
}

TPageOptions TOptionsDialog::Read() const {
    TPageOptions options;
    auto checked = [&](int id) { return ::SendMessageW(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED; };
    options.RunAlwaysMinimized = checked(IDC_RUN_MINIMIZED);
    options.ReplaceWithDropped = checked(IDC_REPLACE_WITH_DROPPED);
    options.SeparateLines = checked(IDC_MULTILINE);
    options.GlobalHotkeyEnabled = checked(IDC_GLOBAL_SHORTCUTS);
    options.OpenHotkey =
        HotkeyControlText(static_cast<WORD>(::SendMessageW(Item(IDC_OPEN_HOTKEY), HKM_GETHOTKEY, 0, 0)));
    return options;
}

bool TOptionsDialog::TranslateMessage(MSG& message) {
    if (!FPage)
        return false;
    for (HWND sheet : FSheets)
        if (sheet && ::IsWindowVisible(sheet) && ::IsChild(sheet, message.hwnd) && ::IsDialogMessageW(sheet, &message))
            return true;
    return ::IsDialogMessageW(FPage.Get(), &message) != FALSE;
}

INT_PTR CALLBACK TOptionsDialog::PageProc(HWND dialog, UINT message, WPARAM, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        return FALSE;
    }
    auto* self = reinterpret_cast<TOptionsDialog*>(::GetWindowLongPtrW(dialog, DWLP_USER));
    if (self && message == WM_NOTIFY) {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->hwndFrom == self->FTabs && header->code == TCN_SELCHANGE) {
            self->ShowSheet(TabCtrl_GetCurSel(self->FTabs));
            return TRUE;
        }
    }
    return FALSE;
}

INT_PTR CALLBACK TOptionsDialog::SheetProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        return FALSE;
    }
    auto* self = reinterpret_cast<TOptionsDialog*>(::GetWindowLongPtrW(dialog, DWLP_USER));
    if (!self || message != WM_COMMAND)
        return FALSE;
    const int id = LOWORD(wParam);
    const int code = HIWORD(wParam);
    if (id == IDC_GLOBAL_SHORTCUTS && code == BN_CLICKED)
        self->GlobalShortcutsClicked();
    const bool userChange = (code == BN_CLICKED && id != IDC_OPTIONS_TABS) || (id == IDC_OPEN_HOTKEY && code == EN_CHANGE);
    if (userChange && !self->FShowing && self->OnChange) {
        try {
            self->OnChange();
        } catch (...) {
        }
    }
    return FALSE;
}

} // namespace mellodeck
