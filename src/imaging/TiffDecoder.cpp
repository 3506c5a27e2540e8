// TIFF decoding through libtiff's RGBA interface, reading from memory through client procedures.
#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

#include <tiffio.h>

#include "imaging/ImageDecoders.h"

namespace mellodeck {
namespace {

// libtiff 4.5 takes per-file error handlers and a cap on any single allocation it makes.
#if defined(TIFFLIB_VERSION) && TIFFLIB_VERSION >= 20221213
#define MELLODECK_TIFF_OPEN_OPTIONS 1
#endif

// libtiff's own buffers (strips, tiles) for one picture; our pixel buffer is allocated separately.
constexpr tmsize_t kMaxTiffSingleAlloc = 256 * 1024 * 1024;

struct TiffSource {
    const uint8_t* data;
    uint64_t size;
    uint64_t pos;
};

tmsize_t ReadTiff(thandle_t handle, void* buffer, tmsize_t length) {
    auto* src = static_cast<TiffSource*>(handle);
    if (length <= 0 || src->pos >= src->size)
        return 0;
    const uint64_t count = std::min<uint64_t>(static_cast<uint64_t>(length), src->size - src->pos);
    std::memcpy(buffer, src->data + src->pos, static_cast<size_t>(count));
    src->pos += count;
    return static_cast<tmsize_t>(count);
}

tmsize_t WriteTiff(thandle_t, void*, tmsize_t) {
    return 0;
}

toff_t SeekTiff(thandle_t handle, toff_t offset, int whence) {
    auto* src = static_cast<TiffSource*>(handle);
    // Offsets wrap like the unsigned file offsets libtiff passes; positions past the end read nothing.
    switch (whence) {
    case SEEK_SET:
        src->pos = offset;
        break;
    case SEEK_CUR:
        src->pos += offset;
        break;
    case SEEK_END:
        src->pos = src->size + offset;
        break;
    default:
        return static_cast<toff_t>(-1);
    }
    return src->pos;
}

int CloseTiff(thandle_t) {
    return 0;
}
toff_t SizeTiff(thandle_t handle) {
    return static_cast<TiffSource*>(handle)->size;
}
int MapTiff(thandle_t, void**, toff_t*) {
    return 0;
}
void UnmapTiff(thandle_t, void*, toff_t) {}

// libtiff prints errors and warnings to stderr unless told otherwise. Nothing else in the process uses
// libtiff, so the process-wide handlers are silenced once.
void SilenceTiffOnce() {
    static std::once_flag once;
    std::call_once(once, [] {
        TIFFSetErrorHandler(nullptr);
        TIFFSetWarningHandler(nullptr);
    });
}

#ifdef MELLODECK_TIFF_OPEN_OPTIONS
int IgnoreTiffMessage(TIFF*, void*, const char*, const char*, va_list) {
    return 1;
}
#endif

TIFF* OpenTiff(TiffSource& source) {
#ifdef MELLODECK_TIFF_OPEN_OPTIONS
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (!options)
        return nullptr;
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, kMaxTiffSingleAlloc);
    TIFFOpenOptionsSetErrorHandlerExtR(options, IgnoreTiffMessage, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options, IgnoreTiffMessage, nullptr);
    TIFF* tif = TIFFClientOpenExt("memory", "rm", &source, ReadTiff, WriteTiff, SeekTiff, CloseTiff, SizeTiff, MapTiff,
                                  UnmapTiff, options);
    TIFFOpenOptionsFree(options);
    return tif;
#else
    return TIFFClientOpen("memory", "rm", &source, ReadTiff, WriteTiff, SeekTiff, CloseTiff, SizeTiff, MapTiff,
                          UnmapTiff);
#endif
}

// libtiff's RGBA raster carries colour multiplied by alpha, except for grey pictures with unassociated
// alpha, whose grey values it passes through as stored.
bool RasterIsPremultiplied(TIFF* tif) {
    uint16_t photometric = 0;
    if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric))
        return true;
    uint16_t extraCount = 0;
    uint16_t* extraTypes = nullptr;
    const bool grey = photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE;
    if (grey && TIFFGetFieldDefaulted(tif, TIFFTAG_EXTRASAMPLES, &extraCount, &extraTypes) && extraCount > 0 &&
        extraTypes && extraTypes[0] == EXTRASAMPLE_UNASSALPHA)
        return false;
    return true;
}

} // namespace

namespace imaging_detail {

bool DecodeTiff(const uint8_t* data, size_t size, Bitmap32& out) {
    if (!data || size < 8)
        return false;
    SilenceTiffOnce();
    TiffSource source{data, size, 0};
    TIFF* tif = OpenTiff(source);
    if (!tif)
        return false;
    bool ok = false;
    uint32_t width = 0, height = 0;
    if (TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width) && TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height) &&
        WithinSizeCaps(width, height)) {
        const size_t count = static_cast<size_t>(width) * height;
        std::vector<uint8_t> pixels;
        try {
            pixels.resize(count * 4);
        } catch (const std::bad_alloc&) {
            pixels.clear();
        }
        // The raster is written as 32-bit words; a vector's storage is suitably aligned for them.
        if (!pixels.empty() && TIFFReadRGBAImageOriented(tif, width, height, reinterpret_cast<uint32_t*>(pixels.data()),
                                                         ORIENTATION_TOPLEFT, 1)) {
            const bool premultiplied = RasterIsPremultiplied(tif);
            uint8_t* p = pixels.data();
            for (size_t i = 0; i < count; ++i, p += 4) {
                uint32_t word;
                std::memcpy(&word, p, 4);
                unsigned r = TIFFGetR(word), g = TIFFGetG(word), b = TIFFGetB(word), a = TIFFGetA(word);
                if (premultiplied && a != 255) {
                    if (a == 0) {
                        r = g = b = 0;
                    } else {
                        r = std::min(255u, (r * 255 + a / 2) / a);
                        g = std::min(255u, (g * 255 + a / 2) / a);
                        b = std::min(255u, (b * 255 + a / 2) / a);
                    }
                }
                p[0] = static_cast<uint8_t>(b);
                p[1] = static_cast<uint8_t>(g);
                p[2] = static_cast<uint8_t>(r);
                p[3] = static_cast<uint8_t>(a);
            }
            out.Assign(static_cast<int>(width), static_cast<int>(height), std::move(pixels));
            ok = true;
        }
    }
    TIFFClose(tif);
    return ok;
}

} // namespace imaging_detail
} // namespace mellodeck
