// Reading MP3 files: ID3v2.2/2.3/2.4 and ID3v1 tags of the generated fixtures against what mutagen
// reads, unsynchronised tags, genres, pictures, and damaged tags built by hand.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "Mp3TestSupport.h"

using namespace mellodeck;
using namespace mellodeck::test;

namespace {

class MP3ReadTest : public ::testing::Test {
protected:
    void SetUp() override { MediaLibraryStart(); }
    std::wstring Write(const std::string& name, const std::vector<uint8_t>& bytes) {
        WriteBytes(Dir.Path() / name, bytes);
        return Dir.Text(name);
    }
    TempFolder Dir;
};

} // namespace

TEST(MP3Fixtures, TagsPicturesAndID3v1AsMutagenReadsThem) {
    REQUIRE_MP3_FIXTURES();
    const TExpected& e = TExpected::Fixtures();
    for (const std::string file : {"v23-full.mp3", "v24-utf8.mp3", "v22.mp3", "unsync23.mp3", "unsync24.mp3",
                                   "v11.mp3", "id3v1-only.mp3", "json-escape.mp3"}) {
        SCOPED_TRACE(file);
        TOpened f(FixtureText("mp3/" + file));
        ASSERT_TRUE(f.Ok);
        EXPECT_EQ((f.Format.TagsFound & tkID3v2) != 0, e.Get(file, "id3v2") == "yes");
        if (e.Get(file, "id3v2") == "yes") {
            EXPECT_EQ(f.Format.ID3v2Header[3], e.Get(file, "id3.version")[2] - '0');
            ExpectTagsAsMutagen(f.Format, e, file);
            ExpectPicturesAsMutagen(f.Format, e, file);
        } else {
            for (const auto& slot : TCommonMediaTags::StringSlots())
                EXPECT_EQ((f.Format.Tags.get()->*slot.Member)->Value, L"") << slot.Name;
        }
        ExpectID3v1AsMutagen(f.Format, e, file);
        EXPECT_FALSE(f.Format.GetModified()) << "a fresh read is unmodified";
    }
}

