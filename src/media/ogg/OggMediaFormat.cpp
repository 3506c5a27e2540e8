#include "media/ogg/OggMediaFormat.h"

#include <algorithm>
#include <cmath>
#include <cctype>
#include <cstring>

#include "media/core/ByteReader.h"
#include "media/ogg/OggPacketReader.h"
#include "media/vorbis/OggKnownTags.h"
#include "media/vorbis/PictureRecord.h"
#include "media/core/SafeSave.h"
#include "media/vorbis/VorbisComments.h"

namespace mellodeck {
namespace {
constexpr uint8_t kIdentSignature[7] = {1, 'v', 'o', 'r', 'b', 'i', 's'};
constexpr uint8_t kCommentSignature[7] = {3, 'v', 'o', 'r', 'b', 'i', 's'};
// The search for the last page reads the file backwards in blocks of at most this many bytes, starting
// with a smaller one: a stream's last page is rarely longer, so the search most often ends in the first.
constexpr int64_t kLastPageSearch = 65536;
constexpr int64_t kLastPageFirstBlock = 8192;
} // namespace

TOggMediaFormat::TOggMediaFormat() {
    SetTags(std::make_unique<TOggKnownTags>(this));
    ExtraTags = std::make_unique<TOggExtraTags>(this);
    IsVBR = true;
}

TOggMediaFormat::~TOggMediaFormat() {
    Close(0);
}

void TOggMediaFormat::Reset() {
    TBaseMediaFormat::Reset();
    ExtraTags->ClearAll();
    LastGranule = 0;
    SampleRate = 0;
    CommentStart = CommentEnd = 0;
    FCommentPages.clear();
    FCommentFirstSegment = FCommentLastSegment = 0;
    IdentHeader.fill(0);
    FPictureEntries.clear();
}

bool TOggMediaFormat::GetModified() const {
    return Tags->GetModified() || ExtraTags->GetModified();
}

void TOggMediaFormat::SetModified(bool value) {
    TBaseMediaFormat::SetModified(value);
    ExtraTags->SetModified(value);
}

bool TOggMediaFormat::IsTagEmpty() const { return CommentTagsEmpty(*Tags, *ExtraTags); }

uint32_t TOggMediaFormat::IdentSampleRate() const {
    return GetLE32(IdentHeader.data() + 5);
}

int32_t TOggMediaFormat::IdentNominalBitrate() const {
    return static_cast<int32_t>(GetLE32(IdentHeader.data() + 13));
}

int32_t TOggMediaFormat::GetSampleRate() const {
    const uint32_t rate = IdentSampleRate();
    return rate > 0x7FFFFFFF ? 0 : static_cast<int32_t>(rate);
}

double TOggMediaFormat::GetDuration() const {
    if (LastGranule != 0) {
        const int32_t rate = GetSampleRate();
        return rate > 0 ? static_cast<double>(LastGranule) / rate : 0;
    }
    // No granule found: the audio bytes (everything after the header pages) at the nominal bit rate,
    // which counts all channels already: seconds = audio bytes * 8 / nominal bit/s.
    const int32_t nominal = IdentNominalBitrate();
    if (nominal <= 0 || IdentChannels() == 0)
        return 0;
    const int64_t headerEnd = FCommentPages.empty() ? 0 : FCommentPages.back().End();
    const int64_t audioBytes = std::max<int64_t>(0, FileSize - headerEnd);
    return static_cast<double>(audioBytes) * 8.0 / nominal;
}

int32_t TOggMediaFormat::GetBitrate() const {
    const int32_t nominal = IdentNominalBitrate();
    if (nominal > 0)
        return nominal / 1000;
    // The nominal rate is optional (0 or -1 when the encoder did not set it): the average then.
    const double duration = GetDuration();
    if (duration <= 0)
        return 0;
    const double kbits = std::nearbyint(static_cast<double>(FileSize) * 8.0 / 1000.0 / duration);
    return kbits > 0 && kbits < 2147483647.0 ? static_cast<int32_t>(kbits) : 0;
}

bool TOggMediaFormat::ReadInfo() {
    TStream& s = *Stream;
    TOggPage first;
    s.SetPosition(0);
    if (!ReadOggPageHeader(s, first) || first.Segments.empty())
        return false;
    s.SetPosition(0);
    s.ReadBuffer(FirstPageHeader.data(), 27);
    FirstSegments = first.Segments;

    TOggPacketReader reader(s, kMaxCommentPacket);
    TOggPacket ident;
    if (!reader.Next(ident) || ident.Data.size() < 30)
        return false;
    std::copy_n(ident.Data.begin(), 7, PacketHead.begin());
    // Only Vorbis: rewriting the headers of another codec as Vorbis comments would break its stream.
    if (std::memcmp(PacketHead.data(), kIdentSignature, 7) != 0)
        return false;
    std::copy_n(ident.Data.begin() + 7, 23, IdentHeader.begin());
    SampleRate = GetSampleRate();
    Channels = IdentChannels();
    FSerial = reader.Serial();

    TOggPacket comment;
    if (!reader.Next(comment))
        return false;
    ByteReader commentPacket(comment.Data.data(), comment.Data.size());
    if (!commentPacket.ReadBytes(PacketHead.data(), 7) || std::memcmp(PacketHead.data(), kCommentSignature, 7) != 0)
        return false;
    const auto& pages = reader.Pages();
    FCommentPages.assign(pages.begin() + static_cast<ptrdiff_t>(comment.FirstPage),
                         pages.begin() + static_cast<ptrdiff_t>(comment.LastPage) + 1);
    FCommentFirstSegment = comment.FirstSegment;
    FCommentLastSegment = comment.LastSegment;
    CommentStart = comment.StartOffset;
    CommentEnd = comment.EndOffset;
    const TOggPage& second = FCommentPages.front();
    s.SetPosition(second.Offset);
    s.ReadBuffer(SecondPageHeader.data(), 27);
    SecondSegments = second.Segments;

    if (!ReadComments(commentPacket.Current(), commentPacket.Remaining(), *this, *Tags, *ExtraTags))
        return false;
    ReadPictures();
    FindLastGranule();
    return true;
}

namespace {
constexpr const char* kPictureField = "METADATA_BLOCK_PICTURE";

bool IsPictureEntry(const TOggCommentTag& entry) { return !entry.Verbatim && IsPictureFieldName(entry.FieldName); }

uint64_t EntryKey(const TOggCommentTag* entry) { return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(entry)); }
} // namespace

