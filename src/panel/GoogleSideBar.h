#pragma once
// The sidebar panel: one player manager, nine lightweight buttons and a seek bar, turned into what the user
// sees: which controls show, their images and hints, the track's text lines, the artwork and the seek bar.
// This is the portable model; the window, GDI, timers and the mouse capture belong to the Windows face
// (panel/win/GoogleSideBarWindow), which implements TPanelPlatform and calls the handlers below.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "imaging/Bitmap32.h"
#include "panel/GlobalShortcuts.h"
#include "panel/PanelCanvas.h"
#include "panel/PanelSettings.h"
#include "panel/PanelTypes.h"
#include "panel/SideBarControls.h"
#include "player/BasePlayerManager.h"

namespace mellodeck {

enum TSideBarMode : int { sbmNone = 0, sbmWinAmp = 1, sbmWindowsMedia = 2 };

// PanelFlags bits.
inline constexpr uint8_t pfRealigning = 1u << 3;
inline constexpr uint8_t pfArtworkShown = 1u << 4;
inline constexpr uint8_t pfArtworkDoesNotFit = 1u << 5;
inline constexpr uint8_t pfDispatchingClick = 1u << 7;

namespace panel_colors {
inline constexpr TColor kBackground{250, 250, 250};
inline constexpr TColor kHotTextButton{234, 234, 234};
inline constexpr TColor kLine1{32, 32, 32}; // also the file-name line
inline constexpr TColor kLine2{100, 100, 100}; // also caption texts
inline constexpr TColor kLine3{34, 68, 153};
} // namespace panel_colors

inline constexpr int kSeekBarHeight = 8;

// Drop effects and results as OLE gives them.
inline constexpr uint32_t kDropEffectNone = 0;
inline constexpr uint32_t kDropEffectCopy = 1;
inline constexpr uint32_t kDropEffectMove = 2;
inline constexpr uint32_t kDropEffectLink = 4;
inline constexpr int32_t kResultOk = 0;
inline constexpr int32_t kResultUnexpected = static_cast<int32_t>(0x8000FFFF);
inline constexpr int32_t kResultNotImplemented = static_cast<int32_t>(0x80004001);
inline constexpr int kFadeSteps = 8;
inline constexpr unsigned kFadeIntervalMs = 50;

// What the panel asks of its window. Every call comes from the window's (UI) thread.
class TPanelPlatform {
public:
    virtual ~TPanelPlatform() = default;
    virtual bool WindowExists() const = 0;
    virtual TRect ClientRect() const = 0;
    // Marks R (the whole client area for nullptr) for repainting, without erasing.
    virtual void Invalidate(const TRect* R) = 0;
    // Arms (true) or kills (false) the 50 ms fade timer of the window.
    virtual void SetFadeTimer(bool On) = 0;
    // A skin bitmap of the module ("SB_BUTTONS" ...); false leaves Out empty.
    virtual bool LoadSkin(const wchar_t* Name, Bitmap32& Out) = 0;
    // A scratch canvas of the given size for one paint (the content bitmap T), reused between paints.
    virtual TPanelCanvas& ContentCanvas(int Width, int Height) = 0;

    // Mouse capture, cursor and hint.
    virtual bool HasCapture() const = 0;
    virtual void SetCapture() = 0;
    virtual void ReleaseCapture() = 0;
    virtual void SetCursor(TCursor Cursor) = 0;
    virtual void HideHint() = 0;

    // The system side of the global hotkeys, for this window.
    virtual std::unique_ptr<IHotkeyRegistrar> CreateHotkeyRegistrar() = 0;

