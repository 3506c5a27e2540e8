#pragma once
// The contract between the player manager and the helper plug-in that runs inside the player: the names of
// the two events and the shared block, the block's layout, and the two private messages the helper answers
// on the player's main window. Both sides include this header; it uses fixed-width types only.
//
// Lengths in the block are 16-bit unsigned little-endian; texts are 8-bit characters in the system code
// page and carry no terminator. The file name and the manager's two texts have their length before the
// text, the three tag fields after it.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "common/ByteOrder.h"

namespace mellodeck::helper {

// Global object names (no namespace prefix), fixed for good: changing one breaks every installed helper.
inline constexpr wchar_t kFileEventName[] = L"{08987937-DD04-4DBB-86EC-60962B2B6C64}";
inline constexpr wchar_t kTagsEventName[] = L"{C1D594EE-8527-4759-A927-14BBE2A0EF0B}";
inline constexpr wchar_t kBlockName[] = L"{FA0C8463-3AF3-458B-964A-AD14BD54E489}";

// Sent to the player's main window (wParam = lParam = 0).
inline constexpr uint32_t WM_HELPER_STRINGS = 1575; // TextA and TextB were written
inline constexpr uint32_t WM_HELPER_VERSION = 1577; // answer: the helper's version, 0 for one too old to say

// The version this helper answers to WM_HELPER_VERSION.
inline constexpr int32_t kHelperVersion = 210;
// Block version written by this helper: 2 and above fill the three tag fields.
inline constexpr uint8_t kBlockVersion = 2;
inline constexpr uint8_t kFirstTaggedBlockVersion = 2;

inline constexpr size_t kFileNameSize = 1024;
inline constexpr size_t kTextSize = 1024;
inline constexpr size_t kTagSize = 64;

struct THelperBlock {
    uint8_t Version;
    uint8_t FileNameLength[2];
    uint8_t FileName[kFileNameSize];
    uint8_t TextALength[2];
    uint8_t TextA[kTextSize];
    uint8_t TextBLength[2];
    uint8_t TextB[kTextSize];
    uint8_t ArtistText[kTagSize];
    uint8_t ArtistLength[2];
    uint8_t AlbumText[kTagSize];
    uint8_t AlbumLength[2];
    uint8_t TitleText[kTagSize];
    uint8_t TitleLength[2];
};

inline constexpr size_t kBlockSize = 3277;
static_assert(sizeof(THelperBlock) == kBlockSize, "block size");
static_assert(alignof(THelperBlock) == 1, "the block has no padding");
static_assert(offsetof(THelperBlock, Version) == 0);
static_assert(offsetof(THelperBlock, FileNameLength) == 1);
static_assert(offsetof(THelperBlock, FileName) == 3);
static_assert(offsetof(THelperBlock, TextALength) == 1027);
static_assert(offsetof(THelperBlock, TextA) == 1029);
static_assert(offsetof(THelperBlock, TextBLength) == 2053);
static_assert(offsetof(THelperBlock, TextB) == 2055);
static_assert(offsetof(THelperBlock, ArtistText) == 3079);
static_assert(offsetof(THelperBlock, ArtistLength) == 3143);
static_assert(offsetof(THelperBlock, AlbumText) == 3145);
static_assert(offsetof(THelperBlock, AlbumLength) == 3209);
static_assert(offsetof(THelperBlock, TitleText) == 3211);
static_assert(offsetof(THelperBlock, TitleLength) == 3275);

// The block lives in memory shared with another process that may write at any moment: every access goes
// through these functions, which touch nothing outside the named field.
inline uint16_t GetLength(const uint8_t (&field)[2]) {
    return GetLE16(field);
}
inline void SetLength(uint8_t (&field)[2], uint16_t value) {
    PutLE16(field, value);
}

// Text of a field of `Size` bytes with the given length. A length beyond the field comes only from a faulty
// writer; `clampOversized` says whether such a text is cut at the field's end or read as empty.
template <size_t Size>
std::string ReadField(const uint8_t (&text)[Size], uint16_t length, bool clampOversized) {
    size_t n = length;
    if (n > Size)
        n = clampOversized ? Size : 0;
    return std::string(reinterpret_cast<const char*>(text), n);
}

// Stores up to the field's size of `value` and its length; returns the bytes stored.
template <size_t Size>
size_t WriteField(uint8_t (&text)[Size], uint8_t (&length)[2], const std::string& value) {
    const size_t n = value.size() < Size ? value.size() : Size;
    if (n)
        std::memcpy(text, value.data(), n);
    SetLength(length, static_cast<uint16_t>(n));
    return n;
}

// The current file's path as the helper wrote it (8-bit). A length beyond the field is a faulty helper's:
// a cut path would name another file, so it reads as no file.
inline std::string ReadFileName(const THelperBlock& block) {
    return ReadField(block.FileName, GetLength(block.FileNameLength), false);
}

struct TBlockTags {
    std::string Artist, Album, Title;
};

// The three tag texts (8-bit), when the block's version says they are filled; an oversized length keeps the
// field's 64 bytes (a cut tag text still reads well).
inline bool ReadTags(const THelperBlock& block, TBlockTags& tags) {
    if (block.Version < kFirstTaggedBlockVersion)
        return false;
    tags.Artist = ReadField(block.ArtistText, GetLength(block.ArtistLength), true);
    tags.Album = ReadField(block.AlbumText, GetLength(block.AlbumLength), true);
    tags.Title = ReadField(block.TitleText, GetLength(block.TitleLength), true);
    return true;
}

} // namespace mellodeck::helper
