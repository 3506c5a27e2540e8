#include <gtest/gtest.h>

#include <string>

#include "panel/PanelSettings.h"

namespace mellodeck {
namespace {

class PanelSettingsTest : public ::testing::Test {
protected:
    TMemorySettingsStore FStore;
    TPanelSettings FSettings{FStore};
};

TEST_F(PanelSettingsTest, MissingValuesGiveTheDefaults) {
    EXPECT_FALSE(FSettings.RunAlwaysMinimized());
    EXPECT_FALSE(FSettings.ReplaceWithDropped());
    EXPECT_FALSE(FSettings.SeparateLines());
    EXPECT_FALSE(FSettings.GlobalHotkeyEnabled());
    EXPECT_EQ(FSettings.OpenHotkey(), L"Ctrl+Alt+W");
    FStore.WriteText(kShortcutShowValue, L"");
    EXPECT_EQ(FSettings.OpenHotkey(), L"Ctrl+Alt+W") << "an empty text reads as the default";
    EXPECT_EQ(FStore.Writes, 1) << "reading writes nothing";
}

TEST_F(PanelSettingsTest, AnyNonZeroNumberIsTrueAndOtherTypesAreMissing) {
    FStore.WriteNumber(kRunMinimizedValue, 2);
    FStore.WriteNumber(kSeparateLinesValue, 0xFFFFFFFF);
    FStore.WriteText(kReplaceWithDroppedValue, L"1");
    FStore.SetOther(kGlobalShortcutsValue);
    FStore.WriteNumber(kShortcutShowValue, 5);
    EXPECT_TRUE(FSettings.RunAlwaysMinimized());
    EXPECT_TRUE(FSettings.SeparateLines());
    EXPECT_FALSE(FSettings.ReplaceWithDropped());
    EXPECT_FALSE(FSettings.GlobalHotkeyEnabled());
    EXPECT_EQ(FSettings.OpenHotkey(), L"Ctrl+Alt+W");
}

// Every boolean but RunAlwaysMinimized writes only when the stored value differs, and says whether it wrote.
TEST_F(PanelSettingsTest, BooleansWriteOnlyOnChange) {
    using Setter = bool (TPanelSettings::*)(bool);
    using Getter = bool (TPanelSettings::*)();
    const struct {
        const wchar_t* Name;
        Setter Set;
        Getter Get;
    } cases[] = {
        {kReplaceWithDroppedValue, &TPanelSettings::SetReplaceWithDropped, &TPanelSettings::ReplaceWithDropped},
        {kSeparateLinesValue, &TPanelSettings::SetSeparateLines, &TPanelSettings::SeparateLines},
        {kGlobalShortcutsValue, &TPanelSettings::SetGlobalHotkeyEnabled, &TPanelSettings::GlobalHotkeyEnabled},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::string(c.Name, c.Name + std::wcslen(c.Name)));
        FStore.Writes = 0;
        EXPECT_FALSE((FSettings.*c.Set)(false)) << "false over a missing value changes nothing";
        EXPECT_FALSE(FStore.Contains(c.Name));
        EXPECT_TRUE((FSettings.*c.Set)(true));
        EXPECT_FALSE((FSettings.*c.Set)(true));
        EXPECT_EQ(FStore.Writes, 1);
        EXPECT_TRUE((FSettings.*c.Get)());
        uint32_t stored = 0;
        ASSERT_TRUE(FStore.ReadNumber(c.Name, stored));
        EXPECT_EQ(stored, 1u);
        EXPECT_TRUE((FSettings.*c.Set)(false));
        ASSERT_TRUE(FStore.ReadNumber(c.Name, stored));
        EXPECT_EQ(stored, 0u);
        // A value of another type reads as false, so writing false leaves it; writing true replaces it.
        FStore.SetOther(c.Name);
        EXPECT_FALSE((FSettings.*c.Set)(false));
        EXPECT_TRUE((FSettings.*c.Set)(true));
        EXPECT_TRUE((FSettings.*c.Get)());
        FStore.FailWrites = true;
        EXPECT_FALSE((FSettings.*c.Set)(false)) << "a failed write is no change";
        FStore.FailWrites = false;
        EXPECT_TRUE((FSettings.*c.Get)());
    }
    FStore.Writes = 0;
    FSettings.SetRunAlwaysMinimized(true);
    FSettings.SetRunAlwaysMinimized(true);
    EXPECT_EQ(FStore.Writes, 2);
    EXPECT_TRUE(FSettings.RunAlwaysMinimized());
}

TEST_F(PanelSettingsTest, OpenHotkeyStoresOnlyNewTextsThatNameAKey) {
    EXPECT_FALSE(FSettings.SetOpenHotkey(L""));
    EXPECT_FALSE(FSettings.SetOpenHotkey(L"Ctrl+Alt+W")) << "equal to the default that is read";
    EXPECT_FALSE(FSettings.SetOpenHotkey(L"Ctrl+Alt+Nothing"));
    EXPECT_FALSE(FSettings.SetOpenHotkey(L"Ctrl+Alt+"));
    EXPECT_FALSE(FSettings.SetOpenHotkey(L"Ctrl+" + std::wstring(80, L'A')));
    EXPECT_EQ(FStore.Writes, 0);
    EXPECT_EQ(FSettings.OpenHotkey(), L"Ctrl+Alt+W");

    EXPECT_TRUE(FSettings.SetOpenHotkey(L"Shift+F12"));
    EXPECT_EQ(FSettings.OpenHotkey(), L"Shift+F12");
    EXPECT_FALSE(FSettings.SetOpenHotkey(L"Shift+F12"));
    EXPECT_FALSE(FSettings.SetOpenHotkey(L"Shift+F99")) << "the working hotkey is kept";
    EXPECT_EQ(FSettings.OpenHotkey(), L"Shift+F12");
    EXPECT_TRUE(FSettings.SetOpenHotkey(L"alt+ctrl+w")) << "stored as given";
    EXPECT_EQ(FSettings.OpenHotkey(), L"alt+ctrl+w");
    EXPECT_EQ(FStore.Writes, 2);
}

} // namespace
} // namespace mellodeck
