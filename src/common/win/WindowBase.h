#pragma once
// The base of every window of ours: the object is bound to its window at WM_NCCREATE (from the create
// parameter), so WM_NCCREATE and WM_CREATE already reach it, and owns the window from then on.
//
// A derived class names its window class (ClassName), may adjust the class (ClassOptions: styles, cursor,
// background, icon) and handles messages in WindowProc or the small On... members; whatever it does not
// handle goes to DefWindowProc. The class is registered on first use, once per class name and module (the
// module that contains this code, so the classes of a DLL belong to the DLL). A DLL calls
// UnregisterClasses() when it unloads; a later load registers them again.
//
// No exception leaves the window procedure: one that escapes a handler is reported (FailureSink) and the
// message gets DefWindowProc's answer; one from WM_NCCREATE or WM_CREATE makes creation fail instead.
//
// Lifetime: destroying the window (DestroyWindow, or the parent going away) ends with WM_NCDESTROY, which
// unbinds the object and calls OnFinalMessage (which may delete the object). Destroying the object destroys
// its window; a derived class that must see WM_DESTROY for that calls Destroy() in its own destructor,
// because the base destructor unbinds first (the derived part no longer exists there). Create, use and
// destroy a window on one thread.
#include <windows.h>

#include <string>

namespace mellodeck::win {

class WindowBase {
public:
    WindowBase(const WindowBase&) = delete;
    WindowBase& operator=(const WindowBase&) = delete;
    virtual ~WindowBase();

    HWND Handle() const noexcept { return FHandle; }
    explicit operator bool() const noexcept { return FHandle != nullptr; }

    // CreateWindowExW with this object bound. False (GetLastError tells why, ERROR_CANCELLED when a
    // creation handler refused) when the class cannot be registered or the window is not created; an
    // object has at most one window at a time (a second Create fails with ERROR_ALREADY_EXISTS).
    bool Create(DWORD exStyle, const std::wstring& title, DWORD style, int x, int y, int width, int height,
                HWND parent, HMENU menuOrId = nullptr);
    // A WS_CHILD | WS_VISIBLE (plus `style`) window filling `area` of `parent`, with control id `id`.
    bool CreateChild(HWND parent, const RECT& area, UINT id, DWORD style = 0, DWORD exStyle = 0);
    // A message-only window (parent HWND_MESSAGE): receives sent and posted messages, never shown.
    bool CreateMessageOnly(const std::wstring& title = std::wstring());
    // DestroyWindow now (WM_DESTROY and WM_NCDESTROY reach the object); nothing when there is no window.
    void Destroy() noexcept;

    // The module that contains this code (the executable, or the DLL it is linked into).
    static HMODULE Module() noexcept;
    // Unregisters every class this module registered through WindowBase; their windows must be gone.
    // True when all of them were unregistered. The next Create registers its class again.
    static bool UnregisterClasses() noexcept;
    // The object bound to a window of one of our classes (of any module built from this code); null for a
    // window not yet or no longer bound. Only meaningful for windows known to be ours.
    static WindowBase* BoundObject(HWND window) noexcept;

protected:
    WindowBase() = default;

    // The window class's name; the same for every object of a derived class.
    virtual const wchar_t* ClassName() const = 0;
    // Adjusts the class before it is registered. Preset: CS_HREDRAW | CS_VREDRAW, the arrow cursor, no
    // background brush (the window paints all of itself), no icon. lpfnWndProc, hInstance, lpszClassName and
    // cbWndExtra belong to the base.
    virtual void ClassOptions(WNDCLASSEXW& windowClass) const;

    // Every message of the bound window. The default dispatches to the On... members below and gives the
    // rest to DefaultProc.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT DefaultProc(UINT message, WPARAM wParam, LPARAM lParam) noexcept;

    // WM_CREATE: false makes creation fail.
    virtual bool OnCreate(const CREATESTRUCTW& create);
    virtual void OnDestroy() {}
    virtual void OnSize(UINT kind, int width, int height);
    virtual void OnPaint();
    virtual void OnTimer(UINT_PTR id);
    // After WM_NCDESTROY of a window that was created: the window is gone and Handle() is null. The object may
    // delete itself here.
    virtual void OnFinalMessage() {}

private:
    static LRESULT CALLBACK StaticWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    bool EnsureClassRegistered();
    void Unbind() noexcept;

    HWND FHandle = nullptr;
    bool FCreating = false; // inside Create: a window that dies now was never handed out (no OnFinalMessage)
};

} // namespace mellodeck::win
