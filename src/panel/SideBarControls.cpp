#include "panel/SideBarControls.h"

#include <algorithm>

#include "common/ScopeExit.h"
#include "panel/AxAlpha.h"
#include "panel/GoogleSideBar.h"
#include "panel/GoogleSideBarConsts.h"

namespace mellodeck {

// ---- TBaseSideBarControl ----------------------------------------------------------------------------

TBaseSideBarControl::TBaseSideBarControl(TGoogleSideBar* APanel) : Panel(APanel) {
    if (Panel)
        Panel->SubControls.push_back(this);
}

TBaseSideBarControl::~TBaseSideBarControl() {
    if (!Panel)
        return;
    auto& list = Panel->SubControls;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    if (Panel->HotControl == this)
        Panel->HotControl = nullptr;
}

void TBaseSideBarControl::Click() {
    if (!FEnabled)
        return;
    ScopeExit guard{[panel = Panel] {
        if (panel)
            panel->PanelFlags = static_cast<uint8_t>(panel->PanelFlags & ~pfDispatchingClick);
    }};
    if (Panel)
        Panel->PanelFlags |= pfDispatchingClick;
    Invalidate();
    if (OnClick)
        OnClick(this);
}

void TBaseSideBarControl::MouseDown(const TMouseMessage& Message) {
    PressPos = Message.Pos;
    Pressed = true;
}

void TBaseSideBarControl::MouseUp(const TMouseMessage&) {
    Pressed = false;
    Invalidate();
}

void TBaseSideBarControl::Assign(const TBaseSideBarControl& Source) {
    FCursor = Source.FCursor;
    SetEnabled(Source.FEnabled);
    FHint = Source.FHint;
    SetVisible(Source.FVisible);
}

void TBaseSideBarControl::Invalidate() {
    if (!Panel)
        return;
    const TRect r = GetBounds();
    Panel->Invalidate(&r);
}

void TBaseSideBarControl::SetEnabled(bool Value) {
    if (FEnabled == Value)
        return;
    FEnabled = Value;
    Invalidate();
}

void TBaseSideBarControl::SetVisible(bool Value) {
    if (FVisible == Value)
        return;
    FVisible = Value;
    AdjustSize();
    if (Panel)
        Panel->Realign();
}

// ---- TSideBarButton ---------------------------------------------------------------------------------

TSideBarButton::TSideBarButton(TGoogleSideBar* APanel) : TBaseSideBarControl(APanel) {
    ImageIndex = -1;
    FVisible = true;
}

void TSideBarButton::AdjustSize() {
    Width = 16;
    Height = 16;
}

void TSideBarButton::Assign(const TBaseSideBarControl& Source) {
    TBaseSideBarControl::Assign(Source);
    if (auto* b = dynamic_cast<const TSideBarButton*>(&Source))
        SetImageIndex(b->ImageIndex);
}

void TSideBarButton::SetImageIndex(int32_t Value) {
    if (ImageIndex == Value)
        return;
    ImageIndex = Value;
    if (Panel && Panel->WindowExists())
        Invalidate();
}

void TSideBarButton::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    Left = ALeft;
    Top = ATop;
    Right = ALeft + AWidth;
    Bottom = ATop + AHeight;
}

void TSideBarButton::PaintButton(TPanelCanvas& Canvas) {
    const bool shuffle = Panel && this == &Panel->Buttons->Shuffle;
    const Bitmap32* strip = nullptr;
    if (Panel) {
        if (!FEnabled) {
            strip = &Panel->SkinButtonsDisabled;
        } else if (!HitTest(Panel->MousePos.X, Panel->MousePos.Y) || (Panel->PanelFlags & pfDispatchingClick)) {
            strip = shuffle ? &Panel->SkinShuffle : &Panel->SkinButtons;
        } else if (Panel->MouseDown) {
            strip = shuffle ? &Panel->SkinShufflePressed : &Panel->SkinButtonsPressed;
        } else {
            strip = shuffle ? &Panel->SkinShuffleHot : &Panel->SkinButtonsHot;
        }
    }
    if (strip && !strip->Empty() && ImageIndex >= 0) {
        const int cell = shuffle ? 17 : 16;
        CopySurface(SurfaceOf(*strip), TRect::Sized(ImageIndex * cell, 0, cell, 16), Canvas.Surface(), {Left, Top});
    } else {
        Canvas.DrawSunkenEdge(GetBounds());
    }
}

