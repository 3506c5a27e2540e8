// Artist, album and title of an open media file, as the manager shows them: the common tag slots, and for
// MP3 files the ID3v1 field wherever the slot is empty.
#include "media/core/MediaFormat.h"
#include "player/BasePlayerManager.h"

#if __has_include("media/mp3/MP3MediaFormat.h")
#include "media/mp3/MP3MediaFormat.h"
#define MELLODECK_PLAYER_MP3 1
#endif

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
#ifdef MELLODECK_PLAYER_MP3
    if (const auto* mp3 = dynamic_cast<const TMP3MediaFormat*>(&Format); mp3 && mp3->ID3v1) {
        if (Artist.empty())
            Artist = mp3->ID3v1->Artist();
        if (Album.empty())
            Album = mp3->ID3v1->Album();
        if (Title.empty())
            Title = mp3->ID3v1->Title();
    }
#endif
}

} // namespace mellodeck
