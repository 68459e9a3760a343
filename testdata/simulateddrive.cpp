#include "testdata/simulateddrive.h"

#include "positioning/geodistance.h"
#include "testdata/matchedpositionbuilder.h"

namespace testdata {

namespace {

constexpr std::uint16_t kSpeedKmh = 50;

GeoPoint Between(const GeoPoint& a, const GeoPoint& b, double fraction) {
    return {static_cast<float>(a.x + (b.x - a.x) * fraction),
            static_cast<float>(a.y + (b.y - a.y) * fraction)};
}

} // namespace

SimulatedDrive::SimulatedDrive(const RouteIteratorPtr& route, double stepMetres)
    : m_item(GetRouteIterator(route))
    , m_stepMetres(stepMetres > 0.0 ? stepMetres : 1.0) {
    if (!LoadItem()) {
        m_isFinished = true;
    }
}

// Moves to the first item from the current one on whose polyline has a segment.
bool SimulatedDrive::LoadItem() {
    for (; m_item && m_item->IsValid(); m_item->Next()) {
        m_polyline.clear();
        if (m_item->GetItemPolyline(RouteItemRef(m_item->Current()), m_polyline) &&
            m_polyline.size() >= 2) {
            m_segment = 0;
            m_onSegment = 0.0;
            return true;
        }
    }
    return false;
}

DrivePosition SimulatedDrive::At(const GeoPoint& point) const {
    DrivePosition out;
    out.position = MatchedPositionBuilder()
                       .Fix(point)
                       .OnStreet(m_item->Current().linkId, point, m_polyline[m_segment],
                                 m_polyline[m_segment + 1])
                       .Speed(kSpeedKmh)
                       .Build();
    out.route = m_item->Clone();
    out.metresDriven = m_driven;
    return out;
}

bool SimulatedDrive::Next(DrivePosition& out) {
    if (m_isFinished) {
        return false;
    }
    if (!m_isStarted) {
        m_isStarted = true;
        out = At(m_polyline.front());
        return true;
    }
    double left = m_stepMetres;
    for (;;) {
        const GeoPoint& from = m_polyline[m_segment];
        const GeoPoint& to = m_polyline[m_segment + 1];
        const double length = GeoDistance(from, to);
        if (m_onSegment + left < length) {
            m_onSegment += left;
            m_driven += left;
            out = At(Between(from, to, m_onSegment / length));
            return true;
        }
        left -= length - m_onSegment;
        m_driven += length - m_onSegment;
        m_onSegment = 0.0;
        if (m_segment + 2 < m_polyline.size()) {
            ++m_segment;
            continue;
        }
        // The end of this item: on to the next, or hand out the route's end.
        const RouteIteratorPtr last = m_item->Clone();
        const std::vector<GeoPoint> lastPolyline = m_polyline;
        m_item->Next();
        if (!LoadItem()) {
            m_isFinished = true;
            m_item = last;
            m_polyline = lastPolyline;
            out = At(m_polyline.back());
            return true;
        }
    }
}

} // namespace testdata
