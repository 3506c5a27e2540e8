#pragma once
// Properties of an MPEG audio stream (MPEG 1, 2 and 2.5, layers I-III): where the audio starts, bit
// rate, sample rate, variable-bit-rate header data (Xing or VBRI), encoder name and duration.
#include <cstdint>
#include <string>

#include "media/core/Streams.h"

namespace mellodeck {

// One decoded 4-byte frame header.
struct TMPEGHeader {
    uint8_t VersionID = 0;   // 0 = MPEG 2.5, 2 = MPEG 2, 3 = MPEG 1
    uint8_t Layer = 0;       // 1 = III, 2 = II, 3 = I
    bool CRC = false;        // a CRC follows the header (protection bit 0)
    uint8_t BitrateIndex = 0;
    uint8_t SampleRateIndex = 0;
    bool Padding = false;
    bool Private = false;
    uint8_t ChannelMode = 0; // 0 stereo, 1 joint stereo, 2 dual channel, 3 mono
    uint8_t ModeExtension = 0;
    bool Copyright = false;
    bool Original = false;
    uint8_t Emphasis = 0;
    uint32_t FrameLength = 0; // bytes, header included
    int32_t Bitrate = 0;      // kbit/s
    int32_t SampleRate = 0;   // Hz

    bool IsMPEG1() const { return VersionID == 3; }
    bool IsMono() const { return ChannelMode == 3; }
    int SamplesPerFrame() const;
};

// Decodes 4 header bytes. Valid only with 11 sync bits, a known version and layer, a bit-rate index
// other than 0 (free format) and 15, a known sample rate and an emphasis other than 2.
bool DecodeMPEGHeader(const uint8_t* bytes, TMPEGHeader& header);

// Offset of the Xing header inside the first frame (after the side information).
int XingOffset(const TMPEGHeader& header);

class TVBRData {
public:
    void Clear() { *this = TVBRData(); }
    bool Present = false;
    char HeaderID[5] = {0, 0, 0, 0, 0}; // "Xing" or "VBRI" (empty for a counted variable rate)
    uint8_t XingFlags = 0;
    uint32_t Frames = 0;
    uint32_t Bytes = 0;
    uint8_t Quality = 0;
    std::string EncoderName;
};

class TMPEGProperties {
public:
    // Searches the stream from its current position for two consecutive valid frames, then reads the
    // Xing or VBRI header, names the encoder and computes the bit rate (walking frames when there is no
    // header). `fileSize` is the size of the whole file. Returns whether a stream was found.
    bool Search(TStream& stream, int64_t fileSize);

    // Seconds of audio; `hasID3v1` says whether the last 128 bytes are an ID3v1 tag.
    double Duration(int64_t fileSize, bool hasID3v1) const;
    const std::string& EncoderName() const { return VBRData.EncoderName; }
    int Channels() const { return StreamFound ? (Header.IsMono() ? 1 : 2) : 0; }

    TMPEGHeader Header;
    int16_t Bitrate = 0;     // kbit/s: the first frame's, or the average of a variable-rate stream
    int32_t SampleRate = 0;  // Hz
    TVBRData VBRData;
    uint8_t VBRIBuffer[30] = {};
    bool StreamFound = false;
    bool VBRIPresent = false;
    int64_t FirstFrameOffset = 0; // file offset of the first frame (the VBRI frame when there is one)
    int64_t AudioStart = 0;       // file offset of the first accepted audio frame
    bool GuessEncoder = true;
    // Frames counted to the end of a constant-rate stream, valid only when the count reached the end.
    int64_t CountedFrames = 0;
    bool CountedFramesValid = false;
    // Frames after the first that a LAME "Info" frame (the constant-rate form of its Xing header) declares;
    // 0 without one. Only used to spare a walk whose outcome it already tells.
    uint32_t DeclaredConstantFrames = 0;

    // Frames a constant-rate walk looks at before trusting the first frame.
    static constexpr int kConstantWalkFrames = 101;

private:
    void ReadVBRI();
    void ReadXing(const uint8_t* frame, size_t size, TStream& stream, int64_t fileSize);
    void GuessEncoderName(const uint8_t* frame, size_t size);
    bool WalkIsDeclaredNeedless(const TMPEGHeader& second, int64_t fileSize) const;
    void WalkFrames(TStream& stream, const TMPEGHeader& second, int64_t secondPosition);
};

} // namespace mellodeck
