// JPEG decoding and encoding through libjpeg(-turbo).
//
// libjpeg reports fatal errors through error_exit, which must not return: ours longjmps back to the
// setjmp in the function that made the failing call. Those functions (JpegBegin, JpegReadRows,
// JpegCompress) hold no C++ objects with destructors, so the jump skips no cleanup; everything that needs
// releasing lives in the callers, which are ordinary C++.
#include <algorithm>
#include <climits>
#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE and size_t declared first
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include <jerror.h>
#include <jpeglib.h>

#include "imaging/ImageDecoders.h"

namespace mellodeck {
namespace {

// A progressive JPEG may carry an unbounded number of scans, each a full pass over the coefficients;
// real encoders write about ten. Beyond this count the stream is rejected rather than chewed on.
constexpr int kMaxJpegScans = 500;
// Upper bound for libjpeg's own working memory (coefficient buffers of progressive pictures).
constexpr long kMaxJpegWorkMemory = 512L * 1024 * 1024;
// libjpeg's own limit on a side.
constexpr int kMaxJpegEncodeSide = 65500;

struct JpegErrorManager {
    jpeg_error_mgr pub; // first: libjpeg sees only this part
    std::jmp_buf jump;
};

[[noreturn]] void JumpBack(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<JpegErrorManager*>(cinfo->err);
    std::longjmp(err->jump, 1);
}

void OnJpegError(j_common_ptr cinfo) {
    JumpBack(cinfo);
}

// Warnings are mostly harmless (stray bytes between markers), but running out of data means the picture
// is truncated: libjpeg would pad it with grey and carry on, we reject it.
void OnJpegMessage(j_common_ptr cinfo, int msgLevel) {
    if (msgLevel < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF)
        JumpBack(cinfo);
}

void OnJpegOutput(j_common_ptr) {}

void OnJpegProgress(j_common_ptr cinfo) {
    if (cinfo->is_decompressor && reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxJpegScans)
        JumpBack(cinfo);
}

void InitErrorManager(JpegErrorManager& err) {
    jpeg_std_error(&err.pub);
    err.pub.error_exit = OnJpegError;
    err.pub.emit_message = OnJpegMessage;
    err.pub.output_message = OnJpegOutput;
}

// ---- decoding ----------------------------------------------------------------------------------

struct JpegDecoder {
    jpeg_decompress_struct cinfo;
    JpegErrorManager err;
    jpeg_progress_mgr progress;
};

// Creates the decompressor, reads the header, checks the size and starts decompression (which for a
// progressive picture reads all of its scans). False on any error or a picture beyond the caps.
// With a box (boxWidth > 0), the output is scaled down by n/8 (below).
bool JpegBegin(JpegDecoder& d, const uint8_t* data, size_t size, int boxWidth = 0, int boxHeight = 0) {
    if (setjmp(d.err.jump))
        return false;
    jpeg_create_decompress(&d.cinfo);
    d.cinfo.progress = &d.progress;
    d.cinfo.mem->max_memory_to_use = kMaxJpegWorkMemory;
    jpeg_mem_src(&d.cinfo, const_cast<unsigned char*>(data), static_cast<unsigned long>(size));
    jpeg_read_header(&d.cinfo, TRUE);
    if (!imaging_detail::WithinSizeCaps(d.cinfo.image_width, d.cinfo.image_height))
        return false;
    JDIMENSION expectedWidth = d.cinfo.image_width, expectedHeight = d.cinfo.image_height;
    if (boxWidth > 0 && boxHeight > 0) {
        // The smallest n/8 whose output (each side rounded up, as libjpeg does) still covers the fitted size:
        // the box scale after it then only ever shrinks.
        int fitWidth, fitHeight;
        FitInside(static_cast<int>(d.cinfo.image_width), static_cast<int>(d.cinfo.image_height), boxWidth, boxHeight,
                  fitWidth, fitHeight);
        auto scaled = [](JDIMENSION side, unsigned n) { return static_cast<JDIMENSION>((side * uint64_t{n} + 7) / 8); };
        unsigned n = 1;
        while (n < 8 && (scaled(d.cinfo.image_width, n) < static_cast<JDIMENSION>(fitWidth) ||
                         scaled(d.cinfo.image_height, n) < static_cast<JDIMENSION>(fitHeight)))
            ++n;
        d.cinfo.scale_num = n;
        d.cinfo.scale_denom = 8;
        expectedWidth = scaled(d.cinfo.image_width, n);
        expectedHeight = scaled(d.cinfo.image_height, n);
    }
    switch (d.cinfo.jpeg_color_space) {
    case JCS_GRAYSCALE:
        d.cinfo.out_color_space = JCS_GRAYSCALE;
        break;
    case JCS_CMYK:
    case JCS_YCCK:
        d.cinfo.out_color_space = JCS_CMYK;
        break;
    default:
#ifdef JCS_ALPHA_EXTENSIONS
        // libjpeg-turbo converts colour straight into the bitmap's layout, alpha 255 included, with the
        // same arithmetic as for RGB.
        d.cinfo.out_color_space = JCS_EXT_BGRA;
#else
        d.cinfo.out_color_space = JCS_RGB;
#endif
        break;
    }
    jpeg_start_decompress(&d.cinfo);
    const int comps = d.cinfo.output_components;
    const bool componentsMatch = (d.cinfo.out_color_space == JCS_GRAYSCALE && comps == 1) ||
                                 (d.cinfo.out_color_space == JCS_RGB && comps == 3) ||
#ifdef JCS_ALPHA_EXTENSIONS
                                 (d.cinfo.out_color_space == JCS_EXT_BGRA && comps == 4) ||
#endif
                                 (d.cinfo.out_color_space == JCS_CMYK && comps == 4);
    return componentsMatch && d.cinfo.output_width == expectedWidth && d.cinfo.output_height == expectedHeight;
}

// Reads every row into `bgra` (output_width * output_height * 4 bytes).
bool JpegReadRows(JpegDecoder& d, uint8_t* bgra) {
    if (setjmp(d.err.jump))
        return false;
    const JDIMENSION width = d.cinfo.output_width;
#ifdef JCS_ALPHA_EXTENSIONS
    if (d.cinfo.out_color_space == JCS_EXT_BGRA) {
        // Already in the bitmap's layout: the rows are decoded in place, several at a time.
        constexpr JDIMENSION kRowsPerCall = 16;
        JSAMPROW rows[kRowsPerCall];
        while (d.cinfo.output_scanline < d.cinfo.output_height) {
            const JDIMENSION y = d.cinfo.output_scanline;
            const JDIMENSION count = std::min(kRowsPerCall, d.cinfo.output_height - y);
            for (JDIMENSION i = 0; i < count; ++i)
                rows[i] = bgra + static_cast<size_t>(y + i) * width * 4;
            if (jpeg_read_scanlines(&d.cinfo, rows, count) == 0)
                return false;
        }
        return true;
    }
#endif
    const int comps = d.cinfo.output_components;
    // Photoshop (and most tools after it) store CMYK inverted and say so with an Adobe marker.
    const bool invertedCmyk = d.cinfo.saw_Adobe_marker != 0;
    JSAMPARRAY row = (*d.cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&d.cinfo), JPOOL_IMAGE,
                                                  width * static_cast<JDIMENSION>(comps), 1);
    while (d.cinfo.output_scanline < d.cinfo.output_height) {
        const JDIMENSION y = d.cinfo.output_scanline;
        if (jpeg_read_scanlines(&d.cinfo, row, 1) != 1)
            return false;
        const JSAMPLE* src = row[0];
        uint8_t* dst = bgra + static_cast<size_t>(y) * width * 4;
        for (JDIMENSION x = 0; x < width; ++x, dst += 4) {
            if (comps == 1) {
                dst[0] = dst[1] = dst[2] = src[x];
            } else if (comps == 3) {
                dst[0] = src[x * 3 + 2];
                dst[1] = src[x * 3 + 1];
                dst[2] = src[x * 3];
            } else {
                unsigned c = src[x * 4], m = src[x * 4 + 1], yel = src[x * 4 + 2], k = src[x * 4 + 3];
                if (!invertedCmyk) {
                    c = 255 - c;
                    m = 255 - m;
                    yel = 255 - yel;
                    k = 255 - k;
                }
                // Now each value is the amount of light let through (255 = no ink).
                dst[0] = static_cast<uint8_t>((yel * k + 127) / 255);
                dst[1] = static_cast<uint8_t>((m * k + 127) / 255);
                dst[2] = static_cast<uint8_t>((c * k + 127) / 255);
            }
            dst[3] = 255;
        }
    }
    // The picture is complete; what follows (normally just the end marker) does not matter.
    return true;
}

// ---- encoding ----------------------------------------------------------------------------------

// A growing malloc'd output buffer: libjpeg's own memory destination loses its latest buffer when the
// compression fails half-way, this one is always released by the caller.
struct JpegMemoryDestination {
    jpeg_destination_mgr pub; // first: libjpeg sees only this part
    unsigned char* buffer;
    size_t capacity;
    size_t used;
};

constexpr size_t kInitialJpegBuffer = 64 * 1024;

void InitDestination(j_compress_ptr cinfo) {
    auto* dest = reinterpret_cast<JpegMemoryDestination*>(cinfo->dest);
    dest->buffer = static_cast<unsigned char*>(std::malloc(kInitialJpegBuffer));
    if (!dest->buffer)
        ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 0);
    dest->capacity = kInitialJpegBuffer;
    dest->pub.next_output_byte = dest->buffer;
    dest->pub.free_in_buffer = dest->capacity;
}

