#pragma once
// The map set of a road world: one line element per link, from its first node to its second
// (straight, or bent through given points), with a type code and raw attribute word per link,
// point elements with entry points, and the address index that makes the engine map element
// ids. The world's element ids become the map set's, so a road network written from the world
// afterwards names the map set's elements.

#include "basiccomp/retrievalengine/code/elementcodes.h"
#include "testdata/addressindexwriter.h"
#include "testdata/areatreewriter.h"
#include "testdata/cityindexwriter.h"
#include "testdata/mapsetwriter.h"
#include "testdata/roadworld.h"
#include "testdata/tempdir.h"
#include "utilities/mapgeometry/mapgeometry.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace testdata {

// A point element (type letter 't') and, when given, the entry point a car reaches it by.
struct WorldPointElement {
    MapPoint position;
    std::uint16_t typeCode = maprecord::kFirstPoiType;
    std::optional<GeoPoint> entryPoint; // degrees
    std::string name;
};

// A signpost record of a link's element, pointing at another link's element.
struct WorldSignpost {
    std::uint32_t towardsLink = 0; // link index; its element id becomes the record's value
    std::string text;
};

struct WorldMapSetOptions {
    std::string baseName = "World";
    // Per link index: the inner points (map units) between its two nodes.
    std::map<std::uint32_t, std::vector<MapPoint>> bends;
    // Per link index: the type code (default maprecord::kResidentialType).
    std::map<std::uint32_t, std::uint16_t> typeCodes;
    // The layer (subtype byte) of every link's element.
    std::uint8_t linkLayer = 0;
    // Per link index: the raw attribute word written as it stands. By default the raw direction
    // code follows the link: one-way along its points for a one-way link, else both ways.
    std::map<std::uint32_t, std::uint32_t> attributes;
    std::vector<WorldPointElement> points;
    // Per link index: the name text ("name/route number/..."); none by default.
    std::map<std::uint32_t, std::string> names;
    // Per link index: the country code the address index gives its element.
    std::map<std::uint32_t, std::uint16_t> countries;
    // Per link index: its element's signposts (give the link the raw signpost bit as well).
    std::map<std::uint32_t, std::vector<WorldSignpost>> signposts;
    // Further elements written as they stand (areas, places).
    std::vector<ElementDescription> extraElements;
    // Per link index: the area its element lies in (a Cookie2AreaId slot and an EAreaI.fsr row).
    std::map<std::uint32_t, IndexArea> areas;

    // An area hierarchy written as the tree "EAreaI.tre" (parents first); each area's id is its
    // node id (AreaTreeWriter::GetId). A city's area names the city's point element.
    std::vector<AreaSpec> treeAreas;
    // Per link index and per point index: the tree area (index into treeAreas) that holds the
    // element (a Cookie2AreaId slot).
    std::map<std::uint32_t, std::size_t> linkTreeAreas;
    std::map<std::uint32_t, std::size_t> pointTreeAreas;
    // Points with a tree area also carry the raw bit that reads their area from the cookie
    // record, so that the engine's address of the element names that area.
    bool pointsTakeAreaFromCookie = false;
    // The cities of the city index ("AllCitiesByName.idx", "AllCitiesByCountry.idx").
    struct City {
        std::string name;
        std::size_t point = 0;               // index into points: the city's own point
        std::optional<std::size_t> treeArea; // the area it stands for (its node names the point)
        std::uint16_t country = 0;
    };
    std::vector<City> cities;
    // Rows of "Countries.fsr".
    struct Country {
        std::uint16_t number = 0;
        std::uint16_t language = 0;
        std::string name;
    };
    std::vector<Country> countryNames;
    // Per point index: the country the address index gives its element.
    std::map<std::uint32_t, std::uint16_t> pointCountries;
    // Per link index: the house numbers of its element, the lowest and highest of its first
    // (odd) side and of its second (even) side; 0 for a side without numbers.
    struct HouseNumbers {
        std::uint16_t oddLow = 0, oddHigh = 0, evenLow = 0, evenHigh = 0;
    };
    std::map<std::uint32_t, HouseNumbers> houseNumbers;
};

struct WorldMapSet {
    std::vector<std::uint32_t> pointIds; // the element id of each point element, in order
    std::vector<std::uint32_t> extraIds; // the element id of each further element, in order
    std::u16string ridPath;              // device path of the ".rid" file, for the engine's Open
};

// The raw word a link gets by default.
[[nodiscard]] std::uint32_t DefaultLinkAttributes(const WorldLink& link);

// Writes folder + "\" + baseName + ".rid", ".dat", ".nam" (map kind 2) and the address index
// tables into the device folder (made when missing), and gives each link of the world its
// element id. Nullopt (the world unchanged) when an element or a file cannot be written.
[[nodiscard]] std::optional<WorldMapSet> WriteWorldMapSet(RoadWorld& world,
                                                          const WorldMapSetOptions& options,
                                                          const TempDeviceRoot& root,
                                                          std::u16string_view folder);

} // namespace testdata
