#pragma once
// The base of every file format: one object stands for one media file, owns its stream and tags, and
// follows the life cycle open (read) -> close, or open for writing -> post (save, re-read) -> closed.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "media/core/MediaErrors.h"
#include "media/core/SafeSave.h"
#include "media/core/Streams.h"
#include "media/core/Tags.h"

namespace mellodeck {

enum TMediaFormatFlag : uint8_t {
    mfOpening = 1 << 0,
    mfParsed = 1 << 1,
    mfPosting = 1 << 2,
    mfClosing = 1 << 3,
};

class TBaseMediaFormat {
public:
    TBaseMediaFormat();
    virtual ~TBaseMediaFormat();
    TBaseMediaFormat(const TBaseMediaFormat&) = delete;
    TBaseMediaFormat& operator=(const TBaseMediaFormat&) = delete;

    // Reads tags and audio properties from the open Stream. Formats override it.
    virtual bool ReadInfo() { return true; }
    virtual bool GetModified() const { return Tags->GetModified(); }
    virtual void SetModified(bool value) { Tags->SetModified(value); }
    virtual int32_t GetBitrate() const { return Bitrate; }
    virtual int32_t GetSampleRate() const { return SampleRate; }
    virtual bool GetIsVBR() const { return IsVBR; }
    virtual double GetDuration() const { return static_cast<double>(Duration); }
    virtual bool IsTagEmpty() const { return false; }
    virtual void AfterPost(uint32_t context) { Flags &= ~mfPosting; }
    // Writes the tags back into the file; the base cannot.
    virtual bool SaveTags(uint32_t context) { return false; }
    virtual bool IsTagConsistent() const { return true; }
    // Artist, album and title the format holds outside its common tags, for a reader to show where a common
    // slot is empty (MP3: its ID3v1 tag). False, and the texts untouched, when it holds none.
    virtual bool GetFallbackTexts(std::wstring& artist, std::wstring& album, std::wstring& title) const {
        return false;
    }
    // Name of the format class, for diagnostics ("TMP3MediaFormat").
    virtual const char* ClassName() const = 0;

    // Never throws: the result and LastError report every failure.
    virtual bool Open(const std::wstring& fileName, bool forWriting, uint32_t context, bool infoOnly);
    virtual bool IsOpen() const { return Stream && Stream->IsOpen(); }
    virtual void Close(uint32_t context);
    // Saves, then re-reads the saved file and closes it. Never throws.
    virtual bool Post(uint32_t context);
    virtual void Reset();

    // ---- preserved-block store: bytes a save carries through unchanged ----
    static constexpr size_t kBlockStoreLimit = 4194304;
    bool PushBlock(const uint8_t* bytes, size_t size);
    // Stores header + dataSize bytes read from stream. On failure (store full or short read) logs
    // "PushMemStream Failed" when full, leaves the stream after the frame data and returns false.
    bool PushFrame(const uint8_t* header, size_t headerSize, size_t dataSize, TStream& stream);
    void PopBlock();
    size_t BlocksSize() const;
    size_t BlockCount() const { return FBlockStarts.size(); }
    // Bytes and length of one stored blob (the last one for LastBlock).
    const uint8_t* Block(size_t index, size_t& size) const;
    const uint8_t* LastBlock(size_t& size) const;
    void WriteBlocks(TStream& stream) const;
    void FreeBlocks();

    std::unique_ptr<TBaseBufferedFileStream> Stream;
    std::wstring FileName;
    uint8_t Flags = 0;
    int64_t FileSize = 0;
    int64_t Duration = 0;
    int32_t Bitrate = 0;
    int32_t SampleRate = 0;
    bool IsVBR = false;
    std::unique_ptr<TCommonMediaTags> Tags;
    int32_t WriteBufferSize = 5242880;
    int32_t PostResult = 0;
    bool InfoOnlyOpen = false;
    uint32_t LastError = 0;
    int32_t Channels = 0;
    bool ForWriting = false;
    std::wstring EncoderName;
    // Set before Open by a reader that shows the pictures inside a box of this size (the panel's artwork):
    // pictures of a read-only open are then decoded straight to the size that fits the box (DecodeImageToFit),
    // so a large cover is not decoded in full only to be scaled down. 0 x 0: pictures at their own size.
    int32_t ArtworkBoxWidth = 0;
    int32_t ArtworkBoxHeight = 0;

protected:
    // Formats install their container in their constructor.
    void SetTags(std::unique_ptr<TCommonMediaTags> tags) { Tags = std::move(tags); }
    // Reads the tags after Open: fails with the "open the file first" text when the stream is not open.
    bool ReadTags();
    // Saves by writing a complete new file (through `write`, reading the original from Stream), then closes
    // this format (the original must not be held open while it is renamed) and puts the new file in the
    // original's place. Returns 0, or the system code of the step that failed (`otherError` for any other
    // exception, such as a read error of the original); the original is then as it was. The format is
    // closed either way; `size` receives the new file's size.
    uint32_t SaveAsNewFile(uint32_t context, uint32_t otherError, const std::function<void(TSaveWriter&)>& write,
                           int64_t* size = nullptr);

private:
    std::vector<uint8_t> FBlocks;     // [length:uint32 native][bytes] ...
    std::vector<size_t> FBlockStarts; // offset of each blob's length prefix
};

// Renames a file (fails when the target exists); returns success.
bool RenameFile(const std::wstring& oldName, const std::wstring& newName);
// Deletes a file after clearing its protective attributes, logging what fails. False when it did not exist.
bool DeleteFileLogged(const std::wstring& name);
// name + suffix, or a short random name in the same folder when that would reach 256 characters.
std::wstring MakeSiblingFileName(const std::wstring& name, const std::wstring& suffix);

} // namespace mellodeck
