// The control hosted by the stand-in sidebar's container: in-place activation, its introduction to every
// display site, every automation member through the vtable and through IDispatch by name, the host commands,
// the standard control interfaces, and a detach that leaves nothing alive.
#include <gtest/gtest.h>

#include <windows.h>
#include <objsafe.h>
#include <olectl.h>

#include <functional>
#include <thread>

#include "HostTestSupport.h"
#include "SidebarSite.h"
#include "common/win/Bstr.h"
#include "common/win/ComInit.h"
#include "common/win/ComPtr.h"
#include "common/win/GdiObjects.h"
#include "common/win/RegKey.h"
#include "common/win/Variant.h"
#include "host/HostIds.h"
#include "host/HostResources.h"

#ifdef __CRT_UUID_DECL
__CRT_UUID_DECL(IObjectSafety, 0xcb5bdc81, 0x93c1, 0x11cf, 0x8f, 0x20, 0x00, 0x80, 0x5f, 0x2c, 0xd0, 0x64)
#endif

namespace mellodeck::test {
namespace {

using standin::TSidebarHost;
using standin::TSiteLog;
using win::ComPtr;

constexpr wchar_t kOptionsKey[] = L"Software\\Marquill\\GDS Controls";

class Control : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(FModule.Handle());
        ASSERT_EQ(FModule.Register(), S_OK);
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kOptionsKey);
    }
    void TearDown() override {
        FHost.reset();
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kOptionsKey);
        THostModule module; // this fixture's own may have been let go
        module.Unregister();
    }
    void Host(int width = 220, int height = 160) {
        FHost = std::make_unique<TSidebarHost>(FLog);
        ASSERT_EQ(FHost->Create(CLSID_GoogleSideBarX, width, height), S_OK);
        FControl = ComPtr<IUnknown>(FHost->Control()).As<IGoogleSideBarX>();
        ASSERT_TRUE(FControl);
    }

    THostTestLock FLock;
    // The control reports whether a player runs (the About box's text): none of another case may.
    TNamedTestLock FPlayerLock{kStandinPlayerLock};
    win::OleInitScope FOle;
    TRegistrarSession FRegistrar;
    THostModule FModule;
    TSiteLog FLog;
    std::unique_ptr<TSidebarHost> FHost;
    ComPtr<IGoogleSideBarX> FControl;
};

const std::vector<std::wstring> kIntroduction = {L"SetTitle WinAmp", L"SetSizeHint 100 100",
                                                 L"SetTitleIcon 12x12 picture 1"};

TEST_F(Control, ActivatesInPlaceAtItsSizeAndIntroducesItselfOnEveryDisplaySite) {
    Host(220, 160);
    const HWND window = FHost->ControlWindow();
    ASSERT_TRUE(window);
    EXPECT_EQ(::GetParent(window), FHost->Window());
    RECT client{};
    ::GetClientRect(window, &client);
    EXPECT_EQ(client.right, 220);
    EXPECT_EQ(client.bottom, 160);
    EXPECT_EQ(FLog.Lines(), kIntroduction);

    // A second site: the same introduction with the same picture; a plain site hears nothing.
    FLog.Clear();
    ASSERT_EQ(FHost->NewSite(true), S_OK);
    EXPECT_EQ(FLog.Lines(), kIntroduction);
    EXPECT_EQ(FHost->TitlePictures.size(), 1u);
    FLog.Clear();
    ASSERT_EQ(FHost->NewSite(false), S_OK);
    EXPECT_TRUE(FLog.Lines().empty());

    ASSERT_EQ(FHost->Resize(180, 300), S_OK);
    ::GetClientRect(window, &client);
    EXPECT_EQ(client.right, 180);
    EXPECT_EQ(client.bottom, 300);
    TSidebarHost::Pump(200);
    std::vector<uint32_t> pixels;
    int width = 0, height = 0;
    ASSERT_TRUE(FHost->CapturePixels(pixels, width, height));
    EXPECT_EQ(width, 180);
    EXPECT_EQ(height, 300);
    EXPECT_TRUE(standin::WritePng(L"control-hosted.png", pixels, width, height));
    // The panel paints something besides its background.
    size_t distinct = 0;
    for (uint32_t p : pixels)
        distinct += p != pixels[0];
    EXPECT_GT(distinct, 100u);
}

