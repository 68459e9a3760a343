#include "app/startup/splashwnd.h"
#include "app/startup/tests/shelltesting.h"
#include "testdata/golden.h"
#include "testdata/tempdir.h"

#include "platform/gdi/text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using shelltesting::ShellRun;

const std::filesystem::path kMenuLookFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

// The main menu as the built program shows it: the background and the buttons' faces drawn at
// build time, the captions over the faces, the title, logo and indicators; at both sizes, and the
// same once the safety notice over it has been answered (its rectangle painted again).
TEST(MainMenuLook, MenuMatchesGoldenAtBothScreenSizes) {
    for (const auto& size : {std::pair{240, 320}, std::pair{480, 640}}) {
        for (const bool withNotice : {false, true}) {
            const int width = size.first;
            const int height = size.second;
            const std::string name =
                "mainmenu_" + std::to_string(width) + "x" + std::to_string(height);
            SCOPED_TRACE(name + (withNotice ? " after the notice" : ""));
            shelltesting::RunIsolated([width, height, withNotice, &name] {
                platform::SetFontFile(kMenuLookFont);
                platform::SetScreenSize(width, height);
                testdata::TempDeviceRoot root;
                ASSERT_TRUE(shelltesting::BuiltProgram()
                                .Pk("Zudav", "NoWarning", withNotice ? "0" : "1")
                                .WriteTo(root));
                std::vector<ShellRun::Step> steps;
                if (withNotice)
                    steps.push_back([](ShellRun& run) { run.AnswerDialog(IDOK); });
                steps.push_back([&name](ShellRun&) {
                    HWND menu = ShellRun::MainWindow();
                    ASSERT_NE(menu, nullptr);
                    EXPECT_TRUE(testdata::WindowMatchesGolden(menu, NAV_APP_STARTUP_DIR, name));
                    PostMessageW(menu, WM_COMMAND, 460, 0);
                });
                ShellRun run(std::move(steps));
                EXPECT_EQ(run.exitCode, 0);
                EXPECT_FALSE(run.ranOutOfScript);
                EXPECT_EQ(run.dialogs.size(), withNotice ? 1u : 0u);
            });
        }
    }
}

// The splash the layout names, from the program's skin folder, centred on the screen.
TEST(MainMenuLook, SplashShowsTheBuiltPictureCentred) {
    shelltesting::RunIsolated([] {
        platform::SetFontFile(kMenuLookFont);
        platform::SetScreenSize(240, 320);
        testdata::TempDeviceRoot root;
        ASSERT_TRUE(shelltesting::BuiltProgram().WriteTo(root));
        SplashWnd splash(u"Splash.bmp");
        ASSERT_NE(splash.GetHwnd(), nullptr);
        RECT rect{};
        GetWindowRect(splash.GetHwnd(), &rect);
        EXPECT_GT(rect.right - rect.left, 0);
        EXPECT_EQ(rect.left, 240 - rect.right);
        EXPECT_EQ(rect.top, 320 - rect.bottom);
        EXPECT_TRUE(testdata::WindowMatchesGolden(splash.GetHwnd(), NAV_APP_STARTUP_DIR, "splash"));
    });
}

} // namespace
