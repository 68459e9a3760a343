// The junction painter's exact points: bands with their joints, the arrow head, the layers of a
// picture and a roundabout's arc; GDI objects are all given back.
#include "junctionview/paint/junctionpainter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

using Kind = JunctionPrimitive::Kind;
using Points = std::vector<POINT>;

constexpr COLORREF kBand = RGB(10, 20, 30);
constexpr COLORREF kOutline = RGB(1, 2, 3);

JunctionPrimitive Primitive(Kind kind, Points points, JunctionPen pen, COLORREF brush) {
    JunctionPrimitive p;
    p.kind = kind;
    p.points = std::move(points);
    p.pen = pen;
    p.brush = brush;
    return p;
}

// The three primitives of a band: the polygon L, reversed R, L[0]; then the edges L and R.
std::vector<JunctionPrimitive> Band(const Points& left, const Points& right, COLORREF colour) {
    Points polygon(left);
    polygon.insert(polygon.end(), right.rbegin(), right.rend());
    polygon.push_back(left.front());
    return {Primitive(Kind::Polygon, polygon, {PS_SOLID, 1, colour}, colour),
            Primitive(Kind::Polyline, left, {PS_SOLID, 2, kOutline}, colour),
            Primitive(Kind::Polyline, right, {PS_SOLID, 2, kOutline}, colour)};
}

std::string Describe(const std::vector<JunctionPrimitive>& primitives) {
    std::string text;
    for (const JunctionPrimitive& p : primitives) {
        text +=
            std::to_string(static_cast<int>(p.kind)) + " pen " + std::to_string(p.pen.width) + ":";
        for (const POINT& point : p.points) {
            text += " (" + std::to_string(point.x) + "," + std::to_string(point.y) + ")";
        }
        text += "\n";
    }
    return text;
}

TEST(JunctionPainter, BandsWithTheirJoints) {
    const struct {
        const char* name;
        std::vector<JunctionSegment> run;
        std::int32_t width;
        Points left;
        Points right;
    } cases[] = {
        {"one segment: a rectangle",
         {{1, 0, 0, 100, 0}},
         16,
         {{0, 8}, {100, 8}},
         {{0, -8}, {100, -8}}},
        {"vertical: half the width across",
         {{1, 10, 0, 10, 50}},
         16,
         {{2, 0}, {2, 50}},
         {{18, 0}, {18, 50}}},
        {"right angle, width 16: mitred",
         {{1, 0, 0, 100, 0}, {1, 100, 0, 100, 100}},
         16,
         {{0, 8}, {92, 8}, {92, 8}, {92, 100}},
         {{0, -8}, {108, -8}, {108, -8}, {108, 100}}},
        {"right angle, width 10: mitred",
         {{1, 0, 0, 100, 0}, {1, 100, 0, 100, 100}},
         10,
         {{0, 5}, {95, 5}, {95, 5}, {95, 100}},
         {{0, -5}, {105, -5}, {105, -5}, {105, 100}}},
        {"collinear: the points stay",
         {{1, 0, 0, 50, 0}, {1, 50, 0, 100, 0}},
         16,
         {{0, 8}, {50, 8}, {50, 8}, {100, 8}},
         {{0, -8}, {50, -8}, {50, -8}, {100, -8}}},
        // Gaps of 2.2 (left) and 1.4 (right): both joined, no intersection.
        {"small bend: gaps joined",
         {{1, 0, 0, 100, 0}, {1, 100, 0, 200, 20}},
         16,
         {{0, 8}, {100, 8}, {100, 8}, {198, 27}},
         {{0, -8}, {100, -8}, {100, -8}, {201, 12}}},
        // Left gap 5.4 (over 4: intersected), right gap 4.5 (up to 10: joined).
        {"bend, width 20: left intersected, right joined",
         {{1, 0, 0, 100, 0}, {1, 100, 0, 200, 50}},
         20,
         {{0, 10}, {99, 10}, {99, 10}, {195, 58}},
         {{0, -10}, {100, -10}, {100, -10}, {204, 41}}},
    };
    const std::vector<std::uint32_t> none;
    JunctionStyle style;
    style.outlineColour = kOutline;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingJunctionCanvas canvas;
        JunctionPainter painter(style, none, canvas);
        painter.PaintBand(c.run, c.width, kBand);
        const auto expected = Band(c.left, c.right, kBand);
        EXPECT_EQ(canvas.Primitives(), expected) << Describe(canvas.Primitives()) << "expected\n"
                                                 << Describe(expected);
    }
}

