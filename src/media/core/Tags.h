#pragma once
// The tag model: tag base classes, pictures, and the 26-slot container every format fills.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "imaging/Bitmap32.h"
#include "imaging/ImageCodecs.h"
#include "media/core/Streams.h"

namespace mellodeck {

class TCommonMediaTags;
class TBaseMediaFormat;
class TBasePictureTag;

// Raised when assigning between incompatible tag classes.
class EConvertError : public EMediaError {
public:
    using EMediaError::EMediaError;
};

class TBaseTag {
public:
    explicit TBaseTag(TCommonMediaTags* owner);
    virtual ~TBaseTag() = default;
    TBaseTag(const TBaseTag&) = delete;
    TBaseTag& operator=(const TBaseTag&) = delete;

    bool Ignore() const { return FIgnore; }
    // Raises EMP3MediaFormat when the owning format is open.
    void SetIgnore(bool value);

    virtual void Assign(const TBaseTag& source);
    virtual bool GetModified() const { return Modified; }
    virtual void SetModified(bool value) { Modified = value; }
    // Parses the serialized payload; nothing in the base.
    virtual void LoadFromBuffer(const uint8_t* data, size_t size) {}
    // Writes the serialized tag; nothing in the base.
    virtual void SaveToStream(TStream& stream) {}
    virtual void Clear();
    // True for tags the format writes itself rather than through the container's SaveToStream.
    virtual bool SavedByFormat() const { return false; }

    bool Modified = false;
    bool Exists = false;
    bool Supported = true;
    uint32_t TagID = 0;
    TCommonMediaTags* Owner = nullptr;

protected:
    bool FIgnore = false;
};

class TBaseStringTag : public TBaseTag {
public:
    using TBaseTag::TBaseTag;
    void Assign(const TBaseTag& source) override;
    void Clear() override;
    virtual void SetValue(const std::wstring& value);
    virtual void GetValue(std::wstring& value) const { value = Value; }
    const std::wstring& Text() const { return Value; }

    std::wstring Value;
    // Further values of a field that holds several (a repeated comment entry, NUL-separated ID3 text),
    // in file order. Value is the one shown; the others are written back beside it until the value is
    // changed, which replaces them all.
    std::vector<std::wstring> MoreValues;
};

class TPictureItem {
public:
    explicit TPictureItem(TBasePictureTag* owner);
    virtual ~TPictureItem() = default;
    TPictureItem(const TPictureItem&) = delete;
    TPictureItem& operator=(const TPictureItem&) = delete;

    // Creates an empty 32-bit bitmap on first call. Any later change of it sets Modified and frees the
    // raw bytes, which then no longer describe the picture.
    virtual Bitmap32& GetBitmap();
    virtual void SetBitmap(const Bitmap32& source);
    virtual void Clear();
    virtual void Assign(const TPictureItem& source);
    // Frees the old bitmap and raw bytes and makes a new bitmap of this size.
    Bitmap32& RecreateBitmap(int width, int height);
    bool HasBitmap() const { return Bitmap && !Bitmap->Empty(); }

    bool HasData() const { return !Data.empty(); }
    void SetData(const uint8_t* bytes, size_t size);
    void FreeData();
    uint32_t DataSize() const { return static_cast<uint32_t>(Data.size()); }

    TBasePictureTag* Owner = nullptr;
    std::unique_ptr<Bitmap32> Bitmap;
    std::vector<uint8_t> Data;
    bool Modified = false;
    bool Decoded = false;
    uint8_t Encoding = 0;
    std::string MIMEType;
    uint8_t PictureType = 0;
    uint8_t FormatCode = 0;
    uint8_t FormatVariant = 0;
    uint8_t CoverDataType[4] = {0, 0, 0, 0};
    std::string Description;

private:
    void Attach(Bitmap32& bitmap);
};

class TBasePictureTag : public TBaseTag {
public:
    using TBaseTag::TBaseTag;
    void Assign(const TBaseTag& source) override;
    bool GetModified() const override;
    void SetModified(bool value) override;
    void Clear() override;
    // Creates an item of this tag's item class; formats override it for items of their own.
    virtual std::unique_ptr<TPictureItem> CreateItem() { return std::make_unique<TPictureItem>(this); }
    virtual TPictureItem* GetMainPicture() const { return Items.empty() ? nullptr : Items.front().get(); }

