#include "ImagingTestSupport.h"

#include <cstdio>
#include <cstdlib>

#include "TestPaths.h"

namespace mellodeck::test {

std::vector<uint8_t> ImageFixture(const std::string& name) {
    const std::string relative = "images/" + name;
    if (!HaveFixture(relative))
        return {};
    const std::string bytes = ReadAll(FixturePath(relative));
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

uint32_t QuadColour(int x, int y) {
    if (y < 24)
        return x < 32 ? kRed : kGreen;
    return x < 32 ? kBlue : kYellow;
}

::testing::AssertionResult PixelNear(const Bitmap32& bitmap, int x, int y, uint32_t argb, int tolerance) {
    const uint32_t got = bitmap.PixelAt(x, y);
    for (int shift = 0; shift < 32; shift += 8) {
        const int a = static_cast<int>((got >> shift) & 0xFF);
        const int b = static_cast<int>((argb >> shift) & 0xFF);
        if (std::abs(a - b) > tolerance) {
            char text[128];
            std::snprintf(text, sizeof text, "pixel (%d,%d) is %08X, expected %08X within %d", x, y,
                          static_cast<unsigned>(got), static_cast<unsigned>(argb), tolerance);
            return ::testing::AssertionFailure() << text;
        }
    }
    return ::testing::AssertionSuccess();
}

std::vector<std::pair<int, int>> QuadProbePoints(int inset) {
    const int left[] = {inset, 31 - inset};
    const int right[] = {32 + inset, 63 - inset};
    const int top[] = {inset, 23 - inset};
    const int bottom[] = {24 + inset, 47 - inset};
    std::vector<std::pair<int, int>> points;
    for (const int* xs : {left, right})
        for (const int* ys : {top, bottom})
            for (int i = 0; i < 2; ++i)
                for (int j = 0; j < 2; ++j)
                    points.emplace_back(xs[i], ys[j]);
    return points;
}

} // namespace mellodeck::test
