// The About box and the options page as dialogs of this test program (the module's resources are linked in):
// their texts in English and French, their layout rules, and a picture of each for a person to look at.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <thread>

#include "../../unit/player/TestPlayer.h"
#include "SidebarSite.h"
#include "common/win/UserObjects.h"
#include "host/About.h"
#include "host/DialogLayout.h"
#include "host/HostResources.h"
#include "host/OptionsDialog.h"
#include "panel/GoogleSideBarConsts.h"

namespace mellodeck::test {
namespace {

using standin::FindControl;
using standin::TabText;

struct LanguageScope {
    explicit LanguageScope(uint16_t language) { SetSystemLanguageOverride(language); }
    ~LanguageScope() { SetSystemLanguageOverride(0); }
};

class THelperSeven : public TTestManager {
public:
    int32_t GetHelperVersion() override { return 7; }
};

struct AboutSeen {
    std::wstring Desc, Formats, Version;
    win::TBox Copyright, DescBox, Ok;
    RECT Client{};
    bool Seen = false;
};

AboutSeen ShowAbout(TBasePlayerManager* manager, const wchar_t* png) {
    AboutSeen seen;
    std::thread watcher([&] {
        HWND dialog = standin::WaitForDialog(L"Mellodeck ", 20000);
        if (!dialog)
            return;
        ::Sleep(200);
        seen.Desc = win::WindowText(::GetDlgItem(dialog, IDC_ABOUT_DESC));
        seen.Formats = win::WindowText(::GetDlgItem(dialog, IDC_ABOUT_FORMATS));
        seen.Version = win::WindowText(::GetDlgItem(dialog, IDC_ABOUT_VERSION));
        seen.Copyright = win::ChildBox(::GetDlgItem(dialog, IDC_ABOUT_COPYRIGHT));
        seen.DescBox = win::ChildBox(::GetDlgItem(dialog, IDC_ABOUT_DESC));
        seen.Ok = win::ChildBox(::GetDlgItem(dialog, IDOK));
        ::GetClientRect(dialog, &seen.Client);
        standin::CaptureWindowPng(dialog, png);
        seen.Seen = true;
        ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    });
    TGoogleSideBarXAbout about(true, manager, {".mp3", ".ogg", ".flac"});
    EXPECT_EQ(about.ShowModal(), IDOK);
    watcher.join();
    return seen;
}

TEST(Dialogs, TheAboutBoxLaysItselfOutAndSpeaksFrenchOnAFrenchSystem) {
    THelperSeven manager;
    manager.State = {csInstalled, csLanched};
    AboutSeen english;
    {
        LanguageScope language(1033);
        english = ShowAbout(&manager, L"about-english.png");
    }
    ASSERT_TRUE(english.Seen);
    EXPECT_EQ(english.Desc.rfind(L"With this tool, you can control the WinAmp player", 0), 0u);
    EXPECT_EQ(english.Formats, L"The file types supported include MP3, OGG, FLAC.");
    EXPECT_EQ(english.Version.rfind(L"Version: ", 0), 0u);
    EXPECT_EQ(english.Version.substr(english.Version.size() - 20), L" (Helper version: 7)");
    // Width from the copyright line and the description; OK centred at the bottom.
    EXPECT_EQ(english.Client.right, english.Copyright.Left + english.DescBox.Width + 20);
    EXPECT_EQ(english.Ok.Left, (english.Client.right - 75) / 2);
    EXPECT_EQ(english.Client.bottom, english.Ok.Bottom() + 16);

    AboutSeen french;
    {
        LanguageScope language(3084); // French of Canada
        french = ShowAbout(&manager, L"about-french.png");
    }
    ASSERT_TRUE(french.Seen);
    EXPECT_EQ(french.Desc.rfind(L"Avec cet outil, vous pouvez contr\u00f4ler WinAmp", 0), 0u);
    EXPECT_NE(french.Desc.find(L"l\u2019album."), std::wstring::npos);
    EXPECT_EQ(french.Formats, L"Les types de fichiers support\u00e9s incluent le MP3, OGG, FLAC.");
    EXPECT_EQ(french.Version, english.Version);
}

TEST(Dialogs, TheOptionsPageInFrenchKeepsItsInterfaceTabAndMakesRoomForLongerLabels) {
    win::UniqueWindow frame(::CreateWindowExW(0, L"STATIC", L"frame", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 480,
                                              360, nullptr, nullptr, nullptr, nullptr));
    ASSERT_TRUE(frame);
    const RECT bounds{0, 0, TOptionsDialog::kWidth, TOptionsDialog::kHeight};
    int englishRun = 0, englishBox = 0;
    {
        LanguageScope language(1033);
        TOptionsDialog page;
        ASSERT_TRUE(page.Create(frame.Get(), bounds));
        englishRun = win::ChildBox(FindControl(frame.Get(), IDC_RUN_LABEL)).Height;
        englishBox = win::ChildBox(FindControl(frame.Get(), IDC_WINDOW_STATE_BOX)).Height;
        EXPECT_EQ(TabText(FindControl(frame.Get(), IDC_OPTIONS_TABS), 0), L"General");
    }
    LanguageScope language(1036);
    TOptionsDialog page;
    ASSERT_TRUE(page.Create(frame.Get(), bounds));
    const HWND tabs = FindControl(frame.Get(), IDC_OPTIONS_TABS);
    EXPECT_EQ(TabText(tabs, 0), L"G\u00e9n\u00e9ral");
    EXPECT_EQ(TabText(tabs, 1), L"Interface");
    EXPECT_EQ(TabText(tabs, 2), L"Raccourcis g\u00e9n\u00e9raux");
    EXPECT_EQ(win::WindowText(FindControl(frame.Get(), IDC_HOTKEY_BOX)), L" Raccourcis g\u00e9n\u00e9raux ");
    EXPECT_EQ(win::WindowText(FindControl(frame.Get(), IDC_RUN_MINIMIZED)), L"Toujours lancer WinAmp minimis\u00e9");
    EXPECT_EQ(win::WindowText(FindControl(frame.Get(), IDC_OPEN_LABEL)), L"Lancer, ouvrir ou cacher WinAmp");
    EXPECT_NE(win::WindowText(FindControl(frame.Get(), IDC_RUN_LABEL)).find(L"l\u2019\u00e9tat"), std::wstring::npos);
    // The longer French explanation takes more lines, and its group box grows with it.
    const int frenchRun = win::ChildBox(FindControl(frame.Get(), IDC_RUN_LABEL)).Height;
    EXPECT_GT(frenchRun, englishRun);
    EXPECT_EQ(win::ChildBox(FindControl(frame.Get(), IDC_WINDOW_STATE_BOX)).Height - englishBox, frenchRun - englishRun);
    ::RedrawWindow(frame.Get(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    standin::CaptureWindowPng(frame.Get(), L"options-french.png");
}

} // namespace
} // namespace mellodeck::test
