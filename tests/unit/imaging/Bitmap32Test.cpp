#include <cstring>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "imaging/Bitmap32.h"

namespace mellodeck {
namespace {

TEST(Bitmap32, StoresBgraTopDownWithoutPadding) {
    Bitmap32 b(3, 2);
    ASSERT_EQ(b.Width(), 3);
    ASSERT_EQ(b.Height(), 2);
    EXPECT_EQ(b.PixelAt(2, 1), 0u); // transparent black
    b.SetPixel(2, 1, 0x80112233);
    const uint8_t* p = b.Row(1) + 2 * 4;
    EXPECT_EQ(p, b.Pixels() + (1 * 3 + 2) * 4);
    EXPECT_EQ(p[0], 0x33); // B
    EXPECT_EQ(p[1], 0x22); // G
    EXPECT_EQ(p[2], 0x11); // R
    EXPECT_EQ(p[3], 0x80); // A
    EXPECT_EQ(b.PixelAt(2, 1), 0x80112233u);
}

TEST(Bitmap32, OutOfRangeAndDegenerateSizesAreHarmless) {
    Bitmap32 b(2, 2);
    b.Fill(0xFFFFFFFF);
    b.SetPixel(-1, 0, 0);
    b.SetPixel(2, 0, 0);
    b.SetPixel(0, 2, 0);
    EXPECT_EQ(b.PixelAt(1, 1), 0xFFFFFFFFu);
    EXPECT_EQ(b.PixelAt(2, 0), 0u);
    EXPECT_EQ(b.PixelAt(0, -1), 0u);

    for (auto [w, h] : {std::pair{0, 5}, std::pair{5, 0}, std::pair{-3, 4}}) {
        Bitmap32 e(w, h);
        EXPECT_TRUE(e.Empty());
        b.SetSize(w, h);
        EXPECT_TRUE(b.Empty());
        EXPECT_EQ(b.Width(), 0);
        EXPECT_EQ(b.Height(), 0);
        b.SetSize(2, 2);
    }
}

TEST(Bitmap32, EveryChangeFiresTheCallback) {
    Bitmap32 b;
    int calls = 0;
    b.OnChange = [&](Bitmap32& sender) {
        EXPECT_EQ(&sender, &b);
        ++calls;
    };
    b.SetSize(4, 4);
    EXPECT_EQ(calls, 1);
    b.SetPixel(1, 1, 0xFF000000);
    EXPECT_EQ(calls, 2);
    b.Fill(0xFF00FF00);
    EXPECT_EQ(calls, 3);
    b.Assign(1, 1, std::vector<uint8_t>{1, 2, 3, 4});
    EXPECT_EQ(calls, 4);
    b.MutablePixels()[0] = 9;
    b.NotifyChanged();
    EXPECT_EQ(calls, 5);
    Bitmap32 other(2, 3);
    b = other;
    EXPECT_EQ(calls, 6);
    b = Bitmap32(5, 5);
    EXPECT_EQ(calls, 7);
    EXPECT_EQ(b.Width(), 5);
}

TEST(Bitmap32, CopiesTakePixelsButNeverTheCallback) {
    Bitmap32 a(2, 1);
    a.SetPixel(1, 0, 0xFF123456);
    int aCalls = 0, bCalls = 0;
    a.OnChange = [&](Bitmap32&) { ++aCalls; };

    Bitmap32 copy(a);
    EXPECT_FALSE(copy.OnChange);
    EXPECT_EQ(copy.PixelAt(1, 0), 0xFF123456u);

    Bitmap32 b(7, 7);
    b.OnChange = [&](Bitmap32&) { ++bCalls; };
    b = a;
    EXPECT_EQ(b.Width(), 2);
    EXPECT_EQ(b.PixelAt(1, 0), 0xFF123456u);
    EXPECT_EQ(bCalls, 1);
    b.SetPixel(0, 0, 1);
    EXPECT_EQ(bCalls, 2);
    EXPECT_EQ(aCalls, 0); // the source was not touched

    // A move leaves the source empty and tells its owner.
    Bitmap32 moved(std::move(a));
    EXPECT_EQ(moved.PixelAt(1, 0), 0xFF123456u);
    EXPECT_FALSE(moved.OnChange);
    EXPECT_TRUE(a.Empty());
    EXPECT_EQ(aCalls, 1);
}

TEST(Bitmap32, AssignCopesWithAWrongLengthBuffer) {
    Bitmap32 b;
    b.Assign(2, 2, std::vector<uint8_t>(3, 0xFF)); // too short: padded
    ASSERT_EQ(b.Width(), 2);
    EXPECT_EQ(b.PixelAt(1, 1), 0u);
    b.Assign(1, 1, std::vector<uint8_t>(100, 0x7F)); // too long: cut
    EXPECT_EQ(b.PixelAt(0, 0), 0x7F7F7F7Fu);
    b.Assign(0, 1, std::vector<uint8_t>(4, 1));
    EXPECT_TRUE(b.Empty());
}

} // namespace
} // namespace mellodeck
