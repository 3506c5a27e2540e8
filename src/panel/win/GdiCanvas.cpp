#include "panel/win/GdiCanvas.h"

#include <algorithm>

#include "common/AxSys.h"

namespace mellodeck::win {

namespace {
int gQualityOverride = 0;

RECT ToRect(const TRect& r) { return RECT{r.Left, r.Top, r.Right, r.Bottom}; }
} // namespace

TFontCounters& FontCounters() {
    static TFontCounters counters;
    return counters;
}

TPanelFont::TPanelFont(const LOGFONTW& Font) : FFont(::CreateFontIndirectW(&Font)) {
    if (FFont)
        ++FontCounters().Created;
}

TPanelFont& TPanelFont::operator=(TPanelFont&& other) noexcept {
    if (this != &other) {
        Reset();
        FFont = other.FFont;
        other.FFont = nullptr;
    }
    return *this;
}

void TPanelFont::Reset() {
    if (!FFont)
        return;
    if (::DeleteObject(FFont))
        ++FontCounters().Deleted;
    else
        ++FontCounters().FailedDeletes;
    FFont = nullptr;
}

int TrackFontQuality() {
    if (gQualityOverride)
        return gQualityOverride;
    return IsWinXP() ? CLEARTYPE_QUALITY : ANTIALIASED_QUALITY;
}

void SetTrackFontQualityOverride(int Quality) { gQualityOverride = Quality; }

bool TGdiCanvas::Resize(int Width, int Height) {
    Width = std::max(0, Width);
    Height = std::max(0, Height);
    if (FDC && Width == FWidth && Height == FHeight)
        return true;
    FSelected.Restore();
    FBitmap.Reset();
    FBits = nullptr;
    FWidth = FHeight = 0;
    if (!FDC) {
        FDC = MemoryDC::CreateCompatible(nullptr);
        if (!FDC)
            return false;
    }
    if (Width == 0 || Height == 0)
        return true;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = Width;
    info.bmiHeader.biHeight = -Height; // top-down: row 0 first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    FBitmap.Reset(::CreateDIBSection(FDC.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!FBitmap || !bits)
        return false;
    FSelected = SelectGuard(FDC.Get(), FBitmap.Get());
    FBits = static_cast<uint8_t*>(bits);
    FWidth = Width;
    FHeight = Height;
    ::SetBkMode(FDC.Get(), TRANSPARENT);
    return true;
}

TPixelSurface TGdiCanvas::Surface() {
    if (!FBits)
        return {};
    ::GdiFlush(); // text drawn so far lands in the bits before they are read or written directly
    return {FBits, FWidth, FHeight, static_cast<std::ptrdiff_t>(FWidth) * 4};
}

int TGdiCanvas::Text(const std::wstring& text, RECT r, UINT format, TTextFace face, COLORREF colour) {
    if (!FDC)
        return 0;
    SelectGuard font(FDC.Get(), face == TTextFace::Track ? FTrackFont : FCanvasFont);
    ::SetTextColor(FDC.Get(), colour);
    ::SetBkMode(FDC.Get(), TRANSPARENT);
    std::wstring copy = text; // DT_END_ELLIPSIS may write into the text it is given without DT_MODIFYSTRING
    const int height = ::DrawTextW(FDC.Get(), copy.data(), static_cast<int>(copy.size()), &r, format);
    return height;
}

int TGdiCanvas::LineHeight(const std::wstring& Text, const TRect& R, TTextFace Face) {
    return this->Text(Text, ToRect(R), DT_CALCRECT | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX, Face, 0);
}

void TGdiCanvas::DrawLine(const std::wstring& Text, const TRect& R, TTextAlign Align, TColor Colour, TTextFace Face) {
    const UINT align = Align == TTextAlign::Center ? DT_CENTER : DT_LEFT;
    this->Text(Text, ToRect(R), align | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX, Face,
               RGB(Colour.R, Colour.G, Colour.B));
}

int TGdiCanvas::WrappedHeight(const std::wstring& Text, const TRect& R, TTextFace Face) {
    return this->Text(Text, ToRect(R), DT_CALCRECT | DT_WORDBREAK | DT_CENTER | DT_NOPREFIX, Face, 0);
}

void TGdiCanvas::DrawWrapped(const std::wstring& Text, const TRect& R, TColor Colour, TTextFace Face) {
    this->Text(Text, ToRect(R), DT_WORDBREAK | DT_CENTER | DT_NOPREFIX, Face, RGB(Colour.R, Colour.G, Colour.B));
}

void TGdiCanvas::DrawSunkenEdge(const TRect& R) {
    if (!FDC)
        return;
    RECT r = ToRect(R);
    ::DrawEdge(FDC.Get(), &r, BDR_SUNKENOUTER, BF_RECT);
}

} // namespace mellodeck::win
