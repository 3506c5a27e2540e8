#pragma once
// The stand-in player's private commands (WM_COMMAND ids the real player does not have), for the tests that
// drive it. Post them: a hang started by a sent message would hang the sender too.
#include <cstdint>

namespace mellodeck::standin {

// Tells the plug-ins that the current file's information changed, as the player does after a tag edit.
inline constexpr uintptr_t kCommandInfoChanged = 40999;
// Stops answering messages for the time given by "/hang <s>" (logs "hang <s>", then "answering").
inline constexpr uintptr_t kCommandHang = 40998;
// Quits one plug-in while the player runs; lParam is its index in load order (logs "plugin <name> quit").
inline constexpr uintptr_t kCommandQuitPlugin = 40997;
// Logs whether the main window runs the player's own procedure ("wndproc own") or a plug-in's
// ("wndproc hooked").
inline constexpr uintptr_t kCommandReportProcedure = 40996;

} // namespace mellodeck::standin
