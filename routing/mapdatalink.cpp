#include "routing/mapdatalink.h"

#include "basiccomp/retrievalengine/code/mapelement.h"

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
    if (elementId == 0 || elementId == 0xFFFFFFFF) {
        return false;
    }
    if (m_reader) {
        return m_reader(elementId, points);
    }
    if (!m_engine) {
        return false;
    }
    const six::IntfPtr<MapElement> element = m_engine->GetMappedElement(elementId);
    return element && element->GetPoints(points) && !points.empty();
}
