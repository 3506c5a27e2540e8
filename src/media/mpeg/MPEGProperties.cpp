#include "media/mpeg/MPEGProperties.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "common/ByteOrder.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace mellodeck {
namespace {

// kbit/s by [table][bit-rate index]: MPEG 1 layers I, II, III; MPEG 2/2.5 layer I; MPEG 2/2.5 layers II/III.
const int16_t kBitrates[5][16] = {
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
};

// Hz by [version id][sample-rate index]; version id 1 is reserved.
const int32_t kSampleRates[4][3] = {
    {11025, 12000, 8000},
    {0, 0, 0},
    {22050, 24000, 16000},
    {44100, 48000, 32000},
};

// The first frame is read into one buffer of this size; longer candidate frames are not accepted.
constexpr uint32_t kMaxFrameLength = 4096;
// Bytes at the end of the file searched for a LAME version string.
constexpr int64_t kTailProbe = 4096;

// The 4-byte window moves on by one byte (three plain moves: a library call would cost more than the work).
void SlideWindow(uint8_t window[4], uint8_t next) {
    window[0] = window[1];
    window[1] = window[2];
    window[2] = window[3];
    window[3] = next;
}

// The first place in [p, last] whose two bytes carry the 11 sync bits, or null; last[1] must be readable.
// Both bytes are tested for 32 places at a time.
const uint8_t* FindSyncPair(const uint8_t* p, const uint8_t* last) {
#ifdef __SSE2__
    const __m128i ff = _mm_set1_epi8(static_cast<char>(0xFF));
    const __m128i e0 = _mm_set1_epi8(static_cast<char>(0xE0));
    // 16 places from q whose byte is 0xFF and whose next byte is at least 0xE0 (max(b, E0) == b).
    const auto places = [&](const uint8_t* q) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q + 1));
        return static_cast<uint32_t>(
            _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, ff), _mm_cmpeq_epi8(_mm_max_epu8(b, e0), b))));
    };
    while (last - p >= 32) { // the loads reach p[32] at most
        const uint32_t found = places(p) | places(p + 16) << 16;
        if (found)
            return p + __builtin_ctz(found);
        p += 32;
    }
#endif
    for (; p <= last; ++p) {
        if (p[0] == 0xFF && p[1] >= 0xE0)
            return p;
    }
    return nullptr;
}

// The first place in [p, last] whose two bytes carry the 11 sync bits (0xFF, then at least 0xE0), or null;
// last[1] must be readable. memchr runs to the first 0xFF at memory speed, which is all a run of zeros or
// silence costs; where 0xFF bytes are common (random bytes hold one in 256, most of them not followed by the
// sync's last three bits) stopping at each would cost more than testing both bytes of every place.
const uint8_t* FindSync(const uint8_t* p, const uint8_t* last) {
    if (p > last)
        return nullptr;
    p = static_cast<const uint8_t*>(std::memchr(p, 0xFF, static_cast<size_t>(last - p + 1)));
    if (!p || p[1] >= 0xE0)
        return p;
    return FindSyncPair(p + 1, last);
}

// The frame walk's view of the file: one block of it in this window's buffer, read straight from the file
// (the stream's read-ahead would copy every byte twice), so that headers are taken from memory and the frame
// bodies between them cost only their reading. A block for the next header is as long as the walk is
// expected to need (the rest of a constant-rate walk, capped at 64 KiB); the scan after lost sync reads
// 4 KiB at first and doubles while it runs on, up to 64 KiB.
class TFrameWindow {
public:
    explicit TFrameWindow(TStream& stream) : FStream(stream) {}

    // The 4 bytes at `position`; null when the file holds fewer than 4 there (or cannot be read). When the
    // block must be refilled, it is read for `expected` bytes from there.
    const uint8_t* At(int64_t position, int64_t expected) {
        if (!Holds(position) && !Load(position, std::clamp<int64_t>(expected, 4, kLargestBlock)))
            return nullptr;
        return FBlock + (position - FStart);
    }

    // After the header at `position` failed to decode: moves `position` to the next place that decodes as a
    // valid header (all 4 bytes inside the file) and decodes it into `h`; false at the end of the file. The
    // sync bytes are found with memchr, a block at a time, so junk or silence between frames costs about
    // what reading it does; only places that carry the 11 sync bits are decoded.
    bool NextHeader(int64_t& position, TMPEGHeader& h) {
        int64_t from = position + 1;
        for (;;) {
            if (!Holds(from) && !Load(from))
                return false;
            const uint8_t* p = FBlock + (from - FStart);
            const uint8_t* last = FBlock + FLength - 4; // the last place with 4 bytes in the block
            while (p <= last) {
                p = FindSync(p, last);
                if (!p)
                    break;
                if (DecodeMPEGHeader(p, h)) {
                    position = FStart + (p - FBlock);
                    return true;
                }
                ++p;
            }
            from = FStart + FLength - 3; // the block's last 3 places need the next block's bytes
        }
    }

private:
    static constexpr int64_t kFirstBlock = 4096;
    // As large as the pieces of a plain read of the file.
    static constexpr int64_t kLargestBlock = 65536;

