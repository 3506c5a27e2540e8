#pragma once
// A move-only owner of one Win32 resource value. Traits give the value type, the value that means
// "nothing", how to recognise an empty value and how to free one:
//   struct Traits { using Type = ...; static Type Empty(); static bool IsEmpty(Type); static void Close(Type); };
// Moving transfers ownership; the moved-from owner is empty and frees nothing.
#include <utility>

namespace mellodeck::win {

template <typename Traits> class UniqueResource {
public:
    using Type = typename Traits::Type;

    UniqueResource() noexcept = default;
    explicit UniqueResource(Type value) noexcept : FValue(Traits::IsEmpty(value) ? Traits::Empty() : value) {}
    ~UniqueResource() { Reset(); }

    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    UniqueResource(UniqueResource&& other) noexcept : FValue(other.Release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }

    Type Get() const noexcept { return FValue; }
    explicit operator bool() const noexcept { return !Traits::IsEmpty(FValue); }

    // Gives up ownership without freeing.
    Type Release() noexcept { return std::exchange(FValue, Traits::Empty()); }
    // Frees the owned value (unless it is the new one) and takes `value`.
    void Reset(Type value = Traits::Empty()) noexcept {
        const Type old = std::exchange(FValue, Traits::IsEmpty(value) ? Traits::Empty() : value);
        if (!Traits::IsEmpty(old) && old != FValue)
            Traits::Close(old);
    }
    // Frees the owned value and returns the address for a call that delivers a new one.
    Type* Put() noexcept {
        Reset();
        return &FValue;
    }

private:
    Type FValue = Traits::Empty();
};

} // namespace mellodeck::win
