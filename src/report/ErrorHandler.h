#pragma once
// The process-wide diagnostic message log. It is created at start-up and never activated in this program,
// so messages are formatted and dropped; activation exists for diagnostics builds and tests.
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "report/ExceptionTemplateParser.h"
#include "report/ReportPlatform.h"

namespace mellodeck {

class TErrorHandler {
public:
    // Supplies a named template as lines; false when there is no such template.
    using TTemplateLoader = std::function<bool(const std::string& name, std::vector<std::string>& lines)>;

    // The first handler made becomes the process-wide one (see ErrorHandler()).
    TErrorHandler(const std::wstring& logName, int createMode);
    ~TErrorHandler();
    TErrorHandler(const TErrorHandler&) = delete;
    TErrorHandler& operator=(const TErrorHandler&) = delete;

    // Formats one message with the message template and writes it while active. Returns whether it was
    // written (false while inactive). Message type 4 ("E:") is what the media layer uses. With
    // addSystemCode, a written message is followed by the caller's last system error code. The caller's
    // last system error code is left as it was.
    bool LogMessage(uint8_t type, const std::wstring& text, bool addSystemCode = false);

    // Opens the log (creating its folder when missing), writes the head and becomes active. False, with
    // OpenError() set, when the file cannot be opened. Active handlers stay as they are.
    bool Activate();
    // Closes the log; later messages are dropped again.
    void Deactivate();
    bool Active() const;
    // System error code of the last failed open, 0 when the last open succeeded or none was tried.
    uint32_t OpenError() const;

    // Where the log is written: LogFolder() (this module's folder when empty) joined with the log name,
    // or the log name itself when UseLogNameAsPath() is set.
    std::wstring LogPath() const;
    const std::wstring& LogFolder() const { return FLogFolder; }
    void SetLogFolder(std::wstring folder);
    const std::wstring& LogName() const { return FLogName; }
    int CreateMode() const { return FCreateMode; }
    bool UseLogNameAsPath() const { return FUseLogNameAsPath; }
    void SetUseLogNameAsPath(bool value);
    bool WriteToFile() const { return FWriteToFile; }
    void SetWriteToFile(bool value);
    // Only stored; nothing installs exception hooks.
    bool HookExceptions() const { return FHookExceptions; }
    void SetHookExceptions(bool value) { FHookExceptions = value; }
    // Type of the message being (or last) formatted.
    uint8_t MessageType() const { return FMessageType; }
    // The last line written to the log (8-bit, without its line break).
    std::string LastLine() const;

    // The handler's parser, e.g. to give it other system facts. Not guarded: set it up before messages
    // can arrive from other threads.
    TExceptionTemplateParser& Parser() { return FParser; }
    // Replaces where templates come from (the compiled-in templates by default); the message template is
    // loaded again on next use.
    void SetTemplateLoader(TTemplateLoader loader);

    // "_:", "!:", "I:", "?:", "E:" for types 0 to 4; other types read as "?:".
    static const char* MessageTypeMarker(uint8_t type);

private:
    bool WriteLine(const std::string& text);
    bool WriteLines(const std::vector<std::string>& lines);
    void WriteHead();

    TExceptionTemplateParser FParser;
    std::wstring FLogName;
    int FCreateMode = 0;
    TLogFile FFile;
    uint32_t FOpenError = 0;
    std::vector<std::string> FMessageTemplate;
    bool FMessageTemplateLoaded = false;
    uint8_t FMessageType = 0;
    bool FActive = false;
    bool FWriteToFile = true;
    bool FHookExceptions = false;
    std::string FLastLine;
    bool FUseLogNameAsPath = false;
    std::wstring FLogFolder;
    TTemplateLoader FTemplateLoader;
};

// Start-up and shutdown of the process-wide handler ("Errors.log", created anew when activated). Both may
// be called more than once and from any thread; start-up returns false (after telling the user) when the
// handler cannot be made.
bool ReportStartup();
void ReportShutdown();

// The global handler (null before start-up, after shutdown, or when start-up failed). The pointer is only
// safe to use while nothing shuts the log down; LogError is the thread-safe way to log.
TErrorHandler* ErrorHandler();
// Convenience used by the media layer: LogMessage(4, text, false) on the global handler, if any. Safe from
// any thread, before start-up and after shutdown (then it does nothing); never throws.
void LogError(const std::wstring& text);
// Diagnostics and tests: a callback that sees every message handed to LogError (type, text), whether or
// not a handler exists or is active. nullptr removes it.
void SetLogObserver(std::function<void(uint8_t type, const std::wstring& text)> observer);

} // namespace mellodeck
