#include "ui/gpsstatemonitor.h"

#include "platform/window/message.h"
#include "platform/window/testdriver.h"
#include "platform/window/window.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

struct Subscriber {
    OwnerHandlerList handlers;
    std::vector<int> classes;
    OwnerHandlerList& GetOwnerHandlerList() { return handlers; }
    void OnFixClass(const int* fixClass) { classes.push_back(*fixClass); }
};

MatchedPosition Position(float hdop, std::uint16_t satellites) {
    MatchedPosition position;
    position.fix.hdop = hdop;
    position.fix.satellites = satellites;
    return position;
}

TEST(GpsStateMonitor, ClassifiesTheTruncatedHdop) {
    const struct {
        float hdop;
        int fixClass;
    } cases[] = {
        {-2.0f, 0},
        {-2.9f, 0},
        {-1.0f, 1},
        {-1.5f, 1},
        {-0.5f, 2},
        {0.4f, 2},
        {1.0f, 2},
        {-3.0f, 2}, // "not delivered" counts as a usable fix
        {-4.0f, 2},
        {std::numeric_limits<float>::quiet_NaN(), 2},
        {3.0e10f, 2},
        {-3.0e10f, 2},
        {std::numeric_limits<float>::infinity(), 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.hdop);
        EXPECT_EQ(GpsStateMonitor::ClassifyFix(c.hdop), c.fixClass);
    }
}

TEST(GpsStateMonitor, FiresAndRepaintsOnlyWhenClassOrSatellitesChange) {
    GpsStateMonitor monitor;
    EXPECT_EQ(monitor.GetFixClass(), -1);
    EXPECT_EQ(monitor.GetSatelliteCount(), 0);
    Subscriber subscriber;
    monitor.GetEvent().Connect(&subscriber, &Subscriber::OnFixClass);
    HWND indicator = CreateWindowExW(0, u"Static", u"", WS_VISIBLE, 0, 0, 20, 20, nullptr, nullptr,
                                     nullptr, nullptr);
    platform::ScreenDriver driver;
    driver.RunUntilIdle();
    platform::MessageSpy spy(indicator, {WM_PAINT});
    const struct {
        float hdop;
        std::uint16_t satellites;
        bool hasIndicator;
        std::vector<int> fired; // empty: nothing fires
    } steps[] = {
        {-1.0f, 0, true, {1}}, // the first position after start: class -1 becomes 1
        {-1.0f, 0, true, {}},  // identical: nothing
        {-1.0f, 3, true, {1}}, // satellites alone: the same class again
        {0.4f, 3, true, {2}},   {0.9f, 3, true, {}}, // another hdop of the same class
        {-2.0f, 0, false, {0}}, {-2.0f, 0, false, {}},
    };
    int step = 0;
    for (const auto& s : steps) {
        SCOPED_TRACE(step++);
        monitor.SetIndicatorWindow(s.hasIndicator ? indicator : nullptr);
        subscriber.classes.clear();
        spy.Clear();
        monitor.OnPosition(Position(s.hdop, s.satellites));
        EXPECT_EQ(subscriber.classes, s.fired);
        driver.RunUntilIdle();
        const std::size_t repaints = s.hasIndicator && !s.fired.empty() ? 1 : 0;
        EXPECT_EQ(spy.Numbers().size(), repaints);
        EXPECT_EQ(monitor.GetFixClass(), GpsStateMonitor::ClassifyFix(s.hdop));
        EXPECT_EQ(monitor.GetSatelliteCount(), s.satellites);
    }
    EXPECT_EQ(monitor.GetIndicatorWindow(), nullptr);
    DestroyWindow(indicator);
}

} // namespace
