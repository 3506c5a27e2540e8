// Saving MP3 tags: in place and through a temporary file, padding, removing tags, the written frame
// texts, and failures injected at every write and every file operation.
#include <gtest/gtest.h>

#include <filesystem>

#include "Mp3TestSupport.h"
#include "media/core/SafeSave.h"
#include "media/id3/FrameText.h"

using namespace mellodeck;
using namespace mellodeck::test;
namespace fs = std::filesystem;

namespace {

// What our reader sees of a file, comparable before and after a save.
struct TSnapshot {
    std::map<std::string, std::wstring> Slots;
    std::vector<std::string> Pictures; // mime|type|description|bytes
    std::wstring V1;
    bool operator==(const TSnapshot&) const = default;
};

TSnapshot Snapshot(const TMP3MediaFormat& f) {
    TSnapshot s;
    for (const auto& slot : TCommonMediaTags::StringSlots())
        s.Slots[slot.Name] = (f.Tags.get()->*slot.Member)->Value;
    for (const auto& item : f.Tags->Pictures->Items)
        s.Pictures.push_back(item->MIMEType + "|" + std::to_string(item->PictureType) + "|" + item->Description + "|" +
                             std::to_string(item->DataSize()));
    const TID3v1Tag& v = *f.ID3v1;
    s.V1 = v.Title() + L"|" + v.Artist() + L"|" + v.Album() + L"|" + Utf8ToWide(v.Year()) + L"|" + v.Comment() +
           L"|" + std::to_wstring(v.Track()) + L"|" + std::to_wstring(v.Genre());
    return s;
}

class MP3SaveTest : public ::testing::Test {
protected:
    void SetUp() override { MediaLibraryStart(); }
    // A private copy of a fixture.
    std::wstring Copy(const std::string& fixture, const std::string& name = "") {
        const std::string target = name.empty() ? fixture : name;
        // (MinGW's copy_file does not overwrite.)
        WriteAll(Dir.Path() / target, ReadAll(FixturePath("mp3/" + fixture)));
        return Dir.Text(target);
    }
    std::string Read(const std::string& name) { return ReadAll(Dir.Path() / name); }
    // Files a save leaves beside the original (temporary and backup names end in ".~...").
    std::vector<std::string> StrayFiles() {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(Dir.Path()))
            if (entry.path().filename().string().find(".~") != std::string::npos)
                names.push_back(entry.path().filename().string());
        return names;
    }
    TempFolder Dir;
};

// Declared size of the ID3v2 tag at the start of the bytes.
uint32_t DeclaredTagSize(const std::string& bytes) {
    return ReadSyncSafe(reinterpret_cast<const uint8_t*>(bytes.data()) + 6);
}

} // namespace

TEST_F(MP3SaveTest, RoundTripsKeepEveryOtherTagAndMutagenReadsTheSame) {
    REQUIRE_MP3_FIXTURES();
    // Titles of different length: the short one fits in place, the long one makes the tag grow.
    for (const std::string fixture : {"v23-full.mp3", "v24-utf8.mp3", "v22.mp3", "unsync23.mp3", "unsync24.mp3", "v11.mp3"}) {
        for (const std::wstring& title : {std::wstring(L"Neu \u00E4"), std::wstring(3000, L'\u6771')}) {
            SCOPED_TRACE(fixture + (title.size() > 100 ? " (grows)" : " (fits)"));
            const std::wstring name = Copy(fixture);
            const std::string before = Read(fixture);
            TSnapshot expected;
            {
                TOpened original(name);
                ASSERT_TRUE(original.Ok);
                expected = Snapshot(original.Format);
            }
            TMP3MediaFormat f;
            ASSERT_TRUE(f.Open(name, true, 0, false));
            const int64_t audioStart = f.MPEGProperties->FirstFrameOffset;
            f.Tags->Title->SetValue(title);
            ASSERT_TRUE(f.Post(0)) << f.LastError;
            EXPECT_EQ(StrayFiles(), std::vector<std::string>{}) << "no temporary or backup file is left";

            const std::string after = Read(fixture);
            EXPECT_EQ(after.substr(0, 6), std::string("ID3\x03\x00\x00", 6)) << "written as ID3v2.3";
            const bool grew = title.size() > 100;
            if (!grew) {
                EXPECT_EQ(after.size(), before.size()) << "rewritten in place";
            }
            const size_t newStart = 10 + DeclaredTagSize(after);
            EXPECT_EQ(after.substr(newStart), before.substr(static_cast<size_t>(audioStart))) << "audio unchanged";

            expected.Slots["Title"] = title;
            for (auto& p : expected.Pictures) // ID3v2.2 image formats are saved as MIME types
                if (p.rfind("image/", 0) != 0)
                    p.clear();
            TOpened reread(name);
            ASSERT_TRUE(reread.Ok);
            TSnapshot actual = Snapshot(reread.Format);
            for (size_t i = 0; i < expected.Pictures.size() && i < actual.Pictures.size(); ++i)
                if (expected.Pictures[i].empty())
                    actual.Pictures[i].clear();
            EXPECT_EQ(actual, expected);

            TExpected facts;
            if (MutagenRead(Dir.Path() / fixture, facts)) {
                EXPECT_EQ(facts.Get(fixture, "id3.version"), "2.3");
                EXPECT_EQ(facts.Wide(fixture, "tag.Title"), title);
                ExpectTagsAsMutagen(reread.Format, facts, fixture);
                ExpectPicturesAsMutagen(reread.Format, facts, fixture);
                ExpectID3v1AsMutagen(reread.Format, facts, fixture);
                EXPECT_EQ(facts.Get(fixture, "unknown_frames"), TExpected::Fixtures().Get(fixture, "unknown_frames"))
                    << "frames this library does not know are carried over";
            }
        }
    }
}

