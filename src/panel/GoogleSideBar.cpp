#include "panel/GoogleSideBar.h"

#include <cmath>

#include "common/FileUtils.h"
#include "imaging/ImageCodecs.h"
#include "media/core/MediaManager.h"
#include "panel/AxAlpha.h"
#include "panel/GoogleSideBarConsts.h"
#include "panel/HotkeyText.h"

namespace mellodeck {

namespace {

std::wstring Trimmed(const std::wstring& s) {
    size_t b = 0, e = s.size();
    while (b < e && s[b] <= L' ')
        ++b;
    while (e > b && s[e - 1] <= L' ')
        --e;
    return s.substr(b, e - b);
}

bool SupportedByLibrary(const std::wstring& fileName) {
    if (fileName.empty())
        return false;
    TMediaManager* media = MediaManager();
    return media && media->IsSupportedExtension(ExtractExtension(fileName));
}

// Draws a picture over the target: opaque pixels are copied exactly, others mixed by their alpha.
void DrawPicture(const Bitmap32& picture, const TPixelSurface& target, TPoint at) {
    const TRect dst = TRect::Sized(at.X, at.Y, picture.Width(), picture.Height()).Intersect(target.Bounds());
    for (int y = dst.Top; y < dst.Bottom; ++y) {
        const uint8_t* s = picture.Row(y - at.Y) + (dst.Left - at.X) * 4;
        uint8_t* d = target.Row(y) + dst.Left * 4;
        for (int x = dst.Left; x < dst.Right; ++x, s += 4, d += 4) {
            const int a = s[3];
            if (a == 255) {
                d[0] = s[0], d[1] = s[1], d[2] = s[2], d[3] = 255;
            } else if (a != 0) {
                for (int c = 0; c < 3; ++c)
                    d[c] = static_cast<uint8_t>((s[c] * a + d[c] * (255 - a) + 127) / 255);
            }
        }
    }
}

} // namespace

// ---- text lines and geometry --------------------------------------------------------------------------

TTrackTextLines ComposeTrackText(const TTrackSnapshot& Track, TTextAlign Align, bool SeparateLines,
                                 bool ShowFileName) {
    TTrackTextLines l;
    const bool centred = Align == TTextAlign::Center;
    const bool noTags = Track.Artist.empty() && Track.Album.empty() && Track.Title.empty();
    const bool hasArtist = !Trimmed(Track.Artist).empty();
    const bool hasAlbum = !Trimmed(Track.Album).empty();
    if (noTags) {
        l.Line1 = SideBarString(Track.PlaylistLength != 0 ? SSongHasNoTags : SPlaylistEmpty);
    } else if (hasArtist) {
        if (!centred) {
            l.Line1 = Track.Artist;
            l.Line2 = Track.Album;
        } else if (hasAlbum) {
            if (SeparateLines) {
                l.Line1 = Track.Artist;
                l.Line2 = Track.Album;
            } else {
                l.Line1 = Track.Artist + L" / " + Track.Album;
            }
        } else {
            l.Line1 = Track.Artist;
            if (SeparateLines)
                l.Line2 = Track.Album;
        }
    } else if (centred) {
        if (!hasAlbum) {
            l.Line1 = SideBarString(SUnknownAlbum);
        } else if (SeparateLines) {
            l.Line1 = SideBarString(SUnknownArtist);
            l.Line2 = Track.Album;
        } else {
            l.Line1 = Track.Album;
        }
    } else {
        l.Line1 = SideBarString(SUnknownArtist);
        l.Line2 = hasAlbum ? Track.Album : SideBarString(SUnknownAlbum);
    }
    if (noTags) {
        if (Track.PlaylistLength != 0)
            l.Line3 = Track.Supported ? SideBarString(SFillTagsHint) : std::wstring();
        else
            l.Line3 = SideBarString(SDropFilesHint);
    } else {
        l.Line3 = Trimmed(Track.Title).empty() ? SideBarString(SUnknownSong) : Track.Title;
    }
    const std::wstring name = ExtractName(Track.FileName);
    if (noTags && ShowFileName && !name.empty()) {
        l.ShowFileName = true;
        l.FileName = name;
    }
    return l;
}

void FitArtwork(int Width, int Height, int AreaWidth, int AreaHeight, int& OutWidth, int& OutHeight) {
    OutWidth = AreaWidth;
    OutHeight = AreaHeight;
    if (Width <= 0 || Height <= 0 || AreaWidth <= 0 || AreaHeight <= 0) {
        OutWidth = OutHeight = 0;
        return;
    }
    const double ratio = static_cast<double>(Width) / Height;
    // nearbyint rounds to the nearest integer, ties to the even neighbour.
    if (static_cast<double>(AreaWidth) / AreaHeight > ratio)
        OutWidth = static_cast<int>(std::nearbyint(AreaHeight * ratio));
    else
        OutHeight = static_cast<int>(std::nearbyint(AreaWidth / ratio));
}

TPanelLayout ComputeRunningLayout(int CW, int CH, int W) {
    TPanelLayout l;
    const int r = CH - 22;
    l.Play = TRect::Sized(6, r, 16, 16);
    l.Stop = TRect::Sized(l.Play.Right, r, 16, 16);
    l.Prev = TRect::Sized(l.Stop.Right, r, 16, 16);
    l.Next = TRect::Sized(l.Prev.Right, r, 16, 16);
    l.Edit = TRect::Sized(std::max(W + 8, CW - 6) - 16, r, 16, 16);
    l.Show = TRect::Sized(l.Edit.Left - 16, r, 16, 16);
    l.Shuffle = TRect::Sized(l.Show.Left - 19, r, 17, 16);
    l.Track = {6, CH - 36, CW - 6, CH - 28};
    l.Content = {6, 6, CW - 6, CH - 42};
    l.Wide = static_cast<double>(l.Content.Height()) <= static_cast<double>(l.Content.Width()) / 1.8;
    return l;
}

// ---- life cycle ---------------------------------------------------------------------------------------

TGoogleSideBar::TGoogleSideBar(TPanelPlatform& APlatform, std::unique_ptr<TBasePlayerManager> Manager,
                               std::unique_ptr<ISettingsStore> Store)
    : Platform(APlatform), WinAmpManager(std::move(Manager)), SettingsStore(std::move(Store)),
      Settings(*SettingsStore) {
    Buttons = std::make_unique<TSideBarButtons>(this);
    SeekBar = std::make_unique<TSideBarSeekBar>(this);
    // The height writer clamps to a third of the panel, which has no height yet.
    SeekBar->FHeight = kSeekBarHeight;

    Platform.LoadSkin(L"SB_BUTTONS", SkinButtons);
    Platform.LoadSkin(L"SB_BUTTONS_DISABLED", SkinButtonsDisabled);
    Platform.LoadSkin(L"SB_BUTTONS_PRESSED", SkinButtonsPressed);
    Platform.LoadSkin(L"SB_BUTTONS_HOT", SkinButtonsHot);
    Platform.LoadSkin(L"SB_SHUFFLE", SkinShuffle);
    Platform.LoadSkin(L"SB_SHUFFLE_PRESSED", SkinShufflePressed);
    Platform.LoadSkin(L"SB_SHUFFLE_HOT", SkinShuffleHot);

    TSideBarButtons& b = *Buttons;
    auto bind = [this](void (TGoogleSideBar::*handler)(TBaseSideBarControl*)) {
        return [this, handler](TBaseSideBarControl* sender) { (this->*handler)(sender); };
    };
    b.Launch.SetCaption(SideBarString(SStartCaption));
    b.Launch.OnClick = bind(&TGoogleSideBar::LaunchClick);
    b.Play.SetImageIndex(0);
    b.Play.OnClick = bind(&TGoogleSideBar::PlayClick);
    b.Play.SetHint(SideBarString(SPlayHint));
    b.Stop.SetImageIndex(2);
    b.Stop.OnClick = bind(&TGoogleSideBar::StopClick);
    b.Stop.SetHint(SideBarString(SStopHint));
    b.Prev.SetImageIndex(3);
    b.Prev.OnClick = bind(&TGoogleSideBar::PreviousClick);
    b.Prev.SetHint(SideBarString(SPreviousHint));
    b.Next.SetImageIndex(4);
    b.Next.OnClick = bind(&TGoogleSideBar::NextClick);
    b.Next.SetHint(SideBarString(SNextHint));
    b.Show.SetImageIndex(5);
    b.Show.OnClick = bind(&TGoogleSideBar::ShowClick);
    b.Edit.SetImageIndex(7);
    b.Edit.OnClick = bind(&TGoogleSideBar::EditClick);
    b.Edit.SetHint(SideBarString(SEditTagsHint));
    b.Shuffle.SetImageIndex(8);
    b.Shuffle.Width = 17;
    b.Shuffle.OnClick = bind(&TGoogleSideBar::ShuffleClick);
    b.Shuffle.SetHint(SideBarString(SShuffleOnHint));
    b.Install.SetCaption(SideBarString(SInstallCaption));
    b.Install.OnClick = bind(&TGoogleSideBar::InstallClick);
    SeekBar->SetHint(SideBarString(SSeekHint));

    ShowFileName = true;
    SetMode(sbmWinAmp); // no window yet: only recorded as pending
}

TGoogleSideBar::~TGoogleSideBar() {
    // The manager's events stop reaching the panel before anything of the panel goes.
    if (ActiveManager) {
        ActiveManager->OnStateChanged = nullptr;
        ActiveManager->OnPosition = nullptr;
        ActiveManager->OnArtworkChanged = nullptr;
    }
    ActiveManager = nullptr;
    WinAmpManager.reset(); // deactivates it
    HotControl = nullptr;
    SeekBar.reset();
    Buttons.reset();
}

void TGoogleSideBar::WindowCreated() {
    if (ModePending) {
        ModePending = false;
        ApplyMode(PendingMode);
    }
    Realign();
    Invalidate();
    GlobalShortcuts = std::make_unique<TGlobalShortcuts>(Platform.CreateHotkeyRegistrar());
    GlobalShortcuts->SetEnabled(GlobalHotkeyEnabled());
    const THotkey hotkey = TextToShortCut(OpenHotkey());
    GlobalShortcuts->Add(std::wstring(), kOpenHotkeyId, hotkey.Shift, hotkey.Key)->SetActive(true);
}

void TGoogleSideBar::WindowDestroyed() {
    GlobalShortcuts.reset(); // unregisters the hotkey
    if (FadeTimerArmed)
        Platform.SetFadeTimer(false);
    FadeTimerArmed = false;
    // A window destroyed in the middle of a fade comes back with the content fully drawn.
    FadeStep = kFadeSteps;
    HotControl = nullptr;
    MouseDown = false;
}

void TGoogleSideBar::Resized() {
    Realign();
    if (ActiveManager && ActiveManager->Active())
        UpdateArtwork();
}

void TGoogleSideBar::FadeTimerTick() {
    ++FadeStep;
    if (FadeStep >= kFadeSteps) {
        FadeStep = kFadeSteps;
        FadeTimerArmed = false;
        Platform.SetFadeTimer(false);
    }
    Invalidate();
}

// ---- properties ---------------------------------------------------------------------------------------

void TGoogleSideBar::SetCaption(const std::wstring& Value) {
    if (FCaption == Value)
        return;
    FCaption = Value;
    if (!(PanelFlags & pfRealigning)) {
        Realign();
        Invalidate();
    }
}

bool TGoogleSideBar::SetMode(int Value) {
    if (Value < sbmNone || Value > sbmWindowsMedia)
        return false;
    const auto mode = static_cast<TSideBarMode>(Value);
    if (!WindowExists()) {
        // Compared with what is waiting, not with the mode in force.
        if (ModePending ? mode != PendingMode : mode != FMode) {
            PendingMode = mode;
            ModePending = true;
        }
        return true;
    }
    ModePending = false;
    if (mode != FMode)
        ApplyMode(mode);
    return true;
}

void TGoogleSideBar::ApplyMode(TSideBarMode Value) {
    FMode = Value;
    if (ActiveManager) {
        ActiveManager->SetActive(false);
        ActiveManager->OnStateChanged = nullptr;
        ActiveManager->OnPosition = nullptr;
        ActiveManager->OnArtworkChanged = nullptr;
    }
    ActiveManager = Value == sbmWinAmp ? WinAmpManager.get() : nullptr;
    if (ActiveManager) {
        ActiveManager->OnStateChanged = [this](TBasePlayerManager* s, TControlStates p, TControlStates c) {
            PlayerStateChanged(s, p, c);
        };
        ActiveManager->OnPosition = [this](TBasePlayerManager* s, int64_t d, int64_t p) {
            PlayerPositionChanged(s, d, p);
        };
        ActiveManager->OnArtworkChanged = [this](TBasePlayerManager* s) { PlayerArtworkChanged(s); };
        ActiveManager->SetActive(true);
        // Activation reports no change when the player is simply absent; the controls still have to show
        // the state it found.
        PlayerStateChanged(ActiveManager, ActiveManager->State, ActiveManager->State);
    }
    Realign();
    Invalidate();
}

void TGoogleSideBar::SetPositionString(const std::wstring& Value) {
    if (FPositionString == Value)
        return;
    FPositionString = Value;
    if (!PositionRect.IsEmpty())
        Invalidate(&PositionRect);
}

void TGoogleSideBar::SetSeparateLines(bool Value) {
    if (Settings.SetSeparateLines(Value))
        Invalidate();
}

void TGoogleSideBar::SetGlobalHotkeyEnabled(bool Value) {
    if (Settings.SetGlobalHotkeyEnabled(Value) && GlobalShortcuts)
        GlobalShortcuts->SetEnabled(Value);
}

void TGoogleSideBar::SetOpenHotkey(const std::wstring& Value) {
    // A text that names no key is not stored, and the working hotkey stays registered.
    if (Settings.SetOpenHotkey(Value) && GlobalShortcuts && GlobalShortcuts->Count() > 0) {
        const THotkey hotkey = TextToShortCut(Value);
        GlobalShortcuts->Items(0)->Reassign(hotkey.Shift, hotkey.Key);
    }
}

void TGoogleSideBar::Invalidate(const TRect* R) {
    if (Platform.WindowExists())
        Platform.Invalidate(R);
}

bool TGoogleSideBar::IsPlaying() const { return ActiveManager && ActiveManager->State.Contains(csPlaying); }

// ---- manager events -----------------------------------------------------------------------------------

void TGoogleSideBar::TakeTrackSnapshot() {
    TBasePlayerManager& m = *ActiveManager;
    Track.FileName = m.FileName;
    Track.Artist = m.Artist;
    Track.Album = m.Album;
    Track.Title = m.Title;
    Track.PlaylistLength = m.State.Contains(csLanched) ? m.GetPlaylistLength() : 0;
    Track.Supported = SupportedByLibrary(m.FileName);
}

void TGoogleSideBar::PlayerStateChanged(TBasePlayerManager*, TControlStates, TControlStates) {
    if (!ActiveManager)
        return;
    TBasePlayerManager& m = *ActiveManager;
    // A reload clears the texts before reading the new ones and reports the state on the way; the panel
    // shows the state after the reload, which reports again when it is done.
    if (m.State.Contains(csReloadingMediaInformation))
        return;
    TakeTrackSnapshot();
    TSideBarButtons& b = *Buttons;
    const TControlStates s = m.State;
    if (s.Contains(csLanched)) {
        b.Play.SetVisible(true);
        b.Play.SetEnabled(true);
        const bool seekable = IsDrivePath(m.FileName);
        if (s.Contains(csPaused)) {
            b.Play.SetImageIndex(0);
            b.Play.SetHint(SideBarString(SPlayHint));
            SeekBar->SetEnabled(seekable);
        } else if (s.Contains(csPlaying)) {
            b.Play.SetImageIndex(1);
            b.Play.SetHint(SideBarString(SPauseHint));
            SeekBar->SetEnabled(seekable);
        } else {
            b.Play.SetImageIndex(0);
            b.Play.SetHint(SideBarString(SPlayHint));
            SeekBar->SetEnabled(false);
        }
        b.Stop.SetVisible(true);
        b.Stop.SetEnabled(s.Contains(csPlaying));
        b.Prev.SetVisible(true);
        b.Prev.SetEnabled(m.CanPrevious());
        b.Next.SetVisible(true);
        b.Next.SetEnabled(m.CanNext());
        b.Edit.SetVisible(true);
        b.Edit.SetEnabled(Track.Supported);
        b.Show.SetVisible(true);
        if (m.PlayerVisible()) {
            b.Show.SetHint(SideBarString(SHidePlayerHint));
            b.Show.SetImageIndex(6);
        } else {
            b.Show.SetHint(SideBarString(SShowPlayerHint));
            b.Show.SetImageIndex(5);
        }
        b.Shuffle.SetVisible(true);
        const bool shuffle = s.Contains(csShuffle), repeat = s.Contains(csRepeat);
        if (shuffle && repeat) {
            b.Shuffle.SetImageIndex(3);
            b.Shuffle.SetHint(SideBarString(SBothOffHint));
        } else if (shuffle) {
            b.Shuffle.SetImageIndex(1);
            b.Shuffle.SetHint(SideBarString(SRepeatOnHint));
        } else if (repeat) {
            b.Shuffle.SetImageIndex(2);
            b.Shuffle.SetHint(SideBarString(SBothOnHint));
        } else {
            b.Shuffle.SetImageIndex(0);
            b.Shuffle.SetHint(SideBarString(SShuffleOnHint));
        }
        SeekBar->SetVisible(true);
        b.Launch.SetVisible(false);
        b.Install.SetVisible(false);
        SetCaption(m.FileName);
    } else {
        PanelFlags = static_cast<uint8_t>(PanelFlags & ~(pfArtworkShown | pfArtworkDoesNotFit));
        for (TBaseSideBarControl* c : {static_cast<TBaseSideBarControl*>(&b.Play), static_cast<TBaseSideBarControl*>(&b.Stop),
                                       static_cast<TBaseSideBarControl*>(&b.Prev), static_cast<TBaseSideBarControl*>(&b.Next),
                                       static_cast<TBaseSideBarControl*>(&b.Edit), static_cast<TBaseSideBarControl*>(&b.Show),
                                       static_cast<TBaseSideBarControl*>(&b.Shuffle),
                                       static_cast<TBaseSideBarControl*>(SeekBar.get())})
            c->SetVisible(false);
        if (m.IsInstalled()) {
            b.Launch.SetVisible(true);
            b.Launch.SetCaption(FormatText(SideBarString(SClickToStart), {m.PlayerName()}));
            b.Install.SetVisible(false);
        } else {
            b.Install.SetVisible(true);
            b.Install.SetCaption(FormatText(SideBarString(SClickToInstall), {m.PlayerName()}));
            b.Launch.SetVisible(false);
        }
        SetCaption(std::wstring());
    }
    Realign();
    Invalidate();
}

void TGoogleSideBar::PlayerPositionChanged(TBasePlayerManager*, int64_t Duration, int64_t Position) {
    if (SeekBar->Dragging)
        return;
    SeekBar->SetMax(Duration);
    SeekBar->SetPosition(Position);
}

void TGoogleSideBar::PlayerArtworkChanged(TBasePlayerManager*) {
    if (Platform.WindowExists()) {
        Platform.SetFadeTimer(true);
        FadeTimerArmed = true;
        FadeStep = 0;
    } else {
        FadeStep = kFadeSteps;
    }
    Realign();
    UpdateArtwork();
}

// ---- layout -------------------------------------------------------------------------------------------

void TGoogleSideBar::Realign() {
    if (!Platform.WindowExists() || !Buttons || !SeekBar)
        return;
    const bool nested = PanelFlags & pfRealigning;
    PanelFlags |= pfRealigning;
    struct Clear {
        TGoogleSideBar& P;
        bool Keep;
        ~Clear() {
            if (!Keep)
                P.PanelFlags = static_cast<uint8_t>(P.PanelFlags & ~pfRealigning);
        }
    } clear{*this, nested};

    TSideBarButtons& b = *Buttons;
    const int w = b.Play.Width + b.Stop.Width + b.Prev.Width + b.Next.Width + b.Shuffle.Width + b.Edit.Width +
                  b.Show.Width;
    if (!ActiveManager) {
        SetCaption(L"No ActiveManager");
        return;
    }
    const TRect client = Platform.ClientRect();
    const TControlStates s = ActiveManager->State;
    if (!s.Contains(csInstalled)) {
        b.Install.Bounds = client;
    } else if (!s.Contains(csLanched)) {
        b.Launch.Bounds = client;
    } else {
        const TPanelLayout l = ComputeRunningLayout(client.Width(), client.Height(), w);
        b.Play.SetBounds(l.Play.Left, l.Play.Top, 16, 16);
        b.Stop.SetBounds(l.Stop.Left, l.Stop.Top, 16, 16);
        b.Prev.SetBounds(l.Prev.Left, l.Prev.Top, 16, 16);
        b.Next.SetBounds(l.Next.Left, l.Next.Top, 16, 16);
        b.Edit.SetBounds(l.Edit.Left, l.Edit.Top, 16, 16);
        b.Show.SetBounds(l.Show.Left, l.Show.Top, 16, 16);
        b.Shuffle.SetBounds(l.Shuffle.Left, l.Shuffle.Top, 17, 16);
        SeekBar->TrackRect = l.Track;
        SeekBar->UpdateThumb(SeekBar->Min(), SeekBar->Max(), SeekBar->Position());
        ContentRect = l.Content;
        WideLayout = l.Wide;
    }
}

void TGoogleSideBar::UpdateArtwork() {
    if (!ActiveManager)
        return;
    const Bitmap32& art = ActiveManager->Artwork;
    if (art.Empty()) {
        PanelFlags = static_cast<uint8_t>(PanelFlags & ~(pfArtworkShown | pfArtworkDoesNotFit));
        ScaledArtwork.SetSize(0, 0);
        Invalidate();
        return;
    }
    PanelFlags |= pfArtworkShown;
    Realign();
    if (ContentRect.Width() < 1 || ContentRect.Height() < 1) {
        PanelFlags |= pfArtworkDoesNotFit;
        Invalidate();
        return;
    }
    int a = 0, b = 0;
    FitArtwork(art.Width(), art.Height(), ContentRect.Width(), ContentRect.Height(), a, b);
    if (a < 2 || b < 2) {
        // A picture of an extreme shape that scales to a line counts as no artwork: the text still shows.
        PanelFlags = static_cast<uint8_t>(PanelFlags & ~(pfArtworkShown | pfArtworkDoesNotFit));
        ScaledArtwork.SetSize(0, 0);
    } else {
        PanelFlags = static_cast<uint8_t>(PanelFlags & ~pfArtworkDoesNotFit);
        ScaledArtwork = ResampleBox(art, a, b);
    }
    Invalidate();
}

// ---- painting -----------------------------------------------------------------------------------------

void TGoogleSideBar::PaintFrame(TPanelCanvas& Buffer) {
    const TRect client = Platform.ClientRect();
    FillSurface(Buffer.Surface(), client, panel_colors::kBackground);
    PaintContent(Buffer, client);
}

TTrackTextLines TGoogleSideBar::TrackTextLines(TTextAlign Align) {
    return ComposeTrackText(Track, Align, SeparateLines(), ShowFileName);
}

bool TGoogleSideBar::DrawTrackText(TPanelCanvas& Canvas, const TRect& R, TTextAlign Align, bool MeasureOnly,
                                   TRect& U) {
    const TTrackTextLines lines = TrackTextLines(Align);
    const TTextFace face = TTextFace::Track;
    const int f = lines.ShowFileName ? Canvas.LineHeight(lines.FileName, R, face) : 0;
    const int h1 = Canvas.LineHeight(lines.Line1, R, face);
    const int h2 = Canvas.LineHeight(lines.Line2, R, face);
    const int h3 = Canvas.LineHeight(lines.Line3, R, face);
    const int first = lines.ShowFileName ? f : h1;
    if (R.Height() < first)
        return false;
    U = R;
    U.Bottom = R.Top + first;
    bool markName = false, mark1 = false, mark2 = false, mark3 = false;
    if (lines.ShowFileName) {
        markName = true;
        if (U.Bottom + 8 + h1 <= R.Bottom) {
            U.Bottom += 8 + h1;
            mark1 = true;
        }
    } else {
        mark1 = true;
    }
    if (!lines.Line2.empty() && U.Bottom + h2 <= R.Bottom) {
        U.Bottom += h2;
        mark2 = true;
    }
    if (U.Bottom + h3 <= R.Bottom) {
        U.Bottom += h3;
        mark3 = true;
    }
    const bool marked = markName || mark1 || mark2 || mark3;
    if (!MeasureOnly && marked) {
        const int height = U.Height();
        U.Top = R.Top + (R.Height() - height) / 2;
        U.Bottom = U.Top + height;
        int top = U.Top;
        auto draw = [&](const std::wstring& text, int h, TColor colour) {
            Canvas.DrawLine(text, {U.Left, top, U.Right, U.Bottom}, Align, colour, face);
            top += h;
        };
        if (markName) {
            draw(lines.FileName, f, panel_colors::kLine1);
            top += 8;
        }
        if (mark1)
            draw(lines.Line1, h1, panel_colors::kLine1);
        if (mark2)
            draw(lines.Line2, h2, panel_colors::kLine2);
        if (mark3)
            draw(lines.Line3, h3, panel_colors::kLine3);
    }
    return marked;
}

void TGoogleSideBar::PaintArtworkTall(TPanelCanvas& T) {
    const TRect c = ContentRect;
    const int aw = ScaledArtwork.Width(), ah = ScaledArtwork.Height();
    const int cw = Platform.ClientRect().Width();
    TRect u;
    const bool fits = DrawTrackText(T, {c.Left, c.Top, c.Right, c.Bottom - ah - 2}, TTextAlign::Center, true, u);
    const int x = c.Left + (c.Width() - aw) / 2;
    const int y = fits ? c.Top + (c.Height() - ah - u.Height()) / 3 : c.Top + (c.Height() - ah) / 2;
    DrawPicture(ScaledArtwork, T.Surface(), {x, y});
    if (fits) {
        const int ty = y + ah + (c.Bottom - y - ah - u.Height()) / 2;
        DrawTrackText(T, {6, ty, cw - 6, ty + u.Height()}, TTextAlign::Center, false, u);
    }
}

void TGoogleSideBar::PaintArtworkWide(TPanelCanvas& T) {
    const TRect c = ContentRect;
    const int aw = ScaledArtwork.Width(), ah = ScaledArtwork.Height();
    const int cw = Platform.ClientRect().Width();
    TRect u;
    const bool fits = DrawTrackText(T, {aw + 12, c.Top, c.Right, c.Bottom}, TTextAlign::Left, true, u);
    DrawPicture(ScaledArtwork, T.Surface(), {6, c.Top + (c.Height() - ah) / 2});
    if (fits) {
        const int ty = c.Top + (c.Height() - u.Height()) / 2;
        DrawTrackText(T, {aw + 12, ty, cw - 6, ty + u.Height()}, TTextAlign::Left, false, u);
    }
}

void TGoogleSideBar::FinishContent(TPanelCanvas& Buffer, TPanelCanvas& T, bool Fade) {
    const TPixelSurface source = T.Surface();
    const TPixelSurface target = Buffer.Surface();
    if (Fade && FadeStep < kFadeSteps) {
        BlendRect(source, target, ContentRect, ContentRect.TopLeft(), AlphaConstant,
                  FadeStep * 200 / kFadeSteps + 55, 0);
    } else {
        CopySurface(source, source.Bounds(), target, {0, 0});
    }
}

void TGoogleSideBar::PaintContent(TPanelCanvas& Buffer, const TRect& R) {
    if (!ActiveManager) {
        Buffer.DrawWrapped(FCaption, R, panel_colors::kLine2, TTextFace::Canvas);
        return;
    }
    const TControlStates s = ActiveManager->State;
    if (!s.Contains(csLanched)) {
        if (s.Contains(csInstalled))
            Buttons->Launch.PaintTextButton(Buffer);
        else
            Buttons->Install.PaintTextButton(Buffer);
        return;
    }
    const TPixelSurface buffer = Buffer.Surface();
    TPanelCanvas& t = Platform.ContentCanvas(buffer.Width, buffer.Height);
    CopySurface(buffer, buffer.Bounds(), t.Surface(), {0, 0});
    if (PanelFlags & pfArtworkDoesNotFit) {
        FinishContent(Buffer, t, false);
    } else if ((PanelFlags & pfArtworkShown) && !ScaledArtwork.Empty()) {
        if (WideLayout)
            PaintArtworkWide(t);
        else
            PaintArtworkTall(t);
        FinishContent(Buffer, t, true);
    } else {
        TRect u;
        const TRect c = ContentRect;
        if (DrawTrackText(t, c, TTextAlign::Center, true, u)) {
            const int y = c.Top + (c.Height() - u.Height()) / 2;
            DrawTrackText(t, {c.Left, y, R.Width() - 6, y + u.Height()}, TTextAlign::Center, false, u);
        }
        FinishContent(Buffer, t, false);
    }
    TSideBarButtons& b = *Buttons;
    if (SeekBar->Visible())
        SeekBar->PaintSeekBar(Buffer);
    for (TSideBarButton* button : {&b.Play, &b.Stop, &b.Prev, &b.Next, &b.Show, &b.Edit, &b.Shuffle})
        if (button->Visible())
            button->PaintButton(Buffer);
}

// ---- mouse --------------------------------------------------------------------------------------------

TBaseSideBarControl* TGoogleSideBar::ControlAt(int X, int Y) const {
    for (TBaseSideBarControl* c : SubControls)
        if (c->Visible() && c->HitTest(X, Y))
            return c;
    return nullptr;
}

void TGoogleSideBar::SetHotControl(TBaseSideBarControl* C) {
    if (PanelFlags & pfDispatchingClick)
        return;
    if (C == HotControl) {
        if (C)
            C->Invalidate();
        else
            Invalidate();
        return;
    }
    if (HotControl)
        LeaveControl(HotControl);
    HotControl = C;
    if (C) {
        if (C->Cursor() != CurrentCursor) {
            CurrentCursor = C->Cursor();
            Platform.SetCursor(CurrentCursor);
        }
        C->Invalidate();
        C->MouseEnter();
    }
}

void TGoogleSideBar::LeaveControl(TBaseSideBarControl* C) {
    Platform.HideHint();
    if (!C)
        return;
    if (C == HotControl) {
        HotControl = nullptr;
        if (CurrentCursor != DefaultCursor) {
            CurrentCursor = DefaultCursor;
            Platform.SetCursor(CurrentCursor);
        }
    }
    C->MouseLeave();
    C->Invalidate();
}

void TGoogleSideBar::MouseMoveMessage(const TMouseMessage& Message, bool Inside) {
    LastMouseMessage = Message;
    MousePos = Message.Pos;
    if (!Platform.HasCapture()) {
        Platform.SetCapture();
        if (TBaseSideBarControl* c = ControlAt(Message.Pos.X, Message.Pos.Y))
            SetHotControl(c);
        return;
    }
    if (!Inside) {
        if (HotControl && MouseDown) {
            HotControl->MouseMove(Message); // a drag goes on outside
        } else {
            MouseDown = false;
            Platform.ReleaseCapture();
            LeaveControl(HotControl);
        }
        return;
    }
    TBaseSideBarControl* c = ControlAt(Message.Pos.X, Message.Pos.Y);
    if (c && c == HotControl) {
        SetHotControl(c);
        c->MouseMove(Message);
    } else if (c) {
        if (!MouseDown) {
            SetHotControl(c);
        } else if (HotControl) {
            HotControl->MouseMove(Message); // the pressed control keeps the mouse
        } else {
            MouseDown = false;
            SetHotControl(c);
        }
    } else if (!MouseDown) {
        LeaveControl(HotControl);
    } else if (HotControl) {
        HotControl->Invalidate();
        HotControl->MouseMove(Message);
    }
}

void TGoogleSideBar::LeftButtonDown(const TMouseMessage& Message) {
    LastClickPos = Message.Pos;
    bool allow = true;
    TBaseSideBarControl* c = ControlAt(Message.Pos.X, Message.Pos.Y);
    if (OnLeftMouseDownEvent) {
        OnLeftMouseDownEvent(this, c, allow);
        if (!allow)
            return;
    }
    MouseDown = true;
    if (c) {
        SetHotControl(c);
        c->MouseDown(Message);
    }
}

void TGoogleSideBar::LeftButtonUp(const TMouseMessage& Message) {
    MouseDown = false;
    TBaseSideBarControl* c = ControlAt(Message.Pos.X, Message.Pos.Y);
    if (c && c == HotControl) {
        // Only a press on this control makes a click: a press the owner refused, or one that started
        // elsewhere, runs nothing.
        const bool pressed = c->Pressed;
        c->MouseUp(Message);
        if (pressed)
            c->Click();
        return;
    }
    if (c) {
        if (HotControl)
            HotControl->MouseUp(Message);
        SetHotControl(c);
        return;
    }
    if (HotControl)
        HotControl->MouseUp(Message);
    LeaveControl(HotControl);
}

void TGoogleSideBar::CaptureLost() {
    MouseDown = false;
    if (SeekBar && SeekBar->Dragging) {
        SeekBar->CancelDrag();
        SetPositionString(std::wstring());
    }
    for (TBaseSideBarControl* c : SubControls)
        c->Pressed = false;
}

bool TGoogleSideBar::HintAt(TPoint P, std::wstring& Hint) const {
    TBaseSideBarControl* c = ControlAt(P.X, P.Y);
    if (!c)
        return false;
    Hint = c->Hint();
    return true;
}

void TGoogleSideBar::HotkeyPressed(int Id) {
    if (Id != kOpenHotkeyId || !ActiveManager)
        return;
    if (ActiveManager->State.Contains(csLanched))
        ShowClick(nullptr);
    else if (ActiveManager->State.Contains(csInstalled))
        LaunchClick(nullptr);
}

// ---- drag and drop ------------------------------------------------------------------------------------

namespace {
// MK_SHIFT (4) and MK_CONTROL (8) of a drag's key state, and MK_ALT (0x20), as hotkey-style modifier bits.
uint32_t ShiftOf(uint32_t keyState) {
    return ((keyState & 4) ? kHotkeyShift : 0) | ((keyState & 8) ? kHotkeyCtrl : 0) | ((keyState & 0x20) ? kHotkeyAlt : 0);
}

// The effect to answer: the one chosen when the source allows it, else link, else copy, else none. OLE
// intersects the answer with what the source allows, so an effect it does not allow would read as none.
uint32_t AllowedEffect(uint32_t chosen, uint32_t allowed) {
    for (uint32_t e : {kDropEffectLink, kDropEffectCopy, kDropEffectMove})
        if ((chosen & e) && (allowed & e))
            return e;
    for (uint32_t e : {kDropEffectLink, kDropEffectCopy})
        if (allowed & e)
            return e;
    return kDropEffectNone;
}
} // namespace

bool TGoogleSideBar::CollectDroppedFiles(uint32_t Shift, uint32_t& Effect, TPoint Pt, int Mode) {
    // A drag that holds no files (a text selection, a link) is refused here: dropping it would otherwise
    // let the owner stop and clear the player for nothing.
    if (DroppedFiles.empty() || !OnAcceptDrop) {
        Effect = kDropEffectNone;
        return false;
    }
    return OnAcceptDrop(this, Shift, Effect, Pt, Mode);
}

int32_t TGoogleSideBar::DoDragOver(uint32_t KeyState, TPoint Pt, uint32_t Allowed, uint32_t& Effect) {
    try {
        Effect = kDropEffectNone;
        if (!ActiveManager || !ActiveManager->State.Contains(csInstalled))
            return kResultUnexpected;
        // Files go to the player's playlist, so only a running player takes them.
        if (!ActiveManager->State.Contains(csLanched))
            return kResultOk;
        uint32_t effect = kDropEffectCopy;
        if (CollectDroppedFiles(ShiftOf(KeyState), effect, Pt, 0))
            Effect = AllowedEffect(effect, Allowed);
        return kResultOk;
    } catch (...) {
        Effect = kDropEffectNone;
        return kResultUnexpected;
    }
}

int32_t TGoogleSideBar::DoDragEnter(uint32_t KeyState, TPoint Pt, uint32_t Allowed, uint32_t& Effect) {
    return DoDragOver(KeyState, Pt, Allowed, Effect);
}

int32_t TGoogleSideBar::DoDrop(uint32_t KeyState, TPoint Pt, uint32_t Allowed, uint32_t& Effect) {
    const int32_t accepted = DoDragOver(KeyState, Pt, Allowed, Effect);
    if (accepted != kResultOk || Effect == kDropEffectNone)
        return accepted; // nothing reaches the owner, so nothing reaches the player
    if (!OnFilesDropped)
        return kResultNotImplemented;
    try {
        return OnFilesDropped(this, KeyState, Effect, Pt);
    } catch (...) {
        Effect = kDropEffectNone;
        return kResultUnexpected;
    }
}

// ---- commands -----------------------------------------------------------------------------------------

void TGoogleSideBar::PlayClick(TBaseSideBarControl*) {
    if (!ActiveManager)
        return;
    if (ActiveManager->State.Contains(csPlaying))
        ActiveManager->Pause();
    else
        ActiveManager->Play();
}

void TGoogleSideBar::StopClick(TBaseSideBarControl*) {
    if (ActiveManager)
        ActiveManager->Stop();
}

void TGoogleSideBar::PreviousClick(TBaseSideBarControl*) {
    if (ActiveManager)
        ActiveManager->Previous();
}

void TGoogleSideBar::NextClick(TBaseSideBarControl*) {
    if (ActiveManager)
        ActiveManager->Next();
}

void TGoogleSideBar::ShuffleClick(TBaseSideBarControl*) {
    if (!ActiveManager)
        return;
    TBasePlayerManager& m = *ActiveManager;
    const bool shuffle = m.State.Contains(csShuffle), repeat = m.State.Contains(csRepeat);
    // Off -> shuffle -> repeat -> both -> off.
    if (shuffle && repeat) {
        m.SetRepeatMode(false);
        m.SetShuffleMode(false);
    } else if (shuffle) {
        m.SetRepeatMode(true);
        m.SetShuffleMode(false);
    } else if (repeat) {
        m.SetRepeatMode(true);
        m.SetShuffleMode(true);
    } else {
        m.SetShuffleMode(true);
        m.SetRepeatMode(false);
    }
    m.UpdateState();
}

void TGoogleSideBar::ShowClick(TBaseSideBarControl*) {
    if (!ActiveManager)
        return;
    MousePos = {-1, -1};
    Platform.ReleaseCapture();
    ActiveManager->SetPlayerVisible(!ActiveManager->PlayerVisible());
    PlayerStateChanged(ActiveManager, ActiveManager->State, ActiveManager->State);
}

void TGoogleSideBar::LaunchClick(TBaseSideBarControl*) {
    if (ActiveManager)
        ActiveManager->Launch(RunAlwaysMinimized() ? lmMinimized : lmNormal);
}

void TGoogleSideBar::InstallClick(TBaseSideBarControl*) { Platform.RunInstallPrompt(); }

void TGoogleSideBar::EditClick(TBaseSideBarControl*) {
    if (!ActiveManager)
        return;
    MousePos = {-1, -1};
    Platform.ReleaseCapture();
    Platform.RunEditCommand(ActiveManager->FileName);
    if (OnEditBtnClick)
        OnEditBtnClick(this);
}

} // namespace mellodeck
