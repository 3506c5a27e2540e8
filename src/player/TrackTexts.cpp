// Artist, album and title of an open media file, as the manager shows them.
#include "media/core/MediaFormat.h"
#include "player/BasePlayerManager.h"

namespace mellodeck {
namespace {

std::wstring SlotText(const TBaseStringTag* tag) {
    std::wstring value;
    if (tag)
        tag->GetValue(value);
    return value;
}

} // namespace

void TBasePlayerManager::ReadTrackTexts(TBaseMediaFormat& Format) {
    const TCommonMediaTags& tags = *Format.Tags;
    Artist = SlotText(tags.Artist);
    Album = SlotText(tags.Album);
    Title = SlotText(tags.Title);
}

} // namespace mellodeck