TEST_F(MP3SaveTest, PaddingOfNewAndGrowingTags) {
    REQUIRE_MP3_FIXTURES();
    const struct {
        size_t FrameBytes;
        uint32_t Padding;
    } cases[] = {{100, 128}, {1000, 500}, {30000, 8192}};
    for (const auto& c : cases) {
        const std::wstring name = Copy("cbr128-short.mp3", "pad.mp3");
        TMP3MediaFormat f;
        ASSERT_TRUE(f.Open(name, true, 0, false));
        // A TIT2 frame: 10 header bytes, the encoding byte, the text.
        f.Tags->Title->SetValue(std::wstring(c.FrameBytes - 11, L'x'));
        ASSERT_TRUE(f.Post(0));
        const std::string bytes = Read("pad.mp3");
        EXPECT_EQ(DeclaredTagSize(bytes), c.FrameBytes + c.Padding) << c.FrameBytes;
        EXPECT_EQ(static_cast<uint8_t>(bytes[10 + c.FrameBytes + c.Padding]), 0xFF) << "audio follows the padding";
    }
}

TEST_F(MP3SaveTest, RemovingTheID3v2TagPutsTheAudioAtTheStart) {
    REQUIRE_MP3_FIXTURES();
    const std::wstring name = Copy("v23-full.mp3");
    TMP3MediaFormat f;
    ASSERT_TRUE(f.Open(name, true, 0, false));
    f.TagsToWrite = tkID3v1;
    ASSERT_TRUE(f.Post(0));
    const std::string bytes = Read("v23-full.mp3");
    EXPECT_EQ(static_cast<uint8_t>(bytes[0]), 0xFF);
    EXPECT_EQ(bytes.substr(bytes.size() - 128, 3), "TAG");
    {
        TOpened reread(name);
        ASSERT_TRUE(reread.Ok);
        EXPECT_EQ(reread.Format.TagsFound, tkID3v1);
        EXPECT_EQ(reread.Format.MPEGProperties->AudioStart, 0);
        EXPECT_EQ(reread.Format.Tags->Title->Value, L"");
        EXPECT_EQ(reread.Format.ID3v1->Track(), 3);
    }

    // And removing the ID3v1 tag too leaves only the audio.
    TMP3MediaFormat g;
    ASSERT_TRUE(g.Open(name, true, 0, false));
    g.TagsToWrite = 0;
    ASSERT_TRUE(g.Post(0));
    EXPECT_EQ(Read("v23-full.mp3").size(), bytes.size() - 128);
}

