// Garbage, truncated, corrupt and oversized pictures: every decoder says no, leaves the output alone, and
// does not allocate room for a picture it is going to reject.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "AllocationProbe.h"
#include "ImagingTestSupport.h"
#include "common/ByteOrder.h"
#include "imaging/ImageCodecs.h"

namespace mellodeck {
namespace {

const ImageKind kAllKinds[] = {ImageKind::Jpeg, ImageKind::Png, ImageKind::Gif, ImageKind::Tiff, ImageKind::Bmp};

// Bytes of a string literal, embedded zeros included (without the terminating one).
template <size_t N> std::vector<uint8_t> Lit(const char (&s)[N]) {
    return std::vector<uint8_t>(s, s + N - 1);
}

// Decodes with a sentinel output and checks the promise of a failed decode.
::testing::AssertionResult Rejected(ImageKind kind, const std::vector<uint8_t>& data, size_t maxAllocation = 0) {
    Bitmap32 out(1, 1);
    out.SetPixel(0, 0, 0xFF5A5A5A);
    int changes = 0;
    out.OnChange = [&](Bitmap32&) { ++changes; };
    bool decoded;
    size_t largest;
    {
        test::AllocationProbe probe;
        decoded = DecodeImage(kind, data.data(), data.size(), out);
        largest = probe.Largest();
    }
    if (decoded)
        return ::testing::AssertionFailure() << "decoded to " << out.Width() << "x" << out.Height();
    if (changes != 0 || out.Width() != 1 || out.PixelAt(0, 0) != 0xFF5A5A5A)
        return ::testing::AssertionFailure() << "output changed";
    if (maxAllocation && largest > maxAllocation)
        return ::testing::AssertionFailure() << "allocated " << largest << " bytes";
    return ::testing::AssertionSuccess();
}

TEST(MalformedPictures, GarbageIsRejectedByEveryDecoder) {
    std::vector<uint8_t> noise(4096);
    uint32_t seed = 12345;
    for (uint8_t& b : noise) {
        seed = seed * 1103515245 + 12345;
        b = static_cast<uint8_t>(seed >> 16);
    }
    const std::vector<std::vector<uint8_t>> inputs = {
        Lit("x"),
        std::vector<uint8_t>(64, 0),
        std::vector<uint8_t>(64, 0xFF),
        noise,
        Lit("\xFF\xD8\xFF"),
        Lit("\xFF\xD8\xFF\xE0\x00\x10JFIF\0\x01\x01\0\0\x01\0\x01\0\0"),
        Lit("\xFF\xD8\xFF\xDA\x00\x08\x01\x01\x00\x00\x3F\x00\x12\x34\xFF\xD9"), // scan without a frame
        Lit("\x89PNG\r\n\x1A\n"),
        Lit("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR\0\0\0\x01\0\0\0\x01\x08\x02\0\0\0\0\0\0\0"), // bad CRC
        Lit("GIF89a"),
        Lit("GIF89a\x01\0\x01\0\0\0\0;"), // no colours, no image
        Lit("II*\0"),
        Lit("II*\0\x08\0\0\0\0\0"),   // empty directory
        Lit("MM\0*\xFF\xFF\xFF\xF0"), // directory far past the end
        Lit("BM"),
        Lit("BM\0\0\0\0\0\0\0\0\x36\0\0\0\x28\0\0\0"),
    };
    for (ImageKind kind : kAllKinds)
        for (size_t i = 0; i < inputs.size(); ++i)
            EXPECT_TRUE(Rejected(kind, inputs[i])) << "kind " << static_cast<int>(kind) << ", input " << i;
    Bitmap32 out;
    EXPECT_FALSE(DecodeImage(ImageKind::Png, nullptr, 100, out));
    EXPECT_FALSE(DecodeImage(ImageKind::Unknown, noise.data(), noise.size(), out));
    EXPECT_FALSE(DecodeImageAuto(noise.data(), noise.size(), L"noise.jpg", out));
}

TEST(MalformedPictures, TruncatedFixturesAreRejected) {
    REQUIRE_IMAGE_FIXTURES();
    const char* files[] = {"quad-baseline.jpg", "quad-progressive.jpg",
                           "quad.png",          "quad-interlaced.png",
                           "quad.gif",          "quad-interlaced-trns.gif",
                           "quad-none.tif",     "quad-lzw.tif",
                           "quad-tiled.tif",    "quad-24.bmp",
                           "quad-4bit.bmp",     "quad-rgba-v5.bmp"};
    for (const char* file : files) {
        const std::vector<uint8_t> whole = test::ImageFixture(file);
        ASSERT_FALSE(whole.empty()) << file;
        const ImageKind kind = DetectImageKind(whole.data(), whole.size());
        for (size_t eighths : {1, 2, 4, 6}) {
            const std::vector<uint8_t> cut(whole.begin(), whole.begin() + whole.size() * eighths / 8);
            EXPECT_TRUE(Rejected(kind, cut)) << file << " cut to " << cut.size() << " of " << whole.size();
        }
    }
}

// Finds the offset of the first occurrence of `marker` in `data`.
size_t Find(const std::vector<uint8_t>& data, const std::string& marker) {
    for (size_t i = 0; i + marker.size() <= data.size(); ++i)
        if (std::memcmp(data.data() + i, marker.data(), marker.size()) == 0)
            return i;
    return std::string::npos;
}

TEST(MalformedPictures, CorruptDataIsRejected) {
    REQUIRE_IMAGE_FIXTURES();
    // A flipped byte in the PNG pixel data breaks the chunk checksum.
    std::vector<uint8_t> png = test::ImageFixture("quad.png");
    const size_t idat = Find(png, "IDAT");
    ASSERT_NE(idat, std::string::npos);
    png[idat + 6] ^= 0x55;
    EXPECT_TRUE(Rejected(ImageKind::Png, png));

    // A GIF whose LZW data starts with a code beyond the table.
    std::vector<uint8_t> gif = test::ImageFixture("quad.gif");
    const size_t descriptor = Find(gif, std::string("\x2C\0\0\0\0\x40\0\x30\0", 9));
    ASSERT_NE(descriptor, std::string::npos);
    const size_t data = descriptor + 10 + ((gif[descriptor + 9] & 0x80) ? 3u << ((gif[descriptor + 9] & 7) + 1) : 0);
    ASSERT_LT(data + 3, gif.size());
    gif[data + 2] = 0xFF;
    gif[data + 3] = 0xFF;
    EXPECT_TRUE(Rejected(ImageKind::Gif, gif));
}

// Standard CRC-32 as used by PNG chunks.
uint32_t Crc32(const uint8_t* p, size_t n) {
    uint32_t c = 0xFFFFFFFF;
    for (size_t i = 0; i < n; ++i) {
        c ^= p[i];
        for (int k = 0; k < 8; ++k)
            c = (c >> 1) ^ (0xEDB88320 & (0u - (c & 1)));
    }
    return ~c;
}

std::vector<uint8_t> PngWithSize(uint32_t width, uint32_t height) {
    std::vector<uint8_t> f = Lit("\x89PNG\r\n\x1A\n");
    std::vector<uint8_t> ihdr = Lit("\0\0\0\x0DIHDR");
    for (uint32_t v : {width, height})
        for (int s = 24; s >= 0; s -= 8)
            ihdr.push_back(static_cast<uint8_t>(v >> s));
    for (uint8_t v : {8, 6, 0, 0, 0}) // 8-bit RGBA, no interlace
        ihdr.push_back(v);
    const uint32_t crc = Crc32(ihdr.data() + 4, ihdr.size() - 4);
    for (int s = 24; s >= 0; s -= 8)
        ihdr.push_back(static_cast<uint8_t>(crc >> s));
    f.insert(f.end(), ihdr.begin(), ihdr.end());
    // The start of a pixel data chunk (never reached) and the end chunk.
    const std::vector<uint8_t> rest = Lit("\0\0\0\x02IDAT\x78\x9C\0\0\0\0\0\0\0\0IEND\xAE\x42\x60\x82");
    f.insert(f.end(), rest.begin(), rest.end());
    return f;
}

TEST(MalformedPictures, OversizedHeadersAreRejectedBeforeAllocating) {
    REQUIRE_IMAGE_FIXTURES();
    constexpr size_t kSmall = 64 * 1024; // far below any of the claimed pictures
    struct Case {
        const char* name;
        ImageKind kind;
        std::vector<uint8_t> data;
    };
    std::vector<Case> cases;
    cases.push_back({"PNG 100000 x 100000", ImageKind::Png, PngWithSize(100000, 100000)});
    cases.push_back({"PNG 20000 x 20000", ImageKind::Png, PngWithSize(20000, 20000)});
    cases.push_back({"PNG 40000 x 1", ImageKind::Png, PngWithSize(40000, 1)});

    // JPEG fixtures with the frame header's height and width patched.
    for (const char* file : {"quad-baseline.jpg", "quad-progressive.jpg"}) {
        for (auto [w, h] : {std::pair{30000u, 30000u}, std::pair{40000u, 8u}}) {
            std::vector<uint8_t> jpeg = test::ImageFixture(file);
            size_t sof = Find(jpeg, "\xFF\xC0");
            if (sof == std::string::npos)
                sof = Find(jpeg, "\xFF\xC2");
            ASSERT_NE(sof, std::string::npos) << file;
            PutBE16(jpeg.data() + sof + 5, h);
            PutBE16(jpeg.data() + sof + 7, w);
            cases.push_back({file, ImageKind::Jpeg, jpeg});
        }
    }

    // GIF: a 65535 x 65535 screen and frame with a two-colour table.
    const std::vector<uint8_t> gif = Lit("GIF89a\xFF\xFF\xFF\xFF\x80\0\0"
                                         "\0\0\0\xFF\xFF\xFF"
                                         "\x2C\0\0\0\0\xFF\xFF\xFF\xFF\0"
                                         "\x02\x02\x4C\x01\0;");
    cases.push_back({"GIF 65535 x 65535", ImageKind::Gif, gif});
    // The same frame on a small screen.
    std::vector<uint8_t> gifSmallScreen = gif;
    gifSmallScreen[6] = gifSmallScreen[8] = 16;
    gifSmallScreen[7] = gifSmallScreen[9] = 0;
    cases.push_back({"GIF frame 65535 x 65535", ImageKind::Gif, gifSmallScreen});

    // TIFF, little-endian: 100000 x 100000 8-bit grey in one uncompressed strip of 4 bytes.
    std::vector<uint8_t> tiff = Lit("II*\0\x08\0\0\0");
    auto put16 = [&](uint32_t v) {
        tiff.push_back(static_cast<uint8_t>(v));
        tiff.push_back(static_cast<uint8_t>(v >> 8));
    };
    auto put32 = [&](uint32_t v) {
        put16(v & 0xFFFF);
        put16(v >> 16);
    };
    const uint32_t entries[][3] = {{256, 4, 100000}, {257, 4, 100000}, {258, 3, 8},      {259, 3, 1}, {262, 3, 1},
                                   {273, 4, 200},    {277, 3, 1},      {278, 4, 100000}, {279, 4, 4}};
    put16(9);
    for (const auto& e : entries) {
        put16(e[0]);
        put16(e[1]);
        put32(1);
        if (e[1] == 3) {
            put16(e[2]);
            put16(0);
        } else {
            put32(e[2]);
        }
    }
    put32(0);
    tiff.resize(204, 0x80);
    cases.push_back({"TIFF 100000 x 100000", ImageKind::Tiff, tiff});
    std::vector<uint8_t> tiffWide = tiff;
    tiffWide[10 + 12 + 8] = 1; // length 1, width stays 100000
    tiffWide[10 + 12 + 9] = 0;
    tiffWide[10 + 12 + 10] = 0;
    cases.push_back({"TIFF 100000 x 1", ImageKind::Tiff, tiffWide});

    for (const Case& c : cases)
        EXPECT_TRUE(Rejected(c.kind, c.data, kSmall)) << c.name;
}

} // namespace
} // namespace mellodeck
