// The overlay's geometry: names, line width, pieces, chaining, arrow form, arrow polygons, the
// placement walk and range clipping.

#include "mapdisplay/overlaygeometry.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string Narrow(const std::u16string& text) {
    return std::string(text.begin(), text.end());
}

TEST(OverlayGeometry, DisplayNamesAreTitleCased) {
    const struct {
        std::string in;
        std::string out;
    } cases[] = {{"as nord", "AS Nord"}, {"am markt", "Am Markt"}, {"ak", "Ak"},
                 {"ad west", "AD West"}, {"Stau.bmp", "Stau.Bmp"}, {"BAU-STELLE", "Bau-Stelle"}};
    for (const auto& c : cases) {
        EXPECT_EQ(Narrow(DisplayName(c.in)), c.out) << c.in;
    }
    EXPECT_EQ(DisplayName("\xE4rger"), u"\u00C4rger"); // code page 1252 widened first
}

TEST(OverlayGeometry, LineWidthRoundsFourOverScale) {
    const struct {
        double scale;
        int width;
    } cases[] = {{1.0, 40}, {0.5, 80}, {2.0, 20}, {1.6, 30}, {10.0, 20}, {0.0, 20}};
    for (const auto& c : cases) {
        EXPECT_EQ(OverlayLineWidth(c.scale), c.width) << c.scale;
    }
}

// Elements on the x axis: element k runs from k to k + 1 (x), through a midpoint.
StretchElement Segment(float from, float to, std::uint32_t direction) {
    return {{{from, 0}, {(from + to) / 2, 0.5f}, {to, 0}},
            direction,
            static_cast<std::uint32_t>(from * 10)};
}

std::vector<float> Xs(const std::vector<GeoPoint>& line) {
    std::vector<float> xs;
    for (const GeoPoint& p : line) {
        xs.push_back(p.x);
    }
    return xs;
}

TEST(OverlayGeometry, PiecesFollowTheDirectionCode) {
    const std::vector<StretchElement> elements{
        Segment(1, 2, 0), Segment(1, 2, 1), Segment(1, 2, 2), Segment(1, 2, 3), {{{5, 5}}, 1}};
    const std::vector<StretchPiece> pieces = BuildPieces(elements);
    ASSERT_EQ(pieces.size(), 4u);
    EXPECT_EQ(pieces[0].element, 1u);
    EXPECT_TRUE(pieces[0].isForward);
    EXPECT_EQ(pieces[0].start, (GeoPoint{1, 0}));
    EXPECT_EQ(pieces[1].element, 2u);
    EXPECT_TRUE(pieces[1].isForward);
    EXPECT_EQ(pieces[2].element, 2u);
    EXPECT_FALSE(pieces[2].isForward);
    EXPECT_EQ(pieces[2].start, (GeoPoint{2, 0}));
    EXPECT_EQ(pieces[3].element, 3u);
    EXPECT_FALSE(pieces[3].isForward);
    EXPECT_EQ(pieces[3].end, (GeoPoint{1, 0}));
}

TEST(OverlayGeometry, ChainsPiecesIntoOneStretch) {
    const struct {
        const char* name;
        std::vector<StretchElement> elements;
        std::vector<float> xs;
        bool isArrowForm;
    } cases[] = {
        // Given out of order, chained from the piece nothing leads into.
        {"three forward",
         {Segment(2, 3, 1), Segment(1, 2, 1), Segment(3, 4, 1)},
         {1, 1.5f, 2, 2.5f, 3, 3.5f, 4},
         true},
        {"one backward", {Segment(1, 2, 3)}, {2, 1.5f, 1}, true},
        // Both pieces of one element: the walk does not turn back on the same element.
        {"two-way element", {Segment(1, 2, 2)}, {1, 1.5f, 2}, false},
        {"backward chain", {Segment(1, 2, 3), Segment(2, 3, 3)}, {3, 2.5f, 2, 1.5f, 1}, false},
        // A ring ends at the first piece met again.
        {"cycle",
         {{{{5, 5}, {6, 5}}, 1, 1}, {{{6, 5}, {6, 6}}, 1, 2}, {{{6, 6}, {5, 5}}, 1, 3}},
         {5, 6, 6, 5},
         true},
        {"no pieces", {Segment(1, 2, 0)}, {}, true},
        // A message naming each element once per direction: the forward run, not back again.
        {"both sides",
         {Segment(2, 3, 3), Segment(1, 2, 3), Segment(1, 2, 1), Segment(2, 3, 1)},
         {1, 1.5f, 2, 2.5f, 3},
         false},
    };
    for (const auto& c : cases) {
        const std::vector<StretchPiece> pieces = BuildPieces(c.elements);
        EXPECT_EQ(Xs(ChainPieces(pieces, c.elements)), c.xs) << c.name;
        EXPECT_EQ(IsArrowForm(pieces), c.isArrowForm) << c.name;
    }
}

