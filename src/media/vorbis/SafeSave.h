#pragma once
// Save machinery shared by the two formats whose tags are Vorbis comments: a temporary sibling file that
// replaces the original only when it was written completely, and a test seam that makes single save
// steps fail.
#include <functional>
#include <memory>
#include <string>

#include "media/core/Streams.h"

namespace mellodeck {

// Consulted before each step of a save that the system could refuse: "create-temporary", "open-for-writing",
// "write" (every piece written), "rename-original", "rename-temporary". Returning true makes that step fail
// as a system failure would. Empty (nothing fails) unless a test installs one.
using TSaveFaultHook = std::function<bool(const char* step)>;
void SetSaveFaultHook(TSaveFaultHook hook);
bool SaveStepFails(const char* step);

// Writes through to a file stream; any short write (or an injected failure) raises EStreamError.
class TSaveWriter {
public:
    explicit TSaveWriter(TBufferedFileWriteStream& stream) : FStream(stream) {}
    void Write(const void* data, size_t size);
    void Write(const std::vector<uint8_t>& bytes) { Write(bytes.data(), bytes.size()); }
    // Copies count bytes from the source's current position.
    void Copy(TStream& source, int64_t count);
    void Zeros(int64_t count);
    // Flushes; returns the system error met while creating or writing the file (0 = none).
    uint32_t Finish();

private:
    TBufferedFileWriteStream& FStream;
};

// Creates (or empties) a file for writing; nullptr with `error` set when that fails.
std::unique_ptr<TBufferedFileWriteStream> CreateSaveFile(const std::wstring& name, int32_t bufferSize, uint32_t& error);

// Puts the completely written `temporary` in the place of `fileName`: the original is first renamed to a
// backup, then the temporary takes its name, then the backup is removed. When the second rename fails the
// backup gets its name back, so the original is never left under another name. Returns 0 or the system
// error of the failed step; on failure the temporary file is removed.
uint32_t ReplaceWithTemporary(const std::wstring& fileName, const std::wstring& temporary);

} // namespace mellodeck
