// Polygons and the rectangle-based shapes. Wide pens and fills sample pixel centres, so a shape
// covers a pixel when the pixel's centre lies inside it. Coordinates may span the whole range of
// int: a shape far larger than the surface shows its own outline, computed in doubles from the
// exact coordinates.
#include "platform/gdi/detail/gdistate.h"

#include <algorithm>
#include <cmath>

using namespace platform::gdi_detail;

namespace platform::gdi_detail {

void AddConvex(SpanSet& spans, const PointD* points, int count) {
    const Target& target = spans.target();
    double top = points[0].y, bottom = points[0].y;
    for (int i = 1; i < count; ++i) {
        top = std::min(top, points[i].y);
        bottom = std::max(bottom, points[i].y);
    }
    const int y0 = std::max(PixelFrom(top), static_cast<int>(target.box.top));
    const int y1 = std::min(PixelFrom(bottom), static_cast<int>(target.box.bottom));
    // An upright rectangle (wide pens along the axes): its two sides cross every row in the
    // range at their own x, so each row gets the same span.
    const auto isUpright = [&](int first) {
        const PointD* p = points;
        return first == 0
                   ? p[0].x == p[1].x && p[1].y == p[2].y && p[2].x == p[3].x && p[3].y == p[0].y
                   : p[0].y == p[1].y && p[1].x == p[2].x && p[2].y == p[3].y && p[3].x == p[0].x;
    };
    if (count == 4 && (isUpright(0) || isUpright(1))) {
        const int x0 = PixelFrom(std::min(points[0].x, points[2].x));
        const int x1 = PixelFrom(std::max(points[0].x, points[2].x));
        if (std::min(points[0].x, points[2].x) < std::max(points[0].x, points[2].x)) {
            for (int y = y0; y < y1; ++y)
                spans.Add(y, x0, x1);
        }
        return;
    }
    for (int y = y0; y < y1; ++y) {
        const double cy = y + 0.5;
        double left = 1e18, right = -1e18;
        for (int i = 0; i < count; ++i) {
            const PointD& a = points[i];
            const PointD& b = points[(i + 1) % count];
            if ((a.y <= cy && cy < b.y) || (b.y <= cy && cy < a.y)) {
                const double x = a.x + (cy - a.y) * (b.x - a.x) / (b.y - a.y);
                left = std::min(left, x);
                right = std::max(right, x);
            }
        }
        if (left < right)
            spans.Add(y, PixelFrom(left), PixelFrom(right));
    }
}

} // namespace platform::gdi_detail

namespace {

// Fills the polygon (surface coordinates of pixel corners) by the fill mode.
void FillPolygon(const Target& target, const std::vector<PointD>& points, int fillMode,
                 const Paint& paint, int rop2) {
    struct Edge {
        double x0, y0, x1, y1;
        int direction;
    };
    std::vector<Edge> edges;
    double top = 1e18, bottom = -1e18;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const PointD a = points[i];
        const PointD b = points[(i + 1) % points.size()];
        if (a.y == b.y)
            continue;
        edges.push_back(a.y < b.y ? Edge{a.x, a.y, b.x, b.y, 1} : Edge{b.x, b.y, a.x, a.y, -1});
        top = std::min(top, std::min(a.y, b.y));
        bottom = std::max(bottom, std::max(a.y, b.y));
    }
    if (edges.empty())
        return;
    std::sort(edges.begin(), edges.end(), [](const Edge& a, const Edge& b) { return a.y0 < b.y0; });
    const int y0 = std::max(PixelFrom(top), static_cast<int>(target.box.top));
    const int y1 = std::min(PixelFrom(bottom), static_cast<int>(target.box.bottom));
    std::vector<std::pair<double, int>> crossings;
    std::size_t next = 0;
    std::vector<const Edge*> active;
    for (int y = y0; y < y1; ++y) {
        const double cy = y + 0.5;
        while (next < edges.size() && edges[next].y0 <= cy)
            active.push_back(&edges[next++]);
        active.erase(std::remove_if(active.begin(), active.end(),
                                    [cy](const Edge* e) { return e->y1 <= cy; }),
                     active.end());
        crossings.clear();
        for (const Edge* e : active) {
            const double x = e->x0 + (cy - e->y0) * (e->x1 - e->x0) / (e->y1 - e->y0);
            crossings.emplace_back(x, e->direction);
        }
        std::sort(crossings.begin(), crossings.end());
        int winding = 0;
        for (std::size_t i = 0; i + 1 < crossings.size(); ++i) {
            winding += fillMode == WINDING ? crossings[i].second : 1;
            const bool isInside = fillMode == WINDING ? winding != 0 : (winding & 1) != 0;
            if (isInside) {
                FillSpan(target, y, PixelFrom(crossings[i].first),
                         PixelFrom(crossings[i + 1].first), paint, rop2);
            }
        }
    }
}

