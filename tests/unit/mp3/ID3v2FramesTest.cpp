// The ID3v2 tag level on its own: a frame's payload as its format flags store it, and the version 2.3
// frame a version 2.4 frame becomes for a save.
#include <gtest/gtest.h>

#include <zlib.h>

#include "Mp3TestSupport.h"
#include "media/id3/ID3v2Frames.h"

using namespace mellodeck;
using namespace mellodeck::test;
namespace v23 = mellodeck::id3v2::v23;
namespace v24 = mellodeck::id3v2::v24;

namespace {

std::vector<uint8_t> Zlib(const std::vector<uint8_t>& data) {
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    std::vector<uint8_t> out(size);
    EXPECT_EQ(compress(out.data(), &size, data.data(), static_cast<uLong>(data.size())), Z_OK);
    out.resize(size);
    return out;
}

std::vector<uint8_t> BigEndian(uint32_t value) {
    return {uint8_t(value >> 24), uint8_t(value >> 16), uint8_t(value >> 8), uint8_t(value)};
}

struct PayloadCase {
    const char* Name;
    uint8_t Major;
    uint8_t Flags;
    bool TagUnsync;
    std::vector<uint8_t> Data;
    bool Throws;
    std::vector<uint8_t> Payload;
};

struct ConvertCase {
    const char* Name;
    std::vector<uint8_t> Frame; // version 2.4, header included
    bool TagUnsync;
    bool Converts;
    std::vector<uint8_t> Expected; // version 2.3, header included
};

// Frames with a status byte.
std::vector<uint8_t> Frame24With(const std::string& id, const std::vector<uint8_t>& data, uint8_t status,
                                 uint8_t format) {
    auto frame = Frame24(id, data, format);
    frame[id3v2::kStatusFlagsAt] = status;
    return frame;
}
std::vector<uint8_t> Frame23With(const std::string& id, const std::vector<uint8_t>& data, uint8_t status,
                                 uint8_t format) {
    auto frame = Frame23(id, data, format);
    frame[id3v2::kStatusFlagsAt] = status;
    return frame;
}

} // namespace

TEST(ID3v2Frames, PayloadIsDecodedByTheFormatFlags) {
    // Text frame data "\0a" FF E0 "b": unsynchronised, FF E0 is stored as FF 00 E0.
    const std::vector<uint8_t> text = {0, 'a', 0xFF, 0xE0, 'b'};
    const std::vector<uint8_t> unsynced = {0, 'a', 0xFF, 0x00, 0xE0, 'b'};
    const auto length = SyncSafe(static_cast<uint32_t>(text.size()));
    const auto zipped = Zlib(text);
    const PayloadCase cases[] = {
        {"2.4 plain", 4, 0, false, text, false, text},
        {"2.4 group, data length, unsynchronised", 4, v24::kGrouping | v24::kDataLengthIndicator | v24::kUnsynchronisation,
         false, Cat({{0x07}, length, unsynced}), false, text},
        {"2.4 unsynchronised by the tag", 4, v24::kDataLengthIndicator, true, Cat({length, unsynced}), false, text},
        {"2.4 group byte missing", 4, v24::kGrouping, false, {}, true, {}},
        {"2.4 data length cut short", 4, v24::kDataLengthIndicator, false, {0, 0, 5}, true, {}},
        {"2.4 compressed", 4, v24::kCompression | v24::kDataLengthIndicator, false, Cat({length, zipped}), true, {}},
        {"2.4 encrypted", 4, v24::kEncryption, false, Cat({{0x80}, text}), true, {}},
        {"2.3 group", 3, v23::kGrouping, false, Cat({{0x07}, text}), false, text},
        {"2.3 tag unsynchronisation is not the frame's", 3, 0, true, unsynced, false, unsynced},
        {"2.3 compressed", 3, v23::kCompression, false, Cat({BigEndian(5), zipped}), false, text},
        {"2.3 compressed and grouped", 3, v23::kCompression | v23::kGrouping, false, Cat({BigEndian(5), {0x07}, zipped}),
         false, text},
        {"2.3 compressed, wrong size", 3, v23::kCompression, false, Cat({BigEndian(6), zipped}), true, {}},
        {"2.3 compressed, size beyond the cap", 3, v23::kCompression, false,
         Cat({BigEndian(id3v2::kMaxInflatedFrame + 1), zipped}), true, {}},
        {"2.3 compressed, no size", 3, v23::kCompression, false, {0, 0, 5}, true, {}},
        {"2.3 compressed, damaged", 3, v23::kCompression, false, Cat({BigEndian(5), Text("not zlib")}), true, {}},
        {"2.3 encrypted", 3, v23::kEncryption, false, Cat({{0x80}, text}), true, {}},
    };
    for (const PayloadCase& c : cases) {
        SCOPED_TRACE(c.Name);
        std::vector<uint8_t> storage;
        size_t n = 0;
        if (c.Throws) {
            EXPECT_THROW(DecodeFramePayload(c.Major, c.Flags, c.TagUnsync, c.Data.data(), c.Data.size(), storage, n),
                         EMP3MediaFormat);
            continue;
        }
        const uint8_t* p = DecodeFramePayload(c.Major, c.Flags, c.TagUnsync, c.Data.data(), c.Data.size(), storage, n);
        EXPECT_EQ(std::vector<uint8_t>(p, p + n), c.Payload);
    }
}

