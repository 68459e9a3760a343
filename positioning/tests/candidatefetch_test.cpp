#include "positioning/candidates.h"
#include "positioning/mapmatcher.h"
#include "tests/matcherfixture.h"

#include <gtest/gtest.h>

#include <set>

namespace {

std::set<std::uint32_t> GraphIds(const StreetGraph& graph) {
    std::set<std::uint32_t> ids;
    for (std::size_t i = 0; i < graph.NodeCount(); ++i) {
        for (const GraphLink& link : graph.Node(i).links) {
            ids.insert(link.elementId);
        }
    }
    return ids;
}

std::set<std::uint32_t> MeetingBox(const std::vector<ReadElement>& elements, const GeoRect& box) {
    std::set<std::uint32_t> ids;
    for (const ReadElement& element : elements) {
        for (const GeoPoint& p : element.points) {
            if (ContainsPoint(box, p)) {
                ids.insert(element.id);
            }
        }
    }
    return ids;
}

bool Contains(const GeoRect& outer, const GeoRect& inner) {
    return outer.minX <= inner.minX && outer.minY <= inner.minY && outer.maxX >= inner.maxX &&
           outer.maxY >= inner.maxY;
}

enum class FetchBoxKind { Kept, Widened, Doubled };

TEST(CandidateFetch, BoxFollowsThePreviousRecordAndOnlyElementsMeetingItEnter) {
    const testdata::MatcherSketch sketch = testdata::ParallelRoadsSketch();
    const SketchMap map(sketch);
    const std::vector<ReadElement> all = map.All();
    ASSERT_EQ(all.size(), 16u);
    // 45 m north of the northern road's middle: the southern road lies 70 m away.
    const GeoPoint a = SketchNode(sketch, 'A');
    const GeoPoint b = SketchNode(sketch, 'I');
    const GeoPoint here = Moved({(a.x + b.x) / 2, a.y}, 0, 45);
    const struct {
        const char* name;
        std::optional<GeoPoint> previous;
        FetchBoxKind box;
    } cases[] = {
        {"no history", std::nullopt, FetchBoxKind::Kept},
        {"previous inside the box", Moved(here, 10, -10), FetchBoxKind::Kept},
        {"previous within the area size", Moved(here, -150, -40), FetchBoxKind::Widened},
        {"previous beyond the area size", Moved(here, 300, 350), FetchBoxKind::Doubled},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MapMatcher matcher(map.query);
        matcher.SetSimpleMode(false);
        if (c.previous) {
            matcher.History().Append(RecordAt(Moved(*c.previous, 500, 500)));
            matcher.History().Append(RecordAt(*c.previous));
            MatchRecord unprocessed = RecordAt(Moved(here, 1, 1));
            unprocessed.flags = 0; // skipped: the newest processed record counts
            matcher.History().Append(unprocessed);
        }
        MatchRecord record = RecordAt(here);
        record.spareStatus = 70;
        matcher.SetSearchArea(record);
        record.searchRadius = matcher.SearchRadius(record);
        EXPECT_EQ(record.searchRadius, 70);
        const GeoRect box = matcher.FetchBox(record);
        const GeoRect near = Box(here, 60);
        switch (c.box) {
        case FetchBoxKind::Kept:
            EXPECT_EQ(box, near);
            break;
        case FetchBoxKind::Widened:
            EXPECT_TRUE(Contains(box, near) && ContainsPoint(box, *c.previous));
            EXPECT_NE(box, near);
            break;
        case FetchBoxKind::Doubled:
            EXPECT_EQ(box, Box(here, 140));
            break;
        }
        matcher.FetchCandidates(record);
        const std::set<std::uint32_t> expected = MeetingBox(all, box);
        EXPECT_EQ(GraphIds(matcher.Graph()), expected);
        EXPECT_EQ(std::set<std::uint32_t>(matcher.Graph().ElementIds().begin(),
                                          matcher.Graph().ElementIds().end()),
                  expected);
        EXPECT_FALSE(expected.empty());
        const bool southern = expected.count(map.Id(8)) != 0; // first element of "South"
        EXPECT_EQ(southern, c.box == FetchBoxKind::Doubled);
    }
}

TEST(CandidateFetch, WithoutAnEngineFetchesNothingAndPurgesFarNodes) {
    const testdata::MatcherSketch sketch = testdata::XJunctionSketch();
    const SketchMap map(sketch);
    const GeoPoint j = SketchNode(sketch, 'J');
    MapMatcher matcher(map.query);
    MatchRecord record = RecordAt(j);
    matcher.SetSearchArea(record);
    matcher.FetchCandidates(record);
    EXPECT_EQ(matcher.Graph().NodeCount(), 5u);
    record = RecordAt(Moved(j, 2000, 0));
    matcher.SetSearchArea(record);
    matcher.FetchCandidates(record);
    EXPECT_EQ(matcher.Graph().NodeCount(), 0u);

    MapMatcher without{AreaQueryPtr()};
    without.SetSearchArea(RecordAt(j));
    without.FetchCandidates(RecordAt(j));
    EXPECT_EQ(without.Graph().NodeCount(), 0u);
}

TEST(AlignRouteMarks, GivesTheRouteGeometryInDrivingOrder) {
    const testdata::MatcherSketch sketch = testdata::TJunctionSketch();
    const SketchMap map(sketch);
    const GeoPoint w = SketchNode(sketch, 'W');
    const GeoPoint j = SketchNode(sketch, 'J');
    const GeoPoint s = SketchNode(sketch, 'S');
    const std::uint32_t wj = map.Id(0);
    const std::uint32_t js = map.Id(2);
    const std::uint32_t missing = 999999;
    using Marks = std::vector<RouteMark>;
    const struct {
        const char* name;
        std::vector<std::uint32_t> route;
        Marks expected;
    } cases[] = {
        {"turn into the side road",
         {wj, js},
         Marks{{w, wj, 1}, {j, wj, 1}, {j, js, 1}, {s, js, 1}}},
        {"repeated id copied back",
         {wj, js, js},
         Marks{{w, wj, 1}, {j, wj, 1}, {j, js, 1}, {s, js, 1}, {s, js, 1}, {j, js, 1}}},
        {"unknown before the graph skipped",
         {missing, wj, js},
         Marks{{{}, missing, 0}, {w, wj, 1}, {j, wj, 1}, {j, js, 1}, {s, js, 1}}},
        {"stops once the route leaves the graph",
         {wj, missing, js},
         Marks{{w, wj, 1}, {j, wj, 1}, {{}, missing, 0}, {{}, js, 0}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MapMatcher matcher(map.query);
        matcher.SetSimpleMode(false);
        for (const std::uint32_t id : c.route) {
            matcher.RouteMarks().push_back({{}, id, 0});
        }
        const MatchRecord record = RecordAt(j);
        matcher.SetSearchArea(record);
        matcher.FetchCandidates(record);
        const Marks& marks = matcher.RouteMarks();
        ASSERT_EQ(marks.size(), c.expected.size());
        for (std::size_t i = 0; i < marks.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(marks[i].point, c.expected[i].point);
            EXPECT_EQ(marks[i].elementId, c.expected[i].elementId);
            EXPECT_EQ(marks[i].hasGeometry, c.expected[i].hasGeometry);
        }
    }
}

} // namespace

namespace {

TEST(SearchRadius, FollowsTheRecentSnappingOffsetsUpTo150) {
    const struct {
        const char* name;
        bool simple;
        std::uint16_t spare;
        int offset; // metres raw-to-snapped of a matched history record; -1 none
        std::uint16_t expected;
    } cases[] = {
        {"simple mode", true, 70, 30, 40},
        {"nothing matched", false, 70, -1, 70},
        {"spare status capped", false, 65535, -1, 150},
        {"offset plus 50", false, 70, 30, 80},
        {"offset capped", false, 70, 120, 150},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MapMatcher matcher{AreaQueryPtr()};
        matcher.SetSimpleMode(c.simple);
        const GeoPoint here{9.5f, 47.0f};
        for (int i = 0; i < 3; ++i) {
            MatchRecord h = RecordAt(Moved(here, -10 * (3 - i), 0));
            if (c.offset >= 0 && i == 1) {
                h.street = 4;
                h.snapped = Moved(h.raw, c.offset, 0);
            }
            matcher.History().Append(h);
        }
        MatchRecord record = RecordAt(here);
        record.spareStatus = c.spare;
        matcher.SetSearchArea(record);
        // Float degrees put the offset a few centimetres either side of whole metres.
        EXPECT_NEAR(matcher.SearchRadius(record), c.expected, 1);
    }
}

TEST(CollectStreetsNear, ListsLinksWithinTheLimitWithTheMatchedStreetFirst) {
    const testdata::MatcherSketch sketch = testdata::XJunctionSketch();
    const SketchMap map(sketch);
    // On "Main" 12 m east of the crossing, where the other three elements end.
    const GeoPoint here = Moved(SketchNode(sketch, 'J'), 12, 0);
    const std::uint32_t mainEast = map.Id(1);
    const struct {
        const char* name;
        bool simple;
        std::uint16_t radius;
        std::uint16_t spare;
        std::set<std::uint32_t> expected;
    } cases[] = {
        {"simple mode: search radius", true, 10, 65535, {mainEast}},
        {"simple mode: wider radius", true, 20, 0, {map.Id(0), mainEast, map.Id(2), map.Id(3)}},
        {"full mode: spare status", false, 0, 10, {mainEast}},
        {"nothing in reach", false, 40, 0, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MapMatcher matcher(map.query);
        matcher.SetSimpleMode(c.simple);
        MatchRecord h = RecordAt(here);
        h.street = static_cast<std::int32_t>(mainEast);
        h.searchRadius = c.radius;
        h.spareStatus = c.spare;
        matcher.History().Append(h);
        matcher.SetSearchArea(h);
        matcher.FetchCandidates(h);
        std::vector<std::uint32_t> ids;
        EXPECT_EQ(CollectStreetsNear(matcher, ids), !c.expected.empty());
        EXPECT_EQ(std::set<std::uint32_t>(ids.begin(), ids.end()), c.expected);
        if (!ids.empty()) {
            EXPECT_EQ(ids.front(), mainEast);
        }
    }
}

} // namespace
