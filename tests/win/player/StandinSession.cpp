#include "StandinSession.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "OwnWinePrefix.h"
#include "common/TextConvert.h"
#include "common/win/RegKey.h"
#include "player/PlayerProtocol.h"

namespace mellodeck::test {

namespace fs = std::filesystem;

bool PumpUntil(const std::function<bool()>& done, int timeoutMs) {
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(timeoutMs);
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (done())
            return true;
        if (GetTickCount64() > end)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
}

StandinSession::StandinSession(bool withHelper, const std::vector<std::wstring>& config) {
    // Sessions end player processes and rewrite the player's file-type key: never on a real installation.
    RequireOwnWinePrefix();
    EndPlayers();
    Unregister();
    const fs::path dir = Root.Path() / "Player";
    fs::create_directories(dir / "Plugins");
    fs::copy_file(BuildTreePath(MELLODECK_STANDIN_PLAYER), dir / "standin-player.exe");
    if (withHelper)
        fs::copy_file(BuildTreePath(MELLODECK_HELPER_DLL), dir / "Plugins" / "gen_Pelorix.dll");
    FExe = (dir / "standin-player.exe").wstring();
    FLog = Root.Text("player.log");
    std::ofstream cfg(dir / "standin-player.cfg", std::ios::binary);
    cfg << "/log\n" << WideToUtf8(FLog) << "\n/parent\n" << GetCurrentProcessId() << "\n/lifetime\n200\n";
    for (const auto& line : config)
        cfg << WideToUtf8(line) << "\n";
}

StandinSession::~StandinSession() {
    EndPlayers();
    Unregister();
}

void StandinSession::Register(const std::wstring& command, DWORD type) {
    const win::RegKey key = win::RegKey::Create(HKEY_LOCAL_MACHINE,
                                                std::wstring(L"Software\\Classes\\") + player::kCommandKey,
                                                KEY_SET_VALUE);
    if (!key)
        throw std::runtime_error("cannot write the player's registration");
    RegSetValueExW(key.Get(), nullptr, 0, type, reinterpret_cast<const BYTE*>(command.c_str()),
                   static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
}

void StandinSession::RegisterPlayer() { Register(L"\"" + FExe + L"\" \"%1\""); }

void StandinSession::Unregister() {
    if (!InOwnWinePrefix())
        return;
    // The registration's own key, the first part of the command key's path.
    const std::wstring command = player::kCommandKey;
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, (L"Software\\Classes\\" + command.substr(0, command.find(L'\\'))).c_str());
}

DWORD StandinSession::Start(const std::vector<std::wstring>& args, WORD show) {
    std::wstring command = L"\"" + FExe + L"\"";
    for (const auto& a : args)
        command += L" \"" + a + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = show;
    PROCESS_INFORMATION process{};
    const int readyBefore = CountLog("ready");
    if (!CreateProcessW(FExe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        throw std::runtime_error("cannot start the stand-in player");
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    if (!WaitForLog("ready", readyBefore + 1))
        throw std::runtime_error("the stand-in player did not get ready");
    return process.dwProcessId;
}

void StandinSession::EndPlayers() {
    if (!InOwnWinePrefix())
        return;
    // Every stand-in is one this test process (or a crashed earlier case of this group) started.
    for (int round = 0; round < 20; ++round) {
        HWND window = FindWindowW(player::kWindowClass, nullptr);
        if (!window)
            return;
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
        if (process) {
            TerminateProcess(process, 9);
            WaitForSingleObject(process, 10000);
            CloseHandle(process);
        }
        // The window of an ended process goes away shortly after the process.
        PumpUntil([window] { return !IsWindow(window); }, 5000);
    }
}

std::vector<std::string> StandinSession::LogLines() const {
    std::vector<std::string> lines;
    std::ifstream in(FLog.c_str(), std::ios::binary);
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}

int StandinSession::CountLog(const std::string& prefix) const {
    int n = 0;
    for (const auto& l : LogLines())
        if (l.rfind(prefix, 0) == 0)
            ++n;
    return n;
}

int StandinSession::CountLine(const std::string& line) const {
    const auto lines = LogLines();
    return static_cast<int>(std::count(lines.begin(), lines.end(), line));
}

bool StandinSession::WaitForLog(const std::string& prefix, int count, int timeoutMs) const {
    return PumpUntil([&] { return CountLog(prefix) >= count; }, timeoutMs);
}

void StandinSession::AddPlugin(const char* buildPath, const std::wstring& name) {
    fs::copy_file(BuildTreePath(buildPath), fs::path(PluginsFolder()) / name, fs::copy_options::overwrite_existing);
}

HWND StandinSession::Window() { return FindWindowW(player::kWindowClass, nullptr); }

std::wstring StandinSession::PluginsFolder() const { return (Root.Path() / "Player" / "Plugins").wstring(); }

} // namespace mellodeck::test
