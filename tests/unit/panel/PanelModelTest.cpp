// The panel model: what shows in each player state, the text lines, the layout, artwork and fade, mouse
// routing and the button commands.
#include <gtest/gtest.h>

#include "PanelFakes.h"
#include "media/core/MediaManager.h"
#include "panel/GoogleSideBarConsts.h"

namespace mellodeck::test {
namespace {

struct Panel {
    explicit Panel(int w = 200, int h = 200) {
        MediaLibraryStart();
        FillSideBarStrings(1033);
        platform.Client = {0, 0, w, h};
        auto m = std::make_unique<TFakeManager>();
        manager = m.get();
        auto o = std::make_unique<TMemorySettingsStore>();
        options = o.get();
        panel = std::make_unique<TGoogleSideBar>(platform, std::move(m), std::move(o));
    }
    void Create() {
        platform.Exists = true;
        panel->WindowCreated();
    }
    void Run(TControlStates s = {csInstalled, csLanched, csPlaying}) {
        if (!platform.Exists)
            Create();
        manager->Become(s);
    }
    void Track(const std::wstring& file, const wchar_t* artist, const wchar_t* album, const wchar_t* title) {
        manager->FileName = file;
        manager->Artist = artist;
        manager->Album = album;
        manager->Title = title;
        manager->SetState({}, {}); // no change: nothing fires
        panel->PlayerStateChanged(manager, manager->State, manager->State);
    }
    // The texts the last paint drew into the content bitmap.
    std::vector<std::wstring> Paint() {
        TFakeCanvas buffer(platform.Client.Width(), platform.Client.Height());
        panel->PaintFrame(buffer);
        std::vector<std::wstring> texts;
        for (const auto* source : {&buffer.Texts, platform.Content ? &platform.Content->Texts : nullptr})
            if (source)
                for (const auto& t : *source)
                    texts.push_back(t.Text);
        return texts;
    }
    TFakePlatform platform;
    TFakeManager* manager = nullptr;
    TMemorySettingsStore* options = nullptr;
    std::unique_ptr<TGoogleSideBar> panel;
};

TEST(PanelModel, ModeBeforeWindowActivatesOnceAndRefusesUnknownValues) {
    Panel p;
    EXPECT_EQ(p.manager->Activations, 0) << "no window yet: the mode only waits";
    EXPECT_TRUE(p.panel->ModePending);
    EXPECT_TRUE(p.panel->SetMode(sbmWinAmp)) << "same as the pending one";
    EXPECT_FALSE(p.panel->SetMode(7));
    EXPECT_FALSE(p.panel->SetMode(-1));
    p.Create();
    EXPECT_EQ(p.manager->Activations, 1);
    EXPECT_EQ(p.panel->Mode(), sbmWinAmp);
    EXPECT_FALSE(p.panel->ModePending) << "the pending mode is cleared once applied";
    EXPECT_EQ(p.panel->ActiveManager, p.manager);

    EXPECT_TRUE(p.panel->SetMode(sbmNone));
    EXPECT_FALSE(p.manager->Active());
    EXPECT_EQ(p.panel->ActiveManager, nullptr);
    EXPECT_EQ(p.panel->Caption(), L"No ActiveManager");
    EXPECT_EQ(p.Paint(), (std::vector<std::wstring>{L"No ActiveManager"}));
}

TEST(PanelModel, WhatShowsForEachPlayerState) {
    Panel p;
    p.manager->FileName = DrivePath(L"a.mp3");
    p.Create();
    TSideBarButtons& b = *p.panel->Buttons;
    // Not installed: only the Install text button, naming the player.
    EXPECT_TRUE(b.Install.Visible());
    EXPECT_FALSE(b.Play.Visible());
    EXPECT_EQ(b.Install.Caption(), L"Click here to install WinAmp");
    EXPECT_EQ(b.Install.Bounds, p.platform.Client);
    EXPECT_EQ(p.Paint(), (std::vector<std::wstring>{L"Click here to install WinAmp"}));

    p.Run({csInstalled});
    EXPECT_TRUE(b.Launch.Visible());
    EXPECT_FALSE(b.Install.Visible());
    EXPECT_EQ(b.Launch.Caption(), L"Click here to start WinAmp");

    p.Run({csInstalled, csLanched, csPlaying, csPaused});
    EXPECT_FALSE(b.Launch.Visible());
    EXPECT_EQ(b.Play.ImageIndex, 0) << "paused shows Play";
    EXPECT_EQ(b.Play.Hint(), L"Play");
    EXPECT_TRUE(b.Stop.Enabled());
    EXPECT_TRUE(p.panel->SeekBar->Enabled());
    EXPECT_EQ(p.panel->Caption(), p.manager->FileName);

    p.Run({csInstalled, csLanched, csPlaying, csShuffle});
    EXPECT_EQ(b.Play.ImageIndex, 1);
    EXPECT_EQ(b.Play.Hint(), L"Pause");
    EXPECT_EQ(b.Shuffle.ImageIndex, 1);
    EXPECT_EQ(b.Shuffle.Hint(), L"Turn repeat on") << "the hint names what the next click does";

    // A stream: the player reports a position, yet there is nothing to seek in.
    p.manager->FileName = L"http://radio.invalid/stream";
    p.panel->PlayerStateChanged(p.manager, p.manager->State, p.manager->State);
    EXPECT_FALSE(p.panel->SeekBar->Enabled());

    p.Run({csInstalled, csLanched});
    EXPECT_FALSE(b.Stop.Enabled());
    EXPECT_FALSE(p.panel->SeekBar->Enabled());
    p.manager->Visible = false;
    p.panel->PlayerStateChanged(p.manager, p.manager->State, p.manager->State);
    EXPECT_EQ(b.Show.ImageIndex, 5);
    EXPECT_EQ(b.Show.Hint(), L"Show WinAmp");
}

TEST(PanelModel, TrackTextLines) {
    TTrackSnapshot t;
    t.FileName = DrivePath(L"x.mp3");
    t.PlaylistLength = 4;
    t.Supported = true;
    struct Case {
        const wchar_t *Artist, *Album, *Title;
        TTextAlign Align;
        bool Separate;
        const wchar_t *L1, *L2, *L3;
    };
    const auto C = TTextAlign::Center, L = TTextAlign::Left;
    const Case cases[] = {
        {L"", L"X", L"T", C, true, L"Unknown artist", L"X", L"T"},
        {L"", L"X", L"T", C, false, L"X", L"", L"T"},
        {L"A", L"", L"", C, false, L"A", L"", L"Unknown song"},
        {L"A", L"B", L"T", C, false, L"A / B", L"", L"T"},
        {L"A", L"B", L"T", C, true, L"A", L"B", L"T"},
        {L"A", L"B", L"  ", L, false, L"A", L"B", L"Unknown song"},
        {L" ", L" ", L"T", C, false, L"Unknown album", L"", L"T"},
        {L"", L"", L"T", L, false, L"Unknown artist", L"Unknown album", L"T"},
        {L"", L"", L"", C, false, L"This song has no tags", L"", L"click the E button to fill the tags"},
    };
    for (const Case& c : cases) {
        t.Artist = c.Artist, t.Album = c.Album, t.Title = c.Title;
        const TTrackTextLines l = ComposeTrackText(t, c.Align, c.Separate, true);
        EXPECT_EQ(l.Line1, c.L1) << c.Artist << "|" << c.Album << "|" << c.Title;
        EXPECT_EQ(l.Line2, c.L2) << c.Artist << "|" << c.Album << "|" << c.Title;
        EXPECT_EQ(l.Line3, c.L3) << c.Artist << "|" << c.Album << "|" << c.Title;
    }
    t.Artist = t.Album = t.Title = L"";
    TTrackTextLines l = ComposeTrackText(t, C, false, true);
    EXPECT_TRUE(l.ShowFileName);
    EXPECT_EQ(l.FileName, L"x.mp3");
    t.Supported = false;
    EXPECT_EQ(ComposeTrackText(t, C, false, true).Line3, L"") << "a type the library does not read";
    t.PlaylistLength = 0;
    l = ComposeTrackText(t, C, false, false);
    EXPECT_EQ(l.Line1, L"The playlist is empty");
    EXPECT_EQ(l.Line3, L"Drag-and-drop files to play them");
    EXPECT_FALSE(l.ShowFileName);
}

TEST(PanelModel, LayoutRectangles) {
    const int w = 16 * 6 + 17;
    TPanelLayout l = ComputeRunningLayout(200, 200, w);
    EXPECT_EQ(l.Content, (TRect{6, 6, 194, 158}));
    EXPECT_FALSE(l.Wide) << "152 > 188 / 1.8";
    EXPECT_EQ(l.Edit.Left, 178);
    EXPECT_EQ(l.Show.Left, 162);
    EXPECT_EQ(l.Shuffle, (TRect{143, 178, 160, 194}));
    EXPECT_EQ(l.Track, (TRect{6, 164, 194, 172}));
    EXPECT_EQ(l.Play, (TRect{6, 178, 22, 194}));
    EXPECT_EQ(l.Next.Left, 54);
    EXPECT_TRUE(ComputeRunningLayout(300, 120, w).Wide) << "72 <= 288 / 1.8";
    l = ComputeRunningLayout(100, 200, w);
    EXPECT_EQ(l.Edit.Left, 105) << "the row keeps its order past the right edge";
    EXPECT_EQ(l.Shuffle.Left, 70);

    Panel p(200, 200);
    p.Run();
    EXPECT_EQ(p.panel->Buttons->Edit.GetBounds(), (TRect{178, 178, 194, 194}));
    EXPECT_EQ(p.panel->SeekBar->TrackRect, (TRect{6, 164, 194, 172}));
    EXPECT_EQ(p.panel->ContentRect, (TRect{6, 6, 194, 158}));
}

TEST(PanelModel, ReloadShowsTheStateAfterIt) {
    Panel p;
    p.Run();
    p.Track(DrivePath(L"a.mp3"), L"Artist", L"Album", L"Title");
    // During a reload the manager has cleared the texts and reports with the reload bit set.
    p.manager->Artist.clear();
    p.manager->Album.clear();
    p.manager->Title.clear();
    p.manager->State += {csReloadingMediaInformation};
    const int before = p.platform.Invalidations;
    p.panel->PlayerStateChanged(p.manager, p.manager->State, p.manager->State);
    EXPECT_EQ(p.platform.Invalidations, before) << "nothing to repaint mid-reload";
    const auto texts = p.Paint();
    EXPECT_NE(std::find(texts.begin(), texts.end(), L"Artist / Album"), texts.end());
    EXPECT_EQ(std::find(texts.begin(), texts.end(), L"This song has no tags"), texts.end());
}

TEST(PanelModel, SquareArtworkFillsTheTallContentWithoutText) {
    Panel p(200, 200);
    p.Run();
    p.Track(DrivePath(L"a.mp3"), L"Artist", L"Album", L"Title");
    p.manager->Artwork.SetSize(600, 600);
    p.manager->Artwork.Fill(0xFF204080);
    p.panel->PlayerArtworkChanged(p.manager);
    EXPECT_EQ(p.panel->ScaledArtwork.Width(), 152);
    EXPECT_EQ(p.panel->ScaledArtwork.Height(), 152);
    p.panel->FadeStep = kFadeSteps;
    TFakeCanvas buffer(200, 200);
    p.panel->PaintFrame(buffer);
    EXPECT_TRUE(p.platform.Content->Texts.empty()) << "no room for text under a square picture";
    // Centred horizontally and vertically in (6,6)-(194,158).
    EXPECT_EQ(buffer.Bitmap.PixelAt(6 + 18, 6), 0xFF204080u);
    EXPECT_EQ(buffer.Bitmap.PixelAt(6 + 18 + 151, 6 + 151), 0xFF204080u);
    EXPECT_EQ(buffer.Bitmap.PixelAt(6 + 17, 6), 0xFFFAFAFAu);
}

TEST(PanelModel, ArtworkOfExtremeShapeCountsAsNone) {
    Panel p(200, 200);
    p.Run();
    p.Track(DrivePath(L"a.mp3"), L"Artist", L"Album", L"Title");
    p.manager->Artwork.SetSize(1000, 1);
    p.panel->PlayerArtworkChanged(p.manager);
    EXPECT_FALSE(p.panel->PanelFlags & pfArtworkShown);
    EXPECT_FALSE(p.panel->PanelFlags & pfArtworkDoesNotFit);
    const auto texts = p.Paint();
    EXPECT_NE(std::find(texts.begin(), texts.end(), L"Title"), texts.end()) << "the text still shows";
}

TEST(PanelModel, FadeStepsAndRestart) {
    Panel p(200, 200);
    p.Run();
    p.Track(DrivePath(L"a.mp3"), L"A", L"B", L"T");
    p.manager->Artwork.SetSize(40, 30);
    p.manager->Artwork.Fill(0xFFFFFFFF);
    p.panel->PlayerArtworkChanged(p.manager);
    EXPECT_TRUE(p.platform.TimerOn);
    std::vector<int> alphas;
    for (int i = 0; i < 8; ++i) {
        TFakeCanvas buffer(200, 200);
        buffer.Bitmap.Fill(0xFF000000);
        p.panel->PaintFrame(buffer);
        // The background (250) fades in over what the content bitmap copied: watch one content pixel.
        alphas.push_back(p.panel->FadeStep);
        p.panel->FadeTimerTick();
        if (i == 2) {
            p.panel->PlayerArtworkChanged(p.manager); // a second change within 200 ms starts over
            EXPECT_EQ(p.panel->FadeStep, 0);
        }
    }
    EXPECT_EQ(alphas, (std::vector<int>{0, 1, 2, 0, 1, 2, 3, 4}));
    EXPECT_TRUE(p.platform.TimerOn);
    for (int i = 0; i < 4; ++i)
        p.panel->FadeTimerTick();
    EXPECT_EQ(p.panel->FadeStep, kFadeSteps);
    EXPECT_FALSE(p.platform.TimerOn);

    // Destroyed mid-fade: the timer stops and the content comes back whole.
    p.panel->PlayerArtworkChanged(p.manager);
    p.panel->WindowDestroyed();
    p.platform.Exists = false;
    EXPECT_FALSE(p.platform.TimerOn);
    EXPECT_EQ(p.panel->FadeStep, kFadeSteps);
    p.panel->PlayerArtworkChanged(p.manager);
    EXPECT_FALSE(p.platform.TimerOn) << "no timer without a window";
}

TEST(PanelModel, FadeBlendsContentWithTheStepsAlpha) {
    Panel p(200, 200);
    p.Run();
    p.Track(DrivePath(L"a.mp3"), L"A", L"B", L"T");
    p.manager->Artwork.SetSize(152, 152);
    p.manager->Artwork.Fill(0xFFFFFFFF);
    p.panel->PlayerArtworkChanged(p.manager);
    const int expected[] = {55, 80, 105, 130, 155, 180, 205, 230};
    for (int step = 0; step < 8; ++step) {
        p.panel->FadeStep = step;
        TFakeCanvas buffer(200, 200);
        p.panel->PaintFrame(buffer);
        // White art over the 250 background: 250 + (255 - 250) * alpha / 256, truncated.
        const int v = (250 * 256 + expected[step] * 5) >> 8;
        EXPECT_EQ(buffer.Bitmap.PixelAt(100, 80) & 0xFF, static_cast<uint32_t>(v)) << step;
    }
}

TEST(PanelModel, MouseRoutingRunsCommandsOnce) {
    Panel p(200, 200);
    p.Run();
    TSideBarButtons& b = *p.panel->Buttons;
    auto at = [](const TSideBarButton& c) { return TPoint{c.Left + 4, c.Top + 4}; };
    auto move = [&](TPoint pt, bool inside = true) { p.panel->MouseMoveMessage({pt, 0}, inside); };
    // Press on Play, leave the panel, come back, release on Play: once.
    move(at(b.Play));
    move(at(b.Play));
    p.panel->LeftButtonDown({at(b.Play), 1});
    move({-5, -5}, false);
    move(at(b.Play));
    p.panel->LeftButtonUp({at(b.Play), 0});
    EXPECT_EQ(p.manager->Commands, (std::vector<std::string>{"pause"}));

    // Press on Stop, release on Next: nothing, Next becomes hot.
    p.manager->Commands.clear();
    move(at(b.Stop));
    p.panel->LeftButtonDown({at(b.Stop), 1});
    move(at(b.Next));
    p.panel->LeftButtonUp({at(b.Next), 0});
    EXPECT_TRUE(p.manager->Commands.empty());
    EXPECT_EQ(p.panel->HotControl, &b.Next);

    // A refused press: no hot control change and no command on release.
    bool refused = false;
    p.panel->OnLeftMouseDownEvent = [&](TGoogleSideBar*, TBaseSideBarControl* c, bool& allow) {
        refused = c == &b.Prev;
        allow = !refused;
    };
    move(at(b.Prev));
    p.panel->LeftButtonDown({at(b.Prev), 1});
    p.panel->LeftButtonUp({at(b.Prev), 0});
    EXPECT_TRUE(refused);
    EXPECT_TRUE(p.manager->Commands.empty());
    p.panel->OnLeftMouseDownEvent = nullptr;

    // A disabled Edit ignores clicks.
    p.manager->FileName = DrivePath(L"a.unknownformat");
    p.panel->PlayerStateChanged(p.manager, p.manager->State, p.manager->State);
    ASSERT_FALSE(b.Edit.Enabled());
    move(at(b.Edit));
    p.panel->LeftButtonDown({at(b.Edit), 1});
    p.panel->LeftButtonUp({at(b.Edit), 0});
    EXPECT_TRUE(p.platform.EditedFiles.empty());

    // The hand cursor over a text button, the default again when leaving.
    EXPECT_EQ(p.platform.Cursor, crDefault);
}

TEST(PanelModel, ShuffleCycleOfFourAndOtherCommands) {
    Panel p(200, 200);
    p.Run({csInstalled, csLanched});
    std::vector<int> images;
    for (int i = 0; i < 4; ++i) {
        p.panel->ShuffleClick(nullptr);
        images.push_back(p.panel->Buttons->Shuffle.ImageIndex);
    }
    EXPECT_EQ(images, (std::vector<int>{1, 2, 3, 0})) << "off -> shuffle -> repeat -> both -> off";
    EXPECT_FALSE(p.manager->State.Contains(csShuffle));
    EXPECT_FALSE(p.manager->State.Contains(csRepeat));

    p.panel->PlayClick(nullptr);
    p.options->WriteNumber(kRunMinimizedValue, 1);
    p.panel->LaunchClick(nullptr);
    p.panel->ShowClick(nullptr);
    EXPECT_EQ(p.panel->MousePos, (TPoint{-1, -1}));
    EXPECT_EQ(p.panel->Buttons->Show.Hint(), L"Show WinAmp") << "refreshed after hiding";
    EXPECT_EQ(p.manager->Commands, (std::vector<std::string>{"play", "launch minimized", "hide"}));

    bool edited = false;
    p.panel->OnEditBtnClick = [&](TGoogleSideBar*) { edited = true; };
    p.panel->EditClick(nullptr);
    EXPECT_EQ(p.platform.EditedFiles, (std::vector<std::wstring>{p.manager->FileName}));
    EXPECT_TRUE(edited) << "the owner hears of the Edit click after its work";
}

TEST(PanelModel, HotkeyStartsOrTogglesThePlayer) {
    Panel p;
    p.Run({csInstalled});
    p.panel->HotkeyPressed(1034);
    p.panel->HotkeyPressed(99); // other identifiers are ignored
    p.Run({csInstalled, csLanched});
    p.panel->HotkeyPressed(1034);
    p.panel->HotkeyPressed(1034);
    EXPECT_EQ(p.manager->Commands, (std::vector<std::string>{"launch normal", "hide", "show"}));
}

} // namespace
} // namespace mellodeck::test