    // Commands that leave the panel: the install prompt and the tag editor.
    virtual void RunInstallPrompt() = 0;
    virtual void RunEditCommand(const std::wstring& FileName) = 0;
};

// The track's fields as the panel last saw them outside a reload (a reload clears the texts before it reads
// the new ones; what is drawn is the state after it).
struct TTrackSnapshot {
    std::wstring FileName;
    std::wstring Artist;
    std::wstring Album;
    std::wstring Title;
    int32_t PlaylistLength = 0;
    bool Supported = false; // the media library reads FileName's extension
};

struct TTrackTextLines {
    bool ShowFileName = false;
    std::wstring FileName;
    std::wstring Line1;
    std::wstring Line2;
    std::wstring Line3;
};

// The lines of the track text for an alignment: centred (tall layout) or left (wide layout).
TTrackTextLines ComposeTrackText(const TTrackSnapshot& Track, TTextAlign Align, bool SeparateLines,
                                 bool ShowFileName);

// Scales a Width x Height picture to fit Area x AreaHeight keeping its shape (nearest integer, ties to even).
void FitArtwork(int Width, int Height, int AreaWidth, int AreaHeight, int& OutWidth, int& OutHeight);

class TGoogleSideBar;
using TLeftMouseDownEvent = std::function<void(TGoogleSideBar* Sender, TBaseSideBarControl* Control, bool& Allow)>;
using TPanelNotifyEvent = std::function<void(TGoogleSideBar* Sender)>;
using TAcceptDropEvent =
    std::function<bool(TGoogleSideBar* Sender, uint32_t Shift, uint32_t& Effect, TPoint Pt, int Mode)>;
using TFilesDroppedEvent = std::function<int32_t(TGoogleSideBar* Sender, uint32_t KeyState, uint32_t& Effect, TPoint Pt)>;

class TGoogleSideBar {
public:
    // The panel owns the manager (a TWinAmpManager in the product) and the store of its options (the
    // registry in the product).
    TGoogleSideBar(TPanelPlatform& Platform, std::unique_ptr<TBasePlayerManager> Manager,
                   std::unique_ptr<ISettingsStore> Store);
    ~TGoogleSideBar();
    TGoogleSideBar(const TGoogleSideBar&) = delete;
    TGoogleSideBar& operator=(const TGoogleSideBar&) = delete;

    // ---- called by the window face
    // The window exists: a pending mode is applied, the layout computed, the open hotkey registered.
    void WindowCreated();
    // The window is going away: the hotkey is released and the fade stops (a window that comes back shows
    // the content complete).
    void WindowDestroyed();
    void Resized();
    void FadeTimerTick();
    // Draws the whole frame into Buffer (client-sized): background, content and controls.
    void PaintFrame(TPanelCanvas& Buffer);
    // Mouse input (client coordinates). Inside: over the client area and not over a child window.
    void MouseMoveMessage(const TMouseMessage& Message, bool Inside);
    void LeftButtonDown(const TMouseMessage& Message);
    void LeftButtonUp(const TMouseMessage& Message);
    // The mouse capture went to another window: a drag ends without seeking.
    void CaptureLost();
    // The hint of the control at P; false when no control is there.
    bool HintAt(TPoint P, std::wstring& Hint) const;
    // The global hotkey with this identifier was pressed.
    void HotkeyPressed(int Id);
    // Drag and drop over the panel; the window face has read the dragged files into DroppedFiles (an empty
    // list when the data holds none). KeyState: the MK_* and modifier bits of the drag; Allowed: the
    // DROPEFFECT_* bits the source allows. The answers are HRESULT values; Effect is what the cursor shows.
    int32_t DoDragEnter(uint32_t KeyState, TPoint Pt, uint32_t Allowed, uint32_t& Effect);
    int32_t DoDragOver(uint32_t KeyState, TPoint Pt, uint32_t Allowed, uint32_t& Effect);
    void DoDragLeave() {}
    int32_t DoDrop(uint32_t KeyState, TPoint Pt, uint32_t Allowed, uint32_t& Effect);
    // Asks the owner whether the files in DroppedFiles are accepted (false without an owner or files).
    bool CollectDroppedFiles(uint32_t Shift, uint32_t& Effect, TPoint Pt, int Mode);

    // ---- published properties
    const std::wstring& Caption() const { return FCaption; }
    void SetCaption(const std::wstring& Value);
    TSideBarMode Mode() const { return FMode; }
    // False (nothing changes) for a value outside the enumeration.
    bool SetMode(int Value);
    const std::wstring& PositionString() const { return FPositionString; }
    void SetPositionString(const std::wstring& Value);
    bool RunAlwaysMinimized() { return Settings.RunAlwaysMinimized(); }
    void SetRunAlwaysMinimized(bool Value) { Settings.SetRunAlwaysMinimized(Value); }
    bool ReplaceWithDropped() { return Settings.ReplaceWithDropped(); }
    void SetReplaceWithDropped(bool Value) { Settings.SetReplaceWithDropped(Value); }
    bool SeparateLines() { return Settings.SeparateLines(); }
    void SetSeparateLines(bool Value);
    bool GlobalHotkeyEnabled() { return Settings.GlobalHotkeyEnabled(); }
    void SetGlobalHotkeyEnabled(bool Value);
    std::wstring OpenHotkey() { return Settings.OpenHotkey(); }
    void SetOpenHotkey(const std::wstring& Value);
    bool ShowFileName = true;

