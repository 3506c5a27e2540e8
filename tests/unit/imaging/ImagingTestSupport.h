#pragma once
// Helpers shared by the imaging tests: fixture bytes and pixel comparisons.
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TestPaths.h"
#include "imaging/Bitmap32.h"

namespace mellodeck::test {

// Bytes of a generated picture fixture, e.g. ImageFixture("quad.png"); empty when missing.
std::vector<uint8_t> ImageFixture(const std::string& name);

// Skips the current test when the picture fixtures have not been generated.
#define REQUIRE_IMAGE_FIXTURES()                                                                                       \
    do {                                                                                                               \
        if (!::mellodeck::test::HaveFixture("images/quad.png"))                                                        \
            GTEST_SKIP() << "picture fixtures missing: run tests/fixtures/make-images.sh build/fixtures";              \
    } while (0)

// The four quadrants of the 64x48 fixtures (0xAARRGGBB).
constexpr uint32_t kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF, kYellow = 0xFFFFFF00;
uint32_t QuadColour(int x, int y);

// Every channel of pixel (x, y) within `tolerance` of `argb`.
::testing::AssertionResult PixelNear(const Bitmap32& bitmap, int x, int y, uint32_t argb, int tolerance = 0);

// Points spread over all four quadrants of a 64x48 picture, corners included: a flipped or shifted
// picture fails at least one. `inset` keeps them that far from the quadrant borders (JPEG blurs edges).
std::vector<std::pair<int, int>> QuadProbePoints(int inset);

} // namespace mellodeck::test
