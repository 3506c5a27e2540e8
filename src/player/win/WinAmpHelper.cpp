// The manager's side of the helper plug-in: connecting to its events and shared block, installing it when
// it does not answer, and the two private messages it answers on the player's window.
#include <exception>

#include "common/AxSys.h"
#include "common/FileUtils.h"
#include "common/TextConvert.h"
#include "player/HelperProtocol.h"
#include "player/PlayerCommandLine.h"
#include "player/win/ContainedCall.h"
#include "player/win/WinAmpManager.h"

namespace mellodeck {

bool TWinAmpManager::HelperPluginPresent() {
    std::wstring path;
    GetPlayerPath(path);
    return FileExists(HelperPluginPath(path));
}

void TWinAmpManager::OpenHelperEvents() {
    HelperFileEvent.Reset(OpenEventW(SYNCHRONIZE, FALSE, helper::kFileEventName));
    HelperTagsEvent.Reset(OpenEventW(SYNCHRONIZE, FALSE, helper::kTagsEventName));
}

DWORD TWinAmpManager::PlayerWindowProcess() {
    HWND window = FindPlayerWindow();
    DWORD processId = 0;
    if (window)
        GetWindowThreadProcessId(window, &processId);
    return processId;
}

bool TWinAmpManager::InstallRanFor(DWORD processId) {
    if (!FInstallRan)
        return false;
    if (processId == FInstallTarget || (FInstallSuccessor != 0 && processId == FInstallSuccessor))
        return true;
    if (FAwaitInstallRestart && processId != 0) {
        // The first other player process after an install that restarted the player is that restart's.
        FAwaitInstallRestart = false;
        FInstallSuccessor = processId;
        return true;
    }
    return false;
}

void TWinAmpManager::ConnectHelper() {
    // A connection lives only while the manager works: one made now would outlive deactivation.
    if (!FActive)
        return;
    if (HelperFileEvent && HelperTagsEvent)
        return;
    OpenHelperEvents();
    if ((Launching || State.Contains(csLanched)) && !HelperFileEvent) {
        // The player may still be loading its plug-ins.
        int waited = 0;
        while (!HelperFileEvent && HelperPluginPresent() && waited < 5000) {
            waited += 200;
            Sleep(200);
            OpenHelperEvents();
        }
    }
    if (HelperFileEvent) {
        HelperError = 0;
    } else if (InstallRanFor(PlayerWindowProcess())) {
        // Installing again would only restart the player again, for ever: the helper cannot come up in
        // this player (it refuses it, or it is built for the other bitness). Go on without it.
        HelperError = kHelperInstallFailed;
    } else {
        InstallHelper();
    }
    MapHelperBlock();
}

void TWinAmpManager::InstallHelper() {
    win::ModuleHandle library = win::ModuleHandle::Load(player::kHelperFileName);
    if (!library)
        library = win::ModuleHandle::Load(WithTrailingBackslash(ExtractFolder(ModuleFileName(false))) +
                                          player::kHelperFileName);
    if (!library) {
        HelperError = kHelperNotLoaded;
        return;
    }
    using TInstallPlugin = int32_t (*)();
    auto install = reinterpret_cast<TInstallPlugin>(
        reinterpret_cast<void*>(GetProcAddress(library.Get(), player::kInstallExport)));
    if (!install) {
        HelperError = kHelperNoInstallExport;
        return;
    }
    FInstallRan = true;
    FInstallTarget = PlayerWindowProcess();
    FInstallSuccessor = 0;
    FAwaitInstallRestart = false;
    // The library runs inside the host's process: a fault in it must not take the host down.
    int32_t result = -1;
    if (!CallContained(install, result) || result != 0) {
        HelperError = kHelperInstallFailed;
        return;
    }
    FAwaitInstallRestart = true;
    // The player restarts with the helper: up to 5 s for its events, in steps of 500 ms.
    FindPlayerWindow();
    int waited = 0;
    HelperFileEvent.Reset(OpenEventW(SYNCHRONIZE, FALSE, helper::kFileEventName));
    while (!HelperFileEvent && waited < 5000) {
        Sleep(500);
        waited += 500;
        HelperFileEvent.Reset(OpenEventW(SYNCHRONIZE, FALSE, helper::kFileEventName));
    }
    HelperTagsEvent.Reset(OpenEventW(SYNCHRONIZE, FALSE, helper::kTagsEventName));
    // An install whose helper never answers has failed, whatever the installer said.
    HelperError = HelperFileEvent ? 0 : kHelperInstallFailed;
}

void TWinAmpManager::MapHelperBlock() {
    if (HelperBlock)
        return;
    BlockMapping.Reset(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                          static_cast<DWORD>(helper::kBlockSize), helper::kBlockName));
    if (!BlockMapping)
        return;
    // A mapping made smaller by someone else fails here rather than letting reads run past its end.
    FBlockView = win::MapView::Map(BlockMapping.Get(), FILE_MAP_ALL_ACCESS, 0, helper::kBlockSize);
    if (!FBlockView) {
        BlockMapping.Reset();
        return;
    }
    HelperBlock = FBlockView.As<const helper::THelperBlock>();
}

void TWinAmpManager::DisconnectHelper() {
    if (FBlockView) {
        HelperBlock = nullptr;
        FBlockView.Reset();
        BlockMapping.Reset();
    }
    HelperFileEvent.Reset();
    HelperTagsEvent.Reset();
}

void TWinAmpManager::SendHelperStrings(const std::wstring& A, const std::wstring& B) {
    try {
        if (!FBlockView || !FindPlayerWindow())
            return;
        auto* block = FBlockView.As<helper::THelperBlock>();
        helper::WriteField(block->TextA, block->TextALength, WideToAnsi(A));
        helper::WriteField(block->TextB, block->TextBLength, WideToAnsi(B));
        Ask(helper::WM_HELPER_STRINGS, 0, 0);
    } catch (const std::exception&) {
    }
}

int32_t TWinAmpManager::GetHelperVersion() {
    if (!FindPlayerWindow())
        return -1;
    // A player that does not answer tells nothing; 0 would claim a helper too old to report its version.
    return static_cast<int32_t>(Ask(helper::WM_HELPER_VERSION, 0, 0).value_or(-1));
}

} // namespace mellodeck
