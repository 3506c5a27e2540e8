#include <gtest/gtest.h>

#include <windows.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "TestLibraries.h"
#include "common/win/FailureSink.h"
#include "common/win/Handles.h"
#include "common/win/WindowBase.h"

namespace mellodeck {
namespace {

using namespace mellodeck::win;

constexpr UINT kThrow = WM_APP + 1;
constexpr UINT kAnswer = WM_APP + 2;
constexpr LRESULT kAnswerValue = 42;

std::vector<std::wstring>& Reported() {
    static std::vector<std::wstring> lines;
    return lines;
}

// Routes the boundary's reports into Reported() for one test.
class SinkCapture {
public:
    SinkCapture() {
        Reported().clear();
        SetFailureSink([](const std::wstring& text) { Reported().push_back(text); });
    }
    ~SinkCapture() { SetFailureSink(nullptr); }
    SinkCapture(const SinkCapture&) = delete;
    SinkCapture& operator=(const SinkCapture&) = delete;
};

// Records what reaches the object, whether the handle was known then, and how often its class was set up.
class TRecordingWindow : public WindowBase {
public:
    static inline int ClassSetups = 0;

    std::vector<UINT> Seen;
    bool HandleKnownAtNcCreate = false;
    bool HandleKnownAtCreate = false;
    bool ThrowOnCreate = false;
    int FinalMessages = 0;

