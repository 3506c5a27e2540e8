#pragma once
// A plain 32-bit bitmap: width x height pixels, 4 bytes each in B, G, R, A order, rows top-down with no
// padding. Alpha is straight (colour channels are not multiplied by alpha); 255 is opaque.
// Owners may attach a change callback; every operation that alters the pixels or the size calls it
// (the tag model uses it to drop raw picture bytes that no longer describe the picture).
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace mellodeck {

class Bitmap32 {
public:
    Bitmap32() = default;
    Bitmap32(int width, int height);
    Bitmap32(const Bitmap32& other);            // copies pixels and size, not the callback
    Bitmap32& operator=(const Bitmap32& other); // copies pixels and size, keeps own callback, fires Changed
    // Moves take the pixels and leave the source empty (firing the source's callback); the callback
    // itself never moves, it belongs to the owner of each object.
    Bitmap32(Bitmap32&& other);
    Bitmap32& operator=(Bitmap32&& other);

    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    bool Empty() const { return FWidth <= 0 || FHeight <= 0; }

    // Resizes to width x height, all pixels transparent black (a non-positive side makes it empty);
    // fires Changed.
    void SetSize(int width, int height);
    // Takes over a pixel buffer of width * height * 4 bytes (a buffer of another length is cut or padded
    // with transparent black); fires Changed.
    void Assign(int width, int height, std::vector<uint8_t>&& bgra);

    const uint8_t* Pixels() const { return FPixels.data(); }
    const uint8_t* Row(int y) const { return FPixels.data() + static_cast<size_t>(y) * FWidth * 4; }
    // Mutable access: the caller promises to call NotifyChanged when done drawing.
    uint8_t* MutablePixels() { return FPixels.data(); }
    uint32_t PixelAt(int x, int y) const;       // 0xAARRGGBB; 0 outside the bitmap
    void SetPixel(int x, int y, uint32_t argb); // ignored outside the bitmap
    void Fill(uint32_t argb);

    void NotifyChanged();
    std::function<void(Bitmap32&)> OnChange;

private:
    int FWidth = 0;
    int FHeight = 0;
    std::vector<uint8_t> FPixels;
};

} // namespace mellodeck
