#include "player/win/WinAmpManager.h"

#include <exception>

#include "common/AxSys.h"
#include "common/FileUtils.h"
#include "media/core/PlatformFile.h"
#include "player/HelperProtocol.h"
#include "player/PlayerCommandLine.h"
#include "player/win/WinAmpWaitThread.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace mellodeck {
namespace {

// The player's own message numbers (lParam of WM_USER, or WM_COMMAND ids of its buttons).
constexpr LPARAM kIpcClearPlaylist = 101;
constexpr LPARAM kIpcIsPlaying = 104;
constexpr LPARAM kIpcGetOutputTime = 105;
constexpr LPARAM kIpcJumpToTime = 106;
constexpr LPARAM kIpcGetListLength = 124;
constexpr LPARAM kIpcGetListPos = 125;
constexpr LPARAM kIpcRestart = 135;
constexpr LPARAM kIpcGetShuffle = 250;
constexpr LPARAM kIpcGetRepeat = 251;
constexpr LPARAM kIpcSetShuffle = 252;
constexpr LPARAM kIpcSetRepeat = 253;
constexpr WPARAM kCommandClose = 40001;
constexpr WPARAM kCommandPrevious = 40044;
constexpr WPARAM kCommandPlay = 40045;
constexpr WPARAM kCommandPause = 40046;
constexpr WPARAM kCommandStop = 40047;
constexpr WPARAM kCommandNext = 40048;
constexpr ULONG_PTR kCopyDataEnqueue = 100;
constexpr LRESULT kStatusPaused = 3;

constexpr wchar_t kNotifyWindowClass[] = L"MellodeckPlayerNotify";

// Runs the given code when leaving the scope, also by an exception.
template <class F>
struct Finally {
    F Code;
    ~Finally() { Code(); }
};
template <class F>
Finally(F) -> Finally<F>;

} // namespace

TWinAmpManager::TWinAmpManager() { SetPlayerName(L"WinAmp"); }

TWinAmpManager::~TWinAmpManager() {
    BeginDestroy();
    SetActive(false);
}

// ---- the hidden window -------------------------------------------------------------------------------

void TWinAmpManager::CreateNotifyWindow() {
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(&__ImageBase);
    WNDCLASSEXW wc{};
    if (!GetClassInfoExW(instance, kNotifyWindowClass, &wc)) {
        wc = WNDCLASSEXW{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = &TWinAmpManager::NotifyWindowProc;
        wc.hInstance = instance;
        wc.lpszClassName = kNotifyWindowClass;
        RegisterClassExW(&wc);
    }
    NotifyWindow = CreateWindowExW(0, kNotifyWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance,
                                   nullptr);
    if (NotifyWindow)
        SetWindowLongPtrW(NotifyWindow, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

LRESULT CALLBACK TWinAmpManager::NotifyWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<TWinAmpManager*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self && self->NotifyWindow == window)
        return self->Dispatch(message, wParam, lParam);
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT TWinAmpManager::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_TIMER:
        if (wParam == TimerId()) {
            UpdateState();
            return 0;
        }
        break;
    case WM_PLAYER_FILE: {
        std::wstring name;
        GetCurrentFileName(name);
        if (name != FileName)
            SetCurrentFile(name);
        else
            DoStateChanged(State); // a refresh
        return 0;
    }
    case WM_PLAYER_TAGS:
        GetCurrentFileName(FileName);
        ReloadMediaInformation();
        DoStateChanged(State);
        return 0;
    case WM_PLAYER_EXITED:
        HandlePlayerExited();
        return 0;
    }
    return DefWindowProcW(NotifyWindow, message, wParam, lParam);
}

void TWinAmpManager::SetActive(bool Value) {
    if (Value == FActive)
        return;
    FActive = Value;
    if (Value) {
        CreateNotifyWindow();
        StopEvent.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        UpdateState();
        if (IsInstalled()) {
            AttachPlayer(0);
        } else {
            RestartTimer(true);
            DoStateChanged(State);
        }
    } else {
        StopWaitThread();
        DisconnectHelper();
        RestartTimer(false);
        StopEvent.Reset();
        if (NotifyWindow) {
            DestroyWindow(NotifyWindow);
            NotifyWindow = nullptr;
        }
        UpdateState();
    }
}

