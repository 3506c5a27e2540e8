// Windows and OS/2 bitmap files (BITMAPFILEHEADER followed by a core, info or later header): 1, 4 and
// 8 bits per pixel with a colour table (8 and 4 bits also run-length encoded), 16 and 32 bits plain or with
// bit-field masks, 24 bits. Rows run bottom-up, or top-down when the height is negative, each padded to
// 4 bytes. Embedded JPEG/PNG and the OS/2-only compressions are rejected. Every offset and length is
// checked against the buffer before use.
#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "common/ByteOrder.h"
#include "imaging/ImageDecoders.h"

namespace mellodeck {
namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr uint32_t kCoreHeaderSize = 12;    // OS/2 1.x: 16-bit sizes, 3-byte colour table entries
constexpr uint32_t kMinInfoHeaderSize = 16; // OS/2 2.x headers may be cut short after the bit count
constexpr uint32_t kMaxInfoHeaderSize = 1024;

enum : uint32_t { kBiRgb = 0, kBiRle8 = 1, kBiRle4 = 2, kBiBitfields = 3, kBiAlphaBitfields = 6 };

// One colour channel described by a bit mask: extracts it and scales it to 0..255.
struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    uint32_t max = 0; // largest value after shifting

    explicit Channel(uint32_t m = 0) : mask(m) {
        if (!mask)
            return;
        while (!((mask >> shift) & 1))
            ++shift;
        max = mask >> shift;
    }
    uint8_t Get(uint32_t pixel) const {
        if (!max)
            return 0;
        const uint64_t value = (pixel & mask) >> shift;
        return static_cast<uint8_t>((value * 255 + max / 2) / max);
    }
};

struct BmpLayout {
    int64_t width = 0;
    int64_t height = 0; // always positive here
    bool topDown = false;
    unsigned bpp = 0;
    uint32_t compression = kBiRgb;
    size_t paletteOffset = 0;
    size_t paletteCount = 0;
    size_t paletteEntrySize = 4;
    size_t pixelOffset = 0;
    Channel red, green, blue, alpha;
};

bool IsRle(const BmpLayout& layout) {
    return layout.compression == kBiRle8 || layout.compression == kBiRle4;
}

