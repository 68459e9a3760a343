// The front under threads: updates on a worker while other threads hand over routes, open map
// sets (the engine's signal) and copy the result under the front's lock.
#include "positioning/mapmatcherfront.h"
#include "routing/tests/scriptedroute.h"
#include "testdata/matcherdrives.h"
#include "tests/matcherfixture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

TEST(MapMatcherFrontThreads, UpdatesRoutesMapChangesAndCopiesInterleaveSafely) {
    const testdata::MatcherSketch sketch = testdata::ParallelRoadsSketch();
    const SketchMap map(sketch);
    const auto drive =
        testdata::MakeMatcherDrive(sketch, "ABCDEFGHI", testdata::NoisyDriveSettings(30, 7));
    ASSERT_TRUE(drive);
    const MapMatcherFrontPtr front = CreateMapMatcherFront(map.query);
    ASSERT_TRUE(front);
    std::vector<std::pair<std::uint32_t, GeoPoint>> records;
    for (std::size_t k = 0; k < 8; ++k) {
        records.emplace_back(map.Id(k), SketchNode(sketch, static_cast<char>('A' + k)));
    }
    const RouteIteratorPtr route = MakeScriptedRoute(records);

    std::atomic<bool> done{false};
    std::atomic<int> updates{0};
    std::thread worker([&] {
        for (int round = 0; round < 20; ++round) {
            for (const auto& batch : drive->batches) {
                front->Update(batch);
                ++updates;
            }
        }
        done = true;
    });
    std::thread router([&] {
        for (int i = 0; !done; ++i) {
            front->SetRoute(i % 2 == 0 ? route : nullptr);
            std::this_thread::yield();
        }
    });
    std::thread opener([&] {
        while (!done) {
            EXPECT_TRUE(map.engine->Open(map.path));
        }
    });
    // At least one copy, however the threads are scheduled.
    do {
        MapMatcher* matcher = front->Lock();
        const MatchedPosition copy = *front->GetResult();
        EXPECT_NE(matcher, nullptr);
        EXPECT_TRUE(copy.street == -1 || copy.displayStreet == copy.street);
        front->Unlock();
    } while (!done);
    worker.join();
    router.join();
    opener.join();
    EXPECT_EQ(updates.load(), 20 * static_cast<int>(drive->batches.size()));

    // The last signal wins over the last update.
    ASSERT_TRUE(map.engine->Open(map.path));
    EXPECT_EQ(front->GetResult()->street, -1);
}

} // namespace