namespace mellodeck::test {
namespace {

TEST(PanelModel, OpenHotkeyLivesWithTheWindow) {
    Panel p;
    p.Create();
    EXPECT_TRUE(p.platform.Hotkeys.empty()) << "off by default";
    p.panel->SetGlobalHotkeyEnabled(true);
    using Reg = std::pair<uint32_t, uint32_t>;
    EXPECT_EQ(p.platform.Hotkeys[kOpenHotkeyId], (Reg{3, 87})) << "Ctrl+Alt+W, registered without re-reading";
    p.panel->SetOpenHotkey(L"Shift+F12");
    EXPECT_EQ(p.platform.Hotkeys[kOpenHotkeyId], (Reg{4, 123}));
    p.panel->SetOpenHotkey(L"Shift+Nonsense"); // names no key: ignored, the working hotkey stays
    EXPECT_EQ(p.panel->OpenHotkey(), L"Shift+F12");
    EXPECT_EQ(p.platform.Hotkeys[kOpenHotkeyId], (Reg{4, 123}));
    p.panel->SetGlobalHotkeyEnabled(false);
    EXPECT_TRUE(p.platform.Hotkeys.empty());
    p.panel->SetGlobalHotkeyEnabled(true);
    p.panel->WindowDestroyed();
    p.platform.Exists = false;
    EXPECT_TRUE(p.platform.Hotkeys.empty()) << "released with the window";
}

} // namespace
} // namespace mellodeck::test

