// Items of the MPEG-4 item list, loaded into and saved from the known tags.
#include <gtest/gtest.h>

#include "Mp4TestSupport.h"
#include "TestPaths.h"
#include "media/core/MediaManager.h"
#include "media/mp4/AtomTypes.h"

namespace mellodeck::test {
namespace {

class Mp4Item : public ::testing::Test {
protected:
    void SetUp() override { MediaLibraryStart(); }
    TMPEG4KnownTags& Tags() { return *format.KnownTags(); }
    // Loads an item the way the reader does.
    TBaseTag* Load(const ByteVector& item) {
        TBaseTag* tag = Tags().FindItemTag(ItemType(item.data(), item.size()));
        if (tag) {
            tag->LoadFromBuffer(item.data(), item.size());
            tag->Exists = true;
        }
        Tags().SetModified(false);
        return tag;
    }
    static ByteVector Save(TBaseTag* tag) {
        TMemoryStream out;
        tag->SaveToStream(out);
        return out.Data();
    }
    static std::string Value(const TBaseStringTag* tag) { return Narrow(tag->Value); }
    TMPEG4MediaFormat format;
};

TEST_F(Mp4Item, TrackNumbersReadAsPaddedPairs) {
    struct Case {
        ByteVector Payload;
        const char* Value;
    } cases[] = {
        {{0, 0, 0, 3, 0, 12, 0, 0}, "03/12"},
        {{0, 0, 0, 12, 0, 15, 0, 0}, "12/15"},
        {{0, 0, 0, 123, 0, 5, 0, 0}, "123/05"},
        {{0, 0, 0, 3, 0, 0, 0, 0}, "3"},
        {{0, 0, 0, 0, 0, 12, 0, 0}, ""},
        {{0, 4}, "4"},      // other lengths read as a plain number
        {{1, 2, 3}, ""},    // a length no number has
    };
    for (const Case& c : cases) {
        Tags().ClearAll();
        Load(DataItem(item::kTrack, 0, c.Payload));
        EXPECT_EQ(Value(Tags().Track), c.Value);
    }
}

TEST_F(Mp4Item, TrackValueIsWrittenAsNumberAndTotal) {
    Tags().Track->SetValue(L"7/10");
    EXPECT_EQ(Save(Tags().Track), DataItem(item::kTrack, 0, {0, 0, 0, 7, 0, 10, 0, 0}));
    Tags().Track->SetValue(L"9");
    EXPECT_EQ(Save(Tags().Track), DataItem(item::kTrack, 0, {0, 0, 0, 9, 0, 0, 0, 0}));
}

TEST_F(Mp4Item, GenreCodesAndNames) {
    const struct {
        ByteVector Item;
        const char* Value;
    } reads[] = {
        {DataItem(item::kGenreCode, 0, {0, 21}), "Alternative"},
        {DataItem(item::kGenreCode, 0, {0, 1}), "Blues"}, // any ID3 genre, not only the table's names
        {DataItem(item::kGenreCode, 0, {0, 200}), ""},
        {DataItem(item::kGenreCode, 0, {0, 0}), ""},
        {DataItem(item::kGenreText, 1, Text("Chamber Pop")), "Chamber Pop"},
    };
    for (const auto& r : reads) {
        Tags().ClearAll();
        EXPECT_EQ(Load(r.Item), Tags().Genre);
        EXPECT_EQ(Value(Tags().Genre), r.Value);
    }

    const struct {
        const wchar_t* Value;
        ByteVector Item;
    } writes[] = {
        {L"alternative", DataItem(item::kGenreCode, 0, {0, 21})},
        {L"Rock", DataItem(item::kGenreCode, 0, {0, 18})},
        {L"Chamber Pop", DataItem(item::kGenreText, 1, Text("Chamber Pop"))},
        // The table's code 100 names another genre for every other reader: kept as text.
        {L"Easy Listening", DataItem(item::kGenreText, 1, Text("Easy Listening"))},
    };
    for (const auto& w : writes) {
        Tags().Genre->SetValue(w.Value);
        EXPECT_EQ(Save(Tags().Genre), w.Item) << Narrow(w.Value);
    }
}

TEST_F(Mp4Item, TextLengthLimitKeepsWholeCharacters) {
    Tags().Title->SetValue(std::wstring(300, L'T'));
    ByteVector saved = Save(Tags().Title);
    EXPECT_EQ(saved, DataItem(item::kTitle, 1, ByteVector(255, 'T')));

    // 254 ASCII bytes and a two-byte letter: the letter would straddle the limit and is left out.
    Tags().Title->SetValue(std::wstring(254, L'a') + L"\u00e4bc");
    saved = Save(Tags().Title);
    EXPECT_EQ(saved, DataItem(item::kTitle, 1, ByteVector(254, 'a')));

    const std::wstring lyrics(1000, L'l');
    Tags().Lyrics->SetValue(lyrics);
    EXPECT_EQ(Save(Tags().Lyrics), DataItem(item::kLyrics, 1, ByteVector(1000, 'l')));

    Tags().Album->SetValue(L"");
    EXPECT_TRUE(Save(Tags().Album).empty());
}

TEST_F(Mp4Item, NumbersAndFlags) {
    Load(DataItem(item::kBPM, 21, {0, 0}));
    EXPECT_EQ(Value(Tags().BPM), "");
    Tags().BPM->SetValue(L"120");
    EXPECT_EQ(Save(Tags().BPM), DataItem(item::kBPM, 21, {0x00, 0x78}));

    // A compilation flag is the one-byte integer every other reader expects.
    Load(DataItem(item::kCompilation, 21, {1}));
    EXPECT_EQ(Value(Tags().Compilation), "1");
    Tags().Compilation->SetValue(L"1");
    Tags().Compilation->SetModified(true);
    EXPECT_EQ(Save(Tags().Compilation), DataItem(item::kCompilation, 21, {1}));
    Tags().Compilation->SetValue(L"0");
    EXPECT_EQ(Save(Tags().Compilation), DataItem(item::kCompilation, 21, {0}));
}

TEST_F(Mp4Item, UnchangedItemsAreWrittenBackAsRead) {
    // Two values and a UTF-16 type indicator: nothing our value could express exactly.
    const ByteVector twoValues = Atom(item::kArtist, Join({Atom("data", Join({BE32(1), BE32(0), Text("First")})),
                                                      Atom("data", Join({BE32(1), BE32(0), Text("Second")}))}));
    Load(twoValues);
    EXPECT_EQ(Value(Tags().Artist), "First");
    EXPECT_EQ(Save(Tags().Artist), twoValues);

    const ByteVector longTitle = DataItem(item::kTitle, 1, ByteVector(400, 'x'));
    Load(longTitle);
    EXPECT_EQ(Tags().Title->Value.size(), 400u);
    EXPECT_EQ(Save(Tags().Title), longTitle);

    const ByteVector utf16 = DataItem(item::kAlbum, 2, {0x00, 'A', 0x00, 0xE4});
    Load(utf16);
    EXPECT_EQ(Tags().Album->Value, L"A\u00e4");
    EXPECT_EQ(Save(Tags().Album), utf16);

    // Once changed, the value is written the usual way and the old items are gone.
    Tags().Artist->SetValue(L"Only");
    EXPECT_EQ(Save(Tags().Artist), DataItem(item::kArtist, 1, Text("Only")));
}

TEST_F(Mp4Item, ItemsThatLieAboutTheirSizeStayInside) {
    const ByteVector cases[] = {
        Atom(item::kTitle, {}),                                               // no data atom at all
        Atom(item::kTitle, Join({BE32(500), Text("data"), BE32(1), BE32(0), Text("abc")})), // claims more
        Atom(item::kTitle, Join({BE32(12), Text("data"), BE32(1)})),          // shorter than a data header
        Atom(item::kTitle, Join({BE32(1), Text("data"), BE32(0), BE32(40)})), // 64-bit form inside an item
        Atom(item::kTitle, Join({BE32(20), Text("mean"), BE32(1), BE32(0), Text("abcd")})), // not "data"
    };
    for (const ByteVector& item : cases) {
        Tags().ClearAll();
        Load(item);
        EXPECT_TRUE(Tags().Title->Exists);
        EXPECT_EQ(Value(Tags().Title), "");
        EXPECT_EQ(Save(Tags().Title), item); // kept as it was
    }
}

TEST_F(Mp4Item, CoverItemsKeepEveryPictureAndItsKind) {
    if (!HaveFixture("mp4/cover.jpg"))
        GTEST_SKIP() << "fixtures not generated";
    const ByteVector jpeg = ReadBytes(FixturePath("mp4/cover.jpg"));
    const ByteVector png = ReadBytes(FixturePath("mp4/cover.png"));
    const ByteVector odd = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    auto data = [](uint8_t kind, const ByteVector& payload) {
        return Atom("data", Join({ByteVector{0, 0, 0, kind}, BE32(0), payload}));
    };
    const ByteVector covr = Atom(item::kCover, Join({data(13, jpeg), data(14, png), data(27, odd)}));
    Load(covr);
    TBasePictureTag* pictures = Tags().Pictures;
    ASSERT_EQ(pictures->Count(), 3);
    EXPECT_TRUE(pictures->Item(0)->HasBitmap());
    EXPECT_EQ(pictures->Item(0)->Bitmap->Width(), 40);
    EXPECT_EQ(pictures->Item(1)->Bitmap->Height(), 16);
    EXPECT_FALSE(pictures->Item(2)->HasBitmap());
    EXPECT_EQ(pictures->Item(2)->Data, odd);
    EXPECT_EQ(pictures->Item(2)->CoverDataType[3], 27);
    EXPECT_EQ(Save(pictures), covr);

    // Removing a picture rewrites the item from the rest, raw bytes with their kinds.
    pictures->Remove(pictures->Item(0));
    EXPECT_EQ(Save(pictures), Atom(item::kCover, Join({data(14, png), data(27, odd)})));

    // A picture given only as a bitmap is stored as JPEG.
    Bitmap32 red(5, 4);
    red.Fill(0xFFFF0000);
    pictures->Add()->SetBitmap(red);
    const ByteVector saved = Save(pictures);
    TMPEG4MediaFormat other;
    TBaseTag* tag = other.FindItemTag(item::kCover);
    tag->LoadFromBuffer(saved.data(), saved.size());
    ASSERT_EQ(other.Tags->Pictures->Count(), 3);
    TPictureItem* added = other.Tags->Pictures->Item(2);
    EXPECT_EQ(added->CoverDataType[3], 13);
    ASSERT_TRUE(added->HasBitmap());
    EXPECT_EQ(added->Bitmap->Width(), 5);

    // Children that are not data atoms, or too short, end the list.
    const ByteVector broken = Atom(item::kCover, Join({data(13, jpeg), BE32(4), Text("data"), data(14, png)}));
    Tags().ClearAll();
    Load(broken);
    EXPECT_EQ(pictures->Count(), 1);
    EXPECT_TRUE(pictures->Exists);
}

TEST_F(Mp4Item, AMainPictureIsOneThatDecoded) {
    const ByteVector broken = Atom(item::kCover, Atom("data", Join({ByteVector{0, 0, 0, 13}, BE32(0), ByteVector{0xFF, 0xD8, 0}})));
    Load(broken);
    ASSERT_EQ(Tags().Pictures->Count(), 1);
    EXPECT_TRUE(Tags().Pictures->Exists);
    EXPECT_FALSE(HasArtwork(&format));
}

} // namespace
} // namespace mellodeck::test
