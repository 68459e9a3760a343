#pragma once
// A calculated route as a cursor over its records in driving order. Each record reads complete:
// the element's attribute word with the network's bits, and the element's polyline in driving
// direction, cut at the route's start and destination. An iterator belongs to one thread at a
// time; its clones and fresh iterators may walk on other threads.

#include "routing/crossingsearch.h"
#include "routing/routerecord.h"
#include "utilities/mapgeometry/mapgeometry.h"

#include <concepts>
#include <cstdint>
#include <memory>
#include <vector>

// What GetItemPolyline looks for: a route record or a junction link, by its point and element.
struct RouteItemRef {
    RouteItemRef(const RouteRecord& record)
        : point{record.x, record.y}
        , elementId(record.linkId) {}
    RouteItemRef(const NeighbourLink& link)
        : point(link.position)
        , elementId(link.elementId) {}

    GeoPoint point;
    std::uint32_t elementId;
};

class RouteIterator;
using RouteIteratorPtr = std::shared_ptr<RouteIterator>;

class RouteIterator {
public:
    virtual ~RouteIterator() = default;
    // Moves to the next record; false when that leaves the route.
    virtual bool Next() = 0;
    // The current record; an all-zero record when not valid.
    [[nodiscard]] virtual const RouteRecord& Current() const = 0;
    [[nodiscard]] virtual bool IsValid() const = 0;
    // The other streets at the crossing where the current record begins: those that may be taken
    // after the previous record and those that may not, attribute words built like the records'.
    // Both empty on the first record or when the crossing cannot be found.
    virtual void GetJunctionStreets(std::vector<NeighbourLink>& allowed,
                                    std::vector<NeighbourLink>& forbidden) = 0;
    // The polyline of a record (from the current one back to the first) or of a junction street
    // of the current record, without consecutive duplicate vertices; false when none matches.
    [[nodiscard]] virtual bool GetItemPolyline(const RouteItemRef& item,
                                               std::vector<GeoPoint>& polyline) = 0;
    // A new iterator on the first record of the same route; null when it cannot be made.
    [[nodiscard]] virtual RouteIteratorPtr CreateIterator() const = 0;
    // A copy at the same record; null when it cannot be made.
    [[nodiscard]] virtual RouteIteratorPtr Clone() const = 0;
    // Moves to the previous record; false when that leaves the route.
    virtual bool Previous() = 0;
};

// An iterator at the start of the route, or null when no route is held.
[[nodiscard]] inline RouteIteratorPtr GetRouteIterator(const RouteIteratorPtr& route) {
    return route ? route->CreateIterator() : nullptr;
}

// The same for anything that holds its route as a `route` member (a route request's result).
template <class Holder>
requires requires(const Holder& holder) {
    { holder.route } -> std::convertible_to<const RouteIteratorPtr&>;
}
[[nodiscard]] RouteIteratorPtr GetRouteIterator(const Holder& holder) {
    return GetRouteIterator(static_cast<const RouteIteratorPtr&>(holder.route));
}
