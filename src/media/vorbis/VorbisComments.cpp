#include "media/vorbis/VorbisComments.h"

#include <string>

namespace mellodeck {

void WriteLE32(TStream& stream, uint32_t value) {
    uint8_t le[4];
    PutLE32(le, value);
    stream.WriteBuffer(le, 4);
}

namespace {

bool ReadLE32(TStream& stream, uint32_t& value) {
    uint8_t le[4];
    if (stream.Read(le, 4) != 4)
        return false;
    value = GetLE32(le);
    return true;
}

// Reads `length` bytes when the stream holds them; never allocates more than is there.
bool ReadText(TStream& stream, uint32_t length, std::string& text) {
    if (static_cast<int64_t>(length) > stream.Remaining())
        return false;
    text.resize(length);
    return length == 0 || stream.Read(text.data(), length) == static_cast<int64_t>(length);
}

} // namespace

bool ReadComments(TStream& stream, TBaseMediaFormat& format, TCommonMediaTags& known, TOggExtraTags& extra) {
    uint32_t vendorLength;
    if (!ReadLE32(stream, vendorLength) || vendorLength >= kMaxVendorLength)
        return false;
    std::string vendor;
    if (!ReadText(stream, vendorLength, vendor))
        return false;
    format.EncoderName = Utf8ToWide(vendor);

    uint32_t count;
    if (!ReadLE32(stream, count))
        return false;
    std::string entry;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t length;
        if (!ReadLE32(stream, length) || !ReadText(stream, length, entry))
            return false;
        if (entry.empty())
            continue; // carries no field
        const size_t eq = entry.find('=');
        if (eq == std::string::npos) {
            // Not a field; kept whole so that a save does not lose it.
            if (TOggCommentTag* tag = extra.AddComment(entry, std::wstring()))
                tag->Verbatim = true;
            continue;
        }
        if (eq == 0)
            continue; // no name
        // Field names are ASCII by the format's rules; the bytes are kept as read so that an extra entry
        // with any other bytes is written back unchanged.
        const std::string name = entry.substr(0, eq);
        const std::wstring value = Utf8ToWide(entry.substr(eq + 1));
        if (TOggCommentTag* tag = FindComment(known, name)) {
            tag->SetValue(value);
            tag->Exists = true;
        } else {
            extra.AddComment(name, value);
        }
    }
    return true;
}

int WriteComments(TStream& stream, const TBaseMediaFormat& format, TCommonMediaTags& known, TOggExtraTags& extra) {
    TMemoryStream entries;
    int count = known.SaveToStream(entries);
    count += extra.SaveToStream(entries);
    const std::string vendor = WideToUtf8(format.EncoderName);
    WriteLE32(stream, static_cast<uint32_t>(vendor.size()));
    stream.WriteBuffer(vendor.data(), static_cast<int64_t>(vendor.size()));
    WriteLE32(stream, static_cast<uint32_t>(count));
    stream.WriteBuffer(entries.Memory(), entries.Size());
    return count;
}

} // namespace mellodeck
