// Area-weighted box resampling with exact integer coverage weights.
//
// Along one axis, source pixel s spans [s*dst, (s+1)*dst) and destination pixel d spans
// [d*src, (d+1)*src) in units of 1/(src*dst) of the whole length; the weight of s in d is the length of
// the overlap, so the weights of one destination pixel sum to src. A destination value is
// sum(wx * wy * p) / (srcW * srcH), rounded: exact block averages when downscaling by whole factors,
// plain replication when upscaling by whole factors.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <exception>
#include <optional>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "imaging/ImageCodecs.h"

namespace mellodeck {
namespace {

// Tallest source whose column sums (at most 255 per row) fit 32 bits; no decoded picture comes near it.
constexpr int kMaxColumnRows = static_cast<int>(UINT32_MAX / 255);

struct AxisWeights {
    std::vector<int> first;     // first source index per destination index
    std::vector<size_t> offset; // start of its weights in `weights`; offset[d + 1] ends them
    std::vector<uint32_t> weights;
    uint32_t largest = 0; // of the weights
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
            axis.largest = std::max(axis.largest, static_cast<uint32_t>(w));
        }
    }
    axis.offset[static_cast<size_t>(dst)] = axis.weights.size();
    return axis;
}

// (sum + total / 2) / total, rounded down, for the pixel sums without a division per channel (which
// would cost more than the rest of the resampler). Sums of at most 255 * total for a total below 2^24 (every
// cover-sized picture): a multiplication and a shift, exact by Granlund and Montgomery's bound, since the
// dividend stays below 2^N with N = 8 + l, l = ceil(log2 total), and the product below 2^63. Larger totals:
// a multiplication by the reciprocal in double, moved by one where its rounding lands on the wrong side.
class TRoundingDivider {
public:
    static constexpr uint64_t kNarrowLimit = uint64_t{1} << 24;

    explicit TRoundingDivider(uint64_t total)
        : FTotal(static_cast<int64_t>(total)), FHalf(static_cast<int64_t>(total / 2)),
          FInverse(1.0 / static_cast<double>(total)) {
        if (total < kNarrowLimit) {
            int l = 0;
            while ((uint64_t{1} << l) < total)
                ++l;
            FShift = 8 + 2 * l;
            FMultiplier = ((uint64_t{1} << FShift) + total - 1) / total;
        }
    }
    // For totals below kNarrowLimit.
    uint8_t Narrow(uint64_t sum) const {
        return static_cast<uint8_t>(((sum + static_cast<uint64_t>(FHalf)) * FMultiplier) >> FShift);
    }
    uint64_t Multiplier() const { return FMultiplier; }
    int Shift() const { return FShift; }
    uint32_t Half() const { return static_cast<uint32_t>(FHalf); }
    uint8_t Wide(uint64_t sum) const {
        const int64_t a = static_cast<int64_t>(sum) + FHalf;
        int64_t q = static_cast<int64_t>(static_cast<double>(a) * FInverse);
        q -= q * FTotal > a;
        q += (q + 1) * FTotal <= a;
        return static_cast<uint8_t>(q);
    }

private:
    int64_t FTotal, FHalf;
    double FInverse;
    uint64_t FMultiplier = 0;
    int FShift = 0;
};

// columns += weight * row, byte by byte; the vertical pass's whole cost. With a 16-bit weight, SSE2 forms
// the 32-bit products from 16-bit halves (compilers emulate a 32-bit vector multiplication much more slowly).
void AddWeightedRow(uint32_t* columns, const uint8_t* row, uint32_t weight, size_t bytes) {
    size_t i = 0;
#ifdef __SSE2__
    if (weight <= 0xFFFF) {
        const __m128i w = _mm_set1_epi16(static_cast<short>(static_cast<uint16_t>(weight)));
        const __m128i zero = _mm_setzero_si128();
        for (; i + 16 <= bytes; i += 16) {
            const __m128i bytes16 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i));
            const __m128i halves[2] = {_mm_unpacklo_epi8(bytes16, zero), _mm_unpackhi_epi8(bytes16, zero)};
            for (int h = 0; h < 2; ++h) {
                const __m128i lo = _mm_mullo_epi16(halves[h], w);
                const __m128i hi = _mm_mulhi_epu16(halves[h], w);
                __m128i* out = reinterpret_cast<__m128i*>(columns + i + 8 * h);
                _mm_storeu_si128(out, _mm_add_epi32(_mm_loadu_si128(out), _mm_unpacklo_epi16(lo, hi)));
                _mm_storeu_si128(out + 1, _mm_add_epi32(_mm_loadu_si128(out + 1), _mm_unpackhi_epi16(lo, hi)));
            }
        }
    }
#endif
    for (; i < bytes; ++i)
        columns[i] += weight * row[i];
}

// One destination row from the column sums of its source rows.
template <class TSum>
void AcrossRow(const uint32_t* columns, const AxisWeights& ax, const TRoundingDivider& divide, int newWidth,
               uint8_t* dst) {
    for (int dx = 0; dx < newWidth; ++dx, dst += 4) {
        TSum sum[4] = {0, 0, 0, 0};
        const size_t xBegin = ax.offset[static_cast<size_t>(dx)];
        const size_t xEnd = ax.offset[static_cast<size_t>(dx) + 1];
        const uint32_t* column = columns + static_cast<size_t>(ax.first[static_cast<size_t>(dx)]) * 4;
        for (size_t j = xBegin; j < xEnd; ++j, column += 4) {
            const TSum wx = ax.weights[j];
            for (int c = 0; c < 4; ++c)
                sum[c] += wx * column[c];
        }
        for (int c = 0; c < 4; ++c)
            dst[c] = sizeof(TSum) == 4 ? divide.Narrow(sum[c]) : divide.Wide(sum[c]);
    }
}

