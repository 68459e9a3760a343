#include "platform/gdi/tests/gditesting.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

using namespace gditesting;

namespace {

__extension__ using Wide = __int128;

constexpr int kWidth = 20;
constexpr int kHeight = 12;
constexpr RECT kClip{3, 2, 17, 10};

struct Point64 {
    long long x;
    long long y;
};

struct PathCase {
    const char* name;
    std::vector<POINT> points; // logical
    POINT viewport;
    bool isClipped; // drawn through kClip
};

// Lines of every slope whose ends lie anywhere in the range of int; each passes the 20 x 12
// surface unless its name says otherwise.
std::vector<PathCase> PathCases() {
    constexpr int k29 = 1 << 29;
    constexpr int k30 = 1 << 30;
    return {
        {"slope 1/2 in range", {{0, 0}, {40, 20}}, {0, 0}, false},
        {"slope 1/2 to 2^30", {{0, 0}, {k30, k29}}, {0, 0}, false},
        {"slope 1/2 from 2^30", {{k30, k29}, {0, 0}}, {0, 0}, false},
        {"slope 1/2 through the surface", {{-k30, -k29 + 3}, {k30, k29 + 3}}, {0, 0}, false},
        {"diagonal over the whole range", {{INT_MIN, INT_MIN}, {INT_MAX, INT_MAX}}, {0, 0}, false},
        {"anti-diagonal, moved", {{INT_MIN, INT_MAX}, {INT_MAX, INT_MIN}}, {9, 4}, false},
        {"nearly flat, halves close", {{INT_MIN, 0}, {INT_MAX, 11}}, {0, 0}, false},
        {"nearly flat, backwards", {{INT_MAX, 5}, {INT_MIN, 7}}, {0, 0}, false},
        {"steep", {{3, INT_MIN}, {17, INT_MAX}}, {0, 0}, false},
        {"steep, backwards", {{306783378, INT_MAX}, {-306783362, -2147483637}}, {0, 0}, false},
        {"odd slope", {{-1000000007, 123456789}, {1000000027, -123456777}}, {0, 0}, false},
        {"odd slope, clipped", {{-2147483000, 987654321}, {2147483018, -987654311}}, {0, 0}, true},
        {"starts inside", {{10, 6}, {INT_MAX, 1234567890}}, {0, 0}, false},
        {"ends inside", {{INT_MIN, -1073741824}, {5, 3}}, {0, 0}, false},
        {"moved by the viewport", {{INT_MAX, INT_MAX - 5}, {INT_MIN + 1, INT_MIN}}, {5, 5}, true},
        {"misses the surface", {{INT_MIN, INT_MIN}, {INT_MAX, INT_MIN + 5}}, {0, 0}, false},
        {"polyline through far points",
         {{INT_MIN, 0}, {10, 6}, {INT_MAX, INT_MIN}, {-5, INT_MAX}, {INT_MIN, 1}},
         {0, 0},
         false},
        {"polyline, clipped", {{INT_MIN, INT_MIN}, {12, 3}, {INT_MIN, INT_MAX}}, {0, 0}, true},
    };
}

bool IsInClip(const PathCase& c, long long x, long long y) {
    return !c.isClipped ||
           (x >= kClip.left && x < kClip.right && y >= kClip.top && y < kClip.bottom);
}

Point64 SurfacePoint(const PathCase& c, std::size_t i) {
    return Point64{static_cast<long long>(c.points[i].x) + c.viewport.x,
                   static_cast<long long>(c.points[i].y) + c.viewport.y};
}

long long FloorDiv(Wide numerator, Wide denominator) {
    Wide q = numerator / denominator;
    if (numerator % denominator != 0 && numerator < 0)
        --q;
    return static_cast<long long>(q);
}

// A thin line's pixels: in each column (row, for a steep line) from a up to b, b left out, the
// pixel nearest the exact line, halves going down (right). Worked out per column of the
// surface, exactly.
void AddThin(const PathCase& c, Point64 a, Point64 b, std::vector<std::string>* picture) {
    const bool isXMajor = std::llabs(b.x - a.x) >= std::llabs(b.y - a.y);
    const long long from = isXMajor ? a.x : a.y;
    const long long to = isXMajor ? b.x : b.y;
    const long long minorFrom = isXMajor ? a.y : a.x;
    long long run = to - from;
    long long rise = isXMajor ? b.y - a.y : b.x - a.x;
    if (run < 0) {
        run = -run;
        rise = -rise;
    }
    for (long long major = 0; major < (isXMajor ? kWidth : kHeight); ++major) {
        const bool isOnLine = from < to ? major >= from && major < to : major <= from && major > to;
        if (!isOnLine)
            continue;
        const long long minor = FloorDiv(
            Wide{2} * minorFrom * run + Wide{2} * (major - from) * rise + run, Wide{2} * run);
        const long long x = isXMajor ? major : minor;
        const long long y = isXMajor ? minor : major;
        if (x >= 0 && x < kWidth && y >= 0 && y < kHeight && IsInClip(c, x, y))
            (*picture)[y][x] = '#';
    }
}

// A wide pen's pixels: centres within half the width of a segment; '*' where a centre lies so
// near the boundary that either answer is right.
void AddWide(const PathCase& c, Point64 a, Point64 b, double half,
             std::vector<std::string>* picture) {
    const Wide dx = b.x - a.x;
    const Wide dy = b.y - a.y;
    const Wide length2 = dx * dx + dy * dy;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            if (!IsInClip(c, x, y))
                continue;
            // Pixel centres less the pen's centre points are whole numbers.
            const Wide px = x - a.x;
            const Wide py = y - a.y;
            const Wide dot = px * dx + py * dy;
            long double distance = 0;
            if (length2 == 0 || dot <= 0) {
                distance = std::hypot(static_cast<long double>(px), static_cast<long double>(py));
            } else if (dot >= length2) {
                distance = std::hypot(static_cast<long double>(x - b.x),
                                      static_cast<long double>(y - b.y));
            } else {
                distance = std::fabs(static_cast<long double>(px * dy - py * dx)) /
                           std::sqrt(static_cast<long double>(length2));
            }
            char& pixel = (*picture)[y][x];
            if (std::fabs(distance - half) < 1e-9L)
                pixel = pixel == '#' ? '#' : '*';
            else if (distance < half)
                pixel = '#';
        }
    }
}

