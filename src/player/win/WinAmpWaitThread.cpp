#include "player/win/WinAmpWaitThread.h"

#include "player/win/WinAmpManager.h"

namespace mellodeck {
namespace {

// A duplicate owned by the thread; empty when the source is.
win::UniqueHandle Duplicate(const win::UniqueHandle& source) {
    HANDLE copy = nullptr;
    if (!source || !DuplicateHandle(GetCurrentProcess(), source.Get(), GetCurrentProcess(), &copy, 0, FALSE,
                                    DUPLICATE_SAME_ACCESS))
        return win::UniqueHandle();
    return win::UniqueHandle(copy);
}

} // namespace

TWinAmpWaitThread::TWinAmpWaitThread(TWinAmpManager* Manager) : Manager(Manager) {
    FStop = Duplicate(Manager->StopEvent);
    FProcess = Duplicate(Manager->PlayerProcess);
    // The helper's events join the wait only after a successful connection.
    if (Manager->HelperError == 0) {
        FFileEvent = Duplicate(Manager->HelperFileEvent);
        FTagsEvent = Duplicate(Manager->HelperTagsEvent);
    }
    FNotifyWindow = Manager->NotifyWindow;
    FThread = std::thread([this] { Execute(); });
}

TWinAmpWaitThread::~TWinAmpWaitThread() { WaitFor(); }

void TWinAmpWaitThread::WaitFor() {
    if (FThread.joinable())
        FThread.join();
}

void TWinAmpWaitThread::Execute() {
    enum Kind { kStop, kProcess, kFile, kTags };
    HANDLE handles[4];
    Kind kinds[4];
    DWORD count = 0;
    // Only open handles are waited on: a wait including a closed or missing one fails at once, and a
    // failure here means "the player is gone".
    auto add = [&](const win::UniqueHandle& h, Kind k) {
        if (h) {
            handles[count] = h.Get();
            kinds[count++] = k;
        }
    };
    add(FStop, kStop);
    add(FProcess, kProcess);
    add(FFileEvent, kFile);
    add(FTagsEvent, kTags);
    if (!FStop)
        return; // nothing could ever end the wait
    for (;;) {
        const DWORD result = WaitForMultipleObjects(count, handles, FALSE, INFINITE);
        if (result < WAIT_OBJECT_0 + count) {
            switch (kinds[result - WAIT_OBJECT_0]) {
            case kStop:
                return;
            case kFile:
                PostMessageW(FNotifyWindow, WM_PLAYER_FILE, 0, 0);
                Sleep(20);
                continue;
            case kTags:
                PostMessageW(FNotifyWindow, WM_PLAYER_TAGS, 0, 0);
                Sleep(20);
                continue;
            case kProcess:
                break;
            }
        }
        // The player's process ended, or the wait failed.
        Manager->PlayerExited = true;
        PostMessageW(FNotifyWindow, WM_PLAYER_EXITED, 0, 0);
        return;
    }
}

} // namespace mellodeck
