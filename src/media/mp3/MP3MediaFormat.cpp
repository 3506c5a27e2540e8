#include "media/mp3/MP3MediaFormat.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "common/TextConvert.h"
#include "media/id3/FrameText.h"
#include "media/id3/ID3v2Frames.h"
#include "report/ErrorHandler.h"

namespace mellodeck {
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
    if (s.Read(ID3v2Header, id3v2::kTagHeaderSize) != id3v2::kTagHeaderSize || !IsID3v2TagHeader(ID3v2Header)) {
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
    const TID3v2TagHeader header = TID3v2TagHeader::Parse(ID3v2Header);
    const uint32_t tagSize = header.Size;
    const int64_t tagEnd = header.End();
    ID3Tags().ReadingVersion = header.Major;

    // Versions 2.2 and 2.3 unsynchronise the whole tag: it is read into memory and undone first.
    const bool wholeTagUnsync = header.WholeTagUnsynchronised();
    std::unique_ptr<TMemoryStream> decoded;
    std::vector<size_t> removedAt;
    if (wholeTagUnsync) {
        const int64_t available = std::max<int64_t>(0, std::min<int64_t>(tagSize, FileSize - 10));
        std::vector<uint8_t> raw(static_cast<size_t>(available));
        s.ReadBuffer(raw.data(), available);
        const std::vector<uint8_t> body = RemoveUnsynchronisation(raw.data(), raw.size(), &removedAt);
        decoded = std::make_unique<TMemoryStream>();
        decoded->WriteBuffer(ID3v2Header, id3v2::kTagHeaderSize);
        decoded->WriteBuffer(body.data(), static_cast<int64_t>(body.size()));
        decoded->SetPosition(id3v2::kTagHeaderSize);
    }
    TStream& source = decoded ? static_cast<TStream&>(*decoded) : s;
    const int64_t sourceTagEnd = decoded ? decoded->Size() : tagEnd;
    const int64_t limit = decoded ? decoded->Size() : FileSize;

    bool result = true;
    bool frames = tagSize != 0;
    if (header.HasExtendedHeader()) {
        switch (SkipExtendedHeader(source, header.Major, sourceTagEnd, limit, ExtendedHeader)) {
        case TExtendedHeaderSkip::ReadError:
            return false;
        case TExtendedHeaderSkip::NoFrames: // the audio follows the tag
            frames = false;
            break;
        case TExtendedHeaderSkip::Frames:
            break;
        }
    }
    if (frames)
        result = ReadFrames(source, sourceTagEnd, limit, header.Major, header.FramesUnsynchronised(), !decoded);

    if (decoded) {
        // Map the position reached in the decoded tag back to the file.
        const int64_t reached = decoded->Position();
        int64_t filePosition = reached;
        for (size_t r : removedAt)
            if (id3v2::kTagHeaderSize + static_cast<int64_t>(r) < reached)
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

bool TMP3MediaFormat::ReadFrames(TStream& source, int64_t tagEnd, int64_t limit, uint8_t major, bool tagUnsync,
                                 bool sourceIsFile) {
    const bool v22 = major == 2;
    FReadingMajor = major;
    FReadingUnsync = tagUnsync;
    FCommentFrame.clear();
    FTimestampFrame.clear();
    std::vector<uint8_t> frame;
    TID3v2FrameWalk walk(source, major, tagEnd, limit);
    TID3v2FrameHeader header;
    for (;;) {
        const TID3v2FrameWalk::TStep step = walk.Next(header);
        if (step == TID3v2FrameWalk::TStep::ReadError) {
            LogError(L"Frame header read error");
            return false;
        }
        const int64_t frameStart = header.Start;
        const int headerSize = header.HeaderSize();
        const int64_t size = header.Size;
        if (step == TID3v2FrameWalk::TStep::Invalid) {
            LogError((v22 ? L"Frame size (ID3v2.2.x) looks invalide. File: " : L"Frame size looks invalide. File: ") +
                     FileName);
            LogError(L"  Size: " + std::to_wstring(size) + L", position: " + std::to_wstring(frameStart) +
                     L", ID: " + header.IDText());
            return true;
        }

        if (size > 0) {
            const size_t payloadSize = static_cast<size_t>(size);
            TBaseTag* tag = nullptr;
            bool found, wasLoaded;
            // A recording time (version 2.4) gives the year when the tag has no TYER.
            const bool isTimestamp = !v22 && std::memcmp(header.ID(), "TDRC", 4) == 0;
            if (isTimestamp) {
                tag = Tags->Year;
                wasLoaded = tag->Exists;
                found = !tag->Ignore() && !wasLoaded;
            } else if (v22) {
                const TBaseTag* known = ID3Tags().FindByV22FrameID(header.ID());
                wasLoaded = known && known->Exists;
                found = FindFrameTagV22(tag, header.ID());
            } else {
                const uint32_t id = FrameTagID(header.ID());
                const TBaseTag* known = ID3Tags().FindByFrameID(id);
                wasLoaded = known && known->Exists;
                found = FindFrameTag(id, tag);
            }
            const int64_t offset = sourceIsFile ? frameStart : -1;
            if (found) {
                // The whole frame in memory: the slot parses it, and it may have to be carried after all.
                frame.resize(static_cast<size_t>(headerSize) + payloadSize);
                std::memcpy(frame.data(), header.Bytes, static_cast<size_t>(headerSize));
                source.ReadBuffer(frame.data() + headerSize, size);
                bool carry = false;
                try {
                    std::vector<uint8_t> storage;
                    size_t n = payloadSize;
                    const uint8_t* payload = frame.data() + headerSize;
                    if (!v22)
                        payload = DecodeFramePayload(major, header.FormatFlags(), tagUnsync, payload, payloadSize,
                                                     storage, n);
                    carry = !TakeFrame(tag, wasLoaded, isTimestamp, payload, n, v22 ? nullptr : &frame);
                    // A compressed frame read into its slot stays as it is while the slot is unchanged.
                    if (!carry && !v22 && major == 3 && (header.FormatFlags() & id3v2::v23::kCompression) &&
                        !wasLoaded && tag != Tags->Pictures && ForWriting) {
                        Carry(frame.data(), frame.size(), offset, tag);
                        FCommentFrame.clear();
                        FTimestampFrame.clear();
                    }
                } catch (...) {
                    tag->Exists = wasLoaded; // a failed further frame leaves the slot as the first one filled it
                    LogFrameFailure(header.IDText(), v22);
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
                    source.SetPosition(header.End());
                } else {
                    frame.resize(static_cast<size_t>(headerSize) + payloadSize);
                    std::memcpy(frame.data(), header.Bytes, static_cast<size_t>(headerSize));
                    source.ReadBuffer(frame.data() + headerSize, size);
                    Carry(frame.data(), frame.size(), offset);
                }
            } else {
                source.SetPosition(header.End());
            }
        }

        if (walk.AtEnd())
            return true;
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
