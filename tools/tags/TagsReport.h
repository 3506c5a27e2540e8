#pragma once
// What mellodeck-tags prints for one file: read through the media manager like any caller of the tag
// library does, then written as one line of JSON or as a few readable lines. Texts are UTF-8.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace mellodeck::tags {

struct TPictureReport {
    std::string Mime;
    int Type = 0;
    std::string Description;
    uint64_t Bytes = 0; // raw picture bytes
    bool Decoded = false;
    int Width = 0;  // of the decoded bitmap; 0 when not decoded
    int Height = 0;
};

struct TID3v1Report {
    std::string Title, Artist, Album, Year, Comment;
    int Track = 0;
    int Genre = 255;
};

struct TFileReport {
    std::string Path;
    bool Ok = false;
    uint32_t Error = 0;
    std::string Format; // class name; empty when the extension is not supported
    std::string Message; // why a file could not be read (not part of the JSON)
    std::vector<std::pair<std::string, std::string>> Tags; // every string slot, in slot order
    std::vector<TPictureReport> Pictures;
    double Duration = 0; // seconds
    int Bitrate = 0;     // kbit/s
    int SampleRate = 0;  // Hz
    int Channels = 0;
    bool Vbr = false;
    std::string Encoder;
    // MP3 only.
    bool HasID3 = false;
    TID3v1Report ID3v1;
    std::vector<std::string> TagsFound;
};

// Opens the file read-only through the media manager (the library must be started) and collects what
// it reads. `displayPath` is the path as the user gave it.
TFileReport ReadFileReport(const std::wstring& fileName, const std::string& displayPath);

// One JSON object on one line (no line break).
std::string ToJson(const TFileReport& report);
// A few readable lines, each ending in a line break.
std::string ToText(const TFileReport& report);

// A JSON string literal (with quotes) of UTF-8 text; invalid bytes become U+FFFD.
std::string JsonString(const std::string& utf8);
// A JSON number for a double (finite; non-finite values give 0).
std::string JsonNumber(double value);

} // namespace mellodeck::tags
