#include "Mp4TestSupport.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

#include "TestPaths.h"
#include "media/mp4/AtomTypes.h"

namespace mellodeck::test {

ByteVector BE32(uint32_t value) {
    ByteVector bytes(4);
    PutBE32(bytes.data(), value);
    return bytes;
}
ByteVector BE16(uint16_t value) {
    ByteVector bytes(2);
    PutBE16(bytes.data(), value);
    return bytes;
}
ByteVector Text(const std::string& text) { return ByteVector(text.begin(), text.end()); }

ByteVector Join(std::initializer_list<ByteVector> parts) {
    ByteVector out;
    for (const ByteVector& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

ByteVector Atom(uint32_t type, const ByteVector& body) { return Join({BE32(uint32_t(body.size() + 8)), BE32(type), body}); }
ByteVector Atom(const std::string& type, const ByteVector& body) {
    return Atom(FourCC(uint8_t(type[0]), uint8_t(type[1]), uint8_t(type[2]), uint8_t(type[3])), body);
}

ByteVector DataItem(uint32_t itemType, uint8_t kind, const ByteVector& payload) {
    return Atom(itemType, Atom("data", Join({ByteVector{0, 0, 0, kind}, BE32(0), payload})));
}

ByteVector MinimalAudio() {
    ByteVector audio(64);
    for (size_t i = 0; i < audio.size(); ++i)
        audio[i] = uint8_t(i * 7 + 3);
    return audio;
}

MinimalOptions WithChunkTable(const ByteVector& table, uint32_t slack) {
    MinimalOptions options;
    options.ChunkTable = table;
    options.Slack = slack;
    return options;
}

MinimalOptions WithTail(const ByteVector& tail, uint32_t slack) {
    MinimalOptions options;
    options.Tail = tail;
    options.Slack = slack;
    return options;
}

MinimalOptions WithSlack(uint32_t slack) {
    MinimalOptions options;
    options.Slack = slack;
    return options;
}

ByteVector MinimalFile(const ByteVector& items, const MinimalOptions& options) {
    const ByteVector ftyp = Atom("ftyp", Join({Text("M4A "), BE32(0), Text("M4A isom")}));
    ByteVector mvhdBody(100, 0);
    const ByteVector times = Join({BE32(0), BE32(0), BE32(0), BE32(1000), BE32(5000)});
    std::copy(times.begin(), times.end(), mvhdBody.begin());
    const ByteVector mdhd = Atom("mdhd", Join({BE32(0), BE32(0), BE32(0), BE32(44100), BE32(220500), BE32(0)}));
    const ByteVector hdlr = Atom("hdlr", Join({BE32(0), BE32(0), Text("soun"), ByteVector(12, 0), ByteVector{0}}));
    ByteVector entry = Join({Text("mp4a"), ByteVector(6, 0), BE16(1), ByteVector(8, 0), BE16(2), BE16(16), BE16(0), BE16(0),
                        BE32(44100u << 16)});
    entry = Join({BE32(uint32_t(entry.size() + 4)), entry});
    const ByteVector stsd = Atom("stsd", Join({BE32(0), BE32(1), entry}));
    auto build = [&](uint32_t chunkOffset) {
        const ByteVector stco = options.ChunkTable.empty() ? Atom("stco", Join({BE32(0), BE32(1), BE32(chunkOffset)}))
                                                      : options.ChunkTable;
        const ByteVector stbl = Atom("stbl", Join({stsd, stco}));
        const ByteVector trak = Atom("trak", Atom("mdia", Join({mdhd, hdlr, Atom("minf", stbl)})));
        const ByteVector metaHdlr = Atom("hdlr", Join({BE32(0), BE32(0), Text("mdirappl"), ByteVector(9, 0)}));
        ByteVector metaBody = Join({BE32(0), metaHdlr, Atom("ilst", items)});
        if (options.Slack >= 8)
            metaBody = Join({metaBody, Atom("free", ByteVector(options.Slack - 8, 0))});
        const ByteVector udta = options.NoUserData ? ByteVector{} : Atom("udta", Atom("meta", metaBody));
        return Atom("moov", Join({Atom("mvhd", mvhdBody), trak, udta, options.MoovTail}));
    };
    const ByteVector moov = build(0);
    const ByteVector file = Join({ftyp, build(uint32_t(ftyp.size() + moov.size() + 8)), Atom("mdat", MinimalAudio())});
    return Join({file, options.Tail});
}

// ---- files --------------------------------------------------------------------------------------

std::vector<std::string> FolderListing(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::unique_ptr<TMPEG4MediaFormat> OpenMp4(const std::filesystem::path& path, bool forWriting) {
    auto format = std::make_unique<TMPEG4MediaFormat>();
    format->Open(path.wstring(), forWriting, 0, false);
    return format;
}

std::string Narrow(const std::wstring& text) { return WideToUtf8(text); }

ByteVector ChunkStarts(const std::filesystem::path& path, size_t count) {
    auto format = OpenMp4(path);
    const ByteVector file = ReadBytes(path);
    ByteVector out;
    for (const TMPEG4ChunkOffsetTable& table : format->ChunkOffsetTables) {
        const size_t width = table.Wide ? 8 : 4;
        const size_t at = static_cast<size_t>(table.Atom->DataOffset() + 8);
        for (size_t i = 0; i < table.Count; ++i) {
            const uint64_t offset = table.Wide ? GetBE64(file.data() + at + i * width) : GetBE32(file.data() + at + i * width);
            if (offset >= file.size())
                throw std::runtime_error("chunk offset beyond the end of the file");
            const size_t length = static_cast<size_t>(std::min<uint64_t>(count, file.size() - offset));
            out.insert(out.end(), file.begin() + static_cast<ptrdiff_t>(offset),
                       file.begin() + static_cast<ptrdiff_t>(offset + length));
        }
    }
    return out;
}

// ---- tools --------------------------------------------------------------------------------------

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}

std::vector<std::string> Split(const std::string& line) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        const size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos)
            return fields;
        start = tab + 1;
    }
}

