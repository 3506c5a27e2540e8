#pragma once
// The external tools the tests check against (flac, ogginfo, ffmpeg, mutagen's scripts). They run in the
// native build only: under Wine, HaveTools() is false and the tests check with our own reader alone.
#include <filesystem>
#include <string>

namespace mellodeck::test {

bool HaveTools();

// Runs a shell command with its standard error joined to standard output; the exit status, or -1 when
// it cannot run (always under Wine).
int RunTool(const std::string& command, std::string& output);

// The output of a command that must succeed; throws std::runtime_error (with the output) when it fails
// or cannot run. Empty under Wine.
std::string ToolOutput(const std::string& command);

// One shell word: the text in single quotes, inner single quotes escaped.
std::string ShellQuote(const std::string& text);
std::string ShellQuote(const std::filesystem::path& path);

} // namespace mellodeck::test
