// The distance bar: the bar top and the invalidated strip as the fraction changes, hiding,
// repeated values, the colours, taps, and a worker's SetFraction against a waiting UI thread.

#include "junctionview/tests/junctionwindowtesting.h"
#include "junctionview/windows/distancebar.h"

#include "platform/gdi/screenshot.h"
#include "platform/window/paint.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <thread>
#include <vector>

namespace {

using namespace junctionwindowtesting;

testdata::ScreenDescWriter BarDescription(const char16_t* back, const char16_t* bar,
                                          const char16_t* frame) {
    testdata::ScreenDescWriter writer;
    writer.Section(u"DistanceBar").Size(20, 100);
    if (back != nullptr)
        writer.Entry(u"BackColor", back);
    if (bar != nullptr)
        writer.Entry(u"BarColor", bar);
    if (frame != nullptr)
        writer.Entry(u"FrameColor", frame);
    return writer;
}

class DistanceBarTest : public ::testing::Test {
protected:
    void Start(const testdata::ScreenDescWriter& description, JunctionViewOwner* owner) {
        device = std::make_unique<JunctionDevice>(240, 320, description);
        ASSERT_TRUE(device->isReady);
        bar.reset(static_cast<DistanceBar*>(CreateDistanceBar(owner)));
        ASSERT_TRUE(bar);
        bar->Create(RECT{10, 10, 50, 110}, device->page.window);
        ASSERT_NE(bar->GetHwnd(), nullptr);
        // A client area exactly 100 pixels high whatever the border takes.
        RECT client{};
        GetClientRect(bar->GetHwnd(), &client);
        bar->Create(RECT{10, 10, 50, 110 + (100 - client.bottom)}, device->page.window);
        GetClientRect(bar->GetHwnd(), &client);
        ASSERT_EQ(client.bottom, 100);
        driver.RunUntilIdle();
    }
    void TearDown() override {
        bar.reset();
        device.reset();
    }
    [[nodiscard]] std::optional<RECT> Pending() const {
        RECT update{};
        if (!GetUpdateRect(bar->GetHwnd(), &update, FALSE))
            return std::nullopt;
        return update;
    }