TEST_F(MP3SaveTest, WrittenFrameTexts) {
    REQUIRE_MP3_FIXTURES();
    const std::wstring name = Copy("v23-full.mp3");
    TMP3MediaFormat f;
    ASSERT_TRUE(f.Open(name, true, 0, false));
    f.Tags->Genre->SetValue(L"rock");
    f.Tags->Comment->SetValue(L"   ");
    f.Tags->Publisher->SetValue(L"Pub");
    f.Tags->URL->SetValue(L"http://x.org/\u00E9");
    ASSERT_TRUE(f.Post(0));
    const std::string bytes = Read("v23-full.mp3");
    const std::string tag = bytes.substr(0, 10 + DeclaredTagSize(bytes));
    EXPECT_NE(tag.find(std::string("TCON\0\0\0\x09\0\0\0(17)rock", 19)), std::string::npos) << "genre with its number";
    EXPECT_EQ(tag.find("COMM"), std::string::npos) << "a blank comment writes no frame";
    EXPECT_NE(tag.find(std::string("TPUB\0\0\0\x04\0\0\0Pub", 14)), std::string::npos) << "a plain text frame";
    EXPECT_NE(tag.find("http://x.org/\xE9"), std::string::npos) << "the URL in 8-bit text";

    TOpened reread(name);
    EXPECT_EQ(reread.Format.Tags->Genre->Value, L"rock");
    EXPECT_FALSE(reread.Format.Tags->Comment->Exists);
    EXPECT_EQ(reread.Format.Tags->URL->Value, L"http://x.org/\u00E9");
    TExpected facts;
    if (MutagenRead(Dir.Path() / "v23-full.mp3", facts)) {
        EXPECT_EQ(facts.Get("v23-full.mp3", "tag.GenreText"), "(17)rock");
        EXPECT_EQ(facts.Get("v23-full.mp3", "tag.Publisher"), "Pub");
        EXPECT_EQ(facts.Wide("v23-full.mp3", "tag.URL"), L"http://x.org/\u00E9");
        EXPECT_FALSE(facts.Has("v23-full.mp3", "tag.Comment"));
    }
}

TEST_F(MP3SaveTest, ID3v1AloneIsRewrittenInPlace) {
    REQUIRE_MP3_FIXTURES();
    const std::wstring name = Copy("id3v1-only.mp3");
    const std::string before = Read("id3v1-only.mp3");
    TMP3MediaFormat f;
    ASSERT_TRUE(f.Open(name, true, 0, false));
    EXPECT_TRUE(f.Post(0)) << "nothing modified: nothing to do";
    EXPECT_EQ(Read("id3v1-only.mp3"), before);

    ASSERT_TRUE(f.Open(name, true, 0, false));
    f.ID3v1->SetTitle(L"New title");
    EXPECT_TRUE(f.GetModified());
    ASSERT_TRUE(f.Post(0));
    const std::string after = Read("id3v1-only.mp3");
    ASSERT_EQ(after.size(), before.size());
    EXPECT_EQ(after.substr(0, after.size() - 128), before.substr(0, before.size() - 128));
    EXPECT_EQ(after.substr(after.size() - 125, 9), "New title");
    EXPECT_EQ(f.ID3v1->Title(), L"New title") << "re-read after the save";
    EXPECT_EQ(f.TagsFound, tkID3v1);
}

TEST_F(MP3SaveTest, APictureGivenAsABitmapIsWrittenAsJpeg) {
    REQUIRE_MP3_FIXTURES();
    const std::wstring name = Copy("cbr128-short.mp3");
    TMP3MediaFormat f;
    ASSERT_TRUE(f.Open(name, true, 0, false));
    Bitmap32 picture(12, 8);
    picture.Fill(0xFF80C040);
    TPictureItem* item = f.Tags->Pictures->Add();
    item->PictureType = 3;
    item->SetBitmap(picture);
    ASSERT_TRUE(f.Post(0));
    ASSERT_EQ(f.Tags->Pictures->Count(), 1);
    EXPECT_EQ(f.Tags->Pictures->Item(0)->MIMEType, "image/jpg");
    ASSERT_NE(GetArtwork(&f), nullptr);
    EXPECT_EQ(GetArtwork(&f)->Width(), 12);
    TExpected facts;
    if (MutagenRead(Dir.Path() / "cbr128-short.mp3", facts)) {
        EXPECT_EQ(facts.Get("cbr128-short.mp3", "picture.0.width"), "12");
    }
}

