#include "media/mp3/MP3MediaFormat.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include <zlib.h>

#include "common/TextConvert.h"
#include "media/id3/FrameText.h"
#include "report/ErrorHandler.h"

namespace mellodeck {
namespace {

// The most a compressed frame may inflate to (pictures included).
constexpr uint32_t kMaxInflatedFrame = 64u * 1024 * 1024;

bool IsUpperOrDigit(uint8_t c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

bool ValidFrameID(const uint8_t* id, int length) {
    if (id[0] < 'A' || id[0] > 'Z')
        return false;
    for (int i = 1; i < length; ++i)
        if (!IsUpperOrDigit(id[i]))
            return false;
    return true;
}

// The id as text for messages: its characters when they are all digits or capitals, else hexadecimal.
std::wstring FrameIDText(const uint8_t* id, int length) {
    std::wstring text;
    bool plain = true;
    for (int i = 0; i < length; ++i)
        plain = plain && IsUpperOrDigit(id[i]);
    static const wchar_t digits[] = L"0123456789ABCDEF";
    for (int i = 0; i < length; ++i) {
        if (plain) {
            text += static_cast<wchar_t>(id[i]);
        } else {
            text += digits[id[i] >> 4];
            text += digits[id[i] & 15];
        }
    }
    return text;
}

// The payload of a frame as its tag parses it. Version 2.4: unsynchronisation undone (frame flag 0x02, or
// the tag's own flag, which covers every frame), then the group byte (0x40) and the data length indicator
// (0x01) skipped. Version 2.3: the group byte (0x20) skipped, zlib data (0x80, behind its four-byte
// decompressed size) inflated. Other compressed and encrypted frames cannot be parsed and fail (they stay
// preserved for a save).
const uint8_t* FramePayload(uint8_t major, uint8_t formatFlags, bool tagUnsync, const uint8_t* data, size_t size,
                            std::vector<uint8_t>& storage, size_t& payloadSize) {
    const uint8_t* p = data;
    size_t n = size;
    auto skip = [&](size_t count) {
        if (n < count)
            throw EMP3MediaFormat(L"Frame data too short");
        p += count;
        n -= count;
    };
    if (major == 4) {
        if ((formatFlags & 0x02) || tagUnsync) {
            storage = RemoveUnsynchronisation(p, n);
            p = storage.data();
            n = storage.size();
        }
        if (formatFlags & 0x0C)
            throw EMP3MediaFormat(L"Compressed or encrypted frame");
        if (formatFlags & 0x40)
            skip(1);
        if (formatFlags & 0x01)
            skip(4);
    } else {
        if (formatFlags & 0x40)
            throw EMP3MediaFormat(L"Encrypted frame");
        uint32_t inflatedSize = 0;
        if (formatFlags & 0x80) {
            if (n < 4)
                throw EMP3MediaFormat(L"Frame data too short");
            inflatedSize = ReadBigEndian32(p);
            skip(4);
        }
        if (formatFlags & 0x20)
            skip(1);
        if (formatFlags & 0x80) {
            // zlib data; its stated size bounds the output, and so does a cap on what one frame may hold.
            if (inflatedSize > kMaxInflatedFrame)
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

// Re-expresses a stored ID3v2.4 frame as an ID3v2.3 frame (the version saves write): plain 32-bit size,
// flags moved to their 2.3 places, unsynchronisation undone, data length indicator dropped (kept as the
// 2.3 decompressed size of a compressed frame), UTF-8 text (unknown to 2.3) as UTF-16. False when the
// frame cannot be expressed.
bool ConvertFrameToV23(const uint8_t* frame, size_t size, bool tagUnsync, std::vector<uint8_t>& out) {
    if (size < 10)
        return false;
    const uint8_t status = frame[8], format = frame[9];
    const uint8_t* p = frame + 10;
    size_t n = size - 10;
    std::vector<uint8_t> storage;
    if ((format & 0x02) || tagUnsync) {
        storage = RemoveUnsynchronisation(p, n);
        p = storage.data();
        n = storage.size();
    }
    uint8_t group = 0, method = 0;
    uint32_t dataLength = 0;
    if (format & 0x40) {
        if (n < 1)
            return false;
        group = *p++;
        --n;
    }
    if (format & 0x04) {
        if (n < 1)
            return false;
        method = *p++;
        --n;
    }
    if (format & 0x01) {
        if (n < 4)
            return false;
        dataLength = ReadSyncSafe(p);
        p += 4;
        n -= 4;
    }
    const bool compressed = format & 0x08;
    if (compressed && !(format & 0x01))
        return false;
    std::vector<uint8_t> payload;
    if (compressed) {
        uint8_t be[4];
        WriteBigEndian32(be, dataLength);
        payload.insert(payload.end(), be, be + 4);
    }
    if (format & 0x04)
        payload.push_back(method);
    if (format & 0x40)
        payload.push_back(group);
    payload.insert(payload.end(), p, p + n);
    if (!(format & 0x4C)) {
        const char id[4] = {char(frame[0]), char(frame[1]), char(frame[2]), char(frame[3])};
        ReencodeUtf8Frame(id, payload);
    }

    out.assign(frame, frame + 4);
    out.resize(10);
    WriteBigEndian32(out.data() + 4, static_cast<uint32_t>(payload.size()));
    out[8] = static_cast<uint8_t>(((status & 0x40) ? 0x80 : 0) | ((status & 0x20) ? 0x40 : 0) |
                                  ((status & 0x10) ? 0x20 : 0));
    out[9] = static_cast<uint8_t>((compressed ? 0x80 : 0) | ((format & 0x04) ? 0x40 : 0) | ((format & 0x40) ? 0x20 : 0));
    out.insert(out.end(), payload.begin(), payload.end());
    return true;
}

} // namespace

TMP3MediaFormat::TMP3MediaFormat()
    : ID3v1(std::make_unique<TID3v1Tag>(this)), MPEGProperties(std::make_unique<TMPEGProperties>()) {
    SetTags(std::make_unique<TID3KnownTags>(this));
}

TMP3MediaFormat::~TMP3MediaFormat() = default;

bool TMP3MediaFormat::GetModified() const { return Tags->GetModified() || ID3v1->Modified; }

void TMP3MediaFormat::SetModified(bool value) {
    if (value == GetModified())
        return;
    Tags->SetModified(value);
    ID3v1->Modified = value;
}

double TMP3MediaFormat::GetDuration() const { return MPEGProperties->Duration(FileSize, (TagsFound & tkID3v1) != 0); }

void TMP3MediaFormat::Reset() {
    TBaseMediaFormat::Reset();
    ID3v1->Clear();
    std::memset(ID3v2Header, 0, sizeof ID3v2Header);
    std::memset(ExtendedHeader, 0, sizeof ExtendedHeader);
    *MPEGProperties = TMPEGProperties();
    FrameCount = 0;
    FrameCountValid = false;
    TagsFound = 0;
    FCarried.clear();
    FCommentFrame.clear();
    FTimestampFrame.clear();
}

bool TMP3MediaFormat::FindFrameTag(uint32_t frameID, TBaseTag*& tag) {
    tag = ID3Tags().FindByFrameID(frameID);
    if (!tag)
        return false;
    tag->Exists = true;
    return !tag->Ignore();
}

bool TMP3MediaFormat::FindFrameTagV22(TBaseTag*& tag, const char* frameID3) {
    tag = ID3Tags().FindByV22FrameID(frameID3);
    if (!tag)
        return false;
    tag->Exists = true;
    return !tag->Ignore();
}

void TMP3MediaFormat::LoadFrame(TBaseTag* tag, const uint8_t* data, size_t size) { tag->LoadFromBuffer(data, size); }

void TMP3MediaFormat::LogFrameFailure(const std::wstring& idText, bool v22) {
    LogError(L"->");
    LogError((v22 ? L"Frame processing failed (ID3v2.2.x), ID: " : L"Frame processing failed, ID: ") + idText);
    LogError(FileName);
    LogError(L"<-");
}

bool TMP3MediaFormat::ReadInfo() {
    bool result = true;
    std::memset(ID3v2Header, 0, sizeof ID3v2Header);
    TagsFound = 0;
    TStream& s = *Stream;
    if (s.Read(ID3v2Header, 10) != 10 || std::memcmp(ID3v2Header, "ID3", 3) != 0) {
        std::memset(ID3v2Header, 0, sizeof ID3v2Header);
        s.SetPosition(0);
        if (!FindAudio())
            result = false;
        else if (FileSize > static_cast<int64_t>(kID3v1Size))
            ReadID3v1();
    } else {
        TagsFound |= tkID3v2;
        result = ReadID3v2();
        if (result) {
            if (!FindAudio()) {
                result = false;
                LastError = kErrorInvalidData;
            } else {
                ReadID3v1();
            }
        }
    }
    Flags |= mfParsed;
    TagsToWrite = TagsFound;
    return result;
}

bool TMP3MediaFormat::ReadID3v2() {
    TStream& s = *Stream;
    const uint8_t major = ID3v2Header[3];
    const uint8_t flags = ID3v2Header[5];
    const uint32_t tagSize = ReadSyncSafe(ID3v2Header + 6);
    const int64_t tagEnd = 10 + static_cast<int64_t>(tagSize);
    ID3Tags().ReadingVersion = major;

    // Versions 2.2 and 2.3 unsynchronise the whole tag: it is read into memory and undone first.
    const bool wholeTagUnsync = (flags & 0x80) && (major == 2 || major == 3);
    std::unique_ptr<TMemoryStream> decoded;
    std::vector<size_t> removedAt;
    if (wholeTagUnsync) {
        const int64_t available = std::max<int64_t>(0, std::min<int64_t>(tagSize, FileSize - 10));
        std::vector<uint8_t> raw(static_cast<size_t>(available));
        s.ReadBuffer(raw.data(), available);
        const std::vector<uint8_t> body = RemoveUnsynchronisation(raw.data(), raw.size(), &removedAt);
        decoded = std::make_unique<TMemoryStream>();
        decoded->WriteBuffer(ID3v2Header, 10);
        decoded->WriteBuffer(body.data(), static_cast<int64_t>(body.size()));
        decoded->SetPosition(10);
    }
    TStream& source = decoded ? static_cast<TStream&>(*decoded) : s;
    const int64_t sourceTagEnd = decoded ? decoded->Size() : tagEnd;
    const int64_t limit = decoded ? decoded->Size() : FileSize;

    bool result = true;
    bool frames = tagSize != 0;
    if (flags & 0x40) {
        if (source.Read(ExtendedHeader, 6) != 6)
            return false;
        // Version 4 counts the whole extended header (syncsafe); the others count after the size field.
        int64_t extendedEnd = major == 4 ? 10 + static_cast<int64_t>(ReadSyncSafe(ExtendedHeader))
                                         : 14 + static_cast<int64_t>(ReadBigEndian32(ExtendedHeader));
        extendedEnd = std::max<int64_t>(extendedEnd, 16);
        if (extendedEnd > sourceTagEnd || extendedEnd > limit) {
            // An extended header larger than the tag: no frames can be trusted; the audio follows the tag.
            source.SetPosition(std::min(sourceTagEnd, limit));
            frames = false;
        } else {
            source.SetPosition(extendedEnd);
        }
    }
    if (frames)
        result = ReadFrames(source, sourceTagEnd, limit, major, (flags & 0x80) && major == 4, !decoded);

    if (decoded) {
        // Map the position reached in the decoded tag back to the file.
        const int64_t reached = decoded->Position();
        int64_t filePosition = reached;
        for (size_t r : removedAt)
            if (10 + static_cast<int64_t>(r) < reached)
                ++filePosition;
        s.SetPosition(filePosition);
    }
    return result;
}

namespace {

// Rank of a comment for the Comment slot: one without description first, then any other, then the
// player's bookkeeping comments ("iTunNORM", "iTunSMPB", ...), which are not meant to be read.
int CommentRank(const TMP3CommentTag& comment) {
    if (comment.Description.empty())
        return 0;
    return comment.Description.rfind(L"iTun", 0) == 0 ? 2 : 1;
}

} // namespace

void TMP3MediaFormat::Carry(const uint8_t* frame, size_t size, int64_t offset, const TBaseTag* slot) {
    TCarriedFrame carried;
    std::vector<uint8_t> converted;
    const uint8_t* bytes = frame;
    size_t count = size;
    if (FReadingMajor == 4) {
        if (!ConvertFrameToV23(frame, size, FReadingUnsync, converted))
            return; // cannot be written as a version 2.3 frame
        bytes = converted.data();
        count = converted.size();
    }
    carried.Slot = slot;
    if (PushBlock(bytes, count)) {
        carried.StoreIndex = static_cast<int>(BlockCount() - 1);
    } else if (offset >= 0) {
        carried.Offset = offset;
        carried.Size = static_cast<uint32_t>(size);
        carried.FromV24 = FReadingMajor == 4;
        carried.TagUnsync = FReadingUnsync;
    } else {
        carried.Bytes.assign(bytes, bytes + count);
    }
    FCarried.push_back(std::move(carried));
}

bool TMP3MediaFormat::CarriedBytes(const TCarriedFrame& carried, std::vector<uint8_t>& out) {
    if (carried.StoreIndex >= 0) {
        size_t size = 0;
        const uint8_t* bytes = Block(static_cast<size_t>(carried.StoreIndex), size);
        out.assign(bytes, bytes + size);
        return true;
    }
    if (carried.Offset < 0) {
        out = carried.Bytes;
        return true;
    }
    // Read again from the file, which is still open and not yet written.
    std::vector<uint8_t> frame(carried.Size);
    if (!Stream->SetPosition(carried.Offset))
        throw EStreamError(L"Stream read error");
    Stream->ReadBuffer(frame.data(), carried.Size);
    if (!carried.FromV24) {
        out = std::move(frame);
        return true;
    }
    return ConvertFrameToV23(frame.data(), frame.size(), carried.TagUnsync, out);
}

bool TMP3MediaFormat::TakeFrame(TBaseTag* tag, bool wasLoaded, bool isTimestamp, const uint8_t* payload,
                                size_t size, const std::vector<uint8_t>* frame) {
    if (isTimestamp) {
        auto* year = dynamic_cast<TMP3YearTag*>(tag);
        if (!year || year->Exists || !year->LoadTimestamp(payload, size))
            return false;
        year->Exists = true;
        if (frame)
            FTimestampFrame = *frame;
        return true;
    }
    if (tag == Tags->Pictures || !wasLoaded) {
        LoadFrame(tag, payload, size); // every picture frame is an item of its own
        if (tag == Tags->Comment && frame)
            FCommentFrame = *frame;
        return true;
    }
    // A further frame for a slot that is already filled. A compressed frame kept for the slot no longer
    // stands for it alone: it is carried as any other frame (`keep`) or dropped, the slot writing it.
    auto unlink = [&](bool keep) {
        for (size_t i = FCarried.size(); i-- > 0;)
            if (FCarried[i].Slot == tag) {
                if (keep)
                    FCarried[i].Slot = nullptr;
                else
                    FCarried.erase(FCarried.begin() + static_cast<ptrdiff_t>(i));
            }
    };
    if (auto* year = dynamic_cast<TMP3YearTag*>(tag); year && !year->Timestamp.empty()) {
        // A TYER after the TDRC the year came from: TYER is shown, the TDRC is carried as it stands.
        unlink(true);
        LoadFrame(tag, payload, size);
        year->Timestamp.clear();
        if (ForWriting && !FTimestampFrame.empty())
            Carry(FTimestampFrame.data(), FTimestampFrame.size(), -1);
        FTimestampFrame.clear();
        return true;
    }
    if (auto* text = dynamic_cast<TMP3TextTag*>(tag)) {
        unlink(false);
        text->AddValuesFrom(payload, size); // several frames of one id: one field of several values
        return true;
    }
    if (tag == Tags->Comment) {
        auto* shown = static_cast<TMP3CommentTag*>(tag);
        TMP3CommentTag candidate(nullptr, "COMM");
        candidate.LoadFromBuffer(payload, size);
        if (CommentRank(candidate) >= CommentRank(*shown))
            return false;
        unlink(true);
        if (ForWriting && !FCommentFrame.empty())
            Carry(FCommentFrame.data(), FCommentFrame.size(), -1);
        FCommentFrame.clear();
        shown->Assign(candidate);
        if (frame)
            FCommentFrame = *frame;
        return true;
    }
    return false; // further lyrics, URL and publisher frames: the first is shown, the others carried
}

namespace {

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

bool TMP3MediaFormat::ReadFrames(TStream& source, int64_t tagEnd, int64_t limit, uint8_t major, bool tagUnsync,
                                 bool sourceIsFile) {
    const bool v22 = major == 2;
    const int headerSize = v22 ? 6 : 10;
    const int idLength = v22 ? 3 : 4;
    FReadingMajor = major;
    FReadingUnsync = tagUnsync;
    FCommentFrame.clear();
    FTimestampFrame.clear();
    std::vector<uint8_t> frame;
    for (;;) {
        const int64_t frameStart = source.Position();
        uint8_t header[10];
        if (source.Read(header, headerSize) != headerSize) {
            LogError(L"Frame header read error");
            return false;
        }
        const std::wstring idText = FrameIDText(header, idLength);
        int64_t size;
        if (v22) {
            size = (int64_t(header[3]) << 16) | (int64_t(header[4]) << 8) | int64_t(header[5]);
        } else if (major == 4) {
            size = ReadSyncSafe(header + 4);
            // Some writers put plain 32-bit sizes into version 2.4 tags: when the syncsafe reading does
            // not lead to the next frame (or the tag's end) and the plain one does, the plain one holds.
            const int64_t plain = ReadBigEndian32(header + 4);
            if (plain != size && ValidFrameID(header, idLength) &&
                !LandsOnFrame(source, frameStart + headerSize + size, tagEnd, limit, idLength) &&
                LandsOnFrame(source, frameStart + headerSize + plain, tagEnd, limit, idLength))
                size = plain;
        } else {
            size = static_cast<int32_t>(ReadBigEndian32(header + 4));
        }

        if (!ValidFrameID(header, idLength) || size < 0 || frameStart + headerSize + size > limit) {
            source.SetPosition(frameStart);
            LogError((v22 ? L"Frame size (ID3v2.2.x) looks invalide. File: " : L"Frame size looks invalide. File: ") +
                     FileName);
            LogError(L"  Size: " + std::to_wstring(size) + L", position: " + std::to_wstring(frameStart) +
                     L", ID: " + idText);
            return true;
        }

        if (size > 0) {
            const size_t payloadSize = static_cast<size_t>(size);
            TBaseTag* tag = nullptr;
            bool found, wasLoaded;
            // A recording time (version 2.4) gives the year when the tag has no TYER.
            const bool isTimestamp = !v22 && std::memcmp(header, "TDRC", 4) == 0;
            if (isTimestamp) {
                tag = Tags->Year;
                wasLoaded = tag->Exists;
                found = !tag->Ignore() && !wasLoaded;
            } else if (v22) {
                const TBaseTag* known = ID3Tags().FindByV22FrameID(reinterpret_cast<const char*>(header));
                wasLoaded = known && known->Exists;
                found = FindFrameTagV22(tag, reinterpret_cast<const char*>(header));
            } else {
                const uint32_t id = FrameTagID(reinterpret_cast<const char*>(header));
                const TBaseTag* known = ID3Tags().FindByFrameID(id);
                wasLoaded = known && known->Exists;
                found = FindFrameTag(id, tag);
            }
            const int64_t offset = sourceIsFile ? frameStart : -1;
            if (found) {
                // The whole frame in memory: the slot parses it, and it may have to be carried after all.
                frame.resize(static_cast<size_t>(headerSize) + payloadSize);
                std::memcpy(frame.data(), header, static_cast<size_t>(headerSize));
                source.ReadBuffer(frame.data() + headerSize, size);
                bool carry = false;
                try {
                    std::vector<uint8_t> storage;
                    size_t n = payloadSize;
                    const uint8_t* payload = frame.data() + headerSize;
                    if (!v22)
                        payload = FramePayload(major, header[9], tagUnsync, payload, payloadSize, storage, n);
                    carry = !TakeFrame(tag, wasLoaded, isTimestamp, payload, n, v22 ? nullptr : &frame);
                    // A compressed frame read into its slot stays as it is while the slot is unchanged.
                    if (!carry && !v22 && major == 3 && (header[9] & 0x80) && !wasLoaded && tag != Tags->Pictures &&
                        ForWriting) {
                        Carry(frame.data(), frame.size(), offset, tag);
                        FCommentFrame.clear();
                        FTimestampFrame.clear();
                    }
                } catch (...) {
                    tag->Exists = wasLoaded; // a failed further frame leaves the slot as the first one filled it
                    LogFrameFailure(idText, v22);
                    carry = true;
                }
                if (carry && !v22 && ForWriting)
                    Carry(frame.data(), frame.size(), offset);
            } else if (!v22 && ForWriting) {
                // Not shown by any slot: carried through a save.
                const size_t total = static_cast<size_t>(headerSize) + payloadSize;
                if (sourceIsFile && total + BlocksSize() + 4 * (BlockCount() + 1) > kBlockStoreLimit) {
                    // Beyond the store: read again from the file when the tag is saved.
                    TCarriedFrame carried;
                    carried.Offset = frameStart;
                    carried.Size = static_cast<uint32_t>(total);
                    carried.FromV24 = major == 4;
                    carried.TagUnsync = tagUnsync;
                    FCarried.push_back(std::move(carried));
                    source.SetPosition(frameStart + headerSize + size);
                } else {
                    frame.resize(static_cast<size_t>(headerSize) + payloadSize);
                    std::memcpy(frame.data(), header, static_cast<size_t>(headerSize));
                    source.ReadBuffer(frame.data() + headerSize, size);
                    Carry(frame.data(), frame.size(), offset);
                }
            } else {
                source.SetPosition(frameStart + headerSize + size);
            }
        }

        const int64_t position = source.Position();
        if (position == tagEnd)
            return true;
        uint8_t next;
        if (source.Read(&next, 1) == 1 && next == 0)
            return true; // padding
        source.SetPosition(position);
    }
}

bool TMP3MediaFormat::FindAudio() {
    if (!MPEGProperties->Search(*Stream, FileSize))
        return false;
    FrameCount = MPEGProperties->CountedFrames;
    FrameCountValid = MPEGProperties->CountedFramesValid;
    Bitrate = MPEGProperties->Bitrate;
    SampleRate = MPEGProperties->SampleRate;
    IsVBR = MPEGProperties->VBRData.Present;
    Channels = MPEGProperties->Channels();
    EncoderName = AnsiToWide(MPEGProperties->EncoderName());
    return true;
}

void TMP3MediaFormat::ReadID3v1() {
    uint8_t block[kID3v1Size];
    if (FileSize >= static_cast<int64_t>(kID3v1Size) && Stream->SetPosition(FileSize - kID3v1Size) &&
        Stream->Read(block, kID3v1Size) == static_cast<int64_t>(kID3v1Size) && std::memcmp(block, "TAG", 3) == 0) {
        ID3v1->LoadFromBlock(block);
        TagsFound |= tkID3v1;
    } else {
        TagsFound &= ~tkID3v1;
    }
}

} // namespace mellodeck
