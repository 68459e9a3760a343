#pragma once
// Matched positions for tests, as the map matcher hands them out: a fix, the point on the
// matched street and its segment in driving order, or an unmatched fix.

#include "positioning/matchedposition.h"

#include <cstdint>

namespace testdata {

class MatchedPositionBuilder {
public:
    // The fix's position (degrees, delivered); the matched point starts there, unmatched.
    MatchedPositionBuilder& Fix(const GeoPoint& position);
    // Matched to the street element on the segment from `from` to `to` (driving order).
    MatchedPositionBuilder& OnStreet(std::uint32_t elementId, const GeoPoint& matched,
                                     const GeoPoint& from, const GeoPoint& to);
    MatchedPositionBuilder& Heading(std::uint16_t degrees);
    MatchedPositionBuilder& Speed(std::uint16_t kilometresPerHour);
    [[nodiscard]] MatchedPosition Build() const { return m_position; }

private:
    MatchedPosition m_position;
};

} // namespace testdata
