#pragma once
// The few operating-system services the message log needs beyond those in common/, with a Win32
// implementation in win/ and a POSIX one in posix/. The log file is common's PlatformFile; the calling
// thread's system error code is common's LastSystemError (common/SystemError.h). Paths are wide text; on
// POSIX they are passed to the system as UTF-8. The module's own path and name come from common/AxSys.h
// (ModuleFileName(false), ModuleName()); paths are joined with common's kPathDelimiter.
#include <cstdint>
#include <string>

#include "common/PlatformFile.h"

namespace mellodeck {

// Folder of the module this code is linked into (ModuleFileName(false)), as ReportFolderOf gives it.
std::wstring ReportModuleFolder();

// Everything before the last path separator ("/" or "\"; ":" ends a drive on Windows); empty without one.
std::wstring ReportFolderOf(const std::wstring& path);
// folder + separator + name (no doubled separator; just name when folder is empty).
std::wstring ReportJoinPath(const std::wstring& folder, const std::wstring& name);
// Creates the folder and every missing parent (common's ForceFolders). True when it exists afterwards;
// an empty path is true rather than an error, and on Windows "/" separates folders as "\" does.
bool ReportForceFolders(const std::wstring& folder);

// The log's 8-bit text: the ANSI code page on Windows, where unmappable characters give "?"; UTF-8
// elsewhere (WideToUtf8, where what is no character gives U+FFFD).
std::string ReportNarrowText(const std::wstring& text);

// Tells the user that the log could not be set up (a warning message box on Windows, stderr elsewhere).
void ShowReportStartupFailure(const std::wstring& text, const std::wstring& caption);

// The log file (PlatformFile's Append access): opened for reading and writing, readable by others
// meanwhile, written at its end.
class TLogFile {
public:
    // createNew: start with an empty file; otherwise an existing file is kept and written after its
    // end (a missing one is created). Returns 0 or the system error code.
    uint32_t Open(const std::wstring& path, bool createNew);
    // Writes all of `bytes`; false when the file is not open or the write fails.
    bool Write(const std::string& bytes);
    void Close() { FFile.Close(); }
    bool IsOpen() const { return FFile.IsOpen(); }

private:
    PlatformFile FFile;
};

} // namespace mellodeck
