#pragma once
// Owners of GDI objects and device contexts, and the guard that restores a DC's selected object.
#include <windows.h>

#include <utility>

#include "common/win/UniqueResource.h"

namespace mellodeck::win {

// Pens, brushes, fonts, bitmaps and regions: freed with DeleteObject. Delete only what is not selected
// into a DC (a SelectGuard declared after the object restores the DC first).
template <typename T> struct GdiObjectTraits {
    using Type = T;
    static Type Empty() noexcept { return nullptr; }
    static bool IsEmpty(Type h) noexcept { return h == nullptr; }
    static void Close(Type h) noexcept { ::DeleteObject(h); }
};

template <typename T> using GdiObject = UniqueResource<GdiObjectTraits<T>>;

struct MemoryDCTraits {
    using Type = HDC;
    static Type Empty() noexcept { return nullptr; }
    static bool IsEmpty(Type h) noexcept { return h == nullptr; }
    static void Close(Type h) noexcept { ::DeleteDC(h); }
};

// A memory DC from CreateCompatibleDC, freed with DeleteDC.
class MemoryDC : public UniqueResource<MemoryDCTraits> {
public:
    using UniqueResource::UniqueResource;
    static MemoryDC CreateCompatible(HDC dc) { return MemoryDC(::CreateCompatibleDC(dc)); }
};

// A window's (or, for a null window, the screen's) DC from GetDC, given back with ReleaseDC.
class WindowDC {
public:
    WindowDC() noexcept = default;
    explicit WindowDC(HWND window) noexcept : FWindow(window), FDC(::GetDC(window)) {}
    ~WindowDC() { Reset(); }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    WindowDC(WindowDC&& other) noexcept
        : FWindow(std::exchange(other.FWindow, nullptr)), FDC(std::exchange(other.FDC, nullptr)) {}
    WindowDC& operator=(WindowDC&& other) noexcept {
        if (this != &other) {
            Reset();
            FWindow = std::exchange(other.FWindow, nullptr);
            FDC = std::exchange(other.FDC, nullptr);
        }
        return *this;
    }
    HDC Get() const noexcept { return FDC; }
    explicit operator bool() const noexcept { return FDC != nullptr; }
    void Reset() noexcept {
        if (FDC)
            ::ReleaseDC(FWindow, FDC);
        FWindow = nullptr;
        FDC = nullptr;
    }

private:
    HWND FWindow = nullptr;
    HDC FDC = nullptr;
};

// The DC of one WM_PAINT: BeginPaint on construction, EndPaint on destruction.
class PaintDC {
public:
    explicit PaintDC(HWND window) noexcept : FWindow(window), FPaint{} { FDC = ::BeginPaint(window, &FPaint); }
    ~PaintDC() { End(); }
    PaintDC(const PaintDC&) = delete;
    PaintDC& operator=(const PaintDC&) = delete;
    PaintDC(PaintDC&& other) noexcept
        : FWindow(std::exchange(other.FWindow, nullptr)), FPaint(other.FPaint), FDC(std::exchange(other.FDC, nullptr)) {
    }
    PaintDC& operator=(PaintDC&& other) noexcept {
        if (this != &other) {
            End();
            FWindow = std::exchange(other.FWindow, nullptr);
            FPaint = other.FPaint;
            FDC = std::exchange(other.FDC, nullptr);
        }
        return *this;
    }
    HDC Get() const noexcept { return FDC; }
    explicit operator bool() const noexcept { return FDC != nullptr; }
    const PAINTSTRUCT& Paint() const noexcept { return FPaint; }
    const RECT& Area() const noexcept { return FPaint.rcPaint; }

private:
    void End() noexcept {
        if (FDC)
            ::EndPaint(FWindow, &FPaint);
        FDC = nullptr;
        FWindow = nullptr;
    }

    HWND FWindow = nullptr;
    PAINTSTRUCT FPaint;
    HDC FDC = nullptr;
};

// Selects an object into a DC and selects the previous one back on destruction.
class SelectGuard {
public:
    SelectGuard() noexcept = default;
    SelectGuard(HDC dc, HGDIOBJ object) noexcept : FDC(dc), FPrevious(::SelectObject(dc, object)) {
        // A failed selection (null or HGDI_ERROR) has nothing to restore.
        if (FPrevious == nullptr || FPrevious == HGDI_ERROR) {
            FDC = nullptr;
            FPrevious = nullptr;
        }
    }
    ~SelectGuard() { Restore(); }
    SelectGuard(const SelectGuard&) = delete;
    SelectGuard& operator=(const SelectGuard&) = delete;
    SelectGuard(SelectGuard&& other) noexcept
        : FDC(std::exchange(other.FDC, nullptr)), FPrevious(std::exchange(other.FPrevious, nullptr)) {}
    SelectGuard& operator=(SelectGuard&& other) noexcept {
        if (this != &other) {
            Restore();
            FDC = std::exchange(other.FDC, nullptr);
            FPrevious = std::exchange(other.FPrevious, nullptr);
        }
        return *this;
    }
    explicit operator bool() const noexcept { return FDC != nullptr; }
    // Selects the previous object back now.
    void Restore() noexcept {
        if (FDC)
            ::SelectObject(FDC, FPrevious);
        FDC = nullptr;
        FPrevious = nullptr;
    }

private:
    HDC FDC = nullptr;
    HGDIOBJ FPrevious = nullptr;
};

} // namespace mellodeck::win
