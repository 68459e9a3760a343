// The frame step's check: the screen compared with the screen painted whole at once.
#include "app/scenario/scenariowindows.h"

#include "platform/gdi/gdi.h"
#include "platform/gdi/screenshot.h"
#include "platform/gdi/tests/repaintcheck.h"
#include "platform/window/paint.h"
#include "platform/window/testdriver.h"
#include "platform/window/window.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

// A frame passes when the screen is what its windows paint, and the bare screen where none
// lies; pixels no paint accounts for fail it, naming the first rectangle where they lie.
TEST(ScenarioFrameCheck, NamesTheFirstRectangleThatNoPaintAccountsFor) {
    platform::SetScreenSize(240, 320);
    const struct {
        const char* name;
        std::function<void()> change;
        const char* problem;
    } cases[] = {
        {"painted as asked", [] {}, ""},
        {"drawn over outside a paint, twice",
         [] {
             HDC screen = GetDC(nullptr);
             for (const RECT& r : {RECT{30, 40, 50, 60}, RECT{10, 200, 20, 210}})
                 FillRect(screen, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
             ReleaseDC(nullptr, screen);
         },
         "the frame differs from the screen repainted whole in (30, 40) - (50, 60)"},
        // Below the window lies the bare screen.
        {"drawn on the bare screen",
         [] {
             HDC screen = GetDC(nullptr);
             const RECT r{10, 305, 20, 315};
             FillRect(screen, &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
             ReleaseDC(nullptr, screen);
         },
         "the frame differs from the screen repainted whole in (10, 305) - (20, 315)"},
    };
    platform::ScreenDriver driver;
    std::vector<std::uint32_t> shown;
    std::vector<std::uint32_t> repainted;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HWND window = repaintcheck::MakeFilledPopup(RECT{0, 0, 240, 300}, WHITE_BRUSH);
        ASSERT_TRUE(driver.RunUntilIdle());
        c.change();
        int width = 0;
        int height = 0;
        ASSERT_TRUE(platform::ReadScreenPixels(nullptr, &shown, &width, &height));
        EXPECT_EQ(CompareWithWholeRepaint(shown, width, repainted), c.problem);
        DestroyWindow(window);
    }
}

} // namespace
