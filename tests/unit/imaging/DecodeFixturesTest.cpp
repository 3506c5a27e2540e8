// Decoding the ImageMagick-made fixtures: sizes and spot-checked pixels for every format and variant.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ImagingTestSupport.h"
#include "TestPaths.h"
#include "imaging/ImageCodecs.h"

namespace mellodeck {
namespace {

using test::ImageFixture;
using test::PixelNear;
using test::QuadColour;

enum class Alpha { Opaque, Quadrants, GreenTransparent };

struct QuadCase {
    const char* file;
    ImageKind kind;
    int tolerance; // per channel
    int inset;     // distance of the probes from quadrant borders
    Alpha alpha;
};

std::ostream& operator<<(std::ostream& os, const QuadCase& c) {
    return os << c.file;
}

class QuadFixture : public ::testing::TestWithParam<QuadCase> {};

// Colour expected at (x, y) of a quadrant fixture; `alphaOnly` when only the alpha can be checked
// (fully transparent pixels carry no defined colour).
uint32_t Expected(const QuadCase& c, int x, int y, bool& alphaOnly) {
    alphaOnly = false;
    const uint32_t colour = QuadColour(x, y);
    if (c.alpha == Alpha::Quadrants) {
        if (colour == test::kGreen)
            return 0x80000000 | (colour & 0xFFFFFF);
        if (colour == test::kBlue) {
            alphaOnly = true;
            return 0;
        }
    }
    if (c.alpha == Alpha::GreenTransparent && colour == test::kGreen) {
        alphaOnly = true;
        return 0;
    }
    return colour;
}

TEST_P(QuadFixture, DecodesToTheFourQuadrants) {
    REQUIRE_IMAGE_FIXTURES();
    const QuadCase& c = GetParam();
    const std::vector<uint8_t> bytes = ImageFixture(c.file);
    ASSERT_FALSE(bytes.empty()) << c.file;
    ASSERT_EQ(DetectImageKind(bytes.data(), bytes.size()), c.kind);

    Bitmap32 b;
    ASSERT_TRUE(DecodeImage(c.kind, bytes.data(), bytes.size(), b));
    ASSERT_EQ(b.Width(), 64);
    ASSERT_EQ(b.Height(), 48);
    for (auto [x, y] : test::QuadProbePoints(c.inset)) {
        bool alphaOnly = false;
        const uint32_t want = Expected(c, x, y, alphaOnly);
        if (alphaOnly)
            EXPECT_EQ(b.PixelAt(x, y) >> 24, want >> 24) << "alpha at (" << x << "," << y << ")";
        else
            EXPECT_TRUE(PixelNear(b, x, y, want, c.tolerance));
    }

    // The file loader finds the same picture by content.
    Bitmap32 loaded;
    ASSERT_TRUE(LoadImageFile(test::FixtureText(std::string("images/") + c.file), loaded));
    ASSERT_EQ(loaded.Width(), 64);
    ASSERT_EQ(loaded.Height(), 48);
    EXPECT_EQ(std::memcmp(loaded.Pixels(), b.Pixels(), 64 * 48 * 4), 0);
}

INSTANTIATE_TEST_SUITE_P(Imaging, QuadFixture,
                         ::testing::Values(QuadCase{"quad-baseline.jpg", ImageKind::Jpeg, 8, 4, Alpha::Opaque},
                                           QuadCase{"quad-progressive.jpg", ImageKind::Jpeg, 8, 4, Alpha::Opaque},
                                           QuadCase{"quad-cmyk.jpg", ImageKind::Jpeg, 12, 4, Alpha::Opaque},
                                           QuadCase{"quad.png", ImageKind::Png, 0, 0, Alpha::Opaque},
                                           QuadCase{"quad-palette.png", ImageKind::Png, 0, 0, Alpha::Opaque},
                                           QuadCase{"quad-16bit.png", ImageKind::Png, 0, 0, Alpha::Opaque},
                                           QuadCase{"quad-interlaced.png", ImageKind::Png, 0, 0, Alpha::Opaque},
                                           QuadCase{"quad-rgba.png", ImageKind::Png, 0, 0, Alpha::Quadrants},
                                           QuadCase{"quad-16bit-rgba.png", ImageKind::Png, 0, 0, Alpha::Quadrants},
                                           QuadCase{"quad-palette-trns.png", ImageKind::Png, 0, 0, Alpha::Quadrants},
                                           QuadCase{"quad.gif", ImageKind::Gif, 0, 0, Alpha::Opaque},
                                           QuadCase{"quad-interlaced-trns.gif", ImageKind::Gif, 0, 0,
                                                    Alpha::GreenTransparent},
                                           QuadCase{"quad-none.tif", ImageKind::Tiff, 0, 0, Alpha::Opaque},
                                           QuadCase{"quad-lzw.tif", ImageKind::Tiff, 0, 0, Alpha::Opaque},
                                           QuadCase{"quad-deflate.tif", ImageKind::Tiff, 0, 0, Alpha::Opaque},
                                           QuadCase{"quad-tiled.tif", ImageKind::Tiff, 0, 0, Alpha::Opaque},
                                           QuadCase{"quad-rgba.tif", ImageKind::Tiff, 1, 0, Alpha::Quadrants},
                                           QuadCase{"quad-24.bmp", ImageKind::Bmp, 0, 0, Alpha::Opaque},
                                           QuadCase{"quad-4bit.bmp", ImageKind::Bmp, 0, 0, Alpha::Opaque},
                                           QuadCase{"quad-rle8.bmp", ImageKind::Bmp, 0, 0, Alpha::Opaque},
                                           QuadCase{"quad-rgba-v5.bmp", ImageKind::Bmp, 0, 0, Alpha::Quadrants}),
                         [](const ::testing::TestParamInfo<QuadCase>& info) {
                             std::string name = info.param.file;
                             for (char& ch : name)
                                 if (!isalnum(static_cast<unsigned char>(ch)))
                                     ch = '_';
                             return name;
                         });

Bitmap32 DecodeFixture(const char* file) {
    const std::vector<uint8_t> bytes = ImageFixture(file);
    Bitmap32 b;
    EXPECT_TRUE(DecodeImage(DetectImageKind(bytes.data(), bytes.size()), bytes.data(), bytes.size(), b)) << file;
    return b;
}

TEST(DecodeFixtures, GreyPicturesComeOutGreyWithTheReferenceLevels) {
    REQUIRE_IMAGE_FIXTURES();
    // The lossless greyscale PNG is the reference for the grey levels of the four quadrants.
    const Bitmap32 reference = DecodeFixture("quad-gray.png");
    ASSERT_EQ(reference.Width(), 64);
    const Bitmap32 jpeg = DecodeFixture("quad-gray.jpg");
    ASSERT_EQ(jpeg.Width(), 64);
    ASSERT_EQ(jpeg.Height(), 48);
    const Bitmap32 tiff = DecodeFixture("quad-graya.tif"); // grey plus unassociated alpha
    ASSERT_EQ(tiff.Width(), 64);
    for (auto [x, y] : test::QuadProbePoints(4)) {
        const uint32_t ref = reference.PixelAt(x, y);
        const unsigned level = ref & 0xFF;
        EXPECT_EQ((ref >> 8) & 0xFF, level);
        EXPECT_EQ((ref >> 16) & 0xFF, level);
        EXPECT_EQ(ref >> 24, 0xFFu);
        EXPECT_TRUE(PixelNear(jpeg, x, y, ref, 6));
        const uint32_t colour = QuadColour(x, y);
        if (colour == test::kBlue) {
            EXPECT_EQ(tiff.PixelAt(x, y) >> 24, 0u);
        } else {
            // Grey values are stored as they are, not multiplied by alpha.
            const uint32_t alpha = colour == test::kGreen ? 0x80u : 0xFFu;
            EXPECT_TRUE(PixelNear(tiff, x, y, (alpha << 24) | (ref & 0xFFFFFF), 1));
        }
    }
}

TEST(DecodeFixtures, OneBitPicturesAndTheEightBitPaletteBitmap) {
    REQUIRE_IMAGE_FIXTURES();
    for (const char* file : {"halves-1bit.png", "halves-1bit.bmp"}) {
        const Bitmap32 b = DecodeFixture(file);
        ASSERT_EQ(b.Width(), 64) << file;
        ASSERT_EQ(b.Height(), 48) << file;
        for (int y : {0, 47})
            for (int x : {0, 31, 32, 63})
                EXPECT_EQ(b.PixelAt(x, y), x < 32 ? 0xFFFFFFFFu : 0xFF000000u) << file << " " << x << "," << y;
    }
    // The 8-bit bitmap holds exactly the colours of the lossless PNG gradient.
    const Bitmap32 png = DecodeFixture("gradient.png");
    const Bitmap32 bmp = DecodeFixture("gradient-8bit.bmp");
    ASSERT_EQ(png.Width(), 64);
    ASSERT_EQ(bmp.Width(), 64);
    ASSERT_EQ(bmp.Height(), 48);
    EXPECT_EQ(std::memcmp(png.Pixels(), bmp.Pixels(), 64 * 48 * 4), 0);
    EXPECT_NE(png.PixelAt(0, 0), png.PixelAt(0, 47)); // really a gradient, top to bottom
}

TEST(DecodeFixtures, GifTakesTheFirstFrameOnItsLogicalScreen) {
    REQUIRE_IMAGE_FIXTURES();
    const Bitmap32 offset = DecodeFixture("frame-offset.gif");
    ASSERT_EQ(offset.Width(), 16);
    ASSERT_EQ(offset.Height(), 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const bool inside = x >= 4 && x < 12 && y >= 4 && y < 12;
            if (inside)
                EXPECT_EQ(offset.PixelAt(x, y), test::kRed) << x << "," << y;
            else
                EXPECT_EQ(offset.PixelAt(x, y) >> 24, 0u) << x << "," << y;
        }

    const Bitmap32 first = DecodeFixture("two-frames.gif");
    ASSERT_EQ(first.Width(), 8);
    ASSERT_EQ(first.Height(), 8);
    EXPECT_EQ(first.PixelAt(0, 0), test::kRed);
    EXPECT_EQ(first.PixelAt(7, 7), test::kRed);
}

TEST(DecodeFixtures, AutoDecodingPrefersContentOverTheExtension) {
    REQUIRE_IMAGE_FIXTURES();
    const std::vector<uint8_t> png = ImageFixture("quad.png");
    Bitmap32 b;
    ASSERT_TRUE(DecodeImageAuto(png.data(), png.size(), L"C:\\covers\\cover.jpg", b));
    EXPECT_EQ(b.PixelAt(0, 0), test::kRed);
    EXPECT_TRUE(DecodeImageAuto(png.data(), png.size(), L"", b));

    test::TempFolder folder;
    // A picture stored under a misleading name, and one under a name with characters beyond ASCII.
    test::WriteAll(folder.Path() / "cover.gif", std::string(png.begin(), png.end()));
    Bitmap32 loaded;
    ASSERT_TRUE(LoadImageFile(folder.Text("cover.gif"), loaded));
    EXPECT_EQ(loaded.Width(), 64);
    const std::wstring unicodeName = folder.Text() + L"/\u00C9t\u00E9 \u266B \u65E5\u672C.png";
    test::WriteAll(folder.Path() / std::filesystem::path(u8"\u00C9t\u00E9 \u266B \u65E5\u672C.png"),
                   std::string(png.begin(), png.end()));
    Bitmap32 unicode;
    ASSERT_TRUE(LoadImageFile(unicodeName, unicode));
    EXPECT_EQ(unicode.PixelAt(63, 47), test::kYellow);
}

TEST(DecodeFixtures, LoadingFailsCleanlyForMissingEmptyAndUnreadableFiles) {
    test::TempFolder folder;
    test::WriteAll(folder.Path() / "empty.png", "");
    test::WriteAll(folder.Path() / "text.png", "not a picture at all, just some words");
    Bitmap32 b(1, 1);
    b.SetPixel(0, 0, 0xFF102030);
    int changes = 0;
    b.OnChange = [&](Bitmap32&) { ++changes; };
    EXPECT_FALSE(LoadImageFile(folder.Text("missing.png"), b));
    EXPECT_FALSE(LoadImageFile(folder.Text("empty.png"), b));
    EXPECT_FALSE(LoadImageFile(folder.Text("text.png"), b));
    EXPECT_FALSE(LoadImageFile(folder.Text(), b)); // a folder
    EXPECT_FALSE(LoadImageFile(L"", b));
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(b.PixelAt(0, 0), 0xFF102030u);
}

} // namespace
} // namespace mellodeck
