#include "mapdisplay/labellayer.h"
#include "testdata/golden.h"

#include "platform/gdi/gdi.h"
#include "platform/gdi/text.h"
#include "platform/kernel/debug.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace {

constexpr COLORREF kSentinel = 0x123456;

// A memory DC on a 32-bit bitmap filled with the sentinel, every face pinned to one font file.
class Surface {
public:
    Surface(int width, int height)
        : m_width(width)
        , m_height(height) {
        platform::SetFontFile("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
        m_dc = CreateCompatibleDC(nullptr);
        m_bitmap = CreateBitmap(width, height, 1, 32, nullptr);
        m_old = SelectObject(m_dc, m_bitmap);
        Fill();
    }
    ~Surface() {
        SelectObject(m_dc, m_old);
        DeleteObject(m_bitmap);
        DeleteDC(m_dc);
        platform::SetFontFile({});
    }
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;
    // Back to the sentinel everywhere.
    void Fill() const {
        HBRUSH brush = CreateSolidBrush(kSentinel);
        const RECT all{0, 0, m_width, m_height};
        FillRect(m_dc, &all, brush);
        DeleteObject(brush);
    }
    [[nodiscard]] HDC Dc() const { return m_dc; }
    [[nodiscard]] int Width() const { return m_width; }
    [[nodiscard]] int Height() const { return m_height; }

private:
    int m_width;
    int m_height;
    HDC m_dc;
    HBITMAP m_bitmap;
    HGDIOBJ m_old;
};

// The text's size in the layer's font of the key, measured independently.
SIZE TextSize(std::uint32_t fontKey, std::u16string_view text) {
    const std::optional<LOGFONTW> font = LabelFontTable::Instance().FontOf(fontKey);
    HDC dc = CreateCompatibleDC(nullptr);
    HFONT handle = CreateFontIndirectW(&*font);
    HGDIOBJ old = SelectObject(dc, handle);
    SIZE size{};
    EXPECT_TRUE(GetTextExtentExPointW(dc, text.data(), static_cast<int>(text.size()), 0, nullptr,
                                      nullptr, &size));
    SelectObject(dc, old);
    DeleteObject(handle);
    DeleteDC(dc);
    return size;
}

Label Box(std::array<POINT, 4> c) {
    Label label;
    label.corners = c;
    label.bounds = {c[0].x, c[0].y, c[0].x, c[0].y};
    for (const POINT& p : c) {
        label.bounds = {std::min(label.bounds.left, p.x), std::min(label.bounds.top, p.y),
                        std::max(label.bounds.right, p.x), std::max(label.bounds.bottom, p.y)};
    }
    return label;
}

std::array<POINT, 4> Rect(LONG l, LONG t, LONG r, LONG b) {
    return {POINT{l, t}, POINT{r, t}, POINT{r, b}, POINT{l, b}};
}

TEST(LabelGeometry, OverlapNeedsCrossingEdgesOrContainment) {
    const struct {
        std::array<POINT, 4> a;
        std::array<POINT, 4> b;
        bool overlaps;
    } cases[] = {
        {Rect(0, 0, 100, 20), Rect(50, 10, 150, 30), true},  // edges cross
        {Rect(0, 0, 100, 20), Rect(10, 5, 30, 15), true},    // b inside a
        {Rect(10, 5, 30, 15), Rect(0, 0, 100, 20), true},    // a inside b
        {Rect(0, 0, 100, 20), Rect(100, 0, 200, 20), false}, // touching bounds
        {Rect(0, 0, 100, 20), Rect(0, 40, 100, 60), false},  // apart
        {RotatedBox(100, 100, {40, 10}, std::numbers::pi / 4), Rect(112, 112, 140, 140), false},
        // A corner of each inside the other, the corners listed from another start: the
        // crossing edges are the pairs a test of three edge pairs per edge never looks at.
        {Rect(0, 0, 100, 20), {POINT{200, 10}, POINT{90, 10}, POINT{90, 30}, POINT{200, 30}}, true},
        {{POINT{200, 10}, POINT{90, 10}, POINT{90, 30}, POINT{200, 30}}, Rect(0, 0, 100, 20), true},
        // Edges crossing in a plus, both boxes listed from another corner.
        {{POINT{100, 10}, POINT{100, 20}, POINT{0, 20}, POINT{0, 10}},
         {POINT{60, 0}, POINT{60, 30}, POINT{40, 30}, POINT{40, 0}},
         true},
        // Corners meeting on an edge only: no shared area.
        {Rect(0, 0, 100, 20),
         {POINT{100, 20}, POINT{120, 40}, POINT{100, 60}, POINT{80, 40}},
         false},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(LabelsOverlap(Box(cases[i].a), Box(cases[i].b)), cases[i].overlaps);
    }
}

TEST(LabelGeometry, RotatesBoxesAroundTheAnchorAndStepsEscapementsByTwoDegrees) {
    const struct {
        double degrees;
        std::array<POINT, 4> corners;
    } boxes[] = {
        {0, {POINT{80, 95}, POINT{120, 95}, POINT{120, 105}, POINT{80, 105}}},
        {45, {POINT{82, 110}, POINT{110, 82}, POINT{117, 89}, POINT{89, 117}}},
        {90, {POINT{95, 120}, POINT{95, 80}, POINT{105, 80}, POINT{105, 120}}},
    };
    for (const auto& c : boxes) {
        SCOPED_TRACE(c.degrees);
        const auto corners = RotatedBox(100, 100, {40, 10}, c.degrees * std::numbers::pi / 180);
        for (std::size_t i = 0; i < 4; ++i) {
            EXPECT_EQ(corners[i].x, c.corners[i].x);
            EXPECT_EQ(corners[i].y, c.corners[i].y);
        }
    }
    const struct {
        double degrees;
        int escapement;
    } steps[] = {{0, 0}, {1, 0}, {10, 100}, {30, 300}, {45, 440}, {90, 900}, {-45, -440}};
    for (const auto& s : steps) {
        SCOPED_TRACE(s.degrees);
        EXPECT_EQ(LabelEscapement(s.degrees * std::numbers::pi / 180), s.escapement);
    }
}

TEST(LabelGeometry, SimplifiesByFourPixelsWithTheBeyondTheEndDistance) {
    const struct {
        std::vector<POINT> points;
        std::vector<std::size_t> kept;
    } cases[] = {
        {{{0, 0}, {10, 2}, {20, 0}}, {0, 2}},    // within tolerance
        {{{0, 0}, {10, 5}, {20, 0}}, {0, 1, 2}}, // beyond it
        {{{0, 0}, {-4, 3}, {10, 0}}, {0, 1, 2}}, // before the start: 4 + 3 / 3
        {{{0, 0}, {-3, 3}, {10, 0}}, {0, 2}},    // 3 + 1 is not beyond 4
        {{{0, 0}, {14, 3}, {10, 0}}, {0, 1, 2}}, // past the end
        {{{0, 0}, {10, 10}, {20, 0}, {30, 1}, {40, 0}}, {0, 1, 2, 4}},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(SimplifyPolyline(cases[i].points.data(), cases[i].points.size(), 4.0),
                  cases[i].kept);
    }
}

// The plain recursion the layer's simplification must agree with, index for index.
void ReferenceSimplify(const std::vector<POINT>& points, std::size_t first, std::size_t last,
                       double tolerance, std::vector<std::size_t>& kept) {
    const POINT a = points[first];
    const POINT b = points[last];
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    const double lengthSquared = dx * dx + dy * dy;
    double farthest = 0;
    std::size_t at = first;
    for (std::size_t i = first + 1; i < last; ++i) {
        const POINT p = points[i];
        const double dot = (p.x - a.x) * dx + (p.y - a.y) * dy;
        double d = 0;
        if (lengthSquared == 0 || dot < 0 || dot > lengthSquared) {
            const POINT end = lengthSquared == 0 || dot < 0 ? a : b;
            const double ax = std::abs(static_cast<double>(p.x - end.x));
            const double ay = std::abs(static_cast<double>(p.y - end.y));
            d = std::max(ax, ay) + std::min(ax, ay) / 3;
        } else {
            d = std::abs((p.x - a.x) * dy - (p.y - a.y) * dx) / std::sqrt(lengthSquared);
        }
        if (d > farthest) {
            farthest = d;
            at = i;
        }
    }
    if (farthest > tolerance) {
        ReferenceSimplify(points, first, at, tolerance, kept);
        kept.push_back(at);
        ReferenceSimplify(points, at, last, tolerance, kept);
    }
}

// Random walks like bending streets, scattered points, repeated points and straight runs: the
// same kept points as the plain recursion. A negative tolerance keeps what 0 keeps.
TEST(LabelGeometry, SimplifiesAsThePlainRecursionDoes) {
    std::mt19937 random(3);
    const struct {
        int range;
        int step; // 0: scattered points
        double tolerance;
    } cases[] = {{400, 6, 4.0}, {400, 0, 4.0}, {50, 2, 4.0},  {100000, 0, 4.0},
                 {400, 6, 0.5}, {400, 1, 0.0}, {30, 0, -2.0}, {400, 6, -1.0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.range) + " " + std::to_string(c.step));
        std::uniform_int_distribution<int> coordinate(-c.range, c.range);
        std::uniform_int_distribution<int> step(-c.step, c.step);
        for (int line = 0; line < 300; ++line) {
            std::vector<POINT> points;
            POINT p{coordinate(random), coordinate(random)};
            const int count = 1 + line % 45;
            for (int i = 0; i < count; ++i) {
                points.push_back(c.step == 0 ? POINT{coordinate(random), coordinate(random)} : p);
                if (line % 4 == 0 && i % 3 == 0) {
                    points.push_back(points.back()); // a point given twice
                }
                p = {p.x + 8 + step(random), p.y + step(random)};
            }
            std::vector<std::size_t> expected = {0};
            if (points.size() > 1) {
                ReferenceSimplify(points, 0, points.size() - 1, std::max(c.tolerance, 0.0),
                                  expected);
                expected.push_back(points.size() - 1);
            }
            ASSERT_EQ(SimplifyPolyline(points.data(), points.size(), c.tolerance), expected)
                << line;
        }
    }
}

