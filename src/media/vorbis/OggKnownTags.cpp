#include "media/vorbis/OggKnownTags.h"

#include "media/flac/FlacPictureTag.h"
#include "media/vorbis/PictureRecord.h"

namespace mellodeck {

const std::vector<std::pair<const char*, TBaseStringTag * TCommonMediaTags::*>>& TOggKnownTags::CommonRows() {
    using T = TCommonMediaTags;
    // "PERFORMER" also stands among the Vorbis-only fields, which come first, so a PERFORMER entry read
    // from a file always lands there; the Conductor row is written only when a value was set through the
    // common slot (for example copied from another file's tags).
    static const std::vector<std::pair<const char*, TBaseStringTag* T::*>> rows = {
        {"ARTIST", &T::Artist},
        {"TITLE", &T::Title},
        {"ALBUM", &T::Album},
        {"COMMENT", &T::Comment},
        {"TRACKNUMBER", &T::Track},
        {"COMPOSER", &T::Composer},
        {"GENRE", &T::Genre},
        {"DATE", &T::Year},
        {nullptr, nullptr}, // the picture slot
        {"COPYRIGHT", &T::Copyright},
        {"ORGANIZATION", &T::Publisher},
        {"LYRICS", &T::Lyrics},
        {"LYRICIST", &T::Lyricist},
        {"PERFORMER", &T::Conductor},
        {"INVOLVED", &T::InvolvedPeople},
        {"ORIGINALTITLE", &T::OriginalAlbum},
        {"ORIGINALARTIST", &T::OriginalArtist},
        {"ORIGINALLYRICIST", &T::OriginalLyricist},
        {"ORIGINALYEAR", &T::OriginalYear},
        {"ENSEMBLE", &T::AlbumArtist},
        {"COMPILATION", &T::Compilation},
        {"MOOD", &T::Mood},
        {"BPM", &T::BPM},
        {"ISRC", &T::ISRC},
        {"ENCODEDBY", &T::EncodedBy},
        {"URL", &T::URL},
    };
    return rows;
}

TOggKnownTags::TOggKnownTags(TBaseMediaFormat* format) : TCommonMediaTags(format) {
    Build([](TCommonMediaTags* owner) -> TBasePictureTag* { return new TVorbisPictureTag(owner); });
}

TOggKnownTags::TOggKnownTags(TBaseMediaFormat* format, const PictureFactory& makePictures) : TCommonMediaTags(format) {
    Build(makePictures);
}

void TOggKnownTags::Build(const PictureFactory& makePictures) {
    Fields.reserve(CommonRows().size() + 6);
    auto field = [this](const char* name) {
        TOggCommentTag* tag = Make<TOggCommentTag>(name);
        Fields.push_back(tag);
        return tag;
    };
    Version = field("VERSION");
    Performer = field("PERFORMER");
    License = field("LICENSE");
    Location = field("LOCATION");
    Contact = field("CONTACT");
    Description = field("DESCRIPTION");
    for (const auto& [name, member] : CommonRows()) {
        if (name)
            this->*member = field(name);
        else
            Pictures = makePictures(this);
    }
}

TFlacKnownTags::TFlacKnownTags(TBaseMediaFormat* format)
    : TOggKnownTags(format, [](TCommonMediaTags* owner) -> TBasePictureTag* { return new TFlacPictureTag(owner); }) {}

} // namespace mellodeck
