#pragma once
// How OpenStreetMap tags become the map model: road classes and element types of highways and
// ferries, direction, access, toll, speeds, names with alternatives, places, administrative
// areas and addresses. Everything the converter decides about tags is decided here.

#include "basiccomp/retrievalengine/code/elementcodes.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace osm2nav {

// A way's or node's tags as key/value pairs.
using Tags = std::vector<std::pair<std::string, std::string>>;

[[nodiscard]] std::string_view TagValue(const Tags& tags, std::string_view key);

// What a way becomes on the road network and in the map set.
struct RoadMapping {
    std::uint16_t typeCode = 0; // element type code (basiccomp/retrievalengine/code/elementcodes.h)
    std::uint8_t roadClass = 0; // network class, 0 the fastest
    std::uint32_t speedKmh = 0; // maxspeed, or the class default
    bool isOneWay = false;      // drivable only in one direction
    bool isReversed = false;    // one-way against the way's node order ("-1")
    bool isClosed = false;      // access no/private: in the map set, not in the network
    bool hasToll = false;
    bool isFerry = false;
    bool isRoundabout = false;
    bool isBridge = false;
    bool isTunnel = false;
    std::uint8_t networkLevel = 0; // highest road network level the road reaches (0..2)
    // The network link's extended code: 2 for roundabouts, 5 for ramps (the connecting roads
    // the advisor's highway rules look past), 0 otherwise.
    std::uint8_t extendedCode = 0;
};

inline constexpr std::uint8_t kRoundaboutCode = 2;
inline constexpr std::uint8_t kRampCode = 5;

// The network class of service roads: the slowest of our classes in the router's speed table.
inline constexpr std::uint8_t kServiceRoadClass = 13;

// Road or ferry mapping of a way; nullopt for ways that are not roads (paths, railways,
// buildings, service roads unless withService).
[[nodiscard]] std::optional<RoadMapping> MapRoad(const Tags& tags, bool withService);

// The marks of a road's network link that the route options price: ferries are special links
// (class word bit 0x10; the network's classes 16 to 23, apart from the walkways 24 to 31, so a
// ferry link takes class 0x10 | its class's low three bits), toll roads extra links (class word
// bit 0x20, the link's extended bit).
inline constexpr std::uint8_t kSpecialLinkMark = 0x10;
[[nodiscard]] std::uint8_t LinkClass(const RoadMapping& road);
[[nodiscard]] inline bool HasExtraLinkMark(const RoadMapping& road) {
    return road.hasToll;
}

// The raw attribute word of a road element (basiccomp/retrievalengine/code/elementcodes.h): the raw
// direction code (both ways, or one-way along the point order), the ring flag for roundabouts. The
// word has no place for toll, ferry, bridge, tunnel or closed roads; the converter adds the
// searchable bit for named roads and the area and postal-code slots.
[[nodiscard]] std::uint32_t RoadAttributes(const RoadMapping& road);

// The drawing layer (the element's layer byte) of a road element: ferries under the roads, and
// every road on one layer, the one whose attribute words carry the traffic highlights. One layer
// for all classes keeps a named street that changes class one feature for the engine, which
// gathers a street's elements only on one layer. The drawing pass and the map view's route
// overlay look for roads on layers above 0.
inline constexpr std::uint8_t kFerryLayer = 4;
inline constexpr std::uint8_t kRoadLayer = 6;
// Points of interest and cities lie above the roads (and win a tap on the map).
inline constexpr std::uint8_t kPoiLayer = 10;
inline constexpr std::uint8_t kCityLayer = 11;

[[nodiscard]] std::uint8_t RoadLayer(const RoadMapping& road);

// Points of interest are point elements of the detailed level, one type code per kind:
// amenity=fuel, amenity=parking, amenity=hospital, railway=station from
// maprecord::kFirstPoiType on. The type code of a node's or way's point of interest; 0 when it
// is none.
[[nodiscard]] std::uint16_t PoiTypeOf(const Tags& tags);