// Near the origin distances are ranked in integers, far from it in doubles: both keep the same
// points, where distances tie, lie exactly at the tolerance or beyond a chord's end, and for
// lines too long to rank in integers.
TEST(LabelGeometry, SimplifiesNearTheOriginAsFarFromIt) {
    std::mt19937 random(11);
    constexpr LONG kFar = LONG{1} << 28;
    const struct {
        int range; // points on a small grid tie often
        double tolerance;
        int count; // points at most
    } cases[] = {
        {3, 0.0, 12},  {4, 1.0, 12},  {6, 2.0, 20}, {8, 4.0, 30},    {5, std::sqrt(2.0), 20},
        {8, -1.0, 12}, {60, 4.0, 40}, {2, 0.5, 8},  {1000, 4.0, 300}};
    // 273 / 91 is 3, but 273 times the rounded 1 / 91 rounds above 3: the point counts as beyond.
    const std::vector<POINT> rounded = {{0, 0}, {40, 3}, {91, 0}};
    const std::vector<POINT> roundedFar = {{kFar, 0}, {kFar + 40, 3}, {kFar + 91, 0}};
    EXPECT_EQ(SimplifyPolyline(rounded.data(), rounded.size(), 3.0),
              (std::vector<std::size_t>{0, 1, 2}));
    EXPECT_EQ(SimplifyPolyline(roundedFar.data(), roundedFar.size(), 3.0),
              (std::vector<std::size_t>{0, 1, 2}));
    // Over this chord the third point lies 1 farther than the second, but the doubles the
    // products round to tie them, and the first of equals is kept, as it always was.
    const std::vector<POINT> tied = {{0, 0},
                                     {LONG{1} << 28, (LONG{1} << 28) + 4096},
                                     {(LONG{1} << 28) + 1, (LONG{1} << 28) + 4097},
                                     {(LONG{1} << 30) + 1, LONG{1} << 30}};
    EXPECT_EQ(SimplifyPolyline(tied.data(), tied.size(), 4.0), (std::vector<std::size_t>{0, 1, 3}));
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.range) + " " + std::to_string(c.tolerance));
        std::uniform_int_distribution<int> coordinate(-c.range, c.range);
        for (int line = 0; line < 2000; ++line) {
            std::vector<POINT> near;
            std::vector<POINT> far;
            const int count = 2 + line % (c.count - 1);
            for (int i = 0; i < count; ++i) {
                near.push_back({coordinate(random), coordinate(random)});
                far.push_back({near.back().x + kFar, near.back().y - kFar});
            }
            ASSERT_EQ(SimplifyPolyline(near.data(), near.size(), c.tolerance),
                      SimplifyPolyline(far.data(), far.size(), c.tolerance))
                << line;
        }
    }
}

