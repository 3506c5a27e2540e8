#pragma once
// The stand-in sidebar registrar's configuration, shared with the tests that drive it.
//
// Values under HKEY_CURRENT_USER\Software\Mellodeck Stand-ins\Registrar:
//   Log        REG_SZ     file the calls are appended to, one UTF-8 line each (none: not recorded)
//   AddResult  REG_DWORD  the HRESULT AddDisplayPlugin answers (default 0, S_OK)
//
// Log lines:
//   AnnounceComponent <clsid> <six texts of the description array joined by |>
//   GetRegistrationObject <progid>
//   AddDisplayPlugin <clsid> <value>
//   CommitComponent
//   WithdrawComponent <clsid>
//   ItemHelper created
//
// The content-item helper answers IHostItemHelper and IGoogleDesktopDisplayContentItemHelper; the latter's
// first operation returns kHelperMarker, so a caller can tell the helper's interface from any other.

namespace mellodeck::standin {

inline constexpr wchar_t kRegistrarConfigKey[] = L"Software\\Mellodeck Stand-ins\\Registrar";
inline constexpr long kHelperMarker = 0x00047777;

} // namespace mellodeck::standin
