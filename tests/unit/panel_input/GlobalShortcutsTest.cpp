#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "panel/GlobalShortcuts.h"
#include "panel/HotkeyText.h"

namespace mellodeck {
namespace {

// Records what reaches the system; registering an identifier twice without unregistering fails, as it does
// for RegisterHotKey.
class FakeRegistrar : public IHotkeyRegistrar {
public:
    explicit FakeRegistrar(std::vector<std::string>& log) : FLog(log) {}
    bool Register(int32_t id, uint32_t modifiers, uint32_t key) override {
        FLog.push_back("register " + std::to_string(id) + " " + std::to_string(modifiers) + " " + std::to_string(key));
        return key != 0;
    }
    bool Unregister(int32_t id) override {
        FLog.push_back("unregister " + std::to_string(id));
        return true;
    }

private:
    std::vector<std::string>& FLog;
};

class GlobalShortcutsTest : public ::testing::Test {
protected:
    std::vector<std::string> FLog;
    std::unique_ptr<TGlobalShortcuts> FShortcuts = std::make_unique<TGlobalShortcuts>(std::make_unique<FakeRegistrar>(FLog));
};

TEST_F(GlobalShortcutsTest, AnActiveEntryIsRegisteredOnlyWhileEnabled) {
    std::vector<bool> notices;
    FShortcuts->OnEnabled = [&](TGlobalShortcuts* sender, bool value) {
        EXPECT_EQ(sender, FShortcuts.get());
        notices.push_back(value);
    };
    const THotkey hotkey = TextToShortCut(L"Ctrl+Alt+W");
    TGlobalShortcut* entry = FShortcuts->Add(L"", kOpenHotkeyId, hotkey.Shift, hotkey.Key);
    EXPECT_FALSE(entry->Active());
    EXPECT_EQ(FShortcuts->Count(), 1);
    EXPECT_EQ(FShortcuts->Items(0), entry);
    entry->SetActive(true);
    EXPECT_TRUE(FLog.empty()) << "disabled: nothing registered";

    FShortcuts->SetEnabled(true);
    FShortcuts->SetEnabled(true);
    FShortcuts->SetEnabled(false);
    FShortcuts->SetEnabled(true);
    EXPECT_EQ(FLog, (std::vector<std::string>{"register 1034 3 87", "unregister 1034", "register 1034 3 87"}));
    EXPECT_EQ(notices, (std::vector<bool>{true, false, true}));
    EXPECT_TRUE(entry->Active()) << "disabling keeps the entry active";

    FLog.clear();
    entry->SetActive(true);
    entry->SetActive(false);
    EXPECT_EQ(FLog, (std::vector<std::string>{"unregister 1034"}));
}

TEST_F(GlobalShortcutsTest, ReassignReplacesTheRegisteredCombination) {
    FShortcuts->SetEnabled(true);
    TGlobalShortcut* entry = FShortcuts->Add(L"", kOpenHotkeyId, kHotkeyCtrl | kHotkeyAlt, 'W');
    entry->SetActive(true);
    const THotkey next = TextToShortCut(L"Shift+F12");
    entry->Reassign(next.Shift, next.Key);
    EXPECT_EQ(FLog, (std::vector<std::string>{"register 1034 3 87", "unregister 1034", "register 1034 4 123"}));
    FLog.clear();
    TGlobalShortcut* idle = FShortcuts->Add(L"spare", 7, 0, 'Q');
    idle->Reassign(kHotkeyCtrl, 'R');
    EXPECT_TRUE(FLog.empty()) << "an inactive entry only takes the new values";
    EXPECT_EQ(idle->Key, static_cast<uint32_t>('R'));
}

TEST_F(GlobalShortcutsTest, DestructionUnregistersEveryEntryInOrder) {
    FShortcuts->SetEnabled(true);
    FShortcuts->Add(L"", kOpenHotkeyId, kHotkeyCtrl, 'A')->SetActive(true);
    FShortcuts->Add(L"", 2, kHotkeyCtrl, 'B');
    FLog.clear();
    FShortcuts.reset();
    EXPECT_EQ(FLog, (std::vector<std::string>{"unregister 1034", "unregister 2"}));
}

} // namespace
} // namespace mellodeck