class LabelLayerTest : public ::testing::Test {
protected:
    Surface surface{400, 300};
    LabelLayer layer;
    void SetUp() override { layer.Begin(surface.Dc()); }
};

TEST_F(LabelLayerTest, RefusesThe201stLabelEvenWhereNothingOverlaps) {
    for (int i = 0; i < 201; ++i) {
        const POINT at{(i % 20) * 60, (i / 20) * 60};
        EXPECT_EQ(layer.AddPointLabel(at, at, u"x", 500, nullptr, 0, 0), i < 200);
    }
    EXPECT_EQ(layer.Labels().size(), 200U);
}

// A label offered among many placed ones is tested only against its neighbours, displaces every
// one it overlaps with a smaller class, and what stays never overlaps.
TEST_F(LabelLayerTest, TestsOnlyNeighboursAndDisplacesEveryOverlappedLabel) {
    for (int i = 0; i < 150; ++i) {
        const POINT at{(i % 15) * 70, (i / 15) * 40};
        const std::string digits = std::to_string(i);
        ASSERT_TRUE(layer.AddPointLabel(at, at, std::u16string(digits.begin(), digits.end()), 1500,
                                        nullptr, 0, 0));
    }
    const struct {
        POINT at;
        std::u16string text;
        std::uint32_t elementClass;
        bool isPlaced;
        std::size_t labels;
    } cases[] = {{{35, 40}, u"Between the first two", 1200, true, 149},
                 {{35 + 70 * 7, 200}, u"Also between two", 1600, false, 149},
                 {{35 + 70 * 7, 200}, u"Now placed", 1400, true, 148}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.elementClass);
        const LabelLayer::PlacementCounts before = layer.Counts();
        EXPECT_EQ(layer.AddPointLabel(c.at, c.at, c.text, c.elementClass, nullptr, 0, 0),
                  c.isPlaced);
        EXPECT_EQ(layer.Labels().size(), c.labels);
        EXPECT_EQ(layer.Counts().candidates - before.candidates, 1U);
        EXPECT_LE(layer.Counts().tests - before.tests, 20U);
    }
    const std::vector<Label>& labels = layer.Labels();
    for (std::size_t i = 0; i < labels.size(); ++i) {
        for (std::size_t j = i + 1; j < labels.size(); ++j)
            EXPECT_FALSE(LabelsOverlap(labels[i], labels[j])) << i << " " << j;
    }
}

