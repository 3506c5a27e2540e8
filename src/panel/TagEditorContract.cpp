#include "panel/TagEditorContract.h"

#include <cstring>
#include <tuple>

#include "common/ByteOrder.h"
#include "common/TextConvert.h"

namespace mellodeck {

bool IsTagEditorVersionSufficient(const FileVersion& version) {
    const auto key = [](const FileVersion& v) { return std::make_tuple(v.Major, v.Minor, v.Release, v.Build); };
    return key(version) >= key(kTagEditorMinimumVersion);
}

std::vector<uint8_t> BuildOpenRequest(const std::wstring& path) {
    const std::u16string units = WideToUtf16(path);
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
    command.assign(reinterpret_cast<const char*>(data + 1), data[0]);
    path = Utf16BytesToWide(data + kOpenRequestHeaderSize, pathBytes / 2, false);
    return true;
}

} // namespace mellodeck
