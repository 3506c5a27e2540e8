// The portable half of the log's platform layer.
#include "report/ReportPlatform.h"

#include "common/AxSys.h"
#include "common/FileUtils.h"

namespace mellodeck {
namespace {

bool IsSeparator(wchar_t c) {
#ifdef _WIN32
    return c == L'\\' || c == L'/';
#else
    return c == L'/';
#endif
}

} // namespace

std::wstring ReportFolderOf(const std::wstring& path) {
    for (size_t i = path.size(); i > 0; --i) {
        const wchar_t c = path[i - 1];
        if (IsSeparator(c)) {
            // Keep the root itself ("/" or "C:\") rather than cutting it to nothing.
            if (i == 1)
                return path.substr(0, 1);
#ifdef _WIN32
            if (i == 3 && path[1] == L':')
                return path.substr(0, 3);
#endif
            return path.substr(0, i - 1);
        }
#ifdef _WIN32
        if (c == L':')
            return path.substr(0, i);
#endif
    }
    return std::wstring();
}

std::wstring ReportJoinPath(const std::wstring& folder, const std::wstring& name) {
    if (folder.empty())
        return name;
    if (IsSeparator(folder.back()))
        return folder + name;
    return folder + kPathDelimiter + name;
}

bool ReportForceFolders(const std::wstring& folder) {
    // ForceFolders refuses an empty path (no folder part: the log goes to the current folder).
    if (folder.empty())
        return true;
#ifdef _WIN32
    // The log's paths accept either separator; ForceFolders splits at "\" only.
    std::wstring path = folder;
    for (wchar_t& c : path)
        if (c == L'/')
            c = kPathDelimiter;
    return ForceFolders(path);
#else
    return ForceFolders(folder);
#endif
}

std::wstring ReportModuleFolder() { return ReportFolderOf(ModuleFileName(false)); }

uint32_t TLogFile::Open(const std::wstring& path, bool createNew) {
    uint32_t error = 0;
    FFile = PlatformFile::Open(path, FileAccess::Append,
                               createNew ? FileDisposition::CreateAlways : FileDisposition::OpenAlways, error);
    return error;
}

bool TLogFile::Write(const std::string& bytes) {
    return FFile.Write(bytes.data(), bytes.size()) == static_cast<int64_t>(bytes.size());
}

} // namespace mellodeck
