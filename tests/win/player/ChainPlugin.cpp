// gen_Tail.dll: a second general-purpose plug-in that subclasses the player's window after the helper
// (plug-ins load in the order of their names) and answers a probe message of its own. It unhooks on quit
// only when its procedure is on top, as a careful plug-in does.
#include <windows.h>

#include "TestPlugins.h"
#include "helper/GeneralPurposePlugin.h"

namespace {

using mellodeck::helper::TGeneralPurposePlugin;

WNDPROC gSaved = nullptr;
char gDescription[] = "Chain test plug-in";

int Init();
void Config() {}
void Quit();

TGeneralPurposePlugin gPlugin{mellodeck::helper::kPluginInterfaceVersion, gDescription, &Init, &Config, &Quit,
                              nullptr, nullptr};

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == mellodeck::test::kChainProbeMessage)
        return mellodeck::test::kChainProbeAnswer;
    return CallWindowProcW(gSaved, window, message, wParam, lParam);
}

int Init() {
    gSaved = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(gPlugin.hwndParent, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Procedure)));
    return gSaved ? 0 : 1;
}

void Quit() {
    if (GetWindowLongPtrW(gPlugin.hwndParent, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&Procedure))
        SetWindowLongPtrW(gPlugin.hwndParent, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(gSaved));
}

} // namespace

extern "C" __declspec(dllexport) TGeneralPurposePlugin* winampGetGeneralPurposePlugin() { return &gPlugin; }
