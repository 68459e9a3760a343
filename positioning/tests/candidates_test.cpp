#include "positioning/candidates.h"
#include "tests/matcherfixture.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

const GeoPoint kHere{9.5f, 47.0f};

// A matcher without engine whose search area is set around kHere.
struct Scene {
    explicit Scene(bool simple = true) {
        matcher.SetSimpleMode(simple);
        matcher.SetSearchArea(RecordAt(kHere));
    }
    // History records every `step` metres east, one second apart at 36 km/h, oldest first, the
    // newest `step` metres west of kHere; returns the record at kHere that follows them.
    MatchRecord DriveEast(int count, int step = 10) {
        for (int i = count; i >= 1; --i) {
            MatchRecord h = RecordAt(Moved(kHere, -step * i, 0), 36);
            h.time = static_cast<std::uint32_t>(1000 - i);
            matcher.History().Append(h);
        }
        MatchRecord r = RecordAt(kHere, 36);
        r.time = 1000;
        return r;
    }
    float Metres(const GeoPoint& a, const GeoPoint& b) const { return matcher.Distance(a, b); }

    MapMatcher matcher{AreaQueryPtr()};
};

TEST(PathError, ComparesShapesNotOffsetsAndSumsByMode) {
    Scene scene;
    const GeoPoint a = kHere;
    const std::vector<GeoPoint> bent = {a, Moved(a, 60, 0), Moved(a, 60, 40)};
    const std::vector<GeoPoint> shifted = {Moved(a, 0, 20), Moved(a, 60, 20), Moved(a, 60, 60)};
    const std::vector<GeoPoint> straight = {a, Moved(a, 70, 0)};
    const std::vector<GeoPoint> turned = {a, Moved(a, 70, 14)};
    // Equal steps along two rays from one point: each step widens the gap by c.
    const float c = 40.0f * std::sin(std::atan(12.0f / 60.0f) / 2.0f);
    const struct {
        const char* name;
        std::vector<GeoPoint> first;
        std::vector<GeoPoint> second;
        bool simple;
        float expected;
        float tolerance;
    } cases[] = {
        {"constant offset, full", bent, shifted, false, 0.0f, 0.5f},
        {"constant offset, simple", bent, shifted, true, 0.0f, 0.5f},
        {"one point", {a}, straight, false, kNoMatchError, 0.0f},
        {"diverging, root of the squares", straight, turned, false, c * std::sqrt(3.0f), 0.5f},
        {"diverging, mean of the magnitudes", straight, turned, true, 3.0f * c / 4.0f, 0.5f},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.name);
        scene.matcher.SetSimpleMode(k.simple);
        EXPECT_NEAR(PathError(scene.matcher, k.first, k.second), k.expected, k.tolerance);
    }
}

