// The four exports of the in-process server and the module's entry point.
#include <windows.h>

#include "common/win/ComObject.h"
#include "host/ServerClasses.h"
#include "host/ServerModule.h"

using namespace mellodeck;

// Only what is safe under the loader lock: no thread is started or joined, no OLE, no locale. The library
// itself starts at first use (ServerModule.h).
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        ::DisableThreadLibraryCalls(instance);
    } else if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
        // Unloaded by FreeLibrary without DllCanUnloadNow having been asked: nothing of ours lives (or the
        // caller broke the rules), so what is left is memory and window classes, both safe to give back here.
        // At process exit (reserved != nullptr) the system reclaims everything.
        ShutdownLibrary();
    }
    return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    return win::ComBoundary([&]() -> HRESULT {
        EnsureLibraryStarted();
        for (const TServerClass& c : ServerClasses())
            if (c.GetClassObject && IsEqualCLSID(clsid, *c.Clsid))
                return c.GetClassObject(clsid, iid, out);
        return CLASS_E_CLASSNOTAVAILABLE;
    });
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    if (win::CanUnloadModule() != S_OK)
        return S_FALSE;
    // Nothing of the module lives: give back what the start-up made while not under the loader lock. A later
    // use (the module may stay loaded) starts the library again.
    ShutdownLibrary();
    return S_OK;
}

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
    return win::ComBoundary([] { return RegisterServer(); });
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
    return win::ComBoundary([] { return UnregisterServer(); });
}
