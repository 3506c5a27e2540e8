// Reading generated files: what the format finds must be what mutagen and ffprobe found.
#include <gtest/gtest.h>

#include <cmath>

#include "Mp4TestSupport.h"
#include "TestPaths.h"
#include "media/core/Genres.h"
#include "media/core/MediaManager.h"
#include "media/mp4/AtomTypes.h"

namespace mellodeck::test {
namespace {

// mutagen's keys of the items that have a slot.
const struct {
    const char* Key;
    TBaseStringTag* TCommonMediaTags::*Slot;
} kSlotKeys[] = {
    {"\xC2\xA9" "ART", &TCommonMediaTags::Artist},   {"\xC2\xA9" "nam", &TCommonMediaTags::Title},
    {"\xC2\xA9" "alb", &TCommonMediaTags::Album},    {"\xC2\xA9" "cmt", &TCommonMediaTags::Comment},
    {"trkn", &TCommonMediaTags::Track},              {"\xC2\xA9" "wrt", &TCommonMediaTags::Composer},
    {"\xC2\xA9" "gen", &TCommonMediaTags::Genre},    {"\xC2\xA9" "day", &TCommonMediaTags::Year},
    {"aART", &TCommonMediaTags::AlbumArtist},        {"cpil", &TCommonMediaTags::Compilation},
    {"\xC2\xA9" "cpy", &TCommonMediaTags::Copyright}, {"\xC2\xA9" "lyr", &TCommonMediaTags::Lyrics},
    {"tmpo", &TCommonMediaTags::BPM},
};

// mutagen's value in the form the format shows it.
std::string AsShown(const std::string& key, const std::string& value) {
    if (key == "trkn") {
        const size_t slash = value.find('/');
        const int number = std::stoi(value.substr(0, slash));
        const int total = slash == std::string::npos ? 0 : std::stoi(value.substr(slash + 1));
        return number == 0 ? "" : total == 0 ? std::to_string(number) : FormatTrackText(total, number, 3);
    }
    if (key == "cpil")
        return value == "1" ? "1" : "";
    return value;
}

class Mp4Read : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        MediaLibraryStart();
        if (!HaveFixture("mp4/expected.txt"))
            GTEST_SKIP() << "fixtures not generated (tests/fixtures/make-mp4.sh)";
    }
};

TEST_P(Mp4Read, FindsWhatTheToolsFind) {
    const std::string file = GetParam();
    const Expected expected = LoadExpected(file);
    auto format = OpenMp4(FixturePath("mp4/" + file));
    ASSERT_TRUE(format->IsOpen());
    ASSERT_EQ(format->LastError, 0u);

    size_t slotted = 0;
    for (const auto& s : kSlotKeys) {
        const auto it = expected.Tags.find(s.Key);
        const std::string want = it == expected.Tags.end() ? "" : AsShown(s.Key, it->second);
        slotted += it != expected.Tags.end();
        EXPECT_EQ(Narrow((format->Tags.get()->*s.Slot)->Value), want) << s.Key;
    }
    // Every other item is kept for saving, in its own block.
    EXPECT_EQ(format->BlockCount(), expected.Tags.size() - slotted);

    TBasePictureTag* pictures = format->Tags->Pictures;
    ASSERT_EQ(pictures->Count(), static_cast<int>(expected.Covers.size()));
    for (size_t i = 0; i < expected.Covers.size(); ++i)
        EXPECT_EQ(pictures->Item(static_cast<int>(i))->Data.size(), expected.Covers[i].Size);
    EXPECT_EQ(pictures->Exists, !expected.Covers.empty());

    EXPECT_NEAR(format->GetDuration(), expected.Duration, 0.05);
    EXPECT_EQ(format->GetSampleRate(), expected.SampleRate);
    EXPECT_EQ(format->Channels, expected.Channels);
    EXPECT_EQ(static_cast<int>(format->ChunkOffsetTables.size()), expected.Tracks);
    EXPECT_GT(format->GetBitrate(), 0);
    EXPECT_FALSE(format->GetIsVBR());
    EXPECT_EQ(format->IsTagEmpty(), expected.Tags.empty() && expected.Covers.empty());
}

