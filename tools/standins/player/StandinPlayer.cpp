// standin-player.exe: a top-level window of the player's class that answers the player's window messages
// with their meanings, keeps a playlist and a play clock, and loads general-purpose plug-ins from the
// Plugins folder beside it the way the player does. It writes what it receives to a log so tests can check
// it.
//
// Arguments come from "standin-player.cfg" beside the executable (one per line) and then from the command
// line:
//   /log <file>       append one line per event to this file (UTF-8)
//   /parent <pid>     close when that process ends
//   /lifetime <s>     close after this many seconds (default 300), so no stand-in outlives its test
//   /length <s>       every entry lasts this long (default: the file's own length, or 10 s)
//   /setup            show a blocking setup dialog with two buttons after start
//   /repeat /shuffle  start with that mode on
//   /pos <n>          start at this playlist index
//   /noplay           do not start playing the files given
//   /pause            start paused
//   /clock            also log "clock <index> <ticks>" when an entry starts, ticks of the performance
//                     counter (one clock for every process of the machine), for timing what follows
//   other arguments   files for the playlist (played at once unless /noplay)
// Misbehaviours to test the manager with:
//   /hang <s>             kCommandHang stops answering messages for this long (default 10)
//   /refuse <file>        the plug-in of that file name does not come up: its init counts as returning 1
//   /windowdelay <ms>     start slowly: the main window appears this long after the start
//   /plugindelay <ms>     and the plug-ins load this long after the window
// Plug-ins load in the order of their file names. The private commands for tests are in
// StandinCommands.h.
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "StandinCommands.h"
#include "StandinPlaylist.h"
#include "helper/GeneralPurposePlugin.h"
#include "media/core/MediaManager.h"
#include "common/TextConvert.h"

using namespace mellodeck;
using namespace mellodeck::standin;

