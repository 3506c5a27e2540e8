// The log's platform layer on POSIX systems: UTF-8 text, stderr for the user.
#include "report/ReportPlatform.h"

#include <cstdio>

#include "common/TextConvert.h"

namespace mellodeck {

std::string ReportNarrowText(const std::wstring& text) { return WideToUtf8(text); }

void ShowReportStartupFailure(const std::wstring& text, const std::wstring& caption) {
    std::fprintf(stderr, "%s: %s\n", ReportNarrowText(caption).c_str(), ReportNarrowText(text).c_str());
}

} // namespace mellodeck
