#include "platform/gdi/tests/gditesting.h"
#include "platform/gdi/text.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <functional>

using namespace gditesting;

namespace {

HBRUSH NullBrush() {
    return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
}

struct PictureCase {
    const char* name;
    int width;
    int height;
    std::function<void(HDC)> draw;
    std::vector<std::string> picture;
};

} // namespace

// Shapes and lines by GDI's rules: right and bottom edges exclusive, thin lines without their
// last pixel, wide pens centred on the outline, fills sampled at pixel centres.
TEST(Shapes, DrawExactPixels) {
    const std::vector<PictureCase> cases = {
        {"thin rectangle leaves out right and bottom edge",
         8,
         6,
         [](HDC dc) {
             Tools tools(dc, CreatePen(PS_SOLID, 1, kBlack), CreateSolidBrush(kRed));
             Rectangle(dc, 1, 1, 5, 4);
         },
         {"........", ".####...", ".#rr#...", ".####...", "........", "........"}},
        {"null pen fills the whole rectangle",
         6,
         4,
         [](HDC dc) {
             Tools tools(dc, CreatePen(PS_NULL, 1, kBlack), CreateSolidBrush(kBlue));
             Rectangle(dc, 1, 1, 4, 3);
         },
         {"......", ".bbb..", ".bbb..", "......"}},
        {"ellipse inside its box",
         8,
         8,
         [](HDC dc) { Ellipse(dc, 0, 0, 8, 7); },
         {"..####..", ".#....#.", "#......#", "#......#", "#......#", ".#....#.", "..####..",
          "........"}},
        {"round rectangle corners",
         9,
         9,
         [](HDC dc) { RoundRect(dc, 0, 0, 9, 9, 4, 4); },
         {".#######.", "#.......#", "#.......#", "#.......#", "#.......#", "#.......#", "#.......#",
          "#.......#", ".#######."}},
        {"line leaves out its end point",
         8,
         6,
         [](HDC dc) {
             MoveToEx(dc, 1, 1, nullptr);
             LineTo(dc, 6, 4);
         },
         {"........", ".#......", "..##....", "....##..", "........", "........"}},
        {"line drawn backwards",
         6,
         3,
         [](HDC dc) {
             MoveToEx(dc, 5, 1, nullptr);
             LineTo(dc, 0, 1);
         },
         {"......", ".#####", "......"}},
        {"two-pixel pen puts one pixel inside",
         12,
         11,
         [](HDC dc) {
             Tools tools(dc, CreatePen(PS_SOLID, 2, kBlack), CreateSolidBrush(kRed));
             Rectangle(dc, 2, 2, 10, 9);
         },
         {"............", ".##########.", ".##########.", ".##rrrrrr##.", ".##rrrrrr##.",
          ".##rrrrrr##.", ".##rrrrrr##.", ".##rrrrrr##.", ".##########.", ".##########.",
          "............"}},
        {"PS_NULL polygon fills without outline",
         8,
         6,
         [](HDC dc) {
             Tools tools(dc, CreatePen(PS_NULL, 1, kRed), CreateSolidBrush(kBlack));
             const POINT points[] = {{1, 1}, {7, 1}, {7, 5}, {1, 5}};
             Polygon(dc, points, 4);
         },
         {"........", ".######.", ".######.", ".######.", ".######.", "........"}},
        {"polygon outline closes on its first point",
         6,
         5,
         [](HDC dc) {
             Tools tools(dc, CreatePen(PS_SOLID, 1, kRed), NullBrush());
             const POINT points[] = {{1, 1}, {4, 1}, {4, 3}, {1, 3}};
             Polygon(dc, points, 4);
         },
         {"......", ".rrrr.", ".r..r.", ".rrrr.", "......"}},
        {"even-odd star leaves its centre open",
         11,
         11,
         [](HDC dc) {
             Tools tools(dc, CreatePen(PS_NULL, 1, kBlack), CreateSolidBrush(kBlack));
             const POINT star[] = {{5, 0}, {8, 10}, {0, 3}, {10, 3}, {2, 10}};
             Polygon(dc, star, 5);
         },
         {"...........", "...........", "....##.....", ".###..###..", "..##..##...", "...........",
          "...#..#....", "...####....", "..##..##...", "..#....#...", "..........."}},
        {"winding star fills its centre",
         11,
         11,
         [](HDC dc) {
             Tools tools(dc, CreatePen(PS_NULL, 1, kBlack), CreateSolidBrush(kBlack));
             SetPolyFillMode(dc, WINDING);
             const POINT star[] = {{5, 0}, {8, 10}, {0, 3}, {10, 3}, {2, 10}};
             Polygon(dc, star, 5);
         },
         {"...........", "...........", "....##.....", ".########..", "..######...", "...####....",
          "...####....", "...####....", "..##..##...", "..#....#...", "..........."}},
        {"viewport origin moves the drawing",
         6,
         4,
         [](HDC dc) {
             SetViewportOrgEx(dc, 2, 1, nullptr);
             MoveToEx(dc, 0, 0, nullptr);
             LineTo(dc, 3, 0);
             SetViewportOrgEx(dc, 0, 0, nullptr);
         },
         {"......", "..###.", "......", "......"}},
        {"FillRect ignores pen and ROP2",
         5,
         3,
         [](HDC dc) {
             SetROP2(dc, R2_NOT);
             HBRUSH brush = CreateSolidBrush(kGreen);
             const RECT rect{1, 0, 4, 2};
             FillRect(dc, &rect, brush);
             DeleteObject(brush);
         },
         {".ggg.", ".ggg.", "....."}},
        {"pattern brush: set bits text colour, clear bits background",
         8,
         2,
         [](HDC dc) {
             const BYTE rows[16] = {0xAA, 0, 0x0F, 0, 0xAA, 0, 0x0F, 0,
                                    0xAA, 0, 0x0F, 0, 0xAA, 0, 0x0F, 0};
             HBITMAP pattern = CreateBitmap(8, 8, 1, 1, rows);
             HBRUSH brush = CreatePatternBrush(pattern);
             SetTextColor(dc, kRed);
             SetBkColor(dc, kBlue);
             const RECT rect{0, 0, 8, 2};
             FillRect(dc, &rect, brush);
             DeleteObject(brush);
             DeleteObject(pattern);
         },
         {"rbrbrbrb", "bbbbrrrr"}},
    };
    for (const PictureCase& c : cases) {
        Canvas canvas(c.width, c.height);
        c.draw(canvas.dc());
        EXPECT_EQ(canvas.Picture(), c.picture) << c.name;
    }
}

