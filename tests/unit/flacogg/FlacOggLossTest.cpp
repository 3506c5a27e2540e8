// Covers of FLAC (PICTURE blocks, made by metaflac) and Ogg (METADATA_BLOCK_PICTURE comments, made by
// mutagen), several values of one field, an ID3v2 tag in front of a FLAC file and bytes after the last
// Ogg page. Saves are re-read by mutagen, which must find every entry and picture of the original.
#include <gtest/gtest.h>

#include "FlacOggSupport.h"
#include "MutagenDump.h"
#include "common/ByteOrder.h"
#include "media/core/MediaManager.h"
#include "media/flac/FlacMediaFormat.h"
#include "media/ogg/OggMediaFormat.h"
#include "media/vorbis/PictureRecord.h"
#include "media/vorbis/VorbisComments.h"

using namespace mellodeck;
using namespace mellodeck::test;

namespace {

class FlacOggLossTest : public ::testing::Test {
protected:
    void SetUp() override {
        MediaLibraryStart();
        if (!HaveFixture("losses/cover.flac"))
            GTEST_SKIP() << "loss fixtures not generated: tests/fixtures/make-losses.sh build/fixtures";
    }
    std::wstring Copy(const std::string& name) { return CopyFixture(Folder, "losses/" + name); }
    static std::unique_ptr<TBaseMediaFormat> Make(const std::string& name) {
        if (name.size() > 5 && name.substr(name.size() - 5) == ".flac")
            return std::make_unique<TFlacMediaFormat>();
        return std::make_unique<TOggMediaFormat>();
    }
    template <class Edit> void Save(const std::string& name, Edit edit) {
        auto f = Make(name);
        ASSERT_TRUE(f->Open(Folder.Text(name), true, 0, false));
        edit(*f);
        EXPECT_TRUE(f->Post(0)) << f->LastError;
    }
    void ExpectKeptBut(const std::string& name, const std::set<std::string>& changed,
                       const std::vector<std::string>& expected) {
        if (!CanRunMutagen())
            return;
        const auto after = MutagenDump(Folder.Path() / name);
        EXPECT_EQ(Without(after, changed), Without(RecordedDump("losses/" + name), changed));
        std::vector<std::string> got;
        for (const auto& line : after)
            if (Without({line}, changed).empty())
                got.push_back(line);
        EXPECT_EQ(got, expected);
    }
    TempFolder Folder;
};

} // namespace

TEST_F(FlacOggLossTest, IgnoredOggCoversAreKeptOnlyForASave) {
    // The cover comment is the list's largest entry: a read that ignores pictures passes over it, a read
    // for writing keeps it among the extra entries so that the save writes it back.
    Copy("cover.ogg");
    for (bool forWriting : {false, true}) {
        SCOPED_TRACE(forWriting ? "for writing" : "read only");
        auto f = MediaManager()->CreateFormat(L".ogg", true);
        ASSERT_TRUE(f->Open(Folder.Text("cover.ogg"), forWriting, 0, false));
        const auto& ogg = static_cast<TOggMediaFormat&>(*f);
        int covers = 0;
        for (int i = 0; i < ogg.ExtraTags->CommentCount(); ++i)
            covers += IsPictureFieldName(ogg.ExtraTags->Comment(i)->FieldName);
        EXPECT_EQ(covers, forWriting ? 2 : 0);
        EXPECT_EQ(f->Tags->Pictures->Count(), 0);
        EXPECT_FALSE(f->Tags->Title->Value.empty()) << "the other fields are read";
        f->Close(0);
    }
}

