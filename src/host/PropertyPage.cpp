#include "host/PropertyPage.h"

#include <cstring>

#include "common/win/Bstr.h"
#include "host/ServerModule.h"

namespace mellodeck {
namespace {

constexpr wchar_t kPageTitle[] = L"Mellodeck  Options";

bool ReadFlag(IGoogleSideBarX* control, HRESULT (STDMETHODCALLTYPE IGoogleSideBarX::*get)(VARIANT_BOOL*)) {
    VARIANT_BOOL value = VARIANT_FALSE;
    win::ThrowIfFailed((control->*get)(&value), "an option cannot be read");
    return value != VARIANT_FALSE;
}

void WriteFlag(IGoogleSideBarX* control, HRESULT (STDMETHODCALLTYPE IGoogleSideBarX::*put)(VARIANT_BOOL), bool on) {
    win::ThrowIfFailed((control->*put)(on ? VARIANT_TRUE : VARIANT_FALSE), "an option cannot be written");
}

} // namespace

TPropertyPageForm::TPropertyPageForm() {
    EnsureLibraryStarted();
    FDialog.OnChange = [this] { Changed(); };
}

TPropertyPageForm::~TPropertyPageForm() = default;

TPageOptions TPropertyPageForm::ReadOptions(IGoogleSideBarX* c) {
    TPageOptions options;
    options.RunAlwaysMinimized = ReadFlag(c, &IGoogleSideBarX::get_RunAlwaysMinimized);
    options.ReplaceWithDropped = ReadFlag(c, &IGoogleSideBarX::get_ReplaceWithDropped);
    options.SeparateLines = ReadFlag(c, &IGoogleSideBarX::get_SeparateLines);
    options.GlobalHotkeyEnabled = ReadFlag(c, &IGoogleSideBarX::get_GlobalHotkeyEnabled);
    win::Bstr hotkey;
    win::ThrowIfFailed(c->get_OpenHotkey(hotkey.Put()), "an option cannot be read");
    options.OpenHotkey = hotkey.Text();
    return options;
}

void TPropertyPageForm::WriteOptions(const TPageOptions& options) {
    IGoogleSideBarX* c = FControl.Get();
    WriteFlag(c, &IGoogleSideBarX::put_RunAlwaysMinimized, options.RunAlwaysMinimized);
    WriteFlag(c, &IGoogleSideBarX::put_ReplaceWithDropped, options.ReplaceWithDropped);
    WriteFlag(c, &IGoogleSideBarX::put_SeparateLines, options.SeparateLines);
    WriteFlag(c, &IGoogleSideBarX::put_GlobalHotkeyEnabled, options.GlobalHotkeyEnabled);
    const win::Bstr hotkey = win::Bstr::FromString(options.OpenHotkey);
    win::ThrowIfFailed(c->put_OpenHotkey(hotkey.Get()), "an option cannot be written");
}

void TPropertyPageForm::Changed() {
    FDirty = true;
    if (FSite)
        FSite->OnStatusChange(PROPPAGESTATUS_DIRTY | PROPPAGESTATUS_VALIDATE);
}

HRESULT TPropertyPageForm::SetPageSite(IPropertyPageSite* site) {
    FSite = win::ComPtr<IPropertyPageSite>(site);
    return S_OK;
}

HRESULT TPropertyPageForm::Activate(HWND parent, LPCRECT bounds, BOOL) {
    if (!bounds)
        return E_POINTER;
    return win::ComBoundary([&]() -> HRESULT {
        if (!FDialog.Create(parent, *bounds))
            return E_FAIL;
        if (FShown)
            FDialog.Show(*FShown);
        return S_OK;
    });
}

HRESULT TPropertyPageForm::Deactivate() {
    return win::ComBoundary([&] {
        if (FDialog.Handle())
            FShown = FDialog.Read(); // kept for a later Activate
        FDialog.Destroy();
    });
}

HRESULT TPropertyPageForm::GetPageInfo(PROPPAGEINFO* info) {
    if (!info)
        return E_POINTER;
    const size_t bytes = sizeof(kPageTitle);
    auto* title = static_cast<LPOLESTR>(::CoTaskMemAlloc(bytes));
    if (!title)
        return E_OUTOFMEMORY;
    std::memcpy(title, kPageTitle, bytes);
    info->cb = sizeof(PROPPAGEINFO);
    info->pszTitle = title;
    info->size = {TOptionsDialog::kWidth, TOptionsDialog::kHeight};
    info->pszDocString = nullptr;
    info->pszHelpFile = nullptr;
    info->dwHelpContext = 0;
    return S_OK;
}

// The first object is the control; a page given none, or an object that is not the control, shows what it
// showed and applies nothing.
HRESULT TPropertyPageForm::SetObjects(ULONG count, IUnknown** objects) {
    return win::ComBoundary([&] {
        FControl.Reset();
        if (count == 0 || !objects || !objects[0])
            return;
        win::ComPtr<IGoogleSideBarX> control = win::ComPtr<IUnknown>(objects[0]).As<IGoogleSideBarX>();
        if (!control)
            return;
        // Kept only once its options could be read: applying values that were never read would overwrite
        // the control's options.
        FShown = ReadOptions(control.Get());
        FControl = std::move(control);
        FDirty = false;
        if (FDialog.Handle())
            FDialog.Show(*FShown);
    });
}

HRESULT TPropertyPageForm::Show(UINT command) {
    if (FDialog.Handle())
        ::ShowWindow(FDialog.Handle(), static_cast<int>(command));
    return S_OK;
}

HRESULT TPropertyPageForm::Move(LPCRECT bounds) {
    if (!bounds)
        return E_POINTER;
    return win::ComBoundary([&] { FDialog.Move(*bounds); });
}

HRESULT TPropertyPageForm::IsPageDirty() { return FDirty ? S_OK : S_FALSE; }

HRESULT TPropertyPageForm::Apply() {
    return win::ComBoundary([&] {
        if (!FControl)
            return;
        const TPageOptions options = FDialog.Handle() ? FDialog.Read() : FShown.value_or(TPageOptions{});
        WriteOptions(options);
        FShown = options;
        FDirty = false;
        if (FSite)
            FSite->OnStatusChange(PROPPAGESTATUS_CLEAN);
    });
}

HRESULT TPropertyPageForm::Help(LPCOLESTR) { return E_NOTIMPL; }

HRESULT TPropertyPageForm::TranslateAccelerator(MSG* message) {
    if (!message)
        return E_POINTER;
    return FDialog.TranslateMessage(*message) ? S_OK : S_FALSE;
}

} // namespace mellodeck