bool ReadLayout(const uint8_t* data, size_t size, BmpLayout& layout) {
    if (size < kFileHeaderSize + 4 || data[0] != 'B' || data[1] != 'M')
        return false;
    const uint32_t pixelOffset = GetLE32(data + 10);
    const uint32_t headerSize = GetLE32(data + kFileHeaderSize);
    if (headerSize != kCoreHeaderSize && (headerSize < kMinInfoHeaderSize || headerSize > kMaxInfoHeaderSize))
        return false;
    if (headerSize > size - kFileHeaderSize)
        return false;
    const uint8_t* h = data + kFileHeaderSize;
    // Fields beyond a short header read as zero.
    uint8_t info[124] = {};
    std::memcpy(info, h, std::min<size_t>(headerSize, sizeof info));

    size_t afterHeader = kFileHeaderSize + headerSize;
    if (headerSize == kCoreHeaderSize) {
        layout.width = GetLE16(info + 4);
        layout.height = GetLE16(info + 6);
        layout.bpp = GetLE16(info + 10);
        layout.paletteEntrySize = 3;
    } else {
        layout.width = static_cast<int32_t>(GetLE32(info + 4));
        const int64_t height = static_cast<int32_t>(GetLE32(info + 8));
        layout.topDown = height < 0;
        layout.height = height < 0 ? -height : height;
        layout.bpp = GetLE16(info + 14);
        layout.compression = GetLE32(info + 16);
        uint32_t masks[4] = {GetLE32(info + 40), GetLE32(info + 44), GetLE32(info + 48), GetLE32(info + 52)};
        if (layout.compression == kBiBitfields || layout.compression == kBiAlphaBitfields) {
            // A 40-byte header is followed by the masks; later headers contain them.
            if (headerSize < 52) {
                const size_t maskBytes = layout.compression == kBiAlphaBitfields ? 16 : 12;
                if (headerSize != 40 || maskBytes > size - afterHeader)
                    return false;
                for (size_t i = 0; i < maskBytes / 4; ++i)
                    masks[i] = GetLE32(data + afterHeader + i * 4);
                if (maskBytes == 12)
                    masks[3] = 0;
                afterHeader += maskBytes;
            } else if (headerSize < 56 && layout.compression == kBiBitfields) {
                masks[3] = 0;
            }
            layout.red = Channel(masks[0]);
            layout.green = Channel(masks[1]);
            layout.blue = Channel(masks[2]);
            layout.alpha = Channel(masks[3]);
        }
        if (headerSize >= 36)
            layout.paletteCount = GetLE32(info + 32);
    }
    if (layout.width <= 0 || layout.height <= 0 || !imaging_detail::WithinSizeCaps(layout.width, layout.height))
        return false;

    switch (layout.bpp) {
    case 1:
    case 4:
    case 8:
        if (layout.compression != kBiRgb && !(layout.bpp == 8 && layout.compression == kBiRle8) &&
            !(layout.bpp == 4 && layout.compression == kBiRle4))
            return false;
        // Run-length encoded rows are always stored bottom-up.
        if (layout.compression != kBiRgb && layout.topDown)
            return false;
        if (layout.paletteCount == 0 || layout.paletteCount > (size_t{1} << layout.bpp))
            layout.paletteCount = size_t{1} << layout.bpp;
        break;
    case 16:
    case 32:
        if (layout.compression == kBiRgb) {
            if (layout.bpp == 16) {
                layout.red = Channel(0x7C00);
                layout.green = Channel(0x03E0);
                layout.blue = Channel(0x001F);
            }
        } else if (layout.compression != kBiBitfields && layout.compression != kBiAlphaBitfields) {
            return false;
        }
        layout.paletteCount = 0;
        break;
    case 24:
        if (layout.compression != kBiRgb)
            return false;
        layout.paletteCount = 0;
        break;
    default:
        return false;
    }

    layout.paletteOffset = afterHeader;
    // A colour table that would run into the pixels is cut short there (writers often claim the full
    // 2^bpp entries and store fewer); indices beyond it show as black.
    if (pixelOffset > layout.paletteOffset)
        layout.paletteCount =
            std::min(layout.paletteCount, (pixelOffset - layout.paletteOffset) / layout.paletteEntrySize);
    if (layout.paletteCount > (size - layout.paletteOffset) / layout.paletteEntrySize)
        return false;
    // Some writers leave the offset at zero; the pixels then follow the colour table.
    layout.pixelOffset =
        pixelOffset != 0 ? pixelOffset : layout.paletteOffset + layout.paletteCount * layout.paletteEntrySize;
    if (layout.pixelOffset >= size)
        return false;
    if (IsRle(layout))
        return true; // the run-length reader checks every step against the buffer
    // All rows but the last padded to 4 bytes; the last one may lack its padding.
    const uint64_t stride = ((static_cast<uint64_t>(layout.width) * layout.bpp + 31) / 32) * 4;
    const uint64_t lastRow = (static_cast<uint64_t>(layout.width) * layout.bpp + 7) / 8;
    const uint64_t needed = stride * static_cast<uint64_t>(layout.height - 1) + lastRow;
    return needed <= size - layout.pixelOffset;
}

// Run-length encoded 8- or 4-bit pixels: pairs of (count, index) runs, and escapes after a zero count:
// 0 ends the line, 1 ends the picture, 2 moves by (dx, dy), 3..255 start a literal run padded to 16 bits.
// Pixels that are never written (skipped by moves or short lines) stay transparent. A stream that ends
// before the picture is complete is truncated.
bool DecodeRle(const uint8_t* data, size_t size, const BmpLayout& layout, const std::vector<uint8_t>& palette,
               std::vector<uint8_t>& pixels) {
    const int64_t width = layout.width, height = layout.height;
    const bool four = layout.compression == kBiRle4;
    size_t pos = layout.pixelOffset;
    int64_t x = 0, row = 0; // row counts from the bottom
    auto put = [&](size_t index) {
        if (x < width && row < height) {
            uint8_t* dst = pixels.data() + (static_cast<size_t>(height - 1 - row) * width + x) * 4;
            if (index < layout.paletteCount)
                std::memcpy(dst, &palette[index * 4], 4);
            else
                dst[0] = dst[1] = dst[2] = 0, dst[3] = 255;
        }
        ++x;
    };
    while (row < height) {
        if (size - pos < 2)
            return false;
        const unsigned count = data[pos], value = data[pos + 1];
        pos += 2;
        if (count > 0) {
            for (unsigned i = 0; i < count; ++i)
                put(four ? ((i & 1) ? (value & 0x0F) : (value >> 4)) : value);
            continue;
        }
        switch (value) {
        case 0:
            x = 0;
            ++row;
            break;
        case 1:
            return true;
        case 2:
            if (size - pos < 2)
                return false;
            x += data[pos];
            row += data[pos + 1];
            pos += 2;
            break;
        default: {
            const size_t bytes = four ? (value + 1) / 2 : value;
            const size_t padded = (bytes + 1) & ~size_t{1};
            if (size - pos < padded)
                return false;
            for (unsigned i = 0; i < value; ++i)
                put(four ? ((i & 1) ? (data[pos + i / 2] & 0x0F) : (data[pos + i / 2] >> 4)) : data[pos + i]);
            pos += padded;
            break;
        }
        }
    }
    return true;
}

} // namespace

