// Decoding a cover straight to the size of a panel's box: the same picture as a full decode followed by the
// box scale, up to rounding, without decoding a large JPEG in full.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "AllocationProbe.h"
#include "ImagingTestSupport.h"
#include "imaging/ImageCodecs.h"

namespace mellodeck {
namespace {

// Mean absolute difference per channel (B, G, R, A) of two bitmaps of one size.
void MeanDifferences(const Bitmap32& a, const Bitmap32& b, double out[4]) {
    double sums[4] = {0, 0, 0, 0};
    const size_t pixels = static_cast<size_t>(a.Width()) * a.Height();
    for (size_t i = 0; i < pixels * 4; ++i)
        sums[i % 4] += std::abs(int(a.Pixels()[i]) - int(b.Pixels()[i]));
    for (int c = 0; c < 4; ++c)
        out[c] = sums[c] / static_cast<double>(pixels);
}

TEST(FitInside, KeepsTheAspectRatioAndNeverEnlarges) {
    struct Case {
        int w, h, boxW, boxH, outW, outH;
    } cases[] = {
        {600, 600, 188, 152, 152, 152},  // the height limits
        {1200, 300, 188, 152, 188, 47},  // the width limits
        {601, 397, 188, 152, 188, 124},  // 124.15 rounds down
        {333, 1001, 188, 152, 51, 152},  // 50.57 rounds up
        {100, 80, 188, 152, 100, 80},    // fits already: kept
        {188, 152, 188, 152, 188, 152},  // exactly the box
        {5000, 1, 188, 152, 188, 1},     // never below one pixel
        {0, 10, 188, 152, 0, 10},        // nothing to fit
        {600, 600, 0, 152, 600, 600},    // no box
    };
    for (const Case& c : cases) {
        int w = -1, h = -1;
        FitInside(c.w, c.h, c.boxW, c.boxH, w, h);
        EXPECT_EQ(w, c.outW) << c.w << "x" << c.h;
        EXPECT_EQ(h, c.outH) << c.w << "x" << c.h;
    }
}

TEST(DecodeImageToFit, MatchesAFullDecodeAndBoxScaleWithinRounding) {
    REQUIRE_IMAGE_FIXTURES();
    struct Box {
        int w, h;
    } boxes[] = {{188, 152}, {100, 100}, {300, 40}, {57, 211}};
    const char* covers[] = {"cover-photo.jpg",    "cover-photo444.jpg", "cover-flat.jpg",        "cover-gray.jpg",
                            "cover-odd-wide.jpg", "cover-odd-tall.jpg", "cover-progressive.jpg", "cover-cjpeg.jpg",
                            "cover.png"};
    for (const char* name : covers) {
        const std::vector<uint8_t> bytes = test::ImageFixture(name);
        ASSERT_FALSE(bytes.empty()) << name;
        const ImageKind kind = DetectImageKind(bytes.data(), bytes.size());
        Bitmap32 full;
        ASSERT_TRUE(DecodeImage(kind, bytes.data(), bytes.size(), full)) << name;
        for (const Box& box : boxes) {
            SCOPED_TRACE(std::string(name) + " in " + std::to_string(box.w) + "x" + std::to_string(box.h));
            int w, h;
            FitInside(full.Width(), full.Height(), box.w, box.h, w, h);
            ASSERT_TRUE(w < full.Width() || h < full.Height()) << "every cover is larger than every box";
            const Bitmap32 reference = ResampleBox(full, w, h);
            Bitmap32 fitted;
            ASSERT_TRUE(DecodeImageToFit(kind, bytes.data(), bytes.size(), box.w, box.h, fitted));
            ASSERT_EQ(fitted.Width(), w);
            ASSERT_EQ(fitted.Height(), h);
            double mean[4];
            MeanDifferences(fitted, reference, mean);
            for (int c = 0; c < 3; ++c)
                EXPECT_LE(mean[c], 2.0) << "channel " << c;
            EXPECT_EQ(mean[3], 0.0) << "opaque stays opaque";
            // Not merely close on average: no region of the picture may be shifted or wrong.
            for (int y = 0; y < h; y += std::max(1, h / 7))
                for (int x = 0; x < w; x += std::max(1, w / 7))
                    EXPECT_TRUE(test::PixelNear(fitted, x, y, reference.PixelAt(x, y), 40)) << x << "," << y;
        }
    }
}

TEST(DecodeImageToFit, ALargeJpegIsNotDecodedInFull) {
    REQUIRE_IMAGE_FIXTURES();
    const std::vector<uint8_t> bytes = test::ImageFixture("cover-progressive.jpg"); // 800x800
    Bitmap32 fitted;
    size_t largest;
    {
        test::AllocationProbe probe;
        ASSERT_TRUE(DecodeImageToFit(ImageKind::Jpeg, bytes.data(), bytes.size(), 188, 152, fitted));
        largest = probe.Largest();
    }
    EXPECT_EQ(fitted.Width(), 152);
    // 2/8 gives 200x200 (160,000 bytes of pixels), the smallest scale that still covers 152x152; the full
    // picture would need 2,560,000.
    EXPECT_LE(largest, 200u * 200 * 4);
}

TEST(DecodeImageToFit, SmallPicturesKeepTheirSizeAndFailuresLeaveTheBitmapAlone) {
    REQUIRE_IMAGE_FIXTURES();
    for (const char* name : {"quad-baseline.jpg", "quad.png"}) {
        const std::vector<uint8_t> bytes = test::ImageFixture(name);
        const ImageKind kind = DetectImageKind(bytes.data(), bytes.size());
        Bitmap32 full, fitted;
        ASSERT_TRUE(DecodeImage(kind, bytes.data(), bytes.size(), full));
        ASSERT_TRUE(DecodeImageToFit(kind, bytes.data(), bytes.size(), 188, 152, fitted)) << name;
        ASSERT_EQ(fitted.Width(), 64);
        ASSERT_EQ(fitted.Height(), 48);
        EXPECT_EQ(std::vector<uint8_t>(fitted.Pixels(), fitted.Pixels() + 64 * 48 * 4),
                  std::vector<uint8_t>(full.Pixels(), full.Pixels() + 64 * 48 * 4))
            << name << ": a picture that fits is decoded as it is";
    }
    std::vector<uint8_t> cut = test::ImageFixture("cover-photo.jpg");
    cut.resize(cut.size() / 2);
    Bitmap32 untouched(3, 2);
    int changes = 0;
    untouched.OnChange = [&](Bitmap32&) { ++changes; };
    EXPECT_FALSE(DecodeImageToFit(ImageKind::Jpeg, cut.data(), cut.size(), 188, 152, untouched)) << "truncated";
    EXPECT_FALSE(DecodeImageToFit(ImageKind::Png, cut.data(), cut.size(), 188, 152, untouched)) << "wrong kind";
    EXPECT_EQ(untouched.Width(), 3);
    EXPECT_EQ(changes, 0);
}

} // namespace
} // namespace mellodeck
