#pragma once
// Pictures in Windows Media files, in their two forms:
// - stored: the "WM/Picture" attribute's bytes in the file: picture type (1 byte), data length (4 bytes),
//   MIME type and description (UTF-16LE, each ending in a zero character), then the picture data;
// - in memory: the runtime's WM_PICTURE record, packed to one byte with native pointers (17 bytes in a
//   32-bit process, 29 in a 64-bit one). An attribute value handed out by the runtime is the record
//   followed by the texts and the data it points at, all inside the one value buffer.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace mellodeck::asf {

struct TASFPicture {
    uint8_t Type = 3;
    std::u16string MIMEType;
    std::u16string Description;
    std::vector<uint8_t> Data;
};

#pragma pack(push, 1)
struct TWMPictureRecord {
    char16_t* MIMEType;
    uint8_t PictureType;
    char16_t* Description;
    uint32_t DataLength;
    uint8_t* Data;
};
#pragma pack(pop)

// The record's size for a pointer width: what the runtime of a 32-bit and of a 64-bit process uses.
constexpr size_t WMPictureRecordSize(size_t pointerSize) {
    return 3 * pointerSize + 1 + 4;
}
static_assert(WMPictureRecordSize(4) == 17, "the 32-bit runtime's packed picture record");
static_assert(WMPictureRecordSize(8) == 29, "the 64-bit runtime's packed picture record");
static_assert(sizeof(TWMPictureRecord) == WMPictureRecordSize(sizeof(void*)),
              "the picture record must match the runtime's packed layout for this build");

// Stored form. Parsing checks every length against the bytes; false for a value that does not hold a
// whole picture.
bool ParseStoredPicture(const uint8_t* bytes, size_t size, TASFPicture& out);
std::vector<uint8_t> StoredPicture(const TASFPicture& picture);

// In-memory form handed out: bytes needed for the record, its texts and data in one buffer, and the
// layout of them at `buffer` (of that many bytes), the pointers pointing into the buffer.
size_t PictureValueSize(const TASFPicture& picture);
void WritePictureValue(uint8_t* buffer, const TASFPicture& picture);
// Reads a value buffer the runtime filled: the buffer must hold a whole record, both texts must start
// inside the buffer and end (in a zero character) inside it, and the data must lie inside it. A null text
// pointer reads as an empty text. False for anything else, without following a pointer outside.
bool ReadPictureValue(const uint8_t* buffer, size_t size, TASFPicture& out);
// Reads a record a caller built with pointers to its own memory (a value passed to the runtime): null
// texts read as empty, null data as none.
TASFPicture PictureFromRecord(const TWMPictureRecord& record);

} // namespace mellodeck::asf