namespace imaging_detail {

bool DecodeBmp(const uint8_t* data, size_t size, Bitmap32& out) {
    if (!data)
        return false;
    BmpLayout layout;
    if (!ReadLayout(data, size, layout))
        return false;
    const int width = static_cast<int>(layout.width);
    const int height = static_cast<int>(layout.height);
    const size_t stride = ((static_cast<size_t>(width) * layout.bpp + 31) / 32) * 4;

    std::vector<uint8_t> pixels;
    std::vector<uint8_t> palette; // BGRA
    try {
        pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
        palette.resize(layout.paletteCount * 4);
    } catch (const std::bad_alloc&) {
        return false;
    }
    for (size_t i = 0; i < layout.paletteCount; ++i) {
        const uint8_t* e = data + layout.paletteOffset + i * layout.paletteEntrySize;
        palette[i * 4] = e[0];
        palette[i * 4 + 1] = e[1];
        palette[i * 4 + 2] = e[2];
        palette[i * 4 + 3] = 255;
    }

    if (IsRle(layout)) {
        if (!DecodeRle(data, size, layout, palette, pixels))
            return false;
        out.Assign(width, height, std::move(pixels));
        return true;
    }

    bool anyAlpha = false;
    for (int y = 0; y < height; ++y) {
        const int sourceRow = layout.topDown ? y : height - 1 - y;
        const uint8_t* src = data + layout.pixelOffset + static_cast<size_t>(sourceRow) * stride;
        uint8_t* dst = pixels.data() + static_cast<size_t>(y) * width * 4;
        for (int x = 0; x < width; ++x, dst += 4) {
            switch (layout.bpp) {
            case 1:
            case 4:
            case 8: {
                const size_t bitPos = static_cast<size_t>(x) * layout.bpp;
                const unsigned shift = 8 - layout.bpp - static_cast<unsigned>(bitPos % 8);
                const size_t index = (src[bitPos / 8] >> shift) & ((1u << layout.bpp) - 1);
                if (index < layout.paletteCount)
                    std::memcpy(dst, &palette[index * 4], 4);
                else
                    dst[3] = 255; // beyond the colour table: black
                break;
            }
            case 24:
                dst[0] = src[x * 3];
                dst[1] = src[x * 3 + 1];
                dst[2] = src[x * 3 + 2];
                dst[3] = 255;
                break;
            case 16:
            case 32: {
                const uint32_t value = layout.bpp == 16 ? GetLE16(src + x * 2) : GetLE32(src + x * 4);
                if (layout.bpp == 32 && layout.compression == kBiRgb) {
                    std::memcpy(dst, src + x * 4, 4);
                    anyAlpha = anyAlpha || dst[3] != 0;
                } else {
                    dst[0] = layout.blue.Get(value);
                    dst[1] = layout.green.Get(value);
                    dst[2] = layout.red.Get(value);
                    dst[3] = layout.alpha.mask ? layout.alpha.Get(value) : 255;
                }
                break;
            }
            }
        }
    }
    // The fourth byte of a plain 32-bit bitmap is officially unused and mostly zero; only when some pixel
    // sets it is it taken as alpha.
    if (layout.bpp == 32 && layout.compression == kBiRgb && !anyAlpha)
        for (size_t i = 3; i < pixels.size(); i += 4)
            pixels[i] = 255;
    out.Assign(width, height, std::move(pixels));
    return true;
}

} // namespace imaging_detail
} // namespace mellodeck
