// Saving: in place and through the temporary file, on generated files. A saved file must still decode
// without errors to the same audio, every chunk offset must point at the same bytes as before, and mutagen
// must read back the same tags and covers (with only the changed ones changed).
#include <gtest/gtest.h>

#include <algorithm>

#include "Mp4TestSupport.h"
#include "TestPaths.h"
#include "media/core/MediaManager.h"
#include "media/core/SafeSave.h"
#include "media/mp4/AtomTypes.h"

namespace mellodeck::test {
namespace fs = std::filesystem;
namespace {

const std::string kNewTitle = "Saved title \xC3\xBC\xE2\x80\x94 2";

// Every string slot and every picture's bytes, as the format reads them.
std::vector<std::string> Snapshot(TMPEG4MediaFormat& format) {
    std::vector<std::string> lines;
    for (const auto& slot : TCommonMediaTags::StringSlots())
        lines.push_back(std::string(slot.Name) + "=" + Narrow((format.Tags.get()->*slot.Member)->Value));
    for (const auto& item : format.Tags->Pictures->Items)
        lines.push_back("picture " + std::to_string(item->CoverDataType[3]) + " " +
                        std::string(item->Data.begin(), item->Data.end()));
    return lines;
}

class Mp4Save : public ::testing::Test {
protected:
    void SetUp() override {
        MediaLibraryStart();
        if (!HaveFixture("mp4/expected.txt"))
            GTEST_SKIP() << "fixtures not generated (tests/fixtures/make-mp4.sh)";
    }
    void TearDown() override {
        MPEG4MaxInPlaceGap = 32768;
        MPEG4FreeAtomSize = 2048;
        SetSaveFaultHook(nullptr);
    }
    fs::path Copy(const std::string& file) {
        const fs::path target = folder.Path() / file;
        fs::copy_file(FixturePath("mp4/" + file), target, fs::copy_options::overwrite_existing);
        return target;
    }
    TempFolder folder;
};

// What the tools and the format see in a file before a save, to compare with after it.
struct Before {
    explicit Before(const fs::path& path) : Bytes_(ReadBytes(path)), Starts(ChunkStarts(path)) {
        auto format = OpenMp4(path);
        Tags = Snapshot(*format);
        if (HaveTools()) {
            Dump = ToolDump(path, "tags");
            Chunks = ToolDump(path, "chunks");
            Audio = DecodedAudio(path);
        }
    }
    ByteVector Bytes_;
    ByteVector Starts;
    std::vector<std::string> Tags, Dump, Chunks;
    std::string Audio;
};

std::vector<std::string> Sorted(std::vector<std::string> lines) {
    std::sort(lines.begin(), lines.end());
    return lines;
}

// The saved file plays, holds the same audio at every chunk offset, and reads back as expected: the
// format's slots equal `tags`, mutagen's lines equal `dump`.
void ExpectSound(const fs::path& path, const Before& before, const std::vector<std::string>& tags,
                 const std::vector<std::string>& dump) {
    EXPECT_EQ(ChunkStarts(path), before.Starts);
    auto format = OpenMp4(path);
    ASSERT_TRUE(format->IsOpen());
    EXPECT_EQ(Snapshot(*format), tags);
    if (!HaveTools())
        return;
    EXPECT_EQ(FfmpegErrors(path), "");
    EXPECT_EQ(DecodedAudio(path), before.Audio);
    EXPECT_EQ(ToolDump(path, "chunks"), before.Chunks);
    EXPECT_EQ(Sorted(ToolDump(path, "tags")), Sorted(dump));
}

std::vector<std::string> Replace(std::vector<std::string> lines, const std::string& prefix, const std::string& line) {
    lines.erase(std::remove_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(prefix, 0) == 0; }),
                lines.end());
    if (!line.empty())
        lines.push_back(line);
    std::sort(lines.begin(), lines.end());
    return lines;
}

bool SaveTitle(const fs::path& path, const std::string& title) {
    auto format = OpenMp4(path, true);
    format->Tags->Title->SetValue(Utf8ToWide(title));
    return format->Post(0);
}

// ---- every layout, both ways ----------------------------------------------------------------------

struct LayoutCase {
    const char* File;
    bool InPlace; // what a small change of the title does with the default settings
};

void PrintTo(const LayoutCase& c, std::ostream* os) { *os << c.File; }