    bool Holds(int64_t position) const { return position >= FStart && position + 4 <= FStart + FLength; }

    // The next block of a scan: twice the last (at least 4 KiB) while the scan runs on.
    bool Load(int64_t position) {
        const int64_t end = FStart + FLength;
        const bool runsOn = FLength > 0 && position > FStart && position <= end + FBlockSize;
        return Load(position, runsOn ? std::clamp(2 * FBlockSize, kFirstBlock, kLargestBlock) : kFirstBlock);
    }

    // Reads `size` bytes from `position` into the block; true when it holds at least 4.
    bool Load(int64_t position, int64_t size) {
        FBlockSize = size;
        FStart = position;
        FLength = 0;
        const int64_t got = FStream.ReadBlockAt(position, FBlock, FBlockSize);
        FLength = got > 0 ? got : 0;
        return FLength >= 4;
    }

    TStream& FStream;
    uint8_t FBlock[kLargestBlock];
    int64_t FStart = 0;
    int64_t FLength = 0;
    int64_t FBlockSize = kFirstBlock;
};

// The last two distinct valid headers of a walk and their decoding: the frames of a stream repeat a few
// header patterns (a constant-rate stream two, with and without padding), and decoding one costs divisions.
class THeaderMemo {
public:
    bool Decode(const uint8_t* bytes, TMPEGHeader& h) {
        uint32_t key;
        std::memcpy(&key, bytes, 4);
        if (key == kEmpty)
            return false; // four 0xFF bytes in the file must not find an empty entry
        for (int i = 0; i < 2; ++i) {
            if (FKeys[i] == key) {
                h = FHeaders[i];
                return true;
            }
        }
        if (!DecodeMPEGHeader(bytes, h))
            return false;
        FKeys[FNext] = key;
        FHeaders[FNext] = h;
        FNext ^= 1;
        return true;
    }

private:
    // Four 0xFF bytes never decode (bit-rate index 15), so they mark an empty entry.
    static constexpr uint32_t kEmpty = 0xFFFFFFFFu;
    uint32_t FKeys[2] = {kEmpty, kEmpty};
    TMPEGHeader FHeaders[2];
    int FNext = 0;
};

bool IsNameChar(uint8_t c) {
    return c == ' ' || c == '.' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

} // namespace

int TMPEGHeader::SamplesPerFrame() const {
    if (Layer == 3)
        return 384;
    if (IsMPEG1() || Layer == 2)
        return 1152;
    return 576;
}

bool DecodeMPEGHeader(const uint8_t* b, TMPEGHeader& h) {
    if (b[0] != 0xFF || b[1] <= 0xDF)
        return false;
    h.VersionID = (b[1] >> 3) & 3;
    h.Layer = (b[1] >> 1) & 3;
    h.CRC = (b[1] & 1) == 0;
    h.BitrateIndex = b[2] >> 4;
    h.SampleRateIndex = (b[2] >> 2) & 3;
    h.Padding = (b[2] >> 1) & 1;
    h.Private = b[2] & 1;
    h.ChannelMode = b[3] >> 6;
    h.ModeExtension = (b[3] >> 4) & 3;
    h.Copyright = (b[3] >> 3) & 1;
    h.Original = (b[3] >> 2) & 1;
    h.Emphasis = b[3] & 3;
    if (h.VersionID == 1 || h.Layer == 0 || h.BitrateIndex == 0 || h.BitrateIndex == 15 || h.SampleRateIndex == 3 ||
        h.Emphasis == 2)
        return false;
    int table;
    if (h.IsMPEG1())
        table = 3 - h.Layer; // layer I -> 0, II -> 1, III -> 2
    else
        table = h.Layer == 3 ? 3 : 4;
    h.Bitrate = kBitrates[table][h.BitrateIndex];
    h.SampleRate = kSampleRates[h.VersionID][h.SampleRateIndex];
    if (h.Bitrate == 0 || h.SampleRate == 0)
        return false;
    if (h.Layer == 3) {
        // Layer I counts in 4-byte slots: the length is truncated in slots and padding adds one slot.
        h.FrameLength = static_cast<uint32_t>((12 * h.Bitrate * 1000 / h.SampleRate + (h.Padding ? 1 : 0)) * 4);
    } else {
        h.FrameLength =
            static_cast<uint32_t>(h.SamplesPerFrame() / 8 * h.Bitrate * 1000 / h.SampleRate + (h.Padding ? 1 : 0));
    }
    return true;
}

