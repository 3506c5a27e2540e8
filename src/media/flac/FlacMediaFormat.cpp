#include "media/flac/FlacMediaFormat.h"

#include <cfenv>
#include <cmath>
#include <algorithm>
#include <cstring>

#include "common/ByteOrder.h"
#include "media/core/ByteReader.h"
#include "media/flac/FlacPictureTag.h"
#include "media/id3/FrameText.h"
#include "media/vorbis/OggKnownTags.h"
#include "media/core/SafeSave.h"
#include "media/vorbis/VorbisComments.h"
#include "report/ErrorHandler.h"

namespace mellodeck {
namespace {

constexpr uint8_t kLastBlockFlag = 0x80;
constexpr uint8_t kTypePadding = 1;
constexpr uint8_t kTypeApplication = 2;
constexpr uint8_t kTypeVorbisComment = 4;
constexpr uint8_t kTypePicture = 6;
constexpr uint32_t kMaxBlockLength = 0xFFFFFF;

void AppendBlockHeader(std::vector<uint8_t>& out, uint8_t type, uint32_t length) {
    uint8_t head[4] = {type};
    PutBE24(head + 1, length);
    out.insert(out.end(), head, head + 4);
}

} // namespace

TFlacMediaFormat::TFlacMediaFormat() {
    SetTags(std::make_unique<TFlacKnownTags>(this));
    ExtraTags = std::make_unique<TOggExtraTags>(this);
    IsVBR = true;
}

TFlacMediaFormat::~TFlacMediaFormat() {
    Close(0);
}

void TFlacMediaFormat::Reset() {
    TBaseMediaFormat::Reset();
    BitsPerSample = 0;
    TotalSamples = 0;
    AudioStart = 0;
    ID3Prefix = 0;
    SampleRate = 0;
    Bitrate = 0;
    FKept.clear();
    ExtraTags->ClearAll();
}

bool TFlacMediaFormat::GetModified() const {
    return Tags->GetModified() || ExtraTags->GetModified();
}

void TFlacMediaFormat::SetModified(bool value) {
    TBaseMediaFormat::SetModified(value);
    ExtraTags->SetModified(value);
}

bool TFlacMediaFormat::IsTagEmpty() const { return CommentTagsEmpty(*Tags, *ExtraTags); }

double TFlacMediaFormat::GetDuration() const {
    if (SampleRate <= 0)
        return 0;
    return static_cast<double>(TotalSamples) / SampleRate;
}

bool TFlacMediaFormat::ReadInfo() {
    TStream& s = *Stream;
    // Some taggers put an ID3v2 tag in front of "fLaC"; it is passed over here and kept as it is.
    ID3Prefix = 0;
    uint8_t id3[10];
    if (s.Read(id3, 10) == 10 && std::memcmp(id3, "ID3", 3) == 0 && id3[3] < 0xFF && id3[4] < 0xFF &&
        (id3[6] | id3[7] | id3[8] | id3[9]) < 0x80) {
        const int64_t size = ReadSyncSafe(id3 + 6);
        ID3Prefix = 10 + size + ((id3[5] & 0x10) ? 10 : 0);
    }
    if (!s.SetPosition(ID3Prefix) || s.Read(StreamHeader.data(), 42) != 42)
        return false;
    const uint8_t* h = StreamHeader.data();
    SampleRate = static_cast<int32_t>(h[18] << 12 | h[19] << 4 | h[20] >> 4);
    Channels = ((h[20] >> 1) & 7) + 1;
    BitsPerSample = ((h[20] & 1) << 4 | h[21] >> 4) + 1;
    // All 36 bits of the sample count: files of more than 2^31 samples (13.5 hours at 44.1 kHz) are
    // ordinary files too.
    TotalSamples = static_cast<int64_t>(h[21] & 0x0F) << 32 | GetBE32(h + 22);
    if (std::memcmp(h, "fLaC", 4) != 0 || (h[4] & 0x7F) != 0 || GetBE24(h + 5) != 34 || SampleRate <= 0 ||
        TotalSamples <= 0)
        return false;
    if (h[4] & kLastBlockFlag) {
        AudioStart = ID3Prefix + 42;
        Bitrate = 0;
        return true;
    }
    int64_t endPosition = ID3Prefix + 42;
    const bool ok = ReadBlocks(endPosition);
    // The average over the audio bytes (the 4 bytes of the first frame header already read are left
    // out, as the loop stands after them), in kbit/s, halves rounded to even.
    const double duration = GetDuration();
    if (duration > 0) {
        const double kbits = (static_cast<double>(FileSize - endPosition) / 1000.0 * 8.0) / duration;
        const double rounded = std::nearbyint(kbits);
        Bitrate = (rounded > 0 && rounded < 2147483647.0) ? static_cast<int32_t>(rounded) : 0;
    }
    return ok;
}

bool TFlacMediaFormat::KeepBlock(int64_t offset, const uint8_t* bytes, size_t size) {
    TKeptBlock kept{offset, static_cast<uint32_t>(size), -1};
    if (PushBlock(bytes, size))
        kept.StoreIndex = static_cast<int>(BlockCount() - 1);
    FKept.push_back(kept);
    return true;
}

bool TFlacMediaFormat::ReadBlocks(int64_t& endPosition) {
    TStream& s = *Stream;
    const int64_t fileSize = s.Size();
    std::vector<uint8_t> block;
    for (bool last = false; !last;) {
        const int64_t offset = s.Position();
        uint8_t header[4];
        if (s.Read(header, 4) != 4) {
            endPosition = s.Position();
            return false;
        }
        endPosition = s.Position();
        if (header[0] & 0x40) {
            // An audio frame (its sync byte 0xFF) and not a metadata block header.
            AudioStart = offset;
            return true;
        }
        const uint8_t type = header[0] & 0x7F;
        const uint32_t length = GetBE24(header + 1);
        const int64_t bodyEnd = offset + 4 + length;
        if (bodyEnd > fileSize)
            return false; // the block passes the end of the file
        // The audio also begins after the block flagged as the last one, whatever its first byte: a save
        // writes the audio back behind a padding block that carries the flag, and must read back alike.
        last = (header[0] & kLastBlockFlag) != 0;
        if (last)
            AudioStart = bodyEnd;
        if (type == kTypePadding) {
            s.SetPosition(bodyEnd);
            continue;
        }
        const bool readPicture = type == kTypePicture && !Tags->Pictures->Ignore() && length <= kMaxPictureRecord;
        if (!ForWriting && type != kTypeApplication && type != kTypeVorbisComment && !readPicture) {
            // Kept as it is, and only a save (which opens for writing) needs its bytes: a read does not
            // fetch them. Picture blocks are tens of kilobytes.
            FKept.push_back({offset, static_cast<uint32_t>(4 + length), -1});
            s.SetPosition(bodyEnd);
            endPosition = bodyEnd;
            continue;
        }
        block.resize(4 + static_cast<size_t>(length));
        std::memcpy(block.data(), header, 4);
        if (length && s.Read(block.data() + 4, length) != static_cast<int64_t>(length))
            return false;
        endPosition = s.Position();
        const uint8_t* body = block.data() + 4;
        ByteReader application(body, length);
        const uint8_t* chunk; // identifier, sub-chunk, sub-chunk size
        if (type == kTypeApplication && application.ReadSpan(12, chunk) && std::memcmp(chunk, "mrql", 4) == 0) {
            if (std::memcmp(chunk + 4, "ARTW", 4) != 0)
                continue; // another sub-chunk of ours: not used, dropped on save
            if (Tags->Pictures->Ignore()) {
                // Not decoded, but carried through unchanged.
                KeepBlock(offset, block.data(), block.size());
                continue;
            }
            if (!static_cast<TFlacPictureTag*>(Tags->Pictures)->LoadPictures(application))
                return false;
            continue;
        }
        if (type == kTypeVorbisComment) {
            if (!ReadComments(body, length, *this, *Tags, *ExtraTags))
                return false;
            continue;
        }
        if (readPicture) {
            // A standard cover: shown as an item, and written back as this very block while unchanged.
            TPictureRecord record;
            if (ParsePictureRecord(body, length, record)) {
                const uint64_t key = FKept.size() + 1;
                if (ForWriting)
                    KeepBlock(offset, block.data(), block.size());
                else
                    FKept.push_back({offset, static_cast<uint32_t>(4 + length), -1});
                FKept.back().PictureKey = key;
                static_cast<TFlacPictureTag*>(Tags->Pictures)->AddRecord(record, key);
                continue;
            }
        }
        // SEEKTABLE, CUESHEET, PICTURE blocks not read, APPLICATION blocks of others, unknown types.
        KeepBlock(offset, block.data(), block.size());
    }
    // The pictures of our own block come first, the standard ones after them, each group in file order.
    auto& items = Tags->Pictures->Items;
    std::stable_partition(items.begin(), items.end(),
                          [](const auto& item) { return TFlacPictureTag::InOwnBlock(*item); });
    s.SetPosition(AudioStart);
    endPosition = AudioStart + 4; // where a reader stands after looking at the first frame header
    return true;
}

std::vector<uint8_t> TFlacMediaFormat::BuildHead() {
    std::vector<uint8_t> head(StreamHeader.begin(), StreamHeader.end());
    head[4] &= static_cast<uint8_t>(~kLastBlockFlag);
    const auto* pictures = static_cast<const TFlacPictureTag*>(Tags->Pictures);
    for (const TKeptBlock& kept : FKept) {
        if (kept.PictureKey != 0 && !pictures->Ignore()) {
            // Written as read while its picture is there unchanged; a changed one is written anew.
            const TStandardPictureItem* item = pictures->FindSource(kept.PictureKey);
            if (!item || !item->Unchanged())
                continue;
        }
        const size_t start = head.size();
        head.resize(start + kept.Size);
        if (kept.StoreIndex >= 0) {
            size_t size;
            const uint8_t* bytes = Block(static_cast<size_t>(kept.StoreIndex), size);
            std::memcpy(head.data() + start, bytes, kept.Size);
        } else {
            Stream->SetPosition(kept.Offset);
            Stream->ReadBuffer(head.data() + start, kept.Size);
        }
        head[start] &= static_cast<uint8_t>(~kLastBlockFlag);
    }
    const std::vector<uint8_t> changed = ChangedPictureBlocks();
    head.insert(head.end(), changed.begin(), changed.end());
    return head;
}

std::vector<uint8_t> TFlacMediaFormat::ChangedPictureBlocks() {
    std::vector<uint8_t> out;
    if (Tags->Pictures->Ignore())
        return out;
    for (const auto& owned : Tags->Pictures->Items) {
        const auto* item = dynamic_cast<const TStandardPictureItem*>(owned.get());
        if (!item || item->SourceKey == 0 || !item->HasData() || item->Unchanged())
            continue;
        const std::vector<uint8_t> record = RecordForItem(*item);
        if (record.size() > kMaxBlockLength)
            throw EStreamError(L"Picture too large for a FLAC metadata block");
        AppendBlockHeader(out, kTypePicture, static_cast<uint32_t>(record.size()));
        out.insert(out.end(), record.begin(), record.end());
    }
    return out;
}

bool TFlacMediaFormat::SaveTags(uint32_t context) {
    LastError = 0;
    PostResult = 0;
    if (!GetModified())
        return true;
    std::vector<uint8_t> head, comment, picture;
    try {
        head = BuildHead();
        TMemoryStream list;
        WriteComments(list, *this, *Tags, *ExtraTags);
        if (list.Size() > kMaxBlockLength)
            throw EStreamError(L"Comments too large for a FLAC metadata block");
        AppendBlockHeader(comment, kTypeVorbisComment, static_cast<uint32_t>(list.Size()));
        comment.insert(comment.end(), list.Data().begin(), list.Data().end());
        if (static_cast<TFlacPictureTag*>(Tags->Pictures)->HasOwnBlockItems() && !Tags->Pictures->Ignore()) {
            TMemoryStream block;
            Tags->Pictures->SaveToStream(block);
            picture = std::move(block.Data());
        }
    } catch (const std::exception&) {
        LastError = kErrorLayoutNotWritable;
        PostResult = static_cast<int32_t>(LastError);
        return false;
    }
    const int64_t needed = static_cast<int64_t>(head.size() + comment.size() + picture.size()) + 4;
    bool saved;
    // One padding block closes the metadata; its 24-bit length bounds the gap an in-place save can fill.
    const int64_t room = AudioStart - ID3Prefix;
    if (room >= needed && room - needed <= kMaxBlockLength)
        saved = SaveInPlace(head, comment, picture, room - needed);
    else
        saved = SaveRebuild(context, head, comment, picture);
    PostResult = static_cast<int32_t>(LastError);
    return saved && LastError == 0;
}

bool TFlacMediaFormat::SaveInPlace(const std::vector<uint8_t>& head, const std::vector<uint8_t>& comment,
                                   const std::vector<uint8_t>& picture, int64_t gap) {
    TInPlaceSave save(FileName, WriteBufferSize, FileSize);
    try {
        save.Keep(*Stream, 0, AudioStart); // the metadata about to be overwritten
    } catch (const std::exception&) {
        LastError = oserr::kReadFault;
        return false;
    }
    Stream.reset(); // the original is written through the save's own handle
    LastError = save.Overwrite(
        [&](TSaveWriter& writer) {
            writer.Seek(ID3Prefix);
            writer.Write(head);
            writer.Write(comment);
            writer.Write(picture);
            std::vector<uint8_t> padding;
            AppendBlockHeader(padding, kLastBlockFlag | kTypePadding, static_cast<uint32_t>(gap));
            writer.Write(padding);
            writer.Zeros(gap);
        },
        FileSize);
    return LastError == 0;
}

bool TFlacMediaFormat::SaveRebuild(uint32_t context, const std::vector<uint8_t>& head,
                                   const std::vector<uint8_t>& comment, const std::vector<uint8_t>& picture) {
    LastError = SaveAsNewFile(context, oserr::kReadFault, [&](TSaveWriter& writer) {
        writer.CopyRange(*Stream, 0, ID3Prefix); // the ID3v2 tag in front, as it was
        writer.Write(head);
        writer.Write(comment);
        writer.Write(picture);
        std::vector<uint8_t> padding;
        AppendBlockHeader(padding, kLastBlockFlag | kTypePadding, kRebuildPadding);
        writer.Write(padding);
        writer.Zeros(kRebuildPadding);
        writer.CopyRange(*Stream, AudioStart, Stream->Size());
    });
    return LastError == 0;
}

} // namespace mellodeck