class Mp4SaveLayouts : public Mp4Save, public ::testing::WithParamInterface<std::tuple<LayoutCase, bool>> {};

TEST_P(Mp4SaveLayouts, TitleChangeKeepsTheFileSound) {
    const auto [layout, forceRebuild] = GetParam();
    if (forceRebuild)
        MPEG4MaxInPlaceGap = 0;
    const fs::path path = Copy(layout.File);
    const Before before(path);
    const fs::path rest = folder.Path() / "rest";

    ASSERT_TRUE(SaveTitle(path, kNewTitle));

    const bool inPlace = layout.InPlace && !forceRebuild;
    const ByteVector after = ReadBytes(path);
    if (inPlace) {
        // Only the bytes of "meta" changed.
        auto format = OpenMp4(path);
        ASSERT_EQ(after.size(), before.Bytes_.size());
        const auto meta = static_cast<size_t>(format->MetaAtom->Offset);
        const auto metaEnd = static_cast<size_t>(format->MetaAtom->End());
        EXPECT_TRUE(std::equal(after.begin(), after.begin() + meta, before.Bytes_.begin()));
        EXPECT_TRUE(std::equal(after.begin() + metaEnd, after.end(), before.Bytes_.begin() + metaEnd));
    } else {
        EXPECT_NE(after.size(), before.Bytes_.size());
    }
    EXPECT_EQ(FolderListing(folder.Path()), std::vector<std::string>{layout.File});

    std::vector<std::string> tags = before.Tags;
    tags[1] = "Title=" + kNewTitle;
    ExpectSound(path, before, tags, Replace(before.Dump, "tag\t\xC2\xA9nam\t", "tag\t\xC2\xA9nam\t" + kNewTitle));

    // A second save of a rebuilt file finds room in place.
    const ByteVector once = ReadBytes(path);
    ASSERT_TRUE(SaveTitle(path, "Second"));
    if (!forceRebuild) {
        EXPECT_EQ(ReadBytes(path).size(), once.size());
    }
}

const LayoutCase kLayouts[] = {
    {"tagged.m4a", true},          {"tagged-faststart.m4a", true}, {"co64.m4a", true},
    {"size64.m4a", true},          {"size0-moov.m4a", true},       {"size0-mdat.m4a", true},
    {"v1.m4a", true},              {"twotrack-tagged.m4a", true},  {"twotrack-co64.m4a", true},
    {"alac-tagged.m4a", true},     {"covers3.m4a", true},          {"gnre.m4a", true},
    {"aac.m4a", false},            {"aac-faststart.m4a", false},   {"twotrack.m4a", false},
    {"noudta.m4a", false},         {"nometa.m4a", false},          {"udta-early.m4a", true},
};

