// Frame payload decoding: texts by encoding byte, comment lines, genre references, the user-text frames,
// unsynchronisation, and the ID3v1 block.
#include <gtest/gtest.h>

#include <cstring>

#include "Mp3TestSupport.h"
#include "media/id3/FrameText.h"
#include "media/id3/ID3KnownTags.h"
#include "media/id3/ID3v1Tag.h"

using namespace mellodeck;
using namespace mellodeck::test;

namespace {

struct TextCase {
    const char* Name;
    std::vector<uint8_t> Bytes;
    int Count;
    uint8_t Encoding;
    std::wstring Expected;
    size_t Consumed;
    uint8_t EncodingAfter;
};

} // namespace

TEST(FrameText, DecodesEveryEncodingAndMovesTheCursorAsDescribed) {
    const TextCase cases[] = {
        {"latin delimited", Text(std::string("abc\0def", 7)), kDelimited, 0, L"abc", 4, 0},
        {"latin delimited CR LF", Text("ab\r\ncd"), kDelimited, 0, L"ab", 4, 0},
        {"latin delimited to the end", Text("abc"), kDelimited, 0, L"abc", 3, 0},
        {"latin counted trims controls", Text(std::string("ab \0\x01", 5)), 5, 0, L"ab", 5, 0},
        {"latin high bytes", {0x43, 0x61, 0x66, 0xE9}, 4, 0, L"Caf\u00E9", 4, 0},
        {"utf16 counted FF FE", {0xFF, 0xFE, 'A', 0, 'B', 0, 0, 0}, 8, 1, L"AB", 8, 1},
        {"utf16 counted FE FF", {0xFE, 0xFF, 0, 'A', 0, 'B', 0, 0}, 8, 1, L"AB", 8, 1},
        {"utf16 counted stops at LF", {0xFF, 0xFE, 'A', 0, '\n', 0, 'B', 0}, 8, 1, L"A", 6, 1},
        {"utf16 counted no mark", {'A', 0, 'B', 0, ' ', 0}, 6, 1, L"AB", 6, 1},
        {"utf16 surrogate pair", {0xFF, 0xFE, 0x3D, 0xD8, 0x00, 0xDE}, 6, 1, std::wstring(L"\U0001F600"), 6, 1},
        {"utf16 delimited", {0xFF, 0xFE, 'A', 0, 0, 0, 'x', 0}, kDelimited, 1, L"A", 6, 1},
        {"utf16be delimited becomes 1", {0, 'A', 0, 'B', 0, 0, 'x'}, kDelimited, 2, L"AB", 6, 1},
        {"utf16 empty without mark", {0, 0, 0xFF, 0xD8}, kDelimited, 1, L"", 2, 1},
        {"utf8 delimited", {0xC3, 0xA9, 0, 'x'}, kDelimited, 3, L"\u00E9", 3, 3},
        {"utf8 counted drops a terminator", {'h', 'i', 0}, 3, 3, L"hi", 3, 3},
        {"count 0", Text("abc"), 0, 0, L"", 0, 0},
        {"count beyond the payload", Text("ab"), 50, 0, L"ab", 2, 0},
    };
    for (const TextCase& c : cases) {
        ByteReader cursor(c.Bytes.data(), c.Bytes.size());
        uint8_t encoding = c.Encoding;
        EXPECT_EQ(ReadFrameText(cursor, c.Count, encoding), c.Expected) << c.Name;
        EXPECT_EQ(cursor.Position(), c.Consumed) << c.Name;
        EXPECT_EQ(encoding, c.EncodingAfter) << c.Name;
    }
}

TEST(FrameText, UnterminatedUtf16StaysPutAndUnknownEncodingsRaise) {
    std::vector<uint8_t> long16 = {0xFF, 0xFE};
    for (int i = 0; i < 300; ++i)
        long16.insert(long16.end(), {'A', 0});
    ByteReader cursor(long16.data(), long16.size());
    uint8_t encoding = 1;
    EXPECT_EQ(ReadFrameText(cursor, kDelimited, encoding), L"") << "no terminator within 510 bytes";
    EXPECT_EQ(cursor.Position(), 0u);

    const auto bytes = Text("abc");
    ByteReader c2(bytes.data(), bytes.size());
    uint8_t four = 4;
    try {
        ReadFrameText(c2, 3, four);
        FAIL() << "encoding 4 must raise";
    } catch (const EMP3MediaFormat& e) {
        EXPECT_EQ(e.Message(), kTextUnknownFrameEncoding);
    }
}

