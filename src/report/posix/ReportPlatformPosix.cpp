// The log's platform layer on POSIX systems: UTF-8 paths and text, errno, plain descriptors.
#include "report/ReportPlatform.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

#include "common/TextConvert.h"

namespace mellodeck {

std::string ReportNarrowText(const std::wstring& text) { return WideToUtf8(text); }

uint32_t ReportLastError() { return static_cast<uint32_t>(errno); }

void SetReportLastError(uint32_t code) { errno = static_cast<int>(code); }

void ShowReportStartupFailure(const std::wstring& text, const std::wstring& caption) {
    std::fprintf(stderr, "%s: %s\n", ReportNarrowText(caption).c_str(), ReportNarrowText(text).c_str());
}

uint32_t TLogFile::Open(const std::wstring& path, bool createNew) {
    Close();
    const int flags = O_RDWR | O_CREAT | O_CLOEXEC | (createNew ? O_TRUNC : O_APPEND);
    const int fd = ::open(ReportNarrowText(path).c_str(), flags, 0644);
    if (fd < 0)
        return errno != 0 ? static_cast<uint32_t>(errno) : static_cast<uint32_t>(EIO);
    FHandle = fd;
    return 0;
}

bool TLogFile::Write(const std::string& bytes) {
    if (!IsOpen())
        return false;
    const char* p = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(static_cast<int>(FHandle), p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        left -= static_cast<size_t>(n);
    }
    return true;
}

void TLogFile::Close() {
    if (IsOpen()) {
        ::close(static_cast<int>(FHandle));
        FHandle = kNoHandle;
    }
}

} // namespace mellodeck
