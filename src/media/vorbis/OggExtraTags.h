#pragma once
// The comment entries whose names are not in the known-field table, kept in file order so that a save
// writes them back after the known ones. Its slots stay empty.
#include "media/vorbis/OggCommentTag.h"

namespace mellodeck {

class TOggExtraTags : public TCommonMediaTags {
public:
    using TCommonMediaTags::TCommonMediaTags;

    // Appends an entry (nullptr and nothing added when name is empty). While the owning format is reading
    // a file the entry is marked as existing; otherwise it is marked modified.
    TOggCommentTag* AddComment(const std::string& name, std::wstring value);
    int CommentCount() const { return static_cast<int>(TagList.size()); }
    TOggCommentTag* Comment(int index) const;
    // Frees every entry; marks the set modified when it held any.
    void ClearAll() override;
    bool GetModified() const override;
    void SetModified(bool value) override;

    bool ExtraModified = false;
};

// True when a comment-list file has nothing to show: no known slot was found and no extra entry exists.
bool CommentTagsEmpty(const TCommonMediaTags& known, const TOggExtraTags& extra);

} // namespace mellodeck
