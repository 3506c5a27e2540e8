// The panel's drop target with hand-made data objects (the shell's SHCreateDataObject is a stub under Wine) and
// a fake panel.
#include <gtest/gtest.h>

#include <windows.h>
#include <ole2.h>
#include <shlobj.h>

#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/win/ComObject.h"
#include "panel/win/PanelDragManager.h"

namespace mellodeck {
namespace {

// A data object that offers either a CF_HDROP list of files (a DROPFILES block built by hand) or only text,
// and counts the references others hold on it.
class TestDataObject final : public win::ComObject<IDataObject> {
public:
    TestDataObject(std::vector<std::wstring> files, bool withFiles, bool wide = true)
        : FFiles(std::move(files)), FWithFiles(withFiles), FWide(wide) {}

    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override {
        ++GetDataCalls;
        if (QueryGetData(format) != S_OK)
            return DV_E_FORMATETC;
        medium->tymed = TYMED_HGLOBAL;
        medium->pUnkForRelease = nullptr;
        medium->hGlobal = FWithFiles && format->cfFormat == CF_HDROP ? MakeDrop() : MakeText();
        return medium->hGlobal ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override {
        if (!format || !(format->tymed & TYMED_HGLOBAL) || format->dwAspect != DVASPECT_CONTENT)
            return DV_E_FORMATETC;
        if (format->cfFormat == CF_HDROP && FWithFiles)
            return S_OK;
        if (format->cfFormat == CF_UNICODETEXT)
            return S_OK;
        return DV_E_FORMATETC;
    }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
        if (out)
            out->ptd = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
        return OLE_E_ADVISENOTSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

    // References held besides the test's own.
    ULONG OtherReferences() {
        AddRef();
        return Release() - 1;
    }
    int GetDataCalls = 0;

private:
    HGLOBAL MakeDrop() const {
        std::vector<char> list;
        for (const std::wstring& file : FFiles) {
            if (FWide) {
                const char* bytes = reinterpret_cast<const char*>(file.c_str());
                list.insert(list.end(), bytes, bytes + (file.size() + 1) * sizeof(wchar_t));
            } else {
                for (wchar_t c : file)
                    list.push_back(static_cast<char>(c));
                list.push_back(0);
            }
        }
        list.insert(list.end(), FWide ? sizeof(wchar_t) : 1, 0);
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + list.size());
        auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
        drop->pFiles = sizeof(DROPFILES);
        drop->fWide = FWide;
        std::memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), list.data(), list.size());
        GlobalUnlock(memory);
        return memory;
    }
    static HGLOBAL MakeText() {
        const wchar_t text[] = L"https://www.mellodeck.example/a link";
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, sizeof(text));
        std::memcpy(GlobalLock(memory), text, sizeof(text));
        GlobalUnlock(memory);
        return memory;
    }

    std::vector<std::wstring> FFiles;
    bool FWithFiles;
    bool FWide;
};

// Stands in for the panel: collects the files on entry and over moves, accepts them when there are any.
class FakePanel : public IPanelDropOwner {
public:
    HRESULT DoDragEnter(DWORD keyState, POINTL pt, DWORD& effect) override {
        Calls.push_back("enter");
        if (Throw)
            throw std::runtime_error("panel failure");
        return Collect(effect);
    }
    HRESULT DoDragOver(DWORD keyState, POINTL pt, DWORD& effect) override {
        Calls.push_back("over");
        return Collect(effect);
    }
    void DoDragLeave() override { Calls.push_back("leave"); }
    HRESULT DoDrop(IDataObject* dataObject, DWORD keyState, DWORD& effect, POINTL pt) override {
        Calls.push_back("drop");
        DroppedWith = dataObject;
        DropPoint = pt;
        return Collect(effect);
    }

    TPanelDragManager* Manager = nullptr;
    std::vector<std::string> Calls;
    std::vector<std::wstring> Files;
    IDataObject* DroppedWith = nullptr;
    POINTL DropPoint{};
    bool Throw = false;

private:
    HRESULT Collect(DWORD& effect) {
        Files = ReadDroppedFiles(Manager->CurrentDataObject() ? Manager->CurrentDataObject() : DroppedWith);
        effect = Files.empty() ? DROPEFFECT_NONE : ChooseDropEffect(effect);
        return S_OK;
    }
};

class DragManagerTest : public ::testing::Test {
protected:
    DragManagerTest() { FPanel.Manager = FManager.Get(); }
    ~DragManagerTest() override { FManager->Detach(); }

    static win::ComPtr<TestDataObject> Data(std::vector<std::wstring> files, bool withFiles = true, bool wide = true) {
        win::ComPtr<TestDataObject> data;
        data.Attach(new TestDataObject(std::move(files), withFiles, wide));
        return data;
    }

    FakePanel FPanel;
    win::ComPtr<TPanelDragManager> FManager = win::MakeComObject<TPanelDragManager>(&FPanel);
};

