// mellodeck-panel-bench.exe: the panel's two speed figures under Wine, against the stand-in player with the
// helper plug-in, the real panel (TGoogleSideBarWindow with its TWinAmpManager) visible in a window:
//   track_change_ms   from the stand-in starting a new file to the panel's window having painted the new
//                     title and artwork; both moments are performance-counter ticks taken inside the two
//                     processes (one clock for the machine); median and worst of the changes
//   idle_cpu_percent  this process's processor time (user and kernel) over a stretch of playing with the
//                     panel visible, as a percentage of one core
//   mellodeck-panel-bench --set DIR --standin EXE --helper DLL --work DIR [--changes N] [--idle S]
// DIR holds the MP3 files (tests/bench/make-panel-set.sh: 600 x 600 covers), played in name order.
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "DemoWalk.h"
#include "common/TextConvert.h"
#include "common/win/WindowBase.h"
#include "media/core/MediaManager.h"
#include "panel/GoogleSideBarConsts.h"
#include "panel/win/GoogleSideBarWindow.h"

namespace fs = std::filesystem;
using namespace mellodeck;

namespace {

class THostWindow : public win::WindowBase {
protected:
    const wchar_t* ClassName() const override { return L"Mellodeck.PanelBenchHost"; }
};

// The panel's window procedure, wrapped: after every paint, the moment and what the paint showed.
struct TPaintWatch {
    WNDPROC Original = nullptr;
    TGoogleSideBar* Panel = nullptr;
    std::wstring FileName;   // the manager's file at the last paint that showed title and artwork
    LONGLONG PaintedAt = 0;  // performance-counter ticks after that paint
    // The stages of the last change: the manager has read the new file (the artwork event reaches the
    // panel), the panel has rescaled the artwork.
    LONGLONG ReadAt = 0, ScaledAt = 0;
};
TPaintWatch gWatch;

LRESULT CALLBACK WatchPaint(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const LRESULT result = ::CallWindowProcW(gWatch.Original, window, message, wParam, lParam);
    if (message == WM_PAINT && gWatch.Panel && gWatch.Panel->ActiveManager) {
        LARGE_INTEGER now{};
        ::QueryPerformanceCounter(&now);
        const TBasePlayerManager& m = *gWatch.Panel->ActiveManager;
        const bool shown = !m.Title.empty() && (gWatch.Panel->PanelFlags & pfArtworkShown) &&
                           !gWatch.Panel->ScaledArtwork.Empty();
        if (shown && m.FileName != gWatch.FileName) {
            gWatch.FileName = m.FileName;
            gWatch.PaintedAt = now.QuadPart;
        }
    }
    return result;
}

double Seconds(const FILETIME& f) {
    return static_cast<double>((static_cast<uint64_t>(f.dwHighDateTime) << 32) | f.dwLowDateTime) * 1e-7;
}

double ProcessCpuSeconds() {
    FILETIME created{}, exited{}, kernel{}, user{};
    ::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user);
    return Seconds(kernel) + Seconds(user);
}

LONGLONG Ticks() {
    LARGE_INTEGER now{};
    ::QueryPerformanceCounter(&now);
    return now.QuadPart;
}

int Fail(const char* what) {
    std::fprintf(stderr, "mellodeck-panel-bench: %s\n", what);
    return 1;
}

} // namespace

