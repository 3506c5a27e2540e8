#include "media/id3/ID3FrameTags.h"

#include <cstring>

#include "imaging/ImageCodecs.h"
#include "media/core/Genres.h"
#include "media/core/MediaManager.h"
#include "common/TextConvert.h"
#include "media/id3/FrameText.h"
#include "media/id3/ID3KnownTags.h"

namespace mellodeck {
namespace {

uint8_t EncodingFor(const std::wstring& text) { return SurvivesCodePage(text) ? 0 : 1; }

bool IsBlank(const std::wstring& text) { return text.find_first_not_of(L' ') == std::wstring::npos; }

std::wstring Trimmed(const std::wstring& text) {
    const size_t first = text.find_first_not_of(L' ');
    if (first == std::wstring::npos)
        return std::wstring();
    const size_t last = text.find_last_not_of(L' ');
    return text.substr(first, last - first + 1);
}

// Major version of the tag being read, from the owning container.
uint8_t ReadingVersion(const TCommonMediaTags* owner) {
    const auto* known = dynamic_cast<const TID3KnownTags*>(owner);
    return known ? known->ReadingVersion : 3;
}

// The comment text: decoded whole, a trailing terminator dropped, lines rejoined with CR LF.
std::wstring CommentLines(const uint8_t* data, size_t size, uint8_t encoding) {
    std::wstring text = DecodeFrameBytes(data, size, encoding);
    while (!text.empty() && text.back() == 0)
        text.pop_back();
    std::wstring out;
    std::wstring line;
    bool any = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (c == L'\r' || c == L'\n') {
            if (c == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n')
                ++i;
            if (any)
                out += L"\r\n";
            out += line;
            line.clear();
            any = true;
            if (i + 1 == text.size())
                return out; // a line end at the very end closes the last line
            continue;
        }
        line += c;
    }
    if (any)
        out += L"\r\n";
    out += line;
    return out;
}

void AppendBytes(std::vector<uint8_t>& out, const void* data, size_t size) {
    if (size == 0)
        return;
    const size_t at = out.size();
    out.resize(at + size);
    std::memcpy(out.data() + at, data, size);
}

} // namespace

// ---- TBaseMp3Tag --------------------------------------------------------------------------------------

TBaseMp3Tag::TBaseMp3Tag(TCommonMediaTags* owner, const char* frameID, const char* v22FrameID)
    : TBaseStringTag(owner), V22FrameID(v22FrameID) {
    TagID = FrameTagID(frameID);
}

std::string TBaseMp3Tag::FrameID() const {
    std::string id(4, ' ');
    PutLE32(reinterpret_cast<uint8_t*>(id.data()), TagID);
    return id;
}

void TBaseMp3Tag::WriteFrame(TStream& stream, const std::vector<uint8_t>& payload) const {
    uint8_t header[10] = {};
    PutLE32(header, TagID);
    PutBE32(header + 4, static_cast<uint32_t>(payload.size()));
    stream.WriteBuffer(header, 10);
    stream.WriteBuffer(payload.data(), static_cast<int64_t>(payload.size()));
}

// ---- TMP3TextTag --------------------------------------------------------------------------------------

void TMP3TextTag::SetValue(const std::wstring& value) {
    if (value == Value)
        return;
    TBaseStringTag::SetValue(value);
    Encoding = EncodingFor(value);
}

void TMP3TextTag::Clear() {
    TBaseStringTag::Clear();
    Encoding = 0;
}

void TMP3TextTag::Assign(const TBaseTag& source) {
    TBaseStringTag::Assign(source);
    if (const auto* s = dynamic_cast<const TMP3TextTag*>(&source))
        Encoding = s->Encoding;
}

void TMP3TextTag::LoadFromBuffer(const uint8_t* data, size_t size) {
    ByteReader c(data, size);
    Encoding = ReadFrameByte(c);
    std::vector<std::wstring> values = ReadFrameTextValues(c.Current(), c.Remaining(), Encoding);
    Value = std::move(values.front());
    MoreValues.assign(std::make_move_iterator(values.begin() + 1), std::make_move_iterator(values.end()));
}

void TMP3TextTag::AddValuesFrom(const uint8_t* data, size_t size) {
    ByteReader c(data, size);
    uint8_t encoding = ReadFrameByte(c);
    std::vector<std::wstring> values = ReadFrameTextValues(c.Current(), c.Remaining(), encoding);
    for (auto& value : values)
        if (!value.empty())
            MoreValues.push_back(std::move(value));
    if (encoding != 0 && Encoding == 0)
        Encoding = encoding; // the values are written together, in an encoding that holds them all
}

void TMP3TextTag::SaveToStream(TStream& stream) {
    const std::wstring text = SavedText();
    Encoding = ChooseSaveEncoding(Encoding, text);
    for (const auto& more : MoreValues)
        Encoding = ChooseSaveEncoding(Encoding, more);
    std::vector<uint8_t> payload{Encoding};
    AppendFrameText(payload, text, Encoding, false);
    // Further values follow, each after a terminator, as version 2.4 keeps them and as readers of 2.3
    // that know several values read them.
    for (const auto& more : MoreValues) {
        payload.push_back(0);
        if (Encoding == 1)
            payload.push_back(0);
        AppendFrameText(payload, more, Encoding, false);
    }
    WriteFrame(stream, payload);
}

// ---- TMP3YearTag --------------------------------------------------------------------------------------

void TMP3YearTag::SetValue(const std::wstring& value) {
    if (value == Value)
        return;
    TMP3TextTag::SetValue(value);
    Timestamp.clear();
}

void TMP3YearTag::Clear() {
    TMP3TextTag::Clear();
    Timestamp.clear();
}

void TMP3YearTag::Assign(const TBaseTag& source) {
    TMP3TextTag::Assign(source);
    if (const auto* s = dynamic_cast<const TMP3YearTag*>(&source))
        Timestamp = s->Timestamp;
}

bool TMP3YearTag::LoadTimestamp(const uint8_t* data, size_t size) {
    ByteReader c(data, size);
    uint8_t encoding = ReadFrameByte(c);
    const std::vector<std::wstring> values = ReadFrameTextValues(c.Current(), c.Remaining(), encoding);
    const std::wstring& text = values.front();
    if (values.size() > 1 || text.size() < 4)
        return false;
    for (int i = 0; i < 4; ++i)
        if (text[i] < L'0' || text[i] > L'9')
            return false;
    Value = text.substr(0, 4);
    MoreValues.clear();
    Encoding = 0;
    Timestamp = text;
    return true;
}

void TMP3YearTag::SaveToStream(TStream& stream) {
    TMP3TextTag::SaveToStream(stream);
    // The rest of a recording time read from a version 2.4 tag goes into the 2.3 frames for it: TDAT
    // (DDMM) and TIME (HHMM), which readers join with TYER again.
    const std::wstring& t = Timestamp;
    if (t.size() < 10 || t.compare(0, 4, Value) != 0 || t[4] != L'-' || t[7] != L'-')
        return;
    auto frame = [&](const char* id, const std::wstring& text) {
        std::vector<uint8_t> payload{0};
        AppendFrameText(payload, text, 0, false);
        uint8_t header[10] = {};
        std::memcpy(header, id, 4);
        PutBE32(header + 4, static_cast<uint32_t>(payload.size()));
        stream.WriteBuffer(header, 10);
        stream.WriteBuffer(payload.data(), static_cast<int64_t>(payload.size()));
    };
    frame("TDAT", t.substr(8, 2) + t.substr(5, 2));
    if (t.size() >= 16 && t[10] == L'T' && t[13] == L':')
        frame("TIME", t.substr(11, 2) + t.substr(14, 2));
}

// ---- TMP3GenreTag -------------------------------------------------------------------------------------

void TMP3GenreTag::LoadFromBuffer(const uint8_t* data, size_t size) {
    TMP3TextTag::LoadFromBuffer(data, size);
    std::wstring text = Trimmed(Value);
    if (text.empty())
        return;
    bool found = false;
    int kept = -1;
    for (;;) {
        const size_t open = text.find(L'(');
        const size_t close = text.find(L')');
        if (open == std::wstring::npos || close == std::wstring::npos || close <= open + 1)
            break;
        bool digits = true;
        for (size_t i = open + 1; i < close; ++i)
            if (text[i] < L'0' || text[i] > L'9')
                digits = false;
        if (!digits)
            break;
        found = true;
        if (kept < 0) {
            int number = 0;
            for (size_t i = open + 1; i < close && number < 1000; ++i)
                number = number * 10 + (text[i] - L'0');
            if (number < kID3GenreCount)
                kept = number;
        }
        text.erase(open, close - open + 1);
    }
    if (!found)
        return;
    if (!text.empty())
        Value = text;
    else if (kept >= 0)
        Value = AnsiToWide(ID3GenreName(kept));
}

std::wstring TMP3GenreTag::SavedText() const {
    const int index = ID3GenreIndex(Value);
    if (index < 0)
        return Value;
    return L"(" + std::to_wstring(index) + L")" + Value;
}

// ---- TMP3CommentTag -----------------------------------------------------------------------------------

TMP3CommentTag::TMP3CommentTag(TCommonMediaTags* owner, const char* frameID, const char* v22FrameID)
    : TBaseMp3Tag(owner, frameID, v22FrameID) {}

void TMP3CommentTag::SetValue(const std::wstring& value) {
    if (value == Value)
        return;
    TBaseStringTag::SetValue(value);
    Encoding = EncodingFor(value);
}

void TMP3CommentTag::SetDescription(const std::wstring& description) {
    if (description == Description)
        return;
    Description = description;
    Encoding = EncodingFor(description);
    SetModified(true);
}

void TMP3CommentTag::Clear() {
    TBaseStringTag::Clear();
    Encoding = 0;
    std::memcpy(Language, "eng", 3);
    Description.clear();
}

void TMP3CommentTag::Assign(const TBaseTag& source) {
    TBaseStringTag::Assign(source);
    if (const auto* s = dynamic_cast<const TMP3CommentTag*>(&source)) {
        Encoding = s->Encoding;
        std::memcpy(Language, s->Language, 3);
        Description = s->Description;
    }
}

void TMP3CommentTag::LoadFromBuffer(const uint8_t* data, size_t size) {
    ByteReader c(data, size);
    const uint8_t frameEncoding = ReadFrameByte(c);
    Encoding = frameEncoding;
    ReadFrameBytes(c, Language, 3);
    Description = ReadFrameText(c, kDelimited, Encoding);
    // The text keeps the byte order the frame's own encoding byte gives (2 is big-endian).
    Value = CommentLines(c.Current(), c.Remaining(), frameEncoding);
}

void TMP3CommentTag::SaveToStream(TStream& stream) {
    if (IsBlank(Value))
        return;
    Encoding = ChooseSaveEncoding(ChooseSaveEncoding(Encoding, Value), Description);
    std::vector<uint8_t> payload{Encoding};
    AppendBytes(payload, Language, 3);
    AppendFrameText(payload, Description, Encoding, true);
    AppendFrameText(payload, Value, Encoding, false);
    WriteFrame(stream, payload);
}

// ---- TMP3UserTextTag ----------------------------------------------------------------------------------

bool TMP3UserTextTag::IsUrl() const { return TagID == FrameTagID("WXXX"); }

void TMP3UserTextTag::Clear() {
    Value.clear();
    MoreValues.clear();
    Description.clear();
    Encoding = 0;
    TBaseTag::Clear();
}

void TMP3UserTextTag::Assign(const TBaseTag& source) {
    TBaseStringTag::Assign(source);
    if (const auto* s = dynamic_cast<const TMP3UserTextTag*>(&source)) {
        Encoding = s->Encoding;
        Description = s->Description;
    }
}

void TMP3UserTextTag::LoadFromBuffer(const uint8_t* data, size_t size) {
    ByteReader c(data, size);
    const uint8_t frameEncoding = ReadFrameByte(c);
    Encoding = frameEncoding;
    if (!IsUrl()) {
        // TPUB is a text frame. Older saves of this library laid it out as description, terminator,
        // value; such a payload (a zero terminator followed by more text) is read that way.
        ByteReader probe = c;
        uint8_t e = frameEncoding;
        const std::wstring description = ReadFrameText(probe, kDelimited, e);
        const bool zeroEnded = probe.Position() > c.Position() && probe.Data()[probe.Position() - 1] == 0;
        bool more = false;
        for (size_t i = 0; i < probe.Remaining(); ++i)
            more = more || probe.Current()[i] != 0;
        if (zeroEnded && more) {
            Description = WideToAnsi(description);
            uint8_t valueEncoding = frameEncoding;
            Value = ReadFrameText(probe, static_cast<int>(probe.Remaining()), valueEncoding);
        } else {
            Description.clear();
            Value = ReadFrameText(c, static_cast<int>(c.Remaining()), Encoding);
        }
        if (Encoding == 2)
            Encoding = 1;
        return;
    }
    Description = WideToAnsi(ReadFrameText(c, kDelimited, Encoding));
    const uint8_t* rest = c.Current();
    if ((frameEncoding == 1 || frameEncoding == 2) && c.Remaining() >= 2 &&
        ((rest[0] == 0xFF && rest[1] == 0xFE) || (rest[0] == 0xFE && rest[1] == 0xFF))) {
        // A URL stored as UTF-16 (with its mark), as some writers do.
        uint8_t valueEncoding = frameEncoding;
        Value = ReadFrameText(c, static_cast<int>(c.Remaining()), valueEncoding);
    } else {
        uint8_t latin = 0;
        Value = ReadFrameText(c, static_cast<int>(c.Remaining()), latin);
    }
}

void TMP3UserTextTag::SaveToStream(TStream& stream) {
    std::vector<uint8_t> payload;
    if (!IsUrl()) {
        Encoding = ChooseSaveEncoding(Encoding, Value);
        payload.push_back(Encoding);
        AppendFrameText(payload, Value, Encoding, false);
        WriteFrame(stream, payload);
        return;
    }
    // The URL is 8-bit text; one that the code page cannot hold is kept as marked UTF-16 rather than lost.
    const bool urlFits = SurvivesCodePage(Value);
    Encoding = ChooseSaveEncoding(Encoding, AnsiToWide(Description));
    if (!urlFits)
        Encoding = 1;
    payload.push_back(Encoding);
    AppendFrameText(payload, AnsiToWide(Description), Encoding, true);
    AppendFrameText(payload, Value, urlFits ? 0 : 1, false);
    WriteFrame(stream, payload);
}

// ---- TMp3PictureTag -----------------------------------------------------------------------------------

TMp3PictureTag::TMp3PictureTag(TCommonMediaTags* owner, const char* frameID, const char* v22FrameID)
    : TBasePictureTag(owner), V22FrameID(v22FrameID) {
    TagID = FrameTagID(frameID);
}

void TMp3PictureTag::LoadFromBuffer(const uint8_t* data, size_t size) {
    if (size <= 4)
        return;
    TPictureItem* item = Add();
    try {
        ByteReader c(data, size);
        item->Encoding = ReadFrameByte(c);
        if (ReadingVersion(Owner) == 2) {
            char format[4] = {};
            ReadFrameBytes(c, format, 3);
            if (std::memcmp(format, "PNG", 3) == 0)
                item->MIMEType = "image/png";
            else if (std::memcmp(format, "JPG", 3) == 0)
                item->MIMEType = "image/jpg";
            else
                throw EWrongPictureFormat(L"ID3v2.2");
        } else {
            uint8_t latin = 0;
            item->MIMEType = WideToAnsi(ReadFrameText(c, kDelimited, latin));
        }
        item->PictureType = ReadFrameByte(c);
        item->Description = WideToAnsi(ReadFrameText(c, kDelimited, item->Encoding));
        // A description that runs to the end of the frame (its terminator missing) leaves no picture: such a
        // frame is not one to show, and failing here has it carried through a save as it is, where an item
        // without bytes would not be written at all.
        if (c.Remaining() == 0)
            throw EMP3MediaFormat(L"Picture frame without picture data");
        DecodePictureByMime(*item, c.Current(), c.Remaining());
    } catch (...) {
        Remove(item);
        throw;
    }
}

void TMp3PictureTag::SaveToStream(TStream& stream) {
    for (const auto& owned : Items) {
        TPictureItem& item = *owned;
        if (!item.HasBitmap() && !item.HasData())
            continue; // nothing to write: neither a picture nor its bytes
        std::vector<uint8_t> jpeg;
        const uint8_t* bytes = item.Data.data();
        size_t count = item.Data.size();
        if (!item.HasData()) {
            Bitmap32 picture = *item.Bitmap;
            if (ImageTagLimiter())
                ImageTagLimiter()->Limit(&picture);
            bool encoded;
            {
                auto lease = TMediaManager::AcquireJpegImage();
                encoded = EncodeJpeg(picture, jpeg, 80);
            }
            if (!encoded)
                throw EMP3MediaFormat(L"JPEG encoding failed");
            item.MIMEType = "image/jpg";
            bytes = jpeg.data();
            count = jpeg.size();
        }
        // Version 2.3 knows encodings 0 and 1 only.
        uint8_t encoding = item.Encoding <= 3 ? item.Encoding : 0;
        if (encoding >= 2)
            encoding = 1;
        std::vector<uint8_t> payload{encoding};
        AppendBytes(payload, item.MIMEType.data(), item.MIMEType.size());
        payload.push_back(0);
        payload.push_back(item.PictureType);
        AppendFrameText(payload, AnsiToWide(item.Description), encoding, true);
        AppendBytes(payload, bytes, count);

        uint8_t header[10] = {};
        PutLE32(header, TagID);
        PutBE32(header + 4, static_cast<uint32_t>(payload.size()));
        stream.WriteBuffer(header, 10);
        stream.WriteBuffer(payload.data(), static_cast<int64_t>(payload.size()));
    }
}

} // namespace mellodeck