// A flag read back through the vtable and by name through IDispatch.
VARIANT_BOOL InvokeGetFlag(IDispatch* dispatch, const wchar_t* name, HRESULT* result = nullptr) {
    LPOLESTR names[1] = {const_cast<LPOLESTR>(name)};
    DISPID id = 0;
    HRESULT hr = dispatch->GetIDsOfNames(IID_NULL, names, 1, 0, &id);
    win::Variant value;
    DISPPARAMS none{};
    if (SUCCEEDED(hr))
        hr = dispatch->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, value.Get(), nullptr, nullptr);
    if (result)
        *result = hr;
    return value.Type() == VT_BOOL ? value.Get()->boolVal : static_cast<VARIANT_BOOL>(42);
}

HRESULT InvokePut(IDispatch* dispatch, const wchar_t* name, VARIANT value) {
    LPOLESTR names[1] = {const_cast<LPOLESTR>(name)};
    DISPID id = 0;
    HRESULT hr = dispatch->GetIDsOfNames(IID_NULL, names, 1, 0, &id);
    if (FAILED(hr))
        return hr;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{&value, &named, 1, 1};
    EXCEPINFO exception{};
    hr = dispatch->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr, &exception, nullptr);
    if (hr == DISP_E_EXCEPTION) {
        hr = exception.scode;
        ::SysFreeString(exception.bstrSource);
        ::SysFreeString(exception.bstrDescription);
        ::SysFreeString(exception.bstrHelpFile);
    }
    return hr;
}

VARIANT Int(long v) {
    VARIANT x;
    ::VariantInit(&x);
    x.vt = VT_I4;
    x.lVal = v;
    return x;
}

TEST_F(Control, FlagsReadAsMinusOneAndAnyNonZeroSetsThemThroughTheVtableAndByName) {
    Host();
    ComPtr<IDispatch> dispatch = FControl.As<IDispatch>();
    ASSERT_TRUE(dispatch);
    struct Flag {
        const wchar_t* Name;
        HRESULT (STDMETHODCALLTYPE IGoogleSideBarX::*Get)(VARIANT_BOOL*);
        HRESULT (STDMETHODCALLTYPE IGoogleSideBarX::*Put)(VARIANT_BOOL);
    };
    const Flag flags[] = {
        {L"RunAlwaysMinimized", &IGoogleSideBarX::get_RunAlwaysMinimized, &IGoogleSideBarX::put_RunAlwaysMinimized},
        {L"ReplaceWithDropped", &IGoogleSideBarX::get_ReplaceWithDropped, &IGoogleSideBarX::put_ReplaceWithDropped},
        {L"SeparateLines", &IGoogleSideBarX::get_SeparateLines, &IGoogleSideBarX::put_SeparateLines},
        {L"GlobalHotkeyEnabled", &IGoogleSideBarX::get_GlobalHotkeyEnabled, &IGoogleSideBarX::put_GlobalHotkeyEnabled},
        {L"DoubleBuffered", &IGoogleSideBarX::get_DoubleBuffered, &IGoogleSideBarX::put_DoubleBuffered},
        {L"Enabled", &IGoogleSideBarX::get_Enabled, &IGoogleSideBarX::put_Enabled},
        {L"Visible", &IGoogleSideBarX::get_Visible, &IGoogleSideBarX::put_Visible},
    };
    IGoogleSideBarX* c = FControl.Get();
    for (const Flag& f : flags) {
        SCOPED_TRACE(f.Name);
        VARIANT_BOOL value = 7;
        EXPECT_EQ((c->*f.Put)(1), S_OK); // any non-zero value is true
        EXPECT_EQ((c->*f.Get)(&value), S_OK);
        EXPECT_EQ(value, VARIANT_TRUE);
        EXPECT_EQ(InvokeGetFlag(dispatch.Get(), f.Name), VARIANT_TRUE);
        EXPECT_EQ(InvokePut(dispatch.Get(), f.Name, Int(0)), S_OK);
        EXPECT_EQ((c->*f.Get)(&value), S_OK);
        EXPECT_EQ(value, VARIANT_FALSE);
        EXPECT_EQ(InvokePut(dispatch.Get(), f.Name, Int(5)), S_OK);
        EXPECT_EQ(InvokeGetFlag(dispatch.Get(), f.Name), VARIANT_TRUE);
        EXPECT_EQ((c->*f.Get)(nullptr), E_POINTER);
    }
    // The options live in the registry, where the panel reads them on every access.
    VARIANT_BOOL value = 0;
    ASSERT_EQ(c->put_SeparateLines(VARIANT_TRUE), S_OK);
    EXPECT_TRUE(win::RegKey::Open(HKEY_CURRENT_USER, kOptionsKey, KEY_READ));
    ASSERT_EQ(c->get_SeparateLines(&value), S_OK);
    EXPECT_EQ(value, VARIANT_TRUE);
}

