#include "common/win/FailureSink.h"

#include <atomic>
#include <exception>

#include "common/TextConvert.h"

namespace mellodeck::win {
namespace {

std::atomic<FailureSink> gSink{nullptr};

} // namespace

void SetFailureSink(FailureSink sink) noexcept { gSink.store(sink); }

void ReportFailure(const std::wstring& text) noexcept {
    try {
        if (const FailureSink sink = gSink.load()) {
            sink(text);
            return;
        }
        const std::wstring line = L"Mellodeck: " + text + L"\n";
        ::OutputDebugStringW(line.c_str());
    } catch (...) {
        // Nowhere left to report to.
    }
}

std::wstring CurrentExceptionText() noexcept {
    try {
        throw;
    } catch (const std::exception& e) {
        try {
            return Utf8ToWide(e.what());
        } catch (...) {
            return std::wstring();
        }
    } catch (...) {
        try {
            return L"unknown exception";
        } catch (...) {
            return std::wstring();
        }
    }
}

} // namespace mellodeck::win
