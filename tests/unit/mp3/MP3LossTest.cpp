// Files from common taggers that earlier saves damaged or reads misread: several comments, pictures
// that do not decode, the 2.4 recording time, several values of one field, UTF-8 under a 2.3 header,
// frames beyond 4 MiB, zlib frames and plain sizes in a 2.4 tag. Every save is re-read by mutagen,
// which must find every frame and picture of the original, changed only where the program changed it.
#include <gtest/gtest.h>

#include "MutagenDump.h"
#include "Mp3TestSupport.h"
#include "media/id3/FrameText.h"

using namespace mellodeck;
using namespace mellodeck::test;

namespace {

class MP3LossTest : public ::testing::Test {
protected:
    void SetUp() override {
        MediaLibraryStart();
        if (!HaveFixture("losses/comments.mp3"))
            GTEST_SKIP() << "loss fixtures not generated: tests/fixtures/make-losses.sh build/fixtures";
    }
    std::wstring Copy(const std::string& name) {
        WriteAll(Dir.Path() / name, ReadAll(FixturePath("losses/" + name)));
        return Dir.Text(name);
    }
    // Opens a copy for writing, lets `edit` change it, saves; the result of Post.
    template <class Edit> bool Save(const std::wstring& file, Edit edit) {
        TMP3MediaFormat f;
        EXPECT_TRUE(f.Open(file, true, 0, false));
        edit(f);
        const bool saved = f.Post(0);
        EXPECT_EQ(f.LastError, 0u);
        return saved;
    }
    // What mutagen reads from the saved copy equals what it read from the fixture, apart from the lines
    // of `changed` (frame keys), which must read `expected`.
    void ExpectKeptBut(const std::string& name, const std::set<std::string>& changed,
                       const std::vector<std::string>& expected) {
        if (!CanRunMutagen())
            return;
        const auto after = MutagenDump(Dir.Path() / name);
        EXPECT_EQ(Without(after, changed), Without(RecordedDump("losses/" + name), changed));
        std::vector<std::string> got;
        for (const auto& line : after)
            if (Without({line}, changed).empty())
                got.push_back(line);
        EXPECT_EQ(got, expected);
    }
    TempFolder Dir;
};

} // namespace

TEST_F(MP3LossTest, SeveralCommentsLyricsAndLinksAllSurvive) {
    const std::wstring file = Copy("comments.mp3");
    {
        TOpened f(file);
        ASSERT_TRUE(f.Ok);
        // The first comment without description, not the player's bookkeeping ones before it.
        EXPECT_EQ(f.Format.Tags->Comment->Value, L"The user's comment \u2713");
        EXPECT_EQ(std::string(static_cast<TMP3CommentTag*>(f.Format.Tags->Comment)->Language, 3), "eng");
        EXPECT_EQ(f.Format.Tags->Lyrics->Value, L"First lyrics");
        EXPECT_EQ(f.Format.Tags->URL->Value, L"http://example.org/home");
    }
    ASSERT_TRUE(Save(file, [](TMP3MediaFormat& f) { f.Tags->Title->SetValue(L"Changed"); }));
    ExpectKeptBut("comments.mp3", {"frame\tTIT2\t"}, {"frame\tTIT2\tChanged"});
    // Changing the comment shown changes that one only.
    ASSERT_TRUE(Save(file, [](TMP3MediaFormat& f) { f.Tags->Comment->SetValue(L"New comment"); }));
    ExpectKeptBut("comments.mp3", {"frame\tTIT2\t", "frame\tCOMM::eng\t"},
                  {"frame\tCOMM::eng\tNew comment", "frame\tTIT2\tChanged"});

    // Only bookkeeping comments: the first of them is shown rather than nothing.
    const auto itun = Frame23("COMM", Text(std::string("\0engiTunNORM\0 0A", 16)));
    WriteAll(Dir.Path() / "itun.mp3", AsString(Cat({ID3v2Tag(3, 0, itun), CbrFrames(4)})));
    TOpened g(Dir.Text("itun.mp3"));
    ASSERT_TRUE(g.Ok);
    EXPECT_EQ(g.Format.Tags->Comment->Value, L" 0A");
}

TEST_F(MP3LossTest, APictureThatDoesNotDecodeHidesNothingAndIsKept) {
    for (const auto& [name, width] : {std::pair<std::string, int>{"pictures.mp3", 96}, {"pictures-first-bad.mp3", 40}}) {
        SCOPED_TRACE(name);
        const std::wstring file = Copy(name);
        {
            TOpened f(file);
            ASSERT_TRUE(f.Ok);
            ASSERT_EQ(f.Format.Tags->Pictures->Count(), 2);
            ASSERT_TRUE(HasArtwork(&f.Format)) << "the artwork is the first picture that decodes";
            EXPECT_EQ(GetArtwork(&f.Format)->Width(), width);
        }
        ASSERT_TRUE(Save(file, [](TMP3MediaFormat& f) { f.Tags->Title->SetValue(L"Changed"); }));
        ExpectKeptBut(name, {"frame\tTIT2\t"}, {"frame\tTIT2\tChanged"});
    }
}

