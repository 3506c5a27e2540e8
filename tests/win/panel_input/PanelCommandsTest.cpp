#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "EditorTestSupport.h"
#include "common/FileUtils.h"
#include "panel/GoogleSideBarConsts.h"
#include "panel/TagEditorContract.h"
#include "panel/win/PanelCommands.h"

namespace mellodeck {
namespace {

using test::EditorFixture;

// A window of the editor's class on a thread of its own, recording the open requests it receives. A hung
// one stops taking messages once it exists.
class FakeEditorWindow {
public:
    explicit FakeEditorWindow(bool hung) : FHung(hung) {
        FRelease = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        FThread = std::thread([this, ready] { Run(ready); });
        WaitForSingleObject(ready, 10000);
        CloseHandle(ready);
    }
    ~FakeEditorWindow() {
        SetEvent(FRelease);
        if (FWindow)
            PostMessageW(FWindow, WM_CLOSE, 0, 0);
        FThread.join();
        CloseHandle(FRelease);
    }
    std::vector<std::wstring> Paths;
    std::vector<WPARAM> WParams;
    std::atomic<int> Requests{0};

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<FakeEditorWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (message == WM_COPYDATA && self) {
            const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
            std::string command;
            std::wstring path;
            if (data->dwData == 0 &&
                ParseOpenRequest(static_cast<const uint8_t*>(data->lpData), data->cbData, command, path) &&
                command == "/open" && data->cbData == 107 + path.size() * 2)
                self->Paths.push_back(path);
            self->WParams.push_back(wParam);
            ++self->Requests;
            return TRUE;
        }
        if (message == WM_CLOSE) {
            DestroyWindow(window);
            PostQuitMessage(0);
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }
    void Run(HANDLE ready) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kTagEditorWindowClass;
        RegisterClassW(&wc);
        FWindow = CreateWindowExW(0, kTagEditorWindowClass, L"fake editor", WS_OVERLAPPED, 0, 0, 50, 50, nullptr,
                                  nullptr, wc.hInstance, nullptr);
        SetWindowLongPtrW(FWindow, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        SetEvent(ready);
        if (FHung)
            WaitForSingleObject(FRelease, 60000);
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0)
            DispatchMessageW(&msg);
        UnregisterClassW(kTagEditorWindowClass, wc.hInstance);
    }

