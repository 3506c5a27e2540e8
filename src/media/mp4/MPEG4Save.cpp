// Saving MPEG-4 tags. The new item list goes into a new "meta" atom; when the old "meta" has room for it
// (with less than MPEG4MaxInPlaceGap bytes left over, which become a "free" atom) only the "meta" bytes are
// overwritten. Otherwise the file is rebuilt through a temporary sibling: the bytes before the rewritten
// region, the new atom, then everything after it. The region lies inside "moov", so the enclosing atoms
// grow by the same shift, and every chunk offset that points behind the region moves by it too.
#include <algorithm>
#include <cstring>

#include "media/core/SafeSave.h"
#include "media/mp4/AtomTypes.h"
#include "media/mp4/MPEG4MediaFormat.h"
#include "report/ErrorHandler.h"

namespace mellodeck {
namespace {

// The handler an item list needs so that other readers look into it: "mdir" by "appl".
const uint8_t kMetadataHandler[33] = {0,   0,   0,   33,  'h', 'd', 'l', 'r', 0, 0, 0, 0, 0, 0, 0, 0, 'm',
                                      'd', 'i', 'r', 'a', 'p', 'p', 'l', 0,   0, 0, 0, 0, 0, 0, 0, 0};

void WriteHeader(TStream& stream, uint64_t size, uint32_t type) {
    uint8_t head[8];
    PutBE32(head, static_cast<uint32_t>(size));
    PutBE32(head + 4, type);
    stream.WriteBuffer(head, 8);
}

void WriteFree(TStream& stream, int64_t size) {
    if (size < 8)
        return;
    WriteHeader(stream, static_cast<uint64_t>(size), atom::kFree);
    if (!FillBytes(stream, 0, size - 8))
        throw EStreamError(L"Stream write error");
}

// Fills in the size of an atom written at `start` of a memory stream.
void PatchSize(TMemoryStream& stream, int64_t start) {
    PutBE32(stream.Data().data() + start, static_cast<uint32_t>(stream.Size() - start));
}

} // namespace

void TMPEG4MediaFormat::Refuse(const std::wstring& reason) {
    LastError = kErrorLayoutNotWritable;
    PostResult = static_cast<int32_t>(LastError);
    LogError(FormatText(L"MPEG-4 tags not saved, the file is left as it was: %s. File: \"%s\"", reason, FileName));
}

bool TMPEG4MediaFormat::SaveTags(uint32_t) {
    PostResult = 0;
    if (!GetModified() || !MoovAtom)
        return true;
    if (!SaveRefusal.empty()) {
        Refuse(SaveRefusal);
        return false;
    }
    try {
        // The item list: the known tags in table order, then the items kept as read.
        TMemoryStream items;
        Tags->SaveToStream(items);
        WriteBlocks(items);
        const int64_t listSize = items.Size();
        if (listSize > INT32_MAX - 65536) {
            Refuse(L"the item list is too large");
            return false;
        }

        TMemoryStream fresh;
        auto writeItemList = [&] {
            WriteHeader(fresh, static_cast<uint64_t>(listSize + 8), atom::kIlst);
            fresh.WriteBuffer(items.Memory(), listSize);
        };
        // A new "meta" keeps its slack inside, where the next save can use it in place.
        auto writeNewMeta = [&] {
            const int64_t start = fresh.Size();
            WriteHeader(fresh, 0, atom::kMeta);
            const uint8_t flags[4] = {0, 0, 0, 0};
            fresh.WriteBuffer(flags, 4);
            fresh.WriteBuffer(kMetadataHandler, sizeof kMetadataHandler);
            writeItemList();
            WriteFree(fresh, MPEG4FreeAtomSize);
            PatchSize(fresh, start);
        };

        if (UdtaAtom && MetaAtom) {
            WriteHeader(fresh, 0, atom::kMeta);
            if (MetaHasFlags)
                fresh.WriteBuffer(MetaFlags, 4);
            if (!MetaAtom->FindChild(atom::kHdlr))
                fresh.WriteBuffer(kMetadataHandler, sizeof kMetadataHandler);
            for (const auto& child : MetaAtom->Children) {
                if (child.get() == IlstAtom || child->IsFree())
                    continue;
                std::vector<uint8_t> bytes(static_cast<size_t>(child->Size));
                if (!Stream->SetPosition(child->Offset))
                    throw EStreamError(L"Stream read error");
                Stream->ReadBuffer(bytes.data(), child->Size);
                if (child->SizeToEnd) // it must end where it ends now, not at the end of the new "meta"
                    PutBE32(bytes.data(), static_cast<uint32_t>(child->Size));
                fresh.WriteBuffer(bytes.data(), child->Size);
            }
            writeItemList();
            const int64_t gap = MetaAtom->Size - fresh.Size();
            if (gap >= 8 && gap < MPEG4MaxInPlaceGap) {
                WriteFree(fresh, gap);
                PatchSize(fresh, 0);
                return SaveInPlace(fresh.Data());
            }
            WriteFree(fresh, MPEG4FreeAtomSize);
            PatchSize(fresh, 0);
            return SaveRebuilt(fresh.Data(), MetaAtom);
        }
        if (UdtaAtom) {
            writeNewMeta();
            return SaveRebuilt(fresh.Data(), UdtaAtom);
        }
        WriteHeader(fresh, 0, atom::kUdta);
        writeNewMeta();
        PatchSize(fresh, 0);
        return SaveRebuilt(fresh.Data(), MoovAtom);
    } catch (const ESaveFailure& failure) {
        LastError = failure.Code;
    } catch (const EMediaError& e) {
        LogError(e.Message());
        LastError = kErrorSaveException;
    } catch (const std::exception&) {
        LastError = kErrorSaveException;
    }
    PostResult = static_cast<int32_t>(LastError);
    return false;
}

bool TMPEG4MediaFormat::SaveInPlace(const std::vector<uint8_t>& newMeta) {
    const int64_t offset = MetaAtom->Offset;
    TInPlaceSave save(FileName, WriteBufferSize, FileSize);
    save.Keep(*Stream, offset, MetaAtom->Size); // the bytes being replaced
    Stream.reset(); // the original is written through the save's own handle
    LastError = save.Overwrite(
        [&](TSaveWriter& writer) {
            writer.Seek(offset);
            writer.Write(newMeta);
        },
        FileSize);
    PostResult = static_cast<int32_t>(LastError);
    return LastError == 0;
}

bool TMPEG4MediaFormat::SaveRebuilt(const std::vector<uint8_t>& newAtom, TQTAtom* target) {
    if (!RebuildRefusal.empty()) {
        Refuse(RebuildRefusal);
        return false;
    }
    // The region [cut, resume) of the old file is replaced by newAtom: the old "meta", or the trailing
    // "free" atoms (and any bytes too short for an atom) at the end of "udta" or "moov".
    int64_t cut, resume;
    std::vector<TQTAtom*> enclosing;
    if (target == MetaAtom) {
        cut = MetaAtom->Offset;
        resume = MetaAtom->End();
        enclosing = {UdtaAtom, MoovAtom};
    } else {
        cut = target->DataOffset();
        const TQTAtom* last = nullptr;
        for (const auto& child : target->Children)
            if (!child->IsFree())
                last = child.get();
        if (last && last->SizeToEnd) {
            // It would swallow whatever follows it inside the container.
            Refuse(L"the atom before the new metadata runs to the end of its parent");
            return false;
        }
        if (last)
            cut = last->End();
        resume = target->End();
        if (target == UdtaAtom)
            enclosing = {UdtaAtom, MoovAtom};
        else
            enclosing = {MoovAtom};
    }
    const int64_t shift = cut + static_cast<int64_t>(newAtom.size()) - resume;

    struct SizePatch {
        int64_t At;
        bool Wide;
        uint64_t Size;
    };
    std::vector<SizePatch> sizes;
    for (TQTAtom* atom : enclosing) {
        if (!(atom->Offset < cut && resume <= atom->End())) {
            Refuse(L"the metadata does not lie where it belongs");
            return false;
        }
        if (atom->SizeToEnd)
            continue; // still runs to the end of its parent, which moves with it
        const uint64_t size = static_cast<uint64_t>(atom->Size + shift);
        if (atom->HeaderSize == 8 && size > UINT32_MAX) {
            Refuse(L"an atom would outgrow its 32-bit size");
            return false;
        }
        sizes.push_back({atom->HeaderSize == 16 ? atom->Offset + 8 : atom->Offset, atom->HeaderSize == 16, size});
    }

    // Every chunk offset table of every track, with every entry moved along with the bytes it points at.
    struct TablePatch {
        int64_t At;
        std::vector<uint8_t> Bytes;
    };
    std::vector<TablePatch> tables;
    for (const TMPEG4ChunkOffsetTable& table : ChunkOffsetTables) {
        const TQTAtom* atom = table.Atom;
        int64_t at;
        if (atom->End() <= cut)
            at = atom->Offset;
        else if (atom->Offset >= resume)
            at = atom->Offset + shift;
        else {
            Refuse(L"a chunk offset table lies inside the metadata");
            return false;
        }
        const size_t width = table.Wide ? 8 : 4;
        std::vector<uint8_t> bytes(table.Count * width);
        if (!bytes.empty()) {
            if (!Stream->SetPosition(atom->DataOffset() + 8))
                throw EStreamError(L"Stream read error");
            Stream->ReadBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
        }
        for (size_t i = 0; i < table.Count; ++i) {
            uint8_t* p = bytes.data() + i * width;
            uint64_t offset = table.Wide ? GetBE64(p) : GetBE32(p);
            if (offset >= static_cast<uint64_t>(resume)) {
                offset = static_cast<uint64_t>(static_cast<int64_t>(offset) + shift);
            } else if (offset >= static_cast<uint64_t>(cut)) {
                Refuse(L"a chunk offset points into the metadata");
                return false;
            }
            if (table.Wide) {
                PutBE64(p, offset);
            } else {
                if (offset > UINT32_MAX) {
                    Refuse(L"a chunk offset would outgrow its 32-bit table");
                    return false;
                }
                PutBE32(p, static_cast<uint32_t>(offset));
            }
        }
        tables.push_back({at + atom->HeaderSize + 8, std::move(bytes)});
    }

    try {
        TTemporarySave save(FileName, WriteBufferSize);
        TSaveWriter& writer = save.Writer();
        writer.CopyRange(*Stream, 0, cut);
        writer.Write(newAtom);
        writer.CopyRange(*Stream, resume, FileSize);
        for (const SizePatch& patch : sizes) {
            uint8_t field[8];
            if (patch.Wide)
                PutBE64(field, patch.Size);
            else
                PutBE32(field, static_cast<uint32_t>(patch.Size));
            writer.Seek(patch.At);
            writer.Write(field, patch.Wide ? 8 : 4);
        }
        for (const TablePatch& patch : tables) {
            writer.Seek(patch.At);
            writer.Write(patch.Bytes);
        }
        const int64_t newSize = save.Finish();
        // The original must not be held open while it is renamed; should the second rename fail, the
        // original is put back under its own name.
        Stream.reset();
        save.Replace();
        FileSize = newSize;
        LastError = 0;
    } catch (const ESaveFailure& failure) {
        LastError = failure.Code;
    } catch (const std::exception&) {
        LastError = oserr::kWriteFault;
    }
    PostResult = static_cast<int32_t>(LastError);
    return LastError == 0;
}

} // namespace mellodeck