TEST_F(MP3LossTest, APictureFrameWithoutPictureBytesIsCarriedAsItIs) {
    // The description runs to the end of the frame (no terminator), so no bytes are left for a picture: the
    // frame is not a picture to show, and a save writes it back byte for byte instead of dropping it.
    const auto apic = Frame23("APIC", Text(std::string("\0image/jpeg\0\3no terminator here", 31)));
    const auto title = Frame23("TIT2", Text(std::string("\0Old", 4)));
    WriteAll(Dir.Path() / "bare.mp3", AsString(Cat({ID3v2Tag(3, 0, Cat({title, apic})), CbrFrames(4)})));
    const std::wstring file = Dir.Text("bare.mp3");
    {
        TOpened f(file);
        ASSERT_TRUE(f.Ok);
        EXPECT_EQ(f.Format.Tags->Title->Value, L"Old");
        EXPECT_EQ(f.Format.Tags->Pictures->Count(), 0);
    }
    ASSERT_TRUE(Save(file, [](TMP3MediaFormat& f) { f.Tags->Title->SetValue(L"New"); }));
    EXPECT_NE(ReadAll(Dir.Path() / "bare.mp3").find(AsString(apic)), std::string::npos);
    TOpened g(file);
    ASSERT_TRUE(g.Ok);
    EXPECT_EQ(g.Format.Tags->Title->Value, L"New");
    EXPECT_EQ(g.Format.Tags->Pictures->Count(), 0);
}

TEST_F(MP3LossTest, TheYearOfA24RecordingTime) {
    const std::wstring file = Copy("tdrc.mp3");
    {
        TMP3MediaFormat f;
        ASSERT_TRUE(f.Open(file, true, 0, false));
        EXPECT_EQ(f.Tags->Year->Value, L"2021");
        EXPECT_EQ(f.BlockCount(), 0u) << "the recording time is not also carried as an unknown frame";
        f.Close(0);
    }
    ASSERT_TRUE(Save(file, [](TMP3MediaFormat& f) { f.Tags->Title->SetValue(L"Changed"); }));
    const std::string bytes = ReadAll(Dir.Path() / "tdrc.mp3");
    EXPECT_NE(bytes.find(std::string("TYER\0\0\0\x05\0\0\0" "2021", 14)), std::string::npos);
    EXPECT_NE(bytes.find(std::string("TDAT\0\0\0\x05\0\0\0" "1407", 14)), std::string::npos);
    EXPECT_NE(bytes.find(std::string("TIME\0\0\0\x05\0\0\0" "0930", 14)), std::string::npos);
    // mutagen joins TYER, TDAT and TIME into the recording time again (with seconds).
    ExpectKeptBut("tdrc.mp3", {"frame\tTIT2\t", "frame\tTDRC\t"},
                  {"frame\tTDRC\t2021-07-14 09:30:00", "frame\tTIT2\tChanged"});
    {
        TOpened f(file);
        EXPECT_EQ(f.Format.Tags->Year->Value, L"2021");
    }
    // A year set by the program has no day and time of its own.
    const std::wstring fresh = Copy("tdrc.mp3");
    ASSERT_TRUE(Save(fresh, [](TMP3MediaFormat& f) { f.Tags->Year->SetValue(L"1999"); }));
    ExpectKeptBut("tdrc.mp3", {"frame\tTDRC\t"}, {"frame\tTDRC\t1999"});
}

TEST_F(MP3LossTest, SeveralValuesOfOneFieldAreShownFirstAndAllKept) {
    {
        const std::wstring file = Copy("multi-values.mp3");
        {
            TOpened f(file);
            ASSERT_TRUE(f.Ok);
            EXPECT_EQ(f.Format.Tags->Artist->Value, L"Alpha") << "the first value, never a NUL";
            EXPECT_EQ(f.Format.Tags->Genre->Value, L"Rock");
        }
        ASSERT_TRUE(Save(file, [](TMP3MediaFormat& f) { f.Tags->Title->SetValue(L"Changed"); }));
        ExpectKeptBut("multi-values.mp3", {"frame\tTIT2\t"}, {"frame\tTIT2\tChanged"});
        ASSERT_TRUE(Save(file, [](TMP3MediaFormat& f) { f.Tags->Artist->SetValue(L"Gamma"); }));
        ExpectKeptBut("multi-values.mp3", {"frame\tTIT2\t", "frame\tTPE1\t"},
                      {"frame\tTIT2\tChanged", "frame\tTPE1\tGamma"});
    }
    const std::wstring file = Copy("multi-frames.mp3");
    {
        TOpened f(file);
        ASSERT_TRUE(f.Ok);
        EXPECT_EQ(f.Format.Tags->Composer->Value, L"First composer");
    }
    ASSERT_TRUE(Save(file, [](TMP3MediaFormat& f) { f.Tags->Title->SetValue(L"Changed"); }));
    ExpectKeptBut("multi-frames.mp3", {"frame\tTIT2\t"}, {"frame\tTIT2\tChanged"});
}