INSTANTIATE_TEST_SUITE_P(Fixtures, Mp4SaveLayouts, ::testing::Combine(::testing::ValuesIn(kLayouts), ::testing::Bool()),
                         [](const auto& info) {
                             std::string name = std::get<0>(info.param).File;
                             for (char& c : name)
                                 if (!isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name + (std::get<1>(info.param) ? "_rebuilt" : "_natural");
                         });

// ---- the slack rules ------------------------------------------------------------------------------

// Size of the free atom that ends "meta"; 0 when there is none.
int64_t MetaSlack(const fs::path& path) {
    auto format = OpenMp4(path);
    TQTAtom* last = format->MetaAtom ? format->MetaAtom->LastChild() : nullptr;
    return last && last->IsFree() ? last->Size : 0;
}

TEST_F(Mp4Save, SlackDecidesBetweenInPlaceAndRebuild) {
    const fs::path path = Copy("tagged-faststart.m4a");
    const size_t size = ReadBytes(path).size();
    const int64_t slack = MetaSlack(path);
    ASSERT_GT(slack, 200);
    std::wstring lyrics = OpenMp4(path)->Tags->Lyrics->Value;

    auto saveLyrics = [&](size_t longer) {
        lyrics += std::wstring(longer, L'x');
        auto format = OpenMp4(path, true);
        format->Tags->Lyrics->SetValue(lyrics);
        return format->Post(0);
    };
    // 100 bytes left over: in place, with a free atom of exactly those 100 bytes.
    ASSERT_TRUE(saveLyrics(static_cast<size_t>(slack - 100)));
    EXPECT_EQ(ReadBytes(path).size(), size);
    EXPECT_EQ(MetaSlack(path), 100);
    // 4 bytes left over is too little for a free atom: rebuilt with the standard free atom.
    ASSERT_TRUE(saveLyrics(96));
    EXPECT_EQ(MetaSlack(path), 2048);
    // The new "meta": the old one less its 100 free bytes, 96 bytes more lyrics, a 2048-byte free atom.
    EXPECT_EQ(ReadBytes(path).size(), size - 100 + 96 + 2048);
    // Too much room (at least MPEG4MaxInPlaceGap) is given back by a rebuild too.
    lyrics = L"short";
    {
        auto format = OpenMp4(path, true);
        format->Tags->Lyrics->SetValue(std::wstring(40000, L'y'));
        ASSERT_TRUE(format->Post(0));
    }
    const size_t grown = ReadBytes(path).size();
    {
        auto format = OpenMp4(path, true);
        format->Tags->Lyrics->SetValue(lyrics);
        ASSERT_TRUE(format->Post(0));
    }
    EXPECT_LT(ReadBytes(path).size() + 39000, grown);
    EXPECT_EQ(MetaSlack(path), 2048);
    EXPECT_EQ(Narrow(OpenMp4(path)->Tags->Lyrics->Value), "short");
}

TEST_F(Mp4Save, UnknownItemsFollowTheKnownOnesUnchanged) {
    const fs::path path = Copy("tagged.m4a");
    const Before before(path);
    auto original = OpenMp4(path);
    std::vector<ByteVector> unknown;
    for (size_t i = 0; i < original->BlockCount(); ++i) {
        size_t size;
        const uint8_t* block = original->Block(i, size);
        unknown.emplace_back(block, block + size);
    }
    original.reset();
    ASSERT_EQ(unknown.size(), 5u);

    MPEG4MaxInPlaceGap = 0;
    ASSERT_TRUE(SaveTitle(path, kNewTitle));
    auto saved = OpenMp4(path);
    const ByteVector file = ReadBytes(path);
    const TQTAtom* ilst = saved->IlstAtom;
    const int known = ilst->ChildCount() - static_cast<int>(unknown.size());
    for (int i = 0; i < ilst->ChildCount(); ++i) {
        const TQTAtom* item = ilst->Child(i);
        if (i < known) {
            EXPECT_NE(saved->FindItemTag(item->AtomType), nullptr) << AtomTypeText(item->AtomType);
            continue;
        }
        const ByteVector bytes(file.begin() + item->Offset, file.begin() + item->End());
        EXPECT_EQ(bytes, unknown[static_cast<size_t>(i - known)]) << i;
    }
}

TEST_F(Mp4Save, TagsOtherProgramsReadBack) {
    const fs::path path = Copy("basic.m4a");
    const Before before(path);
    {
        auto format = OpenMp4(path, true);
        format->Tags->Compilation->SetValue(L"1");
        format->Tags->BPM->SetValue(L"120");
        format->Tags->Genre->SetValue(L"rock");
        format->Tags->Track->SetValue(L"7/10");
        format->Tags->Year->SetValue(L"2011");
        ASSERT_TRUE(format->Post(0));
    }
    auto format = OpenMp4(path);
    EXPECT_NE(format->IlstAtom->FindChild(item::kGenreCode), nullptr);
    EXPECT_EQ(Narrow(format->Tags->Genre->Value), "Rock");
    EXPECT_EQ(Narrow(format->Tags->Track->Value), "07/10");
    if (!HaveTools())
        return;
    const std::vector<std::string> dump = ToolDump(path, "tags");
    for (const char* line : {"tag\tcpil\t1", "tag\ttmpo\t120", "tag\t\xC2\xA9gen\tRock", "tag\ttrkn\t7/10",
                             "tag\t\xC2\xA9" "day\t2011"})
        EXPECT_NE(std::find(dump.begin(), dump.end(), line), dump.end()) << line;
    EXPECT_EQ(FfmpegErrors(path), "");
    // ffmpeg sees the tags of a list it rebuilt from scratch too (the handler is there).
    const fs::path bare = Copy("noudta.m4a");
    ASSERT_TRUE(SaveTitle(bare, "Found by ffmpeg"));
    EXPECT_NE(ToolOutput("ffprobe -v error -show_entries format_tags=title -of default=nw=1 '" + bare.string() + "'")
                  .find("Found by ffmpeg"),
              std::string::npos);
}

TEST_F(Mp4Save, CoversCanBeRemovedAndAdded) {
    const fs::path path = Copy("tagged-faststart.m4a");
    const Before before(path);
    {
        auto format = OpenMp4(path, true);
        TBasePictureTag* pictures = format->Tags->Pictures;
        pictures->Remove(pictures->Item(0));
        Bitmap32 blue(6, 5);
        blue.Fill(0xFF0000FF);
        pictures->Add()->SetBitmap(blue);
        ASSERT_TRUE(format->Post(0));
    }
    auto format = OpenMp4(path);
    ASSERT_EQ(format->Tags->Pictures->Count(), 2);
    EXPECT_EQ(format->Tags->Pictures->Item(0)->Data, ReadBytes(FixturePath("mp4/cover.png")));
    EXPECT_EQ(format->Tags->Pictures->Item(1)->Bitmap->Width(), 6);
    if (!HaveTools())
        return;
    std::vector<std::string> covers;
    for (const std::string& line : ToolDump(path, "tags"))
        if (line.rfind("cover\t", 0) == 0)
            covers.push_back(line.substr(0, 10));
    EXPECT_EQ(covers, (std::vector<std::string>{"cover\t0\t14", "cover\t1\t13"}));
    EXPECT_EQ(ToolDump(path, "chunks"), before.Chunks);
}

TEST_F(Mp4Save, UnchangedLongTextsSurviveAChangeElsewhere) {
    const fs::path path = Copy("longtitle.m4a");
    const Before before(path);
    {
        auto format = OpenMp4(path, true);
        format->Tags->Artist->SetValue(L"Other artist");
        ASSERT_TRUE(format->Post(0));
    }
    std::vector<std::string> tags = before.Tags;
    tags[0] = "Artist=Other artist";
    ExpectSound(path, before, tags, Replace(before.Dump, "tag\t\xC2\xA9" "ART\t", "tag\t\xC2\xA9" "ART\tOther artist"));
}

TEST_F(Mp4Save, NothingChangedWritesNothing) {
    const fs::path path = Copy("tagged.m4a");
    const ByteVector before = ReadBytes(path);
    auto format = OpenMp4(path, true);
    EXPECT_TRUE(format->Post(0));
    EXPECT_EQ(ReadBytes(path), before);

    auto readOnly = OpenMp4(path, false);
    readOnly->Tags->Title->SetValue(L"x");
    EXPECT_FALSE(readOnly->Post(0));
    EXPECT_EQ(ReadBytes(path), before);
}

TEST_F(Mp4Save, ItemsOfSizeZeroKeepTheirExtent) {
    // The last item runs to the end of the list (size 0); items written after it must not land inside it.
    const ByteVector openEnded = Join({BE32(0), BE32(item::kArtist), Atom("data", Join({BE32(1), BE32(0), Text("Artist")}))});
    const fs::path path = folder.Path() / "open.m4a";
    WriteBytes(path, MinimalFile(Join({DataItem(item::kTitle, 1, Text("Title")), openEnded}), WithSlack(256)));
    {
        auto format = OpenMp4(path, true);
        ASSERT_EQ(Narrow(format->Tags->Artist->Value), "Artist");
        format->Tags->Album->SetValue(L"Album");
        ASSERT_TRUE(format->Post(0));
    }
    auto format = OpenMp4(path);
    EXPECT_EQ(Narrow(format->Tags->Artist->Value), "Artist");
    EXPECT_EQ(Narrow(format->Tags->Title->Value), "Title");
    EXPECT_EQ(Narrow(format->Tags->Album->Value), "Album");
}

// ---- failures -------------------------------------------------------------------------------------

struct FaultCase {
    const char* Step;
    bool Rebuild;
};

void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.Step << (c.Rebuild ? " (rebuild)" : " (in place)"); }

