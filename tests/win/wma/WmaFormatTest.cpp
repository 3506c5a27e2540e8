// The WMA and ASF formats through the stand-in Windows Media runtime: reading files made by ffmpeg and
// tagged by mutagen, saving, and the four behaviours where this library departs from a literal reading of
// the runtime's contract (the picture record's native layout, no flush on a read or a failed save,
// pictures written only when changed, a refused open that releases the editor and keeps the error).
#include <gtest/gtest.h>

#include <windows.h>

#include <nserror.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <sstream>

#include "TestPaths.h"
#include "common/TextConvert.h"
#include "media/asf/ASFHeader.h"
#include "media/asf/ASFPicture.h"
#include "media/core/MediaManager.h"
#include "media/win/WMAMediaFormat.h"

namespace mellodeck::test {
namespace {

class WmaTest : public ::testing::Test {
protected:
    void SetUp() override {
        MediaLibraryStart();
        ASSERT_TRUE(WMAvailable) << "the stand-in wmvcore.dll must lie beside the test";
        Log = Folder.Text("runtime.log");
        SetEnvironmentVariableW(L"MELLODECK_WMVCORE_LOG", Log.c_str());
    }
    void TearDown() override {
        for (const wchar_t* name : {L"MELLODECK_WMVCORE_LOG", L"MELLODECK_WMVCORE_REFUSE", L"MELLODECK_WMVCORE_BASIC"})
            SetEnvironmentVariableW(name, nullptr);
    }
    // A copy of a fixture in the scratch folder (under the given name).
    std::wstring Copy(const std::string& fixture, const std::string& as = "") {
        EXPECT_TRUE(HaveFixture("wma/" + fixture)) << "run tests/fixtures/make-wma.sh";
        const std::string name = as.empty() ? fixture : as;
        std::filesystem::remove(Folder.Path() / name); // overwrite_existing fails with this runtime's library
        std::filesystem::copy_file(FixturePath("wma/" + fixture), Folder.Path() / name);
        return Folder.Text(name);
    }
    std::unique_ptr<TBaseMediaFormat> Read(const std::wstring& path, bool forWriting = false) {
        const std::wstring extension = path.substr(path.rfind(L'.'));
        auto format = MediaManager()->CreateFormat(extension, false, path);
        EXPECT_NE(format, nullptr);
        if (format) {
            EXPECT_TRUE(format->Open(path, forWriting, 0, false)) << "LastError " << std::hex << format->LastError;
        }
        return format;
    }
    std::vector<std::string> LogLines() {
        std::vector<std::string> lines;
        std::istringstream in(ReadAll(Folder.Path() / "runtime.log"));
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }
    bool Logged(const std::string& prefix) {
        const auto lines = LogLines();
        return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
    }
    void ClearLog() { std::filesystem::remove(Folder.Path() / "runtime.log"); }

    // With MELLODECK_WMA_SAVES set (check-saves.sh), a saved file goes there with what a reader must find
    // in it: the fixture it came from, the attributes the save changed, lines mutagen must print, and
    // how many values a name must have.
    void Export(const std::string& name, const std::wstring& saved, const std::string& fixture,
                const std::vector<std::string>& changed, const std::vector<std::string>& lines,
                const std::vector<std::pair<std::string, int>>& counts) {
        wchar_t folder[1024];
        const DWORD n = GetEnvironmentVariableW(L"MELLODECK_WMA_SAVES", folder, 1024);
        if (n == 0 || n >= 1024)
            return;
        std::string target = "Z:" + WideToUtf8(std::wstring(folder, n));
        std::replace(target.begin(), target.end(), '/', '\\');
        std::filesystem::create_directories(target);
        std::filesystem::remove(std::filesystem::path(target) / (name + ".wma"));
        std::filesystem::copy_file(saved, std::filesystem::path(target) / (name + ".wma"));
        std::ofstream out(std::filesystem::path(target) / (name + ".expect"), std::ios::binary);
        out << "fixture\t" << fixture << "\n";
        for (const auto& c : changed)
            out << "changed\t" << c << "\n";
        for (const auto& l : lines)
            out << "line\t" << l << "\n";
        for (const auto& [attribute, count] : counts)
            out << "count\t" << attribute << "\t" << count << "\n";
    }

