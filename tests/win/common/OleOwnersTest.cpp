// The owners of user-interface, memory-mapping and OLE resources: each one's release, seen from outside.
#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>
#include <ole2.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <thread>
#include <utility>

#include "common/win/Bstr.h"
#include "common/win/ComInit.h"
#include "common/win/ComPtr.h"
#include "common/win/Handles.h"
#include "common/win/MapView.h"
#include "common/win/StgMedium.h"
#include "common/win/UserObjects.h"
#include "common/win/Variant.h"

namespace mellodeck {
namespace {

using namespace mellodeck::win;

ULONG References(IUnknown* object) {
    object->AddRef();
    return object->Release();
}

// Runs `body` on a thread of its own, so COM initialisation starts from nothing.
template <typename F> void OnFreshThread(F body) {
    std::thread thread(body);
    thread.join();
}

TEST(OleOwners, WindowIconAndMenuAreDestroyed) {
    HWND windowValue = nullptr;
    {
        // Message-only: nothing on the desktop waits for it.
        UniqueWindow window(::CreateWindowExW(0, L"STATIC", L"owned", 0, 0, 0, 10, 10, HWND_MESSAGE, nullptr, nullptr,
                                              nullptr));
        ASSERT_TRUE(window);
        windowValue = window.Get();
        UniqueWindow moved(std::move(window));
        EXPECT_TRUE(::IsWindow(windowValue));
    }
    EXPECT_FALSE(::IsWindow(windowValue));

    HMENU menuValue = nullptr;
    {
        UniqueMenu menu(::CreatePopupMenu());
        ASSERT_TRUE(menu);
        menuValue = menu.Get();
        EXPECT_TRUE(::IsMenu(menuValue));
    }
    EXPECT_FALSE(::IsMenu(menuValue));

    HICON iconValue = nullptr;
    {
        UniqueIcon icon(::CopyIcon(::LoadIconW(nullptr, IDI_APPLICATION)));
        ASSERT_TRUE(icon);
        iconValue = icon.Get();
        ICONINFO info{};
        ASSERT_TRUE(::GetIconInfo(iconValue, &info));
        ::DeleteObject(info.hbmColor);
        ::DeleteObject(info.hbmMask);
    }
    ICONINFO info{};
    EXPECT_FALSE(::GetIconInfo(iconValue, &info));
}

TEST(OleOwners, MapViewIsUnmapped) {
    UniqueHandle mapping(::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, nullptr));
    ASSERT_TRUE(mapping);
    void* address = nullptr;
    {
        MapView view = MapView::Map(mapping.Get(), FILE_MAP_WRITE);
        ASSERT_TRUE(view);
        address = view.Get();
        std::memcpy(view.As<char>(), "mapped", 7);
        MapView moved(std::move(view));
        EXPECT_FALSE(view);
        MEMORY_BASIC_INFORMATION memory{};
        ASSERT_NE(::VirtualQuery(address, &memory, sizeof memory), 0u);
        EXPECT_EQ(memory.State, static_cast<DWORD>(MEM_COMMIT));
    }
    MEMORY_BASIC_INFORMATION memory{};
    ASSERT_NE(::VirtualQuery(address, &memory, sizeof memory), 0u);
    EXPECT_EQ(memory.State, static_cast<DWORD>(MEM_FREE));
    // The data stays in the mapping, seen by the next view.
    MapView again = MapView::Map(mapping.Get(), FILE_MAP_READ);
    ASSERT_TRUE(again);
    EXPECT_STREQ(again.As<const char>(), "mapped");
    EXPECT_FALSE(MapView::Map(nullptr, FILE_MAP_READ));
}

TEST(OleOwners, BstrTextAndHandOver) {
    EXPECT_EQ(BstrText(nullptr), L"");
    const std::wstring withNull(L"a\0b", 3);
    Bstr text = Bstr::FromString(withNull);
    ASSERT_TRUE(text);
    EXPECT_EQ(text.Length(), 3u);
    EXPECT_EQ(text.Text(), withNull);
    Bstr empty = Bstr::FromString(L"");
    EXPECT_TRUE(empty) << "an empty text is a BSTR of length 0, not a null one";
    EXPECT_EQ(empty.Length(), 0u);

    BSTR out = nullptr;
    EXPECT_EQ(text.CopyOut(&out), S_OK);
    EXPECT_FALSE(text);
    EXPECT_EQ(BstrText(out), withNull);
    Bstr taken(out); // the receiver's owner frees it
    EXPECT_EQ(text.CopyOut(nullptr), E_POINTER);
}

// An interface reference inside a VARIANT or a STGMEDIUM is given back when the owner clears.
TEST(OleOwners, VariantAndMediumReleaseWhatTheyHold) {
    ComPtr<IStream> stream;
    ASSERT_EQ(::CreateStreamOnHGlobal(nullptr, TRUE, stream.Put()), S_OK);
    EXPECT_EQ(References(stream.Get()), 1u);
    {
        Variant value;
        EXPECT_EQ(value.Type(), VT_EMPTY);
        value.Get()->vt = VT_UNKNOWN;
        stream.CopyTo(reinterpret_cast<IStream**>(&value.Get()->punkVal));
        EXPECT_EQ(References(stream.Get()), 2u);
        Variant moved(std::move(value));
        EXPECT_EQ(value.Type(), VT_EMPTY);
        EXPECT_EQ(References(stream.Get()), 2u);
    }
    EXPECT_EQ(References(stream.Get()), 1u);
    {
        Variant text;
        text.Get()->vt = VT_BSTR;
        text.Get()->bstrVal = Bstr::FromString(L"held").Release();
        VARIANT out;
        ::VariantInit(&out);
        EXPECT_EQ(text.CopyOut(&out), S_OK);
        EXPECT_EQ(text.Type(), VT_EMPTY);
        EXPECT_EQ(BstrText(out.bstrVal), L"held");
        ::VariantClear(&out);
    }
    {
        StgMedium medium;
        EXPECT_FALSE(medium);
        STGMEDIUM* raw = medium.Put();
        raw->tymed = TYMED_ISTREAM;
        stream.CopyTo(&raw->pstm);
        EXPECT_EQ(References(stream.Get()), 2u);
        StgMedium moved(std::move(medium));
        EXPECT_FALSE(medium);
        EXPECT_TRUE(moved);
        EXPECT_EQ(moved.Drop(), nullptr);
    }
    EXPECT_EQ(References(stream.Get()), 1u);
}

// A hand-made CF_HDROP block with two names, as a drop delivers it.
HGLOBAL MakeDropBlock() {
    const wchar_t names[] = L"C:\\music\\one.mp3\0C:\\music\\two.flac\0";
    const SIZE_T bytes = sizeof(DROPFILES) + sizeof names;
    HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
    auto* drop = static_cast<DROPFILES*>(::GlobalLock(block));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    std::memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), names, sizeof names);
    ::GlobalUnlock(block);
    return block;
}

