#include "player/win/WinAmpManager.h"

#include <exception>

#include "common/AxSys.h"
#include "common/FileUtils.h"
#include "common/ScopeExit.h"
#include "common/TextConvert.h"
#include "player/HelperProtocol.h"
#include "player/PlayerCommandLine.h"
#include "player/PlayerProtocol.h"
#include "player/win/WinAmpWaitThread.h"

namespace mellodeck {

TWinAmpManager::TWinAmpManager() { SetPlayerName(L"WinAmp"); }

TWinAmpManager::~TWinAmpManager() {
    BeginDestroy();
    SetActive(false);
}

// ---- the hidden window -------------------------------------------------------------------------------

void TWinAmpManager::CreateNotifyWindow() {
    FNotifyOwner = std::make_unique<TNotifyWindow>(*this);
    if (FNotifyOwner->CreateMessageOnly())
        NotifyWindow = FNotifyOwner->Handle();
    else
        FNotifyOwner.reset();
}

LRESULT TWinAmpManager::TNotifyWindow::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_TIMER:
    case WM_PLAYER_FILE:
    case WM_PLAYER_TAGS:
    case WM_PLAYER_EXITED:
        return FManager.Dispatch(message, wParam, lParam);
    }
    return WindowBase::WindowProc(message, wParam, lParam);
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
        // An exit notice lost with the previous window must not keep every poll away.
        PlayerExited = false;
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
        NotifyWindow = nullptr;
        FNotifyOwner.reset(); // destroys the window
        // Nothing happens after deactivation: no last poll (it could fire events, connect the helper or
        // install it), and nothing of the attachment is kept.
        PlayerProcess.Reset();
        PlayerExited = false;
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
    HWND window = FindWindowW(player::kWindowClass, nullptr);
    if (window == reinterpret_cast<HWND>(INVALID_HANDLE_VALUE))
        window = nullptr;
    PlayerWindow = window;
    return window;
}

std::optional<LRESULT> TWinAmpManager::Ask(UINT message, WPARAM wParam, LPARAM lParam) {
    if (!PlayerWindow)
        return std::nullopt;
    if (PlayerWindow == FUnansweredWindow && GetTickCount64() < FUnansweredUntil)
        return std::nullopt;
    // The player runs in another process and may hang: a blocking send would hang the sidebar, and with
    // it every other panel on the user's desktop.
    DWORD_PTR answer = 0;
    if (SendMessageTimeoutW(PlayerWindow, message, wParam, lParam, SMTO_NORMAL | SMTO_ABORTIFHUNG,
                            kAnswerTimeoutMs, &answer)) {
        FUnansweredWindow = nullptr;
        return static_cast<LRESULT>(answer);
    }
    FUnansweredWindow = PlayerWindow;
    FUnansweredUntil = GetTickCount64() + kUnansweredPauseMs;
    return std::nullopt;
}

std::optional<LRESULT> TWinAmpManager::FindAndAskUser(WPARAM wParam, LPARAM id) {
    if (!FindPlayerWindow())
        return std::nullopt;
    return AskUser(wParam, id);
}

