#include "junctionview/paint/junctionpainter.h"

#include <algorithm>
#include <cmath>

namespace {

using junctionview::ClampToInt;
using junctionview::kPi;

struct Offset {
    double x = 0.0;
    double y = 0.0;
};

// The sizes (ox, oy) of an offset d off the segment A-B: d sin|theta|, d cos|theta|; (d, 0) for
// a vertical segment.
Offset OffsetSizes(float ax, float ay, float bx, float by, double d) {
    const double theta = LineSlopeAngle(ax, ay, bx, by, false);
    if (theta == junctionview::kVerticalSlope) {
        return {d, 0.0};
    }
    return {d * std::sin(std::fabs(theta)), d * std::cos(std::fabs(theta))};
}

// d times the left unit normal of A-B, by quadrant.
Offset LeftOffset(float ax, float ay, float bx, float by, double d) {
    const Offset o = OffsetSizes(ax, ay, bx, by, d);
    if (bx >= ax) {
        return by >= ay ? Offset{-o.x, o.y} : Offset{o.x, o.y};
    }
    return by >= ay ? Offset{-o.x, -o.y} : Offset{o.x, -o.y};
}

POINT MakePoint(double x, double y) {
    return {ClampToInt(x), ClampToInt(y)};
}

double Distance(const POINT& a, const POINT& b) {
    return std::hypot(static_cast<double>(a.x) - b.x, static_cast<double>(a.y) - b.y);
}

// Closes the gaps between the edge pieces k, k+1 and k+2, k+3: points closer than threshold are
// joined, the others meet where the pieces' lines cross (parallel ones stay).
void JoinEdge(std::vector<POINT>& edge, double threshold) {
    if (edge.size() <= 3) {
        return;
    }
    for (std::size_t k = 0; k + 2 < edge.size(); k += 2) {
        if (Distance(edge[k + 1], edge[k + 2]) <= threshold) {
            edge[k + 2] = edge[k + 1];
            continue;
        }
        double x = 0.0;
        double y = 0.0;
        if (IntersectLines(edge[k].x, edge[k].y, edge[k + 1].x, edge[k + 1].y, edge[k + 2].x,
                           edge[k + 2].y, edge[k + 3].x, edge[k + 3].y, x, y)) {
            edge[k + 1] = MakePoint(x, y);
            edge[k + 2] = edge[k + 1];
        }
    }
}

// The angle of a point about the centre (y up), 0 to 2 pi; straight above pi/2, below 3pi/2.
double ArcAngle(double cx, double cy, double x, double y) {
    double a = LineSlopeAngle(static_cast<float>(cx), static_cast<float>(cy), static_cast<float>(x),
                              static_cast<float>(y), false);
    if (a == junctionview::kVerticalSlope) {
        a = y > cy ? kPi / 2 : 3 * kPi / 2;
    }
    if (x > cx && y < cy) {
        a = 2 * kPi - std::fabs(a);
    } else if (x < cx && y > cy) {
        a = kPi - std::fabs(a);
    } else if (x < cx && y <= cy) {
        a = kPi + std::fabs(a);
    }
    return a;
}

void DrawCircle(JunctionCanvas& canvas, std::int32_t cx, std::int32_t cy, std::int32_t r) {
    const auto at = [](std::int32_t a, double b) { return ClampToInt(a + b); };
    canvas.DrawEllipse(at(cx, -static_cast<double>(r)), at(cy, -static_cast<double>(r)), at(cx, r),
                       at(cy, r));
}

bool IsUnsetPoint(float x, float y) {
    return x == junctionview::kUnset || y == junctionview::kUnset;
}

} // namespace

JunctionPainter::JunctionPainter(const JunctionStyle& style,
                                 const std::vector<std::uint32_t>& routeElementIds,
                                 JunctionCanvas& canvas)
    : m_style(style)
    , m_routeElementIds(routeElementIds)
    , m_canvas(canvas) {}

bool JunctionPainter::ContainsRouteElement(std::uint32_t id) const {
    return std::find(m_routeElementIds.begin(), m_routeElementIds.end(), id) !=
           m_routeElementIds.end();
}

