#include "media/core/SafeSave.h"

#include <algorithm>
#include <mutex>

#include "media/core/MediaFormat.h"
#include "report/ErrorHandler.h"

namespace mellodeck {
namespace {

std::mutex gHookLock;
TSaveFaultHook gHook;

constexpr int64_t kZeroChunk = 65536;

} // namespace

void SetSaveFaultHook(TSaveFaultHook hook) {
    std::lock_guard<std::mutex> lock(gHookLock);
    gHook = std::move(hook);
}

uint32_t SaveFault(const char* step) {
    std::lock_guard<std::mutex> lock(gHookLock);
    return gHook ? gHook(step) : 0;
}

ESaveFailure::ESaveFailure(uint32_t code, const wchar_t* step)
    : EStreamError(std::wstring(L"Save step failed: ") + step), Code(code ? code : oserr::kWriteFault) {}

void CheckSaveStep(const char* step) {
    if (const uint32_t code = SaveFault(step))
        throw ESaveFailure(code, std::wstring(step, step + std::char_traits<char>::length(step)).c_str());
}

// ---- TSaveWriter ---------------------------------------------------------------------------------------

void TSaveWriter::Fail(const wchar_t* step) {
    throw ESaveFailure(FStream.WriteError ? FStream.WriteError : (FStream.ErrorCode ? FStream.ErrorCode : 0), step);
}

void TSaveWriter::Write(const void* data, size_t size) {
    if (size == 0)
        return;
    CheckSaveStep(savestep::kWrite);
    if (FStream.Write(data, static_cast<int64_t>(size)) != static_cast<int64_t>(size))
        Fail(L"write");
}

void TSaveWriter::Copy(TStream& source, int64_t count) {
    std::vector<uint8_t> chunk(static_cast<size_t>(std::clamp<int64_t>(count, 0, kCopyChunk)));
    while (count > 0) {
        const int64_t n = std::min<int64_t>(count, kCopyChunk);
        source.ReadBuffer(chunk.data(), n);
        Write(chunk.data(), static_cast<size_t>(n));
        count -= n;
    }
}

void TSaveWriter::CopyRange(TStream& source, int64_t from, int64_t to) {
    if (to <= from)
        return;
    if (!source.SetPosition(from))
        throw EStreamError(L"Stream read error");
    Copy(source, to - from);
}

void TSaveWriter::Zeros(int64_t count) {
    const std::vector<uint8_t> zeros(static_cast<size_t>(std::clamp<int64_t>(count, 0, kZeroChunk)), 0);
    while (count > 0) {
        const int64_t n = std::min<int64_t>(count, kZeroChunk);
        Write(zeros.data(), static_cast<size_t>(n));
        count -= n;
    }
}

void TSaveWriter::Seek(int64_t position) {
    if (!FStream.SetPosition(position))
        Fail(L"seek");
}

void TSaveWriter::Truncate() {
    CheckSaveStep(savestep::kTruncate);
    if (!FStream.Truncate())
        Fail(L"truncate");
}

void TSaveWriter::Flush() {
    CheckSaveStep(savestep::kFlush);
    if (!FStream.Flush())
        Fail(L"flush");
}

// ---- TTemporarySave ------------------------------------------------------------------------------------

namespace {
std::unique_ptr<TBufferedFileWriteStream> CreateTemporary(const std::wstring& name, int32_t bufferSize) {
    CheckSaveStep(savestep::kCreateTemporary);
    auto stream = std::make_unique<TBufferedFileWriteStream>(name, bufferSize, true);
    if (stream->ErrorCode || !stream->IsOpen())
        throw ESaveFailure(stream->ErrorCode ? stream->ErrorCode : oserr::kAccessDenied, L"create-temporary");
    return stream;
}
} // namespace

TTemporarySave::TTemporarySave(const std::wstring& fileName, int32_t bufferSize)
    : FFileName(fileName), FTemporary(MakeSiblingFileName(fileName, L".~temporary")),
      FStream(CreateTemporary(FTemporary, bufferSize)), FWriter(*FStream) {}

TTemporarySave::~TTemporarySave() {
    if (FPlaced)
        return;
    FStream.reset();
    DeleteFileLogged(FTemporary);
}

int64_t TTemporarySave::Finish() {
    FWriter.Flush();
    const int64_t size = FStream->Size();
    FStream.reset();
    return size;
}

void TTemporarySave::Replace() {
    FStream.reset();
    const uint32_t error = ReplaceWithTemporary(FFileName, FTemporary);
    FPlaced = true; // placed, or deleted by the replacement
    if (error)
        throw ESaveFailure(error, L"replace");
}

// ---- TInPlaceSave --------------------------------------------------------------------------------------

void TInPlaceSave::Keep(TStream& source, int64_t offset, int64_t count) {
    Region region{offset, std::vector<uint8_t>(static_cast<size_t>(std::max<int64_t>(count, 0)))};
    if (count > 0) {
        if (!source.SetPosition(offset))
            throw EStreamError(L"Stream read error");
        source.ReadBuffer(region.Bytes.data(), count);
    }
    FKept.push_back(std::move(region));
}

uint32_t TInPlaceSave::Overwrite(const std::function<void(TSaveWriter&)>& write, int64_t& size) {
    uint32_t error = 0;
    try {
        CheckSaveStep(savestep::kOpenForWriting);
        TBufferedFileWriteStream file(FFileName, FBufferSize, false);
        if (file.ErrorCode || !file.IsOpen())
            throw ESaveFailure(file.ErrorCode ? file.ErrorCode : oserr::kAccessDenied, L"open-for-writing");
        TSaveWriter writer(file);
        write(writer);
        writer.Flush();
        size = file.Size();
        return 0;
    } catch (const ESaveFailure& failure) { // the failed stream is gone, what it held written out

        error = failure.Code;
    } catch (...) {
        error = kErrorSaveException;
    }
    Restore();
    return error;
}

void TInPlaceSave::Restore() {
    // The old bytes go back through a fresh handle: the failed one refuses further writes.
    TBufferedFileWriteStream file(FFileName, FBufferSize, false);
    bool ok = file.ErrorCode == 0;
    for (const Region& region : FKept)
        ok = ok && (region.Bytes.empty() ||
                    (file.SetPosition(region.Offset) &&
                     file.Write(region.Bytes.data(), static_cast<int64_t>(region.Bytes.size())) ==
                         static_cast<int64_t>(region.Bytes.size())));
    ok = ok && file.SetPosition(FOriginalSize) && file.Truncate() && file.Flush();
    if (!ok)
        LogError(FormatText(L"Could not restore the original file, File: %s", FFileName));
}

// ---- the swap ------------------------------------------------------------------------------------------

uint32_t ReplaceWithTemporary(const std::wstring& fileName, const std::wstring& temporary) {
    auto failed = [&](const char* step, const std::wstring& from, const std::wstring& to) -> uint32_t {
        if (const uint32_t code = SaveFault(step))
            return code;
        if (RenameFile(from, to))
            return 0;
        const uint32_t code = LastSystemError();
        return code ? code : oserr::kAccessDenied;
    };
    const std::wstring backup = MakeSiblingFileName(fileName, L".~original");
    DeleteFileLogged(backup);
    if (const uint32_t error = failed(savestep::kRenameOriginal, fileName, backup)) {
        DeleteFileLogged(temporary);
        return error;
    }
    if (const uint32_t error = failed(savestep::kRenameTemporary, temporary, fileName)) {
        // Put the original back under its own name.
        if (!RenameFile(backup, fileName))
            LogError(FormatText(L"Could not restore the original file, File: %s", fileName));
        DeleteFileLogged(temporary);
        return error;
    }
    DeleteFileLogged(backup);
    return 0;
}

} // namespace mellodeck