// The row of a rectangle with elliptic corners (pixel-corner coordinates): the pixels whose
// centres lie inside, as [x0, x1).
struct RoundShape {
    double left, top, right, bottom, rx, ry;

    bool Row(int y, int* x0, int* x1) const {
        const double cy = y + 0.5;
        if (cy < top || cy >= bottom || left >= right)
            return false;
        const double inset = Inset(cy);
        *x0 = PixelFrom(left + inset);
        *x1 = PixelFrom(right - inset);
        return *x0 < *x1;
    }
    // How far the row through cy starts right of left and ends left of right.
    double Inset(double cy) const {
        if (rx <= 0 || ry <= 0)
            return 0;
        double u = 0; // how far into a corner's band the row lies
        double d = 0; // 1 - u / ry
        if (cy < top + ry) {
            u = cy - top;
            d = (top + ry - cy) / ry;
        } else if (cy > bottom - ry) {
            u = bottom - cy;
            d = (cy - (bottom - ry)) / ry;
        } else {
            return 0;
        }
        // 1 - d^2 loses its precision where d comes close to 1 in a large corner (a row near
        // the top of an ellipse far larger than the surface); u (2 ry - u) / ry^2 keeps it.
        // Small corners keep 1 - d^2, precise to far below a pixel: its rounding decides the
        // pixels whose centres lie exactly on the outline.
        const bool isSmall = rx <= kSmallRadius && ry <= kSmallRadius;
        const double rest = isSmall ? 1 - d * d : u * (2 * ry - u) / (ry * ry);
        return rx * (1 - std::sqrt(std::max(0.0, rest)));
    }
    static constexpr double kSmallRadius = 1 << 16;

    RoundShape Inflate(double d) const {
        return RoundShape{left - d,
                          top - d,
                          right + d,
                          bottom + d,
                          rx > 0 || d > 0 ? std::max(0.0, rx + d) : 0,
                          ry > 0 || d > 0 ? std::max(0.0, ry + d) : 0};
    }
};

// Fills base with the brush and outlines it with the pen, by GDI's rules for Rectangle,
// Ellipse and RoundRect.
void DrawRoundShape(Dc& dc, const Target& target, const RoundShape& base) {
    Paint brush;
    const bool hasBrush = dc.brushObject && BrushPaint(dc, dc.brushObject->brush, target, &brush);
    const Paint pen = PenPaint(dc);
    const int y0 = static_cast<int>(target.box.top);
    const int y1 = static_cast<int>(target.box.bottom);
    if (!HasPen(dc)) {
        for (int y = y0; y < y1; ++y) {
            int a = 0, b = 0;
            if (hasBrush && base.Row(y, &a, &b))
                FillSpan(target, y, a, b, brush, dc.rop2);
        }
        return;
    }
    if (IsWide(dc)) {
        const double half = dc.penObject->pen.width / 2.0;
        const RoundShape outer = base.Inflate(half);
        RoundShape inner = base.Inflate(-half);
        inner.rx = std::max(0.0, base.rx - half);
        inner.ry = std::max(0.0, base.ry - half);
        for (int y = y0; y < y1; ++y) {
            int oa = 0, ob = 0, ia = 0, ib = 0;
            if (!outer.Row(y, &oa, &ob))
                continue;
            if (!inner.Row(y, &ia, &ib)) {
                FillSpan(target, y, oa, ob, pen, dc.rop2);
                continue;
            }
            if (hasBrush)
                FillSpan(target, y, ia, ib, brush, dc.rop2);
            FillSpan(target, y, oa, ia, pen, dc.rop2);
            FillSpan(target, y, ib, ob, pen, dc.rop2);
        }
        return;
    }
    // A thin outline is the shape's own border pixels; the brush fills what they enclose.
    for (int y = y0; y < y1; ++y) {
        int a = 0, b = 0;
        if (!base.Row(y, &a, &b))
            continue;
        int aa = 0, ab = 0, ba = 0, bb = 0;
        int ia = a + 1, ib = b - 1;
        if (base.Row(y - 1, &aa, &ab) && base.Row(y + 1, &ba, &bb)) {
            ia = std::max({ia, aa, ba});
            ib = std::min({ib, ab, bb});
        } else {
            ia = ib = b;
        }
        if (ia >= ib) {
            FillSpan(target, y, a, b, pen, dc.rop2);
            continue;
        }
        if (hasBrush)
            FillSpan(target, y, ia, ib, brush, dc.rop2);
        FillSpan(target, y, a, ia, pen, dc.rop2);
        FillSpan(target, y, ib, b, pen, dc.rop2);
    }
}

