#include "common/AxVersionInfo.h"

namespace mellodeck {

std::wstring FormatFileVersion(const FileVersion& version) {
    return std::to_wstring(version.Major) + L'.' + std::to_wstring(version.Minor) + L'.' +
           std::to_wstring(version.Release) + L'.' + std::to_wstring(version.Build);
}

} // namespace mellodeck
