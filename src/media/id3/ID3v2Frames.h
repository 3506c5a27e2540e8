#pragma once
// The tag level of ID3v2: the tag header and its flags, the extended header, the frame headers of
// versions 2.2, 2.3 and 2.4 and the walk from one frame to the next, a frame's payload as its flags store
// it, and the re-expression of a version 2.4 frame as a version 2.3 frame (the version saves write).
// What a payload means is left to the tags that parse it (ID3FrameTags); where the tag sits in a file is
// left to the file's format.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "media/core/Streams.h"

namespace mellodeck {
namespace id3v2 {

// The tag header: "ID3", major version, revision, flags, syncsafe size of what follows the header.
inline constexpr int kTagHeaderSize = 10;
// Largest tag size a syncsafe header can state.
inline constexpr uint32_t kMaxTagSize = 0x0FFFFFFF;
// The bytes of an extended header that are read: its size field and the two bytes after it.
inline constexpr int kExtendedHeaderRead = 6;
// The most a compressed frame may inflate to (pictures included).
inline constexpr uint32_t kMaxInflatedFrame = 64u * 1024 * 1024;

// Flags of the tag header (its sixth byte).
inline constexpr uint8_t kTagUnsynchronisation = 0x80; // 2.2 and 2.3: the whole tag; 2.4: every frame
inline constexpr uint8_t kTagExtendedHeader = 0x40;
inline constexpr uint8_t kTagExperimental = 0x20;
inline constexpr uint8_t kTagFooter = 0x10; // 2.4

// Frame headers: 2.2 has a three-character id and a 24-bit size, no flags; 2.3 and 2.4 a four-character
// id, a 32-bit size (plain in 2.3, syncsafe in 2.4), a status byte and a format byte.
inline constexpr int kV22FrameHeaderSize = 6;
inline constexpr int kFrameHeaderSize = 10;
inline constexpr int kStatusFlagsAt = 8;
inline constexpr int kFormatFlagsAt = 9;

namespace v23 {
// Status flags.
inline constexpr uint8_t kTagAlterPreservation = 0x80;
inline constexpr uint8_t kFileAlterPreservation = 0x40;
inline constexpr uint8_t kReadOnly = 0x20;
// Format flags. The data behind the header holds, in this order, the four-byte (big-endian)
// decompressed size, the encryption method byte and the group byte of the flags that are set.
inline constexpr uint8_t kCompression = 0x80; // zlib
inline constexpr uint8_t kEncryption = 0x40;
inline constexpr uint8_t kGrouping = 0x20;
} // namespace v23

namespace v24 {
// Status flags.
inline constexpr uint8_t kTagAlterPreservation = 0x40;
inline constexpr uint8_t kFileAlterPreservation = 0x20;
inline constexpr uint8_t kReadOnly = 0x10;
// Format flags. The data behind the header holds, in this order, the group byte, the encryption method
// byte and the four-byte syncsafe data length of the flags that are set; unsynchronisation covers all of
// it. Compression requires the data length indicator.
inline constexpr uint8_t kGrouping = 0x40;
inline constexpr uint8_t kCompression = 0x08; // zlib
inline constexpr uint8_t kEncryption = 0x04;
inline constexpr uint8_t kUnsynchronisation = 0x02;
inline constexpr uint8_t kDataLengthIndicator = 0x01;
} // namespace v24

} // namespace id3v2

// True when ten bytes read from a file start an ID3v2 tag ("ID3").
bool IsID3v2TagHeader(const uint8_t* bytes);

// The fields of a tag header (no check beyond what IsID3v2TagHeader does: any version is taken, and
// versions other than 2.2 and 2.4 are read as 2.3).
struct TID3v2TagHeader {
    uint8_t Major = 0;
    uint8_t Revision = 0;
    uint8_t Flags = 0;
    uint32_t Size = 0; // of the tag after its header

