#include "FlacOggSupport.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "common/TextConvert.h"

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace mellodeck::test {
namespace {

TFacts ParseFacts(const std::string& text, std::map<std::string, TFacts>* byFile) {
    TFacts single;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        const size_t a = line.find('\t');
        const size_t b = a == std::string::npos ? a : line.find('\t', a + 1);
        if (b == std::string::npos)
            continue;
        const std::string file = line.substr(0, a), key = line.substr(a + 1, b - a - 1), value = line.substr(b + 1);
        if (byFile)
            (*byFile)[file].emplace(key, value);
        else
            single.emplace(key, value);
    }
    return single;
}

} // namespace

const TFacts& ExpectedFacts(const std::string& fileName) {
    static const std::map<std::string, TFacts> all = [] {
        std::map<std::string, TFacts> m;
        if (HaveFixture("flacogg/expected.txt"))
            ParseFacts(ReadAll(FixturePath("flacogg/expected.txt")), &m);
        return m;
    }();
    static const TFacts none;
    auto it = all.find(fileName);
    return it == all.end() ? none : it->second;
}

std::string Fact(const TFacts& facts, const std::string& key) {
    auto it = facts.find(key);
    return it == facts.end() ? std::string() : it->second;
}

std::vector<std::string> Facts(const TFacts& facts, const std::string& key) {
    std::vector<std::string> out;
    auto range = facts.equal_range(key);
    for (auto it = range.first; it != range.second; ++it)
        out.push_back(it->second);
    return out;
}

std::filesystem::path NativePath(const std::wstring& path) {
#ifdef _WIN32
    return std::filesystem::path(path);
#else
    return std::filesystem::path(WideToUtf8(path));
#endif
}

std::wstring CopyFixture(const TempFolder& folder, const std::string& fixture, const std::string& as) {
    const std::string name = as.empty() ? FixturePath(fixture).filename().string() : as;
    const std::wstring target = folder.Text(name);
    std::filesystem::copy_file(FixturePath(fixture), NativePath(target),
                               std::filesystem::copy_options::overwrite_existing);
    return target;
}

std::vector<std::string> FolderEntries(const TempFolder& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder.Path()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

bool FlacTestPasses(const std::wstring& path, std::string& output) {
    return RunTool("flac -s -t " + ShellQuote(WideToUtf8(path)), output) == 0;
}

bool OggInfoPasses(const std::wstring& path, std::string& output) {
    // ogginfo reports problems as "WARNING"/"ERROR" lines and does not always fail its exit status.
    const int status = RunTool("ogginfo " + ShellQuote(WideToUtf8(path)), output);
    return status == 0 && output.find("WARNING") == std::string::npos && output.find("ERROR") == std::string::npos;
}

TFacts MutagenFacts(const std::wstring& path) {
    std::string output;
    const std::string script = std::string(MELLODECK_FIXTURE_SCRIPTS) + "/flacogg-tags.py";
    if (RunTool("/usr/bin/python3 " + ShellQuote(script) + " " + ShellQuote(WideToUtf8(path)), output) != 0)
        return {};
    return ParseFacts(output, nullptr);
}

} // namespace mellodeck::test
