#pragma once
// The standard cover record of FLAC and Ogg: the body of a FLAC PICTURE block (type 6), and, in base64,
// the value of an Ogg METADATA_BLOCK_PICTURE comment. Every integer is 32-bit big-endian:
//   type, MIME length, MIME (ASCII), description length, description (UTF-8), width, height, depth,
//   colours, data length, data
// Such pictures are read as items after the pictures of our own block, and written back exactly as read
// until the program changes or removes them.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "media/core/Tags.h"

namespace mellodeck {

// Records larger than this are carried as they are, not decoded (bounds memory; 16 MiB).
constexpr size_t kMaxPictureRecord = 16u * 1024 * 1024;

struct TPictureRecord {
    uint32_t Type = 0;
    std::string Mime;
    std::string Description; // UTF-8
    uint32_t Width = 0, Height = 0, Depth = 0, Colors = 0;
    const uint8_t* Data = nullptr;
    size_t DataSize = 0;
};

// Parses a record; false when a length passes the end of the bytes.
bool ParsePictureRecord(const uint8_t* bytes, size_t size, TPictureRecord& record);
std::vector<uint8_t> BuildPictureRecord(const TPictureRecord& record);

// Base64 (the standard alphabet, with padding). Decoding ignores nothing: any other character fails, as
// does an output beyond `limit` bytes.
bool DecodeBase64(std::string_view text, std::vector<uint8_t>& out, size_t limit);
// The same over wide text (a comment's value as read), without converting it first.
bool DecodeBase64(std::wstring_view text, std::vector<uint8_t>& out, size_t limit);
std::string EncodeBase64(const uint8_t* bytes, size_t size);

// A picture read from a standard record. SourceKey ties it to where it was read (a FLAC block, an Ogg
// comment); 0 for pictures of our own block and pictures set by the program.
class TStandardPictureItem : public TPictureItem {
public:
    using TPictureItem::TPictureItem;
    // True while the item still is the record it was read from: same bytes, MIME, type, description.
    bool Unchanged() const;
    void Assign(const TPictureItem& source) override;

    uint64_t SourceKey = 0;
    TPictureRecord Source; // as read (Data points nowhere: the item's own bytes are compared)
    std::string SourceDescription8; // the description as the item holds it (8-bit)
};

// The picture slot of Ogg Vorbis files (and the base of FLAC's): items of standard records.
class TVorbisPictureTag : public TBasePictureTag {
public:
    using TBasePictureTag::TBasePictureTag;
    std::unique_ptr<TPictureItem> CreateItem() override { return std::make_unique<TStandardPictureItem>(this); }
    // Removes all items; the tag then counts as modified when it had any.
    void Clear() override;
    // Pictures are written by the format, never as a comment entry.
    bool SavedByFormat() const override { return true; }

    // Adds an item for a record read from a file (decoded by its MIME type), tied to `key`.
    TPictureItem* AddRecord(const TPictureRecord& record, uint64_t key);
    // The item read with `key` while it is still there; nullptr when removed.
    TStandardPictureItem* FindSource(uint64_t key) const;
};

// The record to write for an item: its own bytes and fields, or its bitmap as JPEG (quality 80, through
// the image limiter) when it has no bytes. Empty when there is nothing to write.
std::vector<uint8_t> RecordForItem(const TPictureItem& item);

} // namespace mellodeck