class Mp4SaveFaults : public Mp4Save, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(Mp4SaveFaults, LeaveTheOriginalByteIdentical) {
    const FaultCase fault = GetParam();
    if (fault.Rebuild)
        MPEG4MaxInPlaceGap = 0;
    const fs::path path = Copy("tagged-faststart.m4a");
    const ByteVector before = ReadBytes(path);
    int calls = 0;
    SetSaveFaultHook([&](const char* step) -> uint32_t {
        if (std::string(step) != fault.Step)
            return 0;
        ++calls;
        return oserr::kDiskFull;
    });
    auto format = OpenMp4(path, true);
    format->Tags->Title->SetValue(L"never saved");
    EXPECT_FALSE(format->Post(0));
    EXPECT_EQ(format->LastError, oserr::kDiskFull);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(ReadBytes(path), before);
    EXPECT_EQ(FolderListing(folder.Path()), std::vector<std::string>{"tagged-faststart.m4a"});
    // The format reads the file as it is after the failed save.
    EXPECT_EQ(Narrow(format->Tags->Title->Value), "Nachtzug \xC3\xBC" "ber Br\xC3\xBC" "cken \xE2\x80\x94 test");
}

INSTANTIATE_TEST_SUITE_P(Steps, Mp4SaveFaults,
                         ::testing::Values(FaultCase{"create-temporary", true}, FaultCase{"write", true},
                                           FaultCase{"flush", true}, FaultCase{"rename-original", true},
                                           FaultCase{"rename-temporary", true},
                                           FaultCase{"open-for-writing", false}, FaultCase{"write", false},
                                           FaultCase{"flush", false}),
                         [](const auto& info) {
                             std::string name = info.param.Step;
                             for (char& c : name)
                                 if (c == '-')
                                     c = '_';
                             return name + (info.param.Rebuild ? "_rebuild" : "_in_place");
                         });

