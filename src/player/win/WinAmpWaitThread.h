#pragma once
// Waits, in a thread of its own, on the manager's stop event, the player's process and the helper's two
// events, and posts a notice to the manager's window for each. Only posts; all state changes happen in the
// main thread when the notices arrive.
#include <windows.h>

#include <thread>

#include "common/win/Handles.h"

namespace mellodeck {

class TWinAmpManager;

class TWinAmpWaitThread {
public:
    // Takes its own duplicates of the handles it waits on (so closing the manager's copies never turns a
    // wait into a failure) and starts at once.
    explicit TWinAmpWaitThread(TWinAmpManager* Manager);
    // Waits for the end; the manager signals StopEvent first.
    ~TWinAmpWaitThread();
    TWinAmpWaitThread(const TWinAmpWaitThread&) = delete;
    TWinAmpWaitThread& operator=(const TWinAmpWaitThread&) = delete;

    void WaitFor();

    TWinAmpManager* Manager; // not owned

private:
    void Execute();

    win::UniqueHandle FStop;
    win::UniqueHandle FProcess;
    win::UniqueHandle FFileEvent; // empty when the helper's events are not waited on
    win::UniqueHandle FTagsEvent;
    HWND FNotifyWindow = nullptr;
    std::thread FThread;
};

} // namespace mellodeck
