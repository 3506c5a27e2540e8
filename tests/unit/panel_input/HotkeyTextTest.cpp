#include <gtest/gtest.h>

#include <string>

#include "panel/HotkeyText.h"

namespace mellodeck {
namespace {

TEST(HotkeyText, ParsesPrefixesInAnyOrderAndCaseAndFormatsThemInOrder) {
    const struct {
        const wchar_t* Text;
        THotkey Expected;
        const wchar_t* Formatted;
        uint32_t Modifiers;
    } cases[] = {
        {L"Ctrl+Alt+W", {87, kHotkeyCtrl | kHotkeyAlt}, L"Ctrl+Alt+W", 3},
        {L"alt+ctrl+w", {87, kHotkeyCtrl | kHotkeyAlt}, L"Ctrl+Alt+W", 3},
        {L"ALT+SHIFT+ctrl+Home", {36, kHotkeyCtrl | kHotkeyAlt | kHotkeyShift}, L"Shift+Ctrl+Alt+Home", 7},
        {L"Shift+F12", {123, kHotkeyShift}, L"Shift+F12", 4},
        {L"F24", {135, 0}, L"F24", 0},
        {L"f1", {112, 0}, L"F1", 0},
        {L"Alt+5", {53, kHotkeyAlt}, L"Alt+5", 1},
        {L"ctrl+bksp", {8, kHotkeyCtrl}, L"Ctrl+BkSp", 2},
        {L"Shift+pgdn", {34, kHotkeyShift}, L"Shift+PgDn", 4},
        {L"Ctrl+Del", {46, kHotkeyCtrl}, L"Ctrl+Del", 2},
        {L"Space", {32, 0}, L"Space", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << (&c - cases));
        const THotkey parsed = TextToShortCut(c.Text);
        EXPECT_EQ(parsed.Key, c.Expected.Key);
        EXPECT_EQ(parsed.Shift, c.Expected.Shift);
        EXPECT_EQ(ShortCutToText(parsed), c.Formatted);
        EXPECT_EQ(HotkeyModifiers(parsed.Shift), c.Modifiers);
    }
}

TEST(HotkeyText, TextThatNamesNoKeyIsNoHotkey) {
    for (const wchar_t* text : {L"", L"Ctrl+", L"Ctrl+Alt+", L"Ctrl+Alt+WW", L"Ctrl-Alt-W", L"F25", L"F0",
                                L"Win+W", L" W", L"Ctrl+Alt+W ", L"Meta+Q"}) {
        const THotkey parsed = TextToShortCut(text);
        EXPECT_EQ(parsed.Key, 0u) << std::string(text, text + std::wcslen(text));
        EXPECT_EQ(parsed.Shift, 0u);
    }
    // Longer than the cap, although it would otherwise parse.
    EXPECT_EQ(TextToShortCut(std::wstring(kMaxHotkeyTextLength - 1, L' ') + L"W").Key, 0u);
    EXPECT_EQ(TextToShortCut(L"Ctrl+Ctrl+W").Key, 87u);
    EXPECT_EQ(ShortCutToText(THotkey{0, kHotkeyCtrl}), L"");
}

TEST(HotkeyText, KeypadDigitsFormatAsDigitsAndParseAsTheMainRow) {
    EXPECT_EQ(KeyName(96), L"0");
    EXPECT_EQ(KeyName(105), L"9");
    EXPECT_EQ(ShortCutToText(THotkey{101, kHotkeyCtrl}), L"Ctrl+5");
    EXPECT_EQ(TextToShortCut(L"Ctrl+5").Key, 53u);
}

// Keys outside the fixed set are named by the system; the hook stands in for it here.
TEST(HotkeyText, OtherKeysTakeTheSystemsNames) {
    EXPECT_EQ(KeyName(0xBA), L"") << "no names without the system";
    SetKeyNameHook([](uint32_t key) -> std::wstring {
        if (key == 0xBA)
            return L";";
        if (key == 0x90)
            return L"Num Lock";
        if (key == 'W' || key == 13)
            return L"never asked";
        return {};
    });
    EXPECT_EQ(TextToShortCut(L"Ctrl+;"), (THotkey{0xBA, kHotkeyCtrl}));
    EXPECT_EQ(TextToShortCut(L"shift+num lock"), (THotkey{0x90, kHotkeyShift}));
    EXPECT_EQ(ShortCutToText(THotkey{0x90, kHotkeyAlt}), L"Alt+Num Lock");
    EXPECT_EQ(KeyName('W'), L"W");
    EXPECT_EQ(KeyName(13), L"Enter");
    SetKeyNameHook(nullptr);
    EXPECT_EQ(TextToShortCut(L"Ctrl+;").Key, 0u);
}

} // namespace
} // namespace mellodeck
