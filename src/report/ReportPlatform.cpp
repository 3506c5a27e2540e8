// The portable half of the log's platform layer.
#include "report/ReportPlatform.h"

#include <filesystem>
#include <system_error>

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
    return folder + kReportPathSeparator + name;
}

bool ReportForceFolders(const std::wstring& folder) {
    if (folder.empty())
        return true;
    std::error_code ec;
    const std::filesystem::path p(folder);
    if (std::filesystem::is_directory(p, ec))
        return true;
    std::filesystem::create_directories(p, ec);
    return std::filesystem::is_directory(p, ec);
}

std::wstring ReportModuleFolder() { return ReportFolderOf(ReportModuleFileName()); }

std::wstring ReportModuleName() {
    const std::wstring path = ReportModuleFileName();
    for (size_t i = path.size(); i > 0; --i)
    {
        if (IsSeparator(path[i - 1]))
            return path.substr(i);
#ifdef _WIN32
        if (path[i - 1] == L':' && i == 2)
            return path.substr(i);
#endif
    }
    return path;
}

} // namespace mellodeck
