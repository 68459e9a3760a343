#include "app/startup/mainmenuwnd.h"
#include "app/startup/tests/shelltesting.h"
#include "testdata/tempdir.h"

#include "platform/shell/process.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using shelltesting::ShellRun;

// Timer 1 of the main window writes a status line; a run in which no trip was logged ends
// without the converter.
TEST(LogbookShell, TimerWritesAStatusLineAndAnUnusedLogbookIsNotConverted) {
    shelltesting::RunIsolated([] {
        testdata::TempDeviceRoot root;
        auto program = shelltesting::BuiltProgram();
        program.Pk("Zudav", "NoWarning", "1");
        ASSERT_TRUE(program.WriteTo(root));
        ASSERT_TRUE(root.WriteFile(u"\\Fahrtenbuch.txt", "Start\tx\r\n"));
        platform::ClearRecordedProcessLaunches();
        ShellRun run({[](ShellRun&) {
                          for (int i = 0; i < 3; ++i) {
                              SendMessageW(ShellRun::MainWindow(), WM_TIMER,
                                           MainMenuWnd::kLogbookTimer, 0);
                          }
                      },
                      [](ShellRun&) { PostMessageW(ShellRun::MainWindow(), WM_COMMAND, 460, 0); }});
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_FALSE(run.ranOutOfScript);
        EXPECT_TRUE(run.dialogs.empty());
        EXPECT_TRUE(platform::RecordedProcessLaunches().empty());
        // Three status lines leave one after the line that was there.
        const std::string text = root.ReadFile(u"\\Fahrtenbuch.txt").value_or("");
        ASSERT_EQ(text.rfind("Start\tx\r\n", 0), 0U) << text;
        const std::string status = text.substr(9);
        EXPECT_EQ(status.find("\r\n"), status.size() - 2) << text;
        // "Status" in the German and the English bundle alike.
        EXPECT_EQ(status.rfind("Status\t", 0), 0U) << text;
    });
}

} // namespace
