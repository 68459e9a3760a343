// Drives with 10 m of noise at 1 Hz over sketch map sets opened by the engine, matched through
// the front in both modes.
#include "positioning/geodistance.h"
#include "positioning/mapmatcherfront.h"
#include "routing/tests/scriptedroute.h"
#include "testdata/gpsfixbatches.h"
#include "testdata/matcherdrives.h"
#include "tests/matcherfixture.h"
#include "utilities/usefulcode/segmentgeometry.h"

#include "platform/kernel/time.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The history is short for the first two fixes: they are never matched.
constexpr std::size_t kWarmUp = 2;

// Two roads of one element each, 25 m apart and about 510 m long.
testdata::MatcherSketch LongParallelSketch() {
    testdata::MatcherSketch sketch;
    const std::string dots(29, '.');
    sketch.grid.rows = {"A" + dots + "B", "C" + dots + "D"};
    testdata::GridSketch::Road north;
    north.name = "North";
    north.nodes = "AB";
    testdata::GridSketch::Road south = north;
    south.name = "South";
    south.nodes = "CD";
    sketch.grid.roads = {north, south};
    sketch.grid.origin = testdata::kMatcherSketchOrigin;
    sketch.grid.spacing = testdata::kMatcherSketchSpacing;
    return sketch;
}

// The front's result for every batch of the drive, with the clock at each fix's tick.
std::vector<MatchedPosition> Drive(const SketchMap& map, const testdata::MatcherDrive& drive,
                                   bool simple, const RouteIteratorPtr& route = nullptr,
                                   std::size_t pushLimit = FollowLimits{}.pushLimit) {
    platform::VirtualClock clock;
    const platform::ScopedClock installed(clock);
    const MapMatcherFrontPtr front = CreateMapMatcherFront(map.query);
    EXPECT_TRUE(front);
    front->Lock()->SetSimpleMode(simple);
    front->Lock()->SetPushLimit(pushLimit);
    front->Unlock();
    front->Unlock();
    front->SetRoute(route);
    std::vector<MatchedPosition> positions;
    for (const auto& batch : drive.batches) {
        clock.SetTick(batch.back().tick);
        front->Update(batch);
        front->Lock();
        positions.push_back(*front->GetResult());
        front->Unlock();
        const MatchedPosition& p = positions.back();
        // The result agrees with itself and with the fix.
        EXPECT_EQ(p.speed, batch.back().speed);
        EXPECT_EQ(p.fix.utcTime, batch.back().utcTime);
        if (p.street != -1) {
            EXPECT_EQ(p.displayStreet, p.street);
            EXPECT_EQ(p.streetsNear, 1);
            const GeoPoint foot = ClosestPointOnSegment(p.matched, p.segmentStart, p.segmentEnd);
            EXPECT_LT(GeoDistance(foot, p.matched), 1.0);
            EXPECT_LE(HeadingDifference(p.heading,
                                        static_cast<int>(GeoBearing(p.segmentStart, p.segmentEnd))),
                      2);
        }
    }
    return positions;
}

// Two roads of five elements each, 25 m apart and about 510 m long: North A..F, South G..L.
testdata::MatcherSketch SplitParallelSketch() {
    testdata::MatcherSketch sketch;
    sketch.grid.rows = {"A.....B.....C.....D.....E.....F", "G.....H.....I.....J.....K.....L"};
    testdata::GridSketch::Road north;
    north.name = "North";
    north.nodes = "ABCDEF";
    testdata::GridSketch::Road south = north;
    south.name = "South";
    south.nodes = "GHIJKL";
    sketch.grid.roads = {north, south};
    sketch.grid.origin = testdata::kMatcherSketchOrigin;
    sketch.grid.spacing = testdata::kMatcherSketchSpacing;
    return sketch;
}

std::int32_t Id(const SketchMap& map, int elementIndex) {
    return static_cast<std::int32_t>(map.Id(static_cast<std::size_t>(elementIndex)));
}

TEST(MatcherDrive, KeepsToTheDrivenOneOfTwoParallelRoads) {
    const testdata::MatcherSketch sketch = LongParallelSketch();
    const SketchMap map(sketch);
    // Fractions reached over twenty seeded drives, each way once. Drift: the noise's correlation
    // time in seconds, 0 for white noise. A drift lasts about as long as a drive; while it holds
    // the fixes more than half the spacing towards the other road, that road is nearer and fits
    // the path's shape as well, since a steady offset costs the comparison nothing.
    const struct {
        bool simple;
        double noise, drift, least;
    } cases[] = {{true, 10, 0, 0.85}, {false, 10, 0, 0.65}, {true, 3, 0, 0.98},
                 {false, 3, 0, 0.98}, {true, 10, 60, 0.84}, {false, 10, 60, 0.84}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "simple " << c.simple << " noise " << c.noise << " drift " << c.drift);
        std::size_t counted = 0;
        std::size_t driven = 0;
        for (std::uint32_t seed = 1; seed <= 20; ++seed) {
            testdata::DriveSettings settings = testdata::NoisyDriveSettings(30, seed);
            settings.noiseMetres = c.noise;
            settings.noiseCorrelationSeconds = c.drift;
            const auto drive = testdata::MakeMatcherDrive(sketch, seed % 2 ? "AB" : "DC", settings);
            ASSERT_TRUE(drive);
            const std::vector<MatchedPosition> positions = Drive(map, *drive, c.simple);
            for (std::size_t i = kWarmUp; i < positions.size(); ++i) {
                ++counted;
                driven += positions[i].street == Id(map, drive->samples[i].elementId) ? 1 : 0;
            }
        }
        EXPECT_GE(static_cast<double>(driven), c.least * static_cast<double>(counted))
            << driven << " of " << counted;
    }
}

