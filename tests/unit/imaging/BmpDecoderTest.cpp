// The bitmap reader on hand-built files: every supported layout, both row orders, and broken headers.
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "AllocationProbe.h"
#include "ImagingTestSupport.h"
#include "TestPaths.h"
#include "common/ByteOrder.h"
#include "imaging/ImageCodecs.h"

namespace mellodeck {
namespace {

struct BmpSpec {
    BmpSpec(int w, int h, int bits, uint32_t header = 40, uint32_t compress = 0, std::vector<uint32_t> colours = {},
            uint32_t used = 0, std::vector<uint32_t> bitMasks = {})
        : width(w), height(h), bpp(bits), headerSize(header), compression(compress), palette(std::move(colours)),
          colorsUsed(used), masks(std::move(bitMasks)) {}
    int width;  // odd in most cases, so rows need padding
    int height; // negative: top-down
    int bpp;
    uint32_t headerSize;
    uint32_t compression;
    std::vector<uint32_t> palette; // 0xRRGGBB
    uint32_t colorsUsed;
    std::vector<uint32_t> masks; // R, G, B[, A]
};

// A bitmap file whose pixel (x, y) (top-down) holds raw value value(x, y): a colour table index for
// 1/4/8 bits, the packed little-endian word for 16/32 bits, 0xRRGGBB for 24 bits.
std::vector<uint8_t> BuildBmp(const BmpSpec& s, const std::function<uint32_t(int, int)>& value) {
    const bool core = s.headerSize == 12;
    const size_t entry = core ? 3 : 4;
    const size_t masksAfterHeader = (!core && s.headerSize == 40 && !s.masks.empty()) ? s.masks.size() * 4 : 0;
    const size_t paletteAt = 14 + s.headerSize + masksAfterHeader;
    const size_t pixelsAt = paletteAt + s.palette.size() * entry;
    const int rows = s.height < 0 ? -s.height : s.height;
    const size_t stride = ((static_cast<size_t>(s.width) * s.bpp + 31) / 32) * 4;
    std::vector<uint8_t> b(pixelsAt + stride * rows, 0);
    b[0] = 'B';
    b[1] = 'M';
    PutLE32(b.data() + 2, static_cast<uint32_t>(b.size()));
    PutLE32(b.data() + 10, static_cast<uint32_t>(pixelsAt));
    PutLE32(b.data() + 14, s.headerSize);
    if (core) {
        PutLE16(b.data() + 18, static_cast<uint32_t>(s.width));
        PutLE16(b.data() + 20, static_cast<uint32_t>(s.height));
        PutLE16(b.data() + 22, 1);
        PutLE16(b.data() + 24, static_cast<uint32_t>(s.bpp));
    } else {
        PutLE32(b.data() + 18, static_cast<uint32_t>(s.width));
        PutLE32(b.data() + 22, static_cast<uint32_t>(s.height));
        PutLE16(b.data() + 26, 1);
        PutLE16(b.data() + 28, static_cast<uint32_t>(s.bpp));
        if (s.headerSize >= 20)
            PutLE32(b.data() + 30, s.compression);
        if (s.headerSize >= 36)
            PutLE32(b.data() + 46, s.colorsUsed);
        const size_t masksAt = s.headerSize >= 52 ? 54 : 14 + s.headerSize;
        for (size_t i = 0; i < s.masks.size(); ++i)
            PutLE32(b.data() + masksAt + i * 4, s.masks[i]);
    }
    for (size_t i = 0; i < s.palette.size(); ++i) {
        b[paletteAt + i * entry] = static_cast<uint8_t>(s.palette[i]);
        b[paletteAt + i * entry + 1] = static_cast<uint8_t>(s.palette[i] >> 8);
        b[paletteAt + i * entry + 2] = static_cast<uint8_t>(s.palette[i] >> 16);
    }
    for (int r = 0; r < rows; ++r) {
        const int y = s.height < 0 ? r : rows - 1 - r;
        const size_t rowAt = pixelsAt + static_cast<size_t>(r) * stride;
        for (int x = 0; x < s.width; ++x) {
            const uint32_t v = value(x, y);
            switch (s.bpp) {
            case 1:
            case 4:
            case 8: {
                const size_t bit = static_cast<size_t>(x) * s.bpp;
                b[rowAt + bit / 8] |= static_cast<uint8_t>(v << (8 - s.bpp - bit % 8));
                break;
            }
            case 16:
                PutLE16(b.data() + rowAt + x * 2, v);
                break;
            case 24:
                b[rowAt + x * 3] = static_cast<uint8_t>(v);
                b[rowAt + x * 3 + 1] = static_cast<uint8_t>(v >> 8);
                b[rowAt + x * 3 + 2] = static_cast<uint8_t>(v >> 16);
                break;
            case 32:
                PutLE32(b.data() + rowAt + x * 4, v);
                break;
            }
        }
    }
    return b;
}

// Six colours with every channel at 0 or full, so all layouts (5-bit channels included) hold them exactly.
const std::vector<uint32_t> kColours = {0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00};

uint32_t ColourIndex(int x, int y, size_t count) {
    return static_cast<uint32_t>((x + 2 * y) % count);
}

uint32_t Pack(uint32_t rgb, int rBits, int gBits, int bBits, int rShift, int gShift, int bShift) {
    const uint32_t r = (rgb >> 16) & 0xFF ? (1u << rBits) - 1 : 0;
    const uint32_t g = (rgb >> 8) & 0xFF ? (1u << gBits) - 1 : 0;
    const uint32_t bl = rgb & 0xFF ? (1u << bBits) - 1 : 0;
    return (r << rShift) | (g << gShift) | (bl << bShift);
}

struct LayoutCase {
    const char* name;
    BmpSpec spec;
    size_t colours; // how many of kColours the picture uses
    std::function<uint32_t(uint32_t rgb, uint32_t index)> raw;
};

TEST(BmpDecoder, DecodesEveryLayoutInBothRowOrders) {
    const auto index = [](uint32_t, uint32_t i) { return i; };
    const auto rgb = [](uint32_t c, uint32_t) { return c; };
    const std::vector<uint32_t> two(kColours.begin(), kColours.begin() + 2);
    std::vector<LayoutCase> cases = {
        {"1-bit", {5, 3, 1, 40, 0, two}, 2, index},
        {"4-bit", {5, 3, 4, 40, 0, kColours}, 6, index},
        {"8-bit", {5, 3, 8, 40, 0, kColours, 6}, 6, index},
        {"8-bit core header", {5, 3, 8, 12, 0, kColours}, 6, index},
        {"24-bit", {5, 3, 24}, 6, rgb},
        {"24-bit core header", {5, 3, 24, 12}, 6, rgb},
        {"32-bit, unused fourth byte", {5, 3, 32}, 6, rgb},
        {"16-bit 5-5-5", {5, 3, 16}, 6, [](uint32_t c, uint32_t) { return Pack(c, 5, 5, 5, 10, 5, 0); }},
        {"16-bit 5-6-5 masks after header",
         {5, 3, 16, 40, 3, {}, 0, {0xF800, 0x07E0, 0x001F}},
         6,
         [](uint32_t c, uint32_t) { return Pack(c, 5, 6, 5, 11, 5, 0); }},
        {"32-bit masks in a version 5 header",
         {5, 3, 32, 124, 3, {}, 0, {0x0000FF00, 0x00FF0000, 0xFF000000, 0x000000FF}},
         6,
         [](uint32_t c, uint32_t) { return Pack(c, 8, 8, 8, 8, 16, 24) | 0xFF; }},
        {"short OS/2 header", {5, 3, 24, 16}, 6, rgb},
    };
    for (const LayoutCase& c : cases)
        for (bool topDown : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (topDown ? ", top-down" : ", bottom-up"));
            if (topDown && c.spec.headerSize == 12)
                continue; // the core header's height is unsigned
            BmpSpec spec = c.spec;
            if (topDown)
                spec.height = -spec.height;
            const auto file = BuildBmp(spec, [&](int x, int y) {
                const uint32_t i = ColourIndex(x, y, c.colours);
                return c.raw(kColours[i], i);
            });
            Bitmap32 b;
            ASSERT_TRUE(DecodeImage(ImageKind::Bmp, file.data(), file.size(), b));
            ASSERT_EQ(b.Width(), 5);
            ASSERT_EQ(b.Height(), 3);
            for (int y = 0; y < 3; ++y)
                for (int x = 0; x < 5; ++x)
                    EXPECT_EQ(b.PixelAt(x, y), 0xFF000000u | kColours[ColourIndex(x, y, c.colours)]) << x << "," << y;
        }
}

TEST(BmpDecoder, ScalesNarrowChannelsAndHonoursAlpha) {
    // 5-bit 16 (of 31) scales to 132; a 6-bit 32 (of 63) to 130.
    BmpSpec s565{1, 1, 16, 40, 3, {}, 0, {0xF800, 0x07E0, 0x001F}};
    auto f = BuildBmp(s565, [](int, int) { return (16u << 11) | (32u << 5) | 16u; });
    Bitmap32 b;
    ASSERT_TRUE(DecodeImage(ImageKind::Bmp, f.data(), f.size(), b));
    EXPECT_EQ(b.PixelAt(0, 0), 0xFF848284u);

    // A plain 32-bit bitmap whose fourth bytes are not all zero carries alpha.
    BmpSpec s32{2, 1, 32};
    f = BuildBmp(s32, [](int x, int) { return x == 0 ? 0x40102030u : 0x00000000u; });
    ASSERT_TRUE(DecodeImage(ImageKind::Bmp, f.data(), f.size(), b));
    EXPECT_EQ(b.PixelAt(0, 0), 0x40102030u);
    EXPECT_EQ(b.PixelAt(1, 0), 0x00000000u);
}

// A run-length encoded bitmap: the header and colour table of BuildBmp followed by `stream`.
std::vector<uint8_t> RleBmp(int bpp, int width, int height, const std::vector<uint32_t>& palette,
                            const std::vector<uint8_t>& stream) {
    std::vector<uint8_t> f = BuildBmp(BmpSpec{width, height, bpp, 40, 0, palette}, [](int, int) { return 0u; });
    const size_t pixelsAt = GetLE16(f.data() + 10);
    f.resize(pixelsAt);
    f.insert(f.end(), stream.begin(), stream.end());
    PutLE32(f.data() + 30, bpp == 8 ? 1 : 2);
    return f;
}

TEST(BmpDecoder, RunLengthEncodedPictures) {
    const std::vector<uint32_t> palette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
    // 4 bits: the bottom row is a run of alternating nibbles, the top row a literal run of three pixels
    // that leaves the fourth unwritten.
    const std::vector<uint8_t> rle4 = {4, 0x12, 0, 0, 0, 3, 0x31, 0x20, 0, 1};
    auto f = RleBmp(4, 4, 2, palette, rle4);
    Bitmap32 b;
    ASSERT_TRUE(DecodeImage(ImageKind::Bmp, f.data(), f.size(), b));
    ASSERT_EQ(b.Width(), 4);
    const uint32_t want4[2][4] = {{test::kBlue, test::kRed, test::kGreen, 0},
                                  {test::kRed, test::kGreen, test::kRed, test::kGreen}};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(b.PixelAt(x, y), want4[y][x]) << x << "," << y;

    // 8 bits: a move to (1, 1) from the bottom, one red pixel, end of picture; the rest stays transparent.
    f = RleBmp(8, 3, 3, palette, {0, 2, 1, 1, 1, 1, 0, 1});
    ASSERT_TRUE(DecodeImage(ImageKind::Bmp, f.data(), f.size(), b));
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(b.PixelAt(x, y), (x == 1 && y == 1) ? test::kRed : 0u) << x << "," << y;

    // Runs past the right edge are clipped; a stream ending at the last row without an end code is whole.
    f = RleBmp(8, 2, 1, palette, {200, 3, 0, 0});
    ASSERT_TRUE(DecodeImage(ImageKind::Bmp, f.data(), f.size(), b));
    EXPECT_EQ(b.PixelAt(1, 0), test::kBlue);

    const std::vector<std::vector<uint8_t>> broken = {
        {2, 1},       // stops in the first of two rows
        {0, 5, 1, 1}, // literal run longer than the data
        {0, 2, 1},    // move without its offsets
        {},           // no pixel data at all
    };
    for (const auto& stream : broken) {
        f = RleBmp(8, 2, 2, palette, stream);
        EXPECT_FALSE(DecodeImage(ImageKind::Bmp, f.data(), f.size(), b)) << "stream of " << stream.size();
    }
    // Top-down rows cannot be run-length encoded.
    f = RleBmp(8, 2, -1, palette, {2, 1, 0, 1});
    EXPECT_FALSE(DecodeImage(ImageKind::Bmp, f.data(), f.size(), b));
}

TEST(BmpDecoder, ColourIndicesBeyondTheTableShowBlack) {
    BmpSpec s{3, 1, 8, 40, 0, {0xFF0000, 0x00FF00}, 2};
    const auto f = BuildBmp(s, [](int x, int) { return x == 0 ? 1u : (x == 1 ? 2u : 255u); });
    Bitmap32 b;
    ASSERT_TRUE(DecodeImage(ImageKind::Bmp, f.data(), f.size(), b));
    EXPECT_EQ(b.PixelAt(0, 0), test::kGreen);
    EXPECT_EQ(b.PixelAt(1, 0), 0xFF000000u);
    EXPECT_EQ(b.PixelAt(2, 0), 0xFF000000u);
}

TEST(BmpDecoder, RejectsBrokenFilesWithoutTouchingTheOutput) {
    const BmpSpec base{5, 3, 24};
    const auto good = BuildBmp(base, [](int, int) { return 0x123456u; });
    using Patch = std::function<void(std::vector<uint8_t>&)>;
    struct Case {
        const char* name;
        Patch patch;
    };
    const std::vector<Case> cases = {
        {"no pixel data", [](auto& f) { f.resize(54); }},
        {"last row cut short", [](auto& f) { f.resize(f.size() - 4); }},
        {"pixel offset past the end", [](auto& f) { PutLE32(f.data() + 10, 0x7FFFFFF0); }},
        {"header longer than the file", [](auto& f) { PutLE32(f.data() + 14, 1000); }},
        {"header size 8", [](auto& f) { PutLE32(f.data() + 14, 8); }},
        {"zero width", [](auto& f) { PutLE32(f.data() + 18, 0); }},
        {"negative width", [](auto& f) { PutLE32(f.data() + 18, 0xFFFFFFFB); }},
        {"zero height", [](auto& f) { PutLE32(f.data() + 22, 0); }},
        {"height of -2^31", [](auto& f) { PutLE32(f.data() + 22, 0x80000000); }},
        {"2 bits per pixel", [](auto& f) { PutLE16(f.data() + 28, 2); }},
        {"64 bits per pixel", [](auto& f) { PutLE16(f.data() + 28, 64); }},
        {"run-length compressed", [](auto& f) { PutLE32(f.data() + 30, 1); }},
        {"embedded JPEG", [](auto& f) { PutLE32(f.data() + 30, 4); }},
        {"wrong signature", [](auto& f) { f[1] = 'A'; }},
        {"only the file header", [](auto& f) { f.resize(14); }},
        {"colour table past the end",
         [](auto& f) {
             PutLE16(f.data() + 28, 8);
             PutLE32(f.data() + 46, 256);
             f.resize(60);
         }},
        {"32768 x 32768 pixels", [](auto& f) { PutLE32(f.data() + 18, 32768), PutLE32(f.data() + 22, 32768); }},
        {"100000 pixels wide", [](auto& f) { PutLE32(f.data() + 18, 100000); }},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> f = good;
        c.patch(f);
        Bitmap32 b(1, 1);
        b.SetPixel(0, 0, 0xFFABCDEF);
        int changes = 0;
        b.OnChange = [&](Bitmap32&) { ++changes; };
        test::AllocationProbe probe;
        EXPECT_FALSE(DecodeImage(ImageKind::Bmp, f.data(), f.size(), b)) << c.name;
        EXPECT_LT(probe.Largest(), 4096u) << c.name;
        EXPECT_EQ(changes, 0) << c.name;
        EXPECT_EQ(b.PixelAt(0, 0), 0xFFABCDEFu) << c.name;
    }
    // The unpatched file itself is fine, and so is a last row without its padding.
    Bitmap32 b;
    EXPECT_TRUE(DecodeImage(ImageKind::Bmp, good.data(), good.size(), b));
    std::vector<uint8_t> unpadded(good.begin(), good.end() - 1);
    EXPECT_TRUE(DecodeImage(ImageKind::Bmp, unpadded.data(), unpadded.size(), b));
}

TEST(BmpDecoder, SideCapIsInclusive) {
    BmpSpec s{kMaxImageSide, 1, 24};
    auto f = BuildBmp(s, [](int x, int) { return x == kMaxImageSide - 1 ? 0xFF0000u : 0u; });
    Bitmap32 b;
    ASSERT_TRUE(DecodeImage(ImageKind::Bmp, f.data(), f.size(), b));
    EXPECT_EQ(b.Width(), kMaxImageSide);
    EXPECT_EQ(b.PixelAt(kMaxImageSide - 1, 0), test::kRed);
    s.width = kMaxImageSide + 1;
    f = BuildBmp(s, [](int, int) { return 0u; });
    EXPECT_FALSE(DecodeImage(ImageKind::Bmp, f.data(), f.size(), b));
}

TEST(BmpDecoder, AnUnusualHeaderIsFoundByExtension) {
    // A 20-byte OS/2 header is valid but not among the sizes the signature check trusts.
    const auto f = BuildBmp(BmpSpec{5, 3, 24, 20}, [](int, int) { return 0x00FF00u; });
    ASSERT_EQ(DetectImageKind(f.data(), f.size()), ImageKind::Unknown);
    Bitmap32 b;
    EXPECT_FALSE(DecodeImageAuto(f.data(), f.size(), L"picture.dat", b));
    ASSERT_TRUE(DecodeImageAuto(f.data(), f.size(), L"C:\\art.v2\\picture.BMP", b));
    EXPECT_EQ(b.PixelAt(4, 2), test::kGreen);
    EXPECT_FALSE(DecodeImageAuto(f.data(), f.size(), L"C:\\art.bmp\\picture", b));
}

} // namespace
} // namespace mellodeck
