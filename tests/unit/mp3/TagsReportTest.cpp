// The report of mellodeck-tags: JSON text escaping and numbers, and the report of real files.
#include <gtest/gtest.h>

#include <cmath>

#include "Mp3TestSupport.h"
#include "TagsReport.h"

using namespace mellodeck;
using namespace mellodeck::test;
using namespace mellodeck::tags;

TEST(TagsReport, JsonStringsAreEscapedAndValidUtf8) {
    EXPECT_EQ(JsonString("a\"b\\c"), "\"a\\\"b\\\\c\"");
    EXPECT_EQ(JsonString("t\tn\nr\r\x01\x7F"), "\"t\\tn\\nr\\r\\u0001\\u007f\"");
    EXPECT_EQ(JsonString(std::string("nul\0x", 5)), "\"nul\\u0000x\"");
    EXPECT_EQ(JsonString("\xC3\xA9 \xF0\x9F\x98\x80"), "\"\xC3\xA9 \xF0\x9F\x98\x80\"") << "UTF-8 passes through";
    EXPECT_EQ(JsonString("bad \xFF byte"), "\"bad \xEF\xBF\xBD byte\"") << "invalid bytes become U+FFFD";
    EXPECT_EQ(JsonNumber(26.1224489796), "26.122449");
    EXPECT_EQ(JsonNumber(3.0), "3");
    EXPECT_EQ(JsonNumber(0.5), "0.5");
    EXPECT_EQ(JsonNumber(std::nan("")), "0");
}

TEST(TagsReport, ReadsThroughTheManagerAndWritesTheContract) {
    REQUIRE_MP3_FIXTURES();
    MediaLibraryStart();
    const TExpected& e = TExpected::Fixtures();
    const TFileReport r = ReadFileReport(FixtureText("mp3/v23-full.mp3"), "v23-full.mp3");
    EXPECT_TRUE(r.Ok);
    EXPECT_EQ(r.Format, "TMP3MediaFormat");
    ASSERT_EQ(r.Tags.size(), 25u);
    EXPECT_EQ(r.Tags.front().first, "Artist");
    EXPECT_EQ(r.Tags.back().first, "Compilation");
    EXPECT_EQ(r.Tags[1].second, e.Get("v23-full.mp3", "tag.Title"));
    ASSERT_EQ(r.Pictures.size(), 2u);
    EXPECT_EQ(r.Pictures[0].Bytes, e.Number("v23-full.mp3", "picture.0.bytes"));
    EXPECT_EQ(r.Pictures[0].Width, e.Number("v23-full.mp3", "picture.0.width"));
    EXPECT_TRUE(r.HasID3);
    EXPECT_EQ(r.TagsFound, (std::vector<std::string>{"ID3v1", "ID3v2"}));
    EXPECT_EQ(r.ID3v1.Track, 3);

    const std::string json = ToJson(r);
    EXPECT_EQ(json.find('\n'), std::string::npos) << "one line per file";
    for (const char* key : {"\"path\":", "\"ok\":true", "\"error\":0", "\"format\":\"TMP3MediaFormat\"", "\"tags\":{",
                            "\"pictures\":[{\"mime\":", "\"duration\":", "\"bitrate\":128", "\"samplerate\":44100",
                            "\"channels\":2", "\"vbr\":false", "\"encoder\":", "\"id3v1\":{\"title\":",
                            "\"tags_found\":[\"ID3v1\",\"ID3v2\"]"})
        EXPECT_NE(json.find(key), std::string::npos) << key;

    const TFileReport missing = ReadFileReport(FixtureText("mp3/missing.mp3"), "missing.mp3");
    EXPECT_FALSE(missing.Ok);
    EXPECT_EQ(missing.Error, oserr::kFileNotFound) << "the system's reason";
    const TFileReport unknown = ReadFileReport(FixtureText("mp3/TOOLS.txt"), "TOOLS.txt");
    EXPECT_FALSE(unknown.Ok);
    EXPECT_EQ(unknown.Format, "");
    EXPECT_EQ(ToJson(unknown).find("id3v1"), std::string::npos);
}
