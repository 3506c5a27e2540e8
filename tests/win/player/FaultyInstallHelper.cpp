// A library with the helper's file name whose "InstallPlugin" fails the way a broken library does: by an
// access violation or a C++ exception, chosen by an environment variable (TestPlugins.h).
#include <windows.h>

#include <cstdint>
#include <stdexcept>

#include "TestPlugins.h"

extern "C" __declspec(dllexport) int32_t InstallPlugin() {
    wchar_t mode[16] = {};
    GetEnvironmentVariableW(mellodeck::test::kFaultyInstallVariable, mode, 16);
    if (lstrcmpW(mode, L"access") == 0) {
        volatile int32_t* nowhere = nullptr;
        *nowhere = 1;
    }
    if (lstrcmpW(mode, L"throw") == 0)
        throw std::runtime_error("the installer failed");
    return 0;
}
