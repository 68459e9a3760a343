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
// build time, the captions over the faces, the title, logo and indicators; at both sizes.
TEST(MainMenuLook, MenuMatchesGoldenAtBothScreenSizes) {
    for (const auto& [width, height] : {std::pair{240, 320}, std::pair{480, 640}}) {
        const std::string name = "mainmenu_" + std::to_string(width) + "x" + std::to_string(height);
        SCOPED_TRACE(name);
        shelltesting::RunIsolated([width, height, &name] {
            platform::SetFontFile(kMenuLookFont);
            platform::SetScreenSize(width, height);
            testdata::TempDeviceRoot root;
            ASSERT_TRUE(shelltesting::BuiltProgram().Pk("Zudav", "NoWarning", "1").WriteTo(root));
            ShellRun run({[&name](ShellRun&) {
                HWND menu = ShellRun::MainWindow();
                ASSERT_NE(menu, nullptr);
                EXPECT_TRUE(testdata::WindowMatchesGolden(menu, NAV_APP_STARTUP_DIR, name));
                PostMessageW(menu, WM_COMMAND, 460, 0);
            }});
            EXPECT_EQ(run.exitCode, 0);
            EXPECT_FALSE(run.ranOutOfScript);
        });
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
