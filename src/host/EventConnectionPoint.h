#pragma once
// The control's connection point for IGoogleSideBarXEvents: one sink at a time, kept by the control as its
// Events. The point refers to its control without a reference (the control owns the point and cuts the link
// when it goes).
#include <windows.h>
#include <ocidl.h>

#include "common/win/ComObject.h"

namespace mellodeck {

class TGoogleSideBarX;

class TEventConnectionPoint final : public win::ComObject<IConnectionPoint> {
public:
    explicit TEventConnectionPoint(TGoogleSideBarX* control) : FControl(control) {}
    void Detach() { FControl = nullptr; }

    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override;
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** container) override;
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** connections) override;

    static constexpr DWORD kCookie = 1;

private:
    TGoogleSideBarX* FControl;
};

} // namespace mellodeck