TEST(OverlayGeometry, ArrowPolygons) {
    // Pointing along +x to (100, 50): shaft 32, half width 4, head 28 at 0.314159 rad.
    const std::vector<POINT> seven = ArrowPolygon({0, 50}, {100, 50}, true);
    const std::vector<POINT> expected{{68, 54}, {76, 54}, {74, 58}, {100, 50},
                                      {74, 42}, {76, 46}, {68, 46}};
    ASSERT_EQ(seven.size(), 7u);
    for (std::size_t i = 0; i < 7; ++i) {
        EXPECT_EQ(seven[i].x, expected[i].x) << i;
        EXPECT_EQ(seven[i].y, expected[i].y) << i;
    }
    const std::vector<POINT> ten = ArrowPolygon({0, 50}, {100, 50}, false);
    ASSERT_EQ(ten.size(), 10u);
    // M = ((76 + 76) / 2, (54 + 46) / 2) - (32, 0) = (44, 50), with a second head behind it.
    EXPECT_EQ(ten[8].x, 44);
    EXPECT_EQ(ten[8].y, 50);
    EXPECT_EQ(ten[7].x, 44 + 26);
    EXPECT_EQ(ten[7].y, 50 - 8);
    EXPECT_EQ(ten[9].y, 50 + 8);
}

TEST(OverlayGeometry, MarksFromTheEnd) {
    const struct {
        const char* name;
        std::vector<POINT> points;
        std::vector<StretchMark> marks;
    } cases[] = {
        {"too short", {{0, 0}}, {}},
        {"under 30 pixels",
         {{0, 0}, {10, 0}, {20, 0}},
         {{true, {0, 0}, {20, 0}}, {false, {0, 0}, {0, 0}}}},
        // Every 10 pixels from 0 to 300: arrow 270 -> 300, a gap of 90 to 180, the signs there
        // once 40 more pixels follow, a gap of 90 to 50, the arrow 10 -> 50.
        {"long",
         {},
         {{true, {270, 0}, {300, 0}}, {false, {180, 0}, {180, 0}}, {true, {10, 0}, {50, 0}}}},
    };
    for (const auto& c : cases) {
        std::vector<POINT> points = c.points;
        if (points.empty() && c.marks.size() == 3) {
            for (int x = 0; x <= 300; x += 10) {
                points.push_back({x, 0});
            }
        }
        EXPECT_EQ(PlaceMarks(points), c.marks) << c.name;
    }
}

TEST(OverlayGeometry, ClipsToTheCoveredRange) {
    const std::vector<POINT> line{{0, 0}, {100, 0}, {100, 100}};
    const struct {
        int start;
        int end;
        std::vector<POINT> clipped;
    } cases[] = {
        {0, 100, {{0, 0}, {100, 0}, {100, 100}}},
        {20, 60, {{40, 0}, {100, 0}, {100, 20}}},
        {10, 30, {{20, 0}, {60, 0}}},
    };
    for (const auto& c : cases) {
        const std::vector<POINT> clipped = ClipToRange(line, c.start, c.end);
        ASSERT_EQ(clipped.size(), c.clipped.size()) << c.start;
        for (std::size_t i = 0; i < clipped.size(); ++i) {
            EXPECT_EQ(clipped[i].x, c.clipped[i].x) << c.start << " " << i;
            EXPECT_EQ(clipped[i].y, c.clipped[i].y) << c.start << " " << i;
        }
    }
    EXPECT_TRUE(ClipToRange({{5, 5}, {5, 5}}, 0, 100).empty());
    EXPECT_TRUE(ClipToRange({{5, 5}}, 0, 100).empty());
}

} // namespace
