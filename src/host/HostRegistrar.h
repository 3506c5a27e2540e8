#pragma once
// The sidebar host's registrar class, created in-process or as a local server.
#include "common/win/ComPtr.h"
#include "host/HostIds.h"

namespace mellodeck {

struct CoGoogleDesktopRegistrar {
    // The registrar's IHostComponentRegistrar; the creation's HRESULT (REGDB_E_CLASSNOTREG when the host
    // is not installed).
    static HRESULT Create(win::ComPtr<IHostComponentRegistrar>& registrar) noexcept {
        return ::CoCreateInstance(CLSID_GoogleDesktopRegistrar, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                  __uuidof(IHostComponentRegistrar), registrar.PutVoid());
    }
};

} // namespace mellodeck
