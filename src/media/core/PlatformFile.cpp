// The platform-neutral part of PlatformFile: ownership moves. Opening, I/O and closing are in
// PlatformFilePosix.cpp and win/PlatformFileWin.cpp.
#include "media/core/PlatformFile.h"

namespace mellodeck {

PlatformFile::~PlatformFile() { Close(); }

PlatformFile::PlatformFile(PlatformFile&& other) noexcept
    : FHandle(other.FHandle), FLastError(other.FLastError), FSizeAtOpen(other.FSizeAtOpen) {
    other.FHandle = -1;
}

PlatformFile& PlatformFile::operator=(PlatformFile&& other) noexcept {
    if (this != &other) {
        Close();
        FHandle = other.FHandle;
        FLastError = other.FLastError;
        FSizeAtOpen = other.FSizeAtOpen;
        other.FHandle = -1;
    }
    return *this;
}

} // namespace mellodeck
