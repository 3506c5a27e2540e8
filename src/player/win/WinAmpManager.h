#pragma once
// The Winamp driver: finds the player's main window by its class, asks it for status, position, length,
// playlist and modes through its window messages, sends it the command ids of its own buttons, polls it on
// a timer whose interval follows the state, starts it, watches its process from a wait thread, and
// connects to the helper plug-in that runs inside it.
#include <windows.h>

#include <atomic>
#include <memory>
#include <optional>

#include "common/win/Handles.h"
#include "common/win/MapView.h"
#include "common/win/WindowBase.h"
#include "player/BasePlayerManager.h"
#include "player/PlayerProtocol.h"

namespace mellodeck {

class TWinAmpWaitThread;

// Private notices posted to NotifyWindow (wParam = lParam = 0).
inline constexpr UINT WM_PLAYER_FILE = 1025;
inline constexpr UINT WM_PLAYER_TAGS = 1576;
inline constexpr UINT WM_PLAYER_EXITED = 1690;

// HelperError values.
inline constexpr int32_t kHelperNotLoaded = 4001;
inline constexpr int32_t kHelperNoInstallExport = 4002;
inline constexpr int32_t kHelperInstallFailed = 4003;

// How long a message to the player may wait for its answer (ms). A player that lets one go unanswered is
// not asked again for kUnansweredPauseMs, so that one call into the manager waits at most once.
inline constexpr UINT kAnswerTimeoutMs = 300;
inline constexpr ULONGLONG kUnansweredPauseMs = 1000;

class TWinAmpManager : public TBasePlayerManager {
public:
    TWinAmpManager();
    ~TWinAmpManager() override;

    void SetActive(bool Value) override;
    bool RepeatMode() override;
    void SetRepeatMode(bool Value) override;
    bool ShuffleMode() override;
    void SetShuffleMode(bool Value) override;
    bool PlayerVisible() override;
    void SetPlayerVisible(bool Value) override;
    bool IsInstalled() override;
    void GetPlayerPath(std::wstring& Path) override;
    int64_t GetDuration() override;
    int64_t GetPosition() override;
    void Seek(int64_t Position) override;
    void GetCurrentFileName(std::wstring& Name) override;
    int32_t GetPlaylistLength() override;
    void DoStateChanged(TControlStates PrevState) override;
    bool Launch(TLaunchMode Mode) override;
    bool ClosePlayer() override;
    void Play() override;
    void Pause() override;
    void Stop() override;
    void Previous() override;
    void Next() override;
    void RestartPlayer() override;
    void ClearPlaylist() override;
    void Enqueue(const std::vector<std::wstring>* Files) override;
    void SendHelperStrings(const std::wstring& A, const std::wstring& B) override;
    bool IsPlaying() override;
    bool IsPaused() override;
    bool CanPrevious() override;
    bool CanNext() override;
    void UpdateState() override;
    int32_t GetHelperVersion() override;

    int32_t GetPlaylistPosition();
    // The player's main window (also stored in PlayerWindow); nullptr when the player is not running.
    HWND FindPlayerWindow();
    // A top-level window of the player's thread with two buttons (a blocking dialog); nullptr when none.
    HWND FindPlayerDialog();
    // Re-arms the poll timer with the interval the current state calls for (TimerInterval records it).
    void RestartTimer(bool Enable);
    void DoPositionChanged(int64_t Duration, int64_t Position);
    bool AttachPlayer(DWORD ProcessId);
    void ConnectHelper();
    void DisconnectHelper();
    // The helper's file in the player's Plugins folder exists.
    bool HelperPluginPresent();

    // ---- fields
    HWND NotifyWindow = nullptr; // the handle of FNotifyOwner's window while active
    DWORD PlayerProcessId = 0;
    win::UniqueHandle PlayerProcess;
    win::UniqueHandle HelperFileEvent;
    win::UniqueHandle HelperTagsEvent;
    win::UniqueHandle StopEvent;
    std::unique_ptr<TWinAmpWaitThread> WaitThread;
    HWND PlayerWindow = nullptr;
    win::UniqueHandle BlockMapping;
    std::atomic<bool> PlayerExited{false}; // written by the wait thread
    bool Launching = false;

private:
    // The hidden message-only window: the poll timer and the wait thread's notices arrive there.
    class TNotifyWindow final : public win::WindowBase {
    public:
        explicit TNotifyWindow(TWinAmpManager& manager) : FManager(manager) {}

    protected:
        const wchar_t* ClassName() const override { return L"MellodeckPlayerNotify"; }
        LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    private:
        TWinAmpManager& FManager;
    };
    LRESULT Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    void CreateNotifyWindow();
    void StopWaitThread();
    void HandlePlayerExited();
    void OpenHelperEvents();
    void InstallHelper();
    void MapHelperBlock();
    // The process that created the player's window (found again); 0 when there is none.
    DWORD PlayerWindowProcess();
    // True when an install was already run for this player process, or this process is the one that
    // install's restart brought up.
    bool InstallRanFor(DWORD processId);

    // Sends a message to PlayerWindow (found by the caller) and waits a little for the answer. Empty when
    // there is no window, when the player did not answer in time (a hung player), or when it let a message
    // go unanswered less than kUnansweredPauseMs ago.
    std::optional<LRESULT> Ask(UINT message, WPARAM wParam, LPARAM lParam);
    std::optional<LRESULT> AskUser(WPARAM wParam, LPARAM id) { return Ask(player::kUserMessage, wParam, id); }
    // Finds the window and asks; empty when either fails.
    std::optional<LRESULT> FindAndAskUser(WPARAM wParam, LPARAM id);
    void SendCommand(WPARAM id);
    // Answers read the way the getters read them; empty for no answer.
    std::optional<bool> AskFlag(LPARAM id);
    std::optional<int64_t> AskDuration();
    std::optional<int64_t> AskPosition();
    UINT_PTR TimerId() const { return reinterpret_cast<UINT_PTR>(this); }

    win::MapView FBlockView; // HelperBlock, writable for SendHelperStrings
    std::unique_ptr<TNotifyWindow> FNotifyOwner;
    HWND FUnansweredWindow = nullptr;
    ULONGLONG FUnansweredUntil = 0;
    // The install is run at most once per player process: the process it was run for, and the process
    // its restart brought up (noted when first seen, while FAwaitInstallRestart is set).
    bool FInstallRan = false;
    DWORD FInstallTarget = 0;
    DWORD FInstallSuccessor = 0;
    bool FAwaitInstallRestart = false;
};

} // namespace mellodeck