std::string Unescape(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            const char c = text[++i];
            out += c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c;
        } else {
            out += text[i];
        }
    }
    return out;
}
} // namespace

std::vector<std::string> ToolDump(const std::filesystem::path& path, const std::string& what) {
    return Lines(ToolOutput(std::string("/usr/bin/python3 '") + MP4_FIXTURE_SCRIPTS + "/mp4-dump.py' " + ShellQuote(path) +
                            " --" + what));
}

std::string FfmpegErrors(const std::filesystem::path& path) {
    return ToolOutput("ffmpeg -nostdin -v error -i " + ShellQuote(path) + " -f null -");
}

std::string DecodedAudio(const std::filesystem::path& path) {
    return ToolOutput("ffmpeg -nostdin -v error -i " + ShellQuote(path) + " -map 0:a -f md5 -");
}

Expected LoadExpected(const std::string& file) {
    Expected expected;
    for (const std::string& line : Lines(ReadAll(FixturePath("mp4/expected.txt")))) {
        const std::vector<std::string> f = Split(line);
        if (f.size() < 3 || f[0] != file)
            continue;
        if (f[1] == "tag" && f.size() >= 4)
            expected.Tags[f[2]] = Unescape(f[3]);
        else if (f[1] == "cover" && f.size() >= 6)
            expected.Covers.push_back({std::stoi(f[3]), static_cast<size_t>(std::stoul(f[4]))});
        else if (f[1] == "chunks")
            ++expected.Tracks;
        else if (f[1] == "probe" && f.size() >= 4 && f[2] == "duration")
            expected.Duration = std::stod(f[3]);
        else if (f[1] == "probe" && f.size() >= 4 && f[2] == "sample_rate")
            expected.SampleRate = std::stoi(f[3]);
        else if (f[1] == "probe" && f.size() >= 4 && f[2] == "channels")
            expected.Channels = std::stoi(f[3]);
    }
    return expected;
}

} // namespace mellodeck::test
