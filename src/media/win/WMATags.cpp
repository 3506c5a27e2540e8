#include "media/win/WMATags.h"

#include "media/id3/ID3FrameTags.h"

namespace mellodeck {

TWMABaseTag::TWMABaseTag(TCommonMediaTags* owner, const std::wstring& attributeName)
    : TBaseStringTag(owner), AttributeName(attributeName) {}

TWMABaseTag* TWMABaseTag::Create(TCommonMediaTags* owner, const std::wstring& attributeName) {
    return owner->Make<TWMABaseTag>(attributeName);
}

TWMAKnownTags::TWMAKnownTags(TBaseMediaFormat* format) : TCommonMediaTags(format) {
    // Creation order is TagList order: the order of reading and of writing.
    Artist = TWMABaseTag::Create(this, L"Author");
    Title = TWMABaseTag::Create(this, L"Title");
    Album = TWMABaseTag::Create(this, L"WM/AlbumTitle");
    Mood = TWMABaseTag::Create(this, L"WM/Mood");
    // Only a list of pictures: the format reads and writes the attribute itself.
    Pictures = Make<TMp3PictureTag>("APIC");
    Year = TWMABaseTag::Create(this, L"WM/Year");
    Comment = TWMABaseTag::Create(this, L"Description");
    Track = TWMABaseTag::Create(this, L"WM/TrackNumber");
    Genre = TWMABaseTag::Create(this, L"WM/Genre");
    Composer = TWMABaseTag::Create(this, L"WM/Composer");
    Lyrics = TWMABaseTag::Create(this, L"WM/Lyrics");
    Lyricist = TWMABaseTag::Create(this, L"WM/Writer");
    Conductor = TWMABaseTag::Create(this, L"WM/Conductor");
    InvolvedPeople = TWMABaseTag::Create(this, L"WM/Text");
    OriginalAlbum = TWMABaseTag::Create(this, L"WM/OriginalAlbumTitle");
    OriginalArtist = TWMABaseTag::Create(this, L"WM/OriginalArtist");
    OriginalLyricist = TWMABaseTag::Create(this, L"WM/OriginalLyricist");
    OriginalYear = TWMABaseTag::Create(this, L"WM/OriginalReleaseYear");
    BPM = TWMABaseTag::Create(this, L"WM/BeatsPerMinute");
    ISRC = TWMABaseTag::Create(this, L"WM/ISRC");
    Publisher = TWMABaseTag::Create(this, L"WM/Publisher");
    EncodedBy = TWMABaseTag::Create(this, L"WM/EncodedBy");
    Copyright = TWMABaseTag::Create(this, L"Copyright");
    URL = TWMABaseTag::Create(this, L"WM/PromotionURL");
    AlbumArtist = TWMABaseTag::Create(this, L"WM/AlbumArtist");
    Compilation = TWMABaseTag::Create(this, L"WM/PartOfACompilation");
}

} // namespace mellodeck
