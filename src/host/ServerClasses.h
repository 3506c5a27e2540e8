#pragma once
// The module's creatable classes: what DllGetClassObject hands out and what registration writes for each.
#include <windows.h>

#include <string>
#include <vector>

#include "common/win/RegistryTable.h"

namespace mellodeck {

struct TServerClass {
    const CLSID* Clsid;
    std::wstring Description; // default value of the CLSID key
    std::wstring ProgID;      // empty: none
    bool Apartment;           // ThreadingModel "Apartment"
    bool InTypeLib;           // Version and TypeLib keys
    bool Control;             // the control's keys: misc status, toolbox bitmap, verbs
    // DllGetClassObject of the class; CLASS_E_CLASSNOTAVAILABLE for another class identifier.
    HRESULT (*GetClassObject)(REFCLSID clsid, REFIID iid, void** out);
};

// The control, the content item and the options page, in this order.
const std::vector<TServerClass>& ServerClasses();

// The control's misc status as registered: its own OLEMISC_SIMPLEFRAME | OLEMISC_ACTSLIKELABEL plus
// RECOMPOSEONRESIZE, CANTLINKINSIDE, INSIDEOUT, ACTIVATEWHENVISIBLE and SETCLIENTSITEFIRST.
inline constexpr DWORD kControlMiscStatus = 205201;
inline constexpr wchar_t kControlDescriptionText[] = L"Control WinAmp player and edit tags";

// The rows of the registry table for one class; modulePath is the module's long path.
win::RegistryRows ClassRegistryRows(const TServerClass& serverClass, const std::wstring& modulePath);
// The path InprocServer32 names: the short (8.3) form when the long one holds a space and a short form
// exists.
std::wstring InprocServerPath(const std::wstring& modulePath);

// The exports' work.
HRESULT RegisterServer();
HRESULT UnregisterServer();

} // namespace mellodeck