// "name/ref/int_name" without empty or repeated parts, code page 1252.
[[nodiscard]] std::string NameOf(const Tags& tags);
// The street name: the first alternative of NameOf.
[[nodiscard]] std::string StreetNameOf(const Tags& tags);

// place=city, town, village or suburb; the name in code page 1252, empty when not a city.
[[nodiscard]] std::string CityNameOf(const Tags& tags);

// place=city, town or village: a municipality's place (suburbs lie in one).
[[nodiscard]] bool IsMunicipalityPlace(const Tags& tags);

// boundary=administrative with admin_level 2 to 10: that level, else 0.
[[nodiscard]] int AdminLevelOf(const Tags& tags);
inline constexpr int kCountryAdminLevel = 2;
inline constexpr int kMunicipalityAdminLevel = 8;
inline constexpr std::uint32_t kCountryAreaLevel = 10;
inline constexpr std::uint32_t kMunicipalityAreaLevel = 2;

// An administrative area as its area level is chosen: its admin_level, whether it is a
// municipality (admin_level 8, or the lowest boundary that holds a city, town or village that no
// admin_level 8 boundary holds), and the areas whose boundaries hold it (indexes).
struct AdminArea {
    int adminLevel = 0;
    bool isMunicipality = false;
    std::vector<std::size_t> holders;
};
// The area levels of the address data of an extract's administrative areas, in their order, so
// that an area's level is above those of the areas inside it: 10 a country (admin_level 2), 2 a
// municipality, 1 the boundaries inside municipalities (admin_level 9 and 10), and from 3 upwards
// the larger units (admin_level 3 to 7), counted along each unit's own chain of boundaries: a
// unit that holds no other larger unit at 3, any other one above the highest unit it holds. So
// the unit right above a municipality is at 3 wherever it holds no smaller unit, whatever units
// other parts of the extract have.
[[nodiscard]] std::vector<std::uint32_t> AreaLevelsOf(const std::vector<AdminArea>& areas);

// The country number of a country boundary's "ISO3166-1" alpha-2 tag, as the engine numbers
// countries (0 to 50, 0 meaning every country): the numbers by which TMC messages name their
// countries for the countries they name, the numbers those leave free for the other countries of
// Europe; 0 if unknown.
[[nodiscard]] std::uint16_t CountryCodeOf(const Tags& tags);
// The lowest country number from 1 to 50 that no TMC message and no road-number shield names a
// country by and that is not taken; 0 when none is left.
[[nodiscard]] std::uint16_t FreeCountryNumber(const std::set<std::uint16_t>& taken);

// A country's names for the address index, by the language numbers the program asks the engine
// with ("Language" of its settings: 0 and 2 German, 1 English, 3 French, 4 Spanish, 5 Italian,
// 6 Dutch): name:de, name:en, name:fr, name:es, name:it or name:nl where the country has it,
// else its name; code page 1252. None when it has no name at all.
[[nodiscard]] std::vector<std::pair<std::uint16_t, std::string>> CountryNamesOf(const Tags& tags);

// addr:street + addr:housenumber, or nullopt.
struct Address {
    std::string street;
    std::string number;
    std::string postcode;
};
[[nodiscard]] std::optional<Address> AddressOf(const Tags& tags);
// House numbers of a street element: odd numbers on the first side, even ones on the second,
// each side a range of one parity (the datasets' both-sides scheme 3).
inline constexpr std::uint32_t kHouseNumberScheme = 3;

// Code page 1252 text as wide text.
[[nodiscard]] std::u16string WideOf(std::string_view codePage1252);

// UTF-8 into code page 1252 ('?' for controls and characters it lacks), cut at `limit` bytes.
[[nodiscard]] std::string ToCodePage1252(std::string_view utf8, std::size_t limit = 64);

} // namespace osm2nav