    std::unique_ptr<JunctionDevice> device;
    std::unique_ptr<DistanceBar> bar;
    platform::ScreenDriver driver;
};

TEST_F(DistanceBarTest, TopVisibilityAndInvalidatedStripFollowTheFraction) {
    Start(BarDescription(nullptr, nullptr, nullptr), nullptr);
    RECT client{};
    GetClientRect(bar->GetHwnd(), &client);
    const RECT whole = client;
    struct Step {
        double value;
        std::int32_t top;
        bool visible;
        std::optional<RECT> invalid; // nullopt: nothing to repaint
        // Shown before the step (showing a window repaints all of it, hiding the strip).
        bool isShownFirst = false;
    };
    const LONG r = client.right;
    const Step steps[] = {
        // The first top is 0, so any bar lies below it: the whole client area.
        {1.0, 8, true, whole},
        // Shrinking to half: the whole client area.
        {0.5, 50, true, whole},
        {0.5, 50, true, std::nullopt},
        // Hiding keeps the top.
        {0.0, 50, false, std::nullopt},
        {-0.2, 50, false, std::nullopt},
        // Shown again at half: compared with the top kept from before, so a strip of one row.
        {0.5, 50, true, RECT{8, 50, r - 8, 51}, true},
        // Growing: from the new top to the old top + 1.
        {0.75, 29, true, RECT{8, 29, r - 8, 51}},
        // Growing from the very bottom: the strip ends at the inner bottom.
        {0.0, 29, false, std::nullopt},
        {0.01, 92, true, whole, true},
        {0.02, 91, true, RECT{8, 91, r - 8, 92}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.value);
        if (step.isShownFirst)
            ShowWindow(bar->GetHwnd(), SW_SHOW);
        ValidateRect(bar->GetHwnd(), nullptr);
        bar->SetFraction(step.value);
        EXPECT_EQ(bar->GetBarTop(), step.top);
        EXPECT_EQ(bar->IsBarVisible(), step.visible);
        EXPECT_EQ(IsWindowVisible(bar->GetHwnd()) != FALSE, step.visible);
        const std::optional<RECT> pending = step.visible ? Pending() : std::nullopt;
        ASSERT_EQ(pending.has_value(), step.invalid.has_value());
        if (pending && step.invalid) {
            EXPECT_EQ(pending->left, step.invalid->left);
            EXPECT_EQ(pending->top, step.invalid->top);
            EXPECT_EQ(pending->right, step.invalid->right);
            EXPECT_EQ(pending->bottom, step.invalid->bottom);
        }
    }
}

TEST_F(DistanceBarTest, TheSameValueTwiceCallsNoShowWindow) {
    Start(BarDescription(nullptr, nullptr, nullptr), nullptr);
    bar->SetFraction(0.5);
    driver.RunUntilIdle();
    // Hidden behind the bar's back: a second ShowWindow would show it again.
    ShowWindow(bar->GetHwnd(), SW_HIDE);
    platform::MessageSpy spy(bar->GetHwnd(), {WM_SHOWWINDOW});
    bar->SetFraction(0.5);
    driver.RunUntilIdle();
    EXPECT_TRUE(spy.Messages().empty());
    EXPECT_FALSE(IsWindowVisible(bar->GetHwnd()));
    // RefreshVisibility shows it as the bar last decided.
    bar->RefreshVisibility();
    EXPECT_EQ(spy.Numbers(), std::vector<UINT>{WM_SHOWWINDOW});
    EXPECT_TRUE(IsWindowVisible(bar->GetHwnd()));
}

TEST_F(DistanceBarTest, ColoursOfZeroTakeTheirDefaultsAndPaintTheBar) {
    const struct {
        const char16_t* back;
        const char16_t* bar;
        const char16_t* frame;
        COLORREF expected[3];
    } cases[] = {
        {nullptr, nullptr, nullptr, {0xB28A12, 0x00B4FF, 0x7B5218}},
        {u"0", u"0", u"0", {0xB28A12, 0x00B4FF, 0x7B5218}},
        {u"255", u"65280", u"16711680", {0x0000FF, 0x00FF00, 0xFF0000}},
    };
    for (const auto& c : cases) {
        Start(BarDescription(c.back, c.bar, c.frame), nullptr);
        EXPECT_EQ(bar->GetBackColour(), c.expected[0]);
        EXPECT_EQ(bar->GetBarColour(), c.expected[1]);
        EXPECT_EQ(bar->GetFrameColour(), c.expected[2]);
        bar->SetFraction(0.5);
        driver.RunUntilIdle();
        // Screen pixels: the frame at the edge, the background above the bar, the bar below.
        POINT origin{0, 0};
        ClientToScreen(bar->GetHwnd(), &origin);
        auto at = [&](int x, int y) {
            std::vector<std::uint32_t> pixels;
            int w = 0;
            int h = 0;
            const RECT one{origin.x + x, origin.y + y, origin.x + x + 1, origin.y + y + 1};
            EXPECT_TRUE(platform::ReadScreenPixels(&one, &pixels, &w, &h));
            const std::uint32_t rgb = pixels.empty() ? 0 : pixels[0];
            return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
        };
        EXPECT_EQ(at(2, 50), c.expected[2]);
        RECT client{};
        GetClientRect(bar->GetHwnd(), &client);
        EXPECT_EQ(at(client.right / 2, 30), c.expected[0]);
        EXPECT_EQ(at(client.right / 2, 70), c.expected[1]);
        bar.reset();
        device.reset();
    }
}

TEST_F(DistanceBarTest, ATapReachesTheOwnerAndWithoutOwnerNothing) {
    CountingOwner owner;
    for (JunctionViewOwner* given :
         {static_cast<JunctionViewOwner*>(&owner), static_cast<JunctionViewOwner*>(nullptr)}) {
        Start(BarDescription(nullptr, nullptr, nullptr), given);
        bar->SetFraction(1.0);
        driver.RunUntilIdle();
        POINT inside{10, 50};
        ClientToScreen(bar->GetHwnd(), &inside);
        driver.Tap(inside);
        driver.RunUntilIdle();
        bar.reset();
        device.reset();
    }
    EXPECT_EQ(owner.taps.load(), 1);
    EXPECT_EQ(owner.barButtons.load(), 0);
}

// A worker's SetFraction holds the bar's lock while it shows or hides the window; the UI thread
// waits for that lock without pumping, as its paint would. Neither blocks the other; the
// window's state follows once the UI thread pumps.
TEST_F(DistanceBarTest, AWorkerShowingTheBarDoesNotDeadlockAWaitingUiThread) {
    Start(BarDescription(nullptr, nullptr, nullptr), nullptr);
    const std::vector<double> values = {0.5, 0.0, 0.9, -0.2, 0.3};
    for (const double value : values) {
        std::atomic<bool> started{false};
        std::thread worker([&] {
            started = true;
            bar->SetFraction(value);
        });
        while (!started) {
            std::this_thread::yield();
        }
        { ScopedLock lock(&bar->GetLock()); }
        worker.join();
        driver.RunUntilIdle();
        EXPECT_EQ(IsWindowVisible(bar->GetHwnd()) != FALSE, value > 0.0) << value;
    }
}

} // namespace