TEST(MatcherDrive, NeverMatchesAStreetAgainstItsOneWayDirection) {
    const testdata::MatcherSketch sketch = testdata::OneWayPairSketch();
    const SketchMap map(sketch);
    // "Along" may be driven eastwards only, "Against" westwards only.
    const std::int32_t along = Id(map, 0);
    const std::int32_t against = Id(map, 1);
    for (const double drift : {0.0, 60.0}) {
        for (const bool simple : {true, false}) {
            for (const char* path : {"AB", "DC", "BA", "CD"}) {
                for (std::uint32_t seed = 1; seed <= 5; ++seed) {
                    SCOPED_TRACE(testing::Message()
                                 << simple << " " << path << " " << seed << " drift " << drift);
                    testdata::DriveSettings settings = testdata::NoisyDriveSettings(30, seed);
                    settings.noiseCorrelationSeconds = drift;
                    const auto drive = testdata::MakeMatcherDrive(sketch, path, settings);
                    ASSERT_TRUE(drive);
                    for (const MatchedPosition& p : Drive(map, *drive, simple)) {
                        if (p.street == along) {
                            EXPECT_LT(HeadingDifference(p.heading, 90), 90);
                        } else if (p.street == against) {
                            EXPECT_LT(HeadingDifference(p.heading, 270), 90);
                        }
                    }
                }
            }
        }
    }
}

TEST(MatcherDrive, TakesTheNewStreetWithinThreeFixesAfterATurn) {
    const testdata::MatcherSketch t = testdata::TJunctionSketch();
    const testdata::MatcherSketch x = testdata::XJunctionSketch();
    const SketchMap tMap(t);
    const SketchMap xMap(x);
    const struct {
        const testdata::MatcherSketch& sketch;
        const SketchMap& map;
        const char* path;
    } paths[] = {{t, tMap, "WJS"}, {t, tMap, "EJS"}, {t, tMap, "SJW"},
                 {x, xMap, "WJN"}, {x, xMap, "SJE"}, {x, xMap, "NJW"}};
    // Fractions of turns taken in time over ten seeded drives per path and mode; drift as above.
    const struct {
        bool simple;
        double noise, drift, least;
    } cases[] = {{true, 10, 0, 0.6},  {false, 10, 0, 0.6}, {true, 3, 0, 0.95},
                 {false, 3, 0, 0.95}, {true, 10, 60, 1.0}, {false, 10, 60, 1.0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "simple " << c.simple << " noise " << c.noise << " drift " << c.drift);
        std::size_t turns = 0;
        std::size_t taken = 0;
        for (const auto& p : paths) {
            for (std::uint32_t seed = 1; seed <= 10; ++seed) {
                testdata::DriveSettings settings = testdata::NoisyDriveSettings(30, seed);
                settings.noiseMetres = c.noise;
                settings.noiseCorrelationSeconds = c.drift;
                const auto drive = testdata::MakeMatcherDrive(p.sketch, p.path, settings);
                ASSERT_TRUE(drive);
                const std::vector<MatchedPosition> positions = Drive(p.map, *drive, c.simple);
                const int first = drive->samples.front().elementId;
                std::size_t turn = 0;
                while (drive->samples[turn].elementId == first) {
                    ++turn;
                }
                const std::int32_t next = Id(p.map, drive->samples[turn].elementId);
                bool inTime = false;
                for (std::size_t i = turn; i < turn + 3 && i < positions.size(); ++i) {
                    inTime = inTime || positions[i].street == next;
                }
                ++turns;
                taken += inTime ? 1 : 0;
            }
        }
        EXPECT_GE(static_cast<double>(taken), c.least * static_cast<double>(turns))
            << taken << " of " << turns;
    }
}

