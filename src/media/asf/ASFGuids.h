#pragma once
// The object identifiers of the ASF header, as their 16 bytes appear in the file (the first three
// fields of the GUID little-endian, the last eight in order).
#include <cstdint>
#include <cstring>

#include "common/ByteOrder.h"

namespace mellodeck::asf {

struct TGuidBytes {
    uint8_t Bytes[16];
    bool Matches(const uint8_t* p) const { return std::memcmp(p, Bytes, 16) == 0; }
};

constexpr TGuidBytes MakeGuid(uint32_t d1, uint16_t d2, uint16_t d3, uint8_t a, uint8_t b, uint8_t c, uint8_t d,
                              uint8_t e, uint8_t f, uint8_t g, uint8_t h) {
    return TGuidBytes{{static_cast<uint8_t>(d1), static_cast<uint8_t>(d1 >> 8), static_cast<uint8_t>(d1 >> 16),
                       static_cast<uint8_t>(d1 >> 24), static_cast<uint8_t>(d2), static_cast<uint8_t>(d2 >> 8),
                       static_cast<uint8_t>(d3), static_cast<uint8_t>(d3 >> 8), a, b, c, d, e, f, g, h}};
}

inline constexpr TGuidBytes kGuidHeader =
    MakeGuid(0x75B22630, 0x668E, 0x11CF, 0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C);
inline constexpr TGuidBytes kGuidFileProperties =
    MakeGuid(0x8CABDCA1, 0xA947, 0x11CF, 0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65);
inline constexpr TGuidBytes kGuidStreamProperties =
    MakeGuid(0xB7DC0791, 0xA9B7, 0x11CF, 0x8E, 0xE6, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65);
inline constexpr TGuidBytes kGuidHeaderExtension =
    MakeGuid(0x5FBF03B5, 0xA92E, 0x11CF, 0x8E, 0xE3, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65);
inline constexpr TGuidBytes kGuidHeaderExtensionReserved =
    MakeGuid(0xABD3D211, 0xA9BA, 0x11CF, 0x8E, 0xE6, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65);
inline constexpr TGuidBytes kGuidContentDescription =
    MakeGuid(0x75B22633, 0x668E, 0x11CF, 0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C);
inline constexpr TGuidBytes kGuidExtendedContent =
    MakeGuid(0xD2D0A440, 0xE307, 0x11D2, 0x97, 0xF0, 0x00, 0xA0, 0xC9, 0x5E, 0xA8, 0x50);
inline constexpr TGuidBytes kGuidMetadata =
    MakeGuid(0xC5F8CBEA, 0x5BAF, 0x4877, 0x84, 0x67, 0xAA, 0x8C, 0x44, 0xFA, 0x4C, 0xCA);
inline constexpr TGuidBytes kGuidMetadataLibrary =
    MakeGuid(0x44231C94, 0x9498, 0x49D1, 0xA1, 0x41, 0x1D, 0x13, 0x4E, 0x45, 0x70, 0x54);
inline constexpr TGuidBytes kGuidStreamBitrates =
    MakeGuid(0x7BF875CE, 0x468D, 0x11D1, 0x8D, 0x82, 0x00, 0x60, 0x97, 0xC9, 0xA2, 0xB2);
inline constexpr TGuidBytes kGuidAudioMedia =
    MakeGuid(0xF8699E40, 0x5B4D, 0x11CF, 0xA8, 0xFD, 0x00, 0x80, 0x5F, 0x5C, 0x44, 0x2B);

// Object kinds the reader tells apart.
enum TObjectKind {
    okOther = 0,
    okFileProperties,
    okStreamProperties,
    okHeaderExtension,
    okContentDescription,
    okExtendedContent,
    okMetadata,
    okMetadataLibrary,
    okStreamBitrates,
};

} // namespace mellodeck::asf