// The path's pixels by the references above: a thin pen for width 1, else a wide one.
std::vector<std::string> Expected(const PathCase& c, int penWidth) {
    std::vector<std::string> picture(kHeight, std::string(kWidth, '.'));
    for (std::size_t i = 0; i + 1 < c.points.size(); ++i) {
        if (penWidth > 1)
            AddWide(c, SurfacePoint(c, i), SurfacePoint(c, i + 1), penWidth / 2.0, &picture);
        else
            AddThin(c, SurfacePoint(c, i), SurfacePoint(c, i + 1), &picture);
    }
    return picture;
}

// The path drawn with the pen, by LineTo or by Polyline.
std::vector<std::string> Drawn(const PathCase& c, int penWidth, bool isPolyline) {
    Canvas canvas(kWidth, kHeight);
    if (c.isClipped)
        IntersectClipRect(canvas.dc(), kClip.left, kClip.top, kClip.right, kClip.bottom);
    SetViewportOrgEx(canvas.dc(), c.viewport.x, c.viewport.y, nullptr);
    {
        Tools tools(canvas.dc(), CreatePen(PS_SOLID, penWidth, kBlack),
                    static_cast<HBRUSH>(GetStockObject(NULL_BRUSH)));
        if (isPolyline) {
            Polyline(canvas.dc(), c.points.data(), static_cast<int>(c.points.size()));
        } else {
            MoveToEx(canvas.dc(), c.points[0].x, c.points[0].y, nullptr);
            for (std::size_t i = 1; i < c.points.size(); ++i)
                LineTo(canvas.dc(), c.points[i].x, c.points[i].y);
        }
    }
    SelectClipRgn(canvas.dc(), nullptr);
    return canvas.Picture();
}

int Count(const std::vector<std::string>& picture, char letter) {
    int count = 0;
    for (const std::string& row : picture)
        count += static_cast<int>(std::count(row.begin(), row.end(), letter));
    return count;
}

