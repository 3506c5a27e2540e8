// The type library embedded in the module: its identity, its entries and the control's interface as hosts and
// property browsers read it.
#include <gtest/gtest.h>

#include <windows.h>
#include <oleauto.h>

#include <map>

#include "HostTestSupport.h"
#include "common/win/Bstr.h"
#include "common/win/ComPtr.h"
#include "host/HostIds.h"

namespace mellodeck::test {
namespace {

using win::ComPtr;

ComPtr<ITypeLib> LoadModuleLibrary() {
    ComPtr<ITypeLib> library;
    EXPECT_EQ(::LoadTypeLibEx(HostDllPath().c_str(), REGKIND_NONE, library.Put()), S_OK);
    return library;
}

std::wstring Name(ITypeInfo* info, MEMBERID id) {
    win::Bstr name;
    info->GetDocumentation(id, name.Put(), nullptr, nullptr, nullptr);
    return name.Text();
}

TEST(TypeLibrary, IsTracklightOneZeroWithTheEntriesItDeclares) {
    ComPtr<ITypeLib> library = LoadModuleLibrary();
    ASSERT_TRUE(library);
    TLIBATTR* attributes = nullptr;
    ASSERT_EQ(library->GetLibAttr(&attributes), S_OK);
    EXPECT_TRUE(IsEqualGUID(attributes->guid, LIBID_Tracklight));
    EXPECT_EQ(attributes->wMajorVerNum, 1);
    EXPECT_EQ(attributes->wMinorVerNum, 0);
    EXPECT_EQ(attributes->syskind, sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32);
    library->ReleaseTLibAttr(attributes);
    win::Bstr name, help;
    ASSERT_EQ(library->GetDocumentation(-1, name.Put(), help.Put(), nullptr, nullptr), S_OK);
    EXPECT_EQ(name.Text(), L"Tracklight");
    EXPECT_EQ(help.Text(), L"Tracklight Library");

    // Every entry with its documentation string.
    std::map<std::wstring, std::wstring> docs;
    std::vector<std::wstring> names;
    for (UINT i = 0; i < library->GetTypeInfoCount(); ++i) {
        win::Bstr entry, doc;
        library->GetDocumentation(static_cast<INT>(i), entry.Put(), doc.Put(), nullptr, nullptr);
        names.push_back(entry.Text());
        docs[entry.Text()] = doc.Text();
    }
    EXPECT_EQ(names, (std::vector<std::wstring>{L"IGoogleSideBarX", L"TxSideBarMode", L"IGoogleSideBarXEvents",
                                                L"GoogleSideBarX", L"IGoogleMarquillDetailsViewX",
                                                L"IGoogleMarquillDetailsViewXEvents", L"GoogleMarquillDetailsViewX",
                                                L"ITDisplayContentItem", L"TDisplayContentItem"}));
    EXPECT_EQ(docs[L"IGoogleSideBarX"], L"Dispatch interface for GoogleSideBarX Control");
    EXPECT_EQ(docs[L"IGoogleSideBarXEvents"], L"Events interface for GoogleSideBarX Control");
    EXPECT_EQ(docs[L"GoogleSideBarX"], L"Mellodeck");
    EXPECT_EQ(docs[L"IGoogleMarquillDetailsViewX"], L"Dispatch interface for GoogleMarquillDetailsViewX Control");
    EXPECT_EQ(docs[L"GoogleMarquillDetailsViewX"], L"GoogleMarquillDetailsViewX Control");
    EXPECT_EQ(docs[L"ITDisplayContentItem"], L"Dispatch interface for TDisplayContentItem Object");
    EXPECT_EQ(docs[L"TDisplayContentItem"], L"TDisplayContentItem Object");

    // The coclass is a creatable control; the enumeration has the panel's three modes.
    ComPtr<ITypeInfo> coclass;
    ASSERT_EQ(library->GetTypeInfoOfGuid(CLSID_GoogleSideBarX, coclass.Put()), S_OK);
    TYPEATTR* type = nullptr;
    ASSERT_EQ(coclass->GetTypeAttr(&type), S_OK);
    EXPECT_TRUE(type->wTypeFlags & TYPEFLAG_FCONTROL);
    EXPECT_TRUE(type->wTypeFlags & TYPEFLAG_FCANCREATE);
    EXPECT_EQ(type->cImplTypes, 2);
    coclass->ReleaseTypeAttr(type);
}

TEST(TypeLibrary, TheControlsInterfaceHasItsMembersDispidsAndHiddenFlagsInOrder) {
    ComPtr<ITypeLib> library = LoadModuleLibrary();
    ASSERT_TRUE(library);
    ComPtr<ITypeInfo> info;
    ASSERT_EQ(library->GetTypeInfoOfGuid(IID_IGoogleSideBarX, info.Put()), S_OK);
    // The vtable side of the dual interface.
    HREFTYPE vtable = 0;
    ASSERT_EQ(info->GetRefTypeOfImplType(static_cast<UINT>(-1), &vtable), S_OK);
    ComPtr<ITypeInfo> interfaceInfo;
    ASSERT_EQ(info->GetRefTypeInfo(vtable, interfaceInfo.Put()), S_OK);
    TYPEATTR* type = nullptr;
    ASSERT_EQ(interfaceInfo->GetTypeAttr(&type), S_OK);
    EXPECT_EQ(type->typekind, TKIND_INTERFACE);
    EXPECT_TRUE(type->wTypeFlags & TYPEFLAG_FDUAL);
    const UINT count = type->cFuncs;
    interfaceInfo->ReleaseTypeAttr(type);

    struct Member {
        const wchar_t* Name;
        INVOKEKIND Kind;
        MEMBERID Id;
        bool Hidden;
    };
    const INVOKEKIND G = INVOKE_PROPERTYGET, P = INVOKE_PROPERTYPUT, R = INVOKE_PROPERTYPUTREF, M = INVOKE_FUNC;
    const Member expected[] = {
        {L"PositionString", G, 201, true}, {L"PositionString", P, 201, true}, {L"Font", G, -512, true},
        {L"Font", P, -512, false}, {L"Font", R, -512, true}, {L"Caption", G, -518, false}, {L"Caption", P, -518, false},
        {L"Mode", G, 202, false}, {L"Mode", P, 202, false}, {L"DoubleBuffered", G, 203, true},
        {L"DoubleBuffered", P, 203, true}, {L"AlignDisabled", G, 204, true}, {L"VisibleDockClientCount", G, 205, true},
        {L"DrawTextBiDiModeFlagsReadingOnly", M, 206, false}, {L"Enabled", G, -514, true}, {L"Enabled", P, -514, true},
        {L"InitiateAction", M, 207, false}, {L"IsRightToLeft", M, 208, false}, {L"UseRightToLeftReading", M, 209, false},
        {L"UseRightToLeftScrollBar", M, 210, false}, {L"Visible", G, 211, true}, {L"Visible", P, 211, true},
        {L"SetSubComponent", M, 212, false}, {L"AboutBox", M, -552, false}, {L"RunAlwaysMinimized", G, 213, true},
        {L"RunAlwaysMinimized", P, 213, true}, {L"ReplaceWithDropped", G, 214, true},
        {L"ReplaceWithDropped", P, 214, true}, {L"SeparateLines", G, 215, true}, {L"SeparateLines", P, 215, true},
        {L"GlobalHotkeyEnabled", G, 216, true}, {L"GlobalHotkeyEnabled", P, 216, true}, {L"OpenHotkey", G, 217, true},
        {L"OpenHotkey", P, 217, true},
    };
    // IDispatch's seven first (the interface derives from it), then the 34 members.
    ASSERT_EQ(count, 34u);
    for (UINT i = 0; i < count; ++i) {
        FUNCDESC* f = nullptr;
        ASSERT_EQ(interfaceInfo->GetFuncDesc(i, &f), S_OK);
        SCOPED_TRACE(expected[i].Name);
        EXPECT_EQ(Name(interfaceInfo.Get(), f->memid), expected[i].Name);
        EXPECT_EQ(f->invkind, expected[i].Kind);
        EXPECT_EQ(f->memid, expected[i].Id);
        EXPECT_EQ((f->wFuncFlags & FUNCFLAG_FHIDDEN) != 0, expected[i].Hidden);
        EXPECT_EQ(f->oVft, static_cast<SHORT>((7 + i) * sizeof(void*)));
        interfaceInfo->ReleaseFuncDesc(f);
    }
}

} // namespace
} // namespace mellodeck::test
