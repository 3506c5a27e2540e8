#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "TestFormat.h"
#include "TestPaths.h"
#include "common/FileUtils.h"
#include "media/core/MediaManager.h"
#include "report/ErrorHandler.h"

using namespace mellodeck;
using mellodeck::test::ReadAll;
using mellodeck::test::TempFolder;
using mellodeck::test::TTestFormat;
using mellodeck::test::WriteAll;

namespace {

// Collects what the library hands to the message log.
struct LogCapture {
    LogCapture() {
        SetLogObserver([this](uint8_t type, const std::wstring& text) { Messages.push_back({type, text}); });
    }
    ~LogCapture() { SetLogObserver(nullptr); }
    bool Has(uint8_t type, const std::wstring& text) const {
        for (const auto& m : Messages)
            if (m.first == type && m.second == text)
                return true;
        return false;
    }
    std::vector<std::pair<uint8_t, std::wstring>> Messages;
};

class MediaFormatTest : public ::testing::Test {
protected:
    void SetUp() override {
        MediaLibraryStart();
        if (!MediaManager()->IsSupportedExtension(L".tst"))
            MediaManager()->RegisterFormat(".tst", [] { return std::make_unique<TTestFormat>(); },
                                           L"Test File", L"Mellodeck.Test.file");
    }
    TempFolder Dir;
};

} // namespace

TEST_F(MediaFormatTest, SupportedExtensionsMatchWholeTextIgnoringCase) {
    struct Row {
        const wchar_t* Ext;
        bool Supported;
    } rows[] = {{L".tst", true}, {L".TST", true}, {L".Tst", true}, {L"", false},
                {L"   ", false}, {L".ts", false}, {L".tstx", false}, {L"tst", false}};
    for (const Row& r : rows)
        EXPECT_EQ(MediaManager()->IsSupportedExtension(r.Ext), r.Supported) << WideToUtf8(r.Ext);
    EXPECT_EQ(MediaManager()->CreateFormat(L".nope", false), nullptr);
    auto f = MediaManager()->CreateFormat(L".TST", true, L"name");
    ASSERT_NE(f, nullptr);
    EXPECT_TRUE(f->Tags->Pictures->Ignore());
    EXPECT_EQ(f->FileName, L"name");
}

TEST_F(MediaFormatTest, OpenReadsCloseKeepsTagsAndIgnoreIsFrozenWhileOpen) {
    WriteAll(Dir.Path() / "a.tst", "Someone\nrest");
    TTestFormat f;
    ASSERT_TRUE(f.Open(Dir.Text("a.tst"), false, 0, false));
    EXPECT_TRUE(f.IsOpen());
    EXPECT_EQ(f.FileSize, 12);
    EXPECT_EQ(f.Tags->Artist->Value, L"Someone");
    EXPECT_FALSE(f.GetModified()) << "a fresh read is unmodified";
    EXPECT_THROW(f.Tags->Title->SetIgnore(true), EMP3MediaFormat);
    EXPECT_FALSE(f.Tags->Title->Ignore());
    EXPECT_EQ(MediaManager()->OpenFileCount(), 1u);
    f.Close(0);
    EXPECT_FALSE(f.IsOpen());
    EXPECT_EQ(MediaManager()->OpenFileCount(), 0u);
    EXPECT_EQ(f.Tags->Artist->Value, L"Someone");
    f.Tags->Title->SetIgnore(true);
    EXPECT_TRUE(f.Tags->Title->Ignore());
}

TEST_F(MediaFormatTest, InfoOnlyOpenSkipsReadingAndRefusesASecondOpen) {
    WriteAll(Dir.Path() / "i.tst", "X\n");
    TTestFormat f;
    ASSERT_TRUE(f.Open(Dir.Text("i.tst"), false, 0, true));
    EXPECT_TRUE(f.InfoOnlyOpen);
    EXPECT_EQ(f.Reads, 0);
    EXPECT_EQ(f.FileSize, 2);
    EXPECT_FALSE(f.Open(Dir.Text("i.tst"), false, 0, false));
    f.Close(0);
    EXPECT_FALSE(f.InfoOnlyOpen);
}

