#pragma once
// The tags of MPEG-4 audio files: one tag per known item of the item list ("ilst"), each holding its item
// type in TagID. Every tag loads from and saves to whole item atoms:
//
//   item:  size(4) type(4) | data atom: size(4) "data" typeIndicator(4) locale(4) payload
//
// The item atoms a tag was read from are kept and written back byte for byte while the tag is not
// modified, so a save that changes one tag leaves every other item exactly as another program wrote it
// (several values, other type indicators, texts beyond the length limit of new values).
#include <cstdint>
#include <vector>

#include "media/core/Tags.h"

namespace mellodeck {

// The payload of an item's first child when that child is a data atom lying wholly inside the item.
struct TMPEG4DataAtom {
    const uint8_t* Payload = nullptr;
    size_t Length = 0;
    uint8_t TypeIndicator[4] = {0, 0, 0, 0};
    uint8_t Kind() const { return TypeIndicator[3]; }
};
// Header size of an item atom held whole in a buffer (8, or 16 for the 64-bit size form); 0 when the
// buffer is too short for it.
size_t ItemHeaderSize(const uint8_t* item, size_t size);
// The item's type (bytes 4-7); 0 for a buffer shorter than a header.
uint32_t ItemType(const uint8_t* item, size_t size);
// Finds the data atom that starts at `offset` inside the item and lies inside it; false otherwise.
bool DataAtomAt(const uint8_t* item, size_t size, size_t offset, TMPEG4DataAtom& out, size_t& atomSize);
bool FirstDataAtom(const uint8_t* item, size_t size, TMPEG4DataAtom& out);
// Writes one item with one data atom around the payload.
void WriteDataItem(TStream& stream, uint32_t itemType, const uint8_t typeIndicator[4], const uint8_t* payload,
                   size_t length);
// The payload as an unsigned big-endian number when it is 1, 2, 4 or 8 bytes long; 0 otherwise.
uint64_t PayloadNumber(const uint8_t* payload, size_t length);

// Base of the text-valued item tags.
class TMPEG4ItemTag : public TBaseStringTag {
public:
    TMPEG4ItemTag(TCommonMediaTags* owner, uint32_t itemType);
    // `data` holds one whole item atom.
    void LoadFromBuffer(const uint8_t* data, size_t size) override;
    void SaveToStream(TStream& stream) override;
    void Clear() override;

    // The type indicator of the data atom as read.
    uint8_t DataType[4] = {0, 0, 0, 0};
    // The item atoms as read, in file order.
    std::vector<std::vector<uint8_t>> RawItems;

protected:
    // Sets Value from the first data atom of a loaded item.
    virtual void ReadPayload(uint32_t itemType, const TMPEG4DataAtom& data) = 0;
    // Writes the current Value as a new item (nothing for values the tag does not write).
    virtual void WriteValue(TStream& stream) = 0;
};

class TMPEG4TextTag : public TMPEG4ItemTag {
public:
    TMPEG4TextTag(TCommonMediaTags* owner, uint32_t itemType, bool limitLength = true);
    // New values of 256 bytes or more are cut to at most 255 bytes (at a character boundary).
    bool LimitLength = true;

protected:
    void ReadPayload(uint32_t itemType, const TMPEG4DataAtom& data) override;
    void WriteValue(TStream& stream) override;
    void WriteText(TStream& stream, uint32_t itemType);
};

// Genre: "©gen" holds the name; "gnre" holds the number of an ID3 genre plus one, and is read into the
// same tag. Saving writes "gnre" for the names of the MPEG-4 genre table and "©gen" for the rest.
class TMPEG4GenreTag : public TMPEG4TextTag {
public:
    using TMPEG4TextTag::TMPEG4TextTag;

protected:
    void ReadPayload(uint32_t itemType, const TMPEG4DataAtom& data) override;
    void WriteValue(TStream& stream) override;
};

// A big-endian unsigned number of ByteWidth bytes ("tmpo": 2; "cpil": 1), type indicator 21.
class TMPEG4Int8Tag : public TMPEG4ItemTag {
public:
    TMPEG4Int8Tag(TCommonMediaTags* owner, uint32_t itemType, int byteWidth);
    int ByteWidth = 2;

protected:
    void ReadPayload(uint32_t itemType, const TMPEG4DataAtom& data) override;
    void WriteValue(TStream& stream) override;
};

// Number and total ("trkn"): 8 payload bytes, shown as "03/12".
class TMPEG4TrackTag : public TMPEG4ItemTag {
public:
    TMPEG4TrackTag(TCommonMediaTags* owner, uint32_t itemType);

protected:
    void ReadPayload(uint32_t itemType, const TMPEG4DataAtom& data) override;
    void WriteValue(TStream& stream) override;
};

class TMPEG4KnownTags : public TCommonMediaTags {
public:
    explicit TMPEG4KnownTags(TBaseMediaFormat* format);
    // The tag that reads items of this type: the first in TagList with this TagID that is Supported and
    // not ignored; for "gnre" the Genre tag. nullptr when no tag takes the item.
    TBaseTag* FindItemTag(uint32_t itemType) const;
    // Whether items of this type belong to a slot the reader was told to ignore (the pictures).
    bool IgnoresItem(uint32_t itemType) const;
};

} // namespace mellodeck