TEST(Resample, CarriesTheRemainderIntoTheNextSegment) {
    Scene scene;
    const GeoPoint a = kHere;
    const std::vector<GeoPoint> line = {a, Moved(a, 15, 0), Moved(a, 30, 0), Moved(a, 45, 0)};
    const std::vector<GeoPoint> corner = {a, Moved(a, 15, 0), Moved(a, 15, 17)};
    const struct {
        const char* name;
        std::vector<GeoPoint> polyline;
        float step;
        std::vector<GeoPoint> expected;
    } cases[] = {
        {"10 m over 15 m pieces",
         line,
         10.0f,
         {a, Moved(a, 10, 0), Moved(a, 20, 0), Moved(a, 30, 0), Moved(a, 40, 0)}},
        {"longer than the line", line, 50.0f, {a}},
        {"round a corner", corner, 10.0f, {a, Moved(a, 10, 0), Moved(a, 15, 5), Moved(a, 15, 15)}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<GeoPoint> out;
        Resample(scene.matcher, c.polyline, c.step, out);
        ASSERT_EQ(out.size(), c.expected.size());
        for (std::size_t i = 0; i < out.size(); ++i) {
            EXPECT_LT(scene.Metres(out[i], c.expected[i]), 0.5f) << i;
        }
    }
}

TEST(TrackPolyline, SkipsStandingAndImplausibleRecordsClosingTheGap) {
    enum class Fault { None, Standing, Outlier, OffNetwork, FarJump };
    const struct {
        const char* name;
        Fault fault;
        bool plausible;
        std::uint32_t maximum;
        std::size_t points;
        std::uint32_t length;
    } cases[] = {
        {"plain", Fault::None, true, 1000, 7, 60},
        {"capped at the maximum", Fault::None, true, 25, 4, 25},
        {"standing vehicle skipped", Fault::Standing, true, 1000, 5, 40},
        {"standing vehicle kept without the check", Fault::Standing, false, 1000, 7, 60},
        {"outlier skipped", Fault::Outlier, true, 1000, 5, 40},
        {"off the network ends it", Fault::OffNetwork, true, 1000, 3, 20},
        {"a jump beyond the area ends it", Fault::FarJump, false, 1000, 3, 20},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Scene scene;
        const MatchRecord r = scene.DriveEast(6);
        // The newest history record is walk index 0; the fault goes on walk index 2.
        MatchRecord& h = scene.matcher.History().Slot(3);
        if (c.fault == Fault::Standing) {
            h.raw = scene.matcher.History().Slot(4).raw; // no move, speed 0
            h.speed = 0;
        } else if (c.fault == Fault::Outlier) {
            h.raw = Moved(h.raw, 0, 60);
        } else if (c.fault == Fault::OffNetwork) {
            h.flags |= MatchRecord::kOffNetwork;
        } else if (c.fault == Fault::FarJump) {
            h.raw = Moved(h.raw, 0, 600);
        }
        std::vector<GeoPoint> out;
        // Whole metres of float-degree points: each 10 m step may come out as 9.
        const std::uint32_t length = TrackPolyline(scene.matcher, r, c.maximum, c.plausible, out);
        ASSERT_EQ(out.size(), c.points);
        EXPECT_LE(length, c.length);
        EXPECT_GE(length + out.size(), c.length + 1);
        EXPECT_EQ(out[0], r.raw);
        if (c.plausible && c.fault != Fault::FarJump) {
            for (std::size_t i = 1; i < out.size(); ++i) {
                EXPECT_NEAR(scene.Metres(out[i - 1], out[i]), 10.0f, 0.2f) << i;
            }
        }
    }
}

TEST(Implausible, ComparesTheImpliedSpeedCountingTheSameSecondAsOne) {
    Scene scene;
    const struct {
        const char* name;
        std::uint16_t newerSpeed;
        std::uint16_t olderSpeed;
        std::uint32_t seconds;
        int metres;
        bool expected;
        bool isNewerTimed = true; // false: the newer fix delivered no time (0)
    } cases[] = {
        {"matching speed", 36, 36, 1, 10, false},
        {"too far for the speed", 36, 36, 1, 30, true},
        {"same second counts as one", 36, 36, 0, 10, false},
        {"same second, too far", 36, 36, 0, 40, true},
        {"older standing: one second", 36, 0, 5, 10, false},
        {"newer standing moved 10 m", 0, 36, 5, 10, true},
        {"newer without a time: one second", 36, 36, 0, 10, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MatchRecord newer = RecordAt(Moved(kHere, c.metres, 0), c.newerSpeed);
        MatchRecord older = RecordAt(kHere, c.olderSpeed);
        newer.time = c.isNewerTimed ? 100 + c.seconds : 0;
        older.time = 100;
        EXPECT_EQ(Implausible(scene.matcher, newer, older), c.expected);
    }
}

TEST(ExpectedPosition, AveragesTheSnappingOffsetsOfMatchedRecords) {
    const struct {
        const char* name;
        std::vector<int> southOffsets; // newest first; -1: no street
        std::size_t k;
        float expectedSouth;
    } cases[] = {
        {"constant", {5, 5, 5, 5}, 10, 5.0f},
        {"newest three", {2, 4, 6, 8}, 3, 4.0f},
        {"records without street skipped", {-1, 2, -1, 4}, 10, 3.0f},
        {"none matched", {-1, -1}, 10, 0.0f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Scene scene;
        const MatchRecord r = scene.DriveEast(static_cast<int>(c.southOffsets.size()));
        for (std::size_t i = 0; i < c.southOffsets.size(); ++i) {
            MatchRecord& h = scene.matcher.History().Slot(c.southOffsets.size() - 1 - i);
            if (c.southOffsets[i] >= 0) {
                h.street = 1;
                h.snapped = Moved(h.raw, 0, -c.southOffsets[i]);
            }
        }
        const GeoPoint expected = ExpectedPosition(scene.matcher, r, c.k);
        EXPECT_NEAR(scene.Metres(expected, Moved(r.raw, 0, -static_cast<int>(c.expectedSouth))),
                    0.0f, 0.5f);
    }
}

TEST(CompareWithPath, SnapsATrackParallelToTheStreetOntoIt) {
    for (const bool atFoot : {false, true}) {
        SCOPED_TRACE(atFoot ? "at the foot" : "sampled");
        Scene scene(atFoot);
        const MatchRecord r = scene.DriveEast(10);
        std::vector<GeoPoint> track;
        ASSERT_GE(TrackPolyline(scene.matcher, r, 100, true, track), 90u);
        // The street runs 8 m south of the track; the path is given newest (east) point first.
        const std::vector<GeoPoint> path = {Moved(kHere, 40, -8), Moved(kHere, -200, -8)};
        MatchCandidate c;
        c.record = r;
        c.record.searchRadius = 30;
        const float error = atFoot ? CompareWithPathAtFoot(scene.matcher, path, track, c, 77)
                                   : CompareWithPath(scene.matcher, path, track, c, 77);
        EXPECT_EQ(error, c.record.error);
        EXPECT_LT(error, 0.5f);
        EXPECT_EQ(c.record.street, 77);
        EXPECT_EQ(c.record.heading, 90);
        EXPECT_EQ(c.record.segmentEnd, path[0]);
        EXPECT_EQ(c.record.segmentStart, path[1]);
        const GeoPoint foot = Moved(kHere, 0, -8);
        EXPECT_NEAR(scene.Metres(c.record.snapped, foot), 0.0f, atFoot ? 0.2f : 10.0f);
        EXPECT_NEAR(std::fabs(c.record.snapped.y - foot.y), 0.0f, 1e-5f); // on the street
    }
}

MatchCandidate Candidate(float error, float east = 0.0f, std::int32_t age = 0) {
    MatchCandidate c;
    c.record.error = error;
    c.record.snapped = {kHere.x + east, kHere.y};
    c.age = age;
    return c;
}

TEST(InsertCandidate, KeepsAscendingErrorsDropsDuplicatesAndRespectsCapacity) {
    const struct {
        const char* name;
        std::vector<MatchCandidate> inserted;
        std::size_t capacity;
        std::vector<float> errors;
        std::vector<std::int32_t> ages;
    } cases[] = {
        {"ascending", {Candidate(3), Candidate(1), Candidate(2)}, 16, {1, 2, 3}, {0, 0, 0}},
        {"duplicate keeps the larger age",
         {Candidate(1, 0, 2), Candidate(1.000001f, 5e-7f, 7), Candidate(1, 0, 1)},
         16,
         {1},
         {7}},
        {"error too different", {Candidate(1), Candidate(1.0001f)}, 16, {1, 1.0001f}, {0, 0}},
        {"position too different", {Candidate(1), Candidate(1, 2e-6f)}, 16, {1, 1}, {0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<MatchCandidate> list;
        for (const MatchCandidate& candidate : c.inserted) {
            InsertCandidate(list, candidate, c.capacity);
        }
        ASSERT_EQ(list.size(), c.errors.size());
        for (std::size_t i = 0; i < list.size(); ++i) {
            EXPECT_EQ(list[i].record.error, c.errors[i]);
            EXPECT_EQ(list[i].age, c.ages[i]);
        }
    }
    std::vector<MatchCandidate> full;
    for (int i = 0; i < 32; ++i) {
        InsertCandidate(full, Candidate(static_cast<float>(i + 1), static_cast<float>(i)), 32);
    }
    InsertCandidate(full, Candidate(40, 100), 32);
    EXPECT_EQ(full.size(), 32u);
    EXPECT_EQ(full.back().record.error, 32.0f);
    InsertCandidate(full, Candidate(0.5f, 100), 32);
    EXPECT_EQ(full.size(), 32u);
    EXPECT_EQ(full.front().record.error, 0.5f);
    EXPECT_EQ(full.back().record.error, 31.0f);
}

TEST(HeadingDifference, IsTheSmallerAngleBetweenTwoHeadings) {
    const struct {
        int a, b, expected;
    } cases[] = {{350, 10, 20}, {10, 350, 20}, {0, 180, 180},
                 {90, 90, 0},   {0, 359, 1},   {270, 45, 135}};
    for (const auto& c : cases) {
        EXPECT_EQ(HeadingDifference(c.a, c.b), c.expected) << c.a << " " << c.b;
    }
}

TEST(CandidatePenalties, FollowTheTableByMode) {
    const struct {
        const char* name;
        bool simple;
        std::uint16_t course;
        int offsetNorth; // raw position north of the snapped point
        int alongEast;   // snapped point east of the raw position's foot
        int expectedFromSnapped;
        std::int32_t heading, distance, jump, offset;
    } cases[] = {
        {"close, full", false, 90, 10, 5, 0, 0, 0, 0, 0},
        {"45 m off, full", false, 80, 45, 0, 45, 2, 0, 2, 0},
        {"65 m off, full", false, 100, 65, 25, 500, 2, 2, 10, 1},
        {"far, full", false, 0, 300, 100, 0, 15, 8, 0, 5},
        {"45 m off, simple", true, 90, 45, 0, 0, 0, 0, 0, 4},
        {"65 m off, simple", true, 270, 65, 0, 0, 15, 0, 0, 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Scene scene(c.simple);
        MatchCandidate candidate;
        candidate.record.course = c.course;
        candidate.record.raw = Moved(kHere, -c.alongEast, c.offsetNorth);
        candidate.record.snapped = kHere;
        candidate.record.segmentStart = Moved(kHere, -100, 0); // the street runs east
        candidate.record.segmentEnd = Moved(kHere, 100, 0);
        const GeoPoint expected = Moved(kHere, 0, c.expectedFromSnapped);
        EXPECT_EQ(HeadingPenalty(scene.matcher, candidate), c.heading);
        EXPECT_EQ(DistancePenalty(scene.matcher, candidate), c.distance);
        EXPECT_EQ(JumpPenalty(scene.matcher, candidate, expected), c.jump);
        EXPECT_EQ(OffsetPenalty(scene.matcher, candidate), c.offset);
    }
}

TEST(SelectCandidate, SortsByTotalWithTheRouteBonus) {
    const struct {
        const char* name;
        std::vector<std::uint32_t> route;
        std::int32_t maximumAge;
        std::vector<std::int32_t> ages;
        std::int32_t chosen;
    } cases[] = {
        {"lowest error", {}, 0, {0, 0, 0}, 10},
        {"route street 10 points off", {30}, 0, {0, 0, 0}, 30},
        {"older path preferred", {}, 5, {0, 4, 5}, 20},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Scene scene;
        for (const std::uint32_t id : c.route) {
            scene.matcher.RouteMarks().push_back({{}, id, 0});
        }
        std::vector<MatchCandidate> list;
        for (int i = 0; i < 3; ++i) {
            MatchCandidate candidate = Candidate(static_cast<float>(1 + 2 * i));
            candidate.record.raw = kHere;
            candidate.record.course = 90;
            candidate.record.segmentStart = Moved(kHere, -50, 0);
            candidate.record.segmentEnd = Moved(kHere, 50, 0);
            candidate.record.street = 10 * (i + 1);
            candidate.age = c.ages[static_cast<std::size_t>(i)];
            list.push_back(candidate);
        }
        MatchRecord r = RecordAt(kHere);
        EXPECT_TRUE(SelectCandidate(scene.matcher, list, r, 100, c.maximumAge));
        EXPECT_EQ(r.street, c.chosen);
        for (std::size_t i = 1; i < list.size(); ++i) {
            EXPECT_LE(list[i - 1].total, list[i].total);
        }
    }
    Scene scene;
    std::vector<MatchCandidate> none;
    MatchRecord r = RecordAt(kHere);
    EXPECT_FALSE(SelectCandidate(scene.matcher, none, r, 100, 0));
    std::vector<MatchCandidate> bad{Candidate(30)};
    EXPECT_FALSE(SelectCandidate(scene.matcher, bad, r, 100, 0)); // not below "Big Treshold"
}

TEST(RouteMatch, ChoosesTheRouteStreetInFullModeOnly) {
    const struct {
        const char* name;
        bool simple;
        int history;
        bool matched;
    } cases[] = {
        {"full mode", false, 15, true},
        {"simple mode", true, 15, false},
        {"track too short", false, 3, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Scene scene(c.simple);
        MatchRecord r = scene.DriveEast(c.history);
        r.searchRadius = 30;
        for (int east = -300; east <= 60; east += 40) {
            scene.matcher.RouteMarks().push_back({Moved(kHere, east, -6), 5, 1});
        }
        EXPECT_EQ(RouteMatch(scene.matcher, r, 100), c.matched);
        EXPECT_EQ(r.street, c.matched ? 5 : -1);
        if (c.matched) {
            EXPECT_LT(std::fabs(r.snapped.y - Moved(kHere, 0, -6).y), 1e-5f);
        }
    }
}

} // namespace