TEST_F(MP3LossTest, Utf8TextOfA24TagIsWrittenAsUtf16Under23) {
    const std::wstring file = Copy("utf8.mp3");
    ASSERT_TRUE(Save(file, [](TMP3MediaFormat& f) { f.Tags->Artist->SetValue(L"Changed"); }));
    ExpectKeptBut("utf8.mp3", {"frame\tTPE1\t"}, {"frame\tTPE1\tChanged"});
    // Every text-bearing frame of the saved 2.3 tag uses an encoding 2.3 defines.
    const std::string bytes = ReadAll(Dir.Path() / "utf8.mp3");
    ASSERT_EQ(bytes.substr(0, 4), std::string("ID3\x03", 4));
    const size_t end = 10 + ReadSyncSafe(reinterpret_cast<const uint8_t*>(bytes.data()) + 6);
    int frames = 0;
    for (size_t at = 10; at + 10 < end && bytes[at] != 0;) {
        const std::string id = bytes.substr(at, 4);
        const uint32_t size = GetBE32(reinterpret_cast<const uint8_t*>(bytes.data()) + at + 4);
        if (id[0] == 'T' || id == "COMM" || id == "USLT") {
            EXPECT_LE(static_cast<uint8_t>(bytes[at + 10]), 1) << id;
            ++frames;
        }
        at += 10 + size;
    }
    EXPECT_EQ(frames, 8);
}

TEST_F(MP3LossTest, FramesBeyondTheBlockStoreAreShownAndWrittenBack) {
    const std::wstring file = Copy("bigframes.mp3");
    {
        TOpened f(file);
        ASSERT_TRUE(f.Ok);
        ASSERT_TRUE(HasArtwork(&f.Format));
        EXPECT_EQ(GetArtwork(&f.Format)->Width(), 1400);
    }
    ASSERT_TRUE(Save(file, [](TMP3MediaFormat& f) { f.Tags->Title->SetValue(L"Changed"); }));
    ExpectKeptBut("bigframes.mp3", {"frame\tTIT2\t"}, {"frame\tTIT2\tChanged"});
    // The same from a tag that does not fit where it stands (written through a new file).
    ASSERT_TRUE(Save(file, [](TMP3MediaFormat& f) { f.Tags->Title->SetValue(std::wstring(5000, L'x')); }));
    ExpectKeptBut("bigframes.mp3", {"frame\tTIT2\t"}, {"frame\tTIT2\t" + std::string(5000, 'x')});
}

TEST_F(MP3LossTest, CompressedFramesAreReadAndKeptUntilChanged) {
    const std::wstring file = Copy("compressed.mp3");
    const std::string original = ReadAll(FixturePath("losses/compressed.mp3"));
    {
        TOpened f(file);
        ASSERT_TRUE(f.Ok);
        EXPECT_EQ(f.Format.Tags->Title->Value, L"Compressed title");
        EXPECT_EQ(f.Format.Tags->Comment->Value, L"Compressed comment");
        EXPECT_EQ(f.Format.Tags->Album->Value, L"Plain album");
    }
    ASSERT_TRUE(Save(file, [](TMP3MediaFormat& f) { f.Tags->Album->SetValue(L"Changed"); }));
    ExpectKeptBut("compressed.mp3", {"frame\tTALB\t"}, {"frame\tTALB\tChanged"});
    // The unchanged compressed title is the same bytes as before.
    const size_t at = original.find("TIT2");
    const uint32_t size = GetBE32(reinterpret_cast<const uint8_t*>(original.data()) + at + 4);
    EXPECT_NE(ReadAll(Dir.Path() / "compressed.mp3").find(original.substr(at, 10 + size)), std::string::npos);
    ASSERT_TRUE(Save(file, [](TMP3MediaFormat& f) { f.Tags->Title->SetValue(L"Plain now"); }));
    ExpectKeptBut("compressed.mp3", {"frame\tTALB\t", "frame\tTIT2\t"},
                  {"frame\tTALB\tChanged", "frame\tTIT2\tPlain now"});
}

TEST_F(MP3LossTest, PlainFrameSizesInA24Tag) {
    TOpened f(FixtureText("losses/plain24.mp3"));
    ASSERT_TRUE(f.Ok);
    EXPECT_EQ(f.Format.Tags->Title->Value, L"Plain sizes " + std::wstring(200, L'x'));
    EXPECT_EQ(f.Format.Tags->Artist->Value, L"After the long one");
    EXPECT_EQ(f.Format.Tags->Comment->Value, std::wstring(300, L'c'));
    EXPECT_EQ(f.Format.Tags->Album->Value, L"Last");
}
