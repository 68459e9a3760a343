#include "positioning/matchersettings.h"
#include "positioning/streetgraph.h"
#include "tests/matcherfixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace {

struct Links {
    std::uint32_t forward;
    std::uint32_t backward;
};

Links LinksOf(const StreetGraph& graph, const GeoPoint& a, const GeoPoint& b) {
    const GraphNode& nodeA = graph.Node(graph.FindNode(a).index);
    const GraphNode& nodeB = graph.Node(graph.FindNode(b).index);
    EXPECT_EQ(nodeA.links.size(), 1u);
    EXPECT_EQ(nodeB.links.size(), 1u);
    return {nodeA.links.at(0).direction, nodeB.links.at(0).direction};
}

std::size_t LinkCount(const StreetGraph& graph) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < graph.NodeCount(); ++i) {
        count += graph.Node(i).links.size();
    }
    return count;
}

TEST(StreetGraph, DirectionCodesGiveLinkCodesBothWays) {
    const struct {
        std::uint32_t code;
        Links expected;
    } cases[] = {{1, {1, 3}}, {3, {3, 1}}, {2, {2, 2}}, {0, {2, 2}}};
    const GeoPoint a{9.5f, 47.0f};
    const GeoPoint b{9.501f, 47.0f};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        StreetGraph graph;
        const GeoPoint points[] = {a, b};
        graph.AddElement({7, points, c.code});
        const Links links = LinksOf(graph, a, b);
        EXPECT_EQ(links.forward, c.expected.forward);
        EXPECT_EQ(links.backward, c.expected.backward);
    }
    // Raw direction bits 1 and 2 of the map set come back as codes 1 and 3.
    const SketchMap map(testdata::OneWayPairSketch());
    const std::vector<ReadElement> elements = map.All();
    ASSERT_EQ(elements.size(), 2u);
    for (const ReadElement& element : elements) {
        const bool along = element.id == map.Id(0);
        EXPECT_EQ(element.direction, along ? 1u : 3u);
        StreetGraph graph;
        graph.AddElement(element.View());
        const Links links = LinksOf(graph, element.points.front(), element.points.back());
        EXPECT_EQ(links.forward, along ? 1u : 3u);
        EXPECT_EQ(links.backward, along ? 3u : 1u);
    }
}

