#include "routing/flaggedelements.h"

#include "basiccomp/retrievalengine/code/mapelement.h"

#include <algorithm>
#include <optional>
#include <utility>

FlaggedPoints BuildFlaggedPoints(RetrievalEngine::IRetrievalEngine& engine,
                                 std::span<const std::uint32_t> keys) {
    FlaggedPoints out;
    // Per key found: its point, and for a key without a direction its element's last vertex.
    std::vector<std::pair<FlaggedPoint, std::optional<FlaggedPoint>>> found;
    std::vector<GeoPoint> line;
    for (const std::uint32_t key : keys) {
        const std::uint32_t id = key & kElementKeyIdMask;
        const six::IntfPtr<MapElement> element = engine.GetMappedElement(id);
        line.clear();
        if (!element || !element->GetPoints(line) || line.empty()) {
            continue;
        }
        const std::uint32_t top = key >> 30;
        const GeoPoint& point = top == 2 || top == 1 ? line.front() : line.back();
        std::optional<FlaggedPoint> lastVertex;
        if (top != 2) {
            out.directionKey = 1;
        } else {
            lastVertex = FlaggedPoint{id, line.back().x, line.back().y};
        }
        found.push_back({{id, point.x, point.y}, lastVertex});
    }
    // The direction applies to the whole list, and the network flags an element only from the
    // end given onwards; so under a direction a key meant both ways gives both its ends.
    for (const auto& [point, lastVertex] : found) {
        out.points.push_back(point);
        if (out.directionKey != 0 && lastVertex) {
            out.points.push_back(*lastVertex);
        }
    }
    return out;
}

bool FlaggedElementEntry::IsSameStretch(const FlaggedPoints& other) const {
    return directionKey == other.directionKey &&
           std::equal(points.begin(), points.end(), other.points.begin(), other.points.end(),
                      [](const FlaggedPoint& a, const FlaggedPoint& b) {
                          return a.elementId == b.elementId && a.x == b.x && a.y == b.y;
                      });
}

FlaggedElementList FlaggedElementEntry::ToList() const {
    return {points, speedByte, directionKey};
}
