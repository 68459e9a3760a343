#include "testdata/matchedpositionbuilder.h"

namespace testdata {

MatchedPositionBuilder& MatchedPositionBuilder::Fix(const GeoPoint& position) {
    m_position.fix.longitude = position.x;
    m_position.fix.latitude = position.y;
    m_position.fix.positionStatus = 0;
    m_position.fix.hdop = 1.0f;
    m_position.matched = position;
    return *this;
}

MatchedPositionBuilder& MatchedPositionBuilder::OnStreet(std::uint32_t elementId,
                                                         const GeoPoint& matched,
                                                         const GeoPoint& from, const GeoPoint& to) {
    m_position.street = static_cast<std::int32_t>(elementId);
    m_position.displayStreet = m_position.street;
    m_position.matched = matched;
    m_position.segmentStart = from;
    m_position.segmentEnd = to;
    m_position.streetsNear = 1;
    return *this;
}

MatchedPositionBuilder& MatchedPositionBuilder::Heading(std::uint16_t degrees) {
    m_position.heading = degrees;
    return *this;
}

MatchedPositionBuilder& MatchedPositionBuilder::Speed(std::uint16_t kilometresPerHour) {
    m_position.speed = kilometresPerHour;
    m_position.fix.speed = kilometresPerHour;
    m_position.fix.speedStatus = 0;
    return *this;
}

} // namespace testdata
