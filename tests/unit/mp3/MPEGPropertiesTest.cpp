// MPEG audio properties: header decoding, the stream search, Xing and VBRI headers, the frame walk and
// the duration rules, on hand-made streams and on the generated fixtures.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "Mp3TestSupport.h"
#include "media/mpeg/MPEGProperties.h"

using namespace mellodeck;
using namespace mellodeck::test;

namespace {

TMPEGHeader Decode(std::vector<uint8_t> b) {
    TMPEGHeader h;
    EXPECT_TRUE(DecodeMPEGHeader(b.data(), h));
    return h;
}

// A 417-byte first frame carrying a Xing header (stereo MPEG 1: at offset 36).
std::vector<uint8_t> XingFrame(uint32_t flags, uint32_t frames, uint32_t bytes, const std::string& trailer) {
    std::vector<uint8_t> f(417, 0);
    f[0] = 0xFF;
    f[1] = 0xFB;
    f[2] = 0x90;
    f[3] = 0x00;
    size_t p = 36;
    std::memcpy(f.data() + p, "Xing", 4);
    p += 4;
    auto be = [&](uint32_t v) {
        f[p] = uint8_t(v >> 24);
        f[p + 1] = uint8_t(v >> 16);
        f[p + 2] = uint8_t(v >> 8);
        f[p + 3] = uint8_t(v);
        p += 4;
    };
    be(flags);
    if (flags & 1)
        be(frames);
    if (flags & 2)
        be(bytes);
    if (flags & 4)
        p += 100;
    if (flags & 8)
        be(80);
    std::memcpy(f.data() + p, trailer.data(), trailer.size());
    return f;
}

class MPEGTest : public ::testing::Test {
protected:
    void SetUp() override { MediaLibraryStart(); }
    std::wstring Write(const std::string& name, const std::vector<uint8_t>& bytes) {
        WriteBytes(Dir.Path() / name, bytes);
        return Dir.Text(name);
    }
    TempFolder Dir;
};

double FrameSeconds(const TMP3MediaFormat& f) {
    return double(f.MPEGProperties->Header.SamplesPerFrame()) / f.MPEGProperties->SampleRate;
}

} // namespace

TEST(MPEGHeader, DecodesRatesLengthsAndRejectsReservedValues) {
    TMPEGHeader h = Decode({0xFF, 0xFB, 0x90, 0x00});
    EXPECT_EQ(h.Bitrate, 128);
    EXPECT_EQ(h.SampleRate, 44100);
    EXPECT_EQ(h.FrameLength, 417u) << "128 kbit/s, 44100 Hz, MPEG 1 layer III, unpadded";
    EXPECT_EQ(Decode({0xFF, 0xFB, 0x92, 0x00}).FrameLength, 418u) << "padded";
    EXPECT_EQ(Decode({0xFF, 0xF3, 0x80, 0xC0}).FrameLength, 208u) << "MPEG 2 layer III 64 kbit/s 22050 Hz";
    EXPECT_EQ(Decode({0xFF, 0xF3, 0x80, 0xC0}).SamplesPerFrame(), 576);
    EXPECT_EQ(Decode({0xFF, 0xE3, 0x18, 0xC0}).SampleRate, 8000) << "MPEG 2.5";
    EXPECT_EQ(Decode({0xFF, 0xFD, 0xA0, 0x00}).Bitrate, 192) << "MPEG 1 layer II";
    // Layer I counts 4-byte slots: 32 kbit/s at 44100 Hz is 8 slots, 9 with padding.
    EXPECT_EQ(Decode({0xFF, 0xFF, 0x10, 0x00}).FrameLength, 32u);
    EXPECT_EQ(Decode({0xFF, 0xFF, 0x12, 0x00}).FrameLength, 36u);

    const std::vector<std::vector<uint8_t>> invalid = {
        {0xFF, 0xDB, 0x90, 0x00}, // 10 sync bits only
        {0xFE, 0xFB, 0x90, 0x00}, // first byte
        {0xFF, 0xEB, 0x90, 0x00}, // reserved version
        {0xFF, 0xF9, 0x90, 0x00}, // reserved layer
        {0xFF, 0xFB, 0x00, 0x00}, // free format
        {0xFF, 0xFB, 0xF0, 0x00}, // bit-rate index 15
        {0xFF, 0xFB, 0x9C, 0x00}, // reserved sample rate
        {0xFF, 0xFB, 0x90, 0x02}, // reserved emphasis
    };
    for (const auto& b : invalid) {
        TMPEGHeader x;
        EXPECT_FALSE(DecodeMPEGHeader(b.data(), x)) << int(b[1]) << " " << int(b[2]) << " " << int(b[3]);
    }
}

