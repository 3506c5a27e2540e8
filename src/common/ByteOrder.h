#pragma once
// Integers stored in a byte sequence, most significant byte first (BE: MPEG-4 atoms, ID3 frames, FLAC
// blocks) or least significant first (LE: Ogg pages, Vorbis comments, ASF objects, BMP headers). Every
// reader and writer of the code base uses these: the caller guarantees that the bytes are there (a
// bounded read goes through ByteReader in the media library).
#include <cstdint>

namespace mellodeck {

constexpr uint16_t GetBE16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] << 8 | p[1]);
}
constexpr uint32_t GetBE24(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[2];
}
constexpr uint32_t GetBE32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 | static_cast<uint32_t>(p[2]) << 8 |
           p[3];
}
constexpr uint64_t GetBE64(const uint8_t* p) {
    return static_cast<uint64_t>(GetBE32(p)) << 32 | GetBE32(p + 4);
}

constexpr uint16_t GetLE16(const uint8_t* p) {
    return static_cast<uint16_t>(p[1] << 8 | p[0]);
}
constexpr uint32_t GetLE32(const uint8_t* p) {
    return static_cast<uint32_t>(p[3]) << 24 | static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[1]) << 8 |
           p[0];
}
constexpr uint64_t GetLE64(const uint8_t* p) {
    return static_cast<uint64_t>(GetLE32(p + 4)) << 32 | GetLE32(p);
}

// A 16-bit value in the order a byte order mark or a format flag chose (UTF-16 text).
constexpr uint16_t Get16(const uint8_t* p, bool bigEndian) {
    return bigEndian ? GetBE16(p) : GetLE16(p);
}

constexpr void PutBE16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v >> 8);
    p[1] = static_cast<uint8_t>(v);
}
constexpr void PutBE24(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 16);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v);
}
constexpr void PutBE32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 24);
    p[1] = static_cast<uint8_t>(v >> 16);
    p[2] = static_cast<uint8_t>(v >> 8);
    p[3] = static_cast<uint8_t>(v);
}
constexpr void PutBE64(uint8_t* p, uint64_t v) {
    PutBE32(p, static_cast<uint32_t>(v >> 32));
    PutBE32(p + 4, static_cast<uint32_t>(v));
}

constexpr void PutLE16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
constexpr void PutLE32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}
constexpr void PutLE64(uint8_t* p, uint64_t v) {
    PutLE32(p, static_cast<uint32_t>(v));
    PutLE32(p + 4, static_cast<uint32_t>(v >> 32));
}

} // namespace mellodeck
