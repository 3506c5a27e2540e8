// The demo's whole road, checked: mellodeck.dll registered with regsvr32 and its control created by class
// in the stand-in sidebar, the stand-in player installed with the helper, the walk from "not installed" to
// the wide layout, then the About box and the options page's sheets; each capture must match its state
// (Install or Start text, the buttons row from the skin cells, the artwork region filled) and be written as
// PNG. Registration is machine-wide in the prefix: the case holds the COM server tests' lock.
#include <gtest/gtest.h>

#include <filesystem>

#include "DemoWalk.h"
#include "HostTestSupport.h"
#include "TestPaths.h"
#include "common/TextConvert.h"
#include "media/core/MediaManager.h"
#include "panel/GoogleSideBarConsts.h"

namespace mellodeck::test {
namespace {

TEST(DemoWalk, EveryStateIsReachedAndLooksAsItShould) {
    ASSERT_TRUE(HaveFixture("demo-library/Loose Ends/untagged.mp3")) << "run tests/fixtures/make-demo-library.sh";
    THostTestLock lock;
    TNamedTestLock playerLock(kStandinPlayerLock); // the walk installs and starts the stand-in player
    TRegistrarSession registrar;
    ASSERT_EQ(RunRegsvr32(HostDllPath()), 0);
    MediaLibraryStart();
    FillSideBarStrings(1033);
    demo::TDemoOptions o;
    o.OutDir = BuildTreePath(MELLODECK_CAPTURE_DIR);
    o.LibraryDir = FixtureText("demo-library");
    o.StandinExe = BuildTreePath(MELLODECK_STANDIN_PLAYER);
    o.HelperDll = BuildTreePath(MELLODECK_HELPER_DLL);
    o.Hosted = true;
    std::wstring log;
    o.Say = [&](const std::wstring& line) { log += line + L"\n"; };
    demo::TDemoWalk walk(o);
    const bool ran = walk.Run();
    MediaLibraryEnd();
    EXPECT_EQ(RunRegsvr32(HostDllPath(), true), 0);
    ASSERT_TRUE(ran) << WideToUtf8(log);
    // Eleven states of the panel, the About box, the options page's three sheets.
    EXPECT_EQ(walk.Captures().size(), 15u);
    for (const auto& c : walk.Captures()) {
        for (const auto& f : c.Failures)
            ADD_FAILURE() << WideToUtf8(c.File) << ": " << WideToUtf8(f);
        EXPECT_GT(std::filesystem::file_size(std::filesystem::path(o.OutDir) / c.File), 1000u) << WideToUtf8(c.File);
    }
    EXPECT_TRUE(std::filesystem::exists(walk.IndexPath()));
}

} // namespace
} // namespace mellodeck::test