    using WindowBase::DefaultProc;

protected:
    const wchar_t* ClassName() const override { return L"MellodeckTestRecordingWindow"; }
    void ClassOptions(WNDCLASSEXW& windowClass) const override {
        ++ClassSetups;
        windowClass.style |= CS_DBLCLKS;
        windowClass.hbrBackground = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
    }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        Seen.push_back(message);
        if (message == WM_NCCREATE)
            HandleKnownAtNcCreate = Handle() != nullptr;
        if (message == kThrow)
            throw std::runtime_error("handler failed");
        if (message == kAnswer)
            return kAnswerValue;
        return WindowBase::WindowProc(message, wParam, lParam);
    }
    bool OnCreate(const CREATESTRUCTW&) override {
        HandleKnownAtCreate = Handle() != nullptr;
        if (ThrowOnCreate)
            throw std::runtime_error("creation failed");
        return true;
    }
    void OnFinalMessage() override { ++FinalMessages; }
};

bool Saw(const TRecordingWindow& window, UINT message) {
    for (UINT m : window.Seen)
        if (m == message)
            return true;
    return false;
}

bool ClassRegistered(const wchar_t* name) {
    WNDCLASSEXW info{};
    info.cbSize = sizeof info;
    return ::GetClassInfoExW(WindowBase::Module(), name, &info) != FALSE;
}

TEST(WindowBase, CreationMessagesReachTheObject) {
    TRecordingWindow window;
    ASSERT_TRUE(window.Create(0, L"recording", WS_OVERLAPPEDWINDOW, 0, 0, 100, 80, nullptr));
    ASSERT_TRUE(window);
    EXPECT_TRUE(::IsWindow(window.Handle()));
    EXPECT_TRUE(Saw(window, WM_NCCREATE));
    EXPECT_TRUE(Saw(window, WM_CREATE));
    EXPECT_TRUE(window.HandleKnownAtNcCreate);
    EXPECT_TRUE(window.HandleKnownAtCreate);
    wchar_t title[32] = {};
    ::GetWindowTextW(window.Handle(), title, 32);
    EXPECT_STREQ(title, L"recording") << "WM_NCCREATE still reaches DefWindowProc";
    // The class options of the derived class were applied.
    EXPECT_TRUE(::GetClassLongPtrW(window.Handle(), GCL_STYLE) & CS_DBLCLKS);
    EXPECT_EQ(::GetClassLongPtrW(window.Handle(), GCLP_HBRBACKGROUND),
              reinterpret_cast<ULONG_PTR>(::GetStockObject(BLACK_BRUSH)));
    // The user data slot is left to whoever holds the handle.
    EXPECT_EQ(::GetWindowLongPtrW(window.Handle(), GWLP_USERDATA), 0);
    EXPECT_FALSE(window.Create(0, L"again", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, nullptr));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
}

TEST(WindowBase, ExceptionsStayInsideTheWindowProcedure) {
    SinkCapture sink;
    TRecordingWindow window;
    ASSERT_TRUE(window.CreateMessageOnly());
    EXPECT_EQ(::SendMessageW(window.Handle(), kThrow, 0, 0), 0) << "DefWindowProc's answer";
    ASSERT_EQ(Reported().size(), 1u);
    EXPECT_NE(Reported()[0].find(L"handler failed"), std::wstring::npos) << Reported()[0];
    // The window keeps working, for sent and for posted messages.
    EXPECT_EQ(::SendMessageW(window.Handle(), kAnswer, 0, 0), kAnswerValue);
    ASSERT_TRUE(::PostMessageW(window.Handle(), kThrow, 0, 0));
    MSG msg;
    while (::PeekMessageW(&msg, window.Handle(), 0, 0, PM_REMOVE))
        ::DispatchMessageW(&msg);
    EXPECT_EQ(Reported().size(), 2u);
    EXPECT_EQ(::SendMessageW(window.Handle(), kAnswer, 0, 0), kAnswerValue);

    // A creation handler that throws makes creation fail; the object stays usable.
    TRecordingWindow refused;
    refused.ThrowOnCreate = true;
    EXPECT_FALSE(refused.CreateMessageOnly());
    EXPECT_FALSE(refused);
    EXPECT_EQ(refused.FinalMessages, 0) << "a window never handed out has no final message";
    EXPECT_EQ(Reported().size(), 3u);
    refused.ThrowOnCreate = false;
    EXPECT_TRUE(refused.CreateMessageOnly());
}

TEST(WindowBase, ClassIsRegisteredOnceAndAgainAfterUnregistering) {
    const wchar_t* name = L"MellodeckTestRecordingWindow";
    // Earlier tests may have registered it: start from no class.
    ASSERT_TRUE(WindowBase::UnregisterClasses());
    ASSERT_FALSE(ClassRegistered(name));
    TRecordingWindow::ClassSetups = 0;
    {
        TRecordingWindow first, second;
        ASSERT_TRUE(first.CreateMessageOnly());
        ASSERT_TRUE(second.CreateMessageOnly());
        EXPECT_EQ(TRecordingWindow::ClassSetups, 1);
        EXPECT_EQ(::GetClassLongPtrW(first.Handle(), GCW_ATOM), ::GetClassLongPtrW(second.Handle(), GCW_ATOM));
        EXPECT_FALSE(WindowBase::UnregisterClasses()) << "windows of the class still exist";
        EXPECT_TRUE(ClassRegistered(name));
    }
    EXPECT_TRUE(WindowBase::UnregisterClasses());
    EXPECT_FALSE(ClassRegistered(name));
    TRecordingWindow third;
    ASSERT_TRUE(third.CreateMessageOnly());
    EXPECT_EQ(TRecordingWindow::ClassSetups, 2);
    EXPECT_TRUE(ClassRegistered(name));
}

TEST(WindowBase, OwnsItsWindow) {
    HWND handle = nullptr;
    {
        TRecordingWindow window;
        ASSERT_TRUE(window.Create(0, L"owned", WS_OVERLAPPEDWINDOW, 0, 0, 50, 50, nullptr));
        handle = window.Handle();
    }
    EXPECT_FALSE(::IsWindow(handle)) << "the destructor destroys the window";

    // A window destroyed from outside lets go of its object: WM_DESTROY and WM_NCDESTROY arrive, then the
    // final message, and the object no longer names a handle.
    TRecordingWindow window;
    ASSERT_TRUE(window.Create(0, L"outside", WS_OVERLAPPEDWINDOW, 0, 0, 50, 50, nullptr));
    ASSERT_TRUE(::DestroyWindow(window.Handle()));
    EXPECT_FALSE(window);
    EXPECT_TRUE(Saw(window, WM_DESTROY));
    EXPECT_TRUE(Saw(window, WM_NCDESTROY));
    EXPECT_EQ(window.FinalMessages, 1);
    window.Destroy(); // nothing left to destroy
    EXPECT_EQ(window.FinalMessages, 1);
}

TEST(WindowBase, ChildAndMessageOnlyWindows) {
    TRecordingWindow parent;
    ASSERT_TRUE(parent.Create(0, L"parent", WS_OVERLAPPEDWINDOW, 0, 0, 200, 150, nullptr));
    HWND childHandle = nullptr;
    {
        TRecordingWindow child;
        ASSERT_TRUE(child.CreateChild(parent.Handle(), RECT{10, 20, 110, 70}, 77));
        childHandle = child.Handle();
        EXPECT_EQ(::GetParent(child.Handle()), parent.Handle());
        EXPECT_EQ(::GetDlgCtrlID(child.Handle()), 77);
        EXPECT_TRUE(::GetWindowLongW(child.Handle(), GWL_STYLE) & WS_CHILD);
        RECT area{};
        ::GetClientRect(child.Handle(), &area);
        EXPECT_EQ(area.right, 100);
        EXPECT_EQ(area.bottom, 50);
    }
    EXPECT_FALSE(::IsWindow(childHandle));
    EXPECT_TRUE(::IsWindow(parent.Handle()));

    // A child destroyed with its parent lets go of its object too.
    TRecordingWindow orphan;
    ASSERT_TRUE(orphan.CreateChild(parent.Handle(), RECT{0, 0, 10, 10}, 1));
    parent.Destroy();
    EXPECT_FALSE(orphan);
    EXPECT_EQ(orphan.FinalMessages, 1);

    TRecordingWindow hidden;
    ASSERT_TRUE(hidden.CreateMessageOnly(L"hidden"));
    EXPECT_EQ(::FindWindowExW(HWND_MESSAGE, nullptr, L"MellodeckTestRecordingWindow", L"hidden"), hidden.Handle());
    EXPECT_NE(::GetAncestor(hidden.Handle(), GA_PARENT), ::GetDesktopWindow()) << "not a top-level window";
    EXPECT_EQ(::SendMessageW(hidden.Handle(), kAnswer, 0, 0), kAnswerValue);
}

// A DLL's classes: unregistered when it unloads, registered again by the next load. A load after one that
// left its class behind (pointing at code that is gone) replaces the stale class.
TEST(WindowBase, LibraryCanBeUnloadedAndLoadedAgain) {
    const std::wstring path = test::BesideTestProgram(L"mdtest_window.dll");
    using CreateFn = HWND (*)();
    using VoidFn = void (*)();
    using UnregisterFn = BOOL (*)();
    using ModuleFn = HMODULE (*)();
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        ModuleHandle library = ModuleHandle::Load(path);
        ASSERT_TRUE(library);
        auto create = reinterpret_cast<CreateFn>(
            reinterpret_cast<void*>(::GetProcAddress(library.Get(), "MellodeckCreateLibraryWindow")));
        auto destroy = reinterpret_cast<VoidFn>(
            reinterpret_cast<void*>(::GetProcAddress(library.Get(), "MellodeckDestroyLibraryWindow")));
        auto unregister = reinterpret_cast<UnregisterFn>(
            reinterpret_cast<void*>(::GetProcAddress(library.Get(), "MellodeckUnregisterLibraryClasses")));
        auto module = reinterpret_cast<ModuleFn>(
            reinterpret_cast<void*>(::GetProcAddress(library.Get(), "MellodeckLibraryModule")));
        ASSERT_TRUE(create && destroy && unregister && module);
        EXPECT_EQ(module(), library.Get()) << "the class belongs to the DLL, not the program";
        const HWND window = create();
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(reinterpret_cast<HMODULE>(::GetClassLongPtrW(window, GCLP_HMODULE)), library.Get());
        EXPECT_EQ(::SendMessageW(window, WM_APP, 0, 0), 7);
        destroy();
        EXPECT_FALSE(::IsWindow(window));
        // Rounds 0 and 2 unload properly; round 1 leaves its class behind for round 2 to replace.
        if (round != 1) {
            EXPECT_TRUE(unregister());
        }
    }
}

} // namespace
} // namespace mellodeck
