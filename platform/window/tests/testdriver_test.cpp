#include "platform/window/dialog.h"
#include "platform/window/message.h"
#include "platform/window/paint.h"
#include "platform/window/testdriver.h"
#include "platform/window/tests/windowtesting.h"
#include "platform/window/window.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

LRESULT UnpaintedProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT)
        return 0; // never validates: WM_PAINT comes again and again
    return DefWindowProcW(window, message, wParam, lParam);
}

TEST(ScreenDriver, SpiesOnDragsAndStopsOnEndlessPainting) {
    windowtesting::RegisterRecordingClass(u"Rec");
    HWND window = CreateWindowExW(0, u"Rec", u"", WS_POPUP | WS_VISIBLE, 0, 0, 240, 320, nullptr,
                                  nullptr, nullptr, nullptr);
    platform::ScreenDriver driver;
    ASSERT_TRUE(driver.RunUntilIdle());
    {
        platform::MessageSpy spy(window, {WM_LBUTTONDOWN, WM_MOUSEMOVE, WM_LBUTTONUP});
        driver.Drag(POINT{10, 10}, POINT{40, 70}, 3);
        const std::vector<UINT> expected{WM_LBUTTONDOWN, WM_MOUSEMOVE, WM_MOUSEMOVE, WM_MOUSEMOVE,
                                         WM_LBUTTONUP};
        EXPECT_EQ(spy.Numbers(), expected);
        const struct {
            size_t index;
            int x;
            int y;
        } points[] = {{0, 10, 10}, {1, 20, 30}, {3, 40, 70}, {4, 40, 70}};
        for (const auto& p : points) {
            EXPECT_EQ(GET_X_LPARAM(spy.Messages()[p.index].lParam), p.x);
            EXPECT_EQ(GET_Y_LPARAM(spy.Messages()[p.index].lParam), p.y);
        }
    }
    // The spy is gone and the window's own procedure is back.
    EXPECT_EQ(GetWindowLongW(window, GWL_WNDPROC),
              reinterpret_cast<LONG_PTR>(&windowtesting::RecordingProcedure));
    SetWindowLongW(window, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(&UnpaintedProcedure));
    InvalidateRect(window, nullptr, FALSE);
    EXPECT_FALSE(driver.RunUntilIdle(50));
    PostQuitMessage(0);
    ValidateRect(window, nullptr);
    EXPECT_TRUE(driver.RunUntilIdle());
    EXPECT_TRUE(driver.HasSeenQuit());
    DestroyWindow(window);
}

// Ends the dialog with the x of a tap, or with 1000 + the key of a key-down.
BOOL EndingProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_LBUTTONDOWN) {
        EndDialog(dialog, GET_X_LPARAM(lParam));
        return TRUE;
    }
    if (message == WM_KEYDOWN) {
        EndDialog(dialog, 1000 + static_cast<INT_PTR>(wParam));
        return TRUE;
    }
    if (message == WM_INITDIALOG) {
        SetFocus(dialog);
        return FALSE;
    }
    return FALSE;
}

TEST(ScreenDriver, PlaysAScriptInsideAModalLoop) {
    struct Case {
        const char* name;
        std::vector<platform::ScriptStep> steps;
        INT_PTR result;
        bool ranOut;
    };
    platform::VirtualClock clock;
    platform::ScopedClock installed(clock);
    int calls = 0;
    platform::ScreenDriver* playing = nullptr;
    const Case cases[] = {
        {"a tap", {platform::ScriptStep::TapAt(POINT{37, 20})}, 37, false},
        {"a call, the clock, then a key",
         {platform::ScriptStep::Run([&] { ++calls; }), platform::ScriptStep::Wait(500),
          platform::ScriptStep::Press('K')},
         1000 + 'K',
         false},
        {"nothing: the loop ends with WM_QUIT", {}, -1, true},
        {"a call that replaces the script by a key",
         {platform::ScriptStep::Run(
             [&] { playing->PlayWhenIdle({platform::ScriptStep::Press('R')}); })},
         1000 + 'R',
         false},
    };
    const auto dialogTemplate = platform::MakeDialogTemplate(WS_POPUP, 0, 0, 100, 50);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        platform::ScreenDriver driver(&clock);
        playing = &driver;
        const std::uint64_t before = clock.TickMs();
        driver.PlayWhenIdle(c.steps);
        EXPECT_EQ(DialogBoxIndirectParamW(nullptr, platform::AsTemplate(dialogTemplate), nullptr,
                                          &EndingProcedure, 0),
                  c.result);
        EXPECT_EQ(driver.StepsLeft(), 0u);
        EXPECT_EQ(driver.RanOutOfScript(), c.ranOut);
        driver.RunUntilIdle();
        EXPECT_EQ(driver.HasSeenQuit(), c.ranOut);
        if (c.steps.size() == 3) {
            EXPECT_EQ(calls, 1);
            EXPECT_EQ(clock.TickMs() - before, 500u);
        }
    }
}

} // namespace

namespace {

// Tree of windows: two top-level ones with children, a hidden child with a child of its own, a
// hidden top-level one; ShownWindows lists the shown ones from the top of the z-order down.
TEST(ScreenDriver, ListsShownWindowsTopFirstWithTheirChildren) {
    windowtesting::RegisterRecordingClass(u"ShownTree");
    const auto make = [](HWND parent, DWORD visible) {
        return CreateWindowExW(0, u"ShownTree", u"", (parent ? WS_CHILD : WS_POPUP) | visible, 0, 0,
                               20, 20, parent, nullptr, nullptr, nullptr);
    };
    HWND lower = make(nullptr, WS_VISIBLE);
    HWND lowerChild = make(lower, WS_VISIBLE);
    HWND hiddenChild = make(lower, 0);
    HWND childOfHidden = make(hiddenChild, WS_VISIBLE);
    HWND hiddenTop = make(nullptr, 0);
    HWND upper = make(nullptr, WS_VISIBLE);
    HWND upperFirst = make(upper, WS_VISIBLE);
    HWND upperSecond = make(upper, WS_VISIBLE);
    (void)childOfHidden;
    (void)hiddenTop;
    const std::vector<HWND> shown = platform::ShownWindows();
    const std::vector<HWND> expected = {upper, upperSecond, upperFirst, lower, lowerChild};
    std::vector<HWND> ours;
    for (HWND window : shown) {
        if (std::find(expected.begin(), expected.end(), window) != expected.end())
            ours.push_back(window);
        EXPECT_NE(window, hiddenChild);
        EXPECT_NE(window, childOfHidden);
        EXPECT_NE(window, hiddenTop);
    }
    EXPECT_EQ(ours, expected);
    for (HWND window : {upper, hiddenTop, lower})
        DestroyWindow(window);
}

} // namespace