boolean GrowDestination(j_compress_ptr cinfo) {
    auto* dest = reinterpret_cast<JpegMemoryDestination*>(cinfo->dest);
    const size_t grown = dest->capacity * 2;
    auto* bigger = static_cast<unsigned char*>(std::realloc(dest->buffer, grown));
    if (!bigger)
        ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 1);
    dest->buffer = bigger;
    // libjpeg calls this only when the buffer is full.
    dest->pub.next_output_byte = bigger + dest->capacity;
    dest->pub.free_in_buffer = grown - dest->capacity;
    dest->capacity = grown;
    return TRUE;
}

void TermDestination(j_compress_ptr cinfo) {
    auto* dest = reinterpret_cast<JpegMemoryDestination*>(cinfo->dest);
    dest->used = dest->capacity - dest->pub.free_in_buffer;
}

struct JpegEncoder {
    jpeg_compress_struct cinfo;
    JpegErrorManager err;
    JpegMemoryDestination dest;
};

bool JpegCompress(JpegEncoder& e, const uint8_t* bgra, int width, int height, int quality, uint8_t* rgbRow) {
    if (setjmp(e.err.jump))
        return false;
    jpeg_create_compress(&e.cinfo);
    e.dest.pub.init_destination = InitDestination;
    e.dest.pub.empty_output_buffer = GrowDestination;
    e.dest.pub.term_destination = TermDestination;
    e.cinfo.dest = &e.dest.pub;
    e.cinfo.image_width = static_cast<JDIMENSION>(width);
    e.cinfo.image_height = static_cast<JDIMENSION>(height);
    e.cinfo.input_components = 3;
    e.cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&e.cinfo);
    jpeg_set_quality(&e.cinfo, quality, TRUE);
    e.cinfo.optimize_coding = TRUE;
    jpeg_start_compress(&e.cinfo, TRUE);
    JSAMPROW rows[1] = {rgbRow};
    while (e.cinfo.next_scanline < e.cinfo.image_height) {
        const uint8_t* src = bgra + static_cast<size_t>(e.cinfo.next_scanline) * static_cast<size_t>(width) * 4;
        for (int x = 0; x < width; ++x) {
            rgbRow[x * 3] = src[x * 4 + 2];
            rgbRow[x * 3 + 1] = src[x * 4 + 1];
            rgbRow[x * 3 + 2] = src[x * 4];
        }
        jpeg_write_scanlines(&e.cinfo, rows, 1);
    }
    jpeg_finish_compress(&e.cinfo);
    return true;
}

} // namespace

