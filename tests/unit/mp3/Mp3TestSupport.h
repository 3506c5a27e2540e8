#pragma once
// Shared pieces of the MP3 tests: the facts the fixture generator recorded from mutagen and ffprobe,
// a log observer, and builders for small hand-made files.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "TestPaths.h"
#include "media/core/MediaManager.h"
#include "media/mp3/MP3MediaFormat.h"

namespace mellodeck::test {

// The generator's expected.txt: per fixture file, key -> value (UTF-8).
class TExpected {
public:
    // Parses the file once; empty when fixtures were not generated.
    static const TExpected& Fixtures();
    // Parses "<file> TAB <key> TAB <value>" lines.
    static TExpected Parse(const std::string& text);

    bool Has(const std::string& file, const std::string& key) const;
    // The value; fails the current test when missing.
    std::string Get(const std::string& file, const std::string& key) const;
    double Number(const std::string& file, const std::string& key) const;
    std::wstring Wide(const std::string& file, const std::string& key) const;
    bool Empty() const { return FValues.empty(); }
    std::vector<std::string> Files() const;

private:
    std::map<std::string, std::map<std::string, std::string>> FValues;
};

// Skips the test when the MP3 fixtures are missing (run tests/fixtures/make-mp3.sh).
#define REQUIRE_MP3_FIXTURES()                                                                                  \
    do {                                                                                                        \
        if (::mellodeck::test::TExpected::Fixtures().Empty())                                                  \
            GTEST_SKIP() << "MP3 fixtures not generated: tests/fixtures/make-mp3.sh build/fixtures";           \
    } while (0)

// Collects what the library hands to the message log while it lives.
class TLogCapture {
public:
    TLogCapture();
    ~TLogCapture();
    bool Has(const std::wstring& text) const;
    bool HasPrefix(const std::wstring& prefix) const;
    std::vector<std::wstring> Lines;
};

// Opens a file read-only with a fresh format object.
struct TOpened {
    explicit TOpened(const std::wstring& fileName, bool forWriting = false);
    ~TOpened();
    TMP3MediaFormat Format;
    bool Ok = false;
};


// Builders of hand-made tags.
std::vector<uint8_t> SyncSafe(uint32_t value);
// ID3v2 header + body (size computed), with version and flags.
std::vector<uint8_t> ID3v2Tag(uint8_t major, uint8_t flags, const std::vector<uint8_t>& body);
// An ID3v2.3 frame (32-bit size) or ID3v2.4 frame (syncsafe size).
std::vector<uint8_t> Frame23(const std::string& id, const std::vector<uint8_t>& payload, uint8_t flags2 = 0);
std::vector<uint8_t> Frame24(const std::string& id, const std::vector<uint8_t>& payload, uint8_t flags2 = 0);
std::vector<uint8_t> Frame22(const std::string& id, const std::vector<uint8_t>& payload);
// Concatenation.
std::vector<uint8_t> Cat(std::initializer_list<std::vector<uint8_t>> parts);
std::vector<uint8_t> Text(const std::string& bytes);
// `count` MPEG 1 layer III frames at 128 kbit/s, 44100 Hz, unpadded (417 bytes each), zero-filled.
std::vector<uint8_t> CbrFrames(int count);
// A 128-byte ID3v1 block.
std::vector<uint8_t> ID3v1Block(const std::string& title, const std::string& artist, const std::string& album,
                                const std::string& year, const std::string& comment, int track, int genre);

// Mutagen's line ends (LF) as the comment tags keep them (CR LF).
std::wstring CrLf(const std::wstring& text);
// Every tag, picture and ID3v1 field of a read file against what mutagen reported for `file`.
void ExpectTagsAsMutagen(const TMP3MediaFormat& f, const TExpected& e, const std::string& file);
void ExpectPicturesAsMutagen(const TMP3MediaFormat& f, const TExpected& e, const std::string& file);
void ExpectID3v1AsMutagen(const TMP3MediaFormat& f, const TExpected& e, const std::string& file);

// Runs the generator's mutagen/ffprobe reader on one file (native builds only; false when it could not
// run) and parses its output.
bool MutagenRead(const std::filesystem::path& file, TExpected& facts);

} // namespace mellodeck::test