TEST_F(LabelLayerTest, RefusesRepeatedTextsExceptLowPointClasses) {
    const POINT street[] = {{10, 20}, {110, 20}};
    const POINT elsewhere[] = {{10, 200}, {110, 200}};
    EXPECT_TRUE(layer.AddStreetLabel(street, 2, u"Main Street", 1070));
    EXPECT_FALSE(layer.AddStreetLabel(elsewhere, 2, u"Main Street", 1070));
    EXPECT_TRUE(layer.AddPointLabel({300, 100}, {300, 100}, u"Main Street", 500, nullptr, 0, 0));
    EXPECT_FALSE(layer.AddPointLabel({300, 250}, {300, 250}, u"Main Street", 1500, nullptr, 0, 0));
    EXPECT_FALSE(layer.AddStreetLabel(street, 2, u"", 1070));
    const POINT same[] = {{50, 50}, {50, 50}, {50, 50}};
    EXPECT_FALSE(layer.AddStreetLabel(same, 3, u"Lone", 1070));
    EXPECT_EQ(layer.Labels().size(), 2U);
}

// A text is refused while a label of it is placed in the same font, and admitted again once
// that label is displaced, scrolled out or cleared; among many placed texts too.
TEST_F(LabelLayerTest, AdmitsATextAgainOnceItsLabelIsGone) {
    const POINT street[] = {{100, 100}, {200, 100}};
    const POINT other[] = {{100, 250}, {200, 250}};
    ASSERT_TRUE(layer.AddStreetLabel(street, 2, u"Main Street", 1070));
    EXPECT_FALSE(layer.AddStreetLabel(other, 2, u"Main Street", 1070));
    ASSERT_TRUE(layer.AddPointLabel({150, 100}, {150, 100}, u"Over", 900, nullptr, 0, 0));
    ASSERT_EQ(layer.Labels().size(), 1U); // displaced
    EXPECT_TRUE(layer.AddStreetLabel(other, 2, u"Main Street", 1070));
    EXPECT_FALSE(layer.AddStreetLabel(street, 2, u"Main Street", 1070));
    layer.Shift({0, -200}, RECT{0, 0, 400, 200}); // the street at 250 is dropped
    ASSERT_EQ(layer.Labels().size(), 1U);
    EXPECT_TRUE(layer.AddStreetLabel(other, 2, u"Main Street", 1070));

    layer.Clear();
    const auto name = [](int i) {
        const std::string digits = std::to_string(i);
        return u"Road " + std::u16string(digits.begin(), digits.end());
    };
    for (int i = 0; i < 150; ++i) {
        const POINT line[] = {{(i % 5) * 90, (i / 5) * 20}, {(i % 5) * 90 + 30, (i / 5) * 20}};
        ASSERT_TRUE(layer.AddStreetLabel(line, 2, name(i), 1070 + i)) << i;
    }
    for (int i = 0; i < 150; ++i)
        EXPECT_FALSE(layer.AddStreetLabel(other, 2, name(i), 1)) << i;
    layer.Clear();
    EXPECT_TRUE(layer.AddStreetLabel(other, 2, name(7), 1070));
}

// Whatever the order of placing, displacing and scrolling, the labels are listed ordered by
// font key, then text, then the order in which they were placed (here their text colours).
TEST_F(LabelLayerTest, ListsByFontThenTextThenPlacement) {
    LOGFONTW large = *LabelFontTable::Instance().FontOf(0);
    large.lfHeight -= 4;
    const std::u16string texts[] = {u"Cc", u"Aa", u"Bb", u"Aa "};
    std::mt19937 random(9);
    std::vector<int> cells(60);
    for (int i = 0; i < 60; ++i)
        cells[i] = i;
    std::shuffle(cells.begin(), cells.end(), random);
    COLORREF placed = 0;
    const auto place = [&](POINT at, int cell, std::uint32_t elementClass) {
        const LOGFONTW* font = cell % 3 == 0 ? &large : nullptr;
        return layer.AddPointLabel(at, at, texts[cell % 4], elementClass, font, placed++, 0);
    };
    const auto isListedInOrder = [&] {
        const std::vector<Label>& labels = layer.Labels();
        return std::is_sorted(labels.begin(), labels.end(), [](const Label& a, const Label& b) {
            return std::tie(a.fontKey, a.text, a.textColour) <
                   std::tie(b.fontKey, b.text, b.textColour);
        });
    };
    for (const int cell : cells)
        ASSERT_TRUE(place({(cell % 10) * 40 + 20, (cell / 10) * 50 + 20}, cell, 600));
    EXPECT_TRUE(isListedInOrder());
    // Each displaces the two labels it lies between; later ones take the freed places.
    for (int row = 0; row < 6; row += 2) {
        const POINT at{40, row * 50 + 20};
        ASSERT_TRUE(layer.AddPointLabel(at, at, u"Aa Bb Cc Dd", 500, nullptr, placed++, 0));
        ASSERT_EQ(layer.Labels().size(), 60U - (row / 2 + 1));
    }
    EXPECT_TRUE(isListedInOrder());
    for (int cell = 0; cell < 12; ++cell)
        (void)place({(cell % 10) * 40 + 20, 320 + (cell / 10) * 50}, cell, 600);
    EXPECT_TRUE(isListedInOrder());
    const std::size_t before = layer.Labels().size();
    layer.Shift({-100, 0}, RECT{100, 0, 400, 400});
    EXPECT_LT(layer.Labels().size(), before);
    EXPECT_TRUE(isListedInOrder());
    for (int cell = 0; cell < 8; ++cell)
        (void)place({350 + (cell % 2) * 20, (cell / 2) * 60}, cell, 400);
    EXPECT_TRUE(isListedInOrder());
    layer.Draw(surface.Dc(), true);
    EXPECT_TRUE(isListedInOrder());
}

