#include "media/id3/ID3KnownTags.h"

#include <cstring>

#include "media/id3/FrameText.h"

namespace mellodeck {

TID3KnownTags::TID3KnownTags(TBaseMediaFormat* format) : TCommonMediaTags(format) {
    // Creation order is TagList order, which is also the order frames are written in.
    Title = Make<TMP3TextTag>("TIT2", "TT2");
    Artist = Make<TMP3TextTag>("TPE1", "TP1");
    Album = Make<TMP3TextTag>("TALB", "TAL");
    Mood = Make<TMP3TextTag>("TMOO");
    Pictures = Make<TMp3PictureTag>("APIC", "PIC");
    Track = Make<TMP3TextTag>("TRCK", "TRK");
    Year = Make<TMP3YearTag>("TYER", "TYE");
    Genre = Make<TMP3GenreTag>("TCON", "TCO");
    Comment = Make<TMP3CommentTag>("COMM", "COM");
    Composer = Make<TMP3TextTag>("TCOM", "TCM");
    Lyrics = Make<TMP3CommentTag>("USLT", "ULT");
    Lyricist = Make<TMP3TextTag>("TEXT", "TXT");
    Conductor = Make<TMP3TextTag>("TPE3", "TP3");
    InvolvedPeople = Make<TMP3TextTag>("IPLS", "IPL");
    OriginalAlbum = Make<TMP3TextTag>("TOAL");
    OriginalArtist = Make<TMP3TextTag>("TOPE", "TOA");
    OriginalLyricist = Make<TMP3TextTag>("TOLY", "TOL");
    OriginalYear = Make<TMP3TextTag>("TORY", "TOR");
    BPM = Make<TMP3TextTag>("TBPM", "TBP");
    ISRC = Make<TMP3TextTag>("TSRC", "TRC");
    Copyright = Make<TMP3TextTag>("TCOP", "TCR");
    AlbumArtist = Make<TMP3TextTag>("TPE2", "TP2");
    Compilation = Make<TMP3TextTag>("TCMP");
    URL = Make<TMP3UserTextTag>("WXXX", "WXX");
    Publisher = Make<TMP3UserTextTag>("TPUB", "TPB");
    EncodedBy = Make<TMP3TextTag>("TENC", "TEN");
}

void TID3KnownTags::Assign(const TCommonMediaTags& source) {
    const auto* other = dynamic_cast<const TID3KnownTags*>(&source);
    if (!other) {
        TCommonMediaTags::Assign(source);
        return;
    }
    for (size_t i = 0; i < TagList.size() && i < other->TagList.size(); ++i) {
        TagList[i]->Assign(*other->TagList[i]);
        TagList[i]->Exists = other->TagList[i]->Exists;
    }
}

TBaseTag* TID3KnownTags::FindByFrameID(uint32_t tagID) const {
    for (TBaseTag* tag : TagList)
        if (tag->TagID == tagID)
            return tag;
    return nullptr;
}

TBaseTag* TID3KnownTags::FindByV22FrameID(const char* id3) const {
    for (TBaseTag* tag : TagList) {
        const std::string v22 = V22FrameIDOf(tag);
        if (v22.size() == 3 && std::memcmp(v22.data(), id3, 3) == 0)
            return tag;
    }
    return nullptr;
}

std::string V22FrameIDOf(const TBaseTag* tag) {
    if (const auto* t = dynamic_cast<const TBaseMp3Tag*>(tag))
        return t->V22FrameID;
    if (const auto* p = dynamic_cast<const TMp3PictureTag*>(tag))
        return p->V22FrameID;
    return std::string();
}

} // namespace mellodeck
