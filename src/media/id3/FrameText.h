#pragma once
// Byte-level helpers of ID3v2 frames: text decoding by the frame's encoding byte, text encoding for
// saving, syncsafe integers and the unsynchronisation scheme.
//
// Encoding bytes: 0 = ISO-8859-1 (converted with the system's 8-bit code page), 1 = UTF-16 with a byte
// order mark, 2 = UTF-16 big-endian without a mark, 3 = UTF-8.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/ByteOrder.h"
#include "media/core/ByteReader.h"
#include "media/core/MediaErrors.h"
#include "media/core/Streams.h"

namespace mellodeck {

// The text of an encoding byte outside 0-3 ("unknown frame encoding").
inline const wchar_t* const kTextUnknownFrameEncoding = L"Неизветсная кодировка фрейма";

// Raised for a picture frame whose image format cannot be used.
class EWrongPictureFormat : public EMP3MediaFormat {
public:
    using EMP3MediaFormat::EMP3MediaFormat;
};

// A frame payload is read through a ByteReader over it; nothing is ever read beyond its end. The fixed
// fields of a frame are taken with these two, which raise EMP3MediaFormat when the payload is too short
// (a frame that short is malformed as a whole).
uint8_t ReadFrameByte(ByteReader& cursor);
void ReadFrameBytes(ByteReader& cursor, void* out, size_t n);

// Count for ReadFrameText: a string that ends at its terminator.
constexpr int kDelimited = -1;

// Reads one string of a frame payload. `count` is a byte count (0 gives the empty string and leaves the
// cursor alone) or kDelimited. An encoding of 2 is changed to 1, so that a later save writes UTF-16 with
// a byte order mark. Raises EMP3MediaFormat for an encoding byte outside 0-3.
//  - 0, delimited: up to the first zero, CR or LF (the cursor passes the terminator, CR LF as one);
//    counted: `count` bytes with trailing characters up to code 32 removed.
//  - 1/2, delimited: up to the first zero unit within the first 510 bytes (mark included), the cursor
//    passes it; without a terminator there the result is empty and the cursor stays. Counted with a mark:
//    units up to a zero unit, CR or LF, or count - 2 bytes; counted without a mark: `count` bytes as units,
//    trailing characters up to code 32 removed. Byte order: FF FE little-endian, FE FF big-endian; with
//    no mark, little-endian for 1 and big-endian for 2.
//  - 3, delimited: up to the first zero byte; counted: `count` bytes as UTF-8.
std::wstring ReadFrameText(ByteReader& cursor, int count, uint8_t& encoding);

// Reads every value of a text frame's text (`data` after the encoding byte): values are separated by a
// terminator (one zero byte, or a zero unit for UTF-16), as version 2.4 stores several values and many
// taggers do in 2.3 too. The first value is read as ReadFrameText reads a counted string; empty values
// after it are left out. `encoding` changes as ReadFrameText changes it.
std::vector<std::wstring> ReadFrameTextValues(const uint8_t* data, size_t size, uint8_t& encoding);

// Rewrites the payload of a frame carried from a version 2.4 tag whose text is UTF-8 (encoding 3, which
// version 2.3 does not define) as UTF-16 with a byte order mark: the values of text frames, description
// and text of COMM and USLT, the description of WXXX. False (payload unchanged) for other frames and
// encodings.
bool ReencodeUtf8Frame(const char* id4, std::vector<uint8_t>& payload);

// Decodes a whole byte run in an encoding (0-3), honouring a leading byte order mark for 1 and 2. Raises
// EMP3MediaFormat for other encodings.
std::wstring DecodeFrameBytes(const uint8_t* data, size_t size, uint8_t encoding);

// The encoding a value is saved with (under a version 2.3 header): 0 stays when the text is plain
// US-ASCII, every other case is UTF-16 with a byte order mark (1).
uint8_t ChooseSaveEncoding(uint8_t encoding, const std::wstring& text);
// True when the text converts to the system's 8-bit code page and back unchanged.
bool SurvivesCodePage(const std::wstring& text);

// Appends a text in an encoding: 0 as the 8-bit code page, 1 (and 2) as FF FE + UTF-16LE, 3 as UTF-8;
// then, when asked, the terminator (one zero byte, or two for UTF-16).
void AppendFrameText(std::vector<uint8_t>& out, const std::wstring& text, uint8_t encoding, bool terminate);

// Removes trailing characters with codes up to 32 (spaces, zeros, control characters).
void TrimTrailingControls(std::wstring& text);

// Syncsafe integers: four bytes of seven bits, most significant first.
uint32_t ReadSyncSafe(const uint8_t* p);
void WriteSyncSafe(uint8_t* p, uint32_t value);

// Undoes unsynchronisation: every FF 00 pair becomes FF. When `removedAt` is given, it receives for each
// removed zero the index (in the output) of the FF before it, in increasing order, so that output offsets
// can be mapped back to input offsets.
std::vector<uint8_t> RemoveUnsynchronisation(const uint8_t* data, size_t size,
                                             std::vector<size_t>* removedAt = nullptr);

// The four characters of a frame id as a tag id (first character in the lowest byte).
uint32_t FrameTagID(const char* id4);

} // namespace mellodeck
