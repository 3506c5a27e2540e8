#pragma once
// The individual picture decoders behind DecodeImage. Each returns false on any error without touching
// `out`, never throws, and checks the picture's size against the caps before allocating its pixels.
#include <cstddef>
#include <cstdint>

#include "imaging/Bitmap32.h"
#include "imaging/ImageCodecs.h"

namespace mellodeck::imaging_detail {

// True when a picture of width x height is within kMaxImageSide and kMaxImagePixels.
inline bool WithinSizeCaps(int64_t width, int64_t height) {
    return width > 0 && height > 0 && width <= kMaxImageSide && height <= kMaxImageSide &&
           width * height <= kMaxImagePixels;
}

bool DecodeJpeg(const uint8_t* data, size_t size, Bitmap32& out);
// Decodes at the smallest DCT scale n/8 whose output still covers the size FitInside gives for the box in
// both directions (at full size when nothing smaller does). `width` and `height` receive the picture's own
// size the bitmap holds the scaled output.
// size and `scale` the n of n/8 it was decoded at; the bitmap holds the scaled output.
bool DecodeJpegScaled(const uint8_t* data, size_t size, int boxWidth, int boxHeight, Bitmap32& out, int& width,
                      int& height, int& scale);
// Box-scales a picture of fullWidth x fullHeight that was decoded at scale/8 (each side rounded up, so its
// last column and row may be partly padding) to newWidth x newHeight, weighing the source by the part of
// the picture each pixel stands for. Empty on bad sizes.
Bitmap32 ResampleBoxFromScaled(const Bitmap32& source, int fullWidth, int fullHeight, int scale, int newWidth,
                               int newHeight);
bool DecodePng(const uint8_t* data, size_t size, Bitmap32& out);
bool DecodeGif(const uint8_t* data, size_t size, Bitmap32& out);
bool DecodeTiff(const uint8_t* data, size_t size, Bitmap32& out);
bool DecodeBmp(const uint8_t* data, size_t size, Bitmap32& out);

} // namespace mellodeck::imaging_detail
