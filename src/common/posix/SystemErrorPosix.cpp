// POSIX has no per-thread Windows code: common keeps one, in Windows values, beside errno.
#include <cerrno>

#include "common/SystemError.h"

namespace mellodeck {
namespace {

thread_local uint32_t tLastError = 0;

} // namespace

uint32_t LastSystemError() { return tLastError; }

void SetLastSystemError(uint32_t code) { tLastError = code; }

uint32_t SystemErrorFromErrno(int error) {
    switch (error) {
    case ENOENT: return oserr::kFileNotFound;
    case ENOTDIR: return oserr::kPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: return oserr::kAccessDenied;
    case EBADF: return oserr::kInvalidHandle;
    case ENOMEM: return oserr::kNotEnoughMemory;
    case EEXIST: return oserr::kFileExists;
    case ENOSPC: return oserr::kDiskFull;
    case EINVAL: return oserr::kInvalidParameter;
    default: return oserr::kWriteFault;
    }
}

} // namespace mellodeck
