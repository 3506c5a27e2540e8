#pragma once
// The control's options page: IPropertyPage over the options dialog. It reads the five options from the
// first object the host hands it (the control, as IGoogleSideBarX) and writes them back when applied.
#include <windows.h>
#include <ocidl.h>

#include <optional>

#include "common/win/ComObject.h"
#include "host/HostIds.h"
#include "host/OptionsDialog.h"

namespace mellodeck {

class TPropertyPageForm final : public win::ComObject<IPropertyPage> {
public:
    static constexpr const GUID* ClassId = &CLSID_TPropertyPageForm;

    TPropertyPageForm();
    ~TPropertyPageForm() override;

    HRESULT STDMETHODCALLTYPE SetPageSite(IPropertyPageSite* site) override;
    HRESULT STDMETHODCALLTYPE Activate(HWND parent, LPCRECT bounds, BOOL modal) override;
    HRESULT STDMETHODCALLTYPE Deactivate() override;
    HRESULT STDMETHODCALLTYPE GetPageInfo(PROPPAGEINFO* info) override;
    HRESULT STDMETHODCALLTYPE SetObjects(ULONG count, IUnknown** objects) override;
    HRESULT STDMETHODCALLTYPE Show(UINT command) override;
    HRESULT STDMETHODCALLTYPE Move(LPCRECT bounds) override;
    HRESULT STDMETHODCALLTYPE IsPageDirty() override;
    HRESULT STDMETHODCALLTYPE Apply() override;
    HRESULT STDMETHODCALLTYPE Help(LPCOLESTR helpDir) override;
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG* message) override;

private:
    // The five options through the control's interface; a failing call throws its HRESULT.
    static TPageOptions ReadOptions(IGoogleSideBarX* control);
    void WriteOptions(const TPageOptions& options);
    void Changed();

    win::ComPtr<IPropertyPageSite> FSite;
    win::ComPtr<IGoogleSideBarX> FControl; // the first object, when it is the control
    std::optional<TPageOptions> FShown;    // what the page shows while it has no window
    TOptionsDialog FDialog;
    bool FDirty = false;
};

} // namespace mellodeck