TEST_F(DragManagerTest, FilesAreReadInOrderAtAnyLength) {
    const std::wstring longPath = L"C:\\" + std::wstring(300, L'd') + L"\\" + std::wstring(200, L'f') + L".mp3";
    const std::vector<std::wstring> files = {L"C:\\Music\\b.mp3", L"C:\\Music\\\u00e9t\u00e9 \u266b.flac", longPath};
    EXPECT_EQ(ReadDroppedFiles(Data(files).Get()), files);
    EXPECT_EQ(ReadDroppedFiles(Data({L"C:\\ansi\\a.mp3"}, true, false).Get()),
              (std::vector<std::wstring>{L"C:\\ansi\\a.mp3"}))
        << "an 8-bit list is read as well";
    auto text = Data({L"C:\\never.mp3"}, false);
    EXPECT_TRUE(ReadDroppedFiles(text.Get()).empty()) << "a text or a link holds no files";
    EXPECT_EQ(text->GetDataCalls, 1);
    EXPECT_TRUE(ReadDroppedFiles(nullptr).empty());
}

TEST_F(DragManagerTest, ADragIsForwardedAndTheDataObjectReleasedWhenItLeaves) {
    auto data = Data({L"C:\\a.mp3", L"C:\\b.mp3", L"C:\\c.mp3"});
    DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
    EXPECT_EQ(FManager->DragEnter(data.Get(), MK_LBUTTON, POINTL{10, 20}, &effect), S_OK);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_LINK));
    EXPECT_EQ(FPanel.Files.size(), 3u);
    EXPECT_GE(data->OtherReferences(), 1u) << "held while the drag is over the panel";

    win::ComPtr<IVTDragManager> face = FManager.As<IVTDragManager>();
    ASSERT_TRUE(face);
    BOOL isTarget = FALSE;
    EXPECT_EQ(face->GetIsDropTarget(&isTarget), S_OK);
    EXPECT_TRUE(isTarget);
    win::ComPtr<IDataObject> current;
    EXPECT_EQ(face->GetDataObject(current.Put()), S_OK);
    EXPECT_EQ(current.Get(), static_cast<IDataObject*>(data.Get()));
    current.Reset();
    void* source = reinterpret_cast<void*>(1);
    EXPECT_EQ(face->GetDragSource(&source), S_OK);
    EXPECT_EQ(source, nullptr);
    BOOL helper = TRUE;
    EXPECT_EQ(face->GetDropTargetHelperSupported(&helper), S_OK);
    EXPECT_FALSE(helper);
    EXPECT_EQ(face->ForceDragLeave(), S_OK);

    effect = DROPEFFECT_COPY;
    EXPECT_EQ(FManager->DragOver(0, POINTL{11, 21}, &effect), S_OK);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY)) << "only what the source allows";
    EXPECT_EQ(FManager->DragLeave(), S_OK);
    EXPECT_EQ(data->OtherReferences(), 0u);
    EXPECT_EQ(face->GetIsDropTarget(&isTarget), S_OK);
    EXPECT_FALSE(isTarget);
    EXPECT_EQ(face->GetDataObject(current.Put()), S_FALSE);
    EXPECT_FALSE(current);
    EXPECT_EQ(FPanel.Calls, (std::vector<std::string>{"enter", "over", "leave"}));
}

TEST_F(DragManagerTest, ADropIsHandedToThePanelAndNothingIsKeptAfterwards) {
    auto data = Data({L"C:\\a.mp3"});
    DWORD effect = DROPEFFECT_LINK | DROPEFFECT_COPY;
    ASSERT_EQ(FManager->DragEnter(data.Get(), MK_LBUTTON, POINTL{1, 2}, &effect), S_OK);
    effect = DROPEFFECT_LINK | DROPEFFECT_COPY;
    EXPECT_EQ(FManager->Drop(data.Get(), 0, POINTL{5, 6}, &effect), S_OK);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_LINK));
    EXPECT_EQ(FPanel.DroppedWith, static_cast<IDataObject*>(data.Get()));
    EXPECT_EQ(FPanel.DropPoint.x, 5);
    EXPECT_EQ(data->OtherReferences(), 0u);
    EXPECT_EQ(FPanel.Calls, (std::vector<std::string>{"enter", "drop"}));
}

// A drag of something that is no file list (a text, a link) is refused: the cursor shows no-drop.
TEST_F(DragManagerTest, DataWithoutFilesIsRefused) {
    auto text = Data({}, false);
    DWORD effect = DROPEFFECT_COPY | DROPEFFECT_LINK;
    EXPECT_EQ(FManager->DragEnter(text.Get(), MK_LBUTTON, POINTL{}, &effect), S_OK);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE));
    EXPECT_TRUE(FPanel.Files.empty());
    FManager->DragLeave();
}

TEST_F(DragManagerTest, APanelFailureBecomesUnexpectedWithNoDrop) {
    FPanel.Throw = true;
    auto data = Data({L"C:\\a.mp3"});
    DWORD effect = DROPEFFECT_COPY;
    EXPECT_EQ(FManager->DragEnter(data.Get(), MK_LBUTTON, POINTL{}, &effect), E_UNEXPECTED);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE));
    FManager->DragLeave();
    EXPECT_EQ(FManager->DragEnter(data.Get(), 0, POINTL{}, nullptr), E_INVALIDARG);
}