// ---- TSideBarTextButton -----------------------------------------------------------------------------

void TSideBarTextButton::Assign(const TBaseSideBarControl& Source) {
    TBaseSideBarControl::Assign(Source);
    if (auto* b = dynamic_cast<const TSideBarTextButton*>(&Source))
        SetCaption(b->FCaption);
}

void TSideBarTextButton::SetCaption(const std::wstring& Value) {
    if (FCaption == Value)
        return;
    FCaption = Value;
    AdjustSize();
    if (Panel)
        Panel->Realign();
}

void TSideBarTextButton::PaintTextButton(TPanelCanvas& Canvas) {
    const bool hot = Panel && Panel->HotControl == this;
    FillSurface(Canvas.Surface(), Bounds, hot ? panel_colors::kHotTextButton : panel_colors::kBackground);
    TRect r{Bounds.Left + 6, Bounds.Top + 6, Bounds.Right - 6, Bounds.Bottom - 6};
    const int textHeight = Canvas.WrappedHeight(FCaption, r, TTextFace::Canvas);
    // The block's top is half the free height from 0, not from r's own top: with the button filling the
    // panel from y = 0 the text sits 6 pixels above the centre.
    r.Top = (r.Height() - textHeight) / 2;
    Canvas.DrawWrapped(FCaption, r, panel_colors::kLine2, TTextFace::Canvas);
}

// ---- TSideBarButtons --------------------------------------------------------------------------------

TSideBarButtons::TSideBarButtons(TGoogleSideBar* APanel)
    : Play(APanel), Stop(APanel), Prev(APanel), Next(APanel), Edit(APanel), Show(APanel), Shuffle(APanel),
      Launch(APanel), Install(APanel) {
    Launch.SetCursor(crHandPoint);
    Install.SetCursor(crHandPoint);
}

// ---- TBaseSideBarTrackBar ---------------------------------------------------------------------------

TBaseSideBarTrackBar::TBaseSideBarTrackBar(TGoogleSideBar* APanel) : TBaseSideBarControl(APanel) {
    FCursor = crHandPoint;
}

TRect TBaseSideBarTrackBar::GetBounds() const {
    TRect r = TrackRect;
    if (!ThumbRect.IsEmpty()) {
        r.Top = std::min(TrackRect.Top, ThumbRect.Top);
        r.Bottom = std::max(TrackRect.Bottom, ThumbRect.Bottom);
    }
    return r;
}

bool TBaseSideBarTrackBar::HitTest(int X, int Y) const {
    const TRect r = GetBounds();
    return X >= r.Left && X <= r.Right && Y >= r.Top && Y <= r.Bottom;
}

TRect TBaseSideBarTrackBar::GetThumbRect(TPoint P) const {
    if (ThumbImage.Empty())
        return TRect::Sized(P.X, P.Y - 2, FHeight / 3 * 2, FHeight + 4);
    return TRect::Sized(P.X, P.Y + (FHeight - ThumbImage.Height()) / 2, ThumbImage.Width(), ThumbImage.Height());
}

int TBaseSideBarTrackBar::ThumbWidth() const {
    // From the thumb's natural size, not from ThumbRect, which is empty before the first placement.
    return std::max(0, GetThumbRect(TrackRect.TopLeft()).Width());
}

void TBaseSideBarTrackBar::PlaceThumb(int X) {
    ThumbRect = GetThumbRect({X, TrackRect.Top});
    Invalidate();
}

