#pragma once
// The demo's walk through the panel's states: the real panel (TGoogleSideBarWindow with its TWinAmpManager
// and the options in the registry), either as the control in the stand-in sidebar or in a top-level window
// of the walk's own, against the stand-in player with the helper
// plug-in in its Plugins folder, over the library tools/demo/make-library.sh generates. Each state is
// reached through the product's own paths (the player's registration, the panel's buttons, its drop
// path), captured through WM_PRINTCLIENT into a PNG, and its key pixels are checked against the state.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace mellodeck::demo {

struct TDemoOptions {
    std::wstring OutDir;     // PNGs and index.md land here
    std::wstring LibraryDir; // the generated library
    std::wstring StandinExe; // copied into OutDir\player with the helper in its Plugins folder
    std::wstring HelperDll;
    bool Interactive = false; // leave the window open after the walk until a person closes it
    // Host the control as the sidebar does: created by its class from the registered mellodeck.dll in the
    // stand-in sidebar (the caller registers the module and the sidebar's registrar first), and end with
    // the About box and the options page. Otherwise the panel's window sits in a window of the walk's own.
    bool Hosted = false;
    // Progress lines for a person (UTF-8 console or a test log).
    std::function<void(const std::wstring&)> Say;
};

struct TDemoCapture {
    std::wstring File;  // PNG file name inside OutDir
    std::wstring Title; // the index line
    std::vector<std::wstring> Failures; // key-pixel and state checks that did not hold
};

// Runs the whole walk; false when the panel could not be hosted at all. Every state is captured even when
// an earlier one failed its checks; the failures are in Captures().
class TDemoWalk {
public:
    explicit TDemoWalk(TDemoOptions Options);
    ~TDemoWalk();
    bool Run();
    const std::vector<TDemoCapture>& Captures() const { return FCaptures; }
    int FailureCount() const;
    std::wstring IndexPath() const;

private:
    struct TImpl;
    TDemoOptions FOptions;
    std::vector<TDemoCapture> FCaptures;
};

// ---- pieces the walk and the panel benchmark share

// Dispatches this thread's waiting messages.
void PumpOnce();
// Pumps this thread's messages until `done` holds or the time is up; false on time-out. Every wait of the
// walk is on a condition; the limit only decides when a state counts as not reached (the manager polls
// every 3 s while the player is not installed, so the default covers several polls).
bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 30000);
// The stand-in player copied into Dir with the helper in its Plugins folder, and its configuration file
// (one argument a line).
bool InstallStandinPlayer(const std::wstring& Dir, const std::wstring& StandinExe, const std::wstring& HelperDll,
                          const std::vector<std::string>& ConfigLines);
// The player's file-type registration, as its installer writes it, pointing at PlayerExe; and its removal.
void RegisterPlayer(const std::wstring& PlayerExe);
void UnregisterPlayer();
// Ends the stand-in players of this prefix's desktop (one per desktop: the caller's own, or one an earlier
// crashed run left).
void EndStandinPlayers();

} // namespace mellodeck::demo
