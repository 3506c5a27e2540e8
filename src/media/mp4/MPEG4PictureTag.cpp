#include "media/mp4/MPEG4PictureTag.h"

#include "imaging/ImageCodecs.h"
#include "media/core/MediaManager.h"
#include "media/mp4/AtomTypes.h"
#include "media/mp4/MPEG4Tags.h"

namespace mellodeck {
namespace {

// The decoder for a picture: by its signature first (kinds are sometimes mislabelled), then by the kind
// the data atom declares.
ImageKind PictureKind(const TMPEG4DataAtom& data) {
    const ImageKind sniffed = DetectImageKind(data.Payload, data.Length);
    if (sniffed != ImageKind::Unknown)
        return sniffed;
    if (data.Kind() == kind::kJpeg)
        return ImageKind::Jpeg;
    if (data.Kind() == kind::kPng)
        return ImageKind::Png;
    return ImageKind::Unknown;
}

// The MIME type of a picture kind, for callers that carry pictures to other formats.
const char* MimeOf(ImageKind kind) {
    switch (kind) {
    case ImageKind::Jpeg: return "image/jpeg";
    case ImageKind::Png: return "image/png";
    case ImageKind::Bmp: return "image/bmp";
    case ImageKind::Gif: return "image/gif";
    case ImageKind::Tiff: return "image/tiff";
    default: return "";
    }
}


void WriteDataAtomHead(TStream& stream, size_t payloadSize, const uint8_t typeIndicator[4]) {
    uint8_t head[16];
    PutBE32(head, static_cast<uint32_t>(payloadSize + 16));
    PutBE32(head + 4, atom::kData);
    for (int i = 0; i < 4; ++i)
        head[8 + i] = typeIndicator[i];
    PutBE32(head + 12, 0);
    stream.WriteBuffer(head, sizeof head);
}

} // namespace

TMPEG4PictureTag::TMPEG4PictureTag(TCommonMediaTags* owner) : TBasePictureTag(owner) { TagID = item::kCover; }

void TMPEG4PictureTag::LoadFromBuffer(const uint8_t* data, size_t size) {
    RawItems.emplace_back(data, data + size);
    size_t offset = ItemHeaderSize(data, size);
    if (offset == 0)
        return;
    TMPEG4DataAtom picture;
    size_t atomSize = 0;
    // Every data atom lies inside the item and is at least 16 bytes long, so the loop always advances.
    while (DataAtomAt(data, size, offset, picture, atomSize)) {
        TPictureItem* item = Add();
        const ImageKind kind = PictureKind(picture);
        item->MIMEType = MimeOf(kind);
        Bitmap32 bitmap;
        if (DecodePictureBitmap(this, kind, picture.Payload, picture.Length, bitmap) && !bitmap.Empty()) {
            item->GetBitmap() = std::move(bitmap); // moved, not copied
            item->Decoded = true;
        }
        item->SetData(picture.Payload, picture.Length); // after the bitmap: drawing frees raw bytes
        for (int i = 0; i < 4; ++i)
            item->CoverDataType[i] = picture.TypeIndicator[i];
        item->Modified = false;
        FLoadedItems.push_back(item);
        offset += atomSize;
    }
}

void TMPEG4PictureTag::SaveToStream(TStream& stream) {
    bool unchanged = !GetModified() && !RawItems.empty() && Items.size() == FLoadedItems.size();
    for (size_t i = 0; unchanged && i < Items.size(); ++i)
        unchanged = Items[i].get() == FLoadedItems[i];
    if (unchanged) {
        for (const auto& raw : RawItems)
            stream.WriteBuffer(raw.data(), static_cast<int64_t>(raw.size()));
        return;
    }

    TMemoryStream atoms;
    for (const auto& item : Items) {
        if (item->HasData()) {
            uint8_t type[4] = {item->CoverDataType[0], item->CoverDataType[1], item->CoverDataType[2],
                               item->CoverDataType[3]};
            if (type[0] == 0 && type[1] == 0 && type[2] == 0 && type[3] == 0) {
                // Raw bytes given without a type indicator: name the kinds readers know.
                const ImageKind sniffed = DetectImageKind(item->Data.data(), item->Data.size());
                type[3] = sniffed == ImageKind::Png ? kind::kPng : sniffed == ImageKind::Jpeg ? kind::kJpeg : 0;
            }
            WriteDataAtomHead(atoms, item->Data.size(), type);
            atoms.WriteBuffer(item->Data.data(), static_cast<int64_t>(item->Data.size()));
        } else if (item->HasBitmap()) {
            Bitmap32 picture = *item->Bitmap;
            if (ImageTagLimiter())
                ImageTagLimiter()->Limit(&picture);
            std::vector<uint8_t> jpeg;
            bool encoded;
            {
                auto lease = TMediaManager::AcquireJpegImage();
                encoded = EncodeJpeg(picture, jpeg, 80);
            }
            if (!encoded || jpeg.empty())
                continue;
            static const uint8_t kJpegType[4] = {0, 0, 0, kind::kJpeg};
            WriteDataAtomHead(atoms, jpeg.size(), kJpegType);
            atoms.WriteBuffer(jpeg.data(), static_cast<int64_t>(jpeg.size()));
        }
    }
    if (atoms.Size() == 0)
        return;
    uint8_t head[8];
    PutBE32(head, static_cast<uint32_t>(atoms.Size() + 8));
    PutBE32(head + 4, item::kCover);
    stream.WriteBuffer(head, sizeof head);
    stream.WriteBuffer(atoms.Memory(), atoms.Size());
}

void TMPEG4PictureTag::Clear() {
    TBasePictureTag::Clear();
    RawItems.clear();
    FLoadedItems.clear();
}

TPictureItem* TMPEG4PictureTag::GetMainPicture() const {
    for (const auto& item : Items)
        if (item->HasBitmap())
            return item.get();
    return Items.empty() ? nullptr : Items.front().get();
}

} // namespace mellodeck