TEST(FrameText, UnsynchronisationIsUndoneAndItsOffsetsRecorded) {
    const std::vector<uint8_t> in = {0xFF, 0x00, 0xE0, 0x12, 0xFF, 0x00, 0x00, 0xFF};
    std::vector<size_t> removed;
    EXPECT_EQ(RemoveUnsynchronisation(in.data(), in.size(), &removed),
              (std::vector<uint8_t>{0xFF, 0xE0, 0x12, 0xFF, 0x00, 0xFF}));
    EXPECT_EQ(removed, (std::vector<size_t>{0, 3}));
    EXPECT_EQ(ReadSyncSafe(SyncSafe(200).data()), 200u);
    EXPECT_EQ(SyncSafe(200), (std::vector<uint8_t>{0, 0, 1, 0x48}));
}

TEST(FrameTags, GenreReferencesBecomeNames) {
    const struct {
        const char* Raw;
        const wchar_t* Expected;
    } cases[] = {
        {"(13)", L"Pop"},          {"(13)(21)", L"Pop"},    {"(13)Synthpop", L"Synthpop"},
        {"(999)", L"(999)"},       {"Rock", L"Rock"},       {"(17)Rock & Roll", L"Rock & Roll"},
        {"  (13)  ", L"Pop"},      {"(RX)", L"(RX)"},       {"(200)(13)", L"Pop"},
        {"(0013)", L"Pop"},        {"()Pop", L"()Pop"},     {"", L""},
    };
    TID3KnownTags tags(nullptr);
    for (const auto& c : cases) {
        const auto payload = Cat({{0}, Text(c.Raw)});
        tags.Genre->LoadFromBuffer(payload.data(), payload.size());
        EXPECT_EQ(tags.Genre->Value, c.Expected) << c.Raw;
    }
}

TEST(FrameTags, CommentLinesDescriptionAndByteOrder) {
    TID3KnownTags tags(nullptr);
    auto& comment = static_cast<TMP3CommentTag&>(*tags.Comment);
    const auto latin = Cat({{0}, Text("deu"), Text(std::string("note\0a\nb\r\nc\rd\n", 15))});
    comment.LoadFromBuffer(latin.data(), latin.size());
    EXPECT_EQ(std::string(comment.Language, 3), "deu");
    EXPECT_EQ(comment.Description, L"note");
    EXPECT_EQ(comment.Value, L"a\r\nb\r\nc\r\nd");

    // Encoding 2 is big-endian without marks for the description and for the text.
    const std::vector<uint8_t> be = {2, 'e', 'n', 'g', 0, 'D', 0, 0, 0, 'h', 0, 'i'};
    comment.LoadFromBuffer(be.data(), be.size());
    EXPECT_EQ(comment.Description, L"D");
    EXPECT_EQ(comment.Value, L"hi");
    EXPECT_EQ(comment.Encoding, 1) << "saved as UTF-16 with a mark";

    const std::vector<uint8_t> tooShort = {1, 'e', 'n'};
    EXPECT_THROW(comment.LoadFromBuffer(tooShort.data(), tooShort.size()), EMP3MediaFormat);
}

TEST(FrameTags, PublisherAndUrlLayouts) {
    TID3KnownTags tags(nullptr);
    auto& publisher = static_cast<TMP3UserTextTag&>(*tags.Publisher);
    auto& url = static_cast<TMP3UserTextTag&>(*tags.URL);
    const struct {
        std::vector<uint8_t> Payload;
        const wchar_t* Value;
        const char* Description;
    } publishers[] = {
        {Cat({{0}, Text("Label")}), L"Label", ""},
        {Cat({{0}, Text(std::string("Label\0", 6))}), L"Label", ""},
        {Cat({{0}, Text(std::string("\0Label", 6))}), L"Label", ""},            // description, value layout
        {Cat({{0}, Text(std::string("who\0Label", 9))}), L"Label", "who"},      // same, with a description
        {{1, 0xFF, 0xFE, 'L', 0, 'a', 0, 0, 0}, L"La", ""},
    };
    for (const auto& c : publishers) {
        publisher.LoadFromBuffer(c.Payload.data(), c.Payload.size());
        EXPECT_EQ(publisher.Value, c.Value);
        EXPECT_EQ(publisher.Description, c.Description);
    }
    // WXXX: the URL is 8-bit text even when the description is UTF-16; a marked UTF-16 URL is accepted.
    const auto marked = Cat({{1, 0xFF, 0xFE, 'h', 0, 0, 0}, Text("http://x.org/\xE9")});
    url.LoadFromBuffer(marked.data(), marked.size());
    EXPECT_EQ(url.Description, "h");
    EXPECT_EQ(url.Value, L"http://x.org/\u00E9");
    const std::vector<uint8_t> utf16Url = {1, 0xFF, 0xFE, 0, 0, 0xFF, 0xFE, 'w', 0, 'w', 0};
    url.LoadFromBuffer(utf16Url.data(), utf16Url.size());
    EXPECT_EQ(url.Value, L"ww");
}

