// Ogg Vorbis files: reading against what mutagen reads, saves that keep, add or remove pages, injected
// failures, damaged input.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "FlacOggSupport.h"
#include "media/core/MediaManager.h"
#include "media/ogg/OggMediaFormat.h"
#include "media/ogg/OggPage.h"
#include "media/vorbis/OggKnownTags.h"
#include "media/vorbis/VorbisComments.h"

namespace mellodeck {
namespace {

using namespace test;

struct Page {
    size_t Offset, Size;
    TOggPage Header;
};

std::vector<Page> Pages(const std::string& bytes) {
    std::vector<Page> pages;
    TSpanStream s(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    TOggPage page;
    while (ReadOggPageHeader(s, page) && page.End() <= static_cast<int64_t>(bytes.size())) {
        pages.push_back({static_cast<size_t>(page.Offset), static_cast<size_t>(page.End() - page.Offset), page});
        s.SetPosition(page.End());
    }
    return pages;
}

std::string PageBytes(const std::string& file, const Page& p) {
    return file.substr(p.Offset, p.Size);
}

// A page with its sequence number and checksum blanked, for comparing pages that were renumbered.
std::string WithoutNumbering(std::string page) {
    std::memset(page.data() + 18, 0, 8);
    return page;
}

class OggTest : public ::testing::Test {
protected:
    void SetUp() override {
        MediaLibraryStart();
        REQUIRE_FIXTURE("flacogg/tagged.ogg");
    }
    void TearDown() override { SetSaveFaultHook(nullptr); }

    // Saves `change` into a copy of the fixture and checks the page structure against the old file: pages
    // before the rebuilt run byte-identical; pages after it byte-identical apart from the sequence number
    // and checksum, which must be the old number moved by the change in page count, and valid.
    std::string SaveAndCompare(const std::string& fixture, const std::function<void(TOggMediaFormat&)>& change,
                               int expectedDelta, std::wstring* savedPath = nullptr) {
        const std::wstring path = CopyFixture(Folder, fixture);
        const std::string before = ReadAll(NativePath(path));
        TOggMediaFormat format;
        EXPECT_TRUE(format.Open(path, true, 0, false));
        const size_t oldRun = format.CommentPages().size();
        const size_t runStart = 1;
        change(format);
        EXPECT_TRUE(format.Post(0)) << format.LastError;
        const std::string after = ReadAll(NativePath(path));
        const auto oldPages = Pages(before), newPages = Pages(after);
        EXPECT_EQ(static_cast<int>(newPages.size()) - static_cast<int>(oldPages.size()), expectedDelta);
        const size_t newRun = oldRun + expectedDelta;
        EXPECT_TRUE(PageBytes(after, newPages[0]) == PageBytes(before, oldPages[0]));
        for (size_t i = 0; i < newPages.size(); ++i) {
            EXPECT_TRUE(
                OggChecksumValid(reinterpret_cast<const uint8_t*>(after.data()) + newPages[i].Offset, newPages[i].Size))
                << i;
            EXPECT_EQ(newPages[i].Header.Sequence, i) << i;
        }
        size_t covered = newPages.back().Offset + newPages.back().Size;
        EXPECT_EQ(covered, after.size());
        for (size_t i = runStart + oldRun; i < oldPages.size(); ++i) {
            const std::string oldPage = PageBytes(before, oldPages[i]);
            const std::string newPage = PageBytes(after, newPages[i + newRun - oldRun]);
            if (expectedDelta == 0)
                EXPECT_TRUE(newPage == oldPage) << "page " << i;
            else
                EXPECT_TRUE(WithoutNumbering(newPage) == WithoutNumbering(oldPage)) << "page " << i;
        }
        if (HaveTools()) {
            std::string output;
            EXPECT_TRUE(OggInfoPasses(path, output)) << output;
        }
        if (savedPath)
            *savedPath = path;
        return after;
    }

    // Tags as mutagen lists them after a save, compared with what our reader reads back.
    void CheckMutagen(const std::wstring& path, const std::vector<std::string>& tags) {
        if (!HaveTools())
            return;
        EXPECT_EQ(Facts(MutagenFacts(path), "tag"), tags);
    }

    TempFolder Folder;
};

TEST_F(OggTest, ReadsWhatTheToolsRead) {
    for (const char* name : {"tagged.ogg", "dupes.ogg", "bigcomment.ogg", "mutagenbig.ogg"}) {
        SCOPED_TRACE(name);
        const TFacts& expected = ExpectedFacts(name);
        TOggMediaFormat format;
        ASSERT_TRUE(format.Open(FixtureText(std::string("flacogg/") + name), false, 0, false));
        EXPECT_EQ(std::to_string(format.GetSampleRate()), Fact(expected, "sample_rate"));
        EXPECT_EQ(std::to_string(format.Channels), Fact(expected, "channels"));
        EXPECT_EQ(format.GetBitrate(), std::stoi(Fact(expected, "bitrate")) / 1000);
        EXPECT_NEAR(format.GetDuration(), std::stod(Fact(expected, "length")), 1e-6);
        EXPECT_EQ(format.LastGranule, 441000u); // 10 s at 44100 Hz
        EXPECT_EQ(WideToUtf8(format.EncoderName), Fact(expected, "vendor"));
        std::map<std::string, std::vector<std::string>> values;
        std::vector<std::string> extras;
        for (const auto& entry : Facts(expected, "tag")) {
            const std::string key = entry.substr(0, entry.find('='));
            if (TOggCommentTag* tag = FindComment(*format.Tags, key))
                values[tag->FieldName].push_back(entry.substr(entry.find('=') + 1));
            else
                extras.push_back(entry);
        }
        for (const auto& [field, all] : values) {
            const TOggCommentTag* tag = FindComment(*format.Tags, field);
            std::vector<std::string> read{WideToUtf8(tag->Value)};
            for (const auto& more : tag->MoreValues)
                read.push_back(WideToUtf8(more));
            EXPECT_EQ(read, all) << field;
        }
        ASSERT_EQ(format.ExtraTags->CommentCount(), static_cast<int>(extras.size()));
        for (size_t i = 0; i < extras.size(); ++i) {
            const TOggCommentTag* tag = format.ExtraTags->Comment(static_cast<int>(i));
            EXPECT_EQ(tag->FieldName + "=" + WideToUtf8(tag->Value), extras[i]);
        }
        EXPECT_FALSE(format.IsTagEmpty());
        EXPECT_EQ(format.Tags->Pictures->Count(), 0);
    }
    TOggMediaFormat big;
    ASSERT_TRUE(big.Open(FixtureText("flacogg/bigcomment.ogg"), false, 0, false));
    EXPECT_EQ(big.CommentPages().size(), 3u); // the header spans three pages
    EXPECT_EQ(big.Tags->Title->Value, L"a=b");
}

TEST_F(OggTest, SmallChangeRewritesOnlyTheCommentPage) {
    std::wstring path;
    SaveAndCompare(
        "flacogg/tagged.ogg",
        [](TOggMediaFormat& f) {
            f.Tags->Artist->SetValue(L"Another Artist");
            f.Tags->Comment->SetValue(L" ");
        },
        0, &path);
    CheckMutagen(path,
                 {"PERFORMER=Solo Voice", "ARTIST=Another Artist", "TITLE=a=b", "ALBUM=Ogg Album", "TRACKNUMBER=7",
                  "COMPOSER=Mixed Case", "GENRE=Jazz", "DATE=2008", "Foo=bar", "ZETA=last extra"});
}

TEST_F(OggTest, LargeCommentIsSpreadOverNewPagesAndTheRestRenumbered) {
    std::wstring path;
    const std::string big(150000, 'q');
    SaveAndCompare(
        "flacogg/tagged.ogg", [&](TOggMediaFormat& f) { f.ExtraTags->AddComment("BIG", Utf8ToWide(big)); }, 2, &path);
    TOggMediaFormat format;
    ASSERT_TRUE(format.Open(path, false, 0, false));
    EXPECT_EQ(format.CommentPages().size(), 3u);
    ASSERT_EQ(format.ExtraTags->CommentCount(), 3);
    EXPECT_TRUE(WideToUtf8(format.ExtraTags->Comment(2)->Value) == big);
    EXPECT_EQ(format.LastGranule, 441000u);
    CheckMutagen(path, {"PERFORMER=Solo Voice", "ARTIST=Ogg Artist", "TITLE=a=b", "ALBUM=Ogg Album", "COMMENT=padded",
                        "TRACKNUMBER=7", "COMPOSER=Mixed Case", "GENRE=Jazz", "DATE=2008", "Foo=bar", "ZETA=last extra",
                        "BIG=" + big});
}

TEST_F(OggTest, ShrinkingAMultiPageCommentRemovesPages) {
    std::wstring path;
    SaveAndCompare(
        "flacogg/bigcomment.ogg",
        [](TOggMediaFormat& f) {
            for (int i = 0; i < f.ExtraTags->CommentCount(); ++i)
                if (f.ExtraTags->Comment(i)->FieldName == "BIGFIELD")
                    f.ExtraTags->Comment(i)->SetValue(L"");
        },
        -2, &path);
    CheckMutagen(path,
                 {"PERFORMER=Solo Voice", "ARTIST=Ogg Artist", "TITLE=a=b", "ALBUM=Ogg Album", "COMMENT=padded",
                  "TRACKNUMBER=7", "COMPOSER=Mixed Case", "GENRE=Jazz", "DATE=2008", "Foo=bar", "ZETA=last extra"});
}

TEST_F(OggTest, HeadersSpreadByAnotherWriterAreRewritten) {
    // mutagen put the comment header and the setup header on many small pages.
    std::wstring path;
    const std::string after = SaveAndCompare(
        "flacogg/mutagenbig.ogg", [](TOggMediaFormat& f) { f.Tags->Genre->SetValue(L"Blues"); }, -15,
        &path); // 17 pages of 16 segments become 2 full ones
    TOggMediaFormat format;
    ASSERT_TRUE(format.Open(path, false, 0, false));
    EXPECT_EQ(format.Tags->Genre->Value, L"Blues");
    ASSERT_EQ(format.ExtraTags->CommentCount(), 3);
    EXPECT_TRUE(format.ExtraTags->Comment(2)->Value == std::wstring(70000, L'x'));
}

TEST_F(OggTest, CommentPacketOf510BytesEndsWithAZeroLacingValue) {
    const std::wstring path = CopyFixture(Folder, "flacogg/tagged.ogg");
    const std::string before = ReadAll(NativePath(path));
    const Page oldSecond = Pages(before)[1];
    TOggMediaFormat format;
    ASSERT_TRUE(format.Open(path, true, 0, false));
    // The old tail: the lacing values after the comment header's last one.
    const size_t oldCommentSegments = (format.CommentEnd - format.CommentStart) / 255 + 1;
    const std::vector<uint8_t> oldTail(oldSecond.Header.Segments.begin() + oldCommentSegments,
                                       oldSecond.Header.Segments.end());
    for (TBaseTag* tag : format.Tags->TagList)
        if (auto* c = dynamic_cast<TOggCommentTag*>(tag))
            c->SetValue(L"");
    format.ExtraTags->ClearAll();
    // type + signature 7, vendor length 4, vendor, count 4, one entry (4 + "X=" + n), framing 1
    const size_t vendor = WideToUtf8(format.EncoderName).size();
    format.ExtraTags->AddComment("X", std::wstring(510 - 7 - 4 - vendor - 4 - 4 - 2 - 1, L'v'));
    ASSERT_TRUE(format.Post(0));
    const std::string after = ReadAll(NativePath(path));
    const Page second = Pages(after)[1];
    ASSERT_GE(second.Header.Segments.size(), 3u);
    EXPECT_EQ(second.Header.Segments[0], 255);
    EXPECT_EQ(second.Header.Segments[1], 255);
    EXPECT_EQ(second.Header.Segments[2], 0);
    EXPECT_EQ(std::vector<uint8_t>(second.Header.Segments.begin() + 3, second.Header.Segments.end()), oldTail);
    ASSERT_TRUE(format.Open(path, false, 0, false));
    EXPECT_EQ(format.CommentEnd - format.CommentStart, 510);
    EXPECT_FALSE(format.IsTagEmpty());
    if (HaveTools()) {
        std::string output;
        EXPECT_TRUE(OggInfoPasses(path, output)) << output;
    }
}

TEST_F(OggTest, UnmodifiedSaveWritesNothing) {
    const std::wstring path = CopyFixture(Folder, "flacogg/tagged.ogg");
    TOggMediaFormat format;
    ASSERT_TRUE(format.Open(path, true, 0, false));
    const auto stamp = std::filesystem::last_write_time(NativePath(path)) - std::chrono::hours(1);
    std::filesystem::last_write_time(NativePath(path), stamp);
    EXPECT_TRUE(format.Post(0));
    EXPECT_EQ(std::filesystem::last_write_time(NativePath(path)), stamp);
    EXPECT_TRUE(ReadAll(NativePath(path)) == ReadAll(FixturePath("flacogg/tagged.ogg")));
}

TEST_F(OggTest, BitRateAndDurationFromTheHeaders) {
    const std::string good = ReadAll(FixturePath("flacogg/tagged.ogg"));
    const auto pages = Pages(good);
    auto withNominal = [&](uint32_t nominal) {
        std::string s = good;
        PutLE32(reinterpret_cast<uint8_t*>(s.data()) + 28 + 7 + 13, nominal); // page 0 body, after the head
        return s;
    };
    struct Case {
        uint32_t nominal;
        int32_t kbits;
    };
    for (const auto& c : std::vector<Case>{{128000, 128}, {127999, 127}, {999, 0}}) {
        const std::wstring path = Folder.Text("rate.ogg");
        WriteAll(NativePath(path), withNominal(c.nominal));
        TOggMediaFormat format;
        ASSERT_TRUE(format.Open(path, false, 0, false));
        EXPECT_EQ(format.GetBitrate(), c.kbits) << c.nominal;
    }
    // No nominal rate: the average over the file.
    {
        const std::wstring path = Folder.Text("unset.ogg");
        WriteAll(NativePath(path), withNominal(0xFFFFFFFF));
        TOggMediaFormat format;
        ASSERT_TRUE(format.Open(path, false, 0, false));
        EXPECT_EQ(format.GetBitrate(), static_cast<int32_t>(std::nearbyint(good.size() * 8 / 1000.0 / 10.0)));
    }
    // No granule near the end: estimated from the audio bytes and the nominal rate.
    {
        std::string s = good;
        for (size_t i = 2; i < pages.size(); ++i)
            std::memset(s.data() + pages[i].Offset + 6, 0xFF, 8);
        const std::wstring path = Folder.Text("nogranule.ogg");
        WriteAll(NativePath(path), s);
        TOggMediaFormat format;
        ASSERT_TRUE(format.Open(path, false, 0, false));
        EXPECT_EQ(format.LastGranule, 0u);
        const double audio = static_cast<double>(good.size() - (pages[1].Offset + pages[1].Size));
        EXPECT_NEAR(format.GetDuration(), audio * 8 / 48000, 1e-9);
    }
    // The last page cut inside its header: the page before it gives the granule.
    {
        const std::wstring path = Folder.Text("cut.ogg");
        WriteAll(NativePath(path), good.substr(0, pages.back().Offset + 20));
        TOggMediaFormat format;
        ASSERT_TRUE(format.Open(path, false, 0, false));
        EXPECT_EQ(format.LastGranule, pages[pages.size() - 2].Header.Granule);
    }
}

TEST_F(OggTest, DamagedFilesFailQuickly) {
    const std::string good = ReadAll(FixturePath("flacogg/tagged.ogg"));
    const auto pages = Pages(good);
    const size_t commentBody = pages[1].Offset + pages[1].Header.HeaderSize();
    auto patched = [&](size_t at, const std::string& bytes) {
        std::string s = good;
        s.replace(at, bytes.size(), bytes);
        return s;
    };
    struct Case {
        const char* what;
        std::string bytes;
    };
    const std::vector<Case> cases = {
        {"empty", ""},
        {"not Ogg", "RIFF" + good.substr(4)},
        {"single page", good.substr(0, pages[0].Size)},
        {"first page without segments", patched(26, std::string(1, '\0'))},
        {"second page cut short", good.substr(0, commentBody + 100)},
        {"not Vorbis", patched(28 + 1, "opusxx")},
        {"comment packet of another type", patched(commentBody, "\x05")},
        {"vendor length 65536", patched(commentBody + 7, std::string("\x00\x00\x01\x00", 4))},
        {"entry count larger than the packet", patched(commentBody + 7 + 4 + 52, "\xFF\xFF\xFF\x0F")},
        {"continued flag on the second page", patched(pages[1].Offset + 5, "\x01")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::wstring path = Folder.Text("damaged.ogg");
        WriteAll(NativePath(path), c.bytes);
        TOggMediaFormat format;
        EXPECT_FALSE(format.Open(path, false, 0, false));
        format.Close(0);
    }
}

TEST_F(OggTest, HeaderPagesInterleavedWithAnotherStreamAreReadButNotRewritten) {
    // A page of another logical stream between the pages of a comment header: the header reads, but the
    // pages cannot be rebuilt in place without moving the other stream's page, so the save refuses.
    const std::string good = ReadAll(FixturePath("flacogg/bigcomment.ogg"));
    const auto pages = Pages(good);
    TOggPagination layout;
    layout.Serial = 999;
    const std::vector<uint8_t> lacing{5}, data(5, 0x11);
    const auto foreign = PaginateSegments(layout, lacing, data).front();
    std::string bytes = good;
    bytes.insert(pages[2].Offset, std::string(foreign.begin(), foreign.end()));
    const std::wstring path = Folder.Text("interleaved.ogg");
    WriteAll(NativePath(path), bytes);
    TOggMediaFormat format;
    ASSERT_TRUE(format.Open(path, true, 0, false));
    EXPECT_EQ(format.ExtraTags->CommentCount(), 3);
    EXPECT_EQ(format.ExtraTags->Comment(2)->Value.size(), 150000u);
    format.Tags->Artist->SetValue(L"x");
    EXPECT_FALSE(format.Post(0));
    EXPECT_EQ(format.LastError, kErrorOggLayout);
    EXPECT_TRUE(ReadAll(NativePath(path)) == bytes);
}

TEST_F(OggTest, InjectedFailuresLeaveTheFileAsItWas) {
    // One save that keeps the page count and one that adds pages (the renumbering copy): both reach
    // exactly these steps, and a failure at any of them (and at any single write) leaves the file as it was.
    const std::vector<std::string> expected = {"create-temporary", "write", "flush", "rename-original",
                                               "rename-temporary"};
    for (size_t grow : {size_t(0), size_t(100000)}) {
        SCOPED_TRACE(grow);
        TempFolder folder;
        const std::wstring path = CopyFixture(folder, "flacogg/tagged.ogg");
        const std::string original = ReadAll(NativePath(path));
        auto save = [&] {
            TOggMediaFormat format;
            EXPECT_TRUE(format.Open(path, true, 0, false));
            format.Tags->Album->SetValue(L"Changed album");
            if (grow)
                format.ExtraTags->AddComment("PAD", std::wstring(grow, L'p'));
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
        EXPECT_EQ(reached, expected);
        ASSERT_GT(writes, 0);
        std::vector<std::string> faults = {"create-temporary", "flush", "rename-original", "rename-temporary"};
        for (int n = 1; n <= writes; ++n)
            faults.push_back("write#" + std::to_string(n));
        for (const auto& fault : faults) {
            SCOPED_TRACE(fault);
            WriteAll(NativePath(path), original);
            int counted = 0;
            ScopedFaults inject([&](const char* name) {
                if (fault.rfind("write#", 0) == 0)
                    return std::string(name) == "write" && ++counted == std::stoi(fault.substr(6));
                return fault == name;
            });
            const auto [saved, error] = save();
            EXPECT_FALSE(saved);
            EXPECT_NE(error, 0u);
            EXPECT_TRUE(ReadAll(NativePath(path)) == original);
            EXPECT_EQ(FolderEntries(folder).size(), 1u);
        }
    }
}

} // namespace
} // namespace mellodeck
