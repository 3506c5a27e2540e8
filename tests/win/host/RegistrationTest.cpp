// regsvr32 and the registration exports against the stand-in registrar: the registry table, the type
// library, the announcement, a refusal, a missing host, and a clean removal.
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>

#include "HostTestSupport.h"
#include "TestPaths.h"
#include "common/win/RegistryTable.h"
#include "host/HostIds.h"

namespace mellodeck::test {
namespace {

struct ExpectedValue {
    std::wstring Key;
    std::wstring Name;
    std::wstring Value;
};

const std::wstring kControl = GuidString(CLSID_GoogleSideBarX);
const std::wstring kItem = GuidString(CLSID_TDisplayContentItem);
const std::wstring kPage = GuidString(CLSID_TPropertyPageForm);
const std::wstring kLibrary = GuidString(LIBID_Tracklight);

// The whole table for a module at `inproc` (InprocServer32) and `longPath` (the toolbox bitmap).
std::vector<ExpectedValue> ExpectedTable(const std::wstring& inproc, const std::wstring& longPath) {
    const std::wstring c = L"CLSID\\" + kControl, i = L"CLSID\\" + kItem, p = L"CLSID\\" + kPage;
    return {
        {c, L"", L"Mellodeck"},
        {c + L"\\InprocServer32", L"", inproc},
        {c + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
        {L"Tracklight.GoogleSideBarX", L"", L"Mellodeck"},
        {L"Tracklight.GoogleSideBarX\\Clsid", L"", kControl},
        {c + L"\\ProgID", L"", L"Tracklight.GoogleSideBarX"},
        {c + L"\\Version", L"", L"1.0"},
        {c + L"\\TypeLib", L"", kLibrary},
        {c + L"\\MiscStatus", L"", L"0"},
        {c + L"\\MiscStatus\\1", L"", L"205201"},
        {c + L"\\ToolboxBitmap32", L"", longPath + L",15"},
        {c + L"\\Verb\\0", L"", L"Properties,0,2"},
        {c + L"\\Description", L"", L"Control WinAmp player and edit tags"},
        {i, L"", L"TDisplayContentItem Object"},
        {i + L"\\InprocServer32", L"", inproc},
        {i + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
        {L"Tracklight.TDisplayContentItem", L"", L"TDisplayContentItem Object"},
        {L"Tracklight.TDisplayContentItem\\Clsid", L"", kItem},
        {i + L"\\ProgID", L"", L"Tracklight.TDisplayContentItem"},
        {i + L"\\Version", L"", L"1.0"},
        {i + L"\\TypeLib", L"", kLibrary},
        {p, L"", L"TPropertyPageForm property page"},
        {p + L"\\InprocServer32", L"", inproc},
    };
}

void ExpectTable(const std::wstring& inproc, const std::wstring& longPath) {
    for (const ExpectedValue& row : ExpectedTable(inproc, longPath)) {
        bool found = false;
        EXPECT_EQ(ClassesValue(row.Key, row.Name, &found), row.Value) << row.Key << " " << row.Name;
        EXPECT_TRUE(found) << row.Key << " " << row.Name;
    }
    const std::wstring c = L"CLSID\\" + kControl;
    EXPECT_TRUE(ClassesKeyExists(c + L"\\Control"));
    EXPECT_TRUE(ClassesKeyExists(c + L"\\Verb"));
    // The page has no threading model and no ProgID.
    bool found = true;
    ClassesValue(L"CLSID\\" + kPage + L"\\InprocServer32", L"ThreadingModel", &found);
    EXPECT_FALSE(found);
    EXPECT_FALSE(ClassesKeyExists(L"CLSID\\" + kPage + L"\\ProgID"));
}

// Every key the module writes, so a removal can be checked as a whole.
std::vector<std::wstring> OwnKeys() {
    std::vector<std::wstring> keys;
    for (const std::wstring& root :
         {L"CLSID\\" + kControl, L"CLSID\\" + kItem, L"CLSID\\" + kPage, std::wstring(L"Tracklight.GoogleSideBarX"),
          std::wstring(L"Tracklight.TDisplayContentItem"), L"TypeLib\\" + kLibrary,
          L"Interface\\" + GuidString(IID_IGoogleSideBarX), L"Interface\\" + GuidString(DIID_IGoogleSideBarXEvents),
          L"Interface\\" + GuidString(IID_ITDisplayContentItem)})
        for (auto& k : ClassesKeyTree(root))
            keys.push_back(k);
    return keys;
}

std::wstring ExpectedAnnouncement(const std::wstring& version) {
    return L"AnnounceComponent " + kControl + L" [0..5] Title|Mellodeck for Google Desktop|Description|" + version +
           L"|Icon|";
}

std::wstring VersionText(const std::wstring& path) {
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
    std::vector<BYTE> block(size);
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (!size || !::GetFileVersionInfoW(path.c_str(), 0, size, block.data()) ||
        !::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info), &length))
        return L"Version: 0.0.0.0";
    return L"Version: " + std::to_wstring(HIWORD(info->dwFileVersionMS)) + L"." +
           std::to_wstring(LOWORD(info->dwFileVersionMS)) + L"." + std::to_wstring(HIWORD(info->dwFileVersionLS)) +
           L"." + std::to_wstring(LOWORD(info->dwFileVersionLS));
}

TEST(Registration, Regsvr32WritesTheTableAnnouncesAndUnregisterRemovesExactlyThat) {
    THostTestLock lock;
    TRegistrarSession registrar;
    const std::wstring path = HostDllPath();
    RunRegsvr32(path, true); // a clean start whatever an earlier run left
    registrar.ClearLog();
    ASSERT_TRUE(OwnKeys().empty());
    // A key of someone else's below the classes root, next to ours.
    win::ApplyRegistryRows({{HKEY_CLASSES_ROOT, L"Tracklight.SomeoneElse", L"", L"keep me"}});

    ASSERT_EQ(RunRegsvr32(path), 0);
    ExpectTable(path, path);
    EXPECT_EQ(ClassesValue(L"TypeLib\\" + kLibrary + L"\\1.0", L""), L"Tracklight Library");
    EXPECT_EQ(ClassesValue(L"TypeLib\\" + kLibrary + L"\\1.0\\0\\win64", L""), path);
    EXPECT_TRUE(ClassesKeyExists(L"Interface\\" + GuidString(IID_IGoogleSideBarX)));
    const std::wstring version = VersionText(path);
    EXPECT_NE(version, L"Version: 0.0.0.0");
    EXPECT_EQ(registrar.Log(), (std::vector<std::wstring>{
                                   ExpectedAnnouncement(version),
                                   L"GetRegistrationObject GoogleDesktop.DisplayPluginRegistration",
                                   L"AddDisplayPlugin " + kControl + L" -1", L"CommitComponent"}));

    // Registering again rewrites the same values and announces again.
    registrar.ClearLog();
    ASSERT_EQ(RunRegsvr32(path), 0);
    ExpectTable(path, path);
    ASSERT_EQ(registrar.Log().size(), 4u);
    EXPECT_EQ(registrar.Log()[3], L"CommitComponent");

    registrar.ClearLog();
    ASSERT_EQ(RunRegsvr32(path, true), 0);
    EXPECT_EQ(OwnKeys(), std::vector<std::wstring>{});
    EXPECT_EQ(ClassesValue(L"Tracklight.SomeoneElse", L""), L"keep me");
    EXPECT_TRUE(ClassesKeyExists(L"CLSID"));
    EXPECT_EQ(registrar.Log(), std::vector<std::wstring>{L"WithdrawComponent " + kControl});
    win::RemoveRegistryKey(HKEY_CLASSES_ROOT, L"Tracklight.SomeoneElse");
}

TEST(Registration, ARefusalWithdrawsTheComponentAndIsTheResult) {
    THostTestLock lock;
    TRegistrarSession registrar;
    THostModule module;
    ASSERT_TRUE(module.Handle());
    for (HRESULT answer : {S_FALSE, E_ACCESSDENIED}) {
        registrar.ClearLog();
        registrar.SetAddResult(answer);
        EXPECT_EQ(module.Register(), answer);
        const auto log = registrar.Log();
        ASSERT_EQ(log.size(), 4u);
        EXPECT_EQ(log[2], L"AddDisplayPlugin " + kControl + L" -1");
        EXPECT_EQ(log[3], L"WithdrawComponent " + kControl); // no commit
    }
    EXPECT_EQ(module.Unregister(), S_OK);
}

TEST(Registration, WithoutTheHostTheComKeysAreWrittenAndRemovedButBothFail) {
    THostTestLock lock;
    TRegistrarSession registrar(false);
    THostModule module;
    ASSERT_TRUE(module.Handle());
    wchar_t path[MAX_PATH * 2] = {};
    ::GetModuleFileNameW(module.Handle(), path, MAX_PATH * 2);
    EXPECT_EQ(module.Register(), E_FAIL);
    ExpectTable(path, path);
    EXPECT_EQ(module.Unregister(), E_FAIL);
    EXPECT_EQ(OwnKeys(), std::vector<std::wstring>{});
    EXPECT_TRUE(registrar.Log().empty());
}

TEST(Registration, AModuleAtAPathWithASpaceRegistersItsShortPathForTheServer) {
    THostTestLock lock;
    TRegistrarSession registrar;
    TempFolder folder;
    const std::filesystem::path spaced = folder.Path() / "with space";
    std::filesystem::create_directories(spaced);
    std::filesystem::copy_file(std::filesystem::path(HostDllPath()), spaced / "mellodeck.dll");
    const std::wstring longPath = (spaced / "mellodeck.dll").wstring();
    wchar_t shortPath[MAX_PATH * 2] = {};
    ASSERT_GT(::GetShortPathNameW(longPath.c_str(), shortPath, MAX_PATH * 2), 0u);
    ASSERT_EQ(std::wstring(shortPath).find(L' '), std::wstring::npos);

    ASSERT_EQ(RunRegsvr32(longPath), 0);
    ExpectTable(shortPath, longPath);
    EXPECT_EQ(RunRegsvr32(longPath, true), 0);
    EXPECT_EQ(OwnKeys(), std::vector<std::wstring>{});
}

} // namespace
} // namespace mellodeck::test
