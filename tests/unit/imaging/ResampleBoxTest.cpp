#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "imaging/ImageCodecs.h"

namespace mellodeck {
namespace {

// 4x4 of 2x2 blocks with distinct colours and alphas.
const uint32_t kBlocks[2][2] = {{0xFF102030, 0x80FFFFFF}, {0x00000000, 0xC0804020}};

Bitmap32 BlockPicture() {
    Bitmap32 b(4, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            b.SetPixel(x, y, kBlocks[y / 2][x / 2]);
    return b;
}

TEST(ResampleBox, DownscalingByWholeFactorsGivesExactBlockAverages) {
    const Bitmap32 small = ResampleBox(BlockPicture(), 2, 2);
    ASSERT_EQ(small.Width(), 2);
    ASSERT_EQ(small.Height(), 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x)
            EXPECT_EQ(small.PixelAt(x, y), kBlocks[y][x]) << x << "," << y;

    // All four channels, alpha included, average over the whole picture.
    const Bitmap32 one = ResampleBox(BlockPicture(), 1, 1);
    ASSERT_EQ(one.Width(), 1);
    // A: (255+128+0+192)/4 = 143.75; R: (16+255+0+128)/4 = 99.75; G: (32+255+0+64)/4 = 87.75;
    // B: (48+255+0+32)/4 = 83.75.
    EXPECT_EQ(one.PixelAt(0, 0), 0x90645854u);
}

TEST(ResampleBox, UpscalingByWholeFactorsReplicates) {
    Bitmap32 two(2, 2);
    two.SetPixel(0, 0, kBlocks[0][0]);
    two.SetPixel(1, 0, kBlocks[0][1]);
    two.SetPixel(0, 1, kBlocks[1][0]);
    two.SetPixel(1, 1, kBlocks[1][1]);
    const Bitmap32 big = ResampleBox(two, 6, 4); // 3x horizontally, 2x vertically
    ASSERT_EQ(big.Width(), 6);
    ASSERT_EQ(big.Height(), 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(big.PixelAt(x, y), kBlocks[y / 2][x / 3]) << x << "," << y;
}

TEST(ResampleBox, FractionalFactorsWeighPartialCoverage) {
    // One row of 3 pixels to 2: the middle source pixel is split between both destination pixels.
    // Left: (1 * 0 + 0.5 * 90) / 1.5 = 30; right: (0.5 * 90 + 1 * 180) / 1.5 = 150.
    Bitmap32 row(3, 1);
    row.SetPixel(0, 0, 0x00000000);
    row.SetPixel(1, 0, 0x5A5A5A5A);
    row.SetPixel(2, 0, 0xB4B4B4B4);
    const Bitmap32 two = ResampleBox(row, 2, 1);
    ASSERT_EQ(two.Width(), 2);
    EXPECT_EQ(two.PixelAt(0, 0), 0x1E1E1E1Eu);
    EXPECT_EQ(two.PixelAt(1, 0), 0x96969696u);

    // 2 to 3 upward: the middle destination pixel straddles both sources equally.
    Bitmap32 pair(1, 2);
    pair.SetPixel(0, 0, 0xFF000000);
    pair.SetPixel(0, 1, 0xFFC8C8C8);
    const Bitmap32 three = ResampleBox(pair, 1, 3);
    ASSERT_EQ(three.Height(), 3);
    EXPECT_EQ(three.PixelAt(0, 0), 0xFF000000u);
    EXPECT_EQ(three.PixelAt(0, 1), 0xFF646464u);
    EXPECT_EQ(three.PixelAt(0, 2), 0xFFC8C8C8u);
}

TEST(ResampleBox, SameSizeIsACopyAndBadSizesGiveEmpty) {
    const Bitmap32 source = BlockPicture();
    const Bitmap32 same = ResampleBox(source, 4, 4);
    ASSERT_EQ(same.Width(), 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(same.PixelAt(x, y), source.PixelAt(x, y));
    EXPECT_TRUE(ResampleBox(source, 0, 4).Empty());
    EXPECT_TRUE(ResampleBox(source, 4, -1).Empty());
    EXPECT_TRUE(ResampleBox(Bitmap32(), 4, 4).Empty());
    EXPECT_TRUE(ResampleBox(source, kMaxImageSide + 1, 1).Empty());
    EXPECT_TRUE(ResampleBox(source, kMaxImageSide, kMaxImageSide).Empty()); // beyond the pixel cap
}

TEST(ResampleBox, ChannelsStayApartAtTheirLargestSums) {
    // The widest row and the tallest column the resampler takes, shrunk to one pixel: every sum is as
    // large as it gets, and a full channel sits next to an empty one. An overflow or a carry between
    // channels shows.
    for (const uint32_t argb : {0x00FF00FFu, 0xFF00FF00u, 0x01FEFF00u, 0xFFFFFFFFu}) {
        for (const bool wide : {true, false}) {
            Bitmap32 line(wide ? kMaxImageSide : 1, wide ? 1 : kMaxImageSide);
            line.Fill(argb);
            const Bitmap32 one = ResampleBox(line, 1, 1);
            ASSERT_EQ(one.Width(), 1);
            EXPECT_EQ(one.PixelAt(0, 0), argb) << (wide ? "row" : "column");
            const Bitmap32 some = ResampleBox(line, 3, 2);
            EXPECT_EQ(some.PixelAt(2, 1), argb) << (wide ? "row" : "column");
        }
    }
}

TEST(ResampleBox, LargeDownscaleKeepsTheMean) {
    // A wide gradient shrunk by an awkward factor keeps its average brightness and stays monotonic.
    Bitmap32 wide(1000, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 1000; ++x) {
            const uint32_t v = static_cast<uint32_t>(x * 255 / 999);
            wide.SetPixel(x, y, 0xFF000000 | (v << 16) | (v << 8) | v);
        }
    const Bitmap32 narrow = ResampleBox(wide, 7, 1);
    ASSERT_EQ(narrow.Width(), 7);
    unsigned sum = 0, previous = 0;
    for (int x = 0; x < 7; ++x) {
        const unsigned v = narrow.PixelAt(x, 0) & 0xFF;
        EXPECT_GE(v, previous);
        previous = v;
        sum += v;
        EXPECT_EQ(narrow.PixelAt(x, 0) >> 24, 0xFFu);
    }
    EXPECT_NEAR(sum / 7.0, 127.0, 1.5);
}

TEST(ResampleBox, EveryValueIsTheRoundedAreaAverage) {
    // Against the definition, computed here with exact integers: the destination value is the coverage-
    // weighted sum over the source, divided by the source's area and rounded half up. Random pictures and
    // awkward sizes (shrinking, growing, mixed), so the sums reach every rounding case.
    std::mt19937 random(7);
    const struct {
        int sw, sh, dw, dh;
    } sizes[] = {{37, 23, 11, 7}, {600, 5, 152, 3}, {9, 13, 25, 4}, {255, 3, 254, 2}, {5, 5, 3, 3}};
    for (const auto& z : sizes) {
        Bitmap32 source(z.sw, z.sh);
        for (int y = 0; y < z.sh; ++y)
            for (int x = 0; x < z.sw; ++x)
                source.SetPixel(x, y, static_cast<uint32_t>(random()));
        const Bitmap32 result = ResampleBox(source, z.dw, z.dh);
        ASSERT_EQ(result.Width(), z.dw);
        const uint64_t total = uint64_t(z.sw) * z.sh;
        auto overlap = [](int64_t s, int64_t d, int64_t src, int64_t dst) {
            return std::max<int64_t>(0, std::min((s + 1) * dst, (d + 1) * src) - std::max(s * dst, d * src));
        };
        int wrong = 0;
        for (int dy = 0; dy < z.dh; ++dy)
            for (int dx = 0; dx < z.dw; ++dx)
                for (int c = 0; c < 4; ++c) {
                    uint64_t sum = 0;
                    for (int y = 0; y < z.sh; ++y)
                        for (int x = 0; x < z.sw; ++x)
                            sum += uint64_t(overlap(x, dx, z.sw, z.dw) * overlap(y, dy, z.sh, z.dh)) *
                                   source.Pixels()[(size_t(y) * z.sw + x) * 4 + c];
                    const uint64_t expected = (sum + total / 2) / total;
                    wrong += result.Pixels()[(size_t(dy) * z.dw + dx) * 4 + c] != expected;
                }
        EXPECT_EQ(wrong, 0) << z.sw << "x" << z.sh << " to " << z.dw << "x" << z.dh;
    }
}

} // namespace
} // namespace mellodeck
