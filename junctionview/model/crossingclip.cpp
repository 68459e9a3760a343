// Clipping of the device lists at the picture's border and pruning of what no longer hangs
// together with the route.
#include "junctionview/model/crossingmodel.h"

#include <algorithm>
#include <cmath>

using junctionview::ClampToInt;

namespace {

struct DevicePoint {
    double x;
    double y;
};

bool IsInside(const JunctionRect& r, double x, double y) {
    return IsPointInRect(r.left, r.top, r.right, r.bottom, ClampToInt(x), ClampToInt(y));
}

// The crossing of the segment's line with the line of one side of the rectangle.
bool CrossSide(const DevicePoint& i, const DevicePoint& o, const JunctionRect& r, int side,
               DevicePoint& out) {
    double x3 = r.left;
    double y3 = r.top;
    double x4 = r.left;
    double y4 = r.bottom;
    switch (side) {
    case 1: // right
        x3 = x4 = r.right;
        break;
    case 2: // top
        x4 = r.right;
        y4 = r.top;
        break;
    case 3: // bottom
        y3 = r.bottom;
        x4 = r.right;
        break;
    default: // left
        break;
    }
    return IntersectLines(i.x, i.y, o.x, o.y, x3, y3, x4, y4, out.x, out.y) &&
           std::isfinite(out.x) && std::isfinite(out.y);
}

bool SamePoint(float x1, float y1, float x2, float y2) {
    return x1 == x2 && y1 == y2;
}

} // namespace

void CrossingModel::TrimToRect(std::int32_t left, std::int32_t top, std::int32_t right,
                               std::int32_t bottom) {
    if (m_isRoundabout) {
        return;
    }
    ClipSegments(m_screenRouteSegments, left, top, right, bottom);
    ClipSegments(m_screenSideSegments, left, top, right, bottom);
    ClipSegments(m_screenExtraSegments, left, top, right, bottom);
    PruneDetached(m_screenRouteSegments, m_screenSideSegments, m_screenExtraSegments);
}

void CrossingModel::ClipSegments(std::vector<JunctionSegment>& list, std::int32_t left,
                                 std::int32_t top, std::int32_t right, std::int32_t bottom) {
    const JunctionRect r{left, top, right, bottom};
    std::vector<JunctionSegment> kept;
    for (const JunctionSegment& s : list) {
        const bool isFirstIn = IsInside(r, s.x1, s.y1);
        const bool isSecondIn = IsInside(r, s.x2, s.y2);
        if (isFirstIn && isSecondIn) {
            kept.push_back(s);
            continue;
        }
        if (!isFirstIn && !isSecondIn) {
            continue;
        }
        const DevicePoint i = isFirstIn ? DevicePoint{s.x1, s.y1} : DevicePoint{s.x2, s.y2};
        const DevicePoint o = isFirstIn ? DevicePoint{s.x2, s.y2} : DevicePoint{s.x1, s.y1};
        // The sides the outer point lies beyond: one of left/right, one of top/bottom.
        const int across = o.x < left ? 0 : (o.x > right ? 1 : -1);
        const int along = o.y < top ? 2 : (o.y > bottom ? 3 : -1);
        DevicePoint c{};
        bool found = false;
        if (across < 0 || along < 0) {
            found = CrossSide(i, o, r, across < 0 ? along : across, c);
        } else {
            DevicePoint c1{};
            DevicePoint c2{};
            const bool has1 = CrossSide(i, o, r, across, c1);
            const bool has2 = CrossSide(i, o, r, along, c2);
            if (has1 && IsInside(r, c1.x, c1.y)) {
                c = c1;
                found = true;
            } else if (has2 && IsInside(r, c2.x, c2.y)) {
                c = c2;
                found = true;
            } else if (has1 || has2) {
                const auto distance = [&](const DevicePoint& p) {
                    return std::hypot(p.x - i.x, p.y - i.y);
                };
                c = !has2 || (has1 && distance(c1) <= distance(c2)) ? c1 : c2;
                found = true;
            }
        }
        if (!found) {
            continue;
        }
        JunctionSegment piece = s;
        const auto cx = static_cast<float>(c.x);
        const auto cy = static_cast<float>(c.y);
        if (isFirstIn) {
            piece.x2 = cx;
            piece.y2 = cy;
        } else {
            piece.x1 = cx;
            piece.y1 = cy;
        }
        if (ClampToInt(piece.x1) == ClampToInt(piece.x2) &&
            ClampToInt(piece.y1) == ClampToInt(piece.y2)) {
            continue; // cut to a single device point
        }
        kept.push_back(piece);
    }
    list = std::move(kept);
}

bool CrossingModel::TouchesList(const JunctionSegment& segment,
                                const std::vector<JunctionSegment>& list) {
    const JunctionSegment& s = segment;
    for (const JunctionSegment& e : list) {
        if (SamePoint(e.x1, e.y1, s.x1, s.y1) && SamePoint(e.x2, e.y2, s.x2, s.y2)) {
            continue; // the segment itself
        }
        if (SamePoint(e.x1, e.y1, s.x1, s.y1) || SamePoint(e.x1, e.y1, s.x2, s.y2) ||
            SamePoint(e.x2, e.y2, s.x1, s.y1) || SamePoint(e.x2, e.y2, s.x2, s.y2)) {
            return true;
        }
    }
    return false;
}

void CrossingModel::PruneDetached(std::vector<JunctionSegment>& route,
                                  std::vector<JunctionSegment>& side,
                                  std::vector<JunctionSegment>& extra) {
    std::vector<JunctionSegment> kept;
    if (route.size() > 1) {
        for (const JunctionSegment& s : route) {
            if (TouchesList(s, route)) {
                kept.push_back(s);
            }
        }
        route = kept;
    }
    // The pieces of each street touching the route, grown piece by piece onto what is kept.
    const auto grow = [&](std::vector<JunctionSegment>& list) {
        std::vector<std::uint32_t> ids;
        for (const JunctionSegment& s : list) {
            if (std::find(ids.begin(), ids.end(), s.streetId) == ids.end() &&
                TouchesList(s, route)) {
                ids.push_back(s.streetId);
            }
        }
        std::vector<JunctionSegment> grown;
        for (auto id = ids.rbegin(); id != ids.rend(); ++id) {
            std::vector<JunctionSegment> pieces;
            for (const JunctionSegment& s : list) {
                if (s.streetId == *id) {
                    pieces.push_back(s);
                }
            }
            for (bool isGrowing = true; isGrowing;) {
                isGrowing = false;
                for (auto piece = pieces.begin(); piece != pieces.end(); ++piece) {
                    if (TouchesList(*piece, kept)) {
                        kept.push_back(*piece);
                        grown.push_back(*piece);
                        pieces.erase(piece);
                        isGrowing = true;
                        break;
                    }
                }
            }
        }
        list = std::move(grown);
    };
    grow(side);
    grow(extra);
}
