#pragma once
// Reassembles the packets of the logical stream that begins a file, following them across pages.
#include <cstdint>
#include <vector>

#include "media/ogg/OggPage.h"

namespace mellodeck {

struct TOggPacket {
    std::vector<uint8_t> Data;
    size_t FirstPage = 0;    // index in Pages() of the page the packet starts on
    size_t FirstSegment = 0; // index of its first lacing value on that page
    size_t LastPage = 0;     // page it ends on
    size_t LastSegment = 0;  // index of its last lacing value there
    int64_t StartOffset = 0; // file offset of its first byte
    int64_t EndOffset = 0;   // file offset just past its last byte
};

class TOggPacketReader {
public:
    // maxPacket bounds the memory one packet may take.
    TOggPacketReader(TStream& stream, size_t maxPacket) : FStream(stream), FMaxPacket(maxPacket) {}

    // The next whole packet. False at the end of the pages, on a damaged page, on a packet that does not
    // continue where the page structure says it should, or past maxPacket.
    bool Next(TOggPacket& packet);

    // The pages of the stream read so far (pages of other streams are passed over).
    const std::vector<TOggPage>& Pages() const { return FPages; }
    uint32_t Serial() const { return FSerial; }
    // Set when a page of another logical stream lay between pages of this one.
    bool ForeignPages = false;

private:
    bool NextPage();

    TStream& FStream;
    size_t FMaxPacket;
    std::vector<TOggPage> FPages;
    size_t FSegment = 0;       // next lacing value on the last page
    int64_t FBodyPosition = 0; // file offset of the byte that lacing value starts at
    uint32_t FSerial = 0;
};

} // namespace mellodeck