// actual, with expected's '*' pixels copied in.
std::vector<std::string> Masked(std::vector<std::string> actual,
                                const std::vector<std::string>& expected) {
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            if (expected[y][x] == '*')
                actual[y][x] = '*';
        }
    }
    return actual;
}

} // namespace

// A thin line's pixels on the surface are those of the exact line from its first point, however
// far outside its ends lie: the far end moves no visible pixel, and no slope changes.
TEST(Lines, ThinLineKeepsItsPixelsWhereverItsEndsLie) {
    int drawnPixels = 0;
    for (const PathCase& c : PathCases()) {
        SCOPED_TRACE(c.name);
        const std::vector<std::string> expected = Expected(c, 1);
        EXPECT_EQ(Drawn(c, 1, false), expected);
        EXPECT_EQ(Drawn(c, 0, true), expected);
        drawnPixels += Count(expected, '#');
    }
    EXPECT_GT(drawnPixels, 200);
}

// A wide pen covers the pixels whose centres lie within half its width of the exact path,
// however far outside the path's points lie.
TEST(Lines, WidePenCoversItsStrokeWhereverItsEndsLie) {
    for (const int penWidth : {3, 8}) {
        for (const PathCase& c : PathCases()) {
            SCOPED_TRACE(std::string(c.name) + ", width " + std::to_string(penWidth));
            const std::vector<std::string> expected = Expected(c, penWidth);
            EXPECT_LE(Count(expected, '*'), 4);
            EXPECT_EQ(Masked(Drawn(c, penWidth, false), expected), expected);
            EXPECT_EQ(Masked(Drawn(c, penWidth, true), expected), expected);
        }
    }
}

// A wide pen of even width along an axis covers, away from its round ends, the rows (or columns)
// whose centres lie within half its width of the path, the far edge excluded, in and out of a
// clip rectangle.
TEST(Lines, WidePenAlongAnAxisCoversWholeRowsOrColumns) {
    const struct {
        POINT from;
        POINT to;
        int penWidth;
        bool isClipped;
    } cases[] = {{{1, 5}, {18, 5}, 2, false},
                 {{18, 6}, {1, 6}, 4, false},
                 {{9, 0}, {9, 11}, 6, false},
                 {{10, 11}, {10, 0}, 2, true},
                 {{INT_MIN, 5}, {INT_MAX, 5}, 4, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.from.x << "," << c.from.y << " width " << c.penWidth);
        Canvas canvas(kWidth, kHeight);
        if (c.isClipped)
            IntersectClipRect(canvas.dc(), kClip.left, kClip.top, kClip.right, kClip.bottom);
        HPEN pen = CreatePen(PS_SOLID, c.penWidth, kBlack);
        HGDIOBJ old = SelectObject(canvas.dc(), pen);
        const POINT points[] = {c.from, c.to};
        ASSERT_TRUE(Polyline(canvas.dc(), points, 2));
        SelectObject(canvas.dc(), old);
        DeleteObject(pen);
        SelectClipRgn(canvas.dc(), nullptr);
        const std::vector<std::string> picture = canvas.Picture();
        const bool isAlongX = c.from.y == c.to.y;
        const int half = c.penWidth / 2;
        const long long low = std::max<long long>(std::min(c.from.x, c.to.x), -1000) + half;
        const long long high = std::min<long long>(std::max(c.from.x, c.to.x), 1000) - half;
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                const int along = isAlongX ? x : y;
                const int across = isAlongX ? y - c.from.y : x - c.from.x;
                if (along < (isAlongX ? low : std::min(c.from.y, c.to.y) + half) ||
                    along > (isAlongX ? high : std::max(c.from.y, c.to.y) - half))
                    continue; // the round ends
                const bool isVisible = !c.isClipped || (x >= kClip.left && x < kClip.right &&
                                                        y >= kClip.top && y < kClip.bottom);
                const bool isCovered = across >= -half && across < half && isVisible;
                EXPECT_EQ(picture[y][x], isCovered ? '#' : '.') << x << "," << y;
            }
        }
    }
}
