// The panel's window in a plain host window: each state is drawn through the real GDI path, captured with
// WM_PRINTCLIENT and checked against the geometry the layout computes (buttons with their skin cells,
// artwork at its scaled size, the seek thumb at its x, text inside its rectangles). Every capture is also
// written as PNG for a person to look at.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "PanelCapture.h"
#include "PanelFakes.h"
#include "common/win/WindowBase.h"
#include "imaging/ImageCodecs.h"
#include "media/core/MediaManager.h"
#include "panel/GoogleSideBarConsts.h"
#include "panel/win/AxAlphaWin.h"
#include "panel/win/GdiCanvas.h"
#include "panel/win/GoogleSideBarWindow.h"
#include "panel/win/SkinResources.h"

namespace mellodeck::test {
namespace {

class PanelWindow : public ::testing::Test {
protected:
    void SetUp() override {
        MediaLibraryStart();
        FillSideBarStrings(1033);
        ASSERT_TRUE(host.Create(0, L"panel test", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400, 400, nullptr));
        auto m = std::make_unique<TFakeManager>();
        manager = m.get();
        window = std::make_unique<TGoogleSideBarWindow>(std::move(m), std::make_unique<TMemorySettingsStore>());
    }
    void TearDown() override {
        window.reset();
        host.Destroy();
        Pump();
    }
    void Open(int w, int h) {
        ASSERT_TRUE(window->Create(host.Handle(), RECT{0, 0, w, h}));
        Pump();
    }
    TGoogleSideBar& P() { return window->Panel(); }
    void Playing(const wchar_t* artist, const wchar_t* album, const wchar_t* title, int artW, int artH) {
        manager->FileName = DrivePath(L"Song.mp3");
        manager->Artist = artist;
        manager->Album = album;
        manager->Title = title;
        manager->Become({csInstalled, csLanched, csPlaying});
        // Drawn apart and handed over at once: the manager's artwork reports every change it sees.
        Bitmap32 art(artW, artH);
        for (int y = 0; y < artH; ++y)
            for (int x = 0; x < artW; ++x)
                art.SetPixel(x, y, 0xFF000000u | (x * 255 / std::max(1, artW - 1)) << 16 | 0x4080);
        manager->Artwork = art;
        P().PlayerPositionChanged(manager, 240'000, 75'000);
        // The fade runs on the window's timer: eight ticks, sent rather than waited for.
        for (int i = 0; i < kFadeSteps; ++i)
            ::SendMessageW(window->Handle(), WM_TIMER, TGoogleSideBarWindow::kFadeTimerId, 0);
        Pump();
    }

