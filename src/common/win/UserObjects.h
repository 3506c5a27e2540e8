#pragma once
// Owners of user-interface objects: a window (DestroyWindow), an icon or cursor made by the program
// (DestroyIcon) and a menu that is not attached to a window (DestroyMenu).
#include <windows.h>

#include "common/win/UniqueResource.h"

namespace mellodeck::win {

// A window destroyed with its owner; destroy it on the thread that created it. Windows of a WindowBase are
// owned by their object instead.
struct WindowTraits {
    using Type = HWND;
    static Type Empty() noexcept { return nullptr; }
    static bool IsEmpty(Type h) noexcept { return h == nullptr; }
    static void Close(Type h) noexcept { ::DestroyWindow(h); }
};

// Icons from CreateIconIndirect, CopyIcon, ExtractIcon or LoadImage without LR_SHARED (shared icons are
// never destroyed).
struct IconTraits {
    using Type = HICON;
    static Type Empty() noexcept { return nullptr; }
    static bool IsEmpty(Type h) noexcept { return h == nullptr; }
    static void Close(Type h) noexcept { ::DestroyIcon(h); }
};

// Menus from CreateMenu, CreatePopupMenu or LoadMenu; a menu set on a window belongs to the window.
struct MenuTraits {
    using Type = HMENU;
    static Type Empty() noexcept { return nullptr; }
    static bool IsEmpty(Type h) noexcept { return h == nullptr; }
    static void Close(Type h) noexcept { ::DestroyMenu(h); }
};

using UniqueWindow = UniqueResource<WindowTraits>;
using UniqueIcon = UniqueResource<IconTraits>;
using UniqueMenu = UniqueResource<MenuTraits>;

} // namespace mellodeck::win
