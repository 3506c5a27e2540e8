#pragma once
// The two ways the panel reaches the user and the desktop outside its own window: message boxes and the
// shell's "open". Each goes through one replaceable function, so tests answer the boxes and never start a
// browser (under Wine an http "open" starts the machine's browser).
#include <windows.h>

#include <functional>
#include <string>

namespace mellodeck::win {

// MessageBoxW's parameters and result (IDYES, IDNO, IDOK...).
using TMessageBoxSeam = std::function<int(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type)>;
// ShellExecuteW with the "open" verb; the result as ShellExecuteW reports it (greater than 32 on success).
using TShellOpenSeam = std::function<INT_PTR(HWND owner, const std::wstring& file, const std::wstring& parameters,
                                             const std::wstring& folder, int show)>;

// Replace the system calls; an empty function restores them. Main thread only.
void SetMessageBoxSeam(TMessageBoxSeam seam);
void SetShellOpenSeam(TShellOpenSeam seam);

int ShowMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type);
INT_PTR ShellOpen(HWND owner, const std::wstring& file, const std::wstring& parameters, const std::wstring& folder,
                  int show);

} // namespace mellodeck::win
