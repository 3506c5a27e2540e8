#include "media/vorbis/OggCommentTag.h"

#include <cstring>

#include "common/TextConvert.h"
#include "media/vorbis/OggKnownTags.h"
#include "media/vorbis/VorbisComments.h"

namespace mellodeck {

TOggCommentTag::TOggCommentTag(TCommonMediaTags* owner, std::string fieldName)
    : TBaseStringTag(owner), FieldName(std::move(fieldName)) {}

void TOggCommentTag::SetValue(std::wstring&& value) {
    if (value == Value)
        return;
    Value = std::move(value);
    MoreValues.clear();
    SetModified(true);
}

std::wstring TrimCommentValue(const std::wstring& value) {
    size_t first = 0, last = value.size();
    while (first < last && static_cast<uint32_t>(value[first]) <= 0x20)
        ++first;
    while (last > first && static_cast<uint32_t>(value[last - 1]) <= 0x20)
        --last;
    return value.substr(first, last - first);
}

void TOggCommentTag::SaveToStream(TStream& stream) {
    const std::wstring trimmed = TrimCommentValue(Value);
    std::string text;
    if (!trimmed.empty())
        text = FieldName + "=" + WideToUtf8(trimmed);
    else if (Verbatim)
        text = FieldName;
    auto write = [&stream](const std::string& entry) {
        WriteLE32(stream, static_cast<uint32_t>(entry.size()));
        stream.WriteBuffer(entry.data(), static_cast<int64_t>(entry.size()));
    };
    if (!text.empty())
        write(text);
    // Further values of the field, each an entry of the same name, right after the first.
    for (const std::wstring& more : MoreValues) {
        const std::wstring value = TrimCommentValue(more);
        if (!value.empty())
            write(FieldName + "=" + WideToUtf8(value));
    }
}

namespace {
bool SameNameIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 'a' && x <= 'z')
            x = static_cast<unsigned char>(x - 32);
        if (y >= 'a' && y <= 'z')
            y = static_cast<unsigned char>(y - 32);
        if (x != y)
            return false;
    }
    return true;
}
} // namespace

TOggCommentTag* FindComment(const TCommonMediaTags& tags, const std::string& name) {
    // The known fields list their slots (every entry read asks, so no cast per slot).
    if (const auto* known = dynamic_cast<const TOggKnownTags*>(&tags)) {
        for (TOggCommentTag* comment : known->Fields)
            if (SameNameIgnoringCase(comment->FieldName, name))
                return comment;
        return nullptr;
    }
    for (TBaseTag* tag : tags.TagList) {
        auto* comment = dynamic_cast<TOggCommentTag*>(tag);
        if (comment && SameNameIgnoringCase(comment->FieldName, name))
            return comment;
    }
    return nullptr;
}

} // namespace mellodeck
