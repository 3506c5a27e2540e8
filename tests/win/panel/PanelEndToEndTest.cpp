// The panel in its window with the real player driver, against the stand-in player and the helper plug-in
// running in it (separate processes): the panel follows the player and its button drives it, and follows a
// save the tag editor makes to the file being played.
#include <gtest/gtest.h>

#include "PanelCapture.h"
#include "StandinSession.h"
#include "TagEditorIds.h"
#include "panel/TagEditorContract.h"
#include "media/core/MediaManager.h"
#include "panel/GoogleSideBarConsts.h"
#include "panel/win/GoogleSideBarWindow.h"
#include "player/win/WinAmpManager.h"

namespace mellodeck::test {
namespace {

namespace fs = std::filesystem;

TEST(PanelEndToEnd, FollowsThePlayerAndDrivesIt) {
    ASSERT_TRUE(HaveFixture("player/track1.mp3")) << "player fixtures missing: run tests/fixtures/make-player.sh";
    MediaLibraryStart();
    FillSideBarStrings(1033);
    StandinSession s(true, {L"/length", L"100"});
    s.RegisterPlayer();
    for (const char* f : {"track1.mp3", "track2.mp3"})
        fs::copy_file(FixturePath(std::string("player/") + f), s.Root.Path() / f);
    const std::wstring track1 = s.Root.Text("track1.mp3"), track2 = s.Root.Text("track2.mp3");

    THostWindow host;
    ASSERT_TRUE(host.Create(0, L"panel end to end", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400, 400, nullptr));
    auto manager = std::make_unique<TWinAmpManager>();
    TWinAmpManager* m = manager.get();
    TGoogleSideBarWindow window(std::move(manager), std::make_unique<TMemorySettingsStore>());
    ASSERT_TRUE(window.Create(host.Handle(), RECT{0, 0, 260, 300}));
    TGoogleSideBar& panel = window.Panel();
    ASSERT_TRUE(PumpUntil([&] { return panel.Buttons->Launch.Visible(); }));
    Bitmap32 c = Capture(window.Handle());
    SavePng(c, "e2e-not-running");
    EXPECT_GT(Inked(c, {6, 6, 254, 294}), 100);

    s.Start({track1, track2});
    ASSERT_TRUE(PumpUntil([&] {
        return panel.Buttons->Play.Visible() && panel.Track.FileName == track1 && !panel.ScaledArtwork.Empty();
    }));
    EXPECT_EQ(m->HelperError, 0);
    for (int i = 0; i < kFadeSteps; ++i)
        ::SendMessageW(window.Handle(), WM_TIMER, TGoogleSideBarWindow::kFadeTimerId, 0);
    Pump();
    c = Capture(window.Handle());
    SavePng(c, "e2e-playing");
    ExpectCell(c, panel.Buttons->Play, L"SB_BUTTONS", 1);
    EXPECT_FALSE(panel.Track.Title.empty());
    EXPECT_EQ(panel.TrackTextLines(TTextAlign::Center).Line3, panel.Track.Title);
    // The cover (64x48) scaled into 248x252: 248x186, in the middle column of the content.
    EXPECT_EQ(panel.ScaledArtwork.Width(), 248);
    EXPECT_EQ(panel.ScaledArtwork.Height(), 186);

    // Next, clicked on the panel's button with real mouse messages.
    const TSideBarButton& next = panel.Buttons->Next;
    const LPARAM at = MAKELPARAM(next.Left + 5, next.Top + 5);
    ::SendMessageW(window.Handle(), WM_MOUSEMOVE, 0, at);
    ::SendMessageW(window.Handle(), WM_MOUSEMOVE, 0, at);
    ::SendMessageW(window.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::SendMessageW(window.Handle(), WM_LBUTTONUP, 0, at);
    ::ReleaseCapture();
    ASSERT_TRUE(PumpUntil([&] { return panel.Track.FileName == track2; }));
    for (int i = 0; i < kFadeSteps; ++i)
        ::SendMessageW(window.Handle(), WM_TIMER, TGoogleSideBarWindow::kFadeTimerId, 0);
    c = Capture(window.Handle());
    SavePng(c, "e2e-next");
    EXPECT_EQ(panel.ScaledArtwork.Width(), panel.ScaledArtwork.Height()) << "track 2 has a square cover";

    // The tag editor saves a new title into the file being played: the panel shows it without a track change.
    {
        TNamedTestLock editorLock(kTagEditorLock); // its window is found by class: no other case's editor
        const std::wstring editor = BuildTreePath(MELLODECK_TAGEDITOR);
        std::wstring command = L"\"" + editor + L"\" \"" + track2 + L"\" /open";
        STARTUPINFOW si{};
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi{};
        ASSERT_TRUE(::CreateProcessW(editor.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                                     &pi));
        ::CloseHandle(pi.hThread);
        auto field = [](int index) { return ::GetDlgItem(::FindWindowW(kTagEditorWindowClass, nullptr), index); };
        auto text = [&](int index) {
            wchar_t value[256] = {};
            ::SendMessageW(field(index), WM_GETTEXT, std::size(value), reinterpret_cast<LPARAM>(value));
            return std::wstring(value);
        };
        const int titleField = tageditor::kFirstFieldId + 2;
        EXPECT_TRUE(PumpUntil([&] { return text(titleField) == panel.Track.Title; })) << "the editor shows the file";
        const std::wstring saved = L"Saved in the editor \u00e9";
        ::SendMessageW(field(titleField), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(saved.c_str()));
        HWND editorWindow = ::FindWindowW(kTagEditorWindowClass, nullptr);
        ::SendMessageW(editorWindow, WM_COMMAND, MAKEWPARAM(tageditor::kSaveButtonId, BN_CLICKED),
                       reinterpret_cast<LPARAM>(field(tageditor::kSaveButtonId)));
        EXPECT_TRUE(PumpUntil([&] { return panel.Track.Title == saved; })) << "the panel did not follow the save";
        EXPECT_EQ(panel.Track.FileName, track2);
        EXPECT_EQ(panel.TrackTextLines(TTextAlign::Center).Line3, saved);
        ::PostMessageW(editorWindow, WM_CLOSE, 0, 0);
        ::WaitForSingleObject(pi.hProcess, 10000);
        ::CloseHandle(pi.hProcess);
    }
    window.Destroy();
    host.Destroy();
}

} // namespace
} // namespace mellodeck::test
