#pragma once
// MP3 files: the ID3v2 tag at the start (versions 2.2, 2.3, 2.4 read; 2.3 written), the MPEG audio
// stream, and the ID3v1 tag in the last 128 bytes.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "media/core/MediaFormat.h"
#include "media/id3/ID3KnownTags.h"
#include "media/id3/ID3v2Frames.h"
#include "media/id3/ID3v1Tag.h"
#include "media/mpeg/MPEGProperties.h"

namespace mellodeck {

// Tag kinds, as bits of TagsFound and TagsToWrite.
enum TID3TagKind : uint8_t {
    tkID3v1 = 1 << 0,
    tkID3v2 = 1 << 1,
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
    // The ID3v1 tag's artist, album and title.
    bool GetFallbackTexts(std::wstring& artist, std::wstring& album, std::wstring& title) const override {
        if (!ID3v1)
            return false;
        artist = ID3v1->Artist();
        album = ID3v1->Album();
        title = ID3v1->Title();
        return true;
    }

    // The first tag for a frame id (4 characters, or 3 for ID3v2.2); it is marked as existing. False when
    // there is none or it is ignored.
    virtual bool FindFrameTag(uint32_t frameID, TBaseTag*& tag);
    virtual bool FindFrameTagV22(TBaseTag*& tag, const char* frameID3);
    virtual void LoadFrame(TBaseTag* tag, const uint8_t* data, size_t size);

    TID3KnownTags& ID3Tags() const { return static_cast<TID3KnownTags&>(*Tags); }

    uint8_t ID3v2Header[id3v2::kTagHeaderSize] = {};
    // The first bytes of the ID3v2 extended header, when the tag has one.
    uint8_t ExtendedHeader[id3v2::kExtendedHeaderRead] = {};
    std::unique_ptr<TID3v1Tag> ID3v1;
    uint8_t TagsFound = 0;
    // After reading: the kinds found, so that a save keeps what the file has.
    uint8_t TagsToWrite = 0;
    std::unique_ptr<TMPEGProperties> MPEGProperties;
    // Frames counted to the end of a constant-bit-rate stream, and whether that count is complete.
    int64_t FrameCount = 0;
    bool FrameCountValid = false;


private:
    // A frame no slot shows, carried through a save unchanged (as a version 2.3 frame): in the
    // preserved-block store, or, when that is full, read again from the file at save time, or (a frame
    // of an unsynchronised tag, which is not in the file as it is read) kept here.
    struct TCarriedFrame {
        int StoreIndex = -1;
        int64_t Offset = -1; // of the frame in the file
        uint32_t Size = 0;   // of the frame in the file, header included
        bool FromV24 = false;
        bool TagUnsync = false;
        std::vector<uint8_t> Bytes;
        // A slot read from this (compressed) frame: the frame is written only while the slot is unchanged.
        const TBaseTag* Slot = nullptr;
    };
    bool ReadID3v2();
    bool ReadFrames(TStream& source, int64_t tagEnd, int64_t limit, uint8_t major, bool unsyncFrames,
                    bool sourceIsFile);
    // Takes a frame for a known slot. `frame` (null for version 2.2) is the whole frame as read. False
    // when the slot does not show it, and the frame is to be carried.
    bool TakeFrame(TBaseTag* tag, bool wasLoaded, bool isTimestamp, const uint8_t* payload, size_t size,
                   const std::vector<uint8_t>* frame);
    // Carries a frame of the tag being read (its version, `offset` in the file or -1).
    void Carry(const uint8_t* frame, size_t size, int64_t offset, const TBaseTag* slot = nullptr);
    // The version 2.3 bytes of a carried frame; false when it cannot be expressed (it is left out).
    bool CarriedBytes(const TCarriedFrame& carried, std::vector<uint8_t>& out);
    bool FindAudio();
    void ReadID3v1();
    void LogFrameFailure(const std::wstring& idText, bool v22);

    // Save steps (MP3Save.cpp).
    bool BuildTag(std::vector<uint8_t>& image, bool& grows);
    bool SaveThroughTemporary(const std::vector<uint8_t>& image, uint8_t kinds);
    bool SaveInPlace(const std::vector<uint8_t>& image, uint8_t kinds);

    std::vector<TCarriedFrame> FCarried;
    // While reading: the frame shown in Comment, and the TDRC frame Year was taken from (carried after
    // all when a better comment or a TYER frame comes later).
    std::vector<uint8_t> FCommentFrame, FTimestampFrame;
    uint8_t FReadingMajor = 3;
    bool FReadingUnsync = false;
};

} // namespace mellodeck
