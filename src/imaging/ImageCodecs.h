#pragma once
// Picture decoding into 32-bit bitmaps, JPEG encoding, and the box resampler.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "imaging/Bitmap32.h"

namespace mellodeck {

enum class ImageKind { Unknown, Bmp, Jpeg, Png, Gif, Tiff };

// Largest picture any decoder accepts, in pixels (width * height); larger pictures fail to decode instead
// of exhausting memory. Also a per-side limit.
constexpr int64_t kMaxImagePixels = 64LL * 1024 * 1024;
constexpr int kMaxImageSide = 32768;

// Kind of a picture from its first bytes (signature); Unknown when no signature matches.
ImageKind DetectImageKind(const uint8_t* data, size_t size);
// Kind from a file extension such as ".jpg" or "JPEG" (leading dot optional, case ignored).
ImageKind ImageKindFromExtension(const std::wstring& extension);

// Decodes a picture of the given kind into straight-alpha BGRA. Returns false, leaving `out` untouched (its
// change callback is not fired), on any error: garbage, truncation, unsupported variants, pictures beyond
// the size caps (checked from the header, before the pixels are allocated). Never throws.
// JPEG: baseline, progressive, greyscale, CMYK/YCCK. PNG: every colour type and depth, interlaced.
// GIF: the first frame on its logical screen, transparent colour as alpha 0. TIFF: whatever libtiff's
// RGBA interface reads, first directory. BMP: 1/4/8-bit palette (RLE4/RLE8 too), 16/24/32-bit, bit fields.
bool DecodeImage(ImageKind kind, const uint8_t* data, size_t size, Bitmap32& out);

// Decodes by content first; when no signature matches, or that decoder fails, by the extension of
// `fileName` (the last path component's).
bool DecodeImageAuto(const uint8_t* data, size_t size, const std::wstring& fileName, Bitmap32& out);

// Loads and decodes a picture file (by content, then extension). False on any failure, including files
// larger than 64 MiB.
bool LoadImageFile(const std::wstring& path, Bitmap32& out);

// Encodes as baseline JPEG at the given quality (clamped to 1..100; alpha dropped). False on failure,
// leaving `out` untouched.
bool EncodeJpeg(const Bitmap32& bitmap, std::vector<uint8_t>& out, int quality = 80);

// Encodes as 8-bit RGBA PNG (straight alpha). False on failure, leaving `out` untouched.
bool EncodePng(const Bitmap32& bitmap, std::vector<uint8_t>& out);

// Box-filter resampling to newWidth x newHeight (each destination pixel averages the source area it
// covers, weighted by coverage; all four channels). Returns an empty bitmap when the source is empty or
// the new size is not positive or beyond the size caps.
Bitmap32 ResampleBox(const Bitmap32& source, int newWidth, int newHeight);

} // namespace mellodeck
