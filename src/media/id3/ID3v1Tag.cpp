#include "media/id3/ID3v1Tag.h"

#include <algorithm>
#include <cstring>

#include "media/core/MediaFormat.h"
#include "common/TextConvert.h"
#include "media/id3/FrameText.h"

namespace mellodeck {
namespace {

template <class S> S HeldPart(const S& value, size_t width) {
    S part = value.substr(0, width);
    const size_t first = part.find_first_not_of(' ');
    if (first == S::npos)
        return S();
    return part.substr(first, part.find_last_not_of(' ') - first + 1);
}

// A text field: it ends at its first zero byte (what follows is filler, or the ID3v1.1 track number),
// trailing characters up to code 32 are removed.
std::wstring FieldText(const uint8_t* p, size_t width) {
    size_t n = 0;
    while (n < width && p[n] != 0)
        ++n;
    std::wstring text = AnsiToWide(reinterpret_cast<const char*>(p), n);
    TrimTrailingControls(text);
    return text;
}

void PutField(uint8_t* p, const std::string& bytes, size_t width) {
    std::memcpy(p, bytes.data(), std::min(width, bytes.size()));
}

} // namespace

bool TID3v1Tag::Opening() const { return Format && (Format->Flags & mfOpening); }

void TID3v1Tag::SetText(std::wstring& field, const std::wstring& value, size_t width) {
    if (HeldPart(value, width) == HeldPart(field, width)) {
        if (Opening())
            field = value;
        return;
    }
    field = value;
    if (!Opening())
        Modified = true;
}

void TID3v1Tag::SetTitle(const std::wstring& value) { SetText(FTitle, value, 30); }
void TID3v1Tag::SetArtist(const std::wstring& value) { SetText(FArtist, value, 30); }
void TID3v1Tag::SetAlbum(const std::wstring& value) { SetText(FAlbum, value, 30); }
void TID3v1Tag::SetComment(const std::wstring& value) { SetText(FComment, value, 30); }

void TID3v1Tag::SetYear(const std::string& value) {
    if (HeldPart(value, 4) == HeldPart(FYear, 4)) {
        if (Opening())
            FYear = value;
        return;
    }
    FYear = value;
    if (!Opening())
        Modified = true;
}

void TID3v1Tag::SetGenre(uint8_t value) {
    if (value == FGenre)
        return;
    FGenre = value;
    if (!Opening())
        Modified = true;
}

void TID3v1Tag::SetTrack(uint8_t value) {
    if (value == FTrack)
        return;
    FTrack = value;
    if (!Opening())
        Modified = true;
}

void TID3v1Tag::Clear() {
    FTitle.clear();
    FArtist.clear();
    FAlbum.clear();
    FYear.clear();
    FComment.clear();
    FGenre = 255;
    FTrack = 0;
    Modified = false;
}

void TID3v1Tag::LoadFromBlock(const uint8_t* block) {
    SetTitle(FieldText(block + 3, 30));
    SetArtist(FieldText(block + 33, 30));
    SetAlbum(FieldText(block + 63, 30));
    SetYear(WideToAnsi(FieldText(block + 93, 4)));
    SetComment(FieldText(block + 97, 30));
    const uint8_t b125 = block[125], b126 = block[126];
    const bool hasTrack = (b125 == 0 && b126 != 0) || (b125 == ' ' && b126 != ' ');
    SetTrack(hasTrack ? b126 : 0);
    SetGenre(block[127]);
}

void TID3v1Tag::SaveToBlock(uint8_t* block) {
    std::memset(block, 0, kID3v1Size);
    std::memcpy(block, "TAG", 3);
    PutField(block + 3, WideToAnsi(FTitle), 30);
    PutField(block + 33, WideToAnsi(FArtist), 30);
    PutField(block + 63, WideToAnsi(FAlbum), 30);
    PutField(block + 93, FYear, 4);
    PutField(block + 97, WideToAnsi(FComment), 30);
    if (FTrack != 0) {
        block[125] = 0;
        block[126] = FTrack;
    }
    block[127] = FGenre;
    Modified = false;
}

} // namespace mellodeck
