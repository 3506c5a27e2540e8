#pragma once
// The player's executable from the command text of its file-type registration ("open" verb), and where
// the helper plug-in goes beside it. Header only: the manager and the helper plug-in both read the
// registration.
#include <string>

#include "common/FileUtils.h"
#include "player/PlayerProtocol.h"

namespace mellodeck {

// Characters that cannot be part of a path and so end it: the double quote and the wildcards and
// redirections.
inline bool IsPathStopCharacter(wchar_t c) {
    return c == L'"' || c == L'*' || c == L'<' || c == L'>' || c == L'?' || c == L'|';
}

// Drops the stop characters in front, then cuts the text before the first remaining one. A quoted path
// followed by a quoted argument gives the bare path; an unquoted path keeps what follows it, because only
// the stop characters end the text; a text of quotes alone gives empty.
inline std::wstring PlayerPathFromCommand(const std::wstring& command) {
    size_t start = 0;
    while (start < command.size() && IsPathStopCharacter(command[start]))
        ++start;
    size_t end = start;
    while (end < command.size() && !IsPathStopCharacter(command[end]))
        ++end;
    return command.substr(start, end - start);
}

// The helper plug-in's file in the "Plugins" folder beside the player's executable.
inline std::wstring HelperPluginPath(const std::wstring& playerPath) {
    const std::wstring plugins = WithTrailingBackslash(ExtractFolder(playerPath)) + player::kPluginsFolder;
    return WithTrailingBackslash(plugins) + player::kHelperFileName;
}

} // namespace mellodeck
