// Registration with COM (the registry table, the type library) and the announcement to the sidebar host.
#include <windows.h>
#include <oleauto.h>

#include "common/FileUtils.h"
#include "common/win/Bstr.h"
#include "common/win/ComInit.h"
#include "common/win/ComObject.h"
#include "common/win/RegKey.h"
#include "common/win/Variant.h"
#include "host/HostIds.h"
#include "host/HostRegistrar.h"
#include "host/ServerClasses.h"
#include "host/ServerModule.h"

namespace mellodeck {
namespace {

using win::RegistryRow;
using win::RegistryRows;

std::wstring ClsidKey(const TServerClass& c) { return L"CLSID\\" + win::GuidText(*c.Clsid); }

std::wstring DescriptionKey() { return L"CLSID\\" + win::GuidText(CLSID_GoogleSideBarX) + L"\\Description"; }

SYSKIND ModuleSysKind() { return sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32; }

HRESULT RegisterTypeLibrary(const std::wstring& modulePath) {
    win::ComPtr<ITypeLib> library;
    HRESULT hr = ::LoadTypeLibEx(modulePath.c_str(), REGKIND_NONE, library.Put());
    if (FAILED(hr))
        return hr;
    std::wstring helpFolder = ExtractFolder(modulePath);
    return ::RegisterTypeLib(library.Get(), const_cast<LPOLESTR>(modulePath.c_str()),
                             const_cast<LPOLESTR>(helpFolder.c_str()));
}

bool TypeLibraryRegistered() {
    return static_cast<bool>(win::RegKey::Open(HKEY_CLASSES_ROOT, L"TypeLib\\" + win::GuidText(LIBID_Tracklight),
                                               KEY_READ));
}

HRESULT UnregisterTypeLibrary() {
    const HRESULT hr = ::UnRegisterTypeLib(LIBID_Tracklight, kTypeLibMajor, kTypeLibMinor, 0, ModuleSysKind());
    // Not registered in the first place counts as done.
    return SUCCEEDED(hr) || !TypeLibraryRegistered() ? S_OK : hr;
}

// Three name/value pairs for the host: title, description (the version text) and an empty icon.
win::Variant PluginDescription() {
    const std::wstring texts[6] = {L"Title", L"Mellodeck for Google Desktop", L"Description", ModuleVersionText(),
                                   L"Icon", L""};
    SAFEARRAYBOUND bound{6, 0};
    SAFEARRAY* array = ::SafeArrayCreate(VT_VARIANT, 1, &bound);
    if (!array)
        throw std::bad_alloc();
    win::Variant description;
    description.Get()->vt = VT_ARRAY | VT_VARIANT;
    description.Get()->parray = array; // owned by the variant from here on
    for (LONG i = 0; i < 6; ++i) {
        win::Variant item;
        item.Get()->vt = VT_BSTR;
        item.Get()->bstrVal = win::Bstr::FromString(texts[i]).Release();
        win::ThrowIfFailed(::SafeArrayPutElement(array, &i, item.Get())); // copies the element
    }
    return description;
}

// Announces the control; every failure after a successful announcement withdraws it again, so the host keeps
// no half-registered plug-in.
HRESULT AnnounceToHost() {
    win::ComPtr<IHostComponentRegistrar> registrar;
    if (FAILED(CoGoogleDesktopRegistrar::Create(registrar)))
        return E_FAIL; // the host is not installed
    const win::Bstr clsid = win::Bstr::FromString(win::GuidText(CLSID_GoogleSideBarX));
    win::Variant description = PluginDescription();
    HRESULT hr = registrar->AnnounceComponent(clsid.Get(), *description.Get());
    if (FAILED(hr))
        return hr;
    win::ComPtr<IUnknown> object;
    const win::Bstr progId = win::Bstr::FromString(L"GoogleDesktop.DisplayPluginRegistration");
    hr = registrar->GetRegistrationObject(progId.Get(), object.Put());
    win::ComPtr<IHostDisplayPluginRegistration> registration;
    if (SUCCEEDED(hr) && object)
        registration = object.As<IHostDisplayPluginRegistration>();
    if (!registration) {
        registrar->WithdrawComponent(clsid.Get());
        return FAILED(hr) ? hr : E_FAIL;
    }
    hr = registration->AddDisplayPlugin(clsid.Get(), -1);
    if (hr == S_OK) {
        hr = registrar->CommitComponent();
        if (SUCCEEDED(hr))
            return S_OK;
    }
    // A refusal, S_FALSE included, and a failed commit.
    registrar->WithdrawComponent(clsid.Get());
    return hr;
}

} // namespace

std::wstring InprocServerPath(const std::wstring& modulePath) {
    if (modulePath.find(L' ') == std::wstring::npos)
        return modulePath;
    const DWORD length = ::GetShortPathNameW(modulePath.c_str(), nullptr, 0);
    if (length == 0)
        return modulePath;
    std::wstring shortPath(length, L'\0');
    const DWORD written = ::GetShortPathNameW(modulePath.c_str(), shortPath.data(), length);
    if (written == 0 || written >= length)
        return modulePath;
    shortPath.resize(written);
    return shortPath;
}

RegistryRows ClassRegistryRows(const TServerClass& c, const std::wstring& modulePath) {
    const std::wstring clsidKey = ClsidKey(c);
    const std::wstring clsidText = win::GuidText(*c.Clsid);
    RegistryRows rows;
    rows.push_back({HKEY_CLASSES_ROOT, clsidKey, L"", c.Description});
    rows.push_back({HKEY_CLASSES_ROOT, clsidKey + L"\\InprocServer32", L"", InprocServerPath(modulePath)});
    if (c.Apartment)
        rows.push_back({HKEY_CLASSES_ROOT, clsidKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment"});
    if (!c.ProgID.empty()) {
        rows.push_back({HKEY_CLASSES_ROOT, c.ProgID, L"", c.Description});
        rows.push_back({HKEY_CLASSES_ROOT, c.ProgID + L"\\Clsid", L"", clsidText});
        rows.push_back({HKEY_CLASSES_ROOT, clsidKey + L"\\ProgID", L"", c.ProgID});
    }
    if (c.InTypeLib) {
        rows.push_back({HKEY_CLASSES_ROOT, clsidKey + L"\\Version", L"",
                        std::to_wstring(kTypeLibMajor) + L"." + std::to_wstring(kTypeLibMinor)});
        rows.push_back({HKEY_CLASSES_ROOT, clsidKey + L"\\TypeLib", L"", win::GuidText(LIBID_Tracklight)});
    }
    if (c.Control) {
        rows.push_back({HKEY_CLASSES_ROOT, clsidKey + L"\\MiscStatus", L"", L"0"});
        rows.push_back({HKEY_CLASSES_ROOT, clsidKey + L"\\MiscStatus\\1", L"", std::to_wstring(kControlMiscStatus)});
        rows.push_back({HKEY_CLASSES_ROOT, clsidKey + L"\\ToolboxBitmap32", L"", modulePath + L",15"});
        rows.push_back({HKEY_CLASSES_ROOT, clsidKey + L"\\Control", L"", std::nullopt});
        rows.push_back({HKEY_CLASSES_ROOT, clsidKey + L"\\Verb", L"", std::nullopt});
        rows.push_back({HKEY_CLASSES_ROOT, clsidKey + L"\\Verb\\0", L"", L"Properties,0,2"});
    }
    return rows;
}

HRESULT RegisterServer() {
    EnsureLibraryStarted();
    const win::ComInitScope com; // the registering tool may not have initialised COM on this thread
    const std::wstring modulePath = ServerModulePath();
    if (modulePath.empty() || FAILED(RegisterTypeLibrary(modulePath)))
        return E_FAIL;
    for (const TServerClass& c : ServerClasses())
        if (win::ApplyRegistryRows(ClassRegistryRows(c, modulePath)) != ERROR_SUCCESS)
            return E_FAIL;
    if (win::ApplyRegistryRows({{HKEY_CLASSES_ROOT, DescriptionKey(), L"", kControlDescriptionText}}) !=
        ERROR_SUCCESS)
        return E_FAIL;
    return AnnounceToHost();
}

HRESULT UnregisterServer() {
    const win::ComInitScope com;
    const std::wstring modulePath = ServerModulePath();
    HRESULT result = SUCCEEDED(UnregisterTypeLibrary()) ? S_OK : E_FAIL;
    // The Description subkey first: a key with subkeys is never deleted.
    if (win::RemoveRegistryKey(HKEY_CLASSES_ROOT, DescriptionKey()) != ERROR_SUCCESS)
        result = E_FAIL;
    const auto& classes = ServerClasses();
    for (auto c = classes.rbegin(); c != classes.rend(); ++c)
        if (win::RemoveRegistryRows(ClassRegistryRows(*c, modulePath)) != ERROR_SUCCESS)
            result = E_FAIL;
    // The host is told even when the registry could not be cleaned completely.
    win::ComPtr<IHostComponentRegistrar> registrar;
    if (FAILED(CoGoogleDesktopRegistrar::Create(registrar)))
        return E_FAIL;
    const win::Bstr clsid = win::Bstr::FromString(win::GuidText(CLSID_GoogleSideBarX));
    const HRESULT withdrawn = registrar->WithdrawComponent(clsid.Get());
    if (FAILED(withdrawn))
        return withdrawn;
    return result;
}

} // namespace mellodeck
