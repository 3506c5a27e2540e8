#pragma once
// The COM server module: its file, its type library and the library's start-up and shutdown.
//
// Nothing of this runs inside DllMain: the loader lock is held there, and the start-up sets the thread
// locale and builds process-wide state that must belong to the thread that uses it. The start-up runs at the
// first use of the module (a class object asked for, registration), the shutdown when the module says it can
// be unloaded (DllCanUnloadNow answers S_OK) or, at the latest, when it is unloaded.
#include <windows.h>
#include <oaidl.h>

#include <string>

#include "common/win/ComPtr.h"

namespace mellodeck {

HMODULE ServerModule() noexcept;
// The module's full path (long form).
std::wstring ServerModulePath();

// Start-up in this order: the message log (inactive), the media library (thread locale, the global media
// manager and its formats), the interface strings in the system language. The genre tables are constant
// data and need no step. Idempotent; throws nothing.
void EnsureLibraryStarted() noexcept;
// The reverse of EnsureLibraryStarted, plus the window classes the module registered and its cached type
// library. Only while no object of the module lives. Idempotent.
void ShutdownLibrary() noexcept;
bool LibraryStarted() noexcept;

// The module's embedded type library (TYPELIB 1), loaded once; throws win::EComError when it cannot be.
win::ComPtr<ITypeLib> ModuleTypeLib();
// The type information of one of its entries (an interface or coclass identifier).
win::ComPtr<ITypeInfo> ModuleTypeInfo(REFGUID guid);

// "Version: " and the four parts of the module's own file version ("Version: 0.0.0.0" without one).
std::wstring ModuleVersionText();

} // namespace mellodeck
