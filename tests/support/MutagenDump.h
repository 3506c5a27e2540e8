#pragma once
// The independent reader of the saves: tests/fixtures/losses-dump.py prints what mutagen reads from a
// file (every frame, comment, item and picture, one sorted line each). Native builds only; under Wine
// the tests compare with what the fixture generator recorded instead.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "TestPaths.h"

namespace mellodeck::test {

inline bool CanRunMutagen() {
#ifdef _WIN32
    return false;
#else
    return true;
#endif
}

// The reader's lines for a file. A reader that fails (or crashes) fails the calling test: a check that
// silently does not run proves nothing.
inline std::vector<std::string> MutagenDump(const std::filesystem::path& file) {
    std::vector<std::string> lines;
#ifndef _WIN32
    const std::string command = "/usr/bin/python3 '" MELLODECK_SOURCE_DIR "/tests/fixtures/losses-dump.py' '" +
                                file.string() + "'";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) {
        ADD_FAILURE() << "cannot run the reader on " << file;
        return lines;
    }
    std::string out;
    char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.append(buffer, n);
    const int status = pclose(pipe);
    EXPECT_EQ(status, 0) << "the reader failed on " << file;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
#else
    (void)file;
#endif
    return lines;
}

// The dump the fixture generator recorded beside a fixture ("<fixture>.dump").
inline std::vector<std::string> RecordedDump(const std::string& fixture) {
    std::vector<std::string> lines;
    std::istringstream in(ReadAll(FixturePath(fixture + ".dump")));
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// `lines` with every line that starts with one of `prefixes` removed (the lines a save meant to change).
inline std::vector<std::string> Without(const std::vector<std::string>& lines, const std::set<std::string>& prefixes) {
    std::vector<std::string> kept;
    for (const auto& line : lines) {
        bool drop = false;
        for (const auto& p : prefixes)
            drop = drop || line.rfind(p, 0) == 0;
        if (!drop)
            kept.push_back(line);
    }
    return kept;
}

} // namespace mellodeck::test
