#pragma once
// The road network's link to the map data: element ids of network links, whether map data is
// present, and element polylines (for crossings without stored positions). Shared by the
// network and its page stores; safe from any thread once set up.

#include "basiccomp/retrievalengine/code/iretrievalengine.h"
#include "utilities/mapgeometry/mapgeometry.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class MapDataLink {
public:
    // Fills the points of an element's polyline; false when the element or its geometry is
    // missing.
    using PolylineReader = std::function<bool(std::uint32_t elementId, std::vector<GeoPoint>&)>;

    explicit MapDataLink(RetrievalEngine::RetrievalEnginePtr engine);

    // The map element id a network link id stands for; without a resolver, the id itself.
    [[nodiscard]] std::uint32_t ElementOfLink(std::uint32_t linkId) const;
    // Whether the engine has map data (its address index).
    [[nodiscard]] bool HasMapData() const;
    // From the polyline reader when one is set, else through the engine's mapped elements; false
    // for the ids 0 and -1 and for a missing element or geometry.
    [[nodiscard]] bool GetElementPolyline(std::uint32_t elementId,
                                          std::vector<GeoPoint>& points) const;

    // Where polylines come from: set once, before the network is used.
    void SetPolylineReader(PolylineReader reader) { m_reader = std::move(reader); }
    // The network's translation of link ids: set once by the network that owns the link.
    void SetLinkResolver(std::function<std::uint32_t(std::uint32_t)> resolver) {
        m_resolver = std::move(resolver);
    }

private:
    RetrievalEngine::RetrievalEnginePtr m_engine;
    PolylineReader m_reader;
    std::function<std::uint32_t(std::uint32_t)> m_resolver;
};
using MapDataLinkPtr = std::shared_ptr<MapDataLink>;
