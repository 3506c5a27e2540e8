// The driver with a player that misbehaves: a helper it refuses, a player that hangs, one that starts
// slowly, one that vanishes at a bad moment, an installer that faults, and another plug-in chained on the
// player's window. Also the poll's position events and its pause while an exit notice is pending.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "StandinCommands.h"
#include "StandinSession.h"
#include "TestPlugins.h"
#include "common/TextConvert.h"
#include "player/HelperProtocol.h"
#include "player/win/WinAmpManager.h"
#include "player/win/WinAmpWaitThread.h"

namespace mellodeck::test {
namespace {

namespace fs = std::filesystem;

std::vector<std::wstring> TwoFiles(const StandinSession& s) {
    std::vector<std::wstring> files = {s.Root.Text("one.track"), s.Root.Text("two.track")};
    for (const auto& f : files)
        WriteAll(fs::path(f), "x");
    return files;
}

bool Has(const TWinAmpManager& m, TControlState c) { return m.State.Contains(c); }

// The stand-in's log line about the helper plug-in: "plugin gen_Pelorix.dll <what>".
std::string HelperLine(const std::string& what) {
    return "plugin " + WideToUtf8(player::kHelperFileName) + " " + what;
}

// Makes a folder the current one for the test, so that loading the helper by name searches it.
class CurrentFolder {
public:
    explicit CurrentFolder(const fs::path& dir) {
        wchar_t old[MAX_PATH * 4];
        GetCurrentDirectoryW(MAX_PATH * 4, old);
        FOld = old;
        SetCurrentDirectoryW(dir.wstring().c_str());
    }
    ~CurrentFolder() { SetCurrentDirectoryW(FOld.c_str()); }

private:
    std::wstring FOld;
};

// Waits without pumping this thread's messages (so posted notices stay queued) until `done` holds.
bool WaitWithoutPumping(const std::function<bool()>& done, int timeoutMs = 15000) {
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(timeoutMs);
    while (!done()) {
        if (GetTickCount64() > end)
            return false;
        Sleep(10);
    }
    return true;
}

TEST(WinAmpPoll, PositionEventsInMilliseconds) {
    StandinSession s(false, {L"/length", L"200"});
    s.RegisterPlayer();
    const auto files = TwoFiles(s);
    s.Start({L"/noplay", files[0], files[1]});
    TWinAmpManager m;
    std::vector<std::pair<int64_t, int64_t>> positions;
    m.OnPosition = [&](TBasePlayerManager* sender, int64_t duration, int64_t position) {
        EXPECT_EQ(sender, &m);
        positions.emplace_back(duration, position);
    };
    m.SetActive(true);
    m.RestartTimer(false); // only the polls of this test
    positions.clear();
    m.UpdateState();
    EXPECT_TRUE(positions.empty()) << "nothing plays: no position";

    m.Play();
    m.Pause();
    m.Seek(1500);
    positions.clear();
    m.UpdateState();
    EXPECT_EQ(positions, (std::vector<std::pair<int64_t, int64_t>>{{200000, 1500}}));
    // Playing again: one event per poll, the position moving on from where it was.
    m.Play();
    positions.clear();
    m.UpdateState();
    m.UpdateState();
    ASSERT_EQ(positions.size(), 2u);
    for (const auto& [duration, position] : positions) {
        EXPECT_EQ(duration, 200000);
        EXPECT_GE(position, 1500);
        EXPECT_LT(position, 200000);
    }
    EXPECT_LE(positions[0].second, positions[1].second);
}

TEST(WinAmpPoll, SkippedWhileTheExitFlagIsSet) {
    StandinSession s;
    s.RegisterPlayer();
    const auto files = TwoFiles(s);
    s.Start({L"/noplay", files[0], files[1]});
    TWinAmpManager m;
    m.SetActive(true);
    m.RestartTimer(false);
    ASSERT_TRUE(Has(m, csLanched));
    ASSERT_FALSE(Has(m, csPlaying));
    int events = 0;
    m.OnStateChanged = [&](TBasePlayerManager*, TControlStates, TControlStates) { ++events; };
    int positions = 0;
    m.OnPosition = [&](TBasePlayerManager*, int64_t, int64_t) { ++positions; };

    SendMessageW(s.Window(), WM_COMMAND, player::kCommandPlay, 0);
    m.PlayerExited = true; // as the wait thread sets it before its notice arrives
    m.UpdateState();
    EXPECT_FALSE(Has(m, csPlaying));
    EXPECT_EQ(events, 0);
    EXPECT_EQ(positions, 0);
    m.PlayerExited = false;
    m.UpdateState();
    EXPECT_TRUE(Has(m, csPlaying));
    EXPECT_EQ(events, 1);
    EXPECT_EQ(positions, 1);
}

TEST(WinAmpMisbehaving, RefusedHelperIsInstalledOncePerPlayerProcess) {
    // The player refuses the helper (its init fails there), so no install can ever make it answer.
    StandinSession s(false, {L"/refuse", player::kHelperFileName});
    s.RegisterPlayer();
    const auto files = TwoFiles(s);
    const DWORD firstPid = s.Start({L"/noplay", files[0], files[1]});
    fs::copy_file(BuildTreePath(MELLODECK_HELPER_DLL), s.Root.Path() / player::kHelperFileName);
    CurrentFolder here(s.Root.Path());
    TWinAmpManager m;
    m.SetActive(true);
    EXPECT_EQ(m.HelperError, kHelperInstallFailed);
    EXPECT_EQ(s.CountLine("restart"), 1) << "one install, one restart";
    ASSERT_TRUE(s.WaitForLog("restarted as"));
    EXPECT_TRUE(fs::exists(fs::path(s.PluginsFolder()) / player::kHelperFileName));

    // The restarted player is followed by polling; it is never asked to restart again.
    ASSERT_TRUE(PumpUntil([&] { return m.WaitThread && m.PlayerProcessId != firstPid && Has(m, csLanched); }));
    EXPECT_FALSE(m.HelperFileEvent);
    SendMessageW(s.Window(), WM_COMMAND, player::kCommandPlay, 0);
    ASSERT_TRUE(PumpUntil([&] { return Has(m, csPlaying); }));
    SendMessageW(s.Window(), WM_COMMAND, player::kCommandPause, 0);
    ASSERT_TRUE(PumpUntil([&] { return Has(m, csPaused); }));
    EXPECT_EQ(m.HelperError, kHelperInstallFailed);
    EXPECT_EQ(s.CountLine("restart"), 1);
    EXPECT_EQ(s.CountLog("restarted as"), 1);
    EXPECT_EQ(s.CountLog("start pid"), 2);
    EXPECT_EQ(s.CountLine(HelperLine("init 1")), 1);
}

TEST(WinAmpMisbehaving, HungPlayerNeverBlocksTheCaller) {
    StandinSession s(false, {L"/length", L"200", L"/hang", L"10"});
    s.RegisterPlayer();
    const auto files = TwoFiles(s);
    s.Start({L"/repeat", L"/shuffle", files[0], files[1]});
    TWinAmpManager m;
    m.SetActive(true);
    ASSERT_TRUE(Has(m, csLanched));
    ASSERT_TRUE(Has(m, csPlaying));
    ASSERT_TRUE(Has(m, csShuffle));
    ASSERT_TRUE(Has(m, csRepeat));
    const TControlStates before = m.State;
    std::vector<std::string> events;
    m.OnStateChanged = [&](TBasePlayerManager*, TControlStates p, TControlStates c) {
        events.push_back(std::to_string(p.Bits()) + "->" + std::to_string(c.Bits()));
    };

    PostMessageW(s.Window(), WM_COMMAND, standin::kCommandHang, 0);
    ASSERT_TRUE(s.WaitForLog("hang 10"));

    // Every call, and every message the manager's window handles (its poll timer), measured on its own.
    ULONGLONG longest = 0;
    std::string longestCall;
    auto timed = [&](const char* name, const std::function<void()>& call) {
        const ULONGLONG start = GetTickCount64();
        call();
        const ULONGLONG took = GetTickCount64() - start;
        if (took > longest) {
            longest = took;
            longestCall = name;
        }
    };
    int rounds = 0;
    bool reactivated = false;
    while (s.CountLog("answering") == 0) {
        ASSERT_LT(rounds++, 2000) << "the stand-in never answered again";
        timed("UpdateState", [&] { m.UpdateState(); });
        timed("IsPlaying", [&] { m.IsPlaying(); });
        timed("IsPaused", [&] { m.IsPaused(); });
        timed("ShuffleMode", [&] { m.ShuffleMode(); });
        timed("RepeatMode", [&] { m.RepeatMode(); });
        timed("GetPosition", [&] { m.GetPosition(); });
        timed("GetDuration", [&] { m.GetDuration(); });
        timed("CanNext", [&] { m.CanNext(); });
        timed("CanPrevious", [&] { m.CanPrevious(); });
        timed("GetPlaylistLength", [&] { m.GetPlaylistLength(); });
        timed("GetHelperVersion", [&] { m.GetHelperVersion(); });
        timed("PlayerVisible", [&] { m.PlayerVisible(); });
        timed("SetPlayerVisible", [&] { m.SetPlayerVisible(true); });
        if (!reactivated) {
            reactivated = true;
            timed("SetActive(false)", [&] { m.SetActive(false); });
            timed("SetActive(true)", [&] { m.SetActive(true); });
        }
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            timed("a message of the manager's window", [&] { DispatchMessageW(&msg); });
        EXPECT_EQ(m.State, before) << "unanswered is not stopped, nor shuffle and repeat off";
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    EXPECT_LE(longest, 1000u) << longestCall << " blocked for " << longest << " ms";
    EXPECT_TRUE(events.empty());
    EXPECT_TRUE(m.WaitThread != nullptr);

    // It answers again: the polls follow it.
    SendMessageW(s.Window(), WM_COMMAND, player::kCommandPause, 0);
    ASSERT_TRUE(PumpUntil([&] { return Has(m, csPaused); }));
    EXPECT_TRUE(Has(m, csPlaying));
    EXPECT_TRUE(Has(m, csShuffle));
    EXPECT_TRUE(Has(m, csRepeat));
    EXPECT_EQ(m.GetDuration(), 200000);
}

TEST(WinAmpMisbehaving, SlowStartIsWaitedForNotInstalledOver) {
    // The window shows up after a while, and the plug-ins load a while later still: the launch waits for
    // the window and then retries the helper's events, instead of installing it again.
    StandinSession s(true, {L"/windowdelay", L"600", L"/plugindelay", L"1500", L"/noplay"});
    s.RegisterPlayer();
    TWinAmpManager m;
    m.SetActive(true);
    ASSERT_TRUE(Has(m, csInstalled));
    ASSERT_FALSE(Has(m, csLanched));
    ASSERT_TRUE(m.Launch(lmNormal));
    EXPECT_EQ(s.CountLog("window delayed"), 1);
    EXPECT_EQ(s.CountLine(HelperLine("init 0")), 1);
    EXPECT_EQ(m.HelperError, 0);
    EXPECT_TRUE(m.HelperFileEvent);
    ASSERT_NE(m.HelperBlock, nullptr);
    EXPECT_EQ(s.CountLog("restart"), 0);
    EXPECT_TRUE(Has(m, csLanched));
    EXPECT_TRUE(m.WaitThread != nullptr);
    EXPECT_EQ(m.GetHelperVersion(), helper::kHelperVersion);
}

TEST(WinAmpMisbehaving, DeactivationBetweenExitFlagAndNotice) {
    StandinSession s;
    s.RegisterPlayer();
    const auto files = TwoFiles(s);
    const DWORD pid = s.Start({L"/noplay", files[0], files[1]});
    TWinAmpManager m;
    m.SetActive(true);
    ASSERT_TRUE(m.WaitThread != nullptr);

    // The player ends; this thread pumps nothing, so the wait thread's notice stays queued behind its flag.
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
    ASSERT_NE(process, nullptr);
    TerminateProcess(process, 1);
    WaitForSingleObject(process, 10000);
    CloseHandle(process);
    ASSERT_TRUE(WaitWithoutPumping([&] { return m.PlayerExited.load(); }));
    m.SetActive(false); // the notice dies with the window
    EXPECT_EQ(m.WaitThread, nullptr);
    EXPECT_FALSE(m.PlayerProcess);

    const DWORD second = s.Start({L"/noplay", files[0], files[1]});
    m.SetActive(true);
    EXPECT_FALSE(m.PlayerExited);
    EXPECT_TRUE(Has(m, csLanched));
    EXPECT_TRUE(m.WaitThread != nullptr);
    EXPECT_EQ(m.PlayerProcessId, second);
    // And the polls go on: the player's state reaches the manager without any call of ours.
    SendMessageW(s.Window(), WM_COMMAND, player::kCommandPlay, 0);
    EXPECT_TRUE(PumpUntil([&] { return Has(m, csPlaying); }));
}

TEST(WinAmpMisbehaving, NothingHappensAfterDeactivation) {
    // A setup dialog keeps the player unusable; it closes just before the manager is deactivated, so a poll
    // made then would find the player usable and connect to (or install) the helper.
    StandinSession s(false, {L"/setup"});
    s.RegisterPlayer();
    s.Start({L"/noplay"});
    TWinAmpManager m;
    HWND dialog = nullptr;
    ASSERT_TRUE(PumpUntil([&] { return (dialog = m.FindPlayerDialog()) != nullptr && IsWindowVisible(dialog); }));
    m.SetActive(true);
    ASSERT_FALSE(Has(m, csLanched));
    ASSERT_TRUE(m.PlayerProcess) << "attached while the dialog shows";
    m.RestartTimer(false);
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(s.WaitForLog("setup closed"));
    ASSERT_TRUE(PumpUntil([&] { return m.FindPlayerDialog() == nullptr; }));

    int events = 0;
    m.OnStateChanged = [&](TBasePlayerManager*, TControlStates, TControlStates) { ++events; };
    m.OnArtworkChanged = [&](TBasePlayerManager*) { ++events; };
    m.OnPosition = [&](TBasePlayerManager*, int64_t, int64_t) { ++events; };
    const int32_t helperError = m.HelperError;
    m.SetActive(false);
    EXPECT_EQ(events, 0);
    EXPECT_EQ(m.HelperBlock, nullptr);
    EXPECT_FALSE(m.BlockMapping);
    EXPECT_FALSE(m.HelperFileEvent);
    EXPECT_FALSE(m.HelperTagsEvent);
    EXPECT_FALSE(m.PlayerProcess);
    EXPECT_FALSE(m.StopEvent);
    EXPECT_EQ(m.WaitThread, nullptr);
    EXPECT_EQ(m.NotifyWindow, nullptr);
    EXPECT_FALSE(m.TimerArmed);
    EXPECT_EQ(m.HelperError, helperError);
    // Not even an explicit connection comes up while inactive.
    m.ConnectHelper();
    EXPECT_EQ(m.HelperBlock, nullptr);
    EXPECT_FALSE(m.HelperFileEvent);
}

TEST(WinAmpMisbehaving, FaultingInstallerReportsInstallFailure) {
    StandinSession s;
    s.RegisterPlayer();
    s.Start({L"/noplay"});
    fs::copy_file(BuildTreePath(MELLODECK_FAULTY_HELPER_DLL), s.Root.Path() / player::kHelperFileName);
    CurrentFolder here(s.Root.Path());
    for (const wchar_t* fault : {L"access", L"throw"}) {
        SCOPED_TRACE(WideToUtf8(fault));
        SetEnvironmentVariableW(kFaultyInstallVariable, fault);
        TWinAmpManager m;
        m.SetActive(true);
        EXPECT_EQ(m.HelperError, kHelperInstallFailed);
        EXPECT_TRUE(Has(m, csLanched));
        EXPECT_TRUE(m.WaitThread != nullptr) << "the manager goes on with the player";
        EXPECT_EQ(GetModuleHandleW(player::kHelperFileName), nullptr) << "the library is unloaded again";
        EXPECT_EQ(s.CountLog("restart"), 0);
    }
    SetEnvironmentVariableW(kFaultyInstallVariable, nullptr);
}

TEST(WinAmpHelperChain, AnotherPluginKeepsItsChainAfterOursQuits) {
    StandinSession s(true);
    s.AddPlugin(MELLODECK_CHAIN_PLUGIN_DLL, L"gen_Tail.dll");
    s.RegisterPlayer();
    const auto files = TwoFiles(s);
    s.Start({L"/noplay", files[0], files[1]});
    // Loaded in name order: the helper subclassed the window first, the other plug-in on top of it.
    const auto lines = s.LogLines();
    const auto helperLine = std::find(lines.begin(), lines.end(), HelperLine("init 0"));
    const auto tailLine = std::find(lines.begin(), lines.end(), "plugin gen_Tail.dll init 0");
    ASSERT_NE(helperLine, lines.end());
    ASSERT_NE(tailLine, lines.end());
    ASSERT_LT(helperLine, tailLine);
    HWND window = s.Window();
    TWinAmpManager m;
    EXPECT_EQ(m.GetHelperVersion(), helper::kHelperVersion);

    PostMessageW(window, WM_COMMAND, standin::kCommandQuitPlugin, 0); // ours, first in load order
    ASSERT_TRUE(s.WaitForLog(HelperLine("quit")));
    EXPECT_EQ(SendMessageW(window, kChainProbeMessage, 0, 0), kChainProbeAnswer) << "the other plug-in still hears";
    EXPECT_EQ(m.GetPlaylistLength(), 2) << "the player's own procedure still answers";
    EXPECT_EQ(m.GetHelperVersion(), 0) << "a helper that quit answers nothing of its own";
    m.SetShuffleMode(true);
    EXPECT_TRUE(m.ShuffleMode());

    // The other one quits too and puts our procedure back on top; ours then hands the window back.
    PostMessageW(window, WM_COMMAND, standin::kCommandQuitPlugin, 1);
    ASSERT_TRUE(s.WaitForLog("plugin gen_Tail.dll quit"));
    EXPECT_EQ(m.GetPlaylistLength(), 2);
    PostMessageW(window, WM_COMMAND, standin::kCommandReportProcedure, 0);
    ASSERT_TRUE(s.WaitForLog("wndproc"));
    EXPECT_EQ(s.CountLog("wndproc own"), 1);
    EXPECT_NE(SendMessageW(window, kChainProbeMessage, 0, 0), kChainProbeAnswer);
}

} // namespace
} // namespace mellodeck::test
