#pragma once
// The "town": a small map set west of Greenwich for the tests of named streets, searches and
// routing. Streets of several segments (gaps of 745 and 746 map units, another subtype), crossings
// with other names and types, '/' alternatives, searchable elements (attribute bit 14), points
// and a park, a road of 60 points with elements beside it, and its address index: two areas in a
// third, postal codes, type names and house-number ranges.

#include "basiccomp/retrievalengine/code/elementcodes.h"
#include "testdata/addressindexwriter.h"
#include "testdata/mapsetwriter.h"
#include "testdata/tempdir.h"
#include "utilities/mapgeometry/mapgeometry.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace testdata::town {

// Element indexes (the order of TownElements).
enum Element : std::size_t {
    Haupt0,       // "Hauptstrasse" (0,0)-(1000,0): breakpoint house numbers 30 and 40
    Haupt1,       // "Hauptstrasse" (1000,0)-(2000,0): house-number ranges 2-20 and 1-19
    Haupt2,       // "Hauptstrasse" 745 units after Haupt1: joined
    Haupt3,       // "Hauptstrasse" 746 units after Haupt2: a street of its own, in Neustadt
    HauptSubtype, // "Hauptstrasse" of subtype 1 touching Haupt1's end
    Zollweg,      // "Zollweg/Alte Strasse" from Haupt0's start
    AmBahnhof,    // "am Bahnhof" to Haupt0's end
    Kirchweg,     // "Kirchweg" from Haupt1's end
    Fluss,        // "Fluss", type 500 (no street), from Haupt0's end
    Schulgasse,   // "Schulgasse" touching the middle of Haupt0
    LangeStrasse, // a 70-character name from Haupt2's end
    AltAB,        // "A/B"
    AltB,         // "B" touching AltAB
    AltBCA,       // "BC/A" touching AltB
    NordOstWest,  // "Nord/Ost/West"
    Marktplatz,   // "Hauptstr./Marktplatz"
    Bypass,       // "/Bypass"
    RingRing,     // "Ring/Ring"
    LowerRing,    // "ring", far from RingRing
    Postamt,      // point "Postamt"
    Hauptpost,    // point "Hauptpost"
    Rathaus,      // unnamed point without the searchable bit
    Sackgasse,    // "Sackgasse": a point list whose points coincide, house-number ranges 2-20
    Park,         // area "Park"
    Tankstelle,   // point 600 units (89 m) south of the middle of the road
    Kiosk,        // point 2000 units (298 m) south of the road
    Landstrasse,  // the road: one element of 60 points, 500 units apart
    Seventeen,    // "a/b/.../q": 17 alternatives, the last with index 16
    Count
};

// Map units of the town's origin: about 1 degree west of Greenwich at 51 degrees north.
inline constexpr MapPoint kOrigin{-745000, 38000000};
inline constexpr std::uint32_t kAltstadt = 1; // area id of everything but Haupt3
inline constexpr std::uint32_t kNeustadt = 2; // area id of Haupt3
inline constexpr std::uint32_t kStadt = 3;    // the area holding Altstadt and Neustadt
inline constexpr std::string_view kAltstadtCode = "10115";
inline constexpr std::string_view kNeustadtCode = "20095";
// The postal code of the Kiosk alone: the longest text a postal-code slot holds.
inline constexpr std::string_view kKioskCode = "KIOSK-0123456789";
inline constexpr std::uint16_t kPostalValue = 1;
inline constexpr std::uint16_t kStreetType = maprecord::kResidentialType;
inline constexpr std::int32_t kRoadY = 20000;  // the road's y offset
inline constexpr std::int32_t kRoadStep = 500; // between its points
inline constexpr std::size_t kRoadPoints = 60;

// The town can be laid out around another origin (map units): the same elements at the same
// offsets, say across a zone edge of a grid. Every function below takes kOrigin unless told.

// The elements, in Element order.
std::vector<ElementDescription> TownElements(MapPoint origin = kOrigin);
// A point of the town (offsets from the origin) in degrees.
GeoPoint TownPoint(std::int32_t dx, std::int32_t dy, MapPoint origin = kOrigin);
// The rectangle of offsets in degrees.
GeoRect TownRect(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2,
                 MapPoint origin = kOrigin);
// The road's points in degrees.
std::vector<GeoPoint> RoadPoints();
// The address index for the element ids the map-set writer gave out.
AddressIndexWriter TownAddressIndex(const std::vector<std::uint32_t>& ids,
                                    MapPoint origin = kOrigin);

// Writes the town as folder\base.rid/.dat/.nam, marked as a map set with an address index and
// with the map data value, and its address index beside it; false when a file cannot be written.
// The writer tells the ids.
[[nodiscard]] bool WriteTown(const TempDeviceRoot& root, std::u16string_view folder,
                             const std::string& base, std::uint32_t mapDataValue,
                             MapSetWriter& writer, MapPoint origin = kOrigin);

} // namespace testdata::town
