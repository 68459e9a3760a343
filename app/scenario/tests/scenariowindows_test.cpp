// The frame step's check: the screen compared with the screen painted whole at once.
#include "app/scenario/scenariowindows.h"
#include "testdata/resourcebundlewriter.h"
#include "testdata/tempdir.h"
#include "ui/customcombobox.h"
#include "ui/textface.h"

#include "platform/files/modules.h"
#include "platform/gdi/gdi.h"
#include "platform/gdi/screenshot.h"
#include "platform/gdi/tests/repaintcheck.h"
#include "platform/window/paint.h"
#include "platform/window/shell.h"
#include "platform/window/testdriver.h"
#include "platform/window/window.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

// A shown popup at rect (screen coordinates) that paints nothing: no background, no paint of its
// own.
HWND MakeBlankPopup(const RECT& rect) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = &DefWindowProcW;
    windowClass.lpszClassName = u"FrameCheckBlank";
    (void)RegisterClassW(&windowClass); // once; later registrations fail and change nothing
    return CreateWindowExW(0, u"FrameCheckBlank", u"", WS_POPUP | WS_VISIBLE, rect.left, rect.top,
                           rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr,
                           nullptr, nullptr);
}

// The shell's empty menu bar of a window, from a language library that holds it.
struct FrameCheckMenuBar {
    explicit FrameCheckMenuBar(HWND window) {
        platform::ResourceBundle bundle;
        bundle.menuBars = {101};
        if (root.WriteFile(u"\\Windows\\LangEngCE.dll", testdata::WriteResourceBundle(bundle)))
            language = LoadLibraryW(u"LangEngCE.dll");
        bar.hwndParent = window;
        bar.hInstRes = language;
        EXPECT_TRUE(SHCreateMenuBar(&bar));
    }
    ~FrameCheckMenuBar() {
        DestroyWindow(bar.hwndMB);
        FreeLibrary(language);
    }
    testdata::TempDeviceRoot root;
    HMODULE language = nullptr;
    SHMENUBARINFO bar{36, nullptr, SHCMBF_EMPTYBAR, 101, nullptr, 0, 0, nullptr, 0};
};

// A frame passes when the screen is what its windows paint, and the bare screen where none
// lies; pixels no paint accounts for fail it, naming the first rectangle where they lie, and so do
// pixels of a shown window that no window paints (the repaint starts from a screen of a colour no
// window uses). A row's change gets the white window and returns what it made, kept to the check.
TEST(ScenarioFrameCheck, NamesTheFirstRectangleThatNoPaintAccountsFor) {
    platform::SetScreenSize(240, 320);
    const struct {
        const char* name;
        std::function<std::shared_ptr<void>(HWND)> change;
        const char* problem;
    } cases[] = {
        {"painted as asked", [](HWND) { return nullptr; }, ""},
        {"drawn over outside a paint, twice",
         [](HWND) {
             HDC screen = GetDC(nullptr);
             for (const RECT& r : {RECT{30, 40, 50, 60}, RECT{10, 200, 20, 210}})
                 FillRect(screen, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
             ReleaseDC(nullptr, screen);
             return nullptr;
         },
         "the frame differs from the screen repainted whole in (30, 40) - (50, 60)"},
        // Below the window lies the bare screen.
        {"drawn on the bare screen",
         [](HWND) {
             HDC screen = GetDC(nullptr);
             const RECT r{10, 305, 20, 315};
             FillRect(screen, &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
             ReleaseDC(nullptr, screen);
             return nullptr;
         },
         "the frame differs from the screen repainted whole in (10, 305) - (20, 315)"},
        // Shown over the white window, it keeps the white: only the fill tells it paints nothing.
        {"a window that paints nothing",
         [](HWND) {
             return std::shared_ptr<void>(MakeBlankPopup(RECT{30, 40, 50, 60}),
                                          [](HWND blank) { DestroyWindow(blank); });
         },
         "painted by no window in (30, 40) - (50, 60)"},
        // Every pixel of a pick list is its own, its edit field's or its button's, on a window
        // that leaves its children out of its own paint.
        {"a pick list",
         [](HWND window) {
             SetWindowLongW(window, GWL_STYLE, GetWindowLongW(window, GWL_STYLE) | WS_CLIPCHILDREN);
             auto list = std::make_shared<CustomComboBox>(window, 7, kSkinBackground, 0);
             MoveWindow(list->GetWindow(), 20, 30, 200, 20, TRUE);
             return std::shared_ptr<void>(list);
         },
         ""},
        // The shell's bar at the screen's foot paints its own rows.
        {"the menu bar",
         [](HWND window) {
             return std::shared_ptr<void>(std::make_shared<FrameCheckMenuBar>(window));
         },
         ""},
    };
    platform::ScreenDriver driver;
    std::vector<std::uint32_t> shown;
    std::vector<std::uint32_t> repainted;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HWND window = repaintcheck::MakeFilledPopup(RECT{0, 0, 240, 300}, WHITE_BRUSH);
        // The check leaves what an earlier row drew: each row starts from a whole paint.
        ASSERT_TRUE(platform::RepaintShownWindowsNow());
        std::shared_ptr<void> made = c.change(window);
        ASSERT_TRUE(driver.RunUntilIdle());
        int width = 0;
        int height = 0;
        ASSERT_TRUE(platform::ReadScreenPixels(nullptr, &shown, &width, &height));
        EXPECT_EQ(CompareWithWholeRepaint(shown, width, repainted), c.problem);
        std::vector<std::uint32_t> after;
        ASSERT_TRUE(platform::ReadScreenPixels(nullptr, &after, &width, &height));
        EXPECT_EQ(platform::FirstDifference(shown, after, width), std::nullopt)
            << "the check leaves the screen as it found it";
        made.reset();
        DestroyWindow(window);
    }
}

} // namespace
