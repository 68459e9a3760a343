// The application started on the converted extract as its only database: the main menu shows.
#include "app/startup/tests/shelltesting.h"
#include "tools/osmtests/convertedextract.h"

#include "platform/kernel/codepage.h"

#include <gtest/gtest.h>

namespace {

class ExtractNavigator : public ConvertedExtract {
protected:
    static void SetUpTestSuite() {
        osm2nav::ConvertOptions options;
        options.advisorData = NAV_DEMO_DATA;
        ConvertOnce({{"Extract", options}});
    }
};

TEST_F(ExtractNavigator, StartsToTheMainMenuAndQuits) {
    testdata::DataFolderWriter data(u"\\Extract");
    data.Setting("Properties", "ConfigFilesDir", "\\Extract\\ConfigFiles");
    data.Setting("GPS", "AutoLog", "0");
    testdata::ProgramFolderWriter program(std::move(data));
    program.HostFiles(NAV_LANGUAGES_DIR).Pk("Zudav", "NoWarning", "1");
    program.ScreenDescription(testdata::ReadHostFile(NAV_SCREEN_DESC_FILE).value_or(""));
    ASSERT_TRUE(program.WriteTo(*s_root));
    std::vector<int> buttons;
    bool isMovingMapEnabled = true;
    shelltesting::ShellRun run({[&](shelltesting::ShellRun&) {
        HWND menu = shelltesting::ShellRun::MainWindow();
        ASSERT_NE(menu, nullptr);
        for (int id : {585, 420, 430, 1102, 440, 450, 460}) {
            if (IsWindowVisible(GetDlgItem(menu, id)))
                buttons.push_back(id);
        }
        isMovingMapEnabled = IsWindowEnabled(GetDlgItem(menu, 1102)) != FALSE;
        PostMessageW(menu, WM_COMMAND, 460, 0);
    }});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_FALSE(run.ranOutOfScript);
    EXPECT_TRUE(run.boxes.empty()) << platform::WideToAnsi(run.boxes.front().text);
    EXPECT_EQ(buttons, (std::vector<int>{585, 420, 430, 1102, 440, 450, 460}));
    EXPECT_FALSE(isMovingMapEnabled);
}

} // namespace
