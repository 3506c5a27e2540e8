#pragma once
// Byte streams of the tag library: the abstract stream, an in-memory stream, and the buffered file
// streams formats read and save with.
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "media/core/MediaErrors.h"
#include "common/PlatformFile.h"

namespace mellodeck {

class EStreamError : public EMediaError {
public:
    using EMediaError::EMediaError;
};
class EBufferedFileReadStream : public EMediaError {
public:
    using EMediaError::EMediaError;
};
class EBufferedFileWriteStream : public EMediaError {
public:
    using EMediaError::EMediaError;
};

class TStream {
public:
    virtual ~TStream() = default;
    // Return the count transferred (short at the end of data); negative on an I/O error.
    virtual int64_t Read(void* buffer, int64_t count) = 0;
    virtual int64_t Write(const void* buffer, int64_t count) = 0;
    // Absolute positioning; false when the position cannot be reached.
    virtual bool SetPosition(int64_t position) = 0;
    virtual int64_t Position() const = 0;
    virtual int64_t Size() = 0;
    // Reads count bytes at `position` for a caller that keeps its own buffer of the file; the stream's
    // position afterwards is unspecified. Buffered file streams read straight from the file, leaving their
    // read-ahead alone (going through it would copy every byte twice).
    virtual int64_t ReadBlockAt(int64_t position, void* buffer, int64_t count) {
        return SetPosition(position) ? Read(buffer, count) : -1;
    }

    // Complete transfers: short reads or writes raise EStreamError.
    void ReadBuffer(void* buffer, int64_t count);
    void WriteBuffer(const void* buffer, int64_t count);
    bool Skip(int64_t count) { return SetPosition(Position() + count); }
    int64_t Remaining() { return Size() - Position(); }
    // Copies count bytes from source (all of it from its start when count is 0) in pieces of at most
    // 1 MiB; raises EStreamError on a short read or write. Returns the count copied.
    int64_t CopyFrom(TStream& source, int64_t count);
};

constexpr int64_t kCopyChunk = 1048576;

class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;
    TMemoryStream(const uint8_t* data, size_t size) : FData(data, data + size) {}
    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    bool SetPosition(int64_t position) override;
    int64_t Position() const override { return FPosition; }
    int64_t Size() override { return static_cast<int64_t>(FData.size()); }
    std::vector<uint8_t>& Data() { return FData; }
    const uint8_t* Memory() const { return FData.data(); }
    void Clear() {
        FData.clear();
        FPosition = 0;
    }

private:
    std::vector<uint8_t> FData;
    int64_t FPosition = 0;
};

// A read-only view over bytes owned elsewhere.
class TSpanStream : public TStream {
public:
    TSpanStream(const uint8_t* data, size_t size) : FData(data), FSize(static_cast<int64_t>(size)) {}
    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void*, int64_t) override { return -1; }
    bool SetPosition(int64_t position) override;
    int64_t Position() const override { return FPosition; }
    int64_t Size() override { return FSize; }

private:
    const uint8_t* FData;
    int64_t FSize;
    int64_t FPosition = 0;
};

class TBaseBufferedFileStream : public TStream {
public:
    ~TBaseBufferedFileStream() override = default;
    // System error of the open call; 0 when the file is open.
    uint32_t ErrorCode = 0;
    std::wstring FileName;
    int64_t ClusterSize() const { return FClusterSize; }
    bool IsOpen() const { return FFile.IsOpen(); }

protected:
    explicit TBaseBufferedFileStream(const std::wstring& fileName);
    PlatformFile FFile;
    int64_t FClusterSize = 4096;
};

// Read-only file stream with a read-ahead buffer: the readers walk files in small pieces (frame headers,
// atom headers), so reads are served from memory. A fill starts small where a reader jumps to (a tag, the
// end of the file) and doubles while the reads run on through the file, up to kReadAhead: a walk over the
// audio frames reads large blocks, a jump over a picture does not read the picture. Reads at least as large
// as the next fill go straight into the caller's memory.
class TBufferedFileReadStream : public TBaseBufferedFileStream {
public:
    explicit TBufferedFileReadStream(const std::wstring& fileName);
    int64_t Read(void* buffer, int64_t count) override;
    // Raises EBufferedFileReadStream "Could not write to read-only stream.".
    int64_t Write(const void* buffer, int64_t count) override;
    bool SetPosition(int64_t position) override;
    int64_t Position() const override { return FPosition; }
    int64_t Size() override { return FSize; }
    int64_t ReadBlockAt(int64_t position, void* buffer, int64_t count) override;

    static constexpr int64_t kFirstFill = 4096;
    static constexpr int64_t kReadAhead = 65536;

private:
    // Size of a fill at `position`: twice the last one when the reads run on from the buffered bytes (to
    // within one fill), kFirstFill after a jump.
    int64_t NextFillSize(int64_t position) const;
    bool Fill(int64_t position, int64_t size);
    std::unique_ptr<uint8_t[]> FBuffer; // FCapacity bytes; the first FLength hold the file from FBufferStart
    int64_t FCapacity = 0;
    int64_t FLength = 0;
    int64_t FBufferStart = 0;
    int64_t FFillSize = 0; // of the last fill
    int64_t FPosition = 0;
    int64_t FSize = 0;
};

// Write-only file stream; buffered in whole clusters and flushed in order, at the latest on destruction.
class TBufferedFileWriteStream : public TBaseBufferedFileStream {
public:
    TBufferedFileWriteStream(const std::wstring& fileName, int32_t bufferSize, bool createNew);
    ~TBufferedFileWriteStream() override;
    // Raises EBufferedFileWriteStream "Could not write to write-only stream.".
    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    bool SetPosition(int64_t position) override;
    int64_t Position() const override { return FPosition; }
    int64_t Size() override;
    // Writes out what is buffered; false (with WriteError set) when the system refused.
    bool Flush();
    // Cuts the file at the current position.
    bool Truncate();
    size_t BufferCapacity() const { return FBuffer.capacity(); }
    // First system error met while writing (0 = none).
    uint32_t WriteError = 0;

private:
    std::vector<uint8_t> FBuffer;
    size_t FCapacity;
    int64_t FPosition = 0;     // logical position
    int64_t FFilePosition = 0; // where the OS handle points
    int64_t FFileSize = 0;
};

// Writes count bytes of value; true when all were written.
bool FillBytes(TStream& stream, uint8_t value, int64_t count);

} // namespace mellodeck