TEST(JunctionPainter, ArrowHeads) {
    const struct {
        const char* name;
        std::uint32_t id;
        JunctionSegment arrow;
        std::int32_t routeWidth;
        Points head;    // C1, C2, tip
        Points outline; // E1, C1, tip, C2, E2
        COLORREF fill;
    } cases[] = {
        // W = 20: 40 wide; the outline starts 8 off the centre line; the tip 10 beyond.
        {"vertical, up, width 16",
         7,
         {7, 100, 200, 100, 100},
         16,
         {{120, 100}, {80, 100}, {100, 90}},
         {{108, 100}, {120, 100}, {100, 90}, {80, 100}, {92, 100}},
         RGB(0, 0, 255)},
        {"vertical, down, width 16",
         8,
         {8, 100, 100, 100, 200},
         16,
         {{80, 200}, {120, 200}, {100, 210}},
         {{92, 200}, {80, 200}, {100, 210}, {120, 200}, {108, 200}},
         RGB(0, 0, 0)},
        {"horizontal, width 10",
         7,
         {7, 0, 50, 100, 50},
         10,
         {{100, 62}, {100, 38}, {112, 50}},
         {{100, 55}, {100, 62}, {112, 50}, {100, 38}, {100, 45}},
         RGB(0, 0, 255)},
    };
    const std::vector<std::uint32_t> route{7};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        JunctionStyle style;
        style.outlineColour = kOutline;
        style.routeWidth = c.routeWidth;
        RecordingJunctionCanvas canvas;
        JunctionPainter painter(style, route, canvas);
        painter.PaintArrowHead(c.id, c.arrow.x1, c.arrow.y1, c.arrow.x2, c.arrow.y2);
        const std::vector<JunctionPrimitive> expected{
            Primitive(Kind::Polygon, c.head, {PS_SOLID, 1, c.fill}, c.fill),
            Primitive(Kind::Polyline, c.outline, {PS_SOLID, 2, kOutline}, c.fill)};
        EXPECT_EQ(canvas.Primitives(), expected) << Describe(canvas.Primitives());
    }
}

// A picture's layers, identified by pen width and brush: kinds in order.
std::vector<std::pair<Kind, COLORREF>> Layers(const std::vector<JunctionPrimitive>& primitives) {
    std::vector<std::pair<Kind, COLORREF>> layers;
    for (const JunctionPrimitive& p : primitives) {
        if (p.kind != Kind::Polyline) {
            layers.emplace_back(p.kind, p.brush);
        }
    }
    return layers;
}

TEST(JunctionPainter, LayersOfAPicture) {
    JunctionStyle style;
    style.routeColour = RGB(0, 0, 200);
    style.junctionRoadColour = RGB(50, 50, 50);
    style.sideRoadColour = RGB(200, 200, 200);
    style.extraRoadColour = RGB(200, 0, 0);
    style.backgroundColour = RGB(255, 255, 240);
    const std::vector<std::uint32_t> route{5};
    const std::vector<JunctionSegment> routeList{{4, 100, 200, 100, 100}, {5, 100, 100, 100, 20}};
    const std::vector<JunctionSegment> side{{6, 100, 100, 20, 100}, {5, 100, 100, 180, 100}};
    const std::vector<JunctionSegment> extra{{9, 100, 100, 150, 150}};
    JunctionScene scene;
    scene.screenRoute = routeList;
    scene.screenSide = side;
    scene.screenExtra = extra;
    scene.isModelEmpty = false;
    scene.targetRect = {0, 0, 200, 200};
    scene.arrowSegment = routeList.back();

    const auto paint = [&](const JunctionScene& s) {
        RecordingJunctionCanvas canvas;
        JunctionPainter painter(style, route, canvas);
        painter.PaintJunction(s);
        return canvas.Primitives();
    };
    const auto plain = Layers(paint(scene));
    const std::vector<std::pair<Kind, COLORREF>> expected{
        {Kind::Polygon, style.extraRoadColour},    // extra street 9
        {Kind::Polygon, style.sideRoadColour},     // side street 6; its route piece 5 held back
        {Kind::Polygon, style.junctionRoadColour}, // the route path
        {Kind::Polygon, style.routeColour},        // its route elements
        {Kind::Polygon, style.routeColour},        // the side street's route piece
        {Kind::Polygon, style.routeColour}};       // the arrow head
    EXPECT_EQ(plain, expected);

    JunctionScene empty = scene;
    empty.isModelEmpty = true;
    EXPECT_TRUE(paint(empty).empty()) << "an empty model paints nothing";

    // A roundabout without an exit point: the ring and the route, no arc, island or arrow.
    JunctionScene ring = scene;
    ring.isRoundabout = true;
    ring.screenSide = {};
    ring.screenExtra = {};
    ring.arrowSegment = junctionview::UnsetSegment();
    const auto primitives = paint(ring);
    ASSERT_FALSE(primitives.empty());
    EXPECT_EQ(primitives.front(),
              Primitive(Kind::Ellipse, {{25, 25}, {175, 175}}, {PS_SOLID, 3, style.sideRoadColour},
                        style.backgroundColour));
    EXPECT_EQ(Layers(primitives),
              (std::vector<std::pair<Kind, COLORREF>>{{Kind::Ellipse, style.backgroundColour},
                                                      {Kind::Polygon, style.junctionRoadColour}}))
        << "segment 4 off the route in the junction colour; nothing after it";
}

