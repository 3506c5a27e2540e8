#pragma once
// Helpers of the MPEG-4 tests: hand-made atoms, the tools' view of a file (mutagen and ffmpeg, natively),
// the expectations the fixture generator recorded, and opening files with the format under test.
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "TestPaths.h"
#include "TestTools.h"
#include "media/mp4/MPEG4MediaFormat.h"

namespace mellodeck::test {

// ---- hand-made atoms ----------------------------------------------------------------------------
ByteVector Atom(const std::string& type, const ByteVector& body);
ByteVector Atom(uint32_t type, const ByteVector& body);
ByteVector Join(std::initializer_list<ByteVector> parts);
ByteVector Text(const std::string& text);
ByteVector BE32(uint32_t value);
ByteVector BE16(uint16_t value);
// An item with one data atom: size, type, "data", type indicator (0,0,0,kind), locale 0, payload.
ByteVector DataItem(uint32_t itemType, uint8_t kind, const ByteVector& payload);
// A small file of the usual shape: ftyp, moov (mvhd with time scale 1000 and 5000 units, one sound track
// whose chunk offset table points at the mdat payload, udta/meta/hdlr/ilst with these items and a free
// atom of `slack` bytes inside meta), then mdat with MinimalAudio(), then `tail`. A non-empty
// `chunkTable` replaces the correct "stco" atom.
struct MinimalOptions {
    uint32_t Slack = 0;
    ByteVector ChunkTable;
    ByteVector Tail;
    // Without udta (and so without items), and with these bytes as the last children of moov.
    bool NoUserData = false;
    ByteVector MoovTail;
};
ByteVector MinimalFile(const ByteVector& items, const MinimalOptions& options = MinimalOptions());
MinimalOptions WithChunkTable(const ByteVector& table, uint32_t slack = 0);
MinimalOptions WithTail(const ByteVector& tail, uint32_t slack = 0);
MinimalOptions WithSlack(uint32_t slack);
ByteVector MinimalAudio();

// ---- files --------------------------------------------------------------------------------------
// Files of a folder (names only), sorted.
std::vector<std::string> FolderListing(const std::filesystem::path& folder);
std::unique_ptr<TMPEG4MediaFormat> OpenMp4(const std::filesystem::path& path, bool forWriting = false);
std::string Narrow(const std::wstring& text);
// The first `count` bytes at every chunk offset of every track, as the format under test finds them.
ByteVector ChunkStarts(const std::filesystem::path& path, size_t count = 24);

// ---- what the tools read (native builds only) ---------------------------------------------------
// mp4-dump.py lines ("tag ...", "cover ...", "chunks ...") of a file.
std::vector<std::string> ToolDump(const std::filesystem::path& path, const std::string& what);
// What `ffmpeg -v error -i FILE -f null -` prints: empty for a file that decodes cleanly.
std::string FfmpegErrors(const std::filesystem::path& path);
// MD5 of the decoded audio of every stream.
std::string DecodedAudio(const std::filesystem::path& path);

// ---- expectations recorded by make-mp4.sh -------------------------------------------------------
struct ExpectedCover {
    int Format = 0;
    size_t Size = 0;
};
struct Expected {
    std::map<std::string, std::string> Tags; // mutagen key -> value
    std::vector<ExpectedCover> Covers;
    double Duration = 0;
    int SampleRate = 0;
    int Channels = 0;
    int Tracks = 0;
};
Expected LoadExpected(const std::string& file);

} // namespace mellodeck::test
