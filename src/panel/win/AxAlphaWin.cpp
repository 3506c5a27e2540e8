#include "panel/win/AxAlphaWin.h"

namespace mellodeck::win {

TPixelSurface SurfaceOfDC(HDC DC) {
    HGDIOBJ bitmap = DC ? ::GetCurrentObject(DC, OBJ_BITMAP) : nullptr;
    DIBSECTION section{};
    if (!bitmap || ::GetObjectW(bitmap, sizeof(section), &section) != sizeof(section))
        throw EAlphaBlend(kAlphaBlendNoBitmapError);
    const BITMAPINFOHEADER& h = section.dsBmih;
    if (h.biPlanes * h.biBitCount != 32)
        throw EAlphaBlend(kAlphaBlendBppError);
    if (!section.dsBm.bmBits)
        throw EAlphaBlend(kAlphaBlendNoBitmapError);
    ::GdiFlush();
    TPixelSurface s;
    s.Width = h.biWidth;
    s.Height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    const std::ptrdiff_t stride = static_cast<std::ptrdiff_t>(s.Width) * 4;
    auto* base = static_cast<uint8_t*>(section.dsBm.bmBits);
    if (h.biHeight > 0) {
        // Bottom-up: row r lies at (height - r - 1) * stride.
        s.Bits = base + (s.Height - 1) * stride;
        s.Stride = -stride;
    } else {
        s.Bits = base;
        s.Stride = stride;
    }
    return s;
}

void BlendRect(HDC Source, HDC Destination, const RECT& R, POINT Target, int Mode, int ConstantAlpha, int Bias) {
    if (R.right <= R.left || R.bottom <= R.top)
        return;
    const TPixelSurface destination = SurfaceOfDC(Destination);
    const TPixelSurface source = Mode == AlphaColor ? TPixelSurface{} : SurfaceOfDC(Source);
    mellodeck::BlendRect(source, destination, {R.left, R.top, R.right, R.bottom}, {Target.x, Target.y}, Mode,
                         ConstantAlpha, Bias);
}

} // namespace mellodeck::win
