#pragma once
// Cost of the part of the start link between the start position and one of its crossings.

#include "routing/crossingrecord.h"
#include "routing/routeoptions.h"
#include "utilities/mapgeometry/mapgeometry.h"

#include <cstdint>

class RoadNetwork;

// Where a calculation starts: the reference point on the start link, the link's id (-1: the
// start is a crossing) and the offset in metres from the link end nearer the reference point.
struct StartEndpoint {
    GeoPoint point;
    std::uint32_t linkId = 0xFFFFFFFF;
    float offset = 0.0f;
};

// 0 without a start link; kImpassableCost when the crossing or its link cannot be read. The
// part runs from the start to the crossing at `address`, leaving it by link `linkIndex`: the
// offset when that crossing is nearer the start point than the link's other end, else the rest
// of the link.
[[nodiscard]] float StartLinkPartCost(RoadNetwork& network, const RouteOptions& options,
                                      const StartEndpoint& start, const CrossingAddress& address,
                                      std::uint32_t linkIndex);
