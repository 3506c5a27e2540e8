#pragma once
// The one implementation of IUnknown for COM objects of ours, the module's object count, a class factory
// and the exception boundary every COM method body runs in.
//
//   class TThing final : public ComObject<IThing, Extends<IOleInPlaceObject, IOleWindow>> {
//       HRESULT STDMETHODCALLTYPE DoIt(int value) override {
//           return ComBoundary([&] { Work(value); });          // exceptions become HRESULTs
//       }
//   };
//   ComPtr<IThing> thing = MakeComObject<TThing>();
//
// QueryInterface answers exactly the listed interfaces (and, through Extends<I, Bases...>, the interfaces I
// derives from), plus IUnknown as the first one, so every IUnknown query of the object gives the same
// pointer. Other IIDs go to QueryOtherInterface, a hook for objects that hand some interfaces to a helper
// object; its default answers E_NOINTERFACE.
//
// Interface ids come from __uuidof. An interface of our own gets its id from a declaration at global scope
// after the interface, which is what widl-generated headers contain as well:
//
//   namespace mellodeck { struct IThing : IUnknown { virtual HRESULT STDMETHODCALLTYPE DoIt(int) = 0; }; }
//   __CRT_UUID_DECL(mellodeck::IThing, 0x8d5b0c2e, 0x4f1a, 0x4a57, 0x9a, 0x2d, 0x11, 0x6c, 0x3e, 0x70, 0x52, 0x01)
//
// The module count: every live object counts (unless built with ModuleCount::Ignore, as the class factory
// is), and so does every LockServer(TRUE); DllCanUnloadNow answers CanUnloadModule().
#include <windows.h>
#include <oleauto.h>
#include <unknwn.h>

#include <atomic>
#include <new>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <utility>

#include "common/win/ComPtr.h"
#include "common/win/FailureSink.h"

namespace mellodeck::win {

// ---- module count ---------------------------------------------------------------------------------
// Live objects and server locks of the module this code is linked into.
void LockModule() noexcept;
void UnlockModule() noexcept;
long ModuleLockCount() noexcept;
// S_OK when nothing counts any more, S_FALSE otherwise: the answer of DllCanUnloadNow.
HRESULT CanUnloadModule() noexcept;

// ---- errors ---------------------------------------------------------------------------------------
// An exception carrying the HRESULT a COM method should return, with an optional description for the
// error object.
class EComError : public std::runtime_error {
public:
    explicit EComError(HRESULT result, const std::string& message = std::string())
        : std::runtime_error(message.empty() ? "COM error" : message), FResult(result) {}
    HRESULT Result() const noexcept { return FResult; }

private:
    HRESULT FResult;
};

// Throws EComError for a failed HRESULT; returns it unchanged otherwise.
inline HRESULT ThrowIfFailed(HRESULT result, const char* what = "") {
    if (FAILED(result))
        throw EComError(result, what);
    return result;
}

// Where an error caught by ComBoundary is described: with an interface given, SetErrorInfo publishes the
// exception's text as the error object's description (the caller then answers ISupportErrorInfo for it).
struct ComErrorSource {
    const IID* Interface = nullptr;
    const wchar_t* Source = nullptr; // ProgID or class name shown as the error's source
};

namespace detail {
HRESULT HandleComException(HRESULT otherwise, const ComErrorSource& source) noexcept;
} // namespace detail

// Runs a COM method body and turns every exception into an HRESULT: std::bad_alloc gives E_OUTOFMEMORY,
// EComError its own result, anything else `otherwise` (E_FAIL, or E_UNEXPECTED where that is the method's
// answer). The body returns an HRESULT, or nothing for S_OK. Unexpected exceptions (not EComError) are
// reported through the failure sink.
template <typename Body>
HRESULT ComBoundary(Body&& body, HRESULT otherwise = E_FAIL, const ComErrorSource& source = {}) noexcept {
    try {
        if constexpr (std::is_void_v<std::invoke_result_t<Body&>>) {
            body();
            return S_OK;
        } else {
            return static_cast<HRESULT>(body());
        }
    } catch (...) {
        return detail::HandleComException(otherwise, source);
    }
}

// ---- objects --------------------------------------------------------------------------------------
// An entry of the interface list: the object derives from I and also answers the interfaces I extends.
template <typename I, typename... Bases> struct Extends {};

namespace detail {
template <typename Entry> struct InterfaceEntry {
    using Interface = Entry;
    static bool Matches(REFIID iid) noexcept { return IsEqualIID(iid, __uuidof(Entry)); }
};
template <typename I, typename... Bases> struct InterfaceEntry<Extends<I, Bases...>> {
    using Interface = I;
    static bool Matches(REFIID iid) noexcept {
        return IsEqualIID(iid, __uuidof(I)) || (IsEqualIID(iid, __uuidof(Bases)) || ...);
    }
};
template <typename First, typename...> struct FirstOf {
    using Type = First;
};
} // namespace detail

enum class ModuleCount { Count, Ignore };

template <typename... Entries> class ComObject : public detail::InterfaceEntry<Entries>::Interface... {
    static_assert(sizeof...(Entries) > 0, "a COM object implements at least one interface");
    using FirstInterface = typename detail::InterfaceEntry<typename detail::FirstOf<Entries...>::Type>::Interface;

public:
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (IsEqualIID(iid, __uuidof(IUnknown)))
            *out = static_cast<IUnknown*>(static_cast<FirstInterface*>(this));
        else
            (FindEntry<Entries>(iid, out) || ...);
        if (*out) {
            AddRef();
            return S_OK;
        }
        return QueryOtherInterface(iid, out);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return FReferences.fetch_add(1, std::memory_order_relaxed) + 1; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = FReferences.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (left == 0)
            delete this;
        return left;
    }

