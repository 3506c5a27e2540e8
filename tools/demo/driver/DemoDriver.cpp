// mellodeck-demo-driver.exe: hosts the real panel in a window and walks it through its states against the
// stand-in player (see DemoWalk.h), writing a PNG per state and index.md into the output folder.
//   mellodeck-demo-driver --out DIR --library DIR --standin EXE --helper DLL [--hosted] [--interactive]
// With --hosted the panel is the control created by its class (mellodeck.dll and the sidebar's registrar
// registered beforehand) in the stand-in sidebar, and the walk ends with the About box and the options page.
// Exit status: 0 when every state was reached and looked as it should, 1 when a check failed, 2 for a
// usage error or when the panel could not be hosted.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>

#include "DemoWalk.h"
#include "common/TextConvert.h"
#include "media/core/MediaManager.h"
#include "panel/GoogleSideBarConsts.h"

int wmain() {
    using namespace mellodeck;
    int count = 0;
    LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    demo::TDemoOptions o;
    for (int i = 1; argv && i < count; ++i) {
        const std::wstring a = argv[i];
        const bool value = i + 1 < count;
        if (a == L"--out" && value)
            o.OutDir = argv[++i];
        else if (a == L"--library" && value)
            o.LibraryDir = argv[++i];
        else if (a == L"--standin" && value)
            o.StandinExe = argv[++i];
        else if (a == L"--helper" && value)
            o.HelperDll = argv[++i];
        else if (a == L"--hosted")
            o.Hosted = true;
        else if (a == L"--interactive")
            o.Interactive = true;
        else {
            std::fprintf(stderr, "unknown argument: %s\n", WideToUtf8(a).c_str());
            return 2;
        }
    }
    if (argv)
        ::LocalFree(argv);
    if (o.OutDir.empty() || o.LibraryDir.empty() || o.StandinExe.empty() || o.HelperDll.empty()) {
        std::fputs("usage: mellodeck-demo-driver --out DIR --library DIR --standin EXE --helper DLL "
                   "[--hosted] [--interactive]\n",
                   stderr);
        return 2;
    }
    o.Say = [](const std::wstring& line) {
        std::printf("%s\n", WideToUtf8(line).c_str());
        std::fflush(stdout);
    };
    // What the COM server does when it is loaded: the media library, then the texts in the system language.
    MediaLibraryStart();
    FillSideBarStrings();
    int status = 2;
    {
        demo::TDemoWalk walk(o);
        if (walk.Run())
            status = walk.FailureCount() == 0 ? 0 : 1;
    }
    MediaLibraryEnd();
    return status;
}