    TempFolder Folder;
    std::wstring Log;
};

asf::TASFFile Header(const std::wstring& path) {
    asf::TASFFile file;
    EXPECT_TRUE(file.Load(path)) << file.Error;
    return file;
}

// Every attribute but the named ones, as read by our own reader: name, stream, type, value.
std::vector<std::string> Others(const asf::TASFFile& file, const std::vector<std::u16string>& changed) {
    std::vector<std::string> out;
    for (const auto& a : file.Attributes)
        if (std::find(changed.begin(), changed.end(), a.Name) == changed.end())
            out.push_back(WideToUtf8(std::wstring(a.Name.begin(), a.Name.end())) + "/" + std::to_string(a.Stream) +
                          "/" + std::to_string(a.Type) + "/" + std::string(a.Value.begin(), a.Value.end()));
    std::sort(out.begin(), out.end());
    return out;
}

TEST_F(WmaTest, RegisteredAfterMpeg4WhereTheRuntimeLoads) {
    std::vector<std::string> extensions;
    for (int i = 0; i < MediaManager()->FormatCount(); ++i)
        extensions.push_back(MediaManager()->Extensions(i));
    const auto m4p = std::find(extensions.begin(), extensions.end(), ".m4p");
    ASSERT_NE(m4p, extensions.end());
    EXPECT_EQ(std::vector<std::string>(m4p + 1, extensions.end()), (std::vector<std::string>{".wma", ".asf", ".wmv"}));
    EXPECT_STREQ(MediaManager()->CreateFormat(L".ASF", false)->ClassName(), "TASFMediaFormat");
    EXPECT_STREQ(MediaManager()->CreateFormat(L".wmv", false)->ClassName(), "TWMAMediaFormat");
}

TEST_F(WmaTest, ReadsTheAttributesAsTheSlotsShowThem) {
    auto f = Read(Copy("tagged.wma"));
    ASSERT_TRUE(f && f->IsOpen());
    const TCommonMediaTags& t = *f->Tags;
    EXPECT_EQ(t.Title->Value, L"Nachtzug \u00fcber Br\u00fccken"); // trailing spaces trimmed
    EXPECT_EQ(t.Artist->Value, L"The Fixture Band");
    EXPECT_EQ(t.Track->Value, L"7"); // a DWORD
    EXPECT_TRUE(t.Track->Exists);
    EXPECT_EQ(t.BPM->Value, L"120");
    EXPECT_EQ(t.Comment->Value, L"A comment\r\nover two lines");
    EXPECT_EQ(t.Compilation->Value, L""); // a BOOL is not text
    EXPECT_FALSE(t.Compilation->Exists);
    EXPECT_FALSE(t.Mood->Exists);
    EXPECT_FALSE(f->GetModified());
    EXPECT_FALSE(f->IsTagEmpty());
    EXPECT_EQ(f->Duration, 3);
    EXPECT_EQ(f->Bitrate, 128);
    EXPECT_FALSE(f->IsVBR);
    EXPECT_EQ(f->SampleRate, 0);
    ASSERT_EQ(t.Pictures->Count(), 1);
    EXPECT_TRUE(t.Pictures->Exists);
    const TPictureItem& cover = *t.Pictures->Item(0);
    EXPECT_TRUE(cover.Decoded);
    EXPECT_EQ(cover.Bitmap->Width(), 40);
    EXPECT_EQ(cover.Bitmap->Height(), 30);
    EXPECT_EQ(cover.Description, "Front");
    EXPECT_EQ(std::string(cover.Data.begin(), cover.Data.end()), ReadAll(FixturePath("wma/cover.jpg")));

    struct Case {
        const char* Fixture;
        const wchar_t* Track;
        int64_t Duration;
        int32_t Bitrate;
        int Pictures;
        bool PicturesExist;
    } cases[] = {
        {"track-text.wma", L"7/12", 3, 128, 0, false},
        {"duration.wma", L"7", 234, 127, 1, true},     // 2345678901 units; 127999 bit/s
        {"bitrate128.wma", L"7/12", 3, 128, 0, false}, // 128000 bit/s
        {"png-picture.wma", L"", 3, 128, 0, false},    // a PNG is not taken
        {"caps-picture.wma", L"", 3, 128, 1, true},    // IMAGE/JPEG is
        {"covers3.wma", L"", 3, 128, 2, true},         // the two JPEGs of three
        {"plain.wma", L"", 3, 128, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Fixture);
        auto g = Read(Copy(c.Fixture));
        ASSERT_TRUE(g && g->IsOpen());
        EXPECT_EQ(g->Tags->Track->Value, c.Track);
        EXPECT_EQ(g->Duration, c.Duration);
        EXPECT_EQ(g->Bitrate, c.Bitrate);
        EXPECT_EQ(g->Tags->Pictures->Count(), c.Pictures);
        EXPECT_EQ(g->Tags->Pictures->Exists, c.PicturesExist);
    }
    auto plain = Read(Copy("plain.wma"));
    EXPECT_TRUE(plain->IsTagEmpty());
}

// The runtime hands out the picture record packed with native pointers (29 bytes here); read through the
// 32-bit calls, a cover over 64 KB shows. The basic interface's 16-bit lengths cannot carry it.
TEST_F(WmaTest, PictureRecordOfThisBuildAndCoversOver64KB) {
    static_assert(sizeof(void*) != 8 || sizeof(asf::TWMPictureRecord) == 29, "64-bit record");
    auto f = Read(Copy("bigcover.wma"));
    ASSERT_EQ(f->Tags->Pictures->Count(), 1);
    const TPictureItem& cover = *f->Tags->Pictures->Item(0);
    EXPECT_TRUE(cover.Decoded);
    EXPECT_EQ(cover.Bitmap->Width(), 400);
    EXPECT_EQ(cover.Bitmap->Height(), 300);
    EXPECT_EQ(std::string(cover.Data.begin(), cover.Data.end()), ReadAll(FixturePath("wma/big.jpg")));

    SetEnvironmentVariableW(L"MELLODECK_WMVCORE_BASIC", L"1");
    auto basic = Read(Copy("bigcover.wma", "basic.wma"));
    EXPECT_EQ(basic->Tags->Title->Value, L"Nachtzug \u00fcber Br\u00fccken");
    EXPECT_EQ(basic->Tags->Pictures->Count(), 0);
    auto first = Read(Copy("covers3.wma", "first.wma"));
    ASSERT_EQ(first->Tags->Pictures->Count(), 1) << "the basic interface reaches a name's first value only";
    EXPECT_EQ(first->Tags->Pictures->Item(0)->Description, "Front");
}

TEST_F(WmaTest, ReadingNeverFlushesAndTheOwnDestructorCloses) {
    const std::wstring path = Copy("tagged.wma");
    const std::string before = ReadAll(path);
    {
        auto f = Read(path);
        ASSERT_TRUE(f->IsOpen());
        f->Close(0);
        EXPECT_FALSE(f->IsOpen());
    }
    EXPECT_TRUE(Logged("OpenEx ")) << "a read shares the file";
    EXPECT_TRUE(Logged("Close"));
    EXPECT_FALSE(Logged("Flush"));
    ClearLog();
    {
        auto f = Read(path, true);
        ASSERT_TRUE(f->IsOpen()); // dropped open: the format's own destructor closes the editor
    }
    EXPECT_TRUE(Logged("Close"));
    EXPECT_FALSE(Logged("Flush"));
    ClearLog();
    // A writing open saved without changes writes nothing.
    auto f = Read(path, true);
    EXPECT_TRUE(f->Post(0));
    EXPECT_FALSE(Logged("Flush"));
    EXPECT_EQ(ReadAll(path), before);
}

TEST_F(WmaTest, ARefusedOpenReleasesTheEditorAndKeepsTheRuntimesError) {
    WriteAll(Folder.Path() / "text.wma", "not a Windows Media file at all, just text");
    struct Case {
        const char* Name;
        std::wstring Path;
        uint32_t Error;
    } cases[] = {
        {"not ASF", Folder.Text("text.wma"), static_cast<uint32_t>(NS_E_INVALID_INPUT_FORMAT)},
        {"missing", Folder.Text("missing.wma"), static_cast<uint32_t>(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TWMAMediaFormat f;
        EXPECT_FALSE(f.Open(c.Path, false, 0, false));
        EXPECT_FALSE(f.IsOpen());
        EXPECT_FALSE(f.Editor);
        EXPECT_EQ(f.LastError, c.Error);
    }
    // The runtime gone: no editor at all.
    ReleaseWindowsMedia();
    TWMAMediaFormat f;
    EXPECT_FALSE(f.Open(Copy("tagged.wma"), false, 0, false));
    EXPECT_EQ(f.LastError, kErrorWMANoEditor);
    EXPECT_TRUE(LoadWindowsMedia());
}

TEST_F(WmaTest, AFailedSaveCommitsNothing) {
    const std::wstring path = Copy("tagged.wma");
    const std::string before = ReadAll(path);
    auto f = Read(path, true);
    f->Tags->Title->SetValue(L"Half done");
    f->Tags->Genre->SetValue(L"Refused");
    SetEnvironmentVariableW(L"MELLODECK_WMVCORE_REFUSE", L"WM/Genre");
    EXPECT_FALSE(f->Post(0));
    EXPECT_EQ(f->LastError, kErrorWMARefused);
    EXPECT_TRUE(Logged("SetAttribute Title"));
    EXPECT_FALSE(Logged("Flush"));
    EXPECT_EQ(ReadAll(path), before);
}

TEST_F(WmaTest, SaveWritesOnlyWhatChangedAndLeavesPicturesAlone) {
    const std::wstring path = Copy("covers3.wma");
    const asf::TASFFile before = Header(path);
    auto f = Read(path, true);
    f->Tags->Title->SetValue(L""); // an emptied title clears the attribute
    f->Tags->Album->SetValue(L"New Album");
    ASSERT_TRUE(f->Post(0)) << std::hex << f->LastError;
    EXPECT_TRUE(Logged("Flush changes"));
    EXPECT_FALSE(Logged("SetAttribute WM/Picture"));
    EXPECT_FALSE(Logged("DeleteAttribute WM/Picture"));
    const asf::TASFFile after = Header(path);
    EXPECT_LT(after.Find(u"Title", 0), 0);
    EXPECT_EQ(Others(after, {u"Title", u"WM/AlbumTitle"}), Others(before, {u"Title", u"WM/AlbumTitle"}))
        << "every other attribute, the PNG picture among them, as it was";
    EXPECT_EQ(f->Tags->Album->Value, L"New Album") << "Post re-reads the saved file";
    EXPECT_FALSE(f->Tags->Title->Exists);
    Export("emptied-title", path, "covers3.wma", {"Title", "WM/AlbumTitle"}, {"WM/AlbumTitle\tUnicode\t'New Album'"},
           {{"Title", 0}, {"WM/Picture", 3}});
}

TEST_F(WmaTest, SaveWithoutPicturesClearsThem) {
    const std::wstring path = Copy("tagged.wma");
    const asf::TASFFile before = Header(path);
    auto f = Read(path, true);
    f->Tags->Pictures->Clear(); // removing the items is change enough
    ASSERT_TRUE(f->Post(0)) << std::hex << f->LastError;
    const asf::TASFFile after = Header(path);
    EXPECT_LT(after.Find(u"WM/Picture", 0), 0);
    EXPECT_EQ(Others(after, {u"WM/Picture"}), Others(before, {u"WM/Picture"}));
    EXPECT_EQ(f->Tags->Pictures->Count(), 0);
    Export("no-pictures", path, "tagged.wma", {"WM/Picture"}, {}, {{"WM/Picture", 0}});
}

TEST_F(WmaTest, SeveralPicturesSavedAndTheUnreadOnesKept) {
    const std::wstring path = Copy("covers3.wma");
    const asf::TASFFile before = Header(path);
    auto f = Read(path, true);
    ASSERT_EQ(f->Tags->Pictures->Count(), 2);
    // Drop the second JPEG, keep the first as read, add two drawn pictures (one over 64 KB once encoded).
    f->Tags->Pictures->Remove(f->Tags->Pictures->Item(1));
    for (int size : {16, 700}) {
        std::vector<uint8_t> noise(static_cast<size_t>(size) * size * 4);
        uint32_t state = 12345;
        for (size_t i = 0; i < noise.size(); ++i) {
            state = state * 1103515245u + 12345u;
            noise[i] = i % 4 == 3 ? 0xFF : static_cast<uint8_t>(state >> 16);
        }
        f->Tags->Pictures->Add()->RecreateBitmap(size, size).Assign(size, size, std::move(noise));
    }
    ASSERT_TRUE(f->Post(0)) << std::hex << f->LastError;
    const asf::TASFFile after = Header(path);
    EXPECT_EQ(Others(after, {u"WM/Picture"}), Others(before, {u"WM/Picture"}));
    std::vector<std::u16string> mimes;
    for (int i : after.FindAll(u"WM/Picture", 0)) {
        asf::TASFPicture p;
        const auto& value = after.Attributes[static_cast<size_t>(i)].Value;
        ASSERT_TRUE(asf::ParseStoredPicture(value.data(), value.size(), p));
        mimes.push_back(p.MIMEType);
    }
    // The kept JPEG as it was, the two new ones, then the PNG this library does not show.
    EXPECT_EQ(mimes, (std::vector<std::u16string>{u"image/jpeg", u"image/jpg", u"image/jpg", u"image/png"}));
    ASSERT_EQ(f->Tags->Pictures->Count(), 3);
    EXPECT_EQ(f->Tags->Pictures->Item(2)->Bitmap->Width(), 700);
    Export("several-pictures", path, "covers3.wma", {"WM/Picture"},
           {"WM/Picture\tByteArray\tpicture type=3 mime=image/jpeg desc=Front bytes=366 "
            "sha1=e2a991eef550609e0792f1634e6f98baafa22d3b",
            "WM/Picture\tByteArray\tpicture type=4 mime=image/png desc=Back bytes=84 "
            "sha1=00250ed3c42462c11055b2c6c028cce1b50d0f19"},
           {{"WM/Picture", 4}});
}

} // namespace
} // namespace mellodeck::test
