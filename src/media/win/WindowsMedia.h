#pragma once
// The link to the Windows Media Format runtime ("wmvcore.dll"): loaded when the tag library starts, its
// "WMCreateEditor" entry point bound by name (the toolchain ships no import library for it), released
// when the library ends. The interfaces come from the SDK header; the second editor interface, which it
// lacks, is declared here from its published identifier and method order.
#include <windows.h>
#include <wmsdkidl.h>

namespace mellodeck {

struct IWMMetadataEditor2 : public IWMMetadataEditor {
    virtual HRESULT STDMETHODCALLTYPE OpenEx(const WCHAR* fileName, DWORD desiredAccess, DWORD shareMode) = 0;
};

using TWMCreateEditor = HRESULT(STDMETHODCALLTYPE*)(IWMMetadataEditor** editor);

// The module handle, the factory in it, and whether both were found.
extern HMODULE WMModule;
extern TWMCreateEditor WMEditorFactory;
extern bool WMAvailable;

// Loads the runtime once; true when the factory was found.
bool LoadWindowsMedia();
void ReleaseWindowsMedia();
// A new metadata editor from the runtime; E_NOTIMPL (and no editor) without the runtime.
HRESULT CreateMetadataEditor(IWMMetadataEditor** editor);

} // namespace mellodeck

__CRT_UUID_DECL(mellodeck::IWMMetadataEditor2, 0x203cffe3, 0x2e18, 0x4fdf, 0xb5, 0x9d, 0x6e, 0x71, 0x53, 0x05, 0x34,
                0xcf)
