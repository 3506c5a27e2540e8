// The content item created by its class identifier: its fixed answers, what it draws, and the host helper's
// interfaces handed out through it.
#include <gtest/gtest.h>

#include <windows.h>

#include "HostTestSupport.h"
#include "common/win/Bstr.h"
#include "common/win/ComInit.h"
#include "common/win/ComPtr.h"
#include "common/win/GdiObjects.h"
#include "host/HostIds.h"
#include "tools/standins/registrar/StandinRegistrar.h"

namespace mellodeck::test {
namespace {

using win::ComPtr;

class ContentItem : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(FModule.Handle());
        ASSERT_EQ(FModule.Register(), S_OK);
    }
    void TearDown() override { FModule.Unregister(); }

    ComPtr<IHostContentItemHandler> Create(HRESULT* result = nullptr) {
        ComPtr<IHostContentItemHandler> item;
        const HRESULT hr = ::CoCreateInstance(CLSID_TDisplayContentItem, nullptr, CLSCTX_INPROC_SERVER,
                                              __uuidof(IHostContentItemHandler), item.PutVoid());
        if (result)
            *result = hr;
        return item;
    }

    THostTestLock FLock;
    win::ComInitScope FCom;
    TRegistrarSession FRegistrar;
    THostModule FModule;
};

TEST_F(ContentItem, AnswersItsFixedValuesAndRefusesNullOutputs) {
    ComPtr<IHostContentItemHandler> item = Create();
    ASSERT_TRUE(item);
    LONG value = 0;
    EXPECT_EQ(item->GetHeight(1, 2, 3, &value), S_OK);
    EXPECT_EQ(value, 50);
    EXPECT_EQ(item->GetHeight(-7, 0, 99, &value), S_OK);
    EXPECT_EQ(value, 50);
    EXPECT_EQ(item->GetFlags(&value), S_OK);
    EXPECT_EQ(value, 2);
    win::Bstr tooltip;
    EXPECT_EQ(item->Get_tooltip(tooltip.Put()), S_OK);
    EXPECT_EQ(tooltip.Text(), L"TDisplayContentItem.Get_tooltip");

    IUnknown* first = reinterpret_cast<IUnknown*>(1);
    IUnknown* second = reinterpret_cast<IUnknown*>(1);
    VARIANT_BOOL flag = VARIANT_TRUE;
    EXPECT_EQ(item->Reserved8(&first, 5, &second, &flag), S_OK);
    EXPECT_EQ(first, nullptr);
    EXPECT_EQ(second, nullptr);
    EXPECT_EQ(flag, VARIANT_FALSE);
    EXPECT_EQ(item->Reserved8(nullptr, 5, nullptr, nullptr), S_OK);
    for (HRESULT hr : {item->Reserved5(), item->Reserved6(), item->Reserved7(1, 2, 3, 4), item->Reserved9(1),
                       item->Reserved10(1)})
        EXPECT_EQ(hr, S_OK);

    EXPECT_EQ(item->GetHeight(0, 0, 0, nullptr), E_POINTER);
    EXPECT_EQ(item->GetFlags(nullptr), E_POINTER);
    EXPECT_EQ(item->Get_tooltip(nullptr), E_POINTER);
}

TEST_F(ContentItem, DrawsItsNameIntoTheGivenContextAndOpensNoWindow) {
    ComPtr<IHostContentItemHandler> item = Create();
    ASSERT_TRUE(item);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = 200;
    info.bmiHeader.biHeight = -20;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    win::GdiObject<HBITMAP> bitmap(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    ASSERT_TRUE(bitmap);
    auto* pixels = static_cast<uint32_t*>(bits);
    std::fill(pixels, pixels + 200 * 20, 0x00FFFFFFu);
    win::MemoryDC dc = win::MemoryDC::CreateCompatible(nullptr);
    win::SelectGuard select(dc.Get(), bitmap.Get());
    const DWORD windowsBefore = ::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS);

    // The host passes its context in the first value; the other two mean nothing to the item.
    EXPECT_EQ(item->DrawItem(static_cast<LONG>(reinterpret_cast<LONG_PTR>(dc.Get())), 0, 0), S_OK);
    ::GdiFlush();
    int dark = 0;
    for (int i = 0; i < 200 * 20; ++i)
        dark += (pixels[i] & 0xFF) < 0x80;
    EXPECT_GT(dark, 20); // "TDisplayContentItem" in black
    EXPECT_EQ(::FindWindowW(L"#32770", L"TDisplayContentItem"), nullptr);
    EXPECT_LE(::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS), windowsBefore);
    // Something that is no context is not drawn into.
    EXPECT_EQ(item->DrawItem(12345, 0, 0), S_OK);
    EXPECT_EQ(item->DrawItem(0, 0, 0), S_OK);
}

TEST_F(ContentItem, HandsOutTheHelpersInterfacesAndItsOwnDispatch) {
    ComPtr<IHostContentItemHandler> item = Create();
    ASSERT_TRUE(item);
    // The helper's interface, not one of the item's: its first operation answers the helper's marker.
    ComPtr<IGoogleDesktopDisplayContentItemHelper> helper = item.As<IGoogleDesktopDisplayContentItemHelper>();
    ASSERT_TRUE(helper);
    EXPECT_EQ(helper->Reserved7(), standin::kHelperMarker);
    EXPECT_TRUE(item.As<IHostItemHelper>());
    // Neither has it.
    HRESULT hr = S_OK;
    EXPECT_FALSE(item.As<IPersist>(__uuidof(IPersist), &hr));
    EXPECT_EQ(hr, E_NOINTERFACE);

    ComPtr<ITDisplayContentItem> dual = item.As<ITDisplayContentItem>();
    ASSERT_TRUE(dual);
    ComPtr<ITypeInfo> info;
    ASSERT_EQ(dual->GetTypeInfo(0, 0, info.Put()), S_OK);
    TYPEATTR* attributes = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attributes), S_OK);
    EXPECT_TRUE(IsEqualGUID(attributes->guid, IID_ITDisplayContentItem));
    info->ReleaseTypeAttr(attributes);
    EXPECT_TRUE(item.As<IDispatch>());
    EXPECT_EQ(dual->GetTypeInfo(1, 0, info.Put()), DISP_E_BADINDEX);
    EXPECT_EQ(FRegistrar.Log().back(), L"ItemHelper created");
}

TEST_F(ContentItem, CannotBeCreatedWhereTheHostHelperCannot) {
    FRegistrar.SetRegistered(false);
    HRESULT hr = S_OK;
    EXPECT_FALSE(Create(&hr));
    EXPECT_EQ(hr, REGDB_E_CLASSNOTREG);
}

} // namespace
} // namespace mellodeck::test
