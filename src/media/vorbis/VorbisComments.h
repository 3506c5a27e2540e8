#pragma once
// Reading and writing a Vorbis comment list (vendor string, entry count, "NAME=value" entries; every
// integer 32-bit little-endian, text UTF-8). The containers (FLAC block, Ogg packet) frame it.
#include <cstdint>
#include <string_view>

#include "common/ByteOrder.h"
#include "media/core/MediaFormat.h"
#include "media/vorbis/OggExtraTags.h"

namespace mellodeck {

// Vendor strings of this length or more are refused.
constexpr uint32_t kMaxVendorLength = 65536;

// The standard cover field's name ("METADATA_BLOCK_PICTURE"), in any case.
bool IsPictureFieldName(std::string_view name);

// Reads a list held in `size` bytes at `data` into format.EncoderName (vendor), the known tags (first
// matching row, last occurrence wins) and the extra set (other names, in file order). Every length is
// checked against the bytes that remain. Returns false on a malformed list; entries read before the fault
// stay.
bool ReadComments(const uint8_t* data, size_t size, TBaseMediaFormat& format, TCommonMediaTags& known,
                  TOggExtraTags& extra);

// Writes the list: the vendor (format.EncoderName as UTF-8), the count of entries actually written, then
// the known entries followed by the extra ones. Returns that count.
int WriteComments(TStream& stream, const TBaseMediaFormat& format, TCommonMediaTags& known, TOggExtraTags& extra);

// Writes a 32-bit little-endian integer, as the list and its containers store them.
void WriteLE32(TStream& stream, uint32_t value);

} // namespace mellodeck