int XingOffset(const TMPEGHeader& h) {
    if (h.IsMPEG1())
        return h.IsMono() ? 21 : 36;
    return h.IsMono() ? 13 : 21;
}

bool TMPEGProperties::Search(TStream& s, int64_t fileSize) {
    VBRData.Clear();
    VBRIPresent = false;
    StreamFound = false;
    FirstFrameOffset = 0;
    AudioStart = 0;
    GuessEncoder = true;
    CountedFrames = 0;
    CountedFramesValid = false;
    DeclaredConstantFrames = 0;
    Bitrate = 0;
    SampleRate = 0;
    Header = TMPEGHeader();

    uint8_t window[4];
    int64_t candidate = s.Position();
    if (s.Read(window, 4) != 4)
        return false;
    bool firstValid = true;
    TMPEGHeader h, second;
    // The window slides one byte at a time (over padding or junk before the audio); the bytes come from a
    // local chunk read ahead of it, which is dropped whenever a candidate moves the stream.
    uint8_t chunk[512];
    int64_t chunkLength = 0, chunkUsed = 0;
    for (;;) {
        if (DecodeMPEGHeader(window, h) && h.FrameLength < kMaxFrameLength) {
            chunkLength = chunkUsed = 0;
            bool restart = false;
            if (firstValid) {
                firstValid = false;
                // A VBRI header sits 32 bytes after the first frame's header; a file too short for the
                // probe simply has none.
                if (s.SetPosition(candidate + 32) && s.Read(VBRIBuffer, 30) == 30 &&
                    std::memcmp(VBRIBuffer + 4, "VBRI", 4) == 0) {
                    ReadVBRI();
                    FirstFrameOffset = candidate;
                    GuessEncoder = false;
                    VBRIPresent = true;
                    candidate += 62;
                    restart = true;
                }
            }
            if (restart) {
                s.SetPosition(candidate);
                if (s.Read(window, 4) != 4)
                    return false;
                continue;
            }
            uint8_t next[4];
            if (s.SetPosition(candidate + h.FrameLength) && s.Read(next, 4) == 4 && DecodeMPEGHeader(next, second))
                break; // two frames in a row: confirmed
            ++candidate;
            if (!s.SetPosition(candidate) || s.Read(window, 4) != 4)
                return false;
            continue;
        }
        // Padding or junk: no candidate can start before the next sync byte, so the window jumps to just
        // before it when its own last three bytes hold none (the places skipped all begin with another byte).
        if (window[1] != 0xFF && window[2] != 0xFF && window[3] != 0xFF && chunkUsed < chunkLength) {
            const uint8_t* from = chunk + chunkUsed;
            const size_t left = static_cast<size_t>(chunkLength - chunkUsed);
            const auto* sync = static_cast<const uint8_t*>(std::memchr(from, 0xFF, left));
            const int64_t run = sync ? sync - from : chunkLength - chunkUsed;
            if (run >= 4) {
                std::memcpy(window, from + run - 4, 4);
                chunkUsed += run;
                candidate += run;
                continue;
            }
        }
        if (chunkUsed == chunkLength) {
            chunkLength = s.Read(chunk, sizeof chunk);
            chunkUsed = 0;
            if (chunkLength <= 0)
                return false;
        }
        SlideWindow(window, chunk[chunkUsed++]);
        ++candidate;
    }

    StreamFound = true;
    Header = h;
    Bitrate = static_cast<int16_t>(h.Bitrate);
    SampleRate = h.SampleRate;
    AudioStart = candidate;
    if (!VBRIPresent)
        FirstFrameOffset = candidate;

    std::vector<uint8_t> frame(h.FrameLength);
    s.SetPosition(candidate);
    frame.resize(static_cast<size_t>(std::max<int64_t>(0, s.Read(frame.data(), h.FrameLength))));
    if (!VBRIPresent)
        ReadXing(frame.data(), frame.size(), s, fileSize);
    if (GuessEncoder)
        GuessEncoderName(frame.data(), frame.size());

    if (VBRData.Present && VBRData.Frames != 0) {
        uint32_t bytes = VBRData.Bytes;
        if (bytes == 0) // a header without a byte count: the stream's own size serves
            bytes = static_cast<uint32_t>(std::max<int64_t>(0, fileSize - AudioStart));
        const double padding = h.Padding ? (h.Layer == 3 ? 4 : 1) : 0;
        const double k = h.IsMPEG1() ? (h.Layer == 3 ? 48 : 144) : (h.Layer == 3 ? 24 : 72);
        const double rate = SampleRate * (static_cast<double>(bytes) / VBRData.Frames - padding) / k / 1000;
        const double rounded = std::nearbyint(rate);
        Bitrate = static_cast<int16_t>(std::max(0.0, std::min(32767.0, rounded)));
    } else if (!WalkIsDeclaredNeedless(second, fileSize)) {
        WalkFrames(s, second, candidate + h.FrameLength);
    }
    return true;
}

