#include "report/ErrorHandler.h"

#include <shared_mutex>

#include "report/Templates.h"

namespace mellodeck {
namespace {

// The process-wide handler. The lock guards the pointer's lifetime: loggers hold it shared while they use
// the handler, and clearing or destroying the handler takes it exclusively. Lock order: this lock before
// the write lock. Allocated once and never freed, so logging during static destruction stays safe.
struct TGlobalHandler {
    std::shared_mutex Lock;
    TErrorHandler* Current = nullptr;
    std::unique_ptr<TErrorHandler> Owned; // the handler made by ReportStartup
    std::mutex StartupLock;               // serialises ReportStartup and ReportShutdown
};

TGlobalHandler& Global() {
    static TGlobalHandler* global = new TGlobalHandler;
    return *global;
}

// One lock for everything that formats or writes log lines, for all handlers of the process. Recursive:
// activation writes its head, and may log a message, while holding it.
std::recursive_mutex& WriteLock() {
    static std::recursive_mutex* lock = new std::recursive_mutex;
    return *lock;
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
    std::unique_lock lock(Global().Lock);
    if (!Global().Current)
        Global().Current = this;
}

TErrorHandler::~TErrorHandler() {
    {
        std::unique_lock lock(Global().Lock);
        if (Global().Current == this)
            Global().Current = nullptr;
    }
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
            FParser.SetMessage(NarrowText(text));
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
    TGlobalHandler& global = Global();
    std::lock_guard startup(global.StartupLock);
    {
        std::shared_lock lock(global.Lock);
        if (global.Current)
            return true;
    }
    std::unique_ptr<TErrorHandler> handler;
    try {
        handler = std::make_unique<TErrorHandler>(L"Errors.log", 1);
    } catch (...) {
        ShowReportStartupFailure(L"Exception handling engine error. Stage 1.", ReportModuleName());
        return false;
    }
    std::unique_lock lock(global.Lock);
    global.Owned = std::move(handler);
    return true;
}

void ReportShutdown() {
    TGlobalHandler& global = Global();
    std::lock_guard startup(global.StartupLock);
    std::unique_ptr<TErrorHandler> owned;
    {
        std::unique_lock lock(global.Lock);
        owned = std::move(global.Owned);
        if (!owned && global.Current)
            global.Current->Deactivate();
    }
    // Destroying it clears the global reference and closes the log.
    owned.reset();
}

TErrorHandler* ErrorHandler() {
    std::shared_lock lock(Global().Lock);
    return Global().Current;
}

void LogError(const std::wstring& text) {
    try {
        std::shared_lock lock(Global().Lock);
        if (Global().Current)
            Global().Current->LogMessage(4, text, false);
    } catch (...) {
        // Logging must never disturb the caller.
    }
}

} // namespace mellodeck
