#pragma once
// Owner of one COM interface reference. Copies share the object (AddRef); moves hand the reference over.
#include <windows.h>
#include <unknwn.h>

#include <type_traits>
#include <utility>

namespace mellodeck::win {

template <typename T> class ComPtr {
public:
    ComPtr() noexcept = default;
    // Shares `pointer`: takes a reference of its own (AddRef).
    explicit ComPtr(T* pointer) noexcept : FPointer(pointer) { AddRefHeld(); }
    ~ComPtr() { Reset(); }
    ComPtr(const ComPtr& other) noexcept : FPointer(other.FPointer) { AddRefHeld(); }
    ComPtr& operator=(const ComPtr& other) noexcept {
        if (FPointer != other.FPointer)
            ComPtr(other).Swap(*this);
        return *this;
    }
    ComPtr(ComPtr&& other) noexcept : FPointer(std::exchange(other.FPointer, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other)
            Attach(other.Detach());
        return *this;
    }
    // From a pointer to a derived interface (or object): shares it.
    template <typename U, typename = std::enable_if_t<std::is_convertible_v<U*, T*> && !std::is_same_v<U, T>>>
    ComPtr(const ComPtr<U>& other) noexcept : FPointer(other.Get()) {
        AddRefHeld();
    }

    T* Get() const noexcept { return FPointer; }
    T* operator->() const noexcept { return FPointer; }
    explicit operator bool() const noexcept { return FPointer != nullptr; }
    void Swap(ComPtr& other) noexcept { std::swap(FPointer, other.FPointer); }

    // Takes over a reference the caller already holds (no AddRef); releases the current one.
    void Attach(T* pointer) noexcept {
        T* old = std::exchange(FPointer, pointer);
        if (old)
            old->Release();
    }
    // Hands the reference to the caller (no Release).
    T* Detach() noexcept { return std::exchange(FPointer, nullptr); }
    // Releases the reference.
    void Reset() noexcept { Attach(nullptr); }
    // Releases the current reference and returns the address for an out parameter that delivers one.
    T** Put() noexcept {
        Reset();
        return &FPointer;
    }
    void** PutVoid() noexcept { return reinterpret_cast<void**>(Put()); }

    // Fills an out parameter with a reference of its own (AddRef); null stays null. E_POINTER for no
    // parameter.
    HRESULT CopyTo(T** out) const noexcept {
        if (!out)
            return E_POINTER;
        *out = FPointer;
        if (FPointer)
            FPointer->AddRef();
        return S_OK;
    }
    // Fills an out parameter with the interface `iid` of the object (QueryInterface): what a method with a
    // REFIID/void** pair answers. E_NOINTERFACE with a null parameter when empty.
    HRESULT CopyTo(REFIID iid, void** out) const noexcept {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        return FPointer ? FPointer->QueryInterface(iid, out) : E_NOINTERFACE;
    }

    // QueryInterface for another interface (by default the one declared for U); empty on failure, with the
    // HRESULT in `result` when given.
    template <typename U> ComPtr<U> As(REFIID iid = __uuidof(U), HRESULT* result = nullptr) const noexcept {
        ComPtr<U> other;
        HRESULT hr = E_POINTER;
        if (FPointer)
            hr = FPointer->QueryInterface(iid, other.PutVoid());
        if (FAILED(hr))
            other.Detach(); // QueryInterface sets the pointer to null on failure; nothing to release
        if (result)
            *result = hr;
        return other;
    }
    // The same query into an existing owner: true when the object has U (target then holds it); on failure
    // target is empty.
    template <typename U> bool TryAs(ComPtr<U>& target) const noexcept {
        target = As<U>();
        return static_cast<bool>(target);
    }

    friend bool operator==(const ComPtr& a, const ComPtr& b) noexcept { return a.FPointer == b.FPointer; }

private:
    void AddRefHeld() noexcept {
        if (FPointer)
            FPointer->AddRef();
    }

    T* FPointer = nullptr;
};

} // namespace mellodeck::win
