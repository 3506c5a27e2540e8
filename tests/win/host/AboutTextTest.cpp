// The About box's two computed texts: the version line's diagnosis of a panel's player connection, and the
// list of file types.
#include <gtest/gtest.h>

#include "../../unit/player/TestPlayer.h"
#include "host/About.h"

namespace mellodeck::test {
namespace {

class THelperManager : public TTestManager {
public:
    int32_t GetHelperVersion() override { return Helper; }
    int32_t Helper = -1;
};

TEST(AboutText, TheVersionLineNamesTheFirstThingMissingOnTheRoadToThePlayersHelper) {
    const std::wstring v = L"Version: 2.0.1.15";
    EXPECT_EQ(AboutVersionText(v, false, nullptr), v);
    EXPECT_EQ(AboutVersionText(v, true, nullptr), v + L" (Please reinstall Mellodeck)");
    struct Case {
        TControlStates State;
        int32_t Helper;
        std::wstring Suffix;
    };
    const Case cases[] = {
        {{}, -1, L" (WinAmp not intalled)"},
        {{csLanched}, 5, L" (WinAmp not intalled)"}, // not installed wins over everything else
        {{csInstalled}, 5, L" (WinAmp not launched)"},
        {{csInstalled, csLanched}, -1, L" (WinAmp not found)"},
        {{csInstalled, csLanched}, 0, L" (Helper too old!)"},
        {{csInstalled, csLanched}, 7, L" (Helper version: 7)"},
    };
    for (const Case& c : cases) {
        THelperManager manager;
        manager.State = c.State;
        manager.Helper = c.Helper;
        EXPECT_EQ(AboutVersionText(v, true, &manager), v + c.Suffix) << c.Suffix;
    }
}

TEST(AboutText, TheFileTypesAreTheExtensionsInUpperCaseWithoutTheirDots) {
    EXPECT_EQ(AboutFormatText(L"The file types supported include", {".mp3", ".ogg", ".m4a", ".flac"}),
              L"The file types supported include MP3, OGG, M4A, FLAC.");
    EXPECT_EQ(AboutFormatText(L"Les types de fichiers support\u00e9s incluent le", {".wma"}),
              L"Les types de fichiers support\u00e9s incluent le WMA.");
    EXPECT_EQ(AboutFormatText(L"X", {}), L"X .");
}

} // namespace
} // namespace mellodeck::test
