#include "media/id3/FrameText.h"

#include <cstring>

#include "common/TextConvert.h"

namespace mellodeck {
namespace {

// Longest delimited UTF-16 string looked at, in bytes from the string start (mark included).
constexpr size_t kMaxDelimitedUtf16 = 510;

bool IsLineEnd(uint32_t c) { return c == 0 || c == 13 || c == 10; }

// Byte order mark at p (when two bytes are there): 1 = little-endian, 2 = big-endian, 0 = none.
int ByteOrderMark(const uint8_t* p, size_t left) {
    if (left < 2)
        return 0;
    if (p[0] == 0xFF && p[1] == 0xFE)
        return 1;
    if (p[0] == 0xFE && p[1] == 0xFF)
        return 2;
    return 0;
}

void CheckEncoding(uint8_t encoding) {
    if (encoding > 3)
        throw EMP3MediaFormat(kTextUnknownFrameEncoding);
}

std::wstring ReadLatin1(ByteReader& c, int count) {
    const uint8_t* start = c.Current();
    const size_t left = c.Remaining();
    if (count == kDelimited) {
        size_t n = 0;
        while (n < left && !IsLineEnd(start[n]))
            ++n;
        std::wstring text = AnsiToWide(reinterpret_cast<const char*>(start), n);
        size_t used = n;
        if (n < left) {
            if (start[n] == 13 && n + 1 < left && start[n + 1] == 10)
                ++used;
            ++used;
        }
        c.Skip(used);
        return text;
    }
    const size_t n = std::min<size_t>(static_cast<size_t>(count), left);
    std::wstring text = AnsiToWide(reinterpret_cast<const char*>(start), n);
    c.Skip(n);
    TrimTrailingControls(text);
    return text;
}

std::wstring ReadUtf16(ByteReader& c, int count, uint8_t original) {
    const uint8_t* start = c.Current();
    const size_t left = c.Remaining();
    const int mark = ByteOrderMark(start, left);
    const bool bigEndian = mark ? mark == 2 : original == 2;
    if (count == kDelimited) {
        // Without a mark, version 1 text is read little-endian like the counted case: an empty
        // description written as a bare 00 00 is common and must not be mistaken for payload.
        const size_t limit = std::min(left, kMaxDelimitedUtf16);
        const size_t first = mark ? 2 : 0;
        for (size_t i = first; i + 1 < limit; i += 2) {
            if (Get16(start + i, bigEndian) == 0) {
                std::wstring text = Utf16BytesToWide(start + first, (i - first) / 2, bigEndian);
                c.Skip(i + 2);
                return text;
            }
        }
        return std::wstring(); // no terminator close enough: the cursor stays
    }
    const size_t n = std::min<size_t>(static_cast<size_t>(count), left);
    if (mark) {
        size_t i = 2, units = 0;
        while (i + 1 < n) {
            const uint16_t u = Get16(start + i, bigEndian);
            i += 2;
            if (IsLineEnd(u))
                break;
            ++units;
        }
        c.Skip(std::min(i, n));
        return Utf16BytesToWide(start + 2, units, bigEndian);
    }
    std::wstring text = Utf16BytesToWide(start, n / 2, bigEndian);
    c.Skip(n);
    TrimTrailingControls(text);
    return text;
}

std::wstring ReadUtf8(ByteReader& c, int count) {
    const uint8_t* start = c.Current();
    const size_t left = c.Remaining();
    if (count == kDelimited) {
        size_t n = 0;
        while (n < left && start[n] != 0)
            ++n;
        std::wstring text = Utf8ToWide(reinterpret_cast<const char*>(start), n);
        c.Skip(n < left ? n + 1 : n);
        return text;
    }
    size_t n = std::min<size_t>(static_cast<size_t>(count), left);
    c.Skip(n);
    while (n > 0 && start[n - 1] == 0) // a terminator some writers add is not part of the text
        --n;
    return Utf8ToWide(reinterpret_cast<const char*>(start), n);
}

} // namespace

uint8_t ReadFrameByte(ByteReader& cursor) {
    uint8_t value;
    if (!cursor.ReadU8(value))
        throw EMP3MediaFormat(L"Frame data too short");
    return value;
}

void ReadFrameBytes(ByteReader& cursor, void* out, size_t n) {
    if (!cursor.ReadBytes(out, n))
        throw EMP3MediaFormat(L"Frame data too short");
}

std::wstring ReadFrameText(ByteReader& cursor, int count, uint8_t& encoding) {
    CheckEncoding(encoding);
    if (count == 0)
        return std::wstring();
    if (count < 0)
        count = kDelimited;
    switch (encoding) {
    case 0: return ReadLatin1(cursor, count);
    case 1:
    case 2: {
        const uint8_t original = encoding;
        encoding = 1;
        return ReadUtf16(cursor, count, original);
    }
    default: return ReadUtf8(cursor, count);
    }
}

std::wstring DecodeFrameBytes(const uint8_t* data, size_t size, uint8_t encoding) {
    CheckEncoding(encoding);
    switch (encoding) {
    case 0: return AnsiToWide(reinterpret_cast<const char*>(data), size);
    case 1:
    case 2: {
        const int mark = ByteOrderMark(data, size);
        const bool bigEndian = mark ? mark == 2 : encoding == 2;
        const size_t skip = mark ? 2 : 0;
        return Utf16BytesToWide(data + skip, (size - skip) / 2, bigEndian);
    }
    default: return Utf8ToWide(reinterpret_cast<const char*>(data), size);
    }
}

bool SurvivesCodePage(const std::wstring& text) { return AnsiToWide(WideToAnsi(text)) == text; }

uint8_t ChooseSaveEncoding(uint8_t encoding, const std::wstring& text) {
    // Tags are written as version 2.3, which knows only 0 and 1: UTF-16 big-endian (2) and UTF-8 (3)
    // read from a 2.4 tag are written as UTF-16 with a byte order mark.
    if (encoding != 0)
        return 1;
    for (wchar_t c : text)
        if (static_cast<uint32_t>(c) >= 0x80)
            return 1;
    return 0;
}

void AppendFrameText(std::vector<uint8_t>& out, const std::wstring& text, uint8_t encoding, bool terminate) {
    switch (encoding) {
    case 0: {
        const std::string bytes = WideToAnsi(text);
        out.insert(out.end(), bytes.begin(), bytes.end());
        if (terminate)
            out.push_back(0);
        break;
    }
    case 3: {
        const std::string bytes = WideToUtf8(text);
        out.insert(out.end(), bytes.begin(), bytes.end());
        if (terminate)
            out.push_back(0);
        break;
    }
    default: {
        out.push_back(0xFF);
        out.push_back(0xFE);
        for (char16_t u : WideToUtf16(text)) {
            out.push_back(static_cast<uint8_t>(u & 0xFF));
            out.push_back(static_cast<uint8_t>(u >> 8));
        }
        if (terminate) {
            out.push_back(0);
            out.push_back(0);
        }
        break;
    }
    }
}

void TrimTrailingControls(std::wstring& text) {
    size_t n = text.size();
    while (n > 0 && static_cast<uint32_t>(text[n - 1]) <= 32)
        --n;
    text.resize(n);
}

uint32_t ReadSyncSafe(const uint8_t* p) {
    return (uint32_t(p[0] & 0x7F) << 21) | (uint32_t(p[1] & 0x7F) << 14) | (uint32_t(p[2] & 0x7F) << 7) |
           uint32_t(p[3] & 0x7F);
}

void WriteSyncSafe(uint8_t* p, uint32_t value) {
    p[0] = static_cast<uint8_t>((value >> 21) & 0x7F);
    p[1] = static_cast<uint8_t>((value >> 14) & 0x7F);
    p[2] = static_cast<uint8_t>((value >> 7) & 0x7F);
    p[3] = static_cast<uint8_t>(value & 0x7F);
}

std::vector<uint8_t> RemoveUnsynchronisation(const uint8_t* data, size_t size, std::vector<size_t>* removedAt) {
    std::vector<uint8_t> out;
    out.reserve(size);
    for (size_t i = 0; i < size; ++i) {
        out.push_back(data[i]);
        if (data[i] == 0xFF && i + 1 < size && data[i + 1] == 0x00) {
            if (removedAt)
                removedAt->push_back(out.size() - 1);
            ++i;
        }
    }
    return out;
}

uint32_t FrameTagID(const char* id4) {
    return GetLE32(reinterpret_cast<const uint8_t*>(id4));
}

} // namespace mellodeck