namespace mellodeck::test {
namespace {

TEST(PanelModel, DropsReachTheOwnerOnlyWithFilesAndARunningPlayer) {
    Panel p;
    p.Create();
    std::vector<std::vector<std::wstring>> dropped;
    p.panel->OnAcceptDrop = [](TGoogleSideBar*, uint32_t, uint32_t& effect, TPoint, int) {
        effect = kDropEffectLink;
        return true;
    };
    p.panel->OnFilesDropped = [&](TGoogleSideBar* sender, uint32_t, uint32_t&, TPoint) {
        dropped.push_back(sender->DroppedFiles);
        return kResultOk;
    };
    const uint32_t all = kDropEffectCopy | kDropEffectMove | kDropEffectLink;
    uint32_t effect = 99;
    p.panel->DroppedFiles = {L"a.mp3", L"b.mp3", L"c.mp3"};
    EXPECT_EQ(p.panel->DoDragEnter(0, {5, 5}, all, effect), kResultUnexpected) << "no player installed";
    EXPECT_EQ(effect, kDropEffectNone);

    p.Run({csInstalled});
    EXPECT_EQ(p.panel->DoDrop(0, {5, 5}, all, effect), kResultOk);
    EXPECT_EQ(effect, kDropEffectNone) << "a player that is not running takes no files";

    p.Run();
    EXPECT_EQ(p.panel->DoDragEnter(0, {5, 5}, all, effect), kResultOk);
    EXPECT_EQ(effect, kDropEffectLink);
    EXPECT_EQ(p.panel->DoDragOver(0, {5, 5}, kDropEffectCopy, effect), kResultOk);
    EXPECT_EQ(effect, kDropEffectCopy) << "a source that allows only copying gets copy";
    EXPECT_EQ(p.panel->DoDragOver(0, {5, 5}, kDropEffectMove, effect), kResultOk);
    EXPECT_EQ(effect, kDropEffectNone) << "nor link nor copy allowed";
    EXPECT_EQ(p.panel->DoDrop(0, {5, 5}, all, effect), kResultOk);
    EXPECT_EQ(dropped, (std::vector<std::vector<std::wstring>>{{L"a.mp3", L"b.mp3", L"c.mp3"}}));

    // Data without files (a text selection): refused, and the owner never hears of it.
    p.panel->DroppedFiles.clear();
    EXPECT_EQ(p.panel->DoDragEnter(0, {5, 5}, all, effect), kResultOk);
    EXPECT_EQ(effect, kDropEffectNone);
    EXPECT_EQ(p.panel->DoDrop(0, {5, 5}, all, effect), kResultOk);
    EXPECT_EQ(dropped.size(), 1u);
}

} // namespace
} // namespace mellodeck::test
