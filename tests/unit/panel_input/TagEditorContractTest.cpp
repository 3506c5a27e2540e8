#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "panel/TagEditorContract.h"

namespace mellodeck {
namespace {

TEST(TagEditorContract, VersionsCompareNumberByNumber) {
    const struct {
        FileVersion Version;
        bool Passes;
    } cases[] = {
        {{1, 2, 0, 540}, true},  {{2, 0, 0, 100}, true},  {{1, 2, 1, 0}, true},    {{1, 3, 0, 0}, true},
        {{1, 2, 0, 539}, false}, {{1, 1, 0, 600}, false}, {{0, 9, 9, 999}, false}, {{0, 0, 0, 0}, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsTagEditorVersionSufficient(c.Version), c.Passes) << FormatFileVersion(c.Version);
}

TEST(TagEditorContract, OpenRequestLayout) {
    const std::wstring path = L"C:\\M\u00fcsik\\a.mp3";
    const std::vector<uint8_t> block = BuildOpenRequest(path);
    const std::size_t pathBytes = path.size() * 2;
    ASSERT_EQ(block.size(), 107 + pathBytes);
    EXPECT_EQ(block[0], 5);
    EXPECT_EQ(std::memcmp(&block[1], "/open", 5), 0);
    for (std::size_t i = 6; i < 101; ++i)
        ASSERT_EQ(block[i], 0) << i;
    EXPECT_EQ(block[101], pathBytes);
    EXPECT_EQ(block[102] | block[103] | block[104], 0);
    EXPECT_EQ(block[105], 'C');
    EXPECT_EQ(block[106], 0);
    EXPECT_EQ(block[105 + 2 * 4], 0xFC) << "UTF-16 little-endian";
    EXPECT_EQ(block[block.size() - 2] | block[block.size() - 1], 0);

    std::string command;
    std::wstring read;
    ASSERT_TRUE(ParseOpenRequest(block.data(), block.size(), command, read));
    EXPECT_EQ(command, "/open");
    EXPECT_EQ(read, path);

    const std::vector<uint8_t> empty = BuildOpenRequest(L"");
    EXPECT_EQ(empty.size(), 107u);
    ASSERT_TRUE(ParseOpenRequest(empty.data(), empty.size(), command, read));
    EXPECT_EQ(read, L"");
}

TEST(TagEditorContract, PathsBeyondTheBasicPlaneTravelAsSurrogatePairs) {
    std::wstring path = L"x";
    if constexpr (sizeof(wchar_t) == 2)
        path += L"\xD834\xDD1E";
    else
        path += static_cast<wchar_t>(0x1D11E);
    const std::vector<uint8_t> block = BuildOpenRequest(path);
    ASSERT_EQ(block.size(), 107u + 6);
    EXPECT_EQ(block[107] | (block[108] << 8), 0xD834);
    EXPECT_EQ(block[109] | (block[110] << 8), 0xDD1E);
    std::string command;
    std::wstring read;
    ASSERT_TRUE(ParseOpenRequest(block.data(), block.size(), command, read));
    EXPECT_EQ(read, path);
}

TEST(TagEditorContract, DamagedRequestsAreRefused) {
    std::vector<uint8_t> block = BuildOpenRequest(L"C:\\a.mp3");
    std::string command = "kept";
    std::wstring path = L"kept";
    EXPECT_FALSE(ParseOpenRequest(block.data(), 104, command, path)) << "shorter than the header";
    EXPECT_FALSE(ParseOpenRequest(nullptr, 0, command, path));
    std::vector<uint8_t> changed = block;
    changed[101] = 0xFF; // path longer than the block
    EXPECT_FALSE(ParseOpenRequest(changed.data(), changed.size(), command, path));
    changed = block;
    changed[104] = 0x80; // a length near 2^31 must not wrap
    EXPECT_FALSE(ParseOpenRequest(changed.data(), changed.size(), command, path));
    changed = block;
    changed[101] = 3; // odd byte count
    EXPECT_FALSE(ParseOpenRequest(changed.data(), changed.size(), command, path));
    changed = block;
    changed[0] = 101;
    EXPECT_FALSE(ParseOpenRequest(changed.data(), changed.size(), command, path));
    EXPECT_EQ(command, "kept");
    EXPECT_EQ(path, L"kept");
    // The trailing zero is not required.
    EXPECT_TRUE(ParseOpenRequest(block.data(), block.size() - 2, command, path));
    EXPECT_EQ(path, L"C:\\a.mp3");
}

} // namespace
} // namespace mellodeck
