// Files dropped on the hosted control reach the player's playlist through the panel's player manager, and
// replace it when the option says so (the stand-in player logs what it is sent).
#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>

#include "HostTestSupport.h"
#include "SidebarSite.h"
#include "StandinSession.h"
#include "common/TextConvert.h"
#include "common/win/ComInit.h"
#include "host/HostIds.h"

namespace mellodeck::test {
namespace {

std::vector<std::string> From(const std::vector<std::string>& lines, size_t first) {
    return std::vector<std::string>(lines.begin() + static_cast<std::ptrdiff_t>(std::min(first, lines.size())),
                                    lines.end());
}

TEST(ControlDrop, DroppedFilesAreEnqueuedInOrderAndReplaceThePlaylistWhenAsked) {
    THostTestLock lock;
    win::OleInitScope ole;
    TRegistrarSession registrar;
    THostModule module;
    ASSERT_EQ(module.Register(), S_OK);
    ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Marquill\\GDS Controls");
    {
        StandinSession player;
        player.RegisterPlayer();
        player.Start({L"/noplay"});
        std::vector<std::wstring> files;
        for (const char* name : {"one.mp3", "two.mp3", "three.mp3"}) {
            std::ofstream(player.Root.Path() / name) << "x";
            files.push_back(player.Root.Text(name));
        }

        standin::TSiteLog log;
        standin::TSidebarHost host(log);
        ASSERT_EQ(host.Create(CLSID_GoogleSideBarX, 220, 160), S_OK);
        auto control = win::ComPtr<IUnknown>(host.Control()).As<IGoogleSideBarX>();
        ASSERT_TRUE(control);
        // The panel's manager finds the running player on its first poll.
        standin::TSidebarHost::Pump(1500);

        ASSERT_EQ(control->put_ReplaceWithDropped(VARIANT_FALSE), S_OK);
        size_t before = player.LogLines().size();
        ASSERT_EQ(host.DropFiles(files, 20, 20), S_OK);
        ASSERT_TRUE(player.WaitForLog("enqueue", 3));
        std::vector<std::string> sent = From(player.LogLines(), before);
        EXPECT_EQ(sent, (std::vector<std::string>{"enqueue " + WideToUtf8(files[0]), "enqueue " + WideToUtf8(files[1]),
                                                  "enqueue " + WideToUtf8(files[2])}));
        // The panel was told to link the files.
        EXPECT_EQ(log.Lines().back().rfind(L"Drop effect 4 result 0", 0), 0u) << log.Lines().back();

        ASSERT_EQ(control->put_ReplaceWithDropped(VARIANT_TRUE), S_OK);
        before = player.LogLines().size();
        ASSERT_EQ(host.DropFiles({files[1]}, 20, 20), S_OK);
        ASSERT_TRUE(player.WaitForLog("enqueue", 4));
        standin::TSidebarHost::Pump(300);
        sent = From(player.LogLines(), before);
        ASSERT_GE(sent.size(), 4u);
        EXPECT_EQ(sent[0], "command 40047"); // stop
        EXPECT_EQ(sent[1], "clear");
        EXPECT_EQ(sent[2], "enqueue " + WideToUtf8(files[1]));
        EXPECT_EQ(sent[3].rfind("command 40045", 0), 0u); // play
        host.Release();
    }
    ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Marquill\\GDS Controls");
    module.Unregister();
}

} // namespace
} // namespace mellodeck::test
