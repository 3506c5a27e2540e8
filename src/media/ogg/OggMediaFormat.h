#pragma once
// Ogg Vorbis files: channels, sample rate and bit rates from the identification header, tags and cover
// comments (METADATA_BLOCK_PICTURE) from the comment header, the duration from the granule position of the last page. A save rebuilds the pages that
// hold the comment header (as many as the new header needs) through a temporary sibling file; the pages
// before them are copied unchanged, and the pages after them too, except that their sequence numbers
// (and so their checksums) move when the number of rebuilt pages differs from the old one.
#include <array>
#include <cstdint>
#include <memory>
#include <set>
#include <vector>

#include "media/core/MediaFormat.h"
#include "media/ogg/OggPage.h"
#include "media/vorbis/OggExtraTags.h"

namespace mellodeck {

class TOggMediaFormat : public TBaseMediaFormat {
public:
    TOggMediaFormat();
    ~TOggMediaFormat() override;

    const char* ClassName() const override { return "TOggMediaFormat"; }
    bool ReadInfo() override;
    int32_t GetBitrate() const override;
    int32_t GetSampleRate() const override;
    bool GetIsVBR() const override { return true; }
    double GetDuration() const override;
    bool IsTagEmpty() const override;
    bool GetModified() const override;
    void SetModified(bool value) override;
    bool SaveTags(uint32_t context) override;
    void Reset() override;

    // LastError kErrorOggLayout (media/core/MediaErrors.h) when the header pages are interleaved with
    // another logical stream: such a file is read but not rewritten.
    // A comment header larger than this is not read (it bounds memory; 64 MiB).
    static constexpr size_t kMaxCommentPacket = 64u * 1024 * 1024;

    // Fields of the identification header (IdentHeader holds them as read).
    uint8_t IdentChannels() const { return IdentHeader[4]; }
    uint32_t IdentSampleRate() const;
    int32_t IdentNominalBitrate() const;

    std::array<uint8_t, 27> FirstPageHeader{};
    std::vector<uint8_t> FirstSegments;
    // The 23 bytes of the identification header after its packet type and signature.
    std::array<uint8_t, 23> IdentHeader{};
    // Header and lacing values of the page the comment header starts on.
    std::array<uint8_t, 27> SecondPageHeader{};
    std::vector<uint8_t> SecondSegments;
    // Packet type and signature of the last header read.
    std::array<uint8_t, 7> PacketHead{};
    // Granule position of the last page of the stream that ends a packet (64 bits: Vorbis counts
    // samples, and 32 bits would wrap after 27 hours at 44.1 kHz).
    uint64_t LastGranule = 0;
    // File offsets of the comment header's first byte and just past its last byte.
    int64_t CommentStart = 0;
    int64_t CommentEnd = 0;
    std::unique_ptr<TOggExtraTags> ExtraTags;

    // The pages the comment header occupies (the pages a save rebuilds).
    const std::vector<TOggPage>& CommentPages() const { return FCommentPages; }

private:
    void FindLastGranule();
    // Cover comments (METADATA_BLOCK_PICTURE) to picture items, and back before a save.
    void ReadPictures();
    void WritePicturesToEntries();
    std::vector<uint8_t> BuildCommentPacket();

    std::set<uint64_t> FPictureEntries; // the cover comments read into items

    uint32_t FSerial = 0;
    std::vector<TOggPage> FCommentPages;
    size_t FCommentFirstSegment = 0; // on the first comment page
    size_t FCommentLastSegment = 0;  // on the last comment page
};

} // namespace mellodeck
