#pragma once
// FLAC files: stream properties from STREAMINFO, tags from the VORBIS_COMMENT block, cover pictures from
// our own "mrql"/"ARTW" APPLICATION block. Every other metadata block is carried through a save byte for
// byte. A save rewrites the metadata in front of the audio when it fits there (closing with one padding
// block), and otherwise rebuilds the file through a temporary sibling file.
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "media/core/MediaFormat.h"
#include "media/vorbis/OggExtraTags.h"

namespace mellodeck {

class TFlacMediaFormat : public TBaseMediaFormat {
public:
    TFlacMediaFormat();
    ~TFlacMediaFormat() override;

    const char* ClassName() const override { return "TFlacMediaFormat"; }
    bool ReadInfo() override;
    double GetDuration() const override;
    bool GetIsVBR() const override { return true; }
    bool IsTagEmpty() const override;
    bool GetModified() const override;
    void SetModified(bool value) override;
    bool SaveTags(uint32_t context) override;
    void Reset() override;

    // LastError (media/core/MediaErrors.h): kErrorSaveException for an exception on the in-place path that
    // carried no system error, kErrorLayoutNotWritable when the comment list or the pictures no longer fit
    // the 24-bit length of a block.
    // Body of the padding block that closes a rebuilt file.
    static constexpr uint32_t kRebuildPadding = 4096;

    // The magic, the STREAMINFO header and its 34-byte body, as read.
    std::array<uint8_t, 42> StreamHeader{};
    int32_t BitsPerSample = 0;
    // The 36-bit sample count of STREAMINFO.
    int64_t TotalSamples = 0;
    // Offset of the first audio frame: also the room the metadata may fill in place.
    int64_t AudioStart = 0;
    // Bytes of an ID3v2 tag in front of "fLaC" (0 when there is none); kept unchanged by a save.
    int64_t ID3Prefix = 0;
    std::unique_ptr<TOggExtraTags> ExtraTags;

private:
    // A metadata block carried through unchanged: in the preserved-block store, or (when the store is
    // full) read again from the file at save time.
    struct TKeptBlock {
        int64_t Offset;
        uint32_t Size;  // header included
        int StoreIndex; // -1: not in the store
        uint64_t PictureKey = 0; // a PICTURE block read into an item (its SourceKey)
    };
    // Standard PICTURE blocks for pictures read from one and changed since (their bytes kept).
    std::vector<uint8_t> ChangedPictureBlocks();
    bool ReadBlocks(int64_t& endPosition);
    bool KeepBlock(int64_t offset, const uint8_t* bytes, size_t size);
    std::vector<uint8_t> BuildHead();
    bool SaveInPlace(const std::vector<uint8_t>& head, const std::vector<uint8_t>& comment,
                     const std::vector<uint8_t>& picture, int64_t gap);
    bool SaveRebuild(uint32_t context, const std::vector<uint8_t>& head, const std::vector<uint8_t>& comment,
                     const std::vector<uint8_t>& picture);

    std::vector<TKeptBlock> FKept;
};

} // namespace mellodeck
