#include <gtest/gtest.h>

#include <windows.h>

#include <random>
#include <string>

#include "common/win/RegKey.h"
#include "panel/PanelSettings.h"
#include "panel/win/RegistrySettingsStore.h"

namespace mellodeck {
namespace {

constexpr wchar_t kTestRoot[] = L"Software\\MellodeckTest";

// The options over a fresh key below HKCU\Software\MellodeckTest, removed afterwards.
class RegistrySettingsTest : public ::testing::Test {
protected:
    static std::wstring ScratchPath() {
        std::random_device random;
        return std::wstring(kTestRoot) + L"\\Options" + std::to_wstring(random()) + L"\\GDS Controls\\";
    }
    ~RegistrySettingsTest() override {
        const std::wstring parent = FPath.substr(0, FPath.find(L"\\GDS Controls"));
        RegDeleteTreeW(HKEY_CURRENT_USER, parent.c_str());
        RegDeleteKeyW(HKEY_CURRENT_USER, parent.c_str());
        RegDeleteKeyW(HKEY_CURRENT_USER, kTestRoot);
    }
    void SetRaw(const wchar_t* name, DWORD type, const void* data, DWORD bytes) {
        win::RegKey key = win::RegKey::Create(HKEY_CURRENT_USER, FPath, KEY_SET_VALUE);
        ASSERT_TRUE(key);
        ASSERT_EQ(RegSetValueExW(key.Get(), name, 0, type, static_cast<const BYTE*>(data), bytes), ERROR_SUCCESS);
    }
    // Type and number of a stored value; type 0 when there is none.
    std::pair<DWORD, DWORD> Stored(const wchar_t* name) {
        win::RegKey key = win::RegKey::Open(HKEY_CURRENT_USER, FPath, KEY_QUERY_VALUE);
        DWORD type = 0, number = 0, bytes = sizeof(number);
        if (!key || RegQueryValueExW(key.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&number), &bytes) !=
                        ERROR_SUCCESS)
            return {0, 0};
        return {type, number};
    }

    const std::wstring FPath = ScratchPath();
    win::TRegistrySettingsStore FStore{FPath};
    TPanelSettings FSettings{FStore};
};

TEST_F(RegistrySettingsTest, AFreshUserReadsTheDefaultsAndTheFirstWriteCreatesTheKey) {
    EXPECT_EQ(FStore.KeyPath(), FPath);
    EXPECT_FALSE(FSettings.RunAlwaysMinimized());
    EXPECT_FALSE(FSettings.ReplaceWithDropped());
    EXPECT_FALSE(FSettings.SeparateLines());
    EXPECT_FALSE(FSettings.GlobalHotkeyEnabled());
    EXPECT_EQ(FSettings.OpenHotkey(), L"Ctrl+Alt+W");
    EXPECT_FALSE(win::RegKey::Open(HKEY_CURRENT_USER, FPath, KEY_READ)) << "reading creates nothing";

    EXPECT_TRUE(FSettings.SetReplaceWithDropped(true));
    EXPECT_FALSE(FSettings.SetReplaceWithDropped(true)) << "the second write of the same value is skipped";
    EXPECT_EQ(Stored(kReplaceWithDroppedValue), std::make_pair(DWORD{REG_DWORD}, DWORD{1}));
    FSettings.SetRunAlwaysMinimized(false);
    EXPECT_EQ(Stored(kRunMinimizedValue), std::make_pair(DWORD{REG_DWORD}, DWORD{0}));
    EXPECT_TRUE(FSettings.SetOpenHotkey(L"Shift+F12"));
    std::wstring text;
    ASSERT_TRUE(FStore.ReadText(kShortcutShowValue, text));
    EXPECT_EQ(text, L"Shift+F12");
    EXPECT_EQ(FSettings.OpenHotkey(), L"Shift+F12");

    // A second panel of the same user sees the change at once: nothing is cached.
    win::TRegistrySettingsStore other(FPath);
    TPanelSettings second(other);
    EXPECT_TRUE(second.ReplaceWithDropped());
    EXPECT_TRUE(second.SetReplaceWithDropped(false));
    EXPECT_FALSE(FSettings.ReplaceWithDropped());
}

// Only a 4-byte REG_DWORD counts; "0" stored as text must not read as true.
TEST_F(RegistrySettingsTest, BooleansCountOnlyAsFourByteNumbers) {
    const DWORD two = 2;
    SetRaw(kRunMinimizedValue, REG_DWORD, &two, sizeof(two));
    const wchar_t zeroText[] = L"0";
    SetRaw(kReplaceWithDroppedValue, REG_SZ, zeroText, sizeof(zeroText));
    const unsigned long long wide = 1;
    SetRaw(kSeparateLinesValue, REG_QWORD, &wide, sizeof(wide));
    SetRaw(kGlobalShortcutsValue, REG_BINARY, &two, sizeof(two));
    EXPECT_TRUE(FSettings.RunAlwaysMinimized());
    EXPECT_FALSE(FSettings.ReplaceWithDropped());
    EXPECT_FALSE(FSettings.SeparateLines());
    EXPECT_FALSE(FSettings.GlobalHotkeyEnabled());
    const WORD shortNumber = 1;
    SetRaw(kGlobalShortcutsValue, REG_DWORD, &shortNumber, sizeof(shortNumber));
    EXPECT_FALSE(FSettings.GlobalHotkeyEnabled()) << "a 2-byte DWORD is no number";

    // Writing true over a foreign value replaces it with a real number.
    EXPECT_TRUE(FSettings.SetReplaceWithDropped(true));
    EXPECT_EQ(Stored(kReplaceWithDroppedValue), std::make_pair(DWORD{REG_DWORD}, DWORD{1}));

    const wchar_t expand[] = L"Ctrl+Q";
    SetRaw(kShortcutShowValue, REG_EXPAND_SZ, expand, sizeof(expand));
    EXPECT_EQ(FSettings.OpenHotkey(), L"Ctrl+Alt+W") << "only plain text is a hotkey text";
    SetRaw(kShortcutShowValue, REG_SZ, L"", sizeof(wchar_t));
    EXPECT_EQ(FSettings.OpenHotkey(), L"Ctrl+Alt+W");
}

} // namespace
} // namespace mellodeck
