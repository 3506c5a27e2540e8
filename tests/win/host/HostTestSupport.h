#pragma once
// What the COM server's tests share: build-tree paths as Wine sees them, the lock that keeps the prefix's
// registration to one case at a time, regsvr32, the stand-in registrar's configuration and log, and the
// module's exports called directly.
#include <windows.h>

#include <string>
#include <vector>

#include "TestLocks.h"
#include "TestPaths.h"

namespace mellodeck::test {

// The module and the stand-in registrar as this program reaches them.
inline std::wstring HostDllPath() { return BuildTreePath(MELLODECK_HOST_DLL); }
inline std::wstring RegistrarDllPath() { return BuildTreePath(MELLODECK_REGISTRAR_DLL); }

// Held for the whole case: one case at a time touches the prefix's classes.
class THostTestLock : public TNamedTestLock {
public:
    THostTestLock() : TNamedTestLock(kHostTestLock) {}
};

// regsvr32 /s [/u] path; its exit code (0 success), or -1 when it cannot be run.
int RunRegsvr32(const std::wstring& path, bool unregister = false);

// The stand-in registrar: registered or not, its log in a fresh file, and the AddDisplayPlugin answer.
class TRegistrarSession {
public:
    explicit TRegistrarSession(bool registered = true);
    ~TRegistrarSession();
    TRegistrarSession(const TRegistrarSession&) = delete;
    TRegistrarSession& operator=(const TRegistrarSession&) = delete;

    void SetAddResult(HRESULT result);
    void SetRegistered(bool registered);
    std::vector<std::wstring> Log() const;
    void ClearLog();

private:
    std::wstring FLogPath;
};

// The module loaded in this process, with its four exports.
class THostModule {
public:
    THostModule(const std::wstring& path = HostDllPath());
    ~THostModule();
    THostModule(const THostModule&) = delete;
    THostModule& operator=(const THostModule&) = delete;
    HMODULE Handle() const { return FModule; }
    HRESULT Register() const;
    HRESULT Unregister() const;
    HRESULT CanUnloadNow() const;
    HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** out) const;
    // Frees the module now (the destructor then does nothing).
    void Free();

private:
    HMODULE FModule;
};

// Registry reading under HKEY_CLASSES_ROOT.
bool ClassesKeyExists(const std::wstring& key);
// A REG_SZ value; `found` false when the key or value is missing.
std::wstring ClassesValue(const std::wstring& key, const std::wstring& name, bool* found = nullptr);
// Every key below `key` (itself included), as paths relative to HKEY_CLASSES_ROOT, sorted.
std::vector<std::wstring> ClassesKeyTree(const std::wstring& key);

std::wstring GuidString(REFGUID guid);

} // namespace mellodeck::test
