#pragma once
// BlendRect on device contexts: the bitmap selected into each must be a 32-bit DIB section.
#include <windows.h>

#include "panel/AxAlpha.h"

namespace mellodeck::win {

// The pixels of the DIB section selected into DC. Raises EAlphaBlend ("... must use 32 bpp.") for another
// depth and ("... no bitmap available.") when no section with bits is selected.
TPixelSurface SurfaceOfDC(HDC DC);

void BlendRect(HDC Source, HDC Destination, const RECT& R, POINT Target, int Mode, int ConstantAlpha, int Bias);

} // namespace mellodeck::win
