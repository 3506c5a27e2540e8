// Saving MPEG-4 tags. The new item list goes into a new "meta" atom; when the old "meta" has room for it
// (with less than MPEG4MaxInPlaceGap bytes left over, which become a "free" atom) only the "meta" bytes are
// overwritten. Otherwise the file is rebuilt through a temporary sibling: the bytes before the rewritten
// region, the new atom, then everything after it. The region lies inside "moov", so the enclosing atoms
// grow by the same shift, and every chunk offset that points behind the region moves by it too.
#include <algorithm>
#include <cstring>
#include <mutex>

#include "media/mp4/AtomTypes.h"
#include "media/mp4/MPEG4MediaFormat.h"
#include "report/ErrorHandler.h"

namespace mellodeck {
namespace {

std::mutex gFaultLock;
TMPEG4SaveFaultHook gFaultHook;

uint32_t Fault(const char* step) {
    std::lock_guard<std::mutex> lock(gFaultLock);
    return gFaultHook ? gFaultHook(step) : 0;
}

// A step of the save failed with this system error code.
struct TSaveFailure {
    uint32_t Code;
};

void Check(const char* step) {
    if (const uint32_t code = Fault(step))
        throw TSaveFailure{code};
}

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

void CopyRange(TStream& source, TStream& target, int64_t from, int64_t to) {
    std::vector<uint8_t> piece(static_cast<size_t>(std::min<int64_t>(std::max<int64_t>(to - from, 0), kCopyChunk)));
    for (int64_t at = from; at < to;) {
        Check("copy");
        const int64_t n = std::min<int64_t>(to - at, kCopyChunk);
        if (!source.SetPosition(at))
            throw EStreamError(L"Stream read error");
        source.ReadBuffer(piece.data(), n);
        target.WriteBuffer(piece.data(), n);
        at += n;
    }
}

} // namespace

void SetMPEG4SaveFaultHook(TMPEG4SaveFaultHook hook) {
    std::lock_guard<std::mutex> lock(gFaultLock);
    gFaultHook = std::move(hook);
}

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
    } catch (const TSaveFailure& failure) {
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
    // The bytes being replaced, to put back should the write stop halfway.
    std::vector<uint8_t> old(static_cast<size_t>(MetaAtom->Size));
    if (!Stream->SetPosition(offset))
        throw EStreamError(L"Stream read error");
    Stream->ReadBuffer(old.data(), MetaAtom->Size);

    if (const uint32_t code = Fault("reopen")) {
        LastError = PostResult = code;
        return false;
    }
    if (!ReopenForWriting()) {
        PostResult = static_cast<int32_t>(LastError);
        return false;
    }
    auto* out = static_cast<TBufferedFileWriteStream*>(Stream.get());
    uint32_t error = 0;
    try {
        const auto half = static_cast<int64_t>(newMeta.size() / 2);
        if (!out->SetPosition(offset))
            throw TSaveFailure{out->WriteError ? out->WriteError : oserr::kWriteFault};
        out->WriteBuffer(newMeta.data(), half);
        out->Flush();
        Check("write");
        out->WriteBuffer(newMeta.data() + half, static_cast<int64_t>(newMeta.size()) - half);
        if (!out->Flush())
            throw TSaveFailure{out->WriteError};
    } catch (const TSaveFailure& failure) {
        error = failure.Code ? failure.Code : oserr::kWriteFault;
    } catch (const std::exception&) {
        error = out->WriteError ? out->WriteError : kErrorSaveException;
    }
    if (error == 0) {
        FileSize = out->Size();
        return true;
    }
    // Put the old bytes back through a fresh handle: the failed one refuses further writes.
    Stream.reset();
    {
        TBufferedFileWriteStream restore(FileName, WriteBufferSize, false);
        bool restored = restore.ErrorCode == 0 && restore.SetPosition(offset) &&
                        restore.Write(old.data(), static_cast<int64_t>(old.size())) ==
                            static_cast<int64_t>(old.size()) &&
                        restore.Flush();
        if (!restored)
            LogError(FormatText(L"MPEG-4: could not restore the metadata after a failed save, File: \"%s\"", FileName));
    }
    LastError = error;
    PostResult = static_cast<int32_t>(error);
    return false;
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

    const std::wstring temporary = MakeSiblingFileName(FileName, L".~temporary");
    uint32_t error = Fault("create");
    std::unique_ptr<TBufferedFileWriteStream> out;
    if (error == 0) {
        out = std::make_unique<TBufferedFileWriteStream>(temporary, WriteBufferSize, true);
        error = out->ErrorCode;
    }
    if (error == 0) {
        try {
            CopyRange(*Stream, *out, 0, cut);
            Check("write");
            out->WriteBuffer(newAtom.data(), static_cast<int64_t>(newAtom.size()));
            CopyRange(*Stream, *out, resume, FileSize);
            const int64_t newSize = out->Position();
            Check("patch");
            for (const SizePatch& patch : sizes) {
                uint8_t field[8];
                if (patch.Wide)
                    PutBE64(field, patch.Size);
                else
                    PutBE32(field, static_cast<uint32_t>(patch.Size));
                if (!out->SetPosition(patch.At))
                    throw TSaveFailure{out->WriteError};
                out->WriteBuffer(field, patch.Wide ? 8 : 4);
            }
            for (const TablePatch& patch : tables) {
                if (!out->SetPosition(patch.At))
                    throw TSaveFailure{out->WriteError};
                out->WriteBuffer(patch.Bytes.data(), static_cast<int64_t>(patch.Bytes.size()));
            }
            Check("flush");
            if (!out->Flush())
                throw TSaveFailure{out->WriteError};
            FileSize = newSize;
        } catch (const TSaveFailure& failure) {
            error = failure.Code;
        } catch (const std::exception&) {
            error = out->WriteError ? out->WriteError : oserr::kWriteFault;
        }
        if (error == 0)
            error = out->WriteError;
    }
    out.reset();
    if (error != 0) {
        DeleteFileLogged(temporary);
        LastError = error;
        PostResult = static_cast<int32_t>(error);
        return false;
    }

    // Swap the files. The original stays under its own name until the new one is complete; should the
    // second rename fail, the original is put back.
    Stream.reset();
    error = ReplaceWithTemporary(FileName, temporary, Fault);
    if (error != 0) {
        LastError = error;
        PostResult = static_cast<int32_t>(error);
        return false;
    }
    LastError = 0;
    PostResult = 0;
    return true;
}

} // namespace mellodeck