TEST_F(FlacOggLossTest, StandardCoversAreShownAndKeptAsRead) {
    for (const std::string name : {"cover.flac", "cover.ogg"}) {
        SCOPED_TRACE(name);
        Copy(name);
        {
            auto f = Make(name);
            ASSERT_TRUE(f->Open(Folder.Text(name), false, 0, false));
            const TBasePictureTag& pictures = *f->Tags->Pictures;
            ASSERT_EQ(pictures.Count(), 2);
            EXPECT_EQ(pictures.Item(0)->MIMEType, "image/jpeg");
            EXPECT_EQ(pictures.Item(0)->PictureType, 3);
            EXPECT_EQ(pictures.Item(1)->MIMEType, "image/png");
            EXPECT_EQ(pictures.Item(1)->PictureType, 4);
            EXPECT_EQ(pictures.Item(1)->Description, "Back");
            ASSERT_TRUE(HasArtwork(f.get()));
            EXPECT_EQ(GetArtwork(f.get())->Width(), 96);
            EXPECT_EQ(GetArtwork(f.get())->Height(), 64);
            EXPECT_EQ(pictures.Item(1)->Bitmap->Width(), 40);
        }
        const std::string before = ReadAll(NativePath(Folder.Text(name)));
        Save(name, [](TBaseMediaFormat& f) { f.Tags->Title->SetValue(L"Changed"); });
        ExpectKeptBut(name, {"frame\tTITLE\t"}, {"frame\tTITLE\tChanged"});
        if (name == "cover.flac") {
            // The PICTURE blocks are the very bytes metaflac wrote.
            const std::string after = ReadAll(NativePath(Folder.Text(name)));
            for (const char* marker : {"image/jpeg", "image/png"}) {
                const size_t block = before.find(marker) - 12; // header, type, MIME length
                const uint32_t length = GetBE24(reinterpret_cast<const uint8_t*>(before.data()) + block + 1);
                EXPECT_NE(after.find(before.substr(block + 1, 3 + length)), std::string::npos) << marker;
            }
        }
        // A changed description rewrites that picture in the standard form; its bytes stay.
        Save(name, [](TBaseMediaFormat& f) {
            f.Tags->Pictures->Item(1)->Description = "Rear";
            f.Tags->Pictures->Item(1)->Modified = true;
        });
        if (CanRunMutagen()) {
            const auto after = MutagenDump(Folder.Path() / name);
            bool found = false;
            for (const auto& line : after)
                found = found || line.rfind("picture\t4\timage/png\tRear\t90\t", 0) == 0;
            EXPECT_TRUE(found) << ::testing::PrintToString(after);
        }
        // Removing the pictures removes them from the file; nothing else changes.
        Save(name, [](TBaseMediaFormat& f) { f.Tags->Pictures->Clear(); });
        ExpectKeptBut(name, {"frame\tTITLE\t", "picture\t"}, {"frame\tTITLE\tChanged"});
        auto f = Make(name);
        ASSERT_TRUE(f->Open(Folder.Text(name), false, 0, false));
        EXPECT_EQ(f->Tags->Pictures->Count(), 0);
    }
}

TEST_F(FlacOggLossTest, APictureSetByTheProgramOnOggIsAStandardCover) {
    Copy("multi.ogg");
    Save("multi.ogg", [](TBaseMediaFormat& f) {
        TPictureItem* item = f.Tags->Pictures->Add();
        item->PictureType = 3;
        item->GetBitmap().SetSize(12, 8);
    });
    TOggMediaFormat f;
    ASSERT_TRUE(f.Open(Folder.Text("multi.ogg"), false, 0, false));
    ASSERT_EQ(f.Tags->Pictures->Count(), 1);
    EXPECT_EQ(f.Tags->Pictures->Item(0)->MIMEType, "image/jpeg");
    ASSERT_TRUE(HasArtwork(&f));
    EXPECT_EQ(GetArtwork(&f)->Width(), 12);
}

TEST_F(FlacOggLossTest, SeveralValuesOfOneFieldAreShownFirstAndAllKept) {
    for (const std::string name : {"multi.flac", "multi.ogg"}) {
        SCOPED_TRACE(name);
        Copy(name);
        {
            auto f = Make(name);
            ASSERT_TRUE(f->Open(Folder.Text(name), false, 0, false));
            EXPECT_EQ(f->Tags->Artist->Value, L"Alpha");
            EXPECT_EQ(f->Tags->Genre->Value, L"Rock");
        }
        Save(name, [](TBaseMediaFormat& f) { f.Tags->Title->SetValue(L"Changed"); });
        ExpectKeptBut(name, {"frame\tTITLE\t"}, {"frame\tTITLE\tChanged"});
        Save(name, [](TBaseMediaFormat& f) { f.Tags->Artist->SetValue(L"Gamma"); });
        ExpectKeptBut(name, {"frame\tTITLE\t", "frame\tARTIST\t"}, {"frame\tARTIST\tGamma", "frame\tTITLE\tChanged"});
    }
}

