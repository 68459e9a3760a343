#include "routing/flaggedelements.h"

#include "basiccomp/retrievalengine/code/mapelement.h"

#include <algorithm>

FlaggedPoints BuildFlaggedPoints(RetrievalEngine::IRetrievalEngine& engine,
                                 std::span<const std::uint32_t> keys) {
    FlaggedPoints out;
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
        out.points.push_back({id, point.x, point.y});
        if (top != 2) {
            out.directionKey = 1;
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
