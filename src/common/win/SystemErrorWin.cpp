// Win32 keeps the last error per thread itself.
#include <windows.h>

#include "common/SystemError.h"

namespace mellodeck {

static_assert(oserr::kFileNotFound == ERROR_FILE_NOT_FOUND && oserr::kPathNotFound == ERROR_PATH_NOT_FOUND &&
              oserr::kAccessDenied == ERROR_ACCESS_DENIED && oserr::kInvalidHandle == ERROR_INVALID_HANDLE &&
              oserr::kNotEnoughMemory == ERROR_NOT_ENOUGH_MEMORY && oserr::kWriteFault == ERROR_WRITE_FAULT &&
              oserr::kReadFault == ERROR_READ_FAULT && oserr::kSharingViolation == ERROR_SHARING_VIOLATION &&
              oserr::kHandleEof == ERROR_HANDLE_EOF && oserr::kFileExists == ERROR_FILE_EXISTS &&
              oserr::kInvalidParameter == ERROR_INVALID_PARAMETER && oserr::kDiskFull == ERROR_DISK_FULL &&
              oserr::kAlreadyExists == ERROR_ALREADY_EXISTS && oserr::kTimeout == ERROR_TIMEOUT);

uint32_t LastSystemError() { return GetLastError(); }

void SetLastSystemError(uint32_t code) { SetLastError(code); }

} // namespace mellodeck