void TOggMediaFormat::ReadPictures() {
    auto* pictures = static_cast<TVorbisPictureTag*>(Tags->Pictures);
    if (pictures->Ignore())
        return;
    // The standard cover comments stay among the extra entries (written back as they are); each one
    // that decodes is also a picture item, tied to its entry.
    std::vector<uint8_t> record;
    for (int i = 0; i < ExtraTags->CommentCount(); ++i) {
        TOggCommentTag* entry = ExtraTags->Comment(i);
        if (!IsPictureEntry(*entry))
            continue;
        TPictureRecord parsed;
        if (!DecodeBase64(std::wstring_view(entry->Value), record, kMaxPictureRecord) ||
            !ParsePictureRecord(record.data(), record.size(), parsed))
            continue; // too large or damaged: carried, not shown
        pictures->AddRecord(parsed, EntryKey(entry));
        FPictureEntries.insert(EntryKey(entry));
    }
    pictures->SetModified(false);
}

void TOggMediaFormat::WritePicturesToEntries() {
    auto* pictures = static_cast<TVorbisPictureTag*>(Tags->Pictures);
    if (pictures->Ignore() || !pictures->GetModified())
        return;
    std::vector<TOggCommentTag*> entries;
    for (int i = 0; i < ExtraTags->CommentCount(); ++i)
        entries.push_back(ExtraTags->Comment(i));
    for (TOggCommentTag* entry : entries) {
        if (!IsPictureEntry(*entry))
            continue;
        // Entries that never were items (too large, damaged) are not the program's to drop.
        const TStandardPictureItem* item = pictures->FindSource(EntryKey(entry));
        if (!item && !FPictureEntries.count(EntryKey(entry)))
            continue;
        if (!item) {
            entry->SetValue(std::wstring()); // removed by the program: the entry is not written
        } else if (!item->Unchanged()) {
            const std::vector<uint8_t> rebuilt = RecordForItem(*item);
            entry->SetValue(Utf8ToWide(EncodeBase64(rebuilt.data(), rebuilt.size())));
        }
    }
    for (const auto& item : pictures->Items) {
        const auto* standard = dynamic_cast<const TStandardPictureItem*>(item.get());
        if (standard && standard->SourceKey != 0)
            continue;
        const std::vector<uint8_t> record = RecordForItem(*item);
        if (!record.empty())
            ExtraTags->AddComment(kPictureField, Utf8ToWide(EncodeBase64(record.data(), record.size())));
    }
}

