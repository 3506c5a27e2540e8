#pragma once
// What binds the panel and the tag editor (tools/tageditor): where the editor is registered, the class name
// of its main window, the oldest version that understands the open request, and the open request itself.
#include <cstdint>
#include <string>
#include <vector>

#include "common/AxVersionInfo.h"

namespace mellodeck {

// HKCU\Software\Marquill\ "Executable": full path of the editor's executable.
inline constexpr wchar_t kTagEditorKey[] = L"Software\\Marquill\\";
inline constexpr wchar_t kTagEditorExecutableValue[] = L"Executable";
// Class name of the editor's main window, one per running editor.
inline constexpr wchar_t kTagEditorWindowClass[] = L"{A0644052-29F4-4AD5-AAA3-323D68F11FB7}";
// The command of the open request and of the command line ("\"<path>\" /open").
inline constexpr char kTagEditorOpenCommand[] = "/open";
inline constexpr wchar_t kTagEditorMinimumVersionText[] = L"1.2.0.540";
inline constexpr FileVersion kTagEditorMinimumVersion{1, 2, 0, 540};
// How long the panel waits for a running editor to take the open request before giving up on it (ms).
inline constexpr uint32_t kTagEditorRequestTimeout = 3000;

// The four numbers compared in order (major first) against the minimum: 1.2.0.540 and 2.0.0.100 pass,
// 1.2.0.539 and 1.1.0.600 do not.
bool IsTagEditorVersionSufficient(const FileVersion& version);

// The copy-data block of an open request, little-endian:
//   0    1    length of the command text (5)
//   1    100  the command text as 8-bit characters, the rest zero
//   101  4    byte length L of the path in UTF-16 (2 x its code units)
//   105  L    the path in UTF-16
//   105+L 2   zero
// An empty path is sent as it is (L = 0).
inline constexpr std::size_t kOpenRequestCommandSize = 100;
inline constexpr std::size_t kOpenRequestHeaderSize = 1 + kOpenRequestCommandSize + 4;
std::vector<uint8_t> BuildOpenRequest(const std::wstring& path);

// Reads a block built as above. False when the block is shorter than its header, the command length exceeds
// the command field, the path length is odd or runs past the block; the outputs are then left alone.
bool ParseOpenRequest(const uint8_t* data, std::size_t size, std::string& command, std::wstring& path);

} // namespace mellodeck
