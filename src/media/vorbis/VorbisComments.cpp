#include "media/vorbis/VorbisComments.h"

#include <string>
#include <string_view>

namespace mellodeck {

void WriteLE32(TStream& stream, uint32_t value) {
    uint8_t le[4];
    PutLE32(le, value);
    stream.WriteBuffer(le, 4);
}

bool ReadComments(const uint8_t* data, size_t size, TBaseMediaFormat& format, TCommonMediaTags& known,
                  TOggExtraTags& extra) {
    // The entries are taken straight from the list's bytes; every length is checked against what is left.
    size_t at = 0;
    auto readLE32 = [&](uint32_t& value) {
        if (size - at < 4)
            return false;
        value = GetLE32(data + at);
        at += 4;
        return true;
    };
    auto readText = [&](uint32_t length, const char*& text) {
        if (length > size - at)
            return false;
        text = reinterpret_cast<const char*>(data + at);
        at += length;
        return true;
    };
    uint32_t vendorLength;
    const char* vendor;
    if (!readLE32(vendorLength) || vendorLength >= kMaxVendorLength || !readText(vendorLength, vendor))
        return false;
    format.EncoderName = Utf8ToWide(vendor, vendorLength);

    uint32_t count;
    if (!readLE32(count))
        return false;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t length;
        const char* entry;
        if (!readLE32(length) || !readText(length, entry))
            return false;
        if (length == 0)
            continue; // carries no field
        const std::string_view text(entry, length);
        const size_t eq = text.find('=');
        if (eq == std::string_view::npos) {
            // Not a field; kept whole so that a save does not lose it.
            if (TOggCommentTag* tag = extra.AddComment(std::string(text), std::wstring()))
                tag->Verbatim = true;
            continue;
        }
        if (eq == 0)
            continue; // no name
        // Field names are ASCII by the format's rules; the bytes are kept as read so that an extra entry
        // with any other bytes is written back unchanged.
        const std::string name(text.substr(0, eq));
        std::wstring value = Utf8ToWide(entry + eq + 1, length - eq - 1);
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
    const uint8_t* bytes = entries.Memory();
    for (int64_t at = 0; at + 4 <= entries.Size(); ++count)
        at += 4 + static_cast<int64_t>(GetLE32(bytes + at));
    const std::string vendor = WideToUtf8(format.EncoderName);
    WriteLE32(stream, static_cast<uint32_t>(vendor.size()));
    stream.WriteBuffer(vendor.data(), static_cast<int64_t>(vendor.size()));
    WriteLE32(stream, static_cast<uint32_t>(count));
    stream.WriteBuffer(entries.Memory(), entries.Size());
    return count;
}

} // namespace mellodeck
