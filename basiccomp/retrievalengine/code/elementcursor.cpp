#include "basiccomp/retrievalengine/code/elementcursor.h"

#include "basiccomp/retrievalengine/code/mapelement.h"
#include "utilities/mapgeometry/elementrecord.h"

using namespace maprecord;

template <class Walk> bool WalkElementCursor<Walk>::MoveNext() {
    Next();
    return IsValid();
}

template <class Walk> void WalkElementCursor<Walk>::Next() {
    if (m_walk.IsValid()) {
        m_walk.Next();
    }
}

template <class Walk> std::uint8_t WalkElementCursor<Walk>::GetSubtype() {
    return m_walk.IsValid() ? RecordSubtype(m_walk.GetRecord()) : 0;
}

template <class Walk> std::uint32_t WalkElementCursor<Walk>::GetGeometryClass() {
    return m_walk.IsValid() ? ElementGeometryClass(m_walk.GetRecord()) : 0;
}

template <class Walk> void WalkElementCursor<Walk>::GetBounds(GeoRect& bounds) {
    if (m_walk.IsValid()) {
        bounds = MapUnitsToDegrees(RecordBounds(m_walk.GetRecord()));
    }
}

template <class Walk> std::uint32_t WalkElementCursor<Walk>::GetPointCount() {
    const GeometryRef& geometry = m_walk.GetGeometry();
    return geometry ? geometry->GetPointCount() : 0;
}

template <class Walk> void WalkElementCursor<Walk>::GetPoint(GeoPoint& point, std::uint32_t index) {
    const GeometryRef& geometry = m_walk.GetGeometry();
    MapPoint mapPoint;
    if (geometry && geometry->GetPoint(index, mapPoint)) {
        point = MapPointToDegrees(mapPoint);
    }
}

template <class Walk> std::uint16_t WalkElementCursor<Walk>::GetTypeCode() {
    return m_walk.IsValid() ? RecordTypeCode(m_walk.GetRecord()) : 0;
}

template <class Walk> void WalkElementCursor<Walk>::GetAttributes(ElementAttributes& attributes) {
    if (m_walk.IsValid()) {
        attributes = UnpackElementAttributes(RecordAttributeWord(m_walk.GetRecord()));
    }
}

template class WalkElementCursor<AreaElementIterator>;
template class WalkElementCursor<LevelElementIterator>;
