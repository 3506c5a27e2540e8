#pragma once
// The Winamp driver: finds the player's main window by its class, asks it for status, position, length,
// playlist and modes through its window messages, sends it the command ids of its own buttons, polls it on
// a timer whose interval follows the state, starts it, watches its process from a wait thread, and
// connects to the helper plug-in that runs inside it.
#include <windows.h>

#include <atomic>
#include <memory>

#include "common/win/Handles.h"
#include "player/BasePlayerManager.h"

namespace mellodeck {

class TWinAmpWaitThread;

// Private notices posted to NotifyWindow (wParam = lParam = 0).
inline constexpr UINT WM_PLAYER_FILE = 1025;
inline constexpr UINT WM_PLAYER_TAGS = 1576;
inline constexpr UINT WM_PLAYER_EXITED = 1690;

inline constexpr wchar_t kPlayerWindowClass[] = L"Winamp v1.x";
inline constexpr wchar_t kPlayerCommandKey[] = L"Winamp.File\\shell\\open\\command";
inline constexpr wchar_t kHelperLibraryName[] = L"gen_Pelorix.dll";

// HelperError values.
inline constexpr int32_t kHelperNotLoaded = 4001;
inline constexpr int32_t kHelperNoInstallExport = 4002;
inline constexpr int32_t kHelperInstallFailed = 4003;

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
    HWND NotifyWindow = nullptr;
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
    static LRESULT CALLBACK NotifyWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    void CreateNotifyWindow();
    void StopWaitThread();
    void HandlePlayerExited();
    void OpenHelperEvents();
    void InstallHelper();
    void MapHelperBlock();
    // Sends a message to PlayerWindow (found by the caller).
    LRESULT SendPlayer(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT SendUser(WPARAM wParam, LPARAM id) { return SendPlayer(WM_USER, wParam, id); }
    void SendCommand(WPARAM id);
    UINT_PTR TimerId() const { return reinterpret_cast<UINT_PTR>(this); }

    void* FBlockView = nullptr; // HelperBlock, writable for SendHelperStrings
};

} // namespace mellodeck