TEST_F(MPEGTest, XingHeaderGivesAverageRateAndDuration) {
    // Flags 3, 1000 frames, 417960 bytes: 44100 x 417.96 / 144 / 1000 = 128 kbit/s; 1152 x 1000 / 44100 s.
    const auto name = Write("xing.mp3", Cat({XingFrame(3, 1000, 417960, ""), CbrFrames(3)}));
    TOpened f(name);
    ASSERT_TRUE(f.Ok);
    EXPECT_TRUE(f.Format.GetIsVBR());
    EXPECT_EQ(std::string(f.Format.MPEGProperties->VBRData.HeaderID), "Xing");
    EXPECT_EQ(f.Format.GetBitrate(), 128);
    EXPECT_NEAR(f.Format.GetDuration(), 26.122449, 1e-5);
    EXPECT_EQ(f.Format.EncoderName, L"Blade") << "no name in the header: guessed (128 kbit/s stereo)";

    const auto lame = Write("lame.mp3", Cat({XingFrame(15, 50, 20850, "LAME3.97 "), CbrFrames(3)}));
    TOpened g(lame);
    ASSERT_TRUE(g.Ok);
    EXPECT_EQ(g.Format.EncoderName, L"LAME 3.97 ");
    EXPECT_FALSE(g.Format.MPEGProperties->GuessEncoder);
    EXPECT_EQ(g.Format.GetBitrate(), 128);
}

TEST_F(MPEGTest, SearchSkipsLeadingBytesAndRejectsALoneHeader) {
    TOpened zeros(Write("zeros.mp3", Cat({std::vector<uint8_t>(10, 0), CbrFrames(5)})));
    ASSERT_TRUE(zeros.Ok);
    EXPECT_EQ(zeros.Format.MPEGProperties->AudioStart, 10);
    EXPECT_EQ(zeros.Format.MPEGProperties->FirstFrameOffset, 10);

    std::vector<uint8_t> lone = {0xFF, 0xFB, 0x90, 0x00};
    lone.resize(417 + 300, 0);
    TOpened single(Write("lone.mp3", lone));
    EXPECT_FALSE(single.Ok) << "a header not followed by another is not a stream";
    EXPECT_EQ(single.Format.LastError, 0u) << "13 is reported only after an ID3v2 tag";

    TOpened empty(Write("empty.mp3", {}));
    EXPECT_FALSE(empty.Ok);
}

TEST_F(MPEGTest, ConstantRateWalkStopsAt101FramesOrCountsToTheEnd) {
    TOpened longFile(Write("long.mp3", CbrFrames(200)));
    ASSERT_TRUE(longFile.Ok);
    EXPECT_FALSE(longFile.Format.FrameCountValid) << "the walk stops at 101 frames";
    EXPECT_FALSE(longFile.Format.GetIsVBR());
    EXPECT_NEAR(longFile.Format.GetDuration(), 200 * 1152.0 / 44100, 1e-9) << "from the file size";

    TOpened shortFile(Write("short.mp3", CbrFrames(50)));
    ASSERT_TRUE(shortFile.Ok);
    EXPECT_TRUE(shortFile.Format.FrameCountValid);
    EXPECT_EQ(shortFile.Format.FrameCount, 50);

    // With an ID3v1 tag the size-based duration leaves its 128 bytes out.
    TOpened tagged(Write("tagged.mp3", Cat({CbrFrames(200), ID3v1Block("t", "a", "b", "2000", "", 1, 1)})));
    ASSERT_TRUE(tagged.Ok);
    EXPECT_NEAR(tagged.Format.GetDuration(), 200 * 1152.0 / 44100, 1e-9);
}

TEST_F(MPEGTest, VariableRateWithoutHeaderIsWalkedToTheEnd) {
    std::vector<uint8_t> stream;
    for (int i = 0; i < 300; ++i) {
        const bool fast = i % 3 == 0; // 160 kbit/s every third frame, 128 otherwise
        std::vector<uint8_t> frame(fast ? 522 : 417, 0);
        frame[0] = 0xFF;
        frame[1] = 0xFB;
        frame[2] = fast ? 0xA0 : 0x90;
        frame[3] = 0x64;
        stream.insert(stream.end(), frame.begin(), frame.end());
    }
    TOpened f(Write("vbr.mp3", stream));
    ASSERT_TRUE(f.Ok);
    EXPECT_TRUE(f.Format.GetIsVBR());
    EXPECT_EQ(f.Format.MPEGProperties->VBRData.Frames, 300u);
    EXPECT_EQ(f.Format.GetBitrate(), (100 * 160 + 200 * 128) / 300);
    EXPECT_NEAR(f.Format.GetDuration(), 300 * 1152.0 / 44100, 1e-9);
}