// Failures injected at each write and at each file operation of every save path leave the file as it
// was, with no stray files beside it; once nothing fails, the save goes through.
TEST_F(MP3SaveTest, AnyFailureLeavesTheOriginalUntouched) {
    REQUIRE_MP3_FIXTURES();
    struct Path {
        const char* Name;
        const char* Fixture;
        std::function<void(TMP3MediaFormat&)> Edit;
        std::vector<std::string> Steps;
    };
    const std::vector<Path> paths = {
        {"in place", "v23-full.mp3", [](TMP3MediaFormat& f) { f.Tags->Title->SetValue(L"T"); },
         {"open-for-writing", "flush"}},
        {"in place, dropping ID3v1", "v23-full.mp3",
         [](TMP3MediaFormat& f) {
             f.Tags->Title->SetValue(L"T");
             f.TagsToWrite = tkID3v2;
         },
         {"open-for-writing", "truncate", "flush"}},
        {"in place, ID3v1 only", "id3v1-only.mp3", [](TMP3MediaFormat& f) { f.ID3v1->SetArtist(L"A"); },
         {"open-for-writing", "flush"}},
        {"temporary file, growing", "v23-full.mp3",
         [](TMP3MediaFormat& f) { f.Tags->Comment->SetValue(std::wstring(5000, L'c')); },
         {"create-temporary", "flush", "rename-original", "rename-temporary"}},
        {"temporary file, new tag", "cbr128-short.mp3", [](TMP3MediaFormat& f) { f.Tags->Artist->SetValue(L"A"); },
         {"create-temporary", "flush", "rename-original", "rename-temporary"}},
        {"temporary file, removing ID3v2", "v11.mp3", [](TMP3MediaFormat& f) { f.TagsToWrite = tkID3v1; },
         {"create-temporary", "flush", "rename-original", "rename-temporary"}},
    };
    for (const Path& path : paths) {
        SCOPED_TRACE(path.Name);
        const std::string original = ReadAll(FixturePath(std::string("mp3/") + path.Fixture));
        // A failure at the Nth write (and every later one, as on a full disk) or at one named step.
        struct Faults {
            int FailWrite = 0;
            std::string FailStep;
        };
        auto attempt = [&](const Faults& faults) {
            const std::wstring name = Copy(path.Fixture);
            TMP3MediaFormat f;
            EXPECT_TRUE(f.Open(name, true, 0, false));
            path.Edit(f);
            int writes = 0;
            SetSaveFaultHook([&](const char* step) -> uint32_t {
                const bool fails = step == faults.FailStep ||
                                   (std::string(step) == "write" && faults.FailWrite > 0 && ++writes >= faults.FailWrite);
                return fails ? oserr::kDiskFull : 0;
            });
            const bool saved = f.Post(0);
            SetSaveFaultHook(nullptr);
            if (!saved) {
                EXPECT_NE(f.PostResult, 0);
                EXPECT_EQ(Read(path.Fixture), original) << "write " << faults.FailWrite << " step " << faults.FailStep;
                EXPECT_EQ(StrayFiles(), std::vector<std::string>{});
            }
            return saved;
        };
        int writes = 1;
        while (writes < 100 && !attempt({writes, ""}))
            ++writes;
        EXPECT_GT(writes, 1) << "the first write was made to fail";
        EXPECT_LT(writes, 100) << "the save went through once no write failed";
        for (const std::string& step : path.Steps)
            EXPECT_FALSE(attempt({0, step})) << step;
        EXPECT_TRUE(attempt({})) << "and without faults it saves";
        EXPECT_NE(Read(path.Fixture), original);
    }
}

TEST_F(MP3SaveTest, EditsToAKindOfTagTheFileLacksAreWritten) {
    REQUIRE_MP3_FIXTURES();
    const std::wstring name = Copy("cbr128-short.mp3");
    TMP3MediaFormat f;
    ASSERT_TRUE(f.Open(name, true, 0, false));
    EXPECT_EQ(f.TagsToWrite, 0);
    f.ID3v1->SetTitle(L"v1 only");
    ASSERT_TRUE(f.Post(0));
    EXPECT_EQ(f.TagsFound, tkID3v1) << "no ID3v2 tag is made for an ID3v1 edit";
    EXPECT_EQ(f.ID3v1->Title(), L"v1 only");
    EXPECT_EQ(Read("cbr128-short.mp3").size(), fs::file_size(FixturePath("mp3/cbr128-short.mp3")) + 128);
}
