#pragma once
// Where the exception boundaries (the window procedure of WindowBase, ComBoundary) report what they stop.
// By default the text goes to the debugger output (OutputDebugStringW); a module with a message log routes
// it there once at start-up, e.g. SetFailureSink(&LogError).
#include <windows.h>

#include <string>

namespace mellodeck::win {

using FailureSink = void (*)(const std::wstring& text);

// nullptr restores the debugger output. Set it before windows or COM objects exist.
void SetFailureSink(FailureSink sink) noexcept;
// Hands one line to the sink; never throws (a failing sink is ignored).
void ReportFailure(const std::wstring& text) noexcept;
// Text of the exception being handled; call only inside a catch block. "unknown exception" for one that is
// no std::exception.
std::wstring CurrentExceptionText() noexcept;

} // namespace mellodeck::win