namespace {

// The walk's rule, one byte at a time as it reads: from the second frame at `second`, each frame's end is
// the next header, and where that does not decode the next place that does (with all 4 bytes in the file).
// Returns the frames counted and whether a rate change was seen; stops like the walk.
std::pair<int64_t, bool> ReferenceWalk(const std::vector<uint8_t>& file, size_t first, size_t second) {
    TMPEGHeader a, h;
    EXPECT_TRUE(DecodeMPEGHeader(file.data() + first, a));
    EXPECT_TRUE(DecodeMPEGHeader(file.data() + second, h));
    int64_t count = 2;
    bool variable = a.Bitrate != h.Bitrate;
    size_t position = second;
    for (;;) {
        if (!variable && count >= TMPEGProperties::kConstantWalkFrames)
            break;
        position += h.FrameLength;
        bool found = false;
        for (; position + 4 <= file.size(); ++position)
            if ((found = DecodeMPEGHeader(file.data() + position, h)))
                break;
        if (!found)
            break;
        ++count;
        variable = variable || h.Bitrate != a.Bitrate;
    }
    return {count, variable};
}

// 160 kbit/s frames (522 bytes, MPEG 1 layer III, 44100 Hz), zero-filled.
std::vector<uint8_t> FastFrames(int count) {
    std::vector<uint8_t> out;
    for (int i = 0; i < count; ++i) {
        std::vector<uint8_t> frame(522, 0);
        frame[0] = 0xFF;
        frame[1] = 0xFB;
        frame[2] = 0xA0;
        frame[3] = 0x64;
        out.insert(out.end(), frame.begin(), frame.end());
    }
    return out;
}

} // namespace

TEST_F(MPEGTest, AfterLostSyncTheWalkFindsTheSameHeadersAsAByteByByteScan) {
    // Junk between the frames: zeros with sync bytes that do not start a header (FF 00, FF FF, FF E0 and
    // a reserved layer), and pseudo-random bytes, plain or rich in 0xFF, where some places decode as headers
    // and count, as they always did. The lengths vary around the walk's block sizes (4 KiB doubling to
    // 64 KiB), so that sync bytes and resumed frames fall across block boundaries; one file ends in the middle
    // of a header.
    std::mt19937 random(19);
    auto zerosWithSyncBytes = [](size_t n) {
        std::vector<uint8_t> j(n, 0);
        const uint8_t traps[][2] = {{0xFF, 0x00}, {0xFF, 0xFF}, {0xFF, 0xE0}, {0xFF, 0xF9}};
        for (size_t i = 0; i + 2 < n; i += 61)
            std::memcpy(j.data() + i, traps[(i / 61) % 4], 2);
        return j;
    };
    auto richInSync = [&](size_t n) {
        std::vector<uint8_t> j(n);
        for (uint8_t& b : j)
            b = random() % 4 == 0 ? 0xFF : static_cast<uint8_t>(random());
        return j;
    };
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        bool cbrAtEnd; // all frames 128 kbit/s, walked to the end: FrameCount
    };
    std::vector<Case> cases;
    for (size_t n : {size_t(1), size_t(4093), size_t(4095), size_t(4096), size_t(4099), size_t(12285), size_t(65533),
                     size_t(65536), size_t(65539), size_t(200000)})
        cases.push_back({"zeros", Cat({CbrFrames(20), zerosWithSyncBytes(n), FastFrames(20)}), false});
    for (size_t n : {size_t(4096), size_t(70000), size_t(300000)})
        cases.push_back({"random", Cat({CbrFrames(20), richInSync(n), FastFrames(5)}), false});
    // Plain random bytes: a 0xFF in 256, of which one in eight has the sync's last bits after it, so the
    // scan runs long stretches between the places it stops at.
    auto plainRandom = [&](size_t n) {
        std::vector<uint8_t> j(n);
        for (uint8_t& b : j)
            b = static_cast<uint8_t>(random());
        return j;
    };
    for (size_t n : {size_t(70001), size_t(300000)})
        cases.push_back({"plain random", Cat({CbrFrames(20), plainRandom(n), FastFrames(5)}), false});
    cases.push_back({"constant rate", Cat({CbrFrames(30), zerosWithSyncBytes(70000), CbrFrames(30)}), true});
    cases.push_back(
        {"cut header", Cat({CbrFrames(20), zerosWithSyncBytes(5000), FastFrames(3), {0xFF, 0xFB, 0xA0}}), false});
    // A frame followed by a run of 0xFF bytes, where four of them stand in the place of the next header.
    cases.push_back({"0xFF run", Cat({CbrFrames(20), std::vector<uint8_t>(64, 0xFF), FastFrames(5)}), false});
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " " + std::to_string(c.bytes.size()) + " bytes");
        const auto [count, variable] = ReferenceWalk(c.bytes, 0, 417);
        TOpened f(Write("junk" + std::to_string(index++) + ".mp3", c.bytes));
        ASSERT_TRUE(f.Ok);
        EXPECT_EQ(f.Format.GetIsVBR(), variable);
        if (c.cbrAtEnd) {
            ASSERT_FALSE(variable);
            EXPECT_TRUE(f.Format.FrameCountValid);
            EXPECT_EQ(f.Format.FrameCount, count);
            EXPECT_EQ(count, 60);
        } else {
            ASSERT_TRUE(variable);
            EXPECT_EQ(int64_t(f.Format.MPEGProperties->VBRData.Frames), count);
        }
    }
}

