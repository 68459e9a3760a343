// Lines and polylines. Thin (cosmetic) lines step from pixel to pixel and leave out their last
// pixel; wide pens cover the pixels whose centres lie within half the pen's width of the path.
// Coordinates may span the whole range of int: a line's visible pixels are those it would have
// with unlimited range, however far its ends lie outside the clip.
#include "platform/gdi/detail/gdistate.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numeric>

using namespace platform::gdi_detail;

namespace {

__extension__ using Wide = __int128;

// floor(numerator / denominator) and numerator - quotient * denominator, in [0, denominator),
// for denominator > 0 and a quotient within long long.
struct Division {
    long long quotient;
    long long remainder;
};
Division FloorDivide(Wide numerator, long long denominator) {
    Wide quotient = numerator / denominator;
    Wide remainder = numerator % denominator;
    if (remainder < 0) {
        --quotient;
        remainder += denominator;
    }
    return {static_cast<long long>(quotient), static_cast<long long>(remainder)};
}

// floor((2 i minor + steps) / (2 steps)) for i = first, first + 1, ...: the first quotient and
// remainder exact in 128 bits, each later one by adding 2 minor to the remainder, with at most
// one carry since |minor| <= steps.
class MinorSteps {
public:
    MinorSteps(long long first, long long minor, long long steps)
        : m_step(2 * minor)
        , m_denominator(2 * steps)
        , m_at(FloorDivide(Wide{2} * first * minor + steps, 2 * steps)) {}
    long long Offset() const { return m_at.quotient; }
    void Next() {
        m_at.remainder += m_step;
        if (m_at.remainder >= m_denominator) {
            m_at.remainder -= m_denominator;
            ++m_at.quotient;
        } else if (m_at.remainder < 0) {
            m_at.remainder += m_denominator;
            --m_at.quotient;
        }
    }

private:
    long long m_step;
    long long m_denominator;
    Division m_at;
};

// A thin line from a to b in surface coordinates, without b. Step i along the major axis lands
// on minor coordinate minorStart + floor((2 i minor + steps) / (2 steps)): the pixel nearest the
// exact line, halves going to the larger coordinate. Only the steps whose major coordinate lies
// in the clip box are walked, from an exact first step, so no end is ever rounded or moved.
void ThinLine(const Target& target, PointL a, PointL b, const Paint& paint, int rop2) {
    const long long dx = b.x - a.x;
    const long long dy = b.y - a.y;
    const bool isXMajor = std::llabs(dx) >= std::llabs(dy);
    const long long steps = isXMajor ? std::llabs(dx) : std::llabs(dy);
    if (steps == 0)
        return;
    const long long start = isXMajor ? a.x : a.y;
    const int sign = (isXMajor ? dx : dy) > 0 ? 1 : -1;
    const long long lo = isXMajor ? target.box.left : target.box.top;
    const long long hi = (isXMajor ? target.box.right : target.box.bottom) - 1;
    const long long first = std::max(sign > 0 ? lo - start : start - hi, 0LL);
    const long long last = std::min(sign > 0 ? hi - start : start - lo, steps - 1);
    if (first > last)
        return;
    const long long minorStart = isXMajor ? a.y : a.x;
    const long long minorLo = isXMajor ? target.box.top : target.box.left;
    const long long minorHi = (isXMajor ? target.box.bottom : target.box.right) - 1;
    MinorSteps minor(first, isXMajor ? dy : dx, steps);
    for (long long i = first; i <= last; ++i, minor.Next()) {
        const long long m = minorStart + minor.Offset();
        if (m < minorLo || m > minorHi)
            continue;
        const long long major = start + sign * i;
        const int x = static_cast<int>(isXMajor ? major : m);
        const int y = static_cast<int>(isXMajor ? m : major);
        SetPixelClipped(target, x, y, paint, rop2);
    }
}

PointD Centre(PointL p) {
    return PointD{static_cast<double>(p.x) + 0.5, static_cast<double>(p.y) + 0.5};
}

// The point of line a-b (a != b) at the given major coordinate, as a pixel centre (both
// coordinates + 0.5): exact up to the rounding to double, the same for any two points of the
// line.
PointD PointAt(PointL a, PointL b, bool isXMajor, long long major) {
    long long majorDelta = isXMajor ? b.x - a.x : b.y - a.y;
    long long minorDelta = isXMajor ? b.y - a.y : b.x - a.x;
    if (majorDelta < 0) {
        majorDelta = -majorDelta;
        minorDelta = -minorDelta;
    }
    const long long majorStart = isXMajor ? a.x : a.y;
    const long long minorStart = isXMajor ? a.y : a.x;
    const Division d = FloorDivide(Wide{major - majorStart} * minorDelta, majorDelta);
    const double minor = static_cast<double>(minorStart + d.quotient) +
                         static_cast<double>(d.remainder) / static_cast<double>(majorDelta) + 0.5;
    const double along = static_cast<double>(major) + 0.5;
    return isXMajor ? PointD{along, minor} : PointD{minor, along};
}

// Ends farther than this (plus half the pen) outside the clip box along the segment's major axis
// are moved in along the line before the outline is computed in doubles, so its rounding stays
// far below a pixel however far they lay. Nearer ends are used as given.
constexpr long long kWideReach = 1LL << 20;

// The pen's body along a-b: the rectangle of half its width on each side of the segment.
void AddSegment(SpanSet& spans, PointL a, PointL b, double half) {
    const long long dx = b.x - a.x;
    const long long dy = b.y - a.y;
    if (dx == 0 && dy == 0)
        return;
    const RECT& box = spans.target().box;
    const bool isXMajor = std::llabs(dx) >= std::llabs(dy);
    const long long reach = kWideReach + static_cast<long long>(std::ceil(half));
    const long long lo = (isXMajor ? box.left : box.top) - reach;
    const long long hi = (isXMajor ? box.right : box.bottom) + reach;
    const long long aMajor = isXMajor ? a.x : a.y;
    const long long bMajor = isXMajor ? b.x : b.y;
    if (std::max(aMajor, bMajor) < lo || std::min(aMajor, bMajor) > hi)
        return;
    PointD from = Centre(a);
    PointD to = Centre(b);
    double ux = to.x - from.x;
    double uy = to.y - from.y;
    if (aMajor < lo || aMajor > hi || bMajor < lo || bMajor > hi) {
        from = PointAt(a, b, isXMajor, std::clamp(aMajor, lo, hi));
        to = PointAt(a, b, isXMajor, std::clamp(bMajor, lo, hi));
        // The direction in lowest terms: one line, one outline, whichever points give it.
        const long long divisor = std::gcd(dx, dy);
        const long long runX = dx / divisor;
        const long long runY = dy / divisor;
        ux = static_cast<double>(runX);
        uy = static_cast<double>(runY);
    }
    const double length = std::hypot(ux, uy);
    const double nx = -uy / length * half;
    const double ny = ux / length * half;
    const PointD quad[4] = {{from.x + nx, from.y + ny},
                            {to.x + nx, to.y + ny},
                            {to.x - nx, to.y - ny},
                            {from.x - nx, from.y - ny}};
    AddConvex(spans, quad, 4);
}

void AddDisc(SpanSet& spans, PointD centre, double radius) {
    const Target& target = spans.target();
    const int y0 = std::max(PixelFrom(centre.y - radius), static_cast<int>(target.box.top));
    const int y1 = std::min(PixelFrom(centre.y + radius), static_cast<int>(target.box.bottom));
    for (int y = y0; y < y1; ++y) {
        const double d = y + 0.5 - centre.y;
        const double half = std::sqrt(std::max(0.0, radius * radius - d * d));
        spans.Add(y, PixelFrom(centre.x - half), PixelFrom(centre.x + half));
    }
}

// A wide pen along the points (surface coordinates), with round joins and caps.
void WidePath(const Target& target, const std::vector<PointL>& points, double width,
              const Paint& paint, int rop2) {
    SpanSet spans(target, paint, rop2);
    const double half = width / 2;
    for (std::size_t i = 0; i < points.size(); ++i) {
        AddDisc(spans, Centre(points[i]), half);
        if (i + 1 < points.size())
            AddSegment(spans, points[i], points[i + 1], half);
    }
    spans.Paint();
}

} // namespace

