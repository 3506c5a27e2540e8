#include "imaging/Bitmap32.h"

#include <algorithm>
#include <utility>

#include "common/ByteOrder.h"

namespace mellodeck {
namespace {

size_t ByteCount(int width, int height) {
    return (width > 0 && height > 0) ? static_cast<size_t>(width) * static_cast<size_t>(height) * 4 : 0;
}

} // namespace

Bitmap32::Bitmap32(int width, int height) {
    if (width > 0 && height > 0) {
        FPixels.assign(ByteCount(width, height), 0);
        FWidth = width;
        FHeight = height;
    }
}

Bitmap32::Bitmap32(const Bitmap32& other) : FWidth(other.FWidth), FHeight(other.FHeight), FPixels(other.FPixels) {}

Bitmap32::Bitmap32(Bitmap32&& other) : FWidth(other.FWidth), FHeight(other.FHeight), FPixels(std::move(other.FPixels)) {
    other.FWidth = 0;
    other.FHeight = 0;
    other.FPixels.clear();
    other.NotifyChanged();
}

Bitmap32& Bitmap32::operator=(const Bitmap32& other) {
    if (this != &other) {
        FPixels = other.FPixels;
        FWidth = other.FWidth;
        FHeight = other.FHeight;
    }
    NotifyChanged();
    return *this;
}

Bitmap32& Bitmap32::operator=(Bitmap32&& other) {
    if (this != &other) {
        FPixels = std::move(other.FPixels);
        FWidth = other.FWidth;
        FHeight = other.FHeight;
        other.FPixels.clear();
        other.FWidth = 0;
        other.FHeight = 0;
        // The source lost its pixels too; its owner hears about it like any other change.
        other.NotifyChanged();
    }
    NotifyChanged();
    return *this;
}

void Bitmap32::SetSize(int width, int height) {
    if (width > 0 && height > 0) {
        // Allocate first so a failed allocation leaves the bitmap as it was.
        std::vector<uint8_t> pixels(ByteCount(width, height), 0);
        FPixels.swap(pixels);
        FWidth = width;
        FHeight = height;
    } else {
        FPixels.clear();
        FWidth = 0;
        FHeight = 0;
    }
    NotifyChanged();
}

void Bitmap32::Assign(int width, int height, std::vector<uint8_t>&& bgra) {
    if (width > 0 && height > 0) {
        // A buffer of the wrong length is a caller bug; never let it become an out-of-bounds read later.
        bgra.resize(ByteCount(width, height), 0);
        FPixels = std::move(bgra);
        FWidth = width;
        FHeight = height;
    } else {
        FPixels.clear();
        FWidth = 0;
        FHeight = 0;
    }
    NotifyChanged();
}

uint32_t Bitmap32::PixelAt(int x, int y) const {
    if (x < 0 || y < 0 || x >= FWidth || y >= FHeight)
        return 0;
    const uint8_t* p = FPixels.data() + (static_cast<size_t>(y) * FWidth + x) * 4;
    return GetLE32(p);
}

void Bitmap32::SetPixel(int x, int y, uint32_t argb) {
    if (x < 0 || y < 0 || x >= FWidth || y >= FHeight)
        return;
    uint8_t* p = FPixels.data() + (static_cast<size_t>(y) * FWidth + x) * 4;
    PutLE32(p, argb);
    NotifyChanged();
}

void Bitmap32::Fill(uint32_t argb) {
    uint8_t px[4];
    PutLE32(px, argb);
    for (size_t i = 0; i + 4 <= FPixels.size(); i += 4)
        std::copy(px, px + 4, FPixels.begin() + static_cast<std::ptrdiff_t>(i));
    NotifyChanged();
}

void Bitmap32::NotifyChanged() {
    if (OnChange)
        OnChange(*this);
}

} // namespace mellodeck
