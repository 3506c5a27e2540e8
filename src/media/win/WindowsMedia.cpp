#include "media/win/WindowsMedia.h"

#include "media/core/MediaManager.h"
#include "media/win/WMAMediaFormat.h"

namespace mellodeck {

HMODULE WMModule = nullptr;
TWMCreateEditor WMEditorFactory = nullptr;
bool WMAvailable = false;

bool LoadWindowsMedia() {
    if (WMAvailable)
        return true;
    WMModule = LoadLibraryW(L"wmvcore.dll");
    if (WMModule)
        WMEditorFactory =
            reinterpret_cast<TWMCreateEditor>(reinterpret_cast<void*>(GetProcAddress(WMModule, "WMCreateEditor")));
    WMAvailable = WMModule && WMEditorFactory;
    if (!WMAvailable)
        ReleaseWindowsMedia();
    return WMAvailable;
}

void ReleaseWindowsMedia() {
    WMAvailable = false;
    WMEditorFactory = nullptr;
    if (WMModule)
        FreeLibrary(WMModule);
    WMModule = nullptr;
}

HRESULT CreateMetadataEditor(IWMMetadataEditor** editor) {
    if (!editor)
        return E_POINTER;
    *editor = nullptr;
    if (!WMAvailable)
        return E_NOTIMPL;
    return WMEditorFactory(editor);
}

// The Windows Media extensions follow the built-in ones, and only with the runtime.
void RegisterPlatformFormats(TMediaManager& manager) {
    if (!LoadWindowsMedia())
        return;
    manager.RegisterFormat(
        ".wma", [] { return std::make_unique<TWMAMediaFormat>(); }, L"Windows Media Audio File",
        L"Marquill.WMA.audio.file");
    manager.RegisterFormat(
        ".asf", [] { return std::make_unique<TASFMediaFormat>(); }, L"Windows Media Audio File",
        L"Marquill.ASF.audio.file");
    manager.RegisterFormat(
        ".wmv", [] { return std::make_unique<TWMAMediaFormat>(); }, L"Windows Media Video File",
        L"Marquill.WMV.video.file");
}

void ReleasePlatformFormats() {
    ReleaseWindowsMedia();
}

} // namespace mellodeck
