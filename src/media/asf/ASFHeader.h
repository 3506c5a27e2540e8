#pragma once
// The header of an ASF file (WMA, WMV, ASF): the header object's children read into attributes and a few
// file facts, and written back with every object this reader does not know carried through unchanged.
// What the Windows Media runtime calls attributes lives in four objects:
//   Content Description           Title, Author, Copyright, Description, Rating (strings, stream 0)
//   Extended Content Description  any name, stream 0, values up to 64 KB
//   Metadata (in the extension)    per stream, values up to 4 GB
//   Metadata Library (extension)  per stream and language, any type, values up to 4 GB
// All numbers in the file are little-endian; texts are UTF-16LE with a terminating zero.
#include <cstdint>
#include <string>
#include <vector>

#include "media/core/MediaErrors.h"

namespace mellodeck::asf {

// Attribute value types as stored in the file (the runtime numbers them differently: see WMTypeOf).
enum TASFDataType : uint16_t {
    adtString = 0,
    adtBinary = 1,
    adtBool = 2, // 4 bytes in the extended content description, 2 in the metadata objects
    adtDWord = 3,
    adtQWord = 4,
    adtWord = 5,
    adtGuid = 6,
};

// The runtime's attribute types (WMT_ATTR_DATATYPE).
enum TWMType : uint32_t {
    wmtDWord = 0,
    wmtString = 1,
    wmtBinary = 2,
    wmtBool = 3,
    wmtQWord = 4,
    wmtWord = 5,
    wmtGuid = 6,
};
// Conversions between the two numberings; false for a number that is neither.
bool WMTypeOf(uint16_t asfType, TWMType& out);
bool ASFTypeOf(uint32_t wmType, uint16_t& out);

// The object an attribute was read from, and where it is written back while it still fits there.
enum class TASFHome : uint8_t { ContentDescription, ExtendedContent, Metadata, MetadataLibrary, None };

struct TASFAttribute {
    std::u16string Name;
    uint16_t Stream = 0;
    uint16_t Language = 0;
    uint16_t Type = adtString;
    // As in the file, except: strings always end in one zero character, BOOL is always 4 bytes.
    std::vector<uint8_t> Value;
    TASFHome Home = TASFHome::None;
};

// Largest header this reader accepts (covers included): bigger ones are refused, not truncated.
constexpr uint64_t kASFMaxHeaderSize = 64ull << 20;
// Most objects in the header or its extension, and most attribute records in one object.
constexpr uint32_t kASFMaxObjects = 100000;

// Error codes: the system's file error codes, and the kASFError codes of the library's table
// (media/core/MediaErrors.h).

class TASFFile {
public:
    // Reads the header of the file. False with ErrorCode (and Error) set; the object is then empty.
    bool Load(const std::wstring& path);
    // Parses header bytes (the header object from its first byte) of a file of fileSize bytes.
    bool Parse(const uint8_t* data, size_t size, uint64_t fileSize);
    // Writes the attributes back into the file the header was loaded from (or another copy of it): a new
    // header followed by the original file's bytes after the old header, through a temporary sibling file
    // that replaces the original only when complete. False with ErrorCode set; the file is then untouched.
    bool Save(const std::wstring& path);
    // The header Save would write.
    bool BuildHeader(std::vector<uint8_t>& out);

    // Attribute access by name and stream, in file order.
    int Find(const std::u16string& name, uint16_t stream, int from = 0) const;
    std::vector<int> FindAll(const std::u16string& name, uint16_t stream) const;

    std::vector<TASFAttribute> Attributes;
    // File Properties: play duration in 100 ns units, preroll in milliseconds, maximum bit rate in bit/s.
    uint64_t PlayDuration = 0;
    uint64_t Preroll = 0;
    uint32_t MaxBitrate = 0;
    bool HaveFileProperties = false;
    // Sum of the audio and video streams' average bit rates (bit/s): from the Stream Bitrate Properties
    // object when present, else from the audio streams' format blocks.
    uint32_t StreamsBitrate = 0;
    uint64_t FileSize = 0;
    uint64_t HeaderSize = 0;

    uint32_t ErrorCode = 0;
    std::string Error;

private:
    struct TObject {
        size_t Offset = 0; // in FHeader
        size_t Size = 0;
        int Kind = 0;
        std::vector<TObject> Children; // the header extension's objects
    };
    bool Fail(uint32_t code, const std::string& text);
    bool ParseObject(TObject& object, bool inExtension);
    bool ParseContentDescription(const uint8_t* p, size_t size);
    bool ParseExtendedContent(const uint8_t* p, size_t size);
    bool ParseMetadata(const uint8_t* p, size_t size, bool library);
    bool ParseStreamProperties(const uint8_t* p, size_t size);
    bool ParseBitrates(const uint8_t* p, size_t size);
    bool ParseChildren(size_t start, size_t end, std::vector<TObject>& into, bool inExtension);

    std::vector<uint8_t> FHeader;
    std::vector<TObject> FObjects;
    uint32_t FAudioBitrate = 0;
    uint32_t FListedBitrate = 0;
    bool FHaveListedBitrate = false;
};

// Whether a size fits a 32-bit length field (always, in a 32-bit process).
template <typename T> constexpr bool FitsInDword(T size) {
    if constexpr (sizeof(T) > 4)
        return size <= T(0xFFFFFFFFu);
    else
        return true;
}

// UTF-16 text <-> the bytes of a string value (little-endian, one terminating zero).
std::vector<uint8_t> StringValue(const std::u16string& text);
std::u16string StringOf(const std::vector<uint8_t>& value);
// A number value of the given type as unsigned 64 bits (0 for other types or short values).
uint64_t NumberOf(const TASFAttribute& attribute);

} // namespace mellodeck::asf
