#pragma once
// Helpers of the FLAC and Ogg tests: the facts mutagen wrote into flacogg/expected.txt, scratch copies of
// fixtures, the save fault seam, and (natively) the external checkers flac -t, ogginfo and mutagen.
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "TestPaths.h"
#include "TestTools.h"
#include "media/core/SafeSave.h"

namespace mellodeck::test {

// One file's facts: key -> values in file order ("tag" holds "NAME=value" entries).
using TFacts = std::multimap<std::string, std::string>;
// Facts of a fixture (by base name); empty when expected.txt is missing.
const TFacts& ExpectedFacts(const std::string& fileName);
std::string Fact(const TFacts& facts, const std::string& key);
std::vector<std::string> Facts(const TFacts& facts, const std::string& key);

// Skips the test when the fixture was not generated.
#define REQUIRE_FIXTURE(name)                                                                                          \
    do {                                                                                                               \
        if (!::mellodeck::test::HaveFixture(name))                                                                     \
            GTEST_SKIP() << "fixture missing: " << (name) << " (run tests/fixtures/make-flacogg.sh)";                  \
    } while (0)

// Copies a fixture into the folder; returns the copy's wide path.
std::wstring CopyFixture(const TempFolder& folder, const std::string& fixture, const std::string& as = "");
// A wide path of the library's kind as the standard library takes it (UTF-8 on POSIX).
std::filesystem::path NativePath(const std::wstring& path);

// Installs a fault hook for the life of the object.
class ScopedFaults {
public:
    explicit ScopedFaults(TSaveFaultHook hook) { SetSaveFaultHook(std::move(hook)); }
    ~ScopedFaults() { SetSaveFaultHook(nullptr); }
};

// The names of the files in a folder.
std::vector<std::string> FolderEntries(const TempFolder& folder);

// "flac -t" / "ogginfo" pass on the file.
bool FlacTestPasses(const std::wstring& path, std::string& output);
bool OggInfoPasses(const std::wstring& path, std::string& output);
// What mutagen reads (the lines of flacogg-tags.py for that file).
TFacts MutagenFacts(const std::wstring& path);

} // namespace mellodeck::test
