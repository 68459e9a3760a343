// The data tool on hand-written extracts (XML written through libosmium) and on the shared
// Liechtenstein extract, converted once per test program.
#include "advisor/advisorconfiguration.h"
#include "basiccomp/retrievalengine/code/addressindex.h"
#include "basiccomp/retrievalengine/code/elementcodes.h"
#include "basiccomp/retrievalengine/code/mapelement.h"
#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "routing/roadnetwork.h"
#include "routing/routeoptions.h"
#include "routing/routeposition.h"
#include "tablefiles/datasetsimpl.h"
#include "tablefiles/housenumber.h"
#include "testdata/advisorwriter.h"
#include "testdata/archivewriter.h"
#include "testdata/osmextractwriter.h"
#include "testdata/tempdir.h"
#include "testdata/wavewriter.h"
#include "tools/osm/osmaddressindex.h"
#include "tools/osm/osmconvert.h"
#include "tools/osm/osmcookies.h"
#include "tools/osm/osmhousenumbers.h"
#include "tools/osm/osmmapping.h"
#include "tools/osm/osmnodes.h"
#include "tools/osmtests/convertedextract.h"
#include "utilities/usefulcode/directorywalker.h"
#include "utilities/usefulcode/memoryarena.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <optional>
#include <osmium/builder/attr.hpp>
#include <osmium/io/any_input.hpp>
#include <osmium/io/writer.hpp>
#include <osmium/io/xml_output.hpp>
#include <queue>
#include <set>
#include <sstream>

namespace {

using namespace osmium::builder::attr; // NOLINT: the builder's attribute names

std::string Slurp(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// A way of `nodes` (ids 1..6) tagged as given; nodes 1-4 lie 0.001 degrees apart along a
// line, nodes 5 and 6 below and above it (1, 5, 6 enclose 2-4); nodes 10-25 lie apart. Nodes 7
// and 8 carry the address node tags.
struct HandWay {
    std::vector<std::int64_t> nodes;
    std::vector<std::pair<std::string, std::string>> tags;
};

enum class Boundary { None, Whole, MissingMember };

// A folder laid out like the build's demo advisor data, the voice archive left out, empty, cut
// short or holding a sample that is not a wave when asked.
enum class Advisor { None, Whole, NoVoices, EmptyVoices, CutVoices, VoiceNotAWave };

void WriteAdvisorData(const std::filesystem::path& folder, Advisor advisor) {
    std::filesystem::create_directories(folder / "ConfigFiles");
    std::filesystem::create_directories(folder / "sound");
    const std::string general = testdata::ConfigTextWriter().Row({"minAngleGS1", "-30"}).Build();
    const std::string tables = testdata::ConfigTextWriter()
                                   .Module("T_Street", {"Relative_Direction_Of_TS"})
                                   .Value({"Left"}, "TurnLeft")
                                   .EndMark()
                                   .Build();
    const auto config = testdata::BuildConfigArchive(
        {{"General.properties", general}, {"DecisionTables.csv", tables}});
    std::ofstream(folder / "ConfigFiles" / "Advisor.sfs", std::ios::binary)
        .write(reinterpret_cast<const char*>(config.data()),
               static_cast<std::streamsize>(config.size()));
    std::vector<std::uint8_t> voices;
    if (advisor == Advisor::Whole || advisor == Advisor::VoiceNotAWave) {
        voices = testdata::BuildVoiceArchive(
            {{"Attention", testdata::WaveWriter().Build(advisor == Advisor::Whole
                                                            ? testdata::WaveFault::None
                                                            : testdata::WaveFault::NoDataChunk)}});
    } else if (advisor == Advisor::CutVoices) {
        testdata::ArchiveWriter archive;
        (void)archive.AddMember("Attention.wav", testdata::WaveWriter().Build());
        voices = archive.Build(testdata::ArchiveFault::MemberPastEnd);
    }
    if (advisor != Advisor::NoVoices) {
        std::ofstream(folder / "sound" / "german_waves.sfs", std::ios::binary)
            .write(reinterpret_cast<const char*>(voices.data()),
                   static_cast<std::streamsize>(voices.size()));
    }
}

void WriteExtract(const std::filesystem::path& path, const std::vector<HandWay>& ways,
                  const osm2nav::Tags& addressNodeTags, Boundary boundary,
                  const std::string& boundaryName) {
    osmium::memory::Buffer buffer(1 << 16, osmium::memory::Buffer::auto_grow::yes);
    for (std::int64_t id = 1; id <= 6; ++id) {
        osmium::builder::add_node(buffer, _id(id),
                                  _location(9.5 + 0.001 * static_cast<double>(id), id == 6 ? 47.102
                                                                                   : id == 5
                                                                                       ? 47.098
                                                                                       : 47.1));
    }
    for (std::int64_t id = 10; id < 26; ++id) {
        osmium::builder::add_node(buffer, _id(id),
                                  _location(9.5 + 0.0001 * static_cast<double>(id), 47.105));
    }
    if (!addressNodeTags.empty()) {
        for (std::int64_t id = 7; id <= 8; ++id) {
            osmium::builder::add_node(buffer, _id(id), _location(9.5021, 47.1001),
                                      _tags(addressNodeTags));
        }
    }
    std::int64_t wayId = 100;
    for (const auto& way : ways) {
        osmium::builder::add_way(buffer, _id(wayId++), _nodes(way.nodes), _tags(way.tags));
    }
    // A municipality whose ring is the first way, with a member missing from the extract when
    // asked.
    const osm2nav::Tags municipality{{"type", "boundary"},
                                     {"boundary", "administrative"},
                                     {"admin_level", "8"},
                                     {"name", boundaryName}};
    if (boundary == Boundary::Whole) {
        osmium::builder::add_relation(
            buffer, _id(500), _member(osmium::item_type::way, 100, "outer"), _tags(municipality));
    } else if (boundary == Boundary::MissingMember) {
        osmium::builder::add_relation(
            buffer, _id(500), _member(osmium::item_type::way, 100, "outer"),
            _member(osmium::item_type::way, 999, "outer"), _tags(municipality));
    }
    osmium::io::Writer writer(path.string(), osmium::io::overwrite::allow);
    writer(std::move(buffer));
    writer.close();
}

// The engine and the datasets open on a folder the converter wrote.
struct OutputReaders {
    BlockCachePtr cache = BlockCache::Create(64);
    six::RefCntPtr<RetrievalEngineImpl> engine = RetrievalEngineImpl::CreateEngine(cache);
    DatasetsPtr datasets;

    [[nodiscard]] bool Open(const std::u16string& folder) {
        datasets = DatasetsImpl::Create(cache, RetrievalEngine::RetrievalEnginePtr(engine));
        return engine->Open(folder + osm2nav::kLevelFile) && datasets &&
               datasets->Open(folder + osm2nav::kDatabaseFolder, u"");
    }
};

// Roundabouts and ramps are told apart on the network, where the advisor reads them: the
// link's extended code 2 (roundabout) or 5 (a connecting road its highway rules look past).
TEST(OsmMapping, RoundaboutsAndRampsCarryTheirExtendedCode) {
    const struct {
        osm2nav::Tags tags;
        std::uint8_t code;
    } rows[] = {
        {{{"highway", "motorway"}}, 0},
        {{{"highway", "motorway_link"}}, 5},
        {{{"highway", "tertiary_link"}, {"oneway", "no"}}, 5},
        {{{"highway", "secondary"}, {"junction", "roundabout"}}, 2},
        {{{"highway", "primary_link"}, {"junction", "roundabout"}}, 2},
        {{{"highway", "residential"}}, 0},
        {{{"route", "ferry"}}, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.tags.front().second);
        const auto road = osm2nav::MapRoad(row.tags, true);
        ASSERT_TRUE(road);
        EXPECT_EQ(road->extendedCode, row.code);
    }
}

// The route options' ferry and toll-road switches reach converted data through the marks of
// the network links: ferries are special links, toll roads extra links.
TEST(OsmMapping, FerriesAndTollRoadsCarryTheLinkMarksTheRouterPrices) {
    const struct {
        osm2nav::Tags tags;
        std::uint8_t linkClass;
        bool isSpecial;
        bool isExtra;
    } rows[] = {
        {{{"route", "ferry"}}, 0x11, true, false},
        {{{"route", "ferry"}, {"toll", "yes"}}, 0x11, true, true},
        {{{"highway", "motorway"}, {"toll", "yes"}}, 0, false, true},
        {{{"highway", "residential"}, {"toll", "no"}}, 6, false, false},
        {{{"highway", "primary"}}, 2, false, false},
    };
    const RouteOptions router;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.tags.front().first + "=" + row.tags.front().second);
        const auto road = osm2nav::MapRoad(row.tags, true);
        ASSERT_TRUE(road);
        const std::uint8_t linkClass = osm2nav::LinkClass(*road);
        EXPECT_EQ(linkClass, row.linkClass);
        EXPECT_EQ((linkClass & 0x10u) != 0, row.isSpecial);
        // Not one of the walkway classes; a ferry link goes at the ferry's speed.
        EXPECT_LT(linkClass, 24u);
        if (row.isSpecial) {
            EXPECT_EQ(router.speed[linkClass], static_cast<float>(road->speedKmh));
        }
        EXPECT_EQ(osm2nav::HasExtraLinkMark(*road), row.isExtra);
    }
}

