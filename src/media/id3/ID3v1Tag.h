#pragma once
// The ID3v1 tag: 128 bytes at the end of an MP3 file ("TAG", 30-byte title, artist, album, 4-byte year,
// 30-byte comment, genre byte; ID3v1.1 keeps a track number in the last two comment bytes). Texts are in
// the system's 8-bit code page.
#include <cstdint>
#include <string>

namespace mellodeck {

class TBaseMediaFormat;

constexpr size_t kID3v1Size = 128;

class TID3v1Tag {
public:
    explicit TID3v1Tag(TBaseMediaFormat* format = nullptr) : Format(format) {}

    const std::wstring& Title() const { return FTitle; }
    const std::wstring& Artist() const { return FArtist; }
    const std::wstring& Album() const { return FAlbum; }
    const std::string& Year() const { return FYear; }
    const std::wstring& Comment() const { return FComment; }
    uint8_t Genre() const { return FGenre; }
    uint8_t Track() const { return FTrack; }

    // The text setters compare what the tag can hold (the first 30 characters, or 4 for the year,
    // trimmed of spaces) with the stored value; when that differs the whole new value is stored and the
    // tag is modified. While the owning format is opening, values are stored without marking it.
    void SetTitle(const std::wstring& value);
    void SetArtist(const std::wstring& value);
    void SetAlbum(const std::wstring& value);
    void SetYear(const std::string& value);
    void SetComment(const std::wstring& value);
    void SetGenre(uint8_t value);
    void SetTrack(uint8_t value);

    // Empties every field (genre 255 = none, track 0 = none) and clears Modified.
    void Clear();
    // Parses a 128-byte block that begins with "TAG".
    void LoadFromBlock(const uint8_t* block);
    // Builds the 128-byte block and clears Modified.
    void SaveToBlock(uint8_t* block);

    bool Modified = false;
    TBaseMediaFormat* Format = nullptr;

private:
    bool Opening() const;
    void SetText(std::wstring& field, const std::wstring& value, size_t width);

    std::wstring FTitle;
    std::wstring FArtist;
    std::wstring FAlbum;
    std::string FYear;
    std::wstring FComment;
    uint8_t FGenre = 255;
    uint8_t FTrack = 0;
};

} // namespace mellodeck
