#include "media/vorbis/VorbisComments.h"

#include <cctype>
#include <string>
#include <string_view>

#include "media/core/ByteReader.h"

namespace mellodeck {

void WriteLE32(TStream& stream, uint32_t value) {
    uint8_t le[4];
    PutLE32(le, value);
    stream.WriteBuffer(le, 4);
}

bool IsPictureFieldName(std::string_view name) {
    static constexpr std::string_view kPictureField = "METADATA_BLOCK_PICTURE";
    if (name.size() != kPictureField.size())
        return false;
    for (size_t i = 0; i < name.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(name[i])) != kPictureField[i])
            return false;
    return true;
}

bool ReadComments(const uint8_t* data, size_t size, TBaseMediaFormat& format, TCommonMediaTags& known,
                  TOggExtraTags& extra) {
    // The entries are taken straight from the list's bytes; every length is checked against what is left.
    ByteReader r(data, size);
    uint32_t vendorLength;
    std::string_view vendor;
    if (!r.ReadLE32(vendorLength) || vendorLength >= kMaxVendorLength || !r.ReadText(vendorLength, vendor))
        return false;
    format.EncoderName = Utf8ToWide(vendor.data(), vendor.size());

    // Cover fields (base64, often the largest part of the list) are kept among the extra entries only for
    // a save or to be shown: a read-only open that ignores pictures passes over them.
    const bool skipPictures = !format.ForWriting && known.Pictures && known.Pictures->Ignore();
    uint32_t count;
    if (!r.ReadLE32(count))
        return false;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t length;
        std::string_view text;
        if (!r.ReadLE32(length) || !r.ReadText(length, text))
            return false;
        if (text.empty())
            continue; // carries no field
        const size_t eq = text.find('=');
        if (eq == std::string_view::npos) {
            // Not a field; kept whole so that a save does not lose it.
            if (TOggCommentTag* tag = extra.AddComment(std::string(text), std::wstring()))
                tag->Verbatim = true;
            continue;
        }
        if (eq == 0)
            continue; // no name
        if (skipPictures && IsPictureFieldName(text.substr(0, eq)))
            continue;
        // Field names are ASCII by the format's rules; the bytes are kept as read so that an extra entry
        // with any other bytes is written back unchanged.
        const std::string name(text.substr(0, eq));
        std::wstring value = Utf8ToWide(text.data() + eq + 1, text.size() - eq - 1);
        if (TOggCommentTag* tag = FindComment(known, name)) {
            // A name given more than once is one field of several values: the first is shown, the
            // others are kept beside it.
            if (tag->Exists)
                tag->MoreValues.push_back(std::move(value));
            else
                tag->SetValue(std::move(value));
            tag->Exists = true;
        } else {
            extra.AddComment(name, std::move(value));
        }
    }
    return true;
}

int WriteComments(TStream& stream, const TBaseMediaFormat& format, TCommonMediaTags& known, TOggExtraTags& extra) {
    TMemoryStream entries;
    known.SaveToStream(entries);
    extra.SaveToStream(entries);
    // Entries, not tags: a field of several values writes several entries.
    int count = 0;
    ByteReader written(entries.Memory(), static_cast<size_t>(entries.Size()));
    uint32_t length;
    while (written.ReadLE32(length)) {
        ++count;
        if (!written.Skip(length))
            break;
    }
    const std::string vendor = WideToUtf8(format.EncoderName);
    WriteLE32(stream, static_cast<uint32_t>(vendor.size()));
    stream.WriteBuffer(vendor.data(), static_cast<int64_t>(vendor.size()));
    WriteLE32(stream, static_cast<uint32_t>(count));
    stream.WriteBuffer(entries.Memory(), entries.Size());
    return count;
}

} // namespace mellodeck