BOOL DrawBox(HDC handle, int left, int top, int right, int bottom, double rx, double ry) {
    return Draw(handle, [&](Dc& dc, const Target& target) {
        const double l = static_cast<double>(ExactX(dc, target, std::min(left, right)));
        const double r = static_cast<double>(ExactX(dc, target, std::max(left, right)));
        const double t = static_cast<double>(ExactY(dc, target, std::min(top, bottom)));
        const double b = static_cast<double>(ExactY(dc, target, std::max(top, bottom)));
        rx = std::min(rx, (r - l) / 2);
        ry = std::min(ry, (b - t) / 2);
        DrawRoundShape(dc, target, RoundShape{l, t, r, b, rx, ry});
        return TRUE;
    });
}

} // namespace

BOOL Polygon(HDC handle, const POINT* points, int count) {
    if (points == nullptr || count < 2)
        return FALSE;
    std::vector<POINT> clamped(points, points + count);
    for (POINT& p : clamped) {
        p.x = std::clamp<LONG>(p.x, -16384, 16383);
        p.y = std::clamp<LONG>(p.y, -16384, 16383);
    }
    return Draw(handle, [&](Dc& dc, const Target& target) {
        Paint brush;
        if (dc.brushObject && BrushPaint(dc, dc.brushObject->brush, target, &brush)) {
            std::vector<PointD> corners;
            corners.reserve(clamped.size());
            for (const POINT& p : clamped) {
                corners.push_back(PointD{static_cast<double>(ExactX(dc, target, p.x)),
                                         static_cast<double>(ExactY(dc, target, p.y))});
            }
            FillPolygon(target, corners, dc.fillMode, brush, dc.rop2);
        }
        Stroke(dc, target, clamped.data(), count, true);
        return TRUE;
    });
}

BOOL Rectangle(HDC dc, int left, int top, int right, int bottom) {
    return DrawBox(dc, left, top, right, bottom, 0, 0);
}

BOOL Ellipse(HDC dc, int left, int top, int right, int bottom) {
    const double rx = std::abs(static_cast<double>(right) - left) / 2;
    const double ry = std::abs(static_cast<double>(bottom) - top) / 2;
    return DrawBox(dc, left, top, right, bottom, rx, ry);
}

BOOL RoundRect(HDC dc, int left, int top, int right, int bottom, int width, int height) {
    return DrawBox(dc, left, top, right, bottom, std::abs(static_cast<double>(width)) / 2,
                   std::abs(static_cast<double>(height)) / 2);
}

int FillRect(HDC handle, const RECT* rect, HBRUSH brushHandle) {
    if (rect == nullptr)
        return 0;
    ObjectPtr brush;
    {
        GdiState& state = State();
        std::lock_guard lock(state.mutex);
        brush = FindObject(state, brushHandle);
        if (!brush || brush->type != OBJ_BRUSH)
            return 0;
    }
    return Draw(handle, [&](Dc& dc, const Target& target) {
        Paint paint;
        if (!BrushPaint(dc, brush->brush, target, &paint))
            return TRUE;
        const long long l = SurfaceX(dc, target, rect->left);
        const long long r = SurfaceX(dc, target, rect->right);
        const long long t = std::max<long long>(SurfaceY(dc, target, rect->top), target.box.top);
        const long long b =
            std::min<long long>(SurfaceY(dc, target, rect->bottom), target.box.bottom);
        const int x0 = static_cast<int>(std::max<long long>(l, target.box.left));
        const int x1 = static_cast<int>(std::min<long long>(r, target.box.right));
        for (long long y = t; y < b; ++y)
            FillSpan(target, static_cast<int>(y), x0, x1, paint, R2_COPYPEN);
        return TRUE;
    });
}

COLORREF SetPixel(HDC handle, int x, int y, COLORREF colour) {
    COLORREF result = CLR_INVALID;
    Draw(handle, [&](Dc& dc, const Target& target) {
        const long long sx = SurfaceX(dc, target, x);
        const long long sy = SurfaceY(dc, target, y);
        if (!IsVisible(target, static_cast<int>(sx), static_cast<int>(sy)))
            return FALSE;
        Paint paint;
        paint.colour = ToPixel(colour);
        SetPixelClipped(target, static_cast<int>(sx), static_cast<int>(sy), paint, R2_COPYPEN);
        result = ToColorref(target.surface->Row(static_cast<int>(sy))[sx]);
        return TRUE;
    });
    return result;
}

COLORREF GetPixel(HDC handle, int x, int y) {
    COLORREF result = CLR_INVALID;
    Draw(handle, [&](Dc& dc, const Target& target) {
        const long long sx = SurfaceX(dc, target, x);
        const long long sy = SurfaceY(dc, target, y);
        if (IsVisible(target, static_cast<int>(sx), static_cast<int>(sy)))
            result = ToColorref(target.surface->Row(static_cast<int>(sy))[sx]);
        return TRUE;
    });
    return result;
}
