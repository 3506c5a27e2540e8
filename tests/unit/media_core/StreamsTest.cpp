#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <random>

#include "TestPaths.h"
#include "common/FileUtils.h"
#include "media/core/Streams.h"

using namespace mellodeck;
using mellodeck::test::ReadAll;
using mellodeck::test::TempFolder;
using mellodeck::test::WriteAll;

namespace {

std::string Pattern(size_t n) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i)
        s[i] = static_cast<char>((i * 131 + i / 251) & 0xFF);
    return s;
}

// Records the largest single write, to observe how copies are cut into pieces.
class RecordingStream : public TMemoryStream {
public:
    int64_t Write(const void* buffer, int64_t count) override {
        LargestWrite = std::max(LargestWrite, count);
        ++Writes;
        return TMemoryStream::Write(buffer, count);
    }
    int64_t LargestWrite = 0;
    int Writes = 0;
};

} // namespace

TEST(FileStreams, MissingFileIsConstructedWithTheSystemError) {
    TempFolder dir;
    TBufferedFileReadStream s(dir.Text("missing.bin"));
    EXPECT_EQ(s.ErrorCode, oserr::kFileNotFound);
    EXPECT_FALSE(s.IsOpen());
}

TEST(FileStreams, ReadAheadServesSmallAndLargeReadsInOrder) {
    TempFolder dir;
    const std::string content = Pattern(300000);
    WriteAll(dir.Path() / "data.bin", content);
    TBufferedFileReadStream s(dir.Text("data.bin"));
    ASSERT_EQ(s.ErrorCode, 0u);
    ASSERT_EQ(s.Size(), 300000);
    // Small reads across buffer boundaries, a backward seek, a large read and a read past the end.
    struct Step {
        int64_t Pos, Count, Expect;
    } steps[] = {{0, 4, 4},           {65530, 12, 12},   {10, 100, 100},        {65536, 1, 1},
                 {1000, 200000, 200000}, {299990, 50, 10}, {300000, 5, 0}, {310000, 5, 0}};
    for (const Step& st : steps) {
        ASSERT_TRUE(s.SetPosition(st.Pos));
        std::string got(static_cast<size_t>(st.Count), '\0');
        ASSERT_EQ(s.Read(got.data(), st.Count), st.Expect) << "at " << st.Pos;
        got.resize(static_cast<size_t>(st.Expect));
        if (st.Expect > 0) {
            EXPECT_EQ(got, content.substr(static_cast<size_t>(st.Pos), static_cast<size_t>(st.Expect)));
        }
        EXPECT_EQ(s.Position(), std::min<int64_t>(std::max<int64_t>(st.Pos, st.Pos + st.Expect), st.Pos + st.Count));
    }
}

TEST(FileStreams, WalksWithGapsAndJumpsReadWhatIsInTheFile) {
    // The read-ahead grows while reads run on and starts small after a jump; reads as large as a fill go
    // straight to the caller. Whatever the mix, every byte must be the file's.
    TempFolder dir;
    const std::string content = Pattern(300001);
    WriteAll(dir.Path() / "walk.bin", content);
    TBufferedFileReadStream s(dir.Text("walk.bin"));
    ASSERT_EQ(s.Size(), 300001);
    auto check = [&](int64_t position, int64_t count) {
        ASSERT_TRUE(s.SetPosition(position));
        std::string got(static_cast<size_t>(count), '\0');
        const int64_t expect = std::max<int64_t>(0, std::min<int64_t>(count, 300001 - position));
        ASSERT_EQ(s.Read(got.data(), count), expect) << position << " " << count;
        if (expect > 0) {
            EXPECT_EQ(got.substr(0, static_cast<size_t>(expect)),
                      content.substr(static_cast<size_t>(position), static_cast<size_t>(expect)))
                << position << " " << count;
        }
    };
    // A frame walk: 4 bytes every 417 or 1045 bytes through the whole file.
    for (int64_t p = 3, i = 0; p < 300001; p += (i++ % 3) ? 417 : 1045)
        check(p, 4);
    // Reads of every size around the fill sizes, at jumps forward and back, at the end and past it.
    std::mt19937 random(11);
    const int64_t counts[] = {1, 4, 10, 255, 4095, 4096, 4097, 8191, 8192, 65535, 65536, 65537, 200000};
    for (int i = 0; i < 400; ++i) {
        const int64_t count = counts[random() % std::size(counts)];
        const int64_t position = i % 10 == 0 ? 300001 - static_cast<int64_t>(random() % 5000)
                                              : static_cast<int64_t>(random() % 300001);
        check(position, count);
        if (i % 4 == 0)
            check(position + count + static_cast<int64_t>(random() % 300), 16); // running on
        if (i % 5 == 1) {
            // A block read for a caller's own buffer (the frame walk's scan), between buffered reads that
            // must go on as if it had not happened.
            const int64_t at = static_cast<int64_t>(random() % 300100);
            std::string block(static_cast<size_t>(count), '\0');
            const int64_t expect = std::max<int64_t>(0, std::min<int64_t>(count, 300001 - at));
            ASSERT_EQ(s.ReadBlockAt(at, block.data(), count), expect) << at << " " << count;
            EXPECT_EQ(block.substr(0, static_cast<size_t>(expect)),
                      content.substr(std::min<size_t>(at, 300001), static_cast<size_t>(expect)));
            check(position + count, 4);
        }
    }
}