int wmain() {
    int count = 0;
    LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::wstring set, standin, helper, work;
    int changes = 20, idleSeconds = 30;
    for (int i = 1; argv && i + 1 < count; i += 2) {
        const std::wstring a = argv[i], v = argv[i + 1];
        if (a == L"--set")
            set = v;
        else if (a == L"--standin")
            standin = v;
        else if (a == L"--helper")
            helper = v;
        else if (a == L"--work")
            work = v;
        else if (a == L"--changes")
            changes = std::max(1, std::stoi(v));
        else if (a == L"--idle")
            idleSeconds = std::max(1, std::stoi(v));
    }
    if (argv)
        ::LocalFree(argv);
    if (set.empty() || standin.empty() || helper.empty() || work.empty())
        return Fail("usage: mellodeck-panel-bench --set DIR --standin EXE --helper DLL --work DIR [--changes N] "
                    "[--idle S]");
    std::vector<std::wstring> files;
    for (const auto& e : fs::directory_iterator(set))
        if (e.path().extension() == L".mp3")
            files.push_back(e.path().wstring());
    std::sort(files.begin(), files.end());
    if (static_cast<int>(files.size()) < changes + 1)
        return Fail("the set has fewer files than changes + 1");

    MediaLibraryStart();
    FillSideBarStrings();
    demo::EndStandinPlayers();
    demo::UnregisterPlayer();
    const std::wstring playerDir = (fs::path(work) / L"player").wstring();
    const std::wstring log = (fs::path(playerDir) / L"player.log").wstring();
    std::vector<std::string> cfg = {"/log", WideToUtf8(log), "/parent", std::to_string(::GetCurrentProcessId()),
                                    "/lifetime", "900", "/length", "3600", "/clock"};
    for (const auto& f : files)
        cfg.push_back(WideToUtf8(f));
    if (!demo::InstallStandinPlayer(playerDir, standin, helper, cfg))
        return Fail("cannot install the stand-in player");
    const std::wstring playerExe = (fs::path(playerDir) / L"standin-player.exe").wstring();
    demo::RegisterPlayer(playerExe);

    int status = 0;
    {
        THostWindow host;
        RECT frame{0, 0, 260, 300};
        const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_VISIBLE;
        ::AdjustWindowRectEx(&frame, style, FALSE, 0);
        host.Create(0, L"Mellodeck panel benchmark", style, 40, 40, frame.right - frame.left,
                    frame.bottom - frame.top, nullptr);
        TGoogleSideBarWindow panel;
        if (!panel.Create(host.Handle(), RECT{0, 0, 260, 300}))
            return Fail("cannot create the panel");
        gWatch.Panel = &panel.Panel();
        gWatch.Original = reinterpret_cast<WNDPROC>(
            ::SetWindowLongPtrW(panel.Handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WatchPaint)));
        TBasePlayerManager& m = *panel.Panel().ActiveManager;
        // The artwork event, wrapped: when the manager has read the file, and when the panel has scaled it.
        auto artworkChanged = m.OnArtworkChanged;
        m.OnArtworkChanged = [&, artworkChanged](TBasePlayerManager* sender) {
            gWatch.ReadAt = Ticks();
            if (artworkChanged)
                artworkChanged(sender);
            gWatch.ScaledAt = Ticks();
        };
        // The panel notices the installation on its next poll, then starts the player (which plays at once).
        demo::PumpUntil([&] { return m.State.Contains(csInstalled); });
        m.Launch(lmMinimized);
        if (!demo::PumpUntil([&] { return gWatch.FileName == files[0]; }, 60000))
            return Fail("the panel never painted the first track");

        LARGE_INTEGER frequency{};
        ::QueryPerformanceFrequency(&frequency);
        std::map<int, LONGLONG> painted, read, scaled;
        for (int i = 1; i <= changes; ++i) {
            HWND player = ::FindWindowW(L"Winamp v1.x", nullptr);
            ::PostMessageW(player, WM_COMMAND, 40048, 0); // Next, from outside the panel
            if (!demo::PumpUntil([&] { return gWatch.FileName == files[i]; }, 30000)) {
                std::fprintf(stderr, "change %d: the panel did not paint the new track\n", i);
                status = 1;
                break;
            }
            painted[i] = gWatch.PaintedAt;
            read[i] = gWatch.ReadAt;
            scaled[i] = gWatch.ScaledAt;
            // Let the fade finish before the next change, as a listener's track changes are far apart.
            demo::PumpUntil([&] { return panel.Panel().FadeStep >= kFadeSteps; }, 5000);
        }
        std::map<int, LONGLONG> started;
        std::ifstream in(fs::path(log), std::ios::binary);
        std::string line;
        while (std::getline(in, line)) {
            int index = 0;
            long long ticks = 0;
            if (std::sscanf(line.c_str(), "clock %d %lld", &index, &ticks) == 2)
                started[index] = ticks; // the last start of each index
        }
        const auto toMs = [&](LONGLONG ticks) { return static_cast<double>(ticks) * 1000.0 / static_cast<double>(frequency.QuadPart); };
        std::vector<double> ms, notice, scale, paint;
        for (const auto& [i, t1] : painted)
            if (started.count(i)) {
                ms.push_back(toMs(t1 - started[i]));
                notice.push_back(toMs(read[i] - started[i]));
                scale.push_back(toMs(scaled[i] - read[i]));
                paint.push_back(toMs(t1 - scaled[i]));
            }
        const auto median = [](std::vector<double> v) {
            std::sort(v.begin(), v.end());
            const size_t n = v.size();
            return n == 0 ? 0.0 : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
        };
        if (ms.size() != static_cast<size_t>(changes))
            status = 1;

        // Idle: playing, the panel visible and polling, nothing else happening.
        const ULONGLONG idleStart = ::GetTickCount64();
        const double cpu0 = ProcessCpuSeconds();
        // A host's own message loop: blocked until a message comes, ended by a thread timer.
        const UINT_PTR end = ::SetTimer(nullptr, 0, static_cast<UINT>(idleSeconds) * 1000, nullptr);
        MSG msg;
        while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
            if (msg.message == WM_TIMER && msg.hwnd == nullptr && msg.wParam == end)
                break;
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::KillTimer(nullptr, end);
        const double cpu = ProcessCpuSeconds() - cpu0;
        const double wall = static_cast<double>(::GetTickCount64() - idleStart) / 1000.0;

        if (!ms.empty()) {
            std::vector<double> sorted = ms;
            std::sort(sorted.begin(), sorted.end());
            const size_t n = sorted.size();
            std::printf("panel under Wine: %zu track changes over files with 600 x 600 covers, ms:", n);
            for (double v : ms)
                std::printf(" %.1f", v);
            std::printf("\npanel under Wine: medians of the stages, ms: start to file read (notice, tags, cover "
                        "decoded) %.1f, artwork scaled %.1f, painted %.1f",
                        median(notice), median(scale), median(paint));
            std::printf("\npanel under Wine: %.2f s of processor time over %.1f s of playing\n", cpu, wall);
            std::printf("track_change_ms: %.2f (worst %.2f)\n", median(ms), sorted.back());
        }
        std::printf("idle_cpu_percent: %.2f\n", wall > 0 ? 100.0 * cpu / wall : 0.0);
        ::SetWindowLongPtrW(panel.Handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(gWatch.Original));
        gWatch.Panel = nullptr;
    }
    demo::EndStandinPlayers();
    demo::UnregisterPlayer();
    MediaLibraryEnd();
    return status;
}