    static TID3v2TagHeader Parse(const uint8_t* bytes);
    // The end of the tag, counted from the start of its header.
    int64_t End() const { return id3v2::kTagHeaderSize + static_cast<int64_t>(Size); }
    // Versions 2.2 and 2.3 unsynchronise the tag as a whole, version 2.4 each frame.
    bool WholeTagUnsynchronised() const { return (Flags & id3v2::kTagUnsynchronisation) && (Major == 2 || Major == 3); }
    bool FramesUnsynchronised() const { return (Flags & id3v2::kTagUnsynchronisation) && Major == 4; }
    bool HasExtendedHeader() const { return (Flags & id3v2::kTagExtendedHeader) != 0; }
};

// Writes the header of a version 2.3 tag without flags, `size` bytes after the header.
void WriteV23TagHeader(uint8_t* out, uint32_t size);

enum class TExtendedHeaderSkip {
    Frames,   // the source stands at the first frame
    NoFrames, // the extended header claims more than the tag holds: no frame can be trusted, and the
              // source stands at the tag's end
    ReadError,
};

// Reads the first six bytes of the extended header at the source's position into `extended` and moves
// past the whole extended header. `tagEnd` and `limit` are where the tag and the source end.
TExtendedHeaderSkip SkipExtendedHeader(TStream& source, uint8_t major, int64_t tagEnd, int64_t limit,
                                       uint8_t* extended);

// One frame header as read from a tag.
struct TID3v2FrameHeader {
    uint8_t Bytes[id3v2::kFrameHeaderSize] = {};
    uint8_t Major = 3;
    int64_t Start = 0; // of the header in the source
    int64_t Size = 0;  // of the frame's data after the header

    int HeaderSize() const { return Major == 2 ? id3v2::kV22FrameHeaderSize : id3v2::kFrameHeaderSize; }
    int IDLength() const { return Major == 2 ? 3 : 4; }
    const char* ID() const { return reinterpret_cast<const char*>(Bytes); }
    // Zero for version 2.2, which has no flags.
    uint8_t StatusFlags() const { return Major == 2 ? 0 : Bytes[id3v2::kStatusFlagsAt]; }
    uint8_t FormatFlags() const { return Major == 2 ? 0 : Bytes[id3v2::kFormatFlagsAt]; }
    // A capital letter followed by capitals and digits.
    bool ValidID() const;
    // The id for messages: its characters when they are all digits or capitals, else hexadecimal.
    std::wstring IDText() const;
    int64_t End() const { return Start + HeaderSize() + Size; }
};

// The frames of one tag, header by header. The caller reads or skips each frame's data between Next and
// AtEnd.
class TID3v2FrameWalk {
public:
    enum class TStep {
        Frame,     // a valid header whose data lies within the limit; the source stands at the data
        ReadError, // the source ended inside the header
        Invalid,   // no frame id, or a size beyond the limit: the frames end; the source is back at the
                   // header's start
    };

    // `tagEnd` is where the tag ends in the source, `limit` where the source's data may be read to.
    TID3v2FrameWalk(TStream& source, uint8_t major, int64_t tagEnd, int64_t limit);

    // Reads the header at the source's position. Version 2.4 sizes are syncsafe, but some writers put
    // plain 32-bit sizes into such tags: when the syncsafe reading does not lead to the next frame (or the
    // tag's end) and the plain one does, the plain one holds.
    TStep Next(TID3v2FrameHeader& header);
    // After a frame's data: true when the frames end at the source's position, at the tag's end or at
    // padding (a zero byte, which is then consumed).
    bool AtEnd();

private:
    TStream& FSource;
    uint8_t FMajor;
    int64_t FTagEnd;
    int64_t FLimit;
};

// The payload of a frame (`data`, what follows its header) as its tag parses it. Version 2.4:
// unsynchronisation undone (the frame's flag, or the tag's `tagUnsync`, which covers every frame), then
// the group byte and the data length indicator skipped. Version 2.3: the group byte skipped, zlib data
// (behind its four-byte decompressed size, at most kMaxInflatedFrame) inflated. (Version 2.2 frames have
// no flags: their data is the payload.) Raises
// EMP3MediaFormat for data too short for its flags, for a damaged compressed frame, and for the
// compressed and encrypted frames that cannot be parsed (they stay carried through a save). The result
// points into `data` or into `storage`.
const uint8_t* DecodeFramePayload(uint8_t major, uint8_t formatFlags, bool tagUnsync, const uint8_t* data,
                                  size_t size, std::vector<uint8_t>& storage, size_t& payloadSize);

// Re-expresses a whole version 2.4 frame (header included) as a version 2.3 frame: plain 32-bit size,
// flags moved to their 2.3 places, unsynchronisation undone (`tagUnsync` as for DecodeFramePayload),
// data length indicator dropped (kept as the 2.3 decompressed size of a compressed frame), UTF-8 text
// (unknown to 2.3) as UTF-16. False when the frame cannot be expressed: shorter than a header, data too
// short for its flags, or compressed without a data length.
bool ConvertFrameToV23(const uint8_t* frame, size_t size, bool tagUnsync, std::vector<uint8_t>& out);

} // namespace mellodeck
