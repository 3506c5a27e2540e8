#include <windows.h>

#include <vector>

#include "common/AxVersionInfo.h"

namespace mellodeck {

FileVersion GetFileVersion(const std::wstring& path) {
    FileVersion version;
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0)
        return version;
    std::vector<unsigned char> data(size);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, data.data()))
        return version;
    void* fixed = nullptr;
    UINT fixedSize = 0;
    if (!VerQueryValueW(data.data(), L"\\", &fixed, &fixedSize) || fixed == nullptr ||
        fixedSize < sizeof(VS_FIXEDFILEINFO))
        return version;
    const auto* info = static_cast<const VS_FIXEDFILEINFO*>(fixed);
    if (info->dwSignature != 0xFEEF04BD)
        return version;
    version.Major = HIWORD(info->dwFileVersionMS);
    version.Minor = LOWORD(info->dwFileVersionMS);
    version.Release = HIWORD(info->dwFileVersionLS);
    version.Build = LOWORD(info->dwFileVersionLS);
    return version;
}

} // namespace mellodeck
