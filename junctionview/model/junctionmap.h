#pragma once
// The map as the junction model reads it: an element's points, unpacked attribute word and type
// code by id, and the road elements of a rectangle. One object per model; not shared between
// threads.

#include "basiccomp/retrievalengine/code/iretrievalengine.h"
#include "utilities/mapgeometry/mapgeometry.h"

#include <cstdint>
#include <memory>
#include <vector>

struct JunctionMapElement {
    std::uint32_t id = 0;
    std::vector<GeoPoint> points; // degrees, in the element's stored order
    std::uint32_t attributes = 0; // the unpacked word (ring bit 4, direction bits 9-10)
    std::int32_t typeCode = 0;
};

class JunctionMap {
public:
    virtual ~JunctionMap() = default;
    // False when the map has no element of that id.
    [[nodiscard]] virtual bool GetElement(std::uint32_t id, JunctionMapElement& element) = 0;
    // The road elements (type codes 1001 to 1099) whose bounds meet rect, in the map's order;
    // empty when the map cannot be queried. rect is {min x, min y, max x, max y}.
    virtual void QueryRoads(const GeoRect& rect, std::vector<JunctionMapElement>& elements) = 0;
};
using JunctionMapPtr = std::shared_ptr<JunctionMap>;

// The map of a retrieval engine: elements by GetMappedElement, roads by the engine's area query
// (when the engine offers one); null for a null engine.
[[nodiscard]] JunctionMapPtr CreateEngineJunctionMap(RetrievalEngine::RetrievalEnginePtr engine);
