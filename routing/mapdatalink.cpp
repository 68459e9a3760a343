#include "routing/mapdatalink.h"

MapDataLink::MapDataLink(RetrievalEngine::RetrievalEnginePtr engine)
    : m_engine(std::move(engine)) {}

std::uint32_t MapDataLink::ElementOfLink(std::uint32_t linkId) const {
    return m_resolver ? m_resolver(linkId) : linkId;
}

bool MapDataLink::HasMapData() const {
    return m_engine && m_engine->HasAddressIndex();
}

bool MapDataLink::GetElementPolyline(std::uint32_t elementId, std::vector<GeoPoint>& points) const {
    points.clear();
    if (!m_reader || elementId == 0 || elementId == 0xFFFFFFFF) {
        return false;
    }
    return m_reader(elementId, points);
}
