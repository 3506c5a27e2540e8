#include "media/core/Genres.h"

#include <cwctype>

#include "common/TextConvert.h"

namespace mellodeck {
namespace {

// Spellings as stored in files in the wild, misspellings included.
const char* const kID3Genres[kID3GenreCount] = {
    "Blues",
    "Classic Rock",
    "Country",
    "Dance",
    "Disco",
    "Funk",
    "Grunge",
    "Hip-Hop",
    "Jazz",
    "Metal",
    "New Age",
    "Oldies",
    "Other",
    "Pop",
    "R&B",
    "Rap",
    "Reggae",
    "Rock",
    "Techno",
    "Industrial",
    "Alternative",
    "Ska",
    "Death Metal",
    "Pranks",
    "Soundtrack",
    "Euro-Techno",
    "Ambient",
    "Trip-Hop",
    "Vocal",
    "Jazz+Funk",
    "Fusion",
    "Trance",
    "Classical",
    "Instrumental",
    "Acid",
    "House",
    "Game",
    "Sound Clip",
    "Gospel",
    "Noise",
    "AlternRock",
    "Bass",
    "Soul",
    "Punk",
    "Space",
    "Meditative",
    "Instrumental Pop",
    "Instrumental Rock",
    "Ethnic",
    "Gothic",
    "Darkwave",
    "Techno-Industrial",
    "Electronic",
    "Pop-Folk",
    "Eurodance",
    "Dream",
    "Southern Rock",
    "Comedy",
    "Cult",
    "Gangsta",
    "Top 40",
    "Christian Rap",
    "Pop/Funk",
    "Jungle",
    "Native American",
    "Cabaret",
    "New Wave",
    "Psychedelic",
    "Rave",
    "Showtunes",
    "Trailer",
    "Lo-Fi",
    "Tribal",
    "Acid Punk",
    "Acid Jazz",
    "Polka",
    "Retro",
    "Musical",
    "Rock & Roll",
    "Hard Rock",
    "Folk",
    "Folk-Rock",
    "National Folk",
    "Swing",
    "Fast Fusion",
    "Bebob",
    "Latin",
    "Revival",
    "Celtic",
    "Bluegrass",
    "Avantgarde",
    "Gothic Rock",
    "Progessive Rock",
    "Psychedelic Rock",
    "Symphonic Rock",
    "Slow Rock",
    "Big Band",
    "Chorus",
    "Easy Listening",
    "Acoustic",
    "Humour",
    "Speech",
    "Chanson",
    "Opera",
    "Chamber Music",
    "Sonata",
    "Symphony",
    "Booty Bass",
    "Primus",
    "Porn Groove",
    "Satire",
    "Slow Jam",
    "Club",
    "Tango",
    "Samba",
    "Folklore",
    "Ballad",
    "Power Ballad",
    "Rhythmic Soul",
    "Freestyle",
    "Duet",
    "Punk Rock",
    "Drum Solo",
    "A capella",
    "Euro-House",
    "Dance Hall"};

struct AppleGenre {
    uint16_t Code;
    const wchar_t* Name;
};
const AppleGenre kAppleGenres[] = {
    {21, L"Alternative"}, {33, L"Classical"}, {3, L"Country"},     {4, L"Dance"},   {100, L"Easy Listening"},
    {53, L"Electronic"},  {81, L"Folk"},      {36, L"House"},      {20, L"Industrial"}, {9, L"Jazz"},
    {11, L"New Age"},     {14, L"Pop"},       {18, L"Rock"},       {25, L"Soundtrack"}, {19, L"Techno"},
    {32, L"Trance"},
};

bool SameTextIgnoringCase(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::towupper(a[i]) != std::towupper(b[i]))
            return false;
    return true;
}

} // namespace

std::string ID3GenreName(int index) {
    if (index < 0 || index >= kID3GenreCount)
        return std::string();
    return kID3Genres[index];
}

int ID3GenreIndex(const std::wstring& name) {
    for (int i = 0; i < kID3GenreCount; ++i)
        if (SameTextIgnoringCase(AnsiToWide(kID3Genres[i]), name))
            return i;
    return -1;
}

uint16_t AppleGenreCode(const std::wstring& name) {
    for (const AppleGenre& g : kAppleGenres)
        if (SameTextIgnoringCase(g.Name, name))
            return g.Code;
    return 0;
}

std::string FormatTrackText(int total, int number, int style) {
    auto pad2 = [](int v) {
        std::string s = std::to_string(v);
        return s.size() < 2 ? "0" + s : s;
    };
    switch (style) {
    case 1: return pad2(number);
    case 2: return std::to_string(number) + "/" + std::to_string(total);
    case 3: return pad2(number) + "/" + pad2(total);
    default: return std::to_string(number);
    }
}

void ParseTrackText(const std::string& text, int& number, int& total) {
    size_t i = 0;
    long long value = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        if (value < 100000000)
            value = value * 10 + (text[i] - '0');
        ++i;
    }
    number = static_cast<int>(value);
    if (i < text.size() && (text[i] == '/' || text[i] == '\\') && i + 1 < text.size()) {
        ++i;
        value = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            if (value < 100000000)
                value = value * 10 + (text[i] - '0');
            ++i;
        }
        total = static_cast<int>(value);
    }
}

} // namespace mellodeck
