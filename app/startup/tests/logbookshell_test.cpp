#include "app/startup/logbookdialog.h"
#include "app/startup/mainmenuwnd.h"
#include "app/startup/tests/shelltesting.h"
#include "testdata/tempdir.h"

#include "platform/shell/process.h"

#include <gtest/gtest.h>

#include <filesystem>
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

// The purpose question answered with OK and a typed purpose; the converter's messages at quit
// pass unseen.
class TypedPurposeDialogs : public LogbookDialogs {
public:
    Answer AskPurpose(HWND) override { return {1, 0, u"Kunde"}; }
    void ShowConverterMessage(HWND, UINT, const std::u16string&) override {}
};

// A logbook that cannot be written (a folder in the file's place, or a folder of its path
// missing, which stop root as well as any user) loses its trips, and the user is told once in
// the run, naming the file; two trips started and stopped bring one message.
TEST(LogbookShell, TellsOnceThatTheLogbookCannotBeWritten) {
    const struct {
        const char* what;
        const char* configuredPath; // "Path" of [Logbook], empty: the default
        std::u16string shownPath;
    } cases[] = {
        {"a folder in the file's place", "", u"\\Fahrtenbuch.txt"},
        {"a missing folder", "\\Fahrten\\Fahrtenbuch.txt", u"\\Fahrten\\Fahrtenbuch.txt"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        shelltesting::RunIsolated([&c] {
            testdata::TempDeviceRoot root;
            auto program = shelltesting::BuiltProgram();
            program.Pk("Zudav", "NoWarning", "1");
            if (*c.configuredPath != 0)
                program.Pk("Logbook", "Path", c.configuredPath);
            ASSERT_TRUE(program.WriteTo(root));
            if (*c.configuredPath == 0)
                std::filesystem::create_directory(root.HostPathOf(u"\\Fahrtenbuch.txt"));
            const std::u16string expected =
                shelltesting::GermanText(MainMenuWnd::kUnwritableLogbookText);
            const std::size_t mark = expected.find(u"%s");
            ASSERT_NE(mark, std::u16string::npos);
            // The navigation mode's factory hands out the main window's application interface.
            ApplicationInterface* application = nullptr;
            GetShellFactories().navigationMode = [&application](const ModeContext& context) {
                application = context.application;
                return std::unique_ptr<MenuMode>();
            };
            TypedPurposeDialogs dialogs;
            bool isRunningAfterStart = false;
            ShellRun run(
                {[](ShellRun&) { PostMessageW(ShellRun::MainWindow(), WM_COMMAND, 420, 0); },
                 [&](ShellRun&) {
                     ASSERT_NE(application, nullptr);
                     auto* menu = dynamic_cast<MainMenuWnd*>(application);
                     ASSERT_NE(menu, nullptr);
                     menu->SetLogbookDialogs(&dialogs);
                     HWND window = ShellRun::MainWindow();
                     for (int trip = 0; trip < 2; ++trip) {
                         isRunningAfterStart = application->RunLogbookDialog(window, false, true);
                         (void)application->RunLogbookDialog(window, true, false);
                     }
                 },
                 [](ShellRun&) { PostMessageW(ShellRun::MainWindow(), WM_COMMAND, 460, 0); }});
            GetShellFactories() = ShellFactories{};
            EXPECT_EQ(run.exitCode, 0);
            EXPECT_FALSE(run.ranOutOfScript);
            EXPECT_TRUE(isRunningAfterStart);
            ASSERT_EQ(run.boxes.size(), 1u);
            std::u16string text = expected;
            text.replace(mark, 2, c.shownPath);
            EXPECT_EQ(run.boxes[0].text, text);
        });
    }
}

} // namespace
