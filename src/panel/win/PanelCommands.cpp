#include "panel/win/PanelCommands.h"

#include "common/AxSys.h"
#include "common/FileUtils.h"
#include "panel/GoogleSideBarConsts.h"
#include "panel/TagEditorContract.h"
#include "panel/win/ShellSeams.h"

namespace mellodeck::win {
namespace {

// The system's text for an error code, without the line break it ends with.
std::wstring SystemErrorText(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD length = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                              FORMAT_MESSAGE_IGNORE_INSERTS,
                                          nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text;
    if (length > 0 && buffer)
        text.assign(buffer, length);
    if (buffer)
        ::LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' '))
        text.pop_back();
    return text;
}

} // namespace

bool OpenWebPage(HWND owner, const std::wstring& address) {
    const INT_PTR result = ShellOpen(owner, address, {}, {}, SW_SHOWMAXIMIZED);
    if (result > 32)
        return true;
    const int code = static_cast<int>(result);
    ShowMessageBox(owner,
                   FormatText(SideBarString(SBrowserError), {code, SystemErrorText(static_cast<DWORD>(code))}),
                   std::wstring(), MB_OK | MB_ICONERROR);
    return false;
}

void RunInstallPrompt(HWND owner) {
    if (ShowMessageBox(owner, SideBarString(SPlayerInstallText), SideBarString(SPlayerInstallCaption),
                       MB_YESNO | MB_ICONINFORMATION) == IDYES)
        OpenWebPage(owner, kPlayerDownloadAddress);
}

bool OpenMakerSite(HWND owner) { return OpenWebPage(owner, kMakerGeneralAddress); }

TEditorCheck CheckTagEditor(const std::wstring& editorKey) {
    TEditorCheck check;
    if (!ReadRegistryText(RegistryRoot::CurrentUser, editorKey, kTagEditorExecutableValue, check.Executable) ||
        !FileExists(check.Executable))
        return check;
    check.Version = GetFileVersion(check.Executable);
    check.State = IsTagEditorVersionSufficient(check.Version) ? TEditorState::esReady : TEditorState::esTooOld;
    return check;
}

TOpenResult OpenInTagEditor(const std::wstring& executable, const std::wstring& path) {
    if (HWND editor = ::FindWindowW(kTagEditorWindowClass, nullptr)) {
        std::vector<uint8_t> block = BuildOpenRequest(path);
        COPYDATASTRUCT data{};
        data.dwData = 0;
        data.cbData = static_cast<DWORD>(block.size());
        data.lpData = block.data();
        DWORD_PTR answer = 0;
        // A hung editor must not freeze the sidebar: give up on it after a few seconds.
        const LRESULT sent = ::SendMessageTimeoutW(editor, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data),
                                                   SMTO_ABORTIFHUNG | SMTO_NORMAL, kTagEditorRequestTimeout, &answer);
        return sent != 0 ? TOpenResult::orSent : TOpenResult::orFailed;
    }
    const std::wstring parameters = L"\"" + path + L"\" /open";
    const INT_PTR result = ShellOpen(nullptr, executable, parameters, ExtractFolder(executable), SW_SHOWNORMAL);
    return result > 32 ? TOpenResult::orStarted : TOpenResult::orFailed;
}

void RunEditCommand(HWND owner, const std::wstring& fileName, const std::wstring& editorKey) {
    const TEditorCheck check = CheckTagEditor(editorKey);
    if (check.State == TEditorState::esReady) {
        OpenInTagEditor(check.Executable, fileName);
        return;
    }
    const bool old = check.State == TEditorState::esTooOld;
    const FileVersion& v = check.Version;
    const std::wstring text =
        FormatText(SideBarString(old ? SEditorOldText : SEditorMissingText),
                   {v.Major, v.Minor, v.Release, v.Build, kTagEditorMinimumVersionText});
    const std::wstring caption = SideBarString(old ? SEditorOldCaption : SEditorMissingCaption);
    if (ShowMessageBox(owner, text, caption, MB_YESNO | MB_ICONINFORMATION) == IDYES)
        OpenMakerSite(owner);
}

void RunEditCommand(HWND owner, const std::wstring& fileName) { RunEditCommand(owner, fileName, kTagEditorKey); }

} // namespace mellodeck::win
