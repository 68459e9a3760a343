// Clipping of the device lists at the picture's border and pruning of what no longer hangs
// together with the route.
#include "junctionview/model/crossingmodel.h"

#include <algorithm>
#include <cmath>
#include <iterator>

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

namespace {

// Where the segment from the inside point i to the outside point o leaves the rectangle; false
// when no side's line crosses it.
bool LeavingPoint(const DevicePoint& i, const DevicePoint& o, const JunctionRect& r,
                  DevicePoint& c) {
    // The sides the outer point lies beyond: one of left/right, one of top/bottom.
    const int across = o.x < r.left ? 0 : (o.x > r.right ? 1 : -1);
    const int along = o.y < r.top ? 2 : (o.y > r.bottom ? 3 : -1);
    if (across < 0 || along < 0) {
        return CrossSide(i, o, r, across < 0 ? along : across, c);
    }
    // A corner region: the side crossed inside the rectangle, else the nearer crossing.
    DevicePoint c1{};
    DevicePoint c2{};
    const bool has1 = CrossSide(i, o, r, across, c1);
    const bool has2 = CrossSide(i, o, r, along, c2);
    if (has1 && IsInside(r, c1.x, c1.y)) {
        c = c1;
    } else if (has2 && IsInside(r, c2.x, c2.y)) {
        c = c2;
    } else if (has1 || has2) {
        const auto distance = [&](const DevicePoint& p) {
            return std::hypot(p.x - i.x, p.y - i.y);
        };
        c = !has2 || (has1 && distance(c1) <= distance(c2)) ? c1 : c2;
    } else {
        return false;
    }
    return true;
}

// The part of the segment inside the rectangle, in the segment's direction; false when none
// (or a single device point) is left.
bool ClipSegment(const JunctionSegment& s, const JunctionRect& r, JunctionSegment& piece) {
    const bool isFirstIn = IsInside(r, s.x1, s.y1);
    const bool isSecondIn = IsInside(r, s.x2, s.y2);
    piece = s;
    if (isFirstIn && isSecondIn) {
        return true;
    }
    if (!isFirstIn && !isSecondIn) {
        return false; // also when it crosses the rectangle
    }
    const DevicePoint i = isFirstIn ? DevicePoint{s.x1, s.y1} : DevicePoint{s.x2, s.y2};
    const DevicePoint o = isFirstIn ? DevicePoint{s.x2, s.y2} : DevicePoint{s.x1, s.y1};
    DevicePoint c{};
    if (!LeavingPoint(i, o, r, c)) {
        return false;
    }
    const auto cx = static_cast<float>(c.x);
    const auto cy = static_cast<float>(c.y);
    if (isFirstIn) {
        piece.x2 = cx;
        piece.y2 = cy;
    } else {
        piece.x1 = cx;
        piece.y1 = cy;
    }
    // Cut to a single device point: nothing left.
    return ClampToInt(piece.x1) != ClampToInt(piece.x2) ||
           ClampToInt(piece.y1) != ClampToInt(piece.y2);
}

// The pieces of each street of the list that touches the route, grown piece by piece onto what
// is kept; the list becomes the pieces grown.
void GrowStreets(std::vector<JunctionSegment>& list, const std::vector<JunctionSegment>& route,
                 std::vector<JunctionSegment>& kept) {
    std::vector<std::uint32_t> ids;
    for (const JunctionSegment& s : list) {
        if (std::find(ids.begin(), ids.end(), s.streetId) == ids.end() &&
            CrossingModel::TouchesList(s, route)) {
            ids.push_back(s.streetId);
        }
    }
    std::vector<JunctionSegment> grown;
    for (auto id = ids.rbegin(); id != ids.rend(); ++id) {
        std::vector<JunctionSegment> pieces;
        std::copy_if(list.begin(), list.end(), std::back_inserter(pieces),
                     [&](const JunctionSegment& s) { return s.streetId == *id; });
        for (bool isGrowing = true; isGrowing;) {
            const auto piece = std::find_if(pieces.begin(), pieces.end(), [&](const auto& p) {
                return CrossingModel::TouchesList(p, kept);
            });
            isGrowing = piece != pieces.end();
            if (isGrowing) {
                kept.push_back(*piece);
                grown.push_back(*piece);
                pieces.erase(piece);
            }
        }
    }
    list = std::move(grown);
}

} // namespace

void CrossingModel::ClipSegments(std::vector<JunctionSegment>& list, std::int32_t left,
                                 std::int32_t top, std::int32_t right, std::int32_t bottom) {
    const JunctionRect r{left, top, right, bottom};
    std::vector<JunctionSegment> kept;
    JunctionSegment piece;
    for (const JunctionSegment& s : list) {
        if (ClipSegment(s, r, piece)) {
            kept.push_back(piece);
        }
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
    GrowStreets(side, route, kept);
    GrowStreets(extra, route, kept);
}
