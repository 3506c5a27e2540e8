// Saving the tags of an MP3 file: ID3v2.3 and ID3v1, in place when the new ID3v2 tag fits into the
// space before the audio, otherwise through a complete new file that replaces the original by renaming.
// Whatever fails, the original file is left as it was.
#include <algorithm>
#include <cstring>

#include "common/SystemError.h"
#include "media/core/SafeSave.h"
#include "media/id3/FrameText.h"
#include "media/id3/ID3v2Frames.h"
#include "media/mp3/MP3MediaFormat.h"
#include "report/ErrorHandler.h"

namespace mellodeck {
namespace {

// Padding after a new or grown tag: half the tag, at least 128 and at most 8192 bytes.
uint32_t PaddingFor(uint32_t tagSize) { return std::clamp<uint32_t>(tagSize / 2, 128, 8192); }

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
        const uint8_t blank[id3v2::kTagHeaderSize] = {};
        frames.WriteBuffer(blank, id3v2::kTagHeaderSize);
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
        const uint64_t tagSize = static_cast<uint64_t>(frames.Size() - id3v2::kTagHeaderSize);
        if (tagSize > id3v2::kMaxTagSize)
            return false;
        const bool isNew = !(TagsFound & tkID3v2);
        const uint32_t oldSize = TID3v2TagHeader::Parse(ID3v2Header).Size;
        // The tag must also end before the first audio frame; one that would not is rewritten like a
        // growing tag instead of overwriting audio.
        const int64_t room = MPEGProperties->FirstFrameOffset - id3v2::kTagHeaderSize;
        grows = !isNew && (oldSize < tagSize || static_cast<int64_t>(tagSize) > room);
        uint32_t declared;
        if (isNew || grows) {
            declared = static_cast<uint32_t>(tagSize) + PaddingFor(static_cast<uint32_t>(tagSize));
            if (declared > id3v2::kMaxTagSize)
                declared = static_cast<uint32_t>(tagSize);
        } else {
            declared = static_cast<uint32_t>(std::min<int64_t>(oldSize, room));
        }
        image = std::move(frames.Data());
        WriteV23TagHeader(image.data(), declared);
        return true;
    } catch (...) {
        return false;
    }
}

bool TMP3MediaFormat::SaveThroughTemporary(const std::vector<uint8_t>& image, uint8_t kinds) {
    const bool v1WasModified = ID3v1->Modified;
    int64_t written = 0;
    LastError = SaveAsNewFile(0, kErrorSaveException, [&](TSaveWriter& out) {
        if (kinds & tkID3v2) {
            out.Write(image);
            const int64_t end = 10 + static_cast<int64_t>(ReadSyncSafe(image.data() + 6));
            out.Zeros(end - static_cast<int64_t>(image.size()));
        }
        const int64_t to = FileSize - ((TagsFound & tkID3v1) ? static_cast<int64_t>(kID3v1Size) : 0);
        out.CopyRange(*Stream, MPEGProperties->FirstFrameOffset, to);
        if (kinds & tkID3v1) {
            uint8_t block[kID3v1Size];
            ID3v1->SaveToBlock(block);
            out.Write(block, kID3v1Size);
        }
    }, &written);
    PostResult = static_cast<int32_t>(LastError);
    if (LastError != 0) {
        ID3v1->Modified = v1WasModified;
        return false;
    }
    FileSize = written;
    return true;
}

bool TMP3MediaFormat::SaveInPlace(const std::vector<uint8_t>& image, uint8_t kinds) {
    const bool hadID3v1 = TagsFound & tkID3v1;
    const int64_t oldSize = FileSize;
    const int64_t audioStart = MPEGProperties->FirstFrameOffset;
    const bool v1WasModified = ID3v1->Modified;
    TInPlaceSave save(FileName, WriteBufferSize, oldSize);
    try {
        // What the save overwrites is kept, so that a failure can put it back.
        if (kinds & tkID3v2)
            save.Keep(*Stream, 0, audioStart);
        if (hadID3v1)
            save.Keep(*Stream, oldSize - static_cast<int64_t>(kID3v1Size), kID3v1Size);
    } catch (...) {
        LastError = kErrorSaveException;
        PostResult = static_cast<int32_t>(LastError);
        Close(0);
        return false;
    }
    Stream.reset(); // the original is written through the save's own handle
    LastError = save.Overwrite(
        [&](TSaveWriter& out) {
            if (kinds & tkID3v2) {
                out.Seek(0);
                out.Write(image);
                out.Zeros(audioStart - static_cast<int64_t>(image.size()));
            }
            out.Seek(hadID3v1 ? oldSize - static_cast<int64_t>(kID3v1Size) : oldSize);
            if (kinds & tkID3v1) {
                uint8_t block[kID3v1Size];
                ID3v1->SaveToBlock(block);
                out.Write(block, kID3v1Size);
            } else if (hadID3v1) {
                out.Truncate();
            }
        },
        FileSize);
    const bool ok = LastError == 0;
    if (!ok)
        ID3v1->Modified = v1WasModified;
    PostResult = static_cast<int32_t>(LastError);
    Close(0);
    return ok;
}

} // namespace mellodeck
