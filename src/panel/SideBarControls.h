#pragma once
// The panel's lightweight controls: they are not windows. Each keeps a rectangle in the panel's client area,
// draws itself onto the panel's paint buffer and receives the mouse calls the panel routes to it. A control
// adds itself to the panel's SubControls when created and removes itself when destroyed.
#include <cstdint>
#include <functional>
#include <string>

#include "imaging/Bitmap32.h"
#include "panel/PanelCanvas.h"
#include "panel/PanelTypes.h"

namespace mellodeck {

class TGoogleSideBar;
class TBaseSideBarControl;

using TNotifyEvent = std::function<void(TBaseSideBarControl* Sender)>;

// Cursor identifiers as the panel keeps them; the window face maps them to system cursors.
using TCursor = int16_t;
inline constexpr TCursor crDefault = 0;
inline constexpr TCursor crHandPoint = -21;

// A mouse message as the panel passes it on: position in client coordinates and the button/key state.
struct TMouseMessage {
    TPoint Pos;
    uint32_t Keys = 0;
};

class TBaseSideBarControl {
public:
    explicit TBaseSideBarControl(TGoogleSideBar* Panel);
    virtual ~TBaseSideBarControl();
    TBaseSideBarControl(const TBaseSideBarControl&) = delete;
    TBaseSideBarControl& operator=(const TBaseSideBarControl&) = delete;

    virtual void AdjustSize() {}
    virtual TRect GetBounds() const = 0;
    virtual bool HitTest(int X, int Y) const = 0;
    // Runs OnClick with the panel's click-dispatch flag set (cleared again also when the handler throws).
    virtual void Click();
    virtual void MouseEnter() {}
    virtual void MouseLeave() {}
    virtual void MouseDown(const TMouseMessage& Message);
    virtual void MouseUp(const TMouseMessage& Message);
    virtual void MouseMove(const TMouseMessage&) {}

    // Copies the published values (Cursor, Enabled, Hint, Visible).
    virtual void Assign(const TBaseSideBarControl& Source);

    void Invalidate();

    TCursor Cursor() const { return FCursor; }
    void SetCursor(TCursor Value) { FCursor = Value; }
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool Value);
    const std::wstring& Hint() const { return FHint; }
    void SetHint(const std::wstring& Value) { FHint = Value; }
    bool Visible() const { return FVisible; }
    void SetVisible(bool Value);

    TGoogleSideBar* Panel;
    TNotifyEvent OnClick;
    TPoint PressPos;
    bool Pressed = false;
    int32_t ImageIndex = 0;

protected:
    TCursor FCursor = crDefault;
    bool FEnabled = true;
    std::wstring FHint;
    bool FVisible = false;
};

// A 16 x 16 image button (17 wide for Shuffle) drawn from a cell of the panel's skin strips.
class TSideBarButton : public TBaseSideBarControl {
public:
    explicit TSideBarButton(TGoogleSideBar* Panel);

    void AdjustSize() override;
    TRect GetBounds() const override { return {Left, Top, Right, Bottom}; }
    bool HitTest(int X, int Y) const override { return X >= Left && X < Right && Y >= Top && Y < Bottom; }
    void Assign(const TBaseSideBarControl& Source) override;

    int32_t GetImageIndex() const { return ImageIndex; }
    void SetImageIndex(int32_t Value);
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight);
    void PaintButton(TPanelCanvas& Canvas);

    int32_t Height = 16;
    int32_t Width = 16;
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
};

// A text button: fills its rectangle, caption word-wrapped and centred.
class TSideBarTextButton : public TBaseSideBarControl {
public:
    explicit TSideBarTextButton(TGoogleSideBar* Panel) : TBaseSideBarControl(Panel) {}

    TRect GetBounds() const override { return Bounds; }
    bool HitTest(int X, int Y) const override {
        return X >= Bounds.Left && X < Bounds.Right && Y >= Bounds.Top && Y < Bounds.Bottom;
    }
    void Assign(const TBaseSideBarControl& Source) override;

    const std::wstring& Caption() const { return FCaption; }
    void SetCaption(const std::wstring& Value);
    void PaintTextButton(TPanelCanvas& Canvas);

    TRect Bounds;

private:
    std::wstring FCaption;
};

// The nine buttons, created in this order: Play, Stop, Prev, Next, Edit, Show, Shuffle, Launch, Install.
class TSideBarButtons {
public:
    explicit TSideBarButtons(TGoogleSideBar* Panel);

    TSideBarButton Play;
    TSideBarButton Stop;
    TSideBarButton Prev;
    TSideBarButton Next;
    TSideBarButton Edit;
    TSideBarButton Show;
    TSideBarButton Shuffle;
    TSideBarTextButton Launch;
    TSideBarTextButton Install;
};

class TBaseSideBarTrackBar : public TBaseSideBarControl {
public:
    explicit TBaseSideBarTrackBar(TGoogleSideBar* Panel);

    TRect GetBounds() const override;
    bool HitTest(int X, int Y) const override;
    void MouseLeave() override;
    void MouseDown(const TMouseMessage& Message) override;
    void MouseUp(const TMouseMessage& Message) override;
    void MouseMove(const TMouseMessage& Message) override;

    virtual TRect GetThumbRect(TPoint P) const;
    virtual void UpdateThumb(int64_t AMin, int64_t AMax, int64_t APosition);
    virtual void Tracking(int64_t) {}
    virtual void Changed(int64_t) {}
    virtual void LoadSkin() {}

    int32_t Height() const { return FHeight; }
    void SetHeight(int32_t Value);
    int64_t Position() const { return FPosition; }
    void SetPosition(int64_t Value);
    int64_t Min() const { return FMin; }
    void SetMin(int64_t Value);
    int64_t Max() const { return FMax; }
    void SetMax(int64_t Value);

    // The thumb's natural width (from its image, or from Height); 0 while it has no size.
    int ThumbWidth() const;
    // The track is wider than the thumb, so the thumb can move (a narrower panel does not drag).
    bool CanDrag() const { return TrackRect.Width() - ThumbWidth() > 0; }
    // Ends a drag without seeking (the mouse capture was taken away).
    void CancelDrag();

    TRect ThumbRect;
    TRect TrackRect;
    bool Dragging = false;
    TPoint GrabOffset;
    Bitmap32 TrackImage;
    Bitmap32 ThumbImage;
    Bitmap32 FillerImage;

protected:
    // Thumb x for a mouse x: the grab offset removed, kept inside the track.
    int ThumbXForMouse(int MouseX) const;
    int64_t PositionForThumbX(int X) const;
    void PlaceThumb(int X);

    int32_t FHeight = 10;
    int64_t FPosition = 0;
    int64_t FMin = 0;
    int64_t FMax = 100;
    friend class TGoogleSideBar;
};

class TSideBarSeekBar : public TBaseSideBarTrackBar {
public:
    explicit TSideBarSeekBar(TGoogleSideBar* Panel);

    TRect GetThumbRect(TPoint P) const override;
    void Tracking(int64_t APosition) override;
    void Changed(int64_t APosition) override;
    void LoadSkin() override;
    void PaintSeekBar(TPanelCanvas& Canvas);
};

// "m:ss", or "h:mm:ss" from one hour on, of a time in milliseconds (whole seconds, truncated).
std::wstring FormatTrackTime(int64_t Milliseconds);

} // namespace mellodeck
