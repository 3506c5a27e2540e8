// The log's platform layer on Windows: the ANSI code page for the log's text, a message box for the user.
#include "report/ReportPlatform.h"

#include <windows.h>

#include "common/TextConvert.h"

namespace mellodeck {

std::string ReportNarrowText(const std::wstring& text) { return WideToAnsi(text); }

void ShowReportStartupFailure(const std::wstring& text, const std::wstring& caption) {
    MessageBoxW(nullptr, text.c_str(), caption.c_str(), MB_OK | MB_ICONWARNING);
}

} // namespace mellodeck
