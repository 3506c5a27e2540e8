#include "media/core/Streams.h"

#include <algorithm>
#include <cstring>

#include "common/FileUtils.h"

namespace mellodeck {

EMediaError::EMediaError(const std::wstring& message) : std::runtime_error(WideToUtf8(message)), FMessage(message) {}

namespace {
std::wstring ReplaceFirst(std::wstring text, const std::wstring& placeholder, const std::wstring& value) {
    size_t p = text.find(placeholder);
    if (p != std::wstring::npos)
        text.replace(p, placeholder.size(), value);
    return text;
}
} // namespace

std::wstring FormatText(const std::wstring& format, const std::wstring& s1) { return ReplaceFirst(format, L"%s", s1); }

std::wstring FormatText(const std::wstring& format, const std::wstring& s1, const std::wstring& s2) {
    return ReplaceFirst(ReplaceFirst(format, L"%s", s1), L"%s", s2);
}

std::wstring FormatText(const std::wstring& format, long long d1, const std::wstring& s1) {
    return ReplaceFirst(ReplaceFirst(format, L"%d", std::to_wstring(d1)), L"%s", s1);
}

// ---- TStream ------------------------------------------------------------------------------------------

void TStream::ReadBuffer(void* buffer, int64_t count) {
    if (count > 0 && Read(buffer, count) != count)
        throw EStreamError(L"Stream read error");
}

void TStream::WriteBuffer(const void* buffer, int64_t count) {
    if (count > 0 && Write(buffer, count) != count)
        throw EStreamError(L"Stream write error");
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
    if (count == 0) {
        if (!source.SetPosition(0))
            throw EStreamError(L"Stream read error");
        count = source.Size();
    }
    std::vector<uint8_t> chunk(static_cast<size_t>(std::min<int64_t>(count, kCopyChunk)));
    int64_t left = count;
    while (left > 0) {
        const int64_t n = std::min<int64_t>(left, kCopyChunk);
        source.ReadBuffer(chunk.data(), n);
        WriteBuffer(chunk.data(), n);
        left -= n;
    }
    return count;
}

bool FillBytes(TStream& stream, uint8_t value, int64_t count) {
    if (count <= 0)
        return count == 0;
    std::vector<uint8_t> block(static_cast<size_t>(std::min<int64_t>(count, 65536)), value);
    int64_t left = count;
    while (left > 0) {
        const int64_t n = std::min<int64_t>(left, static_cast<int64_t>(block.size()));
        if (stream.Write(block.data(), n) != n)
            return false;
        left -= n;
    }
    return true;
}

// ---- memory streams -----------------------------------------------------------------------------------

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
    if (count <= 0 || FPosition >= Size())
        return 0;
    const int64_t n = std::min(count, Size() - FPosition);
    std::memcpy(buffer, FData.data() + FPosition, static_cast<size_t>(n));
    FPosition += n;
    return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
    if (count <= 0)
        return 0;
    const size_t end = static_cast<size_t>(FPosition + count);
    if (end > FData.size())
        FData.resize(end);
    std::memcpy(FData.data() + FPosition, buffer, static_cast<size_t>(count));
    FPosition += count;
    return count;
}

bool TMemoryStream::SetPosition(int64_t position) {
    if (position < 0)
        return false;
    FPosition = position;
    return true;
}

int64_t TSpanStream::Read(void* buffer, int64_t count) {
    if (count <= 0 || FPosition >= FSize)
        return 0;
    const int64_t n = std::min(count, FSize - FPosition);
    std::memcpy(buffer, FData + FPosition, static_cast<size_t>(n));
    FPosition += n;
    return n;
}

bool TSpanStream::SetPosition(int64_t position) {
    if (position < 0)
        return false;
    FPosition = position;
    return true;
}

// ---- file streams -------------------------------------------------------------------------------------

