#include "host/DialogLayout.h"

#include "common/win/GdiObjects.h"

namespace mellodeck::win {
namespace {

// Text measured in the control's own font.
RECT MeasureText(HWND control, int width, UINT format) {
    const std::wstring text = WindowText(control);
    WindowDC dc(control);
    RECT area{0, 0, width, 0};
    if (!dc)
        return area;
    const auto font = reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0));
    SelectGuard select;
    if (font)
        select = SelectGuard(dc.Get(), font);
    // An empty text still takes one line.
    const std::wstring measured = text.empty() ? std::wstring(L" ") : text;
    ::DrawTextW(dc.Get(), measured.c_str(), static_cast<int>(measured.size()), &area, format | DT_CALCRECT | DT_NOPREFIX);
    return area;
}

} // namespace

TBox ChildBox(HWND child) {
    RECT r{};
    ::GetWindowRect(child, &r);
    ::MapWindowPoints(HWND_DESKTOP, ::GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

void SetChildBox(HWND child, const TBox& box) {
    ::SetWindowPos(child, nullptr, box.Left, box.Top, box.Width, box.Height, SWP_NOZORDER | SWP_NOACTIVATE);
}

std::wstring WindowText(HWND window) {
    const int length = ::GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const int got = ::GetWindowTextW(window, text.data(), length + 1);
    text.resize(static_cast<size_t>(got > 0 ? got : 0));
    return text;
}

SIZE TextExtent(HWND control) {
    const RECT r = MeasureText(control, 0, DT_SINGLELINE | DT_LEFT);
    return {r.right - r.left, r.bottom - r.top};
}

int WrappedTextHeight(HWND control, int width) {
    const RECT r = MeasureText(control, width, DT_WORDBREAK | DT_LEFT);
    return r.bottom - r.top;
}

void SetClientSize(HWND dialog, int width, int height) {
    RECT r{0, 0, width, height};
    const auto style = static_cast<DWORD>(::GetWindowLongPtrW(dialog, GWL_STYLE));
    const auto exStyle = static_cast<DWORD>(::GetWindowLongPtrW(dialog, GWL_EXSTYLE));
    ::AdjustWindowRectEx(&r, style, FALSE, exStyle);
    ::SetWindowPos(dialog, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace mellodeck::win
