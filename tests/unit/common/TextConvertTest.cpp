#include <gtest/gtest.h>

#include <string>

#include "common/TextConvert.h"

namespace mellodeck {
namespace {

constexpr wchar_t kReplacement = static_cast<wchar_t>(0xFFFD);
const std::string kReplacementUtf8 = "\xEF\xBF\xBD";

// Valid text keeps every character both ways; U+1F3B5 is a surrogate pair where wchar_t is UTF-16.
TEST(TextConvert, ValidTextRoundTrips) {
    struct Case {
        std::wstring Wide;
        std::string Utf8;
    };
    const Case cases[] = {
        {L"", ""},
        {L"plain ASCII /\x7F", "plain ASCII /\x7F"},
        {std::wstring(1, L'\0') + L"x", std::string(1, '\0') + "x"},
        {L"\u00E9\u07FF", "\xC3\xA9\xDF\xBF"},
        {L"\u0800\u20AC\uD7FF\uE000\uFFFD", "\xE0\xA0\x80\xE2\x82\xAC\xED\x9F\xBF\xEE\x80\x80\xEF\xBF\xBD"},
        {L"a\U0001F3B5b\U0010FFFF", "a\xF0\x9F\x8E\xB5" "b\xF4\x8F\xBF\xBF"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(WideToUtf8(c.Wide), c.Utf8);
        EXPECT_EQ(Utf8ToWide(c.Utf8), c.Wide) << c.Utf8;
    }
}

// Each malformed piece becomes U+FFFD and the text around it survives. A bad lead byte or a cut-short
// sequence costs one replacement per byte given up on; a complete sequence for a forbidden value is one
// replacement as a whole.
TEST(TextConvert, MalformedUtf8BecomesReplacementCharacters) {
    struct Case {
        const char* Utf8;
        std::size_t ReplacementCount;
        const char* Why;
    };
    const Case cases[] = {
        {"a\x80z", 1, "a stray continuation byte"},
        {"a\xFFz", 1, "a byte that never starts a sequence"},
        {"a\xF8\x88\x80\x80\x80z", 5, "a five-byte form"},
        {"a\xE2\x82z", 2, "a sequence cut short by a plain character"},
        {"a\xF0\x9F\x8E", 3, "a sequence cut short by the end of the text"},
        {"a\xC0\xAFz", 1, "an overlong \"/\""},
        {"a\xC1\xBFz", 1, "an overlong two-byte form"},
        {"a\xE0\x80\xAFz", 1, "an overlong three-byte \"/\""},
        {"a\xF0\x8F\xBF\xBFz", 1, "an overlong four-byte form"},
        {"a\xED\xA0\x80z", 1, "an encoded high surrogate"},
        {"a\xED\xBF\xBFz", 1, "an encoded low surrogate"},
        {"a\xF4\x90\x80\x80z", 1, "a value beyond U+10FFFF"},
    };
    for (const Case& c : cases) {
        const std::wstring wide = Utf8ToWide(c.Utf8);
        ASSERT_GE(wide.size(), 2u) << c.Why;
        EXPECT_EQ(wide.front(), L'a') << c.Why;
        const std::wstring middle = wide.substr(1, c.ReplacementCount);
        EXPECT_EQ(middle, std::wstring(c.ReplacementCount, kReplacement)) << c.Why;
        const std::string utf8 = c.Utf8;
        EXPECT_EQ(wide.size(), 1 + c.ReplacementCount + (utf8.back() == 'z' ? 1u : 0u)) << c.Why;
        // Nothing that would pass for a path separator or a terminator slips through.
        EXPECT_EQ(wide.find_first_of(std::wstring(L"/\0", 2)), std::wstring::npos) << c.Why;
    }
}

// Runs of ASCII are found eight bytes at a time: every run length, and every place of the first other
// byte among those eight, must decode alike.
TEST(TextConvert, AsciiRunsOfAnyLengthAroundOtherBytes) {
    for (size_t before = 0; before <= 17; ++before) {
        for (size_t after = 0; after <= 17; ++after) {
            const std::string utf8 = std::string(before, 'a') + "\xC3\xA9" + std::string(after, 'b') + "\x80";
            const std::wstring wide =
                std::wstring(before, L'a') + L"\u00E9" + std::wstring(after, L'b') + std::wstring(1, kReplacement);
            ASSERT_EQ(Utf8ToWide(utf8), wide) << before << " " << after;
        }
    }
}

// Text inside a larger buffer: exactly the given bytes are decoded, NULs included.
TEST(TextConvert, ByteRangeStopsAtItsLength) {
    const std::string buffer = std::string("abcdefgh\0ijklmnop\xC3\xA9", 19);
    EXPECT_EQ(Utf8ToWide(buffer.data(), 11), std::wstring(L"abcdefgh\0ij", 11));
    EXPECT_EQ(Utf8ToWide(buffer.data(), 0), L"");
    // A sequence cut by the length is cut short, whatever follows in memory.
    EXPECT_EQ(Utf8ToWide(buffer.data() + 16, 2), L"p" + std::wstring(1, kReplacement));
    EXPECT_EQ(Utf8ToWide(buffer.data() + 16, 3), L"p\u00E9");
}

// Wide text that is no character (a lone surrogate, a value beyond U+10FFFF) is written as U+FFFD, so
// the output is always valid UTF-8.
TEST(TextConvert, InvalidWideTextBecomesReplacementCharacter) {
    const std::wstring loneHigh = L"a" + std::wstring(1, static_cast<wchar_t>(0xD800)) + L"z";
    const std::wstring loneLow = L"a" + std::wstring(1, static_cast<wchar_t>(0xDFFF)) + L"z";
    const std::wstring swapped =
        L"a" + std::wstring(1, static_cast<wchar_t>(0xDC00)) + std::wstring(1, static_cast<wchar_t>(0xD800)) + L"z";
    EXPECT_EQ(WideToUtf8(loneHigh), "a" + kReplacementUtf8 + "z");
    EXPECT_EQ(WideToUtf8(loneLow), "a" + kReplacementUtf8 + "z");
    EXPECT_EQ(WideToUtf8(swapped), "a" + kReplacementUtf8 + kReplacementUtf8 + "z");
    if constexpr (sizeof(wchar_t) == 4) {
        const std::wstring tooLarge = L"a" + std::wstring(1, static_cast<wchar_t>(0x110000)) + L"z";
        EXPECT_EQ(WideToUtf8(tooLarge), "a" + kReplacementUtf8 + "z");
    }
}

TEST(TextConvert, Utf16BothWaysAndItsBrokenPairs) {
    // "a", U+1D11E (a pair), "z": its units both ways, in either byte order.
    const std::wstring text = std::wstring(L"a") + L"\U0001D11E" + L"z";
    const std::u16string units = WideToUtf16(text);
    EXPECT_EQ(units, (std::u16string{u'a', 0xD834, 0xDD1E, u'z'}));
    const uint8_t little[] = {'a', 0, 0x34, 0xD8, 0x1E, 0xDD, 'z', 0};
    const uint8_t big[] = {0, 'a', 0xD8, 0x34, 0xDD, 0x1E, 0, 'z'};
    EXPECT_EQ(Utf16BytesToWide(little, 4, false), text);
    EXPECT_EQ(Utf16BytesToWide(big, 4, true), text);
    EXPECT_EQ(Utf16BytesToWide(little, 2, false), L"a" + std::wstring(1, sizeof(wchar_t) == 2 ? 0xD834 : 0xFFFD))
        << "a pair cut in half";
    if constexpr (sizeof(wchar_t) == 4) {
        // A low half first, and a high half followed by no low one, are not characters.
        const uint8_t broken[] = {0x1E, 0xDD, 0x34, 0xD8, 'z', 0};
        EXPECT_EQ(Utf16BytesToWide(broken, 3, false), std::wstring(2, kReplacement) + L"z");
        EXPECT_EQ(WideToUtf16(std::wstring(1, static_cast<wchar_t>(0x110000))), std::u16string(1, u'\xFFFD'));
    }
}

} // namespace
} // namespace mellodeck
