#include "common/posix/NativeText.h"

#include <cstdint>
#include <locale.h>
#include <wctype.h>

#include "common/UnicodeCase.h"

namespace mellodeck {

std::string ToNativeText(const std::wstring& text) {
    std::string out;
    out.reserve(text.size());
    for (wchar_t wc : text) {
        uint32_t c = static_cast<uint32_t>(wc);
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            c = 0xFFFD;
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::wstring FromNativeText(const std::string& text) {
    std::wstring out;
    out.reserve(text.size());
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t extra = 0;
        uint32_t c = 0, minimum = 0;
        if (lead < 0x80) {
            out += static_cast<wchar_t>(lead);
            ++i;
            continue;
        } else if ((lead & 0xE0) == 0xC0) {
            extra = 1, c = lead & 0x1F, minimum = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2, c = lead & 0x0F, minimum = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3, c = lead & 0x07, minimum = 0x10000;
        } else {
            out += L'\xFFFD';
            ++i;
            continue;
        }
        bool ok = i + extra < n;
        for (std::size_t k = 1; ok && k <= extra; ++k) {
            const auto cont = static_cast<unsigned char>(text[i + k]);
            if ((cont & 0xC0) != 0x80)
                ok = false;
            else
                c = (c << 6) | (cont & 0x3F);
        }
        if (!ok || c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            out += L'\xFFFD';
            ++i;
            continue;
        }
        out += static_cast<wchar_t>(c);
        i += extra + 1;
    }
    return out;
}

wchar_t UnicodeUpper(wchar_t c) {
    // A private C.UTF-8 locale: the process locale stays untouched, and the plain "C" locale would only
    // upper-case ASCII.
    static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    if (utf8 != static_cast<locale_t>(nullptr))
        return static_cast<wchar_t>(towupper_l(static_cast<wint_t>(c), utf8));
    return static_cast<wchar_t>(towupper(static_cast<wint_t>(c)));
}

} // namespace mellodeck