TEST_F(MPEGTest, ALameInfoFrameNamesTheEncoderOfAConstantRateFile) {
    // LAME's header frame of a constant-rate file: "Info", flags 15, frames, bytes, table, quality, then
    // the 9-byte version. The stream stays constant-rate and is walked as before.
    auto infoFrame = [](const std::string& version) {
        std::vector<uint8_t> f = XingFrame(15, 50, 20850, version);
        std::memcpy(f.data() + 36, "Info", 4);
        return f;
    };
    // The end of the file carries another LAME version: the frame's own is the one taken.
    std::vector<uint8_t> tail(4096, 0);
    std::memcpy(tail.data() + 2000, "LAME9.9", 7);
    TOpened complete(Write("info.mp3", Cat({infoFrame(std::string("LAME3.100") + '\x01'), CbrFrames(60), tail})));
    ASSERT_TRUE(complete.Ok);
    EXPECT_EQ(complete.Format.EncoderName, L"LAME 3.100");
    EXPECT_FALSE(complete.Format.GetIsVBR());
    EXPECT_EQ(complete.Format.GetBitrate(), 128);

    // A version cut short by the 9-byte field ("LAME3.99r" for 3.99.5) is left to the probe at the end.
    TOpened cut(Write("cut.mp3", Cat({infoFrame("LAME3.99r"), CbrFrames(60), tail})));
    ASSERT_TRUE(cut.Ok);
    EXPECT_EQ(cut.Format.EncoderName, L"LAME 9.9");

    // Without a LAME version in it the frame names nothing; the probe does.
    TOpened other(Write("other.mp3", Cat({infoFrame(std::string(9, '\0')), CbrFrames(60), tail})));
    ASSERT_TRUE(other.Ok);
    EXPECT_EQ(other.Format.EncoderName, L"LAME 9.9");
}