TEST(OsmMapping, TagsBecomeRoadsNamesAndAreas) {
    using osm2nav::Tags;
    using namespace maprecord;
    constexpr std::uint32_t kOneWay = kRawOneWayAlong;
    const struct {
        Tags tags;
        bool isRoad;
        std::uint16_t typeCode;
        std::uint8_t roadClass;
        std::uint32_t speed;
        std::uint32_t attributes;
        bool isReversed;
        std::string flags = {};
    } rows[] = {
        {{{"highway", "motorway"}}, true, kMotorwayType, 0, 120, kOneWay, false},
        {{{"highway", "motorway_link"}}, true, kRampType, 1, 60, kOneWay, false},
        {{{"highway", "motorway_link"}, {"oneway", "no"}}, true, kRampType, 1, 60, 0, false},
        {{{"highway", "trunk_link"}, {"oneway", "yes"}}, true, kRampType, 2, 60, kOneWay, false},
        {{{"highway", "residential"}, {"maxspeed", "40"}}, true, kResidentialType, 6, 40, 0, false},
        {{{"highway", "primary"}, {"maxspeed", "30 mph"}}, true, kPrimaryType, 2, 48, 0, false},
        {{{"highway", "living_street"}, {"maxspeed", "walk"}},
         true,
         kLivingStreetType,
         7,
         10,
         0,
         false},
        {{{"highway", "service"}},
         true,
         kServiceRoadType,
         osm2nav::kServiceRoadClass,
         20,
         0,
         false},
        {{{"highway", "road"}}, true, kMinorRoadType, 5, 50, 0, false},
        {{{"highway", "footway"}}, false, 0, 0, 0, 0, false},
        {{{"highway", "tertiary"}, {"oneway", "yes"}}, true, kTertiaryType, 4, 60, kOneWay, false},
        {{{"highway", "tertiary"}, {"oneway", "-1"}}, true, kTertiaryType, 4, 60, kOneWay, true},
        {{{"highway", "secondary"}, {"junction", "roundabout"}},
         true,
         kSecondaryType,
         3,
         70,
         kOneWay | kRawRing,
         false},
        {{{"highway", "motorway"}, {"oneway", "no"}, {"toll", "yes"}},
         true,
         kMotorwayType,
         0,
         120,
         0,
         false,
         "toll"},
        {{{"highway", "unclassified"}, {"access", "private"}, {"bridge", "yes"}},
         true,
         kMinorRoadType,
         5,
         50,
         0,
         false,
         "closed bridge"},
        {{{"route", "ferry"}, {"tunnel", "no"}}, true, kFerryType, 9, 10, 0, false, "ferry"},
        {{{"highway", "trunk"}, {"tunnel", "yes"}}, true, kTrunkType, 1, 100, 0, false, "tunnel"},
    };
    const RouteOptions router;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.tags.front().first + "=" + row.tags.front().second);
        const auto road = osm2nav::MapRoad(row.tags, true);
        ASSERT_EQ(road.has_value(), row.isRoad);
        if (road) {
            EXPECT_EQ(road->typeCode, row.typeCode);
            EXPECT_EQ(road->roadClass, row.roadClass);
            EXPECT_EQ(road->speedKmh, row.speed);
            EXPECT_EQ(osm2nav::RoadAttributes(*road), row.attributes);
            EXPECT_EQ(road->isReversed, row.isReversed);
            // Only service roads are left out on request; the router drives them slowest.
            EXPECT_EQ(osm2nav::MapRoad(row.tags, false).has_value(),
                      row.typeCode != kServiceRoadType);
            EXPECT_LE(router.speed[osm2nav::kServiceRoadClass], router.speed[road->roadClass]);
            std::string flags;
            for (const auto& [isSet, name] : {std::pair{road->hasToll, "toll"},
                                              {road->isClosed, "closed"},
                                              {road->isBridge, "bridge"},
                                              {road->isTunnel, "tunnel"},
                                              {road->isFerry, "ferry"}}) {
                flags += isSet ? (flags.empty() ? "" : " ") + std::string(name) : "";
            }
            EXPECT_EQ(flags, row.flags);
        }
    }
    const struct {
        Tags tags;
        std::string name;
        std::string city;
        int adminLevel;
        std::uint16_t country;
    } named[] = {
        {{{"name", "Landstrasse"}, {"ref", "28"}, {"int_name", "Landstrasse"}},
         "Landstrasse/28",
         "",
         0,
         0},
        {{{"name", "Aeule/Au"}, {"place", "village"}}, "Aeule-Au", "Aeule/Au", 0, 0},
        {{{"name", "Sch\xC3\xA4"
                   "dler"},
          {"place", "suburb"}},
         "Sch\xE4"
         "dler",
         "Sch\xE4"
         "dler",
         0,
         0},
        {{{"name", "\xE2\x82\xAC"}, {"place", "hamlet"}}, "\x80", "", 0, 0},
        // The country codes are upper case; the 2013 extract's Liechtenstein has "li".
        {{{"boundary", "administrative"}, {"admin_level", "2"}, {"ISO3166-1", "li"}}, "", "", 2, 0},
        {{{"boundary", "administrative"}, {"admin_level", "2"}, {"ISO3166-1", "XY"}}, "", "", 2, 0},
        {{{"boundary", "administrative"}, {"admin_level", "4"}}, "", "", 4, 0},
        {{{"boundary", "administrative"}, {"admin_level", "7"}}, "", "", 7, 0},
        {{{"boundary", "administrative"}, {"admin_level", "10"}}, "", "", 10, 0},
        {{{"boundary", "administrative"}, {"admin_level", "11"}}, "", "", 0, 0},
        {{{"boundary", "political"}, {"admin_level", "8"}}, "", "", 0, 0},
    };
    // Points of interest of each kind, and none for other tags.
    const struct {
        Tags tags;
        std::uint16_t typeCode;
    } pois[] = {
        {{{"amenity", "fuel"}, {"name", "Tankstelle"}}, maprecord::kFirstPoiType},
        {{{"amenity", "parking"}}, maprecord::kFirstPoiType + 1},
        {{{"amenity", "hospital"}}, maprecord::kFirstPoiType + 2},
        {{{"railway", "station"}, {"name", "Schaan-Vaduz"}}, maprecord::kFirstPoiType + 3},
        {{{"amenity", "bench"}}, 0},
        {{{"railway", "halt"}}, 0},
    };
    for (const auto& row : pois) {
        EXPECT_EQ(osm2nav::PoiTypeOf(row.tags), row.typeCode) << row.tags.front().second;
    }
    for (const auto& row : named) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(osm2nav::NameOf(row.tags), row.name);
        EXPECT_EQ(osm2nav::CityNameOf(row.tags), row.city);
        EXPECT_EQ(osm2nav::AdminLevelOf(row.tags), row.adminLevel);
        EXPECT_EQ(osm2nav::CountryCodeOf(row.tags), row.country);
    }
}

// Municipalities at level 2 whatever their admin_level, the boundaries inside them at level 1,
// the larger units above them numbered from 3 along their own chains, countries at 10.
TEST(OsmMapping, AreaLevelsPutMunicipalitiesAtTwoTheirPartsBelowAndLargerUnitsAbove) {
    const struct {
        const char* label;
        std::vector<osm2nav::AdminArea> areas;
        std::vector<std::uint32_t> levels;
    } rows[] = {
        {"country, electoral districts and municipalities",
         {{2, false, {}}, {6, false, {0}}, {8, true, {0, 1}}},
         {10, 3, 2}},
        {"every admin_level",
         {{2, false, {}},
          {4, false, {0}},
          {5, false, {0, 1}},
          {6, false, {0, 1, 2}},
          {7, false, {0, 1, 2, 3}},
          {8, true, {0, 1, 2, 3, 4}},
          {9, false, {}},
          {10, false, {}}},
         {10, 6, 5, 4, 3, 2, 1, 1}},
        {"a unit of admin_level 7 in one of two districts",
         {{2, false, {}},
          {4, false, {0}},
          {6, false, {0, 1}},
          {6, false, {0, 1}},
          {7, false, {0, 1, 2}}},
         {10, 5, 4, 3, 3}},
        {"states and districts",
         {{8, true, {}}, {6, false, {2, 3}}, {4, false, {3}}, {2, false, {}}},
         {2, 3, 4, 10}},
        {"a municipality of admin_level 7 besides those of 8, not counted among the units",
         {{4, false, {}}, {6, false, {0}}, {7, true, {0, 1}}, {8, true, {}}, {10, false, {}}},
         {4, 3, 2, 2, 1}},
        {"a municipality of admin_level 10 with its parts",
         {{10, true, {}}, {9, false, {}}},
         {2, 1}},
        {"no municipality", {{5, false, {}}, {9, false, {}}}, {3, 1}},
        {"nothing", {}, {}},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(osm2nav::AreaLevelsOf(row.areas), row.levels) << row.label;
    }
}

