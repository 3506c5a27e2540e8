// The real tag editor (tools/tageditor) driven through the panel's Edit command: started with "/open" when it
// does not run, reached by the open request when it does, and saving through the tag library.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "EditorTestSupport.h"
#include "TagEditorIds.h"
#include "TestPaths.h"
#include "common/FileUtils.h"
#include "common/TextConvert.h"
#include "media/core/MediaManager.h"
#include "panel/GoogleSideBarConsts.h"
#include "panel/TagEditorContract.h"
#include "panel/win/PanelCommands.h"

namespace mellodeck {
namespace {

using test::EditorFixture;

// An editor copied into a scratch folder with a configuration that logs, and a copy of a tagged track.
class TagEditorTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(test::HaveFixture("player/track1.mp3")) << "fixture missing: run tests/fixtures/make-player.sh";
        MediaLibraryStart();
        FEditor = Install(MELLODECK_TAGEDITOR, "new");
        FTrack = FFolder.Text() + L"\\track one \u00e9.mp3";
        ASSERT_TRUE(CopyFileW(test::FixtureText("player/track1.mp3").c_str(), FTrack.c_str(), FALSE));
        FFixture.RealOpen = true;
    }
    void TearDown() override { EndEditors(); }

    // Copies an editor build into its own folder with a logging configuration; returns the executable's path.
    std::wstring Install(const char* build, const std::string& name) {
        const std::filesystem::path folder = FFolder.Path() / name;
        std::filesystem::create_directories(folder);
        const std::wstring exe = FFolder.Text(name + "\\mellodeck-tageditor.exe");
        EXPECT_TRUE(CopyFileW(test::BuildTreePath(build).c_str(), exe.c_str(), FALSE));
        FLog = FFolder.Text("editor.log");
        test::WriteAll(folder / "mellodeck-tageditor.cfg", "/log " + WideToUtf8(FLog) + "\r\n");
        return exe;
    }

    std::vector<std::string> LogLines() const {
        std::vector<std::string> lines;
        std::ifstream in(FLog.c_str());
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }
    bool WaitForLog(const std::string& line, int count = 1) const {
        return test::PumpUntil([&] {
            int found = 0;
            for (const std::string& l : LogLines())
                found += l == line;
            return found >= count;
        });
    }
    static HWND EditorWindow() { return FindWindowW(kTagEditorWindowClass, nullptr); }
    static std::wstring FieldText(int index) {
        HWND field = GetDlgItem(EditorWindow(), tageditor::kFirstFieldId + index);
        wchar_t text[512] = {};
        SendMessageW(field, WM_GETTEXT, std::size(text), reinterpret_cast<LPARAM>(text));
        return text;
    }
    // Closes every editor window and waits for the processes to end.
    static void EndEditors() {
        while (HWND window = EditorWindow()) {
            DWORD pid = 0;
            GetWindowThreadProcessId(window, &pid);
            HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
            PostMessageW(window, WM_CLOSE, 0, 0);
            if (process) {
                WaitForSingleObject(process, 10000);
                CloseHandle(process);
            }
        }
    }
    // Starts the editor without a file and waits until its window exists.
    void StartIdleEditor() {
        STARTUPINFOW si{};
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi{};
        std::wstring commandLine = L"\"" + FEditor + L"\"";
        ASSERT_TRUE(CreateProcessW(FEditor.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                   &si, &pi));
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        ASSERT_TRUE(WaitForLog("ready"));
    }

    test::TempFolder FFolder;
    EditorFixture FFixture;
    std::wstring FEditor, FLog, FTrack;
};