INSTANTIATE_TEST_SUITE_P(Fixtures, Mp4Read,
                         ::testing::Values("aac.m4a", "aac-faststart.m4a", "alac.m4a", "twotrack.m4a", "tagged.m4a",
                                           "tagged-faststart.m4a", "alac-tagged.m4a", "twotrack-tagged.m4a",
                                           "covers3.m4a", "longtitle.m4a", "basic.m4a", "co64.m4a", "size64.m4a",
                                           "size0-moov.m4a", "size0-mdat.m4a", "v1.m4a", "gnre.m4a", "noudta.m4a",
                                           "nometa.m4a", "twotrack-co64.m4a", "udta-early.m4a"),
                         [](const auto& info) {
                             std::string name = info.param;
                             for (char& c : name)
                                 if (!isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

class Mp4Layout : public ::testing::Test {
protected:
    void SetUp() override {
        MediaLibraryStart();
        if (!HaveFixture("mp4/expected.txt"))
            GTEST_SKIP() << "fixtures not generated (tests/fixtures/make-mp4.sh)";
    }
};

TEST_F(Mp4Layout, TheTreeShowsTheLayoutsThatWereMade) {
    auto co64 = OpenMp4(FixturePath("mp4/co64.m4a"));
    ASSERT_EQ(co64->ChunkOffsetTables.size(), 1u);
    EXPECT_TRUE(co64->ChunkOffsetTables[0].Wide);
    EXPECT_EQ(co64->StcoAtom->AtomType, atom::kCo64);

    auto wide = OpenMp4(FixturePath("mp4/size64.m4a"));
    EXPECT_EQ(wide->MoovAtom->HeaderSize, 16);
    EXPECT_EQ(wide->MdatAtom->HeaderSize, 16);
    EXPECT_EQ(wide->IlstAtom->HeaderSize, 16);
    EXPECT_EQ(Narrow(wide->Tags->Album->Value), "Generated Album");

    auto moovToEnd = OpenMp4(FixturePath("mp4/size0-moov.m4a"));
    EXPECT_TRUE(moovToEnd->MoovAtom->SizeToEnd);
    EXPECT_EQ(moovToEnd->MoovAtom->End(), moovToEnd->FileSize);
    auto mdatToEnd = OpenMp4(FixturePath("mp4/size0-mdat.m4a"));
    EXPECT_TRUE(mdatToEnd->MdatAtom->SizeToEnd);

    auto v1 = OpenMp4(FixturePath("mp4/v1.m4a"));
    ASSERT_GE(v1->MovieHeader.size(), 9u);
    EXPECT_EQ(v1->MovieHeader[8], 1); // version
    EXPECT_DOUBLE_EQ(v1->GetDuration(), 3.0);
    auto v0 = OpenMp4(FixturePath("mp4/tagged-faststart.m4a"));
    EXPECT_EQ(v1->AudioTimeScale, 44100u); // from the version-1 media header
    EXPECT_EQ(v1->AudioDuration, v0->AudioDuration);
    EXPECT_EQ(v1->MovieDuration, v0->MovieDuration);

    auto two = OpenMp4(FixturePath("mp4/twotrack-co64.m4a"));
    EXPECT_EQ(two->ChunkOffsetTables.size(), 2u);

    auto noUdta = OpenMp4(FixturePath("mp4/noudta.m4a"));
    EXPECT_TRUE(noUdta->IsOpen());
    EXPECT_EQ(noUdta->UdtaAtom, nullptr);
    auto noMeta = OpenMp4(FixturePath("mp4/nometa.m4a"));
    EXPECT_NE(noMeta->UdtaAtom, nullptr);
    EXPECT_EQ(noMeta->MetaAtom, nullptr);
}

TEST_F(Mp4Layout, PicturesDecodeAndKeepTheirBytes) {
    auto format = OpenMp4(FixturePath("mp4/covers3.m4a"));
    TBasePictureTag* pictures = format->Tags->Pictures;
    ASSERT_EQ(pictures->Count(), 3);
    const struct {
        const char* File;
        uint8_t Kind;
        const char* Mime;
        int Width, Height;
    } want[] = {{"mp4/cover.jpg", 13, "image/jpeg", 40, 30},
                {"mp4/cover.png", 14, "image/png", 24, 16},
                {"mp4/cover.bmp", 27, "image/bmp", 8, 6}};
    for (int i = 0; i < 3; ++i) {
        TPictureItem* item = pictures->Item(i);
        EXPECT_EQ(item->Data, ReadBytes(FixturePath(want[i].File))) << i;
        EXPECT_EQ(item->CoverDataType[3], want[i].Kind) << i;
        EXPECT_EQ(item->MIMEType, want[i].Mime) << i;
        ASSERT_TRUE(item->HasBitmap()) << i;
        EXPECT_TRUE(item->Decoded);
        EXPECT_EQ(item->Bitmap->Width(), want[i].Width);
        EXPECT_EQ(item->Bitmap->Height(), want[i].Height);
    }
    EXPECT_TRUE(HasArtwork(format.get()));
    EXPECT_EQ(GetArtwork(format.get())->Width(), 40);

    auto tagged = OpenMp4(FixturePath("mp4/tagged.m4a"));
    EXPECT_EQ(Narrow(tagged->EncoderName), "fixture encoder 1.0");
}

TEST_F(Mp4Layout, TheManagerOpensBothExtensions) {
    for (const wchar_t* extension : {L".m4a", L".M4P"}) {
        ASSERT_TRUE(MediaManager()->IsSupportedExtension(extension));
        auto format = MediaManager()->CreateFormat(extension, false);
        ASSERT_TRUE(format);
        EXPECT_STREQ(format->ClassName(), "TMPEG4MediaFormat");
    }
    auto player = MediaManager()->CreateFormat(L".m4a", true);
    ASSERT_TRUE(player->Open(FixtureText("mp4/tagged.m4a"), false, 0, false));
    EXPECT_EQ(player->Tags->Pictures->Count(), 0);
    EXPECT_EQ(Narrow(player->Tags->Artist->Value), "The Fixture Band");
    player->Close(0);
}

TEST_F(Mp4Layout, IgnoredCoversAreLeftInTheFileUnlessASaveNeedsThem) {
    // A read that ignores pictures does not copy the covers anywhere; opened for writing, the format keeps
    // them to write them back. Either way the other items stay as they were read.
    auto blocks = [](TBaseMediaFormat& format) {
        std::vector<std::string> types;
        for (size_t i = 0; i < format.BlockCount(); ++i) {
            size_t size = 0;
            const uint8_t* block = format.Block(i, size);
            types.push_back(size >= 8 ? std::string(reinterpret_cast<const char*>(block) + 4, 4) : "?");
        }
        return types;
    };
    auto full = MediaManager()->CreateFormat(L".m4a", false);
    ASSERT_TRUE(full->Open(FixtureText("mp4/covers3.m4a"), false, 0, false));
    ASSERT_EQ(full->Tags->Pictures->Count(), 3);
    const std::vector<std::string> others = blocks(*full);
    full->Close(0);
    for (bool forWriting : {false, true}) {
        SCOPED_TRACE(forWriting ? "for writing" : "read only");
        auto format = MediaManager()->CreateFormat(L".m4a", true);
        ASSERT_TRUE(format->Open(FixtureText("mp4/covers3.m4a"), forWriting, 0, false));
        EXPECT_EQ(format->Tags->Pictures->Count(), 0);
        std::vector<std::string> expected = others;
        if (forWriting)
            expected.push_back("covr");
        EXPECT_EQ(blocks(*format), expected);
        format->Close(0);
    }
}

TEST_F(Mp4Layout, AnArtworkBoxDecodesTheCoverToItsSizeForReadsOnly) {
    // covers3.m4a's first cover is 40x30: in a 20x20 box it is 20x15; a save keeps the picture whole.
    for (bool forWriting : {false, true}) {
        auto format = MediaManager()->CreateFormat(L".m4a", false);
        format->ArtworkBoxWidth = 20;
        format->ArtworkBoxHeight = 20;
        ASSERT_TRUE(format->Open(FixtureText("mp4/covers3.m4a"), forWriting, 0, false));
        const Bitmap32* art = GetArtwork(format.get());
        ASSERT_NE(art, nullptr);
        EXPECT_EQ(art->Width(), forWriting ? 40 : 20);
        EXPECT_EQ(art->Height(), forWriting ? 30 : 15);
        EXPECT_EQ(format->Tags->Pictures->Item(0)->Data, ReadBytes(FixturePath("mp4/cover.jpg")))
            << "the picture's own bytes are kept either way";
        format->Close(0);
    }
}

} // namespace
} // namespace mellodeck::test
