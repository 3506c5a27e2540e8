// Byte order (common/ByteOrder.h) and the bounded reader over bytes in memory.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "common/ByteOrder.h"
#include "media/core/ByteReader.h"

using namespace mellodeck;

namespace {

// High bits set in every byte, so that a value assembled in a signed int or shifted in the wrong
// order shows.
constexpr uint8_t kBytes[8] = {0xF1, 0xE2, 0xD3, 0xC4, 0xB5, 0xA6, 0x97, 0x88};

static_assert(GetBE32(kBytes) == 0xF1E2D3C4u, "usable in constant expressions");

using Out = std::vector<uint8_t>;

// One integer read whose output starts as the first bytes of `out` and is stored back there.
template <class T, bool (ByteReader::*Read)(T&)> bool ReadInto(ByteReader& r, Out& out) {
    T value;
    std::memcpy(&value, out.data(), sizeof value);
    const bool ok = (r.*Read)(value);
    std::memcpy(out.data(), &value, sizeof value);
    return ok;
}

} // namespace

TEST(ByteOrder, ReadsBothOrdersAndWritesBackTheSameBytes) {
    EXPECT_EQ(GetBE16(kBytes), 0xF1E2u);
    EXPECT_EQ(GetBE24(kBytes), 0xF1E2D3u);
    EXPECT_EQ(GetBE32(kBytes), 0xF1E2D3C4u);
    EXPECT_EQ(GetBE64(kBytes), 0xF1E2D3C4B5A69788ull);
    EXPECT_EQ(GetLE16(kBytes), 0xE2F1u);
    EXPECT_EQ(GetLE32(kBytes), 0xC4D3E2F1u);
    EXPECT_EQ(GetLE64(kBytes), 0x8897A6B5C4D3E2F1ull);

    const std::vector<uint8_t> expected(kBytes, kBytes + 8);
    struct Case {
        const char* Name;
        size_t Width;
        void (*Put)(uint8_t*);
    };
    const Case cases[] = {
        {"BE16", 2, [](uint8_t* p) { PutBE16(p, 0xF1E2); }},
        {"BE24", 3, [](uint8_t* p) { PutBE24(p, 0xF1E2D3u); }},
        {"BE32", 4, [](uint8_t* p) { PutBE32(p, 0xF1E2D3C4u); }},
        {"BE64", 8, [](uint8_t* p) { PutBE64(p, 0xF1E2D3C4B5A69788ull); }},
        {"LE16", 2, [](uint8_t* p) { PutLE16(p, 0xE2F1); }},
        {"LE32", 4, [](uint8_t* p) { PutLE32(p, 0xC4D3E2F1u); }},
        {"LE64", 8, [](uint8_t* p) { PutLE64(p, 0x8897A6B5C4D3E2F1ull); }},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> out(10, 0x55);
        c.Put(out.data());
        EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + c.Width),
                  std::vector<uint8_t>(expected.begin(), expected.begin() + c.Width))
            << c.Name;
        EXPECT_EQ(out[c.Width], 0x55) << c.Name << ": wrote past its width";
    }
}

TEST(ByteReader, ReadsInOrderAndMovesByWhatItRead) {
    const uint8_t bytes[] = {0x07, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0, 'a',  'b', 'c',
                             0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B};
    ByteReader r(bytes, sizeof bytes);
    uint8_t u8;
    uint16_t u16;
    uint32_t u32;
    uint64_t u64;
    ASSERT_TRUE(r.ReadU8(u8));
    EXPECT_EQ(u8, 0x07);
    ASSERT_TRUE(r.ReadBE16(u16));
    EXPECT_EQ(u16, 0x1234);
    ASSERT_TRUE(r.ReadLE16(u16));
    EXPECT_EQ(u16, 0x7856);
    ASSERT_TRUE(r.ReadBE24(u32));
    EXPECT_EQ(u32, 0x9ABCDEu);
    EXPECT_EQ(r.Position(), 8u);
    ASSERT_TRUE(r.Skip(1));
    std::string text;
    ASSERT_TRUE(r.ReadText(3, text));
    EXPECT_EQ(text, "abc");
    ASSERT_TRUE(r.ReadLE32(u32));
    EXPECT_EQ(u32, 0x04030201u);
    ASSERT_TRUE(r.ReadBE32(u32));
    EXPECT_EQ(u32, 0x05060708u);
    EXPECT_EQ(r.Remaining(), 3u);
    ASSERT_TRUE(r.Seek(12));
    ASSERT_TRUE(r.ReadLE64(u64));
    EXPECT_EQ(u64, 0x0807060504030201ull);
    ASSERT_TRUE(r.Seek(12));
    ASSERT_TRUE(r.ReadBE64(u64));
    EXPECT_EQ(u64, 0x0102030405060708ull);
    const uint8_t* span = nullptr;
    ASSERT_TRUE(r.ReadSpan(3, span));
    EXPECT_EQ(span, bytes + 20);
    EXPECT_TRUE(r.AtEnd());
    EXPECT_EQ(r.Remaining(), 0u);
}