namespace platform::gdi_detail {

void Stroke(Dc& dc, const Target& target, const POINT* points, int count, bool closed) {
    if (!HasPen(dc) || count < 1)
        return;
    const Paint paint = PenPaint(dc);
    std::vector<PointL> path;
    path.reserve(static_cast<std::size_t>(count) + 1);
    for (int i = 0; i < count; ++i)
        path.push_back(PointL{ExactX(dc, target, points[i].x), ExactY(dc, target, points[i].y)});
    if (closed)
        path.push_back(path.front());
    if (IsWide(dc)) {
        WidePath(target, path, dc.penObject->pen.width, paint, dc.rop2);
        return;
    }
    for (std::size_t i = 0; i + 1 < path.size(); ++i)
        ThinLine(target, path[i], path[i + 1], paint, dc.rop2);
}

} // namespace platform::gdi_detail

BOOL MoveToEx(HDC handle, int x, int y, POINT* previous) {
    return WithDc(handle, FALSE, [&](Dc& dc) {
        if (previous != nullptr)
            *previous = dc.current;
        dc.current = POINT{x, y};
        return TRUE;
    });
}

BOOL LineTo(HDC handle, int x, int y) {
    return Draw(handle, [&](Dc& dc, const Target& target) {
        const POINT points[2] = {dc.current, POINT{x, y}};
        Stroke(dc, target, points, 2, false);
        dc.current = points[1];
        return TRUE;
    });
}

BOOL Polyline(HDC handle, const POINT* points, int count) {
    if (points == nullptr || count < 2)
        return FALSE;
    return Draw(handle, [&](Dc& dc, const Target& target) {
        Stroke(dc, target, points, count, false);
        return TRUE;
    });
}
