#include "media/flac/FlacPictureTag.h"

#include <algorithm>
#include <cstring>

#include "media/core/MediaManager.h"
#include "media/vorbis/VorbisComments.h"

namespace mellodeck {

uint32_t TFlacPictureTag::BlockLength(uint64_t recordsSize) {
    return static_cast<uint32_t>(((recordsSize + 10 + 7) / 8) * 8 + 4);
}

bool TFlacPictureTag::LoadPictures(ByteReader& records) {
    uint16_t count;
    if (!records.ReadLE16(count))
        return false;
    for (unsigned i = 0; i < count; ++i) {
        uint8_t formatCode, formatVariant;
        uint32_t dataLength;
        uint16_t descriptionLength;
        std::string_view description;
        const uint8_t* data;
        if (!records.ReadU8(formatCode) || !records.ReadU8(formatVariant) || !records.ReadLE32(dataLength) ||
            !records.ReadLE16(descriptionLength) || !records.ReadText(descriptionLength, description) ||
            !records.ReadSpan(dataLength, data))
            return false; // the record passes the end of its block
        TPictureItem* item = Add();
        item->FormatCode = formatCode;
        item->FormatVariant = formatVariant;
        if (!description.empty())
            item->Description = WideToAnsi(Utf8ToWide(std::string(description))); // the field holds 8-bit text
        if (item->FormatCode == 0) {
            Bitmap32 decoded;
            if (DecodePictureBitmap(this, ImageKind::Jpeg, data, dataLength, decoded) && !decoded.Empty()) {
                item->RecreateBitmap(0, 0) = std::move(decoded); // moved, not copied
                item->Decoded = true;
                Exists = true;
            }
        }
        // After drawing: drawing on the bitmap frees the raw bytes.
        item->SetData(data, dataLength);
        item->Modified = false;
    }
    return true;
}

void TFlacPictureTag::Clear() {
    const bool existed = Exists || !Items.empty();
    TBasePictureTag::Clear();
    SetModified(existed);
}

bool TFlacPictureTag::InOwnBlock(const TPictureItem& item) {
    const auto* standard = dynamic_cast<const TStandardPictureItem*>(&item);
    return !(standard && standard->SourceKey != 0 && standard->HasData());
}

bool TFlacPictureTag::HasOwnBlockItems() const {
    for (const auto& item : Items)
        if (InOwnBlock(*item))
            return true;
    return false;
}

void TFlacPictureTag::SaveToStream(TStream& stream) {
    // Every item is written, also one that was never decoded (a record of another picture format, or a
    // JPEG that failed to decode): its bytes are the user's data and must survive the save.
    TMemoryStream records;
    size_t count = 0;
    for (const auto& item : Items) {
        if (!InOwnBlock(*item))
            continue;
        ++count;
        uint8_t formatCode = item->FormatCode, formatVariant = item->FormatVariant;
        std::vector<uint8_t> encoded;
        const std::vector<uint8_t>* data = &item->Data;
        if (!item->HasData()) {
            formatCode = 0;
            formatVariant = 0;
            if (item->HasBitmap()) {
                Bitmap32 limited = *item->Bitmap;
                if (ImageTagLimiter())
                    ImageTagLimiter()->Limit(&limited);
                auto lease = TMediaManager::AcquireJpegImage();
                if (!EncodeJpeg(limited, encoded, 80))
                    encoded.clear();
            }
            data = &encoded;
        }
        // Stored as UTF-8 behind a 16-bit length.
        std::string description = WideToUtf8(AnsiToWide(item->Description));
        if (description.size() > 0xFFFF) {
            size_t cut = 0xFFFF;
            while (cut > 0 && (static_cast<uint8_t>(description[cut]) & 0xC0) == 0x80)
                --cut; // do not split a character
            description.resize(cut);
        }
        uint8_t head[8] = {formatCode, formatVariant, 0, 0, 0, 0, 0, 0};
        PutLE32(head + 2, static_cast<uint32_t>(data->size()));
        PutLE16(head + 6, static_cast<uint16_t>(description.size()));
        records.WriteBuffer(head, 8);
        records.WriteBuffer(description.data(), static_cast<int64_t>(description.size()));
        records.WriteBuffer(data->data(), static_cast<int64_t>(data->size()));
    }
    const uint64_t recordsSize = static_cast<uint64_t>(records.Size());
    if (recordsSize > kMaxRecordsSize || count > 0xFFFF)
        throw EStreamError(L"Pictures too large for a FLAC metadata block");
    const uint32_t blockLength = BlockLength(recordsSize);
    uint8_t header[18] = {2, 0, 0, 0, 'm', 'r', 'q', 'l', 'A', 'R', 'T', 'W'};
    PutBE24(header + 1, blockLength);
    PutLE32(header + 12, static_cast<uint32_t>(recordsSize + 2));
    PutLE16(header + 16, static_cast<uint16_t>(count));
    stream.WriteBuffer(header, 18);
    stream.WriteBuffer(records.Memory(), records.Size());
    const int64_t padding = static_cast<int64_t>(blockLength) - 14 - static_cast<int64_t>(recordsSize);
    FillBytes(stream, 0, padding);
}

} // namespace mellodeck
