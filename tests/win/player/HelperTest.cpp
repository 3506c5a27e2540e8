// The helper plug-in with the stand-in player: connecting, installing, the shared block, and a whole
// track change followed through the helper's notices.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>

#include "StandinCommands.h"
#include "StandinSession.h"
#include "media/core/MediaManager.h"
#include "common/TextConvert.h"
#include "player/HelperProtocol.h"
#include "player/win/WinAmpManager.h"

namespace mellodeck::test {
namespace {

namespace fs = std::filesystem;

// Makes a folder the current one for the test, so that loading the helper by name searches it.
class CurrentFolder {
public:
    explicit CurrentFolder(const fs::path& dir) {
        wchar_t old[MAX_PATH * 4];
        GetCurrentDirectoryW(MAX_PATH * 4, old);
        FOld = old;
        SetCurrentDirectoryW(dir.wstring().c_str());
    }
    ~CurrentFolder() { SetCurrentDirectoryW(FOld.c_str()); }

private:
    std::wstring FOld;
};

std::vector<std::wstring> TwoFiles(const StandinSession& s) {
    std::vector<std::wstring> files = {s.Root.Text("one.track"), s.Root.Text("two.track")};
    for (const auto& f : files)
        WriteAll(fs::path(f), "x");
    return files;
}

TEST(WinAmpHelper, PresentHelperConnectsAtOnce) {
    StandinSession s(true);
    s.RegisterPlayer();
    const auto files = TwoFiles(s);
    s.Start({files[0], files[1]});
    ASSERT_EQ(s.CountLog("plugin gen_Pelorix.dll init 0"), 1);
    TWinAmpManager m;
    const ULONGLONG started = GetTickCount64();
    m.SetActive(true);
    EXPECT_LT(GetTickCount64() - started, 2000u) << "no waiting when the helper's events exist";
    EXPECT_EQ(m.HelperError, 0);
    EXPECT_TRUE(m.HelperFileEvent);
    EXPECT_TRUE(m.HelperTagsEvent);
    ASSERT_NE(m.HelperBlock, nullptr);
    EXPECT_EQ(GetModuleHandleW(player::kHelperFileName), nullptr) << "no library loaded into the manager's process";
    EXPECT_EQ(m.GetHelperVersion(), helper::kHelperVersion);
    EXPECT_EQ(m.HelperBlock->Version, helper::kBlockVersion);
    // The helper published the file that plays; the manager took it on attaching.
    EXPECT_EQ(m.FileName, files[0]);

    // The manager's texts reach the block and the helper hears of them.
    m.SendHelperStrings(L"first text", std::wstring(1500, L'b'));
    EXPECT_EQ(helper::ReadField(m.HelperBlock->TextA, helper::GetLength(m.HelperBlock->TextALength), false),
              "first text");
    EXPECT_EQ(helper::GetLength(m.HelperBlock->TextBLength), 1024);
}

TEST(WinAmpHelper, NoHelperAnywhere) {
    StandinSession s;
    s.RegisterPlayer();
    s.Start({L"/noplay"});
    CurrentFolder here(s.Root.Path());
    TWinAmpManager m;
    m.SetActive(true);
    ASSERT_TRUE(m.State.Contains(csLanched));
    EXPECT_EQ(m.HelperError, kHelperNotLoaded);
    EXPECT_FALSE(m.HelperFileEvent);
    // The block is there all the same (empty: no current file).
    ASSERT_NE(m.HelperBlock, nullptr);
    EXPECT_EQ(m.FileName, L"");
    EXPECT_EQ(m.GetHelperVersion(), 0) << "a player without the helper answers 0";
}

TEST(WinAmpHelper, LibraryWithoutInstallEntry) {
    StandinSession s;
    s.RegisterPlayer();
    s.Start({L"/noplay"});
    fs::copy_file(BuildTreePath(MELLODECK_NOINSTALL_HELPER_DLL), s.Root.Path() / "gen_Pelorix.dll");
    CurrentFolder here(s.Root.Path());
    TWinAmpManager m;
    m.SetActive(true);
    EXPECT_EQ(m.HelperError, kHelperNoInstallExport);
    EXPECT_EQ(GetModuleHandleW(player::kHelperFileName), nullptr) << "the library is unloaded again";
}

TEST(WinAmpHelper, InstallPluginRestartsThePlayerWithTheHelper) {
    StandinSession s;
    s.RegisterPlayer();
    const auto files = TwoFiles(s);
    const DWORD firstPid = s.Start({files[0], files[1]});
    fs::copy_file(BuildTreePath(MELLODECK_HELPER_DLL), s.Root.Path() / "gen_Pelorix.dll");
    CurrentFolder here(s.Root.Path());
    TWinAmpManager m;
    m.SetActive(true);
    EXPECT_EQ(m.HelperError, 0);
    EXPECT_TRUE(m.HelperFileEvent);
    EXPECT_TRUE(fs::exists(fs::path(s.PluginsFolder()) / "gen_Pelorix.dll"));
    EXPECT_EQ(s.CountLog("restarted as"), 1);
    EXPECT_EQ(s.CountLog("plugin gen_Pelorix.dll init 0"), 1);
    ASSERT_TRUE(PumpUntil([&] { return m.WaitThread && m.FileName == files[0]; }));
    EXPECT_NE(m.PlayerProcessId, firstPid) << "attached to the restarted player";
    EXPECT_EQ(m.GetHelperVersion(), helper::kHelperVersion);
}

// The block as another process sees it: writes by "the helper" through a view of the same mapping.
class BlockWriter {
public:
    BlockWriter() {
        FMapping = OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, helper::kBlockName);
        if (FMapping)
            FBlock = static_cast<helper::THelperBlock*>(MapViewOfFile(FMapping, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    }
    ~BlockWriter() {
        if (FBlock)
            UnmapViewOfFile(FBlock);
        if (FMapping)
            CloseHandle(FMapping);
    }
    helper::THelperBlock* operator->() { return FBlock; }
    explicit operator bool() const { return FBlock != nullptr; }

private:
    HANDLE FMapping = nullptr;
    helper::THelperBlock* FBlock = nullptr;
};

TEST(WinAmpHelper, BlockReadsStayInsideTheirFields) {
    StandinSession s;
    s.RegisterPlayer();
    s.Start({L"/noplay"});
    CurrentFolder here(s.Root.Path());
    TWinAmpManager m;
    m.SetActive(true);
    ASSERT_NE(m.HelperBlock, nullptr);
    BlockWriter b;
    ASSERT_TRUE(b);

    std::wstring name;
    std::memset(b->FileName, 'n', helper::kFileNameSize);
    std::memset(b->TextALength, 'X', 2);
    helper::SetLength(b->FileNameLength, 1024);
    m.GetCurrentFileName(name);
    EXPECT_EQ(name, std::wstring(1024, L'n'));
    helper::SetLength(b->FileNameLength, 1025);
    m.GetCurrentFileName(name);
    EXPECT_EQ(name, L"");
    helper::SetLength(b->FileNameLength, 0);
    m.GetCurrentFileName(name);
    EXPECT_EQ(name, L"");

    // A file the tag library cannot read: the tags come from the block, from version 2 on.
    const std::string file = WideToAnsi(s.Root.Text("song.unknownkind"));
    helper::WriteField(b->FileName, b->FileNameLength, file);
    helper::WriteField(b->ArtistText, b->ArtistLength, "Block artist");
    helper::WriteField(b->AlbumText, b->AlbumLength, "Block album");
    std::memset(b->TitleText, 't', helper::kTagSize);
    helper::SetLength(b->TitleLength, 0xFFFF);
    b->Version = 1;
    PostMessageW(m.NotifyWindow, WM_PLAYER_FILE, 0, 0);
    ASSERT_TRUE(PumpUntil([&] { return m.FileName == AnsiToWide(file); }));
    EXPECT_EQ(m.Artist, L"");
    EXPECT_EQ(m.Title, L"");
    b->Version = 2;
    std::vector<std::string> events;
    m.OnStateChanged = [&](TBasePlayerManager*, TControlStates p, TControlStates c) {
        events.push_back(p == c ? "refresh" : "change");
    };
    PostMessageW(m.NotifyWindow, WM_PLAYER_TAGS, 0, 0);
    ASSERT_TRUE(PumpUntil([&] { return !events.empty(); }));
    EXPECT_EQ(m.Artist, L"Block artist");
    EXPECT_EQ(m.Album, L"Block album");
    EXPECT_EQ(m.Title, std::wstring(64, L't'));
    // The same file again: a refresh event, no reload.
    m.Artist = L"kept";
    events.clear();
    PostMessageW(m.NotifyWindow, WM_PLAYER_FILE, 0, 0);
    ASSERT_TRUE(PumpUntil([&] { return !events.empty(); }));
    EXPECT_EQ(events, (std::vector<std::string>{"refresh"}));
    EXPECT_EQ(m.Artist, L"kept");
}

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

TEST(WinAmpEndToEnd, FileChangesThroughTheHelperNotices) {
    if (!HaveFixture("player/expected.txt"))
        GTEST_SKIP() << "player fixtures missing: run tests/fixtures/make-player.sh";
    auto expected = Expected();
    StandinSession s(true, {L"/length", L"100"});
    s.RegisterPlayer();
    // Files of a kind the tag library does not read, each in a folder with its own folder image.
    const char* kinds[] = {"jpg", "bmp", "gif"};
    std::vector<std::wstring> tracks;
    for (const char* kind : kinds) {
        const fs::path dir = s.Root.Path() / kind;
        fs::create_directories(dir);
        const std::string source = std::string(kind) + "." + kind;
        fs::copy_file(FixturePath("player/folder-images/" + source), dir / ("folder." + std::string(kind)));
        WriteAll(dir / "song.track", "x");
        tracks.push_back((dir / "song.track").wstring());
    }
    s.Start({tracks[0], tracks[1], tracks[2]});
    TWinAmpManager m;
    std::vector<std::string> events;
    m.OnStateChanged = [&](TBasePlayerManager*, TControlStates p, TControlStates c) {
        events.push_back("state " + std::to_string(p.Bits()) + "->" + std::to_string(c.Bits()));
    };
    m.OnArtworkChanged = [&](TBasePlayerManager*) { events.push_back("artwork"); };
    m.SetActive(true);
    ASSERT_EQ(m.HelperError, 0);
    ASSERT_EQ(m.FileName, tracks[0]);
    EXPECT_EQ(SizeText(m.Artwork), expected["size.folder-images/jpg.jpg"]);

    m.RestartTimer(false); // no polls: only the helper's notices bring the new file
    // The helper signalled the first file before the manager waited on its event: that notice arrives as
    // a refresh once the wait thread runs.
    const std::string same = std::to_string(m.State.Bits());
    events.clear();
    ASSERT_TRUE(PumpUntil([&] { return !events.empty(); }));
    EXPECT_EQ(events, (std::vector<std::string>{"state " + same + "->" + same}));
    for (int i = 1; i < 3; ++i) {
        SCOPED_TRACE(i);
        events.clear();
        m.Next();
        ASSERT_TRUE(PumpUntil([&] { return m.FileName == tracks[i] && events.size() >= 2; }));
        EXPECT_EQ(events, (std::vector<std::string>{"artwork", "state " + same + "->" + same}));
        const std::string kind = kinds[i];
        EXPECT_EQ(SizeText(m.Artwork), expected["size.folder-images/" + kind + "." + kind]);
        EXPECT_EQ(helper::ReadFileName(*m.HelperBlock), WideToAnsi(tracks[i]));
    }
    EXPECT_FALSE(m.TimerArmed);
}

TEST(WinAmpEndToEnd, TrackChangesThroughTheHelper) {
    if (!HaveFixture("player/expected.txt"))
        GTEST_SKIP() << "player fixtures missing: run tests/fixtures/make-player.sh";
    MediaLibraryStart();
    if (!MediaManager()->IsSupportedExtension(L".mp3"))
        GTEST_SKIP() << "no MP3 format registered in this build";
    auto expected = Expected();
    StandinSession s(true, {L"/length", L"100"});
    s.RegisterPlayer();
    // Copies in the session's folder: the last one is rewritten below.
    fs::create_directories(s.Root.Path() / "nocover");
    for (const char* f : {"track1.mp3", "track2.mp3", "nocover/track3.mp3", "nocover/folder.jpg"})
        fs::copy_file(FixturePath(std::string("player/") + f), s.Root.Path() / fs::path(f).make_preferred());
    const std::vector<std::wstring> tracks = {s.Root.Text("track1.mp3"), s.Root.Text("track2.mp3"),
                                              s.Root.Text("nocover\\track3.mp3")};
    s.Start({tracks[0], tracks[1], tracks[2]});
    TWinAmpManager m;
    std::vector<std::string> events;
    m.OnStateChanged = [&](TBasePlayerManager*, TControlStates p, TControlStates c) {
        events.push_back("state " + std::to_string(p.Bits()) + "->" + std::to_string(c.Bits()));
    };
    m.OnArtworkChanged = [&](TBasePlayerManager*) { events.push_back("artwork"); };
    m.SetActive(true);
    ASSERT_EQ(m.HelperError, 0);
    ASSERT_EQ(m.FileName, tracks[0]);
    EXPECT_EQ(WideToUtf8(m.Artist), expected["track1.artist"]);
    EXPECT_EQ(WideToUtf8(m.Album), expected["track1.album"]);
    EXPECT_EQ(WideToUtf8(m.Title), expected["track1.title"]);
    EXPECT_EQ(SizeText(m.Artwork), expected["track1.cover"]);

    // From here on only the helper's notices can tell the manager of a new file: no polls. The notice of
    // the first file (signalled before the manager waited) arrives as a refresh first.
    m.RestartTimer(false);
    const uint8_t state = m.State.Bits();
    events.clear();
    ASSERT_TRUE(PumpUntil([&] { return !events.empty(); }));
    EXPECT_EQ(events, (std::vector<std::string>{"state " + std::to_string(state) + "->" + std::to_string(state)}));
    const std::vector<std::string> trackChange = {"artwork", "state " + std::to_string(state) + "->" +
                                                                 std::to_string(state)};
    struct Step {
        std::string key;
        std::string artwork;
    };
    const Step steps[] = {{"track2", expected["track2.cover"]},
                          {"track3", expected["size.nocover/folder.jpg"]}};
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(steps[i].key);
        events.clear();
        m.Next();
        ASSERT_TRUE(PumpUntil([&] { return m.FileName == tracks[i + 1] && events.size() >= 2; }));
        EXPECT_EQ(events, trackChange);
        const std::string& k = steps[i].key;
        // track3's artist is only in its ID3v1 tag.
        const std::string artist = k == "track3" ? expected["track3.id3v1_artist"] : expected[k + ".artist"];
        EXPECT_EQ(WideToUtf8(m.Artist), artist);
        EXPECT_EQ(WideToUtf8(m.Album), expected[k + ".album"]);
        EXPECT_EQ(WideToUtf8(m.Title), expected[k + ".title"]);
        EXPECT_EQ(SizeText(m.Artwork), steps[i].artwork);
        // The helper published what the player knows of the file.
        helper::TBlockTags tags;
        ASSERT_TRUE(helper::ReadTags(*m.HelperBlock, tags));
        EXPECT_EQ(tags.Album, expected[k + ".album"]);
        EXPECT_EQ(tags.Title, expected[k + ".title"]);
    }

    // The playing file's tags change and the player says so: the helper's tags notice reloads them.
    ASSERT_TRUE(CopyFileW(tracks[0].c_str(), tracks[2].c_str(), FALSE));
    events.clear();
    SendMessageW(m.FindPlayerWindow(), WM_COMMAND, standin::kCommandInfoChanged, 0);
    ASSERT_TRUE(PumpUntil([&] { return events.size() >= 2; }));
    EXPECT_EQ(events, trackChange);
    EXPECT_EQ(m.FileName, tracks[2]);
    EXPECT_EQ(WideToUtf8(m.Artist), expected["track1.artist"]);
    EXPECT_EQ(WideToUtf8(m.Title), expected["track1.title"]);
    EXPECT_EQ(SizeText(m.Artwork), expected["track1.cover"]);
    EXPECT_FALSE(m.TimerArmed);
}

} // namespace
} // namespace mellodeck::test
