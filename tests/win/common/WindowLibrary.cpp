// A DLL with a window class of its own, for the test of a module that is unloaded and loaded again.
#include <windows.h>

#include "common/win/WindowBase.h"

namespace {

class TLibraryWindow final : public mellodeck::win::WindowBase {
protected:
    const wchar_t* ClassName() const override { return L"MellodeckTestLibraryWindow"; }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_APP)
            return 7;
        return WindowBase::WindowProc(message, wParam, lParam);
    }
};

TLibraryWindow* gWindow = nullptr;

} // namespace

// A message-only window of the library's class; null when it cannot be created.
extern "C" __declspec(dllexport) HWND MellodeckCreateLibraryWindow() {
    delete gWindow;
    gWindow = new TLibraryWindow();
    if (!gWindow->CreateMessageOnly())
        return nullptr;
    return gWindow->Handle();
}

extern "C" __declspec(dllexport) void MellodeckDestroyLibraryWindow() {
    delete gWindow;
    gWindow = nullptr;
}

extern "C" __declspec(dllexport) BOOL MellodeckUnregisterLibraryClasses() {
    return mellodeck::win::WindowBase::UnregisterClasses();
}

extern "C" __declspec(dllexport) HMODULE MellodeckLibraryModule() {
    return mellodeck::win::WindowBase::Module();
}
