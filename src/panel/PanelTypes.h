#pragma once
// Geometry, colours and pixel memory of the panel: client pixels, rectangles with exclusive right and bottom
// edges, and 32-bit pixels in B, G, R, A byte order.
#include <algorithm>
#include <cstdint>

#include "common/ByteOrder.h"
#include "imaging/Bitmap32.h"

namespace mellodeck {

struct TPoint {
    int X = 0;
    int Y = 0;
    bool operator==(const TPoint&) const = default;
};

struct TRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;

    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
    TPoint TopLeft() const { return {Left, Top}; }
    bool Contains(TPoint p) const { return p.X >= Left && p.X < Right && p.Y >= Top && p.Y < Bottom; }
    static TRect Sized(int left, int top, int width, int height) { return {left, top, left + width, top + height}; }
    TRect Intersect(const TRect& o) const {
        TRect r{std::max(Left, o.Left), std::max(Top, o.Top), std::min(Right, o.Right), std::min(Bottom, o.Bottom)};
        return r.IsEmpty() ? TRect{} : r;
    }
    bool operator==(const TRect&) const = default;
};

struct TColor {
    uint8_t R = 0;
    uint8_t G = 0;
    uint8_t B = 0;
    bool operator==(const TColor&) const = default;
};

// A view of 32-bit pixel memory. Row y starts at Bits + y * Stride; a bottom-up bitmap is described with
// Bits at its top row and a negative Stride. Width * 4 bytes of every row belong to the view.
struct TPixelSurface {
    uint8_t* Bits = nullptr;
    int Width = 0;
    int Height = 0;
    std::ptrdiff_t Stride = 0;

    bool Empty() const { return Bits == nullptr || Width <= 0 || Height <= 0; }
    uint8_t* Row(int y) const { return Bits + y * Stride; }
    TRect Bounds() const { return {0, 0, Width, Height}; }
    // 0xAARRGGBB, 0 outside.
    uint32_t PixelAt(int x, int y) const {
        if (x < 0 || y < 0 || x >= Width || y >= Height)
            return 0;
        const uint8_t* p = Row(y) + x * 4;
        return GetLE32(p);
    }
};

// The whole of a bitmap as a surface (empty view for an empty bitmap). The caller calls NotifyChanged
// on the bitmap when it changed pixels that someone watches.
inline TPixelSurface SurfaceOf(Bitmap32& b) {
    if (b.Empty())
        return {};
    return {b.MutablePixels(), b.Width(), b.Height(), static_cast<std::ptrdiff_t>(b.Width()) * 4};
}
inline TPixelSurface SurfaceOf(const Bitmap32& b) { return SurfaceOf(const_cast<Bitmap32&>(b)); }

// Plain pixel operations, all clipped to both surfaces.
// Fills R with an opaque colour.
void FillSurface(const TPixelSurface& Target, TRect R, TColor Colour);
// Copies R of Source to Target at P (all four bytes).
void CopySurface(const TPixelSurface& Source, TRect R, const TPixelSurface& Target, TPoint P);

} // namespace mellodeck
