#include "mapdisplay/gdicache.h"

#include "platform/gdi/gdi.h"
#include "platform/kernel/debug.h"
#include "platform/kernel/time.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

using BrushCache = GdiCache<int>;

BrushCache MakeCache(std::size_t capacity) {
    return BrushCache(capacity,
                      [](const int& key) { return CreateSolidBrush(static_cast<COLORREF>(key)); });
}

TEST(GdiCache, KeepsRecencyAndEvictsOnlyWhatNobodyHolds) {
    const struct {
        std::vector<int> gets;
        std::vector<int> held; // kept by the caller across all gets
        std::vector<int> keys; // afterwards, most recent first
    } cases[] = {
        {{1, 2, 3}, {}, {3, 2, 1}},
        {{1, 2, 3, 1}, {}, {1, 3, 2}},
        {{1, 2, 3, 1, 4}, {}, {4, 1, 3}},
        {{1, 2, 3, 4}, {1}, {4, 3, 1}},             // the held oldest is skipped
        {{1, 2, 3, 4}, {1, 2, 3, 4}, {4, 3, 2, 1}}, // all held: over capacity
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        BrushCache cache = MakeCache(3);
        std::vector<GdiObjectRef> holding;
        for (const int key : cases[i].gets) {
            GdiObjectRef object = cache.Get(key);
            ASSERT_NE(object, nullptr);
            if (std::find(cases[i].held.begin(), cases[i].held.end(), key) != cases[i].held.end()) {
                holding.push_back(object);
            }
        }
        EXPECT_EQ(cache.Keys(), cases[i].keys);
    }
}

TEST(GdiCache, EvictsRetriesPausesAndGivesUpWhenCreationFails) {
    const struct {
        int failures;
        bool isMade;
        std::uint64_t pausedMs;
        std::size_t count; // entries afterwards: the new one, and the held one
    } cases[] = {
        {3, true, 0, 2},
        {150, true, 1000, 2},
        {199, true, 1000, 2},
        {250, false, 1000, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.failures);
        platform::VirtualClock clock;
        clock.SetSleepAdvancesClock(true);
        platform::ScopedClock installed(clock);
        BrushCache cache = MakeCache(5);
        GdiObjectRef held = cache.Get(1);
        (void)cache.Get(2);
        (void)cache.Get(3);
        platform::DebugOutputCapture capture;
        platform::FailNextGdiCreations(c.failures);
        const GdiObjectRef made = cache.Get(4);
        platform::FailNextGdiCreations(0);
        EXPECT_EQ(made != nullptr, c.isMade);
        EXPECT_EQ(clock.TickMs(), c.pausedMs);
        EXPECT_EQ(cache.Count(), c.count);
        const auto texts = capture.Texts();
        const auto noMemory = std::count(texts.begin(), texts.end(), u"NO_MEMORY_IN_CACHE\n");
        EXPECT_EQ(noMemory, std::min(c.failures, 200));
    }
}

TEST(GdiCache, DeletesObjectsWithTheirLastHolder) {
    const platform::GdiObjectCounts before = platform::CountLiveGdiObjects();
    GdiObjectRef kept;
    {
        BrushCache cache = MakeCache(2);
        kept = cache.Get(1);
        (void)cache.Get(2);
        (void)cache.Get(3); // evicts 2
        EXPECT_EQ(platform::CountLiveGdiObjects().objects, before.objects + 2);
    }
    EXPECT_EQ(platform::CountLiveGdiObjects().objects, before.objects + 1);
    kept.reset();
    EXPECT_EQ(platform::CountLiveGdiObjects(), before);
}

} // namespace
