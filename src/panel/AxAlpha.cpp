#include "panel/AxAlpha.h"

#include <cstring>

namespace mellodeck {

namespace {

// The weighted mix of one channel on 16-bit lanes: the product wraps at 65536 and the shift is logical,
// then the bias is added with signed 16-bit saturation and the result saturates to a byte.
inline uint8_t MixChannel(int s, int d, int16_t w, int16_t bias) {
    const uint16_t mixed = static_cast<uint16_t>(d * 256 + static_cast<int>(w) * (s - d));
    const int v = static_cast<int>(mixed >> 8) + bias;
    return static_cast<uint8_t>(std::clamp(v, 0, 255));
}

} // namespace

void FillSurface(const TPixelSurface& Target, TRect R, TColor Colour) {
    R = R.Intersect(Target.Bounds());
    if (R.IsEmpty() || Target.Empty())
        return;
    const uint8_t pixel[4] = {Colour.B, Colour.G, Colour.R, 255};
    for (int y = R.Top; y < R.Bottom; ++y) {
        uint8_t* p = Target.Row(y) + R.Left * 4;
        for (int x = R.Left; x < R.Right; ++x, p += 4)
            std::memcpy(p, pixel, 4);
    }
}

void CopySurface(const TPixelSurface& Source, TRect R, const TPixelSurface& Target, TPoint P) {
    if (Source.Empty() || Target.Empty())
        return;
    // Clip the source rectangle, then the landing area, moving both together.
    TRect src = R.Intersect(Source.Bounds());
    if (src.IsEmpty())
        return;
    P.X += src.Left - R.Left;
    P.Y += src.Top - R.Top;
    TRect dst = TRect::Sized(P.X, P.Y, src.Width(), src.Height()).Intersect(Target.Bounds());
    if (dst.IsEmpty())
        return;
    src.Left += dst.Left - P.X;
    src.Top += dst.Top - P.Y;
    const size_t bytes = static_cast<size_t>(dst.Width()) * 4;
    for (int i = 0; i < dst.Height(); ++i)
        std::memmove(Target.Row(dst.Top + i) + dst.Left * 4, Source.Row(src.Top + i) + src.Left * 4, bytes);
}

void BlendRect(const TPixelSurface& Source, const TPixelSurface& Destination, TRect R, TPoint Target, int Mode,
               int ConstantAlpha, int Bias) {
    if (R.IsEmpty() || Destination.Empty())
        return;
    const int16_t constant = static_cast<int16_t>(ConstantAlpha);
    if (Mode == AlphaColor) {
        R = R.Intersect(Destination.Bounds());
        if (R.IsEmpty())
            return;
        const uint32_t c = static_cast<uint32_t>(Bias);
        const int colour[4] = {static_cast<int>((c >> 16) & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                               static_cast<int>(c & 0xFF), 0};
        const int w = constant;
        for (int y = R.Top; y < R.Bottom; ++y) {
            uint8_t* d = Destination.Row(y) + R.Left * 4;
            for (int x = R.Left; x < R.Right; ++x, d += 4)
                for (int ch = 0; ch < 4; ++ch)
                    d[ch] = static_cast<uint8_t>(static_cast<uint16_t>(colour[ch] * w + d[ch] * (256 - w)) >> 8);
        }
        return;
    }
    if (Mode < AlphaConstant || Mode > AlphaPerPixelScaled || Source.Empty())
        return;

    TRect src = R.Intersect(Source.Bounds());
    if (src.IsEmpty())
        return;
    TPoint at{Target.X + src.Left - R.Left, Target.Y + src.Top - R.Top};
    const TRect dst = TRect::Sized(at.X, at.Y, src.Width(), src.Height()).Intersect(Destination.Bounds());
    if (dst.IsEmpty())
        return;
    src.Left += dst.Left - at.X;
    src.Top += dst.Top - at.Y;

    const int16_t bias = static_cast<int16_t>(Bias);
    for (int i = 0; i < dst.Height(); ++i) {
        const uint8_t* s = Source.Row(src.Top + i) + src.Left * 4;
        uint8_t* d = Destination.Row(dst.Top + i) + dst.Left * 4;
        for (int x = 0; x < dst.Width(); ++x, s += 4, d += 4) {
            int16_t w = constant;
            if (Mode == AlphaPerPixel)
                w = s[3];
            else if (Mode == AlphaPerPixelScaled)
                w = static_cast<int16_t>(static_cast<uint16_t>(s[3] * static_cast<int>(constant)) >> 8);
            for (int ch = 0; ch < 4; ++ch)
                d[ch] = MixChannel(s[ch], d[ch], w, bias);
        }
    }
}

} // namespace mellodeck