// A converted extract of a country with a state and two districts. In the first, a municipality
// of admin_level 8 with a quarter of admin_level 10, a village that only a boundary of
// admin_level 7 holds (that boundary is its municipality) and a hamlet's village held by nothing
// below the district; in the second, a union of municipalities (admin_level 7) holding one. Each
// street's areas by level, through the address index and through the datasets: the unit right
// above a municipality is at level 3 in both districts.
TEST(Osm2Nav, MunicipalitiesLieAtLevelTwoTheirPartsBelowAndLargerUnitsAbove) {
    testdata::TempDeviceRoot root;
    ASSERT_TRUE(root.InstallModule(u"ziVur.dll"));
    testdata::OsmExtractWriter extract;
    extract
        .AddBoundary(1, {9.0, 47.0, 11.0, 48.0}, 2,
                     {{"name", "\xC3\x96sterreich"}, {"ISO3166-1", "AT"}})
        .AddBoundary(2, {9.05, 47.05, 10.95, 47.95}, 4, {{"name", "Land"}})
        .AddBoundary(3, {9.1, 47.1, 9.9, 47.9}, 6, {{"name", "Bezirk"}})
        .AddBoundary(4, {9.2, 47.2, 9.4, 47.4}, 8, {{"name", "Stadt"}})
        .AddBoundary(5, {9.2, 47.2, 9.3, 47.3}, 10, {{"name", "Altstadt"}})
        .AddBoundary(6, {9.5, 47.5, 9.7, 47.7}, 7, {{"name", "Verband"}})
        .AddBoundary(7, {10.0, 47.1, 10.9, 47.9}, 6, {{"name", "Kreis"}})
        .AddBoundary(8, {10.1, 47.2, 10.5, 47.6}, 7, {{"name", "Amt"}})
        .AddBoundary(9, {10.2, 47.3, 10.4, 47.5}, 8, {{"name", "Amtsdorf"}})
        .AddNode(10, 9.35, 47.35, {{"place", "town"}, {"name", "Stadt"}})
        .AddNode(11, 9.6, 47.6, {{"place", "village"}, {"name", "Dorf"}})
        .AddNode(12, 9.8, 47.8, {{"place", "village"}, {"name", "Weiler"}});
    const struct {
        std::string street;
        double west;
        double south;
        std::u16string byLevel[5]; // levels 1 to 5
    } streets[] = {
        {"Marktgasse", 9.22, 47.22, {u"Altstadt", u"Stadt", u"Bezirk", u"", u"Land"}},
        {"Ringstrasse", 9.36, 47.36, {u"", u"Stadt", u"Bezirk", u"", u"Land"}},
        {"Dorfstrasse", 9.61, 47.61, {u"", u"Verband", u"Bezirk", u"", u"Land"}},
        {"Weilerweg", 9.81, 47.81, {u"", u"", u"Bezirk", u"", u"Land"}},
        {"Amtsweg", 10.21, 47.31, {u"", u"Amtsdorf", u"Amt", u"Kreis", u"Land"}},
    };
    std::int64_t id = 100;
    for (const auto& row : streets) {
        extract.AddNode(id, row.west, row.south).AddNode(id + 1, row.west + 0.02, row.south);
        extract.AddWay(id + 2, {id, id + 1}, {{"highway", "residential"}, {"name", row.street}});
        id += 3;
    }
    ASSERT_EQ(ConvertWritten(extract, root, "out"), "");
    OutputReaders out;
    ASSERT_TRUE(out.Open(u"\\out"));
    const auto& engine = out.engine;
    const auto& datasets = out.datasets;
    const auto nameAt = [&](std::int32_t area) {
        return area < 0 ? std::u16string() : engine->LookupArea(static_cast<std::uint32_t>(area));
    };
    for (const auto& row : streets) {
        SCOPED_TRACE(row.street);
        const std::u16string name = osm2nav::WideOf(row.street);
        auto found = engine->FindInRect({9.0F, 47.0F, 11.0F, 48.0F}, name);
        ASSERT_TRUE(found && found->IsValid());
        const MapElementPtr element =
            engine->GetElement(found->GetCurrent()->GetElementIds().front());
        ASSERT_TRUE(element);
        for (std::uint32_t level = 1; level <= 5; ++level) {
            EXPECT_EQ(nameAt(element->WalkAreas(level)), row.byLevel[level - 1]) << level;
        }
        EXPECT_EQ(nameAt(element->WalkAreas(10)), u"\u00D6sterreich");
        // The datasets file the street under its areas of levels 1 to 3, the same as the
        // address index's.
        auto inDatasets =
            datasets->FindInArea(static_cast<std::uint32_t>(element->WalkAreas(3)), name);
        ASSERT_TRUE(inDatasets && inDatasets->IsValid());
        for (std::int32_t level = 1; level <= 3; ++level) {
            EXPECT_EQ(inDatasets->GetCurrent()->WalkAreaHierarchy(level),
                      element->WalkAreas(static_cast<std::uint32_t>(level)))
                << level;
        }
    }
    // The municipalities are found as cities by their names, each standing for its area.
    for (const std::u16string town : {u"Stadt", u"Verband"}) {
        auto city = engine->FindCities(town, 0);
        ASSERT_TRUE(city && city->IsValid());
        const auto area = static_cast<std::uint32_t>(city->GetCurrent()->GetAreaId());
        EXPECT_EQ(nameAt(static_cast<std::int32_t>(area)), town);
        EXPECT_EQ(engine->WalkAreaHierarchy(area, 2), static_cast<std::int32_t>(area));
    }
    datasets->Close();
    engine->Close();
}

// A converted country is named in each language the program asks the engine for: by its name in
// that language where the extract holds one, else by its name.
TEST(Osm2Nav, CountriesAreNamedInEveryLanguageOfTheProgram) {
    testdata::TempDeviceRoot root;
    ASSERT_TRUE(root.InstallModule(u"ziVur.dll"));
    const osm2nav::Tags tags{{"ISO3166-1", "CH"},    {"name", "Schweiz, Suisse, Svizzera, Svizra"},
                             {"name:de", "Schweiz"}, {"name:en", "Switzerland"},
                             {"name:fr", "Suisse"},  {"name:it", "Svizzera"}};
    testdata::OsmExtractWriter extract;
    extract.AddBoundary(1, {9.0, 47.0, 10.0, 48.0}, 2, tags)
        .AddNode(2, 9.4, 47.4)
        .AddNode(3, 9.5, 47.4)
        .AddWay(4, {2, 3}, {{"highway", "residential"}});
    ASSERT_EQ(ConvertWritten(extract, root, "out"), "");
    OutputReaders out;
    ASSERT_TRUE(out.Open(u"\\out"));
    const struct {
        std::uint16_t language; // "Language" of the program's settings
        std::u16string name;
    } rows[] = {{0, u"Schweiz"},
                {1, u"Switzerland"},
                {2, u"Schweiz"},
                {3, u"Suisse"},
                {4, u"Schweiz, Suisse, Svizzera, Svizra"},
                {5, u"Svizzera"},
                {6, u"Schweiz, Suisse, Svizzera, Svizra"}};
    for (const auto& row : rows) {
        const CountryPtr country =
            out.engine->GetCountry(osm2nav::CountryCodeOf(tags), row.language);
        ASSERT_TRUE(country) << row.language;
        EXPECT_EQ(country->GetName(), row.name) << row.language;
    }
    out.datasets->Close();
    out.engine->Close();
}