TEST_F(LabelLayerTest, SmallerClassDisplacesAndEqualClassKeepsTheFirst) {
    const struct {
        std::uint32_t placed;
        std::uint32_t added;
        bool isAdded;
    } cases[] = {{1020, 1010, true}, {1010, 1020, false}, {1020, 1020, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.added);
        layer.Clear();
        ASSERT_TRUE(layer.AddPointLabel({100, 100}, {100, 100}, u"First", c.placed, nullptr, 0, 0));
        EXPECT_EQ(layer.AddPointLabel({105, 102}, {105, 102}, u"Second", c.added, nullptr, 0, 0),
                  c.isAdded);
        ASSERT_EQ(layer.Labels().size(), 1U);
        EXPECT_EQ(layer.Labels()[0].text, c.isAdded ? u"Second" : u"First");
    }
}

TEST_F(LabelLayerTest, PlacesStreetNamesOnTheFirstLongestKeptSegment) {
    const struct {
        std::vector<POINT> points;
        double angle;
        POINT anchor;
    } cases[] = {
        {{{100, 100}, {140, 100}, {140, 60}}, 0, {120, 100}}, // equal: the first
        {{{140, 60}, {140, 100}, {100, 100}}, -std::numbers::pi / 2, {140, 80}},
        {{{100, 100}, {130, 100}, {130, 50}}, std::numbers::pi / 2, {130, 75}},
        {{{0, 200}, {100, 100}}, std::numbers::pi / 4, {50, 150}},
    };
    const SIZE size = TextSize(0, u"Long Road");
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        layer.Clear();
        const auto& c = cases[i];
        ASSERT_TRUE(layer.AddStreetLabel(c.points.data(), static_cast<int>(c.points.size()),
                                         u"Long Road", 1070));
        const Label& label = layer.Labels()[0];
        EXPECT_DOUBLE_EQ(label.angle, c.angle);
        const auto expected = RotatedBox(c.anchor.x, c.anchor.y, size, c.angle);
        EXPECT_EQ(label.corners[0].x, expected[0].x);
        EXPECT_EQ(label.corners[0].y, expected[0].y);
        EXPECT_EQ(label.textColour, LabelFontTable::Instance().StreetText());
    }
}

TEST_F(LabelLayerTest, AnchorsShieldsAtHalfTheLength) {
    const POINT road[] = {{0, 100}, {100, 100}, {100, 300}};
    ASSERT_TRUE(layer.AddShield(road, 3, u"A7", 0x0000FF, 0xFFFFFF, 1010));
    SIZE size = TextSize(1, u"A7");
    const Label& label = layer.Labels()[0];
    EXPECT_EQ(label.flags, kLabelBoxed);
    EXPECT_EQ(label.fontKey, 1U);
    EXPECT_EQ(label.corners[0].x, static_cast<LONG>(100 - (size.cx + 6) / 2.0));
    EXPECT_EQ(label.corners[0].y, static_cast<LONG>(200 - (size.cy + 3) / 2.0));
    EXPECT_EQ(label.bounds.right - label.bounds.left, size.cx + 6);
}

TEST_F(LabelLayerTest, ShiftDropsAndMovesAndSetDaySwapsAndClears) {
    ASSERT_TRUE(layer.AddPointLabel({50, 50}, {50, 50}, u"Kept", 1500, nullptr, 0, 0));
    ASSERT_TRUE(layer.AddPointLabel({350, 250}, {350, 250}, u"Gone", 1500, nullptr, 0, 0));
    const RECT before = layer.Labels()[1].bounds; // "Kept" sorts after "Gone"
    layer.Shift({-10, 5}, RECT{0, 0, 200, 150});
    ASSERT_EQ(layer.Labels().size(), 1U);
    EXPECT_EQ(layer.Labels()[0].bounds.left, before.left - 10);
    EXPECT_EQ(layer.Labels()[0].bounds.top, before.top + 5);

    const LONG height = LabelFontTable::Instance().FontOf(0)->lfHeight;
    layer.SetDay(false);
    EXPECT_TRUE(layer.Labels().empty());
    EXPECT_EQ(LabelFontTable::Instance().StreetText(), 0xDCDCDCU);
    EXPECT_EQ(LabelFontTable::Instance().StreetHalo(), 0x3C3C3CU);
    EXPECT_EQ(LabelFontTable::Instance().FontOf(0)->lfHeight, height); // no shrinking
    layer.SetDay(true);
    EXPECT_EQ(LabelFontTable::Instance().StreetText(), 0x3C3C3CU);

    // The street colours are the whole process's: a layer made while another one drew by night
    // sets the day colours on its first day call.
    layer.SetDay(false);
    LabelLayer fresh;
    fresh.Begin(surface.Dc());
    fresh.SetDay(true);
    EXPECT_EQ(LabelFontTable::Instance().StreetText(), 0x3C3C3CU);
    EXPECT_EQ(LabelFontTable::Instance().StreetHalo(), 0xDCDCDCU);
}

