#include "routing/routeposition.h"

#include "basiccomp/retrievalengine/code/elementcodes.h"

bool IsNearestRoadCandidate(std::uint16_t typeCode, std::uint32_t elementId,
                            const ElementAttributes& attributes) {
    using namespace maprecord;
    constexpr std::uint32_t kDriven = (kOneWayAlong | kBothWays) << kDirectionShift;
    if (typeCode == kPedestrianZoneType) {
        return true;
    }
    return typeCode != kUnattachedType && elementId != 0xFFFFFFFFu &&
           (attributes.word & kDriven) != 0;
}
