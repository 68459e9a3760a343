#pragma once
// Follows the driver along the current route: for each matched position, the route record the
// driver is on (searching forward only from where the driver was last found) or "off route".
// OnPosition runs on the GPS worker thread; the events fire after the tracker's lock is left,
// so their handlers may call back into the tracker.

#include "positioning/matchedposition.h"
#include "routing/routeiterator.h"
#include "routing/routeservice.h"
#include "utilities/usefulcode/critsect.h"
#include "utilities/usefulcode/eventsource.h"
#include "utilities/usefulcode/ownerhandlerlist.h"

#include <cstdint>

class RouteTracker {
public:
    // Headings within this many degrees of the record's direction are on the record.
    static constexpr double kMaxHeadingDifference = 5.0;

    RouteTracker() = default;
    RouteTracker(const RouteTracker&) = delete;
    RouteTracker& operator=(const RouteTracker&) = delete;

    OwnerHandlerList& GetOwnerHandlerList() { return m_handlers; }

    // The cursor on the driver's record (the caller's copy) and the position.
    EventSource<RouteIteratorPtr, const MatchedPosition*> onRoute;
    EventSource<> offRoute;

    // Starts following the result's route at its first record (none for a result without one).
    void SetRoute(const RouteRequestResult& result);
    // A copy of the cursor on the driver's record; null without a route.
    [[nodiscard]] RouteIteratorPtr GetCursor();
    // The destination of the request that made the current result; null when none.
    [[nodiscard]] RoutePositionPtr GetDestinations();
    // Fires onRoute or offRoute; nothing for an unmatched or unmoved position, nor without a
    // route and destination.
    void OnPosition(const MatchedPosition& position);

    // The record's direction where the position's segment lies on its polyline, in degrees;
    // false when the segment is not found there (fewer than two points, or neither end matches).
    [[nodiscard]] static bool RecordDirection(const RouteRecord& record,
                                              const MatchedPosition& position, double& degrees);

private:
    OwnerHandlerList m_handlers;
    CritSect m_lock;
    RouteRequestResult m_result{routestatus::kFailed};
    RouteIteratorPtr m_position;
    MatchedPosition m_last{};
};
