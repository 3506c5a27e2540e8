#include "panel/win/SkinResources.h"

#include <cstring>
#include <vector>

namespace mellodeck::win {

HMODULE ThisModule() {
    HMODULE module = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCWSTR>(&ThisModule), &module);
    return module;
}

bool LoadSkinBitmap(HMODULE Module, const wchar_t* Name, Bitmap32& Out) {
    Out.SetSize(0, 0);
    HRSRC found = ::FindResourceW(Module, Name, MAKEINTRESOURCEW(2) /* RT_BITMAP */);
    if (!found)
        return false;
    const DWORD size = ::SizeofResource(Module, found);
    HGLOBAL loaded = ::LoadResource(Module, found);
    const auto* data = loaded ? static_cast<const uint8_t*>(::LockResource(loaded)) : nullptr;
    if (!data || size < sizeof(BITMAPINFOHEADER))
        return false;
    BITMAPINFOHEADER h;
    std::memcpy(&h, data, sizeof(h));
    if (h.biSize < sizeof(h) || h.biSize > size || h.biBitCount != 32 || h.biPlanes != 1 ||
        (h.biCompression != BI_RGB && h.biCompression != BI_BITFIELDS) || h.biWidth <= 0 || h.biWidth > 4096 ||
        h.biHeight == 0 || h.biHeight > 4096 || h.biHeight < -4096)
        return false;
    size_t offset = h.biSize + (h.biCompression == BI_BITFIELDS && h.biSize == sizeof(h) ? 12 : 0);
    const int width = h.biWidth;
    const int height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    const size_t stride = static_cast<size_t>(width) * 4;
    if (offset > size || size - offset < stride * height)
        return false;
    std::vector<uint8_t> pixels(stride * height);
    for (int y = 0; y < height; ++y) {
        const int sourceRow = h.biHeight > 0 ? height - 1 - y : y;
        std::memcpy(pixels.data() + stride * y, data + offset + stride * sourceRow, stride);
    }
    Out.Assign(width, height, std::move(pixels));
    return true;
}

} // namespace mellodeck::win
