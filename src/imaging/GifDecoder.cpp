// GIF decoding through giflib: the first frame, on the logical screen, with its transparent colour.
//
// giflib's one-call reader (DGifSlurp) allocates every frame at whatever size the file claims and decodes
// all of them; the record-level calls used here let the size caps be checked before anything is
// allocated, and stop after the first frame.
#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include <gif_lib.h>

#include "imaging/ImageDecoders.h"

namespace mellodeck {
namespace {

struct GifSource {
    const uint8_t* data;
    size_t size;
    size_t pos;
};

int ReadGifData(GifFileType* gif, GifByteType* out, int length) {
    auto* src = static_cast<GifSource*>(gif->UserData);
    if (length <= 0)
        return 0;
    const size_t count = std::min(static_cast<size_t>(length), src->size - src->pos);
    std::memcpy(out, src->data + src->pos, count);
    src->pos += count;
    return static_cast<int>(count);
}

struct GifCloser {
    void operator()(GifFileType* gif) const {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};
using GifHandle = std::unique_ptr<GifFileType, GifCloser>;

// Reads extensions up to the first image descriptor; returns the transparent colour index announced by
// the graphics control extension in front of it (-1 when there is none). False on errors or when the
// file ends without an image.
bool SkipToFirstImage(GifFileType* gif, int& transparent) {
    transparent = NO_TRANSPARENT_COLOR;
    for (;;) {
        GifRecordType record = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif, &record) == GIF_ERROR)
            return false;
        if (record == IMAGE_DESC_RECORD_TYPE)
            return DGifGetImageDesc(gif) != GIF_ERROR;
        if (record != EXTENSION_RECORD_TYPE)
            return false; // the terminator, or something giflib did not recognise
        int code = 0;
        GifByteType* block = nullptr;
        if (DGifGetExtension(gif, &code, &block) == GIF_ERROR)
            return false;
        if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] == 4) {
            GraphicsControlBlock gcb{};
            if (DGifExtensionToGCB(block[0], block + 1, &gcb) != GIF_ERROR)
                transparent = gcb.TransparentColor;
        }
        while (block) {
            if (DGifGetExtensionNext(gif, &block) == GIF_ERROR)
                return false;
        }
    }
}

} // namespace

namespace imaging_detail {

bool DecodeGif(const uint8_t* data, size_t size, Bitmap32& out) {
    if (!data || size < 13)
        return false;
    GifSource source{data, size, 0};
    int error = 0;
    GifHandle gif(DGifOpen(&source, ReadGifData, &error));
    if (!gif)
        return false;
    int transparent = NO_TRANSPARENT_COLOR;
    if (!SkipToFirstImage(gif.get(), transparent))
        return false;

    const GifImageDesc& frame = gif->Image;
    const int frameWidth = frame.Width;
    const int frameHeight = frame.Height;
    if (!WithinSizeCaps(frameWidth, frameHeight))
        return false;
    const ColorMapObject* colors = frame.ColorMap ? frame.ColorMap : gif->SColorMap;
    if (!colors || !colors->Colors || colors->ColorCount <= 0)
        return false;

    // The frame sits on the logical screen; the rest of the screen stays transparent. A screen that
    // cannot hold the frame (broken writers leave it 0x0) gives way to the frame's own size.
    int width = gif->SWidth, height = gif->SHeight, left = frame.Left, top = frame.Top;
    if (left < 0 || top < 0 || static_cast<int64_t>(left) + frameWidth > width ||
        static_cast<int64_t>(top) + frameHeight > height || !WithinSizeCaps(width, height)) {
        width = frameWidth;
        height = frameHeight;
        left = top = 0;
    }

    std::vector<uint8_t> pixels;
    std::vector<GifPixelType> line;
    try {
        pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
        line.resize(static_cast<size_t>(frameWidth));
    } catch (const std::bad_alloc&) {
        return false;
    }

    auto storeLine = [&](int y) {
        uint8_t* dst = pixels.data() + (static_cast<size_t>(top + y) * width + left) * 4;
        for (int x = 0; x < frameWidth; ++x, dst += 4) {
            const int index = line[static_cast<size_t>(x)];
            if (index == transparent)
                continue; // stays transparent black
            if (index < colors->ColorCount) {
                const GifColorType& c = colors->Colors[index];
                dst[0] = c.Blue;
                dst[1] = c.Green;
                dst[2] = c.Red;
            } // an index beyond the colour table shows as black
            dst[3] = 255;
        }
    };

    if (frame.Interlace) {
        // Rows arrive in four passes: every 8th from 0, every 8th from 4, every 4th from 2, every 2nd from 1.
        static const int kStart[4] = {0, 4, 2, 1};
        static const int kStep[4] = {8, 8, 4, 2};
        for (int pass = 0; pass < 4; ++pass)
            for (int y = kStart[pass]; y < frameHeight; y += kStep[pass]) {
                if (DGifGetLine(gif.get(), line.data(), frameWidth) == GIF_ERROR)
                    return false;
                storeLine(y);
            }
    } else {
        for (int y = 0; y < frameHeight; ++y) {
            if (DGifGetLine(gif.get(), line.data(), frameWidth) == GIF_ERROR)
                return false;
            storeLine(y);
        }
    }
    out.Assign(width, height, std::move(pixels));
    return true;
}

} // namespace imaging_detail
} // namespace mellodeck
