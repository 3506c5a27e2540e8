#pragma once
// One test's player installation: the stand-in player copied into a scratch folder (optionally with the
// helper in its Plugins folder), registered as the player's file type, started and ended by the test.
// Sessions of all test processes take one named lock: there is one player window per desktop and one
// registration per prefix.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "TestLocks.h"
#include "TestPaths.h"

namespace mellodeck::test {

// Pumps this thread's messages until `done` holds or the time is up; false on time-out.
bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 15000);

class StandinSession {
public:
    // `withHelper` puts gen_Pelorix.dll into the player's Plugins folder; `config` lines go into the
    // stand-in's configuration file (after the log and parent lines).
    explicit StandinSession(bool withHelper = false, const std::vector<std::wstring>& config = {});
    ~StandinSession();
    StandinSession(const StandinSession&) = delete;
    StandinSession& operator=(const StandinSession&) = delete;

    // Writes the registration's command text (as a REG_SZ default value, or `type` when given).
    void Register(const std::wstring& command, DWORD type = REG_SZ);
    // Registers the copied stand-in with a quoted path and argument, as an installer would.
    void RegisterPlayer();
    static void Unregister();

    // Starts the stand-in with these arguments and show command; waits until it is ready.
    DWORD Start(const std::vector<std::wstring>& args = {}, WORD show = SW_SHOWNORMAL);
    // Ends every stand-in that runs (this session's, restarted ones included).
    static void EndPlayers();

    std::vector<std::string> LogLines() const;
    int CountLog(const std::string& prefix) const;
    // Lines equal to `line`.
    int CountLine(const std::string& line) const;
    // Waits (pumping messages) for a log line starting with `prefix`.
    bool WaitForLog(const std::string& prefix, int count = 1, int timeoutMs = 15000) const;

    // Copies a library of the build tree into the player's Plugins folder under `name`.
    void AddPlugin(const char* buildPath, const std::wstring& name);
    // The stand-in's main window; nullptr when none runs.
    static HWND Window();

    const std::wstring& PlayerExe() const { return FExe; }
    std::wstring PluginsFolder() const;

private:
    TNamedTestLock FLock{kStandinPlayerLock}; // first: held before the session touches anything

public:
    TempFolder Root;

private:
    std::wstring FExe;
    std::wstring FLog;
};

} // namespace mellodeck::test
