#include "platform/window/message.h"
#include "platform/window/paint.h"
#include "platform/window/testdriver.h"
#include "platform/window/tests/windowtesting.h"
#include "platform/window/window.h"

#include <gtest/gtest.h>

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

} // namespace