// OLE keeps the drop target during a drag and may call it after the panel is gone.
TEST_F(DragManagerTest, ADetachedManagerRefusesEverythingAndKeepsNothing) {
    auto data = Data({L"C:\\a.mp3"});
    DWORD effect = DROPEFFECT_COPY;
    ASSERT_EQ(FManager->DragEnter(data.Get(), MK_LBUTTON, POINTL{}, &effect), S_OK);
    FManager->Detach();
    EXPECT_FALSE(FManager->Attached());
    EXPECT_EQ(data->OtherReferences(), 0u) << "detaching lets the data object go";
    FPanel.Calls.clear();
    effect = DROPEFFECT_COPY;
    EXPECT_EQ(FManager->DragOver(MK_LBUTTON, POINTL{}, &effect), S_OK);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE));
    effect = DROPEFFECT_COPY | DROPEFFECT_LINK;
    EXPECT_EQ(FManager->DragEnter(data.Get(), MK_LBUTTON, POINTL{}, &effect), S_OK);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE));
    EXPECT_EQ(data->OtherReferences(), 0u);
    effect = DROPEFFECT_COPY;
    EXPECT_EQ(FManager->Drop(data.Get(), 0, POINTL{}, &effect), S_OK);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE));
    EXPECT_EQ(FManager->DragLeave(), S_OK);
    EXPECT_TRUE(FPanel.Calls.empty()) << "the panel is never called once detached";
}

TEST_F(DragManagerTest, RegisteredWithOleTheTargetOutlivesThePanelsReference) {
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    HWND window = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPED, 0, 0, 50, 50, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    {
        win::ComPtr<IDropTarget> target = FManager.As<IDropTarget>();
        ASSERT_EQ(RegisterDragDrop(window, target.Get()), S_OK);
    }
    TPanelDragManager* raw = FManager.Get();
    raw->AddRef();
    const ULONG withOle = raw->Release();
    EXPECT_GE(withOle, 2u) << "OLE holds a reference of its own";
    FManager->Detach();
    FManager.Reset(); // the panel lets go first, as it may while a drag runs
    auto data = Data({L"C:\\a.mp3"});
    DWORD effect = DROPEFFECT_COPY;
    EXPECT_EQ(raw->DragEnter(data.Get(), MK_LBUTTON, POINTL{}, &effect), S_OK);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE));
    EXPECT_EQ(RevokeDragDrop(window), S_OK); // releases the last reference
    DestroyWindow(window);
    OleUninitialize();
    FManager = win::MakeComObject<TPanelDragManager>(&FPanel); // for the fixture's own teardown
}

TEST_F(DragManagerTest, QueryContinueDragAndFeedback) {
    const struct {
        BOOL Escape;
        DWORD Keys;
        HRESULT Expected;
    } cases[] = {
        {TRUE, MK_LBUTTON, DRAGDROP_S_CANCEL}, {FALSE, MK_LBUTTON | MK_RBUTTON, DRAGDROP_S_CANCEL},
        {FALSE, MK_LBUTTON, S_OK},            {FALSE, MK_RBUTTON | MK_SHIFT, S_OK},
        {FALSE, 0, DRAGDROP_S_DROP},          {FALSE, MK_CONTROL, DRAGDROP_S_DROP},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FManager->QueryContinueDrag(c.Escape, c.Keys), c.Expected) << c.Keys;
    EXPECT_EQ(FManager->GiveFeedback(DROPEFFECT_COPY), DRAGDROP_S_USEDEFAULTCURSORS);
    EXPECT_EQ(ChooseDropEffect(DROPEFFECT_COPY | DROPEFFECT_LINK | DROPEFFECT_MOVE), static_cast<DWORD>(DROPEFFECT_LINK));
    EXPECT_EQ(ChooseDropEffect(DROPEFFECT_COPY | DROPEFFECT_MOVE), static_cast<DWORD>(DROPEFFECT_COPY));
    EXPECT_EQ(ChooseDropEffect(DROPEFFECT_MOVE), static_cast<DWORD>(DROPEFFECT_NONE));
}

TEST_F(DragManagerTest, AnswersItsThreeInterfacesWithOneIdentity) {
    win::ComPtr<IUnknown> unknown = FManager.As<IUnknown>();
    for (REFIID iid : {__uuidof(IDropTarget), __uuidof(IDropSource), __uuidof(IVTDragManager)}) {
        win::ComPtr<IUnknown> face;
        ASSERT_EQ(FManager->QueryInterface(iid, face.PutVoid()), S_OK);
        EXPECT_EQ(face.As<IUnknown>().Get(), unknown.Get());
    }
    const IID expected = {0xC4B25559, 0x14DA, 0x446B, {0x89, 0x01, 0x0C, 0x87, 0x90, 0x00, 0xEB, 0x16}};
    EXPECT_TRUE(IsEqualIID(__uuidof(IVTDragManager), expected));
    win::ComPtr<IUnknown> none;
    EXPECT_EQ(FManager->QueryInterface(__uuidof(IDataObject), none.PutVoid()), E_NOINTERFACE);
}

} // namespace
} // namespace mellodeck
