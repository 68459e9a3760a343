#include "onboard/routetracker.h"

#include "positioning/geodistance.h"

#include <cmath>
#include <vector>

void RouteTracker::SetRoute(const RouteRequestResult& result) {
    ScopedLock lock(&m_lock);
    m_position = GetRouteIterator(result);
    m_result = result;
}

RouteIteratorPtr RouteTracker::GetCursor() {
    ScopedLock lock(&m_lock);
    return m_position ? m_position->Clone() : nullptr;
}

RoutePositionPtr RouteTracker::GetDestinations() {
    ScopedLock lock(&m_lock);
    return m_result.destination;
}

bool RouteTracker::RecordDirection(const RouteRecord& record, const MatchedPosition& position,
                                   double& degrees) {
    const std::vector<GeoPoint>& points = record.polyline;
    const std::size_t n = points.size();
    auto equal = [](const GeoPoint& a, const GeoPoint& b) { return a.x == b.x && a.y == b.y; };
    // The direction at point `at`: towards the next point that differs from it, or at the
    // record's end from the last one that does (a point repeated, as where a route ends on a
    // point of its element's shape, makes a segment of no length and no direction; past the end
    // the position's segment goes on along the element). False when every point is the same.
    auto directionAt = [&](std::size_t at, bool isSegmentStart) {
        const auto differs = [&](std::size_t j) { return !equal(points[j], points[at]); };
        std::size_t ahead = at + 1;
        while (ahead < n && !differs(ahead)) {
            ++ahead;
        }
        std::size_t behind = at;
        while (behind > 0 && !differs(behind - 1)) {
            --behind;
        }
        const bool hasAhead = ahead < n;
        const bool hasBehind = behind > 0;
        if ((isSegmentStart || !hasBehind) && hasAhead) {
            degrees = GeoBearing(points[at], points[ahead]);
            return true;
        }
        if (hasBehind) {
            degrees = GeoBearing(points[behind - 1], points[at]);
            return true;
        }
        return false;
    };
    for (std::size_t k = 0; k < n; ++k) {
        if (equal(points[k], position.segmentStart) && directionAt(k, true)) {
            return true;
        }
        if (k + 1 < n && equal(points[n - 1 - k], position.segmentEnd) &&
            directionAt(n - 1 - k, false)) {
            return true;
        }
    }
    // Neither end of the segment is on the record: no direction, so no match.
    return false;
}

namespace {

bool IsOnRecord(const RouteRecord& record, const MatchedPosition& position) {
    double direction = 0.0;
    if (!RouteTracker::RecordDirection(record, position, direction)) {
        return false;
    }
    double difference = std::fabs(direction - position.heading);
    if (difference > 180.0) {
        difference = 360.0 - difference;
    }
    return difference < RouteTracker::kMaxHeadingDifference;
}

} // namespace

void RouteTracker::OnPosition(const MatchedPosition& position) {
    if (position.street == MatchedPosition::kNoStreet) {
        return;
    }
    if (position.matched.x == m_last.matched.x && position.matched.y == m_last.matched.y) {
        return;
    }
    m_last = position;
    const auto street = static_cast<std::uint32_t>(position.street);
    RouteIteratorPtr cursor;
    bool isFound = false;
    bool isOff = false;
    {
        ScopedLock lock(&m_lock);
        if (m_position && m_position->IsValid()) {
            cursor = m_position->Clone();
            while (cursor && cursor->IsValid() && cursor->Current().linkId != street) {
                cursor->Next();
            }
            while (cursor && cursor->IsValid() && cursor->Current().linkId == street) {
                if (IsOnRecord(cursor->Current(), position)) {
                    m_position = cursor->Clone();
                    isFound = m_position != nullptr;
                    break;
                }
                cursor->Next();
            }
            isOff = !isFound;
        } else {
            isOff = m_result.destination != nullptr;
        }
    }
    if (isFound) {
        onRoute.Emit(cursor, &position);
    } else if (isOff) {
        offRoute.Emit();
    }
}
