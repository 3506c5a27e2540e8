#include <gtest/gtest.h>

#include <windows.h>
#include <objidl.h>

#include <utility>

#include "TestLibraries.h"
#include "TestPaths.h"
#include "common/FileUtils.h"
#include "common/win/ComPtr.h"
#include "common/win/GdiObjects.h"
#include "common/win/Handles.h"
#include "common/win/RegKey.h"

namespace mellodeck {
namespace {

using namespace mellodeck::win;

bool IsOpenHandle(HANDLE h) {
    DWORD flags = 0;
    return GetHandleInformation(h, &flags) != FALSE;
}

HANDLE NewEvent() {
    return CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

TEST(ResourceOwners, HandlesAreClosedExactlyOnce) {
    HANDLE first = NewEvent();
    {
        UniqueHandle a(first);
        UniqueHandle b(std::move(a));
        EXPECT_EQ(a.Get(), nullptr);
        EXPECT_EQ(b.Get(), first);
        UniqueHandle c;
        c = std::move(b);
        b.Reset(); // empty: closes nothing
        EXPECT_TRUE(IsOpenHandle(first));
    }
    EXPECT_FALSE(IsOpenHandle(first));

    // A moved-from owner must not close whatever later takes the old handle value.
    HANDLE later = nullptr;
    {
        UniqueHandle owner(NewEvent());
        const HANDLE value = owner.Get();
        UniqueHandle taker(std::move(owner));
        taker.Reset();
        EXPECT_FALSE(IsOpenHandle(value));
        later = NewEvent();
    }
    EXPECT_TRUE(IsOpenHandle(later));
    CloseHandle(later);

    // Assigning over an owner closes what it held; Reset with the same value keeps it; Release hands over.
    HANDLE e1 = NewEvent(), e2 = NewEvent();
    {
        UniqueHandle x(e1);
        x = UniqueHandle(e2);
        EXPECT_FALSE(IsOpenHandle(e1));
        x.Reset(e2);
        EXPECT_TRUE(IsOpenHandle(e2));
        EXPECT_EQ(x.Release(), e2);
    }
    EXPECT_TRUE(IsOpenHandle(e2));
    CloseHandle(e2);

    UniqueHandle invalid(INVALID_HANDLE_VALUE);
    EXPECT_FALSE(invalid);
    EXPECT_EQ(invalid.Get(), nullptr);
}

TEST(ResourceOwners, FileHandleReleasesTheFile) {
    test::TempFolder temp;
    const std::wstring path = WithTrailingBackslash(temp.Text()) + L"exclusive.bin";
    auto openExclusive = [&] {
        return OpenUniqueFile(path, GENERIC_READ | GENERIC_WRITE, 0, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL);
    };
    {
        UniqueFileHandle first = openExclusive();
        ASSERT_TRUE(first);
        UniqueFileHandle moved(std::move(first));
        EXPECT_EQ(first.Get(), INVALID_HANDLE_VALUE);
        EXPECT_FALSE(openExclusive()) << "sharing violation while the owner holds the file";
    }
    EXPECT_TRUE(openExclusive());
    EXPECT_FALSE(OpenUniqueFile(path + L".missing", GENERIC_READ, 0, OPEN_EXISTING, 0));
}

TEST(ResourceOwners, RegistryKeyAndModuleAreFreed) {
    HKEY raw = nullptr;
    {
        RegKey key = RegKey::Open(HKEY_CURRENT_USER, L"Software", KEY_READ);
        ASSERT_TRUE(key);
        raw = key.Get();
        RegKey other = std::move(key);
        EXPECT_EQ(RegQueryInfoKeyW(raw, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                   nullptr, nullptr),
                  ERROR_SUCCESS);
    }
    EXPECT_NE(RegQueryInfoKeyW(raw, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr),
              ERROR_SUCCESS);
    LONG error = ERROR_SUCCESS;
    EXPECT_FALSE(RegKey::Open(HKEY_CURRENT_USER, L"Software\\MellodeckTest\\NoSuchKey\\Deeper", KEY_READ, &error));
    EXPECT_EQ(error, ERROR_FILE_NOT_FOUND);

    const std::wstring library = test::BesideTestProgram(L"mdtest_plain.dll");
    ASSERT_EQ(GetModuleHandleW(library.c_str()), nullptr);
    {
        ModuleHandle module = ModuleHandle::Load(library);
        ASSERT_TRUE(module);
        EXPECT_NE(GetProcAddress(module.Get(), "MellodeckTestValue"), nullptr);
        ModuleHandle moved(std::move(module));
        EXPECT_NE(GetModuleHandleW(library.c_str()), nullptr);
    }
    EXPECT_EQ(GetModuleHandleW(library.c_str()), nullptr);
    EXPECT_FALSE(ModuleHandle::Load(test::BesideTestProgram(L"mdtest_missing.dll")));
}

TEST(ResourceOwners, GdiObjectsAndDeviceContexts) {
    HBRUSH brushValue = nullptr;
    {
        GdiObject<HBRUSH> brush(CreateSolidBrush(RGB(1, 2, 3)));
        ASSERT_TRUE(brush);
        brushValue = brush.Get();
        GdiObject<HBRUSH> moved(std::move(brush));
        EXPECT_EQ(GetObjectType(brushValue), static_cast<DWORD>(OBJ_BRUSH));
    }
    EXPECT_EQ(GetObjectType(brushValue), 0u);

    HDC dcValue = nullptr;
    HBITMAP bitmapValue = nullptr;
    {
        MemoryDC dc = MemoryDC::CreateCompatible(nullptr);
        ASSERT_TRUE(dc);
        dcValue = dc.Get();
        GdiObject<HBITMAP> bitmap(CreateCompatibleBitmap(dc.Get(), 4, 4));
        ASSERT_TRUE(bitmap);
        bitmapValue = bitmap.Get();
        const HGDIOBJ original = GetCurrentObject(dc.Get(), OBJ_BITMAP);
        {
            SelectGuard select(dc.Get(), bitmap.Get());
            EXPECT_TRUE(select);
            EXPECT_EQ(GetCurrentObject(dc.Get(), OBJ_BITMAP), bitmap.Get());
            SelectGuard moved(std::move(select));
        }
        EXPECT_EQ(GetCurrentObject(dc.Get(), OBJ_BITMAP), original);
    }
    EXPECT_EQ(GetObjectType(bitmapValue), 0u) << "deselected first, so it could be deleted";
    EXPECT_EQ(GetObjectType(dcValue), 0u);

    WindowDC screen(nullptr);
    ASSERT_TRUE(screen);
    EXPECT_GT(GetDeviceCaps(screen.Get(), HORZRES), 0);
}

TEST(ResourceOwners, LastErrorGuardRestoresTheCode) {
    SetLastError(1234);
    {
        LastErrorGuard guard;
        SetLastError(ERROR_FILE_NOT_FOUND);
        EXPECT_EQ(guard.Saved(), 1234u);
    }
    EXPECT_EQ(GetLastError(), 1234u);
}

// Counts every reference taken and given back; deletes itself at zero like a real COM object.
class CountingObject final : public IPersist {
public:
    struct Counters {
        int AddRefs = 0;
        int Releases = 0;
        bool Destroyed = false;
    };
    explicit CountingObject(Counters& counters) : FCounters(counters) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out)
            return E_POINTER;
        if (iid == __uuidof(IUnknown) || iid == __uuidof(IPersist)) {
            *out = static_cast<IPersist*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override {
        ++FCounters.AddRefs;
        return ++FReferences;
    }
    ULONG STDMETHODCALLTYPE Release() override {
        ++FCounters.Releases;
        const ULONG left = --FReferences;
        if (left == 0) {
            FCounters.Destroyed = true;
            delete this;
        }
        return left;
    }
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* id) override {
        *id = CLSID_NULL;
        return S_OK;
    }
    ULONG References() const { return FReferences; }

private:
    Counters& FCounters;
    ULONG FReferences = 1; // the creator's reference
};

TEST(ResourceOwners, ComPtrCountsReferences) {
    CountingObject::Counters counters;
    auto* object = new CountingObject(counters);
    {
        ComPtr<IUnknown> a(object); // shares: AddRef
        EXPECT_EQ(object->References(), 2u);
        ComPtr<IUnknown> b(std::move(a));
        EXPECT_FALSE(a);
        EXPECT_EQ(object->References(), 2u);
        {
            ComPtr<IPersist> persist = b.As<IPersist>();
            ASSERT_TRUE(persist);
            EXPECT_EQ(object->References(), 3u);
            HRESULT hr = S_OK;
            ComPtr<IStream> stream = b.As<IStream>(__uuidof(IStream), &hr);
            EXPECT_FALSE(stream);
            EXPECT_EQ(hr, E_NOINTERFACE);
            EXPECT_EQ(object->References(), 3u);
        }
        EXPECT_EQ(object->References(), 2u);
        IUnknown* raw = b.Detach(); // the reference moves out, uncounted
        EXPECT_EQ(object->References(), 2u);
        ComPtr<IUnknown> c;
        c.Attach(raw);
        ComPtr<IUnknown> d(object);
        EXPECT_EQ(object->References(), 3u);
        d = std::move(c); // d gives back its own reference and takes c's
        EXPECT_EQ(object->References(), 2u);
        ComPtr<IUnknown> e;
        EXPECT_EQ(d->QueryInterface(__uuidof(IUnknown), e.PutVoid()), S_OK);
        EXPECT_EQ(object->References(), 3u);
        e.Put(); // releases before handing out the slot
        EXPECT_EQ(object->References(), 2u);
    }
    EXPECT_FALSE(counters.Destroyed);
    EXPECT_EQ(object->References(), 1u);
    EXPECT_EQ(counters.AddRefs, counters.Releases);
    object->Release();
    EXPECT_TRUE(counters.Destroyed);
}

} // namespace
} // namespace mellodeck