namespace mellodeck {

std::vector<std::wstring> ReadFrameTextValues(const uint8_t* data, size_t size, uint8_t& encoding) {
    CheckEncoding(encoding);
    const uint8_t original = encoding;
    const bool wide = original == 1 || original == 2;
    // Each value ends at a zero byte, or at a zero unit at an even offset for UTF-16; the last one at the
    // end of the data. The first value is always taken (the frame's own text, perhaps empty); after it an
    // empty value (a terminator at the end, or two in a row) is not.
    std::vector<std::wstring> values;
    const size_t step = wide ? 2 : 1;
    size_t begin = 0;
    auto take = [&](size_t from, size_t to) {
        if (!values.empty() && from == to)
            return;
        ByteReader cursor(data + from, to - from);
        uint8_t e = original;
        values.push_back(ReadFrameText(cursor, static_cast<int>(to - from), e));
        if (values.size() == 1)
            encoding = e;
    };
    for (size_t i = 0; i + step <= size; i += step)
        if (data[i] == 0 && (!wide || data[i + 1] == 0)) {
            take(begin, i);
            begin = i + step;
        }
    take(begin, size);
    return values;
}

namespace {

// Re-encodes the UTF-8 strings of `bytes` (zero-separated, `count` of them at most; the rest stays as
// it is) as UTF-16 with a byte order mark. Returns the new bytes.
std::vector<uint8_t> Utf8StringsToUtf16(const uint8_t* p, size_t n, size_t count) {
    std::vector<uint8_t> out;
    size_t at = 0;
    for (size_t done = 0; done < count && at < n; ++done) {
        size_t end = at;
        while (end < n && p[end] != 0)
            ++end;
        const std::wstring text = Utf8ToWide(reinterpret_cast<const char*>(p + at), end - at);
        AppendFrameText(out, text, 1, false);
        if (end >= n) {
            at = n + 1;
            break;
        }
        out.push_back(0);
        out.push_back(0);
        at = end + 1;
    }
    if (at < n)
        out.insert(out.end(), p + at, p + n);
    return out;
}

} // namespace

bool ReencodeUtf8Frame(const char* id, std::vector<uint8_t>& payload) {
    if (payload.empty() || payload[0] != 3)
        return false;
    const uint8_t* p = payload.data() + 1;
    const size_t n = payload.size() - 1;
    std::vector<uint8_t> out{1};
    auto rest = [&](size_t skip, size_t strings) {
        if (n < skip)
            return false;
        out.insert(out.end(), p, p + skip);
        const auto converted = Utf8StringsToUtf16(p + skip, n - skip, strings);
        out.insert(out.end(), converted.begin(), converted.end());
        return true;
    };
    bool ok = false;
    if (id[0] == 'T')
        ok = rest(0, SIZE_MAX); // every value of a text frame (TXXX: description and values)
    else if (std::memcmp(id, "COMM", 4) == 0 || std::memcmp(id, "USLT", 4) == 0)
        ok = rest(3, 2); // language, description, text
    else if (std::memcmp(id, "WXXX", 4) == 0)
        ok = rest(0, 1); // the description; the URL is 8-bit text
    if (ok)
        payload = std::move(out);
    return ok;
}

} // namespace mellodeck
