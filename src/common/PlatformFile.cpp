// The platform-neutral part of PlatformFile: ownership moves. Opening, I/O and closing are in
// posix/PlatformFilePosix.cpp and win/PlatformFileWin.cpp.
#include "common/PlatformFile.h"

namespace mellodeck {

PlatformFile::~PlatformFile() { Close(); }

PlatformFile::PlatformFile(PlatformFile&& other) noexcept
    : FHandle(other.Release()), FLastError(other.FLastError), FSizeAtOpen(other.FSizeAtOpen) {}

PlatformFile& PlatformFile::operator=(PlatformFile&& other) noexcept {
    if (this != &other) {
        Close();
        FHandle = other.Release();
        FLastError = other.FLastError;
        FSizeAtOpen = other.FSizeAtOpen;
    }
    return *this;
}

TFileHandle PlatformFile::Release() {
    const TFileHandle handle = FHandle;
    FHandle = kInvalidFileHandle;
    return handle;
}

} // namespace mellodeck
