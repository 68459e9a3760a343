#pragma once
// The records of the position pipeline: one GPS fix as the sentence parser fills it, and the map
// matcher's result for it. Fixed layouts shared with routing and the user interface; plain values.

#include "utilities/mapgeometry/mapgeometry.h"

#include <cstddef>
#include <cstdint>

struct GpsFix {
    static constexpr std::uint16_t kNotDelivered = 0xFFFF;
    static constexpr float kHdopNotDelivered = -3.0f;
    static constexpr float kHdopNoData = -2.0f; // the receiver is silent
    static constexpr float kHdopNoFix = -1.0f;  // the receiver reports no fix

    float longitude = 0.0f;                       // degrees, east positive
    float latitude = 0.0f;                        // degrees, north positive
    std::uint16_t positionStatus = kNotDelivered; // 0: longitude and latitude delivered
    std::uint16_t spareStatus = kNotDelivered;
    std::uint16_t satellites = kNotDelivered;
    std::uint16_t course = 0;
    std::uint16_t courseStatus = kNotDelivered; // 0: course delivered
    std::uint16_t speed = 0;                    // km/h
    std::uint16_t speedStatus = kNotDelivered;  // 0: speed delivered
    float hdop = kHdopNotDelivered;
    std::uint32_t utcTime = 0; // seconds since 1970-01-01; 0 = not delivered
    std::uint32_t tick = 0;    // system tick count (ms) when the record was filled
};
static_assert(sizeof(GpsFix) == 36);
static_assert(offsetof(GpsFix, positionStatus) == 8);
static_assert(offsetof(GpsFix, speedStatus) == 20);
static_assert(offsetof(GpsFix, hdop) == 24);
static_assert(offsetof(GpsFix, utcTime) == 28);
static_assert(offsetof(GpsFix, tick) == 32);

struct MatchedPosition {
    static constexpr std::int32_t kNoStreet = -1;

    GpsFix fix;            // the newest fix given to the matcher
    GeoPoint matched;      // on the street, or the fix's own position when none is matched
    GeoPoint segmentStart; // the matched street segment, in driving order
    GeoPoint segmentEnd;
    std::int32_t street = kNoStreet;        // matched road element id
    std::int32_t displayStreet = kNoStreet; // the matched street, else the nearest one in reach
    std::uint16_t heading = 0;              // degrees, 0 = north, clockwise
    std::uint16_t speed = 0;                // as in the fix
    std::uint8_t streetsNear = 0;
};
static_assert(sizeof(MatchedPosition) == 76);
static_assert(offsetof(MatchedPosition, matched) == 36);
static_assert(offsetof(MatchedPosition, segmentStart) == 44);
static_assert(offsetof(MatchedPosition, segmentEnd) == 52);
static_assert(offsetof(MatchedPosition, street) == 60);
static_assert(offsetof(MatchedPosition, displayStreet) == 64);
static_assert(offsetof(MatchedPosition, heading) == 68);
static_assert(offsetof(MatchedPosition, speed) == 70);
static_assert(offsetof(MatchedPosition, streetsNear) == 72);
