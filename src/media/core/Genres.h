#pragma once
// The genre vocabulary: ID3 genre names by number (0-125) and the MPEG-4 genre codes, plus the track
// number texts of the MPEG-4 tags.
#include <cstdint>
#include <string>

namespace mellodeck {

constexpr int kID3GenreCount = 126;
// Index 255 in an ID3v1 tag means no genre.
constexpr int kID3NoGenre = 255;

// The name of an ID3 genre number; empty for numbers outside 0-125.
std::string ID3GenreName(int index);
// The number of an ID3 genre name (letter case ignored); -1 when the name is not in the table.
int ID3GenreIndex(const std::wstring& name);

// The MPEG-4 genre code of a name (letter case ignored); 0 when none matches.
uint16_t AppleGenreCode(const std::wstring& name);

// Number as decimal text; style 1 pads to two digits, 2 appends "/Total", 3 pads and appends "/Total"
// with a one-digit Total padded too (3 of 7 gives "03/07").
std::string FormatTrackText(int total, int number, int style);
// Leading digits give Number (0 when none); "/" or "\" followed by more text gives Total from its digits
// (0 when none); otherwise Total is left unchanged.
void ParseTrackText(const std::string& text, int& number, int& total);

} // namespace mellodeck
