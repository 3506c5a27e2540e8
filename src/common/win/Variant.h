#pragma once
// Owner of a VARIANT: initialised empty (VT_EMPTY) and cleared with VariantClear, which frees what it
// holds (a BSTR, an interface reference, an array).
#include <windows.h>
#include <oleauto.h>

#include <utility>

namespace mellodeck::win {

class Variant {
public:
    Variant() noexcept { ::VariantInit(&FValue); }
    ~Variant() { Clear(); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    Variant(Variant&& other) noexcept : FValue(other.FValue) { ::VariantInit(&other.FValue); }
    Variant& operator=(Variant&& other) noexcept {
        if (this != &other) {
            Clear();
            FValue = other.FValue;
            ::VariantInit(&other.FValue);
        }
        return *this;
    }

    VARIANT* Get() noexcept { return &FValue; }
    const VARIANT* Get() const noexcept { return &FValue; }
    VARTYPE Type() const noexcept { return FValue.vt; }
    // Clears and returns the address for a call that delivers a value.
    VARIANT* Put() noexcept {
        Clear();
        return &FValue;
    }
    // Frees what the variant holds; VT_EMPTY afterwards.
    void Clear() noexcept {
        ::VariantClear(&FValue);
        ::VariantInit(&FValue);
    }
    // Hands the value to an out parameter (the caller clears it); this owner is empty afterwards.
    HRESULT CopyOut(VARIANT* out) noexcept {
        if (!out)
            return E_POINTER;
        *out = FValue;
        ::VariantInit(&FValue);
        return S_OK;
    }

private:
    VARIANT FValue;
};

} // namespace mellodeck::win