void JunctionPainter::PaintBand(std::span<const JunctionSegment> run, std::int32_t width,
                                COLORREF colour) {
    if (run.empty()) {
        return;
    }
    const std::int32_t h = width / 2;
    std::vector<POINT> left;
    std::vector<POINT> right;
    left.reserve(2 * run.size());
    right.reserve(2 * run.size());
    for (const JunctionSegment& s : run) {
        const Offset o =
            LeftOffset(std::floor(s.x1), std::floor(s.y1), std::floor(s.x2), std::floor(s.y2), h);
        left.push_back(MakePoint(s.x1 + o.x, s.y1 + o.y));
        left.push_back(MakePoint(s.x2 + o.x, s.y2 + o.y));
        right.push_back(MakePoint(s.x1 - o.x, s.y1 - o.y));
        right.push_back(MakePoint(s.x2 - o.x, s.y2 - o.y));
    }
    JoinEdge(left, 4.0);
    JoinEdge(right, h);

    std::vector<POINT> polygon(left);
    polygon.insert(polygon.end(), right.rbegin(), right.rend());
    polygon.push_back(left.front());
    m_canvas.SetBrush(colour);
    m_canvas.SetPen({PS_SOLID, 1, colour});
    m_canvas.FillPolygon(polygon.data(), static_cast<int>(polygon.size()));
    m_canvas.SetPen({PS_SOLID, 2, m_style.outlineColour});
    m_canvas.DrawPolyline(left.data(), static_cast<int>(left.size()));
    m_canvas.DrawPolyline(right.data(), static_cast<int>(right.size()));
}

void JunctionPainter::PaintArrowHead(std::uint32_t streetId, float x0, float y0, float x1,
                                     float y1) {
    const std::int32_t bigW = 5 * m_style.routeWidth / 4;
    const std::int32_t smallW = m_style.routeWidth / 2;
    const double dx = static_cast<double>(x1) - x0;
    const double dy = static_cast<double>(y1) - y0;
    const double s = (dx >= 0 && dy >= 0) || (dx < 0 && dy < 0) ? -1.0 : 1.0;
    const Offset o = OffsetSizes(x0, y0, x1, y1, bigW);
    const POINT c1 = MakePoint(x1 + s * o.x, y1 + o.y);
    const POINT c2 = MakePoint(x1 - s * o.x, y1 - o.y);
    POINT tip;
    const double theta = LineSlopeAngle(x0, y0, x1, y1, false);
    if (theta == junctionview::kVerticalSlope) {
        tip = MakePoint(x1, y1 >= y0 ? y1 + 10.0 : y1 - 10.0);
    } else {
        const double along = bigW * std::cos(std::fabs(theta));
        const double across = bigW * std::sin(std::fabs(theta));
        tip = MakePoint(x1 + (dx < 0 ? -along : along), y1 + (dy < 0 ? -across : across));
    }
    const COLORREF fill =
        ContainsRouteElement(streetId) ? m_style.routeColour : m_style.junctionRoadColour;
    m_canvas.SetBrush(fill);
    m_canvas.SetPen({PS_SOLID, 1, fill});
    const POINT head[3] = {c1, c2, tip};
    m_canvas.FillPolygon(head, 3);

    const Offset e = OffsetSizes(x0, y0, x1, y1, smallW);
    const POINT outline[5] = {MakePoint(x1 + s * e.x, y1 + e.y), c1, tip, c2,
                              MakePoint(x1 - s * e.x, y1 - e.y)};
    m_canvas.SetPen({PS_SOLID, 2, m_style.outlineColour});
    m_canvas.DrawPolyline(outline, 5);
}

void JunctionPainter::PaintGrouped(std::span<const JunctionSegment> list, std::int32_t width,
                                   COLORREF colour, std::vector<JunctionSegment>* heldBack) {
    std::vector<JunctionSegment> run;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const JunctionSegment& s = list[i];
        if (i > 0 && s.streetId != list[i - 1].streetId) {
            PaintBand(run, width, colour);
            run.clear();
        }
        if (heldBack != nullptr && ContainsRouteElement(s.streetId)) {
            heldBack->push_back(s);
        } else {
            run.push_back(s);
        }
    }
    PaintBand(run, width, colour);
}

