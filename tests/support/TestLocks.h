#pragma once
// Named locks that keep Windows test cases of different programs apart (CTest runs them side by side)
// where they share something of the whole Wine prefix or desktop. A case that needs several takes them
// in the order they are listed here, so that two cases never wait for each other.
#include <windows.h>

#include <stdexcept>

namespace mellodeck::test {

// The COM server's registration and the classes it registers: machine-wide in the prefix.
inline constexpr wchar_t kHostTestLock[] = L"Mellodeck.HostTests";
// The stand-in player: its window (which the control, the panel and the driver find by class), one per
// desktop, and the player's file-type registration, one per prefix. Also held by cases that need no
// player to run, since a player started by another case would be found.
inline constexpr wchar_t kStandinPlayerLock[] = L"Mellodeck.StandinPlayer.TestLock";
// The tag editor's window, found by its class name: one per desktop.
inline constexpr wchar_t kTagEditorLock[] = L"MellodeckTagEditorTests";

// Holds one of them from construction to destruction; throws when it is not released within 200 s.
class TNamedTestLock {
public:
    explicit TNamedTestLock(const wchar_t* name) : FMutex(::CreateMutexW(nullptr, FALSE, name)) {
        const DWORD got = FMutex ? ::WaitForSingleObject(FMutex, 200000) : WAIT_FAILED;
        if (got != WAIT_OBJECT_0 && got != WAIT_ABANDONED) {
            if (FMutex)
                ::CloseHandle(FMutex);
            throw std::runtime_error("a test lock was not released in time");
        }
    }
    ~TNamedTestLock() {
        ::ReleaseMutex(FMutex);
        ::CloseHandle(FMutex);
    }
    TNamedTestLock(const TNamedTestLock&) = delete;
    TNamedTestLock& operator=(const TNamedTestLock&) = delete;

private:
    HANDLE FMutex;
};

} // namespace mellodeck::test
