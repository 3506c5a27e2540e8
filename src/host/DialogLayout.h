#pragma once
// Pixel geometry of dialog controls: the dialogs are laid out in pixels from their design values, so the
// resource's dialog units only give the controls their first place.
#include <windows.h>

#include <string>

namespace mellodeck::win {

struct TBox {
    int Left = 0, Top = 0, Width = 0, Height = 0;
    int Right() const { return Left + Width; }
    int Bottom() const { return Top + Height; }
};

// The control's outer bounds in its parent's client coordinates.
TBox ChildBox(HWND child);
void SetChildBox(HWND child, const TBox& box);
// The text of a window.
std::wstring WindowText(HWND window);
// Width and height of the control's text on one line, in the control's font (an auto-sized label).
SIZE TextExtent(HWND control);
// Height of the control's text wrapped at `width` pixels, in its font (a word-wrapped label).
int WrappedTextHeight(HWND control, int width);
// Sets the client size of a top-level or child dialog.
void SetClientSize(HWND dialog, int width, int height);

} // namespace mellodeck::win