void TOggMediaFormat::FindLastGranule() {
    TStream& s = *Stream;
    const int64_t size = s.Size();
    const int64_t header = static_cast<int64_t>(kOggHeaderSize);
    // Backwards from the end of the file, block by block, as other readers do: bytes after the last page
    // (a tagger's leftovers, zeros a download tool appended) must not push the duration to a guess from
    // the file size. Consecutive blocks overlap by a header, so that no header is cut in two. Pages of
    // other streams and pages on which no packet ends (granule -1) say nothing about this stream.
    const int64_t floor = FCommentPages.empty() ? 0 : FCommentPages.back().End();
    std::vector<uint8_t> block;
    int64_t blockSize = kLastPageFirstBlock; // doubled after each block, up to kLastPageSearch
    for (int64_t end = size; end - floor >= header;) {
        const int64_t begin = std::max(floor, end - blockSize);
        blockSize = std::min(2 * blockSize, kLastPageSearch);
        const int64_t length = end - begin;
        block.resize(static_cast<size_t>(length));
        if (!s.SetPosition(begin) || s.Read(block.data(), length) != length)
            return;
        for (int64_t i = length - header; i >= 0; --i) {
            const uint8_t* h = block.data() + i;
            if (h[0] != 'O' || std::memcmp(h, "OggS", 4) != 0 || h[4] != 0)
                continue;
            TOggPage page;
            ParseOggHeader(h, page);
            if (page.Serial != FSerial || page.Granule == kOggNoGranule)
                continue;
            LastGranule = page.Granule;
            return;
        }
        if (begin == floor)
            return;
        end = begin + header - 1;
    }
}

std::vector<uint8_t> TOggMediaFormat::BuildCommentPacket() {
    WritePicturesToEntries();
    TMemoryStream packet;
    packet.WriteBuffer(kCommentSignature, 7);
    WriteComments(packet, *this, *Tags, *ExtraTags);
    const uint8_t framing = 1;
    packet.WriteBuffer(&framing, 1);
    return std::move(packet.Data());
}

bool TOggMediaFormat::SaveTags(uint32_t context) {
    LastError = 0;
    PostResult = 0;
    if (!GetModified())
        return true;
    bool contiguous = !FCommentPages.empty();
    for (size_t i = 1; contiguous && i < FCommentPages.size(); ++i)
        contiguous = FCommentPages[i - 1].End() == FCommentPages[i].Offset;
    if (!contiguous) {
        LastError = kErrorOggLayout;
        PostResult = static_cast<int32_t>(LastError);
        return false;
    }
    const TOggPage& firstPage = FCommentPages.front();
    const TOggPage& lastPage = FCommentPages.back();

    // The rebuilt run: whatever precedes the comment header on its first page, the new header, and
    // whatever follows it on its last page (normally the setup header or its first part). The lacing
    // values around the new header are kept as they were, so packet boundaries there do not move.
    std::vector<uint8_t> lacing, data;
    try {
        lacing.assign(firstPage.Segments.begin(),
                      firstPage.Segments.begin() + static_cast<ptrdiff_t>(FCommentFirstSegment));
        data.resize(static_cast<size_t>(CommentStart - firstPage.BodyOffset()));
        Stream->SetPosition(firstPage.BodyOffset());
        Stream->ReadBuffer(data.data(), static_cast<int64_t>(data.size()));

        const std::vector<uint8_t> packet = BuildCommentPacket();
        AppendPacketLacing(lacing, packet.size());
        data.insert(data.end(), packet.begin(), packet.end());

        lacing.insert(lacing.end(), lastPage.Segments.begin() + static_cast<ptrdiff_t>(FCommentLastSegment) + 1,
                      lastPage.Segments.end());
        const size_t tailSize = static_cast<size_t>(lastPage.End() - CommentEnd);
        const size_t at = data.size();
        data.resize(at + tailSize);
        Stream->SetPosition(CommentEnd);
        Stream->ReadBuffer(data.data() + at, static_cast<int64_t>(tailSize));
    } catch (const std::exception&) {
        LastError = oserr::kReadFault;
        PostResult = static_cast<int32_t>(LastError);
        return false;
    }

    TOggPagination layout;
    layout.Serial = FSerial;
    layout.FirstSequence = firstPage.Sequence;
    layout.FirstContinued = (firstPage.Flags & kOggContinued) != 0;
    layout.FirstFlags = firstPage.Flags & kOggFirstPage;
    layout.LastFlags = lastPage.Flags & kOggLastPage;
    layout.LastGranule = lastPage.Granule;
    layout.InnerGranule = 0; // header packets
    const auto pages = PaginateSegments(layout, lacing, data);
    const int32_t delta = static_cast<int32_t>(pages.size()) - static_cast<int32_t>(FCommentPages.size());

    LastError = SaveAsNewFile(context, oserr::kReadFault, [&](TSaveWriter& writer) {
        writer.CopyRange(*Stream, 0, firstPage.Offset);
        for (const auto& page : pages)
            writer.Write(page);
        const int64_t size = Stream->Size();
        Stream->SetPosition(lastPage.End());
        if (delta == 0)
            writer.Copy(*Stream, size - lastPage.End());
        else
            CopyPagesRenumbered(*Stream, size, FSerial, delta,
                                [&writer](const uint8_t* bytes, size_t count) { writer.Write(bytes, count); });
    });
    PostResult = static_cast<int32_t>(LastError);
    return LastError == 0;
}

} // namespace mellodeck
