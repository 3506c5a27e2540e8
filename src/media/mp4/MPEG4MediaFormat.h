#pragma once
// MPEG-4 audio files (.m4a, .m4p): the atom walk that finds the movie header, the audio track, the chunk
// offset tables and the item list, and the save that rewrites the "meta" atom in place or rebuilds the file
// through a temporary sibling file, moving every chunk offset of every track with the audio it points at.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "media/core/MediaFormat.h"
#include "media/mp4/MPEG4PictureTag.h"
#include "media/mp4/MPEG4Tags.h"
#include "media/mp4/QTAtom.h"

namespace mellodeck {

// Writer settings, set at library start: the size of the "free" atom a rebuilt file gets after its item
// list, and the largest slack an in-place save may leave behind (as a "free" atom) before the file is
// rebuilt instead.
extern int32_t MPEG4FreeAtomSize;
extern int32_t MPEG4MaxInPlaceGap;

// Result codes (media/core/MediaErrors.h): kErrorSaveException for a save that raised an exception while
// writing in place, kErrorLayoutNotWritable for a layout the writer cannot rebuild safely (the reason is in
// SaveRefusal and the message log; the file is left untouched), kErrorInvalidData for atoms that cannot be
// walked.

// Bounds of the walk: a file with more atoms or deeper nesting is not read.
constexpr int kMPEG4MaxAtoms = 100000;
constexpr int kMPEG4MaxDepth = 12;

// A chunk offset table ("stco" with 32-bit entries, "co64" with 64-bit ones) of one track.
struct TMPEG4ChunkOffsetTable {
    TQTAtom* Atom = nullptr;
    bool Wide = false;
    uint32_t Count = 0;
};

class TMPEG4MediaFormat : public TBaseMediaFormat {
public:
    TMPEG4MediaFormat();
    ~TMPEG4MediaFormat() override;
    const char* ClassName() const override { return "TMPEG4MediaFormat"; }

    bool ReadInfo() override;
    bool SaveTags(uint32_t context) override;
    double GetDuration() const override;
    int32_t GetBitrate() const override;
    int32_t GetSampleRate() const override;
    bool GetIsVBR() const override { return false; }
    bool IsTagEmpty() const override;
    void Reset() override;

    TMPEG4KnownTags* KnownTags() const { return static_cast<TMPEG4KnownTags*>(Tags.get()); }
    TBaseTag* FindItemTag(uint32_t itemType) const { return KnownTags()->FindItemTag(itemType); }

    // The walked tree: the top-level atoms are the children of RootAtom.
    std::unique_ptr<TQTAtom> RootAtom;
    // The first "moov" at the top level, its "udta", that one's "meta" and that one's "ilst"; the last
    // top-level "mdat"; the last chunk offset table. nullptr until met.
    TQTAtom* MoovAtom = nullptr;
    TQTAtom* UdtaAtom = nullptr;
    TQTAtom* MetaAtom = nullptr;
    TQTAtom* IlstAtom = nullptr;
    TQTAtom* MdatAtom = nullptr;
    TQTAtom* StcoAtom = nullptr;
    // The 4 version and flag bytes after the "meta" header, when "meta" has them (the ISO form; the
    // older QuickTime form is a plain container).
    uint8_t MetaFlags[4] = {0, 0, 0, 0};
    bool MetaHasFlags = true;
    // The start of the "mvhd" atom, header included (up to the duration of either version).
    std::vector<uint8_t> MovieHeader;
    // First 16 bytes of the last chunk offset table: header, version and flags, entry count.
    uint8_t ChunkOffsetHead[16] = {};
    // Every chunk offset table of every track, in file order.
    std::vector<TMPEG4ChunkOffsetTable> ChunkOffsetTables;

    // From the movie header (either version): units per second and length in those units.
    uint32_t MovieTimeScale = 0;
    uint64_t MovieDuration = 0;
    // From the first sound track: the media header's time scale and duration, and the sample entry's
    // rate and channel count (0 when absent).
    uint32_t AudioTimeScale = 0;
    uint64_t AudioDuration = 0;
    uint32_t AudioSampleRate = 0;
    // Bytes of all top-level "mdat" atoms.
    int64_t MediaDataSize = 0;

    // Why the file cannot be saved (empty when it can): RebuildRefusal blocks only a save that rebuilds
    // the file, SaveRefusal blocks every save.
    std::wstring SaveRefusal;
    std::wstring RebuildRefusal;

private:
    struct TWalk;
    bool WalkChildren(TWalk& walk, TQTAtom* parent, int64_t start, int64_t end, int depth);
    bool VisitAtom(TWalk& walk, TQTAtom* node, int depth);
    void ReadItem(TQTAtom* node);
    void ForgetAtoms();

    bool SaveInPlace(const std::vector<uint8_t>& newMeta);
    bool SaveRebuilt(const std::vector<uint8_t>& newAtom, TQTAtom* container);
    void Refuse(const std::wstring& reason);
};

} // namespace mellodeck