TEST(FrameTags, SettersPickTheEncodingAndClearResets) {
    TID3KnownTags tags(nullptr);
    auto& title = static_cast<TMP3TextTag&>(*tags.Title);
    title.SetValue(L"Caf\u00E9");
    EXPECT_EQ(title.Encoding, 0) << "fits the 8-bit code page";
    title.SetValue(L"\u6771\u4EAC");
    EXPECT_EQ(title.Encoding, 1);
    title.Clear();
    EXPECT_EQ(title.Encoding, 0);
    EXPECT_TRUE(title.GetModified());

    auto& comment = static_cast<TMP3CommentTag&>(*tags.Comment);
    comment.SetModified(false);
    comment.SetDescription(L"\u03A9");
    EXPECT_TRUE(comment.GetModified());
    EXPECT_EQ(comment.Encoding, 1);
    std::memcpy(comment.Language, "fra", 3);
    comment.Clear();
    EXPECT_EQ(std::string(comment.Language, 3), "eng");
    EXPECT_EQ(comment.Description, L"");

    auto& url = static_cast<TMP3UserTextTag&>(*tags.URL);
    url.SetValue(L"http://a");
    url.Description = "d";
    url.Exists = true;
    url.Clear();
    EXPECT_EQ(url.Value, L"");
    EXPECT_EQ(url.Description, "");
    EXPECT_FALSE(url.GetModified());
    EXPECT_FALSE(url.Exists);

    // Copying between containers of this class copies the encodings and Exists too.
    TID3KnownTags other(nullptr);
    title.SetValue(L"\u6771");
    title.Exists = true;
    other.Assign(tags);
    EXPECT_EQ(other.Title->Value, L"\u6771");
    EXPECT_EQ(static_cast<TMP3TextTag&>(*other.Title).Encoding, 1);
    EXPECT_TRUE(other.Title->Exists);
}

TEST(ID3v1Tag, ParsesVersions10And11AndKeepsTheTextsItCanHold) {
    TID3v1Tag tag;
    tag.LoadFromBlock(ID3v1Block("Title  ", "Artist", "Album", "1999", "Comment", 7, 17).data());
    EXPECT_EQ(tag.Title(), L"Title");
    EXPECT_EQ(tag.Year(), "1999");
    EXPECT_EQ(tag.Comment(), L"Comment") << "the track byte is not part of the comment";
    EXPECT_EQ(tag.Track(), 7);
    EXPECT_EQ(tag.Genre(), 17);

    // Version 1.0: a full 30-character comment, no track.
    const std::string full = "abcdefghijklmnopqrstuvwxyz1234";
    tag.LoadFromBlock(ID3v1Block("", "", "", "", full, -1, 255).data());
    EXPECT_EQ(tag.Comment(), Utf8ToWide(full));
    EXPECT_EQ(tag.Track(), 0);
    // A space before the last byte also marks a track number.
    tag.LoadFromBlock(ID3v1Block("", "", "", "", full.substr(0, 28) + " \x09", -1, 255).data());
    EXPECT_EQ(tag.Track(), 9);
    // Track 0 with a zero before it: none. A value after the first zero is filler.
    tag.LoadFromBlock(ID3v1Block(std::string("ab\0cd", 5), "", "", "", "", 0, 1).data());
    EXPECT_EQ(tag.Title(), L"ab");
    EXPECT_EQ(tag.Track(), 0);

    // Setters compare what 30 characters can hold.
    tag.Modified = false;
    tag.SetTitle(L"ab  ");
    EXPECT_FALSE(tag.Modified);
    tag.SetTitle(std::wstring(31, L'x'));
    EXPECT_TRUE(tag.Modified);
    tag.Modified = false;
    tag.SetTitle(std::wstring(30, L'x') + L"y");
    EXPECT_FALSE(tag.Modified) << "the 31st character cannot be stored";

    uint8_t block[128];
    tag.SetTrack(3);
    tag.SetGenre(13);
    tag.SaveToBlock(block);
    EXPECT_FALSE(tag.Modified);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(block), 3), "TAG");
    EXPECT_EQ(block[125], 0);
    EXPECT_EQ(block[126], 3);
    EXPECT_EQ(block[127], 13);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(block) + 3, 30), std::string(30, 'x'));
}
