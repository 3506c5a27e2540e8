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

// The error code for a save step that tests made fail (0 when it runs normally); pass it to
// ReplaceWithTemporary.
uint32_t SaveStepError(const char* step);

} // namespace mellodeck
