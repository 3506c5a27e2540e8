#pragma once
// The text form of a hotkey ("Ctrl+Alt+W"): zero or more modifier prefixes, then one key name. It is what the
// "ShortcutShow" option stores and what the options page shows.
#include <cstdint>
#include <functional>
#include <string>

namespace mellodeck {

// Modifier set of a hotkey: bit 0 Shift, bit 1 Alt, bit 2 Ctrl.
inline constexpr uint32_t kHotkeyShift = 1;
inline constexpr uint32_t kHotkeyAlt = 2;
inline constexpr uint32_t kHotkeyCtrl = 4;

// The system's hotkey registration flags (MOD_ALT, MOD_CONTROL, MOD_SHIFT).
inline constexpr uint32_t kModAlt = 1;
inline constexpr uint32_t kModControl = 2;
inline constexpr uint32_t kModShift = 4;

// Texts longer than this are no hotkey (the longest prefix set is 15 characters; system key names are short).
inline constexpr std::size_t kMaxHotkeyTextLength = 64;

struct THotkey {
    uint32_t Key = 0;   // virtual-key code; 0 = no hotkey
    uint32_t Shift = 0; // kHotkey* bits
    friend bool operator==(const THotkey&, const THotkey&) = default;
};

// Names of the keys outside the fixed set come from the system (GetKeyNameTextW on Windows); without a hook
// they have no name and so cannot be parsed or formatted. An empty function removes the hook.
using TKeyNameHook = std::function<std::wstring(uint32_t virtualKey)>;
void SetKeyNameHook(TKeyNameHook hook);

// The name of one virtual key: "A".."Z", "0".."9" (keypad digits too), "F1".."F24", "BkSp", "Tab", "Enter",
// "Esc", "Space", "PgUp", "PgDn", "End", "Home", "Left", "Up", "Right", "Down", "Ins", "Del", otherwise the
// hook's answer (empty when there is none).
std::wstring KeyName(uint32_t virtualKey);
// Prefixes in the order Shift, Ctrl, Alt, then the key's name; empty for key 0.
std::wstring ShortCutToText(const THotkey& hotkey);
// Prefixes in any order and letter case, then a key name compared ignoring case with the name of every
// virtual key from 8 upward (the first match wins). Text that names no key, is empty after the prefixes or
// is longer than kMaxHotkeyTextLength gives no hotkey (key 0, no modifiers).
THotkey TextToShortCut(const std::wstring& text);
// The modifier set as the system's registration flags: Shift -> 4, Alt -> 1, Ctrl -> 2 (no Windows key).
uint32_t HotkeyModifiers(uint32_t shift);

} // namespace mellodeck
