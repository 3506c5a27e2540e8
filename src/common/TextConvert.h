#pragma once
// Wide text <-> UTF-8, the same on every platform, and wide text <-> the system's 8-bit code page.
// wchar_t holds UTF-16 code units on Windows and whole code points elsewhere. Invalid UTF-8 input becomes
// U+FFFD rather than being dropped silently.
#include <cstddef>
#include <string>

namespace mellodeck {

// Surrogate pairs are joined where wchar_t is UTF-16; a lone surrogate and anything beyond U+10FFFF
// becomes U+FFFD.
std::string WideToUtf8(const std::wstring& text);
// A byte that cannot start a sequence, or starts one cut short, becomes one U+FFFD and decoding goes on
// at the next byte. A complete sequence for a surrogate, for a value beyond U+10FFFF or in a longer
// form than needed (overlong) becomes one U+FFFD as a whole.
std::wstring Utf8ToWide(const std::string& text);
// The same over `length` bytes at `text` (which need not end in a NUL), for text inside larger buffers.
std::wstring Utf8ToWide(const char* text, size_t length);

// Wide text <-> the system's 8-bit code page: the ANSI code page on Windows (win/TextConvertWin.cpp),
// Latin-1 elsewhere (posix/TextConvertPosix.cpp). A character the code page lacks becomes "?" (Windows:
// the system's best-fit character where it has one, else the code page's default, usually "?").
std::string WideToAnsi(const std::wstring& text);
std::wstring AnsiToWide(const std::string& text);
// The same over `length` bytes at `text`, for text inside larger buffers.
std::wstring AnsiToWide(const char* text, size_t length);

} // namespace mellodeck
