#pragma once
// A vehicle driven along a calculated route for tests: matched positions every few metres along
// the route items' polylines, each with a route iterator at the vehicle's item, as the map
// matcher and the navigation server would hand them to the advisor.

#include "positioning/matchedposition.h"
#include "routing/routeiterator.h"

#include <cstdint>
#include <vector>

namespace testdata {

struct DrivePosition {
    MatchedPosition position; // matched on the item's element and segment, in driving order
    RouteIteratorPtr route;   // a clone at the vehicle's route item
    double metresDriven = 0.0;
};

class SimulatedDrive {
public:
    // From the start of the route; stepMetres above 0.
    SimulatedDrive(const RouteIteratorPtr& route, double stepMetres);

    // The next position: the route's start first, then one every stepMetres, then its very end.
    // False once the end was handed out.
    bool Next(DrivePosition& out);

private:
    bool LoadItem();
    [[nodiscard]] DrivePosition At(const GeoPoint& point) const;

    RouteIteratorPtr m_item;
    std::vector<GeoPoint> m_polyline;
    std::size_t m_segment = 0;
    double m_onSegment = 0.0; // metres along the segment
    double m_stepMetres;
    double m_driven = 0.0;
    bool m_isStarted = false;
    bool m_isFinished = false;
};

} // namespace testdata
