// The log's platform layer on POSIX systems: UTF-8 paths and text, errno, plain descriptors.
#include "report/ReportPlatform.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace mellodeck {
namespace {

std::wstring WideFromUtf8(const std::string& text) {
    std::wstring out;
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        int extra = c < 0x80 ? 0 : (c >> 5) == 0x6 ? 1 : (c >> 4) == 0xE ? 2 : (c >> 3) == 0x1E ? 3 : -1;
        if (extra < 0 || i + static_cast<size_t>(extra) >= text.size()) {
            out += L'?';
            ++i;
            continue;
        }
        char32_t cp = extra == 0 ? c : extra == 1 ? (c & 0x1F) : extra == 2 ? (c & 0x0F) : (c & 0x07);
        bool ok = true;
        for (int k = 1; k <= extra; ++k) {
            const unsigned char cc = static_cast<unsigned char>(text[i + k]);
            if ((cc & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            cp = (cp << 6) | (cc & 0x3F);
        }
        if (!ok) {
            out += L'?';
            ++i;
            continue;
        }
        out += static_cast<wchar_t>(cp);
        i += static_cast<size_t>(extra) + 1;
    }
    return out;
}

} // namespace

std::string ReportNarrowText(const std::wstring& text) {
    std::string out;
    out.reserve(text.size());
    for (wchar_t wc : text) {
        const auto cp = static_cast<uint32_t>(wc);
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            if (cp >= 0xD800 && cp <= 0xDFFF) {
                out += '?';
                continue;
            }
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x110000) {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += '?';
        }
    }
    return out;
}

std::wstring ReportModuleFileName() {
    // Natively this code is linked statically into the executable, so "this module" is the program.
    std::string buffer(4096, '\0');
    const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n <= 0 || static_cast<size_t>(n) >= buffer.size())
        return std::wstring();
    buffer.resize(static_cast<size_t>(n));
    return WideFromUtf8(buffer);
}

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