    bool FHung;
    HANDLE FRelease = nullptr;
    HWND FWindow = nullptr;
    std::thread FThread;
};

std::wstring EditorWithVersion(const char* path) { return test::BuildTreePath(path); }

TEST(PanelCommands, InstallPromptOpensTheDownloadPageMaximisedOnYes) {
    EditorFixture f;
    f.BoxAnswers = {IDNO, IDYES};
    win::RunInstallPrompt(nullptr);
    ASSERT_EQ(f.Boxes.size(), 1u);
    EXPECT_EQ(f.Boxes[0].Text, SideBarString(SPlayerInstallText));
    EXPECT_EQ(f.Boxes[0].Caption, SideBarString(SPlayerInstallCaption));
    EXPECT_EQ(f.Boxes[0].Type, static_cast<UINT>(MB_YESNO | MB_ICONINFORMATION));
    EXPECT_TRUE(f.Opens.empty()) << "No opens nothing";

    win::RunInstallPrompt(nullptr);
    ASSERT_EQ(f.Opens.size(), 1u);
    EXPECT_EQ(f.Opens[0].File, win::kPlayerDownloadAddress);
    EXPECT_EQ(f.Opens[0].Show, SW_SHOWMAXIMIZED);
    EXPECT_EQ(f.Boxes.size(), 2u) << "a started browser shows no error";
}

TEST(PanelCommands, ABrowserThatCannotStartIsReportedWithTheCodeAndTheSystemsText) {
    EditorFixture f;
    f.OpenAnswer = ERROR_FILE_NOT_FOUND;
    f.BoxAnswers = {IDYES, IDOK};
    win::RunInstallPrompt(nullptr);
    ASSERT_EQ(f.Boxes.size(), 2u);
    const test::TBoxCall& error = f.Boxes[1];
    EXPECT_EQ(error.Type, static_cast<UINT>(MB_OK | MB_ICONERROR));
    const std::wstring& text = error.Text;
    EXPECT_EQ(text.rfind(L"Error #: 2\r\n", 0), 0u) << std::string(text.begin(), text.end());
    EXPECT_NE(text.find(L"\r\n\r\nCould not run default browser."), std::wstring::npos);
    const std::wstring systemText = text.substr(12, text.find(L"\r\n\r\n") - 12);
    EXPECT_FALSE(systemText.empty());
    EXPECT_EQ(systemText.find(L'\n'), std::wstring::npos) << "the system's text without its line break";

    f.OpenAnswer = 0; // out of resources
    EXPECT_FALSE(win::OpenMakerSite(nullptr));
    ASSERT_EQ(f.Opens.size(), 2u);
    EXPECT_EQ(f.Opens[1].File, win::kMakerGeneralAddress);
    EXPECT_NE(f.Opens[1].File.find(L"?from=mellodeck&ch=general"), std::wstring::npos);
    ASSERT_EQ(f.Boxes.size(), 3u);
    EXPECT_EQ(f.Boxes[2].Text.rfind(L"Error #: 0\r\n", 0), 0u);
    f.OpenAnswer = 33;
    EXPECT_TRUE(win::OpenMakerSite(nullptr));
    EXPECT_EQ(f.Boxes.size(), 3u);
}

// The four numbers in order against 1.2.0.540: a newer major with a smaller build passes, an older minor with a
// larger build does not.
TEST(PanelCommands, EditorVersionsDecideBetweenOpeningAndTheOldEditorBox) {
    const struct {
        const char* Library;
        FileVersion Version;
        bool Passes;
    } cases[] = {
        {MELLODECK_EDITOR_1_2_0_540, {1, 2, 0, 540}, true},
        {MELLODECK_EDITOR_2_0_0_100, {2, 0, 0, 100}, true},
        {MELLODECK_EDITOR_1_2_0_539, {1, 2, 0, 539}, false},
        {MELLODECK_EDITOR_1_1_0_600, {1, 1, 0, 600}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Library);
        EditorFixture f;
        const std::wstring editor = EditorWithVersion(c.Library);
        f.RegisterEditor(editor);
        const win::TEditorCheck check = win::CheckTagEditor(f.EditorKey());
        EXPECT_EQ(check.Version, c.Version);
        EXPECT_EQ(check.Executable, editor);
        win::RunEditCommand(nullptr, L"C:\\Music\\song one.mp3", f.EditorKey());
        if (c.Passes) {
            EXPECT_TRUE(f.Boxes.empty());
            ASSERT_EQ(f.Opens.size(), 1u) << "no editor runs: it is started";
            EXPECT_EQ(f.Opens[0].File, editor);
            EXPECT_EQ(f.Opens[0].Parameters, L"\"C:\\Music\\song one.mp3\" /open");
            EXPECT_EQ(f.Opens[0].Folder, ExtractFolder(editor));
            EXPECT_NE(f.Opens[0].Folder.back(), L'\\');
            EXPECT_EQ(f.Opens[0].Show, SW_SHOWNORMAL);
            continue;
        }
        ASSERT_EQ(f.Boxes.size(), 1u);
        EXPECT_EQ(f.Boxes[0].Caption, SideBarString(SEditorOldCaption));
        EXPECT_EQ(f.Boxes[0].Type, static_cast<UINT>(MB_YESNO | MB_ICONINFORMATION));
        const std::wstring shown = FormatFileVersion(c.Version) + L",  Required: 1.2.0.540";
        EXPECT_NE(f.Boxes[0].Text.find(shown), std::wstring::npos);
        EXPECT_EQ(f.Boxes[0].Text, FormatText(SideBarString(SEditorOldText),
                                              {c.Version.Major, c.Version.Minor, c.Version.Release,
                                               c.Version.Build, L"1.2.0.540"}));
        EXPECT_TRUE(f.Opens.empty()) << "No: nothing opened";
        f.BoxAnswers = {IDYES};
        f.Boxes.clear();
        win::RunEditCommand(nullptr, L"C:\\a.mp3", f.EditorKey());
        ASSERT_EQ(f.Opens.size(), 1u);
        EXPECT_EQ(f.Opens[0].File, win::kMakerGeneralAddress);
    }
}

TEST(PanelCommands, AMissingOrUnreadableRegistrationOrANonexistentFileIsAMissingEditor) {
    const std::wstring ready = EditorWithVersion(MELLODECK_EDITOR_1_2_0_540);
    const struct {
        const wchar_t* What;
        std::wstring Path;
        DWORD Type;
    } cases[] = {
        {L"no value", L"", 0},
        {L"another value type", ready, REG_EXPAND_SZ},
        {L"empty text", L"", REG_SZ},
        {L"a path to no file", ready + L".gone", REG_SZ},
        {L"a folder", ExtractFolder(ready), REG_SZ},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.What, c.What + std::wcslen(c.What)));
        EditorFixture f;
        if (c.Type != 0)
            f.RegisterEditor(c.Path, c.Type);
        f.BoxAnswers = {IDYES};
        win::RunEditCommand(nullptr, L"C:\\a.mp3", f.EditorKey());
        ASSERT_EQ(f.Boxes.size(), 1u);
        EXPECT_EQ(f.Boxes[0].Text, SideBarString(SEditorMissingText));
        EXPECT_EQ(f.Boxes[0].Caption, SideBarString(SEditorMissingCaption));
        ASSERT_EQ(f.Opens.size(), 1u);
        EXPECT_EQ(f.Opens[0].File, win::kMakerGeneralAddress);
    }
}

TEST(PanelCommands, ARunningEditorReceivesTheOpenRequest) {
    EditorFixture f;
    f.RegisterEditor(EditorWithVersion(MELLODECK_EDITOR_2_0_0_100));
    FakeEditorWindow editor(false);
    const std::wstring file = L"C:\\Music\\\u00c9t\u00e9 \u266b.flac";
    win::RunEditCommand(nullptr, file, f.EditorKey());
    win::RunEditCommand(nullptr, L"", f.EditorKey());
    EXPECT_TRUE(f.Opens.empty()) << "nothing started while the editor runs";
    EXPECT_TRUE(f.Boxes.empty());
    ASSERT_EQ(editor.Requests.load(), 2);
    EXPECT_EQ(editor.Paths, (std::vector<std::wstring>{file, L""}));
    EXPECT_EQ(editor.WParams, (std::vector<WPARAM>{0, 0}));
}

TEST(PanelCommands, AHungEditorIsGivenUpOnAfterAFewSeconds) {
    EditorFixture f;
    FakeEditorWindow editor(true);
    const DWORD start = GetTickCount();
    EXPECT_EQ(win::OpenInTagEditor(L"C:\\editor.exe", L"C:\\a.mp3"), win::TOpenResult::orFailed);
    const DWORD waited = GetTickCount() - start;
    EXPECT_LT(waited, kTagEditorRequestTimeout + 5000);
    EXPECT_TRUE(f.Opens.empty()) << "no second editor is started beside a hung one";
}

} // namespace
} // namespace mellodeck
