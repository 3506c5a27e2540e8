// Colour JPEGs come out exactly as libjpeg decodes them to RGB: the decoder converts straight into the
// bitmap's layout, and that must not change a single value.
#include <cstdio> // jpeglib.h needs FILE and size_t declared first
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include <jpeglib.h>

#include <gtest/gtest.h>

#include "ImagingTestSupport.h"
#include "imaging/ImageCodecs.h"

namespace mellodeck {
namespace {

// libjpeg's own RGB output with its default settings, laid out as BGRA with opaque alpha. Only for
// pictures known to be sound: libjpeg's standard error handler ends the process.
Bitmap32 ReferenceDecode(const std::vector<uint8_t>& data) {
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data.data(), static_cast<unsigned long>(data.size()));
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    const int width = static_cast<int>(cinfo.output_width), height = static_cast<int>(cinfo.output_height);
    std::vector<uint8_t> bgra(static_cast<size_t>(width) * height * 4);
    std::vector<uint8_t> row(static_cast<size_t>(width) * 3);
    while (cinfo.output_scanline < cinfo.output_height) {
        const size_t y = cinfo.output_scanline;
        JSAMPROW rows[1] = {row.data()};
        jpeg_read_scanlines(&cinfo, rows, 1);
        uint8_t* out = bgra.data() + y * width * 4;
        for (int x = 0; x < width; ++x, out += 4) {
            out[0] = row[x * 3 + 2];
            out[1] = row[x * 3 + 1];
            out[2] = row[x * 3];
            out[3] = 255;
        }
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    Bitmap32 result;
    result.Assign(width, height, std::move(bgra));
    return result;
}

void ExpectSameAsReference(const std::vector<uint8_t>& jpeg, const std::string& what) {
    Bitmap32 ours;
    ASSERT_TRUE(DecodeImage(ImageKind::Jpeg, jpeg.data(), jpeg.size(), ours)) << what;
    const Bitmap32 reference = ReferenceDecode(jpeg);
    ASSERT_EQ(ours.Width(), reference.Width()) << what;
    ASSERT_EQ(ours.Height(), reference.Height()) << what;
    const size_t bytes = static_cast<size_t>(ours.Width()) * ours.Height() * 4;
    size_t differing = 0;
    for (size_t i = 0; i < bytes; ++i)
        differing += ours.Pixels()[i] != reference.Pixels()[i] ? 1 : 0;
    EXPECT_EQ(differing, 0u) << what;
}

TEST(JpegDecode, ColourFixturesMatchLibjpegExactly) {
    REQUIRE_IMAGE_FIXTURES();
    for (const char* name : {"quad-baseline.jpg", "quad-progressive.jpg"})
        ExpectSameAsReference(test::ImageFixture(name), name);
}

TEST(JpegDecode, NoisyPicturesOfOddSizesMatchLibjpegExactly) {
    // Noise keeps every coefficient busy; odd sizes leave partial blocks at the right and bottom edges.
    std::mt19937 random(5);
    for (const auto& [width, height] : {std::pair{97, 61}, std::pair{600, 600}}) {
        Bitmap32 noise(width, height);
        uint8_t* p = noise.MutablePixels();
        for (size_t i = 0; i < static_cast<size_t>(width) * height * 4; ++i)
            p[i] = static_cast<uint8_t>(random());
        noise.NotifyChanged();
        std::vector<uint8_t> jpeg;
        ASSERT_TRUE(EncodeJpeg(noise, jpeg, 90));
        ExpectSameAsReference(jpeg, std::to_string(width) + "x" + std::to_string(height));
    }
}

} // namespace
} // namespace mellodeck
