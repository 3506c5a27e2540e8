#pragma once
// The process-wide diagnostic message log. It is created at start-up and never activated in this program,
// so messages are formatted and dropped; activation exists for diagnostics builds and tests.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace mellodeck {

class TExceptionTemplateParser;

class TErrorHandler {
public:
    TErrorHandler(const std::wstring& logName, int createMode);
    ~TErrorHandler();
    TErrorHandler(const TErrorHandler&) = delete;
    TErrorHandler& operator=(const TErrorHandler&) = delete;

    // Formats one message with the message template and writes it while active. Returns whether it was
    // written (false while inactive). Message type 4 ("E:") is what the media layer uses.
    bool LogMessage(uint8_t type, const std::wstring& text, bool addSystemCode = false);
    // ... activation API provided by the report module
};

// The global handler (may be null when start-up failed).
TErrorHandler* ErrorHandler();
// Convenience used by the media layer: LogMessage(4, text, false) on the global handler, if any.
void LogError(const std::wstring& text);

} // namespace mellodeck
