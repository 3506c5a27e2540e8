#pragma once
// A TPanelCanvas over a memory DC with a top-down 32-bit DIB section selected: pixels are written through
// the section's bits, text and edges drawn with GDI. GDI leaves the alpha byte of the pixels it draws at 0;
// blits to the screen ignore it, captures force it.
#include <windows.h>

#include "common/win/GdiObjects.h"
#include "panel/PanelCanvas.h"

namespace mellodeck::win {

// Fonts made for the panel are counted, so a test can prove that painting neither leaks fonts nor fails to
// delete one (a font still selected into a DC cannot be deleted).
struct TFontCounters {
    long Created = 0;
    long Deleted = 0;
    long FailedDeletes = 0;
    long Live() const { return Created - Deleted; }
};
TFontCounters& FontCounters();

// Owner of a font created for the panel (counted).
class TPanelFont {
public:
    TPanelFont() = default;
    explicit TPanelFont(const LOGFONTW& Font);
    ~TPanelFont() { Reset(); }
    TPanelFont(const TPanelFont&) = delete;
    TPanelFont& operator=(const TPanelFont&) = delete;
    TPanelFont(TPanelFont&& other) noexcept : FFont(other.FFont) { other.FFont = nullptr; }
    TPanelFont& operator=(TPanelFont&& other) noexcept;
    HFONT Get() const { return FFont; }
    void Reset();

private:
    HFONT FFont = nullptr;
};

// Quality of the track text font: ClearType on Windows XP, antialiased elsewhere. Tests pin the answer.
int TrackFontQuality();
void SetTrackFontQualityOverride(int Quality); // 0 removes the override

class TGdiCanvas : public TPanelCanvas {
public:
    TGdiCanvas() = default;
    TGdiCanvas(const TGdiCanvas&) = delete;
    TGdiCanvas& operator=(const TGdiCanvas&) = delete;

    // Makes the bitmap Width x Height (negative sizes as 0); keeps it when the size is unchanged.
    bool Resize(int Width, int Height);
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    HDC DC() const { return FDC.Get(); }
    // The fonts used for TTextFace::Canvas and TTextFace::Track (not owned).
    void SetFonts(HFONT CanvasFont, HFONT TrackFont) {
        FCanvasFont = CanvasFont;
        FTrackFont = TrackFont;
    }

    TPixelSurface Surface() override;
    int LineHeight(const std::wstring& Text, const TRect& R, TTextFace Face) override;
    void DrawLine(const std::wstring& Text, const TRect& R, TTextAlign Align, TColor Colour, TTextFace Face) override;
    int WrappedHeight(const std::wstring& Text, const TRect& R, TTextFace Face) override;
    void DrawWrapped(const std::wstring& Text, const TRect& R, TColor Colour, TTextFace Face) override;
    void DrawSunkenEdge(const TRect& R) override;

private:
    int Text(const std::wstring& text, RECT r, UINT format, TTextFace face, COLORREF colour);

    MemoryDC FDC;
    GdiObject<HBITMAP> FBitmap;
    SelectGuard FSelected;
    uint8_t* FBits = nullptr;
    int FWidth = 0;
    int FHeight = 0;
    HFONT FCanvasFont = nullptr;
    HFONT FTrackFont = nullptr;
};

} // namespace mellodeck::win
