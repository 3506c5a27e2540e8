#include "media/vorbis/PictureRecord.h"

#include <array>
#include <cstring>
#include <type_traits>

#include "common/ByteOrder.h"
#include "media/core/ByteReader.h"
#include "media/core/MediaManager.h"
#include "common/TextConvert.h"

namespace mellodeck {
namespace {

void AppendBE32(std::vector<uint8_t>& out, uint32_t v) {
    uint8_t be[4];
    PutBE32(be, v);
    out.insert(out.end(), be, be + 4);
}

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// The value of each base64 character, -1 for any other ASCII byte.
constexpr std::array<int8_t, 128> kBase64Values = [] {
    std::array<int8_t, 128> values{};
    values.fill(-1);
    for (int i = 0; i < 64; ++i)
        values[static_cast<size_t>(kAlphabet[i])] = static_cast<int8_t>(i);
    return values;
}();

template <class Char> int Base64Value(Char c) {
    const auto code = static_cast<uint32_t>(static_cast<std::make_unsigned_t<Char>>(c));
    return code < 128 ? kBase64Values[code] : -1;
}

// Decodes 8-bit or wide text alike: the alphabet is ASCII, and any other character fails.
template <class Char>
bool DecodeBase64Text(std::basic_string_view<Char> text, std::vector<uint8_t>& out, size_t limit) {
    out.clear();
    if (text.size() % 4 != 0 || text.size() / 4 * 3 > limit + 2)
        return false;
    if (text.empty())
        return true;
    const size_t groups = text.size() / 4;
    out.resize(groups * 3);
    uint8_t* o = out.data();
    const Char* p = text.data();
    // Every group but the last is four alphabet characters.
    for (size_t g = 0; g + 1 < groups; ++g, p += 4, o += 3) {
        const int a = Base64Value(p[0]), b = Base64Value(p[1]), c = Base64Value(p[2]), d = Base64Value(p[3]);
        if ((a | b | c | d) < 0)
            return false;
        const uint32_t group = static_cast<uint32_t>(a << 18 | b << 12 | c << 6 | d);
        o[0] = static_cast<uint8_t>(group >> 16);
        o[1] = static_cast<uint8_t>(group >> 8);
        o[2] = static_cast<uint8_t>(group);
    }
    // The last may end in one or two "=", and nothing may follow one.
    int v[4];
    int padding = 0;
    for (int k = 0; k < 4; ++k) {
        if (p[k] == static_cast<Char>('=') && k >= 2) {
            v[k] = 0;
            ++padding;
        } else if (padding || (v[k] = Base64Value(p[k])) < 0) {
            return false;
        }
    }
    const uint32_t group = static_cast<uint32_t>(v[0] << 18 | v[1] << 12 | v[2] << 6 | v[3]);
    o[0] = static_cast<uint8_t>(group >> 16);
    o[1] = static_cast<uint8_t>(group >> 8);
    o[2] = static_cast<uint8_t>(group);
    out.resize(out.size() - static_cast<size_t>(padding));
    return out.size() <= limit;
}

} // namespace

bool ParsePictureRecord(const uint8_t* bytes, size_t size, TPictureRecord& record) {
    ByteReader r(bytes, size);
    auto text = [&](std::string& s) {
        uint32_t n;
        return r.ReadBE32(n) && r.ReadText(n, s);
    };
    uint32_t dataSize;
    const uint8_t* data;
    if (!r.ReadBE32(record.Type) || !text(record.Mime) || !text(record.Description) || !r.ReadBE32(record.Width) ||
        !r.ReadBE32(record.Height) || !r.ReadBE32(record.Depth) || !r.ReadBE32(record.Colors) ||
        !r.ReadBE32(dataSize) || !r.ReadSpan(dataSize, data))
        return false;
    record.Data = data;
    record.DataSize = dataSize;
    return true;
}

std::vector<uint8_t> BuildPictureRecord(const TPictureRecord& record) {
    std::vector<uint8_t> out;
    out.reserve(32 + record.Mime.size() + record.Description.size() + record.DataSize);
    AppendBE32(out, record.Type);
    AppendBE32(out, static_cast<uint32_t>(record.Mime.size()));
    out.insert(out.end(), record.Mime.begin(), record.Mime.end());
    AppendBE32(out, static_cast<uint32_t>(record.Description.size()));
    out.insert(out.end(), record.Description.begin(), record.Description.end());
    AppendBE32(out, record.Width);
    AppendBE32(out, record.Height);
    AppendBE32(out, record.Depth);
    AppendBE32(out, record.Colors);
    AppendBE32(out, static_cast<uint32_t>(record.DataSize));
    if (record.DataSize)
        out.insert(out.end(), record.Data, record.Data + record.DataSize);
    return out;
}

bool DecodeBase64(std::string_view text, std::vector<uint8_t>& out, size_t limit) {
    return DecodeBase64Text(text, out, limit);
}

bool DecodeBase64(std::wstring_view text, std::vector<uint8_t>& out, size_t limit) {
    return DecodeBase64Text(text, out, limit);
}

std::string EncodeBase64(const uint8_t* bytes, size_t size) {
    std::string out;
    out.reserve((size + 2) / 3 * 4);
    for (size_t i = 0; i < size; i += 3) {
        const size_t n = size - i < 3 ? size - i : 3;
        uint32_t group = static_cast<uint32_t>(bytes[i]) << 16;
        if (n > 1)
            group |= static_cast<uint32_t>(bytes[i + 1]) << 8;
        if (n > 2)
            group |= bytes[i + 2];
        out += kAlphabet[(group >> 18) & 63];
        out += kAlphabet[(group >> 12) & 63];
        out += n > 1 ? kAlphabet[(group >> 6) & 63] : '=';
        out += n > 2 ? kAlphabet[group & 63] : '=';
    }
    return out;
}

bool TStandardPictureItem::Unchanged() const {
    return SourceKey != 0 && !Modified && HasData() && Data.size() == Source.DataSize && MIMEType == Source.Mime &&
           PictureType == Source.Type && Description == SourceDescription8;
}

void TStandardPictureItem::Assign(const TPictureItem& source) {
    TPictureItem::Assign(source);
    // A copy is a new picture of its container, not the record the source was read from.
    SourceKey = 0;
}

void TVorbisPictureTag::Clear() {
    const bool had = !Items.empty();
    TBasePictureTag::Clear();
    SetModified(had);
}

TPictureItem* TVorbisPictureTag::AddRecord(const TPictureRecord& record, uint64_t key) {
    auto* item = static_cast<TStandardPictureItem*>(Add());
    item->SourceKey = key;
    item->Source = record;
    item->Source.Data = nullptr;
    item->MIMEType = record.Mime;
    item->PictureType = static_cast<uint8_t>(record.Type);
    item->Description = WideToAnsi(Utf8ToWide(record.Description)); // the field holds 8-bit text
    item->SourceDescription8 = item->Description;
    DecodePictureByMime(*item, record.Data, record.DataSize);
    if (!item->HasData())
        item->SetData(record.Data, record.DataSize);
    item->Modified = false;
    Exists = true;
    return item;
}

TStandardPictureItem* TVorbisPictureTag::FindSource(uint64_t key) const {
    for (const auto& item : Items) {
        auto* standard = dynamic_cast<TStandardPictureItem*>(item.get());
        if (standard && standard->SourceKey == key)
            return standard;
    }
    return nullptr;
}

std::vector<uint8_t> RecordForItem(const TPictureItem& item) {
    TPictureRecord record;
    record.Type = item.PictureType;
    record.Description = WideToUtf8(AnsiToWide(item.Description));
    std::vector<uint8_t> jpeg;
    if (item.HasData()) {
        record.Mime = item.MIMEType;
        record.Data = item.Data.data();
        record.DataSize = item.Data.size();
    } else if (item.HasBitmap()) {
        Bitmap32 limited = *item.Bitmap;
        if (ImageTagLimiter())
            ImageTagLimiter()->Limit(&limited);
        {
            auto lease = TMediaManager::AcquireJpegImage();
            if (!EncodeJpeg(limited, jpeg, 80))
                return {};
        }
        record.Mime = "image/jpeg";
        record.Data = jpeg.data();
        record.DataSize = jpeg.size();
        record.Width = static_cast<uint32_t>(limited.Width());
        record.Height = static_cast<uint32_t>(limited.Height());
        record.Depth = 24;
    } else {
        return {};
    }
    if (item.HasBitmap() && record.Width == 0) {
        record.Width = static_cast<uint32_t>(item.Bitmap->Width());
        record.Height = static_cast<uint32_t>(item.Bitmap->Height());
        record.Depth = 24;
    }
    if (const auto* standard = dynamic_cast<const TStandardPictureItem*>(&item);
        standard && standard->SourceKey != 0 && item.HasData()) {
        record.Width = standard->Source.Width;
        record.Height = standard->Source.Height;
        record.Depth = standard->Source.Depth;
        record.Colors = standard->Source.Colors;
    }
    return BuildPictureRecord(record);
}

} // namespace mellodeck
