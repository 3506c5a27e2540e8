#pragma once
// The calling thread's last system error code, and the codes the platform-neutral code compares against.
// Codes are Windows system error codes on every platform: Win32 keeps them per thread itself; the POSIX
// side keeps its own per-thread code, set by the file operations in common (PlatformFile.h) from errno
// through SystemErrorFromErrno, so a code logged or returned means the same in both builds.
#include <cstdint>

namespace mellodeck {

namespace oserr {
constexpr uint32_t kFileNotFound = 2;
constexpr uint32_t kPathNotFound = 3;
constexpr uint32_t kAccessDenied = 5;
constexpr uint32_t kInvalidHandle = 6;
constexpr uint32_t kNotEnoughMemory = 8;
constexpr uint32_t kWriteFault = 29;
constexpr uint32_t kReadFault = 30;
constexpr uint32_t kSharingViolation = 32;
constexpr uint32_t kHandleEof = 38;
constexpr uint32_t kFileExists = 80;
constexpr uint32_t kInvalidParameter = 87;
constexpr uint32_t kDiskFull = 112;
constexpr uint32_t kAlreadyExists = 183;
constexpr uint32_t kTimeout = 1460;
} // namespace oserr

// GetLastError / SetLastError on Windows; the thread's own code elsewhere (0 until something sets it).
uint32_t LastSystemError();
void SetLastSystemError(uint32_t code);

#ifndef _WIN32
// The Windows code closest to an errno value (anything without a closer match reads as kWriteFault).
uint32_t SystemErrorFromErrno(int error);
#endif

} // namespace mellodeck
