// The options page driven directly through IPropertyPage, the way a property frame would (Wine's own frame
// never applies a page): it reads the control's five options, lays its sheets out and writes them back.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "FakeSideBarControl.h"
#include "HostTestSupport.h"
#include "SidebarSite.h"
#include "common/win/ComInit.h"
#include "common/win/ComPtr.h"
#include "common/win/UserObjects.h"
#include "host/HostIds.h"
#include "host/HostResources.h"

namespace mellodeck::test {
namespace {

using standin::FindControl;

using win::ComPtr;

class TFakePageSite final : public win::ComObject<IPropertyPageSite> {
public:
    std::vector<DWORD> Changes;
    HRESULT STDMETHODCALLTYPE OnStatusChange(DWORD flags) override {
        Changes.push_back(flags);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetLocaleID(LCID* lcid) override {
        *lcid = 0x409;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPageContainer(IUnknown**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG*) override { return S_FALSE; }
};

RECT Bounds(HWND w) {
    RECT r{};
    ::GetWindowRect(w, &r);
    ::MapWindowPoints(HWND_DESKTOP, ::GetParent(w), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

class PropertyPage : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(FModule.Handle());
        ASSERT_EQ(FModule.Register(), S_OK);
        ASSERT_EQ(::CoCreateInstance(CLSID_TPropertyPageForm, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IPropertyPage),
                                     FPage.PutVoid()),
                  S_OK);
        FFrame.Reset(::CreateWindowExW(0, L"STATIC", L"frame", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 480, 360,
                                       nullptr, nullptr, nullptr, nullptr));
        ASSERT_TRUE(FFrame);
        FControl = win::MakeComObject<TFakeSideBarControl>();
        FSite = win::MakeComObject<TFakePageSite>();
    }
    void TearDown() override {
        if (FPage) {
            FPage->Deactivate();
            FPage->SetObjects(0, nullptr);
            FPage->SetPageSite(nullptr);
        }
        FPage.Reset();
        FFrame.Reset();
        FModule.Unregister();
    }
    HRESULT GiveControl() {
        IUnknown* object = FControl->Unknown();
        return FPage->SetObjects(1, &object);
    }
    void Activate() {
        const RECT bounds{0, 0, 409, 278};
        ASSERT_EQ(FPage->Activate(FFrame.Get(), &bounds, FALSE), S_OK);
    }
    HWND Item(int id) { return FindControl(FFrame.Get(), id); }
    bool Checked(int id) { return ::SendMessageW(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }

    THostTestLock FLock;
    win::ComInitScope FCom;
    TRegistrarSession FRegistrar;
    THostModule FModule;
    ComPtr<IPropertyPage> FPage;
    win::UniqueWindow FFrame;
    ComPtr<TFakeSideBarControl> FControl;
    ComPtr<TFakePageSite> FSite;
};

TEST_F(PropertyPage, ReadsTheFiveOptionsAndWritesThemBackInOrder) {
    PROPPAGEINFO info{};
    ASSERT_EQ(FPage->GetPageInfo(&info), S_OK);
    EXPECT_STREQ(info.pszTitle, L"Mellodeck  Options");
    EXPECT_EQ(info.size.cx, 409);
    EXPECT_EQ(info.size.cy, 278);
    ::CoTaskMemFree(info.pszTitle);

    FControl->RunAlwaysMinimized = true;
    FControl->SeparateLines = true;
    FControl->OpenHotkey = L"Ctrl+Alt+W";
    ASSERT_EQ(FPage->SetPageSite(FSite.Get()), S_OK);
    ASSERT_EQ(GiveControl(), S_OK);
    Activate();
    EXPECT_TRUE(Checked(IDC_RUN_MINIMIZED));
    EXPECT_FALSE(Checked(IDC_REPLACE_WITH_DROPPED));
    EXPECT_TRUE(Checked(IDC_MULTILINE));
    EXPECT_FALSE(Checked(IDC_GLOBAL_SHORTCUTS));
    // Hotkeys off: the edit and its label are disabled; W shows with Ctrl, Alt and the extended flag.
    EXPECT_FALSE(::IsWindowEnabled(Item(IDC_OPEN_HOTKEY)));
    EXPECT_FALSE(::IsWindowEnabled(Item(IDC_OPEN_LABEL)));
    EXPECT_EQ(::SendMessageW(Item(IDC_OPEN_HOTKEY), HKM_GETHOTKEY, 0, 0),
              MAKEWORD('W', HOTKEYF_CONTROL | HOTKEYF_ALT | HOTKEYF_EXT));
    EXPECT_EQ(FPage->IsPageDirty(), S_FALSE);

    // Checking the box enables both at once and makes the page dirty.
    ::SendMessageW(Item(IDC_GLOBAL_SHORTCUTS), BM_CLICK, 0, 0);
    EXPECT_TRUE(::IsWindowEnabled(Item(IDC_OPEN_HOTKEY)));
    EXPECT_TRUE(::IsWindowEnabled(Item(IDC_OPEN_LABEL)));
    EXPECT_EQ(FPage->IsPageDirty(), S_OK);
    ASSERT_FALSE(FSite->Changes.empty());
    EXPECT_TRUE(FSite->Changes.back() & PROPPAGESTATUS_DIRTY);

    ::SendMessageW(Item(IDC_OPEN_HOTKEY), HKM_SETHOTKEY, MAKEWORD(VK_F5, HOTKEYF_SHIFT), 0);
    ::SendMessageW(Item(IDC_RUN_MINIMIZED), BM_CLICK, 0, 0);
    ASSERT_EQ(FPage->Apply(), S_OK);
    EXPECT_EQ(FControl->Writes, (std::vector<std::wstring>{L"RunAlwaysMinimized=0", L"ReplaceWithDropped=0",
                                                           L"SeparateLines=-1", L"GlobalHotkeyEnabled=-1",
                                                           L"OpenHotkey=Shift+F5"}));
    EXPECT_EQ(FPage->IsPageDirty(), S_FALSE);

    // A function key shows no extended flag.
    FControl->OpenHotkey = L"Shift+F5";
    ASSERT_EQ(GiveControl(), S_OK);
    EXPECT_EQ(::SendMessageW(Item(IDC_OPEN_HOTKEY), HKM_GETHOTKEY, 0, 0), MAKEWORD(VK_F5, HOTKEYF_SHIFT));
}

TEST_F(PropertyPage, LaysTheSheetsOutBelowTheirWrappedLabels) {
    ASSERT_EQ(GiveControl(), S_OK);
    Activate();
    const RECT run = Bounds(Item(IDC_RUN_LABEL)), runCheck = Bounds(Item(IDC_RUN_MINIMIZED));
    const RECT stateBox = Bounds(Item(IDC_WINDOW_STATE_BOX)), dragBox = Bounds(Item(IDC_DRAG_DROP_BOX));
    EXPECT_GT(run.bottom - run.top, 13); // the long label wraps onto more than one line
    EXPECT_EQ(runCheck.top, run.bottom + 10);
    EXPECT_EQ(stateBox.bottom, runCheck.bottom + 10);
    EXPECT_EQ(dragBox.top, stateBox.bottom + 10);
    EXPECT_EQ(dragBox.right - dragBox.left, stateBox.right - stateBox.left);
    EXPECT_EQ(run.right - run.left, (stateBox.right - stateBox.left) - 2 * 12);
    const RECT replace = Bounds(Item(IDC_REPLACE_LABEL)), replaceCheck = Bounds(Item(IDC_REPLACE_WITH_DROPPED));
    EXPECT_EQ(replaceCheck.top, replace.bottom + 10);
    EXPECT_EQ(dragBox.bottom, replaceCheck.bottom + 10);

    const RECT global = Bounds(Item(IDC_GLOBAL_LABEL)), shortcuts = Bounds(Item(IDC_GLOBAL_SHORTCUTS));
    const RECT edit = Bounds(Item(IDC_OPEN_HOTKEY)), open = Bounds(Item(IDC_OPEN_LABEL));
    EXPECT_EQ(global.bottom - global.top, 26);
    EXPECT_EQ(shortcuts.top, global.bottom + 10);
    EXPECT_EQ(edit.top, shortcuts.bottom + 8);
    EXPECT_EQ(edit.right - edit.left, 105);
    EXPECT_EQ(open.left, shortcuts.left + (shortcuts.bottom - shortcuts.top));
    EXPECT_EQ(open.top, edit.top + ((edit.bottom - edit.top) - (open.bottom - open.top)) / 2);
    EXPECT_EQ(Bounds(Item(IDC_HOTKEY_BOX)).bottom, edit.bottom + 10);
}

TEST_F(PropertyPage, WithoutAUsableObjectItAppliesNothingAndBadArgumentsAreRefused) {
    EXPECT_EQ(FPage->SetObjects(0, nullptr), S_OK);
    IUnknown* none = nullptr;
    EXPECT_EQ(FPage->SetObjects(1, &none), S_OK);
    IUnknown* notTheControl = FSite->Unknown();
    EXPECT_EQ(FPage->SetObjects(1, &notTheControl), S_OK);
    Activate();
    EXPECT_EQ(FPage->Apply(), S_OK);
    EXPECT_TRUE(FControl->Writes.empty());
    EXPECT_EQ(FPage->GetPageInfo(nullptr), E_POINTER);
    EXPECT_EQ(FPage->Activate(FFrame.Get(), nullptr, FALSE), E_POINTER);
    EXPECT_EQ(FPage->Move(nullptr), E_POINTER);
    EXPECT_EQ(FPage->TranslateAccelerator(nullptr), E_POINTER);

    // A control whose options cannot be read: the failure is the answer and nothing is written.
    FControl->ReadFailure = E_ACCESSDENIED;
    EXPECT_EQ(GiveControl(), E_ACCESSDENIED);
    EXPECT_EQ(FPage->Apply(), S_OK); // nothing usable was kept
    EXPECT_TRUE(FControl->Writes.empty());
}

} // namespace
} // namespace mellodeck::test
