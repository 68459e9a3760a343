#include "platform/kernel/handles.h"
#include "platform/shell/resources.h"
#include "platform/window/message.h"
#include "platform/window/shell.h"
#include "platform/window/testdriver.h"
#include "platform/window/tests/windowtesting.h"
#include "platform/window/window.h"

#include <gtest/gtest.h>

namespace {

RECT WorkArea() {
    RECT area{};
    EXPECT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0));
    return area;
}

TEST(ShellScreen, WorkAreaFollowsTaskBarMenuBarAndScreenSize) {
    windowtesting::RegisterRecordingClass(u"Rec");
    HWND main = CreateWindowExW(0, u"Rec", u"", WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, nullptr, nullptr);
    testdata::TempDeviceRoot root;
    platform::ResourceBundle bundle;
    bundle.menuBars = {101};
    HMODULE language = windowtesting::LoadLanguage(root, bundle);
    SHMENUBARINFO bar{36, main, SHCMBF_EMPTYBAR, 101, language, 0, 0, nullptr, 0};
    const struct {
        std::function<void()> change;
        RECT work;
        int screenWidth;
    } cases[] = {
        {[] {}, RECT{0, 26, 240, 320}, 240},
        {[&] { SHFullScreen(main, SHFS_HIDETASKBAR | SHFS_HIDESIPBUTTON); }, RECT{0, 0, 240, 320},
         240},
        {[&] { EXPECT_TRUE(SHCreateMenuBar(&bar)); }, RECT{0, 0, 240, 294}, 240},
        {[&] { SHFullScreen(main, SHFS_SHOWTASKBAR); }, RECT{0, 26, 240, 294}, 240},
        {[] { platform::SetScreenSize(480, 640); }, RECT{0, 52, 480, 588}, 480},
    };
    int step = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(step++);
        c.change();
        const RECT work = WorkArea();
        EXPECT_EQ(std::vector<LONG>({work.left, work.top, work.right, work.bottom}),
                  std::vector<LONG>({c.work.left, c.work.top, c.work.right, c.work.bottom}));
        EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), c.screenWidth);
    }
    EXPECT_FALSE(platform::IsSipButtonShown());
    EXPECT_TRUE(IsWindow(bar.hwndMB));
    RECT barRect{};
    GetWindowRect(bar.hwndMB, &barRect);
    EXPECT_EQ(barRect.bottom - barRect.top, 26); // made at 240 x 320
    EXPECT_FALSE(SHFullScreen(nullptr, SHFS_HIDETASKBAR));
    DestroyWindow(main);
    EXPECT_FALSE(IsWindow(bar.hwndMB)); // owned by the main window
    platform::SetScreenSize(240, 320);
    EXPECT_EQ(WorkArea().bottom, 320); // the bar went with its window
    EXPECT_TRUE(FreeLibrary(language));
}

// A visible 240 x 320 main window and a language library that holds the empty menu bar 101.
struct MainWindowAndMenuBarLanguage {
    MainWindowAndMenuBarLanguage() {
        windowtesting::RegisterRecordingClass(u"Rec");
        main = CreateWindowExW(0, u"Rec", u"", WS_VISIBLE, 0, 0, 240, 320, nullptr, nullptr,
                               nullptr, nullptr);
        platform::ResourceBundle bundle;
        bundle.menuBars = {101};
        language = windowtesting::LoadLanguage(root, bundle);
    }
    ~MainWindowAndMenuBarLanguage() {
        DestroyWindow(main);
        EXPECT_TRUE(FreeLibrary(language));
    }
    testdata::TempDeviceRoot root;
    HWND main = nullptr;
    HMODULE language = nullptr;
};

