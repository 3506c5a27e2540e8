#include "report/ErrorHandler.h"

#include "common/AxSys.h"
#include "common/SystemError.h"
#include "report/Templates.h"

namespace mellodeck {
namespace {

// One lock for everything that formats or writes log lines, for all handlers of the process, and for the
// global handler reference: loggers hold it while they use the global handler, so clearing or destroying
// that handler waits for them. Recursive: activation writes its head, and may log a message, while holding
// it. Allocated once and never freed, so logging during static destruction stays safe.
std::recursive_mutex& WriteLock() {
    static std::recursive_mutex* lock = new std::recursive_mutex;
    return *lock;
}

struct TGlobalHandler {
    TErrorHandler* Current = nullptr;
    std::unique_ptr<TErrorHandler> Owned; // the handler made by ReportStartup
};

// Guarded by WriteLock().
TGlobalHandler& Global() {
    static TGlobalHandler* global = new TGlobalHandler;
    return *global;
}

} // namespace

TErrorHandler::TErrorHandler(const std::wstring& logName, int createMode)
    : FLogName(logName), FCreateMode(createMode), FTemplateLoader(&LoadTemplateResource) {
    FParser.SetOnGetValue([this](TStringParser&, const std::string& name, std::string& value) {
        if (name.size() == 7) {
            static constexpr char kName[] = "msgtype";
            bool same = true;
            for (size_t i = 0; i < 7 && same; ++i)
                same = (name[i] | 0x20) == kName[i];
            if (same)
                value = MessageTypeMarker(FMessageType);
        }
    });
    std::lock_guard lock(WriteLock());
    if (!Global().Current)
        Global().Current = this;
}

TErrorHandler::~TErrorHandler() {
    std::lock_guard lock(WriteLock());
    if (Global().Current == this)
        Global().Current = nullptr;
    Deactivate();
}

const char* TErrorHandler::MessageTypeMarker(uint8_t type) {
    static constexpr const char* kMarkers[] = {"_:", "!:", "I:", "?:", "E:"};
    return type < 5 ? kMarkers[type] : "?:";
}

bool TErrorHandler::WriteLine(const std::string& text) {
    std::lock_guard lock(WriteLock());
    // The file is open only while active (and while activation writes the head).
    if (!FWriteToFile || !FFile.IsOpen())
        return false;
    if (!FFile.Write(text + "\r\n"))
        return false;
    FLastLine = text;
    return true;
}

bool TErrorHandler::WriteLines(const std::vector<std::string>& lines) {
    if (lines.empty())
        return false;
    for (const std::string& line : lines)
        if (!WriteLine(line))
            return false;
    return true;
}

bool TErrorHandler::LogMessage(uint8_t type, const std::wstring& text, bool addSystemCode) {
    // Taken before anything here can change it, and given back at the end.
    const uint32_t systemCode = LastSystemError();
    bool written = false;
    try {
        // Formatting uses this handler's one parser, so it is serialised together with the writing.
        std::lock_guard lock(WriteLock());
        if (!FMessageTemplateLoaded) {
            std::vector<std::string> lines;
            if (!FTemplateLoader || !FTemplateLoader(kMessageTemplateName, lines)) {
                SetLastSystemError(systemCode);
                return false;
            }
            FMessageTemplate = std::move(lines);
            FMessageTemplateLoaded = true;
        }
        try {
            FMessageType = type;
            FParser.SetMessage(ReportNarrowText(text));
            FParser.SetTemplate(FMessageTemplate);
            written = WriteLines(FParser.Result());
            if (written && addSystemCode) {
                // Aligned two columns past where the message text starts on the line above.
                const size_t column = FParser.MessageColumn().value_or(0);
                WriteLine(std::string(column + 2, ' ') + "System return code: " + std::to_string(systemCode));
            }
            FParser.Clear();
        } catch (...) {
            written = false;
            FParser.Clear();
            WriteLine("Writing message failure.");
        }
    } catch (...) {
        written = false;
    }
    SetLastSystemError(systemCode);
    return written;
}

void TErrorHandler::WriteHead() {
    std::vector<std::string> head;
    if (!FTemplateLoader || !FTemplateLoader(kHeadTemplateName, head)) {
        LogMessage(4, L"Can`t load head template.", false);
        return;
    }
    bool formatted = false;
    try {
        FParser.SetTemplate(head);
        formatted = true;
        WriteLines(FParser.Result());
    } catch (...) {
    }
    FParser.Clear();
    if (!formatted)
        LogMessage(4, L"Can`t parse template", false);
}

bool TErrorHandler::Activate() {
    std::lock_guard lock(WriteLock());
    if (FActive)
        return true;
    const std::wstring path = LogPath();
    // A folder that cannot be made shows up as the open's error code.
    ReportForceFolders(ReportFolderOf(path));
    const uint32_t error = FFile.Open(path, FCreateMode != 0);
    FOpenError = error;
    if (error != 0)
        return false;
    WriteHead();
    FActive = true;
    return true;
}

void TErrorHandler::Deactivate() {
    std::lock_guard lock(WriteLock());
    FFile.Close();
    FActive = false;
}

bool TErrorHandler::Active() const {
    std::lock_guard lock(WriteLock());
    return FActive;
}

uint32_t TErrorHandler::OpenError() const {
    std::lock_guard lock(WriteLock());
    return FOpenError;
}

std::string TErrorHandler::LastLine() const {
    std::lock_guard lock(WriteLock());
    return FLastLine;
}

std::wstring TErrorHandler::LogPath() const {
    std::lock_guard lock(WriteLock());
    if (FUseLogNameAsPath)
        return FLogName;
    return ReportJoinPath(FLogFolder.empty() ? ReportModuleFolder() : FLogFolder, FLogName);
}

void TErrorHandler::SetLogFolder(std::wstring folder) {
    std::lock_guard lock(WriteLock());
    FLogFolder = std::move(folder);
}

void TErrorHandler::SetUseLogNameAsPath(bool value) {
    std::lock_guard lock(WriteLock());
    FUseLogNameAsPath = value;
}

void TErrorHandler::SetWriteToFile(bool value) {
    std::lock_guard lock(WriteLock());
    FWriteToFile = value;
}

void TErrorHandler::SetTemplateLoader(TTemplateLoader loader) {
    std::lock_guard lock(WriteLock());
    FTemplateLoader = std::move(loader);
    FMessageTemplate.clear();
    FMessageTemplateLoaded = false;
}

bool ReportStartup() {
    {
        std::lock_guard lock(WriteLock());
        TGlobalHandler& global = Global();
        if (global.Current)
            return true;
        try {
            global.Owned = std::make_unique<TErrorHandler>(L"Errors.log", 1);
            return true;
        } catch (...) {
        }
    }
    // Told outside the lock: the message box waits for the user.
    ShowReportStartupFailure(L"Exception handling engine error. Stage 1.", ModuleName());
    return false;
}

void ReportShutdown() {
    std::lock_guard lock(WriteLock());
    TGlobalHandler& global = Global();
    if (global.Owned)
        global.Owned.reset(); // clears the global reference and closes the log
    else if (global.Current)
        global.Current->Deactivate();
}

TErrorHandler* ErrorHandler() {
    std::lock_guard lock(WriteLock());
    return Global().Current;
}

namespace {
std::function<void(uint8_t, const std::wstring&)>& LogObserver() {
    static std::function<void(uint8_t, const std::wstring&)> observer;
    return observer;
}
} // namespace

void SetLogObserver(std::function<void(uint8_t type, const std::wstring& text)> observer) {
    std::lock_guard lock(WriteLock());
    LogObserver() = std::move(observer);
}

void LogError(const std::wstring& text) {
    try {
        std::lock_guard lock(WriteLock());
        if (LogObserver())
            LogObserver()(4, text);
        if (TErrorHandler* handler = Global().Current)
            handler->LogMessage(4, text, false);
    } catch (...) {
        // Logging must never disturb the caller.
    }
}

} // namespace mellodeck
