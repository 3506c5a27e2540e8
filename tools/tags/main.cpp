// mellodeck-tags: prints what the tag library reads from media files, and edits their tags.
//   mellodeck-tags [--json] FILE...     one report per file (with --json: one JSON object per line)
//   mellodeck-tags --set SLOT=VALUE [--set SLOT=VALUE ...] [--remove-pictures] [--json] FILE...
//                                       sets the named slots (an empty value clears one), empties the
//                                       picture list when asked, and saves each file through the library:
//                                       one line per file saved, or the error (on the error output); with
//                                       --json the file as read back after the save
//   mellodeck-tags --list-formats       the registered extensions, one per line
// Exit status: 0 when every file opened (or was saved), 1 otherwise, 2 for a usage error. Output is UTF-8.
#include <cstdio>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "TagsEdit.h"
#include "TagsReport.h"
#include "media/core/MediaManager.h"
#include "common/TextConvert.h"

namespace {

void Write(const std::string& text) { std::fwrite(text.data(), 1, text.size(), stdout); }

int Usage() {
    std::fputs("usage: mellodeck-tags [--json] FILE...\n"
               "       mellodeck-tags --set SLOT=VALUE [--set SLOT=VALUE ...] [--remove-pictures] [--json] FILE...\n"
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
    bool edit = false;
    bool removePictures = false;
    std::vector<tags::TSlotEdit> edits;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::wstring& a = args[i];
        if (options && (a == L"--set" || a.rfind(L"--set=", 0) == 0)) {
            std::wstring text;
            if (a == L"--set") {
                if (i + 1 >= args.size())
                    return Usage();
                text = args[++i];
            } else {
                text = a.substr(6);
            }
            tags::TSlotEdit slotEdit;
            std::string error;
            if (!tags::ParseSlotEdit(text, slotEdit, error)) {
                std::fprintf(stderr, "mellodeck-tags: %s\n", error.c_str());
                return 2;
            }
            edits.push_back(std::move(slotEdit));
            edit = true;
        } else if (options && a == L"--remove-pictures") {
            removePictures = true;
            edit = true;
        } else if (options && a == L"--json")
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
    if (edit && listFormats) {
        MediaLibraryEnd();
        return Usage();
    }
    if (edit) {
        bool allSaved = true;
        for (const std::wstring& file : files) {
            const std::string path = WideToUtf8(file);
            const tags::TSaveOutcome outcome = tags::SaveFileEdits(file, edits, removePictures);
            allSaved = allSaved && outcome.Saved;
            if (outcome.Saved && !json)
                Write(path + ": saved\n");
            if (!outcome.Saved)
                std::fprintf(stderr, "mellodeck-tags: %s: not saved, error %u (%s)\n", path.c_str(),
                             static_cast<unsigned>(outcome.Error), outcome.Meaning.c_str());
            if (json)
                Write(tags::ToJson(tags::ReadFileReport(file, path)) + "\n");
            std::fflush(stdout);
        }
        MediaLibraryEnd();
        return allSaved ? 0 : 1;
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