TEST_F(MediaFormatTest, MissingFileFailsWithTheStreamErrorAndALogMessage) {
    LogCapture log;
    TTestFormat f;
    const std::wstring name = Dir.Text("missing.tst");
    EXPECT_FALSE(f.Open(name, false, 0, false));
    EXPECT_EQ(f.LastError, 0u);
    ASSERT_NE(f.Stream, nullptr);
    EXPECT_EQ(f.Stream->ErrorCode, oserr::kFileNotFound);
    EXPECT_TRUE(log.Has(4, L"Exception while opening media file, File: \"" + name +
                               L"\", Message: \"Для выполнения операции небходимо сначала отрыть файл\""));
    EXPECT_EQ(MediaManager()->OpenFileCount(), 0u) << "the failed open gave the file back";
    f.Close(0);
}

TEST_F(MediaFormatTest, SecondObjectOnTheSameFileWaitsThenFailsWithTimeout) {
    WriteAll(Dir.Path() / "busy.tst", "A\n");
    TTestFormat first, second;
    ASSERT_TRUE(first.Open(Dir.Text("busy.tst"), false, 0, false));
    std::wstring other = Dir.Text("BUSY.TST");
#ifndef _WIN32
    other = Dir.Text("busy.tst"); // letter case only names the same file on Windows
#endif
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(second.Open(other, false, 0, false));
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(second.LastError, kErrorFileBusy);
    EXPECT_GE(waited, std::chrono::milliseconds(6500));
    second.Close(0); // must not release the first object's hold
    TTestFormat third;
    MediaManager()->AcquireRounds = 2;
    EXPECT_FALSE(third.Open(Dir.Text("busy.tst"), false, 0, false));
    MediaManager()->AcquireRounds = 70;
    first.Close(0);
    EXPECT_TRUE(second.Open(other, false, 0, false));
    EXPECT_EQ(second.Tags->Artist->Value, L"A");
}

TEST_F(MediaFormatTest, PostSavesRereadsAndCloses) {
    WriteAll(Dir.Path() / "p.tst", "Old\nbody bytes");
    TTestFormat f;
    ASSERT_TRUE(f.Open(Dir.Text("p.tst"), true, 0, false));
    f.Tags->Artist->SetValue(L"New Artist");
    EXPECT_TRUE(f.Post(0));
    EXPECT_FALSE(f.IsOpen());
    EXPECT_EQ(f.PostResult, 0);
    EXPECT_EQ(f.Reads, 2) << "re-read after saving";
    EXPECT_FALSE(f.GetModified());
    EXPECT_EQ(ReadAll(Dir.Path() / "p.tst"), "New Artist\nbody bytes");
    EXPECT_FALSE(FileExists(Dir.Text("p.tst.~temporary")));
    EXPECT_EQ(MediaManager()->OpenFileCount(), 0u);
}

TEST_F(MediaFormatTest, PostRefusesReadOnlyOpenAndClosedFormats) {
    LogCapture log;
    WriteAll(Dir.Path() / "r.tst", "Keep\n");
    TTestFormat f;
    ASSERT_TRUE(f.Open(Dir.Text("r.tst"), false, 0, false));
    f.Tags->Artist->SetValue(L"Changed");
    EXPECT_FALSE(f.Post(0));
    EXPECT_FALSE(f.IsOpen());
    EXPECT_TRUE(log.Has(4, L"Файл открыт только для чтения"));
    EXPECT_EQ(ReadAll(Dir.Path() / "r.tst"), "Keep\n");
    EXPECT_FALSE(f.Post(0));
    EXPECT_TRUE(log.Has(4, L"Для выполнения операции небходимо сначала отрыть файл"));
}

