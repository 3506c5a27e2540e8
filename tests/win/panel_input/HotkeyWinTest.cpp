#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>

#include "panel/GlobalShortcuts.h"
#include "panel/HotkeyText.h"
#include "panel/win/WindowHotkeyRegistrar.h"

namespace mellodeck {
namespace {

// A hidden top-level window that only receives; the hotkey messages are read from the thread's queue.
class HotkeyWindow {
public:
    HotkeyWindow() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"MellodeckHotkeyTestWindow";
        RegisterClassW(&wc);
        FWindow = CreateWindowExW(0, wc.lpszClassName, L"hotkey test", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr,
                                  wc.hInstance, nullptr);
    }
    ~HotkeyWindow() { DestroyWindow(FWindow); }
    HWND Get() const { return FWindow; }

    // Waits for a WM_HOTKEY to this window; its identifier, or -1 after the time-out.
    int WaitHotkey(DWORD milliseconds) {
        const DWORD start = GetTickCount();
        while (GetTickCount() - start < milliseconds) {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (msg.message == WM_HOTKEY && msg.hwnd == FWindow)
                    return static_cast<int>(msg.wParam);
                DispatchMessageW(&msg);
            }
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        }
        return -1;
    }

private:
    HWND FWindow = nullptr;
};

void PressKeys(std::initializer_list<WORD> keys) {
    std::vector<INPUT> inputs;
    for (WORD key : keys) {
        INPUT in{};
        in.type = INPUT_KEYBOARD;
        in.ki.wVk = key;
        inputs.push_back(in);
    }
    for (auto it = keys.end(); it != keys.begin();) {
        INPUT in{};
        in.type = INPUT_KEYBOARD;
        in.ki.wVk = *--it;
        in.ki.dwFlags = KEYEVENTF_KEYUP;
        inputs.push_back(in);
    }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

// Whether the system holds the combination for someone: a second registration of it is refused then.
bool CombinationTaken(UINT modifiers, UINT key) {
    HotkeyWindow probe;
    if (RegisterHotKey(probe.Get(), 77, modifiers, key)) {
        UnregisterHotKey(probe.Get(), 77);
        return false;
    }
    return true;
}

TEST(HotkeyWin, TheOpenHotkeyIsRegisteredWithTheSystemAndDelivered) {
    HotkeyWindow window;
    ASSERT_NE(window.Get(), nullptr);
    auto shortcuts = std::make_unique<TGlobalShortcuts>(std::make_unique<win::TWindowHotkeyRegistrar>(window.Get()));
    const THotkey hotkey = TextToShortCut(L"Ctrl+Alt+W");
    TGlobalShortcut* entry = shortcuts->Add(L"", kOpenHotkeyId, hotkey.Shift, hotkey.Key);
    entry->SetActive(true);
    EXPECT_FALSE(CombinationTaken(MOD_CONTROL | MOD_ALT, 'W')) << "disabled: not registered";

    shortcuts->SetEnabled(true);
    EXPECT_TRUE(CombinationTaken(MOD_CONTROL | MOD_ALT, 'W'));
    PressKeys({VK_CONTROL, VK_MENU, 'W'});
    EXPECT_EQ(window.WaitHotkey(5000), kOpenHotkeyId);
    PressKeys({VK_CONTROL, 'W'});
    EXPECT_EQ(window.WaitHotkey(500), -1) << "another combination is not the hotkey";

    // A new text: the old combination is released, the new one registered and delivered.
    const THotkey next = TextToShortCut(L"Shift+F12");
    entry->Reassign(next.Shift, next.Key);
    EXPECT_FALSE(CombinationTaken(MOD_CONTROL | MOD_ALT, 'W'));
    EXPECT_TRUE(CombinationTaken(MOD_SHIFT, VK_F12));
    PressKeys({VK_SHIFT, VK_F12});
    EXPECT_EQ(window.WaitHotkey(5000), kOpenHotkeyId);

    shortcuts->SetEnabled(false);
    EXPECT_FALSE(CombinationTaken(MOD_SHIFT, VK_F12));
    shortcuts->SetEnabled(true);
    EXPECT_TRUE(CombinationTaken(MOD_SHIFT, VK_F12));
    shortcuts.reset();
    EXPECT_FALSE(CombinationTaken(MOD_SHIFT, VK_F12)) << "released with the list";
}

TEST(HotkeyWin, AHotkeyHeldByAnotherWindowIsRefusedQuietly) {
    HotkeyWindow holder, window;
    ASSERT_TRUE(RegisterHotKey(holder.Get(), 5, MOD_CONTROL | MOD_SHIFT, 'K'));
    TGlobalShortcuts shortcuts(std::make_unique<win::TWindowHotkeyRegistrar>(window.Get()));
    shortcuts.SetEnabled(true);
    shortcuts.Add(L"", kOpenHotkeyId, kHotkeyCtrl | kHotkeyShift, 'K')->SetActive(true);
    PressKeys({VK_CONTROL, VK_SHIFT, 'K'});
    EXPECT_EQ(holder.WaitHotkey(5000), 5);
    EXPECT_EQ(window.WaitHotkey(300), -1);
    UnregisterHotKey(holder.Get(), 5);
}

// Names of keys outside the fixed set come from the system and read back as the same key name.
TEST(HotkeyWin, SystemKeyNamesFormatAndParseBack) {
    win::InstallSystemKeyNames();
    int named = 0;
    for (uint32_t key = 8; key <= 255; ++key) {
        const std::wstring text = ShortCutToText(THotkey{key, kHotkeyCtrl});
        if (text.empty())
            continue;
        ++named;
        const THotkey parsed = TextToShortCut(text);
        EXPECT_NE(parsed.Key, 0u) << key;
        EXPECT_EQ(ShortCutToText(parsed), text) << key;
    }
    EXPECT_GT(named, 26 + 10 + 24 + 15) << "the system names keys beyond the fixed set";
    EXPECT_FALSE(KeyName(VK_MULTIPLY).empty());
    SetKeyNameHook(nullptr);
}

} // namespace
} // namespace mellodeck
