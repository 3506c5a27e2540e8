// gen_Pelorix.dll: a general-purpose plug-in of the player. Inside the player's process it publishes the
// file that plays, with its artist, album and title, in the shared block, signals the file and tags events,
// and answers the manager's two private messages on the player's main window. `InstallPlugin` (called by
// the manager, in the manager's process) copies this library into the player's Plugins folder and asks
// the running player to restart so that it loads it.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/AxSys.h"
#include "common/FileUtils.h"
#include "common/SystemError.h"
#include "common/TextConvert.h"
#include "common/win/Handles.h"
#include "common/win/MapView.h"
#include "helper/GeneralPurposePlugin.h"
#include "player/HelperProtocol.h"
#include "player/PlayerCommandLine.h"
#include "player/PlayerProtocol.h"

using namespace mellodeck;
using namespace mellodeck::helper;

namespace {

HWND gPlayer = nullptr;
// The procedure ours passes on to, for as long as ours can be called.
WNDPROC gPlayerProc = nullptr;
// Quit while another plug-in's procedure sat on top of ours: ours only passes messages on.
bool gQuit = false;
win::UniqueHandle gFileEvent;
win::UniqueHandle gTagsEvent;
win::UniqueHandle gMapping;
win::MapView gView;           // the mapping's view
THelperBlock* gBlock = nullptr; // gView's bytes as the block, null while unmapped
std::wstring gCurrentFile; // the file the block describes, as the player named it

char gDescription[] = "Mellodeck now-playing helper";

int PluginInit();
void PluginConfig();
void PluginQuit();

// The record the player receives; it fills hwndParent and hDllInstance before calling init.
TGeneralPurposePlugin gPlugin{kPluginInterfaceVersion, gDescription, &PluginInit, &PluginConfig, &PluginQuit,
                              nullptr, nullptr};

// One metadata field of a file, as the player knows it; empty when it has none.
std::wstring PlayerMetadata(const std::wstring& file, const wchar_t* name) {
    std::vector<wchar_t> buffer(1024, L'\0');
    TExtendedFileInfoW info{file.c_str(), name, buffer.data(), buffer.size()};
    if (SendMessageW(gPlayer, WM_USER, reinterpret_cast<WPARAM>(&info), player::kIpcGetExtendedFileInfoW) != 1)
        return std::wstring();
    buffer.back() = L'\0'; // whatever the player wrote, the text ends inside the buffer
    return std::wstring(buffer.data());
}

// Writes the three tag fields; true when any of them changed.
bool PublishTags() {
    TBlockTags old;
    ReadTags(*gBlock, old);
    TBlockTags now;
    if (!gCurrentFile.empty()) {
        now.Artist = WideToAnsi(PlayerMetadata(gCurrentFile, L"artist")).substr(0, kTagSize);
        now.Album = WideToAnsi(PlayerMetadata(gCurrentFile, L"album")).substr(0, kTagSize);
        now.Title = WideToAnsi(PlayerMetadata(gCurrentFile, L"title")).substr(0, kTagSize);
    }
    WriteField(gBlock->ArtistText, gBlock->ArtistLength, now.Artist);
    WriteField(gBlock->AlbumText, gBlock->AlbumLength, now.Album);
    WriteField(gBlock->TitleText, gBlock->TitleLength, now.Title);
    gBlock->Version = kBlockVersion;
    return now.Artist != old.Artist || now.Album != old.Album || now.Title != old.Title;
}

// A file starts playing. `always` signals even when the block already names it (a new start of the same
// file); the wide notice that follows the 8-bit one for the same file stays silent.
void PublishFile(const std::wstring& file, bool always) {
    if (!gBlock)
        return;
    const std::string name = WideToAnsi(file);
    const bool changed = ReadFileName(*gBlock) != name;
    gCurrentFile = file;
    PublishTags();
    // A path too long for the field would name another file when cut: publish no file instead.
    if (name.size() <= kFileNameSize)
        WriteField(gBlock->FileName, gBlock->FileNameLength, name);
    else
        SetLength(gBlock->FileNameLength, 0);
    if (changed || always)
        SetEvent(gFileEvent.Get());
}

LRESULT CALLBACK PlayerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Our procedure is the window's current one: no other plug-in subclassed it after us.
bool OnTop(HWND window) {
    return GetWindowLongPtrW(window, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&PlayerWindowProc);
}

LRESULT CALLBACK PlayerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (gQuit) {
        // Still in another plug-in's chain after quitting: pass everything on, and hand the window back as
        // soon as ours is on top again (that plug-in unhooked itself).
        const WNDPROC next = gPlayerProc;
        if (OnTop(window)) {
            SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(next));
            gPlayerProc = nullptr;
            gQuit = false;
        }
        return CallWindowProcW(next, window, message, wParam, lParam);
    }
    if (message == WM_HELPER_VERSION)
        return kHelperVersion;
    if (message == WM_HELPER_STRINGS)
        return 0; // TextA and TextB carry nothing this helper acts on
    const LRESULT result = CallWindowProcW(gPlayerProc, window, message, wParam, lParam);
    if (message == WM_USER) {
        if (lParam == player::kIpcPlayingFile && wParam)
            PublishFile(AnsiToWide(reinterpret_cast<const char*>(wParam)), true);
        else if (lParam == player::kIpcPlayingFileW && wParam)
            PublishFile(reinterpret_cast<const wchar_t*>(wParam), false);
        else if (lParam == player::kIpcCallbackMisc && wParam == player::kIpcCallbackMiscTitle && gBlock &&
                 PublishTags())
            SetEvent(gTagsEvent.Get());
    }
    return result;
}

