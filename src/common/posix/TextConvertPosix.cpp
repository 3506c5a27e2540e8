// The 8-bit code page of the native build: Latin-1, where each byte is the code point of its value.
#include <cstdint>

#include "common/TextConvert.h"

namespace mellodeck {

std::string WideToAnsi(const std::wstring& text) {
    std::string out;
    out.reserve(text.size());
    for (wchar_t c : text)
        out += (static_cast<uint32_t>(c) < 0x100) ? static_cast<char>(c) : '?';
    return out;
}

std::wstring AnsiToWide(const std::string& text) { return AnsiToWide(text.data(), text.size()); }

std::wstring AnsiToWide(const char* text, size_t length) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    return std::wstring(bytes, bytes + length);
}

} // namespace mellodeck
