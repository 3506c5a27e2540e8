// The runtime's one entry point the tag library binds: a new metadata editor.
#include "StandinEditor.h"

using namespace mellodeck;

// Exported by wmvcore.def under its plain name, as the runtime exports it.
extern "C" HRESULT STDMETHODCALLTYPE WMCreateEditor(IWMMetadataEditor** editor) {
    if (!editor)
        return E_POINTER;
    *editor = nullptr;
    return win::ComBoundary(
        [&] { *editor = win::MakeComObject<standin::TStandinEditor, IWMMetadataEditor>().Detach(); });
}