void TMPEGProperties::ReadVBRI() {
    VBRData.Present = true;
    std::memcpy(VBRData.HeaderID, "VBRI", 4);
    VBRData.Bytes = GetBE32(VBRIBuffer + 14);
    VBRData.Frames = GetBE32(VBRIBuffer + 18);
    VBRData.EncoderName = "Fraunhofer " + std::to_string(GetBE16(VBRIBuffer + 8)) + ".x";
}

void TMPEGProperties::ReadXing(const uint8_t* frame, size_t size, TStream& s, int64_t fileSize) {
    const size_t at = static_cast<size_t>(XingOffset(Header));
    if (at + 8 <= size && std::memcmp(frame + at, "Xing", 4) == 0) {
        VBRData.Present = true;
        std::memcpy(VBRData.HeaderID, "Xing", 4);
        VBRData.XingFlags = frame[at + 7];
        size_t p = at + 8;
        auto be32 = [&](uint32_t& out) {
            if (p + 4 <= size)
                out = GetBE32(frame + p);
            p += 4;
        };
        if (VBRData.XingFlags & 1)
            be32(VBRData.Frames);
        if (VBRData.XingFlags & 2)
            be32(VBRData.Bytes);
        if (VBRData.XingFlags & 4)
            p += 100;
        if (VBRData.XingFlags & 8) {
            uint32_t quality = 0;
            be32(quality);
            VBRData.Quality = static_cast<uint8_t>(quality);
        }
        std::string name;
        while (p < size && IsNameChar(frame[p]))
            name += static_cast<char>(frame[p++]);
        if (name.compare(0, 4, "LAME") == 0) {
            name = "LAME " + name.substr(4);
            GuessEncoder = false;
        } else if (!name.empty()) {
            GuessEncoder = false;
        } else if (Header.Original) {
            name = "Xing";
            GuessEncoder = false;
        }
        VBRData.EncoderName = name;
        return;
    }
    // LAME writes the same header into constant-rate files as "Info". The stream is not variable-rate for
    // it (the walk below still counts the frames), but its version string names the encoder without the
    // probe at the end of the file. Only a complete version is taken: LAME's field has 9 bytes, and a longer
    // version ("LAME3.99r" for 3.99.5) is left to the probe, which finds it whole.
    if (at + 8 <= size && std::memcmp(frame + at, "Info", 4) == 0) {
        const uint8_t flags = frame[at + 7];
        if ((flags & 1) && at + 12 <= size)
            DeclaredConstantFrames = GetBE32(frame + at + 8);
        size_t p = at + 8 + ((flags & 1) ? 4 : 0) + ((flags & 2) ? 4 : 0) + ((flags & 4) ? 100 : 0) +
                   ((flags & 8) ? 4 : 0);
        if (p + 5 <= size && std::memcmp(frame + p, "LAME", 4) == 0 && frame[p + 4] >= '0' && frame[p + 4] <= '9') {
            std::string version;
            size_t q = p + 4;
            for (; q < size && ((frame[q] >= '0' && frame[q] <= '9') || frame[q] == '.'); ++q)
                version += static_cast<char>(frame[q]);
            if (q < size && !IsNameChar(frame[q])) {
                if (version.back() == '.')
                    version += "xx";
                VBRData.EncoderName = "LAME " + version;
                GuessEncoder = false;
                return;
            }
        }
    }
    // No Xing header: LAME leaves its version string in the ancillary data near the end of the stream.
    if (fileSize < kTailProbe)
        return;
    const int64_t saved = s.Position();
    std::vector<uint8_t> tail(static_cast<size_t>(kTailProbe));
    if (s.SetPosition(fileSize - kTailProbe) && s.Read(tail.data(), kTailProbe) == kTailProbe) {
        for (size_t i = 0; i + 4 < tail.size(); ++i) {
            if (std::memcmp(tail.data() + i, "LAME", 4) != 0 || tail[i + 4] < '0' || tail[i + 4] > '9')
                continue;
            std::string version;
            for (size_t j = i + 4; j < tail.size() && ((tail[j] >= '0' && tail[j] <= '9') || tail[j] == '.'); ++j)
                version += static_cast<char>(tail[j]);
            if (version.back() == '.')
                version += "xx";
            VBRData.EncoderName = "LAME " + version;
            GuessEncoder = false;
            break;
        }
    }
    s.SetPosition(saved);
}

