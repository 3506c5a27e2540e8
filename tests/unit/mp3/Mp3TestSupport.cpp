#include "Mp3TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <sstream>

#include "report/ErrorHandler.h"

namespace mellodeck::test {

// ---- expected facts -----------------------------------------------------------------------------------

TExpected TExpected::Parse(const std::string& text) {
    TExpected e;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        const size_t t1 = line.find('\t');
        const size_t t2 = t1 == std::string::npos ? std::string::npos : line.find('\t', t1 + 1);
        if (t2 == std::string::npos)
            continue;
        std::string value;
        const std::string raw = line.substr(t2 + 1);
        for (size_t i = 0; i < raw.size(); ++i) {
            if (raw[i] != '\\' || i + 1 == raw.size()) {
                value += raw[i];
                continue;
            }
            const char c = raw[++i];
            value += c == 't' ? '\t' : c == 'r' ? '\r' : c == 'n' ? '\n' : c == '0' ? '\0' : c;
        }
        e.FValues[line.substr(0, t1)][line.substr(t1 + 1, t2 - t1 - 1)] = value;
    }
    return e;
}

const TExpected& TExpected::Fixtures() {
    static const TExpected facts = [] {
        if (!HaveFixture("mp3/expected.txt"))
            return TExpected();
        return Parse(ReadAll(FixturePath("mp3/expected.txt")));
    }();
    return facts;
}

bool TExpected::Has(const std::string& file, const std::string& key) const {
    auto f = FValues.find(file);
    return f != FValues.end() && f->second.count(key) > 0;
}

std::string TExpected::Get(const std::string& file, const std::string& key) const {
    auto f = FValues.find(file);
    if (f == FValues.end() || !f->second.count(key)) {
        ADD_FAILURE() << "no expected value " << file << " " << key;
        return std::string();
    }
    return f->second.at(key);
}

double TExpected::Number(const std::string& file, const std::string& key) const {
    return std::strtod(Get(file, key).c_str(), nullptr);
}

std::wstring TExpected::Wide(const std::string& file, const std::string& key) const {
    return Utf8ToWide(Get(file, key));
}

std::vector<std::string> TExpected::Files() const {
    std::vector<std::string> files;
    for (const auto& [name, values] : FValues)
        files.push_back(name);
    return files;
}

bool MutagenRead(const std::filesystem::path& file, TExpected& facts) {
#ifdef _WIN32
    (void)file;
    (void)facts;
    return false;
#else
    const std::filesystem::path out = file.string() + ".facts";
    const std::string command = "/usr/bin/python3 '" MELLODECK_SOURCE_DIR "/tests/fixtures/mp3-expected.py' --file '" +
                                file.string() + "' > '" + out.string() + "' 2>/dev/null";
    if (std::system(command.c_str()) != 0) {
        // A reader that fails (or crashes) on a saved file fails the test: it is no check at all otherwise.
        ADD_FAILURE() << "mutagen could not read " << file;
        return false;
    }
    facts = TExpected::Parse(ReadAll(out));
    std::filesystem::remove(out);
    return true;
#endif
}

std::wstring CrLf(const std::wstring& text) {
    std::wstring out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n')
            continue;
        out += text[i] == L'\n' ? std::wstring(L"\r\n") : std::wstring(1, text[i]);
    }
    return out;
}

void ExpectTagsAsMutagen(const TMP3MediaFormat& f, const TExpected& e, const std::string& file) {
    for (const auto& slot : TCommonMediaTags::StringSlots()) {
        const std::string key = std::string("tag.") + slot.Name;
        const TBaseStringTag* tag = f.Tags.get()->*slot.Member;
        const std::string name = slot.Name;
        if (name == "Genre" || name == "InvolvedPeople")
            continue; // reported in other forms (the genre text, the people list)
        if (!e.Has(file, key)) {
            // A value the reader does not see is a value we made up.
            EXPECT_EQ(tag->Value, L"") << slot.Name << " is empty for the independent reader";
            continue;
        }
        if (std::string(slot.Name) == "Comment" || std::string(slot.Name) == "Lyrics")
            EXPECT_EQ(tag->Value, CrLf(e.Wide(file, key))) << slot.Name;
        else
            EXPECT_EQ(tag->Value, e.Wide(file, key)) << slot.Name;
        EXPECT_TRUE(tag->Exists) << slot.Name;
    }
    const auto* comment = dynamic_cast<const TMP3CommentTag*>(f.Tags->Comment);
    if (e.Has(file, "tag.Comment.desc")) {
        EXPECT_EQ(comment->Description, e.Wide(file, "tag.Comment.desc"));
        EXPECT_EQ(std::string(comment->Language, 3), e.Get(file, "tag.Comment.lang"));
    }
    if (e.Has(file, "tag.URL.desc")) {
        EXPECT_EQ(static_cast<const TMP3UserTextTag*>(f.Tags->URL)->Description,
                  WideToAnsi(e.Wide(file, "tag.URL.desc")));
    }
}

void ExpectPicturesAsMutagen(const TMP3MediaFormat& f, const TExpected& e, const std::string& file) {
    const TBasePictureTag& pictures = *f.Tags->Pictures;
    ASSERT_EQ(pictures.Count(), e.Number(file, "pictures"));
    for (int i = 0; i < pictures.Count(); ++i) {
        const std::string p = "picture." + std::to_string(i) + ".";
        const TPictureItem& item = *pictures.Item(i);
        std::string mime = e.Get(file, p + "mime");
        if (mime == "JPG" || mime == "PNG") // ID3v2.2 image formats
            mime = mime == "JPG" ? "image/jpg" : "image/png";
        EXPECT_EQ(item.MIMEType, mime);
        EXPECT_EQ(item.PictureType, e.Number(file, p + "type"));
        EXPECT_EQ(item.Description, WideToAnsi(e.Wide(file, p + "desc")));
        EXPECT_EQ(item.DataSize(), e.Number(file, p + "bytes"));
        EXPECT_TRUE(item.Decoded);
        ASSERT_TRUE(item.HasBitmap());
        EXPECT_EQ(item.Bitmap->Width(), e.Number(file, p + "width"));
        EXPECT_EQ(item.Bitmap->Height(), e.Number(file, p + "height"));
    }
    if (pictures.Count() > 0) {
        EXPECT_TRUE(HasArtwork(&f));
    }
}

