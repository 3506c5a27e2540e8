#include <vector>

#include <gtest/gtest.h>

#include "ImagingTestSupport.h"
#include "imaging/ImageCodecs.h"

namespace mellodeck {
namespace {

Bitmap32 Quadrants() {
    Bitmap32 b(64, 48);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
            b.SetPixel(x, y, test::QuadColour(x, y));
    return b;
}

TEST(JpegEncoder, OutputDecodesBackToTheSamePicture) {
    Bitmap32 source = Quadrants();
    source.SetPixel(0, 0, 0x00FF0000); // alpha is dropped, not turned into black
    std::vector<uint8_t> jpeg;
    ASSERT_TRUE(EncodeJpeg(source, jpeg));
    ASSERT_GT(jpeg.size(), 100u);
    EXPECT_EQ(DetectImageKind(jpeg.data(), jpeg.size()), ImageKind::Jpeg);
    Bitmap32 back;
    ASSERT_TRUE(DecodeImage(ImageKind::Jpeg, jpeg.data(), jpeg.size(), back));
    ASSERT_EQ(back.Width(), 64);
    ASSERT_EQ(back.Height(), 48);
    for (auto [x, y] : test::QuadProbePoints(4))
        EXPECT_TRUE(test::PixelNear(back, x, y, test::QuadColour(x, y), 10));
    EXPECT_TRUE(test::PixelNear(back, 0, 0, test::kRed, 10));
}

TEST(JpegEncoder, QualityDefaultsTo80AndShapesTheSize) {
    // A busy picture, so quality makes a visible difference in size.
    Bitmap32 noisy(96, 64);
    uint32_t seed = 7;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 96; ++x) {
            seed = seed * 1664525 + 1013904223;
            noisy.SetPixel(x, y, 0xFF000000 | (seed >> 8));
        }
    std::vector<uint8_t> byDefault, at80, at20, at95;
    ASSERT_TRUE(EncodeJpeg(noisy, byDefault));
    ASSERT_TRUE(EncodeJpeg(noisy, at80, 80));
    ASSERT_TRUE(EncodeJpeg(noisy, at20, 20));
    ASSERT_TRUE(EncodeJpeg(noisy, at95, 95));
    EXPECT_EQ(byDefault, at80);
    EXPECT_LT(at20.size(), at80.size());
    EXPECT_LT(at80.size(), at95.size());
    // Out-of-range qualities are clamped, not refused.
    std::vector<uint8_t> clampedLow, clampedHigh;
    EXPECT_TRUE(EncodeJpeg(noisy, clampedLow, -5));
    EXPECT_TRUE(EncodeJpeg(noisy, clampedHigh, 1000));
    // A picture much larger than the encoder's first output buffer.
    Bitmap32 big(700, 500);
    for (int y = 0; y < 500; ++y)
        for (int x = 0; x < 700; ++x) {
            seed = seed * 1664525 + 1013904223;
            big.SetPixel(x, y, 0xFF000000 | (seed >> 8));
        }
    std::vector<uint8_t> bigJpeg;
    ASSERT_TRUE(EncodeJpeg(big, bigJpeg, 95));
    EXPECT_GT(bigJpeg.size(), 256u * 1024);
    Bitmap32 back;
    ASSERT_TRUE(DecodeImage(ImageKind::Jpeg, bigJpeg.data(), bigJpeg.size(), back));
    EXPECT_EQ(back.Width(), 700);
    EXPECT_EQ(back.Height(), 500);
}

TEST(JpegEncoder, OddSizesRoundTripAndEmptyBitmapsFail) {
    for (auto [w, h] : {std::pair{1, 1}, std::pair{17, 3}, std::pair{3, 17}}) {
        Bitmap32 b(w, h);
        b.Fill(0xFF3366CC);
        std::vector<uint8_t> jpeg;
        ASSERT_TRUE(EncodeJpeg(b, jpeg)) << w << "x" << h;
        Bitmap32 back;
        ASSERT_TRUE(DecodeImage(ImageKind::Jpeg, jpeg.data(), jpeg.size(), back));
        EXPECT_EQ(back.Width(), w);
        EXPECT_EQ(back.Height(), h);
        EXPECT_TRUE(test::PixelNear(back, w - 1, h - 1, 0xFF3366CC, 6));
    }
    std::vector<uint8_t> out = {1, 2, 3};
    EXPECT_FALSE(EncodeJpeg(Bitmap32(), out));
    EXPECT_EQ(out, (std::vector<uint8_t>{1, 2, 3}));
}

} // namespace
} // namespace mellodeck
