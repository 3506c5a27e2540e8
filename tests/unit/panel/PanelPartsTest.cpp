// The panel's building blocks: the string table, blending, and the controls' arithmetic.
#include <gtest/gtest.h>

#include "PanelFakes.h"
#include "panel/AxAlpha.h"
#include "panel/GoogleSideBarConsts.h"

namespace mellodeck::test {
namespace {

struct LanguageGuard {
    ~LanguageGuard() {
        SetSystemLanguageOverride(0);
        FillSideBarStrings(1033);
    }
};

TEST(SideBarStrings, ChosenBySystemLanguage) {
    LanguageGuard guard;
    struct Case {
        uint16_t Lang;
        TSideBarString Id;
        const wchar_t* Text;
    };
    const Case cases[] = {
        {3084, SPlayHint, L"Jouer"},                         // French (Canada)
        {3084, SPlaylistEmpty, L"La liste est vide"},
        {3084, SCancel, L"Cancel"},                          // beyond the French part
        {1036, SEditorOldText, nullptr},                     // checked below: French, not Italian
        {2064, SSongHasNoTags, L"This song has no tags"},    // Italian (Switzerland) stops at 30
        {1040, SPauseHint, L"Pausa"},
        {1040, SShuffleOnHint, L"Attiva riproduzione casuale"},
        {1040, SEditorOldCaption, L"Installazione di Marquill"},
        {1031, SPlayHint, L"Play"},                          // German: English
        {1031, SShuffleOnHint, L"Turn shuffle on"},
    };
    for (const Case& c : cases) {
        FillSideBarStrings(c.Lang);
        if (c.Text) {
            EXPECT_EQ(SideBarString(c.Id), c.Text) << c.Lang << " #" << c.Id;
        }
    }
    FillSideBarStrings(1036);
    EXPECT_EQ(SideBarString(SEditorOldText).rfind(L"La version de Marquill install\u00e9e", 0), 0u);
    EXPECT_NE(SideBarString(SPlayerInstallText).find(L"bo\u00eete de dialogue"), std::wstring::npos);

    // The language comes from one function that tests can pin.
    SetSystemLanguageOverride(1040);
    FillSideBarStrings();
    EXPECT_EQ(SideBarString(SNextHint), L"Successivo");
}

TEST(SideBarStrings, FormatFillsPlaceholdersInOrder) {
    EXPECT_EQ(FormatText(L"Click here to start %s", {L"WinAmp"}), L"Click here to start WinAmp");
    EXPECT_EQ(FormatText(L"Installed: %d.%d.%d.%d,  Required: %s", {2, 0, 0, 100, L"1.2.0.540"}),
              L"Installed: 2.0.0.100,  Required: 1.2.0.540");
    EXPECT_EQ(FormatText(L"no placeholders", {1, 2}), L"no placeholders");
    EXPECT_EQ(FormatText(L"%s and %s", {L"one"}), L"one and ");
}

// One pixel each: blend s over d with a mode and weight.
uint32_t BlendOne(uint32_t s, uint32_t d, int mode, int alpha, int bias) {
    Bitmap32 src(1, 1), dst(1, 1);
    src.SetPixel(0, 0, s);
    dst.SetPixel(0, 0, d);
    BlendRect(SurfaceOf(src), SurfaceOf(dst), {0, 0, 1, 1}, {0, 0}, mode, alpha, bias);
    return dst.PixelAt(0, 0);
}

TEST(AlphaBlend, ChannelArithmetic) {
    struct Case {
        uint32_t S, D;
        int Mode, Alpha, Bias;
        uint32_t Expected;
    };
    const Case cases[] = {
        {0xFFC8C8C8, 0xFF646464, AlphaConstant, 0, 0, 0xFF646464},     // weight 0 leaves the destination
        {0x80C8C8C8, 0xFF646464, AlphaConstant, 256, 0, 0x80C8C8C8},   // weight 256 copies, alpha too
        {0xC8C8C8C8, 0x64646464, AlphaConstant, 128, 0, 0x96969696},   // 200 over 100 at 128 gives 150
        {0x00FFFFFF, 0xFF102030, AlphaPerPixel, 0, 0, 0xFF102030},     // transparent source pixel
        {0xFFFFFFFF, 0xFF000000, AlphaPerPixel, 0, 0, 0xFFFEFEFE},     // (0 + 255 * 255) / 256 = 254
        {0xFFC8C8C8, 0xFF646464, AlphaPerPixelScaled, 128, 0, 0xFF959595}, // weight (255*128)>>8 = 127
        {0xFF000000, 0xFF64F064, AlphaConstant, 0, 20, 0xFF78FF78},    // bias lightens and stops at 255
        {0, 0xFF000000, AlphaColor, 256, 0x0000FF, 0x00FF0000},        // red (lowest byte), alpha from 0
    };
    for (const Case& c : cases)
        EXPECT_EQ(BlendOne(c.S, c.D, c.Mode, c.Alpha, c.Bias), c.Expected)
            << std::hex << c.S << " over " << c.D << " mode " << c.Mode;
    EXPECT_EQ(BlendOne(0xFFFFFFFF, 0xFF000000, 7, 256, 0), 0xFF000000u) << "unknown modes do nothing";
}

TEST(AlphaBlend, ClippedToBothSurfaces) {
    // A 4x4 source blended at (-2, 2) into a 3x3 destination: only the overlap changes, nothing outside
    // either bitmap is read or written (ASan watches the rest).
    Bitmap32 src(4, 4), dst(3, 3);
    src.Fill(0xFFFFFFFF);
    dst.Fill(0xFF000000);
    BlendRect(SurfaceOf(src), SurfaceOf(dst), {-1, -1, 5, 5}, {-3, 1}, AlphaConstant, 256, 0);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x) {
            // Source (0,0) lands at (-2, 2); the overlap is x 0..1, y 2.
            const bool covered = x <= 1 && y == 2;
            EXPECT_EQ(dst.PixelAt(x, y), covered ? 0xFFFFFFFFu : 0xFF000000u) << x << "," << y;
        }
    BlendRect(SurfaceOf(src), SurfaceOf(dst), {0, 0, 4, 4}, {100, 100}, AlphaConstant, 256, 0);
    BlendRect(SurfaceOf(src), SurfaceOf(dst), {-50, -50, -10, -10}, {0, 0}, AlphaConstant, 256, 0);
    BlendRect({}, SurfaceOf(dst), {0, 0, 3, 3}, {0, 0}, AlphaColor, 128, 0xFFFFFF);
    EXPECT_EQ(dst.PixelAt(0, 0), 0x7F7F7F7Fu) << "colour over every byte, alpha towards 0";
}

TEST(SeekBar, TimeTexts) {
    EXPECT_EQ(FormatTrackTime(0), L"0:00");
    EXPECT_EQ(FormatTrackTime(75'000), L"1:15");
    EXPECT_EQ(FormatTrackTime(75'999), L"1:15");
    EXPECT_EQ(FormatTrackTime(3'725'000), L"1:02:05");
    EXPECT_EQ(FormatTrackTime(600'000), L"10:00");
}

// A panel with a window of the given size, running (buttons and seek bar placed), with its manager.
struct RunningPanel {
    explicit RunningPanel(int w = 200, int h = 200, TControlStates s = {csInstalled, csLanched, csPlaying}) {
        platform.Client = {0, 0, w, h};
        auto m = std::make_unique<TFakeManager>();
        manager = m.get();
        manager->FileName = DrivePath(L"a.mp3");
        manager->Artist = L"Artist";
        panel = std::make_unique<TGoogleSideBar>(platform, std::move(m), std::make_unique<TMemorySettingsStore>());
        platform.Exists = true;
        panel->WindowCreated();
        manager->Become(s);
    }
    TFakePlatform platform;
    TFakeManager* manager = nullptr;
    std::unique_ptr<TGoogleSideBar> panel;
};

TEST(SideBarControls, HitTestEdges) {
    RunningPanel p;
    TSideBarButton& play = p.panel->Buttons->Play;
    EXPECT_TRUE(play.HitTest(play.Right - 1, play.Top));
    EXPECT_FALSE(play.HitTest(play.Right, play.Top)) << "a button's right edge is outside";
    TSideBarSeekBar& seek = *p.panel->SeekBar;
    const TRect b = seek.GetBounds();
    EXPECT_TRUE(seek.HitTest(b.Right, b.Bottom)) << "the seek bar includes its edges";
    EXPECT_FALSE(seek.HitTest(b.Right + 1, b.Top));
}

TEST(SideBarControls, SeekBarRangeKeepsThumbOnTrack) {
    RunningPanel p;
    TSideBarSeekBar& seek = *p.panel->SeekBar;
    const TRect track = seek.TrackRect;
    seek.SetMax(240'000);
    seek.SetPosition(240'000);
    EXPECT_EQ(seek.ThumbRect.Right, track.Right) << "flush with the right end at Max";
    seek.SetPosition(500'000);
    EXPECT_EQ(seek.Position(), 240'000) << "a position above Max is stored as Max";
    seek.SetMax(60'000); // the length drops while paused
    EXPECT_EQ(seek.Position(), 60'000);
    EXPECT_LE(seek.ThumbRect.Right, track.Right);
    seek.SetMax(0);
    EXPECT_EQ(seek.Max(), 1) << "Max never drops below 1";
    EXPECT_GE(seek.ThumbRect.Left, track.Left);
    EXPECT_LE(seek.ThumbRect.Right, track.Right);
}

TEST(SideBarControls, PressLeftOfThumbSeeksOnReleaseUnderLeftEdge) {
    RunningPanel p;
    TSideBarSeekBar& seek = *p.panel->SeekBar;
    seek.SetMax(240'000);
    seek.SetPosition(180'000);
    const TRect track = seek.TrackRect;
    const int w = seek.ThumbWidth();
    ASSERT_EQ(w, 18);
    const TPoint press{track.Left + 40, track.Top + 3};
    p.panel->MouseMoveMessage({press, 0}, true);
    p.panel->MouseMoveMessage({press, 0}, true);
    p.panel->LeftButtonDown({press, 1});
    EXPECT_EQ(seek.ThumbRect.Left, press.X - w / 2) << "the thumb's centre jumps under the mouse";
    EXPECT_TRUE(p.manager->Commands.empty()) << "nothing seeks before the release";
    p.panel->LeftButtonUp({press, 0});
    const int64_t expected = static_cast<int64_t>(seek.ThumbRect.Left - track.Left) * 240'000 / (track.Width() - w);
    ASSERT_EQ(p.manager->Commands, (std::vector<std::string>{"seek " + std::to_string(expected)}));
}

TEST(SideBarControls, DragTracksTimeTextAndDisabledDoesNotSeek) {
    RunningPanel p(300, 200); // 888 ms per pixel, so one pixel lands inside 1:15
    TSideBarSeekBar& seek = *p.panel->SeekBar;
    seek.SetMax(240'000);
    seek.SetPosition(0);
    const TRect track = seek.TrackRect;
    const int room = track.Width() - seek.ThumbWidth();
    const TPoint grab{seek.ThumbRect.Left + 2, track.Top + 2};
    p.panel->MouseMoveMessage({grab, 0}, true);
    p.panel->MouseMoveMessage({grab, 0}, true);
    p.panel->LeftButtonDown({grab, 1});
    // Move the thumb's left edge to where 75 s of 240 s lies (rounded up to a whole pixel).
    const int x = track.Left + static_cast<int>((75'000LL * room + 239'999) / 240'000);
    p.panel->MouseMoveMessage({{x + 2, track.Top + 2}, 1}, true);
    EXPECT_EQ(p.panel->PositionString(), L"1:15 / 4:00");
    p.panel->CaptureLost(); // another window took the mouse: the drag ends without a seek
    EXPECT_FALSE(seek.Dragging);
    p.panel->LeftButtonUp({{x + 2, track.Top + 2}, 0});
    EXPECT_TRUE(p.manager->Commands.empty());

    seek.SetEnabled(false);
    p.panel->LeftButtonDown({grab, 1});
    p.panel->LeftButtonUp({grab, 0});
    EXPECT_TRUE(p.manager->Commands.empty()) << "a disabled seek bar does not seek";
}

TEST(SideBarControls, TrackNoWiderThanThumbDoesNotDrag) {
    RunningPanel p(30, 200); // track 18 wide, thumb 18
    TSideBarSeekBar& seek = *p.panel->SeekBar;
    ASSERT_LE(seek.TrackRect.Width(), seek.ThumbWidth());
    const TPoint at{seek.TrackRect.Left + 5, seek.TrackRect.Top + 2};
    p.panel->MouseMoveMessage({at, 0}, true);
    p.panel->MouseMoveMessage({at, 0}, true);
    p.panel->LeftButtonDown({at, 1});
    EXPECT_FALSE(seek.Dragging);
    p.panel->LeftButtonUp({at, 0});
    EXPECT_TRUE(p.manager->Commands.empty());
}

} // namespace
} // namespace mellodeck::test
