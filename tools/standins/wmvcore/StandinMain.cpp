// The runtime's one entry point the tag library binds: a new metadata editor.
#include "StandinEditor.h"

using namespace mellodeck;

extern "C" __declspec(dllexport) HRESULT STDMETHODCALLTYPE WMCreateEditor(IWMMetadataEditor** editor) {
    if (!editor)
        return E_POINTER;
    *editor = nullptr;
    return win::ComBoundary(
        [&] { *editor = win::MakeComObject<standin::TStandinEditor, IWMMetadataEditor>().Detach(); });
}
