#include "media/vorbis/OggExtraTags.h"

#include "media/core/MediaFormat.h"

namespace mellodeck {

TOggCommentTag* TOggExtraTags::AddComment(const std::string& name, std::wstring value) {
    if (name.empty())
        return nullptr;
    auto* tag = Make<TOggCommentTag>(name);
    tag->SetValue(std::move(value));
    if (Format && (Format->Flags & mfOpening)) {
        tag->Exists = true;
    } else {
        tag->SetModified(true);
    }
    return tag;
}

TOggCommentTag* TOggExtraTags::Comment(int index) const {
    return static_cast<TOggCommentTag*>(TagList.at(static_cast<size_t>(index)));
}

void TOggExtraTags::ClearAll() {
    if (TagList.empty())
        return;
    for (TBaseTag* tag : TagList)
        delete tag;
    TagList.clear();
    SetModified(true);
}

bool TOggExtraTags::GetModified() const {
    return ExtraModified || TCommonMediaTags::GetModified();
}

void TOggExtraTags::SetModified(bool value) {
    TCommonMediaTags::SetModified(value);
    ExtraModified = value;
}

bool CommentTagsEmpty(const TCommonMediaTags& known, const TOggExtraTags& extra) {
    if (extra.CommentCount() > 0)
        return false;
    for (const TBaseTag* tag : known.TagList)
        if (tag->Exists)
            return false;
    return true;
}

} // namespace mellodeck
