#pragma once
// Element type codes and attribute-word bits of the map data, shared by the data tool, the
// test-data writers and every reader (docs/element-attributes.md says who reads what). The raw
// word is the element record's (offset 16); an engine cursor or MapElement hands out the
// unpacked word (UnpackElementAttributes), whose bits lie elsewhere.

#include <cstdint>

namespace maprecord {

// Type codes (record offset 24). Map matching and the nearest-road search query the roads,
// [kFirstRoadType, kRoadTypeEnd).
inline constexpr std::uint16_t kFirstRoadType = 1001;
inline constexpr std::uint16_t kRoadTypeEnd = 1100;
// The eight road categories, fastest first (the advisor's speed index runs 8 down to 1);
// 1010 is a highway, 1010 to 1030 carry road-number shields, 1030 to 1070 traffic messages.
inline constexpr std::uint16_t kMotorwayType = 1010;
inline constexpr std::uint16_t kTrunkType = 1020;
inline constexpr std::uint16_t kPrimaryType = 1030;
inline constexpr std::uint16_t kSecondaryType = 1040;
inline constexpr std::uint16_t kTertiaryType = 1050;
inline constexpr std::uint16_t kMinorRoadType = 1060; // unclassified
inline constexpr std::uint16_t kResidentialType = 1070;
inline constexpr std::uint16_t kLivingStreetType = 1080;
// Service roads are the last street kind (named ones are streets with addresses); ramps and
// ferries are roads but no streets.
inline constexpr std::uint16_t kServiceRoadType = 1090;
inline constexpr std::uint16_t kRampType = 1091;
inline constexpr std::uint16_t kFerryType = 1092;
// Kinds the nearest-road search treats apart; none of our roads takes them.
inline constexpr std::uint16_t kPedestrianZoneType = 1005; // always attached to
inline constexpr std::uint16_t kUnattachedType = 1007;     // never attached to
// Streets, for cross streets and street searches: 1005 to 1090 inclusive.
inline constexpr std::uint16_t kFirstStreetType = 1005;
inline constexpr std::uint16_t kLastStreetType = 1090;
// Points: cities, and points of interest (fuel 5001, parking 5002, hospital 5003, station 5004).
inline constexpr std::uint16_t kCityType = 4000;
inline constexpr std::uint16_t kFirstPoiType = 5001;
inline constexpr std::uint16_t kPoiTypeEnd = 5005; // one past the last

constexpr bool IsStreetType(std::uint16_t typeCode) {
    return typeCode >= kFirstStreetType && typeCode <= kLastStreetType;
}
constexpr bool IsRoadType(std::uint16_t typeCode) {
    return typeCode >= kFirstRoadType && typeCode < kRoadTypeEnd;
}

// Raw attribute word. Bits 0-1 the raw direction code; on point elements ('t') bit 0 also says
// that the element's area comes from Cookie2AreaId.
inline constexpr std::uint32_t kRawDirectionMask = 3;
inline constexpr std::uint32_t kRawBothWays = 0;      // unpacks to kBothWays
inline constexpr std::uint32_t kRawOneWayAlong = 1;   // unpacks to kOneWayAlong
inline constexpr std::uint32_t kRawOneWayAgainst = 2; // unpacks to kOneWayAgainst
inline constexpr std::uint32_t kRawNotDriven = 3;     // unpacks to kNotDriven
inline constexpr std::uint32_t kRawAreaFromCookie = 1u << 0;
// Bits 2-7 and 8-13: the element's slots in its Cookie2AreaId and Cookie2Plz records.
inline constexpr std::uint32_t kRawAreaSlotShift = 2;
inline constexpr std::uint32_t kRawPostalSlotShift = 8;
inline constexpr std::uint32_t kRawSlotMask = 63;
inline constexpr std::uint32_t kRawSearchable = 1u << 14;
// The three link nibbles (flags b3 b2 b1 b0, b0 lowest) and the single flags.
inline constexpr std::uint32_t kRawLinkAShift = 15;
inline constexpr std::uint32_t kRawLookedPast = 1u << 19;
inline constexpr std::uint32_t kRawFlag20 = 1u << 20;
inline constexpr std::uint32_t kRawLinkCShift = 21;
inline constexpr std::uint32_t kRawSignpost = 1u << 25;
inline constexpr std::uint32_t kRawLinkBShift = 26;
inline constexpr std::uint32_t kRawRing = 1u << 30;
inline constexpr std::uint32_t kRawSign = 1u << 31;

// The raw bits of an element's area and postal-code slots (each 0..63).
constexpr std::uint32_t RawSlotBits(std::uint32_t areaSlot, std::uint32_t postalSlot) {
    return (areaSlot & kRawSlotMask) << kRawAreaSlotShift | (postalSlot & kRawSlotMask)
                                                                << kRawPostalSlotShift;
}

// Unpacked attribute word.
inline constexpr std::uint32_t kRing = 1u << 4;
inline constexpr std::uint32_t kDirectionShift = 9; // bits 9-10, the direction code:
inline constexpr std::uint32_t kNotDriven = 0;
inline constexpr std::uint32_t kOneWayAlong = 1;   // bit 0x200
inline constexpr std::uint32_t kBothWays = 2;      // bit 0x400
inline constexpr std::uint32_t kOneWayAgainst = 3; // both bits
inline constexpr std::uint32_t kLookedPast = 1u << 11;
inline constexpr std::uint32_t kLinkAShift = 12;
inline constexpr std::uint32_t kLinkBShift = 16;
inline constexpr std::uint32_t kLinkCShift = 20;
inline constexpr std::uint32_t kSignpost = 1u << 24;
inline constexpr std::uint32_t kSign = 1u << 25;
inline constexpr std::uint32_t kFlag26 = 1u << 26;

} // namespace maprecord
