#pragma once
// Shared by the panel's window tests: a plain host window, message pumping, capturing a window's client
// area through WM_PRINTCLIENT, PNG output for a person to look at, and pixel checks against the skins.
#include <windows.h>

#include <gtest/gtest.h>

#include <cwchar>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/win/WindowBase.h"
#include "imaging/ImageCodecs.h"
#include "panel/GoogleSideBar.h"
#include "panel/win/SkinResources.h"

namespace mellodeck::test {

class THostWindow : public win::WindowBase {
protected:
    const wchar_t* ClassName() const override { return L"MellodeckTest.PanelHost"; }
};

inline void Pump() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

// The window's client area as drawn by WM_PRINTCLIENT, alpha forced opaque.
inline Bitmap32 Capture(HWND window) {
    RECT r{};
    ::GetClientRect(window, &r);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), r.right, -r.bottom, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HDC dc = ::CreateCompatibleDC(nullptr);
    HBITMAP dib = ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = ::SelectObject(dc, dib);
    ::SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    ::GdiFlush();
    std::vector<uint8_t> pixels(static_cast<const uint8_t*>(bits),
                                static_cast<const uint8_t*>(bits) + static_cast<size_t>(r.right) * r.bottom * 4);
    for (size_t i = 3; i < pixels.size(); i += 4)
        pixels[i] = 255;
    ::SelectObject(dc, old);
    ::DeleteObject(dib);
    ::DeleteDC(dc);
    Bitmap32 b;
    b.Assign(r.right, r.bottom, std::move(pixels));
    return b;
}

inline void SavePng(const Bitmap32& b, const std::string& name) {
    std::vector<uint8_t> png;
    ASSERT_TRUE(EncodePng(b, png));
    std::filesystem::create_directories(MELLODECK_CAPTURE_DIR);
    std::ofstream(std::filesystem::path(MELLODECK_CAPTURE_DIR) / (name + ".png"), std::ios::binary)
        .write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
}

inline uint32_t Rgb(uint32_t argb) { return argb & 0xFFFFFF; }
inline constexpr uint32_t kBackground = 0xFAFAFA;

// Pixels of R in the capture that are not the background.
inline int Inked(const Bitmap32& b, const TRect& r) {
    int n = 0;
    for (int y = r.Top; y < r.Bottom; ++y)
        for (int x = r.Left; x < r.Right; ++x)
            n += Rgb(b.PixelAt(x, y)) != kBackground;
    return n;
}

// The capture shows the given cell of a skin strip at the button's rectangle.
inline void ExpectCell(const Bitmap32& capture, const TSideBarButton& button, const wchar_t* strip, int cell) {
    Bitmap32 skin;
    ASSERT_TRUE(win::LoadSkinBitmap(win::ThisModule(), strip, skin));
    const int w = button.Right - button.Left;
    int differing = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < w; ++x)
            differing += Rgb(capture.PixelAt(button.Left + x, button.Top + y)) != Rgb(skin.PixelAt(cell * w + x, y));
    EXPECT_EQ(differing, 0) << "cell " << cell << " of " << std::string(strip, strip + wcslen(strip));
}

} // namespace mellodeck::test
