// The log's platform layer on Windows: wide paths, the ANSI code page for the log's text, GetLastError.
#include "report/ReportPlatform.h"

#include <windows.h>

namespace mellodeck {

std::string ReportNarrowText(const std::wstring& text) {
    if (text.empty())
        return std::string();
    const int size = static_cast<int>(text.size());
    const int n = WideCharToMultiByte(CP_ACP, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    if (n <= 0)
        return std::string(text.size(), '?');
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), size, out.data(), n, nullptr, nullptr);
    return out;
}

uint32_t ReportLastError() { return GetLastError(); }

void SetReportLastError(uint32_t code) { SetLastError(code); }

void ShowReportStartupFailure(const std::wstring& text, const std::wstring& caption) {
    MessageBoxW(nullptr, text.c_str(), caption.c_str(), MB_OK | MB_ICONWARNING);
}

uint32_t TLogFile::Open(const std::wstring& path, bool createNew) {
    Close();
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              createNew ? CREATE_ALWAYS : OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error != 0 ? error : ERROR_OPEN_FAILED;
    }
    // An existing log is continued, not overwritten from its start.
    LARGE_INTEGER zero{};
    if (!createNew && !SetFilePointerEx(file, zero, nullptr, FILE_END)) {
        const DWORD error = GetLastError();
        CloseHandle(file);
        return error != 0 ? error : ERROR_SEEK;
    }
    FHandle = reinterpret_cast<intptr_t>(file);
    return 0;
}

bool TLogFile::Write(const std::string& bytes) {
    if (!IsOpen())
        return false;
    const char* p = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        const DWORD chunk = left > 0x40000000u ? 0x40000000u : static_cast<DWORD>(left);
        DWORD written = 0;
        if (!WriteFile(reinterpret_cast<HANDLE>(FHandle), p, chunk, &written, nullptr) || written == 0)
            return false;
        p += written;
        left -= written;
    }
    return true;
}

void TLogFile::Close() {
    if (IsOpen()) {
        CloseHandle(reinterpret_cast<HANDLE>(FHandle));
        FHandle = kNoHandle;
    }
}

} // namespace mellodeck