void TBaseSideBarTrackBar::UpdateThumb(int64_t AMin, int64_t AMax, int64_t APosition) {
    const int w = ThumbWidth();
    const int room = std::max(0, TrackRect.Width() - w);
    int x;
    if (APosition <= AMin) {
        x = TrackRect.Left;
    } else if (APosition >= AMax) {
        x = TrackRect.Left + room;
    } else {
        x = TrackRect.Left + static_cast<int>(APosition * room / std::max<int64_t>(1, AMax));
    }
    x = std::clamp(x, TrackRect.Left, TrackRect.Left + room);
    PlaceThumb(x);
}

void TBaseSideBarTrackBar::SetHeight(int32_t Value) {
    if (Value == FHeight)
        return;
    int32_t panelHeight = 0;
    if (Panel && Panel->WindowExists())
        panelHeight = Panel->ClientRect().Height();
    FHeight = Value > 0 ? std::min(panelHeight / 3, Value) : 1;
    if (Panel)
        Panel->Realign();
}

void TBaseSideBarTrackBar::SetPosition(int64_t Value) {
    if (Value == FPosition)
        return;
    FPosition = std::min(Value, FMax);
    UpdateThumb(FMin, FMax, FPosition);
}

void TBaseSideBarTrackBar::SetMin(int64_t Value) {
    if (Value == FMin)
        return;
    FMin = Value;
    UpdateThumb(FMin, FMax, FPosition);
}

void TBaseSideBarTrackBar::SetMax(int64_t Value) {
    if (Value == FMax)
        return;
    FMax = std::max<int64_t>(1, Value);
    // A length that drops below the position takes the position with it, so the thumb stays on the track.
    FPosition = std::min(FPosition, FMax);
    UpdateThumb(FMin, FMax, FPosition);
}

int TBaseSideBarTrackBar::ThumbXForMouse(int MouseX) const {
    const int w = ThumbWidth();
    return std::clamp(MouseX - GrabOffset.X, TrackRect.Left, std::max(TrackRect.Left, TrackRect.Right - w));
}

int64_t TBaseSideBarTrackBar::PositionForThumbX(int X) const {
    const int room = TrackRect.Width() - ThumbWidth();
    if (room <= 0)
        return 0;
    return static_cast<int64_t>(X - TrackRect.Left) * FMax / room;
}

void TBaseSideBarTrackBar::MouseDown(const TMouseMessage& Message) {
    TBaseSideBarControl::MouseDown(Message);
    if (!FEnabled || !CanDrag())
        return;
    Dragging = true;
    const TPoint p = Message.Pos;
    if (p.X >= ThumbRect.Left && p.X <= ThumbRect.Right && p.Y >= ThumbRect.Top && p.Y <= ThumbRect.Bottom &&
        !ThumbRect.IsEmpty()) {
        GrabOffset = {p.X - ThumbRect.Left, p.Y - ThumbRect.Top};
        return;
    }
    // The thumb jumps so that its centre is under the mouse; the position changes on release.
    const int w = ThumbWidth();
    int x = std::max(TrackRect.Left, p.X - w / 2);
    x = std::min(x, TrackRect.Right - w);
    PlaceThumb(x);
    GrabOffset = {p.X - ThumbRect.Left, p.Y - ThumbRect.Top};
}

void TBaseSideBarTrackBar::MouseMove(const TMouseMessage& Message) {
    if (!Dragging)
        return;
    const int x = ThumbXForMouse(Message.Pos.X);
    PlaceThumb(x);
    Tracking(PositionForThumbX(x));
}

void TBaseSideBarTrackBar::MouseUp(const TMouseMessage& Message) {
    if (Dragging) {
        Dragging = false;
        const int x = ThumbXForMouse(Message.Pos.X);
        PlaceThumb(x);
        Changed(PositionForThumbX(x));
    }
    TBaseSideBarControl::MouseUp(Message);
}

void TBaseSideBarTrackBar::MouseLeave() { Dragging = false; }

void TBaseSideBarTrackBar::CancelDrag() {
    if (!Dragging)
        return;
    Dragging = false;
    Pressed = false;
    UpdateThumb(FMin, FMax, FPosition);
}

