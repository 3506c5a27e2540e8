#pragma once
// The player's interface toward its general-purpose plug-ins: the structure a plug-in's exported
// `winampGetGeneralPurposePlugin` returns, and the messages a plug-in sends to or sees on the player's
// main window (WM_USER with these lParam values).
#include <windows.h>

#include <cstddef>

namespace mellodeck::helper {

struct TGeneralPurposePlugin {
    int version;         // kPluginInterfaceVersion
    char* description;
    int (*init)();       // 0 on success
    void (*config)();
    void (*quit)();
    HWND hwndParent;     // filled by the player: its main window
    HINSTANCE hDllInstance; // filled by the player
};
inline constexpr int kPluginInterfaceVersion = 0x10;

// Extended file information request (wParam of kIpcGetExtendedFileInfoW); `retlen` in characters.
struct TExtendedFileInfoW {
    const wchar_t* filename;
    const wchar_t* metadata;
    wchar_t* ret;
    size_t retlen;
};

inline constexpr LPARAM kIpcIsPlaying = 104;
inline constexpr LPARAM kIpcGetListPos = 125;
inline constexpr LPARAM kIpcRestart = 135;
inline constexpr LPARAM kIpcGetPlaylistFile = 211;       // wParam index; answer: char* valid in-process
inline constexpr LPARAM kIpcGetPlaylistFileW = 214;      // wParam index; answer: wchar_t*
inline constexpr LPARAM kIpcCallbackMisc = 603;          // the player announces a change (wParam: what)
inline constexpr WPARAM kIpcCallbackMiscTitle = 0;       //   the current title's information changed
inline constexpr LPARAM kIpcPlayingFile = 3003;          // wParam: char* path of the file that starts
inline constexpr LPARAM kIpcGetExtendedFileInfoW = 3026; // wParam: TExtendedFileInfoW*; answer 1 when found
inline constexpr LPARAM kIpcPlayingFileW = 13003;        // wParam: wchar_t* path of the file that starts

} // namespace mellodeck::helper
