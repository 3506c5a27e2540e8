#include "TagsReport.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "common/FileUtils.h"
#include "media/core/Genres.h"
#include "media/core/MediaManager.h"
#include "common/TextConvert.h"
#include "media/mp3/MP3MediaFormat.h"

namespace mellodeck::tags {
namespace {

std::string Utf8(const std::wstring& text) { return WideToUtf8(text); }
// 8-bit code page text (ID3v1 year, picture descriptions) as UTF-8.
std::string AnsiUtf8(const std::string& text) { return WideToUtf8(AnsiToWide(text)); }

const char* const kTagKindNames[] = {"ID3v1", "ID3v2"};

} // namespace

TFileReport ReadFileReport(const std::wstring& fileName, const std::string& displayPath) {
    TFileReport report;
    report.Path = displayPath;
    const std::wstring extension = ExtractExtension(ExtractName(fileName));
    TMediaManager* manager = MediaManager();
    if (!manager || !manager->IsSupportedExtension(extension)) {
        report.Message = "unsupported file type";
        for (const auto& slot : TCommonMediaTags::StringSlots())
            report.Tags.emplace_back(slot.Name, std::string());
        return report;
    }
    std::unique_ptr<TBaseMediaFormat> format = manager->CreateFormat(extension, false, fileName);
    report.Format = format->ClassName();
    report.Ok = format->Open(fileName, false, 0, false);
    report.Error = format->LastError;
    if (report.Error == 0 && format->Stream && !format->Stream->IsOpen())
        report.Error = format->Stream->ErrorCode; // the system's reason the file could not be opened
    if (!report.Ok)
        report.Message = report.Error ? "could not read the file (error " + std::to_string(report.Error) + ")"
                                      : "could not read the file";

    const TCommonMediaTags& tags = *format->Tags;
    for (const auto& slot : TCommonMediaTags::StringSlots()) {
        const TBaseStringTag* tag = tags.*slot.Member;
        report.Tags.emplace_back(slot.Name, tag ? Utf8(tag->Value) : std::string());
    }
    if (tags.Pictures) {
        for (const auto& item : tags.Pictures->Items) {
            TPictureReport picture;
            picture.Mime = AnsiUtf8(item->MIMEType);
            picture.Type = item->PictureType;
            picture.Description = AnsiUtf8(item->Description);
            picture.Bytes = item->Data.size();
            picture.Decoded = item->Decoded && item->HasBitmap();
            if (picture.Decoded) {
                picture.Width = item->Bitmap->Width();
                picture.Height = item->Bitmap->Height();
            }
            report.Pictures.push_back(std::move(picture));
        }
    }
    report.Duration = format->GetDuration();
    report.Bitrate = format->GetBitrate();
    report.SampleRate = format->GetSampleRate();
    report.Channels = format->Channels;
    report.Vbr = format->GetIsVBR();
    report.Encoder = Utf8(format->EncoderName);

    if (const auto* mp3 = dynamic_cast<const TMP3MediaFormat*>(format.get())) {
        report.HasID3 = true;
        const TID3v1Tag& v1 = *mp3->ID3v1;
        report.ID3v1 = {Utf8(v1.Title()), Utf8(v1.Artist()), Utf8(v1.Album()), AnsiUtf8(v1.Year()),
                        Utf8(v1.Comment()), v1.Track(), v1.Genre()};
        if (mp3->TagsFound & tkID3v1)
            report.TagsFound.push_back(kTagKindNames[0]);
        if (mp3->TagsFound & tkID3v2)
            report.TagsFound.push_back(kTagKindNames[1]);
    }
    format->Close(0);
    return report;
}

std::string JsonString(const std::string& utf8) {
    // Re-encoding through wide text replaces invalid sequences, so the output is always valid UTF-8.
    const std::string text = WideToUtf8(Utf8ToWide(utf8));
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20 || c == 0x7F) {
                char buffer[8];
                std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
                out += buffer;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

std::string JsonNumber(double value) {
    if (!std::isfinite(value))
        return "0";
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.6f", value);
    std::string text = buffer;
    while (text.size() > 1 && text.back() == '0')
        text.pop_back();
    if (text.back() == '.')
        text.pop_back();
    return text;
}

std::string ToJson(const TFileReport& r) {
    auto boolean = [](bool b) { return std::string(b ? "true" : "false"); };
    std::string out = "{\"path\":" + JsonString(r.Path) + ",\"ok\":" + boolean(r.Ok) +
                      ",\"error\":" + std::to_string(r.Error) + ",\"format\":" + JsonString(r.Format) + ",\"tags\":{";
    for (size_t i = 0; i < r.Tags.size(); ++i)
        out += (i ? "," : "") + JsonString(r.Tags[i].first) + ":" + JsonString(r.Tags[i].second);
    out += "},\"pictures\":[";
    for (size_t i = 0; i < r.Pictures.size(); ++i) {
        const TPictureReport& p = r.Pictures[i];
        out += std::string(i ? "," : "") + "{\"mime\":" + JsonString(p.Mime) + ",\"type\":" + std::to_string(p.Type) +
               ",\"description\":" + JsonString(p.Description) + ",\"bytes\":" + std::to_string(p.Bytes) +
               ",\"decoded\":" + boolean(p.Decoded) + ",\"width\":" + std::to_string(p.Width) +
               ",\"height\":" + std::to_string(p.Height) + "}";
    }
    out += "],\"duration\":" + JsonNumber(r.Duration) + ",\"bitrate\":" + std::to_string(r.Bitrate) +
           ",\"samplerate\":" + std::to_string(r.SampleRate) + ",\"channels\":" + std::to_string(r.Channels) +
           ",\"vbr\":" + boolean(r.Vbr) + ",\"encoder\":" + JsonString(r.Encoder);
    if (r.HasID3) {
        const TID3v1Report& v = r.ID3v1;
        out += ",\"id3v1\":{\"title\":" + JsonString(v.Title) + ",\"artist\":" + JsonString(v.Artist) +
               ",\"album\":" + JsonString(v.Album) + ",\"year\":" + JsonString(v.Year) +
               ",\"comment\":" + JsonString(v.Comment) + ",\"track\":" + std::to_string(v.Track) +
               ",\"genre\":" + std::to_string(v.Genre) + "},\"tags_found\":[";
        for (size_t i = 0; i < r.TagsFound.size(); ++i)
            out += (i ? "," : "") + JsonString(r.TagsFound[i]);
        out += "]";
    }
    return out + "}";
}

std::string ToText(const TFileReport& r) {
    auto line = [](const std::string& label, const std::string& value) {
        std::string padded = "  " + label + ":";
        padded.resize(std::max<size_t>(padded.size() + 1, 20), ' ');
        return padded + value + "\n";
    };
    std::string out = r.Path + "\n";
    out += line("format", (r.Format.empty() ? std::string("-") : r.Format) +
                              (r.Ok ? "" : " (not read: " + r.Message + ")"));
    if (r.Format.empty())
        return out;
    char audio[160];
    std::snprintf(audio, sizeof audio, "%.2f s, %d kbit/s%s, %d Hz, %d channel%s", r.Duration, r.Bitrate,
                  r.Vbr ? " (variable)" : "", r.SampleRate, r.Channels, r.Channels == 1 ? "" : "s");
    out += line("audio", audio);
    if (!r.Encoder.empty())
        out += line("encoder", r.Encoder);
    for (const auto& [name, value] : r.Tags) {
        if (value.empty())
            continue;
        std::string shown;
        for (char c : value)
            shown += c == '\r' ? std::string() : c == '\n' ? std::string(" / ") : std::string(1, c);
        out += line(name, shown);
    }
    for (size_t i = 0; i < r.Pictures.size(); ++i) {
        const TPictureReport& p = r.Pictures[i];
        std::string text = p.Mime + ", type " + std::to_string(p.Type);
        if (!p.Description.empty())
            text += ", \"" + p.Description + "\"";
        text += ", " + std::to_string(p.Bytes) + " bytes";
        text += p.Decoded ? ", " + std::to_string(p.Width) + "x" + std::to_string(p.Height) : ", not decoded";
        out += line("picture " + std::to_string(i + 1), text);
    }
    if (r.HasID3) {
        std::string found;
        for (const auto& kind : r.TagsFound)
            found += (found.empty() ? "" : ", ") + kind;
        out += line("tags found", found.empty() ? "none" : found);
        const TID3v1Report& v = r.ID3v1;
        if (std::find(r.TagsFound.begin(), r.TagsFound.end(), "ID3v1") != r.TagsFound.end()) {
            std::string genre = std::to_string(v.Genre);
            const std::string name = ID3GenreName(v.Genre);
            if (!name.empty())
                genre += " (" + AnsiUtf8(name) + ")";
            out += line("ID3v1", "\"" + v.Title + "\" by \"" + v.Artist + "\" on \"" + v.Album + "\", " + v.Year +
                                     ", track " + std::to_string(v.Track) + ", genre " + genre);
            if (!v.Comment.empty())
                out += line("ID3v1 comment", v.Comment);
        }
    }
    return out;
}

} // namespace mellodeck::tags
