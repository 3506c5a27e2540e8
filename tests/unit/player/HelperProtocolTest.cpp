// Reading the helper's shared block, and the player's path from its registration command.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "player/HelperProtocol.h"
#include "player/PlayerCommandLine.h"

namespace mellodeck::test {
namespace {

using namespace mellodeck::helper;

// The block inside a larger buffer whose surroundings are marked, so a read beyond it shows.
struct GuardedBlock {
    GuardedBlock() { std::memset(bytes, 'X', sizeof(bytes)); std::memset(&Block(), 0, kBlockSize); }
    THelperBlock& Block() { return *reinterpret_cast<THelperBlock*>(bytes + 64); }
    uint8_t bytes[kBlockSize + 128];
};

TEST(HelperBlock, FileNameLengths) {
    auto g = std::make_unique<GuardedBlock>();
    THelperBlock& b = g->Block();
    std::memset(b.FileName, 'f', kFileNameSize);
    std::memset(b.TextALength, 'X', 2); // the next field is not part of the name

    SetLength(b.FileNameLength, 0);
    EXPECT_EQ(ReadFileName(b), "");
    SetLength(b.FileNameLength, 1024);
    EXPECT_EQ(ReadFileName(b), std::string(1024, 'f'));
    SetLength(b.FileNameLength, 1025);
    EXPECT_EQ(ReadFileName(b), "") << "a length beyond the field names no file";
    SetLength(b.FileNameLength, 0xFFFF);
    EXPECT_EQ(ReadFileName(b), "");
}

TEST(HelperBlock, TagFieldsByVersionAndBounded) {
    auto g = std::make_unique<GuardedBlock>();
    THelperBlock& b = g->Block();
    WriteField(b.ArtistText, b.ArtistLength, "Artist");
    WriteField(b.AlbumText, b.AlbumLength, std::string(100, 'a')); // cut to the field when written
    std::memset(b.TitleText, 't', kTagSize);
    SetLength(b.TitleLength, 0xFFFF);

    TBlockTags tags;
    b.Version = 1;
    EXPECT_FALSE(ReadTags(b, tags));
    EXPECT_TRUE(tags.Artist.empty());
    b.Version = 2;
    ASSERT_TRUE(ReadTags(b, tags));
    EXPECT_EQ(tags.Artist, "Artist");
    EXPECT_EQ(tags.Album, std::string(64, 'a'));
    EXPECT_EQ(tags.Title, std::string(64, 't')) << "an oversized length keeps to its field";
    b.Version = 7;
    EXPECT_TRUE(ReadTags(b, tags));
}

TEST(HelperBlock, LengthsAreLittleEndian) {
    THelperBlock b{};
    SetLength(b.FileNameLength, 0x0302);
    EXPECT_EQ(b.FileNameLength[0], 2);
    EXPECT_EQ(b.FileNameLength[1], 3);
    const uint8_t* raw = reinterpret_cast<const uint8_t*>(&b);
    EXPECT_EQ(raw[1], 2);
    EXPECT_EQ(raw[2], 3);
}

TEST(PlayerCommand, PathFromRegistrationCommand) {
    struct Case {
        const wchar_t* command;
        const wchar_t* path;
    };
    const Case cases[] = {
        {L"\"C:\\Program Files\\Player\\player.exe\" \"%1\"", L"C:\\Program Files\\Player\\player.exe"},
        {L"C:\\Player\\player.exe /play %1", L"C:\\Player\\player.exe /play %1"},
        {L"C:\\Player\\player.exe \"%1\"", L"C:\\Player\\player.exe "},
        {L"\"\"\"", L""},
        {L"", L""},
        {L"*<\"C:\\p.exe|x", L"C:\\p.exe"},
        {L"\"C:\\a?b.exe\"", L"C:\\a"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PlayerPathFromCommand(c.command), c.path) << std::wstring(c.command).size();
}

} // namespace
} // namespace mellodeck::test
