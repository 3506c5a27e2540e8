#include "BenchReaders.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <stdexcept>

#include <taglib/audioproperties.h>
#include <taglib/fileref.h>
#include <taglib/tag.h>

#include "imaging/ImageCodecs.h"
#include "media/core/MediaManager.h"
#include "common/TextConvert.h"

namespace mellodeck::bench {

uint64_t gChecksum = 0;

namespace {

void Fold(uint64_t value) { gChecksum = gChecksum * 1099511628211ULL + value; }

void FoldSummary(const TReadSummary& s) {
    Fold(s.Title.size() + 7 * s.Artist.size() + 13 * s.Album.size());
    Fold(static_cast<uint64_t>(s.Duration * 1000) + static_cast<uint64_t>(s.Bitrate) +
         static_cast<uint64_t>(s.SampleRate) + static_cast<uint64_t>(s.Channels));
}

void Summarise(const TBaseMediaFormat& format, TReadSummary& s) {
    const TCommonMediaTags& tags = *format.Tags;
    s.Title = tags.Title ? tags.Title->Value : std::wstring();
    s.Artist = tags.Artist ? tags.Artist->Value : std::wstring();
    s.Album = tags.Album ? tags.Album->Value : std::wstring();
    s.Duration = format.GetDuration();
    s.Bitrate = format.GetBitrate();
    s.SampleRate = format.GetSampleRate();
    s.Channels = format.Channels;
}

} // namespace

TBenchFile MakeBenchFile(const std::string& path, const std::string& kind) {
    TBenchFile f;
    f.Path = path;
    f.WidePath = Utf8ToWide(path);
    const size_t dot = path.find_last_of('.');
    f.Extension = dot == std::string::npos ? std::wstring() : Utf8ToWide(path.substr(dot));
    f.Kind = kind;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        throw std::runtime_error("missing benchmark file: " + path);
    f.Size = static_cast<int64_t>(st.st_size);
    return f;
}

std::vector<TBenchFile> LoadFileSet(const std::string& setDir) {
    std::ifstream listing(setDir + "/files.txt");
    if (!listing)
        throw std::runtime_error("no file listing in " + setDir + " (run tests/bench/make-bench-set.sh)");
    std::vector<TBenchFile> files;
    std::string line;
    while (std::getline(listing, line)) {
        if (line.empty())
            continue;
        const size_t slash = line.find('/');
        files.push_back(MakeBenchFile(setDir + "/" + line, line.substr(0, slash)));
    }
    if (files.empty())
        throw std::runtime_error("empty file listing in " + setDir);
    return files;
}

void StartOurLibrary() { MediaLibraryStart(); }

void FitInBox(int width, int height, int& outWidth, int& outHeight) {
    outWidth = kArtBoxWidth;
    outHeight = kArtBoxHeight;
    if (width <= 0 || height <= 0)
        return;
    // The side that limits decides the scale; the other keeps the aspect ratio.
    if (static_cast<int64_t>(width) * kArtBoxHeight > static_cast<int64_t>(height) * kArtBoxWidth) {
        outHeight = std::max(1, static_cast<int>(static_cast<int64_t>(height) * kArtBoxWidth / width));
    } else {
        outWidth = std::max(1, static_cast<int>(static_cast<int64_t>(width) * kArtBoxHeight / height));
    }
}

bool ReadOursTagsOnly(const TBenchFile& file, TReadSummary* summary) {
    std::unique_ptr<TBaseMediaFormat> format = MediaManager()->CreateFormat(file.Extension, true, file.WidePath);
    if (!format || !format->Open(file.WidePath, false, 0, false))
        return false;
    TReadSummary s;
    s.Ok = true;
    Summarise(*format, s);
    format->Close(0);
    FoldSummary(s);
    if (summary)
        *summary = std::move(s);
    return true;
}

bool ReadOursPanel(const TBenchFile& file, TReadSummary* summary) {
    std::unique_ptr<TBaseMediaFormat> format = MediaManager()->CreateFormat(file.Extension, false, file.WidePath);
    if (!format)
        return false;
    // The cover is decoded for the artwork box (a JPEG at a reduced DCT scale), as the panel asks for it.
    format->ArtworkBoxWidth = kArtBoxWidth;
    format->ArtworkBoxHeight = kArtBoxHeight;
    if (!format->Open(file.WidePath, false, 0, false))
        return false;
    TReadSummary s;
    s.Ok = true;
    Summarise(*format, s);
    if (const Bitmap32* art = GetArtwork(format.get())) {
        int w, h;
        FitInBox(art->Width(), art->Height(), w, h);
        const Bitmap32 scaled = ResampleBox(*art, w, h);
        s.ArtWidth = scaled.Width();
        s.ArtHeight = scaled.Height();
        Fold(scaled.PixelAt(w / 2, h / 2));
    }
    format->Close(0);
    format.reset();
    FoldSummary(s);
    if (summary)
        *summary = std::move(s);
    return true;
}

bool CoverInBothForms(const TBenchFile& file, std::vector<uint8_t>& jpeg, std::vector<uint8_t>& png) {
    std::unique_ptr<TBaseMediaFormat> format = MediaManager()->CreateFormat(file.Extension, false, file.WidePath);
    if (!format || !format->Open(file.WidePath, false, 0, false))
        return false;
    const Bitmap32* art = GetArtwork(format.get());
    const bool ok = art && EncodeJpeg(*art, jpeg, 85) && EncodePng(*art, png);
    format->Close(0);
    return ok;
}

bool FitCover(const std::vector<uint8_t>& bytes) {
    Bitmap32 fitted;
    if (!DecodeImageToFit(DetectImageKind(bytes.data(), bytes.size()), bytes.data(), bytes.size(), kArtBoxWidth,
                          kArtBoxHeight, fitted))
        return false;
    int w, h;
    FitInBox(fitted.Width(), fitted.Height(), w, h);
    const Bitmap32 scaled = ResampleBox(fitted, w, h);
    Fold(scaled.PixelAt(w / 2, h / 2));
    return !scaled.Empty();
}

bool ReadTagLib(const TBenchFile& file, TReadSummary* summary) {
    TagLib::FileRef ref(file.Path.c_str(), true, TagLib::AudioProperties::Average);
    if (ref.isNull() || !ref.tag())
        return false;
    TReadSummary s;
    s.Ok = true;
    const TagLib::Tag* tag = ref.tag();
    s.Title = tag->title().toWString();
    s.Artist = tag->artist().toWString();
    s.Album = tag->album().toWString();
    // The other fields the panel or a library view would show.
    Fold(tag->comment().size() + tag->genre().size() + tag->year() + tag->track());
    if (const TagLib::AudioProperties* p = ref.audioProperties()) {
        s.Duration = p->lengthInMilliseconds() / 1000.0;
        s.Bitrate = p->bitrate();
        s.SampleRate = p->sampleRate();
        s.Channels = p->channels();
    }
    FoldSummary(s);
    if (summary)
        *summary = std::move(s);
    return true;
}

bool ReadPlain(const TBenchFile& file) {
    const int fd = ::open(file.Path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    static uint8_t buffer[65536];
    int64_t total = 0;
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        total += n;
        Fold(buffer[n - 1]);
    }
    ::close(fd);
    Fold(static_cast<uint64_t>(total));
    return total == file.Size;
}

} // namespace mellodeck::bench
