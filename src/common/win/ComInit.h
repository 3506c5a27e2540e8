#pragma once
// Initialisation scopes of COM (CoInitializeEx) and OLE (OleInitialize) for the calling thread. Each
// uninitialises only when its initialisation succeeded (S_OK, or S_FALSE for a thread that was already
// initialised the same way); RPC_E_CHANGED_MODE and other failures leave the thread as it was.
// Thread-bound: neither copied nor moved.
#include <windows.h>
#include <objbase.h>
#include <ole2.h>

namespace mellodeck::win {

class ComInitScope {
public:
    explicit ComInitScope(DWORD model = COINIT_APARTMENTTHREADED) noexcept
        : FResult(::CoInitializeEx(nullptr, model)) {}
    ~ComInitScope() {
        if (SUCCEEDED(FResult))
            ::CoUninitialize();
    }
    ComInitScope(const ComInitScope&) = delete;
    ComInitScope& operator=(const ComInitScope&) = delete;

    HRESULT Result() const noexcept { return FResult; }
    bool Succeeded() const noexcept { return SUCCEEDED(FResult); }

private:
    HRESULT FResult;
};

// OLE (drag and drop, the clipboard, in-place activation) on a single-threaded apartment.
class OleInitScope {
public:
    OleInitScope() noexcept : FResult(::OleInitialize(nullptr)) {}
    ~OleInitScope() {
        if (SUCCEEDED(FResult))
            ::OleUninitialize();
    }
    OleInitScope(const OleInitScope&) = delete;
    OleInitScope& operator=(const OleInitScope&) = delete;

    HRESULT Result() const noexcept { return FResult; }
    bool Succeeded() const noexcept { return SUCCEEDED(FResult); }

private:
    HRESULT FResult;
};

} // namespace mellodeck::win
