// The program in the SDL2 window (run under a virtual X display): the main menu reaches the
// window, its big icon is the window's icon, and Ctrl+Q ends the program.
#include "app/startup/tests/shelltesting.h"
#include "testdata/tempdir.h"

#include "platform/gdi/gdi.h"
#include "platform/gdi/visiblescreen.h"
#include "platform/window/window.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

using shelltesting::ShellRun;

TEST(VisibleStart, ShowsTheMainMenuInTheWindowAndQuitsByKey) {
    if (std::getenv("DISPLAY") == nullptr)
        GTEST_SKIP() << "no display";
    testdata::TempDeviceRoot root;
    ASSERT_TRUE(shelltesting::BuiltProgram()
                    .ServerSetting("Properties", "Language", "1")
                    .Pk("Zudav", "NoWarning", "1")
                    .WriteTo(root));
    platform::SetScreenSize(240, 320);
    ASSERT_TRUE(platform::StartVisibleScreen(platform::VisibleScreenOptions{1}));
    int differences = -1;
    int lit = 0;
    bool hasIcon = false;
    ShellRun run({[&](ShellRun&) {
        std::vector<std::uint32_t> pixels;
        int width = 0;
        int height = 0;
        ASSERT_TRUE(platform::CaptureVisibleScreen(&pixels, &width, &height));
        ASSERT_EQ(width, 240);
        ASSERT_EQ(height, 320);
        HDC screen = GetDC(nullptr);
        differences = 0;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const std::uint32_t p = pixels[static_cast<std::size_t>(y) * width + x];
                const COLORREF shown = RGB(p >> 16, p >> 8, p);
                differences += shown != GetPixel(screen, x, y) ? 1 : 0;
                lit += shown != 0 ? 1 : 0;
            }
        }
        ReleaseDC(nullptr, screen);
        std::vector<std::uint32_t> icon;
        hasIcon = platform::VisibleScreenIcon(&icon, &width, &height) && !icon.empty();
        shelltesting::PressWithControl('Q');
    }});
    platform::StopVisibleScreen();
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_FALSE(run.ranOutOfScript);
    EXPECT_EQ(differences, 0);
    EXPECT_GT(lit, 2000); // title, seven buttons, indicators
    EXPECT_TRUE(hasIcon);
}

} // namespace