// Before a repaint of part of the view every label is kept. When the labels are no whole
// placement of the view (a layer never cleared here: as after a scroll or a change of day), a
// new one is placed only when it reaches, halo included, nowhere into the picture kept around
// the repainted part (beyond the view nothing is kept) and overlaps no kept label, whatever its
// class. A repaint of the whole view keeps nothing.
TEST_F(LabelLayerTest, KeepAroundRefusesLabelsReachingIntoTheKeptPicture) {
    const RECT view{0, 0, 400, 300};
    const RECT middle{100, 100, 200, 160}; // holds the kept label, about 135-165 by 103-117
    const RECT corner{300, 200, 400, 300};
    const struct {
        RECT redrawn;
        POINT at; // where the new label is centred
        bool isPlaced;
        bool isKept = true; // the label placed before
    } cases[] = {
        {middle, {150, 140}, true},
        {middle, {150, 112}, false}, // over the kept label
        {middle, {102, 140}, false},
        {middle, {198, 140}, false},
        {middle, {120, 101}, false},
        {middle, {150, 159}, false},
        {middle, {300, 250}, false},
        {corner, {399, 250}, true},
        {corner, {350, 299}, true},
        {corner, {301, 250}, false},
        {corner, {350, 201}, false},
        {{500, 0, 600, 90}, {150, 140}, false}, // nothing of the view redrawn
        {{-5, 0, 400, 310}, {150, 112}, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.redrawn.left) + "," + std::to_string(c.redrawn.top) + " at " +
                     std::to_string(c.at.x) + "," + std::to_string(c.at.y));
        LabelLayer partial;
        partial.Begin(surface.Dc());
        ASSERT_TRUE(partial.AddPointLabel({150, 110}, {150, 110}, u"Kept", 1500, nullptr, 0, 0));
        partial.KeepAround(view, c.redrawn);
        EXPECT_EQ(partial.AddPointLabel(c.at, c.at, u"Ab", 500, nullptr, 0, 0), c.isPlaced);
        const auto kept = std::find_if(partial.Labels().begin(), partial.Labels().end(),
                                       [](const Label& label) { return label.text == u"Kept"; });
        EXPECT_EQ(kept != partial.Labels().end(), c.isKept);
        EXPECT_TRUE(kept == partial.Labels().end() || kept->isKept);
        EXPECT_EQ(partial.Labels().size(), (c.isKept ? 1U : 0U) + (c.isPlaced ? 1U : 0U));
    }
}

