// The stand-in of the sidebar host's registrar and content-item helper (see StandinRegistrar.h).
#include "StandinRegistrar.h"

#include <windows.h>
#include <oleauto.h>

#include <cstdio>
#include <string>

#include "common/TextConvert.h"
#include "common/win/Bstr.h"
#include "common/win/ComObject.h"
#include "common/win/RegKey.h"
#include "common/win/RegistryTable.h"
#include "host/HostIds.h"

using namespace mellodeck;
using namespace mellodeck::standin;

namespace {

std::wstring ConfigText(const wchar_t* name) {
    win::RegKey key = win::RegKey::Open(HKEY_CURRENT_USER, kRegistrarConfigKey, KEY_READ);
    if (!key)
        return std::wstring();
    wchar_t buffer[1024] = {};
    DWORD size = sizeof(buffer) - sizeof(wchar_t);
    DWORD type = 0;
    if (::RegQueryValueExW(key.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return std::wstring();
    return buffer;
}

DWORD ConfigNumber(const wchar_t* name, DWORD otherwise) {
    win::RegKey key = win::RegKey::Open(HKEY_CURRENT_USER, kRegistrarConfigKey, KEY_READ);
    DWORD value = 0;
    DWORD size = sizeof(value);
    DWORD type = 0;
    if (!key || ::RegQueryValueExW(key.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
                    ERROR_SUCCESS || type != REG_DWORD)
        return otherwise;
    return value;
}

void Record(const std::wstring& line) {
    const std::wstring path = ConfigText(L"Log");
    if (path.empty())
        return;
    FILE* file = _wfopen(path.c_str(), L"ab");
    if (!file)
        return;
    const std::string bytes = WideToUtf8(line) + "\n";
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
}

std::wstring DescriptionText(const VARIANT& description) {
    if (description.vt != (VT_ARRAY | VT_VARIANT) || !description.parray)
        return L"<not an array of variants: vt " + std::to_wstring(description.vt) + L">";
    SAFEARRAY* array = description.parray;
    LONG low = 0, high = -1;
    ::SafeArrayGetLBound(array, 1, &low);
    ::SafeArrayGetUBound(array, 1, &high);
    std::wstring text = L"[" + std::to_wstring(low) + L".." + std::to_wstring(high) + L"] ";
    for (LONG i = low; i <= high; ++i) {
        VARIANT item;
        ::VariantInit(&item);
        ::SafeArrayGetElement(array, &i, &item);
        if (i > low)
            text += L"|";
        text += item.vt == VT_BSTR ? win::BstrText(item.bstrVal) : L"<vt " + std::to_wstring(item.vt) + L">";
        ::VariantClear(&item);
    }
    return text;
}

// IDispatch of the stand-ins: callers use the vtable only.
#define STANDIN_NO_DISPATCH                                                                                        \
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {                                             \
        if (count)                                                                                                 \
            *count = 0;                                                                                            \
        return S_OK;                                                                                               \
    }                                                                                                              \
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }                  \
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; } \
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*)        \
        override {                                                                                                 \
        return E_NOTIMPL;                                                                                          \
    }

class TPluginRegistration final : public win::ComObject<win::Extends<IHostDisplayPluginRegistration, IDispatch>> {
public:
    STANDIN_NO_DISPATCH
    HRESULT STDMETHODCALLTYPE AddDisplayPlugin(BSTR clsid, LONG value) override {
        Record(L"AddDisplayPlugin " + win::BstrText(clsid) + L" " + std::to_wstring(value));
        return static_cast<HRESULT>(ConfigNumber(L"AddResult", S_OK));
    }
};

class TRegistrar final : public win::ComObject<win::Extends<IHostComponentRegistrar, IDispatch>> {
public:
    STANDIN_NO_DISPATCH
    HRESULT STDMETHODCALLTYPE AnnounceComponent(BSTR clsid, VARIANT description) override {
        Record(L"AnnounceComponent " + win::BstrText(clsid) + L" " + DescriptionText(description));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetRegistrationObject(BSTR progId, IUnknown** object) override {
        Record(L"GetRegistrationObject " + win::BstrText(progId));
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (win::BstrText(progId) != L"GoogleDesktop.DisplayPluginRegistration")
            return E_INVALIDARG;
        return win::ComBoundary([&] { *object = win::MakeComObject<TPluginRegistration, IUnknown>().Detach(); });
    }
    HRESULT STDMETHODCALLTYPE CommitComponent() override {
        Record(L"CommitComponent");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE WithdrawComponent(BSTR clsid) override {
        Record(L"WithdrawComponent " + win::BstrText(clsid));
        return S_OK;
    }
};

class TItemHelper final
    : public win::ComObject<IHostItemHelper, win::Extends<IGoogleDesktopDisplayContentItemHelper, IDispatch>> {
public:
    TItemHelper() { Record(L"ItemHelper created"); }
    STANDIN_NO_DISPATCH
    HRESULT STDMETHODCALLTYPE Reserved7() override { return kHelperMarker; }
#define STANDIN_RESERVED(n) \
    HRESULT STDMETHODCALLTYPE Reserved##n() override { return E_NOTIMPL; }
    STANDIN_RESERVED(8) STANDIN_RESERVED(9) STANDIN_RESERVED(10) STANDIN_RESERVED(11) STANDIN_RESERVED(12)
    STANDIN_RESERVED(13) STANDIN_RESERVED(14) STANDIN_RESERVED(15) STANDIN_RESERVED(16) STANDIN_RESERVED(17)
    STANDIN_RESERVED(18) STANDIN_RESERVED(19) STANDIN_RESERVED(20) STANDIN_RESERVED(21) STANDIN_RESERVED(22)
    STANDIN_RESERVED(23) STANDIN_RESERVED(24)
#undef STANDIN_RESERVED
};

std::wstring ThisModulePath() {
    HMODULE module = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCWSTR>(&ThisModulePath), &module);
    wchar_t path[MAX_PATH * 2] = {};
    ::GetModuleFileNameW(module, path, MAX_PATH * 2);
    return path;
}

win::RegistryRows Rows() {
    const std::wstring path = ThisModulePath();
    win::RegistryRows rows;
    for (const GUID* clsid : {&CLSID_GoogleDesktopRegistrar, &CLSID_HostContentItemHelper}) {
        const std::wstring key = L"CLSID\\" + win::GuidText(*clsid);
        rows.push_back({HKEY_CLASSES_ROOT, key, L"", L"Stand-in of the sidebar host"});
        rows.push_back({HKEY_CLASSES_ROOT, key + L"\\InprocServer32", L"", path});
        rows.push_back({HKEY_CLASSES_ROOT, key + L"\\InprocServer32", L"ThreadingModel", L"Apartment"});
    }
    return rows;
}

} // namespace

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    HRESULT hr = win::GetClassObjectOf<TRegistrar>(CLSID_GoogleDesktopRegistrar, clsid, iid, out);
    if (hr == CLASS_E_CLASSNOTAVAILABLE)
        hr = win::GetClassObjectOf<TItemHelper>(CLSID_HostContentItemHelper, clsid, iid, out);
    return hr;
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() { return win::CanUnloadModule(); }

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
    return win::ApplyRegistryRows(Rows()) == ERROR_SUCCESS ? S_OK : SELFREG_E_CLASS;
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
    return win::RemoveRegistryRows(Rows()) == ERROR_SUCCESS ? S_OK : SELFREG_E_CLASS;
}