TEST_F(MPEGTest, AnInfoFrameStandsInOnlyForAWalkThatCouldNotReachTheEnd) {
    // The constant-rate walk stops after 101 frames; an "Info" frame declaring at least that many, in a file
    // long enough to hold them, gives the same outcome without the walk. A file holding fewer frames than
    // declared (cut short) or declaring fewer is still walked, and its frames are counted.
    struct TCase {
        const char* name;
        uint32_t declared;
        int framesAfterInfo;
        bool counted;
    } cases[] = {
        {"declares and holds many", 300, 300, false},
        {"declares many, cut short", 300, 60, true},
        {"declares few", 50, 60, true},
        {"declares exactly the walk", 100, 100, false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> info = XingFrame(1, c.declared, 0, "");
        std::memcpy(info.data() + 36, "Info", 4);
        TOpened f(Write("info.mp3", Cat({info, CbrFrames(c.framesAfterInfo)})));
        ASSERT_TRUE(f.Ok);
        EXPECT_FALSE(f.Format.GetIsVBR());
        EXPECT_EQ(f.Format.FrameCountValid, c.counted);
        const int frames = c.framesAfterInfo + 1;
        if (c.counted) {
            EXPECT_EQ(f.Format.FrameCount, frames);
        }
        // Counted or estimated from the size, the duration is that of every frame in the file.
        EXPECT_NEAR(f.Format.GetDuration(), frames * FrameSeconds(f.Format), 1e-9);
    }
}

TEST(MPEGFixtures, PropertiesAgreeWithMutagenAndFfprobe) {
    REQUIRE_MP3_FIXTURES();
    const TExpected& e = TExpected::Fixtures();
    const char* files[] = {"cbr128.mp3",      "cbr128-short.mp3",   "cbr128-info.mp3", "vbr-xing.mp3",
                           "vbr-noheader.mp3", "mono-vbr.mp3",      "mono-cbr.mp3",    "mpeg2-22k.mp3",
                           "mpeg2-16k-mono.mp3", "mpeg25-11k.mp3",  "mpeg25-8k.mp3",   "layer2.mp3",
                           "vbri.mp3",        "junk10.mp3",         "fake-header.mp3"};
    for (const char* file : files) {
        SCOPED_TRACE(file);
        TOpened f(FixtureText(std::string("mp3/") + file));
        ASSERT_TRUE(f.Ok);
        const TMP3MediaFormat& m = f.Format;
        EXPECT_EQ(m.GetSampleRate(), e.Number(file, "audio.sample_rate"));
        EXPECT_EQ(m.Channels, e.Number(file, "audio.channels"));
        // Within a frame and a half of what ffprobe decodes (our counts include a LAME Info frame, and
        // mutagen and ffprobe trim encoder delay differently).
        const bool noHeader = std::string(file) == "vbr-noheader.mp3";
        // Without a header ffprobe estimates the duration from the bit rate; its frame count is exact.
        const double seconds = noHeader ? e.Number(file, "ffprobe.packets") * FrameSeconds(m)
                                        : e.Number(file, "ffprobe.duration");
        EXPECT_NEAR(m.GetDuration(), seconds, 1.5 * FrameSeconds(m));
        const bool variable = e.Get(file, "audio.mode") == "VBR" || noHeader;
        EXPECT_EQ(m.GetIsVBR(), variable);
        if (!variable) {
            EXPECT_EQ(m.GetBitrate() * 1000, std::lround(e.Number(file, "audio.bitrate") / 1000) * 1000);
        }
        if (e.Has(file, "audio.lame_version")) {
            EXPECT_EQ(WideToUtf8(m.EncoderName), e.Get(file, "audio.lame_version")) << "the whole encoder name";
        }
    }
    // Where the stream starts, by construction of the fixtures.
    EXPECT_EQ(TOpened(FixtureText("mp3/junk10.mp3")).Format.MPEGProperties->AudioStart, 10);
    EXPECT_EQ(TOpened(FixtureText("mp3/fake-header.mp3")).Format.MPEGProperties->AudioStart, 604);
}

TEST(MPEGFixtures, FrameCountsOfTheWalkMatchFfprobe) {
    REQUIRE_MP3_FIXTURES();
    const TExpected& e = TExpected::Fixtures();
    TOpened shortCbr(FixtureText("mp3/cbr128-short.mp3"));
    ASSERT_TRUE(shortCbr.Ok);
    EXPECT_TRUE(shortCbr.Format.FrameCountValid) << "59 frames: walked to the end";
    EXPECT_EQ(shortCbr.Format.FrameCount, e.Number("cbr128-short.mp3", "ffprobe.packets"));

    TOpened longCbr(FixtureText("mp3/cbr128.mp3"));
    ASSERT_TRUE(longCbr.Ok);
    EXPECT_GT(e.Number("cbr128.mp3", "ffprobe.packets"), 101);
    EXPECT_FALSE(longCbr.Format.FrameCountValid);

    TOpened vbr(FixtureText("mp3/vbr-noheader.mp3"));
    ASSERT_TRUE(vbr.Ok);
    EXPECT_EQ(vbr.Format.MPEGProperties->VBRData.Frames, e.Number("vbr-noheader.mp3", "ffprobe.packets"));

    TOpened vbri(FixtureText("mp3/vbri.mp3"));
    ASSERT_TRUE(vbri.Ok);
    EXPECT_EQ(std::string(vbri.Format.MPEGProperties->VBRData.HeaderID), "VBRI");
    EXPECT_EQ(vbri.Format.EncoderName, L"Fraunhofer 1.x");
    EXPECT_EQ(vbri.Format.MPEGProperties->FirstFrameOffset, 0) << "the VBRI frame itself";
    EXPECT_EQ(vbri.Format.MPEGProperties->AudioStart, 417);
    EXPECT_NEAR(vbri.Format.GetDuration(), e.Number("vbri.mp3", "audio.length"), 1e-6);
}