// Takes ours out of the player window's chain. Only when ours is on top can the window get its previous
// procedure back; otherwise another plug-in's procedure calls ours, which then goes on passing messages to
// the one it saved, and this library stays loaded for as long as the window may call it.
void Unhook() {
    if (!gPlayer || !gPlayerProc)
        return;
    if (OnTop(gPlayer)) {
        SetWindowLongPtrW(gPlayer, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(gPlayerProc));
        gPlayerProc = nullptr;
        return;
    }
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCWSTR>(&PlayerWindowProc), &self);
    gQuit = true;
}

void Release() {
    Unhook();
    gBlock = nullptr;
    gView.Reset();
    gMapping.Reset();
    gFileEvent.Reset();
    gTagsEvent.Reset();
}

int PluginInit() {
    HWND window = gPlugin.hwndParent;
    if (!window)
        return 1;
    // Initialised again while ours still sits in this window's chain (it quit under another plug-in): ours
    // works again where it sits rather than joining the chain twice.
    const bool chained = gQuit && gPlayerProc && gPlayer == window;
    gPlayer = window;
    // Auto-reset: each signal wakes the manager's wait once.
    gFileEvent.Reset(CreateEventW(nullptr, FALSE, FALSE, kFileEventName));
    gTagsEvent.Reset(CreateEventW(nullptr, FALSE, FALSE, kTagsEventName));
    gMapping.Reset(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                      static_cast<DWORD>(kBlockSize), kBlockName));
    if (gMapping) {
        gView = win::MapView::Map(gMapping.Get(), FILE_MAP_ALL_ACCESS, 0, kBlockSize);
        gBlock = gView.As<THelperBlock>();
    }
    if (!gFileEvent || !gTagsEvent || !gBlock) {
        Release();
        return 1;
    }
    gBlock->Version = kBlockVersion;
    if (!chained)
        gPlayerProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(gPlayer, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&PlayerWindowProc)));
    gQuit = false;
    // A player that already plays (plug-ins loaded late) has its file published at once.
    if (SendMessageW(gPlayer, WM_USER, 0, player::kIpcIsPlaying) != 0) {
        const WPARAM index = static_cast<WPARAM>(SendMessageW(gPlayer, WM_USER, 0, player::kIpcGetListPos));
        const auto* file = reinterpret_cast<const wchar_t*>(
            SendMessageW(gPlayer, WM_USER, index, player::kIpcGetPlaylistFileW));
        if (file)
            PublishFile(file, true);
    }
    return 0;
}

void PluginConfig() {}

void PluginQuit() { Release(); }

} // namespace

extern "C" {

TGeneralPurposePlugin* winampGetGeneralPurposePlugin() { return &gPlugin; }

// Copies this library into the Plugins folder of the player named by its file-type registration and asks
// the running player to restart with it. 0 on success, else a system error code.
int32_t InstallPlugin() {
    std::wstring command;
    if (!ReadRegistryText(RegistryRoot::ClassesRoot, player::kCommandKey, L"", command))
        return ERROR_FILE_NOT_FOUND;
    const std::wstring playerPath = PlayerPathFromCommand(command);
    if (playerPath.empty() || ExtractFolder(playerPath).empty())
        return ERROR_FILE_NOT_FOUND;
    const std::wstring target = HelperPluginPath(playerPath);
    CreateDirectoryW(ExtractFolder(target).c_str(), nullptr);

    const std::wstring self = ModuleFileName(false);
    if (self.empty())
        return ERROR_BAD_PATHNAME;
    if (lstrcmpiW(self.c_str(), target.c_str()) != 0 && !CopyFileW(self.c_str(), target.c_str(), FALSE)) {
        const uint32_t error = LastSystemError();
        // A copy already in place (held open by a player that runs it) is as good as a new one.
        if (!FileExists(target))
            return static_cast<int32_t>(error ? error : ERROR_WRITE_FAULT);
    }
    // A running player restarts and loads its plug-ins again, this one among them.
    if (HWND window = FindWindowW(player::kWindowClass, nullptr))
        PostMessageW(window, WM_USER, 0, player::kIpcRestart);
    return 0;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH)
        DisableThreadLibraryCalls(instance);
    return TRUE;
}

} // extern "C"