TEST(MP3Fixtures, GenreTextsFollowTheNumberRules) {
    REQUIRE_MP3_FIXTURES();
    const TExpected& e = TExpected::Fixtures();
    const struct {
        const char* File;
        const char* Raw;
        const wchar_t* Genre;
    } cases[] = {
        {"genre-13.mp3", "(13)", L"Pop"},
        {"genre-13-21.mp3", "(13)(21)", L"Pop"},
        {"genre-13synthpop.mp3", "(13)Synthpop", L"Synthpop"},
        {"genre-999.mp3", "(999)", L"(999)"},
        {"genre-rock.mp3", "Rock", L"Rock"},
        {"genre-17rockroll.mp3", "(17)Rock & Roll", L"Rock & Roll"},
        {"v23-full.mp3", "(17)", L"Rock"},
        {"v22.mp3", "(13)", L"Pop"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(e.Get(c.File, "tag.GenreText"), c.Raw) << "the fixture holds the text the case is about";
        TOpened f(FixtureText(std::string("mp3/") + c.File));
        ASSERT_TRUE(f.Ok);
        EXPECT_EQ(f.Format.Tags->Genre->Value, c.Genre) << c.File;
    }
}

TEST(MP3Fixtures, UnknownFramesArePreservedOnlyForWriting) {
    REQUIRE_MP3_FIXTURES();
    {
        TOpened reading(FixtureText("mp3/v24-utf8.mp3"));
        ASSERT_TRUE(reading.Ok);
        EXPECT_EQ(reading.Format.BlockCount(), 0u);
    }
    TOpened writing(FixtureText("mp3/v24-utf8.mp3"), true);
    ASSERT_TRUE(writing.Ok);
    EXPECT_EQ(writing.Format.BlockCount(), 2u) << "TXXX and PRIV (TDRC gives the year)";
    EXPECT_EQ(writing.Format.Tags->Year->Value, L"2011");
}

TEST_F(MP3ReadTest, FramesPastTheEndOrWithBadIdsEndTheTagButNotTheFile) {
    TLogCapture log;
    const auto audio = CbrFrames(4);
    // TIT2 claims more bytes than the file has.
    const auto pastEnd = Cat({Text("ID3"), {3, 0, 0}, SyncSafe(20), Frame23("TALB", Text(std::string("\0ok", 3))),
                              Text("TIT2"), {0x00, 0x10, 0x00, 0x00, 0, 0}, Text("\0x"), audio});
    TOpened f(Write("past.mp3", pastEnd));
    EXPECT_TRUE(f.Ok) << "audio and ID3v1 are still read";
    EXPECT_EQ(f.Format.Tags->Album->Value, L"ok");
    EXPECT_TRUE(log.Has(L"Frame size looks invalide. File: " + f.Format.FileName));
    EXPECT_TRUE(log.Has(L"  Size: 1048576, position: 23, ID: TIT2"));

    log.Lines.clear();
    const auto badId = Cat({ID3v2Tag(3, 0, Cat({Frame23("tit2", Text(std::string("\0x", 2)))})), audio});
    TOpened g(Write("badid.mp3", badId));
    EXPECT_TRUE(g.Ok);
    EXPECT_TRUE(log.Has(L"  Size: 2, position: 10, ID: 74697432")) << "ids that are not capitals show as hex";

    log.Lines.clear();
    const auto v22 = Cat({Text("ID3"), {2, 0, 0}, SyncSafe(40), Frame22("TT2", Text(std::string("\0x", 2))),
                          Text("TP1"), {0x7F, 0, 0}, audio});
    TOpened h(Write("v22past.mp3", v22));
    EXPECT_TRUE(h.Ok);
    EXPECT_EQ(h.Format.Tags->Title->Value, L"x");
    EXPECT_TRUE(log.Has(L"Frame size (ID3v2.2.x) looks invalide. File: " + h.Format.FileName));
}

TEST_F(MP3ReadTest, ZeroSizeFramesPaddingAndTheV24SyncSafeSize) {
    TLogCapture log;
    const std::string text200 = std::string(1, '\0') + std::string(199, 'a');
    const auto body = Cat({Frame24("TPE1", {}), Frame24("TIT2", Text(text200)), Frame24("TALB", Text(std::string("\0b", 2))),
                           std::vector<uint8_t>(50, 0)});
    const auto v24 = Cat({ID3v2Tag(4, 0, body), CbrFrames(4)});
    ASSERT_EQ(v24[26], 0x01);
    ASSERT_EQ(v24[27], 0x48) << "syncsafe 200 is 00 00 01 48";
    TOpened f(Write("v24.mp3", v24));
    ASSERT_TRUE(f.Ok);
    EXPECT_EQ(f.Format.Tags->Title->Value, std::wstring(199, L'a'));
    EXPECT_EQ(f.Format.Tags->Album->Value, L"b");
    EXPECT_FALSE(f.Format.Tags->Artist->Exists) << "a zero-size frame is skipped";
    EXPECT_TRUE(log.Lines.empty()) << "padding ends the frames quietly";
    EXPECT_EQ(f.Format.MPEGProperties->AudioStart, 10 + static_cast<int64_t>(body.size()));
}

TEST_F(MP3ReadTest, AFrameThatFailsIsLoggedAndTheOthersAreRead) {
    TLogCapture log;
    const auto body = Cat({Frame23("TIT2", Text("\x04" "abc")), Frame23("TPE1", Text(std::string("\0Artist", 7)))});
    TOpened f(Write("enc4.mp3", Cat({ID3v2Tag(3, 0, body), CbrFrames(4)})));
    ASSERT_TRUE(f.Ok);
    EXPECT_FALSE(f.Format.Tags->Title->Exists);
    EXPECT_EQ(f.Format.Tags->Artist->Value, L"Artist");
    const std::vector<std::wstring> expected = {L"->", L"Frame processing failed, ID: TIT2", f.Format.FileName, L"<-"};
    auto at = std::search(log.Lines.begin(), log.Lines.end(), expected.begin(), expected.end());
    EXPECT_NE(at, log.Lines.end()) << "four lines in order";
}

TEST_F(MP3ReadTest, PicturesOfVersion22AndUndecodablePictures) {
    std::vector<uint8_t> jpeg;
    Bitmap32 small(5, 4);
    small.Fill(0xFF336699);
    ASSERT_TRUE(EncodeJpeg(small, jpeg, 80));
    TLogCapture log;
    const auto body = Cat({Frame22("PIC", Cat({Text(std::string("\0GIF\x03", 5)), Text(std::string("\0", 1)), Text("abcd")})),
                           Frame22("PIC", Cat({Text(std::string("\0JPG\x03", 5)), Text(std::string("cover\0", 6)), jpeg}))});
    TOpened f(Write("pic22.mp3", Cat({ID3v2Tag(2, 0, body), CbrFrames(4)})));
    ASSERT_TRUE(f.Ok);
    EXPECT_TRUE(log.Has(L"Frame processing failed (ID3v2.2.x), ID: PIC"));
    ASSERT_EQ(f.Format.Tags->Pictures->Count(), 1) << "the failed frame leaves no empty item";
    EXPECT_EQ(f.Format.Tags->Pictures->Item(0)->MIMEType, "image/jpg");
    EXPECT_EQ(f.Format.Tags->Pictures->Item(0)->Description, "cover");
    ASSERT_NE(GetArtwork(&f.Format), nullptr);
    EXPECT_EQ(GetArtwork(&f.Format)->Width(), 5);

    // An APIC whose bytes do not decode keeps them; the picture tag still exists (a save writes it back).
    const auto apic = Frame23("APIC", Cat({Text(std::string("\0image/png\0\x03\0", 13)), Text("not a png")}));
    TOpened g(Write("badpng.mp3", Cat({ID3v2Tag(3, 0, apic), CbrFrames(4)})));
    ASSERT_TRUE(g.Ok);
    ASSERT_EQ(g.Format.Tags->Pictures->Count(), 1);
    EXPECT_FALSE(g.Format.Tags->Pictures->Item(0)->Decoded);
    EXPECT_EQ(g.Format.Tags->Pictures->Item(0)->DataSize(), 9u);
    EXPECT_TRUE(g.Format.Tags->Pictures->Exists);
    EXPECT_FALSE(HasArtwork(&g.Format));
}

TEST_F(MP3ReadTest, TagsWithoutAudioAndBrokenHeadersFail) {
    TLogCapture log;
    // Frames are parsed, but there is no MPEG stream: Open fails with the invalid-data code.
    TOpened noAudio(Write("noaudio.mp3", ID3v2Tag(3, 0, Cat({Frame23("TIT2", Text(std::string("\0T", 2))),
                                                              std::vector<uint8_t>(20, 0)}))));
    EXPECT_FALSE(noAudio.Ok);
    EXPECT_EQ(noAudio.Format.LastError, kErrorInvalidData);
    EXPECT_EQ(noAudio.Format.Tags->Title->Value, L"T");

    // The frame header is cut short by the end of the file.
    TOpened cut(Write("cut.mp3", Cat({Text("ID3"), {3, 0, 0}, SyncSafe(100), Text("TIT2")})));
    EXPECT_FALSE(cut.Ok);
    EXPECT_TRUE(log.Has(L"Frame header read error"));
}

TEST_F(MP3ReadTest, ExtendedHeaders) {
    // Version 2.3: the size counts after the size field.
    const auto ext23 = Cat({{0, 0, 0, 6, 0, 0, 0, 0, 0, 0}, Frame23("TIT2", Text(std::string("\0E3", 3)))});
    TOpened a(Write("ext23.mp3", Cat({ID3v2Tag(3, 0x40, ext23), CbrFrames(4)})));
    ASSERT_TRUE(a.Ok);
    EXPECT_EQ(a.Format.Tags->Title->Value, L"E3");
    EXPECT_EQ(a.Format.ExtendedHeader[3], 6);
    // Version 2.4: a syncsafe size of the whole extended header.
    const auto ext24 = Cat({SyncSafe(6), {1, 0}, Frame24("TIT2", Text(std::string("\0E4", 3)))});
    TOpened b(Write("ext24.mp3", Cat({ID3v2Tag(4, 0x40, ext24), CbrFrames(4)})));
    ASSERT_TRUE(b.Ok);
    EXPECT_EQ(b.Format.Tags->Title->Value, L"E4");
    // Larger than the tag: no frames are trusted, the audio after the tag is still found.
    const auto huge = Cat({{0, 0x10, 0, 0, 0, 0}, Frame23("TIT2", Text(std::string("\0no", 3)))});
    TOpened c(Write("exthuge.mp3", Cat({ID3v2Tag(3, 0x40, huge), CbrFrames(4)})));
    ASSERT_TRUE(c.Ok);
    EXPECT_EQ(c.Format.Tags->Title->Value, L"");
    EXPECT_EQ(c.Format.MPEGProperties->AudioStart, 10 + static_cast<int64_t>(huge.size()));
}

TEST_F(MP3ReadTest, UnsynchronisationIsUndoneForTheWholeTagOrPerFrame) {
    std::vector<uint8_t> jpeg;
    Bitmap32 small(6, 3);
    small.Fill(0xFF102030);
    ASSERT_TRUE(EncodeJpeg(small, jpeg, 80));
    auto unsync = [](const std::vector<uint8_t>& in) {
        std::vector<uint8_t> out;
        for (size_t i = 0; i < in.size(); ++i) {
            out.push_back(in[i]);
            if (in[i] == 0xFF && (i + 1 == in.size() || in[i + 1] == 0 || in[i + 1] >= 0xE0))
                out.push_back(0);
        }
        return out;
    };
    const auto title = Frame23("TIT2", {1, 0xFF, 0xFE, 'U', 0, 0xFF, 0x00});
    const auto picture = Frame23("APIC", Cat({Text(std::string("\0image/jpeg\0\x03\0", 14)), jpeg}));
    const auto audio = CbrFrames(4);

    // Version 2.3, header flag 0x80: everything after the header.
    const auto v23 = Cat({ID3v2Tag(3, 0x80, unsync(Cat({title, picture}))), audio});
    TOpened a(Write("u23.mp3", v23));
    ASSERT_TRUE(a.Ok);
    EXPECT_EQ(a.Format.Tags->Title->Value, std::wstring(L"U\u00FF"));
    ASSERT_NE(GetArtwork(&a.Format), nullptr) << "the picture decodes";
    EXPECT_EQ(GetArtwork(&a.Format)->Width(), 6);
    EXPECT_EQ(a.Format.MPEGProperties->AudioStart, static_cast<int64_t>(v23.size() - audio.size()));

    // Version 2.4, frame flags 0x02 (unsynchronised) and 0x01 (data length indicator first).
    auto frame24 = [&](const std::string& id, const std::vector<uint8_t>& data) {
        return Frame24(id, Cat({SyncSafe(static_cast<uint32_t>(data.size())), unsync(data)}), 0x03);
    };
    const auto v24 = Cat({ID3v2Tag(4, 0, Cat({frame24("TIT2", {1, 0xFF, 0xFE, 'V', 0, 0xFF, 0x00}),
                                              frame24("APIC", Cat({Text(std::string("\0image/jpeg\0\x03\0", 14)), jpeg}))})),
                          audio});
    TOpened b(Write("u24.mp3", v24));
    ASSERT_TRUE(b.Ok);
    EXPECT_EQ(b.Format.Tags->Title->Value, std::wstring(L"V\u00FF"));
    ASSERT_NE(GetArtwork(&b.Format), nullptr);
    EXPECT_EQ(GetArtwork(&b.Format)->Height(), 3);
}

TEST_F(MP3ReadTest, IgnoredTagsAreNotParsed) {
    const auto body = Cat({Frame23("TIT2", Text(std::string("\0T", 2))), Frame23("TPE1", Text(std::string("\0A", 2)))});
    const auto name = Write("ign.mp3", Cat({ID3v2Tag(3, 0, body), CbrFrames(4)}));
    auto format = MediaManager()->CreateFormat(L".MP3", true, name);
    ASSERT_NE(format, nullptr);
    EXPECT_STREQ(format->ClassName(), "TMP3MediaFormat");
    format->Tags->Title->SetIgnore(true);
    ASSERT_TRUE(format->Open(name, false, 0, false));
    EXPECT_EQ(format->Tags->Title->Value, L"");
    EXPECT_EQ(format->Tags->Artist->Value, L"A");
    format->Close(0);
}

TEST_F(MP3ReadTest, AFrameLargerThanTheBlockStoreIsReadAllTheSame) {
    TLogCapture log;
    const auto huge = Frame23("APIC", Cat({Text(std::string("\0image/png\0\x03\0", 13)),
                                           std::vector<uint8_t>(TBaseMediaFormat::kBlockStoreLimit + 100, 0x42)}));
    const auto body = Cat({huge, Frame23("TIT2", Text(std::string("\0after", 6)))});
    TOpened f(Write("huge.mp3", Cat({ID3v2Tag(3, 0, body), CbrFrames(4)})));
    ASSERT_TRUE(f.Ok);
    EXPECT_FALSE(log.Has(L"PushMemStream Failed"));
    ASSERT_EQ(f.Format.Tags->Pictures->Count(), 1);
    EXPECT_EQ(f.Format.Tags->Pictures->Item(0)->DataSize(), TBaseMediaFormat::kBlockStoreLimit + 100);
    EXPECT_EQ(f.Format.Tags->Title->Value, L"after");
}