void JunctionPainter::PaintJunction(const JunctionScene& scene) {
    if (scene.isModelEmpty) {
        return;
    }
    std::vector<JunctionSegment> extraRoutePieces;
    std::vector<JunctionSegment> sideRoutePieces;
    PaintGrouped(scene.screenExtra, m_style.extraRoadWidth, m_style.extraRoadColour,
                 &extraRoutePieces);
    PaintGrouped(scene.screenSide, m_style.sideRoadWidth, m_style.sideRoadColour, &sideRoutePieces);

    const JunctionRect& t = scene.targetRect;
    const auto cx = ClampToInt((static_cast<double>(t.left) + t.right) / 2);
    const auto cy = ClampToInt((static_cast<double>(t.top) + t.bottom) / 2);
    const auto r = ClampToInt(3 * (static_cast<double>(t.right) - t.left) / 8);
    if (scene.isRoundabout) {
        m_canvas.SetBrush(m_style.backgroundColour);
        m_canvas.SetPen({PS_SOLID, 3, m_style.sideRoadColour});
        DrawCircle(m_canvas, cx, cy, r);
    }

    if (!scene.screenRoute.empty()) {
        if (!scene.isRoundabout) {
            PaintBand(scene.screenRoute, m_style.routeWidth, m_style.junctionRoadColour);
            std::vector<JunctionSegment> onRoute;
            std::copy_if(
                scene.screenRoute.begin(), scene.screenRoute.end(), std::back_inserter(onRoute),
                [&](const JunctionSegment& s) { return ContainsRouteElement(s.streetId); });
            PaintBand(onRoute, m_style.routeWidth, m_style.routeColour);
        } else {
            for (const JunctionSegment& s : scene.screenRoute) {
                if (!ContainsRouteElement(s.streetId)) {
                    PaintBand({&s, 1}, m_style.routeWidth, m_style.junctionRoadColour);
                }
            }
        }
    }
    PaintGrouped(extraRoutePieces, m_style.routeWidth, m_style.routeColour, nullptr);
    PaintGrouped(sideRoutePieces, m_style.routeWidth, m_style.routeColour, nullptr);

    if (scene.isRoundabout && !PaintArc(scene, cx, cy, r)) {
        return;
    }
    const JunctionSegment& arrow = scene.arrowSegment;
    if (!IsUnsetPoint(arrow.x1, arrow.y1) && !IsUnsetPoint(arrow.x2, arrow.y2)) {
        PaintArrowHead(arrow.streetId, arrow.x1, arrow.y1, arrow.x2, arrow.y2);
    }
}

bool JunctionPainter::PaintArc(const JunctionScene& scene, std::int32_t cx, std::int32_t cy,
                               std::int32_t r) {
    const std::int32_t r2 = ClampToInt(static_cast<double>(r) - m_style.routeWidth);
    const JunctionSegment& arrow = scene.arrowSegment;
    if (IsUnsetPoint(arrow.x2, arrow.y2)) {
        return false;
    }
    const auto& route = scene.screenRoute;
    double ex = scene.approachSegment.x1;
    double ey = scene.approachSegment.y1;
    if (route.size() >= 2) {
        const bool firstEndsAtExit = route[0].x2 == arrow.x2 && route[0].y2 == arrow.y2;
        ex = firstEndsAtExit ? route[1].x2 : route[0].x2;
        ey = firstEndsAtExit ? route[1].y2 : route[0].y2;
    }
    const double h = static_cast<double>(scene.targetRect.bottom) - scene.targetRect.top;
    const double centreY = h - cy;
    double aE = ArcAngle(cx, centreY, ex, h - ey);
    double aX = ArcAngle(cx, centreY, arrow.x2, h - arrow.y2);
    if (aX < aE) {
        aX += 2 * kPi;
    }
    if (scene.reverseArc) {
        const double start = aX;
        aX = aE + 2 * kPi;
        aE = start;
    }
    std::vector<POINT> points;
    if (std::isfinite(aE) && std::isfinite(aX) && aX - aE <= 6 * kPi) {
        const double step = kPi / 180;
        const auto add = [&](double radius, double a) {
            const double x = std::trunc(radius * std::cos(a));
            const double y = std::trunc(radius * std::sin(a));
            points.push_back(MakePoint(x + cx, h - std::trunc(y + h - cy)));
        };
        for (double a = aE; a < aX; a += step) {
            add(r, a);
        }
        for (double a = aX; a > aE; a -= step) {
            add(r2, a);
        }
        if (!points.empty()) {
            points.push_back(points.front());
        }
    }
    const bool isEntryUnset = arrow.x1 == junctionview::kUnset && arrow.y1 == junctionview::kUnset;
    m_canvas.SetBrush(isEntryUnset ? m_style.routeColour : m_style.junctionRoadColour);
    if (!points.empty()) {
        m_canvas.SetPen({PS_NULL, 0, 0});
        m_canvas.FillPolygon(points.data(), static_cast<int>(points.size()));
    }
    for (const JunctionSegment& s : route) {
        if (ContainsRouteElement(s.streetId)) {
            PaintBand({&s, 1}, m_style.routeWidth, m_style.routeColour);
        }
    }
    m_canvas.SetBrush(m_style.backgroundColour);
    m_canvas.SetPen({PS_SOLID, 3, m_style.sideRoadColour});
    DrawCircle(m_canvas, cx, cy, r2);
    return true;
}