namespace imaging_detail {

bool DecodeJpeg(const uint8_t* data, size_t size, Bitmap32& out) {
    int width, height, scale;
    return DecodeJpegScaled(data, size, 0, 0, out, width, height, scale);
}

bool DecodeJpegScaled(const uint8_t* data, size_t size, int boxWidth, int boxHeight, Bitmap32& out, int& imageWidth,
                      int& imageHeight, int& scale) {
    // libjpeg takes the length as unsigned long, which is 32 bits on Windows.
    if (!data || size < 4 || size > ULONG_MAX)
        return false;
    JpegDecoder d;
    std::memset(&d, 0, sizeof d);
    InitErrorManager(d.err);
    d.cinfo.err = &d.err.pub;
    d.progress.progress_monitor = OnJpegProgress;
    bool ok = false;
    if (JpegBegin(d, data, size, boxWidth, boxHeight)) {
        imageWidth = static_cast<int>(d.cinfo.image_width);
        imageHeight = static_cast<int>(d.cinfo.image_height);
        scale = boxWidth > 0 && boxHeight > 0 ? static_cast<int>(d.cinfo.scale_num) : 8;
        const int width = static_cast<int>(d.cinfo.output_width);
        const int height = static_cast<int>(d.cinfo.output_height);
        std::vector<uint8_t> pixels;
        try {
            pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
        } catch (const std::bad_alloc&) {
            pixels.clear();
        }
        if (!pixels.empty() && JpegReadRows(d, pixels.data())) {
            out.Assign(width, height, std::move(pixels));
            ok = true;
        }
    }
    jpeg_destroy_decompress(&d.cinfo);
    return ok;
}

} // namespace imaging_detail

bool EncodeJpeg(const Bitmap32& bitmap, std::vector<uint8_t>& out, int quality) {
    if (bitmap.Empty() || bitmap.Width() > kMaxJpegEncodeSide || bitmap.Height() > kMaxJpegEncodeSide)
        return false;
    quality = std::clamp(quality, 1, 100);
    std::vector<uint8_t> rgbRow;
    try {
        rgbRow.resize(static_cast<size_t>(bitmap.Width()) * 3);
    } catch (const std::bad_alloc&) {
        return false;
    }
    JpegEncoder e;
    std::memset(&e, 0, sizeof e);
    InitErrorManager(e.err);
    e.cinfo.err = &e.err.pub;
    bool ok = JpegCompress(e, bitmap.Pixels(), bitmap.Width(), bitmap.Height(), quality, rgbRow.data());
    if (ok) {
        try {
            out.assign(e.dest.buffer, e.dest.buffer + e.dest.used);
        } catch (const std::bad_alloc&) {
            ok = false;
        }
    }
    jpeg_destroy_compress(&e.cinfo);
    std::free(e.dest.buffer);
    return ok;
}

} // namespace mellodeck
