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
bool DecodePng(const uint8_t* data, size_t size, Bitmap32& out);
bool DecodeGif(const uint8_t* data, size_t size, Bitmap32& out);
bool DecodeTiff(const uint8_t* data, size_t size, Bitmap32& out);
bool DecodeBmp(const uint8_t* data, size_t size, Bitmap32& out);

} // namespace mellodeck::imaging_detail