TEST_F(Control, TextModeFontAndTheOtherMembersAnswerThroughBothPaths) {
    Host();
    IGoogleSideBarX* c = FControl.Get();
    ComPtr<IDispatch> dispatch = FControl.As<IDispatch>();

    // Texts; a null BSTR is the empty text.
    for (auto [put, get] : {std::pair{&IGoogleSideBarX::put_Caption, &IGoogleSideBarX::get_Caption},
                            std::pair{&IGoogleSideBarX::put_PositionString, &IGoogleSideBarX::get_PositionString},
                            std::pair{&IGoogleSideBarX::put_OpenHotkey, &IGoogleSideBarX::get_OpenHotkey}}) {
        const win::Bstr text = win::Bstr::FromString(L"Ctrl+Alt+Q");
        EXPECT_EQ((c->*put)(text.Get()), S_OK);
        win::Bstr back;
        EXPECT_EQ((c->*get)(back.Put()), S_OK);
        EXPECT_EQ(back.Text(), L"Ctrl+Alt+Q");
        EXPECT_EQ((c->*get)(nullptr), E_POINTER);
    }
    EXPECT_EQ(c->put_Caption(nullptr), S_OK);
    win::Bstr caption;
    EXPECT_EQ(c->get_Caption(caption.Put()), S_OK);
    EXPECT_EQ(caption.Text(), L"");
    VARIANT text;
    ::VariantInit(&text);
    text.vt = VT_BSTR;
    text.bstrVal = ::SysAllocString(L"Now playing");
    EXPECT_EQ(InvokePut(dispatch.Get(), L"Caption", text), S_OK);
    ::VariantClear(&text);
    EXPECT_EQ(c->get_Caption(caption.Put()), S_OK);
    EXPECT_EQ(caption.Text(), L"Now playing");

    // Mode: the panel plays Winamp once hosted; values outside the enumeration are refused.
    TxSideBarMode mode = sbmNone;
    EXPECT_EQ(c->get_Mode(&mode), S_OK);
    EXPECT_EQ(mode, sbmWinAmp);
    EXPECT_EQ(c->put_Mode(sbmNone), S_OK);
    EXPECT_EQ(c->get_Mode(&mode), S_OK);
    EXPECT_EQ(mode, sbmNone);
    EXPECT_EQ(c->put_Mode(static_cast<TxSideBarMode>(5)), E_INVALIDARG);
    EXPECT_EQ(InvokePut(dispatch.Get(), L"Mode", Int(7)), E_INVALIDARG);
    EXPECT_EQ(c->get_Mode(nullptr), E_POINTER);

    // Font: a font object for the panel's font; a given font becomes the panel's; no font is refused. (The
    // font object reports the face the system realised, which under Wine may be a substitute.)
    ComPtr<IFontDisp> font;
    ASSERT_EQ(c->get_Font(font.Put()), S_OK);
    ComPtr<IFont> face = font.As<IFont>();
    ASSERT_TRUE(face);
    BOOL bold = TRUE;
    ASSERT_EQ(face->get_Bold(&bold), S_OK);
    EXPECT_FALSE(bold);
    FONTDESC arial{sizeof(FONTDESC), const_cast<LPOLESTR>(L"Arial"), {{90000, 0}}, FW_BOLD, ANSI_CHARSET, FALSE, FALSE,
                   FALSE};
    ComPtr<IFontDisp> given;
    ASSERT_EQ(::OleCreateFontIndirect(&arial, __uuidof(IFontDisp), given.PutVoid()), S_OK);
    EXPECT_EQ(c->put_Font(given.Get()), S_OK);
    ASSERT_EQ(c->get_Font(font.Put()), S_OK);
    ASSERT_EQ(font.As<IFont>()->get_Bold(&bold), S_OK);
    EXPECT_TRUE(bold);
    EXPECT_EQ(c->putref_Font(given.Get()), S_OK);
    EXPECT_EQ(c->put_Font(nullptr), E_INVALIDARG);
    EXPECT_EQ(c->putref_Font(nullptr), E_INVALIDARG);
    EXPECT_EQ(c->get_Font(nullptr), E_POINTER);

    // The framework members of a left-to-right panel.
    VARIANT_BOOL flag = 7;
    LONG number = 7;
    EXPECT_EQ(c->get_AlignDisabled(&flag), S_OK);
    EXPECT_EQ(flag, VARIANT_FALSE);
    EXPECT_EQ(c->get_VisibleDockClientCount(&number), S_OK);
    EXPECT_EQ(number, 0);
    EXPECT_EQ(c->DrawTextBiDiModeFlagsReadingOnly(&number), S_OK);
    EXPECT_EQ(number, 0);
    for (auto member : {&IGoogleSideBarX::IsRightToLeft, &IGoogleSideBarX::UseRightToLeftReading,
                        &IGoogleSideBarX::UseRightToLeftScrollBar}) {
        flag = 7;
        EXPECT_EQ((c->*member)(&flag), S_OK);
        EXPECT_EQ(flag, VARIANT_FALSE);
        EXPECT_EQ((c->*member)(nullptr), E_POINTER);
    }
    EXPECT_EQ(c->InitiateAction(), S_OK);
    EXPECT_EQ(c->SetSubComponent(VARIANT_TRUE), S_OK);
    EXPECT_EQ(c->get_AlignDisabled(nullptr), E_POINTER);
    EXPECT_EQ(c->get_VisibleDockClientCount(nullptr), E_POINTER);
    EXPECT_EQ(c->DrawTextBiDiModeFlagsReadingOnly(nullptr), E_POINTER);

    // Methods and read-only properties by name.
    LPOLESTR names[1] = {const_cast<LPOLESTR>(L"DrawTextBiDiModeFlagsReadingOnly")};
    DISPID id = 0;
    ASSERT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
    EXPECT_EQ(id, 206);
    win::Variant result;
    DISPPARAMS none{};
    EXPECT_EQ(dispatch->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &none, result.Get(), nullptr, nullptr), S_OK);
    EXPECT_EQ(result.Type(), VT_I4);

    // What a careless host may send.
    names[0] = const_cast<LPOLESTR>(L"NoSuchMember");
    EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 1, 0, &id), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(dispatch->Invoke(999, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, result.Put(), nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(dispatch->Invoke(201, IID_NULL, 0, DISPATCH_PROPERTYGET, nullptr, result.Put(), nullptr, nullptr),
              E_INVALIDARG);
    VARIANT wrong;
    ::VariantInit(&wrong);
    wrong.vt = VT_UNKNOWN;
    wrong.punkVal = FControl.Get();
    EXPECT_TRUE(FAILED(InvokePut(dispatch.Get(), L"RunAlwaysMinimized", wrong)));
    DISPPARAMS noValue{};
    EXPECT_TRUE(FAILED(dispatch->Invoke(213, IID_NULL, 0, DISPATCH_PROPERTYPUT, &noValue, nullptr, nullptr, nullptr)));
}

// Runs `show` while a watcher reads the About box's texts and closes it.
struct AboutTexts {
    std::wstring Version, Formats;
    bool Seen = false;
};

AboutTexts WithAboutBox(const std::function<HRESULT()>& show, HRESULT& result) {
    AboutTexts texts;
    std::thread watcher([&] {
        HWND dialog = standin::WaitForDialog(L"Mellodeck ", 20000);
        if (!dialog)
            return;
        wchar_t buffer[1024] = {};
        ::GetDlgItemTextW(dialog, IDC_ABOUT_VERSION, buffer, 1024);
        texts.Version = buffer;
        ::GetDlgItemTextW(dialog, IDC_ABOUT_FORMATS, buffer, 1024);
        texts.Formats = buffer;
        texts.Seen = true;
        ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    });
    result = show();
    watcher.join();
    return texts;
}

TEST_F(Control, CommandOneShowsTheAboutBoxAndTheOthersAreNotImplemented) {
    Host();
    ComPtr<IHostPluginCommands> commands = FControl.As<IHostPluginCommands>();
    ASSERT_TRUE(commands);
    EXPECT_EQ(commands->ExecuteCommand(0), E_NOTIMPL);
    EXPECT_EQ(commands->ExecuteCommand(2), E_NOTIMPL);
    EXPECT_EQ(commands->Reserved4(1), E_NOTIMPL);
    EXPECT_EQ(commands->Reserved5(1), E_NOTIMPL);
    EXPECT_EQ(standin::WaitForDialog(L"Mellodeck ", 0), nullptr);

    HRESULT hr = E_FAIL;
    AboutTexts texts = WithAboutBox([&] { return commands->ExecuteCommand(1); }, hr);
    EXPECT_EQ(hr, S_OK);
    ASSERT_TRUE(texts.Seen);
    EXPECT_EQ(texts.Version.rfind(L"Version: 1.0.0.0 (WinAmp not ", 0), 0u) << texts.Version;
    EXPECT_EQ(texts.Formats.rfind(L"The file types supported include MP3", 0), 0u) << texts.Formats;
    EXPECT_EQ(texts.Formats.back(), L'.');

    texts = WithAboutBox([&] { return FControl->AboutBox(); }, hr);
    EXPECT_EQ(hr, S_OK);
    EXPECT_TRUE(texts.Seen);
}

TEST_F(Control, AnswersTheStandardControlInterfaces) {
    Host();
    ComPtr<IObjectSafety> safety = FControl.As<IObjectSafety>();
    ASSERT_TRUE(safety);
    DWORD supported = 9, enabled = 9;
    EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled), S_OK);
    EXPECT_EQ(supported, 3u);
    EXPECT_EQ(enabled, 0u);
    EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, 3, 1), S_OK);
    EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled), S_OK);
    EXPECT_EQ(enabled, 1u);
    EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IClassFactory, &supported, &enabled), E_NOINTERFACE);
    EXPECT_EQ(supported, 0u);
    EXPECT_EQ(enabled, 0u);
    EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IClassFactory, 3, 3), E_NOINTERFACE);
    EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, nullptr, &enabled), E_POINTER);

    CAUUID pages{};
    ASSERT_EQ(FControl.As<ISpecifyPropertyPages>()->GetPages(&pages), S_OK);
    ASSERT_EQ(pages.cElems, 1u);
    EXPECT_TRUE(IsEqualGUID(pages.pElems[0], CLSID_TPropertyPageForm));
    ::CoTaskMemFree(pages.pElems);

    ComPtr<ITypeInfo> classInfo;
    ASSERT_EQ(FControl.As<IProvideClassInfo>()->GetClassInfo(classInfo.Put()), S_OK);
    TYPEATTR* attributes = nullptr;
    ASSERT_EQ(classInfo->GetTypeAttr(&attributes), S_OK);
    EXPECT_TRUE(IsEqualGUID(attributes->guid, CLSID_GoogleSideBarX));
    classInfo->ReleaseTypeAttr(attributes);

    DWORD misc = 0;
    EXPECT_EQ(FControl.As<IOleObject>()->GetMiscStatus(DVASPECT_CONTENT, &misc), S_OK);
    EXPECT_EQ(misc, 205201u);

    // The event interface: one sink, kept until it is unadvised.
    ComPtr<IConnectionPoint> point;
    ASSERT_EQ(FControl.As<IConnectionPointContainer>()->FindConnectionPoint(DIID_IGoogleSideBarXEvents, point.Put()),
              S_OK);
    ComPtr<IConnectionPoint> none;
    EXPECT_EQ(FControl.As<IConnectionPointContainer>()->FindConnectionPoint(IID_IDispatch, none.Put()),
              CONNECT_E_NOCONNECTION);
    ComPtr<IDispatch> sink = ComPtr<IUnknown>(FHost->Site()->Unknown()).As<IDispatch>();
    DWORD cookie = 0;
    ASSERT_EQ(point->Advise(sink.Get(), &cookie), S_OK);
    DWORD second = 0;
    EXPECT_EQ(point->Advise(sink.Get(), &second), CONNECT_E_ADVISELIMIT);
    EXPECT_EQ(point->Unadvise(cookie), S_OK);
    EXPECT_EQ(point->Unadvise(cookie), CONNECT_E_NOCONNECTION);
    ComPtr<IEnumConnectionPoints> points;
    ASSERT_EQ(FControl.As<IConnectionPointContainer>()->EnumConnectionPoints(points.Put()), S_OK);
    IConnectionPoint* listed[2] = {};
    ULONG fetched = 0;
    EXPECT_EQ(points->Next(2, listed, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 1u);
    EXPECT_EQ(listed[0], point.Get());
    listed[0]->Release();

    // Persistence keeps nothing and succeeds; drawing goes into any context.
    ComPtr<IStream> stream;
    ASSERT_EQ(::CreateStreamOnHGlobal(nullptr, TRUE, stream.Put()), S_OK);
    EXPECT_EQ(FControl.As<IPersistStreamInit>()->Save(stream.Get(), TRUE), S_OK);
    EXPECT_EQ(FControl.As<IPersistStreamInit>()->Load(stream.Get()), S_OK);
    EXPECT_EQ(FControl.As<IPersistPropertyBag>()->InitNew(), S_OK);
    win::MemoryDC dc = win::MemoryDC::CreateCompatible(nullptr);
    win::GdiObject<HBITMAP> bitmap(::CreateBitmap(220, 160, 1, 32, nullptr));
    win::SelectGuard select(dc.Get(), bitmap.Get());
    const RECTL bounds{0, 0, 220, 160};
    EXPECT_EQ(FControl.As<IViewObject2>()->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc.Get(), &bounds,
                                                nullptr, nullptr, 0),
              S_OK);
    EXPECT_TRUE(FControl.As<IQuickActivate>());
    EXPECT_TRUE(FControl.As<IOleControl>());
    EXPECT_TRUE(FControl.As<IOleInPlaceActiveObject>());
    EXPECT_TRUE(FControl.As<IPersistStorage>());
}

