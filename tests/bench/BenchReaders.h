#pragma once
// The readers the benchmark compares, each over one file of the generated set: our tag library, TagLib
// (reference), and a plain read of the file's bytes (the floor). Every reader folds what it read into a
// checksum, so no work can be optimised away and the two tag readers can be checked against each other.
#include <cstdint>
#include <string>
#include <vector>

namespace mellodeck::bench {

struct TBenchFile {
    std::string Path;      // UTF-8, as the system takes it
    std::wstring WidePath; // as our library takes it
    std::wstring Extension;
    std::string Kind; // the set's folder: mp3, mp3-noheader, ogg, flac, m4a
    int64_t Size = 0;
};

// The files listed in <setDir>/files.txt, in that order; raises std::runtime_error when the listing or a
// file is missing.
std::vector<TBenchFile> LoadFileSet(const std::string& setDir);
TBenchFile MakeBenchFile(const std::string& path, const std::string& kind);

// What a tag reader saw in one file; the texts are compared between readers, the rest is checked.
struct TReadSummary {
    bool Ok = false;
    std::wstring Title, Artist, Album;
    double Duration = 0; // seconds
    int Bitrate = 0;     // kbit/s
    int SampleRate = 0;
    int Channels = 0;
    int ArtWidth = 0; // of the scaled artwork (panel reads only)
    int ArtHeight = 0;
};

// Starts our library (once) and TagLib's nothing: TagLib needs no start.
void StartOurLibrary();

// Our library, tags and audio properties, pictures ignored.
bool ReadOursTagsOnly(const TBenchFile& file, TReadSummary* summary = nullptr);
// What the panel does on a track change: open with the artwork box set (the first picture is decoded
// straight to the size that fits 188 x 152), read the tags, box-scale the picture to fit, close.
bool ReadOursPanel(const TBenchFile& file, TReadSummary* summary = nullptr);
// TagLib through FileRef with audio properties (average accuracy, its default).
bool ReadTagLib(const TBenchFile& file, TReadSummary* summary = nullptr);
// Reads the whole file in 64 KiB pieces.
bool ReadPlain(const TBenchFile& file);

// The first picture of the file decoded at full size and encoded again as a JPEG (quality 85, as the set's
// covers) and as a PNG: the same picture in both forms, for timing the cover's decode alone. False when the
// file has no picture or an encoder fails.
bool CoverInBothForms(const TBenchFile& file, std::vector<uint8_t>& jpeg, std::vector<uint8_t>& png);
// What the panel does with a cover's bytes: decode to fit the artwork box (a JPEG at a reduced DCT scale,
// any other kind in full), then box-scale the rest of the way.
bool FitCover(const std::vector<uint8_t>& bytes);

// The artwork box of the panel and the size a picture of width x height is scaled to inside it.
constexpr int kArtBoxWidth = 188;
constexpr int kArtBoxHeight = 152;
void FitInBox(int width, int height, int& outWidth, int& outHeight);

// Accumulated by every reader; printed so that the reads have an observable result.
extern uint64_t gChecksum;

} // namespace mellodeck::bench
