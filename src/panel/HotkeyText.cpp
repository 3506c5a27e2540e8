#include "panel/HotkeyText.h"

#include <mutex>
#include <utility>

#include "common/UnicodeCase.h"

namespace mellodeck {
namespace {

std::mutex gHookLock;
TKeyNameHook gKeyNameHook;

struct TFixedName {
    uint32_t Key;
    const wchar_t* Name;
};
constexpr TFixedName kFixedNames[] = {
    {8, L"BkSp"},  {9, L"Tab"},   {13, L"Enter"}, {27, L"Esc"},   {32, L"Space"}, {33, L"PgUp"},
    {34, L"PgDn"}, {35, L"End"},  {36, L"Home"},  {37, L"Left"},  {38, L"Up"},    {39, L"Right"},
    {40, L"Down"}, {45, L"Ins"},  {46, L"Del"},
};

struct TPrefix {
    const wchar_t* Text;
    uint32_t Bit;
};
// Formatting order.
constexpr TPrefix kPrefixes[] = {{L"Shift+", kHotkeyShift}, {L"Ctrl+", kHotkeyCtrl}, {L"Alt+", kHotkeyAlt}};

constexpr uint32_t kFirstKey = 8;
constexpr uint32_t kLastKey = 255;

bool SameText(const std::wstring& a, std::size_t offset, const std::wstring& b, std::size_t length) {
    if (a.size() - offset < length || b.size() < length)
        return false;
    for (std::size_t i = 0; i < length; ++i)
        if (UnicodeUpper(a[offset + i]) != UnicodeUpper(b[i]))
            return false;
    return true;
}

} // namespace

void SetKeyNameHook(TKeyNameHook hook) {
    std::lock_guard<std::mutex> lock(gHookLock);
    gKeyNameHook = std::move(hook);
}

std::wstring KeyName(uint32_t virtualKey) {
    if (virtualKey >= 'A' && virtualKey <= 'Z')
        return std::wstring(1, static_cast<wchar_t>(virtualKey));
    if (virtualKey >= '0' && virtualKey <= '9')
        return std::wstring(1, static_cast<wchar_t>(virtualKey));
    if (virtualKey >= 96 && virtualKey <= 105) // keypad digits
        return std::wstring(1, static_cast<wchar_t>(L'0' + (virtualKey - 96)));
    if (virtualKey >= 112 && virtualKey <= 135)
        return L"F" + std::to_wstring(virtualKey - 111);
    for (const TFixedName& fixed : kFixedNames)
        if (fixed.Key == virtualKey)
            return fixed.Name;
    TKeyNameHook hook;
    {
        std::lock_guard<std::mutex> lock(gHookLock);
        hook = gKeyNameHook;
    }
    return hook ? hook(virtualKey) : std::wstring();
}

std::wstring ShortCutToText(const THotkey& hotkey) {
    const std::wstring name = KeyName(hotkey.Key);
    if (hotkey.Key == 0 || name.empty())
        return {};
    std::wstring text;
    for (const TPrefix& prefix : kPrefixes)
        if (hotkey.Shift & prefix.Bit)
            text += prefix.Text;
    return text + name;
}

THotkey TextToShortCut(const std::wstring& text) {
    if (text.size() > kMaxHotkeyTextLength)
        return {};
    uint32_t shift = 0;
    std::size_t at = 0;
    for (bool found = true; found;) {
        found = false;
        for (const TPrefix& prefix : kPrefixes) {
            const std::wstring p = prefix.Text;
            if (SameText(text, at, p, p.size())) {
                shift |= prefix.Bit;
                at += p.size();
                found = true;
            }
        }
    }
    const std::size_t rest = text.size() - at;
    if (rest == 0)
        return {};
    for (uint32_t key = kFirstKey; key <= kLastKey; ++key) {
        const std::wstring name = KeyName(key);
        if (name.size() == rest && SameText(text, at, name, rest))
            return THotkey{key, shift};
    }
    return {};
}

uint32_t HotkeyModifiers(uint32_t shift) {
    uint32_t modifiers = 0;
    if (shift & kHotkeyShift)
        modifiers |= kModShift;
    if (shift & kHotkeyAlt)
        modifiers |= kModAlt;
    if (shift & kHotkeyCtrl)
        modifiers |= kModControl;
    return modifiers;
}

} // namespace mellodeck
