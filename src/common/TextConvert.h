#pragma once
// Wide text <-> UTF-8, the same on every platform, and wide text <-> the system's 8-bit code page.
// wchar_t holds UTF-16 code units on Windows and whole code points elsewhere. Invalid UTF-8 input becomes
// U+FFFD rather than being dropped silently.
#include <cstddef>
#include <cstdint>
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

// Wide text <-> UTF-16, the same on every platform: where wchar_t holds whole code points, a character
// beyond U+FFFF becomes a surrogate pair and a pair becomes one character again; a lone half of a pair
// read becomes U+FFFD, as does a character beyond U+10FFFF written. Where wchar_t is UTF-16 the units pass
// as they are.
std::u16string WideToUtf16(const std::wstring& text);
// `count` UTF-16 units stored two bytes each at `bytes` (big-endian when `bigEndian`, else little-endian),
// for text inside file and message buffers.
std::wstring Utf16BytesToWide(const uint8_t* bytes, size_t count, bool bigEndian);

// Wide text <-> the system's 8-bit code page: the ANSI code page on Windows (win/TextConvertWin.cpp),
// Latin-1 elsewhere (posix/TextConvertPosix.cpp). A character the code page lacks becomes "?" (Windows:
// the system's best-fit character where it has one, else the code page's default, usually "?").
std::string WideToAnsi(const std::wstring& text);
std::wstring AnsiToWide(const std::string& text);
// The same over `length` bytes at `text`, for text inside larger buffers.
std::wstring AnsiToWide(const char* text, size_t length);

} // namespace mellodeck
