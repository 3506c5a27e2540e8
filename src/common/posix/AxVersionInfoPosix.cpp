// Version resources are a Windows executable format feature; the native build has none to read.
#include "common/AxVersionInfo.h"

namespace mellodeck {

FileVersion GetFileVersion(const std::wstring&) {
    return FileVersion{};
}

} // namespace mellodeck