TBaseBufferedFileStream::TBaseBufferedFileStream(const std::wstring& fileName) : FileName(fileName) {
    FClusterSize = PlatformClusterSize(fileName);
    if (FClusterSize < 512)
        FClusterSize = 4096;
}

TBufferedFileReadStream::TBufferedFileReadStream(const std::wstring& fileName) : TBaseBufferedFileStream(fileName) {
    FFile = PlatformFile::Open(fileName, FileAccess::Read, FileDisposition::OpenExisting, ErrorCode);
    if (FFile.IsOpen()) {
        FSize = FFile.SizeAtOpen();
        if (FSize < 0)
            FSize = FFile.Size();
        if (FSize < 0)
            FSize = 0;
    }
}

int64_t TBufferedFileReadStream::NextFillSize(int64_t position) const {
    const int64_t end = FBufferStart + FLength;
    const bool runsOn = FLength > 0 && position >= end && position - end < FFillSize;
    return runsOn ? std::min(2 * FFillSize, kReadAhead) : kFirstFill;
}

bool TBufferedFileReadStream::Fill(int64_t position, int64_t size) {
    FLength = 0;
    const int64_t wanted = std::min(size, FSize - position); // no read past the end
    if (FCapacity < wanted) {
        FBuffer.reset(); // the old bytes are not kept: the fill replaces them
        FBuffer = std::make_unique_for_overwrite<uint8_t[]>(static_cast<size_t>(wanted));
        FCapacity = wanted;
    }
    const int64_t got = FFile.ReadAt(position, FBuffer.get(), static_cast<size_t>(wanted));
    if (got < 0)
        return false;
    FBufferStart = position;
    FLength = got;
    FFillSize = size;
    return true;
}

int64_t TBufferedFileReadStream::Read(void* buffer, int64_t count) {
    if (count <= 0 || !FFile.IsOpen())
        return count == 0 ? 0 : -1;
    auto* out = static_cast<uint8_t*>(buffer);
    int64_t done = 0;
    while (done < count && FPosition < FSize) {
        const int64_t offset = FPosition - FBufferStart;
        if (offset >= 0 && offset < FLength) {
            const int64_t n = std::min(count - done, FLength - offset);
            std::memcpy(out + done, FBuffer.get() + offset, static_cast<size_t>(n));
            done += n;
            FPosition += n;
            continue;
        }
        const int64_t want = std::min(count - done, FSize - FPosition);
        const int64_t fill = NextFillSize(FPosition);
        if (want >= std::min(fill, FSize - FPosition)) {
            // Pictures, copies and tail probes: no detour through the buffer.
            const int64_t got = FFile.ReadAt(FPosition, out + done, static_cast<size_t>(want));
            if (got < 0)
                return done > 0 ? done : -1;
            done += got;
            FPosition += got;
            break;
        }
        if (!Fill(FPosition, fill))
            return done > 0 ? done : -1;
        if (FLength == 0)
            break;
    }
    return done;
}

int64_t TBufferedFileReadStream::ReadBlockAt(int64_t position, void* buffer, int64_t count) {
    if (count < 0 || position < 0 || !FFile.IsOpen())
        return -1;
    const int64_t want = std::min(count, std::max<int64_t>(0, FSize - position)); // no read past the end
    const int64_t got = want > 0 ? FFile.ReadAt(position, buffer, static_cast<size_t>(want)) : 0;
    if (got > 0)
        FPosition = position + got;
    return got;
}

int64_t TBufferedFileReadStream::Write(const void*, int64_t) {
    throw EBufferedFileReadStream(L"Could not write to read-only stream.");
}

bool TBufferedFileReadStream::SetPosition(int64_t position) {
    if (position < 0)
        return false;
    FPosition = position;
    return true;
}

