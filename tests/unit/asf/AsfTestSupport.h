#pragma once
// Shared by the ASF tests: attribute look-up by name and the independent reader (mutagen, through
// tests/fixtures/wma-dump.py) and decoder (ffmpeg) of saved files.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "TestPaths.h"
#include "media/asf/ASFHeader.h"

namespace mellodeck::test {

inline const asf::TASFAttribute* Attribute(const asf::TASFFile& file, const std::u16string& name) {
    const int i = file.Find(name, 0);
    return i < 0 ? nullptr : &file.Attributes[static_cast<size_t>(i)];
}

inline std::string RunTool(const std::string& command, int& status) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) {
        status = -1;
        return out;
    }
    char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.append(buffer, n);
    status = pclose(pipe);
    return out;
}

// What mutagen reads from the file, one line per attribute value (and the play length and bit rate).
inline std::vector<std::string> WmaDump(const std::filesystem::path& file) {
    int status = 0;
    const std::string out =
        RunTool("/usr/bin/python3 '" WMA_FIXTURE_SCRIPTS "/wma-dump.py' '" + file.string() + "'", status);
    EXPECT_EQ(status, 0) << "mutagen cannot read " << file;
    std::vector<std::string> lines;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// What ffmpeg says while decoding the whole file (empty for a sound file).
inline std::string FfmpegComplaints(const std::filesystem::path& file) {
    int status = 0;
    const std::string out = RunTool("ffmpeg -nostdin -v error -i '" + file.string() + "' -f null - 2>&1", status);
    return status == 0 ? out : "ffmpeg failed: " + out;
}

} // namespace mellodeck::test
