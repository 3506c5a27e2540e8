#pragma once
// Cover art of MPEG-4 files: the "covr" item, one data atom per picture. The type indicator of each data
// atom (13 JPEG, 14 PNG, others for other kinds) is kept in the item's CoverDataType.
#include <cstdint>
#include <vector>

#include "media/core/Tags.h"

namespace mellodeck {

class TMPEG4PictureTag : public TBasePictureTag {
public:
    explicit TMPEG4PictureTag(TCommonMediaTags* owner);
    // `data` holds the whole "covr" item. Every data atom becomes an item holding its raw bytes, decoded
    // when it is a picture the imaging layer reads; pictures that do not decode stay as raw bytes.
    void LoadFromBuffer(const uint8_t* data, size_t size) override;
    // Unchanged pictures go back as read; otherwise one data atom per item: raw bytes with their type
    // indicator, or the bitmap of an item without raw bytes encoded as JPEG.
    void SaveToStream(TStream& stream) override;
    void Clear() override;
    // The first picture that decoded (the first item when none did).
    TPictureItem* GetMainPicture() const override;

    // The "covr" items as read, in file order.
    std::vector<std::vector<uint8_t>> RawItems;

private:
    // The items as loaded: a save writes RawItems only while Items is still exactly this list.
    std::vector<const TPictureItem*> FLoadedItems;
};

} // namespace mellodeck