// After a scroll or before a repaint of part of the view, a kept label is drawn again only when
// its pixels, halo included, may reach into the redrawn part: one lying wholly in one part of the
// kept picture has its pixels there already. A label placed after the keep is always drawn.
TEST_F(LabelLayerTest, DrawsAgainOnlyKeptLabelsReachingIntoTheRedrawnPart) {
    const RECT view{0, 0, 400, 300};
    const RECT middle{150, 120, 250, 180};
    const struct {
        RECT redrawn; // KeepAround's, unless scrolled
        POINT scroll; // non-zero: Shift by it over the view instead
        POINT at;     // where the label is centred before the keep
        bool isDrawn;
    } cases[] = {
        {middle, {}, {200, 40}, false},             // in the band above
        {middle, {}, {200, 270}, false},            // in the band below
        {middle, {}, {60, 150}, false},             // beside the part
        {middle, {}, {200, 125}, true},             // reaching into it
        {middle, {}, {200, 112}, true},             // its halo reaching into it
        {middle, {}, {200, 111}, false},            // its halo ending at its edge
        {middle, {}, {200, 150}, true},             // inside it
        {middle, {}, {120, 118}, true},             // across two kept parts
        {middle, {}, {396, 40}, true},              // cut at the view's edge
        {{500, 0, 600, 90}, {}, {200, 150}, false}, // nothing of the view redrawn
        {{}, {0, 40}, {200, 100}, false},           // moved within the kept picture
        {{}, {0, 40}, {200, 0}, true},              // moved out of the strip uncovered
        {{}, {-30, 0}, {200, 100}, false},
        {{}, {-30, 0}, {395, 100}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.scroll.x) + "," + std::to_string(c.scroll.y) + " " +
                     std::to_string(c.redrawn.left) + "," + std::to_string(c.redrawn.top) + " at " +
                     std::to_string(c.at.x) + "," + std::to_string(c.at.y));
        layer.Clear();
        ASSERT_TRUE(layer.AddPointLabel(c.at, c.at, u"Kept", 1500, nullptr, 0, 0xFFFFFF));
        if (c.scroll.x != 0 || c.scroll.y != 0) {
            layer.Shift(c.scroll, view);
        } else {
            layer.KeepAround(view, c.redrawn);
        }
        ASSERT_EQ(layer.Labels().size(), 1U);
        const RECT bounds = layer.Labels()[0].bounds;
        surface.Fill();
        layer.Draw(surface.Dc(), true);
        int inked = 0;
        for (int y = 0; y < surface.Height(); ++y) {
            for (int x = 0; x < surface.Width(); ++x) {
                inked += GetPixel(surface.Dc(), x, y) != kSentinel ? 1 : 0;
            }
        }
        EXPECT_EQ(inked > 0, c.isDrawn)
            << bounds.left << "," << bounds.top << "," << bounds.right << "," << bounds.bottom;
    }

    // A new label inside the redrawn part beside a kept one drawn no more (labels no whole
    // placement of the view made).
    LabelLayer partial;
    partial.Begin(surface.Dc());
    ASSERT_TRUE(partial.AddPointLabel({200, 40}, {200, 40}, u"Kept", 1500, nullptr, 0, 0xFFFFFF));
    partial.KeepAround(view, middle);
    ASSERT_TRUE(partial.AddPointLabel({200, 150}, {200, 150}, u"New", 1500, nullptr, 0, 0xFFFFFF));
    surface.Fill();
    partial.Draw(surface.Dc(), true);
    bool isAboveInked = false;
    bool isMiddleInked = false;
    for (int y = 0; y < surface.Height(); ++y) {
        for (int x = 0; x < surface.Width(); ++x) {
            const bool isInked = GetPixel(surface.Dc(), x, y) != kSentinel;
            (y < middle.top ? isAboveInked : isMiddleInked) |= isInked;
        }
    }
    EXPECT_FALSE(isAboveInked);
    EXPECT_TRUE(isMiddleInked);
}

