// mellodeck-tags: prints what the tag library reads from media files.
//   mellodeck-tags [--json] FILE...     one report per file (with --json: one JSON object per line)
//   mellodeck-tags --list-formats       the registered extensions, one per line
// Exit status: 0 when every file opened, 1 otherwise, 2 for a usage error. Output is UTF-8.
#include <cstdio>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "TagsReport.h"
#include "media/core/MediaManager.h"
#include "media/core/PlatformFile.h"

namespace {

void Write(const std::string& text) { std::fwrite(text.data(), 1, text.size(), stdout); }

int Usage() {
    std::fputs("usage: mellodeck-tags [--json] FILE...\n"
               "       mellodeck-tags --list-formats\n",
               stderr);
    return 2;
}

// Arguments as wide text: on Windows straight from the wide command line, elsewhere decoded from the
// UTF-8 bytes the shell passes.
int Run(const std::vector<std::wstring>& args) {
    using namespace mellodeck;
    bool json = false;
    bool listFormats = false;
    std::vector<std::wstring> files;
    bool options = true;
    for (const std::wstring& a : args) {
        if (options && a == L"--json")
            json = true;
        else if (options && a == L"--list-formats")
            listFormats = true;
        else if (options && (a == L"--help" || a == L"-h"))
            return Usage();
        else if (options && a == L"--")
            options = false;
        else if (options && a.size() > 1 && a[0] == L'-')
            return Usage();
        else
            files.push_back(a);
    }
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY); // UTF-8 bytes exactly as written
#endif
    MediaLibraryStart();
    if (listFormats) {
        for (int i = 0; i < MediaManager()->FormatCount(); ++i)
            Write(MediaManager()->Extensions(i) + "\n");
        MediaLibraryEnd();
        return 0;
    }
    if (files.empty()) {
        MediaLibraryEnd();
        return Usage();
    }
    bool allOpened = true;
    for (const std::wstring& file : files) {
        const tags::TFileReport report = tags::ReadFileReport(file, WideToUtf8(file));
        allOpened = allOpened && report.Ok;
        Write(json ? tags::ToJson(report) + "\n" : tags::ToText(report));
        std::fflush(stdout);
        if (!report.Ok)
            std::fprintf(stderr, "mellodeck-tags: %s: %s\n", report.Path.c_str(), report.Message.c_str());
    }
    MediaLibraryEnd();
    return allOpened ? 0 : 1;
}

} // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
    std::vector<std::wstring> args(argv + 1, argv + argc);
    return Run(args);
}
#else
int main(int argc, char** argv) {
    std::vector<std::wstring> args;
    for (int i = 1; i < argc; ++i)
        args.push_back(mellodeck::Utf8ToWide(argv[i]));
    return Run(args);
}
#endif
