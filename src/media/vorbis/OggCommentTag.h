#pragma once
// One entry of a Vorbis comment list ("NAME=value", UTF-8), as kept in the known-field table and in the
// set of entries no slot takes.
#include <string>

#include "media/core/Tags.h"

namespace mellodeck {

class TOggCommentTag : public TBaseStringTag {
public:
    TOggCommentTag(TCommonMediaTags* owner, std::string fieldName);

    // Entries are parsed by the comment list reader, never from a buffer of their own.
    void LoadFromBuffer(const uint8_t*, size_t) override {}
    // Writes "FieldName=value" (value trimmed of characters up to U+0020) with its 32-bit little-endian
    // length; writes nothing when the trimmed value is empty.
    void SaveToStream(TStream& stream) override;
    using TBaseStringTag::SetValue;
    // SetValue taking the text over instead of copying it: entries can be long (lyrics, pictures carried
    // as text). Keep it in step with SetValue.
    void SetValue(std::wstring&& value);

    // The name as written: upper case for the table's rows, the bytes as read for other entries.
    std::string FieldName;
    // Set for an entry read without "=": FieldName then holds the whole entry, and while no value is set
    // the entry is written back as it was read rather than lost.
    bool Verbatim = false;
};

// The first comment tag of `tags` whose FieldName equals `name` ignoring ASCII letter case; nullptr when
// there is none. Tags of other classes (the picture slot) are passed over.
TOggCommentTag* FindComment(const TCommonMediaTags& tags, const std::string& name);

// Removes leading and trailing characters at or below U+0020.
std::wstring TrimCommentValue(const std::wstring& value);

} // namespace mellodeck