// A repaint of part of the view places no label while the labels are those placed over the whole
// view since the last Clear: a whole repaint places just these. Offered again, a label would land
// where the whole placement refused it: refused by a label that a smaller class displaced later,
// or offered along the part of its line inside the repainted part, away from the label that
// refused it. A change of day within the repaint drops the kept labels and opens the placement
// inside the repainted part again; a repaint of the whole view places anew.
TEST_F(LabelLayerTest, PartialRepaintPlacesNoLabelBesideAWholePlacement) {
    const RECT view{0, 0, 400, 300};
    const RECT below{0, 150, 400, 230}; // holds the Beta label's box, about 153-167
    const POINT alpha[] = {{100, 150}, {200, 150}};
    const POINT beta[] = {{100, 160}, {200, 160}};  // overlaps Alpha, not Gamma
    const POINT gamma[] = {{100, 140}, {200, 140}}; // overlaps Alpha, not Beta
    // A line whose longest segment lies on Gamma's; its part in the repainted part, up and down.
    const POINT line[] = {{150, 215}, {190, 215}, {190, 140}, {110, 140}};
    const POINT lineBelow[] = {{150, 215}, {190, 215}, {190, 160}};
    const struct {
        const char* name;
        bool isWhole;  // the labels are placed after a Clear, else on a fresh layer
        int dayChange; // 1: within the paint that placed the labels, 2: within the repaint
        RECT redrawn;
        bool isPlaced; // Beta, and the line's label, offered again
    } cases[] = {
        {"whole placement, part repainted", true, 0, below, false},
        {"whole placement by a new day, part repainted", true, 1, below, false},
        {"whole placement, day changed in the repaint", true, 2, below, true},
        {"whole placement, view repainted whole", true, 0, view, true},
        {"no whole placement", false, 0, below, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LabelLayer fresh;
        fresh.Begin(surface.Dc());
        LabelLayer& labels = c.isWhole ? layer : fresh;
        if (c.isWhole) {
            labels.Clear();
        }
        if (c.dayChange == 1) {
            labels.SetDay(false);
        }
        ASSERT_TRUE(labels.AddStreetLabel(alpha, 2, u"Alpha", 1070));
        ASSERT_FALSE(labels.AddStreetLabel(beta, 2, u"Beta", 1070));  // Alpha holds the place
        ASSERT_TRUE(labels.AddStreetLabel(gamma, 2, u"Gamma", 1060)); // displaces Alpha
        ASSERT_FALSE(labels.AddStreetLabel(line, 4, u"Line", 1070));  // Gamma holds the place
        ASSERT_EQ(labels.Labels().size(), 1U);
        labels.KeepAround(view, c.redrawn);
        if (c.dayChange == 2) {
            labels.SetDay(false);
        }
        EXPECT_EQ(labels.AddStreetLabel(beta, 2, u"Beta", 1070), c.isPlaced);
        EXPECT_EQ(labels.AddStreetLabel(lineBelow, 3, u"Line", 1070), c.isPlaced);
        labels.SetDay(true);
    }
}

TEST_F(LabelLayerTest, BeginKeepsFontsWhileTheHeightStaysAndKeysFontsByBytes) {
    const POINT diagonal[] = {{100, 200}, {200, 100}};
    ASSERT_TRUE(layer.AddStreetLabel(diagonal, 2, u"Ramp", 1091));
    layer.Draw(surface.Dc(), true);
    EXPECT_EQ(layer.CachedFontCount(), 1U); // key 0 at escapement 440
    const platform::GdiObjectCounts counts = platform::CountLiveGdiObjects();
    layer.Begin(surface.Dc());
    EXPECT_EQ(layer.CachedFontCount(), 1U);
    EXPECT_EQ(platform::CountLiveGdiObjects(), counts);

    LOGFONTW font{};
    font.lfHeight = -11;
    LabelFontTable& table = LabelFontTable::Instance();
    const std::uint32_t key = table.KeyOf(font);
    EXPECT_GE(key, 3U);
    EXPECT_EQ(table.KeyOf(font), key);
    font.lfFaceName[31] = u'x'; // a byte past the face's end still counts
    EXPECT_EQ(table.KeyOf(font), key + 1);
}

TEST_F(LabelLayerTest, DrawsOnlyInsideEachLabelAndFillsBoxes) {
    const POINT vertical[] = {{60, 250}, {60, 60}};
    const POINT road[] = {{150, 150}, {350, 150}};
    ASSERT_TRUE(layer.AddStreetLabel(vertical, 2, u"Upward", 1070));
    ASSERT_TRUE(
        layer.AddPointLabel({200, 60}, {240, 80}, u"Harbour", 1500, nullptr, 0x000000, 0xFFFFFF));
    ASSERT_TRUE(layer.AddShield(road, 2, u"B12", 0x00C000, 0x000000, 1020));
    layer.Draw(surface.Dc(), true);
    int drawn = 0;
    for (int y = 0; y < surface.Height(); ++y) {
        for (int x = 0; x < surface.Width(); ++x) {
            if (GetPixel(surface.Dc(), x, y) == kSentinel) {
                continue;
            }
            ++drawn;
            bool isInside = false;
            for (const Label& label : layer.Labels()) {
                const RECT& b = label.bounds;
                isInside |=
                    x >= b.left - 2 && x < b.right + 2 && y >= b.top - 2 && y < b.bottom + 2;
            }
            ASSERT_TRUE(isInside) << x << "," << y;
        }
    }
    EXPECT_GT(drawn, 300);
    const Label& shield = layer.Labels().back(); // key 1 sorts after key 0
    ASSERT_EQ(shield.text, u"B12");
    for (int y = shield.corners[0].y + 3; y < shield.corners[2].y - 3; ++y) {
        for (const int x : {shield.corners[0].x + 1, shield.corners[0].x + 2}) {
            EXPECT_EQ(GetPixel(surface.Dc(), x, y), 0x00C000U) << x << "," << y;
        }
    }
}

TEST_F(LabelLayerTest, DrawsAFixedSetAsItsGoldenPicture) {
    const POINT rising[] = {{20, 280}, {60, 240}, {200, 180}, {380, 120}};
    const POINT vertical[] = {{30, 40}, {30, 200}};
    const POINT road[] = {{100, 60}, {300, 60}};
    ASSERT_TRUE(layer.AddStreetLabel(rising, 4, u"Harbour Road", 1070));
    ASSERT_TRUE(layer.AddStreetLabel(vertical, 2, u"Mill Lane", 1080));
    ASSERT_TRUE(
        layer.AddPointLabel({250, 220}, {290, 240}, u"Station", 1500, nullptr, 0x800000, 0xFFFFFF));
    ASSERT_TRUE(layer.AddShield(road, 2, u"A7", 0x0000C0, 0xFFFFFF, 1010));
    layer.Draw(surface.Dc(), true);
    EXPECT_TRUE(testdata::DcMatchesGolden(surface.Dc(), surface.Width(), surface.Height(),
                                          NAV_MAPDISPLAY_DIR, "labels"));
}

TEST(LabelLayerLifetime, LeavesNoGdiObjectBeyondTheBrushCache) {
    const platform::GdiObjectCounts before = platform::CountLiveGdiObjects();
    const std::size_t brushesBefore = LabelBrushCache().Count();
    {
        Surface surface(200, 200);
        LabelLayer layer;
        layer.Begin(surface.Dc());
        const POINT road[] = {{20, 180}, {180, 20}};
        ASSERT_TRUE(layer.AddStreetLabel(road, 2, u"Diagonal", 1070));
        ASSERT_TRUE(layer.AddShield(road, 2, u"7", 0x0000FF, 0xFFFFFF, 1030));
        layer.Draw(surface.Dc(), true);
    }
    const platform::GdiObjectCounts after = platform::CountLiveGdiObjects();
    EXPECT_EQ(after.memoryDcs, before.memoryDcs);
    EXPECT_EQ(after.objects, before.objects + LabelBrushCache().Count() - brushesBefore);
}

} // namespace
