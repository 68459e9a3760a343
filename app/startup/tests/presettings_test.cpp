#include "app/settings/presettingssheet.h"
#include "app/startup/tests/shelltesting.h"
#include "testdata/tempdir.h"
#include "utilities/usefulcode/apppaths.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using shelltesting::ShellRun;

TEST(Presettings, CommandOpensTheNavigationPageAndOnlyOkSavesTheRecord) {
    const struct {
        const char* name;
        UINT closing; // 542 OK, 320 Cancel
        bool isSaved;
    } cases[] = {{"OK", 542, true}, {"Cancel", 320, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        shelltesting::RunIsolated([&c] {
            testdata::TempDeviceRoot root;
            auto program = shelltesting::BuiltProgram();
            program.Pk("Zudav", "NoWarning", "1");
            ASSERT_TRUE(program.WriteTo(root));
            InstallPresettingsSheet();
            HWND page = nullptr;
            ShellRun run(
                {[](ShellRun&) { PostMessageW(ShellRun::MainWindow(), WM_COMMAND, 440, 0); },
                 [&page, &c](ShellRun&) {
                     page = GetActiveWindow();
                     ASSERT_NE(page, ShellRun::MainWindow());
                     EXPECT_TRUE(IsWindowVisible(page));
                     // The navigation page: its arrow buttons, the combo on entry 0.
                     ASSERT_NE(GetDlgItem(page, 1053), nullptr);
                     SendMessageW(page, WM_COMMAND, MAKEWPARAM(1053, 0), 0);
                     SendMessageW(page, WM_COMMAND, MAKEWPARAM(c.closing, 0), 0);
                 },
                 [](ShellRun&) {
                     EXPECT_EQ(GetPresettingsPageIndex(), 0);
                     PostMessageW(ShellRun::MainWindow(), WM_COMMAND, 460, 0);
                 }});
            EXPECT_EQ(run.exitCode, 0);
            EXPECT_FALSE(run.ranOutOfScript);
            const std::string pk = root.ReadFile(u"\\PK.ini").value_or("");
            for (const char* key :
                 {"ArrowMode=1", "ShowLastMap=", "ShowPoiInMapMode=", "ShowPoiInNavigMode=",
                  "AlwaysNorth=", "StreetDisp=", "MoveMap=", "Nav=", "VolValue=", "TMCReceiver=",
                  "COMPORT=", "DistanceUnitKilometres=", "TimeFormat12h="}) {
                EXPECT_EQ(pk.find(key) != std::string::npos, c.isSaved) << key;
            }
        });
    }
}

} // namespace
