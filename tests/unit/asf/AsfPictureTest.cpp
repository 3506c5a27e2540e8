// The picture record the runtime hands out (native pointers, packed) and the stored picture bytes.
#include <gtest/gtest.h>

#include <cstring>

#include "media/asf/ASFPicture.h"

namespace mellodeck::test {
namespace {

using namespace mellodeck::asf;

TASFPicture Sample() {
    TASFPicture p;
    p.Type = 4;
    p.MIMEType = u"image/jpeg";
    p.Description = u"Back";
    p.Data = {0xFF, 0xD8, 1, 2, 3, 0xFF, 0xD9};
    return p;
}

bool Same(const TASFPicture& a, const TASFPicture& b) {
    return a.Type == b.Type && a.MIMEType == b.MIMEType && a.Description == b.Description && a.Data == b.Data;
}

TEST(AsfPicture, ValueBufferRoundTripAndItsChecks) {
    const TASFPicture p = Sample();
    std::vector<uint8_t> buffer(PictureValueSize(p));
    EXPECT_EQ(buffer.size(), sizeof(TWMPictureRecord) + 22 + 10 + 7);
    WritePictureValue(buffer.data(), p);
    TASFPicture read;
    ASSERT_TRUE(ReadPictureValue(buffer.data(), buffer.size(), read));
    EXPECT_TRUE(Same(read, p));

    TWMPictureRecord record;
    auto patched = [&](auto change) {
        std::vector<uint8_t> copy = buffer;
        std::memcpy(&record, buffer.data(), sizeof record);
        // Pointers are rebased onto the copy.
        const ptrdiff_t shift = copy.data() - buffer.data();
        record.MIMEType = reinterpret_cast<char16_t*>(reinterpret_cast<uint8_t*>(record.MIMEType) + shift);
        record.Description = reinterpret_cast<char16_t*>(reinterpret_cast<uint8_t*>(record.Description) + shift);
        record.Data += shift;
        change(record, copy);
        std::memcpy(copy.data(), &record, sizeof record);
        return copy;
    };
    static const char16_t outside[] = u"image/jpeg";
    struct Case {
        const char* Name;
        std::function<void(TWMPictureRecord&, std::vector<uint8_t>&)> Change;
        bool Reads;
    };
    const Case cases[] = {
        {"unchanged", [](TWMPictureRecord&, std::vector<uint8_t>&) {}, true},
        {"text pointer outside the buffer",
         [](TWMPictureRecord& r, std::vector<uint8_t>&) { r.MIMEType = const_cast<char16_t*>(outside); }, false},
        {"data pointer past the end",
         [](TWMPictureRecord& r, std::vector<uint8_t>& b) { r.Data = b.data() + b.size(); }, false},
        {"data length past the end", [](TWMPictureRecord& r, std::vector<uint8_t>&) { r.DataLength = 8; }, false},
        {"huge data length", [](TWMPictureRecord& r, std::vector<uint8_t>&) { r.DataLength = 0xFFFFFFFFu; }, false},
        {"description without its zero",
         [](TWMPictureRecord& r, std::vector<uint8_t>& b) {
             r.Description = reinterpret_cast<char16_t*>(b.data() + b.size() - 1);
         },
         false},
        {"null description reads empty", [](TWMPictureRecord& r, std::vector<uint8_t>&) { r.Description = nullptr; },
         true},
        {"null data with a length", [](TWMPictureRecord& r, std::vector<uint8_t>&) { r.Data = nullptr; }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const auto copy = patched(c.Change);
        TASFPicture out;
        EXPECT_EQ(ReadPictureValue(copy.data(), copy.size(), out), c.Reads);
    }
    TASFPicture out;
    EXPECT_FALSE(ReadPictureValue(buffer.data(), sizeof(TWMPictureRecord) - 1, out)) << "shorter than a record";
}

TEST(AsfPicture, StoredBytesRoundTripAndCutValues) {
    const TASFPicture p = Sample();
    const std::vector<uint8_t> stored = StoredPicture(p);
    TASFPicture read;
    ASSERT_TRUE(ParseStoredPicture(stored.data(), stored.size(), read));
    EXPECT_TRUE(Same(read, p));
    for (size_t cut = 0; cut < stored.size(); ++cut) {
        TASFPicture partial;
        EXPECT_FALSE(ParseStoredPicture(stored.data(), cut, partial)) << "cut at " << cut;
    }
    // The record from a caller's own memory.
    TWMPictureRecord record{const_cast<char16_t*>(u"image/png"), 3, nullptr, 2, const_cast<uint8_t*>(stored.data())};
    const TASFPicture fromRecord = PictureFromRecord(record);
    EXPECT_EQ(fromRecord.MIMEType, u"image/png");
    EXPECT_EQ(fromRecord.Description, u"");
    EXPECT_EQ(fromRecord.Data, (std::vector<uint8_t>{stored[0], stored[1]}));
}

} // namespace
} // namespace mellodeck::test
