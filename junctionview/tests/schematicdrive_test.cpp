// Both junction windows on a 240 x 320 page fed along a drive of a junction world: on the UI
// thread, one picture per manoeuvre; from a worker thread that runs the advisor while the UI
// thread paints, no race and no deadlock.

#include "junctionview/tests/schematictesting.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>
#include <tuple>

namespace {

using namespace schematictesting;

// What makes the window render anew: the link of the advice's route step, its kind and the
// kind of the advice that follows when it is linked to it.
std::tuple<std::uint32_t, std::int32_t, std::int32_t> PictureKeyOf(const AdvicePtr& advice) {
    const AdviceValuePtr value = advice->Current();
    std::int32_t following = -1;
    if (value->IsLinkedToNext() != 0) {
        const AdvicePtr next = advice->Clone();
        if (next->Next())
            following = next->Current()->GetKind();
    }
    return {value->GetRouteIterator()->Current().linkId, value->GetKind(), following};
}

class SchematicDrive : public SchematicFixture {
protected:
    void OpenBoth(const testdata::JunctionScenario& scenario) {
        Open(scenario, &owner);
        bar.reset(CreateDistanceBar(&owner));
        ASSERT_TRUE(bar);
        bar->Create(kBarRect, device->page.window);
        driver.RunUntilIdle();
    }
    void TearDown() override {
        bar.reset();
        SchematicFixture::TearDown();
    }

    junctionwindowtesting::CountingOwner owner;
    std::unique_ptr<IDistanceBar> bar;
};

TEST_F(SchematicDrive, OnePicturePerManoeuvreAlongTheDrive) {
    for (const auto& scenario : {testdata::TJunctionScenario(), testdata::RoundaboutScenario(),
                                 testdata::HighwayExitScenario()}) {
        OpenBoth(scenario);
        const std::vector<DrivenAdvice> driven = DriveAlong(*world);
        ASSERT_FALSE(driven.empty());
        const std::int64_t before = SchematicWnd::CrossingViewsMade();
        int changes = 0;
        std::tuple<std::uint32_t, std::int32_t, std::int32_t> last{0, -2, -2};
        for (const DrivenAdvice& d : driven) {
            MatchedPosition position = d.position;
            position.streetsNear = 1;
            window->SetPosition(position);
            window->SetAdvice(d.advice);
            bar->SetFraction(d.advice->Current()->GetApproachPercent() * 0.01);
            driver.RunUntilIdle();
            const auto key = PictureKeyOf(d.advice);
            if (key != last)
                ++changes;
            last = key;
        }
        EXPECT_EQ(SchematicWnd::CrossingViewsMade() - before, changes);
        EXPECT_LT(changes, static_cast<int>(driven.size()));
        TearDown();
    }
}

// The worker plays the server: it runs the advisor along the drive, hands each advice and
// position to both windows and goes on with the advice (as the server's other handlers do)
// while the UI thread pumps and paints.
TEST_F(SchematicDrive, AWorkerFeedsBothWindowsWhileTheUiThreadPaints) {
    OpenBoth(testdata::RoundaboutScenario());
    WriteSchematicData();
    AdvisorStore::Instance().Reset();
    AdvisorPtr advisor;
    CreateAdvisorFacade(advisor, world->engine, world->result, u"\\ADV", {});
    ASSERT_TRUE(advisor);
    const std::int64_t before = SchematicWnd::CrossingViewsMade();
    std::atomic<bool> isDone{false};
    std::atomic<int> fed{0};
    std::set<std::tuple<std::uint32_t, std::int32_t, std::int32_t>> keys;
    std::thread worker([&] {
        testdata::SimulatedDrive drive(world->result.route, 10.0);
        testdata::DrivePosition at;
        while (drive.Next(at)) {
            at.position.streetsNear = 1;
            window->SetPosition(at.position);
            AdvicePtr advice;
            if (advisor->CreateAdvice(advice, at.position, at.route, 0) && advice->IsValid()) {
                keys.insert(PictureKeyOf(advice));
                window->SetAdvice(advice);
                bar->SetFraction(advice->Current()->GetApproachPercent() * 0.01);
                // The other handlers go on with it.
                while (advice->Next()) {
                }
                ++fed;
            }
        }
        isDone = true;
    });
    while (!isDone) {
        driver.RunUntilIdle();
        std::this_thread::yield();
    }
    worker.join();
    driver.RunUntilIdle();
    EXPECT_GT(fed.load(), 0);
    const std::int64_t renders = SchematicWnd::CrossingViewsMade() - before;
    EXPECT_GE(renders, 1);
    EXPECT_LE(renders, static_cast<std::int64_t>(keys.size()));
    // The last picture is cached: repaints render nothing more.
    Repaint();
    EXPECT_EQ(SchematicWnd::CrossingViewsMade() - before, renders);
    EXPECT_EQ(owner.taps.load(), 0);
}

} // namespace
