#include "media/vorbis/PictureRecord.h"

#include <cstring>

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

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int Base64Value(char c) {
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
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
    out.clear();
    if (text.size() % 4 != 0 || text.size() / 4 * 3 > limit + 2)
        return false;
    out.reserve(text.size() / 4 * 3);
    for (size_t i = 0; i < text.size(); i += 4) {
        int v[4];
        int padding = 0;
        for (int k = 0; k < 4; ++k) {
            const char c = text[i + k];
            if (c == '=' && i + 4 == text.size() && k >= 2) {
                v[k] = 0;
                ++padding;
            } else if (padding || (v[k] = Base64Value(c)) < 0) {
                return false;
            }
        }
        const uint32_t group = static_cast<uint32_t>(v[0] << 18 | v[1] << 12 | v[2] << 6 | v[3]);
        out.push_back(static_cast<uint8_t>(group >> 16));
        if (padding < 2)
            out.push_back(static_cast<uint8_t>(group >> 8));
        if (padding < 1)
            out.push_back(static_cast<uint8_t>(group));
    }
    return out.size() <= limit;
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
