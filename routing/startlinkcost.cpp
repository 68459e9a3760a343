#include "routing/startlinkcost.h"

#include "positioning/geodistance.h"
#include "routing/linkcosts.h"
#include "routing/roadnetwork.h"

float StartLinkPartCost(RoadNetwork& network, const RouteOptions& options,
                        const StartEndpoint& start, const CrossingAddress& address,
                        std::uint32_t linkIndex) {
    if (start.linkId == 0xFFFFFFFF) {
        return 0.0f;
    }
    const NetworkCrossingPtr crossing = network.CreateCrossing(address);
    if (!crossing || !crossing->IsValid() || linkIndex >= crossing->GetLinkCount()) {
        return kImpassableCost;
    }
    const LinkCursorPtr link = network.CreateCursor(*crossing, linkIndex, options.travelMode);
    if (!link || !link->IsValid()) {
        return kImpassableCost;
    }
    const NetworkCrossingPtr other = network.CreateCrossing(link->GetTarget());
    if (!other || !other->IsValid()) {
        return kImpassableCost;
    }
    const auto nearDistance = static_cast<float>(GeoDistance(crossing->Position(), start.point));
    const auto farDistance = static_cast<float>(GeoDistance(other->Position(), start.point));
    const auto length = static_cast<float>(link->GetLength());
    const float distance = nearDistance < farDistance ? start.offset : length - start.offset;
    return distance * CostPerMetre(options, ClassSpeed(options, link->GetRoadClass()));
}
