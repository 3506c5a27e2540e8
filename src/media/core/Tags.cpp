#include "media/core/Tags.h"

#include <algorithm>
#include <cmath>

#include "media/core/MediaFormat.h"
#include "media/core/MediaManager.h"

namespace mellodeck {

// ---- TBaseTag -----------------------------------------------------------------------------------------

TBaseTag::TBaseTag(TCommonMediaTags* owner) : Owner(owner) {
    if (owner)
        owner->TagList.push_back(this);
}

void TBaseTag::SetIgnore(bool value) {
    if (value == FIgnore)
        return;
    if (Owner && Owner->Format && Owner->Format->IsOpen())
        throw EMP3MediaFormat(FormatText(kTextCannotChangeAfterOpen, L"Ignore"));
    FIgnore = value;
}

void TBaseTag::Assign(const TBaseTag&) { throw EConvertError(L"Cannot assign between these tag classes"); }

void TBaseTag::Clear() {
    SetModified(false);
    Exists = false;
}

// ---- TBaseStringTag -----------------------------------------------------------------------------------

void TBaseStringTag::Assign(const TBaseTag& source) {
    const auto* s = dynamic_cast<const TBaseStringTag*>(&source);
    if (!s)
        throw EConvertError(L"Cannot assign a non-text tag to a text tag");
    SetValue(s->Value);
    if (MoreValues != s->MoreValues) {
        MoreValues = s->MoreValues;
        SetModified(true);
    }
}

void TBaseStringTag::Clear() {
    TBaseTag::Clear();
    if (Value.empty() && MoreValues.empty())
        return; // already clear: every open clears all slots, most of which were never filled
    SetValue(std::wstring());
    MoreValues.clear();
}

void TBaseStringTag::SetValue(const std::wstring& value) {
    if (value == Value)
        return;
    Value = value;
    MoreValues.clear();
    SetModified(true);
}

// ---- TPictureItem -------------------------------------------------------------------------------------

TPictureItem::TPictureItem(TBasePictureTag* owner) : Owner(owner) {}

void TPictureItem::Attach(Bitmap32& bitmap) {
    bitmap.OnChange = [this](Bitmap32&) {
        Modified = true;
        FreeData();
    };
}

Bitmap32& TPictureItem::GetBitmap() {
    if (!Bitmap) {
        Bitmap = std::make_unique<Bitmap32>();
        Attach(*Bitmap);
    }
    return *Bitmap;
}

void TPictureItem::SetBitmap(const Bitmap32& source) { GetBitmap() = source; }

Bitmap32& TPictureItem::RecreateBitmap(int width, int height) {
    Bitmap.reset();
    FreeData();
    Bitmap = std::make_unique<Bitmap32>(width, height);
    Attach(*Bitmap);
    return *Bitmap;
}

void TPictureItem::Clear() {
    FreeData();
    Bitmap.reset();
    Decoded = false;
    Encoding = 0;
    PictureType = 0;
    FormatCode = 0;
    FormatVariant = 0;
    MIMEType.clear();
    Description.clear();
}

void TPictureItem::Assign(const TPictureItem& source) {
    Clear();
    Encoding = source.Encoding;
    MIMEType = source.MIMEType;
    PictureType = source.PictureType;
    FormatCode = source.FormatCode;
    FormatVariant = source.FormatVariant;
    Description = source.Description;
    // The bitmap first: copying it frees this item's raw bytes. A destination that keeps raw data takes
    // only the bytes when there are any; a picture that exists only as a bitmap is always copied.
    const bool keepRaw = Owner && Owner->KeepRawData;
    if (source.HasBitmap() && !(keepRaw && source.HasData())) {
        GetBitmap() = *source.Bitmap;
        Decoded = true;
    } else {
        Decoded = false;
    }
    if (source.HasData()) {
        SetData(source.Data.data(), source.Data.size());
        std::copy(std::begin(source.CoverDataType), std::end(source.CoverDataType), CoverDataType);
    }
}

void TPictureItem::SetData(const uint8_t* bytes, size_t size) {
    Data.assign(bytes, bytes + size);
}

void TPictureItem::FreeData() {
    Data.clear();
    Data.shrink_to_fit();
    std::fill(std::begin(CoverDataType), std::end(CoverDataType), 0);
}

// ---- TBasePictureTag ----------------------------------------------------------------------------------

void TBasePictureTag::Assign(const TBaseTag& source) {
    const auto* s = dynamic_cast<const TBasePictureTag*>(&source);
    if (!s)
        throw EConvertError(L"Cannot assign a non-picture tag to a picture tag");
    Clear();
    for (const auto& item : s->Items) {
        if (item->HasBitmap() || (s->KeepRawData && item->HasData()))
            Add()->Assign(*item);
    }
    Exists = Count() > 0;
}

bool TBasePictureTag::GetModified() const {
    if (Modified)
        return true;
    return std::any_of(Items.begin(), Items.end(), [](const auto& i) { return i->Modified; });
}

void TBasePictureTag::SetModified(bool value) {
    Modified = value;
    if (!value)
        for (auto& i : Items)
            i->Modified = false;
}

void TBasePictureTag::Clear() {
    TBaseTag::Clear();
    Exists = false;
    Items.clear();
}

TPictureItem* TBasePictureTag::Add() {
    Items.push_back(CreateItem());
    return Items.back().get();
}

void TBasePictureTag::Remove(TPictureItem* item) {
    auto it = std::find_if(Items.begin(), Items.end(), [item](const auto& p) { return p.get() == item; });
    if (it != Items.end())
        Items.erase(it);
}

// ---- TCommonMediaTags ---------------------------------------------------------------------------------

TCommonMediaTags::TCommonMediaTags(TBaseMediaFormat* format) : Format(format) {
    TagList.reserve(32); // the most slots a format's container makes: one allocation per open
}

TCommonMediaTags::~TCommonMediaTags() {
    for (TBaseTag* tag : TagList)
        delete tag;
}

const std::vector<TCommonMediaTags::StringSlot>& TCommonMediaTags::StringSlots() {
    using T = TCommonMediaTags;
    static const std::vector<StringSlot> slots = {
        {"Artist", &T::Artist},
        {"Title", &T::Title},
        {"Album", &T::Album},
        {"Mood", &T::Mood},
        {"Genre", &T::Genre},
        {"Track", &T::Track},
        {"Comment", &T::Comment},
        {"Composer", &T::Composer},
        {"Year", &T::Year},
        {"Lyrics", &T::Lyrics},
        {"Lyricist", &T::Lyricist},
        {"Conductor", &T::Conductor},
        {"InvolvedPeople", &T::InvolvedPeople},
        {"OriginalAlbum", &T::OriginalAlbum},
        {"OriginalArtist", &T::OriginalArtist},
        {"OriginalLyricist", &T::OriginalLyricist},
        {"OriginalYear", &T::OriginalYear},
        {"BPM", &T::BPM},
        {"ISRC", &T::ISRC},
        {"Publisher", &T::Publisher},
        {"URL", &T::URL},
        {"EncodedBy", &T::EncodedBy},
        {"Copyright", &T::Copyright},
        {"AlbumArtist", &T::AlbumArtist},
        {"Compilation", &T::Compilation},
    };
    return slots;
}

void TCommonMediaTags::Assign(const TCommonMediaTags& source) {
    // Slots Artist .. Copyright; AlbumArtist and Compilation are left alone.
    auto copy = [](TBaseTag* dst, const TBaseTag* src) {
        if (dst && src)
            dst->Assign(*src);
    };
    copy(Artist, source.Artist);
    copy(Title, source.Title);
    copy(Album, source.Album);
    copy(Mood, source.Mood);
    copy(Pictures, source.Pictures);
    for (const auto& slot : StringSlots()) {
        const std::string name = slot.Name;
        if (name == "Artist" || name == "Title" || name == "Album" || name == "Mood" || name == "AlbumArtist" ||
            name == "Compilation")
            continue;
        copy(this->*slot.Member, source.*slot.Member);
    }
}

void TCommonMediaTags::ClearAll() {
    for (TBaseTag* tag : TagList)
        tag->Clear();
}

bool TCommonMediaTags::GetModified() const {
    return std::any_of(TagList.begin(), TagList.end(), [](const TBaseTag* t) { return t->GetModified(); });
}

void TCommonMediaTags::SetModified(bool value) {
    for (TBaseTag* tag : TagList)
        tag->SetModified(value);
}

int TCommonMediaTags::SaveToStream(TStream& stream) {
    int written = 0;
    for (TBaseTag* tag : TagList) {
        if (tag->Ignore() || (!tag->Exists && !tag->GetModified()) || tag->SavedByFormat())
            continue;
        const int64_t before = stream.Position();
        tag->SaveToStream(stream);
        tag->Exists = stream.Position() != before;
        if (tag->Exists)
            ++written;
    }
    return written;
}

// ---- artwork and decoding -----------------------------------------------------------------------------

bool HasArtwork(const TBaseMediaFormat* format) {
    if (!format || !format->Tags || !format->Tags->Pictures)
        return false;
    return GetArtwork(format) != nullptr;
}

const Bitmap32* GetArtwork(const TBaseMediaFormat* format) {
    if (!format || !format->Tags || !format->Tags->Pictures)
        return nullptr;
    const TBasePictureTag* pictures = format->Tags->Pictures;
    if (!pictures->Supported)
        return nullptr;
    // A picture that does not decode (damaged, or of a type we cannot read) does not hide a later one.
    for (const auto& item : pictures->Items)
        if (item->HasBitmap())
            return item->Bitmap.get();
    return nullptr;
}

ImageKind ImageKindFromMime(const std::string& mime) {
    static const struct {
        const char* Mime;
        ImageKind Kind;
    } table[] = {
        {"image/bmp", ImageKind::Bmp},  {"image/jpg", ImageKind::Jpeg}, {"image/jpeg", ImageKind::Jpeg},
        {"image/tiff", ImageKind::Tiff}, {"image/tiff", ImageKind::Tiff}, {"image/gif", ImageKind::Gif},
        {"image/png", ImageKind::Png},
    };
    std::string lower = mime;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const auto& row : table)
        if (lower == row.Mime)
            return row.Kind;
    return ImageKind::Unknown;
}

