#include "app/settings/presettingssheet.h"
#include "app/startup/splashwnd.h"
#include "app/startup/tests/shelltesting.h"
#include "testdata/golden.h"
#include "testdata/tempdir.h"
#include "ui/pagebase.h"

#include "platform/gdi/screenshot.h"
#include "platform/gdi/tests/repaintcheck.h"
#include "platform/gdi/text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

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

// The pixels of the screen, or of a rectangle of it; none when they cannot be read.
std::vector<std::uint32_t> MenuLookScreen(const RECT* rect = nullptr) {
    std::vector<std::uint32_t> pixels;
    int width = 0;
    int height = 0;
    if (!platform::ReadScreenPixels(rect, &pixels, &width, &height))
        pixels.clear();
    return pixels;
}

// The presettings page, opened from the menu, is all that shows: its black ground under its
// controls and nothing of the menu (not its indicators below the page either). Repainting one
// control leaves the page's title alone; Cancel brings back the menu's screen exactly, its title
// strip at the top included.
TEST(MainMenuLook, PresettingsCoverTheMenuAndClosingRestoresIt) {
    for (const auto& size : {std::pair{240, 320}, std::pair{480, 640}}) {
        const int width = size.first;
        const int height = size.second;
        const std::string name =
            "presettings_" + std::to_string(width) + "x" + std::to_string(height);
        SCOPED_TRACE(name);
        shelltesting::RunIsolated([width, height, &name] {
            platform::SetFontFile(kMenuLookFont);
            platform::SetScreenSize(width, height);
            testdata::TempDeviceRoot root;
            ASSERT_TRUE(shelltesting::BuiltProgram().Pk("Zudav", "NoWarning", "1").WriteTo(root));
            InstallPresettingsSheet();
            std::vector<std::uint32_t> menuScreen;
            RECT title{};
            std::vector<std::uint32_t> titlePixels;
            ShellRun run(
                {[&menuScreen](ShellRun&) {
                     menuScreen = MenuLookScreen();
                     PostMessageW(ShellRun::MainWindow(), WM_COMMAND, 440, 0);
                 },
                 [&name, &title, &titlePixels](ShellRun&) {
                     HWND page = GetActiveWindow();
                     ASSERT_NE(page, ShellRun::MainWindow());
                     EXPECT_TRUE(testdata::WindowMatchesGolden(nullptr, NAV_APP_STARTUP_DIR, name));
                     const WindowBase* layout = WindowBase::FromWindow(page);
                     ASSERT_NE(layout, nullptr);
                     title = layout->GetAreaRect(PageBase::kTitleAreaKey);
                     titlePixels = MenuLookScreen(&title);
                     PageBase::InvalidateControl(page, 542); // OK alone is repainted
                 },
                 [&title, &titlePixels](ShellRun&) {
                     EXPECT_FALSE(titlePixels.empty());
                     EXPECT_TRUE(MenuLookScreen(&title) == titlePixels);
                     PostMessageW(GetActiveWindow(), WM_COMMAND, 320, 0);
                 },
                 [&menuScreen](ShellRun&) {
                     EXPECT_EQ(GetActiveWindow(), ShellRun::MainWindow());
                     EXPECT_FALSE(menuScreen.empty());
                     EXPECT_TRUE(MenuLookScreen() == menuScreen);
                     PostMessageW(ShellRun::MainWindow(), WM_COMMAND, 460, 0);
                 }});
            EXPECT_EQ(run.exitCode, 0);
            EXPECT_FALSE(run.ranOutOfScript);
        });
    }
}

// A box over the menu, as the replay's value boxes lie: along the buttons' sides, its upper edge
// within one button's rows and its lower edge within another's. Once it closes, nothing of it
// stays, not under the buttons' keyed-out corners either: the screen is the menu's as before and
// as a whole repaint paints it. A box as wide as the screen is the same.
TEST(MainMenuLook, AClosedBoxLeavesNothingUnderTheButtonsCorners) {
    const struct {
        const char* name;
        bool isScreenWide;
    } boxes[] = {{"along the buttons' sides", false}, {"as wide as the screen", true}};
    for (const auto& size : {std::pair{240, 320}, std::pair{480, 640}}) {
        for (const auto& box : boxes) {
            SCOPED_TRACE(std::to_string(size.first) + "x" + std::to_string(size.second) + ", " +
                         box.name);
            shelltesting::RunIsolated([&size, &box] {
                platform::SetFontFile(kMenuLookFont);
                platform::SetScreenSize(size.first, size.second);
                testdata::TempDeviceRoot root;
                ASSERT_TRUE(
                    shelltesting::BuiltProgram().Pk("Zudav", "NoWarning", "1").WriteTo(root));
                std::vector<std::uint32_t> menuScreen;
                HWND popup = nullptr;
                ShellRun run({[&](ShellRun&) {
                                  menuScreen = MenuLookScreen();
                                  RECT upper{};
                                  RECT lower{};
                                  GetWindowRect(GetDlgItem(ShellRun::MainWindow(), 420), &upper);
                                  GetWindowRect(GetDlgItem(ShellRun::MainWindow(), 450), &lower);
                                  ASSERT_LT(upper.bottom, lower.top);
                                  const RECT rect{
                                      box.isScreenWide ? 0 : upper.left, upper.bottom - 4,
                                      box.isScreenWide ? size.first : upper.right, lower.top + 3};
                                  popup = repaintcheck::MakeFilledPopup(rect, WHITE_BRUSH);
                              },
                              [&](ShellRun&) {
                                  EXPECT_FALSE(MenuLookScreen() == menuScreen);
                                  DestroyWindow(popup);
                              },
                              [&](ShellRun&) {
                                  EXPECT_FALSE(menuScreen.empty());
                                  EXPECT_TRUE(MenuLookScreen() == menuScreen);
                                  const std::optional<RECT> differs =
                                      repaintcheck::DifferenceFromWholeRepaint();
                                  EXPECT_FALSE(differs) << differs.value_or(RECT{}).left << ", "
                                                        << differs.value_or(RECT{}).top;
                                  PostMessageW(ShellRun::MainWindow(), WM_COMMAND, 460, 0);
                              }});
                EXPECT_EQ(run.exitCode, 0);
                EXPECT_FALSE(run.ranOutOfScript);
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
