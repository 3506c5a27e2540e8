// Area-weighted box resampling with exact integer coverage weights.
//
// Along one axis, source pixel s spans [s*dst, (s+1)*dst) and destination pixel d spans
// [d*src, (d+1)*src) in units of 1/(src*dst) of the whole length; the weight of s in d is the length of
// the overlap, so the weights of one destination pixel sum to src. A destination value is
// sum(wx * wy * p) / (srcW * srcH), rounded: exact block averages when downscaling by whole factors,
// plain replication when upscaling by whole factors.
#include <algorithm>
#include <cstdint>
#include <exception>
#include <vector>

#include "imaging/ImageCodecs.h"

namespace mellodeck {
namespace {

// Tallest source whose column sums (at most 255 per row) fit 32 bits; no decoded picture comes near it.
constexpr int kMaxColumnRows = static_cast<int>(UINT32_MAX / 255);

struct AxisWeights {
    std::vector<int> first;     // first source index per destination index
    std::vector<size_t> offset; // start of its weights in `weights`; offset[d + 1] ends them
    std::vector<uint32_t> weights;
};

// Source pixel s spans [s * pixelUnit, (s + 1) * pixelUnit) and destination pixel d spans
// [d * destUnit, (d + 1) * destUnit); dst * destUnit must not pass src * pixelUnit. The plain resampler has
// pixelUnit = dst and destUnit = src; a source decoded at a reduced scale whose last pixel is partly padding
// has a smaller extent (see ResampleBoxFromScaled).
AxisWeights BuildAxis(int src, int dst, int64_t pixelUnit, int64_t destUnit) {
    AxisWeights axis;
    axis.first.resize(static_cast<size_t>(dst));
    axis.offset.resize(static_cast<size_t>(dst) + 1);
    axis.weights.reserve(static_cast<size_t>(src) + static_cast<size_t>(dst));
    for (int d = 0; d < dst; ++d) {
        const int64_t lo = static_cast<int64_t>(d) * destUnit;
        const int64_t hi = lo + destUnit;
        const int64_t s0 = lo / pixelUnit;
        const int64_t s1 = std::min<int64_t>(src - 1, (hi - 1) / pixelUnit);
        axis.first[static_cast<size_t>(d)] = static_cast<int>(s0);
        axis.offset[static_cast<size_t>(d)] = axis.weights.size();
        for (int64_t s = s0; s <= s1; ++s) {
            const int64_t w = std::min(hi, (s + 1) * pixelUnit) - std::max(lo, s * pixelUnit);
            axis.weights.push_back(static_cast<uint32_t>(w));
        }
    }
    axis.offset[static_cast<size_t>(dst)] = axis.weights.size();
    return axis;
}

// The resampler proper over prepared axes; `total` is the sum of the weights of one destination pixel.
Bitmap32 Resample(const Bitmap32& source, const AxisWeights& ax, const AxisWeights& ay, uint64_t total, int newWidth,
                  int newHeight) {
    Bitmap32 result;
    const size_t rowBytes = static_cast<size_t>(source.Width()) * 4;
    {
        std::vector<uint8_t> pixels(static_cast<size_t>(newWidth) * static_cast<size_t>(newHeight) * 4);
        // The vertical pass first, over whole rows: every byte of the source rows under one destination row,
        // weighted and summed on its own. A sum is at most 255 times the weights of one destination row
        // (the source height, or 8 times it from a scaled decode), so 32 bits hold it, and the loop is plain
        // enough for the compiler to turn into vector code.
        std::vector<uint32_t> columns(rowBytes);
        for (int dy = 0; dy < newHeight; ++dy) {
            std::fill(columns.begin(), columns.end(), 0);
            const size_t yBegin = ay.offset[static_cast<size_t>(dy)], yEnd = ay.offset[static_cast<size_t>(dy) + 1];
            for (size_t k = yBegin; k < yEnd; ++k) {
                const uint8_t* row = source.Row(ay.first[static_cast<size_t>(dy)] + static_cast<int>(k - yBegin));
                const uint32_t wy = ay.weights[k];
                for (size_t i = 0; i < rowBytes; ++i)
                    columns[i] += wy * row[i];
            }
            // Then across: each destination pixel weighs the column sums it covers, four channels apart.
            uint8_t* dst = pixels.data() + static_cast<size_t>(dy) * static_cast<size_t>(newWidth) * 4;
            for (int dx = 0; dx < newWidth; ++dx, dst += 4) {
                uint64_t sum[4] = {0, 0, 0, 0};
                const size_t xBegin = ax.offset[static_cast<size_t>(dx)];
                const size_t xEnd = ax.offset[static_cast<size_t>(dx) + 1];
                const uint32_t* column = columns.data() + static_cast<size_t>(ax.first[static_cast<size_t>(dx)]) * 4;
                for (size_t j = xBegin; j < xEnd; ++j, column += 4) {
                    const uint64_t wx = ax.weights[j];
                    for (int c = 0; c < 4; ++c)
                        sum[c] += wx * column[c];
                }
                for (int c = 0; c < 4; ++c)
                    dst[c] = static_cast<uint8_t>((sum[c] + total / 2) / total);
            }
        }
        result.Assign(newWidth, newHeight, std::move(pixels));
    }
    return result;
}

bool SizeAllowed(const Bitmap32& source, int newWidth, int newHeight) {
    return !source.Empty() && newWidth > 0 && newHeight > 0 && newWidth <= kMaxImageSide &&
           newHeight <= kMaxImageSide && static_cast<int64_t>(newWidth) * newHeight <= kMaxImagePixels &&
           source.Height() <= kMaxColumnRows;
}

} // namespace

Bitmap32 ResampleBox(const Bitmap32& source, int newWidth, int newHeight) {
    if (!SizeAllowed(source, newWidth, newHeight))
        return Bitmap32();
    try {
        const int sw = source.Width(), sh = source.Height();
        const AxisWeights ax = BuildAxis(sw, newWidth, newWidth, sw);
        const AxisWeights ay = BuildAxis(sh, newHeight, newHeight, sh);
        return Resample(source, ax, ay, static_cast<uint64_t>(sw) * static_cast<uint64_t>(sh), newWidth, newHeight);
    } catch (const std::exception&) {
        return Bitmap32();
    }
}

namespace imaging_detail {

Bitmap32 ResampleBoxFromScaled(const Bitmap32& source, int fullWidth, int fullHeight, int scale, int newWidth,
                               int newHeight) {
    // In units of 1/(8 * new size) of a source pixel: a source pixel is 8 * new size long, and the picture's
    // content fullWidth * scale, which each destination pixel divides evenly.
    if (!SizeAllowed(source, newWidth, newHeight) || scale < 1 || scale > 8 ||
        static_cast<int64_t>(fullWidth) * scale > static_cast<int64_t>(source.Width()) * 8 ||
        static_cast<int64_t>(fullHeight) * scale > static_cast<int64_t>(source.Height()) * 8)
        return Bitmap32();
    try {
        const int64_t unitX = static_cast<int64_t>(fullWidth) * scale, unitY = static_cast<int64_t>(fullHeight) * scale;
        const AxisWeights ax = BuildAxis(source.Width(), newWidth, 8 * static_cast<int64_t>(newWidth), unitX);
        const AxisWeights ay = BuildAxis(source.Height(), newHeight, 8 * static_cast<int64_t>(newHeight), unitY);
        return Resample(source, ax, ay, static_cast<uint64_t>(unitX) * static_cast<uint64_t>(unitY), newWidth,
                        newHeight);
    } catch (const std::exception&) {
        return Bitmap32();
    }
}

} // namespace imaging_detail

} // namespace mellodeck
