#pragma once
// The tag container of MP3 files: one tag object per known ID3v2 frame, placed in the common slots.
#include <cstdint>

#include "media/core/Tags.h"
#include "media/id3/ID3FrameTags.h"

namespace mellodeck {

class TID3KnownTags : public TCommonMediaTags {
public:
    explicit TID3KnownTags(TBaseMediaFormat* format);

    // From another TID3KnownTags: every tag from the tag at the same index, Exists included. From any
    // other container: the common slot copy.
    void Assign(const TCommonMediaTags& source) override;

    // The first tag whose frame id (or ID3v2.2 id) matches; nullptr when none.
    TBaseTag* FindByFrameID(uint32_t tagID) const;
    TBaseTag* FindByV22FrameID(const char* id3) const;

    // Major version of the tag being read (2, 3 or 4); frame parsers that differ by version consult it.
    uint8_t ReadingVersion = 3;
};

// The ID3v2.2 id of a tag (empty for tags that are not ID3 frame tags or have none).
std::string V22FrameIDOf(const TBaseTag* tag);

} // namespace mellodeck
