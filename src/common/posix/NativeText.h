#pragma once
// Conversion between the library's wide text and the UTF-8 the POSIX calls take.
#include <string>

namespace mellodeck {

// Each wchar_t is one code point; surrogates and values beyond U+10FFFF become U+FFFD.
std::string ToNativeText(const std::wstring& text);
// Malformed UTF-8 sequences become U+FFFD, one per offending byte.
std::wstring FromNativeText(const std::string& text);

} // namespace mellodeck
