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

// Decodes a picture of the given kind. Returns false (leaving `out` empty or unchanged) on any error:
// garbage, truncation, unsupported variants, pictures beyond the size caps. Never throws.
bool DecodeImage(ImageKind kind, const uint8_t* data, size_t size, Bitmap32& out);

// Decodes by content first, then by the extension of `fileName`.
bool DecodeImageAuto(const uint8_t* data, size_t size, const std::wstring& fileName, Bitmap32& out);

// Loads and decodes a picture file (by content, then extension). False on any failure.
bool LoadImageFile(const std::wstring& path, Bitmap32& out);

// Encodes as baseline JPEG at the given quality (alpha dropped). False on failure.
bool EncodeJpeg(const Bitmap32& bitmap, std::vector<uint8_t>& out, int quality = 80);

// Box-filter resampling to newWidth x newHeight (each destination pixel averages the source area it
// covers, weighted by coverage). Returns an empty bitmap when either size is not positive.
Bitmap32 ResampleBox(const Bitmap32& source, int newWidth, int newHeight);

} // namespace mellodeck