// A wide pen is centred on the outline: half its width lies inside the rectangle.
TEST(Shapes, WidePenHalfInside) {
    struct Case {
        int width;
        int firstInside; // first interior column, from the left edge 20
        int lastOutline; // last pen column right of the right edge 60
    };
    const Case cases[] = {{16, 28, 67}, {8, 24, 63}, {4, 22, 61}};
    for (const Case& c : cases) {
        Canvas canvas(90, 90);
        Tools tools(canvas.dc(), CreatePen(PS_SOLID, c.width, kBlack), CreateSolidBrush(kRed));
        Rectangle(canvas.dc(), 20, 20, 60, 60);
        const int half = c.width / 2;
        EXPECT_EQ(GetPixel(canvas.dc(), 20 - half, 40), kBlack) << c.width;
        EXPECT_EQ(GetPixel(canvas.dc(), 20 - half - 1, 40), kWhite) << c.width;
        EXPECT_EQ(GetPixel(canvas.dc(), c.firstInside - 1, 40), kBlack) << c.width;
        EXPECT_EQ(GetPixel(canvas.dc(), c.firstInside, 40), kRed) << c.width;
        EXPECT_EQ(GetPixel(canvas.dc(), 60 - half - 1, 40), kRed) << c.width;
        EXPECT_EQ(GetPixel(canvas.dc(), 60 - half, 40), kBlack) << c.width;
        EXPECT_EQ(GetPixel(canvas.dc(), c.lastOutline, 40), kBlack) << c.width;
        EXPECT_EQ(GetPixel(canvas.dc(), c.lastOutline + 1, 40), kWhite) << c.width;
    }
}

