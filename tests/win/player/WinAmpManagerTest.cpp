// The Winamp driver against the stand-in player: its messages, the poll and the state it computes, the
// timer intervals, the registration, launching, and the wait thread.
#include <gtest/gtest.h>

#include <filesystem>

#include "StandinSession.h"
#include "player/win/WinAmpManager.h"
#include "player/win/WinAmpWaitThread.h"

namespace mellodeck::test {
namespace {

namespace fs = std::filesystem;

// Two playlist entries in the session's folder (their content does not matter to the stand-in).
std::vector<std::wstring> TwoFiles(const StandinSession& s) {
    std::vector<std::wstring> files = {s.Root.Text("one.track"), s.Root.Text("two.track")};
    for (const auto& f : files)
        WriteAll(fs::path(f), "x");
    return files;
}

bool Has(const TWinAmpManager& m, TControlState c) { return m.State.Contains(c); }

TEST(WinAmpRegistry, PlayerPathFromRegistration) {
    StandinSession s;
    TWinAmpManager m;
    std::wstring path;
    struct Case {
        std::wstring command;
        DWORD type;
        std::wstring path;
        bool installed;
    };
    const Case cases[] = {
        {L"\"" + s.PlayerExe() + L"\" \"%1\"", REG_SZ, s.PlayerExe(), true},
        {s.PlayerExe() + L" /play %1", REG_SZ, s.PlayerExe() + L" /play %1", false},
        {s.PlayerExe(), REG_SZ, s.PlayerExe(), true},
        {L"\"\"", REG_SZ, L"", false},
        {L"\"" + s.PlayerExe() + L"\"", REG_EXPAND_SZ, L"", false},
        {L"\"" + s.Root.Text() + L"\"", REG_SZ, s.Root.Text(), false}, // a folder is not an installation
    };
    for (const Case& c : cases) {
        s.Register(c.command, c.type);
        m.GetPlayerPath(path);
        EXPECT_EQ(path, c.path) << c.command;
        EXPECT_EQ(m.IsInstalled(), c.installed) << c.command;
    }
    StandinSession::Unregister();
    m.GetPlayerPath(path);
    EXPECT_EQ(path, L"");
    EXPECT_FALSE(m.IsInstalled());
}

TEST(WinAmpDriver, QueriesAndCommands) {
    StandinSession s(false, {L"/length", L"200"});
    s.RegisterPlayer();
    const auto files = TwoFiles(s);
    s.Start({L"/noplay", L"/pos", L"1", files[0], files[1]});
    TWinAmpManager m;

    // Stopped at the second of two entries.
    EXPECT_FALSE(m.IsPlaying());
    EXPECT_EQ(m.GetPlaylistLength(), 2);
    EXPECT_EQ(m.GetPlaylistPosition(), 1);
    EXPECT_FALSE(m.CanNext());
    EXPECT_TRUE(m.CanPrevious());
    m.SetRepeatMode(true);
    EXPECT_TRUE(m.RepeatMode());
    EXPECT_TRUE(m.CanNext());
    EXPECT_TRUE(m.CanPrevious());
    m.SetRepeatMode(false);
    EXPECT_FALSE(m.RepeatMode());
    m.SetShuffleMode(true);
    EXPECT_TRUE(m.ShuffleMode());

    m.Play();
    EXPECT_TRUE(m.IsPlaying());
    EXPECT_FALSE(m.IsPaused());
    EXPECT_EQ(m.GetDuration(), 200000);
    m.Pause();
    EXPECT_TRUE(m.IsPlaying());
    EXPECT_TRUE(m.IsPaused());
    m.Seek(1500);
    EXPECT_EQ(m.GetPosition(), 1500);
    // Play while paused resumes (40046) rather than restarting the track (40045).
    const int playsBefore = s.CountLog("command 40045");
    const int pausesBefore = s.CountLog("command 40046");
    m.Play();
    EXPECT_EQ(s.CountLog("command 40045"), playsBefore);
    EXPECT_EQ(s.CountLog("command 40046"), pausesBefore + 1);
    EXPECT_TRUE(m.IsPlaying());
    EXPECT_FALSE(m.IsPaused());
    EXPECT_GE(m.GetPosition(), 1500);

    m.Previous();
    EXPECT_EQ(m.GetPlaylistPosition(), 0);
    EXPECT_EQ(s.CountLog("command 40044"), 1);
    m.Previous(); // nothing before the first entry without repeat: not even sent
    EXPECT_EQ(s.CountLog("command 40044"), 1);
    m.Next();
    EXPECT_EQ(m.GetPlaylistPosition(), 1);
    m.Stop();
    EXPECT_FALSE(m.IsPlaying());
    m.ClearPlaylist();
    EXPECT_EQ(m.GetPlaylistLength(), 0);
    // Nothing loaded: the player answers -1, read as 0.
    EXPECT_EQ(m.GetDuration(), 0);
    EXPECT_EQ(m.GetPosition(), 0);

    EXPECT_TRUE(m.ClosePlayer());
    ASSERT_TRUE(s.WaitForLog("exit"));
    ASSERT_TRUE(PumpUntil([&] { return !m.FindPlayerWindow(); }));
    // Without a player, queries answer their defaults and commands go nowhere.
    EXPECT_FALSE(m.IsPlaying());
    EXPECT_EQ(m.GetPlaylistLength(), 0);
    EXPECT_EQ(m.GetDuration(), 0);
    EXPECT_EQ(m.GetHelperVersion(), -1);
    EXPECT_FALSE(m.ClosePlayer());
}

TEST(WinAmpDriver, EnqueueSendsOneCopyPerFileInOrder) {
    StandinSession s;
    s.RegisterPlayer();
    s.Start({L"/noplay"});
    TWinAmpManager m;
    const std::vector<std::wstring> none;
    m.Enqueue(nullptr);
    m.Enqueue(&none);
    EXPECT_EQ(s.CountLog("enqueue"), 0);
    const std::vector<std::wstring> files = {L"C:\\Music\\first one.mp3", L"C:\\Music\\second.ogg"};
    m.Enqueue(&files);
    const auto lines = s.LogLines();
    std::vector<std::string> enqueued;
    for (const auto& l : lines)
        if (l.rfind("enqueue ", 0) == 0)
            enqueued.push_back(l.substr(8));
    EXPECT_EQ(enqueued, (std::vector<std::string>{"C:\\Music\\first one.mp3", "C:\\Music\\second.ogg"}));
    EXPECT_EQ(m.GetPlaylistLength(), 2);
}

TEST(WinAmpDriver, MinimisedWindowReadsNotVisibleAndRestores) {
    StandinSession s;
    s.RegisterPlayer();
    s.Start({L"/noplay"}, SW_SHOWNORMAL);
    TWinAmpManager m;
    EXPECT_TRUE(m.PlayerVisible());
    m.SetPlayerVisible(false);
    EXPECT_TRUE(PumpUntil([&] { return IsIconic(m.PlayerWindow) != FALSE; }));
    EXPECT_FALSE(m.PlayerVisible());
    m.SetPlayerVisible(true);
    EXPECT_TRUE(PumpUntil([&] { return m.PlayerVisible(); }));
    EXPECT_FALSE(IsIconic(m.PlayerWindow));
}

TEST(WinAmpDriver, PollIntervalsFollowTheState) {
    StandinSession s(false, {L"/length", L"200"});
    StandinSession::Unregister();
    TWinAmpManager m;
    m.SetActive(true);
    EXPECT_FALSE(Has(m, csInstalled));
    EXPECT_TRUE(m.TimerArmed);
    EXPECT_EQ(m.TimerInterval, 3000u);

    // Installed, not running: polled every second.
    s.RegisterPlayer();
    m.UpdateState();
    EXPECT_TRUE(Has(m, csInstalled));
    EXPECT_EQ(m.TimerInterval, 1000u);

    const auto files = TwoFiles(s);
    s.Start({L"/noplay", files[0], files[1]});
    m.UpdateState();
    ASSERT_TRUE(Has(m, csLanched));
    EXPECT_TRUE(m.TimerArmed);
    EXPECT_EQ(m.TimerInterval, 1000u);

    m.Play();
    EXPECT_TRUE(Has(m, csPlaying));
    EXPECT_EQ(m.TimerInterval, 500u);
    m.Pause();
    EXPECT_TRUE(Has(m, csPaused));
    EXPECT_EQ(m.TimerInterval, 500u);
    m.Stop();
    EXPECT_FALSE(Has(m, csPlaying));
    EXPECT_FALSE(Has(m, csPaused));
    EXPECT_EQ(m.TimerInterval, 1000u);

    // The poll timer drives UpdateState on its own: a state change made in the player shows up.
    SendMessageW(m.FindPlayerWindow(), WM_COMMAND, player::kCommandPlay, 0);
    EXPECT_TRUE(PumpUntil([&] { return Has(m, csPlaying); }, 5000));
    EXPECT_EQ(m.TimerInterval, 500u);

    m.SetActive(false);
    EXPECT_FALSE(m.TimerArmed);
    EXPECT_EQ(m.NotifyWindow, nullptr);
}

TEST(WinAmpDriver, ClosedPlayerKeepsShuffleAndRepeat) {
    StandinSession s;
    s.RegisterPlayer();
    const auto files = TwoFiles(s);
    s.Start({L"/repeat", L"/shuffle", L"/pause", files[0], files[1]});
    TWinAmpManager m;
    std::vector<std::pair<uint8_t, uint8_t>> events;
    m.OnStateChanged = [&](TBasePlayerManager*, TControlStates p, TControlStates c) {
        events.emplace_back(p.Bits(), c.Bits());
    };
    m.SetActive(true);
    ASSERT_TRUE(Has(m, csLanched));
    EXPECT_TRUE(Has(m, csRepeat));
    EXPECT_TRUE(Has(m, csShuffle));
    EXPECT_TRUE(Has(m, csPlaying));
    EXPECT_TRUE(Has(m, csPaused));
    events.clear();
    m.UpdateState(); // nothing changed: no event
    EXPECT_TRUE(events.empty());

    ASSERT_TRUE(m.ClosePlayer());
    ASSERT_TRUE(PumpUntil([&] {
        m.UpdateState();
        return !Has(m, csLanched) && !m.WaitThread;
    }));
    m.UpdateState();
    EXPECT_TRUE(Has(m, csInstalled));
    EXPECT_FALSE(Has(m, csPlaying));
    EXPECT_FALSE(Has(m, csPaused));
    EXPECT_TRUE(Has(m, csRepeat));
    EXPECT_TRUE(Has(m, csShuffle));
}

TEST(WinAmpLaunch, MinimisedAndNormal) {
    for (TLaunchMode mode : {lmMinimized, lmNormal}) {
        SCOPED_TRACE(int(mode));
        StandinSession s;
        s.RegisterPlayer();
        TWinAmpManager m;
        m.SetActive(true);
        ASSERT_TRUE(Has(m, csInstalled));
        ASSERT_FALSE(Has(m, csLanched));
        ASSERT_TRUE(m.Launch(mode));
        EXPECT_FALSE(m.Launching);
        ASSERT_TRUE(s.WaitForLog("start pid"));
        ASSERT_EQ(s.CountLog("start pid"), 1);
        // The stand-in logs the show command it was started with: minimised (6) or shown (5).
        const std::string started = s.LogLines().front();
        const std::string show = started.substr(started.rfind(' ') + 1);
        EXPECT_EQ(show, mode == lmMinimized ? "6" : "5") << started;
        ASSERT_NE(m.FindPlayerWindow(), nullptr);
        EXPECT_EQ(IsIconic(m.PlayerWindow) != FALSE, mode == lmMinimized);
        EXPECT_EQ(m.PlayerVisible(), mode == lmNormal);
        EXPECT_TRUE(Has(m, csLanched));
        EXPECT_TRUE(m.WaitThread != nullptr);
        EXPECT_TRUE(m.TimerArmed);
        EXPECT_EQ(m.TimerInterval, 1000u);
        // No helper and no helper library anywhere.
        EXPECT_EQ(m.HelperError, kHelperNotLoaded);
    }
}

TEST(WinAmpLaunch, WithoutRegistrationFails) {
    StandinSession s;
    TWinAmpManager m;
    EXPECT_FALSE(m.Launch(lmNormal));
    s.Register(L"\"" + s.Root.Text("missing.exe") + L"\"");
    EXPECT_FALSE(m.Launch(lmNormal));
    EXPECT_FALSE(m.Launching);
}

TEST(WinAmpWait, KillingThePlayerDetaches) {
    StandinSession s(true);
    s.RegisterPlayer();
    const auto files = TwoFiles(s);
    const DWORD pid = s.Start({files[0], files[1]});
    TWinAmpManager m;
    m.SetActive(true);
    ASSERT_TRUE(Has(m, csLanched));
    ASSERT_TRUE(Has(m, csPlaying));
    ASSERT_TRUE(m.WaitThread != nullptr);
    ASSERT_NE(m.HelperBlock, nullptr);
    EXPECT_EQ(m.PlayerProcessId, pid);
    TWinAmpWaitThread* first = m.WaitThread.get();
    // Attaching again changes nothing.
    EXPECT_FALSE(m.AttachPlayer(0));
    EXPECT_EQ(m.WaitThread.get(), first);

    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
    ASSERT_NE(process, nullptr);
    TerminateProcess(process, 1);
    WaitForSingleObject(process, 10000);
    CloseHandle(process);
    // The notice alone (no poll) detaches.
    m.RestartTimer(false);
    ASSERT_TRUE(PumpUntil([&] { return !Has(m, csLanched); }));
    EXPECT_EQ(m.WaitThread, nullptr);
    EXPECT_EQ(m.HelperBlock, nullptr);
    EXPECT_FALSE(m.HelperFileEvent);
    EXPECT_FALSE(m.PlayerExited);
    EXPECT_TRUE(Has(m, csPlaying)); // until the next poll
    m.UpdateState();
    EXPECT_FALSE(Has(m, csPlaying));
    EXPECT_FALSE(Has(m, csPaused));
}

TEST(WinAmpDriver, BlockingSetupDialogKeepsThePlayerUnusable) {
    StandinSession s(false, {L"/setup"});
    s.RegisterPlayer();
    s.Start({L"/noplay"});
    TWinAmpManager m;
    HWND dialog = nullptr;
    ASSERT_TRUE(PumpUntil([&] { return (dialog = m.FindPlayerDialog()) != nullptr && IsWindowVisible(dialog); }));
    m.SetActive(true);
    EXPECT_TRUE(Has(m, csInstalled));
    EXPECT_FALSE(Has(m, csLanched));
    EXPECT_EQ(m.FindPlayerDialog(), dialog);
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(s.WaitForLog("setup closed"));
    ASSERT_TRUE(PumpUntil([&] {
        m.UpdateState();
        return Has(m, csLanched);
    }));
    EXPECT_EQ(m.FindPlayerDialog(), nullptr);
    EXPECT_TRUE(m.WaitThread != nullptr);
    EXPECT_EQ(m.HelperError, kHelperNotLoaded);
}

} // namespace
} // namespace mellodeck::test