#ifdef __SSE2__
// The narrow pass across, the four channels of a destination pixel in one vector. Each product of a 32-bit
// column sum and a weight below 2^16 is formed from the sum's 16-bit halves (SSE2 has no 32-bit
// multiplication): lo * w + (hi * w << 16), modulo 2^32, which is exact since a product never passes the
// destination sum, below 2^32. The rounding division is Narrow's, two lanes per 64-bit multiplication;
// usable while its multiplier stays below 2^32 (totals up to about 2^23, every cover).
class TVectorAcross {
public:
    static bool Usable(const AxisWeights& ax, const TRoundingDivider& divide) {
        return ax.largest <= 0xFFFF && divide.Multiplier() != 0 && divide.Multiplier() <= 0xFFFFFFFFu;
    }

    TVectorAcross(const AxisWeights& ax, const TRoundingDivider& divide)
        : FAxis(ax), FHalf(_mm_set1_epi32(static_cast<int>(divide.Half()))),
          FMultiplier(_mm_set1_epi32(static_cast<int>(static_cast<uint32_t>(divide.Multiplier())))),
          FShift(_mm_cvtsi32_si128(divide.Shift())) {
        FWeights.reserve(ax.weights.size());
        for (const uint32_t w : ax.weights) {
            TLanes lanes;
            lanes.fill(static_cast<uint16_t>(w));
            FWeights.push_back(lanes);
        }
    }

    void Row(const uint32_t* columns, int newWidth, uint8_t* dst) const {
        for (int dx = 0; dx < newWidth; ++dx, dst += 4) {
            const size_t xBegin = FAxis.offset[static_cast<size_t>(dx)];
            const size_t xEnd = FAxis.offset[static_cast<size_t>(dx) + 1];
            const uint32_t* column = columns + static_cast<size_t>(FAxis.first[static_cast<size_t>(dx)]) * 4;
            __m128i sum = FHalf;
            for (size_t j = xBegin; j < xEnd; ++j, column += 4) {
                const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(column));
                const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(FWeights[j].data()));
                sum = _mm_add_epi32(sum, _mm_mullo_epi16(c, w));
                sum = _mm_add_epi32(sum, _mm_slli_epi32(_mm_mulhi_epu16(c, w), 16));
            }
            // (sum + half) * multiplier >> shift in lanes 0 and 2, then 1 and 3; each quotient fits a byte.
            const __m128i even = _mm_srl_epi64(_mm_mul_epu32(sum, FMultiplier), FShift);
            const __m128i odd = _mm_srl_epi64(_mm_mul_epu32(_mm_srli_epi64(sum, 32), FMultiplier), FShift);
            const __m128i quotients = _mm_or_si128(even, _mm_slli_epi64(odd, 32));
            const __m128i words = _mm_packs_epi32(quotients, quotients);
            const int bytes = _mm_cvtsi128_si32(_mm_packus_epi16(words, words));
            std::memcpy(dst, &bytes, 4);
        }
    }

private:
    using TLanes = std::array<uint16_t, 8>;
    const AxisWeights& FAxis;
    std::vector<TLanes> FWeights; // each weight in every 16-bit lane
    __m128i FHalf, FMultiplier, FShift;
};
#endif

// The resampler proper over prepared axes; `total` is the sum of the weights of one destination pixel.
Bitmap32 Resample(const Bitmap32& source, const AxisWeights& ax, const AxisWeights& ay, uint64_t total, int newWidth,
                  int newHeight) {
    Bitmap32 result;
    const size_t rowBytes = static_cast<size_t>(source.Width()) * 4;
    const TRoundingDivider divide(total);
    // A destination sum is at most 255 * total (plus half of it in the rounding): within 32 bits for every
    // cover-sized picture, and those sums vectorise better.
    const bool narrowSums = total < TRoundingDivider::kNarrowLimit;
    {
        std::vector<uint8_t> pixels(static_cast<size_t>(newWidth) * static_cast<size_t>(newHeight) * 4);
        // The vertical pass first, over whole rows: every byte of the source rows under one destination row,
        // weighted and summed on its own. A sum is at most 255 times the weights of one destination row
        // (the source height, or 8 times it from a scaled decode), so 32 bits hold it, and the loop is plain
        // enough for the compiler to turn into vector code.
        std::vector<uint32_t> columns(rowBytes);
#ifdef __SSE2__
        std::optional<TVectorAcross> vector;
        if (narrowSums && TVectorAcross::Usable(ax, divide))
            vector.emplace(ax, divide);
#endif
        for (int dy = 0; dy < newHeight; ++dy) {
            std::fill(columns.begin(), columns.end(), 0);
            const size_t yBegin = ay.offset[static_cast<size_t>(dy)], yEnd = ay.offset[static_cast<size_t>(dy) + 1];
            for (size_t k = yBegin; k < yEnd; ++k) {
                const uint8_t* row = source.Row(ay.first[static_cast<size_t>(dy)] + static_cast<int>(k - yBegin));
                AddWeightedRow(columns.data(), row, ay.weights[k], rowBytes);
            }
            // Then across: each destination pixel weighs the column sums it covers, four channels apart.
            uint8_t* dst = pixels.data() + static_cast<size_t>(dy) * static_cast<size_t>(newWidth) * 4;
#ifdef __SSE2__
            if (vector)
                vector->Row(columns.data(), newWidth, dst);
            else
#endif
            if (narrowSums)
                AcrossRow<uint32_t>(columns.data(), ax, divide, newWidth, dst);
            else
                AcrossRow<uint64_t>(columns.data(), ax, divide, newWidth, dst);
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
        if (sw == newWidth && sh == newHeight)
            return source; // every weight would be whole: a copy
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
