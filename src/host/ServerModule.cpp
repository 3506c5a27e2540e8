#include "host/ServerModule.h"

#include <mutex>

#include "common/AxVersionInfo.h"
#include "common/win/ComObject.h"
#include "common/win/FailureSink.h"
#include "common/win/WindowBase.h"
#include "media/core/MediaManager.h"
#include "panel/GoogleSideBarConsts.h"
#include "report/ErrorHandler.h"

namespace mellodeck {
namespace {

std::mutex gLifetimeLock;
bool gStarted = false;
win::ComPtr<ITypeLib> gTypeLib;

} // namespace

HMODULE ServerModule() noexcept { return win::WindowBase::Module(); }

std::wstring ServerModulePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(ServerModule(), path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return std::wstring();
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

void EnsureLibraryStarted() noexcept {
    std::lock_guard lock(gLifetimeLock);
    if (gStarted)
        return;
    try {
        ReportStartup();
        win::SetFailureSink(&LogError); // what the COM and window boundaries stop goes to the log
        MediaLibraryStart();
        FillSideBarStrings();
        gStarted = true;
    } catch (...) {
        // Each step leaves its part usable or absent; what failed is started again on the next use.
    }
}

void ShutdownLibrary() noexcept {
    std::lock_guard lock(gLifetimeLock);
    gTypeLib.Reset();
    win::WindowBase::UnregisterClasses();
    if (!gStarted)
        return;
    gStarted = false;
    ClearSideBarStrings();
    MediaLibraryEnd();
    win::SetFailureSink(nullptr);
    ReportShutdown();
}

bool LibraryStarted() noexcept {
    std::lock_guard lock(gLifetimeLock);
    return gStarted;
}

win::ComPtr<ITypeLib> ModuleTypeLib() {
    std::lock_guard lock(gLifetimeLock);
    if (!gTypeLib) {
        const std::wstring path = ServerModulePath();
        win::ThrowIfFailed(::LoadTypeLibEx(path.c_str(), REGKIND_NONE, gTypeLib.Put()),
                           "the module's type library cannot be loaded");
    }
    return gTypeLib;
}

win::ComPtr<ITypeInfo> ModuleTypeInfo(REFGUID guid) {
    win::ComPtr<ITypeInfo> info;
    win::ThrowIfFailed(ModuleTypeLib()->GetTypeInfoOfGuid(guid, info.Put()), "no such entry in the type library");
    return info;
}

std::wstring ModuleVersionText() { return L"Version: " + FormatFileVersion(GetFileVersion(ServerModulePath())); }

} // namespace mellodeck
