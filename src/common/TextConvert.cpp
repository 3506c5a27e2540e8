// UTF-8 and UTF-16 conversions shared by both platforms and every subsystem: file names on POSIX, texts
// stored as UTF-8 or UTF-16, the log's text.
#include "common/TextConvert.h"

#include "common/ByteOrder.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace mellodeck {
namespace {

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

void AppendWide(std::wstring& out, char32_t cp) {
    if constexpr (sizeof(wchar_t) == 2) {
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<wchar_t>(0xD800 + (cp >> 10));
            out += static_cast<wchar_t>(0xDC00 + (cp & 0x3FF));
            return;
        }
    }
    out += static_cast<wchar_t>(cp);
}

} // namespace

std::string WideToUtf8(const std::wstring& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t cp = static_cast<char32_t>(text[i]);
        if constexpr (sizeof(wchar_t) == 2) {
            if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
                text[i + 1] <= 0xDFFF) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (static_cast<char32_t>(text[i + 1]) - 0xDC00);
                ++i;
            }
        }
        // What is left of the surrogate range is a lone half (UTF-16) or no character at all (UTF-32);
        // written out as it is, it would make invalid UTF-8.
        if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            cp = 0xFFFD;
        AppendUtf8(out, cp);
    }
    return out;
}

std::wstring Utf8ToWide(const std::string& text) { return Utf8ToWide(text.data(), text.size()); }

std::wstring Utf8ToWide(const char* text, size_t length) {
    std::wstring out;
    out.reserve(length);
    const auto* s = reinterpret_cast<const unsigned char*>(text);
    const size_t n = length;
    size_t i = 0;
    while (i < n) {
        unsigned char c = s[i];
        if (c < 0x80) {
            // A run of ASCII, most of any text, is found eight bytes at a time and widened in one go.
            size_t end = i + 1;
            uint64_t eight;
            while (end + 8 <= n && (std::memcpy(&eight, s + end, 8), (eight & 0x8080808080808080ULL) == 0))
                end += 8;
            while (end < n && s[end] < 0x80)
                ++end;
            const size_t at = out.size();
            out.resize(at + (end - i));
            std::copy(s + i, s + end, out.begin() + static_cast<std::ptrdiff_t>(at));
            i = end;
            continue;
        }
        char32_t cp;
        char32_t minimum; // the smallest value that needs this many bytes
        int extra;
        if ((c & 0xE0) == 0xC0) {
            cp = c & 0x1F;
            minimum = 0x80;
            extra = 1;
        } else if ((c & 0xF0) == 0xE0) {
            cp = c & 0x0F;
            minimum = 0x800;
            extra = 2;
        } else if ((c & 0xF8) == 0xF0) {
            cp = c & 0x07;
            minimum = 0x10000;
            extra = 3;
        } else {
            AppendWide(out, 0xFFFD);
            ++i;
            continue;
        }
        bool ok = true;
        for (int k = 1; k <= extra; ++k) {
            if (i + k >= n || (s[i + k] & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            cp = (cp << 6) | (s[i + k] & 0x3F);
        }
        if (!ok) {
            AppendWide(out, 0xFFFD);
            ++i;
            continue;
        }
        // An overlong form would let "/" or NUL hide as other bytes (C0 AF is "/" written in two).
        if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            cp = 0xFFFD;
        AppendWide(out, cp);
        i += extra + 1;
    }
    return out;
}

std::u16string WideToUtf16(const std::wstring& text) {
    std::u16string out;
    out.reserve(text.size());
    for (wchar_t c : text) {
        const uint32_t cp = static_cast<uint32_t>(c);
        if (sizeof(wchar_t) != 2 && cp >= 0x10000 && cp <= 0x10FFFF) {
            out.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        } else if (cp > 0xFFFF) {
            out.push_back(u'\xFFFD');
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

std::wstring Utf16BytesToWide(const uint8_t* bytes, size_t count, bool bigEndian) {
    auto unit = [&](size_t i) -> uint32_t { return Get16(bytes + 2 * i, bigEndian); };
    std::wstring out;
    out.resize(count);
    size_t n = 0;
    for (size_t i = 0; i < count; ++i) {
        const uint32_t u = unit(i);
        if constexpr (sizeof(wchar_t) != 2) {
            if (u >= 0xD800 && u <= 0xDBFF && i + 1 < count) {
                const uint32_t low = unit(i + 1);
                if (low >= 0xDC00 && low <= 0xDFFF) {
                    out[n++] = static_cast<wchar_t>(0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
                    ++i;
                    continue;
                }
            }
            if (u >= 0xD800 && u <= 0xDFFF) {
                out[n++] = static_cast<wchar_t>(0xFFFD);
                continue;
            }
        }
        out[n++] = static_cast<wchar_t>(u);
    }
    out.resize(n);
    return out;
}

} // namespace mellodeck