TEST_F(MediaFormatTest, BlockStoreKeepsBlobsInOrderWithinFourMebibytes) {
    TTestFormat f;
    const uint8_t a[] = {1, 2, 3};
    const uint8_t header[] = {'H', 'D'};
    ASSERT_TRUE(f.PushBlock(a, sizeof a));
    TMemoryStream src;
    src.Write("payload-rest", 12);
    src.SetPosition(0);
    ASSERT_TRUE(f.PushFrame(header, 2, 7, src));
    EXPECT_EQ(src.Position(), 7);
    size_t size;
    const uint8_t* last = f.LastBlock(size);
    ASSERT_EQ(size, 9u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(last), size), "HDpayload");
    EXPECT_EQ(f.BlocksSize(), 12u);
    TMemoryStream out;
    f.WriteBlocks(out);
    EXPECT_EQ(std::string(out.Data().begin(), out.Data().end()), std::string("\x01\x02\x03HDpayload"));
    f.PopBlock();
    EXPECT_EQ(f.BlocksSize(), 3u);

    LogCapture log;
    std::vector<uint8_t> big(TBaseMediaFormat::kBlockStoreLimit - 8, 0xAB);
    TMemoryStream bigSrc;
    bigSrc.Write(big.data(), static_cast<int64_t>(big.size()));
    bigSrc.SetPosition(0);
    EXPECT_FALSE(f.PushFrame(header, 2, big.size(), bigSrc)) << "does not fit beside the first blob";
    EXPECT_EQ(bigSrc.Position(), static_cast<int64_t>(big.size())) << "the source is left after the frame";
    EXPECT_TRUE(log.Has(4, L"PushMemStream Failed"));
    EXPECT_FALSE(f.PushBlock(big.data(), big.size() + 100));
    EXPECT_EQ(f.BlockCount(), 1u);
    f.FreeBlocks();
    EXPECT_EQ(f.BlocksSize(), 0u);
    EXPECT_TRUE(f.PushBlock(big.data(), big.size()));
}

TEST(SiblingName, ShortNamesConcatenateLongNamesGetARandomShortName) {
    const std::wstring sep(1, kPathDelimiter);
    const std::wstring dir = L"C:" + sep + std::wstring(200, L'd');
    const std::wstring longFile = dir + sep + std::wstring(42, L'f') + L".mp3"; // 250 characters
    ASSERT_EQ(longFile.size(), 250u);
    const std::wstring made = MakeSiblingFileName(longFile, L".~temporary");
    ASSERT_EQ(made.size(), dir.size() + 1 + 8 + 11);
    EXPECT_EQ(made.substr(0, dir.size() + 1), dir + sep);
    for (size_t i = dir.size() + 1; i < dir.size() + 9; ++i)
        EXPECT_TRUE(std::wstring(L"0123456789ABCDEF").find(made[i]) != std::wstring::npos);
    EXPECT_EQ(made.substr(made.size() - 11), L".~temporary");

    const std::wstring shortPart = std::wstring(230, L'd') + sep + std::wstring(19, L'f'); // 250, name of 19
    EXPECT_EQ(MakeSiblingFileName(shortPart, L".~temporary"), shortPart + L".~temporary");
    EXPECT_EQ(MakeSiblingFileName(L"x.mp3", L".~original"), L"x.mp3.~original");
}

TEST(FileHelpers, DeleteLoggedClearsProtectionAndRenameRefusesToReplace) {
    TempFolder dir;
    WriteAll(dir.Path() / "a", "1");
    WriteAll(dir.Path() / "b", "2");
    const std::wstring a = dir.Text("a"), b = dir.Text("b");
    EXPECT_FALSE(RenameFile(a, b));
    ASSERT_TRUE(SetAttributes(a, GetAttributes(a) | kFileAttributeReadOnly));
    EXPECT_TRUE(DeleteFileLogged(a));
    EXPECT_FALSE(FileExists(a));
    EXPECT_FALSE(DeleteFileLogged(a)) << "missing file";
    EXPECT_TRUE(RenameFile(b, a));
    EXPECT_EQ(ReadAll(dir.Path() / "a"), "2");
}
