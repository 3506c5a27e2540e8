// Headers that lie about their sizes: every one is refused with a reason, never read past its bytes.
#include <gtest/gtest.h>

#include "AsfTestSupport.h"
#include "media/asf/ASFGuids.h"

namespace mellodeck::test {
namespace {

using namespace mellodeck::asf;
using Bytes = std::vector<uint8_t>;

void Add16(Bytes& b, uint16_t v) {
    b.resize(b.size() + 2);
    PutLE16(b.data() + b.size() - 2, v);
}
void Add32(Bytes& b, uint32_t v) {
    b.resize(b.size() + 4);
    PutLE32(b.data() + b.size() - 4, v);
}
void Add64(Bytes& b, uint64_t v) {
    b.resize(b.size() + 8);
    PutLE64(b.data() + b.size() - 8, v);
}
// An object with a stated size (0: the true size).
Bytes Object(const TGuidBytes& guid, const Bytes& payload, uint64_t statedSize = 0) {
    Bytes b(guid.Bytes, guid.Bytes + 16);
    Add64(b, statedSize ? statedSize : 24 + payload.size());
    b.insert(b.end(), payload.begin(), payload.end());
    return b;
}
Bytes Header(const std::vector<Bytes>& objects, int64_t sizeDelta = 0) {
    Bytes body;
    for (const auto& o : objects)
        body.insert(body.end(), o.begin(), o.end());
    Bytes b(kGuidHeader.Bytes, kGuidHeader.Bytes + 16);
    Add64(b, static_cast<uint64_t>(static_cast<int64_t>(30 + body.size()) + sizeDelta));
    Add32(b, static_cast<uint32_t>(objects.size()));
    b.push_back(1);
    b.push_back(2);
    b.insert(b.end(), body.begin(), body.end());
    return b;
}
Bytes Ecd(uint16_t count, uint16_t nameLength, uint16_t valueLength, size_t actualValue) {
    Bytes p;
    Add16(p, count);
    Add16(p, nameLength);
    for (uint16_t i = 0; i < nameLength && i < 4; ++i)
        p.push_back('A');
    Add16(p, 0);
    Add16(p, valueLength);
    p.insert(p.end(), actualValue, 'v');
    return p;
}
Bytes Extension(const Bytes& children, int64_t sizeDelta = 0) {
    Bytes p(kGuidHeaderExtensionReserved.Bytes, kGuidHeaderExtensionReserved.Bytes + 16);
    Add16(p, 6);
    Add32(p, static_cast<uint32_t>(static_cast<int64_t>(children.size()) + sizeDelta));
    p.insert(p.end(), children.begin(), children.end());
    return Object(kGuidHeaderExtension, p);
}
Bytes MetadataRecord(uint32_t dataLength, size_t actual) {
    Bytes p;
    Add16(p, 1);
    Add16(p, 0);
    Add16(p, 1);
    Add16(p, 4);
    Add16(p, 0);
    Add32(p, dataLength);
    p.insert(p.end(), {'N', 0, 0, 0});
    p.insert(p.end(), actual, 'd');
    return p;
}

TEST(AsfMalformed, RefusedWithAReason) {
    const Bytes good = Header({Object(kGuidContentDescription, {2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 'T', 0})});
    struct Case {
        const char* Name;
        Bytes Data;
        uint64_t FileSize; // 0: the data's size
        uint32_t Error;
    };
    const Case cases[] = {
        {"not a header", Bytes(40, 0), 0, kASFErrorNotASF},
        {"cut before the header object ends", Bytes(good.begin(), good.begin() + 20), 0, kASFErrorNotASF},
        {"header larger than the file", good, good.size() - 1, kASFErrorBadHeader},
        {"header larger than its bytes", Header({}, 10), 0, kASFErrorBadHeader},
        {"header smaller than itself", Header({}, -10), 0, kASFErrorBadHeader},
        {"object past the header", Header({Object(kGuidFileProperties, Bytes(80), 200)}), 0, kASFErrorBadHeader},
        {"object smaller than its own header", Header({Object(kGuidFileProperties, Bytes(80), 10)}), 0,
         kASFErrorBadHeader},
        {"object of size 0 would loop", Header({Object(kGuidStreamBitrates, Bytes(8), 0) /*true size*/, Bytes(24, 0)}),
         0, kASFErrorBadHeader},
        {"file properties cut short", Header({Object(kGuidFileProperties, Bytes(40))}), 0, kASFErrorBadHeader},
        {"description texts past the object",
         Header({Object(kGuidContentDescription, {50, 0, 0, 0, 0, 0, 0, 0, 0, 0})}), 0, kASFErrorBadHeader},
        {"extended record count past the object", Header({Object(kGuidExtendedContent, Ecd(2, 4, 2, 2))}), 0,
         kASFErrorBadHeader},
        {"extended value past the object", Header({Object(kGuidExtendedContent, Ecd(1, 4, 200, 2))}), 0,
         kASFErrorBadHeader},
        {"extended name past the object", Header({Object(kGuidExtendedContent, Ecd(1, 60000, 0, 0))}), 0,
         kASFErrorBadHeader},
        {"extension data size disagrees", Header({Extension({}, 8)}), 0, kASFErrorBadHeader},
        {"metadata value past the object",
         Header({Extension(Object(kGuidMetadataLibrary, MetadataRecord(0xFFFFFFF0u, 4)))}), 0, kASFErrorBadHeader},
        {"stream format data past the object",
         Header({Object(kGuidStreamProperties,
                        [] {
                            Bytes p(kGuidAudioMedia.Bytes, kGuidAudioMedia.Bytes + 16);
                            p.resize(40, 0);
                            Add32(p, 1000);
                            Add32(p, 0);
                            p.resize(54, 0);
                            return p;
                        }())}),
         0, kASFErrorBadHeader},
        {"stream bit rates past the object", Header({Object(kGuidStreamBitrates, {9, 0, 1, 0, 0, 0, 0, 0})}), 0,
         kASFErrorBadHeader},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TASFFile file;
        EXPECT_FALSE(file.Parse(c.Data.data(), c.Data.size(), c.FileSize ? c.FileSize : c.Data.size()));
        EXPECT_EQ(file.ErrorCode, c.Error);
        EXPECT_FALSE(file.Error.empty());
        EXPECT_TRUE(file.Attributes.empty());
    }
    TASFFile file;
    ASSERT_TRUE(file.Parse(good.data(), good.size(), good.size())) << file.Error;
    ASSERT_EQ(file.Attributes.size(), 1u);
    EXPECT_EQ(StringOf(file.Attributes[0].Value), u"T");
}

TEST(AsfMalformed, OddLengthsAndMissingTerminatorsAreNormalised) {
    // A title of three bytes without its terminating zero, and a BOOL stored in one byte.
    Bytes ecd;
    Add16(ecd, 1);
    Add16(ecd, 4);
    ecd.insert(ecd.end(), {'B', 0, 0, 0});
    Add16(ecd, adtBool);
    Add16(ecd, 1);
    ecd.push_back(7);
    const Bytes data = Header({Object(kGuidContentDescription, {3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 'T', 0, 'x'}),
                               Object(kGuidExtendedContent, ecd)});
    TASFFile file;
    ASSERT_TRUE(file.Parse(data.data(), data.size(), data.size())) << file.Error;
    ASSERT_EQ(file.Attributes.size(), 2u);
    EXPECT_EQ(file.Attributes[0].Value, (Bytes{'T', 0, 0, 0}));
    EXPECT_EQ(file.Attributes[1].Value, (Bytes{1, 0, 0, 0}));
    // And the writer gives the bool its 4 bytes back.
    Bytes rebuilt;
    ASSERT_TRUE(file.BuildHeader(rebuilt));
    TASFFile again;
    ASSERT_TRUE(again.Parse(rebuilt.data(), rebuilt.size(), rebuilt.size())) << again.Error;
    EXPECT_EQ(again.Attributes[1].Value, (Bytes{1, 0, 0, 0}));
    EXPECT_EQ(again.Attributes[0].Home, TASFHome::ContentDescription);
}

} // namespace
} // namespace mellodeck::test
