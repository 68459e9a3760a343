#pragma once
// Route positions over the map data: from a point and an element, one element, a set of
// elements, a located address or the current matched position. A place without a road element
// of its own is attached to the nearest road, found by an area search in square rings around it.
// A position is made on one thread; the engine it holds serialises its own calls.

#include "basiccomp/retrievalengine/code/ielementcursor.h"
#include "basiccomp/retrievalengine/code/iretrievalengine.h"
#include "positioning/matchedposition.h"
#include "routing/routeposition.h"

#include <cstdint>
#include <span>
#include <vector>

// Where a located address lies: its road element and the point for the address on it.
struct AddressLocation {
    std::uint32_t elementId = 0xFFFFFFFF;
    float x = 0.0f; // degrees, longitude
    float y = 0.0f;
};

// An address that has been located on the map.
class ILocatedAddress {
public:
    virtual ~ILocatedAddress() = default;
    [[nodiscard]] virtual AddressLocation GetLocation() = 0;
};

class RoutePositionImpl final : public RoutePosition {
public:
    static constexpr std::uint32_t kNoElement = 0xFFFFFFFF;
    // The nearest-road search: rings of this width (degrees) up to kMaxRing widths from the point.
    static constexpr float kRingStep = 0.0002f;
    static constexpr int kMaxRing = 127;

    // Each constructor keeps the engine (null: no element can be looked up, every candidate is
    // the bare point). The point is in degrees.
    // One candidate: the point on the element, or at the nearest road when the element is no line
    // or the id is 0xFFFFFFFF.
    RoutePositionImpl(RetrievalEngine::RetrievalEnginePtr engine, std::uint32_t elementId,
                      const GeoPoint& point);
    // One candidate on the element's middle vertex; none (kind 0) when it has no geometry.
    RoutePositionImpl(RetrievalEngine::RetrievalEnginePtr engine, std::uint32_t elementId);
    // One candidate on the middle vertex of each element the cursor yields (from where it
    // stands), in its order; the kind is the last candidate's.
    RoutePositionImpl(RetrievalEngine::RetrievalEnginePtr engine, IElementCursor& elements);
    // One candidate at the located address; a house number other than 0 and -1 (null: none)
    // makes kind 6 of an address on its own element, no number kind 5.
    RoutePositionImpl(RetrievalEngine::RetrievalEnginePtr engine, ILocatedAddress& address,
                      const std::int16_t* houseNumber);
    // Kind 3: the current position, on the matched element oriented by the matched segment.
    RoutePositionImpl(RetrievalEngine::RetrievalEnginePtr engine, const MatchedPosition& current);

    [[nodiscard]] std::uint32_t GetKind() const override { return m_kind; }
    [[nodiscard]] std::uint32_t GetSingleElementId() const override;
    [[nodiscard]] GeoPoint GetSinglePoint() const override;
    [[nodiscard]] const RoutePositionEntry* Begin() const override { return m_candidates.data(); }
    [[nodiscard]] const RoutePositionEntry* End() const override {
        return m_candidates.data() + m_candidates.size();
    }
    [[nodiscard]] std::uint32_t Count() const override {
        return static_cast<std::uint32_t>(m_candidates.size());
    }

    // The road element nearest to the point by the ring search; 0xFFFFFFFF without an engine,
    // outside the map set's extent, or when no road lies within kMaxRing ring widths.
    [[nodiscard]] std::uint32_t FindNearestRoadElement(const GeoPoint& point);

private:
    RoutePositionEntry MakeCandidate(std::uint32_t elementId, const GeoPoint& point);
    RoutePositionEntry AttachToNearestRoad(const GeoPoint& point);
    RoutePositionEntry MakeCurrentCandidate(const MatchedPosition& current);
    // The candidate for an element with the polyline `line`, at p's projection onto it.
    static RoutePositionEntry ProjectCandidate(std::uint32_t elementId, const GeoPoint& p,
                                               std::span<const GeoPoint> line);
    // The polyline of the element (cleared first); false without engine, element or geometry.
    bool ReadPolyline(std::uint32_t elementId, std::vector<GeoPoint>& line);
    void AddMiddleVertexCandidate(std::uint32_t elementId);
    // One rectangle of the ring search; best and bestId carry the nearest accepted road so far.
    void SearchRoads(const GeoRect& rect, const GeoPoint& point, double& best,
                     std::uint32_t& bestId);

    RetrievalEngine::RetrievalEnginePtr m_engine;
    std::vector<RoutePositionEntry> m_candidates;
    std::uint32_t m_kind = kNoCandidate;
};
