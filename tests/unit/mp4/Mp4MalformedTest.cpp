// Damaged and unusual atom trees, made by hand: each opens or fails cleanly, quickly, and within bounds.
#include <gtest/gtest.h>

#include "Mp4TestSupport.h"
#include "TestPaths.h"
#include "media/core/MediaManager.h"
#include "media/mp4/AtomTypes.h"

namespace mellodeck::test {
namespace {

const ByteVector kFtyp = Atom("ftyp", Join({Text("M4A "), BE32(0)}));

ByteVector Titled(const std::string& title) { return DataItem(item::kTitle, 1, Text(title)); }

// Offset of the first occurrence of a type in a file.
size_t Find(const ByteVector& file, const std::string& type) {
    for (size_t i = 4; i + 4 <= file.size(); ++i)
        if (std::equal(type.begin(), type.end(), file.begin() + static_cast<ptrdiff_t>(i)))
            return i - 4;
    throw std::runtime_error("no " + type);
}

void PutSize(ByteVector& file, size_t at, uint32_t size) {
    const ByteVector b = BE32(size);
    std::copy(b.begin(), b.end(), file.begin() + static_cast<ptrdiff_t>(at));
}

class Mp4Malformed : public ::testing::Test {
protected:
    void SetUp() override { MediaLibraryStart(); }
    std::unique_ptr<TMPEG4MediaFormat> OpenBytes(const ByteVector& bytes) {
        const auto path = folder.Path() / ("case" + std::to_string(++counter) + ".m4a");
        WriteBytes(path, bytes);
        return OpenMp4(path);
    }
    TempFolder folder;
    int counter = 0;
};

TEST_F(Mp4Malformed, StructuralDamageFailsWithInvalidData) {
    const ByteVector good = MinimalFile(Titled("ok"));
    const size_t trak = Find(good, "trak");
    const size_t mvhd = Find(good, "mvhd");

    std::vector<std::pair<std::string, ByteVector>> cases;
    cases.emplace_back("no mdat", Join({kFtyp, Atom("moov", Atom("mvhd", ByteVector(100, 0)))}));
    cases.emplace_back("no moov", Join({kFtyp, Atom("mdat", ByteVector(32, 1))}));
    cases.emplace_back("empty file", ByteVector{});
    {
        ByteVector b = good; // an atom smaller than its own header
        PutSize(b, trak, 4);
        cases.emplace_back("size 4", b);
    }
    {
        ByteVector b = good; // a child larger than its parent
        PutSize(b, trak, 0x10000);
        cases.emplace_back("child beyond parent", b);
    }
    {
        ByteVector b = good; // 64-bit form with a size below its 16-byte header
        PutSize(b, trak, 1);
        cases.emplace_back("64-bit size 0", Join({ByteVector(b.begin(), b.begin() + static_cast<ptrdiff_t>(trak) + 8),
                                                  ByteVector(8, 0), ByteVector(b.begin() + static_cast<ptrdiff_t>(trak) + 8, b.end())}));
    }
    {
        // A movie header too short for its time scale and duration; the moov size is kept right.
        ByteVector b = good;
        ByteVector shortened(b.begin(), b.begin() + static_cast<ptrdiff_t>(mvhd));
        const ByteVector truncated = Atom("mvhd", ByteVector(12, 0));
        shortened.insert(shortened.end(), truncated.begin(), truncated.end());
        shortened.insert(shortened.end(), b.begin() + static_cast<ptrdiff_t>(mvhd) + 108, b.end());
        const size_t moov = Find(shortened, "moov");
        PutSize(shortened, moov, GetBE32(b.data() + Find(b, "moov")) - 88);
        cases.emplace_back("truncated mvhd", shortened);
    }
    {
        // Very many siblings: more atoms than the walk accepts.
        ByteVector many;
        for (int i = 0; i < kMPEG4MaxAtoms + 10; ++i) {
            const ByteVector free = Atom("free", {});
            many.insert(many.end(), free.begin(), free.end());
        }
        cases.emplace_back("too many atoms", Join({kFtyp, Atom("moov", many), Atom("mdat", ByteVector(8, 0))}));
    }
    {
        ByteVector b = good; // the file ends inside an atom
        b.resize(b.size() - 10);
        cases.emplace_back("truncated mdat", b);
    }
    for (const auto& [name, bytes] : cases) {
        auto format = OpenBytes(bytes);
        EXPECT_EQ(format->LastError, kErrorInvalidData) << name;
    }
}

TEST_F(Mp4Malformed, UnusualButValidLayoutsOpen) {
    const ByteVector good = MinimalFile(Titled("ok"));
    std::vector<std::pair<std::string, ByteVector>> cases;
    {
        ByteVector b = good; // the last atom runs to the end of the file
        PutSize(b, Find(b, "mdat"), 0);
        cases.emplace_back("mdat of size 0", b);
    }
    {
        // Deep nesting inside an atom nobody descends into, and a few bytes of padding after the last atom.
        ByteVector nest = Atom("zzzz", {});
        for (int i = 0; i < 5000; ++i)
            nest = Atom("zzzz", nest);
        cases.emplace_back("deep nesting", Join({good, nest, ByteVector{0, 0, 0, 0}}));
    }
    {
        // An item list that ends in an item claiming more than the list holds: the items before it stay.
        ByteVector items = Join({Titled("kept"), BE32(5000), BE32(item::kArtist), ByteVector(20, 0)});
        cases.emplace_back("lying item", MinimalFile(items));
    }
    {
        ByteVector items = Join({Titled("kept"), BE32(4), BE32(item::kArtist)});
        cases.emplace_back("item shorter than a header", MinimalFile(items));
    }
    {
        // No length in the movie header: the sound track's media header gives it.
        ByteVector b = good;
        PutSize(b, Find(b, "mvhd") + 24, 0);
        cases.emplace_back("movie without duration", b);
    }
    for (const auto& [name, bytes] : cases) {
        auto format = OpenBytes(bytes);
        EXPECT_EQ(format->LastError, 0u) << name;
        EXPECT_TRUE(format->IsOpen()) << name;
        const std::string title = Narrow(format->Tags->Title->Value);
        EXPECT_TRUE(title == "ok" || title == "kept") << name << ": " << title;
        EXPECT_DOUBLE_EQ(format->GetDuration(), 5.0) << name;
        EXPECT_EQ(format->GetSampleRate(), 44100) << name;
        EXPECT_EQ(format->Channels, 2) << name;
    }
}

TEST_F(Mp4Malformed, ChunkTablesThatCannotBeTrustedBlockOnlyRebuilds) {
    // A count larger than the table holds.
    const ByteVector table = Atom("stco", Join({BE32(0), BE32(1000), BE32(1)}));
    auto format = OpenBytes(MinimalFile(Titled("ok"), WithChunkTable(table)));
    EXPECT_TRUE(format->IsOpen());
    EXPECT_TRUE(format->ChunkOffsetTables.empty());
    EXPECT_FALSE(format->RebuildRefusal.empty());
    EXPECT_TRUE(format->SaveRefusal.empty());
}

} // namespace
} // namespace mellodeck::test

namespace mellodeck::test {
namespace {

// Two item lists in one "meta" (made from an ffmpeg file tagged by mutagen): the first is read, and a
// save, which would write one list and leave the other, is refused with the file untouched.
TEST(Mp4TwoItemLists, AreReadButNotRewritten) {
    MediaLibraryStart();
    if (!HaveFixture("losses/two-ilst.m4a"))
        GTEST_SKIP() << "loss fixtures not generated: tests/fixtures/make-losses.sh build/fixtures";
    TempFolder folder;
    const auto path = folder.Path() / "two-ilst.m4a";
    const std::string original = ReadAll(FixturePath("losses/two-ilst.m4a"));
    WriteAll(path, original);
    TMPEG4MediaFormat format;
    ASSERT_TRUE(format.Open(folder.Text("two-ilst.m4a"), true, 0, false));
    EXPECT_EQ(format.Tags->Title->Value, L"First list");
    EXPECT_FALSE(format.SaveRefusal.empty());
    format.Tags->Title->SetValue(L"Changed");
    EXPECT_FALSE(format.Post(0));
    EXPECT_EQ(format.LastError, kErrorLayoutNotWritable);
    EXPECT_EQ(ReadAll(path), original);
}

} // namespace
} // namespace mellodeck::test
