// Saving the tags of an MP3 file: ID3v2.3 and ID3v1, in place when the new ID3v2 tag fits into the
// space before the audio, otherwise through a complete new file that replaces the original by renaming.
// Whatever fails, the original file is left as it was.
#include <algorithm>
#include <cstring>

#include "common/SystemError.h"
#include "media/id3/FrameText.h"
#include "media/mp3/MP3MediaFormat.h"
#include "report/ErrorHandler.h"

namespace mellodeck {
namespace {

// Largest tag size a syncsafe header can state.
constexpr uint32_t kMaxTagSize = 0x0FFFFFFF;

// Padding after a new or grown tag: half the tag, at least 128 and at most 8192 bytes.
uint32_t PaddingFor(uint32_t tagSize) { return std::clamp<uint32_t>(tagSize / 2, 128, 8192); }

// The output of a save. Counts the writes, so that a test can make the Nth one (and every later one)
// fail the way a full or failing disk does.
class TSaveStream : public TStream {
public:
    TSaveStream(TStream& inner, int failAt) : FInner(inner), FFailAt(failAt) {}
    int64_t Read(void* buffer, int64_t count) override { return FInner.Read(buffer, count); }
    int64_t Write(const void* buffer, int64_t count) override {
        ++FWrites;
        if (FFailAt > 0 && FWrites >= FFailAt)
            return -1;
        return FInner.Write(buffer, count);
    }
    bool SetPosition(int64_t position) override { return FInner.SetPosition(position); }
    int64_t Position() const override { return FInner.Position(); }
    int64_t Size() override { return FInner.Size(); }

private:
    TStream& FInner;
    int FFailAt;
    int FWrites = 0;
};

} // namespace

bool TMP3MediaFormat::SaveTags(uint32_t context) {
    try {
        uint8_t kinds = TagsToWrite;
        // Edits to a kind of tag the file does not have yet are written rather than dropped.
        if (!(TagsFound & tkID3v2) && Tags->GetModified())
            kinds |= tkID3v2;
        if (!(TagsFound & tkID3v1) && ID3v1->Modified)
            kinds |= tkID3v1;
        if (!GetModified() && TagsFound == kinds)
            return true;

        std::vector<uint8_t> image;
        bool grows = false;
        if ((kinds & tkID3v2) && !BuildTag(image, grows)) {
            LastError = kErrorBuildTag;
            PostResult = static_cast<int32_t>(LastError);
            return false;
        }
        const bool hadID3v2 = TagsFound & tkID3v2;
        const bool temporary = ((kinds & tkID3v2) && (!hadID3v2 || grows)) || (hadID3v2 && !(kinds & tkID3v2));
        if (!(temporary ? SaveThroughTemporary(image, kinds) : SaveInPlace(image, kinds)))
            return false;

        TagsFound = kinds;
        TagsToWrite = kinds;
        if (!(kinds & tkID3v2))
            Tags->ClearAll();
        SetModified(false);
        return true;
    } catch (...) {
        if (LastError == 0)
            LastError = kErrorSaveException;
        PostResult = static_cast<int32_t>(LastError);
        return false;
    }
}

bool TMP3MediaFormat::BuildTag(std::vector<uint8_t>& image, bool& grows) {
    try {
        TMemoryStream frames;
        const uint8_t blank[10] = {};
        frames.WriteBuffer(blank, 10);
        // A slot still standing for the compressed frame it was read from is written as that frame.
        auto keptAsRead = [this](const TBaseTag* tag) {
            if (tag->GetModified())
                return false;
            for (const TCarriedFrame& carried : FCarried)
                if (carried.Slot == tag)
                    return true;
            return false;
        };
        for (TBaseTag* tag : Tags->TagList) {
            if (tag->Ignore() || (!tag->Exists && !tag->GetModified()) || keptAsRead(tag))
                continue;
            const int64_t before = frames.Position();
            tag->SaveToStream(frames);
            tag->Exists = frames.Position() != before;
        }
        std::vector<uint8_t> frame;
        for (const TCarriedFrame& carried : FCarried) {
            if (carried.Slot && carried.Slot->GetModified())
                continue; // the slot was changed and writes itself
            if (CarriedBytes(carried, frame))
                frames.WriteBuffer(frame.data(), static_cast<int64_t>(frame.size()));
        }
        const uint64_t tagSize = static_cast<uint64_t>(frames.Size() - 10);
        if (tagSize > kMaxTagSize)
            return false;
        const bool isNew = !(TagsFound & tkID3v2);
        const uint32_t oldSize = ReadSyncSafe(ID3v2Header + 6);
        // The tag must also end before the first audio frame; one that would not is rewritten like a
        // growing tag instead of overwriting audio.
        const int64_t room = MPEGProperties->FirstFrameOffset - 10;
        grows = !isNew && (oldSize < tagSize || static_cast<int64_t>(tagSize) > room);
        uint32_t declared;
        if (isNew || grows) {
            declared = static_cast<uint32_t>(tagSize) + PaddingFor(static_cast<uint32_t>(tagSize));
            if (declared > kMaxTagSize)
                declared = static_cast<uint32_t>(tagSize);
        } else {
            declared = static_cast<uint32_t>(std::min<int64_t>(oldSize, room));
        }
        image = std::move(frames.Data());
        std::memcpy(image.data(), "ID3\x03\x00\x00", 6);
        WriteSyncSafe(image.data() + 6, declared);
        return true;
    } catch (...) {
        return false;
    }
}

bool TMP3MediaFormat::SaveThroughTemporary(const std::vector<uint8_t>& image, uint8_t kinds) {
    const std::wstring temporary = MakeSiblingFileName(FileName, L".~temporary");
    std::unique_ptr<TBufferedFileWriteStream> file;
    bool created = false;
    const bool v1WasModified = ID3v1->Modified;
    auto discard = [&] {
        file.reset();
        if (created)
            DeleteFileLogged(temporary);
        ID3v1->Modified = v1WasModified;
        PostResult = static_cast<int32_t>(LastError);
        return false;
    };
    try {
        if (Fault("create-temp")) {
            LastError = oserr::kAccessDenied;
            return discard();
        }
        file = std::make_unique<TBufferedFileWriteStream>(temporary, WriteBufferSize, true);
        if (file->ErrorCode != 0) {
            LastError = file->ErrorCode;
            return discard();
        }
        created = true;
        TSaveStream out(*file, SaveFaults.FailWrite);
        if (kinds & tkID3v2) {
            out.WriteBuffer(image.data(), static_cast<int64_t>(image.size()));
            const int64_t end = 10 + static_cast<int64_t>(ReadSyncSafe(image.data() + 6));
            if (!FillBytes(out, 0, end - static_cast<int64_t>(image.size())))
                throw EStreamError(L"Stream write error");
        }
        const int64_t from = MPEGProperties->FirstFrameOffset;
        const int64_t to = FileSize - ((TagsFound & tkID3v1) ? static_cast<int64_t>(kID3v1Size) : 0);
        if (to > from) {
            if (!Stream->SetPosition(from))
                throw EStreamError(L"Stream read error");
            out.CopyFrom(*Stream, to - from);
        }
        if (kinds & tkID3v1) {
            uint8_t block[kID3v1Size];
            ID3v1->SaveToBlock(block);
            out.WriteBuffer(block, kID3v1Size);
        }
        if (Fault("flush") || !file->Flush()) {
            LastError = file->WriteError ? file->WriteError : oserr::kWriteFault;
            return discard();
        }
        const int64_t written = file->Size();
        LastError = file->ErrorCode;
        file.reset();
        Close(0); // the original must not be held open while it is renamed

        LastError = ReplaceWithTemporary(FileName, temporary, [this](const char* step) {
            return Fault(step) ? oserr::kAccessDenied : 0u;
        });
        created = false; // placed, or deleted by the replacement
        if (LastError != 0)
            return discard();
        FileSize = written;
        PostResult = static_cast<int32_t>(LastError);
        return LastError == 0;
    } catch (...) {
        LastError = kErrorSaveException;
        return discard();
    }
}

void TMP3MediaFormat::RestoreInPlace(const std::vector<uint8_t>& head, const std::vector<uint8_t>& tail,
                                     int64_t oldSize) {
    Stream.reset(); // flushes and closes the failed stream first: a second writer would be refused
    TBufferedFileWriteStream file(FileName, WriteBufferSize, false);
    bool ok = file.ErrorCode == 0;
    if (ok && !head.empty())
        ok = file.SetPosition(0) && file.Write(head.data(), static_cast<int64_t>(head.size())) ==
                                        static_cast<int64_t>(head.size());
    if (ok && !tail.empty())
        ok = file.SetPosition(oldSize - static_cast<int64_t>(tail.size())) &&
             file.Write(tail.data(), static_cast<int64_t>(tail.size())) == static_cast<int64_t>(tail.size());
    if (ok)
        ok = file.SetPosition(oldSize) && file.Truncate() && file.Flush();
    if (!ok)
        LogError(FormatText(L"Could not restore the original file, File: %s", FileName));
}

bool TMP3MediaFormat::SaveInPlace(const std::vector<uint8_t>& image, uint8_t kinds) {
    const bool hadID3v1 = TagsFound & tkID3v1;
    const int64_t oldSize = FileSize;
    const int64_t audioStart = MPEGProperties->FirstFrameOffset;
    const bool v1WasModified = ID3v1->Modified;
    // What the save overwrites is kept, so that a failure can put it back.
    std::vector<uint8_t> head, tail;
    try {
        if (kinds & tkID3v2) {
            head.resize(static_cast<size_t>(audioStart));
            Stream->SetPosition(0);
            Stream->ReadBuffer(head.data(), audioStart);
        }
        if (hadID3v1) {
            tail.resize(kID3v1Size);
            Stream->SetPosition(oldSize - static_cast<int64_t>(kID3v1Size));
            Stream->ReadBuffer(tail.data(), kID3v1Size);
        }
    } catch (...) {
        LastError = kErrorSaveException;
        PostResult = static_cast<int32_t>(LastError);
        Close(0);
        return false;
    }
    if (Fault("reopen") || !ReopenForWriting()) {
        if (Fault("reopen"))
            LastError = oserr::kAccessDenied;
        PostResult = static_cast<int32_t>(LastError);
        Close(0);
        return false;
    }
    auto& file = static_cast<TBufferedFileWriteStream&>(*Stream);
    TSaveStream out(file, SaveFaults.FailWrite);
    bool ok = true;
    try {
        if (kinds & tkID3v2) {
            out.SetPosition(0);
            if (out.Write(image.data(), static_cast<int64_t>(image.size())) != static_cast<int64_t>(image.size())) {
                LastError = kErrorIncompleteWrite;
                ok = false;
            } else if (!FillBytes(out, 0, audioStart - static_cast<int64_t>(image.size()))) {
                throw EStreamError(L"Stream write error");
            }
        }
        if (ok) {
            out.SetPosition(hadID3v1 ? oldSize - static_cast<int64_t>(kID3v1Size) : oldSize);
            if (kinds & tkID3v1) {
                uint8_t block[kID3v1Size];
                ID3v1->SaveToBlock(block);
                out.WriteBuffer(block, kID3v1Size);
            } else if (hadID3v1) {
                if (Fault("truncate") || !file.Truncate())
                    throw EStreamError(L"Stream write error");
            }
            if (Fault("flush") || !file.Flush())
                throw EStreamError(L"Stream write error");
            ok = file.WriteError == 0;
            if (!ok)
                LastError = file.WriteError;
        }
        if (ok)
            FileSize = file.Size();
    } catch (...) {
        LastError = kErrorSaveException;
        ok = false;
    }
    if (!ok) {
        RestoreInPlace(head, tail, oldSize);
        ID3v1->Modified = v1WasModified;
    }
    PostResult = static_cast<int32_t>(LastError);
    Close(0);
    return ok;
}

} // namespace mellodeck
