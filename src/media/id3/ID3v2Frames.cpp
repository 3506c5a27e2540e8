#include "media/id3/ID3v2Frames.h"

#include <algorithm>
#include <cstring>

#include <zlib.h>

#include "media/core/MediaErrors.h"
#include "media/id3/FrameText.h"

namespace mellodeck {
namespace {

bool IsUpperOrDigit(uint8_t c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

bool ValidFrameID(const uint8_t* id, int length) {
    if (id[0] < 'A' || id[0] > 'Z')
        return false;
    for (int i = 1; i < length; ++i)
        if (!IsUpperOrDigit(id[i]))
            return false;
    return true;
}

// True when a frame of the tag being read could start at `position`: the tag ends there, padding
// begins there, or a valid frame id stands there.
bool LandsOnFrame(TStream& source, int64_t position, int64_t tagEnd, int64_t limit, int idLength) {
    if (position == tagEnd)
        return true;
    if (position > tagEnd || position + 1 > limit)
        return false;
    const int64_t back = source.Position();
    uint8_t id[4] = {};
    const int64_t want = std::min<int64_t>(idLength, limit - position);
    const bool read = source.SetPosition(position) && source.Read(id, want) == want;
    source.SetPosition(back);
    if (!read)
        return false;
    return id[0] == 0 || (want == idLength && ValidFrameID(id, idLength));
}

} // namespace

bool IsID3v2TagHeader(const uint8_t* bytes) { return std::memcmp(bytes, "ID3", 3) == 0; }

TID3v2TagHeader TID3v2TagHeader::Parse(const uint8_t* bytes) {
    TID3v2TagHeader header;
    header.Major = bytes[3];
    header.Revision = bytes[4];
    header.Flags = bytes[5];
    header.Size = ReadSyncSafe(bytes + 6);
    return header;
}

void WriteV23TagHeader(uint8_t* out, uint32_t size) {
    std::memcpy(out, "ID3\x03\x00\x00", 6);
    WriteSyncSafe(out + 6, size);
}

TExtendedHeaderSkip SkipExtendedHeader(TStream& source, uint8_t major, int64_t tagEnd, int64_t limit,
                                       uint8_t* extended) {
    if (source.Read(extended, id3v2::kExtendedHeaderRead) != id3v2::kExtendedHeaderRead)
        return TExtendedHeaderSkip::ReadError;
    // Version 2.4 counts the whole extended header (syncsafe); the others count after the size field.
    int64_t extendedEnd = major == 4 ? id3v2::kTagHeaderSize + static_cast<int64_t>(ReadSyncSafe(extended))
                                     : id3v2::kTagHeaderSize + 4 + static_cast<int64_t>(GetBE32(extended));
    extendedEnd = std::max<int64_t>(extendedEnd, id3v2::kTagHeaderSize + id3v2::kExtendedHeaderRead);
    if (extendedEnd > tagEnd || extendedEnd > limit) {
        // An extended header larger than the tag: no frames can be trusted; the audio follows the tag.
        source.SetPosition(std::min(tagEnd, limit));
        return TExtendedHeaderSkip::NoFrames;
    }
    source.SetPosition(extendedEnd);
    return TExtendedHeaderSkip::Frames;
}

bool TID3v2FrameHeader::ValidID() const { return ValidFrameID(Bytes, IDLength()); }

std::wstring TID3v2FrameHeader::IDText() const {
    const int length = IDLength();
    std::wstring text;
    bool plain = true;
    for (int i = 0; i < length; ++i)
        plain = plain && IsUpperOrDigit(Bytes[i]);
    static const wchar_t digits[] = L"0123456789ABCDEF";
    for (int i = 0; i < length; ++i) {
        if (plain) {
            text += static_cast<wchar_t>(Bytes[i]);
        } else {
            text += digits[Bytes[i] >> 4];
            text += digits[Bytes[i] & 15];
        }
    }
    return text;
}

TID3v2FrameWalk::TID3v2FrameWalk(TStream& source, uint8_t major, int64_t tagEnd, int64_t limit)
    : FSource(source), FMajor(major), FTagEnd(tagEnd), FLimit(limit) {}

TID3v2FrameWalk::TStep TID3v2FrameWalk::Next(TID3v2FrameHeader& header) {
    header.Major = FMajor;
    header.Start = FSource.Position();
    const int headerSize = header.HeaderSize();
    const int idLength = header.IDLength();
    if (FSource.Read(header.Bytes, headerSize) != headerSize)
        return TStep::ReadError;
    const uint8_t* sizeBytes = header.Bytes + idLength;
    if (FMajor == 2) {
        header.Size = (int64_t(sizeBytes[0]) << 16) | (int64_t(sizeBytes[1]) << 8) | int64_t(sizeBytes[2]);
    } else if (FMajor == 4) {
        header.Size = ReadSyncSafe(sizeBytes);
        const int64_t plain = GetBE32(sizeBytes);
        if (plain != header.Size && header.ValidID() &&
            !LandsOnFrame(FSource, header.Start + headerSize + header.Size, FTagEnd, FLimit, idLength) &&
            LandsOnFrame(FSource, header.Start + headerSize + plain, FTagEnd, FLimit, idLength))
            header.Size = plain;
    } else {
        header.Size = static_cast<int32_t>(GetBE32(sizeBytes));
    }
    if (!header.ValidID() || header.Size < 0 || header.End() > FLimit) {
        FSource.SetPosition(header.Start);
        return TStep::Invalid;
    }
    return TStep::Frame;
}

bool TID3v2FrameWalk::AtEnd() {
    const int64_t position = FSource.Position();
    if (position == FTagEnd)
        return true;
    uint8_t next;
    if (FSource.Read(&next, 1) == 1 && next == 0)
        return true; // padding
    FSource.SetPosition(position);
    return false;
}

const uint8_t* DecodeFramePayload(uint8_t major, uint8_t formatFlags, bool tagUnsync, const uint8_t* data,
                                  size_t size, std::vector<uint8_t>& storage, size_t& payloadSize) {
    const uint8_t* p = data;
    size_t n = size;
    auto skip = [&](size_t count) {
        if (n < count)
            throw EMP3MediaFormat(L"Frame data too short");
        p += count;
        n -= count;
    };
    if (major == 4) {
        if ((formatFlags & id3v2::v24::kUnsynchronisation) || tagUnsync) {
            storage = RemoveUnsynchronisation(p, n);
            p = storage.data();
            n = storage.size();
        }
        if (formatFlags & (id3v2::v24::kCompression | id3v2::v24::kEncryption))
            throw EMP3MediaFormat(L"Compressed or encrypted frame");
        if (formatFlags & id3v2::v24::kGrouping)
            skip(1);
        if (formatFlags & id3v2::v24::kDataLengthIndicator)
            skip(4);
    } else {
        if (formatFlags & id3v2::v23::kEncryption)
            throw EMP3MediaFormat(L"Encrypted frame");
        uint32_t inflatedSize = 0;
        if (formatFlags & id3v2::v23::kCompression) {
            if (n < 4)
                throw EMP3MediaFormat(L"Frame data too short");
            inflatedSize = GetBE32(p);
            skip(4);
        }
        if (formatFlags & id3v2::v23::kGrouping)
            skip(1);
        if (formatFlags & id3v2::v23::kCompression) {
            // zlib data; its stated size bounds the output, and so does a cap on what one frame may hold.
            if (inflatedSize > id3v2::kMaxInflatedFrame)
                throw EMP3MediaFormat(L"Compressed frame too large");
            std::vector<uint8_t> out(inflatedSize);
            uLongf got = inflatedSize;
            if (uncompress(out.data(), &got, p, static_cast<uLong>(n)) != Z_OK || got != inflatedSize)
                throw EMP3MediaFormat(L"Compressed frame damaged");
            storage = std::move(out);
            p = storage.data();
            n = storage.size();
        }
    }
    payloadSize = n;
    return p;
}

bool ConvertFrameToV23(const uint8_t* frame, size_t size, bool tagUnsync, std::vector<uint8_t>& out) {
    namespace v23 = id3v2::v23;
    namespace v24 = id3v2::v24;
    if (size < static_cast<size_t>(id3v2::kFrameHeaderSize))
        return false;
    const uint8_t status = frame[id3v2::kStatusFlagsAt], format = frame[id3v2::kFormatFlagsAt];
    const uint8_t* p = frame + id3v2::kFrameHeaderSize;
    size_t n = size - id3v2::kFrameHeaderSize;
    std::vector<uint8_t> storage;
    if ((format & v24::kUnsynchronisation) || tagUnsync) {
        storage = RemoveUnsynchronisation(p, n);
        p = storage.data();
        n = storage.size();
    }
    uint8_t group = 0, method = 0;
    uint32_t dataLength = 0;
    if (format & v24::kGrouping) {
        if (n < 1)
            return false;
        group = *p++;
        --n;
    }
    if (format & v24::kEncryption) {
        if (n < 1)
            return false;
        method = *p++;
        --n;
    }
    if (format & v24::kDataLengthIndicator) {
        if (n < 4)
            return false;
        dataLength = ReadSyncSafe(p);
        p += 4;
        n -= 4;
    }
    const bool compressed = format & v24::kCompression;
    if (compressed && !(format & v24::kDataLengthIndicator))
        return false;
    std::vector<uint8_t> payload;
    if (compressed) {
        payload.resize(4);
        PutBE32(payload.data(), dataLength);
    }
    if (format & v24::kEncryption)
        payload.push_back(method);
    if (format & v24::kGrouping)
        payload.push_back(group);
    payload.insert(payload.end(), p, p + n);
    // Text is re-encoded only where it can be read: not behind a group byte, compressed or encrypted.
    if (!(format & (v24::kGrouping | v24::kCompression | v24::kEncryption))) {
        const char id[4] = {char(frame[0]), char(frame[1]), char(frame[2]), char(frame[3])};
        ReencodeUtf8Frame(id, payload);
    }

    out.assign(frame, frame + 4);
    out.resize(id3v2::kFrameHeaderSize);
    PutBE32(out.data() + 4, static_cast<uint32_t>(payload.size()));
    auto moved = [](uint8_t flags, uint8_t from, uint8_t to) { return static_cast<uint8_t>((flags & from) ? to : 0); };
    out[id3v2::kStatusFlagsAt] = moved(status, v24::kTagAlterPreservation, v23::kTagAlterPreservation) |
                                 moved(status, v24::kFileAlterPreservation, v23::kFileAlterPreservation) |
                                 moved(status, v24::kReadOnly, v23::kReadOnly);
    out[id3v2::kFormatFlagsAt] = moved(format, v24::kCompression, v23::kCompression) |
                                 moved(format, v24::kEncryption, v23::kEncryption) |
                                 moved(format, v24::kGrouping, v23::kGrouping);
    out.insert(out.end(), payload.begin(), payload.end());
    return true;
}

} // namespace mellodeck
