#include "media/ogg/OggPage.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "common/ByteOrder.h"

namespace mellodeck {
namespace {

const std::array<uint32_t, 256>& CrcTable() {
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t r = i << 24;
            for (int bit = 0; bit < 8; ++bit)
                r = (r & 0x80000000u) ? (r << 1) ^ 0x04C11DB7u : r << 1;
            t[i] = r;
        }
        return t;
    }();
    return table;
}

} // namespace

uint32_t OggCrc32(const uint8_t* data, size_t size, uint32_t crc) {
    const auto& table = CrcTable();
    for (size_t i = 0; i < size; ++i)
        crc = (crc << 8) ^ table[((crc >> 24) ^ data[i]) & 0xFF];
    return crc;
}

size_t TOggPage::BodySize() const {
    size_t total = 0;
    for (uint8_t v : Segments)
        total += v;
    return total;
}

void ParseOggHeader(const uint8_t* h, TOggPage& page) {
    page.Version = h[4];
    page.Flags = h[5];
    page.Granule = GetLE64(h + 6);
    page.Serial = GetLE32(h + 14);
    page.Sequence = GetLE32(h + 18);
    page.Checksum = GetLE32(h + 22);
}

bool ReadOggPageHeader(TStream& stream, TOggPage& page) {
    uint8_t h[kOggHeaderSize];
    page.Offset = stream.Position();
    if (stream.Read(h, kOggHeaderSize) != static_cast<int64_t>(kOggHeaderSize))
        return false;
    if (std::memcmp(h, "OggS", 4) != 0 || h[4] != 0)
        return false;
    ParseOggHeader(h, page);
    page.Segments.resize(h[26]);
    return h[26] == 0 || stream.Read(page.Segments.data(), h[26]) == h[26];
}

void StampOggChecksum(uint8_t* page, size_t size) {
    PutLE32(page + 22, 0);
    PutLE32(page + 22, OggCrc32(page, size));
}

bool OggChecksumValid(const uint8_t* page, size_t size) {
    if (size < kOggHeaderSize)
        return false;
    const uint32_t stored = GetLE32(page + 22);
    static const uint8_t zeros[4] = {0, 0, 0, 0};
    uint32_t crc = OggCrc32(page, 22);
    crc = OggCrc32(zeros, 4, crc);
    crc = OggCrc32(page + 26, size - 26, crc);
    return crc == stored;
}

std::vector<uint8_t> BuildOggPage(const TOggPage& page, const uint8_t* body, size_t bodySize) {
    std::vector<uint8_t> out(kOggHeaderSize + page.Segments.size() + bodySize);
    std::memcpy(out.data(), "OggS", 4);
    out[4] = page.Version;
    out[5] = page.Flags;
    PutLE64(out.data() + 6, page.Granule);
    PutLE32(out.data() + 14, page.Serial);
    PutLE32(out.data() + 18, page.Sequence);
    out[26] = static_cast<uint8_t>(page.Segments.size());
    std::copy(page.Segments.begin(), page.Segments.end(), out.begin() + kOggHeaderSize);
    if (bodySize)
        std::memcpy(out.data() + kOggHeaderSize + page.Segments.size(), body, bodySize);
    StampOggChecksum(out.data(), out.size());
    return out;
}

void AppendPacketLacing(std::vector<uint8_t>& lacing, size_t packetSize) {
    lacing.insert(lacing.end(), packetSize / 255, 255);
    lacing.push_back(static_cast<uint8_t>(packetSize % 255));
}

std::vector<std::vector<uint8_t>> PaginateSegments(const TOggPagination& layout, const std::vector<uint8_t>& lacing,
                                                   const std::vector<uint8_t>& data) {
    std::vector<std::vector<uint8_t>> pages;
    size_t segment = 0, offset = 0;
    bool continued = layout.FirstContinued;
    do {
        const size_t count = std::min(kOggMaxSegments, lacing.size() - segment);
        TOggPage page;
        page.Serial = layout.Serial;
        page.Sequence = layout.FirstSequence + static_cast<uint32_t>(pages.size());
        page.Segments.assign(lacing.begin() + static_cast<ptrdiff_t>(segment),
                             lacing.begin() + static_cast<ptrdiff_t>(segment + count));
        const bool first = pages.empty();
        const bool last = segment + count == lacing.size();
        page.Flags = static_cast<uint8_t>((continued ? kOggContinued : 0) | (first ? layout.FirstFlags : 0) |
                                          (last ? layout.LastFlags : 0));
        const bool packetEnds =
            std::any_of(page.Segments.begin(), page.Segments.end(), [](uint8_t v) { return v < 255; });
        page.Granule = last ? layout.LastGranule : (packetEnds ? layout.InnerGranule : kOggNoGranule);
        const size_t bodySize = page.BodySize();
        pages.push_back(BuildOggPage(page, data.data() + offset, bodySize));
        offset += bodySize;
        segment += count;
        continued = count > 0 && page.Segments.back() == 255;
    } while (segment < lacing.size());
    return pages;
}

void CopyPagesRenumbered(TStream& source, int64_t end, uint32_t serial, int32_t delta, const TByteSink& sink) {
    std::vector<uint8_t> page;
    int64_t position = source.Position();
    while (position < end) {
        TOggPage header;
        source.SetPosition(position);
        bool isPage = ReadOggPageHeader(source, header) && header.End() <= end;
        if (isPage) {
            page.resize(static_cast<size_t>(header.End() - position));
            source.SetPosition(position);
            isPage = source.Read(page.data(), static_cast<int64_t>(page.size())) == static_cast<int64_t>(page.size());
        }
        if (isPage) {
            if (header.Serial == serial && delta != 0) {
                const bool valid = OggChecksumValid(page.data(), page.size());
                PutLE32(page.data() + 18, header.Sequence + static_cast<uint32_t>(delta));
                if (valid)
                    StampOggChecksum(page.data(), page.size());
            }
            sink(page.data(), page.size());
            position = header.End();
            continue;
        }
        // Not a page here (damage, or something appended such as a tag): copy up to the next capture
        // pattern unchanged.
        std::vector<uint8_t> chunk;
        int64_t scan = position + 1;
        int64_t next = end;
        uint8_t window[65536 + 3];
        while (scan < end) {
            source.SetPosition(scan);
            const int64_t want = std::min<int64_t>(sizeof(window), end - scan);
            const int64_t got = source.Read(window, want);
            if (got <= 0)
                break;
            const uint8_t* found = nullptr;
            for (int64_t i = 0; i + 4 <= got; ++i)
                if (window[i] == 'O' && std::memcmp(window + i, "OggS", 4) == 0) {
                    found = window + i;
                    break;
                }
            if (found) {
                next = scan + (found - window);
                break;
            }
            if (got < 4)
                break;
            scan += got - 3;
        }
        while (position < next) {
            const int64_t n = std::min<int64_t>(next - position, 65536);
            chunk.resize(static_cast<size_t>(n));
            source.SetPosition(position);
            source.ReadBuffer(chunk.data(), n);
            sink(chunk.data(), chunk.size());
            position += n;
        }
    }
}

} // namespace mellodeck
