#include "routing/routeposition.h"
#include "routing/seedends.h"

#include <gtest/gtest.h>

namespace {

constexpr SeedUse kMarks = SeedUse::StartMarks;
constexpr SeedUse kStart = SeedUse::StartSeeds;
constexpr SeedUse kDest = SeedUse::DestinationSeeds;

TEST(SeedEnds, UsableEnds) {
    struct Case {
        const char* name;
        SeedUse use;
        SeedLinkFacts facts; // direction, list-3, class, far blocked, near blocked, keep heading
        bool far;
        bool near;
        int code;
    };
    const Case cases[] = {
        // Two-way links and the list-3 code.
        {"two-way start: both", kStart, {2, 0, 3, false, false, false}, true, true, 0},
        {"list-3 1: far only", kStart, {2, 1, 3, false, false, false}, true, false, 0},
        {"list-3 2: near only", kStart, {2, 2, 3, false, false, false}, false, true, 0},
        {"kind 24 with direction 0", kStart, {0, 0, 24, false, false, false}, true, true, 0},
        {"keep heading: far only", kStart, {2, 0, 3, false, false, true}, true, false, 0},
        {"keep heading and list-3 2", kStart, {2, 2, 3, false, false, true}, false, false, 33},
        // One-way links.
        {"start direction 1: far", kStart, {1, 0, 3, false, false, false}, true, false, 0},
        {"marks direction 1: both", kMarks, {1, 0, 3, false, false, false}, true, true, 0},
        {"start direction 3: near", kStart, {3, 0, 3, false, false, false}, false, true, 0},
        {"destination direction 1: near", kDest, {1, 0, 3, false, false, false}, false, true, 0},
        {"destination direction 3: far", kDest, {3, 0, 3, false, false, false}, true, false, 0},
        {"start direction 1, list-3 2", kStart, {1, 2, 3, false, false, false}, false, false, 31},
        {"start direction 3, list-3 1", kStart, {3, 1, 3, false, false, false}, false, false, 31},
        {"marks direction 3, list-3 1", kMarks, {3, 1, 3, false, false, false}, false, false, 33},
        {"destination direction 3, list-3 2",
         kDest,
         {3, 2, 3, false, false, false},
         false,
         false,
         32},
        {"destination direction 1, list-3 1",
         kDest,
         {1, 1, 3, false, false, false},
         false,
         false,
         32},
        // Blocked ends.
        {"start far blocked, near used", kStart, {2, 0, 3, true, false, false}, false, true, 0},
        {"start one-way blocked", kStart, {1, 0, 3, true, false, false}, false, false, 17},
        {"destination both blocked", kDest, {2, 0, 3, true, true, false}, false, false, 18},
        {"blocked end excluded anyway", kDest, {1, 1, 3, false, true, false}, false, false, 32},
        // Kinds.
        {"direction 0 not kind 24, start",
         kStart,
         {0, 0, 3, false, false, false},
         false,
         false,
         24},
        {"direction 0 kind 26, marks", kMarks, {0, 0, 26, false, false, false}, false, false, 26},
        {"direction 0 kind 28, destination",
         kDest,
         {0, 0, 28, false, false, false},
         false,
         false,
         29},
        {"direction 0 kind 3, destination",
         kDest,
         {0, 0, 3, false, false, false},
         false,
         false,
         27},
        {"direction 4 kind 24, start", kStart, {4, 0, 24, false, false, false}, false, false, 25},
        {"direction 4 kind 24, destination",
         kDest,
         {4, 0, 24, false, false, false},
         false,
         false,
         28},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const SeedEnds ends = UsableSeedEnds(c.use, c.facts);
        EXPECT_EQ(ends.far, c.far);
        EXPECT_EQ(ends.near, c.near);
        EXPECT_EQ(ends.code, c.code);
    }
}

TEST(SeedEnds, SeedCost) {
    struct Case {
        const char* name;
        std::uint32_t routeType;
        float speed;
        float distance;
        float expected;
    };
    const Case cases[] = {
        {"quickest", 1, 50.0f, 100.0f, 2.0f},
        {"0.3 m counts as one metre", 1, 50.0f, 0.3f, 0.02f},
        {"zero distance counts as one metre", 0, 50.0f, 0.0f, 1.0f / 30.0f},
        {"speed 0 costs nothing", 1, 0.0f, 100.0f, 0.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RouteOptions options;
        options.routeType = c.routeType;
        EXPECT_NEAR(SeedCost(options, c.speed, c.distance), c.expected, 1e-6);
    }
}

TEST(SeedEnds, SameLink) {
    struct Case {
        const char* name;
        SameLinkPlaces places;
        bool startSeedReaches;
        bool destinationSeedReached;
    };
    // A 100 m link; start offset 30 m.
    const Case cases[] = {
        {"far seed, same end, destination beyond", {LinkEnd::Far, false, 100, 30, 60}, true, false},
        {"far seed, same end, destination behind", {LinkEnd::Far, false, 100, 30, 10}, false, true},
        {"far seed, opposite ends, 40 m from the far end",
         {LinkEnd::Far, true, 100, 30, 40},
         true,
         true},
        {"far seed, opposite ends, 80 m from the far end",
         {LinkEnd::Far, true, 100, 30, 80},
         false,
         false},
        {"near seed, same end, behind", {LinkEnd::Near, false, 100, 30, 10}, true, false},
        {"near seed, same end, beyond", {LinkEnd::Near, false, 100, 30, 60}, false, true},
        {"near seed, opposite ends", {LinkEnd::Near, true, 100, 30, 80}, true, true},
        {"equal places never ahead", {LinkEnd::Far, false, 100, 30, 30}, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(IsDestinationAheadOfStartSeed(c.places), c.startSeedReaches);
        EXPECT_EQ(IsStartBehindDestinationSeed(c.places), c.destinationSeedReached);
    }
    EXPECT_EQ(RoutePositionEntry{}.elementId, 0xFFFFFFFFu);
}

} // namespace