bool DecodePictureBitmap(const TBasePictureTag* tag, ImageKind kind, const uint8_t* data, size_t size, Bitmap32& out) {
    if (kind == ImageKind::Unknown)
        return false;
    const TBaseMediaFormat* format = tag && tag->Owner ? tag->Owner->Format : nullptr;
    const bool toBox = format && !format->ForWriting && format->ArtworkBoxWidth > 0 && format->ArtworkBoxHeight > 0;
    std::unique_lock<std::mutex> lease;
    if (kind == ImageKind::Jpeg)
        lease = TMediaManager::AcquireJpegImage();
    return toBox ? DecodeImageToFit(kind, data, size, format->ArtworkBoxWidth, format->ArtworkBoxHeight, out)
                 : DecodeImage(kind, data, size, out);
}

bool DecodePictureAs(TPictureItem& item, ImageKind kind, const uint8_t* data, size_t size) {
    Bitmap32 decoded;
    const bool ok = DecodePictureBitmap(item.Owner, kind, data, size, decoded);
    if (ok && !decoded.Empty()) {
        // Moved in rather than copied: the bitmap's change reaches the item just the same.
        item.RecreateBitmap(0, 0) = std::move(decoded);
        item.Decoded = true;
        item.SetData(data, size); // after drawing: drawing frees the raw bytes
        return true;
    }
    item.SetData(data, size);
    item.Decoded = false;
    return false;
}

bool DecodePictureByMime(TPictureItem& item, const uint8_t* data, size_t size) {
    const ImageKind kind = ImageKindFromMime(item.MIMEType);
    if (kind == ImageKind::Unknown) {
        item.SetData(data, size);
        return false;
    }
    return DecodePictureAs(item, kind, data, size);
}

void TImageTagLimiter::Limit(Bitmap32* bitmap) const {
    if (!bitmap || !Enabled || bitmap->Empty())
        return;
    const int w = bitmap->Width(), h = bitmap->Height();
    if (w <= MaxWidth && h <= MaxHeight)
        return;
    const double aspect = static_cast<double>(w) / h;
    int newW, newH;
    if (aspect > 1) {
        newW = std::min(w, MaxWidth);
        newH = static_cast<int>(std::lround(newW / aspect));
    } else {
        newH = std::min(h, MaxHeight);
        newW = static_cast<int>(std::lround(aspect * newH));
    }
    if (newW < 1 || newH < 1)
        return;
    *bitmap = ResampleBox(*bitmap, newW, newH);
}

} // namespace mellodeck