    THostWindow host;
    TFakeManager* manager = nullptr;
    std::unique_ptr<TGoogleSideBarWindow> window;
};

TEST_F(PanelWindow, NotInstalledAndNotRunningFillThePanelWithText) {
    Open(260, 300);
    Bitmap32 c = Capture(window->Handle());
    SavePng(c, "not-installed");
    const TSideBarTextButton& install = P().Buttons->Install;
    ASSERT_TRUE(install.Visible());
    EXPECT_GT(Inked(c, {6, 6, 254, 294}), 100) << "the Install text is drawn";
    EXPECT_EQ(Inked(c, {0, 0, 260, 6}), 0);

    manager->Become({csInstalled});
    c = Capture(window->Handle());
    SavePng(c, "not-running");
    EXPECT_TRUE(P().Buttons->Launch.Visible());
    EXPECT_GT(Inked(c, {6, 6, 254, 294}), 100) << "the Start text is drawn";
}

TEST_F(PanelWindow, PlayingWithArtwork) {
    Open(260, 300);
    Playing(L"The Artist", L"The Album", L"A Title", 600, 300);
    const Bitmap32 c = Capture(window->Handle());
    SavePng(c, "playing-with-art");
    TSideBarButtons& b = *P().Buttons;
    ExpectCell(c, b.Play, L"SB_BUTTONS", 1); // pause
    ExpectCell(c, b.Stop, L"SB_BUTTONS", 2);
    ExpectCell(c, b.Next, L"SB_BUTTONS", 4);
    ExpectCell(c, b.Edit, L"SB_BUTTONS", 7);
    ExpectCell(c, b.Shuffle, L"SB_SHUFFLE", 0);

    // The artwork: 600x300 into 248x252 scales to 248x124, centred horizontally, a third of the free height
    // above it.
    int aw = 0, ah = 0;
    FitArtwork(600, 300, 248, 252, aw, ah);
    ASSERT_EQ(aw, 248);
    ASSERT_EQ(ah, 124);
    EXPECT_EQ(P().ScaledArtwork.Width(), aw);
    const int artTop = [&] {
        for (int y = 6; y < 258; ++y)
            if (Rgb(c.PixelAt(130, y)) != kBackground)
                return y;
        return -1;
    }();
    ASSERT_GT(artTop, 6);
    EXPECT_EQ(Rgb(c.PixelAt(6, artTop + ah / 2)) & 0xFFFF, 0x4080u) << "left column of the picture";
    EXPECT_EQ(Rgb(c.PixelAt(6 + aw, artTop + ah / 2)), kBackground) << "nothing right of it";
    EXPECT_EQ(Rgb(c.PixelAt(130, artTop + ah)) & 0xFFFF, 0xFAFAu) << "nothing under it before the text";
    // Text below the picture, inside the content rectangle.
    EXPECT_GT(Inked(c, {6, artTop + ah + 1, 254, 258}), 50);

    // The seek thumb at the computed x.
    const TSideBarSeekBar& seek = *P().SeekBar;
    const int room = seek.TrackRect.Width() - seek.ThumbWidth();
    EXPECT_EQ(seek.ThumbRect.Left, seek.TrackRect.Left + static_cast<int>(75'000LL * room / 240'000));
    const uint32_t thumb = Rgb(c.PixelAt((seek.ThumbRect.Left + seek.ThumbRect.Right) / 2, seek.ThumbRect.Top + 6));
    EXPECT_NEAR(static_cast<int>(thumb >> 16), 60, 2);
    EXPECT_NEAR(static_cast<int>(thumb & 0xFF), 170, 2);
}

TEST_F(PanelWindow, PausedNoTagsAndEmptyPlaylist) {
    Open(260, 300);
    manager->FileName = DrivePath(L"Untagged.mp3");
    manager->Become({csInstalled, csLanched, csPlaying, csPaused});
    Bitmap32 c = Capture(window->Handle());
    SavePng(c, "paused-no-tags");
    ExpectCell(c, P().Buttons->Play, L"SB_BUTTONS", 0);
    const TTrackTextLines lines = P().TrackTextLines(TTextAlign::Center);
    EXPECT_EQ(lines.Line1, L"This song has no tags");
    EXPECT_EQ(lines.FileName, L"Untagged.mp3");
    EXPECT_GT(Inked(c, P().ContentRect), 100);
    EXPECT_EQ(Inked(c, {0, 0, 260, 6}), 0);

    manager->FileName.clear();
    manager->PlaylistLength = 0;
    manager->Become({csInstalled, csLanched});
    c = Capture(window->Handle());
    SavePng(c, "empty-playlist");
    EXPECT_EQ(P().TrackTextLines(TTextAlign::Center).Line3, L"Drag-and-drop files to play them");
    ExpectCell(c, P().Buttons->Stop, L"SB_BUTTONS_DISABLED", 2);
}

TEST_F(PanelWindow, WideLayoutPutsTextRightOfTheArt) {
    Open(300, 120);
    Playing(L"The Artist", L"The Album", L"A Title", 300, 300);
    const Bitmap32 c = Capture(window->Handle());
    SavePng(c, "wide-layout");
    ASSERT_TRUE(P().WideLayout);
    const int aw = P().ScaledArtwork.Width();
    EXPECT_EQ(aw, 72);
    EXPECT_NE(Rgb(c.PixelAt(6 + aw / 2, 6 + 36)), kBackground);
    EXPECT_GT(Inked(c, {aw + 12, 6, 294, 78}), 50) << "text right of the art";
}

TEST_F(PanelWindow, PaintingLeaksNoFonts) {
    const win::TFontCounters before = win::FontCounters();
    Open(260, 300);
    Playing(L"The Artist", L"The Album", L"A Title", 600, 300);
    const long live = win::FontCounters().Live();
    P().PlayerArtworkChanged(manager); // fading again
    for (int i = 0; i < 50; ++i) {
        ::RedrawWindow(window->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        if (i % 6 == 0)
            ::SendMessageW(window->Handle(), WM_TIMER, TGoogleSideBarWindow::kFadeTimerId, 0);
    }
    EXPECT_EQ(win::FontCounters().Live(), live) << "paints make no fonts of their own that survive";
    window->Destroy();
    EXPECT_EQ(win::FontCounters().Live(), before.Live());
    EXPECT_EQ(win::FontCounters().FailedDeletes, before.FailedDeletes) << "no font was deleted while selected";
}

TEST_F(PanelWindow, MouseMessagesRunTheButtonCommand) {
    Open(260, 300);
    Playing(L"A", L"B", L"C", 10, 10);
    const TSideBarButton& play = P().Buttons->Play;
    const LPARAM at = MAKELPARAM(play.Left + 5, play.Top + 5);
    ::SendMessageW(window->Handle(), WM_MOUSEMOVE, 0, at);
    ::SendMessageW(window->Handle(), WM_MOUSEMOVE, 0, at);
    ::SendMessageW(window->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::SendMessageW(window->Handle(), WM_LBUTTONUP, 0, at);
    EXPECT_EQ(manager->Commands, (std::vector<std::string>{"pause"}));
    // The capture taken away mid-drag ends the drag without a seek.
    const TSideBarSeekBar& seek = *P().SeekBar;
    const LPARAM on = MAKELPARAM(seek.ThumbRect.Left + 2, seek.ThumbRect.Top + 2);
    ::SendMessageW(window->Handle(), WM_MOUSEMOVE, 0, on);
    ::SendMessageW(window->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, on);
    ASSERT_TRUE(seek.Dragging);
    ::SetCapture(host.Handle());
    EXPECT_FALSE(seek.Dragging);
    ::SendMessageW(window->Handle(), WM_LBUTTONUP, 0, on);
    EXPECT_EQ(manager->Commands, (std::vector<std::string>{"pause"}));
    ::ReleaseCapture();
}

TEST(AlphaBlendDC, NeedsThirtyTwoBitSections) {
    HDC source = ::CreateCompatibleDC(nullptr), target = ::CreateCompatibleDC(nullptr);
    auto dib = [](HDC dc, int bits) {
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), 4, -4, 1, static_cast<WORD>(bits), BI_RGB, 0, 0, 0, 0, 0};
        void* pixels = nullptr;
        HBITMAP b = ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
        std::memset(pixels, bits == 32 ? 0x40 : 0, bits == 32 ? 64 : 48);
        return b;
    };
    HBITMAP s32 = dib(source, 32), t24 = dib(target, 24), t32 = dib(target, 32);
    HGDIOBJ oldSource = ::SelectObject(source, s32);
    auto blend = [&] { win::BlendRect(source, target, RECT{0, 0, 4, 4}, POINT{0, 0}, AlphaConstant, 256, 0); };
    try {
        blend(); // the memory DC still has its stock 1x1 bitmap, which is no section
        ADD_FAILURE() << "no exception";
    } catch (const EAlphaBlend& e) {
        EXPECT_STREQ(e.what(), "Alpha blending DC error: no bitmap available.");
    }
    HGDIOBJ oldTarget = ::SelectObject(target, t24);
    try {
        blend();
        ADD_FAILURE() << "no exception";
    } catch (const EAlphaBlend& e) {
        EXPECT_STREQ(e.what(), "Alpha blending error: bitmap must use 32 bpp.");
    }
    ::SelectObject(target, t32);
    blend();
    EXPECT_EQ(win::SurfaceOfDC(target).PixelAt(3, 3), 0x40404040u) << "a 32-bit section is blended";
    ::SelectObject(target, oldTarget);
    ::SelectObject(source, oldSource);
    for (HBITMAP b : {s32, t24, t32})
        ::DeleteObject(b);
    ::DeleteDC(source);
    ::DeleteDC(target);
}

TEST(TrackFont, QualityFollowsTheWindowsVersion) {
    EXPECT_EQ(win::TrackFontQuality(), ANTIALIASED_QUALITY) << "not Windows XP";
    win::SetTrackFontQualityOverride(CLEARTYPE_QUALITY);
    EXPECT_EQ(win::TrackFontQuality(), CLEARTYPE_QUALITY);
    win::SetTrackFontQualityOverride(0);
}

} // namespace
} // namespace mellodeck::test
