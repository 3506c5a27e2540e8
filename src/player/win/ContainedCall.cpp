#include "player/win/ContainedCall.h"

#include <windows.h>

#include <atomic>

#include "common/win/Handles.h"

namespace mellodeck {
namespace {

// Exit code of a contained thread that faulted.
constexpr DWORD kFaultedExitCode = 0xE0DEFA17;

struct Call {
    int32_t (*Function)();
    int32_t Result = 0;
    bool Returned = false;
};

std::atomic<bool> gBusy{false};
std::atomic<DWORD> gContainedThread{0};
LPTOP_LEVEL_EXCEPTION_FILTER gPreviousFilter = nullptr;

// Reached only by exceptions nothing on the faulting thread handled. The contained thread ends here, on
// its own stack; every other thread goes on to the filter that was there before.
LONG WINAPI ContainFault(EXCEPTION_POINTERS* info) {
    if (GetCurrentThreadId() == gContainedThread.load())
        ExitThread(kFaultedExitCode);
    return gPreviousFilter ? gPreviousFilter(info) : EXCEPTION_CONTINUE_SEARCH;
}

DWORD WINAPI RunCall(void* data) {
    auto& call = *static_cast<Call*>(data);
    try {
        call.Result = call.Function();
        call.Returned = true;
    } catch (...) {
        // A C++ exception out of a C entry point: a failure like any other.
    }
    return 0;
}

} // namespace

bool CallContained(int32_t (*function)(), int32_t& result) {
    if (!function || gBusy.exchange(true))
        return false;
    Call call{function};
    DWORD threadId = 0;
    win::UniqueHandle thread(CreateThread(nullptr, 0, &RunCall, &call, CREATE_SUSPENDED, &threadId));
    if (!thread) {
        gBusy = false;
        return false;
    }
    gContainedThread = threadId;
    // The filter is process-wide: it is ours only while the call runs, and it passes on what is not ours.
    gPreviousFilter = SetUnhandledExceptionFilter(&ContainFault);
    ResumeThread(thread.Get());
    HANDLE handles[] = {thread.Get()};
    for (;;) {
        const DWORD wait = MsgWaitForMultipleObjects(1, handles, FALSE, INFINITE, QS_SENDMESSAGE);
        if (wait == WAIT_OBJECT_0 + 1) {
            // Peeking delivers the messages other threads sent to this one; nothing posted is taken.
            MSG message;
            PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
            continue;
        }
        if (wait != WAIT_OBJECT_0)
            WaitForSingleObject(thread.Get(), INFINITE); // the wait itself failed: the call still runs
        break;
    }
    SetUnhandledExceptionFilter(gPreviousFilter);
    gPreviousFilter = nullptr;
    gContainedThread = 0;
    DWORD exitCode = 0;
    const bool returned = GetExitCodeThread(thread.Get(), &exitCode) && exitCode != kFaultedExitCode && call.Returned;
    if (returned)
        result = call.Result;
    gBusy = false;
    return returned;
}

} // namespace mellodeck
