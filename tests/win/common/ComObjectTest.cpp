#include <gtest/gtest.h>

#include <windows.h>
#include <oleauto.h>

#include <new>
#include <stdexcept>
#include <string>

#include "common/win/Bstr.h"
#include "common/win/ComObject.h"
#include "common/win/ComPtr.h"
#include "common/win/FailureSink.h"

// Two small interfaces of the test's own, with their ids declared the way any interface of ours gets one,
// and one that extends the second.
namespace mellodeck::test {
struct IMdCounter : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Add(int amount, int* total) = 0;
};
struct IMdNamed : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Name(BSTR* name) = 0;
};
struct IMdNamedEx : IMdNamed {
    virtual HRESULT STDMETHODCALLTYPE NameLength(int* length) = 0;
};
struct IMdNever : IUnknown {};
} // namespace mellodeck::test
__CRT_UUID_DECL(mellodeck::test::IMdCounter, 0x3f0e6a51, 0x0d2b, 0x4c39, 0x8e, 0x61, 0x5a, 0x2f, 0x90, 0x13, 0x7c, 0x01)
__CRT_UUID_DECL(mellodeck::test::IMdNamed, 0x3f0e6a51, 0x0d2b, 0x4c39, 0x8e, 0x61, 0x5a, 0x2f, 0x90, 0x13, 0x7c, 0x02)
__CRT_UUID_DECL(mellodeck::test::IMdNamedEx, 0x3f0e6a51, 0x0d2b, 0x4c39, 0x8e, 0x61, 0x5a, 0x2f, 0x90, 0x13, 0x7c, 0x03)
__CRT_UUID_DECL(mellodeck::test::IMdNever, 0x3f0e6a51, 0x0d2b, 0x4c39, 0x8e, 0x61, 0x5a, 0x2f, 0x90, 0x13, 0x7c, 0x04)

namespace mellodeck {
namespace {

using namespace mellodeck::win;
using test::IMdCounter;
using test::IMdNamed;
using test::IMdNamedEx;
using test::IMdNever;

// What the counter's Add does with the amount: a few values stand for ways a method body can fail.
constexpr int kThrowBadAlloc = -1;
constexpr int kThrowComError = -2;
constexpr int kThrowOther = -3;
constexpr int kThrowInt = -4;

class TCounter final : public ComObject<IMdCounter, Extends<IMdNamedEx, IMdNamed>> {
public:
    static inline int Alive = 0;
    TCounter() { ++Alive; }
    ~TCounter() override { --Alive; }

