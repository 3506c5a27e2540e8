#pragma once
// The component between the panel and one media player: the player's state as a set of flags, the track it
// plays with its artist, album, title and artwork, and three events reporting every change. How a player
// is found, polled and commanded is left to a concrete manager (the virtual operations below).
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "imaging/Bitmap32.h"
#include "player/ControlState.h"
#include "player/HelperProtocol.h"

namespace mellodeck {

class TBaseMediaFormat;
class TBasePlayerManager;

// Events are called only when assigned, always in the main (window) thread.
using TStateChangedEvent =
    std::function<void(TBasePlayerManager* Sender, TControlStates PrevState, TControlStates CurrentState)>;
// Duration and Position in milliseconds.
using TPositionChangedEvent = std::function<void(TBasePlayerManager* Sender, int64_t Duration, int64_t Position)>;
using TArtworkChangedEvent = std::function<void(TBasePlayerManager* Sender)>;

class TBasePlayerManager {
public:
    TBasePlayerManager();
    // A concrete manager's destructor deactivates it (SetActive(false)) while its overrides still exist.
    virtual ~TBasePlayerManager();
    TBasePlayerManager(const TBasePlayerManager&) = delete;
    TBasePlayerManager& operator=(const TBasePlayerManager&) = delete;

    // ---- component life cycle: a manager restored from stored properties is "loading" until Loaded.
    void BeginLoading() { FLoading = true; }
    bool Loading() const { return FLoading; }
    bool Destroying() const { return FDestroying; }
    virtual void Loaded();

    // ---- published properties
    bool Active() const { return FActive; }
    virtual void SetActive(bool Value) = 0;
    virtual bool RepeatMode() = 0;
    virtual void SetRepeatMode(bool Value) = 0;
    virtual bool ShuffleMode() = 0;
    virtual void SetShuffleMode(bool Value) = 0;
    virtual bool PlayerVisible() = 0;
    virtual void SetPlayerVisible(bool Value) = 0;
    const std::wstring& PlayerName() const { return FPlayerName; }
    void SetPlayerName(const std::wstring& Value) { FPlayerName = Value; }
    bool StateOnly() const { return FStateOnly; }
    void SetStateOnly(bool Value) { FStateOnly = Value; }

    // ---- what a concrete manager supplies (times in milliseconds)
    virtual bool IsInstalled() = 0;
    virtual void GetPlayerPath(std::wstring& Path) = 0;
    virtual int64_t GetDuration() = 0;
    virtual int64_t GetPosition() = 0;
    virtual void Seek(int64_t Position) = 0;
    virtual void GetCurrentFileName(std::wstring& Name) = 0;
    virtual int32_t GetPlaylistLength() = 0;
    // May be extended; an override ends by calling this one, which fires OnStateChanged.
    virtual void DoStateChanged(TControlStates PrevState);
    virtual bool Launch(TLaunchMode Mode) = 0;
    virtual bool ClosePlayer() = 0;
    virtual void Play() = 0;
    virtual void Pause() = 0;
    virtual void Stop() = 0;
    virtual void Previous() = 0;
    virtual void Next() = 0;
    virtual void RestartPlayer() = 0;
    virtual void ClearPlaylist() {}
    virtual void Enqueue(const std::vector<std::wstring>* Files) = 0;
    virtual void SendHelperStrings(const std::wstring& A, const std::wstring& B) = 0;
    virtual bool IsPlaying() = 0;
    virtual bool IsPaused() = 0;
    virtual bool CanPrevious() = 0;
    virtual bool CanNext() = 0;
    // One poll: recompute the state and report the position.
    virtual void UpdateState() = 0;
    virtual int32_t GetHelperVersion() = 0;

    // State := (State + Include) - Exclude; a change fires OnStateChanged, then refreshes the current file.
    void SetState(TControlStates Include, TControlStates Exclude);
    // A different name (exact comparison) reloads the track information and fires OnStateChanged with equal
    // previous and current states.
    void SetCurrentFile(const std::wstring& Name);
    void ReloadMediaInformation();
    // For the polls: when the current file was rewritten since its information was read (a tag editor saved
    // it), reads it again and reports the change as a file notice would.
    void ReloadIfFileRewritten();
    // Artwork's change notification.
    void ArtworkChanged();
    // The first of the folder images beside the track that exists, decoded into Bitmap.
    static bool FindFolderImage(const std::wstring& TrackPath, Bitmap32& Bitmap);
    // The poll interval the state calls for: not installed, idle, or playing/paused.
    uint32_t IntervalForState() const;

    // ---- fields, read directly by the panel in the main thread
    TControlStates State;
    uint32_t NotInstalledInterval = 3000;
    uint32_t IdleInterval = 1000;
    uint32_t PlayingInterval = 500;
    uint32_t TimerInterval = 0; // interval of the armed poll timer, in ms
    bool TimerArmed = false;
    bool StateChangePending = false;
    std::wstring FileName;
    // The largest size the panel shows a cover at: embedded covers are decoded no larger than needed to fill
    // it (JPEG covers at a reduced DCT scale); 0 x 0 decodes them at their own size.
    int32_t ArtworkBoxWidth = 0;
    int32_t ArtworkBoxHeight = 0;
    // LastWriteStamp of FileName when its information was last read; 0 for none.
    uint64_t FileStamp = 0;
    Bitmap32 Artwork; // empty when the track has none
    std::wstring Artist;
    std::wstring Album;
    std::wstring Title;
    int32_t HelperError = 0; // 0, or 4001 / 4002 / 4003 from the last helper connection
    // The helper's shared block while connected; nullptr otherwise. Another process writes it.
    const helper::THelperBlock* HelperBlock = nullptr;

    TStateChangedEvent OnStateChanged;
    TPositionChangedEvent OnPosition;
    TArtworkChangedEvent OnArtworkChanged;

protected:
    // Starts the destructor's part: events stop and SetState changes nothing visible.
    void BeginDestroy() { FDestroying = true; }

    bool FActive = false;
    std::wstring FPlayerName;
    bool FStateOnly = false;

private:
    // Artist, Album and Title of an open format; an empty slot takes the format's fallback text (MP3: ID3v1).
    void ReadTrackTexts(TBaseMediaFormat& Format);
    void HelperFallback(Bitmap32& Folder);
    void ClearArtwork();

    bool FLoading = false;
    bool FDestroying = false;
};

// Names tried beside a track, in this order ("folder.gpeg" holds a JPEG picture).
extern const wchar_t* const kFolderImageNames[5];

} // namespace mellodeck
