#include "TestTools.h"

#include <stdexcept>

#ifndef _WIN32
#include <sys/wait.h>

#include <cstdio>
#endif

namespace mellodeck::test {

bool HaveTools() {
#ifdef _WIN32
    return false;
#else
    return true; // installed by the setup; a missing tool fails the checks that need it
#endif
}

int RunTool(const std::string& command, std::string& output) {
    output.clear();
#ifdef _WIN32
    (void)command;
    return -1;
#else
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe)
        return -1;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        output.append(buffer, n);
    const int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}

std::string ToolOutput(const std::string& command) {
#ifdef _WIN32
    (void)command;
    return std::string();
#else
    std::string output;
    const int status = RunTool(command, output);
    if (status != 0)
        throw std::runtime_error("command failed (" + std::to_string(status) + "): " + command + "\n" + output);
    return output;
#endif
}

std::string ShellQuote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string ShellQuote(const std::filesystem::path& path) { return ShellQuote(path.string()); }

} // namespace mellodeck::test