// Ids added out of order are found by halving; an id without position throws, naming it.
TEST(OsmMapping, Utf8BecomesCodePage1252WithAQuestionMarkForWhatItLacksAndWidensBack) {
    const struct {
        std::string utf8;
        std::size_t limit;
        std::string expected;
        std::u16string wide; // the code page 1252 text widened again
    } rows[] = {
        {"Äulestrasse", 64, "\xC4ulestrasse", u"Äulestrasse"},
        {"Am Schrägen Weg", 64, "Am Schr\xE4gen Weg", u"Am Schrägen Weg"},
        // The letters and signs code page 1252 keeps at 0x80-0x9F.
        {"Šumava Žilina Œuvre", 64, "\x8Aumava \x8Eilina \x8Cuvre", u"Šumava Žilina Œuvre"},
        {"Österreich — Schweiz 5 €", 64, "\xD6sterreich \x97 Schweiz 5 \x80",
         u"Österreich — Schweiz 5 €"},
        // Controls (C0 and C1), letters beyond it and four-byte sequences.
        {"a\tb\xC2\x85"
         "c",
         64, "a?b?c", u"a?b?c"},
        {"中文 Dorf", 64, "?? Dorf", u"?? Dorf"},
        {"\xF0\x9F\x9A\x97 Weg", 64, "? Weg", u"? Weg"},
        {"ÄÖÜß", 3, "\xC4\xD6\xDC", u"ÄÖÜ"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.utf8);
        const std::string narrow = osm2nav::ToCodePage1252(row.utf8, row.limit);
        EXPECT_EQ(narrow, row.expected);
        EXPECT_EQ(osm2nav::WideOf(narrow), row.wide);
    }
}

TEST(OsmNodeTable, FindsIdsAddedInAnyOrderAndNamesAMissingOne) {
    osm2nav::NodeTable nodes;
    for (const std::int64_t id : {50, 20, 90, 20, 70}) {
        nodes[id] = MapPoint{static_cast<std::int32_t>(id), 1};
    }
    EXPECT_EQ(nodes.size(), 4u);
    const struct {
        std::int64_t id;
        bool isKnown;
    } rows[] = {{20, true}, {50, true}, {70, true}, {90, true}, {10, false}, {60, false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.id);
        EXPECT_EQ(nodes.count(row.id), row.isKnown ? 1u : 0u);
        if (row.isKnown) {
            EXPECT_EQ(nodes.at(row.id), (MapPoint{static_cast<std::int32_t>(row.id), 1}));
            continue;
        }
        try {
            (void)nodes.at(row.id);
            ADD_FAILURE() << "no exception";
        } catch (const std::out_of_range& error) {
            EXPECT_EQ(std::string(error.what()),
                      "node " + std::to_string(row.id) + " has no position in the extract");
        }
    }
}

// Map units of a point `metres` east and north of 9.5 E, 47.1 N.
MapPoint Near(double east, double north) {
    return DegreesToMapPoint(
        GeoPoint{static_cast<float>(9.5 + east / (111320.0 * std::cos(47.1 * 3.14159265 / 180))),
                 static_cast<float>(47.1 + north / 111320.0)});
}