    // ---- manager events
    void PlayerStateChanged(TBasePlayerManager* Sender, TControlStates PrevState, TControlStates CurrentState);
    void PlayerPositionChanged(TBasePlayerManager* Sender, int64_t Duration, int64_t Position);
    void PlayerArtworkChanged(TBasePlayerManager* Sender);

    // ---- layout and painting
    void Realign();
    void UpdateArtwork();
    void PaintContent(TPanelCanvas& Buffer, const TRect& R);
    bool DrawTrackText(TPanelCanvas& Canvas, const TRect& R, TTextAlign Align, bool MeasureOnly, TRect& U);
    // The track lines the panel would draw now for an alignment.
    TTrackTextLines TrackTextLines(TTextAlign Align);

    // ---- commands
    void PlayClick(TBaseSideBarControl* Sender);
    void StopClick(TBaseSideBarControl* Sender);
    void PreviousClick(TBaseSideBarControl* Sender);
    void NextClick(TBaseSideBarControl* Sender);
    void ShuffleClick(TBaseSideBarControl* Sender);
    void ShowClick(TBaseSideBarControl* Sender);
    void LaunchClick(TBaseSideBarControl* Sender);
    void InstallClick(TBaseSideBarControl* Sender);
    void EditClick(TBaseSideBarControl* Sender);

    // ---- mouse routing helpers
    TBaseSideBarControl* ControlAt(int X, int Y) const;
    void SetHotControl(TBaseSideBarControl* C);
    void LeaveControl(TBaseSideBarControl* C);

    // ---- helpers for the controls
    void Invalidate(const TRect* R = nullptr);
    bool WindowExists() const { return Platform.WindowExists(); }
    TRect ClientRect() const { return Platform.ClientRect(); }
    bool IsPlaying() const;

    // ---- fields
    TPanelPlatform& Platform;
    bool FadeTimerArmed = false;
    uint8_t PanelFlags = 0;
    int32_t FadeStep = kFadeSteps;
    TBasePlayerManager* ActiveManager = nullptr;
    std::unique_ptr<TBasePlayerManager> WinAmpManager;
    std::unique_ptr<ISettingsStore> SettingsStore;
    TPanelSettings Settings;
    std::unique_ptr<TGlobalShortcuts> GlobalShortcuts; // while the window exists
    std::vector<TBaseSideBarControl*> SubControls;
    TBaseSideBarControl* HotControl = nullptr;
    TCursor DefaultCursor = crDefault;
    TCursor CurrentCursor = crDefault;
    TMouseMessage LastMouseMessage;
    TPoint MousePos{-1, -1};
    bool MouseDown = false;
    TRect UpdateRect;
    TLeftMouseDownEvent OnLeftMouseDownEvent;
    TPoint LastClickPos;
    std::unique_ptr<TSideBarButtons> Buttons;
    std::unique_ptr<TSideBarSeekBar> SeekBar;
    TRect PositionRect; // always empty: the position text has no area of its own on the panel
    TSideBarMode PendingMode = sbmNone;
    bool ModePending = false;
    Bitmap32 ScaledArtwork;
    TRect ContentRect;
    bool WideLayout = false;
    Bitmap32 SkinButtons, SkinButtonsDisabled, SkinButtonsPressed, SkinButtonsHot;
    Bitmap32 SkinShuffle, SkinShufflePressed, SkinShuffleHot;
    std::vector<std::wstring> DroppedFiles;
    TAcceptDropEvent OnAcceptDrop;
    TFilesDroppedEvent OnFilesDropped;
    TPanelNotifyEvent OnEditBtnClick;
    TTrackSnapshot Track;

private:
    void ApplyMode(TSideBarMode Value);
    void TakeTrackSnapshot();
    void PaintArtworkTall(TPanelCanvas& T);
    void PaintArtworkWide(TPanelCanvas& T);
    void FinishContent(TPanelCanvas& Buffer, TPanelCanvas& T, bool Fade);

    std::wstring FCaption;
    TSideBarMode FMode = sbmNone;
    std::wstring FPositionString;
};

// Pixel-exact layout of the running panel for a client size: what Realign places (used by tests and by
// the layout itself).
struct TPanelLayout {
    TRect Play, Stop, Prev, Next, Edit, Show, Shuffle;
    TRect Track;
    TRect Content;
    bool Wide = false;
};
TPanelLayout ComputeRunningLayout(int ClientWidth, int ClientHeight, int ImageButtonsWidth);

} // namespace mellodeck