namespace {

constexpr UINT_PTR kClockTimer = 1;
constexpr UINT_PTR kLifetimeTimer = 2;
constexpr UINT_PTR kPluginTimer = 3;
constexpr UINT WM_SHOW_SETUP = WM_APP + 1;

struct LoadedPlugin {
    HMODULE Module;
    helper::TGeneralPurposePlugin* Record;
    std::wstring Name;
    bool Quit = false;
};

HWND gWindow = nullptr;
Playlist gPlaylist;
std::wstring gLogPath;
std::wstring gExePath;
std::vector<LoadedPlugin> gPlugins;
bool gRestart = false;
bool gSetup = false;
bool gClock = false;
int gHangSeconds = 10;
std::vector<std::wstring> gRefused; // plug-in file names whose init fails

void Log(const std::wstring& line) {
    if (gLogPath.empty())
        return;
    // Opened per line so a reader sees every line at once.
    std::ofstream out(gLogPath.c_str(), std::ios::app | std::ios::binary);
    out << WideToUtf8(line) << "\n";
}

std::wstring Folder(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::vector<std::wstring> Arguments() {
    std::vector<std::wstring> args;
    std::ifstream cfg((Folder(gExePath) + L"\\standin-player.cfg").c_str(), std::ios::binary);
    std::string line;
    while (std::getline(cfg, line)) {
        while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
            line.pop_back();
        if (!line.empty())
            args.push_back(Utf8ToWide(line));
    }
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 1; argv && i < count; ++i)
        args.push_back(argv[i]);
    if (argv)
        LocalFree(argv);
    return args;
}

// Tells the plug-ins (which watch the main window) that the current entry starts.
void AnnounceStart() {
    const Entry* e = gPlaylist.Current();
    if (!e)
        return;
    if (gClock) {
        LARGE_INTEGER now{};
        QueryPerformanceCounter(&now);
        Log(L"clock " + std::to_wstring(gPlaylist.Index()) + L" " + std::to_wstring(now.QuadPart));
    }
    Log(L"playing " + std::to_wstring(gPlaylist.Index()) + L" " + e->Path);
    SendMessageW(gWindow, WM_USER, reinterpret_cast<WPARAM>(e->AnsiPath.c_str()), player::kIpcPlayingFile);
    SendMessageW(gWindow, WM_USER, reinterpret_cast<WPARAM>(e->Path.c_str()), player::kIpcPlayingFileW);
}

void LoadPlugins() {
    const std::wstring dir = Folder(gExePath) + L"\\Plugins\\";
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW((dir + L"gen_*.dll").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do
            names.push_back(found.cFileName);
        while (FindNextFileW(search, &found));
        FindClose(search);
    }
    // The folder's listing order differs between file systems; tests need to know which plug-in is first.
    std::sort(names.begin(), names.end(), [](const std::wstring& a, const std::wstring& b) {
        return lstrcmpiW(a.c_str(), b.c_str()) < 0;
    });
    for (const std::wstring& name : names) {
        HMODULE module = LoadLibraryW((dir + name).c_str());
        if (!module) {
            Log(L"plugin " + name + L" not loaded " + std::to_wstring(GetLastError()));
            continue;
        }
        using TGetPlugin = helper::TGeneralPurposePlugin* (*)();
        auto get = reinterpret_cast<TGetPlugin>(
            reinterpret_cast<void*>(GetProcAddress(module, "winampGetGeneralPurposePlugin")));
        helper::TGeneralPurposePlugin* record = get ? get() : nullptr;
        if (!record || record->version != helper::kPluginInterfaceVersion) {
            Log(L"plugin " + name + L" refused");
            FreeLibrary(module);
            continue;
        }
        record->hwndParent = gWindow;
        record->hDllInstance = module;
        const bool refused = std::any_of(gRefused.begin(), gRefused.end(), [&](const std::wstring& r) {
            return lstrcmpiW(r.c_str(), name.c_str()) == 0;
        });
        // A refused plug-in stands for one whose init fails inside this player (a wrong build, a missing
        // dependency): it is never initialised and is unloaded again.
        const int result = refused ? 1 : record->init ? record->init() : 1;
        Log(L"plugin " + name + L" init " + std::to_wstring(result));
        if (result != 0) {
            FreeLibrary(module);
            continue;
        }
        gPlugins.push_back({module, record, name});
    }
}

void QuitPlugin(LoadedPlugin& plugin) {
    if (plugin.Quit)
        return;
    plugin.Quit = true;
    if (plugin.Record->quit)
        plugin.Record->quit();
    Log(L"plugin " + plugin.Name + L" quit");
}

void QuitPlugins() {
    for (auto it = gPlugins.rbegin(); it != gPlugins.rend(); ++it)
        QuitPlugin(*it);
}

LRESULT ExtendedFileInfo(const helper::TExtendedFileInfoW* info) {
    if (!info || !info->filename || !info->metadata || !info->ret || info->retlen == 0)
        return 0;
    info->ret[0] = L'\0';
    TrackInfo track;
    if (!ReadTrackInfo(info->filename, track))
        return 0;
    const std::wstring field = info->metadata;
    std::wstring value;
    if (lstrcmpiW(field.c_str(), L"artist") == 0)
        value = track.Artist;
    else if (lstrcmpiW(field.c_str(), L"album") == 0)
        value = track.Album;
    else if (lstrcmpiW(field.c_str(), L"title") == 0)
        value = track.Title;
    if (value.empty())
        return 0;
    const size_t n = value.size() < info->retlen - 1 ? value.size() : info->retlen - 1;
    value.copy(info->ret, n);
    info->ret[n] = L'\0';
    return 1;
}

LRESULT UserMessage(WPARAM wParam, LPARAM id) {
    const Entry* current = gPlaylist.Current();
    switch (id) {
    case player::kIpcClearPlaylist:
        Log(L"clear");
        gPlaylist.Clear();
        return 0;
    case player::kIpcIsPlaying:
        return static_cast<LRESULT>(gPlaylist.State());
    case player::kIpcGetOutputTime: // position in ms, or the track's length in seconds; -1 when nothing is loaded
        if (!current)
            return -1;
        return wParam == 1 ? static_cast<LRESULT>((current->LengthMs + 500) / 1000)
                           : static_cast<LRESULT>(gPlaylist.Position());
    case player::kIpcJumpToTime:
        Log(L"seek " + std::to_wstring(static_cast<uint32_t>(wParam)));
        gPlaylist.SeekTo(static_cast<int64_t>(static_cast<uint32_t>(wParam)));
        return 0;
    case player::kIpcGetListLength:
        return gPlaylist.Count();
    case player::kIpcGetListPos:
        return gPlaylist.Index();
    case player::kIpcRestart: // close, then start again with the same playlist
        Log(L"restart");
        gRestart = true;
        PostMessageW(gWindow, WM_CLOSE, 0, 0);
        return 0;
    case player::kIpcGetPlaylistFile: {
        const Entry* e = gPlaylist.At(static_cast<int>(wParam));
        return e ? reinterpret_cast<LRESULT>(e->AnsiPath.c_str()) : 0;
    }
    case player::kIpcGetPlaylistFileW: {
        const Entry* e = gPlaylist.At(static_cast<int>(wParam));
        return e ? reinterpret_cast<LRESULT>(e->Path.c_str()) : 0;
    }
    case player::kIpcGetShuffle:
        return gPlaylist.Shuffle ? 1 : 0;
    case player::kIpcGetRepeat:
        return gPlaylist.Repeat ? 1 : 0;
    case player::kIpcSetShuffle:
        gPlaylist.Shuffle = wParam != 0;
        Log(L"shuffle " + std::to_wstring(wParam));
        return 0;
    case player::kIpcSetRepeat:
        gPlaylist.Repeat = wParam != 0;
        Log(L"repeat " + std::to_wstring(wParam));
        return 0;
    case player::kIpcGetExtendedFileInfoW:
        return ExtendedFileInfo(reinterpret_cast<const helper::TExtendedFileInfoW*>(wParam));
    default: // including the notices it sends itself for its plug-ins
        return 0;
    }
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

LRESULT Command(WPARAM id, LPARAM lParam) {
    Log(L"command " + std::to_wstring(id));
    switch (id) {
    case player::kCommandClose:
        PostMessageW(gWindow, WM_CLOSE, 0, 0);
        return 0;
    case player::kCommandPrevious:
    case player::kCommandNext: {
        const bool running = gPlaylist.State() != Status::Stopped;
        if (gPlaylist.Move(id == player::kCommandNext ? 1 : -1) && running && gPlaylist.Start())
            AnnounceStart();
        return 0;
    }
    case player::kCommandPlay: // play: the current entry from its start (also when paused)
        if (gPlaylist.Start())
            AnnounceStart();
        return 0;
    case player::kCommandPause:
        gPlaylist.TogglePause();
        return 0;
    case player::kCommandStop:
        gPlaylist.Stop();
        return 0;
    case kCommandInfoChanged:
        SendMessageW(gWindow, WM_USER, player::kIpcCallbackMiscTitle, player::kIpcCallbackMisc);
        return 0;
    case kCommandHang:
        // Nothing of this thread runs meanwhile: no message is answered, no timer fires.
        Log(L"hang " + std::to_wstring(gHangSeconds));
        Sleep(static_cast<DWORD>(gHangSeconds) * 1000);
        Log(L"answering");
        return 0;
    case kCommandQuitPlugin:
        if (lParam >= 0 && static_cast<size_t>(lParam) < gPlugins.size())
            QuitPlugin(gPlugins[static_cast<size_t>(lParam)]);
        return 0;
    case kCommandReportProcedure: {
        const bool own = GetWindowLongPtrW(gWindow, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&WindowProc);
        Log(own ? L"wndproc own" : L"wndproc hooked");
        return 0;
    }
    }
    return 0;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_USER:
        return UserMessage(wParam, lParam);
    case WM_COMMAND:
        return Command(LOWORD(wParam), lParam);
    case WM_COPYDATA: {
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        if (!data || data->dwData != player::kCopyDataEnqueue || !data->lpData || data->cbData == 0)
            return FALSE;
        const char* text = static_cast<const char*>(data->lpData);
        const std::string path(text, strnlen(text, data->cbData));
        const std::wstring wide = AnsiToWide(path);
        Log(L"enqueue " + wide);
        gPlaylist.Add(wide);
        return TRUE;
    }
    case WM_TIMER:
        if (wParam == kClockTimer && gPlaylist.Tick())
            AnnounceStart();
        if (wParam == kLifetimeTimer) {
            Log(L"lifetime over");
            PostMessageW(window, WM_CLOSE, 0, 0);
        }
        if (wParam == kPluginTimer) {
            KillTimer(window, kPluginTimer);
            LoadPlugins();
        }
        return 0;
    case WM_SHOW_SETUP: {
        const int answer = MessageBoxW(window, L"The player is started for the first time. Set it up now?",
                                       L"Stand-in player setup", MB_OKCANCEL);
        Log(L"setup closed " + std::to_wstring(answer));
        return 0;
    }
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_MINIMIZE || (wParam & 0xFFF0) == SC_RESTORE)
            Log(L"syscommand " + std::to_wstring(wParam & 0xFFF0));
        break;
    case WM_CLOSE:
        QuitPlugins();
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

std::wstring Quote(const std::wstring& s) { return L"\"" + s + L"\""; }

void StartAgain() {
    std::wstring command = Quote(gExePath) + L" /pos " + std::to_wstring(gPlaylist.Index());
    if (gPlaylist.State() == Status::Stopped)
        command += L" /noplay";
    for (int i = 0; i < gPlaylist.Count(); ++i)
        command += L" " + Quote(gPlaylist.At(i)->Path);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (CreateProcessW(gExePath.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                       &process)) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        Log(L"restarted as " + std::to_wstring(process.dwProcessId));
    } else {
        Log(L"restart failed " + std::to_wstring(GetLastError()));
    }
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int showCommand) {
    std::vector<wchar_t> buffer(32768);
    gExePath.assign(buffer.data(), GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size())));
    MediaLibraryStart();

    std::vector<std::wstring> files;
    DWORD parent = 0;
    int lifetime = 300, position = 0, windowDelay = 0, pluginDelay = 0;
    bool play = true, pause = false;
    const std::vector<std::wstring> args = Arguments();
    for (size_t i = 0; i < args.size(); ++i) {
        const std::wstring& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == L"/log" && hasValue)
            gLogPath = args[++i];
        else if (a == L"/parent" && hasValue)
            parent = static_cast<DWORD>(std::stoul(args[++i]));
        else if (a == L"/lifetime" && hasValue)
            lifetime = std::stoi(args[++i]);
        else if (a == L"/length" && hasValue)
            gPlaylist.FixedLengthMs = std::stoll(args[++i]) * 1000;
        else if (a == L"/pos" && hasValue)
            position = std::stoi(args[++i]);
        else if (a == L"/setup")
            gSetup = true;
        else if (a == L"/repeat")
            gPlaylist.Repeat = true;
        else if (a == L"/shuffle")
            gPlaylist.Shuffle = true;
        else if (a == L"/noplay")
            play = false;
        else if (a == L"/pause")
            pause = true;
        else if (a == L"/clock")
            gClock = true;
        else if (a == L"/hang" && hasValue)
            gHangSeconds = std::stoi(args[++i]);
        else if (a == L"/refuse" && hasValue)
            gRefused.push_back(args[++i]);
        else if (a == L"/windowdelay" && hasValue)
            windowDelay = std::stoi(args[++i]);
        else if (a == L"/plugindelay" && hasValue)
            pluginDelay = std::stoi(args[++i]);
        else
            files.push_back(a);
    }
    for (const auto& f : files)
        gPlaylist.Add(f);
    gPlaylist.SetIndex(position);

    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = player::kWindowClass;
    RegisterClassExW(&wc);
    if (windowDelay > 0) {
        Log(L"window delayed " + std::to_wstring(windowDelay));
        Sleep(static_cast<DWORD>(windowDelay));
    }
    gWindow = CreateWindowExW(0, player::kWindowClass, L"Stand-in player", WS_OVERLAPPEDWINDOW, 40, 40, 320, 120,
                              nullptr, nullptr, instance, nullptr);
    if (!gWindow)
        return 1;
    Log(L"start pid " + std::to_wstring(GetCurrentProcessId()) + L" show " + std::to_wstring(showCommand));
    ShowWindow(gWindow, showCommand);
    UpdateWindow(gWindow);

    // A player that starts slowly has its window up, and answers, before its plug-ins run.
    if (pluginDelay > 0)
        SetTimer(gWindow, kPluginTimer, static_cast<UINT>(pluginDelay), nullptr);
    else
        LoadPlugins();
    SetTimer(gWindow, kClockTimer, 50, nullptr);
    if (lifetime > 0)
        SetTimer(gWindow, kLifetimeTimer, static_cast<UINT>(lifetime) * 1000, nullptr);
    if (parent) {
        if (HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, parent)) {
            std::thread([process] {
                WaitForSingleObject(process, INFINITE);
                CloseHandle(process);
                PostMessageW(gWindow, WM_CLOSE, 0, 0);
            }).detach();
        }
    }
    if (play && gPlaylist.Start()) {
        AnnounceStart();
        if (pause)
            gPlaylist.TogglePause();
    }
    if (gSetup)
        PostMessageW(gWindow, WM_SHOW_SETUP, 0, 0);
    Log(L"ready");

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    QuitPlugins();
    for (auto& p : gPlugins)
        FreeLibrary(p.Module);
    if (gRestart)
        StartAgain();
    Log(L"exit");
    MediaLibraryEnd();
    return 0;
}
