// Arbitrary bytes as a stored picture. A first byte of 0..6 picks the decoder the way a picture's MIME
// type does ("image/bmp", "image/jpg", "image/jpeg", "image/tiff" twice, "image/gif", "image/png") and
// the rest is the picture; any other first byte means the whole input is a picture file found by content
// (a bitmap by its name when no signature matches), so plain picture files work as seeds.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "imaging/ImageCodecs.h"

using namespace mellodeck;

namespace {

const ImageKind kMimeKinds[] = {ImageKind::Bmp,  ImageKind::Jpeg, ImageKind::Jpeg, ImageKind::Tiff,
                                ImageKind::Tiff, ImageKind::Gif,  ImageKind::Png};
constexpr size_t kMimeCount = sizeof kMimeKinds / sizeof kMimeKinds[0];

// Pictures up to this many pixels also go through the resampler and the encoder.
constexpr int64_t kPostProcessPixels = 1024 * 1024;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    Bitmap32 picture;
    bool decoded;
    if (data[0] < kMimeCount)
        decoded = DecodeImage(kMimeKinds[data[0]], data + 1, size - 1, picture);
    else
        decoded = DecodeImageAuto(data, size, L"cover.bmp", picture);
    if (!decoded) {
        if (!picture.Empty())
            __builtin_trap(); // a failed decode must leave the output alone
        return 0;
    }
    const int64_t pixels = static_cast<int64_t>(picture.Width()) * picture.Height();
    if (picture.Empty() || picture.Width() > kMaxImageSide || picture.Height() > kMaxImageSide ||
        pixels > kMaxImagePixels)
        __builtin_trap();
    if (pixels <= kPostProcessPixels) {
        const Bitmap32 smaller =
            ResampleBox(picture, std::max(1, picture.Width() / 3), std::min(picture.Height() + 1, kMaxImageSide));
        if (smaller.Empty())
            __builtin_trap();
        std::vector<uint8_t> jpeg;
        if (!EncodeJpeg(smaller, jpeg))
            __builtin_trap();
        Bitmap32 back;
        if (!DecodeImage(ImageKind::Jpeg, jpeg.data(), jpeg.size(), back) || back.Width() != smaller.Width() ||
            back.Height() != smaller.Height())
            __builtin_trap();
    }
    return 0;
}
