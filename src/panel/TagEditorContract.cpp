#include "panel/TagEditorContract.h"

#include <cstring>
#include <tuple>

#include "common/ByteOrder.h"

namespace mellodeck {
namespace {

// The path as UTF-16 code units; wchar_t holds whole code points outside Windows.
std::u16string ToUtf16(const std::wstring& text) {
    std::u16string units;
    units.reserve(text.size());
    for (wchar_t c : text) {
        const uint32_t cp = static_cast<uint32_t>(c);
        if (cp > 0xFFFF && cp <= 0x10FFFF) {
            units.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
            units.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        } else {
            units.push_back(static_cast<char16_t>(cp > 0xFFFF ? 0xFFFD : cp));
        }
    }
    return units;
}

std::wstring FromUtf16(const std::u16string& units) {
    std::wstring text;
    text.reserve(units.size());
    for (std::size_t i = 0; i < units.size(); ++i) {
        const char16_t u = units[i];
        if constexpr (sizeof(wchar_t) == 2) {
            text.push_back(static_cast<wchar_t>(u));
        } else if (u >= 0xD800 && u < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
                   units[i + 1] < 0xE000) {
            text.push_back(static_cast<wchar_t>(0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00)));
            ++i;
        } else {
            text.push_back(static_cast<wchar_t>(u >= 0xD800 && u < 0xE000 ? 0xFFFD : u));
        }
    }
    return text;
}

} // namespace

bool IsTagEditorVersionSufficient(const FileVersion& version) {
    const auto key = [](const FileVersion& v) { return std::make_tuple(v.Major, v.Minor, v.Release, v.Build); };
    return key(version) >= key(kTagEditorMinimumVersion);
}

std::vector<uint8_t> BuildOpenRequest(const std::wstring& path) {
    const std::u16string units = ToUtf16(path);
    const uint32_t pathBytes = static_cast<uint32_t>(units.size() * 2);
    std::vector<uint8_t> block(kOpenRequestHeaderSize + pathBytes + 2, 0);
    const std::size_t commandLength = std::strlen(kTagEditorOpenCommand);
    block[0] = static_cast<uint8_t>(commandLength);
    std::memcpy(&block[1], kTagEditorOpenCommand, commandLength);
    PutLE32(&block[1 + kOpenRequestCommandSize], pathBytes);
    for (std::size_t i = 0; i < units.size(); ++i)
        PutLE16(&block[kOpenRequestHeaderSize + 2 * i], static_cast<uint16_t>(units[i]));
    return block;
}

bool ParseOpenRequest(const uint8_t* data, std::size_t size, std::string& command, std::wstring& path) {
    if (!data || size < kOpenRequestHeaderSize || data[0] > kOpenRequestCommandSize)
        return false;
    const uint32_t pathBytes = GetLE32(data + 1 + kOpenRequestCommandSize);
    if (pathBytes % 2 != 0 || pathBytes > size - kOpenRequestHeaderSize)
        return false;
    std::u16string units(pathBytes / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<char16_t>(GetLE16(data + kOpenRequestHeaderSize + 2 * i));
    command.assign(reinterpret_cast<const char*>(data + 1), data[0]);
    path = FromUtf16(units);
    return true;
}

} // namespace mellodeck