void TMPEGProperties::GuessEncoderName(const uint8_t* frame, size_t size) {
    const TMPEGHeader& h = Header;
    std::string name = "FhG";
    if (h.Original && h.CRC)
        name = "LAME";
    if (Bitrate <= 160 && h.ChannelMode == 0)
        name = "Blade";
    if (h.Copyright && h.Original && !h.CRC)
        name = "Xing";
    if (h.ChannelMode == 2 && h.CRC)
        name = "Shine";
    const size_t at = static_cast<size_t>(XingOffset(h));
    if (at + 4 <= size && std::memcmp(frame + at, "GOGO", 4) == 0)
        name = "GoGo";
    VBRData.EncoderName = name;
}

bool TMPEGProperties::WalkIsDeclaredNeedless(const TMPEGHeader& second, int64_t fileSize) const {
    // A constant-rate walk stops at kConstantWalkFrames without reaching the end of the file and leaves
    // nothing behind: no frame count, no variable rate. An encoder's "Info" frame that declares at least
    // that many frames, with the second frame at the first one's rate and the file long enough to hold
    // them, tells the same outcome without reading some 40-100 KB of audio. Anything short of that walks.
    if (DeclaredConstantFrames + 1 < static_cast<uint32_t>(kConstantWalkFrames) || second.Bitrate != Header.Bitrate ||
        Header.FrameLength == 0)
        return false;
    const int64_t needed = static_cast<int64_t>(kConstantWalkFrames) * Header.FrameLength + 4;
    return fileSize - AudioStart >= needed;
}

void TMPEGProperties::WalkFrames(TStream& s, const TMPEGHeader& second, int64_t secondPosition) {
    TFrameWindow window(s);
    THeaderMemo headers;
    int64_t count = 2;
    int64_t sum = Header.Bitrate + second.Bitrate;
    bool variable = second.Bitrate != Header.Bitrate;
    bool reachedEnd = false;
    TMPEGHeader current = second;
    int64_t position = secondPosition;
    TMPEGHeader h;
    for (;;) {
        if (!variable && count >= kConstantWalkFrames)
            break;
        position += current.FrameLength;
        // A constant-rate walk needs its remaining frames (each perhaps padded); any other the whole file.
        const int64_t remaining = kConstantWalkFrames - count;
        const int64_t expected =
            variable ? std::numeric_limits<int64_t>::max() / 2 : remaining * (current.FrameLength + 1) + 4;
        const uint8_t* bytes = window.At(position, expected);
        if (!bytes) {
            reachedEnd = true;
            break;
        }
        // Lost sync: the next valid header further on, wherever it is.
        if (!headers.Decode(bytes, h) && !window.NextHeader(position, h)) {
            reachedEnd = true;
            break;
        }
        ++count;
        sum += h.Bitrate;
        if (h.Bitrate != Header.Bitrate)
            variable = true;
        current = h;
    }
    if (variable) {
        VBRData.Present = true;
        VBRData.Frames = static_cast<uint32_t>(count);
        Bitrate = static_cast<int16_t>(sum / count);
    } else if (reachedEnd) {
        CountedFrames = count;
        CountedFramesValid = true;
    }
}

double TMPEGProperties::Duration(int64_t fileSize, bool hasID3v1) const {
    if (!StreamFound || SampleRate == 0)
        return 0;
    const double samples = Header.SamplesPerFrame();
    if (VBRData.Present && VBRData.Frames > 0)
        return samples * VBRData.Frames / SampleRate;
    if (CountedFramesValid)
        return samples * static_cast<double>(CountedFrames) / SampleRate;
    if (Header.FrameLength == 0)
        return 0;
    const int64_t bytes = fileSize - AudioStart - (hasID3v1 ? 128 : 0);
    const int64_t frames = bytes > 0 ? bytes / Header.FrameLength : 0;
    return samples * static_cast<double>(frames) / SampleRate;
}

} // namespace mellodeck
