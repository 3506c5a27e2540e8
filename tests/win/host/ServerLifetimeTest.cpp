// DllCanUnloadNow over objects and server locks, and a module that unloads and serves again.
#include <gtest/gtest.h>

#include <windows.h>

#include "HostTestSupport.h"
#include "common/win/ComInit.h"
#include "common/win/ComPtr.h"
#include "host/HostIds.h"

namespace mellodeck::test {
namespace {

using win::ComPtr;

TEST(ServerLifetime, UnloadsOnlyWhenNoObjectAndNoLockIsLeftAndServesAgainAfterwards) {
    THostTestLock lock;
    win::ComInitScope com;
    TRegistrarSession registrar;
    {
        THostModule module;
        ASSERT_EQ(module.Register(), S_OK);
    }
    const std::wstring name = L"mellodeck.dll";
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        ComPtr<IHostContentItemHandler> item;
        ASSERT_EQ(::CoCreateInstance(CLSID_TDisplayContentItem, nullptr, CLSCTX_INPROC_SERVER,
                                     __uuidof(IHostContentItemHandler), item.PutVoid()),
                  S_OK);
        HMODULE module = ::GetModuleHandleW(name.c_str());
        ASSERT_TRUE(module);
        auto canUnload = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
            reinterpret_cast<void*>(::GetProcAddress(module, "DllCanUnloadNow")));
        auto getClassObject = reinterpret_cast<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(
            reinterpret_cast<void*>(::GetProcAddress(module, "DllGetClassObject")));
        ASSERT_TRUE(canUnload && getClassObject);
        EXPECT_EQ(canUnload(), S_FALSE);

        // A second object through the factory, and a lock on the server.
        ComPtr<IClassFactory> factory;
        ASSERT_EQ(getClassObject(CLSID_TPropertyPageForm, __uuidof(IClassFactory), factory.PutVoid()), S_OK);
        ComPtr<IPropertyPage> page;
        ASSERT_EQ(factory->CreateInstance(nullptr, __uuidof(IPropertyPage), page.PutVoid()), S_OK);
        EXPECT_EQ(factory->LockServer(TRUE), S_OK);
        item.Reset();
        EXPECT_EQ(canUnload(), S_FALSE); // the page
        page.Reset();
        EXPECT_EQ(canUnload(), S_FALSE); // the lock
        EXPECT_EQ(factory->LockServer(FALSE), S_OK);
        EXPECT_EQ(canUnload(), S_OK);
        factory.Reset();

        // COM unloads it; the next creation loads it again and works.
        ::CoFreeUnusedLibrariesEx(0, 0);
        EXPECT_EQ(::GetModuleHandleW(name.c_str()), nullptr);
    }
    // Unknown classes and bad arguments.
    THostModule module;
    ComPtr<IClassFactory> factory;
    EXPECT_EQ(module.GetClassObject(IID_IUnknown, __uuidof(IClassFactory), factory.PutVoid()),
              CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(module.GetClassObject(CLSID_TDisplayContentItem, __uuidof(IClassFactory), nullptr), E_POINTER);
    ASSERT_EQ(module.GetClassObject(CLSID_TDisplayContentItem, __uuidof(IClassFactory), factory.PutVoid()), S_OK);
    ComPtr<IUnknown> object;
    ComPtr<IUnknown> outer(factory.Get());
    EXPECT_EQ(factory->CreateInstance(outer.Get(), IID_IUnknown, object.PutVoid()), CLASS_E_NOAGGREGATION);
    factory.Reset();
    EXPECT_EQ(module.Unregister(), S_OK);
}

} // namespace
} // namespace mellodeck::test
