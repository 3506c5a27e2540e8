// PNG decoding through libpng, with every variant transformed to 8-bit BGRA by libpng itself.
//
// libpng reports errors by longjmp to the jump buffer set in the function that made the failing call.
// PngBegin and PngReadRows hold no C++ objects with destructors, so the jump skips no cleanup.
#include <cstring>
#include <new>
#include <vector>

#include <png.h>

#include "imaging/ImageDecoders.h"

namespace mellodeck {
namespace {

struct PngSource {
    const uint8_t* data;
    size_t size;
    size_t pos;
};

void ReadPngData(png_structp png, png_bytep out, png_size_t length) {
    auto* src = static_cast<PngSource*>(png_get_io_ptr(png));
    if (length > src->size - src->pos)
        png_error(png, "unexpected end of data");
    std::memcpy(out, src->data + src->pos, length);
    src->pos += length;
}

// libpng prints to stderr when an error handler returns; ours jumps back straight away instead.
[[noreturn]] void OnPngError(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}
void OnPngWarning(png_structp, png_const_charp) {}

struct PngDecoder {
    png_structp png;
    png_infop info;
    PngSource source;
    png_uint_32 width;
    png_uint_32 height;
};

// Reads the header, checks the size and sets up the transforms to 8-bit BGRA.
bool PngBegin(PngDecoder& d) {
    if (setjmp(png_jmpbuf(d.png)))
        return false;
    png_set_read_fn(d.png, &d.source, ReadPngData);
    png_set_user_limits(d.png, kMaxImageSide, kMaxImageSide);
    png_read_info(d.png, d.info);
    d.width = png_get_image_width(d.png, d.info);
    d.height = png_get_image_height(d.png, d.info);
    if (!imaging_detail::WithinSizeCaps(d.width, d.height))
        return false;
    const int colorType = png_get_color_type(d.png, d.info);
    const int bitDepth = png_get_bit_depth(d.png, d.info);
    const bool hasTrns = png_get_valid(d.png, d.info, PNG_INFO_tRNS) != 0;
    if (colorType == PNG_COLOR_TYPE_PALETTE)
        png_set_palette_to_rgb(d.png);
    if (colorType == PNG_COLOR_TYPE_GRAY && bitDepth < 8)
        png_set_expand_gray_1_2_4_to_8(d.png);
    if (hasTrns)
        png_set_tRNS_to_alpha(d.png);
    if (bitDepth == 16) {
#ifdef PNG_READ_SCALE_16_TO_8_SUPPORTED
        png_set_scale_16(d.png);
#else
        png_set_strip_16(d.png);
#endif
    }
    if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA)
        png_set_gray_to_rgb(d.png);
    png_set_bgr(d.png);
    if (!(colorType & PNG_COLOR_MASK_ALPHA) && !hasTrns)
        png_set_filler(d.png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(d.png);
    png_read_update_info(d.png, d.info);
    return png_get_rowbytes(d.png, d.info) == static_cast<size_t>(d.width) * 4;
}

bool PngReadRows(PngDecoder& d, png_bytepp rows) {
    if (setjmp(png_jmpbuf(d.png)))
        return false;
    png_read_image(d.png, rows);
    // What follows the pixel data (text, time, the end chunk) is not needed: a picture whose tail is
    // missing is still a complete picture.
    return true;
}

} // namespace

namespace imaging_detail {

bool DecodePng(const uint8_t* data, size_t size, Bitmap32& out) {
    if (!data || size < 8 || png_sig_cmp(const_cast<png_bytep>(data), 0, 8) != 0)
        return false;
    PngDecoder d{};
    d.source = PngSource{data, size, 0};
    d.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnPngError, OnPngWarning);
    if (!d.png)
        return false;
    d.info = png_create_info_struct(d.png);
    bool ok = false;
    if (d.info && PngBegin(d)) {
        std::vector<uint8_t> pixels;
        std::vector<png_bytep> rows;
        try {
            pixels.resize(static_cast<size_t>(d.width) * d.height * 4);
            rows.resize(d.height);
        } catch (const std::bad_alloc&) {
            pixels.clear();
        }
        if (!pixels.empty()) {
            for (png_uint_32 y = 0; y < d.height; ++y)
                rows[y] = pixels.data() + static_cast<size_t>(y) * d.width * 4;
            if (PngReadRows(d, rows.data())) {
                out.Assign(static_cast<int>(d.width), static_cast<int>(d.height), std::move(pixels));
                ok = true;
            }
        }
    }
    png_destroy_read_struct(&d.png, d.info ? &d.info : nullptr, nullptr);
    return ok;
}

} // namespace imaging_detail
} // namespace mellodeck