TEST(JunctionPainter, RoundaboutArcEnds) {
    JunctionStyle style;
    style.routeColour = RGB(0, 0, 200);
    style.junctionRoadColour = RGB(50, 50, 50);
    const std::vector<std::uint32_t> route;
    const struct {
        const char* name;
        JunctionSegment arrow;
        JunctionSegment approach;
        bool reverse;
        POINT first;        // the arc's first point
        bool isOnRightSide; // every outer point at x >= the centre
    } cases[] = {
        // Exit straight above (pi/2), entry straight below (3pi/2): a half ring on the right.
        {"exit above, entry below",
         {3, -1, -1, 100, 20},
         {0, 100, 180, 100, 150},
         false,
         {100, 175},
         true},
        // Reversed: from pi/2 on to 3pi/2 + 2pi: the left half.
        {"reversed", {3, -1, -1, 100, 20}, {0, 100, 180, 100, 150}, true, {100, 25}, false},
        // Exit below, entry to the right (0): from 0 to 3pi/2 counter-clockwise.
        {"exit below", {3, 100, 150, 100, 180}, {0, 180, 100, 150, 100}, false, {175, 100}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        JunctionScene scene;
        scene.isModelEmpty = false;
        scene.isRoundabout = true;
        scene.targetRect = {0, 0, 200, 200};
        scene.arrowSegment = c.arrow;
        scene.approachSegment = c.approach;
        scene.reverseArc = c.reverse;
        RecordingJunctionCanvas canvas;
        JunctionPainter painter(style, route, canvas);
        painter.PaintJunction(scene);
        const auto& primitives = canvas.Primitives();
        const auto arc =
            std::find_if(primitives.begin(), primitives.end(), [](const JunctionPrimitive& p) {
                return p.kind == Kind::Polygon && p.pen.style == PS_NULL;
            });
        ASSERT_NE(arc, primitives.end());
        EXPECT_EQ(arc->brush, c.arrow.x1 == -1 ? style.routeColour : style.junctionRoadColour);
        ASSERT_GT(arc->points.size(), 100u) << "a sliver or nothing when both ends take one angle";
        EXPECT_EQ(arc->points.front().x, c.first.x);
        EXPECT_EQ(arc->points.front().y, c.first.y);
        EXPECT_EQ(arc->points.back().x, c.first.x);
        const std::size_t outer = (arc->points.size() - 1) / 2;
        const bool isRight = std::all_of(arc->points.begin(), arc->points.begin() + outer,
                                         [](const POINT& p) { return p.x >= 100; });
        EXPECT_EQ(isRight, c.isOnRightSide);
        // Island after the arc, then the arrow head.
        EXPECT_EQ(primitives.back().kind, c.arrow.x1 == -1 ? Kind::Ellipse : Kind::Polyline);
    }
}

TEST(JunctionPainter, GdiObjectsAreGivenBack) {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateBitmap(200, 200, 1, 32, nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap);
    const platform::GdiObjectCounts before = platform::CountLiveGdiObjects();
    const std::vector<JunctionSegment> routeList{{4, 100, 200, 100, 100}, {5, 100, 100, 30, 40}};
    JunctionScene scene;
    scene.screenRoute = routeList;
    scene.isModelEmpty = false;
    scene.isRoundabout = true;
    scene.targetRect = {0, 0, 200, 200};
    scene.arrowSegment = routeList.back();
    const std::vector<std::uint32_t> route{5};
    {
        GdiJunctionCanvas canvas(dc);
        JunctionPainter painter(JunctionStyle{}, route, canvas);
        painter.PaintJunction(scene);
    }
    EXPECT_EQ(platform::CountLiveGdiObjects(), before);
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
}

} // namespace