TEST_F(Mp4Save, LayoutsTheRebuildCannotFollowAreRefused) {
    const ByteVector title = DataItem(item::kTitle, 1, Text("old"));
    // What makes the rebuild unsafe, with no slack in "meta" so that a save must rebuild.
    const ByteVector badTable = Atom("stco", Join({BE32(0), BE32(1000), BE32(1)}));
    std::vector<std::pair<std::string, ByteVector>> cases;
    cases.emplace_back("chunk table count", MinimalFile(title, WithChunkTable(badTable)));
    cases.emplace_back("fragments", MinimalFile(title, WithTail(Atom("moof", Atom("mfhd", ByteVector(8, 0))))));
    {
        // No user data yet, and the last atom of moov runs to its end: a new udta behind it would land
        // inside it.
        MinimalOptions options;
        options.NoUserData = true;
        options.MoovTail = Join({BE32(0), Text("zzzz"), ByteVector(8, 0)});
        cases.emplace_back("open-ended last atom", MinimalFile({}, options));
    }
    {
        // A chunk offset that points into the metadata.
        const ByteVector plain = MinimalFile(title);
        uint32_t metaAt = 0;
        for (size_t i = 4; i + 4 <= plain.size(); ++i)
            if (std::equal(plain.begin() + static_cast<ptrdiff_t>(i), plain.begin() + static_cast<ptrdiff_t>(i) + 4,
                           Text("meta").begin())) {
                metaAt = static_cast<uint32_t>(i - 4);
                break;
            }
        cases.emplace_back("chunk in meta",
                           MinimalFile(title, WithChunkTable(Atom("stco", Join({BE32(0), BE32(1), BE32(metaAt + 12)})))));
    }
    for (const auto& [name, bytes] : cases) {
        const fs::path path = folder.Path() / "refused.m4a";
        WriteBytes(path, bytes);
        auto format = OpenMp4(path, true);
        ASSERT_TRUE(format->IsOpen()) << name;
        format->Tags->Title->SetValue(L"a longer title than before");
        EXPECT_FALSE(format->Post(0)) << name;
        EXPECT_EQ(format->LastError, kErrorLayoutNotWritable) << name;
        EXPECT_EQ(ReadBytes(path), bytes) << name;
        EXPECT_EQ(FolderListing(folder.Path()), std::vector<std::string>{"refused.m4a"}) << name;

        // With room in "meta" the same change is written in place: nothing moves.
        const ByteVector roomy = name == "chunk table count" ? MinimalFile(title, WithChunkTable(badTable, 256))
                          : name == "fragments"
                              ? MinimalFile(title, WithTail(Atom("moof", Atom("mfhd", ByteVector(8, 0))), 256))
                              : ByteVector{};
        if (roomy.empty())
            continue;
        WriteBytes(path, roomy);
        auto again = OpenMp4(path, true);
        again->Tags->Title->SetValue(L"a longer title than before");
        EXPECT_TRUE(again->Post(0)) << name;
        EXPECT_EQ(ReadBytes(path).size(), roomy.size()) << name;
        EXPECT_EQ(Narrow(again->Tags->Title->Value), "a longer title than before") << name;
    }
}

} // namespace
} // namespace mellodeck::test
