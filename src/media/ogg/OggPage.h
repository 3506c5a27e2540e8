#pragma once
// Ogg pages: parsing, building with the page checksum, cutting packets into lacing values and spreading
// them over pages, and copying a run of pages with new sequence numbers. Nothing here knows what the
// packets hold.
#include <cstdint>
#include <functional>
#include <vector>

#include "media/core/Streams.h"

namespace mellodeck {

constexpr uint8_t kOggContinued = 0x01; // the first segment continues the previous page's last packet
constexpr uint8_t kOggFirstPage = 0x02;
constexpr uint8_t kOggLastPage = 0x04;
constexpr size_t kOggHeaderSize = 27;
constexpr size_t kOggMaxSegments = 255;
// A page no packet ends on carries this granule position.
constexpr uint64_t kOggNoGranule = ~0ULL;

// The page checksum: CRC-32 with generator 0x04C11DB7, initial value 0, most significant bit first, no
// reflection and no final inversion, computed over the whole page with its checksum field set to 0.
uint32_t OggCrc32(const uint8_t* data, size_t size, uint32_t crc = 0);

struct TOggPage {
    int64_t Offset = 0; // file offset of "OggS"
    uint8_t Version = 0;
    uint8_t Flags = 0;
    uint64_t Granule = 0;
    uint32_t Serial = 0;
    uint32_t Sequence = 0;
    uint32_t Checksum = 0;
    std::vector<uint8_t> Segments; // lacing values

    size_t HeaderSize() const { return kOggHeaderSize + Segments.size(); }
    size_t BodySize() const;
    int64_t BodyOffset() const { return Offset + static_cast<int64_t>(HeaderSize()); }
    int64_t End() const { return BodyOffset() + static_cast<int64_t>(BodySize()); }
};

// Parses the 27-byte header fields (no capture pattern check).
void ParseOggHeader(const uint8_t* header, TOggPage& page);
// Reads a page header and its lacing values at the stream's position. False on a short read, a missing
// "OggS" or a stream structure version other than 0; the body is not read.
bool ReadOggPageHeader(TStream& stream, TOggPage& page);
// The whole page (header, lacing values, body) with its checksum computed.
std::vector<uint8_t> BuildOggPage(const TOggPage& page, const uint8_t* body, size_t bodySize);
// Recomputes and stores the checksum of a complete page held in memory.
void StampOggChecksum(uint8_t* page, size_t size);
bool OggChecksumValid(const uint8_t* page, size_t size);

// Appends the lacing values of one whole packet: 255 for every full 255 bytes, then the remainder, which
// is 0 when the size is a multiple of 255 (so a reader knows the packet ends there).
void AppendPacketLacing(std::vector<uint8_t>& lacing, size_t packetSize);

// Layout of a run of pages rebuilt from lacing values and the matching bytes.
struct TOggPagination {
    uint32_t Serial = 0;
    uint32_t FirstSequence = 0;
    bool FirstContinued = false; // the first segment continues a packet of the page before the run
    uint8_t FirstFlags = 0;      // other flags of the first page (beginning of stream)
    uint8_t LastFlags = 0;       // other flags of the last page (end of stream)
    uint64_t LastGranule = 0;    // granule of the last page
    // Granule of an earlier page on which a packet ends (header packets have granule 0).
    uint64_t InnerGranule = 0;
};
// Spreads the segments over as many pages as needed (up to 255 lacing values each). Pages on which no
// packet ends get the granule kOggNoGranule; a page starting inside a packet gets the continued flag.
std::vector<std::vector<uint8_t>> PaginateSegments(const TOggPagination& layout, const std::vector<uint8_t>& lacing,
                                                   const std::vector<uint8_t>& data);

using TByteSink = std::function<void(const uint8_t* data, size_t size)>;
// Copies [source position, end) to the sink. Pages of `serial` get `delta` added to their sequence number
// and a new checksum (a page whose old checksum was already wrong keeps it, so damage stays visible);
// other pages and bytes that are not pages are copied unchanged.
void CopyPagesRenumbered(TStream& source, int64_t end, uint32_t serial, int32_t delta, const TByteSink& sink);

} // namespace mellodeck