    // The object as its first interface's IUnknown (no reference taken).
    IUnknown* Unknown() noexcept { return static_cast<IUnknown*>(static_cast<FirstInterface*>(this)); }

protected:
    // Starts with one reference, the creator's (MakeComObject takes it over).
    explicit ComObject(ModuleCount count = ModuleCount::Count) noexcept : FCounts(count == ModuleCount::Count) {
        if (FCounts)
            LockModule();
    }
    virtual ~ComObject() {
        if (FCounts)
            UnlockModule();
    }

    // Interfaces not in the list. An answer sets *out (already null) and takes a reference on what it hands
    // out, e.g. by querying a helper object; the default has nothing more.
    virtual HRESULT QueryOtherInterface(REFIID, void**) { return E_NOINTERFACE; }

private:
    template <typename Entry> bool FindEntry(REFIID iid, void** out) noexcept {
        if (!detail::InterfaceEntry<Entry>::Matches(iid))
            return false;
        *out = static_cast<typename detail::InterfaceEntry<Entry>::Interface*>(this);
        return true;
    }

    std::atomic<ULONG> FReferences{1};
    const bool FCounts;
};

// Makes an object and hands its first reference to a ComPtr of interface I (by default the first listed).
template <typename T, typename I = void, typename... Args> auto MakeComObject(Args&&... args) {
    using Target = std::conditional_t<std::is_void_v<I>, T, I>;
    ComPtr<Target> pointer;
    pointer.Attach(static_cast<Target*>(new T(std::forward<Args>(args)...)));
    return pointer;
}

// The class factory for objects of T (default-constructed). It does not count as a live object: holding a
// factory keeps the module only through LockServer.
template <typename T> class ClassFactory final : public ComObject<IClassFactory> {
public:
    ClassFactory() noexcept : ComObject(ModuleCount::Ignore) {}

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        return ComBoundary([&] {
            ComPtr<T> object;
            object.Attach(new T());
            return object->QueryInterface(iid, out);
        });
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock)
            LockModule();
        else
            UnlockModule();
        return S_OK;
    }
};

// DllGetClassObject for one class: the factory of T when `requested` is `classId`, CLASS_E_CLASSNOTAVAILABLE
// otherwise (so several calls can be chained over the module's classes).
template <typename T> HRESULT GetClassObjectOf(REFCLSID classId, REFCLSID requested, REFIID iid, void** out) noexcept {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (!IsEqualCLSID(classId, requested))
        return CLASS_E_CLASSNOTAVAILABLE;
    return ComBoundary([&] {
        ComPtr<IClassFactory> factory = MakeComObject<ClassFactory<T>, IClassFactory>();
        return factory->QueryInterface(iid, out);
    });
}

} // namespace mellodeck::win