TEST(ShellScreen, MenuBarComesOnlyFromALanguageLibraryThatHasIt) {
    MainWindowAndMenuBarLanguage device;
    HWND main = device.main;
    HMODULE language = device.language;
    ASSERT_NE(language, nullptr);
    const struct {
        SHMENUBARINFO info;
        DWORD error; // 0: the bar is made
    } cases[] = {
        {{36, main, SHCMBF_EMPTYBAR, 101, language, 0, 0, nullptr, 0}, 0},
        {{30, main, SHCMBF_EMPTYBAR, 101, language, 0, 0, nullptr, 0}, ERROR_INVALID_PARAMETER},
        {{36, main, 0, 101, language, 0, 0, nullptr, 0}, ERROR_INVALID_PARAMETER},
        {{36, nullptr, SHCMBF_EMPTYBAR, 101, language, 0, 0, nullptr, 0}, ERROR_INVALID_PARAMETER},
        {{36, main, SHCMBF_EMPTYBAR, 102, language, 0, 0, nullptr, 0},
         ERROR_RESOURCE_NAME_NOT_FOUND},
        {{36, main, SHCMBF_EMPTYBAR, 101, nullptr, 0, 0, nullptr, 0}, ERROR_MOD_NOT_FOUND},
    };
    for (auto c : cases) {
        SCOPED_TRACE(c.error);
        SetLastError(0);
        EXPECT_EQ(SHCreateMenuBar(&c.info), c.error == 0 ? TRUE : FALSE);
        EXPECT_EQ(GetLastError(), c.error);
        EXPECT_EQ(IsWindow(c.info.hwndMB), c.error == 0 ? TRUE : FALSE);
        EXPECT_EQ(WorkArea().bottom, c.error == 0 ? 294 : 320);
        DestroyWindow(c.info.hwndMB);
    }
}

// The empty menu bar holds no buttons and draws nothing: a tap on it reaches the window
// beneath, and the bar never becomes the active window.
TEST(ShellScreen, ATapOnTheEmptyMenuBarReachesTheWindowBeneath) {
    MainWindowAndMenuBarLanguage device;
    HWND main = device.main;
    HMODULE language = device.language;
    SHMENUBARINFO bar{36, main, SHCMBF_EMPTYBAR, 101, language, 0, 0, nullptr, 0};
    ASSERT_TRUE(SHCreateMenuBar(&bar));
    // Activated again, the main window brings its owned bar up with it.
    SetActiveWindow(nullptr);
    SetActiveWindow(main);
    platform::ScreenDriver driver;
    driver.RunUntilIdle();
    const POINT onBar{40, 303};
    EXPECT_EQ(WindowFromPoint(onBar), main);
    windowtesting::ClearLog();
    platform::InjectStylus(platform::StylusAction::Down, onBar);
    platform::InjectStylus(platform::StylusAction::Up, onBar);
    driver.RunUntilIdle();
    EXPECT_EQ(windowtesting::Numbers(main, {WM_LBUTTONDOWN, WM_LBUTTONUP}),
              (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP}));
    EXPECT_EQ(GetActiveWindow(), main);
}

TEST(ShellScreen, SipSwitchesAndReportsTheVisibleDesktop) {
    const struct {
        DWORD cbSize;
        UINT action;
        DWORD flags;
        BOOL result;
        DWORD flagsAfter;
        LONG visibleBottom;
    } cases[] = {
        {48, SPI_GETSIPINFO, 0, TRUE, SIPF_OFF, 320},
        {48, SPI_SETSIPINFO, SIPF_ON, TRUE, SIPF_ON, 240},
        {40, SPI_SETSIPINFO, SIPF_OFF, FALSE, SIPF_ON, 240},
        {48, SPI_SETSIPINFO, SIPF_OFF, TRUE, SIPF_OFF, 320},
    };
    for (const auto& c : cases) {
        SIPINFO sip{};
        sip.cbSize = c.cbSize;
        sip.fdwFlags = c.flags;
        EXPECT_EQ(SHSipInfo(c.action, 0, &sip, 0), c.result);
        SIPINFO now{};
        now.cbSize = 48;
        ASSERT_TRUE(SystemParametersInfoW(SPI_GETSIPINFO, 0, &now, 0));
        EXPECT_EQ(now.fdwFlags, c.flagsAfter);
        EXPECT_EQ(now.rcVisibleDesktop.bottom, c.visibleBottom);
    }
}

int g_pumped = 0;
void CountingPump() {
    ++g_pumped;
}

TEST(ShellScreen, CursorStateAndInputPumpAreKept) {
    HCURSOR wait = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT));
    HCURSOR arrow = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    ASSERT_NE(wait, nullptr);
    EXPECT_NE(wait, arrow);
    EXPECT_EQ(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(UINT_PTR{1})), nullptr);
    const struct {
        HCURSOR set;
        HCURSOR previous;
    } cursors[] = {{arrow, nullptr}, {wait, arrow}, {arrow, wait}};
    for (const auto& c : cursors)
        EXPECT_EQ(SetCursor(c.set), c.previous);
    EXPECT_EQ(ShowCursor(FALSE), -1);
    EXPECT_EQ(ShowCursor(TRUE), 0);
    platform::SetInputPump(&CountingPump);
    MSG msg{};
    (void)PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
    (void)PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);
    platform::SetInputPump(nullptr);
    (void)PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);
    EXPECT_EQ(g_pumped, 2);
}

} // namespace