// ---- TSideBarSeekBar --------------------------------------------------------------------------------

TSideBarSeekBar::TSideBarSeekBar(TGoogleSideBar* APanel) : TBaseSideBarTrackBar(APanel) { LoadSkin(); }

TRect TSideBarSeekBar::GetThumbRect(TPoint P) const {
    if (!Panel || !Panel->WindowExists())
        return {};
    if (ThumbImage.Empty())
        return TRect::Sized(P.X, P.Y, FHeight * 2, FHeight);
    return TBaseSideBarTrackBar::GetThumbRect(P);
}

std::wstring FormatTrackTime(int64_t Milliseconds) {
    const int64_t s = std::max<int64_t>(0, Milliseconds) / 1000;
    const int64_t h = s / 3600, m = (s % 3600) / 60, sec = s % 60;
    auto two = [](int64_t v) { return (v < 10 ? L"0" : L"") + std::to_wstring(v); };
    if (h > 0)
        return std::to_wstring(h) + L":" + two(m) + L":" + two(sec);
    return std::to_wstring(m) + L":" + two(sec);
}

void TSideBarSeekBar::Tracking(int64_t APosition) {
    if (!Panel)
        return;
    try {
        Panel->SetPositionString(FormatTrackTime(APosition) + L" / " + FormatTrackTime(FMax));
    } catch (...) {
        // The text keeps its old value.
    }
}

void TSideBarSeekBar::Changed(int64_t APosition) {
    if (!Panel || !Panel->ActiveManager)
        return;
    FPosition = std::min(APosition, FMax);
    Panel->ActiveManager->Seek(APosition);
}

void TSideBarSeekBar::LoadSkin() {
    if (!Panel)
        return;
    Panel->Platform.LoadSkin(L"SB_SEEKBAR", TrackImage);
    Panel->Platform.LoadSkin(L"SB_SEEKBAR_THUMB", ThumbImage);
    Panel->Platform.LoadSkin(L"SB_FILLER", FillerImage);
    SetHeight(TrackImage.Empty() ? kSeekBarHeight : TrackImage.Height());
}

void TSideBarSeekBar::PaintSeekBar(TPanelCanvas& Canvas) {
    const TPixelSurface target = Canvas.Surface();
    const TPixelSurface track = SurfaceOf(TrackImage);
    const TRect& t = TrackRect;
    const int c = ThumbRect.Left + ThumbRect.Width() / 2;
    const int half = TrackImage.Width() / 2;
    const bool playing = Panel && Panel->IsPlaying();
    // Columns Half + 1 onwards of the track image: the repeating middle and the right end.
    const TRect trackTail = TRect::Sized(half + 1, 0, half, t.Height());
    if (playing && !FillerImage.Empty()) {
        const TPixelSurface filler = SurfaceOf(FillerImage);
        const int fw = FillerImage.Width();
        CopySurface(filler, TRect::Sized(0, 0, fw - 1, FillerImage.Height()), target, t.TopLeft());
        for (int x = t.Left + fw - 1; x <= c; ++x)
            CopySurface(filler, TRect::Sized(fw - 1, 0, 1, FillerImage.Height()), target, {x, t.Top});
        for (int x = c; x <= t.Right - half; ++x)
            CopySurface(track, trackTail, target, {x, t.Top});
    } else {
        CopySurface(track, TRect::Sized(0, 0, half, t.Height()), target, t.TopLeft());
        for (int x = t.Left + half; x <= t.Right - half; ++x)
            CopySurface(track, trackTail, target, {x, t.Top});
    }
    CopySurface(track, trackTail, target, {t.Right - half, t.Top});
    if (playing && !ThumbRect.IsEmpty() && ThumbRect.Left >= 0 && ThumbRect.Top >= 0)
        BlendRect(SurfaceOf(ThumbImage), target, TRect::Sized(0, 0, ThumbImage.Width(), ThumbImage.Height()),
                  ThumbRect.TopLeft(), AlphaPerPixel, 0, 0);
}

} // namespace mellodeck