    HRESULT STDMETHODCALLTYPE Add(int amount, int* total) override {
        return ComBoundary([&]() -> HRESULT {
            if (!total)
                return E_POINTER;
            switch (amount) {
            case kThrowBadAlloc:
                throw std::bad_alloc();
            case kThrowComError:
                throw EComError(STG_E_ACCESSDENIED, "no access");
            case kThrowOther:
                throw std::runtime_error("broken");
            case kThrowInt:
                throw 5;
            default:
                break;
            }
            FTotal += amount;
            *total = FTotal;
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE Name(BSTR* name) override {
        return ComBoundary([&] { return Bstr::FromString(L"counter").CopyOut(name); });
    }
    HRESULT STDMETHODCALLTYPE NameLength(int* length) override {
        return ComBoundary([&] { *length = 7; }, E_UNEXPECTED);
    }

private:
    int FTotal = 0;
};

// Hands IMdCounter out from a helper object, the way an item forwards what it does not implement itself.
class TForwarder final : public ComObject<IMdNamed> {
public:
    explicit TForwarder(ComPtr<IMdCounter> helper) : FHelper(std::move(helper)) {}
    HRESULT STDMETHODCALLTYPE Name(BSTR* name) override {
        return ComBoundary([&] { return Bstr::FromString(L"forwarder").CopyOut(name); });
    }

protected:
    HRESULT QueryOtherInterface(REFIID iid, void** out) override { return FHelper.CopyTo(iid, out); }

private:
    ComPtr<IMdCounter> FHelper;
};

ULONG References(IUnknown* object) {
    object->AddRef();
    return object->Release();
}

TEST(ComObject, QueryInterfaceAnswersTheListedInterfaces) {
    ASSERT_EQ(ModuleLockCount(), 0);
    {
        ComPtr<IMdCounter> counter = MakeComObject<TCounter, IMdCounter>();
        ASSERT_TRUE(counter);
        EXPECT_EQ(References(counter.Get()), 1u);
        EXPECT_EQ(ModuleLockCount(), 1);
        EXPECT_EQ(CanUnloadModule(), S_FALSE);

        ComPtr<IMdNamed> named = counter.As<IMdNamed>();
        ComPtr<IMdNamedEx> namedEx = counter.As<IMdNamedEx>();
        ComPtr<IUnknown> unknown = counter.As<IUnknown>();
        ASSERT_TRUE(named && namedEx && unknown);
        EXPECT_EQ(References(counter.Get()), 4u);
        // One IUnknown for the object, whichever interface it is asked through.
        EXPECT_EQ(named.As<IUnknown>().Get(), unknown.Get());
        EXPECT_EQ(namedEx.As<IUnknown>().Get(), unknown.Get());
        EXPECT_EQ(unknown.Get(), static_cast<IUnknown*>(counter.Get()));
        // The base interface of an extended one is that same part of the object.
        EXPECT_EQ(static_cast<void*>(named.Get()), static_cast<void*>(namedEx.Get()));
        int total = 0;
        EXPECT_EQ(counter->Add(3, &total), S_OK);
        EXPECT_EQ(named.As<IMdCounter>()->Add(4, &total), S_OK);
        EXPECT_EQ(total, 7);
        Bstr name;
        EXPECT_EQ(namedEx->Name(name.Put()), S_OK);
        EXPECT_EQ(name.Text(), L"counter");

        void* out = reinterpret_cast<void*>(1);
        EXPECT_EQ(counter->QueryInterface(__uuidof(IMdNever), &out), E_NOINTERFACE);
        EXPECT_EQ(out, nullptr);
        EXPECT_EQ(counter->QueryInterface(__uuidof(IDispatch), &out), E_NOINTERFACE);
        EXPECT_EQ(counter->QueryInterface(__uuidof(IMdCounter), nullptr), E_POINTER);
        EXPECT_EQ(References(counter.Get()), 4u) << "failed queries take no reference";
        EXPECT_EQ(TCounter::Alive, 1);
    }
    EXPECT_EQ(TCounter::Alive, 0);
    EXPECT_EQ(ModuleLockCount(), 0);
    EXPECT_EQ(CanUnloadModule(), S_OK);
}

TEST(ComObject, UnknownInterfacesCanBeForwarded) {
    ComPtr<IMdCounter> helper = MakeComObject<TCounter, IMdCounter>();
    {
        ComPtr<IMdNamed> forwarder = MakeComObject<TForwarder, IMdNamed>(helper);
        EXPECT_EQ(ModuleLockCount(), 2);
        ComPtr<IMdCounter> counter = forwarder.As<IMdCounter>();
        ASSERT_TRUE(counter);
        EXPECT_EQ(counter.Get(), helper.Get());
        EXPECT_FALSE(forwarder.As<IMdNever>());
        Bstr name;
        EXPECT_EQ(forwarder->Name(name.Put()), S_OK);
        EXPECT_EQ(name.Text(), L"forwarder");
    }
    EXPECT_EQ(References(helper.Get()), 1u);
    helper.Reset();
    EXPECT_EQ(ModuleLockCount(), 0);
}

TEST(ComObject, BoundaryTurnsExceptionsIntoResults) {
    std::wstring reported;
    static std::wstring* sReported = nullptr;
    sReported = &reported;
    SetFailureSink([](const std::wstring& text) { *sReported += text + L"\n"; });
    ComPtr<IMdCounter> counter = MakeComObject<TCounter, IMdCounter>();
    struct Case {
        int Amount;
        HRESULT Expected;
        bool Reported;
    };
    for (const Case& c : {Case{kThrowBadAlloc, E_OUTOFMEMORY, false}, Case{kThrowComError, STG_E_ACCESSDENIED, false},
                          Case{kThrowOther, E_FAIL, true}, Case{kThrowInt, E_FAIL, true}}) {
        SCOPED_TRACE(c.Amount);
        reported.clear();
        int total = 0;
        EXPECT_EQ(counter->Add(c.Amount, &total), c.Expected);
        EXPECT_EQ(!reported.empty(), c.Reported) << reported;
    }
    EXPECT_NE(reported.find(L"unknown exception"), std::wstring::npos);
    SetFailureSink(nullptr);

    EXPECT_EQ(ComBoundary([]() -> HRESULT { throw std::logic_error("x"); }, E_UNEXPECTED), E_UNEXPECTED);
    EXPECT_EQ(ComBoundary([] {}), S_OK);
    EXPECT_EQ(ComBoundary([] { return S_FALSE; }), S_FALSE);
    // An exception never reads as success, whatever it carries.
    EXPECT_EQ(ComBoundary([]() -> HRESULT { throw EComError(S_OK); }), E_FAIL);
    EXPECT_EQ(ComBoundary([]() -> HRESULT { throw 1; }, S_OK), E_FAIL);
    EXPECT_THROW(ThrowIfFailed(E_ACCESSDENIED), EComError);
    EXPECT_EQ(ThrowIfFailed(S_FALSE), S_FALSE);
}

TEST(ComObject, BoundaryPublishesErrorInfo) {
    const HRESULT result = ComBoundary([]() -> HRESULT { throw EComError(E_INVALIDARG, "The value is out of range"); },
                                       E_FAIL, ComErrorSource{&__uuidof(IMdCounter), L"Mellodeck.Test"});
    EXPECT_EQ(result, E_INVALIDARG);
    ComPtr<IErrorInfo> info;
    ASSERT_EQ(::GetErrorInfo(0, info.Put()), S_OK);
    ASSERT_TRUE(info);
    Bstr description, source;
    EXPECT_EQ(info->GetDescription(description.Put()), S_OK);
    EXPECT_EQ(description.Text(), L"The value is out of range");
    EXPECT_EQ(info->GetSource(source.Put()), S_OK);
    EXPECT_EQ(source.Text(), L"Mellodeck.Test");
    GUID iid{};
    EXPECT_EQ(info->GetGUID(&iid), S_OK);
    EXPECT_TRUE(IsEqualGUID(iid, __uuidof(IMdCounter)));
}

TEST(ComObject, ClassFactoryCreatesObjectsAndLocksTheServer) {
    const CLSID kClass = {0x3f0e6a51, 0x0d2b, 0x4c39, {0x8e, 0x61, 0x5a, 0x2f, 0x90, 0x13, 0x7c, 0x10}};
    const CLSID kOther = {0x3f0e6a51, 0x0d2b, 0x4c39, {0x8e, 0x61, 0x5a, 0x2f, 0x90, 0x13, 0x7c, 0x11}};
    ComPtr<IClassFactory> factory;
    EXPECT_EQ(GetClassObjectOf<TCounter>(kClass, kOther, __uuidof(IClassFactory), factory.PutVoid()),
              CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_FALSE(factory);
    ASSERT_EQ(GetClassObjectOf<TCounter>(kClass, kClass, __uuidof(IClassFactory), factory.PutVoid()), S_OK);
    ASSERT_TRUE(factory);
    EXPECT_EQ(ModuleLockCount(), 0) << "a factory alone does not keep the module";

    ComPtr<IMdNamed> named;
    ASSERT_EQ(factory->CreateInstance(nullptr, __uuidof(IMdNamed), named.PutVoid()), S_OK);
    EXPECT_EQ(References(named.Get()), 1u) << "the caller holds the only reference";
    EXPECT_EQ(ModuleLockCount(), 1);
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(nullptr, __uuidof(IMdNever), &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(factory->CreateInstance(named.Get(), __uuidof(IUnknown), &out), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(TCounter::Alive, 1) << "the refused object is gone again";

    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    named.Reset();
    EXPECT_EQ(CanUnloadModule(), S_FALSE);
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    EXPECT_EQ(CanUnloadModule(), S_OK);
}

TEST(ComObject, ComPtrCopiesShareTheObject) {
    ComPtr<IMdCounter> a = MakeComObject<TCounter, IMdCounter>();
    IMdCounter* raw = a.Get();
    {
        ComPtr<IMdCounter> b(a);
        EXPECT_EQ(References(raw), 2u);
        ComPtr<IMdCounter> c;
        c = b;
        EXPECT_EQ(References(raw), 3u);
        c = c; // self-assignment keeps the reference
        EXPECT_EQ(References(raw), 3u);
        ComPtr<IUnknown> unknown(c); // to a base interface
        EXPECT_EQ(References(raw), 4u);
        b = ComPtr<IMdCounter>(); // gives its reference back
        EXPECT_EQ(References(raw), 3u);
        EXPECT_TRUE(c == a);

        IMdCounter* out = nullptr;
        EXPECT_EQ(a.CopyTo(&out), S_OK);
        EXPECT_EQ(out, raw);
        EXPECT_EQ(References(raw), 4u);
        out->Release();
        EXPECT_EQ(a.CopyTo(nullptr), E_POINTER);
        EXPECT_EQ(ComPtr<IMdCounter>().CopyTo(&out), S_OK);
        EXPECT_EQ(out, nullptr);

        void* named = nullptr;
        EXPECT_EQ(a.CopyTo(__uuidof(IMdNamed), &named), S_OK);
        ASSERT_NE(named, nullptr);
        static_cast<IMdNamed*>(named)->Release();
        EXPECT_EQ(ComPtr<IMdCounter>().CopyTo(__uuidof(IMdNamed), &named), E_NOINTERFACE);
        EXPECT_EQ(named, nullptr);

        ComPtr<IMdNamedEx> namedEx;
        EXPECT_TRUE(a.TryAs(namedEx));
        EXPECT_TRUE(namedEx);
        ComPtr<IMdNever> never;
        EXPECT_FALSE(a.TryAs(never));
        EXPECT_FALSE(never);
    }
    EXPECT_EQ(References(raw), 1u);
    a.Reset();
    EXPECT_EQ(TCounter::Alive, 0);
    EXPECT_EQ(ModuleLockCount(), 0);
}

} // namespace
} // namespace mellodeck
