// Artist, album and title of an open media file, as the manager shows them: the common tag slots, and
// wherever a slot is empty the format's own fallback text (for MP3 files, the ID3v1 field).
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
    std::wstring artist, album, title;
    if (!Format.GetFallbackTexts(artist, album, title))
        return;
    if (Artist.empty())
        Artist = artist;
    if (Album.empty())
        Album = album;
    if (Title.empty())
        Title = title;
}

} // namespace mellodeck
