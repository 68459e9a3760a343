#include "routing/routepositionimpl.h"

#include "basiccomp/retrievalengine/code/elementcodes.h"
#include "basiccomp/retrievalengine/code/geomolecule.h"
#include "basiccomp/retrievalengine/code/mapelement.h"
#include "routing/routepolyline.h"

#include <algorithm>
#include <limits>
#include <utility>

RoutePositionImpl::RoutePositionImpl(RetrievalEngine::RetrievalEnginePtr engine,
                                     std::uint32_t elementId, const GeoPoint& point)
    : m_engine(std::move(engine)) {
    m_candidates.push_back(MakeCandidate(elementId, point));
}

RoutePositionImpl::RoutePositionImpl(RetrievalEngine::RetrievalEnginePtr engine,
                                     std::uint32_t elementId)
    : m_engine(std::move(engine)) {
    AddMiddleVertexCandidate(elementId);
}

RoutePositionImpl::RoutePositionImpl(RetrievalEngine::RetrievalEnginePtr engine,
                                     IElementCursor& elements)
    : m_engine(std::move(engine)) {
    for (; elements.IsValid(); elements.Next()) {
        AddMiddleVertexCandidate(elements.GetElementId());
    }
}

RoutePositionImpl::RoutePositionImpl(RetrievalEngine::RetrievalEnginePtr engine,
                                     ILocatedAddress& address, const std::int16_t* houseNumber)
    : m_engine(std::move(engine)) {
    const AddressLocation location = address.GetLocation();
    m_candidates.push_back(MakeCandidate(location.elementId, {location.x, location.y}));
    if (m_kind == kOnElement) {
        const bool hasNumber = houseNumber != nullptr && *houseNumber != 0 && *houseNumber != -1;
        m_kind = hasNumber ? kAddressWithNumber : kAddress;
    }
}

RoutePositionImpl::RoutePositionImpl(RetrievalEngine::RetrievalEnginePtr engine,
                                     const MatchedPosition& current)
    : m_engine(std::move(engine)) {
    m_candidates.push_back(MakeCurrentCandidate(current));
    m_kind = kCurrent;
}

std::uint32_t RoutePositionImpl::GetSingleElementId() const {
    return m_candidates.size() == 1 ? m_candidates[0].elementId : kNoElement;
}

GeoPoint RoutePositionImpl::GetSinglePoint() const {
    return m_candidates.size() == 1 ? m_candidates[0].point : GeoPoint{};
}

bool RoutePositionImpl::ReadPolyline(std::uint32_t elementId, std::vector<GeoPoint>& line) {
    line.clear();
    if (!m_engine || elementId == kNoElement) {
        return false;
    }
    const six::IntfPtr<MapElement> element = m_engine->GetMappedElement(elementId);
    return element && element->GetPoints(line);
}

void RoutePositionImpl::AddMiddleVertexCandidate(std::uint32_t elementId) {
    std::vector<GeoPoint> line;
    if (ReadPolyline(elementId, line)) {
        m_candidates.push_back(MakeCandidate(elementId, line[line.size() / 2]));
    }
}

RoutePositionEntry RoutePositionImpl::ProjectCandidate(std::uint32_t elementId, const GeoPoint& p,
                                                       std::span<const GeoPoint> line) {
    const GeoPoint on = ProjectOntoPolyline(p, line);
    return {on, line.empty() ? p : line[0], elementId,
            static_cast<float>(LengthToProjection(on, line))};
}

RoutePositionEntry RoutePositionImpl::MakeCandidate(std::uint32_t elementId,
                                                    const GeoPoint& point) {
    if (m_engine && elementId != kNoElement) {
        const six::IntfPtr<MapElement> element = m_engine->GetMappedElement(elementId);
        std::vector<GeoPoint> line;
        if (element && element->GetPoints(line)) {
            if (line.size() >= 2) {
                m_kind = kOnElement;
                return ProjectCandidate(elementId, point, line);
            }
            // A point element: its entry (where a car reaches it) stands for it.
            std::vector<GeoPoint> entries;
            if (element->GetEntryPoints(entries)) {
                line[0] = entries[0];
            }
            m_kind = kPointElement;
            return AttachToNearestRoad(line[0]);
        }
    }
    m_kind = kNearestRoad;
    return AttachToNearestRoad(point);
}

