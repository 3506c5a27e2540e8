#pragma once
// Unicode upper-casing of one character, the same on every platform: CharUpperBuffW on Windows (one
// UTF-16 unit), the C.UTF-8 locale's mapping on POSIX (one code point). Characters without an upper-case
// form come back unchanged.
namespace mellodeck {

wchar_t UnicodeUpper(wchar_t c);

} // namespace mellodeck