TEST(OleOwners, DroppedFilesAreReadAndFinished) {
    HGLOBAL block = MakeDropBlock();
    {
        UniqueDrop drop(static_cast<HDROP>(block));
        const auto files = DroppedFiles(drop.Get());
        ASSERT_EQ(files.size(), 2u);
        EXPECT_EQ(files[0], L"C:\\music\\one.mp3");
        EXPECT_EQ(files[1], L"C:\\music\\two.flac");
        EXPECT_NE(::GlobalSize(block), 0u);
    }
    EXPECT_EQ(::GlobalFlags(block), static_cast<UINT>(GMEM_INVALID_HANDLE)) << "DragFinish freed the block";

    // Inside a medium, the block belongs to the medium.
    HGLOBAL inMedium = MakeDropBlock();
    {
        StgMedium medium;
        medium.Put()->tymed = TYMED_HGLOBAL;
        const_cast<STGMEDIUM&>(medium.Get()).hGlobal = inMedium;
        EXPECT_EQ(DroppedFiles(medium.Drop()).size(), 2u);
    }
    EXPECT_EQ(::GlobalFlags(inMedium), static_cast<UINT>(GMEM_INVALID_HANDLE));
    EXPECT_TRUE(DroppedFiles(nullptr).empty());
}

TEST(OleOwners, InitialisationScopesPairTheirCalls) {
    OnFreshThread([] {
        {
            ComInitScope outer;
            EXPECT_EQ(outer.Result(), S_OK);
            {
                ComInitScope nested;
                EXPECT_EQ(nested.Result(), S_FALSE) << "already initialised: still counts, still undone";
                ComInitScope otherModel(COINIT_MULTITHREADED);
                EXPECT_EQ(otherModel.Result(), RPC_E_CHANGED_MODE);
                EXPECT_FALSE(otherModel.Succeeded());
            }
            // The failed scope did not uninitialise the apartment: it is still single-threaded.
            EXPECT_EQ(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE);
            ::CoUninitialize();
        }
        // Fully undone: another model is possible now.
        const HRESULT after = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        EXPECT_EQ(after, S_OK);
        if (SUCCEEDED(after))
            ::CoUninitialize();
    });
    OnFreshThread([] {
        {
            OleInitScope outer;
            EXPECT_EQ(outer.Result(), S_OK);
            OleInitScope nested;
            EXPECT_TRUE(nested.Succeeded());
            EXPECT_EQ(::OleInitialize(nullptr), S_FALSE);
            ::OleUninitialize();
        }
        const HRESULT after = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        EXPECT_EQ(after, S_OK);
        if (SUCCEEDED(after))
            ::CoUninitialize();
    });
}

} // namespace
} // namespace mellodeck
