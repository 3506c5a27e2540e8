#include "media/mp4/MPEG4Tags.h"

#include <algorithm>
#include <string>

#include "media/core/ByteReader.h"
#include "media/core/Genres.h"
#include "common/TextConvert.h"
#include "media/mp4/AtomTypes.h"
#include "media/mp4/MPEG4PictureTag.h"

namespace mellodeck {

// ---- item atoms -------------------------------------------------------------------------------------

size_t ItemHeaderSize(const uint8_t* item, size_t size) {
    ByteReader r(item, size);
    uint32_t stated;
    if (!r.ReadBE32(stated) || !r.Skip(4))
        return 0;
    if (stated == 1)
        return r.Skip(8) ? 16 : 0; // the 64-bit size follows the type
    return 8;
}

uint32_t ItemType(const uint8_t* item, size_t size) {
    ByteReader r(item, size);
    uint32_t type;
    return r.Skip(4) && r.ReadBE32(type) ? type : 0;
}

bool DataAtomAt(const uint8_t* item, size_t size, size_t offset, TMPEG4DataAtom& out, size_t& atomSize) {
    ByteReader r(item, size);
    // size, type, type indicator, locale
    uint32_t stated, type;
    uint8_t indicator[4];
    if (!r.Seek(offset) || !r.ReadBE32(stated) || !r.ReadBE32(type) || !r.ReadBytes(indicator, 4) || !r.Skip(4))
        return false;
    const size_t length = stated == 0 ? 16 + r.Remaining() : stated; // 0: to the end of the item
    const uint8_t* payload;
    if (length < 16 || type != atom::kData || !r.ReadSpan(length - 16, payload))
        return false;
    out.Payload = payload;
    out.Length = length - 16;
    std::copy(indicator, indicator + 4, out.TypeIndicator);
    atomSize = length;
    return true;
}

bool FirstDataAtom(const uint8_t* item, size_t size, TMPEG4DataAtom& out) {
    const size_t header = ItemHeaderSize(item, size);
    size_t atomSize;
    return header != 0 && DataAtomAt(item, size, header, out, atomSize);
}

void WriteDataItem(TStream& stream, uint32_t itemType, const uint8_t typeIndicator[4], const uint8_t* payload,
                   size_t length) {
    uint8_t head[24];
    PutBE32(head, static_cast<uint32_t>(length + 24));
    PutBE32(head + 4, itemType);
    PutBE32(head + 8, static_cast<uint32_t>(length + 16));
    PutBE32(head + 12, atom::kData);
    for (int i = 0; i < 4; ++i)
        head[16 + i] = typeIndicator[i];
    PutBE32(head + 20, 0); // locale
    stream.WriteBuffer(head, sizeof head);
    stream.WriteBuffer(payload, static_cast<int64_t>(length));
}

uint64_t PayloadNumber(const uint8_t* payload, size_t length) {
    switch (length) {
    case 1:
        return payload[0];
    case 2:
        return GetBE16(payload);
    case 4:
        return GetBE32(payload);
    case 8:
        return GetBE64(payload);
    default:
        return 0;
    }
}

namespace {

// The decimal number a value stands for; 0 for an empty value or one that is not a whole number.
uint64_t ValueNumber(const std::wstring& value) {
    const size_t first = value.find_first_not_of(L' ');
    if (first == std::wstring::npos)
        return 0;
    const size_t last = value.find_last_not_of(L' ');
    uint64_t number = 0;
    for (size_t i = first; i <= last; ++i) {
        const wchar_t c = value[i];
        if (c < L'0' || c > L'9')
            return 0;
        if (number > (UINT64_MAX - 9) / 10)
            return 0;
        number = number * 10 + static_cast<uint64_t>(c - L'0');
    }
    return number;
}

std::wstring NumberText(uint64_t number) { return number == 0 ? std::wstring() : std::to_wstring(number); }

} // namespace

// ---- TMPEG4ItemTag ----------------------------------------------------------------------------------

TMPEG4ItemTag::TMPEG4ItemTag(TCommonMediaTags* owner, uint32_t itemType) : TBaseStringTag(owner) {
    TagID = itemType;
}

void TMPEG4ItemTag::LoadFromBuffer(const uint8_t* data, size_t size) {
    RawItems.emplace_back(data, data + size);
    TMPEG4DataAtom first;
    if (!FirstDataAtom(data, size, first))
        return; // kept as read, but no value to show
    for (int i = 0; i < 4; ++i)
        DataType[i] = first.TypeIndicator[i];
    ReadPayload(ItemType(data, size), first);
}

void TMPEG4ItemTag::SaveToStream(TStream& stream) {
    if (!GetModified() && !RawItems.empty()) {
        for (const auto& raw : RawItems)
            stream.WriteBuffer(raw.data(), static_cast<int64_t>(raw.size()));
        return;
    }
    WriteValue(stream);
}

void TMPEG4ItemTag::Clear() {
    TBaseStringTag::Clear();
    RawItems.clear();
    for (uint8_t& b : DataType)
        b = 0;
}

// ---- TMPEG4TextTag ----------------------------------------------------------------------------------

TMPEG4TextTag::TMPEG4TextTag(TCommonMediaTags* owner, uint32_t itemType, bool limitLength)
    : TMPEG4ItemTag(owner, itemType), LimitLength(limitLength) {}

void TMPEG4TextTag::ReadPayload(uint32_t, const TMPEG4DataAtom& data) {
    if (data.Kind() == kind::kUtf16 && data.TypeIndicator[0] == 0)
        Value = Utf16BytesToWide(data.Payload, data.Length / 2, true);
    else
        Value = Utf8ToWide(reinterpret_cast<const char*>(data.Payload), data.Length);
}

void TMPEG4TextTag::WriteValue(TStream& stream) { WriteText(stream, TagID); }

void TMPEG4TextTag::WriteText(TStream& stream, uint32_t itemType) {
    std::string text = WideToUtf8(Value);
    if (text.empty())
        return;
    if (LimitLength && text.size() >= 256) {
        // Keep at most 255 bytes, without cutting a character in two.
        size_t cut = 255;
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
            --cut;
        text.resize(cut);
    }
    static const uint8_t kTextType[4] = {0, 0, 0, kind::kUtf8};
    WriteDataItem(stream, itemType, kTextType, reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

// ---- TMPEG4GenreTag ---------------------------------------------------------------------------------

void TMPEG4GenreTag::ReadPayload(uint32_t itemType, const TMPEG4DataAtom& data) {
    if (itemType != item::kGenreCode) {
        TMPEG4TextTag::ReadPayload(itemType, data);
        return;
    }
    // "gnre" counts the ID3 genres from 1.
    const uint64_t code = PayloadNumber(data.Payload, data.Length);
    Value = code >= 1 && code <= kID3GenreCount ? Utf8ToWide(ID3GenreName(static_cast<int>(code - 1))) : std::wstring();
}

void TMPEG4GenreTag::WriteValue(TStream& stream) {
    // A code is written only where it names the same genre for every reader ("gnre" = ID3 number + 1).
    const uint16_t code = AppleGenreCode(Value);
    if (code != 0 && ID3GenreIndex(Value) == static_cast<int>(code) - 1) {
        static const uint8_t kCodeType[4] = {0, 0, 0, kind::kBinary};
        uint8_t payload[2];
        PutBE16(payload, code);
        WriteDataItem(stream, item::kGenreCode, kCodeType, payload, sizeof payload);
        return;
    }
    WriteText(stream, item::kGenreText);
}

// ---- TMPEG4Int8Tag ----------------------------------------------------------------------------------

TMPEG4Int8Tag::TMPEG4Int8Tag(TCommonMediaTags* owner, uint32_t itemType, int byteWidth)
    : TMPEG4ItemTag(owner, itemType), ByteWidth(byteWidth) {}

void TMPEG4Int8Tag::ReadPayload(uint32_t, const TMPEG4DataAtom& data) {
    Value = NumberText(PayloadNumber(data.Payload, data.Length));
}

void TMPEG4Int8Tag::WriteValue(TStream& stream) {
    static const uint8_t kIntegerType[4] = {0, 0, 0, kind::kInteger};
    const size_t width = ByteWidth > 0 && ByteWidth <= 64 ? static_cast<size_t>(ByteWidth) : 0;
    std::vector<uint8_t> payload(width, 0);
    const uint64_t number = ValueNumber(Value); // the low bytes that fit the width
    switch (width) {
    case 1:
        payload[0] = static_cast<uint8_t>(number);
        break;
    case 2:
        PutBE16(payload.data(), static_cast<uint16_t>(number));
        break;
    case 4:
        PutBE32(payload.data(), static_cast<uint32_t>(number));
        break;
    case 8:
        PutBE64(payload.data(), number);
        break;
    default:
        break; // other widths are written as zeros
    }
    WriteDataItem(stream, TagID, kIntegerType, payload.data(), payload.size());
}

// ---- TMPEG4TrackTag ---------------------------------------------------------------------------------

TMPEG4TrackTag::TMPEG4TrackTag(TCommonMediaTags* owner, uint32_t itemType) : TMPEG4ItemTag(owner, itemType) {}

void TMPEG4TrackTag::ReadPayload(uint32_t, const TMPEG4DataAtom& data) {
    if (data.Length != 8) {
        Value = NumberText(PayloadNumber(data.Payload, data.Length));
        return;
    }
    const uint32_t number = GetBE32(data.Payload);
    const uint16_t total = GetBE16(data.Payload + 4);
    if (number == 0)
        Value.clear();
    else if (total == 0)
        Value = std::to_wstring(number);
    else
        Value = Utf8ToWide(FormatTrackText(total, static_cast<int>(number), 3));
}

void TMPEG4TrackTag::WriteValue(TStream& stream) {
    int number = 0, total = 0;
    ParseTrackText(WideToUtf8(Value), number, total);
    static const uint8_t kBinaryType[4] = {0, 0, 0, kind::kBinary};
    uint8_t payload[8] = {};
    PutBE32(payload, static_cast<uint32_t>(number));
    PutBE16(payload + 4, static_cast<uint16_t>(total));
    WriteDataItem(stream, TagID, kBinaryType, payload, sizeof payload);
}

// ---- TMPEG4KnownTags --------------------------------------------------------------------------------

TMPEG4KnownTags::TMPEG4KnownTags(TBaseMediaFormat* format) : TCommonMediaTags(format) {
    // Creation order is TagList order, which is also the order items are written in.
    Artist = Make<TMPEG4TextTag>(item::kArtist);
    Title = Make<TMPEG4TextTag>(item::kTitle);
    Album = Make<TMPEG4TextTag>(item::kAlbum);
    Comment = Make<TMPEG4TextTag>(item::kComment);
    Track = Make<TMPEG4TrackTag>(item::kTrack);
    Composer = Make<TMPEG4TextTag>(item::kComposer);
    Genre = Make<TMPEG4GenreTag>(item::kGenreText);
    Year = Make<TMPEG4TextTag>(item::kYear);
    Pictures = Make<TMPEG4PictureTag>();
    AlbumArtist = Make<TMPEG4TextTag>(item::kAlbumArtist);
    // A one-byte flag, as every other reader expects it.
    Compilation = Make<TMPEG4Int8Tag>(item::kCompilation, 1);
    Copyright = Make<TMPEG4TextTag>(item::kCopyright);
    Publisher = Make<TMPEG4TextTag>(item::kPublisher);
    Lyrics = Make<TMPEG4TextTag>(item::kLyrics, false);
    Lyricist = Make<TMPEG4TextTag>(item::kLyricist);
    Conductor = Make<TMPEG4TextTag>(item::kConductor);
    InvolvedPeople = Make<TMPEG4TextTag>(item::kInvolvedPeople);
    OriginalAlbum = Make<TMPEG4TextTag>(item::kOriginalAlbum);
    OriginalArtist = Make<TMPEG4TextTag>(item::kOriginalArtist);
    OriginalLyricist = Make<TMPEG4TextTag>(item::kOriginalLyricist);
    OriginalYear = Make<TMPEG4TextTag>(item::kOriginalYear);
    Mood = Make<TMPEG4TextTag>(item::kMood);
    BPM = Make<TMPEG4Int8Tag>(item::kBPM, 2);
    ISRC = Make<TMPEG4TextTag>(item::kISRC);
    EncodedBy = Make<TMPEG4TextTag>(item::kEncodedBy);
    URL = Make<TMPEG4TextTag>(item::kURL);
    Pictures->TagID = item::kCover;
}

TBaseTag* TMPEG4KnownTags::FindItemTag(uint32_t itemType) const {
    for (TBaseTag* tag : TagList)
        if (tag->TagID == itemType && tag->Supported && !tag->Ignore())
            return tag;
    if (itemType == item::kGenreCode && Genre && Genre->Supported && !Genre->Ignore())
        return Genre;
    return nullptr;
}

bool TMPEG4KnownTags::IgnoresItem(uint32_t itemType) const {
    for (const TBaseTag* tag : TagList)
        if (tag->TagID == itemType && tag->Supported && tag->Ignore())
            return true;
    return false;
}

} // namespace mellodeck