TEST(FileStreams, WrongDirectionRaisesTheFixedTexts) {
    TempFolder dir;
    WriteAll(dir.Path() / "f.bin", "abc");
    TBufferedFileReadStream r(dir.Text("f.bin"));
    try {
        r.Write("x", 1);
        FAIL() << "write to a read stream";
    } catch (const EBufferedFileReadStream& e) {
        EXPECT_EQ(e.Message(), L"Could not write to read-only stream.");
    }
    TBufferedFileWriteStream w(dir.Text("g.bin"), 4096, true);
    char c;
    try {
        w.Read(&c, 1);
        FAIL() << "read from a write stream";
    } catch (const EBufferedFileWriteStream& e) {
        EXPECT_EQ(e.Message(), L"Could not write to write-only stream.");
    }
}

TEST(FileStreams, WriteStreamOpensReadOnlyFileAndWritesInOrderAcrossSeeks) {
    TempFolder dir;
    const std::wstring name = dir.Text("ro.bin");
    WriteAll(dir.Path() / "ro.bin", std::string(10000, 'a'));
    ASSERT_TRUE(SetAttributes(name, GetAttributes(name) | kFileAttributeReadOnly));
    {
        TBufferedFileWriteStream w(name, 5242880, false);
        ASSERT_EQ(w.ErrorCode, 0u);
        EXPECT_EQ(GetAttributes(name) & kFileAttributeReadOnly, 0u);
        EXPECT_EQ(w.BufferCapacity() % 512, 0u);
        w.WriteBuffer("head", 4);
        ASSERT_TRUE(w.SetPosition(9998));
        w.WriteBuffer("tail", 4); // extends the file by two bytes
        ASSERT_TRUE(w.SetPosition(100));
        ASSERT_TRUE(FillBytes(w, 'z', 3));
    } // flushed on destruction
    std::string expect(10002, 'a');
    expect.replace(0, 4, "head");
    expect.replace(9998, 4, "tail");
    expect.replace(100, 3, "zzz");
    EXPECT_EQ(ReadAll(dir.Path() / "ro.bin"), expect);
}

TEST(FileStreams, CopyFromWholeSourceAndInPiecesOfOneMebibyte) {
    TMemoryStream source;
    const std::string content = Pattern(2 * 1048576 + 123);
    source.Write(content.data(), static_cast<int64_t>(content.size()));
    source.SetPosition(777); // Count 0 rewinds and takes everything
    RecordingStream whole;
    EXPECT_EQ(whole.CopyFrom(source, 0), static_cast<int64_t>(content.size()));
    EXPECT_EQ(std::string(whole.Data().begin(), whole.Data().end()), content);
    EXPECT_EQ(whole.LargestWrite, 1048576);
    EXPECT_EQ(whole.Writes, 3);

    source.SetPosition(10);
    RecordingStream part;
    EXPECT_EQ(part.CopyFrom(source, 20), 20);
    EXPECT_EQ(std::string(part.Data().begin(), part.Data().end()), content.substr(10, 20));

    source.SetPosition(static_cast<int64_t>(content.size()) - 5);
    RecordingStream shortCopy;
    EXPECT_THROW(shortCopy.CopyFrom(source, 6), EStreamError);
}

TEST(FileStreams, FillBytesReportsShortWrites) {
    TempFolder dir;
    TBufferedFileWriteStream w(dir.Text("pad.bin"), 4096, true);
    EXPECT_TRUE(FillBytes(w, 0, 200000));
    EXPECT_EQ(w.Position(), 200000);
    TBufferedFileWriteStream bad(dir.Text("no-such-folder/x.bin"), 4096, false);
    EXPECT_NE(bad.ErrorCode, 0u);
    EXPECT_FALSE(FillBytes(bad, 0, 10));
}
