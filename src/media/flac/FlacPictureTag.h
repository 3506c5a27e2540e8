#pragma once
// Cover pictures of a FLAC file, kept in an APPLICATION metadata block of our own identifier "mrql" with
// the sub-chunk "ARTW":
//   "mrql" "ARTW" size:u32le(records + 2) count:u16le records... zero bytes up to the block length
// one record: formatCode:u8 (0 = JPEG) formatVariant:u8 dataLength:u32le descriptionLength:u16le
//             description (UTF-8) data
// The block length is the records' size + 10 rounded up to a multiple of 8, plus 4.
#include <cstdint>
#include <vector>

#include "media/core/ByteReader.h"
#include "media/vorbis/PictureRecord.h"

namespace mellodeck {

// Also the standard PICTURE blocks (type 6) are read into items (after the records of our own block);
// they are written back by the format as their own blocks.
class TFlacPictureTag : public TVorbisPictureTag {
public:
    using TVorbisPictureTag::TVorbisPictureTag;

    // Reads the record count and the records from `records`, positioned just after the sub-chunk size and
    // holding nothing beyond the block. JPEG records are decoded (a record that fails to decode keeps its
    // bytes only); records of other formats keep their bytes. Exists is set when a JPEG was decoded.
    // False when the records do not fit in the block.
    bool LoadPictures(ByteReader& records);
    // Writes the whole APPLICATION block, its 4-byte metadata header (type 2, last flag clear) included,
    // with the items that belong in it (InOwnBlock).
    void SaveToStream(TStream& stream) override;
    // Removes all items; the tag then counts as modified when it existed before.
    void Clear() override;
    // Items of our own block: all but those read from a PICTURE block that still have their bytes (a
    // picture whose bitmap the program changed is written here, as JPEG, like any picture it sets).
    static bool InOwnBlock(const TPictureItem& item);
    bool HasOwnBlockItems() const;

    // Size of the APPLICATION block body for records of this total size.
    static uint32_t BlockLength(uint64_t recordsSize);
    // Records above this total would not fit the 24-bit block length.
    static constexpr uint64_t kMaxRecordsSize = 0xFFFFFF - 18;
};

} // namespace mellodeck
