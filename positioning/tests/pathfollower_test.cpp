#include "positioning/mapmatcher.h"
#include "positioning/pathfollower.h"
#include "tests/matcherfixture.h"

#include "platform/kernel/time.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <set>

namespace {

// A matcher whose graph holds the sketch's streets around the point.
struct GraphAround {
    GraphAround(const testdata::MatcherSketch& s, const GeoPoint& centre)
        : sketch(s)
        , map(sketch)
        , matcher(map.query) {
        const MatchRecord record = RecordAt(centre);
        matcher.SetSearchArea(record);
        matcher.FetchCandidates(record);
        // The walk stops once the update that runs it is a second old.
        matcher.SetEvaluationTick(GetTickCount());
    }
    [[nodiscard]] GeoPoint Node(char name) const { return SketchNode(sketch, name); }

    testdata::MatcherSketch sketch;
    SketchMap map;
    MapMatcher matcher;
};

std::vector<PathHypothesis> AllPaths(PathFollower& follower) {
    std::vector<PathHypothesis> paths;
    for (; follower.IsActive(); follower.Next()) {
        paths.push_back(follower.Path());
    }
    return paths;
}

using Link = std::pair<GeoPoint, GeoPoint>;
// Points and links as ordered keys.
using PointKey = std::array<float, 2>;
using LinkKey = std::array<float, 4>;

PointKey Key(const GeoPoint& p) {
    return {p.x, p.y};
}

LinkKey Key(const GeoPoint& a, const GeoPoint& b) {
    return {a.x, a.y, b.x, b.y};
}

TEST(PathFollower, WithoutHypothesesSeedsTwoPointPathsFromEveryQualifyingLink) {
    const testdata::MatcherSketch sketch = testdata::XJunctionSketch();
    GraphAround graph(sketch, SketchNode(sketch, 'J'));
    const GeoPoint j = graph.Node('J');
    const GeoPoint p = Moved(j, -5, 3);
    const struct {
        const char* name;
        int course, tolerance;
        float distance;
        std::set<LinkKey> expected;
    } cases[] = {
        {"eastwards", 90, 40, 40, {Key(graph.Node('W'), j), Key(j, graph.Node('E'))}},
        {"northwards", 0, 40, 40, {Key(graph.Node('S'), j), Key(j, graph.Node('N'))}},
        {"north-east with a wide tolerance",
         45,
         50,
         40,
         {Key(graph.Node('W'), j), Key(j, graph.Node('E')), Key(graph.Node('S'), j),
          Key(j, graph.Node('N'))}},
        {"every street too far", 90, 40, 2, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PathFollower follower(graph.matcher, PathHypothesis{}, {}, p,
                              {c.distance, c.course, c.tolerance});
        std::set<LinkKey> links;
        for (const PathHypothesis& path : AllPaths(follower)) {
            ASSERT_EQ(path.points.size(), 2u);
            EXPECT_LE(graph.matcher.Distance(p, path.snapped), c.distance);
            links.insert(Key(path.points[0], path.points[1]));
        }
        EXPECT_EQ(links, c.expected);
    }
}

TEST(PathFollower, GrowsAHypothesisAlongItsLinkAndIntoTheBranchesAtAJunction) {
    const testdata::MatcherSketch sketch = testdata::XJunctionSketch();
    GraphAround graph(sketch, SketchNode(sketch, 'J'));
    const GeoPoint w = graph.Node('W');
    const GeoPoint j = graph.Node('J');
    PathHypothesis main;
    main.points = {w, j};
    main.street = graph.map.Id(0);
    const struct {
        const char* name;
        std::int32_t snappedBeforeJ, moved, tolerance;
        GeoPoint expectedSnapped; // of the first path
        std::set<PointKey> branchEnds;
    } cases[] = {
        {"far from the junction the path stays on its link", 58, 10, 40, Moved(j, -48, 0), {}},
        {"within 5 m of a junction: itself, then the branch ahead",
         10,
         7,
         40,
         Moved(j, -3, 0),
         {Key(graph.Node('E'))}},
        {"a wider tolerance takes the side branches too",
         10,
         7,
         90,
         Moved(j, -3, 0),
         {Key(graph.Node('E')), Key(graph.Node('N')), Key(graph.Node('S'))}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PathHypothesis h = main;
        h.snapped = Moved(j, -c.snappedBeforeJ, 0);
        const GeoPoint p = Moved(j, c.moved - c.snappedBeforeJ, 2);
        PathFollower follower(graph.matcher, h, p - Moved(h.snapped, 0, 2), p,
                              {40, 90, c.tolerance});
        const std::vector<PathHypothesis> paths = AllPaths(follower);
        ASSERT_FALSE(paths.empty());
        EXPECT_EQ(paths[0].points, main.points);
        EXPECT_LT(graph.matcher.Distance(paths[0].snapped, c.expectedSnapped), 0.6f);
        std::set<PointKey> ends;
        for (std::size_t i = 1; i < paths.size(); ++i) {
            ASSERT_EQ(paths[i].points.size(), 3u);
            ends.insert(Key(paths[i].points.back()));
        }
        EXPECT_EQ(ends, c.branchEnds);
    }
}

TEST(PathFollower, StopsAtItsPushLimitOrWhenTheBudgetIsSpent) {
    const testdata::MatcherSketch sketch = testdata::DenseGridSketch(7);
    platform::VirtualClock clock;
    const platform::ScopedClock installed(clock);
    GraphAround graph(sketch, SketchNode(sketch, 'X'));
    PathHypothesis h;
    h.points = {graph.Node('X'), graph.Node('Y')};
    h.snapped = h.points.back();
    // 400 m away nothing qualifies: the walk would try every path up to that length.
    const GeoPoint p = Moved(h.snapped, 400, 0);
    const struct {
        const char* name;
        std::uint64_t clockAdvance;
        std::size_t limit, expectedPushes;
    } cases[] = {
        {"the push limit", 0, 4096, 4096},
        {"a lower push limit", 0, 300, 300},
        {"the budget already spent", 1001, 4096, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        clock.SetTick(0);
        graph.matcher.SetEvaluationTick(0);
        clock.Advance(c.clockAdvance);
        PathFollower follower(graph.matcher, h, p - h.snapped, p, {40, 90, 40, c.limit});
        const std::vector<PathHypothesis> paths = AllPaths(follower);
        EXPECT_EQ(follower.Pushes(), c.expectedPushes);
        for (std::size_t i = 1; i < paths.size(); ++i) {
            ADD_FAILURE() << "no path reaches 400 m";
        }
    }
}

TEST(Extrapolate, MovesAlongTheStreetByTheTimePassedAndStopsAtJunctions) {
    const testdata::MatcherSketch t = testdata::TJunctionSketch();
    GraphAround junction(t, SketchNode(t, 'J'));
    const GeoPoint w = junction.Node('W');
    const GeoPoint j = junction.Node('J');
    const testdata::MatcherSketch ringSketch = testdata::RingSketch(12);
    const SketchMap ringMap(ringSketch);
    const std::vector<GeoPoint> ring = ringMap.All().at(0).points;
    GeoPoint centre;
    for (std::size_t i = 0; i + 1 < ring.size(); ++i) {
        centre = {centre.x + ring[i].x / 12, centre.y + ring[i].y / 12};
    }
    GraphAround round(ringSketch, centre);
    // 3 m before the ring's second corner.
    const float t3 = 1.0f - 3.0f / round.matcher.Distance(ring[0], ring[1]);
    const GeoPoint beforeCorner{ring[0].x + (ring[1].x - ring[0].x) * t3,
                                ring[0].y + (ring[1].y - ring[0].y) * t3};
    const struct {
        const char* name;
        GraphAround& graph;
        Link segment;
        GeoPoint snapped;
        std::uint16_t speed;
        std::uint32_t elapsed;
        Link expectedSegment;
        GeoPoint from;        // of the expected segment
        float expectedMetres; // from `from` to the predicted point
    } cases[] = {
        {"500 ms at 36 km/h: 5 m", junction, {w, j}, Moved(w, 10, 0), 36, 500, {w, j}, w, 15},
        {"500 ms at 7 km/h: not at all", junction, {w, j}, Moved(w, 10, 0), 7, 500, {w, j}, w, 10},
        {"stops at a junction with distance left",
         junction,
         {w, j},
         Moved(j, -3, 0),
         36,
         1000,
         {w, j},
         j,
         0},
        {"goes round a bend of the same street",
         round,
         {ring[0], ring[1]},
         beforeCorner,
         36,
         1000,
         {ring[1], ring[2]},
         ring[1],
         7},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MatchRecord r = RecordAt(c.snapped, c.speed);
        r.segmentStart = r.predictedStart = c.segment.first;
        r.segmentEnd = r.predictedEnd = c.segment.second;
        r.street = 1;
        Extrapolate(c.graph.matcher, r, c.elapsed);
        EXPECT_EQ(r.predictedStart, c.expectedSegment.first);
        EXPECT_EQ(r.predictedEnd, c.expectedSegment.second);
        EXPECT_NEAR(c.graph.matcher.Distance(c.from, r.predicted), c.expectedMetres, 0.6f);
    }
}

} // namespace
