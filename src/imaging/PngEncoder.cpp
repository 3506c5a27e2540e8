// PNG encoding through libpng: 8-bit RGBA, straight alpha, default compression. Used for captures that a
// person looks at, so speed does not matter; correctness and a valid file do.
//
// libpng reports errors by longjmp; the function that sets the jump buffer holds no C++ objects with
// destructors between setjmp and the calls that may jump.
#include <csetjmp>
#include <vector>

#include <png.h>

#include "imaging/ImageCodecs.h"

namespace mellodeck {
namespace {

void WritePngData(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}
void FlushPngData(png_structp) {}
[[noreturn]] void OnPngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void OnPngWarning(png_structp, png_const_charp) {}

bool WriteRows(png_structp png, png_infop info, png_bytepp rows, int width, int height) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_bgr(png); // the bitmap's bytes are B, G, R, A
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    return true;
}

} // namespace

bool EncodePng(const Bitmap32& bitmap, std::vector<uint8_t>& out) {
    if (bitmap.Empty())
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, OnPngError, OnPngWarning);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    std::vector<uint8_t> encoded;
    std::vector<png_bytep> rows(static_cast<size_t>(bitmap.Height()));
    for (int y = 0; y < bitmap.Height(); ++y)
        rows[static_cast<size_t>(y)] = const_cast<png_bytep>(bitmap.Row(y));
    png_set_write_fn(png, &encoded, WritePngData, FlushPngData);
    const bool ok = WriteRows(png, info, rows.data(), bitmap.Width(), bitmap.Height());
    png_destroy_write_struct(&png, &info);
    if (ok)
        out = std::move(encoded);
    return ok;
}

} // namespace mellodeck