    TPictureItem* Add();
    void Remove(TPictureItem* item);
    int Count() const { return static_cast<int>(Items.size()); }
    TPictureItem* Item(int index) const { return Items.at(static_cast<size_t>(index)).get(); }

    std::vector<std::unique_ptr<TPictureItem>> Items;
    bool KeepRawData = false;
};

class TCommonMediaTags {
public:
    explicit TCommonMediaTags(TBaseMediaFormat* format);
    virtual ~TCommonMediaTags();
    TCommonMediaTags(const TCommonMediaTags&) = delete;
    TCommonMediaTags& operator=(const TCommonMediaTags&) = delete;

    virtual void Assign(const TCommonMediaTags& source);
    virtual void ClearAll();
    virtual bool GetModified() const;
    virtual void SetModified(bool value);
    // Writes every tag that exists or was modified and is not ignored; returns how many wrote something.
    virtual int SaveToStream(TStream& stream);

    // Creates a tag owned by this container (it joins TagList).
    template <class T, class... Args> T* Make(Args&&... args) {
        auto* tag = new T(this, std::forward<Args>(args)...);
        return tag;
    }

    // Every tag created with this container as owner, in creation order; owned.
    std::vector<TBaseTag*> TagList;
    TBaseMediaFormat* Format = nullptr;

    TBaseStringTag* Artist = nullptr;
    TBaseStringTag* Title = nullptr;
    TBaseStringTag* Album = nullptr;
    TBaseStringTag* Mood = nullptr;
    TBasePictureTag* Pictures = nullptr;
    TBaseStringTag* Genre = nullptr;
    TBaseStringTag* Track = nullptr;
    TBaseStringTag* Comment = nullptr;
    TBaseStringTag* Composer = nullptr;
    TBaseStringTag* Year = nullptr;
    TBaseStringTag* Lyrics = nullptr;
    TBaseStringTag* Lyricist = nullptr;
    TBaseStringTag* Conductor = nullptr;
    TBaseStringTag* InvolvedPeople = nullptr;
    TBaseStringTag* OriginalAlbum = nullptr;
    TBaseStringTag* OriginalArtist = nullptr;
    TBaseStringTag* OriginalLyricist = nullptr;
    TBaseStringTag* OriginalYear = nullptr;
    TBaseStringTag* BPM = nullptr;
    TBaseStringTag* ISRC = nullptr;
    TBaseStringTag* Publisher = nullptr;
    TBaseStringTag* URL = nullptr;
    TBaseStringTag* EncodedBy = nullptr;
    TBaseStringTag* Copyright = nullptr;
    TBaseStringTag* AlbumArtist = nullptr;
    TBaseStringTag* Compilation = nullptr;

    // The string slots in slot order with their names ("Artist" ... "Compilation"); Pictures is left out.
    struct StringSlot {
        const char* Name;
        TBaseStringTag* TCommonMediaTags::*Member;
    };
    static const std::vector<StringSlot>& StringSlots();
};

// The artwork of a format: its first picture that decoded to a non-empty bitmap.
bool HasArtwork(const TBaseMediaFormat* format);
const Bitmap32* GetArtwork(const TBaseMediaFormat* format);

// Decodes picture bytes into an item by its MIMEType (bmp, jpg/jpeg, tiff, gif, png; case ignored). An
// unknown type keeps only the raw bytes. A decoding failure keeps the raw bytes and leaves Decoded false;
// the owning tag still exists (its bytes are the user's and a save writes them back). Returns whether a
// bitmap was decoded.
bool DecodePictureByMime(TPictureItem& item, const uint8_t* data, size_t size);
// Same, with the decoder chosen by the caller (formats that carry their own type codes).
bool DecodePictureAs(TPictureItem& item, ImageKind kind, const uint8_t* data, size_t size);
// Decoder of a MIME type from the table; Unknown when not listed.
ImageKind ImageKindFromMime(const std::string& mime);

// Limits the size of pictures before they are re-encoded for saving. Disabled unless a caller enables it.
class TImageTagLimiter {
public:
    void Limit(Bitmap32* bitmap) const;
    bool Enabled = false;
    int MaxWidth = 0;
    int MaxHeight = 0;
};

} // namespace mellodeck
