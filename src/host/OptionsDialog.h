#pragma once
// The options page's window: a tab control with the General, Interface and Global Hotkeys sheets, each a
// child dialog, laid out in pixels from the design values so the word-wrapped labels push what is below them.
#include <windows.h>

#include <functional>
#include <string>

#include "common/win/UserObjects.h"

namespace mellodeck {

// The five options as the page shows them.
struct TPageOptions {
    bool RunAlwaysMinimized = false;
    bool ReplaceWithDropped = false;
    bool SeparateLines = false;
    bool GlobalHotkeyEnabled = false;
    std::wstring OpenHotkey;
    friend bool operator==(const TPageOptions&, const TPageOptions&) = default;
};

// Hot-key control value (HKM_SETHOTKEY: virtual key in the low byte, HOTKEYF_* in the high byte) of a hotkey
// text, with the extended-key flag for every key but F1 to F12; and back to text.
WORD HotkeyControlValue(const std::wstring& text);
std::wstring HotkeyControlText(WORD value);

class TOptionsDialog {
public:
    TOptionsDialog() = default;
    ~TOptionsDialog();
    TOptionsDialog(const TOptionsDialog&) = delete;
    TOptionsDialog& operator=(const TOptionsDialog&) = delete;

    // Creates the page window as a child of `parent` at `bounds`; false when it cannot be made.
    bool Create(HWND parent, const RECT& bounds);
    void Destroy();
    HWND Handle() const { return FPage.Get(); }
    void Move(const RECT& bounds);

    // Control values; Show puts `options` into the controls, Read takes them out.
    void Show(const TPageOptions& options);
    TPageOptions Read() const;
    // IsDialogMessage over the page and its sheets.
    bool TranslateMessage(MSG& message);

    // Any control changed by the user.
    std::function<void()> OnChange;

    // The design size of the page, in pixels.
    static constexpr int kWidth = 409;
    static constexpr int kHeight = 278;

private:
    static INT_PTR CALLBACK PageProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    static INT_PTR CALLBACK SheetProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    void ApplyFrench();
    void Layout();
    void ShowSheet(int index);
    void GlobalShortcutsClicked();
    HWND Item(int id) const;

    win::UniqueWindow FPage;
    HWND FTabs = nullptr;
    HWND FSheets[3] = {};
    bool FShowing = false; // values being set from code: no change notice
};

} // namespace mellodeck