void TWinAmpManager::RestartTimer(bool Enable) {
    if (TimerArmed) {
        KillTimer(NotifyWindow, TimerId());
        TimerArmed = false;
    }
    if (Enable && NotifyWindow) {
        TimerInterval = IntervalForState();
        TimerArmed = SetTimer(NotifyWindow, TimerId(), TimerInterval, nullptr) != 0;
    }
}

void TWinAmpManager::DoPositionChanged(int64_t Duration, int64_t Position) {
    if (OnPosition && !Destroying())
        OnPosition(this, Duration, Position);
}

// ---- the player's window and its messages ------------------------------------------------------------

HWND TWinAmpManager::FindPlayerWindow() {
    HWND window = FindWindowW(kPlayerWindowClass, nullptr);
    if (window == reinterpret_cast<HWND>(INVALID_HANDLE_VALUE))
        window = nullptr;
    PlayerWindow = window;
    return window;
}

LRESULT TWinAmpManager::SendPlayer(UINT message, WPARAM wParam, LPARAM lParam) {
    return SendMessageW(PlayerWindow, message, wParam, lParam);
}

void TWinAmpManager::SendCommand(WPARAM id) {
    if (FindPlayerWindow())
        SendPlayer(WM_COMMAND, id, 0);
}

namespace {

struct DialogSearch {
    DWORD Thread;
    int Buttons; // counted over the whole search, not per window
    HWND Result;
};

BOOL CALLBACK CountButtons(HWND child, LPARAM data) {
    auto& s = *reinterpret_cast<DialogSearch*>(data);
    WINDOWINFO info{};
    info.cbSize = sizeof(info);
    wchar_t className[64];
    if (GetWindowInfo(child, &info) && RealGetWindowClassW(child, className, 64) &&
        lstrcmpiW(className, L"Button") == 0)
        ++s.Buttons;
    return s.Buttons < 2;
}

BOOL CALLBACK VisitTopLevel(HWND top, LPARAM data) {
    auto& s = *reinterpret_cast<DialogSearch*>(data);
    if (GetWindowThreadProcessId(top, nullptr) != s.Thread)
        return TRUE;
    EnumChildWindows(top, &CountButtons, data);
    if (s.Buttons == 2) {
        s.Result = top;
        return FALSE;
    }
    return TRUE;
}

} // namespace