RoutePositionEntry RoutePositionImpl::AttachToNearestRoad(const GeoPoint& point) {
    const std::uint32_t id = FindNearestRoadElement(point);
    std::vector<GeoPoint> line;
    if (ReadPolyline(id, line)) {
        return ProjectCandidate(id, point, line);
    }
    return {point, point, id, 0.0f};
}

RoutePositionEntry RoutePositionImpl::MakeCurrentCandidate(const MatchedPosition& current) {
    const GeoPoint fix{current.fix.longitude, current.fix.latitude};
    const bool isFixed = fix.x != 0.0f && fix.y != 0.0f;
    const auto street = static_cast<std::uint32_t>(current.street);
    std::vector<GeoPoint> line;
    if (isFixed && current.street != MatchedPosition::kNoStreet && ReadPolyline(street, line)) {
        // Orient the element the way the vehicle drives it: the matched segment's end point
        // coming first means the element runs against the driving direction.
        for (const GeoPoint& vertex : line) {
            if (vertex == current.segmentStart) {
                break;
            }
            if (vertex == current.segmentEnd) {
                std::reverse(line.begin(), line.end());
                break;
            }
        }
        return {current.matched, line[0], street,
                static_cast<float>(LengthToProjection(current.matched, line))};
    }
    return MakeCandidate(isFixed ? street : kNoElement, isFixed ? fix : current.matched);
}

std::uint32_t RoutePositionImpl::FindNearestRoadElement(const GeoPoint& point) {
    if (!m_engine) {
        return kNoElement;
    }
    const GeoRect extent = m_engine->GetExtent();
    if (point.x < extent.minX || point.x > extent.maxX || point.y < extent.minY ||
        point.y > extent.maxY) {
        return kNoElement;
    }
    const float d = kRingStep;
    double best = std::numeric_limits<float>::max();
    std::uint32_t bestId = kNoElement;
    SearchRoads({point.x - d, point.y - d, point.x + d, point.y + d}, point, best, bestId);
    for (int k = 2; k <= kMaxRing - 1; k += 2) {
        const float a = static_cast<float>(k) * d;
        const float b = static_cast<float>(k + 1) * d;
        const float c = static_cast<float>(k - 1) * d;
        // Neither the square nor a ring's west strip ends the search: the next north strip runs.
        SearchRoads({point.x - b, point.y + a - d, point.x + b, point.y + a + d}, point, best,
                    bestId);
        if (bestId != kNoElement) {
            return bestId;
        }
        SearchRoads({point.x - b, point.y - a - d, point.x + b, point.y - a + d}, point, best,
                    bestId);
        if (bestId != kNoElement) {
            return bestId;
        }
        SearchRoads({point.x + a - d, point.y - c, point.x + a + d, point.y + c}, point, best,
                    bestId);
        if (bestId != kNoElement) {
            return bestId;
        }
        SearchRoads({point.x - a - d, point.y - c, point.x - a + d, point.y + c}, point, best,
                    bestId);
    }
    return bestId;
}

void RoutePositionImpl::SearchRoads(const GeoRect& rect, const GeoPoint& point, double& best,
                                    std::uint32_t& bestId) {
    auto* query = dynamic_cast<RetrievalEngine::IAreaQuery*>(m_engine.Get());
    if (query == nullptr) {
        return;
    }
    std::vector<GeoPoint> line;
    for (ElementCursorPtr cursor =
             query->QueryArea(rect, maprecord::kFirstRoadType, maprecord::kRoadTypeEnd);
         cursor && cursor->IsValid(); cursor->Next()) {
        line.resize(cursor->GetPointCount());
        for (std::uint32_t i = 0; i < line.size(); ++i) {
            cursor->GetPoint(line[i], i);
        }
        if (line.empty()) {
            continue;
        }
        // Distances from the point itself: measured from a strip's middle, a farther road
        // could take the place of a nearer one.
        const double distance = DistanceToPolyline(point, line);
        ElementAttributes attributes;
        cursor->GetAttributes(attributes);
        if (distance < best &&
            IsNearestRoadCandidate(cursor->GetTypeCode(), cursor->GetElementId(), attributes)) {
            best = distance;
            bestId = cursor->GetElementId();
        }
    }
}
