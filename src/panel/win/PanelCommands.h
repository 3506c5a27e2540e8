#pragma once
// The two commands that leave the panel: the Install text button (the player vendor's download page) and the
// Edit button (the maker's tag editor, or the maker's site when the editor is missing or too old). Message
// boxes and the shell's "open" go through ShellSeams.h.
#include <windows.h>

#include <string>

#include "common/AxVersionInfo.h"

namespace mellodeck::win {

// Our own web addresses (the maker's page carries the query the site expects).
inline constexpr wchar_t kPlayerDownloadAddress[] = L"https://player.mellodeck.example/download/";
inline constexpr wchar_t kMakerGeneralAddress[] = L"https://www.marquill.example/?from=mellodeck&ch=general";

// Opens a web page maximised with the shell's "open"; when the shell answers 32 or less, shows the browser
// error box (SBrowserError with the code and the system's text for it). False on that failure.
bool OpenWebPage(HWND owner, const std::wstring& address);
// Asks whether to visit the player vendor's page (SPlayerInstallText, Yes/No); on Yes opens it.
void RunInstallPrompt(HWND owner);
// The maker's general page.
bool OpenMakerSite(HWND owner);

enum class TEditorState { esMissing, esTooOld, esReady };
struct TEditorCheck {
    TEditorState State = TEditorState::esMissing;
    std::wstring Executable; // the registered path (may be empty)
    FileVersion Version;     // zeros unless the file exists
};
// Reads HKCU\<editorKey> "Executable"; a missing or unreadable value or a path to no file is a missing editor.
TEditorCheck CheckTagEditor(const std::wstring& editorKey);

// How the file reached the editor.
enum class TOpenResult { orSent, orStarted, orFailed };
// Sends the open request to the running editor's window (given up after kTagEditorRequestTimeout on a hung
// editor), else starts `executable` with "\"<path>\" /open" in its own folder, shown normal.
TOpenResult OpenInTagEditor(const std::wstring& executable, const std::wstring& path);

// The Edit button: the editor when it is there and new enough, else the old or missing box whose Yes opens
// the maker's site. `editorKey` is where the editor is registered (tests pass a scratch key).
void RunEditCommand(HWND owner, const std::wstring& fileName, const std::wstring& editorKey);
void RunEditCommand(HWND owner, const std::wstring& fileName);

} // namespace mellodeck::win
