// FLAC files: reading against what mutagen reads, the three kinds of save, pictures of our own block,
// injected failures, damaged input.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "FlacOggSupport.h"
#include "common/ByteOrder.h"
#include "media/core/MediaManager.h"
#include "media/flac/FlacMediaFormat.h"
#include "media/flac/FlacPictureTag.h"
#include "media/vorbis/OggKnownTags.h"
#include "media/vorbis/VorbisComments.h"

namespace mellodeck {
namespace {

using namespace test;

struct Block {
    uint8_t Type;
    bool Last;
    size_t Offset; // of the header
    size_t Length;
};

// The metadata blocks of FLAC bytes, walked by their last-block flags.
std::vector<Block> Blocks(const std::string& bytes, size_t* audioStart = nullptr) {
    std::vector<Block> blocks;
    size_t pos = 4;
    for (;;) {
        const auto* p = reinterpret_cast<const uint8_t*>(bytes.data()) + pos;
        Block b{static_cast<uint8_t>(p[0] & 0x7F), (p[0] & 0x80) != 0, pos, GetBE24(p + 1)};
        blocks.push_back(b);
        pos += 4 + b.Length;
        if (b.Last || pos >= bytes.size())
            break;
    }
    if (audioStart)
        *audioStart = pos;
    return blocks;
}

// A block's bytes, its last-block flag left out (a save moves that flag to the new padding block).
std::string BlockBytes(const std::string& file, const Block& b) {
    std::string bytes = file.substr(b.Offset, 4 + b.Length);
    bytes[0] = static_cast<char>(bytes[0] & 0x7F);
    return bytes;
}

struct Record {
    uint8_t Code, Variant;
    std::string Description, Data;
};

// The APPLICATION block of our pictures, built by hand.
std::string PictureBlock(const std::vector<Record>& records) {
    std::string body;
    for (const auto& r : records) {
        body += static_cast<char>(r.Code);
        body += static_cast<char>(r.Variant);
        uint8_t le[4];
        PutLE32(le, static_cast<uint32_t>(r.Data.size()));
        body.append(reinterpret_cast<char*>(le), 4);
        body += static_cast<char>(r.Description.size() & 0xFF);
        body += static_cast<char>(r.Description.size() >> 8);
        body += r.Description + r.Data;
    }
    const uint32_t length = TFlacPictureTag::BlockLength(body.size());
    std::string block = {2, static_cast<char>(length >> 16), static_cast<char>(length >> 8), static_cast<char>(length)};
    block += "mrqlARTW";
    uint8_t le[4];
    PutLE32(le, static_cast<uint32_t>(body.size() + 2));
    block.append(reinterpret_cast<char*>(le), 4);
    block += static_cast<char>(records.size());
    block += static_cast<char>(records.size() >> 8);
    block += body;
    block.resize(4 + length, '\0');
    return block;
}

// A copy of `fixture` with `block` inserted right after STREAMINFO.
std::wstring WithBlock(const TempFolder& folder, const std::string& fixture, const std::string& block,
                       const std::string& as) {
    std::string bytes = ReadAll(FixturePath(fixture));
    bytes[4] = static_cast<char>(bytes[4] & 0x7F);
    bytes.insert(42, block);
    const std::wstring path = folder.Text(as);
    WriteAll(NativePath(path), bytes);
    return path;
}

class FlacTest : public ::testing::Test {
protected:
    void SetUp() override {
        MediaLibraryStart();
        REQUIRE_FIXTURE("flacogg/tagged.flac");
    }
    void TearDown() override { SetSaveFaultHook(nullptr); }