TEST(StreetGraph, AddsNoZeroLengthLinkAndNothingForAnElementTwice) {
    const GeoPoint a{9.5f, 47.0f};
    const GeoPoint b{9.501f, 47.0f};
    const GeoPoint c{9.502f, 47.001f};
    const struct {
        const char* name;
        std::vector<GeoPoint> points;
        int times;
        std::size_t nodes;
        std::size_t links;
    } cases[] = {
        {"repeated middle point", {a, b, b, c}, 1, 3, 4},
        {"repeated first point", {a, a, b}, 1, 2, 2},
        {"one point", {a}, 1, 0, 0},
        {"all points equal", {a, a, a}, 1, 0, 0},
        {"twice", {a, b, c}, 2, 3, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        StreetGraph graph;
        for (int i = 0; i < c.times; ++i) {
            graph.AddElement({9, c.points, 2});
        }
        EXPECT_EQ(graph.NodeCount(), c.nodes);
        EXPECT_EQ(LinkCount(graph), c.links);
        EXPECT_EQ(graph.ElementIds().size(), c.points.size() > 1 ? 1u : 0u);
    }
}

TEST(StreetGraph, LookupsAgreeWithLinearScansOverRandomSketches) {
    std::mt19937 random(36);
    for (int round = 0; round < 20; ++round) {
        StreetGraph graph;
        std::vector<GeoPoint> all;
        std::vector<std::uint32_t> ids;
        for (int e = 0; e < 15; ++e) {
            std::vector<GeoPoint> points;
            for (int p = 0; p < 4; ++p) {
                points.push_back({9.5f + static_cast<float>(random() % 6) * 1e-4f,
                                  47.0f + static_cast<float>(random() % 6) * 1e-4f});
            }
            const auto id = static_cast<std::uint32_t>(random() % 40);
            graph.AddElement({id, points, 2});
            all.insert(all.end(), points.begin(), points.end());
            ids.push_back(id);
        }
        for (std::size_t i = 1; i < graph.NodeCount(); ++i) {
            const GeoPoint& p = graph.Node(i - 1).point;
            const GeoPoint& q = graph.Node(i).point;
            ASSERT_TRUE(p.x < q.x || (p.x == q.x && p.y < q.y));
        }
        ASSERT_TRUE(std::is_sorted(graph.ElementIds().begin(), graph.ElementIds().end()));
        ASSERT_EQ(std::adjacent_find(graph.ElementIds().begin(), graph.ElementIds().end()),
                  graph.ElementIds().end());
        for (int probe = 0; probe < 50; ++probe) {
            const GeoPoint p{9.5f + static_cast<float>(random() % 7) * 1e-4f,
                             47.0f + static_cast<float>(random() % 7) * 1e-4f};
            const GraphLookup node = graph.FindNode(p);
            bool anyEqual = false;
            for (std::size_t i = 0; i < graph.NodeCount(); ++i) {
                anyEqual = anyEqual || graph.Node(i).point == p;
            }
            EXPECT_EQ(node.found, anyEqual);
            EXPECT_EQ(node.found, std::find(all.begin(), all.end(), p) != all.end());
            if (node.found) {
                EXPECT_EQ(graph.Node(node.index).point, p);
            }
            const auto id = static_cast<std::uint32_t>(random() % 45);
            const GraphLookup element = graph.HasElement(id);
            EXPECT_EQ(element.found, std::find(ids.begin(), ids.end(), id) != ids.end());
        }
    }
}

TEST(StreetGraph, RaiseWeightStopsAtMaxStreetPondering) {
    const GeoPoint a{9.5f, 47.0f};
    const GeoPoint b{9.501f, 47.0f};
    const GeoPoint points[] = {a, b};
    for (const std::int32_t cap : {0, 1, 3, 5}) {
        SCOPED_TRACE(cap);
        SetMaxStreetPondering(cap);
        StreetGraph graph;
        graph.AddElement({4, points, 2});
        for (int i = 0; i < 8; ++i) {
            graph.RaiseWeight(4, a, b);
            graph.RaiseWeight(5, a, b); // another street: no link of it
        }
        EXPECT_EQ(graph.Node(graph.FindNode(a).index).links[0].weight, cap);
        EXPECT_EQ(graph.Node(graph.FindNode(b).index).links[0].weight, 0);
        EXPECT_EQ(graph.FindStreet(a, b), 4);
        EXPECT_EQ(graph.FindStreet(a, {9.6f, 47.0f}), -1);
    }
    SetMaxStreetPondering(kDefaultMaxStreetPondering);
}

TEST(StreetGraph, ExtractStreetOrientsByPreviousStreetOrReference) {
    const testdata::MatcherSketch sketch = testdata::TJunctionSketch();
    const GeoPoint w = SketchNode(sketch, 'W');
    const GeoPoint j = SketchNode(sketch, 'J');
    const GeoPoint e = SketchNode(sketch, 'E');
    const GeoPoint s = SketchNode(sketch, 'S');
    StreetGraph graph;
    const GeoPoint main[] = {w, j, e};
    const GeoPoint side[] = {j, s};
    graph.AddElement({1, main, 2});
    graph.AddElement({2, side, 2});
    const struct {
        const char* name;
        std::uint32_t id;
        std::uint32_t previous;
        GeoPoint reference;
        std::vector<GeoPoint> expected;
    } cases[] = {
        {"graph order", 1, kNoElement, {}, {w, j, e}},
        {"reference at the first end", 1, kNoElement, w, {e, j, w}},
        {"reference elsewhere", 1, kNoElement, j, {w, j, e}},
        {"starts where the previous street joins", 2, 1, {}, {j, s}},
        {"previous street not at its end", 1, 2, {}, {w, j, e}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<GeoPoint> out;
        ASSERT_TRUE(graph.ExtractStreet(c.id, c.previous, out, c.reference));
        EXPECT_EQ(out, c.expected);
    }
    std::vector<GeoPoint> out;
    EXPECT_FALSE(graph.ExtractStreet(3, kNoElement, out, {}));
}

TEST(StreetGraph, ExtractStreetFailsOnARingAndEndsOnALollipop) {
    const struct {
        const char* name;
        testdata::MatcherSketch sketch;
        bool found;
        std::size_t points; // distinct points of the polyline
    } cases[] = {{"ring", testdata::RingSketch(), false, 12},
                 {"lollipop", testdata::LollipopSketch(), true, 12}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const SketchMap map(c.sketch);
        const std::vector<ReadElement> elements = map.All();
        ASSERT_EQ(elements.size(), 1u);
        StreetGraph graph;
        graph.AddElement(elements[0].View());
        std::vector<GeoPoint> out;
        EXPECT_EQ(graph.ExtractStreet(map.Id(0), kNoElement, out, {}), c.found);
        EXPECT_EQ(out.size(), c.found ? c.points : 0u);
        if (c.found) {
            EXPECT_EQ(out.front(), elements[0].points.front());
        }
    }
}

TEST(StreetGraph, PurgeKeepsNodesInsideTheAreaAndThoseWhoseLinksOverlapIt) {
    const GeoRect area(9.5f, 47.0f, 9.51f, 47.01f);
    const struct {
        const char* name;
        GeoPoint a;
        GeoPoint b;
        std::size_t kept;
        std::size_t links;
    } cases[] = {
        {"both inside", {9.501f, 47.001f}, {9.502f, 47.002f}, 2, 2},
        {"one on the border, the other's box only touching",
         {9.51f, 47.005f},
         {9.52f, 47.005f},
         1,
         0},
        {"crossing the area", {9.49f, 47.005f}, {9.52f, 47.005f}, 2, 2},
        {"box touching the area", {9.51f, 46.99f}, {9.52f, 47.0f}, 0, 0},
        {"far away", {9.6f, 47.1f}, {9.61f, 47.1f}, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        StreetGraph graph;
        graph.SetSearchArea(area);
        const GeoPoint points[] = {c.a, c.b};
        graph.AddElement({3, points, 2});
        graph.Purge();
        EXPECT_EQ(graph.NodeCount(), c.kept);
        EXPECT_EQ(LinkCount(graph), c.links);
        EXPECT_TRUE(graph.ElementIds().empty());
    }
    // A node outside is dropped with the link that pointed back at it.
    StreetGraph graph;
    graph.SetSearchArea(area);
    const GeoPoint inside{9.505f, 47.005f};
    const GeoPoint points[] = {{9.6f, 47.1f}, {9.6f, 47.2f}, inside, {9.506f, 47.006f}};
    graph.AddElement({3, points, 2});
    graph.Purge();
    EXPECT_EQ(graph.NodeCount(), 3u); // the link from inside to 47.2 still crosses the area
    EXPECT_TRUE(graph.FindNode({9.6f, 47.2f}).found);
    EXPECT_FALSE(graph.FindNode({9.6f, 47.1f}).found);
    EXPECT_EQ(graph.Node(graph.FindNode({9.6f, 47.2f}).index).links.size(), 1u);
}

} // namespace
