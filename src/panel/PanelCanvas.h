#pragma once
// What the panel draws on: a 32-bit surface (pixels written directly) plus the text and edge drawing that
// needs the system's fonts. The Windows face draws with GDI into a DIB section; tests use a canvas with
// fixed glyph metrics.
#include <string>

#include "panel/PanelTypes.h"

namespace mellodeck {

enum class TTextAlign { Left, Center };

// Which font a text is drawn with: the panel's canvas font ("Tahoma") or a fresh copy of the track text font
// (weight 500, smoothed), made and freed for the drawing pass that uses it.
enum class TTextFace { Canvas, Track };

class TPanelCanvas {
public:
    virtual ~TPanelCanvas() = default;

    // The pixels; text drawn before this call is flushed into them.
    virtual TPixelSurface Surface() = 0;

    // One line, cut with an end ellipsis when wider than R: the height it takes.
    virtual int LineHeight(const std::wstring& Text, const TRect& R, TTextFace Face) = 0;
    virtual void DrawLine(const std::wstring& Text, const TRect& R, TTextAlign Align, TColor Colour,
                          TTextFace Face) = 0;
    // Word-wrapped text centred horizontally in R's width: the height of the block, and drawing it from
    // R's top.
    virtual int WrappedHeight(const std::wstring& Text, const TRect& R, TTextFace Face) = 0;
    virtual void DrawWrapped(const std::wstring& Text, const TRect& R, TColor Colour, TTextFace Face) = 0;
    // A sunken outer edge around R (what a button without its skin shows).
    virtual void DrawSunkenEdge(const TRect& R) = 0;
};

} // namespace mellodeck
