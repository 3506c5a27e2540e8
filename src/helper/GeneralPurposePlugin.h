#pragma once
// The player's interface toward its general-purpose plug-ins: the structure a plug-in's exported
// `winampGetGeneralPurposePlugin` returns, and the extended file information request. The messages a
// plug-in sends to or sees on the player's main window are in player/PlayerProtocol.h.
#include <windows.h>

#include <cstddef>

#include "player/PlayerProtocol.h"

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

// Extended file information request (wParam of player::kIpcGetExtendedFileInfoW); `retlen` in characters.
struct TExtendedFileInfoW {
    const wchar_t* filename;
    const wchar_t* metadata;
    wchar_t* ret;
    size_t retlen;
};

} // namespace mellodeck::helper