TEST_F(Control, ADetachedControlKeepsNoSiteAndTheModuleUnloadsAndServesAgain) {
    FModule.Free(); // only COM holds the module from here on
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        Host();
        standin::TSidebarSite* site = FHost->Site();
        ComPtr<IOleObject> object = FControl.As<IOleObject>();
        ASSERT_EQ(object->SetClientSite(nullptr), S_OK);
        ComPtr<IOleInPlaceObject>(FControl.As<IOleInPlaceObject>())->InPlaceDeactivate();
        // Only the host holds its site now: the control let go of the client, in-place and display sites.
        site->AddRef();
        EXPECT_EQ(site->Release(), 1u);
        object.Reset();
        FControl.Reset();
        FHost.reset();
        HMODULE module = ::GetModuleHandleW(L"mellodeck.dll");
        ASSERT_TRUE(module);
        auto canUnload = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
            reinterpret_cast<void*>(::GetProcAddress(module, "DllCanUnloadNow")));
        EXPECT_EQ(canUnload(), S_OK);
        // COM unloads it; the next round loads it again, window classes and all.
        ::CoFreeUnusedLibrariesEx(0, 0);
        EXPECT_EQ(::GetModuleHandleW(L"mellodeck.dll"), nullptr);
    }
}

} // namespace
} // namespace mellodeck::test