TEST_F(TagEditorTest, WithoutARunningEditorItIsStartedWithTheFile) {
    FFixture.RegisterEditor(FEditor);
    ASSERT_EQ(EditorWindow(), nullptr);
    win::RunEditCommand(nullptr, FTrack, FFixture.EditorKey());
    EXPECT_TRUE(FFixture.Boxes.empty());
    ASSERT_EQ(FFixture.Opens.size(), 1u);
    ASSERT_TRUE(WaitForLog("opened ok " + WideToUtf8(FTrack)));
    const std::vector<std::string> lines = LogLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines[0].find(" command open " + WideToUtf8(FTrack)), std::string::npos) << lines[0];
    ASSERT_TRUE(test::PumpUntil([] { return EditorWindow() != nullptr; }));
    EXPECT_EQ(FieldText(0), L"Alpha Artist");
    EXPECT_EQ(FieldText(2), L"One");
}

TEST_F(TagEditorTest, ARunningEditorTakesTheOpenRequestAndNoSecondOneStarts) {
    FFixture.RegisterEditor(FEditor);
    StartIdleEditor();
    win::RunEditCommand(nullptr, FTrack, FFixture.EditorKey());
    EXPECT_TRUE(FFixture.Opens.empty());
    ASSERT_TRUE(WaitForLog("request open " + WideToUtf8(FTrack)));
    ASSERT_TRUE(WaitForLog("opened ok " + WideToUtf8(FTrack)));
    EXPECT_EQ(FieldText(2), L"One");

    // A second start with a file hands it to the running editor and ends.
    const std::wstring parameters = L"\"" + FTrack + L"\" /open";
    ASSERT_GT(reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", FEditor.c_str(), parameters.c_str(),
                                                      nullptr, SW_SHOWNORMAL)),
              32);
    ASSERT_TRUE(WaitForLog("forwarded"));
    EXPECT_TRUE(WaitForLog("request open " + WideToUtf8(FTrack), 2));
}

TEST_F(TagEditorTest, ASaveChangesTheFileAsTheTagLibraryReadsIt) {
    FFixture.RegisterEditor(FEditor);
    win::RunEditCommand(nullptr, FTrack, FFixture.EditorKey());
    ASSERT_TRUE(WaitForLog("opened ok " + WideToUtf8(FTrack)));
    ASSERT_TRUE(test::PumpUntil([] { return EditorWindow() != nullptr; }));
    HWND window = EditorWindow();
    const std::wstring title = L"Neuer Titel \u00e4\u266b";
    const std::wstring comment = L"Kommentar";
    SendMessageW(GetDlgItem(window, tageditor::kFirstFieldId + 2), WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>(title.c_str()));
    SendMessageW(GetDlgItem(window, tageditor::kFirstFieldId + 6), WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>(comment.c_str()));
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(tageditor::kSaveButtonId, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(window, tageditor::kSaveButtonId)));
    ASSERT_TRUE(WaitForLog("saved ok " + WideToUtf8(FTrack)));

    std::unique_ptr<TBaseMediaFormat> format = MediaManager()->CreateFormat(L".mp3", false, FTrack);
    ASSERT_TRUE(format->Open(FTrack, false, 0, false));
    EXPECT_EQ(format->Tags->Title->Value, title);
    EXPECT_EQ(format->Tags->Comment->Value, comment);
    EXPECT_EQ(format->Tags->Artist->Value, L"Alpha Artist") << "fields left alone keep their values";
    EXPECT_EQ(format->Tags->Album->Value, L"First Album");
    format->Close(0);
}

TEST_F(TagEditorTest, AnOldEditorIsNotStartedAndItsVersionIsShown) {
    const std::wstring old = Install(MELLODECK_TAGEDITOR_OLD, "old");
    FFixture.RegisterEditor(old);
    FFixture.BoxAnswers = {IDNO};
    win::RunEditCommand(nullptr, FTrack, FFixture.EditorKey());
    ASSERT_EQ(FFixture.Boxes.size(), 1u);
    EXPECT_NE(FFixture.Boxes[0].Text.find(L"Installed: 1.1.0.600,  Required: 1.2.0.540"), std::wstring::npos);
    EXPECT_TRUE(FFixture.Opens.empty());
    EXPECT_EQ(EditorWindow(), nullptr);
    EXPECT_TRUE(LogLines().empty());
}

} // namespace
} // namespace mellodeck
