#pragma once
// System-wide hotkeys registered for one window (RegisterHotKey/UnregisterHotKey); the system then posts
// WM_HOTKEY with the hotkey's identifier in wParam to that window.
#include <windows.h>

#include "panel/GlobalShortcuts.h"

namespace mellodeck::win {

class TWindowHotkeyRegistrar : public IHotkeyRegistrar {
public:
    // Also installs the system's key names for the hotkey text (InstallSystemKeyNames).
    explicit TWindowHotkeyRegistrar(HWND window);
    bool Register(int32_t id, uint32_t modifiers, uint32_t key) override;
    bool Unregister(int32_t id) override;
    HWND Window() const { return FWindow; }

private:
    HWND FWindow;
};

// Lets the hotkey text name keys outside the fixed set by the system's names (GetKeyNameTextW of the key's
// scan code). Idempotent.
void InstallSystemKeyNames();

} // namespace mellodeck::win