TEST(ID3v2Frames, A24FrameBecomesThe23FrameWithTheSameMeaning) {
    const std::vector<uint8_t> text = {0, 'a', 0xFF, 0xE0, 'b'};
    const std::vector<uint8_t> unsynced = {0, 'a', 0xFF, 0x00, 0xE0, 'b'};
    const auto length = SyncSafe(5);
    const auto zipped = Zlib(text);
    const uint8_t allStatus = v24::kTagAlterPreservation | v24::kFileAlterPreservation | v24::kReadOnly;
    const uint8_t allStatus23 = v23::kTagAlterPreservation | v23::kFileAlterPreservation | v23::kReadOnly;
    const ConvertCase cases[] = {
        {"status flags move", Frame24With("TXXX", text, allStatus, 0), false, true,
         Frame23With("TXXX", text, allStatus23, 0)},
        {"group, data length, unsynchronised",
         Frame24With("PRIV", Cat({{0x07}, length, unsynced}), 0,
                     v24::kGrouping | v24::kDataLengthIndicator | v24::kUnsynchronisation),
         false, true, Frame23("PRIV", Cat({{0x07}, text}), v23::kGrouping)},
        {"unsynchronised by the tag", Frame24With("PRIV", unsynced, 0, 0), true, true, Frame23("PRIV", text)},
        {"compressed keeps its data length as the inflated size",
         Frame24With("PRIV", Cat({length, zipped}), 0, v24::kCompression | v24::kDataLengthIndicator), false, true,
         Frame23("PRIV", Cat({BigEndian(5), zipped}), v23::kCompression)},
        {"encrypted and grouped: size, method, group in 2.3 order",
         Frame24With("PRIV", Cat({{0x07, 0x80}, length, unsynced}), 0,
                     v24::kGrouping | v24::kEncryption | v24::kDataLengthIndicator | v24::kUnsynchronisation),
         false, true, Frame23("PRIV", Cat({{0x80, 0x07}, text}), v23::kEncryption | v23::kGrouping)},
        {"UTF-8 text becomes UTF-16", Frame24With("TIT2", {3, 'a', 0xC3, 0xA9}, 0, 0), false, true,
         Frame23("TIT2", {1, 0xFF, 0xFE, 'a', 0, 0xE9, 0})},
        {"UTF-8 text behind a group byte stays", Frame24With("TIT2", {0x07, 3, 'a'}, 0, v24::kGrouping), false, true,
         Frame23("TIT2", {0x07, 3, 'a'}, v23::kGrouping)},
        {"compressed without a data length", Frame24With("PRIV", zipped, 0, v24::kCompression), false, false, {}},
        {"group byte missing", Frame24With("PRIV", {}, 0, v24::kGrouping), false, false, {}},
        {"data length cut short", Frame24With("PRIV", {0, 0}, 0, v24::kDataLengthIndicator), false, false, {}},
        {"shorter than a header", {'T', 'I', 'T', '2', 0, 0, 0, 0, 0}, false, false, {}},
    };
    for (const ConvertCase& c : cases) {
        SCOPED_TRACE(c.Name);
        std::vector<uint8_t> out = {0xEE};
        EXPECT_EQ(ConvertFrameToV23(c.Frame.data(), c.Frame.size(), c.TagUnsync, out), c.Converts);
        if (c.Converts) {
            EXPECT_EQ(out, c.Expected);
        }
    }
}
