#include "common/win/WindowBase.h"

#include <algorithm>
#include <cwchar>
#include <mutex>
#include <vector>

#include "common/win/FailureSink.h"

namespace mellodeck::win {
namespace {

// The object pointer lives in the window's extra bytes, not in GWLP_USERDATA, which belongs to whoever
// holds the handle.
constexpr int kObjectSlot = 0;

// Class names this module registered, so each is registered once and UnregisterClasses knows them all.
struct ClassRegistry {
    std::mutex Lock;
    std::vector<std::wstring> Names;
};

ClassRegistry& Registry() {
    static ClassRegistry registry;
    return registry;
}

std::wstring MessageText(UINT message) {
    wchar_t number[16];
    std::swprintf(number, std::size(number), L"0x%04X", message);
    return number;
}

} // namespace

WindowBase::~WindowBase() {
    if (const HWND window = FHandle) {
        // The derived part is gone: later messages of the dying window must not reach this object.
        Unbind();
        ::DestroyWindow(window);
    }
}

HMODULE WindowBase::Module() noexcept {
    HMODULE module = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCWSTR>(reinterpret_cast<void*>(&WindowBase::StaticWindowProc)), &module);
    return module;
}

bool WindowBase::UnregisterClasses() noexcept {
    ClassRegistry& registry = Registry();
    std::lock_guard lock(registry.Lock);
    const HMODULE module = Module();
    bool all = true;
    std::erase_if(registry.Names, [&](const std::wstring& name) {
        if (::UnregisterClassW(name.c_str(), module) || ::GetLastError() == ERROR_CLASS_DOES_NOT_EXIST)
            return true;
        all = false; // windows of the class still exist: keep it listed
        return false;
    });
    return all;
}

void WindowBase::ClassOptions(WNDCLASSEXW&) const {}

bool WindowBase::EnsureClassRegistered() {
    const wchar_t* name = ClassName();
    ClassRegistry& registry = Registry();
    std::lock_guard lock(registry.Lock);
    if (std::find(registry.Names.begin(), registry.Names.end(), name) != registry.Names.end())
        return true;

    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    ClassOptions(windowClass);
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &WindowBase::StaticWindowProc;
    windowClass.hInstance = Module();
    windowClass.lpszClassName = name;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = sizeof(LONG_PTR);

    bool registered = ::RegisterClassExW(&windowClass) != 0;
    if (!registered && ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS) {
        // Left behind by an earlier load of this module that did not unregister it (its procedure may
        // point into code that is gone): replace it. When windows of it still exist, it can only be kept
        // if it is ours as it stands.
        if (::UnregisterClassW(name, windowClass.hInstance)) {
            registered = ::RegisterClassExW(&windowClass) != 0;
        } else {
            WNDCLASSEXW existing{};
            existing.cbSize = sizeof existing;
            registered = ::GetClassInfoExW(windowClass.hInstance, name, &existing) &&
                         existing.lpfnWndProc == &WindowBase::StaticWindowProc &&
                         existing.cbWndExtra >= static_cast<int>(sizeof(LONG_PTR));
            if (!registered)
                ::SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        }
    }
    if (registered)
        registry.Names.emplace_back(name);
    return registered;
}

bool WindowBase::Create(DWORD exStyle, const std::wstring& title, DWORD style, int x, int y, int width, int height,
                        HWND parent, HMENU menuOrId) {
    if (FHandle) {
        ::SetLastError(ERROR_ALREADY_EXISTS);
        return false;
    }
    if (!EnsureClassRegistered())
        return false;
    ::SetLastError(ERROR_SUCCESS);
    FCreating = true;
    const HWND window = ::CreateWindowExW(exStyle, ClassName(), title.c_str(), style, x, y, width, height, parent,
                                          menuOrId, Module(), this);
    FCreating = false;
    if (!window) {
        const DWORD error = ::GetLastError();
        FHandle = nullptr; // creation failed after WM_NCCREATE: the window is gone
        ::SetLastError(error != ERROR_SUCCESS ? error : ERROR_CANCELLED);
        return false;
    }
    return true;
}

bool WindowBase::CreateChild(HWND parent, const RECT& area, UINT id, DWORD style, DWORD exStyle) {
    return Create(exStyle, std::wstring(), WS_CHILD | WS_VISIBLE | style, area.left, area.top, area.right - area.left,
                  area.bottom - area.top, parent, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)));
}

bool WindowBase::CreateMessageOnly(const std::wstring& title) {
    return Create(0, title, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr);
}

void WindowBase::Destroy() noexcept {
    if (FHandle)
        ::DestroyWindow(FHandle);
}

LRESULT WindowBase::DefaultProc(UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    return ::DefWindowProcW(FHandle, message, wParam, lParam);
}

LRESULT WindowBase::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        return OnCreate(*reinterpret_cast<const CREATESTRUCTW*>(lParam)) ? 0 : -1;
    case WM_DESTROY:
        OnDestroy();
        return 0;
    case WM_SIZE:
        OnSize(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam));
        return 0;
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_TIMER:
        if (lParam != 0) // a timer with a procedure of its own: DefWindowProc calls it
            break;
        OnTimer(wParam);
        return 0;
    default:
        break;
    }
    return DefaultProc(message, wParam, lParam);
}

bool WindowBase::OnCreate(const CREATESTRUCTW&) { return true; }

void WindowBase::OnSize(UINT, int, int) {}

void WindowBase::OnPaint() { DefaultProc(WM_PAINT, 0, 0); }

void WindowBase::OnTimer(UINT_PTR) {}

WindowBase* WindowBase::BoundObject(HWND window) noexcept {
    return reinterpret_cast<WindowBase*>(::GetWindowLongPtrW(window, kObjectSlot));
}

void WindowBase::Unbind() noexcept {
    if (FHandle)
        ::SetWindowLongPtrW(FHandle, kObjectSlot, 0);
    FHandle = nullptr;
}

LRESULT CALLBACK WindowBase::StaticWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowBase* self = nullptr;
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        self = static_cast<WindowBase*>(create->lpCreateParams);
        if (self) {
            self->FHandle = window;
            ::SetWindowLongPtrW(window, kObjectSlot, reinterpret_cast<LONG_PTR>(self));
        }
    } else {
        self = BoundObject(window);
    }
    // Messages before WM_NCCREATE (WM_GETMINMAXINFO) and after the object let go of its window.
    if (!self)
        return ::DefWindowProcW(window, message, wParam, lParam);
    return self->Dispatch(window, message, wParam, lParam);
}

LRESULT WindowBase::Dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    LRESULT result = 0;
    try {
        result = WindowProc(message, wParam, lParam);
    } catch (...) {
        ReportFailure(L"Window message " + MessageText(message) + L" failed: " + CurrentExceptionText());
        // A window whose creation handler failed is not usable: refuse it. Anything else gets the answer
        // the system would give.
        if (message == WM_NCCREATE)
            result = FALSE;
        else if (message == WM_CREATE)
            result = -1;
        else
            result = ::DefWindowProcW(window, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
        const bool created = !FCreating;
        Unbind();
        if (created) {
            try {
                OnFinalMessage(); // may delete this object: nothing touches it afterwards
            } catch (...) {
                ReportFailure(L"Final window message failed: " + CurrentExceptionText());
            }
        }
    }
    return result;
}

} // namespace mellodeck::win