    // The checks every saved file must pass: our reader, flac -t, and mutagen reading the same tags.
    void CheckSaved(const std::wstring& path, const std::vector<std::string>& tags) {
        TFlacMediaFormat format;
        ASSERT_TRUE(format.Open(path, false, 0, false));
        format.Close(0);
        if (!HaveTools())
            return;
        std::string output;
        EXPECT_TRUE(FlacTestPasses(path, output)) << output;
        const TFacts facts = MutagenFacts(path);
        EXPECT_EQ(Facts(facts, "tag"), tags);
    }
    TempFolder Folder;
};

TEST_F(FlacTest, ReadsWhatTheToolsRead) {
    for (const char* name : {"tagged.flac", "twopad.flac", "picture.flac", "dupes.flac", "streaminfo.flac"}) {
        SCOPED_TRACE(name);
        const TFacts& expected = ExpectedFacts(name);
        TFlacMediaFormat format;
        ASSERT_TRUE(format.Open(FixtureText(std::string("flacogg/") + name), false, 0, false));
        EXPECT_EQ(std::to_string(format.SampleRate), Fact(expected, "sample_rate"));
        EXPECT_EQ(std::to_string(format.Channels), Fact(expected, "channels"));
        EXPECT_EQ(std::to_string(format.BitsPerSample), Fact(expected, "bits_per_sample"));
        EXPECT_EQ(std::to_string(format.TotalSamples), Fact(expected, "total_samples"));
        EXPECT_NEAR(format.GetDuration(), std::stod(Fact(expected, "length")), 1e-6);
        EXPECT_EQ(WideToUtf8(format.EncoderName), Fact(expected, "vendor"));
        EXPECT_TRUE(format.GetIsVBR());
        // Every entry mutagen lists lands in its slot (the first of equal names shown, the others kept
        // beside it) or among the extras.
        std::map<std::string, std::vector<std::string>> values;
        std::vector<std::string> extras;
        for (const auto& entry : Facts(expected, "tag")) {
            const std::string key = entry.substr(0, entry.find('='));
            const std::string value = entry.substr(entry.find('=') + 1);
            if (TOggCommentTag* tag = FindComment(*format.Tags, key))
                values[tag->FieldName].push_back(value);
            else
                extras.push_back(entry);
        }
        for (const auto& [field, all] : values) {
            const TOggCommentTag* tag = FindComment(*format.Tags, field);
            std::vector<std::string> read{WideToUtf8(tag->Value)};
            for (const auto& more : tag->MoreValues)
                read.push_back(WideToUtf8(more));
            EXPECT_EQ(read, all) << field;
            EXPECT_TRUE(tag->Exists);
        }
        ASSERT_EQ(format.ExtraTags->CommentCount(), static_cast<int>(extras.size()));
        for (size_t i = 0; i < extras.size(); ++i) {
            const TOggCommentTag* tag = format.ExtraTags->Comment(static_cast<int>(i));
            EXPECT_EQ(tag->FieldName + "=" + WideToUtf8(tag->Value), extras[i]);
        }
        EXPECT_EQ(format.IsTagEmpty(), Facts(expected, "tag").empty());
        // A standard PICTURE block is a picture of the slot.
        EXPECT_EQ(format.Tags->Pictures->Count(), std::string(name) == "picture.flac" ? 1 : 0);
        // Bit rate over the audio bytes (the loop stops 4 bytes into the first frame).
        size_t audioStart;
        const std::string bytes = ReadAll(FixturePath(std::string("flacogg/") + name));
        Blocks(bytes, &audioStart);
        EXPECT_EQ(format.AudioStart, static_cast<int64_t>(audioStart));
        if (std::string(name) == "streaminfo.flac") {
            EXPECT_EQ(format.AudioStart, 42);
            EXPECT_EQ(format.Bitrate, 0);
        } else {
            const double kbits = (bytes.size() - audioStart - 4) / 1000.0 * 8 / format.GetDuration();
            EXPECT_EQ(format.Bitrate, static_cast<int32_t>(std::nearbyint(kbits)));
        }
        format.Close(0);
    }
    TFlacMediaFormat dupes;
    ASSERT_TRUE(dupes.Open(FixtureText("flacogg/dupes.flac"), false, 0, false));
    EXPECT_EQ(dupes.Tags->Artist->Value, L"first");
    TFlacMediaFormat tagged;
    ASSERT_TRUE(tagged.Open(FixtureText("flacogg/tagged.flac"), false, 0, false));
    EXPECT_EQ(tagged.Tags->Title->Value, L"a=b");
    EXPECT_EQ(static_cast<TOggKnownTags&>(*tagged.Tags).Performer->Value, L"Solo Voice");
    EXPECT_TRUE(tagged.Tags->Conductor->Value.empty());
    EXPECT_EQ(tagged.Tags->Composer->Value, L"Mixed Case");
}

TEST_F(FlacTest, SaveInPlaceMergesPaddingIntoOneBlockBeforeTheAudio) {
    const std::wstring path = CopyFixture(Folder, "flacogg/twopad.flac");
    const std::string before = ReadAll(NativePath(path));
    size_t audioStart;
    const auto oldBlocks = Blocks(before, &audioStart);
    TFlacMediaFormat format;
    ASSERT_TRUE(format.Open(path, true, 0, false));
    format.Tags->Artist->SetValue(L"New Artist");
    format.Tags->Comment->SetValue(L"   "); // blank: dropped
    ASSERT_TRUE(format.Post(0)) << format.LastError;
    const std::string after = ReadAll(NativePath(path));
    ASSERT_EQ(after.size(), before.size());
    EXPECT_TRUE(after.substr(audioStart) == before.substr(audioStart)); // audio untouched
    size_t newAudioStart;
    const auto blocks = Blocks(after, &newAudioStart);
    EXPECT_EQ(newAudioStart, audioStart);
    ASSERT_EQ(blocks.size(), 4u); // STREAMINFO, SEEKTABLE, VORBIS_COMMENT, one PADDING
    EXPECT_EQ(blocks[1].Type, 3);
    EXPECT_TRUE(BlockBytes(after, blocks[1]) == BlockBytes(before, oldBlocks[1])); // seek table as it was
    EXPECT_EQ(blocks[2].Type, 4);
    EXPECT_EQ(blocks[3].Type, 1);
    EXPECT_TRUE(blocks[3].Last);
    EXPECT_EQ(blocks[3].Offset + 4 + blocks[3].Length, audioStart); // the padding fills the gap
    CheckSaved(path, {"PERFORMER=Solo Voice", "ARTIST=New Artist", "TITLE=a=b", "ALBUM=Flac Album", "TRACKNUMBER=3/12",
                      "COMPOSER=Mixed Case", "GENRE=Ambient", "DATE=2007", "Foo=bar", "ZETA=last extra"});
    // Post re-read the file.
    EXPECT_EQ(format.Tags->Artist->Value, L"New Artist");
    EXPECT_FALSE(format.Tags->Comment->Exists);
}

TEST_F(FlacTest, StreamInfoOnlyFileIsRebuiltWithPadding) {
    const std::wstring path = CopyFixture(Folder, "flacogg/streaminfo.flac");
    const std::string before = ReadAll(NativePath(path));
    TFlacMediaFormat format;
    ASSERT_TRUE(format.Open(path, true, 0, false));
    EXPECT_TRUE(format.IsTagEmpty());
    format.Tags->Title->SetValue(L"Fresh");
    ASSERT_TRUE(format.Post(0)) << format.LastError;
    const std::string after = ReadAll(NativePath(path));
    size_t audioStart;
    const auto blocks = Blocks(after, &audioStart);
    ASSERT_EQ(blocks.size(), 3u);
    EXPECT_EQ(blocks[1].Type, 4);
    EXPECT_EQ(blocks[2].Type, 1);
    EXPECT_EQ(blocks[2].Length, 4096u);
    EXPECT_TRUE(after.substr(audioStart) == before.substr(42));
    EXPECT_EQ(after.substr(4, 4), std::string("\x00\x00\x00\x22", 4)); // STREAMINFO no longer last
    CheckSaved(path, {"TITLE=Fresh"});
    EXPECT_EQ(FolderEntries(Folder).size(), 1u); // no temporary or backup left
}

TEST_F(FlacTest, GrowthBeyondTheGapRebuildsAndKeepsForeignBlocks) {
    const std::wstring path = CopyFixture(Folder, "flacogg/picture.flac");
    const std::string before = ReadAll(NativePath(path));
    size_t oldAudio;
    const auto oldBlocks = Blocks(before, &oldAudio);
    TFlacMediaFormat format;
    ASSERT_TRUE(format.Open(path, true, 0, false));
    EXPECT_EQ(format.Tags->Pictures->Count(), 1) << "the standard PICTURE block";
    format.Tags->Lyrics->SetValue(std::wstring(3000, L'l'));
    ASSERT_TRUE(format.Post(0)) << format.LastError;
    const std::string after = ReadAll(NativePath(path));
    size_t audioStart;
    const auto blocks = Blocks(after, &audioStart);
    EXPECT_TRUE(after.substr(audioStart) == before.substr(oldAudio));
    std::vector<uint8_t> types;
    for (const auto& b : blocks)
        types.push_back(b.Type);
    EXPECT_EQ(types, (std::vector<uint8_t>{0, 2, 3, 6, 4, 1})); // kept blocks in file order, then ours
    EXPECT_TRUE(BlockBytes(after, blocks[1]) == BlockBytes(before, oldBlocks[1])); // APPLICATION "TEST"
    EXPECT_TRUE(BlockBytes(after, blocks[3]) == BlockBytes(before, oldBlocks[5])); // PICTURE
    EXPECT_EQ(blocks.back().Length, 4096u);
    if (HaveTools()) {
        std::string output;
        EXPECT_TRUE(FlacTestPasses(path, output)) << output;
        const TFacts facts = MutagenFacts(path);
        EXPECT_EQ(Fact(facts, "pictures"), "1");
        const auto tags = Facts(facts, "tag");
        EXPECT_NE(std::find(tags.begin(), tags.end(), "LYRICS=" + std::string(3000, 'l')), tags.end());
    }
}

TEST_F(FlacTest, UnmodifiedSaveWritesNothing) {
    const std::wstring path = CopyFixture(Folder, "flacogg/tagged.flac");
    const auto stamp = std::filesystem::last_write_time(NativePath(path));
    TFlacMediaFormat format;
    ASSERT_TRUE(format.Open(path, true, 0, false));
    std::filesystem::last_write_time(NativePath(path), stamp - std::chrono::hours(1));
    const auto old = std::filesystem::last_write_time(NativePath(path));
    EXPECT_TRUE(format.Post(0));
    EXPECT_EQ(std::filesystem::last_write_time(NativePath(path)), old);
    EXPECT_TRUE(ReadAll(NativePath(path)) == ReadAll(FixturePath("flacogg/tagged.flac")));
}

TEST_F(FlacTest, PictureBlockLayout) {
    // records size -> block length (records + 10 rounded up to 8, plus 4)
    for (const auto& [records, length] :
         std::vector<std::pair<uint64_t, uint32_t>>{{5, 20}, {6, 20}, {7, 28}, {0, 20}, {14, 28}})
        EXPECT_EQ(TFlacPictureTag::BlockLength(records), length) << records;
    TFlacMediaFormat format;
    TPictureItem* item = format.Tags->Pictures->Add();
    item->FormatCode = 1;
    item->FormatVariant = 9;
    const uint8_t one = 0x42;
    item->SetData(&one, 1); // a 9-byte record: block length 28, 5 zero bytes after it
    TMemoryStream out;
    format.Tags->Pictures->SaveToStream(out);
    const std::string block(out.Data().begin(), out.Data().end());
    EXPECT_EQ(block, PictureBlock({{1, 9, "", "\x42"}}));
    ASSERT_EQ(block.size(), 4u + 28);
    EXPECT_EQ(block.substr(4 + 14 + 9), std::string(5, '\0'));
}

TEST_F(FlacTest, OwnPictureBlockRoundTripsThroughASave) {
    REQUIRE_FIXTURE("flacogg/cover.jpg");
    const std::string jpeg = ReadAll(FixturePath("flacogg/cover.jpg"));
    const std::string raw = "not a jpeg, kept as bytes";
    const std::wstring path =
        WithBlock(Folder, "flacogg/tagged.flac",
                  PictureBlock({{0, 3, "Front \xC3\xA9t\xC3\xA9", jpeg}, {1, 7, "raw", raw}}), "pictures.flac");
    {
        TFlacMediaFormat format;
        ASSERT_TRUE(format.Open(path, true, 0, false));
        TBasePictureTag& pictures = *format.Tags->Pictures;
        ASSERT_EQ(pictures.Count(), 2);
        EXPECT_TRUE(pictures.Exists);
        EXPECT_TRUE(pictures.Item(0)->Decoded);
        EXPECT_EQ(pictures.Item(0)->Bitmap->Width(), 40);
        EXPECT_EQ(pictures.Item(0)->Bitmap->Height(), 30);
        EXPECT_EQ(pictures.Item(0)->FormatVariant, 3);
        EXPECT_EQ(pictures.Item(0)->Description, WideToAnsi(L"Front \u00E9t\u00E9"));
        EXPECT_EQ(std::string(pictures.Item(0)->Data.begin(), pictures.Item(0)->Data.end()), jpeg);
        EXPECT_FALSE(pictures.Item(1)->Decoded);
        EXPECT_EQ(std::string(pictures.Item(1)->Data.begin(), pictures.Item(1)->Data.end()), raw);
        EXPECT_TRUE(HasArtwork(&format));
        // A third picture that exists only as a bitmap is encoded as JPEG on saving.
        Bitmap32 red(16, 8);
        red.Fill(0xFFFF0000);
        pictures.Add()->SetBitmap(red);
        format.Tags->Album->SetValue(L"With Pictures");
        ASSERT_TRUE(format.Post(0)) << format.LastError;
    }
    TFlacMediaFormat format;
    ASSERT_TRUE(format.Open(path, false, 0, false));
    TBasePictureTag& pictures = *format.Tags->Pictures;
    ASSERT_EQ(pictures.Count(), 3);
    EXPECT_EQ(std::string(pictures.Item(0)->Data.begin(), pictures.Item(0)->Data.end()), jpeg); // bytes as stored
    EXPECT_EQ(pictures.Item(0)->FormatVariant, 3);
    EXPECT_EQ(pictures.Item(0)->Description, WideToAnsi(L"Front \u00E9t\u00E9"));
    EXPECT_EQ(pictures.Item(1)->FormatCode, 1);
    EXPECT_EQ(pictures.Item(1)->FormatVariant, 7);
    EXPECT_EQ(std::string(pictures.Item(1)->Data.begin(), pictures.Item(1)->Data.end()), raw);
    ASSERT_TRUE(pictures.Item(2)->Decoded);
    EXPECT_EQ(pictures.Item(2)->Bitmap->Width(), 16);
    EXPECT_EQ(pictures.Item(2)->FormatCode, 0);
    EXPECT_EQ(format.Tags->Album->Value, L"With Pictures");
    format.Close(0);
    if (HaveTools()) {
        std::string output;
        EXPECT_TRUE(FlacTestPasses(path, output)) << output;
    }
    // A block whose only pictures were never decoded is still written back with them.
    const std::wstring rawOnly = WithBlock(Folder, "flacogg/tagged.flac", PictureBlock({{1, 0, "", raw}}), "raw.flac");
    TFlacMediaFormat second;
    ASSERT_TRUE(second.Open(rawOnly, true, 0, false));
    EXPECT_FALSE(second.Tags->Pictures->Exists);
    second.Tags->Title->SetValue(L"t2");
    ASSERT_TRUE(second.Post(0));
    ASSERT_TRUE(second.Open(rawOnly, false, 0, false));
    ASSERT_EQ(second.Tags->Pictures->Count(), 1);
    EXPECT_EQ(second.Tags->Pictures->Item(0)->FormatCode, 1);
}

TEST_F(FlacTest, ClearingPicturesDropsTheBlock) {
    REQUIRE_FIXTURE("flacogg/cover.jpg");
    const std::string jpeg = ReadAll(FixturePath("flacogg/cover.jpg"));
    const std::wstring path = WithBlock(Folder, "flacogg/tagged.flac", PictureBlock({{0, 0, "", jpeg}}), "c.flac");
    TFlacMediaFormat format;
    ASSERT_TRUE(format.Open(path, true, 0, false));
    format.Tags->Pictures->Clear();
    EXPECT_TRUE(format.GetModified());
    ASSERT_TRUE(format.Post(0));
    for (const auto& b : Blocks(ReadAll(NativePath(path))))
        EXPECT_NE(b.Type, 2);
    CheckSaved(path,
               {"PERFORMER=Solo Voice", "ARTIST=Flac Artist", "TITLE=a=b", "ALBUM=Flac Album", "COMMENT=padded",
                "TRACKNUMBER=3/12", "COMPOSER=Mixed Case", "GENRE=Ambient", "DATE=2007", "Foo=bar", "ZETA=last extra"});
}

TEST_F(FlacTest, InjectedFailuresLeaveTheFileAsItWas) {
    // In place (tagged.flac has room) and rebuilt (nopad.flac has none): each path reaches exactly its
    // own steps, and a failure at any of them (and at any single write) leaves the file as it was.
    const struct {
        const char* Fixture;
        std::vector<std::string> Steps; // consecutive writes as one "write"
    } paths[] = {
        {"flacogg/tagged.flac", {"open-for-writing", "write", "flush"}},
        {"flacogg/nopad.flac", {"create-temporary", "write", "flush", "rename-original", "rename-temporary"}},
    };
    for (const auto& path : paths) {
        SCOPED_TRACE(path.Fixture);
        TempFolder folder;
        const std::wstring file = CopyFixture(folder, path.Fixture);
        const std::string original = ReadAll(NativePath(file));
        auto save = [&] {
            TFlacMediaFormat format;
            EXPECT_TRUE(format.Open(file, true, 0, false));
            format.Tags->Artist->SetValue(L"Changed artist");
            const bool saved = format.Post(0);
            return std::make_pair(saved, format.LastError);
        };
        std::vector<std::string> reached;
        int writes = 0;
        {
            ScopedFaults record([&](const char* name) {
                const std::string step = name;
                writes += step == "write";
                if (reached.empty() || reached.back() != step || step != "write")
                    reached.push_back(step);
                return false;
            });
            ASSERT_TRUE(save().first);
        }
        EXPECT_EQ(reached, path.Steps);
        ASSERT_GT(writes, 0);
        std::vector<std::string> faults = reached;
        for (int n = 1; n <= writes; ++n)
            faults.push_back("write#" + std::to_string(n));
        for (const auto& fault : faults) {
            if (fault == "write")
                continue;
            SCOPED_TRACE(fault);
            WriteAll(NativePath(file), original);
            int counted = 0;
            ScopedFaults inject([&](const char* name) {
                if (fault.rfind("write#", 0) == 0)
                    return std::string(name) == "write" && ++counted == std::stoi(fault.substr(6));
                return fault == name;
            });
            const auto [saved, error] = save();
            EXPECT_FALSE(saved);
            EXPECT_NE(error, 0u);
            EXPECT_TRUE(ReadAll(NativePath(file)) == original);
            EXPECT_EQ(FolderEntries(folder).size(), 1u); // no temporary or backup left behind
        }
    }
}

TEST_F(FlacTest, DamagedFilesFailQuickly) {
    const std::string good = ReadAll(FixturePath("flacogg/tagged.flac"));
    size_t audioStart;
    const auto blocks = Blocks(good, &audioStart);
    const Block& comment = blocks[2];
    ASSERT_EQ(comment.Type, 4);
    auto patched = [&](size_t at, const std::string& bytes) {
        std::string s = good;
        s.replace(at, bytes.size(), bytes);
        return s;
    };
    const std::string longSamples = [&] {
        // 2^32 + 88200 samples: the low 32 bits alone would be a tiny count.
        std::string s = good;
        s[21] = static_cast<char>((s[21] & 0xF0) | 0x01);
        return s;
    }();
    struct Case {
        const char* what;
        std::string bytes;
        bool reads;
    };
    const std::vector<Case> cases = {
        {"ID3v2 in front (passed over)", std::string("ID3\x03\x00\x00\x00\x00\x00\x02\x00\x00", 12) + good, true},
        {"ID3v2 in front, longer than the file", std::string("ID3\x03\x00\x00\x00\x7F\x00\x00", 10) + good, false},
        {"too short", good.substr(0, 41), false},
        {"total samples 0", patched(22, std::string(4, '\0')).replace(21, 1, 1, static_cast<char>(good[21] & 0xF0)),
         false},
        {"36-bit sample count", longSamples, true},
        {"block past the end", patched(comment.Offset + 1, "\x7F\xFF\xFF"), false},
        {"zero-length comment block", patched(comment.Offset + 1, std::string(3, '\0')), false},
        {"vendor length 65536", patched(comment.Offset + 4, std::string("\x00\x00\x01\x00", 4)), false},
        {"entry count past the block", patched(comment.Offset + 4 + 4 + 32, "\xFF\xFF\xFF\x7F"), false},
        {"metadata cut off", good.substr(0, comment.Offset + 10), false},
        {"no audio after the last block", good.substr(0, audioStart), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::wstring path = Folder.Text("damaged.flac");
        WriteAll(NativePath(path), c.bytes);
        TFlacMediaFormat format;
        EXPECT_EQ(format.Open(path, false, 0, false), c.reads);
        format.Close(0);
    }
    TFlacMediaFormat longFile;
    const std::wstring path = Folder.Text("long.flac");
    WriteAll(NativePath(path), longSamples);
    ASSERT_TRUE(longFile.Open(path, false, 0, false));
    EXPECT_EQ(longFile.TotalSamples, (int64_t(1) << 32) + 88200);

    // A picture record whose data passes its block.
    std::string block = PictureBlock({{0, 0, "", "abcd"}});
    PutLE32(reinterpret_cast<uint8_t*>(block.data()) + 4 + 14 + 2, 1000000);
    const std::wstring broken = WithBlock(Folder, "flacogg/tagged.flac", block, "broken.flac");
    TFlacMediaFormat format;
    EXPECT_FALSE(format.Open(broken, false, 0, false));
}

} // namespace
} // namespace mellodeck