TBufferedFileWriteStream::TBufferedFileWriteStream(const std::wstring& fileName, int32_t bufferSize, bool createNew)
    : TBaseBufferedFileStream(fileName) {
    // A read-only file loses that attribute so that it can be saved.
    const uint32_t attributes = GetAttributes(fileName);
    if (attributes != kInvalidFileAttributes && (attributes & kFileAttributeReadOnly))
        SetAttributes(fileName, attributes & ~kFileAttributeReadOnly);
    FFile = PlatformFile::Open(fileName, FileAccess::Write,
                               createNew ? FileDisposition::CreateAlways : FileDisposition::OpenExisting, ErrorCode);
    int64_t clusters = bufferSize / FClusterSize;
    if (clusters < 1)
        clusters = 1;
    FCapacity = static_cast<size_t>(clusters * FClusterSize);
    // The buffer grows on demand up to the capacity, so a small save does not touch megabytes of memory.
    if (FFile.IsOpen())
        FFileSize = FFile.Size();
}

TBufferedFileWriteStream::~TBufferedFileWriteStream() { Flush(); }

bool TBufferedFileWriteStream::Flush() {
    if (FBuffer.empty())
        return WriteError == 0;
    const int64_t start = FPosition - static_cast<int64_t>(FBuffer.size());
    bool ok = FFile.IsOpen();
    if (ok && FFilePosition != start)
        ok = FFile.Seek(start);
    if (ok)
        ok = FFile.Write(FBuffer.data(), FBuffer.size()) == static_cast<int64_t>(FBuffer.size());
    if (!ok) {
        if (WriteError == 0)
            WriteError = FFile.LastError() ? FFile.LastError() : oserr::kWriteFault;
        FBuffer.clear();
        FFilePosition = -1;
        return false;
    }
    FFilePosition = FPosition;
    FFileSize = std::max(FFileSize, FPosition);
    FBuffer.clear();
    return WriteError == 0;
}

int64_t TBufferedFileWriteStream::Read(void*, int64_t) {
    throw EBufferedFileWriteStream(L"Could not write to write-only stream.");
}

int64_t TBufferedFileWriteStream::Write(const void* buffer, int64_t count) {
    if (count <= 0)
        return 0;
    if (!FFile.IsOpen() || WriteError != 0)
        return -1;
    const auto* in = static_cast<const uint8_t*>(buffer);
    int64_t done = 0;
    while (done < count) {
        if (FBuffer.size() >= FCapacity && !Flush())
            return -1;
        const int64_t room = static_cast<int64_t>(FCapacity - FBuffer.size());
        if (FBuffer.empty() && count - done >= static_cast<int64_t>(FCapacity)) {
            // Whole-buffer pieces go straight to the file.
            const int64_t n = count - done;
            if (FFilePosition != FPosition && !FFile.Seek(FPosition)) {
                WriteError = FFile.LastError();
                return -1;
            }
            if (FFile.Write(in + done, static_cast<size_t>(n)) != n) {
                WriteError = FFile.LastError() ? FFile.LastError() : oserr::kWriteFault;
                FFilePosition = -1;
                return -1;
            }
            FPosition += n;
            FFilePosition = FPosition;
            FFileSize = std::max(FFileSize, FPosition);
            done += n;
            break;
        }
        const int64_t n = std::min(room, count - done);
        FBuffer.insert(FBuffer.end(), in + done, in + done + n);
        FPosition += n;
        done += n;
    }
    return done;
}

bool TBufferedFileWriteStream::SetPosition(int64_t position) {
    if (position < 0)
        return false;
    if (position == FPosition)
        return true;
    if (!Flush())
        return false;
    FPosition = position;
    return true;
}

int64_t TBufferedFileWriteStream::Size() { return std::max(FFileSize, FPosition); }

bool TBufferedFileWriteStream::Truncate() {
    if (!Flush())
        return false;
    if (!FFile.Seek(FPosition) || !FFile.Truncate()) {
        WriteError = FFile.LastError();
        return false;
    }
    FFilePosition = FPosition;
    FFileSize = FPosition;
    return true;
}

} // namespace mellodeck
