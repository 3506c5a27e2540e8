#pragma once
// Blending one 32-bit surface onto another in place: constant opacity, per-pixel alpha, both combined, or a
// solid colour. All four bytes of a pixel (alpha included) follow the same rule; weights are on a 0..256 scale.
#include <stdexcept>

#include "panel/PanelTypes.h"

namespace mellodeck {

enum TBlendMode : int {
    AlphaConstant = 0,       // weight = ConstantAlpha
    AlphaPerPixel = 1,       // weight = the source pixel's alpha byte
    AlphaPerPixelScaled = 2, // weight = (source alpha * ConstantAlpha) >> 8
    AlphaColor = 3,          // weight = ConstantAlpha, a solid colour (Bias, red in the lowest byte) over Destination
};

// Raised by the device-context face when a DC has no 32-bit bitmap section selected.
class EAlphaBlend : public std::logic_error {
public:
    using std::logic_error::logic_error;
};
inline constexpr char kAlphaBlendBppError[] = "Alpha blending error: bitmap must use 32 bpp.";
inline constexpr char kAlphaBlendNoBitmapError[] = "Alpha blending DC error: no bitmap available.";

// Blends R of Source onto Destination with R's top-left landing on Target (modes 0 to 2), or blends the
// colour over R of Destination (mode 3; Source and Target unused). Per channel, with s the source byte,
// d the destination byte and W the weight: ((d * 256 + W * (s - d)) mod 65536) >> 8, plus Bias, clamped
// to 0..255; mode 3: (c * W + d * (256 - W)) >> 8. Other modes do nothing. The rectangle is clipped to both
// surfaces, so no pixel outside either is read or written.
void BlendRect(const TPixelSurface& Source, const TPixelSurface& Destination, TRect R, TPoint Target, int Mode,
               int ConstantAlpha, int Bias);

} // namespace mellodeck
