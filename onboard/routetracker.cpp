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
    for (std::size_t k = 0; k + 1 < n; ++k) {
        if (equal(points[k], position.segmentStart)) {
            degrees = GeoBearing(points[k], points[k + 1]);
            return true;
        }
        if (equal(points[n - 1 - k], position.segmentEnd)) {
            degrees = GeoBearing(points[n - 2 - k], points[n - 1 - k]);
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