TEST(ByteReader, AReadPastTheEndFailsAndChangesNothing) {
    const uint8_t bytes[] = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99};
    // Every kind of read, from an offset that leaves one byte less than it needs. Outputs start as 0xEE
    // bytes and must stay so.
    struct Case {
        const char* Name;
        size_t Need;
        bool (*Read)(ByteReader&, Out&);
    };
    const Case cases[] = {
        {"u8", 1, ReadInto<uint8_t, &ByteReader::ReadU8>},
        {"BE16", 2, ReadInto<uint16_t, &ByteReader::ReadBE16>},
        {"BE24", 3, ReadInto<uint32_t, &ByteReader::ReadBE24>},
        {"BE32", 4, ReadInto<uint32_t, &ByteReader::ReadBE32>},
        {"BE64", 8, ReadInto<uint64_t, &ByteReader::ReadBE64>},
        {"LE16", 2, ReadInto<uint16_t, &ByteReader::ReadLE16>},
        {"LE32", 4, ReadInto<uint32_t, &ByteReader::ReadLE32>},
        {"LE64", 8, ReadInto<uint64_t, &ByteReader::ReadLE64>},
        {"bytes", 5, [](ByteReader& r, Out& out) { return r.ReadBytes(out.data(), 5); }},
        {"text", 5,
         [](ByteReader& r, Out& out) {
             std::string s(out.begin(), out.end());
             const bool ok = r.ReadText(5, s);
             out.assign(s.begin(), s.end());
             return ok;
         }},
    };
    for (const Case& c : cases) {
        for (size_t at : {sizeof bytes - (c.Need - 1), sizeof bytes}) {
            ByteReader r(bytes, sizeof bytes);
            ASSERT_TRUE(r.Seek(at)) << c.Name;
            Out out(8, 0xEE);
            EXPECT_FALSE(c.Read(r, out)) << c.Name << " at " << at;
            EXPECT_EQ(r.Position(), at) << c.Name << ": a failed read moved the position";
            EXPECT_EQ(out, Out(8, 0xEE)) << c.Name << ": a failed read wrote part of its output";
        }
        // From one byte earlier the same read succeeds and ends exactly at the end.
        ByteReader r(bytes, sizeof bytes);
        ASSERT_TRUE(r.Seek(sizeof bytes - c.Need));
        Out out(8, 0xEE);
        EXPECT_TRUE(c.Read(r, out)) << c.Name;
        EXPECT_TRUE(r.AtEnd()) << c.Name;
    }
}

TEST(ByteReader, LengthsNearTheLimitsOfSizeDoNotWrapAround) {
    const uint8_t bytes[] = {1, 2, 3, 4};
    ByteReader r(bytes, sizeof bytes);
    ASSERT_TRUE(r.Skip(2));
    const uint8_t* span = nullptr;
    std::string_view text = "kept";
    EXPECT_FALSE(r.Skip(SIZE_MAX));
    EXPECT_FALSE(r.ReadSpan(SIZE_MAX, span));
    EXPECT_FALSE(r.ReadSpan(SIZE_MAX - 1, span));
    EXPECT_FALSE(r.ReadText(0xFFFFFFFFu, text));
    EXPECT_FALSE(r.Seek(SIZE_MAX));
    EXPECT_FALSE(r.Seek(5));
    EXPECT_EQ(span, nullptr);
    EXPECT_EQ(text, "kept");
    EXPECT_EQ(r.Position(), 2u);
    EXPECT_TRUE(r.Seek(4)); // the end itself is a position
    EXPECT_TRUE(r.AtEnd());
    EXPECT_TRUE(r.Skip(0));
    EXPECT_TRUE(r.ReadSpan(0, span));

    // No bytes at all (a null pointer with a size is taken as empty).
    for (ByteReader empty : {ByteReader(), ByteReader(nullptr, 16)}) {
        uint8_t u8 = 9;
        EXPECT_TRUE(empty.AtEnd());
        EXPECT_EQ(empty.Size(), 0u);
        EXPECT_FALSE(empty.ReadU8(u8));
        EXPECT_FALSE(empty.Skip(1));
        EXPECT_EQ(u8, 9);
    }
}
