#pragma once
// The tags of Windows Media files: each text slot is one runtime attribute, read and written by name by
// the format itself (the tags hold no bytes of their own).
#include <string>

#include "media/core/Tags.h"

namespace mellodeck {

class TWMABaseTag : public TBaseStringTag {
public:
    TWMABaseTag(TCommonMediaTags* owner, const std::wstring& attributeName);
    static TWMABaseTag* Create(TCommonMediaTags* owner, const std::wstring& attributeName);
    void LoadFromBuffer(const uint8_t*, size_t) override {}
    void SaveToStream(TStream&) override {}
    bool SavedByFormat() const override { return true; }

    std::wstring AttributeName;
};

class TWMAKnownTags : public TCommonMediaTags {
public:
    explicit TWMAKnownTags(TBaseMediaFormat* format);
};

// The attribute holding the pictures.
inline const wchar_t* const kWMPictureAttribute = L"WM/Picture";

} // namespace mellodeck
