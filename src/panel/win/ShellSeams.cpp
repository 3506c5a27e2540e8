#include "panel/win/ShellSeams.h"

#include <shellapi.h>

#include <utility>

namespace mellodeck::win {
namespace {

TMessageBoxSeam& MessageBoxSeam() {
    static TMessageBoxSeam seam;
    return seam;
}

TShellOpenSeam& ShellOpenSeam() {
    static TShellOpenSeam seam;
    return seam;
}

const wchar_t* OrNull(const std::wstring& text) { return text.empty() ? nullptr : text.c_str(); }

} // namespace

void SetMessageBoxSeam(TMessageBoxSeam seam) { MessageBoxSeam() = std::move(seam); }
void SetShellOpenSeam(TShellOpenSeam seam) { ShellOpenSeam() = std::move(seam); }

int ShowMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type) {
    if (MessageBoxSeam())
        return MessageBoxSeam()(owner, text, caption, type);
    return ::MessageBoxW(owner, text.c_str(), caption.c_str(), type);
}

INT_PTR ShellOpen(HWND owner, const std::wstring& file, const std::wstring& parameters, const std::wstring& folder,
                  int show) {
    if (ShellOpenSeam())
        return ShellOpenSeam()(owner, file, parameters, folder, show);
    return reinterpret_cast<INT_PTR>(
        ::ShellExecuteW(owner, L"open", file.c_str(), OrNull(parameters), OrNull(folder), show));
}

} // namespace mellodeck::win
