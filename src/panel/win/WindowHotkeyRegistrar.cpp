#include "panel/win/WindowHotkeyRegistrar.h"

#include "panel/HotkeyText.h"

namespace mellodeck::win {
namespace {

std::wstring SystemKeyName(uint32_t virtualKey) {
    const UINT scanCode = ::MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC);
    if (scanCode == 0)
        return {};
    LONG lParam = static_cast<LONG>(scanCode << 16);
    // Keys of the extended block share scan codes with keypad keys; bit 24 tells them apart.
    switch (virtualKey) {
    case VK_PRIOR: case VK_NEXT: case VK_END: case VK_HOME: case VK_LEFT: case VK_UP: case VK_RIGHT:
    case VK_DOWN: case VK_INSERT: case VK_DELETE: case VK_DIVIDE: case VK_NUMLOCK: case VK_RCONTROL:
    case VK_RMENU: case VK_LWIN: case VK_RWIN: case VK_APPS:
        lParam |= 1 << 24;
        break;
    default:
        break;
    }
    wchar_t name[64] = {};
    const int length = ::GetKeyNameTextW(lParam, name, static_cast<int>(std::size(name)));
    return length > 0 ? std::wstring(name, static_cast<std::size_t>(length)) : std::wstring();
}

} // namespace

void InstallSystemKeyNames() { SetKeyNameHook(&SystemKeyName); }

TWindowHotkeyRegistrar::TWindowHotkeyRegistrar(HWND window) : FWindow(window) { InstallSystemKeyNames(); }

bool TWindowHotkeyRegistrar::Register(int32_t id, uint32_t modifiers, uint32_t key) {
    return ::RegisterHotKey(FWindow, id, modifiers, key) != FALSE;
}

bool TWindowHotkeyRegistrar::Unregister(int32_t id) { return ::UnregisterHotKey(FWindow, id) != FALSE; }

} // namespace mellodeck::win
