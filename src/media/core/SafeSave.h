#pragma once
// Saving a media file without ever losing it. Two ways, one for each kind of change:
//  - TTemporarySave writes a complete new file beside the original under a temporary name and puts it in
//    the original's place only once it is complete (the original is renamed aside first and renamed back
//    should the swap fail);
//  - TInPlaceSave overwrites parts of the original after keeping the bytes it overwrites, and puts them
//    (and the original size) back should any write fail.
// Formats write only their own bytes, through a TSaveWriter. Every step the system could refuse passes one
// test seam under one set of names.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "media/core/Streams.h"

namespace mellodeck {

// The steps of a save that the system could refuse.
namespace savestep {
inline constexpr char kCreateTemporary[] = "create-temporary"; // the temporary sibling
inline constexpr char kOpenForWriting[] = "open-for-writing";  // the original, for a save in place
inline constexpr char kWrite[] = "write";                      // every piece written, copied or filled
inline constexpr char kTruncate[] = "truncate";
inline constexpr char kFlush[] = "flush";
inline constexpr char kRenameOriginal[] = "rename-original";
inline constexpr char kRenameTemporary[] = "rename-temporary";
} // namespace savestep

// Test seam, consulted before every step: a non-zero result makes the step fail with that system error
// code, as the system's refusal would. Empty (nothing fails) unless a test installs one.
using TSaveFaultHook = std::function<uint32_t(const char* step)>;
void SetSaveFaultHook(TSaveFaultHook hook);
uint32_t SaveFault(const char* step);

// A step of a save failed; Code is the system error code (never 0).
class ESaveFailure : public EStreamError {
public:
    ESaveFailure(uint32_t code, const wchar_t* step);
    uint32_t Code;
};

// Throws ESaveFailure when the seam fails `step`.
void CheckSaveStep(const char* step);

// The writes of one save into an open file. Any refusal (a short write, a failed flush, the seam) throws
// ESaveFailure carrying the system's code; reads from a source may throw EStreamError as streams do.
class TSaveWriter {
public:
    explicit TSaveWriter(TBufferedFileWriteStream& stream) : FStream(stream) {}
    void Write(const void* data, size_t size);
    void Write(const std::vector<uint8_t>& bytes) { Write(bytes.data(), bytes.size()); }
    // Copies count bytes from the source's current position, in pieces of at most kCopyChunk.
    void Copy(TStream& source, int64_t count);
    // Copies the source's bytes [from, to).
    void CopyRange(TStream& source, int64_t from, int64_t to);
    void Zeros(int64_t count);
    // Moves the write position (to patch what was written earlier, or to a region of the original).
    void Seek(int64_t position);
    // Cuts the file at the write position.
    void Truncate();
    // Writes out what is buffered.
    void Flush();
    int64_t Position() const { return FStream.Position(); }

private:
    [[noreturn]] void Fail(const wchar_t* step);
    TBufferedFileWriteStream& FStream;
};

// A complete new file written beside `fileName`, then put in its place.
class TTemporarySave {
public:
    // Creates the temporary file; throws ESaveFailure when that is refused.
    TTemporarySave(const std::wstring& fileName, int32_t bufferSize);
    // Deletes the temporary file unless it was put in place.
    ~TTemporarySave();
    TTemporarySave(const TTemporarySave&) = delete;
    TTemporarySave& operator=(const TTemporarySave&) = delete;

    TSaveWriter& Writer() { return FWriter; }
    // Flushes and closes the temporary file; returns its size. Throws ESaveFailure.
    int64_t Finish();
    // Puts the finished file in the original's place. The caller has closed its own handles on the
    // original first (a file open elsewhere cannot be renamed everywhere). On failure (ESaveFailure) the
    // original keeps, or gets back, its own name and the temporary file is gone.
    void Replace();

private:
    std::wstring FFileName;
    std::wstring FTemporary;
    std::unique_ptr<TBufferedFileWriteStream> FStream;
    TSaveWriter FWriter;
    bool FPlaced = false;
};

// Parts of `fileName` overwritten where they are.
class TInPlaceSave {
public:
    TInPlaceSave(const std::wstring& fileName, int32_t bufferSize, int64_t originalSize)
        : FFileName(fileName), FBufferSize(bufferSize), FOriginalSize(originalSize) {}
    TInPlaceSave(const TInPlaceSave&) = delete;
    TInPlaceSave& operator=(const TInPlaceSave&) = delete;

    // Keeps `count` bytes of the original at `offset`, read from `source`, to put back should the save
    // fail. Call before Overwrite. Throws EStreamError when they cannot be read.
    void Keep(TStream& source, int64_t offset, int64_t count);
    // Opens the original for writing (the caller's own handles on it closed or sharing writes), lets
    // `write` overwrite it, flushes and closes. Returns 0 with `size` set to the file's size, or the system
    // code of the step that failed (kErrorSaveException for an error without one); the kept bytes and the
    // original size are then put back through a fresh handle (what cannot be restored is logged).
    uint32_t Overwrite(const std::function<void(TSaveWriter&)>& write, int64_t& size);

private:
    void Restore();

    struct Region {
        int64_t Offset;
        std::vector<uint8_t> Bytes;
    };
    std::wstring FFileName;
    int32_t FBufferSize;
    int64_t FOriginalSize;
    std::vector<Region> FKept;
};

// Puts a finished temporary file in place of fileName: the original moves to a backup name, the temporary
// takes its name, the backup is deleted. On failure the temporary is deleted and the original keeps (or
// gets back) its own name. Passes the seam at "rename-original" and "rename-temporary". Returns 0 or the
// system error code.
uint32_t ReplaceWithTemporary(const std::wstring& fileName, const std::wstring& temporary);

} // namespace mellodeck
