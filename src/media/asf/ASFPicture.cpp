#include "media/asf/ASFPicture.h"

#include <cstring>

#include "media/asf/ASFGuids.h"

namespace mellodeck::asf {
namespace {

// A zero-terminated UTF-16LE text at `at` inside [0, size): false when no terminator lies inside.
bool TextAt(const uint8_t* bytes, size_t size, size_t& at, std::u16string& out) {
    out.clear();
    while (at + 1 < size) {
        const uint16_t c = GetLE16(bytes + at);
        at += 2;
        if (c == 0)
            return true;
        out.push_back(static_cast<char16_t>(c));
    }
    return false;
}

void PutText(uint8_t* p, const std::u16string& text) {
    for (size_t i = 0; i < text.size(); ++i)
        PutLE16(p + 2 * i, static_cast<uint16_t>(text[i]));
    PutLE16(p + 2 * text.size(), 0);
}

} // namespace

bool ParseStoredPicture(const uint8_t* bytes, size_t size, TASFPicture& out) {
    if (size < 5)
        return false;
    out = TASFPicture();
    out.Type = bytes[0];
    const uint32_t length = GetLE32(bytes + 1);
    size_t at = 5;
    if (!TextAt(bytes, size, at, out.MIMEType) || !TextAt(bytes, size, at, out.Description))
        return false;
    if (length > size - at)
        return false;
    out.Data.assign(bytes + at, bytes + at + length);
    return true;
}

std::vector<uint8_t> StoredPicture(const TASFPicture& picture) {
    const size_t mime = (picture.MIMEType.size() + 1) * 2;
    const size_t description = (picture.Description.size() + 1) * 2;
    std::vector<uint8_t> out(5 + mime + description + picture.Data.size());
    out[0] = picture.Type;
    PutLE32(out.data() + 1, static_cast<uint32_t>(picture.Data.size()));
    PutText(out.data() + 5, picture.MIMEType);
    PutText(out.data() + 5 + mime, picture.Description);
    if (!picture.Data.empty())
        std::memcpy(out.data() + 5 + mime + description, picture.Data.data(), picture.Data.size());
    return out;
}

size_t PictureValueSize(const TASFPicture& picture) {
    return sizeof(TWMPictureRecord) + (picture.MIMEType.size() + 1) * 2 + (picture.Description.size() + 1) * 2 +
           picture.Data.size();
}

void WritePictureValue(uint8_t* buffer, const TASFPicture& picture) {
    uint8_t* mime = buffer + sizeof(TWMPictureRecord);
    uint8_t* description = mime + (picture.MIMEType.size() + 1) * 2;
    uint8_t* data = description + (picture.Description.size() + 1) * 2;
    PutText(mime, picture.MIMEType);
    PutText(description, picture.Description);
    if (!picture.Data.empty())
        std::memcpy(data, picture.Data.data(), picture.Data.size());
    TWMPictureRecord record;
    record.MIMEType = reinterpret_cast<char16_t*>(mime);
    record.PictureType = picture.Type;
    record.Description = reinterpret_cast<char16_t*>(description);
    record.DataLength = static_cast<uint32_t>(picture.Data.size());
    record.Data = data;
    std::memcpy(buffer, &record, sizeof record);
}

bool ReadPictureValue(const uint8_t* buffer, size_t size, TASFPicture& out) {
    if (!buffer || size < sizeof(TWMPictureRecord))
        return false;
    TWMPictureRecord record;
    std::memcpy(&record, buffer, sizeof record);
    const uintptr_t begin = reinterpret_cast<uintptr_t>(buffer);
    const uintptr_t end = begin + size;
    // Offset of a pointer inside the buffer, or false.
    auto offsetOf = [&](const void* pointer, size_t& offset) {
        const uintptr_t p = reinterpret_cast<uintptr_t>(pointer);
        if (p < begin || p >= end)
            return false;
        offset = static_cast<size_t>(p - begin);
        return true;
    };
    out = TASFPicture();
    out.Type = record.PictureType;
    size_t at = 0;
    if (record.MIMEType) {
        if (!offsetOf(record.MIMEType, at) || !TextAt(buffer, size, at, out.MIMEType))
            return false;
    }
    if (record.Description) {
        if (!offsetOf(record.Description, at) || !TextAt(buffer, size, at, out.Description))
            return false;
    }
    if (record.DataLength > 0) {
        if (!record.Data || !offsetOf(record.Data, at) || record.DataLength > size - at)
            return false;
        out.Data.assign(buffer + at, buffer + at + record.DataLength);
    }
    return true;
}

TASFPicture PictureFromRecord(const TWMPictureRecord& record) {
    TASFPicture out;
    out.Type = record.PictureType;
    if (record.MIMEType)
        for (const char16_t* p = record.MIMEType; *p; ++p)
            out.MIMEType.push_back(*p);
    if (record.Description)
        for (const char16_t* p = record.Description; *p; ++p)
            out.Description.push_back(*p);
    if (record.Data && record.DataLength > 0)
        out.Data.assign(record.Data, record.Data + record.DataLength);
    return out;
}

} // namespace mellodeck::asf
