#include "media/mp4/MPEG4MediaFormat.h"

#include <algorithm>
#include <cmath>

#include "media/core/ByteReader.h"
#include "media/mp4/AtomTypes.h"
#include "report/ErrorHandler.h"

namespace mellodeck {

int32_t MPEG4FreeAtomSize = 2048;
int32_t MPEG4MaxInPlaceGap = 32768;

namespace {

// Items are read whole into memory; a larger one (no real tag is) is skipped and blocks saving.
constexpr int64_t kMaxItemSize = 256LL * 1024 * 1024;
// Body bytes of "mvhd" kept in MovieHeader: all of them in either version.
constexpr int64_t kMovieHeaderKeep = 112;

} // namespace

// State of one walk over the file.
struct TMPEG4MediaFormat::TWalk {
    int Atoms = 0;
    // Set when a bound was exceeded or the file could not be read: nothing after it is trusted.
    bool Fatal = false;
    // The track being walked.
    uint32_t Handler = 0;
    uint32_t TimeScale = 0;
    uint64_t Duration = 0;
    uint32_t SampleRate = 0;
    int32_t Channels = 0;
    bool SoundTaken = false;
};

TMPEG4MediaFormat::TMPEG4MediaFormat() : RootAtom(std::make_unique<TQTAtom>()) {
    SetTags(std::make_unique<TMPEG4KnownTags>(this));
}

TMPEG4MediaFormat::~TMPEG4MediaFormat() = default;

void TMPEG4MediaFormat::Reset() {
    TBaseMediaFormat::Reset();
    ForgetAtoms();
}

void TMPEG4MediaFormat::ForgetAtoms() {
    RootAtom->ClearChildren();
    MoovAtom = UdtaAtom = MetaAtom = IlstAtom = MdatAtom = StcoAtom = nullptr;
    std::fill(std::begin(MetaFlags), std::end(MetaFlags), 0);
    MetaHasFlags = true;
    MovieHeader.clear();
    std::fill(std::begin(ChunkOffsetHead), std::end(ChunkOffsetHead), 0);
    ChunkOffsetTables.clear();
    MovieTimeScale = 0;
    MovieDuration = 0;
    AudioTimeScale = 0;
    AudioDuration = 0;
    AudioSampleRate = 0;
    MediaDataSize = 0;
    SaveRefusal.clear();
    RebuildRefusal.clear();
    EncoderName.clear();
    Duration = 0;
    Bitrate = 0;
    SampleRate = 0;
}

namespace {

bool ReadAt(TStream& stream, int64_t position, void* buffer, int64_t count) {
    return stream.SetPosition(position) && stream.Read(buffer, count) == count;
}

// Reads up to `keep` bytes of an atom's body; false when the file ends early.
bool ReadBody(TStream& stream, const TQTAtom& atom, int64_t keep, std::vector<uint8_t>& body) {
    const int64_t length = std::min(atom.Size - atom.HeaderSize, keep);
    body.resize(static_cast<size_t>(length));
    return length == 0 || ReadAt(stream, atom.DataOffset(), body.data(), length);
}

// Time scale and duration of a movie or media header body (version, flags, then the times).
bool ReadTimes(const std::vector<uint8_t>& body, uint32_t& timeScale, uint64_t& duration) {
    ByteReader r(body.data(), body.size());
    uint8_t version;
    uint32_t scale;
    if (!r.ReadU8(version) || !r.Skip(3))
        return false;
    if (version == 1) {
        // creation and modification times (64-bit each), time scale, duration (64-bit)
        uint64_t length;
        if (!r.Skip(16) || !r.ReadBE32(scale) || !r.ReadBE64(length))
            return false;
        timeScale = scale;
        duration = length;
        return true;
    }
    // the same with 32-bit times; an all-ones duration means unknown
    uint32_t length;
    if (!r.Skip(8) || !r.ReadBE32(scale) || !r.ReadBE32(length))
        return false;
    timeScale = scale;
    duration = length == 0xFFFFFFFFu ? UINT64_MAX : length;
    return true;
}

} // namespace

bool TMPEG4MediaFormat::ReadInfo() {
    ForgetAtoms();
    TWalk walk;
    const int64_t fileSize = Stream->Size();
    const bool walked = WalkChildren(walk, RootAtom.get(), 0, fileSize, 0) && !walk.Fatal;
    if (!walked || !MoovAtom || !MdatAtom) {
        LastError = kErrorInvalidData;
        return false;
    }
    SampleRate = GetSampleRate();
    Duration = static_cast<int64_t>(GetDuration());
    Bitrate = GetBitrate();
    return true;
}

bool TMPEG4MediaFormat::WalkChildren(TWalk& walk, TQTAtom* parent, int64_t start, int64_t end, int depth) {
    if (depth > kMPEG4MaxDepth) {
        walk.Fatal = true;
        return false;
    }
    int64_t position = start;
    // Fewer than 8 bytes left over is no atom (QuickTime ends some lists with a 32-bit zero).
    while (end - position >= 8) {
        uint8_t head[16];
        if (!ReadAt(*Stream, position, head, 8)) {
            walk.Fatal = true;
            return false;
        }
        const uint32_t size32 = GetBE32(head);
        const uint32_t type = GetBE32(head + 4);
        const int64_t room = end - position;
        int64_t size;
        uint8_t headerSize = 8;
        bool toEnd = false;
        if (size32 == 1) {
            if (room < 16 || !ReadAt(*Stream, position + 8, head + 8, 8))
                return false;
            const uint64_t size64 = GetBE64(head + 8);
            if (size64 < 16 || size64 > static_cast<uint64_t>(room))
                return false;
            size = static_cast<int64_t>(size64);
            headerSize = 16;
        } else if (size32 == 0) {
            size = room;
            toEnd = true;
        } else {
            if (size32 < 8 || size32 > room)
                return false;
            size = size32;
        }
        if (++walk.Atoms > kMPEG4MaxAtoms) {
            walk.Fatal = true;
            return false;
        }
        TQTAtom* node = parent->AddChild(std::make_unique<TQTAtom>(position, size, type, headerSize, toEnd));
        if (!VisitAtom(walk, node, depth))
            return false;
        position += size;
    }
    return true;
}

bool TMPEG4MediaFormat::VisitAtom(TWalk& walk, TQTAtom* node, int depth) {
    const uint32_t type = node->AtomType;
    TQTAtom* parent = node->Parent;
    auto descend = [&](int64_t start) { return WalkChildren(walk, node, start, node->End(), depth + 1); };

    if (parent == RootAtom.get()) {
        if (type == atom::kMoov) {
            if (MoovAtom) {
                SaveRefusal = L"the file has more than one movie atom";
                return true;
            }
            MoovAtom = node;
            return descend(node->DataOffset());
        }
        if (type == atom::kMdat) {
            MdatAtom = node;
            MediaDataSize += node->Size;
        } else if (type == atom::kMoof || type == atom::kMfra) {
            RebuildRefusal = L"the file is fragmented";
        }
        return true;
    }

    if (parent == MoovAtom) {
        switch (type) {
        case atom::kMvhd: {
            if (!MovieHeader.empty())
                return true;
            std::vector<uint8_t> body;
            if (!ReadBody(*Stream, *node, kMovieHeaderKeep, body) || !ReadTimes(body, MovieTimeScale, MovieDuration))
                return false; // a movie header too short for its own fields
            MovieHeader.resize(node->HeaderSize);
            if (!ReadAt(*Stream, node->Offset, MovieHeader.data(), node->HeaderSize))
                return false;
            MovieHeader.insert(MovieHeader.end(), body.begin(), body.end());
            return true;
        }
        case atom::kTrak: {
            walk.Handler = 0;
            walk.TimeScale = 0;
            walk.Duration = 0;
            walk.SampleRate = 0;
            walk.Channels = 0;
            if (!descend(node->DataOffset()))
                return false;
            if (walk.Handler == atom::kSoun && !walk.SoundTaken) {
                walk.SoundTaken = true;
                AudioTimeScale = walk.TimeScale;
                AudioDuration = walk.Duration;
                AudioSampleRate = walk.SampleRate;
                Channels = walk.Channels;
            }
            return true;
        }
        case atom::kUdta:
            if (UdtaAtom)
                return true;
            UdtaAtom = node;
            if (!descend(node->DataOffset()) && !walk.Fatal) {
                // Items already read stay; a save would have to copy what it cannot follow.
                SaveRefusal = L"the user data atom is damaged";
                LogError(FormatText(L"MPEG-4: damaged user data atom, File: \"%s\"", FileName));
            }
            return !walk.Fatal;
        case atom::kMvex:
            RebuildRefusal = L"the file is fragmented";
            return true;
        default:
            return true;
        }
    }

    const uint32_t parentType = parent->AtomType;
    if (parentType == atom::kTrak && parent->Parent == MoovAtom)
        return type == atom::kMdia ? descend(node->DataOffset()) : true;
    if (parentType == atom::kMdia && parent->Parent && parent->Parent->Parent == MoovAtom) {
        if (type == atom::kMinf)
            return descend(node->DataOffset());
        std::vector<uint8_t> body;
        if (type == atom::kMdhd) {
            if (ReadBody(*Stream, *node, 32, body))
                ReadTimes(body, walk.TimeScale, walk.Duration);
        } else if (type == atom::kHdlr) {
            if (ReadBody(*Stream, *node, 12, body) && body.size() >= 12)
                walk.Handler = GetBE32(body.data() + 8);
        }
        return true;
    }
    if (parentType == atom::kMinf)
        return type == atom::kStbl ? descend(node->DataOffset()) : true;
    if (parentType == atom::kStbl) {
        std::vector<uint8_t> body;
        if (type == atom::kStsd) {
            // One sample entry: size, format, 6 reserved, data reference (16 bytes), then for sound a
            // version (2), revision (2), vendor (4), channels (2), sample size (2), 4 more bytes and the
            // rate as 16.16 fixed point. The version-2 QuickTime form keeps its rate elsewhere.
            if (ReadBody(*Stream, *node, 44, body) && body.size() >= 44 && GetBE16(body.data() + 24) != 2) {
                walk.Channels = GetBE16(body.data() + 32);
                walk.SampleRate = GetBE32(body.data() + 40) >> 16;
            }
        } else if (type == atom::kStco || type == atom::kCo64) {
            const bool wide = type == atom::kCo64;
            if (!ReadBody(*Stream, *node, 8, body) || body.size() < 8) {
                RebuildRefusal = L"a chunk offset table is too short";
                return true;
            }
            const uint32_t count = GetBE32(body.data() + 4);
            const uint64_t room = static_cast<uint64_t>(node->Size - node->HeaderSize - 8);
            if (static_cast<uint64_t>(count) * (wide ? 8 : 4) > room) {
                RebuildRefusal = L"a chunk offset table counts more entries than it holds";
                return true;
            }
            ChunkOffsetTables.push_back({node, wide, count});
            StcoAtom = node;
            ReadAt(*Stream, node->Offset, ChunkOffsetHead, std::min<int64_t>(16, node->Size));
        } else if (type == atom::kSaio) {
            RebuildRefusal = L"a track has sample auxiliary information at file offsets";
        }
        return true;
    }

    if (parent == UdtaAtom && type == atom::kMeta) {
        if (MetaAtom)
            return true;
        MetaAtom = node;
        // The ISO form starts with version and flags; the QuickTime form goes straight to the handler.
        uint8_t head[8];
        const int64_t body = node->Size - node->HeaderSize;
        if (body < 4 || !ReadAt(*Stream, node->DataOffset(), head, std::min<int64_t>(8, body))) {
            SaveRefusal = L"the metadata atom is damaged";
            return true;
        }
        MetaHasFlags = !(body >= 8 && GetBE32(head + 4) == atom::kHdlr);
        if (MetaHasFlags)
            std::copy(head, head + 4, MetaFlags);
        if (!descend(node->DataOffset() + (MetaHasFlags ? 4 : 0)) && !walk.Fatal) {
            SaveRefusal = L"the metadata atom is damaged";
            LogError(FormatText(L"MPEG-4: damaged metadata atom, File: \"%s\"", FileName));
        }
        return !walk.Fatal;
    }
    if (parent == MetaAtom && type == atom::kIlst) {
        if (IlstAtom) {
            // Only the first list is read; a save would write one list and leave the other, and which
            // one a reader takes then is anybody's guess. Such a file is read but not rewritten.
            SaveRefusal = L"the metadata atom holds more than one item list";
            return true;
        }
        IlstAtom = node;
        // An item that lies about its size ends the list; the items before it stay, and a save writes
        // the list anew from what was read.
        if (!descend(node->DataOffset()) && !walk.Fatal)
            LogError(FormatText(L"MPEG-4: damaged item list, File: \"%s\"", FileName));
        return !walk.Fatal;
    }
    if (parent == IlstAtom) {
        ReadItem(node);
        return !walk.Fatal;
    }
    return true;
}

void TMPEG4MediaFormat::ReadItem(TQTAtom* node) {
    if (node->Size > kMaxItemSize) {
        SaveRefusal = L"an item is too large to keep";
        return;
    }
    const uint32_t type = node->AtomType;
    TBaseTag* tag = FindItemTag(type);
    // An item of an ignored slot (the cover, while pictures are ignored) is carried only for a save, which
    // a read-only open never makes: it is not even read, where it would be copied twice for nothing.
    if (!tag && !ForWriting && KnownTags()->IgnoresItem(type))
        return;
    std::vector<uint8_t> bytes(static_cast<size_t>(node->Size));
    if (!ReadAt(*Stream, node->Offset, bytes.data(), node->Size)) {
        SaveRefusal = L"an item could not be read";
        return;
    }
    // An item of size 0 runs to the end of the list; kept that way it would swallow the items written
    // after it, so it is kept with its actual size.
    if (node->SizeToEnd)
        PutBE32(bytes.data(), static_cast<uint32_t>(node->Size));
    if (tag) {
        tag->LoadFromBuffer(bytes.data(), bytes.size());
        tag->Exists = true;
        return;
    }
    if (type == atom::kFree)
        return;
    if (!PushBlock(bytes.data(), bytes.size())) {
        LogError(L"PushMemStream Failed");
        SaveRefusal = L"an item is too large to keep";
    }
    if (type == item::kEncoderTool) {
        TMPEG4DataAtom data;
        if (FirstDataAtom(bytes.data(), bytes.size(), data))
            EncoderName = Utf8ToWide(reinterpret_cast<const char*>(data.Payload), data.Length);
    }
}

// ---- audio properties ---------------------------------------------------------------------------------

double TMPEG4MediaFormat::GetDuration() const {
    // The movie header's length; when it gives none (0, or all ones for "unknown"), the sound track's.
    uint64_t units;
    uint32_t scale;
    if (!MovieHeader.empty() && MovieDuration != 0 && MovieDuration != UINT64_MAX) {
        units = MovieDuration;
        scale = MovieTimeScale;
    } else if (AudioTimeScale > 0 && AudioDuration != 0 && AudioDuration != UINT64_MAX) {
        units = AudioDuration;
        scale = AudioTimeScale;
    } else {
        return 0;
    }
    return scale == 0 ? static_cast<double>(units) : static_cast<double>(units) / scale;
}

int32_t TMPEG4MediaFormat::GetBitrate() const {
    const double seconds = GetDuration();
    if (!MdatAtom || seconds <= 0)
        return 0;
    const double kbits = static_cast<double>(MediaDataSize) / seconds / 1000.0 * 8.0;
    return kbits >= INT32_MAX ? INT32_MAX : static_cast<int32_t>(std::trunc(kbits));
}

int32_t TMPEG4MediaFormat::GetSampleRate() const {
    // The movie's time scale counts ticks, not samples; the sound track says what the audio is.
    if (AudioSampleRate > 0)
        return static_cast<int32_t>(AudioSampleRate);
    if (AudioTimeScale > 0 && AudioTimeScale <= INT32_MAX)
        return static_cast<int32_t>(AudioTimeScale);
    return MovieTimeScale <= INT32_MAX ? static_cast<int32_t>(MovieTimeScale) : 0;
}

bool TMPEG4MediaFormat::IsTagEmpty() const {
    if (Tags->Pictures && Tags->Pictures->Count() > 0)
        return false;
    for (const auto& slot : TCommonMediaTags::StringSlots()) {
        const TBaseStringTag* tag = Tags.get()->*slot.Member;
        if (!tag || !tag->Supported)
            continue;
        const size_t first = tag->Value.find_first_not_of(L" \t\r\n");
        if (first != std::wstring::npos)
            return false;
    }
    return true;
}

} // namespace mellodeck