HWND TWinAmpManager::FindPlayerDialog() {
    HWND player = FindPlayerWindow();
    if (!player)
        return nullptr;
    DialogSearch search{GetWindowThreadProcessId(player, nullptr), 0, nullptr};
    EnumWindows(&VisitTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.Result;
}

bool TWinAmpManager::RepeatMode() { return FindPlayerWindow() && SendUser(0, kIpcGetRepeat) == 1; }

void TWinAmpManager::SetRepeatMode(bool Value) {
    if (FindPlayerWindow())
        SendUser(Value ? 1 : 0, kIpcSetRepeat);
}

bool TWinAmpManager::ShuffleMode() { return FindPlayerWindow() && SendUser(0, kIpcGetShuffle) == 1; }

void TWinAmpManager::SetShuffleMode(bool Value) {
    if (FindPlayerWindow())
        SendUser(Value ? 1 : 0, kIpcSetShuffle);
}

bool TWinAmpManager::IsPlaying() { return FindPlayerWindow() && SendUser(0, kIpcIsPlaying) != 0; }

bool TWinAmpManager::IsPaused() { return FindPlayerWindow() && SendUser(0, kIpcIsPlaying) == kStatusPaused; }

int64_t TWinAmpManager::GetDuration() {
    if (!FindPlayerWindow())
        return 0;
    // The player answers a 32-bit int: the track's length in seconds, -1 when nothing is loaded.
    const int32_t seconds = static_cast<int32_t>(SendUser(1, kIpcGetOutputTime));
    return seconds == -1 ? 0 : static_cast<int64_t>(seconds) * 1000;
}

int64_t TWinAmpManager::GetPosition() {
    if (!FindPlayerWindow())
        return 0;
    const int32_t ms = static_cast<int32_t>(SendUser(0, kIpcGetOutputTime));
    return ms == -1 ? 0 : static_cast<int64_t>(ms);
}

void TWinAmpManager::Seek(int64_t Position) {
    if (FindPlayerWindow())
        SendUser(static_cast<WPARAM>(static_cast<uint32_t>(Position & 0xFFFFFFFF)), kIpcJumpToTime);
}

int32_t TWinAmpManager::GetPlaylistLength() {
    return FindPlayerWindow() ? static_cast<int32_t>(SendUser(0, kIpcGetListLength)) : 0;
}

int32_t TWinAmpManager::GetPlaylistPosition() {
    return FindPlayerWindow() ? static_cast<int32_t>(SendUser(0, kIpcGetListPos)) : 0;
}

bool TWinAmpManager::CanPrevious() { return RepeatMode() || GetPlaylistPosition() > 0; }

bool TWinAmpManager::CanNext() { return RepeatMode() || GetPlaylistPosition() < GetPlaylistLength() - 1; }

void TWinAmpManager::Play() {
    SendCommand(IsPaused() ? kCommandPause : kCommandPlay);
    UpdateState();
}

void TWinAmpManager::Pause() {
    SendCommand(kCommandPause);
    UpdateState();
}

void TWinAmpManager::Stop() {
    SendCommand(kCommandStop);
    UpdateState();
}

void TWinAmpManager::Previous() {
    if (CanPrevious())
        SendCommand(kCommandPrevious);
}

void TWinAmpManager::Next() {
    if (CanNext())
        SendCommand(kCommandNext);
}

bool TWinAmpManager::ClosePlayer() {
    if (!FindPlayerWindow())
        return false;
    const LRESULT result = SendPlayer(WM_COMMAND, kCommandClose, 0);
    UpdateState();
    return result == 0;
}

void TWinAmpManager::RestartPlayer() {
    if (FindPlayerWindow())
        SendUser(0, kIpcRestart);
}

void TWinAmpManager::ClearPlaylist() {
    if (FindPlayerWindow())
        SendUser(0, kIpcClearPlaylist);
}

void TWinAmpManager::Enqueue(const std::vector<std::wstring>* Files) {
    if (!Files || Files->empty() || !FindPlayerWindow())
        return;
    for (const std::wstring& file : *Files) {
        // 8-bit text in the system code page with its terminating zero; characters it cannot hold are lost.
        std::string text = WideToAnsi(file);
        text.push_back('\0');
        COPYDATASTRUCT data{};
        data.dwData = kCopyDataEnqueue;
        data.cbData = static_cast<DWORD>(text.size());
        data.lpData = text.data();
        SendPlayer(WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
    }
}

bool TWinAmpManager::PlayerVisible() {
    HWND window = FindPlayerWindow();
    if (!window || !IsWindowVisible(window))
        return false;
    WINDOWPLACEMENT placement{};
    placement.length = sizeof(placement);
    if (!GetWindowPlacement(window, &placement))
        return false;
    return placement.showCmd == SW_SHOWNORMAL || placement.showCmd == SW_SHOWMAXIMIZED;
}

void TWinAmpManager::SetPlayerVisible(bool Value) {
    if (HWND window = FindPlayerWindow())
        ShowWindow(window, Value ? SW_RESTORE : SW_MINIMIZE);
}

void TWinAmpManager::GetCurrentFileName(std::wstring& Name) {
    Name.clear();
    if (HelperBlock) {
        const std::string text = helper::ReadFileName(*HelperBlock);
        if (!text.empty())
            Name = AnsiToWide(text);
    }
}

// ---- the poll --------------------------------------------------------------------------------------

void TWinAmpManager::UpdateState() {
    if (PlayerExited)
        return; // the exit notice is on its way
    TControlStates include, exclude;
    const bool wasLaunched = State.Contains(csLanched);
    const bool wasPlaying = State.Contains(csPlaying);
    bool rearm = false;

    HWND dialog = FindPlayerDialog();
    HWND window = FindPlayerWindow();
    if (window) {
        // A visible blocking dialog keeps the player unusable, unless the helper already runs.
        if (!dialog || !IsWindowVisible(dialog) || HelperFileEvent)
            include = {csInstalled, csLanched};
        else
            include = {csInstalled};
        if (IsPlaying()) {
            include += {csPlaying, csLanched};
            const int64_t duration = GetDuration();
            DoPositionChanged(duration, GetPosition());
        } else {
            exclude += {csPlaying};
        }
        if (IsPaused())
            include += {csPaused};
        else
            exclude += {csPaused};
        if (RepeatMode())
            include += {csRepeat};
        else
            exclude += {csRepeat};
        if (ShuffleMode())
            include += {csShuffle};
        else
            exclude += {csShuffle};
        // A window that went away during the poll answered nothing: its zeros are not the player's modes.
        if (!IsWindow(window)) {
            window = nullptr;
            include = {};
            exclude = {};
        }
    }
    if (!window) {
        // Shuffle and repeat keep their last values while the player is away.
        exclude = {csLanched, csPlaying, csPaused};
        const bool installed = IsInstalled();
        if (installed)
            include += {csInstalled};
        else
            exclude += {csInstalled};
        rearm = installed != State.Contains(csInstalled);
    }

    SetState(include, exclude);

    if (!wasLaunched && include.Contains(csLanched) && !dialog && !Launching && FActive)
        AttachPlayer(0);
    // Re-armed after the state is applied, so the interval is the one of the state just reached.
    if (rearm || wasPlaying != include.Contains(csPlaying))
        RestartTimer(true);
}

void TWinAmpManager::DoStateChanged(TControlStates PrevState) {
    HWND dialog = FindPlayerDialog();
    if (State.Contains(csLanched) && !PrevState.Contains(csLanched) && !dialog) {
        if (!Launching)
            ConnectHelper();
    } else if (!State.Contains(csLanched) && PrevState.Contains(csLanched)) {
        DisconnectHelper();
    }
    TBasePlayerManager::DoStateChanged(PrevState);
}

// ---- installation, launch and the process watch ------------------------------------------------------

void TWinAmpManager::GetPlayerPath(std::wstring& Path) {
    std::wstring command;
    if (!ReadRegistryText(RegistryRoot::ClassesRoot, kPlayerCommandKey, L"", command)) {
        Path.clear();
        return;
    }
    Path = PlayerPathFromCommand(command);
}

bool TWinAmpManager::IsInstalled() {
    std::wstring path;
    GetPlayerPath(path);
    return !path.empty() && FileExists(path);
}

bool TWinAmpManager::Launch(TLaunchMode Mode) {
    std::wstring path;
    GetPlayerPath(path);
    if (path.empty())
        return false;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = Mode == lmMinimized ? SW_MINIMIZE : Mode == lmNormal ? SW_SHOW : SW_HIDE;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(path.c_str(), nullptr, nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT, nullptr,
                        nullptr, &startup, &process)) {
        UpdateState();
        return false;
    }
    win::UniqueHandle processHandle(process.hProcess), threadHandle(process.hThread);

    Launching = true;
    RestartTimer(false);
    Finally done{[this] {
        RestartTimer(true);
        Launching = false;
    }};
    // Up to 2 s for the main window, in steps of 200 ms.
    int waited = 0;
    HWND window = FindPlayerWindow();
    while (!window && waited < 2000) {
        waited += 200;
        Sleep(200);
        window = FindPlayerWindow();
    }
    ConnectHelper();
    AttachPlayer(process.dwProcessId);
    UpdateState();
    return true;
}

bool TWinAmpManager::AttachPlayer(DWORD ProcessId) {
    HWND window = FindPlayerWindow();
    // The wait thread posts to NotifyWindow: without it (inactive) there is nothing to attach to.
    if (!window || WaitThread || !NotifyWindow)
        return false;
    if (ProcessId == 0) {
        GetWindowThreadProcessId(window, &PlayerProcessId);
        PlayerProcess.Reset(OpenProcess(SYNCHRONIZE, FALSE, PlayerProcessId));
    } else {
        PlayerProcess.Reset(OpenProcess(SYNCHRONIZE, FALSE, ProcessId));
    }
    const bool result = static_cast<bool>(PlayerProcess);
    if (result) {
        ConnectHelper();
        std::wstring name;
        GetCurrentFileName(name);
        SetCurrentFile(name);
        ResetEvent(StopEvent.Get());
        WaitThread = std::make_unique<TWinAmpWaitThread>(this);
    }
    RestartTimer(true);
    return result;
}

void TWinAmpManager::StopWaitThread() {
    if (!WaitThread)
        return;
    SetEvent(StopEvent.Get());
    WaitThread->WaitFor();
    WaitThread.reset();
}

void TWinAmpManager::HandlePlayerExited() {
    Finally clear{[this] { PlayerExited = false; }};
    SetState({}, {csLanched});
    StopWaitThread();
    DisconnectHelper();
    PlayerProcess.Reset();
}

// ---- the helper plug-in ----------------------------------------------------------------------------

bool TWinAmpManager::HelperPluginPresent() {
    std::wstring path;
    GetPlayerPath(path);
    const std::wstring plugins = WithTrailingBackslash(ExtractFolder(path)) + L"Plugins";
    return FileExists(WithTrailingBackslash(plugins) + kHelperLibraryName);
}

void TWinAmpManager::OpenHelperEvents() {
    HelperFileEvent.Reset(OpenEventW(SYNCHRONIZE, FALSE, helper::kFileEventName));
    HelperTagsEvent.Reset(OpenEventW(SYNCHRONIZE, FALSE, helper::kTagsEventName));
}

void TWinAmpManager::ConnectHelper() {
    if (HelperFileEvent && HelperTagsEvent)
        return;
    OpenHelperEvents();
    if ((Launching || State.Contains(csLanched)) && !HelperFileEvent) {
        // The player may still be loading its plug-ins.
        int waited = 0;
        while (!HelperFileEvent && HelperPluginPresent() && waited < 5000) {
            waited += 200;
            Sleep(200);
            OpenHelperEvents();
        }
    }
    if (HelperFileEvent)
        HelperError = 0;
    else
        InstallHelper();
    MapHelperBlock();
}

void TWinAmpManager::InstallHelper() {
    win::ModuleHandle library = win::ModuleHandle::Load(kHelperLibraryName);
    if (!library)
        library = win::ModuleHandle::Load(WithTrailingBackslash(ExtractFolder(ModuleFileName(false))) +
                                          kHelperLibraryName);
    if (!library) {
        HelperError = kHelperNotLoaded;
        return;
    }
    using TInstallPlugin = int32_t (*)();
    auto install = reinterpret_cast<TInstallPlugin>(
        reinterpret_cast<void*>(GetProcAddress(library.Get(), "InstallPlugin")));
    if (!install) {
        HelperError = kHelperNoInstallExport;
        return;
    }
    int32_t result = -1;
    try {
        result = install();
    } catch (...) {
        HelperError = kHelperInstallFailed;
        return;
    }
    if (result != 0) {
        HelperError = kHelperInstallFailed;
        return;
    }
    // The player restarts with the helper: up to 5 s for its events, in steps of 500 ms.
    FindPlayerWindow();
    int waited = 0;
    HelperFileEvent.Reset(OpenEventW(SYNCHRONIZE, FALSE, helper::kFileEventName));
    while (!HelperFileEvent && waited < 5000) {
        Sleep(500);
        waited += 500;
        HelperFileEvent.Reset(OpenEventW(SYNCHRONIZE, FALSE, helper::kFileEventName));
    }
    HelperTagsEvent.Reset(OpenEventW(SYNCHRONIZE, FALSE, helper::kTagsEventName));
    if (HelperFileEvent)
        HelperError = 0;
}

void TWinAmpManager::MapHelperBlock() {
    if (HelperBlock)
        return;
    BlockMapping.Reset(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                          static_cast<DWORD>(helper::kBlockSize), helper::kBlockName));
    if (!BlockMapping)
        return;
    // A mapping made smaller by someone else fails here rather than letting reads run past its end.
    FBlockView = MapViewOfFile(BlockMapping.Get(), FILE_MAP_ALL_ACCESS, 0, 0, helper::kBlockSize);
    if (!FBlockView) {
        BlockMapping.Reset();
        return;
    }
    HelperBlock = static_cast<const helper::THelperBlock*>(FBlockView);
}

void TWinAmpManager::DisconnectHelper() {
    if (FBlockView) {
        UnmapViewOfFile(FBlockView);
        FBlockView = nullptr;
        HelperBlock = nullptr;
        BlockMapping.Reset();
    }
    HelperFileEvent.Reset();
    HelperTagsEvent.Reset();
}

void TWinAmpManager::SendHelperStrings(const std::wstring& A, const std::wstring& B) {
    try {
        if (!FBlockView || !FindPlayerWindow())
            return;
        auto* block = static_cast<helper::THelperBlock*>(FBlockView);
        helper::WriteField(block->TextA, block->TextALength, WideToAnsi(A));
        helper::WriteField(block->TextB, block->TextBLength, WideToAnsi(B));
        SendPlayer(helper::WM_HELPER_STRINGS, 0, 0);
    } catch (const std::exception&) {
    }
}

int32_t TWinAmpManager::GetHelperVersion() {
    if (!FindPlayerWindow())
        return -1;
    return static_cast<int32_t>(SendPlayer(helper::WM_HELPER_VERSION, 0, 0));
}

} // namespace mellodeck
