#pragma once
// Bitmap resources of the module that contains the panel, read straight into 32-bit bitmaps with alpha.
#include <windows.h>

#include "imaging/Bitmap32.h"

namespace mellodeck::win {

// The module (DLL or executable) this code is linked into.
HMODULE ThisModule();

// A BITMAP resource of 32 bits per pixel (the fourth byte is alpha) by name or ordinal; false, leaving Out
// empty, when the resource is missing or not such a bitmap.
bool LoadSkinBitmap(HMODULE Module, const wchar_t* Name, Bitmap32& Out);

} // namespace mellodeck::win