void ExpectID3v1AsMutagen(const TMP3MediaFormat& f, const TExpected& e, const std::string& file) {
    const bool present = e.Get(file, "id3v1") == "yes";
    EXPECT_EQ((f.TagsFound & tkID3v1) != 0, present);
    if (!present)
        return;
    const TID3v1Tag& v1 = *f.ID3v1;
    EXPECT_EQ(v1.Title(), e.Wide(file, "v1.title"));
    EXPECT_EQ(v1.Artist(), e.Wide(file, "v1.artist"));
    EXPECT_EQ(v1.Album(), e.Wide(file, "v1.album"));
    EXPECT_EQ(v1.Year(), e.Get(file, "v1.year"));
    EXPECT_EQ(v1.Comment(), e.Wide(file, "v1.comment"));
    const std::string track = e.Get(file, "v1.track");
    EXPECT_EQ(v1.Track(), track.empty() ? 0 : std::stoi(track));
    const std::string genre = e.Get(file, "v1.genre");
    EXPECT_EQ(v1.Genre(), genre.empty() ? 255 : std::stoi(genre));
}

// ---- log capture --------------------------------------------------------------------------------------

TLogCapture::TLogCapture() {
    SetLogObserver([this](uint8_t, const std::wstring& text) { Lines.push_back(text); });
}

TLogCapture::~TLogCapture() { SetLogObserver(nullptr); }

bool TLogCapture::Has(const std::wstring& text) const {
    for (const auto& l : Lines)
        if (l == text)
            return true;
    return false;
}

bool TLogCapture::HasPrefix(const std::wstring& prefix) const {
    for (const auto& l : Lines)
        if (l.compare(0, prefix.size(), prefix) == 0)
            return true;
    return false;
}

TOpened::TOpened(const std::wstring& fileName, bool forWriting) {
    MediaLibraryStart();
    Ok = Format.Open(fileName, forWriting, 0, false);
}

TOpened::~TOpened() { Format.Close(0); }

// ---- byte builders ------------------------------------------------------------------------------------


std::vector<uint8_t> SyncSafe(uint32_t v) {
    return {uint8_t((v >> 21) & 0x7F), uint8_t((v >> 14) & 0x7F), uint8_t((v >> 7) & 0x7F), uint8_t(v & 0x7F)};
}

std::vector<uint8_t> ID3v2Tag(uint8_t major, uint8_t flags, const std::vector<uint8_t>& body) {
    std::vector<uint8_t> out = {'I', 'D', '3', major, 0, flags};
    const auto size = SyncSafe(static_cast<uint32_t>(body.size()));
    out.insert(out.end(), size.begin(), size.end());
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

std::vector<uint8_t> Frame23(const std::string& id, const std::vector<uint8_t>& payload, uint8_t flags2) {
    std::vector<uint8_t> out(id.begin(), id.end());
    const uint32_t n = static_cast<uint32_t>(payload.size());
    out.insert(out.end(), {uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n), 0, flags2});
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}

std::vector<uint8_t> Frame24(const std::string& id, const std::vector<uint8_t>& payload, uint8_t flags2) {
    std::vector<uint8_t> out(id.begin(), id.end());
    const auto size = SyncSafe(static_cast<uint32_t>(payload.size()));
    out.insert(out.end(), size.begin(), size.end());
    out.insert(out.end(), {0, flags2});
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}

std::vector<uint8_t> Frame22(const std::string& id, const std::vector<uint8_t>& payload) {
    std::vector<uint8_t> out(id.begin(), id.end());
    const uint32_t n = static_cast<uint32_t>(payload.size());
    out.insert(out.end(), {uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)});
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}

std::vector<uint8_t> Cat(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> out;
    for (const auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

std::vector<uint8_t> Text(const std::string& bytes) { return AsBytes(bytes); }

std::vector<uint8_t> CbrFrames(int count) {
    std::vector<uint8_t> out;
    for (int i = 0; i < count; ++i) {
        std::vector<uint8_t> frame(417, 0);
        frame[0] = 0xFF;
        frame[1] = 0xFB;
        frame[2] = 0x90;
        frame[3] = 0x64;
        out.insert(out.end(), frame.begin(), frame.end());
    }
    return out;
}

std::vector<uint8_t> ID3v1Block(const std::string& title, const std::string& artist, const std::string& album,
                                const std::string& year, const std::string& comment, int track, int genre) {
    std::vector<uint8_t> b(128, 0);
    std::memcpy(b.data(), "TAG", 3);
    auto put = [&](size_t at, const std::string& s, size_t width) {
        std::memcpy(b.data() + at, s.data(), std::min(width, s.size()));
    };
    put(3, title, 30);
    put(33, artist, 30);
    put(63, album, 30);
    put(93, year, 4);
    put(97, comment, 30);
    if (track >= 0) {
        b[125] = 0;
        b[126] = static_cast<uint8_t>(track);
    }
    b[127] = static_cast<uint8_t>(genre);
    return b;
}

} // namespace mellodeck::test
