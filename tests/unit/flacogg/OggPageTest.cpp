// Ogg pages: checksum, lacing, spreading segments over pages, renumbering the pages that follow.
#include <gtest/gtest.h>

#include "FlacOggSupport.h"
#include "media/ogg/OggPacketReader.h"
#include "media/ogg/OggPage.h"

namespace mellodeck {
namespace {

using test::ByteVector;

TEST(OggPage, ChecksumMatchesTheReferenceAndTheEncoder) {
    const uint8_t check[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    // Polynomial 0x04C11DB7, initial value 0, no reflection, no final inversion.
    EXPECT_EQ(OggCrc32(check, sizeof check), 0x89A1897Fu);
    REQUIRE_FIXTURE("flacogg/tagged.ogg");
    // Every page oggenc wrote verifies.
    const auto bytes = test::ReadBytes(test::FixturePath("flacogg/tagged.ogg"));
    TSpanStream s(bytes.data(), bytes.size());
    int pages = 0;
    TOggPage page;
    while (ReadOggPageHeader(s, page)) {
        EXPECT_TRUE(OggChecksumValid(bytes.data() + page.Offset, static_cast<size_t>(page.End() - page.Offset)));
        s.SetPosition(page.End());
        ++pages;
    }
    EXPECT_EQ(pages, 6);
}

TEST(OggPage, PacketLacing) {
    const std::vector<std::pair<size_t, std::vector<uint8_t>>> cases = {
        {0, {0}}, {1, {1}}, {254, {254}}, {255, {255, 0}}, {510, {255, 255, 0}}, {600, {255, 255, 90}}};
    for (const auto& [size, expected] : cases) {
        std::vector<uint8_t> lacing;
        AppendPacketLacing(lacing, size);
        EXPECT_EQ(lacing, expected) << size;
    }
}

TEST(OggPage, SegmentsSpreadOverPagesStayReadableAsPackets) {
    // Two packets: 70000 bytes (275 segments) and 300 bytes, then 255 bytes of a packet that goes on.
    std::vector<uint8_t> lacing, data;
    for (size_t size : {size_t(70000), size_t(300)}) {
        AppendPacketLacing(lacing, size);
        for (size_t i = 0; i < size; ++i)
            data.push_back(static_cast<uint8_t>(i * 7 + size));
    }
    lacing.push_back(255);
    data.insert(data.end(), 255, 0xAB);
    TOggPagination layout;
    layout.Serial = 77;
    layout.FirstSequence = 1;
    layout.LastGranule = 0;
    const auto pages = PaginateSegments(layout, lacing, data);
    ASSERT_EQ(pages.size(), 2u);
    std::vector<uint8_t> file;
    for (const auto& p : pages) {
        EXPECT_TRUE(OggChecksumValid(p.data(), p.size()));
        file.insert(file.end(), p.begin(), p.end());
    }
    TSpanStream s(file.data(), file.size());
    TOggPage first, second;
    ASSERT_TRUE(ReadOggPageHeader(s, first));
    EXPECT_EQ(first.Segments.size(), 255u);
    EXPECT_EQ(first.Granule, kOggNoGranule); // no packet ends on it
    EXPECT_EQ(first.Flags, 0);
    s.SetPosition(first.End());
    ASSERT_TRUE(ReadOggPageHeader(s, second));
    EXPECT_EQ(second.Sequence, 2u);
    EXPECT_EQ(second.Flags, kOggContinued);
    EXPECT_EQ(second.Granule, 0u);
    // Reassembled, the packets are the ones put in.
    TOggPacketReader reader(s, 1 << 20);
    TOggPacket packet;
    ASSERT_TRUE(reader.Next(packet));
    EXPECT_EQ(packet.Data.size(), 70000u);
    EXPECT_TRUE(std::equal(packet.Data.begin(), packet.Data.end(), data.begin()));
    EXPECT_EQ(packet.FirstPage, 0u);
    EXPECT_EQ(packet.LastPage, 1u);
    ASSERT_TRUE(reader.Next(packet));
    EXPECT_EQ(packet.Data.size(), 300u);
    EXPECT_FALSE(reader.Next(packet)); // the last one never ends
}

TEST(OggPage, RenumberingTouchesOnlyThePagesOfTheStream) {
    auto page = [](uint32_t serial, uint32_t sequence, uint8_t fill) {
        TOggPagination layout;
        layout.Serial = serial;
        layout.FirstSequence = sequence;
        std::vector<uint8_t> lacing{10}, data(10, fill);
        return PaginateSegments(layout, lacing, data).front();
    };
    const auto a = page(5, 3, 1), foreign = page(9, 3, 2), b = page(5, 4, 3);
    auto broken = page(5, 5, 4);
    broken[30] ^= 0xFF; // body damaged: its checksum no longer verifies
    const std::string junk = "ID3-ish trailing bytes with an OggS lookalike: OggX";
    std::vector<uint8_t> file;
    for (const auto* p : {&a, &foreign, &b})
        file.insert(file.end(), p->begin(), p->end());
    file.insert(file.end(), junk.begin(), junk.end());
    file.insert(file.end(), broken.begin(), broken.end());
    TSpanStream s(file.data(), file.size());
    std::vector<uint8_t> out;
    CopyPagesRenumbered(s, static_cast<int64_t>(file.size()), 5, 2,
                        [&out](const uint8_t* d, size_t n) { out.insert(out.end(), d, d + n); });
    ASSERT_EQ(out.size(), file.size());
    TSpanStream r(out.data(), out.size());
    TOggPage p;
    ASSERT_TRUE(ReadOggPageHeader(r, p));
    EXPECT_EQ(p.Sequence, 5u);
    EXPECT_TRUE(OggChecksumValid(out.data(), a.size()));
    EXPECT_TRUE(std::equal(foreign.begin(), foreign.end(), out.begin() + a.size())); // other stream: unchanged
    r.SetPosition(static_cast<int64_t>(a.size() + foreign.size()));
    ASSERT_TRUE(ReadOggPageHeader(r, p));
    EXPECT_EQ(p.Sequence, 6u);
    const size_t junkAt = a.size() + foreign.size() + b.size();
    EXPECT_EQ(std::string(out.begin() + junkAt, out.begin() + junkAt + junk.size()), junk);
    r.SetPosition(static_cast<int64_t>(junkAt + junk.size()));
    ASSERT_TRUE(ReadOggPageHeader(r, p));
    EXPECT_EQ(p.Sequence, 7u);
    EXPECT_FALSE(OggChecksumValid(out.data() + junkAt + junk.size(), broken.size())); // damage stays visible
}

} // namespace
} // namespace mellodeck
