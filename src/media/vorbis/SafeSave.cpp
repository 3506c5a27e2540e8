#include "media/vorbis/SafeSave.h"

#include <algorithm>
#include <vector>

#include "media/core/MediaFormat.h"

namespace mellodeck {
namespace {
TSaveFaultHook& Hook() {
    static TSaveFaultHook hook;
    return hook;
}
} // namespace

void SetSaveFaultHook(TSaveFaultHook hook) {
    Hook() = std::move(hook);
}

bool SaveStepFails(const char* step) {
    return Hook() && Hook()(step);
}

void TSaveWriter::Write(const void* data, size_t size) {
    if (size == 0)
        return;
    if (SaveStepFails("write")) {
        if (FStream.WriteError == 0)
            FStream.WriteError = oserr::kWriteFault;
        throw EStreamError(L"Stream write error");
    }
    FStream.WriteBuffer(data, static_cast<int64_t>(size));
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

void TSaveWriter::Zeros(int64_t count) {
    std::vector<uint8_t> zeros(static_cast<size_t>(std::clamp<int64_t>(count, 0, 65536)), 0);
    while (count > 0) {
        const int64_t n = std::min<int64_t>(count, static_cast<int64_t>(zeros.size()));
        Write(zeros.data(), static_cast<size_t>(n));
        count -= n;
    }
}

uint32_t TSaveWriter::Finish() {
    FStream.Flush();
    if (FStream.ErrorCode)
        return FStream.ErrorCode;
    return FStream.WriteError;
}

std::unique_ptr<TBufferedFileWriteStream> CreateSaveFile(const std::wstring& name, int32_t bufferSize,
                                                         uint32_t& error) {
    error = 0;
    if (SaveStepFails("create-temporary")) {
        error = oserr::kAccessDenied;
        return nullptr;
    }
    std::unique_ptr<TBufferedFileWriteStream> stream;
    try {
        stream = std::make_unique<TBufferedFileWriteStream>(name, bufferSize, true);
    } catch (...) {
        error = LastSystemError();
        return nullptr;
    }
    if (stream->ErrorCode || !stream->IsOpen()) {
        error = stream->ErrorCode ? stream->ErrorCode : oserr::kAccessDenied;
        return nullptr;
    }
    return stream;
}

uint32_t SaveStepError(const char* step) { return SaveStepFails(step) ? oserr::kAccessDenied : 0; }

} // namespace mellodeck
