// The polyline operations of route positions and the route iterator, at their edges: the ends of
// a line, lines of one or no vertex, and points off the line.
#include "routing/routepolyline.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// On the equator 0.001 degrees of longitude are 111.134 m (radius 6367444.0 m).
constexpr double kMetresPerMilliDegree = 111.134;
const std::vector<GeoPoint> kLine{{0.000f, 0.0f}, {0.001f, 0.0f}, {0.002f, 0.0f}, {0.002f, 0.001f}};

TEST(ProjectOntoPolyline, NeverEndsOnAnEndVertex) {
    const struct {
        std::string name;
        GeoPoint p;
        std::vector<GeoPoint> line;
        GeoPoint expected;
    } cases[] = {
        {"first vertex: middle of the first segment", {0.0f, 0.0f}, kLine, {0.0005f, 0.0f}},
        {"before the first vertex", {-0.001f, 0.0003f}, kLine, {0.0005f, 0.0f}},
        {"last vertex: middle of the last segment", {0.002f, 0.001f}, kLine, {0.002f, 0.0005f}},
        {"beyond the last vertex", {0.0025f, 0.002f}, kLine, {0.002f, 0.0005f}},
        {"beside the second segment", {0.0015f, -0.0004f}, kLine, {0.0015f, 0.0f}},
        {"an inner vertex stays", {0.001f, -0.0004f}, kLine, {0.001f, 0.0f}},
        {"one vertex: that vertex", {0.5f, 0.5f}, {{0.1f, 0.2f}}, {0.1f, 0.2f}},
        {"no vertex: the point", {0.5f, 0.5f}, {}, {0.5f, 0.5f}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const GeoPoint q = ProjectOntoPolyline(c.p, c.line);
        EXPECT_NEAR(q.x, c.expected.x, 1e-7);
        EXPECT_NEAR(q.y, c.expected.y, 1e-7);
    }
}

TEST(LengthAlongPolyline, SplitsTheLineAtTheNearestSegment) {
    const struct {
        std::string name;
        GeoPoint p;
        std::vector<GeoPoint> line;
        double toMilliDegrees;
        double fromMilliDegrees;
    } cases[] = {
        {"on the first vertex", {0.0f, 0.0f}, kLine, 0.0, 3.0},
        {"beside the second segment", {0.0015f, 0.0004f}, kLine, 1.5, 1.5},
        {"beyond the last vertex", {0.003f, 0.002f}, kLine, 3.0, 0.0},
        {"one vertex", {0.003f, 0.002f}, {{0.1f, 0.2f}}, 0.0, 0.0},
        {"no vertex", {0.003f, 0.002f}, {}, 0.0, 0.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_NEAR(LengthToProjection(c.p, c.line), c.toMilliDegrees * kMetresPerMilliDegree, 0.2);
        EXPECT_NEAR(LengthFromProjection(c.p, c.line), c.fromMilliDegrees * kMetresPerMilliDegree,
                    0.2);
    }
}

TEST(CutPolyline, ReplacesTheNearestSegmentsEndByThePoint) {
    static const GeoPoint p{0.0015f, 0.0001f};
    const struct {
        std::string name;
        std::vector<GeoPoint> line;
        std::vector<GeoPoint> head;
        std::vector<GeoPoint> tail;
        GeoPoint at = p;
    } cases[] = {
        {"inside", kLine, {p, kLine[2], kLine[3]}, {kLine[0], kLine[1], p}},
        // A route that ends at a vertex of its element: the vertex, not a segment of no length.
        {"at the second vertex",
         kLine,
         {kLine[1], kLine[2], kLine[3]},
         {kLine[0], kLine[1]},
         kLine[1]},
        {"at the third vertex",
         kLine,
         {kLine[2], kLine[3]},
         {kLine[0], kLine[1], kLine[2]},
         kLine[2]},
        {"one segment", {kLine[1], kLine[2]}, {p, kLine[2]}, {kLine[1], p}},
        {"one vertex stays", {kLine[0]}, {kLine[0]}, {kLine[0]}},
        {"no vertex stays", {}, {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<GeoPoint> head = c.line;
        CutHeadAt(c.at, head);
        EXPECT_EQ(head, c.head);
        std::vector<GeoPoint> tail = c.line;
        CutTailAt(c.at, tail);
        EXPECT_EQ(tail, c.tail);
    }
}

} // namespace
