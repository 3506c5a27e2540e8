// The demo's whole road, checked: the panel hosted in a window, the stand-in player installed with the
// helper, the walk from "not installed" to the wide layout; each capture must match its state (Install or
// Start text, the buttons row from the skin cells, the artwork region filled) and be written as PNG.
#include <gtest/gtest.h>

#include <filesystem>

#include "DemoWalk.h"
#include "TestPaths.h"
#include "common/TextConvert.h"
#include "media/core/MediaManager.h"
#include "panel/GoogleSideBarConsts.h"

namespace mellodeck::test {
namespace {

std::wstring WinePath(const char* linuxPath) {
    std::wstring p = L"Z:" + Utf8ToWide(linuxPath);
    for (wchar_t& c : p)
        if (c == L'/')
            c = L'\\';
    return p;
}

TEST(DemoWalk, EveryStateIsReachedAndLooksAsItShould) {
    ASSERT_TRUE(HaveFixture("demo-library/Loose Ends/untagged.mp3")) << "run tests/fixtures/make-demo-library.sh";
    MediaLibraryStart();
    FillSideBarStrings(1033);
    demo::TDemoOptions o;
    o.OutDir = WinePath(MELLODECK_CAPTURE_DIR);
    o.LibraryDir = FixtureText("demo-library");
    o.StandinExe = WinePath(MELLODECK_STANDIN_PLAYER);
    o.HelperDll = WinePath(MELLODECK_HELPER_DLL);
    std::wstring log;
    o.Say = [&](const std::wstring& line) { log += line + L"\n"; };
    demo::TDemoWalk walk(o);
    const bool ran = walk.Run();
    MediaLibraryEnd();
    ASSERT_TRUE(ran) << WideToUtf8(log);
    EXPECT_EQ(walk.Captures().size(), 11u);
    for (const auto& c : walk.Captures()) {
        for (const auto& f : c.Failures)
            ADD_FAILURE() << WideToUtf8(c.File) << ": " << WideToUtf8(f);
        EXPECT_GT(std::filesystem::file_size(std::filesystem::path(o.OutDir) / c.File), 1000u) << WideToUtf8(c.File);
    }
    EXPECT_TRUE(std::filesystem::exists(walk.IndexPath()));
}

} // namespace
} // namespace mellodeck::test
