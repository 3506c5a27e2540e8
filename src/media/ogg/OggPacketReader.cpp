#include "media/ogg/OggPacketReader.h"

namespace mellodeck {

bool TOggPacketReader::NextPage() {
    int64_t position = FPages.empty() ? 0 : FPages.back().End();
    for (;;) {
        TOggPage page;
        if (!FStream.SetPosition(position) || !ReadOggPageHeader(FStream, page))
            return false;
        if (page.End() > FStream.Size())
            return false; // body cut off
        if (FPages.empty())
            FSerial = page.Serial;
        if (page.Serial != FSerial) {
            ForeignPages = true;
            position = page.End();
            continue;
        }
        FPages.push_back(std::move(page));
        FSegment = 0;
        FBodyPosition = FPages.back().BodyOffset();
        return true;
    }
}

bool TOggPacketReader::Next(TOggPacket& packet) {
    packet = TOggPacket();
    bool started = false;
    for (;;) {
        if (FPages.empty() || FSegment >= FPages.back().Segments.size()) {
            if (!NextPage())
                return false;
            const bool continued = (FPages.back().Flags & kOggContinued) != 0;
            if (continued != started)
                return false; // the page does not fit the packet in progress
            continue;         // (a page without segments just passes)
        }
        const TOggPage& page = FPages.back();
        if (!started) {
            started = true;
            packet.FirstPage = FPages.size() - 1;
            packet.FirstSegment = FSegment;
            packet.StartOffset = FBodyPosition;
        }
        // The packet's segments on this page: up to a lacing value below 255 (its end) or the page's end.
        // Their bytes lie back to back in the page body and are read at once.
        size_t length = 0;
        bool ends = false;
        while (FSegment < page.Segments.size() && !ends) {
            length += page.Segments[FSegment];
            ends = page.Segments[FSegment] < 255;
            ++FSegment;
        }
        if (packet.Data.size() + length > FMaxPacket)
            return false;
        const size_t at = packet.Data.size();
        packet.Data.resize(at + length);
        if (length && (!FStream.SetPosition(FBodyPosition) ||
                       FStream.Read(packet.Data.data() + at, static_cast<int64_t>(length)) !=
                           static_cast<int64_t>(length)))
            return false;
        FBodyPosition += static_cast<int64_t>(length);
        if (ends) {
            packet.LastPage = FPages.size() - 1;
            packet.LastSegment = FSegment - 1;
            packet.EndOffset = FBodyPosition;
            return true;
        }
    }
}

} // namespace mellodeck