TEST(OsmHouseNumbers, EachNumberGoesToTheNearestElementAndItsMedianBecomesTheMiddle) {
    // Two elements along the x axis: 0-200 m and 200-400 m.
    const std::vector<std::vector<MapPoint>> street{{Near(0, 0), Near(100, 0), Near(200, 0)},
                                                    {Near(200, 0), Near(400, 0)}};
    const struct {
        std::string label;
        std::vector<osm2nav::HouseAddress> addresses;
        std::map<std::size_t, std::pair<std::string, std::string>> ranges; // odd, even
        double atEast;                                                     // of the first element
        std::uint32_t duplicates, withoutNumber, far;
    } rows[] = {
        {"both sides of one element",
         {{Near(20, 10), "1", ""}, {Near(60, -10), "4", ""}, {Near(90, 10), "3", ""}},
         {{0, {"1-3", "4"}}},
         60,
         0,
         0,
         0},
        {"the nearer element takes the number",
         {{Near(150, 15), "7", ""}, {Near(330, 15), "9", ""}, {Near(210, -20), "12", ""}},
         {{0, {"7", ""}}, {1, {"9", "12"}}},
         150,
         0,
         0,
         0},
        {"repeats, letters and far houses",
         {{Near(10, 10), "5", ""},
          {Near(12, 10), "5", ""},
          {Near(30, 10), "5a", ""},
          {Near(30, 10), "a", ""},
          {Near(50, 400), "11", ""}},
         {{0, {"5", ""}}},
         30,
         1,
         1,
         1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        const auto placement = osm2nav::PlaceHouseNumbers(street, row.addresses);
        std::map<std::size_t, std::pair<std::string, std::string>> ranges;
        for (const auto& [element, numbers] : placement.elements) {
            ranges[element] = {osm2nav::RangeText(numbers.odd), osm2nav::RangeText(numbers.even)};
        }
        EXPECT_EQ(ranges, row.ranges);
        EXPECT_EQ(placement.duplicates, row.duplicates);
        EXPECT_EQ(placement.withoutNumber, row.withoutNumber);
        EXPECT_EQ(placement.far.size(), row.far);
        ASSERT_TRUE(placement.elements.count(0));
        const GeoPoint at = placement.elements.at(0).at;
        EXPECT_NEAR(at.y, MapPointToDegrees(Near(0, 0)).y, 1e-6);
        EXPECT_NEAR(at.x, MapPointToDegrees(Near(row.atEast, 0)).x, 1e-5);
    }
}

TEST(OsmHouseNumbers, TheNumbersPointBecomesTheMiddleOfTheSameLine) {
    const std::vector<GeoPoint> line{{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {4, 1}};
    const struct {
        GeoPoint at;
        std::size_t size;
    } rows[] = {
        {{0.5f, 0}, 11}, // one point before, five after: four more before
        {{4, 0.5f}, 10}, // five before, one after: three more after
        {{2.5f, 0}, 7},  // three and three: only the point itself
        {{0, 0}, 11},    // on the first point
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.at.x + row.at.y);
        const auto points = osm2nav::PointsWithMiddleAt(line, row.at);
        ASSERT_EQ(points.size(), row.size);
        EXPECT_EQ(points[points.size() / 2], row.at);
        // Every point lies on the line, in order along it.
        for (std::size_t i = 1; i < points.size(); ++i) {
            EXPECT_TRUE(points[i].y == 0 || points[i].x == 4) << i;
            EXPECT_LE(points[i - 1].x + points[i - 1].y, points[i].x + points[i].y) << i;
        }
    }
}

TEST(OsmCookies, StreetsTakeTheirMostFrequentPostalCodeElseTheirAreas) {
    const struct {
        std::string label;
        std::vector<std::string> street;
        std::vector<std::string> area;
        std::string code;
    } cases[] = {
        {"most frequent of the street", {"9494", "9490", "9490"}, {"9494", "9494", "9494"}, "9490"},
        {"a tie goes to the lowest", {"9495", "9490", "9495", "9490"}, {}, "9490"},
        {"empty codes do not count", {"", "", "9496"}, {"9490"}, "9496"},
        {"no code on the street: the area's", {"", ""}, {"9497", "9490", "9497"}, "9497"},
        {"no code anywhere", {}, {""}, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(osm2nav::ChoosePostalCode(c.street, c.area), c.code) << c.label;
    }
}

TEST(OsmCookies, ElementsReadTheirAreaAndPostalCodeThroughTheirSlots) {
    using Elements = std::vector<osm2nav::ElementAddress>;
    Elements manyAreas;
    Elements manyCodes;
    for (std::uint32_t i = 0; i < 70; ++i) {
        manyAreas.push_back({79 - i, 100 + i, "9490"});
        manyCodes.push_back({10 + i, 7, std::to_string(1000 + i)});
    }
    const struct {
        std::string label;
        Elements elements;
        std::size_t records;
    } cases[] = {
        {"shared values share a slot; none is slot 0",
         {{9, 7, "9490"}, {5, 7, "9490"}, {3, 0, ""}, {4, 8, ""}},
         1},
        // Slot 0 of each record is none: 63 areas or codes fit one record.
        {"70 areas in two records, given in falling id order", manyAreas, 2},
        {"70 postal codes in two records", manyCodes, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        osm2nav::CookieTables tables;
        const std::vector<std::uint32_t> bits = tables.Assign(c.elements, 200);
        EXPECT_EQ(tables.GetRecordCount(), c.records);
        testdata::AddressIndexWriter writer;
        tables.AddTo(writer);
        testdata::TempDeviceRoot root;
        ASSERT_TRUE(writer.WriteTo(root, u"\\maps"));
        AddressIndex index(BlockCache::Create(64));
        index.Open(u"\\maps\\Map", true, nullptr);
        EXPECT_EQ(index.GetMaxCookie(), 199);
        ASSERT_EQ(bits.size(), c.elements.size());
        for (std::size_t i = 0; i < bits.size(); ++i) {
            const auto& element = c.elements[i];
            const auto cookie = static_cast<std::int32_t>(element.elementId);
            EXPECT_EQ(bits[i] & ~0x3FFCu, 0u);
            EXPECT_EQ(index.GetCookieAreaId(cookie, bits[i]),
                      element.areaId == 0 ? -1 : static_cast<std::int32_t>(element.areaId))
                << cookie;
            char16_t code[AddressIndex::kPostalCodeLength + 1] = {};
            EXPECT_TRUE(index.GetCookiePostalCode(cookie, bits[i], code));
            EXPECT_EQ(std::u16string(code), osm2nav::WideOf(element.postalCode)) << cookie;
        }
        // An element the tables do not list (no slot bits) has neither.
        EXPECT_EQ(index.GetCookieAreaId(1, 0), -1);
    }
}

TEST(OsmAddressIndex, AreasLieUnderTheNearestEnclosingAreaAndCitiesNameTheirOwnArea) {
    osm2nav::AddressIndexBuilder index;
    const auto add = [&](std::string name, std::uint32_t level, MapRect bounds) {
        return index.AddArea({std::move(name), level, bounds, 438, {}});
    };
    // Added children first: the tree still lists parents before their children.
    const std::size_t vaduz = add("Vaduz", 1, {20, 20, 30, 30});
    const std::size_t oberland = add("Oberland", 3, {10, 10, 50, 50});
    const std::size_t country = add("438", 10, {0, 0, 100, 100});
    const std::size_t schaan = add("Schaan", 1, {60, 60, 70, 70});
    const std::size_t outside = add("Feldkirch", 1, {200, 200, 210, 210});
    index.AddCity({"Vaduz", vaduz, 7001, 438});
    index.AddCity({"Ebenholz", vaduz, 7002, 438});
    index.AddCity({"Schaan", schaan, 7003, 438});
    index.Layout();
    const struct {
        std::size_t area;
        std::optional<std::size_t> parent;
    } areas[] = {{vaduz, oberland},
                 {oberland, country},
                 {country, std::nullopt},
                 {schaan, country},
                 {outside, std::nullopt}};
    std::set<std::uint32_t> ids;
    for (const auto& row : areas) {
        EXPECT_EQ(index.ParentOf(row.area), row.parent) << row.area;
        ids.insert(index.AreaId(row.area));
    }
    EXPECT_EQ(ids.size(), 5u);
    EXPECT_EQ(ids.count(0), 0u);
    EXPECT_LT(index.AreaId(country), index.AreaId(oberland));
    EXPECT_LT(index.AreaId(oberland), index.AreaId(vaduz));
    // A city named like its area names the area's node; a suburb names its own element.
    const struct {
        std::uint32_t id;
        bool isElement;
    } cities[] = {{index.AreaId(vaduz), false}, {7002, true}, {index.AreaId(schaan), false}};
    ASSERT_EQ(index.GetCityRecords().size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(index.GetCityRecords()[i].id, cities[i].id) << i;
        EXPECT_EQ(index.GetCityRecords()[i].isElement, cities[i].isElement) << i;
    }
}

// The summary line that begins with `head`.
std::string Line(const std::string& summary, const std::string& head) {
    const auto at = summary.find(head);
    return at == std::string::npos ? "" : summary.substr(at, summary.find('\n', at) - at);
}

TEST(Osm2Nav, BrokenInputIsRefusedOrCountedAndOutputIsDeterministic) {
    const HandWay street{{1, 2, 3}, {{"highway", "residential"}, {"name", "Feld"}}};
    const HandWay ring{{1, 5, 6, 1}, {{"boundary", "administrative"}}};
    std::vector<HandWay> star;
    for (std::int64_t end = 10; end < 26; ++end) {
        star.push_back({{3, end}, {{"highway", "tertiary"}}});
    }
    const HandWay inside{{2, 3, 4}, {{"highway", "residential"}, {"name", "Feld"}}};
    const struct {
        std::string label;
        std::vector<HandWay> ways;
        osm2nav::Tags addressTags;
        std::string garbage; // written instead of an extract when set
        bool isOutputUsed;
        std::string error; // part of the message; empty: converts
        std::string line;  // summary line expected
        Boundary boundary = Boundary::None;
        Advisor advisor = Advisor::None;
        std::string language = "ger";
        bool withServiceRoads = true;
        std::string boundaryName = "Feldkirch";
    } rows[] = {
        {"sixteen roads at a crossing",
         star,
         {},
         "",
         false,
         "",
         "warnings: 0 ways with missing nodes, 0 relations with missing members, 0 boundaries "
         "not assembled, 0 duplicate house numbers, 0 house numbers without a number, 1 links "
         "beyond 15"},
        {"municipality",
         {ring, inside},
         {},
         "",
         false,
         "",
         "datasets: 1 streets, 1 cities, 1 areas",
         Boundary::Whole},
        {"boundary with a missing member",
         {ring, inside},
         {},
         "",
         false,
         "",
         "warnings: 0 ways with missing nodes, 1 relations with missing members, 1 boundaries",
         Boundary::MissingMember},
        {"two roads",
         {street, {{3, 4}, {{"highway", "primary"}}}},
         {},
         "",
         false,
         "",
         "road network level 0: 3 crossings, 2 links"},
        {"missing node",
         {{{1, 2, 99, 3}, {{"highway", "tertiary"}}}},
         {},
         "",
         false,
         "",
         "warnings: 1 ways with missing nodes"},
        {"service road",
         {street, {{3, 4}, {{"highway", "service"}}}},
         {},
         "",
         false,
         "",
         "road network level 0: 3 crossings, 2 links"},
        {"service road left out",
         {street, {{3, 4}, {{"highway", "service"}}}},
         {},
         "",
         false,
         "",
         "road network level 0: 2 crossings, 1 links",
         Boundary::None,
         Advisor::None,
         "ger",
         false},
        {"closed road",
         {street, {{3, 4}, {{"highway", "primary"}, {"access", "no"}}}},
         {},
         "",
         false,
         "",
         "road network level 0: 2 crossings, 1 links"},
        {"duplicate numbers",
         {street},
         {{"addr:street", "Feld"}, {"addr:housenumber", "4"}},
         "",
         false,
         "",
         "warnings: 0 ways with missing nodes, 0 relations with missing members, 0 boundaries "
         "not assembled, 1 duplicate"},
        {"no roads", {{{1, 2}, {{"highway", "footway"}}}}, {}, "", false, "holds no roads", ""},
        {"broken file", {}, {}, "<osm><node id=", false, "cannot be read", ""},
        {"output in use", {street}, {}, "", true, "not an empty folder", ""},
        {"municipality in the address index",
         {ring, inside},
         {{"addr:street", "Feld"}, {"addr:housenumber", "4"}},
         "",
         false,
         "",
         "address index: 1 areas in the tree, 1 cities, 1 elements with house numbers, 2 elements "
         "with an area or postal code",
         Boundary::Whole},
        {"house numbers of a street elsewhere",
         {street},
         {{"addr:street", "Wald"}, {"addr:housenumber", "4"}},
         "",
         false,
         "",
         "warnings: 0 ways with missing nodes, 0 relations with missing members, 0 boundaries "
         "not assembled, 0 duplicate house numbers, 0 house numbers without a number, 0 links "
         "beyond 15 at a crossing, 0 elements the map set cannot hold, 2 house numbers far from "
         "their street"},
        {"advisor data and voices",
         {street},
         {},
         "",
         false,
         "",
         "advisor: 2 configuration files, 1 voice samples (german)",
         Boundary::None,
         Advisor::Whole},
        {"advisor data without voices",
         {street},
         {},
         "",
         false,
         "german_waves.sfs: no such file",
         "",
         Boundary::None,
         Advisor::NoVoices},
        {"advisor data with an empty voice archive",
         {street},
         {},
         "",
         false,
         "german_waves.sfs: not an archive",
         "",
         Boundary::None,
         Advisor::EmptyVoices},
        {"advisor data with a voice archive cut short",
         {street},
         {},
         "",
         false,
         "german_waves.sfs: not an archive",
         "",
         Boundary::None,
         Advisor::CutVoices},
        {"advisor data with a voice sample that is not a wave",
         {street},
         {},
         "",
         false,
         "a written voice sample is not a wave: Attention.wav",
         "",
         Boundary::None,
         Advisor::VoiceNotAWave},
        {"unknown language",
         {street},
         {},
         "",
         false,
         "--language takes",
         "",
         Boundary::None,
         Advisor::None,
         "xyz"},
        {"missing file", {}, {}, "", false, "no such file", ""},
        {"place names without a letter of code page 1252: no city, two warnings",
         {street},
         {{"place", "village"}, {"name", "\xe4\xb8\xad\xe6\x96\x87"}},
         "",
         false,
         "",
         "warnings: 0 ways with missing nodes, 0 relations with missing members, 0 boundaries "
         "not assembled, 0 duplicate house numbers, 0 house numbers without a number, 0 links "
         "beyond 15 at a crossing, 0 elements the map set cannot hold, 0 house numbers far from "
         "their street, 2 place names with nothing to search by"},
        {"blank place names: no city, two points of the map set",
         {street},
         {{"place", "town"}, {"name", " "}},
         "",
         false,
         "",
         "map set: 3 elements in the detailed level, 2 in the overview level"},
        {"place names with some letters: cities",
         {street},
         {{"place", "village"}, {"name", "\xe4\xb8\xad\xe6\x96\x87 Dorf"}},
         "",
         false,
         "",
         "datasets: 1 streets, 2 cities"},
        {"municipality without a letter of code page 1252: an area, no city",
         {ring, inside},
         {},
         "",
         false,
         "",
         "datasets: 1 streets, 0 cities, 1 areas",
         Boundary::Whole,
         Advisor::None,
         "ger",
         true,
         "\xe4\xb8\xad\xe6\x96\x87"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        testdata::TempDeviceRoot root;
        const auto extract = root.HostPath() / "in.osm";
        if (!row.garbage.empty()) {
            std::ofstream(extract) << row.garbage;
        } else if (!row.ways.empty()) {
            WriteExtract(extract, row.ways, row.addressTags, row.boundary, row.boundaryName);
        }
        osm2nav::ConvertOptions options;
        options.extract = extract;
        options.output = root.HostPath() / "out";
        options.language = row.language;
        options.withServiceRoads = row.withServiceRoads;
        if (row.advisor != Advisor::None) {
            options.advisorData = root.HostPath() / "demo";
            WriteAdvisorData(options.advisorData, row.advisor);
        }
        if (row.isOutputUsed) {
            std::filesystem::create_directories(options.output / "old");
        }
        std::ostringstream summary;
        const std::string error = osm2nav::Convert(options, summary);
        EXPECT_NE(error.find(row.error), std::string::npos) << error;
        EXPECT_EQ(error.empty(), row.error.empty()) << error;
        if (row.error.empty()) {
            EXPECT_EQ(Line(summary.str(), row.line.substr(0, 9)).substr(0, row.line.size()),
                      row.line);
            // A second run gives the same bytes.
            options.output = root.HostPath() / "again";
            std::ostringstream again;
            ASSERT_EQ(osm2nav::Convert(options, again), "");
            for (const auto& entry :
                 std::filesystem::recursive_directory_iterator(root.HostPath() / "out")) {
                if (entry.is_regular_file()) {
                    const auto relative = entry.path().lexically_relative(root.HostPath() / "out");
                    EXPECT_EQ(Slurp(entry.path()), Slurp(options.output / relative)) << relative;
                }
            }
        } else if (!row.isOutputUsed) {
            EXPECT_FALSE(std::filesystem::exists(options.output));
        }
    }
}

TEST(Osm2Nav, StreetNamesKeepTheirLettersAndHouseNumbersInTheDatasets) {
    // Cut to the 16 bytes of the datasets' name column; a letter beyond ASCII takes one byte.
    const struct {
        std::string name; // UTF-8, as in the extract
        std::u16string prefix;
        std::u16string found;
    } rows[] = {{"Feld", u"Fe", u"Feld"},
                {"Äulestrasse", u"Äule", u"Äulestrasse"},
                {"Am Schrägen Weg", u"Am Schr", u"Am Schrägen Weg"},
                {"Fürst-Johann-Strasse", u"Fürst-J", u"Fürst-Johann-Str"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        testdata::TempDeviceRoot root;
        ASSERT_TRUE(root.InstallModule(u"ziVur.dll"));
        osm2nav::ConvertOptions options;
        options.extract = root.HostPath() / "in.osm";
        options.output = root.HostPath() / "out";
        WriteExtract(options.extract,
                     {{{1, 5, 6, 1}, {{"boundary", "administrative"}}},
                      {{2, 3, 4}, {{"highway", "residential"}, {"name", row.name}}}},
                     {{"addr:street", row.name}, {"addr:housenumber", "4"}}, Boundary::Whole,
                     "Feldkirch");
        std::ostringstream summary;
        ASSERT_EQ(osm2nav::Convert(options, summary), "");
        OutputReaders out;
        ASSERT_TRUE(out.Open(u"\\out"));
        const auto& engine = out.engine;
        const auto& datasets = out.datasets;
        auto city = engine->FindCities(u"Feldkirch", 0);
        ASSERT_TRUE(city && city->IsValid());
        auto streets = datasets->FindInArea(
            static_cast<std::uint32_t>(city->GetCurrent()->GetAreaId()), row.prefix);
        ASSERT_TRUE(streets && streets->IsValid());
        const GeoMoleculePtr street = streets->GetCurrent();
        EXPECT_EQ(street->GetName(), row.found);
        ASSERT_TRUE(street->HasHouseNumber(HouseNumber(4, 0)));
        HouseNumberInfo info;
        HouseNumberPosition along;
        EXPECT_TRUE(engine->FillHouseNumberInfo(
                        street->GetHouseNumberPosition(HouseNumber(4, 0)).elementId, info) &&
                    info.Match(HouseNumber(4, 0), along));
        datasets->Close();
    }
}

// The numbered address nodes of the shared extract by street.
std::map<std::string, std::vector<std::pair<unsigned short, GeoPoint>>> HouseNodes() {
    std::map<std::string, std::vector<std::pair<unsigned short, GeoPoint>>> nodes;
    osmium::io::Reader reader(NAV_OSM_EXTRACT, osmium::osm_entity_bits::node);
    while (osmium::memory::Buffer buffer = reader.read()) {
        for (const auto& node : buffer.select<osmium::Node>()) {
            const char* name = node.tags()["addr:street"];
            const char* number = node.tags()["addr:housenumber"];
            if (name != nullptr && number != nullptr && std::atoi(number) > 0) {
                nodes[name].emplace_back(static_cast<unsigned short>(std::atoi(number)),
                                         GeoPoint{static_cast<float>(node.location().lon()),
                                                  static_cast<float>(node.location().lat())});
            }
        }
    }
    reader.close();
    return nodes;
}

double MetresBetween(const GeoPoint& a, const GeoPoint& b) {
    const double dx = (a.x - b.x) * std::cos(b.y * 3.14159265358979 / 180.0) * 111320.0;
    const double dy = (a.y - b.y) * 111320.0;
    return std::sqrt(dx * dx + dy * dy);
}

// The shared extract converted once, packed and loose.
class SharedExtract : public ConvertedExtract {
protected:
    static void SetUpTestSuite() {
        CreateRoot();
        osm2nav::ConvertOptions loose;
        loose.advisorData = s_root->HostPath() / "demo";
        WriteAdvisorData(loose.advisorData, Advisor::Whole);
        osm2nav::ConvertOptions packed = loose;
        packed.isPacked = true;
        ConvertOnce({{"loose", loose}, {"packed", packed}});
    }
};

TEST_F(SharedExtract, OpensWithTheReadersAndFindsTheMunicipalities) {
    osmium::io::Reader reader(NAV_OSM_EXTRACT, osmium::osm_entity_bits::nothing);
    const osmium::Box bounds = reader.header().box();
    reader.close();
    for (const std::u16string folder : {u"\\loose", u"\\packed"}) {
        SCOPED_TRACE(std::string(folder.begin(), folder.end()));
        // The output is one database: a data folder of its own, and the only one in it.
        EXPECT_TRUE(IsDatasetFolder(folder));
        std::vector<std::u16string> databases;
        EnumDatasetFolders(folder, databases);
        EXPECT_EQ(databases, std::vector<std::u16string>{folder});
        BlockCachePtr cache = BlockCache::Create(1024);
        const auto engine = RetrievalEngineImpl::CreateEngine(cache);
        ASSERT_TRUE(engine->Open(folder + osm2nav::kLevelFile));
        auto datasets = DatasetsImpl::Create(cache, RetrievalEngine::RetrievalEnginePtr(engine));
        ASSERT_TRUE(datasets->Open(folder + osm2nav::kDatabaseFolder, u""));
        // The eleven municipalities, three of them by the first letters of their names.
        const struct {
            std::u16string prefix;
            std::u16string name;
        } cities[] = {{u"Vad", u"Vaduz"},
                      {u"Scha", u"Schaan"},
                      {u"Triesenb", u"Triesenberg"},
                      {u"Balzers", u"Balzers"},
                      {u"Eschen", u"Eschen"},
                      {u"Gamprin", u"Gamprin"},
                      {u"Mauren", u"Mauren"},
                      {u"Planken", u"Planken"},
                      {u"Ruggell", u"Ruggell"},
                      {u"Schellenberg", u"Schellenberg"},
                      {u"Triesen", u"Triesen"}};
        for (const auto& city : cities) {
            auto cursor = datasets->FindCities(city.prefix, 0);
            std::vector<std::u16string> names;
            for (; cursor && cursor->IsValid(); cursor->Next()) {
                names.push_back(cursor->GetCurrent()->GetName());
            }
            EXPECT_NE(std::find(names.begin(), names.end(), city.name), names.end())
                << std::string(city.prefix.begin(), city.prefix.end());
        }
        // Vaduz through the address index: a municipality of the country, with the area id under
        // which the datasets find its streets.
        auto vaduz = engine->FindCities(u"Vaduz", 0);
        ASSERT_TRUE(vaduz && vaduz->IsValid());
        const std::int32_t area = vaduz->GetCurrent()->GetAreaId();
        EXPECT_EQ(engine->LookupArea(static_cast<std::uint32_t>(area)), u"Vaduz");
        const std::int32_t country =
            engine->WalkAreaHierarchy(static_cast<std::uint32_t>(area), 10);
        EXPECT_EQ(engine->LookupArea(static_cast<std::uint32_t>(country)), u"Liechtenstein");
        const auto countries = engine->GetCountries(0);
        ASSERT_EQ(countries.size(), 1u);
        EXPECT_EQ(countries[0]->GetName(), u"Liechtenstein");
        // Every street of a municipality lies in it at level 2 (nothing of level 1 inside it),
        // in its electoral district at level 3, in the address index and in the datasets alike;
        // the name of its level-2 area finds the municipality as a city.
        for (const std::u16string town : {u"Vaduz", u"Schaan", u"Balzers"}) {
            SCOPED_TRACE(std::string(town.begin(), town.end()));
            auto city = engine->FindCities(town, 0);
            ASSERT_TRUE(city && city->IsValid());
            const std::int32_t townArea = city->GetCurrent()->GetAreaId();
            std::size_t streetCount = 0;
            for (auto streets = datasets->FindInArea(static_cast<std::uint32_t>(townArea), u"");
                 streets && streets->IsValid(); streets->Next(), ++streetCount) {
                const GeoMoleculePtr street = streets->GetCurrent();
                EXPECT_EQ(street->WalkAreaHierarchy(1), -1);
                EXPECT_EQ(street->WalkAreaHierarchy(2), townArea);
                const MapElementPtr element = engine->GetElement(street->GetElementIds().front());
                ASSERT_TRUE(element);
                EXPECT_EQ(element->WalkAreas(1), -1);
                ASSERT_EQ(element->WalkAreas(2), townArea);
                EXPECT_EQ(element->WalkAreas(3), street->WalkAreaHierarchy(3));
                EXPECT_EQ(engine->LookupArea(static_cast<std::uint32_t>(element->WalkAreas(3))),
                          u"Wahlkreis Oberland");
            }
            EXPECT_GT(streetCount, 20u);
            auto byName =
                engine->FindCities(engine->LookupArea(static_cast<std::uint32_t>(townArea)), 0);
            ASSERT_TRUE(byName && byName->IsValid());
            EXPECT_EQ(byName->GetCurrent()->GetAreaId(), townArea);
        }
        // A street of Vaduz by name within its city.
        auto streets = datasets->FindInArea(static_cast<std::uint32_t>(area), u"Heiligkr");
        ASSERT_TRUE(streets && streets->IsValid());
        EXPECT_EQ(streets->GetCurrent()->GetName(), u"Heiligkreuz");
        streets = datasets->FindInArea(static_cast<std::uint32_t>(area), u"Äulestr");
        ASSERT_TRUE(streets && streets->IsValid());
        EXPECT_EQ(streets->GetCurrent()->GetName(), u"Äulestrasse");
        // The same through the engine, by the area and by the postal code of its road elements;
        // the area keeps out the roads of the neighbours inside its rectangle.
        const auto names = [](GeoMoleculeCursorPtr cursor) {
            std::vector<std::u16string> found;
            for (; cursor && cursor->IsValid(); cursor->Next()) {
                found.push_back(cursor->GetCurrent()->GetName());
            }
            return found;
        };
        for (const auto& found :
             {names(engine->FindInArea(static_cast<std::uint32_t>(area), u"Heiligkr")),
              names(engine->FindInPostalCode(u"9490", 0, u"Heiligkr"))}) {
            EXPECT_NE(std::find(found.begin(), found.end(), u"Heiligkreuz"), found.end());
        }
        const GeoRect vaduzRect = vaduz->GetCurrent()->GetRect();
        EXPECT_LT(names(engine->FindInArea(static_cast<std::uint32_t>(area), u"")).size() * 3,
                  names(engine->FindInRect(vaduzRect, u"")).size() * 2);
        // The house numbers of streets of Vaduz and Schaan lie near their OSM address nodes: the
        // middle point of the element that holds a number stands for it. A street name may be a
        // street of several municipalities; each address is on one of them.
        const auto houses = HouseNodes();
        std::size_t count = 0;
        std::size_t nearHouses = 0;
        // Streets named beyond ASCII hold their numbers too; those of Im Rösle share few
        // elements, whose middles lie farther from the houses than 50 m.
        const struct {
            std::string name;
            std::u16string wideName;
            bool isNearShareCounted;
        } numberedStreets[] = {{"Heiligkreuz", u"Heiligkreuz", true},
                               {"Landstrasse", u"Landstrasse", true},
                               {"Im Pardiel", u"Im Pardiel", true},
                               {"Gapetschstrasse", u"Gapetschstrasse", true},
                               {"Im Rösle", u"Im Rösle", false}};
        for (const auto& [name, wideName, isNearShareCounted] : numberedStreets) {
            SCOPED_TRACE(name);
            std::vector<GeoMoleculePtr> named;
            for (const auto& city : cities) {
                auto found = engine->FindCities(city.name, 0);
                ASSERT_TRUE(found && found->IsValid());
                for (auto cursor = datasets->FindInArea(
                         static_cast<std::uint32_t>(found->GetCurrent()->GetAreaId()), wideName);
                     cursor && cursor->IsValid(); cursor->Next()) {
                    named.push_back(cursor->GetCurrent());
                }
            }
            for (const auto& [number, where] : houses.at(name)) {
                count += isNearShareCounted ? 1 : 0;
                double nearest = INFINITY;
                for (const auto& street : named) {
                    const ElementPosition position =
                        street->GetHouseNumberPosition(HouseNumber(number, 0));
                    if (!street->HasHouseNumber(HouseNumber(number, 0))) {
                        continue;
                    }
                    nearest = std::min(nearest, MetresBetween(position.point, where));
                    // The address index knows the number on the same element.
                    HouseNumberInfo info;
                    HouseNumberPosition along;
                    EXPECT_TRUE(engine->FillHouseNumberInfo(position.elementId, info) &&
                                info.Match(HouseNumber(number, 0), along))
                        << number;
                }
                EXPECT_LT(nearest, 300.0) << number;
                nearHouses += isNearShareCounted && nearest <= 50.0 ? 1 : 0;
            }
        }
        EXPECT_GT(count, 20u);
        EXPECT_GE(nearHouses * 5, count * 4) << nearHouses << " of " << count;
        datasets->Close();
        // Points of interest of every kind, found by the engine's area query over their type range.
        std::map<std::uint16_t, std::size_t> pois;
        for (auto cursor = engine->QueryArea({static_cast<float>(bounds.bottom_left().lon()),
                                              static_cast<float>(bounds.bottom_left().lat()),
                                              static_cast<float>(bounds.top_right().lon()),
                                              static_cast<float>(bounds.top_right().lat())},
                                             maprecord::kFirstPoiType, maprecord::kPoiTypeEnd);
             cursor && cursor->IsValid(); cursor->Next()) {
            EXPECT_EQ(cursor->GetGeometryClass(), 0u);
            ++pois[cursor->GetTypeCode()];
        }
        for (std::uint16_t type = maprecord::kFirstPoiType; type < maprecord::kPoiTypeEnd; ++type) {
            EXPECT_GT(pois[type], 0u) << type;
        }
        EXPECT_EQ(pois.size(), 4u);
        RoadNetwork network;
        ASSERT_TRUE(network.Load(folder + osm2nav::kNetworkFile,
                                 RetrievalEngine::RetrievalEnginePtr(engine)));
        EXPECT_GT(network.GetCrossingCount(0), 1000u);
        const GeoRect rect = network.GetMapRect(0);
        const double edges[][2] = {{rect.minX, bounds.bottom_left().lon()},
                                   {rect.minY, bounds.bottom_left().lat()},
                                   {rect.maxX, bounds.top_right().lon()},
                                   {rect.maxY, bounds.top_right().lat()}};
        for (const auto& edge : edges) {
            EXPECT_NEAR(edge[0], edge[1], 0.02);
        }
        engine->Close();
    }
}

// A road element of the road query, its points in degrees.
struct RoadElement {
    std::uint32_t id;
    std::uint16_t typeCode;
    std::vector<GeoPoint> points;
};

// Metres from p to the segment a-b, on a plane at p's latitude.
double MetresToSegment(const GeoPoint& p, const GeoPoint& a, const GeoPoint& b) {
    const double scale = std::cos(p.y * 3.14159265358979 / 180.0);
    const double ax = (a.x - p.x) * scale * 111320.0;
    const double ay = (a.y - p.y) * 111320.0;
    const double bx = (b.x - p.x) * scale * 111320.0;
    const double by = (b.y - p.y) * 111320.0;
    const double lengthSquared = (bx - ax) * (bx - ax) + (by - ay) * (by - ay);
    const double t = lengthSquared == 0.0
                         ? 0.0
                         : std::clamp(-(ax * (bx - ax) + ay * (by - ay)) / lengthSquared, 0.0, 1.0);
    return std::hypot(ax + t * (bx - ax), ay + t * (by - ay));
}

double MetresToLine(const GeoPoint& p, const std::vector<GeoPoint>& line) {
    double nearest = MetresBetween(p, line.front());
    for (std::size_t i = 1; i < line.size(); ++i) {
        nearest = std::min(nearest, MetresToSegment(p, line[i - 1], line[i]));
    }
    return nearest;
}

// A point 5 m beside the middle of the longest segment of a road, with no other road within
// 15 m of it, finds that road among the elements of the road query in the square of +-0.0002
// degrees around it that a position may be attached to, the nearest first; for every road kind
// of the extract.
TEST_F(SharedExtract, APointBesideARoadFindsThatRoad) {
    BlockCachePtr cache = BlockCache::Create(1024);
    const auto engine = RetrievalEngineImpl::CreateEngine(cache);
    ASSERT_TRUE(engine->Open(std::u16string(u"\\loose") + osm2nav::kLevelFile));
    const GeoRect extent = engine->GetExtent();
    std::vector<RoadElement> roads;
    for (auto cursor =
             engine->QueryArea(extent, maprecord::kFirstRoadType, maprecord::kRoadTypeEnd);
         cursor && cursor->IsValid(); cursor->Next()) {
        RoadElement road{cursor->GetElementId(), cursor->GetTypeCode(), {}};
        for (std::uint32_t i = 0; i < cursor->GetPointCount(); ++i) {
            cursor->GetPoint(road.points.emplace_back(), i);
        }
        roads.push_back(std::move(road));
    }
    std::map<std::uint16_t, std::size_t> found;
    for (const RoadElement& road : roads) {
        if (found[road.typeCode] >= 10 || road.points.size() < 2) {
            continue;
        }
        std::size_t longest = 1;
        for (std::size_t i = 2; i < road.points.size(); ++i) {
            if (MetresBetween(road.points[i], road.points[i - 1]) >
                MetresBetween(road.points[longest], road.points[longest - 1])) {
                longest = i;
            }
        }
        const GeoPoint a = road.points[longest - 1];
        const GeoPoint b = road.points[longest];
        const double length = MetresBetween(a, b);
        if (length < 20.0) {
            continue;
        }
        // 5 m to the left of a-b, converted back to degrees.
        const double scale = std::cos(a.y * 3.14159265358979 / 180.0) * 111320.0;
        const double east = (b.x - a.x) * scale / length;
        const double north = (b.y - a.y) * 111320.0 / length;
        const GeoPoint p{static_cast<float>((a.x + b.x) / 2 - 5.0 * north / scale),
                         static_cast<float>((a.y + b.y) / 2 + 5.0 * east / 111320.0)};
        if (std::any_of(roads.begin(), roads.end(), [&](const RoadElement& other) {
                return other.id != road.id && MetresToLine(p, other.points) < 15.0;
            })) {
            continue;
        }
        std::uint32_t nearest = 0xFFFFFFFF;
        double best = INFINITY;
        for (auto cursor =
                 engine->QueryArea({p.x - 0.0002f, p.y - 0.0002f, p.x + 0.0002f, p.y + 0.0002f},
                                   maprecord::kFirstRoadType, maprecord::kRoadTypeEnd);
             cursor && cursor->IsValid(); cursor->Next()) {
            ElementAttributes attributes;
            cursor->GetAttributes(attributes);
            const auto it = std::find_if(roads.begin(), roads.end(), [&](const RoadElement& r) {
                return r.id == cursor->GetElementId();
            });
            ASSERT_NE(it, roads.end());
            const double distance = MetresToLine(p, it->points);
            if (distance < best &&
                IsNearestRoadCandidate(cursor->GetTypeCode(), it->id, attributes)) {
                best = distance;
                nearest = it->id;
            }
        }
        EXPECT_EQ(nearest, road.id) << "type " << road.typeCode;
        EXPECT_NEAR(best, 5.0, 0.5) << road.id;
        ++found[road.typeCode];
    }
    // Ten such roads of every kind the extract holds more than a few of (it has no motorways,
    // trunk roads or ferries, and two ramps).
    for (const std::uint16_t type :
         {maprecord::kPrimaryType, maprecord::kSecondaryType, maprecord::kTertiaryType,
          maprecord::kMinorRoadType, maprecord::kResidentialType, maprecord::kLivingStreetType,
          maprecord::kServiceRoadType}) {
        EXPECT_EQ(found[type], 10u) << type;
    }
}

// Level 0 as a directed graph read through the network's own cursors: a link may be driven away
// from a crossing unless its direction code there is 3 (one-way towards it).
struct Arc {
    std::size_t to;
    std::uint32_t length;
    std::uint32_t element;
    std::uint32_t code;
};

std::vector<std::vector<Arc>> ReadGraph(RoadNetwork& network) {
    std::map<std::pair<std::uint16_t, std::uint16_t>, std::size_t> index;
    std::vector<CrossingAddress> addresses;
    for (auto crossing = network.CreateCrossing({0, 0, 0xFFFFFFFF, 0});
         crossing && crossing->IsValid(); crossing->Next()) {
        const CrossingAddress a = crossing->GetAddress();
        index[{a.page, a.offset}] = addresses.size();
        addresses.push_back(a);
    }
    std::vector<std::vector<Arc>> graph(addresses.size());
    for (std::size_t i = 0; i < addresses.size(); ++i) {
        const auto crossing = network.CreateCrossing(addresses[i]);
        for (auto cursor = network.CreateCursor(*crossing, 0, 0); cursor->IsValid();
             cursor->Next()) {
            const CrossingAddress target = cursor->GetTarget();
            graph[i].push_back({index.at({target.page, target.offset}), cursor->GetLength(),
                                cursor->GetElementId(), cursor->GetDirectionCode()});
        }
    }
    return graph;
}

// Exact shortest search; the elements on the path found from `from` to `to` (empty when
// unreachable).
std::optional<std::vector<std::uint32_t>> Route(const std::vector<std::vector<Arc>>& graph,
                                                std::size_t from, std::size_t to) {
    std::vector<std::uint64_t> distance(graph.size(), UINT64_MAX);
    std::vector<const Arc*> via(graph.size(), nullptr);
    std::vector<std::size_t> previous(graph.size(), 0);
    using Entry = std::pair<std::uint64_t, std::size_t>;
    std::priority_queue<Entry, std::vector<Entry>, std::greater<>> open;
    distance[from] = 0;
    open.push({0, from});
    while (!open.empty()) {
        const auto [d, at] = open.top();
        open.pop();
        if (d != distance[at]) {
            continue;
        }
        for (const Arc& arc : graph[at]) {
            if (arc.code != 3 && d + arc.length < distance[arc.to]) {
                distance[arc.to] = d + arc.length;
                via[arc.to] = &arc;
                previous[arc.to] = at;
                open.push({distance[arc.to], arc.to});
            }
        }
    }
    if (distance[to] == UINT64_MAX) {
        return std::nullopt;
    }
    std::vector<std::uint32_t> elements;
    for (std::size_t at = to; at != from; at = previous[at]) {
        elements.push_back(via[at]->element);
    }
    return elements;
}

TEST_F(SharedExtract, OneWayLinksAreNotDrivenAgainstTheirDirection) {
    RoadNetwork network;
    ASSERT_TRUE(network.Load(std::u16string(u"\\loose") + osm2nav::kNetworkFile, {}));
    const auto graph = ReadGraph(network);
    ASSERT_EQ(graph.size(), network.GetCrossingCount(0));
    std::size_t oneWays = 0;
    std::size_t detours = 0;
    for (std::size_t a = 0; a < graph.size(); ++a) {
        for (const Arc& arc : graph[a]) {
            if (arc.code != 1 || arc.to == a) {
                continue;
            }
            ++oneWays;
            const auto forward = Route(graph, a, arc.to);
            ASSERT_TRUE(forward.has_value());
            const auto back = Route(graph, arc.to, a);
            if (back) {
                ++detours;
                EXPECT_EQ(std::count(back->begin(), back->end(), arc.element), 0)
                    << "element " << arc.element;
            }
        }
    }
    EXPECT_GT(oneWays, 50u);
    EXPECT_GT(detours, oneWays / 2);
}

} // namespace