// Binary raster operations on one pixel of a red line over green.
TEST(Shapes, Rop2Codes) {
    struct Case {
        int rop2;
        COLORREF expected;
    };
    const Case cases[] = {
        {R2_BLACK, kBlack},
        {R2_WHITE, kWhite},
        {R2_COPYPEN, kRed},
        {R2_NOTCOPYPEN, RGB(0, 255, 255)},
        {R2_NOT, RGB(255, 0, 255)},
        {R2_XORPEN, RGB(255, 255, 0)},
        {R2_MASKPEN, kBlack},
        {R2_MERGEPEN, RGB(255, 255, 0)},
        {R2_NOP, kGreen},
        {R2_MASKPENNOT, kRed},
        {R2_MERGENOTPEN, RGB(0, 255, 255)},
        {R2_NOTXORPEN, RGB(0, 0, 255)},
    };
    for (const Case& c : cases) {
        Canvas canvas(3, 1, kGreen);
        Tools tools(canvas.dc(), CreatePen(PS_SOLID, 1, kRed), NullBrush());
        EXPECT_EQ(SetROP2(canvas.dc(), c.rop2), R2_COPYPEN);
        MoveToEx(canvas.dc(), 0, 0, nullptr);
        LineTo(canvas.dc(), 1, 0);
        EXPECT_EQ(GetPixel(canvas.dc(), 0, 0), c.expected) << c.rop2;
        EXPECT_EQ(GetPixel(canvas.dc(), 1, 0), kGreen) << c.rop2;
    }
}

// R2_NOT drawn twice restores every pixel, for thin and wide pens and filled shapes.
TEST(Shapes, NotTwiceRestores) {
    const std::vector<std::pair<int, std::function<void(HDC)>>> cases = {
        {1, [](HDC dc) { Rectangle(dc, 2, 2, 20, 15); }},
        {5,
         [](HDC dc) {
             const POINT points[] = {{1, 1}, {18, 12}, {3, 17}, {3, 2}};
             Polyline(dc, points, 4);
         }},
        {3, [](HDC dc) { Ellipse(dc, -5, 0, 15, 30); }},
    };
    for (const auto& [width, draw] : cases) {
        Canvas canvas(24, 20);
        const RECT half{0, 0, 12, 20};
        HBRUSH blue = CreateSolidBrush(kBlue);
        FillRect(canvas.dc(), &half, blue);
        DeleteObject(blue);
        const auto before = canvas.Picture();
        Tools tools(canvas.dc(), CreatePen(PS_SOLID, width, kRed), CreateSolidBrush(kBlack));
        SetROP2(canvas.dc(), R2_NOT);
        draw(canvas.dc());
        EXPECT_NE(canvas.Picture(), before) << width;
        draw(canvas.dc());
        EXPECT_EQ(canvas.Picture(), before) << width;
    }
}

