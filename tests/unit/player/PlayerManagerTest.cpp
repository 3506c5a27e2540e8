// The manager core: state transitions and their events, the track reload, folder images.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <stdexcept>

#include "TestPaths.h"
#include "TestPlayer.h"
#include "common/FileUtils.h"
#include "imaging/ImageCodecs.h"

namespace mellodeck::test {
namespace {

namespace fs = std::filesystem;

std::string Bits(TControlStates s) { return std::to_string(s.Bits()); }

// Records the manager's events as short texts in arrival order.
struct EventLog {
    explicit EventLog(TBasePlayerManager& m) {
        m.OnStateChanged = [this](TBasePlayerManager*, TControlStates prev, TControlStates cur) {
            Events.push_back("state " + Bits(prev) + "->" + Bits(cur));
        };
        m.OnArtworkChanged = [this](TBasePlayerManager*) { Events.push_back("artwork"); };
    }
    std::vector<std::string> Events;
};

std::map<std::string, std::string> Expected() {
    std::map<std::string, std::string> values;
    std::istringstream in(ReadAll(FixturePath("player/expected.txt")));
    std::string line;
    while (std::getline(in, line))
        if (const size_t eq = line.find('='); eq != std::string::npos)
            values[line.substr(0, eq)] = line.substr(eq + 1);
    return values;
}

std::string SizeText(const Bitmap32& b) { return std::to_string(b.Width()) + "x" + std::to_string(b.Height()); }

#define REQUIRE_PLAYER_FIXTURES()                                                                             \
    if (!HaveFixture("player/expected.txt"))                                                                  \
    GTEST_SKIP() << "player fixtures missing: run tests/fixtures/make-player.sh"

TEST(ControlStates, ExcludeWinsAndOneByte) {
    TControlStates s = TControlStates{csInstalled, csPlaying} + TControlStates{csPaused};
    EXPECT_EQ(s.Bits(), (1 << 0) | (1 << 2) | (1 << 3));
    s = (s + TControlStates{csRepeat}) - TControlStates{csRepeat, csPaused};
    EXPECT_FALSE(s.Contains(csRepeat));
    EXPECT_FALSE(s.Contains(csPaused));
    EXPECT_TRUE(s.Contains(csPlaying));
}

TEST(PlayerManagerCore, SameStateTwiceFiresNothing) {
    TTestManager m;
    EventLog log(m);
    m.SetState({csInstalled}, {});
    ASSERT_EQ(log.Events, (std::vector<std::string>{"state 0->1"}));
    m.SetState({csInstalled}, {});
    m.SetState({}, {csPlaying});
    // Included and excluded at once: stays out, so nothing changes.
    m.SetState({csRepeat}, {csRepeat});
    EXPECT_EQ(log.Events.size(), 1u);
    EXPECT_FALSE(m.State.Contains(csRepeat));
}

TEST(PlayerManagerCore, StateChangeThenTrackChangeInOrder) {
    REQUIRE_PLAYER_FIXTURES();
    RegisterPlayerTestFormat();
    TempFolder dir;
    WriteAll(dir.Path() / "a.ptst",
             "artist=Ann\nalbum=Alb\ntitle=Tit\npicture=" + FixturePath("player/folder-images/jpg.jpg").string() +
                 "\n");
    TTestManager m;
    EventLog log(m);
    m.CurrentName = dir.Text("a.ptst");
    m.SetState({csInstalled, csLanched}, {});
    EXPECT_EQ(log.Events, (std::vector<std::string>{"state 0->3", "artwork", "state 3->3"}));
    EXPECT_EQ(m.FileName, dir.Text("a.ptst"));
    EXPECT_EQ(m.Artist, L"Ann");
    EXPECT_EQ(m.Album, L"Alb");
    EXPECT_EQ(m.Title, L"Tit");
    EXPECT_EQ(SizeText(m.Artwork), Expected()["size.folder-images/jpg.jpg"]);
    // The reload polled once, with its guard set; the guard is gone afterwards.
    ASSERT_EQ(m.Polls, 1);
    EXPECT_TRUE(m.PollStates[0].Contains(csReloadingMediaInformation));
    EXPECT_FALSE(m.State.Contains(csReloadingMediaInformation));
}

TEST(PlayerManagerCore, TrackChangeAloneFiresOneEventWithEqualStates) {
    TTestManager m;
    m.SetState({csInstalled}, {});
    EventLog log(m);
    m.SetCurrentFile(L"/no/such/track.unknown-kind");
    EXPECT_EQ(log.Events, (std::vector<std::string>{"state 1->1"}));
    // The same name again (exact comparison): nothing; another case is another name.
    m.SetCurrentFile(L"/no/such/track.unknown-kind");
    EXPECT_EQ(log.Events.size(), 1u);
    m.SetCurrentFile(L"/no/such/TRACK.unknown-kind");
    EXPECT_EQ(log.Events.size(), 2u);
}

TEST(PlayerManagerCore, LoadingPostponesTheFirstEventUntilLoaded) {
    TTestManager m;
    EventLog log(m);
    m.BeginLoading();
    m.SetState({csInstalled}, {});
    m.SetState({csLanched}, {});
    EXPECT_TRUE(log.Events.empty());
    EXPECT_TRUE(m.StateChangePending);
    m.Loaded();
    EXPECT_EQ(log.Events, (std::vector<std::string>{"state 0->3"}));
    EXPECT_FALSE(m.StateChangePending);
    m.Loaded();
    EXPECT_EQ(log.Events.size(), 1u);
}

TEST(PlayerManagerCore, StateOnlyKeepsTrackInformation) {
    REQUIRE_PLAYER_FIXTURES();
    RegisterPlayerTestFormat();
    TempFolder dir;
    WriteAll(dir.Path() / "b.ptst", "artist=New\ntitle=New title\n");
    TTestManager m;
    m.Artist = L"Old artist";
    m.Album = L"Old album";
    m.Title = L"Old title";
    ASSERT_TRUE(LoadImageFile(FixtureText("player/folder-images/jpg.jpg"), m.Artwork));
    m.SetStateOnly(true);
    EventLog log(m);
    m.CurrentName = dir.Text("b.ptst");
    m.SetState({csInstalled}, {});
    EXPECT_EQ(log.Events, (std::vector<std::string>{"state 0->1", "state 1->1"}));
    EXPECT_EQ(m.FileName, dir.Text("b.ptst"));
    EXPECT_EQ(m.Artist, L"Old artist");
    EXPECT_EQ(m.Album, L"Old album");
    EXPECT_EQ(m.Title, L"Old title");
    EXPECT_FALSE(m.Artwork.Empty());
    EXPECT_EQ(m.Polls, 0);
}

TEST(PlayerManagerCore, EmptyFileNameClearsArtworkOnce) {
    REQUIRE_PLAYER_FIXTURES();
    TTestManager m;
    m.FileName = L"/somewhere/x.mp3";
    ASSERT_TRUE(LoadImageFile(FixtureText("player/folder-images/jpg.jpg"), m.Artwork));
    m.Artist = L"A";
    EventLog log(m);
    m.SetCurrentFile(L"");
    EXPECT_EQ(log.Events, (std::vector<std::string>{"artwork", "state 0->0"}));
    EXPECT_TRUE(m.Artwork.Empty());
    EXPECT_TRUE(m.Artist.empty());
    // Clearing an artwork that is already empty fires nothing.
    log.Events.clear();
    m.ReloadMediaInformation();
    EXPECT_TRUE(log.Events.empty());
}

// Copies the named folder-image fixtures into a folder under their folder-image names.
void PutFolderImages(const TempFolder& dir, const std::vector<std::string>& kinds) {
    static const std::map<std::string, std::pair<std::string, std::string>> files = {
        {"jpg", {"jpg.jpg", "folder.jpg"}},  {"gpeg", {"gpeg.jpg", "folder.gpeg"}},
        {"bmp", {"bmp.bmp", "folder.bmp"}},  {"gif", {"gif.gif", "folder.gif"}},
        {"tif", {"tif.tif", "folder.tif"}},
    };
    for (const auto& k : kinds) {
        const auto& [source, target] = files.at(k);
        fs::copy_file(FixturePath("player/folder-images/" + source), dir.Path() / target);
    }
}

TEST(PlayerManagerCore, FolderImagesInTheirOrder) {
    REQUIRE_PLAYER_FIXTURES();
    const auto expected = Expected();
    struct Case {
        std::vector<std::string> present;
        std::string winner; // fixture kind, empty for none
    };
    const Case cases[] = {
        {{"bmp", "jpg"}, "jpg"},   {{"gpeg", "bmp", "gif"}, "gpeg"}, {{"bmp", "gif", "tif"}, "bmp"},
        {{"tif", "gif"}, "gif"},   {{"tif"}, "tif"},                 {{}, ""},
    };
    for (const Case& c : cases) {
        TempFolder dir;
        PutFolderImages(dir, c.present);
        Bitmap32 image;
        const bool found = TBasePlayerManager::FindFolderImage(dir.Text("track.mp3"), image);
        SCOPED_TRACE(c.winner);
        ASSERT_EQ(found, !c.winner.empty());
        if (found) {
            const std::string file = c.winner == "gpeg" ? "gpeg.jpg" : c.winner + "." + c.winner;
            EXPECT_EQ(SizeText(image), expected.at("size.folder-images/" + file));
        }
    }
}

TEST(PlayerManagerCore, UndecodableFolderImageIsIgnored) {
    REQUIRE_PLAYER_FIXTURES();
    TempFolder dir;
    WriteAll(dir.Path() / "folder.jpg", "this is no JPEG");
    PutFolderImages(dir, {"bmp"});
    Bitmap32 image;
    image.SetSize(3, 3);
    // Only the first existing name is tried; its failure leaves the bitmap as it was.
    EXPECT_FALSE(TBasePlayerManager::FindFolderImage(dir.Text("t.mp3"), image));
    EXPECT_EQ(SizeText(image), "3x3");
}

TEST(PlayerManagerCore, ArtworkSources) {
    REQUIRE_PLAYER_FIXTURES();
    RegisterPlayerTestFormat();
    const auto expected = Expected();
    const std::string cover = FixturePath("player/folder-images/gpeg.jpg").string();
    struct Case {
        const char* name;
        std::string content;
        bool folderJpg;
        std::string size; // expected artwork size, empty for none
    };
    const Case cases[] = {
        {"embedded picture beats the folder image", "picture=" + cover + "\n", true,
         expected.at("size.folder-images/gpeg.jpg")},
        {"a picture that does not decode hides the folder image", "badpicture=1\n", true, ""},
        {"no picture: folder image", "artist=x\n", true, expected.at("size.folder-images/jpg.jpg")},
        {"no picture, no folder image", "artist=x\n", false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder dir;
        if (c.folderJpg)
            PutFolderImages(dir, {"jpg"});
        WriteAll(dir.Path() / "t.ptst", c.content);
        TTestManager m;
        m.Artwork.SetSize(5, 5); // a previous track's artwork
        EventLog log(m);
        m.SetCurrentFile(dir.Text("t.ptst"));
        EXPECT_EQ(c.size.empty() ? std::string("0x0") : c.size, SizeText(m.Artwork));
        EXPECT_EQ(log.Events.front(), "artwork");
    }
}

TEST(PlayerManagerCore, HelperBlockSuppliesTagsWhenTheFileCannotBeRead) {
    REQUIRE_PLAYER_FIXTURES();
    RegisterPlayerTestFormat();
    helper::THelperBlock block{};
    block.Version = 2;
    helper::WriteField(block.ArtistText, block.ArtistLength, "Block artist");
    helper::WriteField(block.AlbumText, block.AlbumLength, "Block album");
    helper::WriteField(block.TitleText, block.TitleLength, "Block title");
    struct Case {
        const char* name;
        std::string file;  // created in the folder when not "missing"
        uint8_t version;
        bool tagsFromBlock;
    };
    const Case cases[] = {
        {"unregistered extension, version 2", "t.unknownkind", 2, true},
        {"registered extension that fails to open", "missing.ptst", 2, true},
        {"version 1 leaves the tags empty", "t.unknownkind", 1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder dir;
        PutFolderImages(dir, {"gif"});
        if (c.file != "missing.ptst")
            WriteAll(dir.Path() / c.file, "whatever");
        block.Version = c.version;
        TTestManager m;
        m.HelperBlock = &block;
        m.SetCurrentFile(dir.Text(c.file));
        EXPECT_EQ(m.Artist, c.tagsFromBlock ? L"Block artist" : L"");
        EXPECT_EQ(m.Album, c.tagsFromBlock ? L"Block album" : L"");
        EXPECT_EQ(m.Title, c.tagsFromBlock ? L"Block title" : L"");
        EXPECT_EQ(SizeText(m.Artwork), Expected().at("size.folder-images/gif.gif"));
        EXPECT_EQ(m.Polls, 0);
    }
    // Without a block, the texts are empty.
    TTestManager m;
    m.Artist = L"stale";
    m.SetCurrentFile(L"/nowhere/t.unknownkind");
    EXPECT_EQ(m.Artist, L"");
}

TEST(PlayerManagerCore, ReloadGuardPreventsReentryAndSurvivesExceptions) {
    REQUIRE_PLAYER_FIXTURES();
    RegisterPlayerTestFormat();
    TempFolder dir;
    WriteAll(dir.Path() / "c.ptst", "artist=C\n");
    TTestManager m;
    m.FileName = dir.Text("c.ptst");
    int nested = 0;
    m.OnPoll = [&] {
        ++nested;
        m.ReloadMediaInformation(); // returns at once: the guard is set
    };
    m.ReloadMediaInformation();
    EXPECT_EQ(nested, 1);
    EXPECT_EQ(m.Artist, L"C");
    EXPECT_FALSE(m.State.Contains(csReloadingMediaInformation));

    m.OnPoll = [] { throw std::runtime_error("poll failed"); };
    EXPECT_THROW(m.ReloadMediaInformation(), std::runtime_error);
    EXPECT_FALSE(m.State.Contains(csReloadingMediaInformation));
}

TEST(PlayerManagerCore, ID3v1FieldsFillEmptyMP3Slots) {
    REQUIRE_PLAYER_FIXTURES();
    MediaLibraryStart();
    if (!MediaManager()->IsSupportedExtension(L".mp3"))
        GTEST_SKIP() << "no MP3 format registered in this build";
    const auto expected = Expected();
    TTestManager m;
    m.SetCurrentFile(FixtureText("player/nocover/track3.mp3"));
    EXPECT_EQ(WideToUtf8(m.Artist), expected.at("track3.id3v1_artist"));
    EXPECT_EQ(WideToUtf8(m.Album), expected.at("track3.album"));
    EXPECT_EQ(WideToUtf8(m.Title), expected.at("track3.title"));
    EXPECT_EQ(SizeText(m.Artwork), expected.at("size.nocover/folder.jpg"));
    m.SetCurrentFile(FixtureText("player/track1.mp3"));
    EXPECT_EQ(WideToUtf8(m.Artist), expected.at("track1.artist"));
    EXPECT_EQ(SizeText(m.Artwork), expected.at("track1.cover"));
}

TEST(PlayerManagerCore, APollRereadsTheFileAfterATagEditorSavedIt) {
    REQUIRE_PLAYER_FIXTURES();
    MediaLibraryStart();
    if (!MediaManager()->IsSupportedExtension(L".mp3"))
        GTEST_SKIP() << "no MP3 format registered in this build";
    TempFolder folder;
    fs::copy_file(FixturePath("player/track1.mp3"), folder.Path() / "track1.mp3");
    const std::wstring track = folder.Text("track1.mp3");
    TTestManager m;
    m.SetState({csInstalled, csLanched, csPlaying}, {});
    m.SetCurrentFile(track);
    const std::wstring before = m.Title;
    EventLog log(m);
    auto stateEvents = [&] {
        return std::count_if(log.Events.begin(), log.Events.end(),
                             [](const std::string& e) { return e.rfind("state ", 0) == 0; });
    };
    m.ReloadIfFileRewritten();
    EXPECT_TRUE(log.Events.empty()) << "an unchanged file is not read again";

    {
        std::unique_ptr<TBaseMediaFormat> editor = MediaManager()->CreateFormat(L".mp3", false, track);
        ASSERT_TRUE(editor->Open(track, true, 0, false));
        editor->Tags->Title->SetValue(L"Saved Elsewhere");
        ASSERT_TRUE(editor->Post(0)) << editor->LastError;
        editor->Close(0);
    }
    m.ReloadIfFileRewritten();
    EXPECT_EQ(m.Title, L"Saved Elsewhere");
    EXPECT_NE(m.Title, before);
    EXPECT_EQ(stateEvents(), 1) << "reported once, as a file notice";
    const size_t events = log.Events.size();
    m.ReloadIfFileRewritten();
    EXPECT_EQ(log.Events.size(), events);

    // A file that went away keeps what was read; the next track's change is the player's to report.
    fs::remove(folder.Path() / "track1.mp3");
    m.ReloadIfFileRewritten();
    EXPECT_EQ(m.Title, L"Saved Elsewhere");
    EXPECT_EQ(log.Events.size(), events);
}

TEST(PlayerManagerCore, CoversAreDecodedNoLargerThanTheArtworkBox) {
    REQUIRE_PLAYER_FIXTURES();
    MediaLibraryStart();
    if (!MediaManager()->IsSupportedExtension(L".mp3"))
        GTEST_SKIP() << "no MP3 format registered in this build";
    const auto expected = Expected();
    TTestManager m;
    m.SetCurrentFile(FixtureText("player/track1.mp3"));
    EXPECT_EQ(SizeText(m.Artwork), expected.at("track1.cover")) << "no box: the cover's own size";
    // A 64x48 cover for a 32x32 box: 32x24, the same picture.
    m.ArtworkBoxWidth = 32;
    m.ArtworkBoxHeight = 32;
    m.ReloadMediaInformation();
    EXPECT_EQ(SizeText(m.Artwork), "32x24");
}

TEST(PlayerManagerCore, PollIntervalFollowsTheState) {
    TTestManager m;
    struct Case {
        TControlStates state;
        uint32_t interval;
    };
    const Case cases[] = {
        {{}, 3000},
        {{csShuffle, csRepeat}, 3000},
        {{csInstalled}, 1000},
        {{csInstalled, csLanched}, 1000},
        {{csInstalled, csLanched, csPlaying}, 500},
        {{csInstalled, csLanched, csPlaying, csPaused}, 500},
    };
    for (const Case& c : cases) {
        m.State = c.state;
        EXPECT_EQ(m.IntervalForState(), c.interval) << int(c.state.Bits());
    }
}

} // namespace
} // namespace mellodeck::test