// A vehicle that stops holds its street while its fixes scatter around it; one that turns into
// a short street with fixes whose speeds disagree with their moves (the street before held for
// them) and then stops there is matched where it stands.
TEST(MatcherDrive, AStoppedVehicleHoldsItsStreetOnlyWhereItStandsNearIt) {
    const testdata::MatcherSketch t = testdata::TJunctionSketch();
    const SketchMap map(t);
    const struct {
        const char* name;
        std::size_t pastTheTurn; // fixes driven into Side before the stop
        double sideways;         // metres the standing fixes lie north of the last one
        bool isOnSide;           // the stopped vehicle's street: Side, else Main
    } cases[] = {
        {"stopped in the short street", 3, 0.0, true},
        {"stopped before the turn, fixes scattered", 0, 8.0, false},
    };
    for (const bool simple : {true, false}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(testing::Message() << c.name << ", simple " << simple);
            testdata::DriveSettings settings = testdata::NoisyDriveSettings(30, 1);
            settings.noiseMetres = 0;
            auto drive = testdata::MakeMatcherDrive(t, "WJS", settings);
            ASSERT_TRUE(drive);
            const int main = drive->samples.front().elementId;
            std::size_t turn = 0;
            while (drive->samples[turn].elementId == main) {
                ++turn;
            }
            const int side = drive->samples[turn].elementId;
            drive->batches.resize(turn + c.pastTheTurn);
            for (std::size_t i = turn; i < drive->batches.size(); ++i) {
                drive->batches[i].back().speed = 90;
            }
            GpsFix standing = drive->batches.back().back();
            standing.speed = 0;
            standing.latitude += static_cast<float>(c.sideways / 111195.0);
            for (int k = 0; k < 8; ++k) {
                ++standing.utcTime;
                standing.tick += 1000;
                drive->batches.push_back({standing});
            }
            const std::vector<MatchedPosition> positions = Drive(map, *drive, simple);
            ASSERT_FALSE(positions.empty());
            EXPECT_EQ(positions.back().street, Id(map, c.isOnSide ? side : main));
        }
    }
}

TEST(MatcherDrive, PrefersTheRouteBetweenTwoEqualRoads) {
    const testdata::MatcherSketch sketch = SplitParallelSketch();
    const SketchMap map(sketch);
    // The vehicle drives east halfway between the roads, 12 m south of North.
    testdata::DriveGenerator generator;
    const GeoPoint a = Moved(SketchNode(sketch, 'A'), 0, -12);
    const GeoPoint f = Moved(SketchNode(sketch, 'F'), 0, -12);
    generator.AddPiece(-1, {{a.y, a.x}, {f.y, f.x}});
    testdata::MatcherDrive drive;
    drive.samples = generator.Generate(testdata::NoisyDriveSettings(30, 1));
    drive.batches = testdata::ToGpsFixBatches(drive.samples, testdata::kMatcherDriveDay);
    const auto routeOver = [&](const char* nodes, int firstElement) {
        std::vector<std::pair<std::uint32_t, GeoPoint>> records;
        for (int k = 0; k < 5; ++k) {
            records.emplace_back(Id(map, firstElement + k), SketchNode(sketch, nodes[k]));
        }
        return MakeScriptedRoute(records);
    };
    const struct {
        const char* name;
        bool simple;
        const char* nodes;
        int firstElement;
        double least; // of the matched fixes, on the route
    } cases[] = {{"simple mode, route North", true, "ABCDE", 0, 0.8},
                 {"simple mode, route South", true, "GHIJK", 5, 0.8},
                 {"full mode, route North", false, "ABCDE", 0, 0.9},
                 {"full mode, route South", false, "GHIJK", 5, 0.9}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<MatchedPosition> positions =
            Drive(map, drive, c.simple, routeOver(c.nodes, c.firstElement));
        std::size_t matched = 0;
        std::size_t onRoute = 0;
        for (const MatchedPosition& p : positions) {
            if (p.street == -1) {
                continue;
            }
            ++matched;
            for (int k = 0; k < 5; ++k) {
                onRoute += p.street == Id(map, c.firstElement + k) ? 1 : 0;
            }
        }
        EXPECT_GT(matched, positions.size() / 2);
        EXPECT_GE(static_cast<double>(onRoute), c.least * static_cast<double>(matched))
            << onRoute << " of " << matched;
    }
}

TEST(MatcherDrive, GivesTheSameResultsWithTheWalkBoundSetVeryHigh) {
    const testdata::MatcherSketch sketch = testdata::DenseGridSketch(7);
    const SketchMap map(sketch);
    for (const char* path : {"ABCDEFG", "AHOVcjq", "GNUbipw"}) {
        for (const bool simple : {true, false}) {
            SCOPED_TRACE(testing::Message() << path << " simple " << simple);
            const auto drive =
                testdata::MakeMatcherDrive(sketch, path, testdata::NoisyDriveSettings(30, 3));
            ASSERT_TRUE(drive);
            const std::vector<MatchedPosition> bounded = Drive(map, *drive, simple);
            const std::vector<MatchedPosition> unbounded =
                Drive(map, *drive, simple, nullptr, std::size_t{1} << 40);
            ASSERT_EQ(bounded.size(), unbounded.size());
            for (std::size_t i = 0; i < bounded.size(); ++i) {
                EXPECT_EQ(bounded[i].street, unbounded[i].street) << i;
                EXPECT_EQ(bounded[i].matched, unbounded[i].matched) << i;
            }
        }
    }
}

} // namespace