// Whatever the coordinates, nothing lands outside the clip: a sentinel frame around the clip
// keeps its colour, and the clip region can be saved, replaced and restored.
TEST(Shapes, ClipKeepsSentinelFrame) {
    const std::vector<std::pair<const char*, std::function<void(HDC)>>> cases = {
        {"huge rectangle", [](HDC dc) { Rectangle(dc, INT_MIN, INT_MIN, INT_MAX, INT_MAX); }},
        {"huge ellipse", [](HDC dc) { Ellipse(dc, -100000000, -5, 100000000, 40); }},
        {"huge line",
         [](HDC dc) {
             MoveToEx(dc, INT_MIN, INT_MIN, nullptr);
             LineTo(dc, INT_MAX, INT_MAX);
         }},
        {"clamped polygon",
         [](HDC dc) {
             const POINT points[] = {{INT_MIN, 5}, {INT_MAX, 6}, {7, INT_MAX}};
             Polygon(dc, points, 3);
         }},
        {"wide polyline",
         [](HDC dc) {
             HPEN pen = CreatePen(PS_SOLID, 9, kBlack);
             HGDIOBJ old = SelectObject(dc, pen);
             const POINT points[] = {{-50, -50}, {60, 60}, {-1000000, 2000000}};
             Polyline(dc, points, 3);
             SelectObject(dc, old);
             DeleteObject(pen);
         }},
        {"blit", [](HDC dc) { PatBlt(dc, -10, -10, 100, 100, BLACKNESS); }},
        {"huge round rectangle",
         [](HDC dc) { RoundRect(dc, INT_MIN, -3, INT_MAX, 30, INT_MIN, INT_MAX); }},
        {"huge stretch",
         [](HDC dc) {
             HDC source = CreateCompatibleDC(dc);
             HBITMAP bitmap = CreateBitmap(2, 2, 1, 32, nullptr);
             HGDIOBJ old = SelectObject(source, bitmap);
             StretchBlt(dc, INT_MIN, INT_MIN, INT_MAX, INT_MAX, source, 0, 0, INT_MIN, 2, SRCCOPY);
             SelectObject(source, old);
             DeleteObject(bitmap);
             DeleteDC(source);
         }},
        {"huge text",
         [](HDC dc) {
             RECT rect{INT_MIN, INT_MIN, INT_MAX, INT_MAX};
             SetBkColor(dc, RGB(0, 0, 0));
             DrawTextW(dc, u"Ziel\nZiel", -1, &rect, DT_CENTER | DT_NOCLIP);
             ExtTextOutW(dc, INT_MAX, INT_MIN, ETO_OPAQUE, &rect, u"Ziel", 4, nullptr);
             const int widths[] = {INT_MAX, INT_MAX};
             ExtTextOutW(dc, 0, 0, 0, nullptr, u"ab", 2, widths);
         }},
        {"fill",
         [](HDC dc) {
             const RECT all{INT_MIN, INT_MIN, INT_MAX, INT_MAX};
             FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
         }},
    };
    for (const auto& [name, draw] : cases) {
        Canvas canvas(12, 10, kRed);
        HRGN saved = CreateRectRgn(0, 0, 0, 0);
        EXPECT_EQ(GetClipRgn(canvas.dc(), saved), 0) << name;
        HRGN clip = CreateRectRgn(2, 2, 10, 8);
        EXPECT_EQ(SelectClipRgn(canvas.dc(), clip), SIMPLEREGION) << name;
        RECT box{};
        EXPECT_EQ(GetClipBox(canvas.dc(), &box), SIMPLEREGION) << name;
        EXPECT_EQ((std::vector<LONG>{box.left, box.top, box.right, box.bottom}),
                  (std::vector<LONG>{2, 2, 10, 8}))
            << name;
        SelectObject(canvas.dc(), GetStockObject(BLACK_BRUSH));
        draw(canvas.dc());
        EXPECT_EQ(GetClipRgn(canvas.dc(), clip), 1) << name;
        SelectClipRgn(canvas.dc(), nullptr); // the saved state was "no region"
        const auto picture = canvas.Picture();
        for (int y = 0; y < 10; ++y) {
            for (int x = 0; x < 12; ++x) {
                const bool isInside = x >= 2 && x < 10 && y >= 2 && y < 8;
                if (!isInside) {
                    EXPECT_EQ(picture[y][x], 'r') << name << " at " << x << "," << y;
                }
            }
        }
        EXPECT_EQ(GetClipBox(canvas.dc(), &box), SIMPLEREGION) << name;
        EXPECT_EQ(box.right, 12) << name;
        DeleteObject(clip);
        DeleteObject(saved);
    }
}

// Long polylines draw every segment.
TEST(Shapes, LongPolyline) {
    for (int count : {2048, 5000}) {
        Canvas canvas(count / 2 + 2, 4);
        std::vector<POINT> points;
        for (int i = 0; i < count; ++i)
            points.push_back(POINT{i / 2, (i % 2) * 2 + 1});
        EXPECT_TRUE(Polyline(canvas.dc(), points.data(), count));
        EXPECT_EQ(GetPixel(canvas.dc(), count / 2 - 2, 1), kBlack) << count;
        EXPECT_EQ(GetPixel(canvas.dc(), count / 2 - 2, 2), kBlack) << count;
    }
}

namespace {

enum class Side { Outside, Inside, Unsure };

// An ellipse in surface coordinates, by its centre and radii.
struct EllipseShape {
    long double cx, cy, rx, ry;

    // Where the centre of pixel (x, y) lies against the ellipse grown by grow: Unsure within
    // 1e-6 pixels of the outline along its row, where either answer is right.
    Side SideOf(long double grow, int x, int y) const {
        const long double a = rx + grow;
        const long double b = ry + grow;
        if (a <= 0 || b <= 0)
            return Side::Outside;
        const long double dx = x + 0.5L - cx;
        const long double dy = y + 0.5L - cy;
        // dy^2 / b^2 - 1 as a product keeps its precision near the top and bottom.
        const long double f = dx * dx / (a * a) + (dy - b) * (dy + b) / (b * b);
        if (std::fabs(f) < 1e-6L * std::fabs(2 * dx / (a * a)))
            return Side::Unsure;
        return f < 0 ? Side::Inside : Side::Outside;
    }

