// Comment lists: how entries map onto slots and extra entries, and what a list written back holds.
#include <gtest/gtest.h>

#include "media/core/MediaManager.h"
#include "media/flac/FlacMediaFormat.h"
#include "media/flac/FlacPictureTag.h"
#include "media/ogg/OggMediaFormat.h"
#include "media/vorbis/OggKnownTags.h"
#include "media/vorbis/VorbisComments.h"

namespace mellodeck {
namespace {

std::string List(const std::string& vendor, const std::vector<std::string>& entries, int64_t count = -1) {
    TMemoryStream s;
    WriteLE32(s, static_cast<uint32_t>(vendor.size()));
    s.WriteBuffer(vendor.data(), static_cast<int64_t>(vendor.size()));
    WriteLE32(s, static_cast<uint32_t>(count < 0 ? static_cast<int64_t>(entries.size()) : count));
    for (const auto& e : entries) {
        WriteLE32(s, static_cast<uint32_t>(e.size()));
        s.WriteBuffer(e.data(), static_cast<int64_t>(e.size()));
    }
    return std::string(s.Data().begin(), s.Data().end());
}

// Reads a list as a format does while opening a file.
bool Read(TFlacMediaFormat& format, const std::string& list) {
    format.Flags |= mfOpening;
    const bool ok =
        ReadComments(reinterpret_cast<const uint8_t*>(list.data()), list.size(), format, *format.Tags, *format.ExtraTags);
    format.Flags &= ~mfOpening;
    format.SetModified(false);
    return ok;
}

// Writes the list back and returns vendor and entries as text.
std::vector<std::string> WriteBack(TFlacMediaFormat& format, std::string* vendor = nullptr) {
    TMemoryStream s;
    const int count = WriteComments(s, format, *format.Tags, *format.ExtraTags);
    s.SetPosition(0);
    uint8_t le[4];
    s.ReadBuffer(le, 4);
    std::string v(GetLE32(le), '\0');
    s.ReadBuffer(v.data(), static_cast<int64_t>(v.size()));
    if (vendor)
        *vendor = v;
    s.ReadBuffer(le, 4);
    EXPECT_EQ(GetLE32(le), static_cast<uint32_t>(count));
    std::vector<std::string> entries;
    for (int i = 0; i < count; ++i) {
        s.ReadBuffer(le, 4);
        std::string e(GetLE32(le), '\0');
        s.ReadBuffer(e.data(), static_cast<int64_t>(e.size()));
        entries.push_back(e);
    }
    EXPECT_EQ(s.Remaining(), 0);
    return entries;
}

TEST(VorbisComments, EntriesFillSlotsAndWriteBack) {
    struct Case {
        std::vector<std::string> entries;
        std::wstring artist, title, performer;
        std::vector<std::string> written;
    };
    const std::vector<Case> cases = {
        {{"Artist=Foo"}, L"Foo", L"", L"", {"ARTIST=Foo"}},
        {{"artist=Foo"}, L"Foo", L"", L"", {"ARTIST=Foo"}},
        {{"ARTIST=Foo"}, L"Foo", L"", L"", {"ARTIST=Foo"}},
        {{"ARTIST=A", "artist=B"}, L"A", L"", L"", {"ARTIST=A", "ARTIST=B"}}, // first shown, both kept
        {{"PERFORMER=X"}, L"", L"", L"X", {"PERFORMER=X"}},          // Vorbis-only row
        {{"TITLE=a=b"}, L"", L"a=b", L"", {"TITLE=a=b"}},            // first "=" splits
        {{"=nameless", "", "TITLE=t"}, L"", L"t", L"", {"TITLE=t"}}, // dropped
        {{"TITLE=   "}, L"", L"   ", L"", {}},                       // blank: not written
        {{"TITLE=  v  "}, L"", L"  v  ", L"", {"TITLE=v"}},          // trimmed on writing
        {{"Foo=bar", "ARTIST=a", "Zed=1", "foo=2"}, L"a", L"", L"", {"ARTIST=a", "Foo=bar", "Zed=1", "foo=2"}},
        {{"NOEQUALSIGN", "TITLE=t"}, L"", L"t", L"", {"TITLE=t", "NOEQUALSIGN"}}, // kept whole
        {{"TITLE=t\xC3\xA9"}, L"", L"t\u00E9", L"", {"TITLE=t\xC3\xA9"}},         // UTF-8
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.entries.empty() ? std::string() : c.entries.front());
        TFlacMediaFormat format;
        ASSERT_TRUE(Read(format, List("vendor", c.entries)));
        auto& known = static_cast<TOggKnownTags&>(*format.Tags);
        EXPECT_EQ(format.Tags->Artist->Value, c.artist);
        EXPECT_EQ(format.Tags->Title->Value, c.title);
        EXPECT_EQ(known.Performer->Value, c.performer);
        EXPECT_TRUE(format.Tags->Conductor->Value.empty());
        EXPECT_EQ(WriteBack(format), c.written);
    }
}

TEST(VorbisComments, KnownEntriesAreWrittenInTableOrderBeforeExtras) {
    TFlacMediaFormat format;
    ASSERT_TRUE(Read(format, List("v", {"x-extra=1", "URL=u", "DATE=d", "ARTIST=a", "Version=9"})));
    // Set through the common slots, as when tags are copied from another file.
    format.Tags->Conductor->SetValue(L"Maestro");
    format.Tags->Album->SetValue(L"Al");
    EXPECT_EQ(WriteBack(format), (std::vector<std::string>{"VERSION=9", "ARTIST=a", "ALBUM=Al", "DATE=d",
                                                           "PERFORMER=Maestro", "URL=u", "x-extra=1"}));
}

TEST(VorbisComments, VendorIsKeptAndWrittenBack) {
    TFlacMediaFormat format;
    ASSERT_TRUE(Read(format, List("Xiph \xE2\x80\x94 v1", {"ARTIST=a"})));
    EXPECT_EQ(format.EncoderName, L"Xiph \u2014 v1");
    std::string vendor;
    WriteBack(format, &vendor);
    EXPECT_EQ(vendor, "Xiph \xE2\x80\x94 v1");
}

TEST(VorbisComments, MalformedListsFailWithoutReadingPastTheData) {
    const std::string fine = List("v", {"ARTIST=a", "TITLE=t"});
    struct Case {
        const char* what;
        std::string bytes;
    };
    std::string vendor65536 = fine;
    PutLE32(reinterpret_cast<uint8_t*>(vendor65536.data()), 65536);
    vendor65536.insert(4, 65536, 'v');
    std::string countTooLarge = List("v", {"ARTIST=a"}, 1000000);
    std::string entryTooLong = fine;
    PutLE32(reinterpret_cast<uint8_t*>(entryTooLong.data()) + 4 + 1 + 4 + 4 + 8, 0x7FFFFFFF); // TITLE length
    const std::vector<Case> cases = {
        {"empty", ""},
        {"short vendor length", "\x01\x00"},
        {"vendor length 65536", vendor65536},
        {"vendor past the end", std::string("\x10\x00\x00\x00v", 5)},
        {"no count", List("v", {}).substr(0, 6)},
        {"count larger than the entries", countTooLarge},
        {"entry longer than the data", entryTooLong},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TFlacMediaFormat format;
        EXPECT_FALSE(Read(format, c.bytes));
    }
    // Entries read before the fault stay.
    TFlacMediaFormat format;
    EXPECT_FALSE(Read(format, countTooLarge));
    EXPECT_EQ(format.Tags->Artist->Value, L"a");
    EXPECT_TRUE(format.Tags->Artist->Exists);
    // 65535 is still accepted.
    std::string vendor65535 = List(std::string(65535, 'v'), {"ARTIST=a"});
    TFlacMediaFormat big;
    EXPECT_TRUE(Read(big, vendor65535));
}

TEST(VorbisComments, TableOrderAndPictureSlots) {
    TOggMediaFormat ogg;
    TFlacMediaFormat flac;
    for (TBaseMediaFormat* format : {static_cast<TBaseMediaFormat*>(&ogg), static_cast<TBaseMediaFormat*>(&flac)}) {
        const auto& list = format->Tags->TagList;
        ASSERT_EQ(list.size(), 32u); // 31 rows and the picture slot
        std::vector<std::string> names;
        for (TBaseTag* tag : list)
            if (auto* c = dynamic_cast<TOggCommentTag*>(tag))
                names.push_back(c->FieldName);
        EXPECT_EQ(names.front(), "VERSION");
        EXPECT_EQ(names[1], "PERFORMER");
        EXPECT_EQ(names[13], "DATE");
        EXPECT_EQ(list[14], format->Tags->Pictures); // between DATE and COPYRIGHT
        EXPECT_EQ(names[18], "PERFORMER");
        EXPECT_EQ(names.back(), "URL");
        EXPECT_EQ(FindComment(*format->Tags, "performer"), static_cast<TOggKnownTags&>(*format->Tags).Performer);
        EXPECT_EQ(FindComment(*format->Tags, "nope"), nullptr);
        for (const auto& slot : TCommonMediaTags::StringSlots())
            EXPECT_NE((*format->Tags).*slot.Member, nullptr) << slot.Name;
    }
    EXPECT_TRUE(ogg.Tags->Pictures->Supported) << "cover comments are read";
    EXPECT_TRUE(flac.Tags->Pictures->Supported);
    EXPECT_NE(dynamic_cast<TFlacPictureTag*>(flac.Tags->Pictures), nullptr);
}

TEST(VorbisComments, ExtraSetModifiedState) {
    TFlacMediaFormat format;
    TOggExtraTags& extra = *format.ExtraTags;
    EXPECT_EQ(extra.AddComment("", L"x"), nullptr);
    EXPECT_FALSE(extra.GetModified());
    TOggCommentTag* added = extra.AddComment("New", L"v");
    ASSERT_NE(added, nullptr);
    EXPECT_TRUE(added->Modified);
    EXPECT_FALSE(added->Exists);
    EXPECT_TRUE(format.GetModified()); // an extra entry alone is reason enough to save
    extra.SetModified(false);
    EXPECT_FALSE(extra.GetModified());
    extra.ClearAll();
    EXPECT_EQ(extra.CommentCount(), 0);
    EXPECT_TRUE(extra.GetModified());
}

} // namespace
} // namespace mellodeck
