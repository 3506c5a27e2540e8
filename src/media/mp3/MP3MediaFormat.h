#pragma once
// MP3 files: the ID3v2 tag at the start (versions 2.2, 2.3, 2.4 read; 2.3 written), the MPEG audio
// stream, and the ID3v1 tag in the last 128 bytes.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "media/core/MediaFormat.h"
#include "media/id3/ID3KnownTags.h"
#include "media/id3/ID3v1Tag.h"
#include "media/mpeg/MPEGProperties.h"

namespace mellodeck {

// Tag kinds, as bits of TagsFound and TagsToWrite.
enum TID3TagKind : uint8_t {
    tkID3v1 = 1 << 0,
    tkID3v2 = 1 << 1,
};

// Where a test can make a save fail: the Nth write to the output file (temporary or in place), or one
// named step ("create-temp", "reopen", "rename-original", "rename-temporary", "truncate", "flush"), which then
// behaves as if the system had refused it.
struct TMP3SaveFaults {
    int FailWrite = 0;
    std::string FailStep;
};

class TMP3MediaFormat : public TBaseMediaFormat {
public:
    TMP3MediaFormat();
    ~TMP3MediaFormat() override;

    const char* ClassName() const override { return "TMP3MediaFormat"; }
    bool ReadInfo() override;
    bool GetModified() const override;
    void SetModified(bool value) override;
    int32_t GetBitrate() const override { return MPEGProperties->Bitrate; }
    int32_t GetSampleRate() const override { return MPEGProperties->SampleRate; }
    bool GetIsVBR() const override { return MPEGProperties->VBRData.Present; }
    double GetDuration() const override;
    void Reset() override;
    // Writes the tag kinds of TagsToWrite. A kind the file did not have is also written when its tags
    // were edited, so that edits are not dropped silently. The original file is left as it was when any
    // step fails.
    bool SaveTags(uint32_t context) override;

    // The first tag for a frame id (4 characters, or 3 for ID3v2.2); it is marked as existing. False when
    // there is none or it is ignored.
    virtual bool FindFrameTag(uint32_t frameID, TBaseTag*& tag);
    virtual bool FindFrameTagV22(TBaseTag*& tag, const char* frameID3);
    virtual void LoadFrame(TBaseTag* tag, const uint8_t* data, size_t size);

    TID3KnownTags& ID3Tags() const { return static_cast<TID3KnownTags&>(*Tags); }

    uint8_t ID3v2Header[10] = {};
    uint8_t ExtendedHeader[6] = {};
    std::unique_ptr<TID3v1Tag> ID3v1;
    uint8_t TagsFound = 0;
    // After reading: the kinds found, so that a save keeps what the file has.
    uint8_t TagsToWrite = 0;
    std::unique_ptr<TMPEGProperties> MPEGProperties;
    // Frames counted to the end of a constant-bit-rate stream, and whether that count is complete.
    int64_t FrameCount = 0;
    bool FrameCountValid = false;

    TMP3SaveFaults SaveFaults;

private:
    bool ReadID3v2();
    bool ReadFrames(TStream& source, int64_t tagEnd, int64_t limit, uint8_t major, bool unsyncFrames);
    bool FindAudio();
    void ReadID3v1();
    void LogFrameFailure(const std::wstring& idText, bool v22);

    // Save steps (MP3Save.cpp).
    bool BuildTag(std::vector<uint8_t>& image, bool& grows);
    bool SaveThroughTemporary(const std::vector<uint8_t>& image, uint8_t kinds);
    bool SaveInPlace(const std::vector<uint8_t>& image, uint8_t kinds);
    void RestoreInPlace(const std::vector<uint8_t>& head, const std::vector<uint8_t>& tail, int64_t oldSize);
    bool Fault(const char* step) const { return SaveFaults.FailStep == step; }
};

} // namespace mellodeck