void TWinAmpManager::SendCommand(WPARAM id) {
    if (FindPlayerWindow())
        Ask(WM_COMMAND, id, 0);
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

std::optional<bool> TWinAmpManager::AskFlag(LPARAM id) {
    const auto answer = AskUser(0, id);
    return answer ? std::optional<bool>(*answer == 1) : std::nullopt;
}

std::optional<int64_t> TWinAmpManager::AskDuration() {
    // The player answers a 32-bit int: the track's length in seconds, -1 when nothing is loaded.
    const auto answer = AskUser(1, player::kIpcGetOutputTime);
    if (!answer)
        return std::nullopt;
    const int32_t seconds = static_cast<int32_t>(*answer);
    return seconds == -1 ? 0 : static_cast<int64_t>(seconds) * 1000;
}

std::optional<int64_t> TWinAmpManager::AskPosition() {
    const auto answer = AskUser(0, player::kIpcGetOutputTime);
    if (!answer)
        return std::nullopt;
    const int32_t ms = static_cast<int32_t>(*answer);
    return ms == -1 ? 0 : static_cast<int64_t>(ms);
}

bool TWinAmpManager::RepeatMode() { return FindPlayerWindow() && AskFlag(player::kIpcGetRepeat).value_or(false); }

void TWinAmpManager::SetRepeatMode(bool Value) {
    if (FindPlayerWindow())
        AskUser(Value ? 1 : 0, player::kIpcSetRepeat);
}

bool TWinAmpManager::ShuffleMode() {
    return FindPlayerWindow() && AskFlag(player::kIpcGetShuffle).value_or(false);
}

void TWinAmpManager::SetShuffleMode(bool Value) {
    if (FindPlayerWindow())
        AskUser(Value ? 1 : 0, player::kIpcSetShuffle);
}

bool TWinAmpManager::IsPlaying() {
    const auto status = FindAndAskUser(0, player::kIpcIsPlaying);
    return status && *status != player::kStatusStopped;
}

bool TWinAmpManager::IsPaused() {
    const auto status = FindAndAskUser(0, player::kIpcIsPlaying);
    return status && *status == player::kStatusPaused;
}

int64_t TWinAmpManager::GetDuration() { return FindPlayerWindow() ? AskDuration().value_or(0) : 0; }

int64_t TWinAmpManager::GetPosition() { return FindPlayerWindow() ? AskPosition().value_or(0) : 0; }

void TWinAmpManager::Seek(int64_t Position) {
    if (FindPlayerWindow())
        AskUser(static_cast<WPARAM>(static_cast<uint32_t>(Position & 0xFFFFFFFF)), player::kIpcJumpToTime);
}

int32_t TWinAmpManager::GetPlaylistLength() {
    return static_cast<int32_t>(FindAndAskUser(0, player::kIpcGetListLength).value_or(0));
}

int32_t TWinAmpManager::GetPlaylistPosition() {
    return static_cast<int32_t>(FindAndAskUser(0, player::kIpcGetListPos).value_or(0));
}

bool TWinAmpManager::CanPrevious() { return RepeatMode() || GetPlaylistPosition() > 0; }

bool TWinAmpManager::CanNext() { return RepeatMode() || GetPlaylistPosition() < GetPlaylistLength() - 1; }

void TWinAmpManager::Play() {
    SendCommand(IsPaused() ? player::kCommandPause : player::kCommandPlay);
    UpdateState();
}

void TWinAmpManager::Pause() {
    SendCommand(player::kCommandPause);
    UpdateState();
}

void TWinAmpManager::Stop() {
    SendCommand(player::kCommandStop);
    UpdateState();
}

void TWinAmpManager::Previous() {
    if (CanPrevious())
        SendCommand(player::kCommandPrevious);
}

void TWinAmpManager::Next() {
    if (CanNext())
        SendCommand(player::kCommandNext);
}

bool TWinAmpManager::ClosePlayer() {
    if (!FindPlayerWindow())
        return false;
    const auto result = Ask(WM_COMMAND, player::kCommandClose, 0);
    UpdateState();
    return result && *result == 0;
}

void TWinAmpManager::RestartPlayer() {
    if (FindPlayerWindow())
        AskUser(0, player::kIpcRestart);
}

void TWinAmpManager::ClearPlaylist() {
    if (FindPlayerWindow())
        AskUser(0, player::kIpcClearPlaylist);
}

void TWinAmpManager::Enqueue(const std::vector<std::wstring>* Files) {
    if (!Files || Files->empty() || !FindPlayerWindow())
        return;
    for (const std::wstring& file : *Files) {
        // 8-bit text in the system code page with its terminating zero; characters it cannot hold are lost.
        std::string text = WideToAnsi(file);
        text.push_back('\0');
        COPYDATASTRUCT data{};
        data.dwData = player::kCopyDataEnqueue;
        data.cbData = static_cast<DWORD>(text.size());
        data.lpData = text.data();
        Ask(WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
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
    // Showing another process's window waits for it; a hung player must not hang the caller.
    if (HWND window = FindPlayerWindow())
        ShowWindowAsync(window, Value ? SW_RESTORE : SW_MINIMIZE);
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
    // Whether a track is loaded, as far as the player said; empty when it did not answer.
    std::optional<bool> playing;

    HWND dialog = FindPlayerDialog();
    HWND window = FindPlayerWindow();
    if (window) {
        // A visible blocking dialog keeps the player unusable, unless the helper already runs.
        if (!dialog || !IsWindowVisible(dialog) || HelperFileEvent)
            include = {csInstalled, csLanched};
        else
            include = {csInstalled};
        // What the player leaves unanswered keeps its last value: a hung player has not stopped, and its
        // silence is not shuffle and repeat turned off.
        if (const auto status = AskUser(0, player::kIpcIsPlaying)) {
            playing = *status != player::kStatusStopped;
            if (*playing) {
                include += {csPlaying, csLanched};
                const auto duration = AskDuration();
                const auto position = AskPosition();
                if (duration && position)
                    DoPositionChanged(*duration, *position);
            } else {
                exclude += {csPlaying};
            }
            if (*status == player::kStatusPaused)
                include += {csPaused};
            else
                exclude += {csPaused};
        }
        if (const auto repeat = AskFlag(player::kIpcGetRepeat))
            (*repeat ? include : exclude) += {csRepeat};
        if (const auto shuffle = AskFlag(player::kIpcGetShuffle))
            (*shuffle ? include : exclude) += {csShuffle};
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
        playing = false;
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
    if (rearm || (playing && *playing != wasPlaying))
        RestartTimer(true);
    // A tag editor's save of the file being played shows on the panel without a track change.
    if (window)
        ReloadIfFileRewritten();
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
    if (!ReadRegistryText(RegistryRoot::ClassesRoot, player::kCommandKey, L"", command)) {
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
    ScopeExit done{[this] {
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
    ScopeExit clear{[this] { PlayerExited = false; }};
    SetState({}, {csLanched});
    StopWaitThread();
    DisconnectHelper();
    PlayerProcess.Reset();
}


} // namespace mellodeck
