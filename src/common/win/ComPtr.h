#pragma once
// Owner of one COM interface reference.
#include <windows.h>
#include <unknwn.h>

#include <utility>

namespace mellodeck::win {

template <typename T> class ComPtr {
public:
    ComPtr() noexcept = default;
    // Shares `pointer`: takes a reference of its own (AddRef).
    explicit ComPtr(T* pointer) noexcept : FPointer(pointer) {
        if (FPointer)
            FPointer->AddRef();
    }
    ~ComPtr() { Reset(); }
    // One owner per reference; share explicitly with ComPtr(other.Get()).
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : FPointer(std::exchange(other.FPointer, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other)
            Attach(other.Detach());
        return *this;
    }

    T* Get() const noexcept { return FPointer; }
    T* operator->() const noexcept { return FPointer; }
    explicit operator bool() const noexcept { return FPointer != nullptr; }

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

private:
    T* FPointer = nullptr;
};

} // namespace mellodeck::win
