#pragma once
// The fixed table of comment fields that map onto slots, for Ogg Vorbis and for FLAC. The order in which
// the tags are created is the order of TagList, which is both the lookup order and the write order.
#include <functional>
#include <vector>

#include "media/vorbis/OggCommentTag.h"

namespace mellodeck {

class TOggKnownTags : public TCommonMediaTags {
public:
    // Ogg Vorbis: the picture slot holds the METADATA_BLOCK_PICTURE comments (TVorbisPictureTag).
    explicit TOggKnownTags(TBaseMediaFormat* format);

    // Fields that have no common slot ("Vorbis-only" rows).
    TOggCommentTag* Version = nullptr;
    TOggCommentTag* Performer = nullptr;
    TOggCommentTag* License = nullptr;
    TOggCommentTag* Location = nullptr;
    TOggCommentTag* Contact = nullptr;
    TOggCommentTag* Description = nullptr;
    // Every named field's slot, in creation (TagList) order: the picture slot is the one tag left out.
    std::vector<TOggCommentTag*> Fields;

    // Field name of every row, in table order; the picture slot is not a row.
    static const std::vector<std::pair<const char*, TBaseStringTag * TCommonMediaTags::*>>& CommonRows();

protected:
    using PictureFactory = std::function<TBasePictureTag*(TCommonMediaTags*)>;
    TOggKnownTags(TBaseMediaFormat* format, const PictureFactory& makePictures);

private:
    void Build(const PictureFactory& makePictures);
};

// Same table; the picture slot is the FLAC picture block tag.
class TFlacKnownTags : public TOggKnownTags {
public:
    explicit TFlacKnownTags(TBaseMediaFormat* format);
};

} // namespace mellodeck
