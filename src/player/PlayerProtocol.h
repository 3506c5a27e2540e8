#pragma once
// The player's vocabulary as this system uses it: the main window's class, the file-type registration that
// names the executable, where the helper plug-in lives, and the numbers of the player's window messages
// (the WM_USER requests by their lParam, the WM_COMMAND ids of its buttons, the copy-data kind). The
// manager, the helper plug-in and the stand-in player all include this header; it needs no system headers.
#include <cstdint>

namespace mellodeck::player {

// The player's main window: a top-level window of this class, found without a title.
inline constexpr wchar_t kWindowClass[] = L"Winamp v1.x";
// Under HKEY_CLASSES_ROOT: the default value is the command that opens a file with the player.
inline constexpr wchar_t kCommandKey[] = L"Winamp.File\\shell\\open\\command";
// The helper plug-in's file, in the "Plugins" folder beside the player's executable.
inline constexpr wchar_t kPluginsFolder[] = L"Plugins";
inline constexpr wchar_t kHelperFileName[] = L"gen_Pelorix.dll";
// The helper's export that installs it (no arguments, 32-bit result, 0 on success).
inline constexpr char kInstallExport[] = "InstallPlugin";

// WM_USER requests: the message is WM_USER (1024), lParam names the request.
inline constexpr uint32_t kUserMessage = 1024;
inline constexpr intptr_t kIpcClearPlaylist = 101;
inline constexpr intptr_t kIpcIsPlaying = 104;     // answer: kStatus...
inline constexpr intptr_t kIpcGetOutputTime = 105; // wParam 0: position in ms; 1: length in s; -1: none
inline constexpr intptr_t kIpcJumpToTime = 106;    // wParam: position in ms
inline constexpr intptr_t kIpcGetListLength = 124;
inline constexpr intptr_t kIpcGetListPos = 125; // 0-based
inline constexpr intptr_t kIpcRestart = 135;
inline constexpr intptr_t kIpcGetPlaylistFile = 211;  // wParam index; answer: char* valid in-process
inline constexpr intptr_t kIpcGetPlaylistFileW = 214; // wParam index; answer: wchar_t* valid in-process
inline constexpr intptr_t kIpcGetShuffle = 250;       // answer 1 = on
inline constexpr intptr_t kIpcGetRepeat = 251;        // answer 1 = on
inline constexpr intptr_t kIpcSetShuffle = 252;       // wParam 0 or 1
inline constexpr intptr_t kIpcSetRepeat = 253;        // wParam 0 or 1
// Notices the player sends its own main window, for the plug-ins that watch it.
inline constexpr intptr_t kIpcCallbackMisc = 603;          // wParam: what changed
inline constexpr uintptr_t kIpcCallbackMiscTitle = 0;      //   the current title's information
inline constexpr intptr_t kIpcPlayingFile = 3003;          // wParam: char* path of the file that starts
inline constexpr intptr_t kIpcGetExtendedFileInfoW = 3026; // wParam: extended file information request
inline constexpr intptr_t kIpcPlayingFileW = 13003;        // wParam: wchar_t* path of the file that starts

// Answers to kIpcIsPlaying.
inline constexpr intptr_t kStatusStopped = 0;
inline constexpr intptr_t kStatusPlaying = 1;
inline constexpr intptr_t kStatusPaused = 3;

// WM_COMMAND ids of the player's buttons (wParam; lParam 0).
inline constexpr uintptr_t kCommandClose = 40001; // answer 0 = handled
inline constexpr uintptr_t kCommandPrevious = 40044;
inline constexpr uintptr_t kCommandPlay = 40045;
inline constexpr uintptr_t kCommandPause = 40046; // a toggle: pauses, or resumes when paused
inline constexpr uintptr_t kCommandStop = 40047;
inline constexpr uintptr_t kCommandNext = 40048;

// WM_COPYDATA kind that appends a file: the path in the system's 8-bit code page with its zero byte.
inline constexpr uintptr_t kCopyDataEnqueue = 100;

} // namespace mellodeck::player
