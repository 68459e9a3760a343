#include "routing/progress.h"

#include "platform/kernel/time.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class RecordingObserver final : public ProgressObserver {
public:
    bool IsCancelled() override { return isCancelled; }
    void ReportProgress(std::int32_t percent) override { reports.push_back(percent); }

    bool isCancelled = false;
    std::vector<std::int32_t> reports;
};

TEST(ProgressMeter, ReportsOnTheClock) {
    struct Step {
        std::uint64_t advanceMs;
        float cost;
        bool cancel;
        int result;
    };
    struct Case {
        const char* name;
        std::uint64_t startTick;
        float estimate;
        std::vector<Step> steps;
        std::vector<std::int32_t> reports;
    };
    const Case cases[] = {
        {"nothing within 200 ms", 0, 100.0f, {{100, 10, false, 6}, {100, 20, false, 6}}, {}},
        {"after 200 ms", 0, 100.0f, {{201, 10, false, 6}}, {10}},
        {"monotone",
         0,
         100.0f,
         {{201, 10, false, 6}, {201, 5, false, 6}, {201, 10, false, 6}, {201, 50, false, 6}},
         {10, 50}},
        {"interval counts from the last check",
         0,
         100.0f,
         {{201, 10, false, 6}, {150, 60, false, 6}, {60, 70, false, 6}},
         {10, 70}},
        {"at most 99 before the end", 0, 100.0f, {{300, 150, false, 6}}, {99}},
        {"cancelled", 0, 100.0f, {{300, 10, true, 0}}, {}},
        {"cancel not asked within 200 ms", 0, 100.0f, {{50, 10, true, 6}}, {}},
        {"across the tick wrap", 0xFFFFFF00ull, 100.0f, {{300, 40, false, 6}}, {40}},
        {"no estimate, no cost", 0, 0.0f, {{300, 0, false, 6}}, {}},
        {"no estimate", 0, 0.0f, {{300, 5, false, 6}}, {99}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        platform::VirtualClock clock;
        const platform::ScopedClock installed(clock);
        clock.SetTick(c.startTick);
        RecordingObserver observer;
        ProgressMeter meter;
        meter.SetObserver(&observer);
        meter.Start(c.estimate);
        std::uint32_t lastTick = ProgressMeter::Now();
        for (const Step& step : c.steps) {
            clock.Advance(step.advanceMs);
            observer.isCancelled = step.cancel;
            EXPECT_EQ(meter.Check(lastTick, step.cost), step.result);
        }
        EXPECT_EQ(observer.reports, c.reports);
        meter.Finish();
        EXPECT_EQ(observer.reports.back(), 100);
    }
}

TEST(ProgressMeter, WithoutObserver) {
    platform::VirtualClock clock;
    const platform::ScopedClock installed(clock);
    ProgressMeter meter;
    meter.Start(100.0f);
    std::uint32_t lastTick = ProgressMeter::Now();
    clock.Advance(500);
    EXPECT_EQ(meter.Check(lastTick, 50.0f), 6);
    EXPECT_EQ(lastTick, 0u);
    EXPECT_EQ(meter.GetLastReported(), 0);
    meter.Finish();
}

} // namespace
