#pragma once
// Shared pieces of the prompt and tag-editor tests: a scratch registration of the editor, the seams answered
// and recorded, and one lock across test processes (there is one editor window class per desktop).
#include <windows.h>

#include <string>
#include <vector>

#include "TestLocks.h"
#include "TestPaths.h"

namespace mellodeck::test {

struct TBoxCall {
    std::wstring Text, Caption;
    UINT Type = 0;
};
struct TOpenCall {
    std::wstring File, Parameters, Folder;
    int Show = 0;
};

// Holds the editor lock, a scratch key for the editor's registration and the two seams for its lifetime.
class EditorFixture {
public:
    EditorFixture();
    ~EditorFixture();
    EditorFixture(const EditorFixture&) = delete;
    EditorFixture& operator=(const EditorFixture&) = delete;

    // Writes "Executable" below the scratch key (REG_SZ unless `type` says otherwise).
    void RegisterEditor(const std::wstring& path, DWORD type = REG_SZ);
    const std::wstring& EditorKey() const { return FKey; }

    // Answers of the message boxes, in order (IDNO once they run out); the shell's answer.
    std::vector<int> BoxAnswers;
    INT_PTR OpenAnswer = 42;
    // When set, "open" goes to the real shell after being recorded (used to start the real editor).
    bool RealOpen = false;
    std::vector<TBoxCall> Boxes;
    std::vector<TOpenCall> Opens;

private:
    TNamedTestLock FLock{kTagEditorLock};
    std::wstring FKey;
};

// Pumps this thread's messages until `done` holds or the time is up.
template <typename F> bool PumpUntil(F done, DWORD timeoutMs = 15000) {
    const DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (done())
            return true;
        if (GetTickCount() - start > timeoutMs)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
}

} // namespace mellodeck::test
