// The 8-bit code page on Windows: the process's ANSI code page (CP_ACP).
#include <windows.h>

#include <climits>

#include "common/TextConvert.h"

namespace mellodeck {

std::string WideToAnsi(const std::wstring& text) {
    if (text.empty())
        return std::string();
    const int size = static_cast<int>(text.size());
    const int n = WideCharToMultiByte(CP_ACP, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    // Only arguments the system rejects fail here; a "?" per character keeps the text's length in sight.
    if (n <= 0)
        return std::string(text.size(), '?');
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), size, out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring AnsiToWide(const std::string& text) { return AnsiToWide(text.data(), text.size()); }

std::wstring AnsiToWide(const char* text, size_t length) {
    if (length == 0 || length > static_cast<size_t>(INT_MAX))
        return std::wstring();
    const int size = static_cast<int>(length);
    const int n = MultiByteToWideChar(CP_ACP, 0, text, size, nullptr, 0);
    if (n <= 0)
        return std::wstring();
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, size, out.data(), n);
    return out;
}

} // namespace mellodeck