    // The pixel as Ellipse draws it, '*' where either answer is right. A thin pen takes the
    // pixels inside with a neighbour outside, a wide one those between the ellipse grown and
    // shrunk by half its width.
    char Letter(double penWidth, int x, int y) const {
        if (penWidth > 1) {
            const Side outer = SideOf(penWidth / 2, x, y);
            const Side inner = SideOf(-penWidth / 2, x, y);
            if (outer == Side::Unsure || inner == Side::Unsure)
                return '*';
            return inner == Side::Inside ? 'r' : (outer == Side::Inside ? '#' : '.');
        }
        const Side self = SideOf(0, x, y);
        bool isUnsure = self == Side::Unsure;
        bool isEdge = false;
        for (const auto& [nx, ny] : {std::pair{x - 1, y}, {x + 1, y}, {x, y - 1}, {x, y + 1}}) {
            const Side next = SideOf(0, nx, ny);
            isUnsure = isUnsure || next == Side::Unsure;
            isEdge = isEdge || next == Side::Outside;
        }
        if (self != Side::Inside)
            return self == Side::Unsure ? '*' : '.';
        return isUnsure ? '*' : (isEdge ? '#' : 'r');
    }
};

} // namespace

// An ellipse far larger than the surface shows its own outline: pixels whose centres lie inside
// it, the thin pen on those with a neighbour outside, a wide pen between the ellipses grown
// and shrunk by half its width, the brush within.
TEST(Shapes, HugeEllipseShowsItsOwnArc) {
    struct Case {
        const char* name;
        int left, top, right, bottom;
        int penWidth;
        POINT viewport;
    };
    const Case cases[] = {
        {"circle, upper left", -314491689, -314491693, 1832991959, 1832991955, 1, {0, 0}},
        {"circle, upper left, wide", -314491689, -314491693, 1832991959, 1832991955, 5, {0, 0}},
        {"circle, steep, wide", -1440983146, -64754549, 706500502, 2082729099, 6, {0, 0}},
        {"flat, lower right", -2003629507, -603979774, 143854141, 201326594, 1, {-3, 4}},
        {"tall ellipse, right side", -1990, -1073741818, 10, 1073741830, 4, {0, 0}},
        {"tall ellipse, right side, thin", -1990, -1073741818, 10, 1073741830, 1, {0, 0}},
        {"ellipse, left side", -5097662, -1260195121, 665990978, 887288513, 1, {0, 0}},
        // Rows near the top of a huge circle, whose outline passes 0.0018 and 0.0008 pixels
        // from a pixel's centre.
        {"circle, top row", -1073545097, 2, 1073610647, 2147155746, 1, {0, 0}},
        {"circle, third row", -1073493448, 2, 1073639998, 2147133448, 1, {0, 0}},
        {"whole range", INT_MIN, INT_MIN, INT_MAX, INT_MAX, 3, {0, 0}},
    };
    constexpr int kWidth = 20, kHeight = 12;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Canvas canvas(kWidth, kHeight);
        SetViewportOrgEx(canvas.dc(), c.viewport.x, c.viewport.y, nullptr);
        {
            Tools tools(canvas.dc(), CreatePen(PS_SOLID, c.penWidth, kBlack),
                        CreateSolidBrush(kRed));
            Ellipse(canvas.dc(), c.left, c.top, c.right, c.bottom);
        }
        std::vector<std::string> picture = canvas.Picture();

        const EllipseShape shape{(static_cast<long double>(c.left) + c.right) / 2 + c.viewport.x,
                                 (static_cast<long double>(c.top) + c.bottom) / 2 + c.viewport.y,
                                 (static_cast<long double>(c.right) - c.left) / 2,
                                 (static_cast<long double>(c.bottom) - c.top) / 2};
        std::vector<std::string> expected(kHeight, std::string(kWidth, '.'));
        int unsure = 0;
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                expected[y][x] = shape.Letter(c.penWidth, x, y);
                if (expected[y][x] == '*') {
                    picture[y][x] = '*';
                    ++unsure;
                }
            }
        }
        EXPECT_LE(unsure, 2);
        EXPECT_EQ(picture, expected);
    }
}