TEST_F(FlacOggLossTest, AFlacFileBehindAnID3v2TagOpensAndKeepsIt) {
    const std::string original = ReadAll(NativePath(Copy("id3-prefixed.flac")));
    const size_t prefix = original.find("fLaC");
    ASSERT_GT(prefix, 10u);
    {
        TFlacMediaFormat f;
        ASSERT_TRUE(f.Open(Folder.Text("id3-prefixed.flac"), false, 0, false));
        EXPECT_EQ(f.Tags->Title->Value, L"Behind an ID3 tag");
        EXPECT_NEAR(f.GetDuration(), 2.0, 1e-6);
    }
    // In place, then through a new file (the comment grows beyond the room before the audio).
    for (const std::wstring& title : {std::wstring(L"Changed"), std::wstring(20000, L't')}) {
        Save("id3-prefixed.flac", [&](TBaseMediaFormat& f) { f.Tags->Title->SetValue(title); });
        EXPECT_EQ(ReadAll(NativePath(Folder.Text("id3-prefixed.flac"))).substr(0, prefix), original.substr(0, prefix));
        ExpectKeptBut("id3-prefixed.flac", {"frame\tTITLE\t"}, {"frame\tTITLE\t" + WideToUtf8(title)});
        std::string output;
        if (HaveTools()) {
            EXPECT_TRUE(FlacTestPasses(Folder.Text("id3-prefixed.flac"), output)) << output;
        }
    }
}

TEST_F(FlacOggLossTest, BytesAfterTheLastOggPageDoNotMakeTheFileLonger) {
    TOggMediaFormat f;
    ASSERT_TRUE(f.Open(FixtureText("losses/trailing.ogg"), false, 0, false));
    EXPECT_EQ(f.LastGranule, 176400u) << "4 s at 44100 Hz, found behind 1 MiB of zeros";
    EXPECT_NEAR(f.GetDuration(), 4.0, 1e-6);
}

TEST(PictureRecord, Base64AndRecordsRoundTripAndStayInBounds) {
    const std::string text = "any carnal pleas";
    for (size_t n = 0; n <= text.size(); ++n) {
        const std::string encoded = EncodeBase64(reinterpret_cast<const uint8_t*>(text.data()), n);
        std::vector<uint8_t> decoded;
        ASSERT_TRUE(DecodeBase64(encoded, decoded, 100)) << encoded;
        EXPECT_EQ(std::string(decoded.begin(), decoded.end()), text.substr(0, n));
        // A comment's value is wide text: the same bytes come out of it.
        std::vector<uint8_t> fromWide;
        ASSERT_TRUE(DecodeBase64(std::wstring(encoded.begin(), encoded.end()), fromWide, 100)) << encoded;
        EXPECT_EQ(fromWide, decoded);
    }
    std::vector<uint8_t> out;
    EXPECT_FALSE(DecodeBase64("YW5=5", out, 100));
    EXPECT_FALSE(DecodeBase64("YW=y", out, 100));
    EXPECT_FALSE(DecodeBase64("YW5*", out, 100));
    EXPECT_FALSE(DecodeBase64("YW55YW55", out, 5)) << "over the limit";
    ASSERT_TRUE(DecodeBase64("YWFhYQ==", out, 100));
    EXPECT_EQ(std::string(out.begin(), out.end()), "aaaa") << "two groups, the last padded";
    // A wide character whose low byte is an alphabet letter is not that letter.
    EXPECT_FALSE(DecodeBase64(std::wstring(L"YW5") + wchar_t(0x100 + 'A'), out, 100));
    EXPECT_FALSE(DecodeBase64(std::wstring(L"YW55\u00e9W55"), out, 100));

    const uint8_t data[] = {1, 2, 3};
    TPictureRecord record;
    record.Type = 3;
    record.Mime = "image/png";
    record.Description = "d";
    record.Width = 7;
    record.Data = data;
    record.DataSize = 3;
    const auto bytes = BuildPictureRecord(record);
    TPictureRecord parsed;
    ASSERT_TRUE(ParsePictureRecord(bytes.data(), bytes.size(), parsed));
    EXPECT_EQ(parsed.Mime, "image/png");
    EXPECT_EQ(parsed.Width, 7u);
    EXPECT_EQ(parsed.DataSize, 3u);
    for (size_t cut = 0; cut < bytes.size(); ++cut)
        EXPECT_FALSE(ParsePictureRecord(bytes.data(), cut, parsed)) << cut;
}
