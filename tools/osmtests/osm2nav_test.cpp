// The data tool on hand-written extracts (XML written through libosmium) and on the shared
// Liechtenstein extract, converted once per test program.
#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "routing/roadnetwork.h"
#include "tablefiles/datasetsimpl.h"
#include "tablefiles/housenumber.h"
#include "testdata/tempdir.h"
#include "tools/osm/osmconvert.h"
#include "tools/osm/osmmapping.h"
#include "tools/osmtests/convertedextract.h"
#include "utilities/usefulcode/memoryarena.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <map>
#include <osmium/builder/attr.hpp>
#include <osmium/io/any_input.hpp>
#include <osmium/io/writer.hpp>
#include <osmium/io/xml_output.hpp>
#include <queue>
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
// line, nodes 5 and 6 below and above it (1, 5, 6 enclose 2-4); nodes 10-25 lie apart.
struct HandWay {
    std::vector<std::int64_t> nodes;
    std::vector<std::pair<std::string, std::string>> tags;
};

enum class Boundary { None, Whole, MissingMember };

void WriteExtract(const std::filesystem::path& path, const std::vector<HandWay>& ways,
                  const osm2nav::Tags& addressNodeTags, Boundary boundary) {
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
                                     {"name", "Feldkirch"}};
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

TEST(OsmMapping, TagsBecomeRoadsNamesAndAreas) {
    using osm2nav::Tags;
    const struct {
        Tags tags;
        bool isRoad;
        std::uint8_t roadClass;
        std::uint32_t speed;
        std::uint32_t attributes;
        bool isReversed;
    } rows[] = {
        {{{"highway", "motorway"}}, true, 0, 120, osm2nav::kAttributeOneWay, false},
        {{{"highway", "residential"}, {"maxspeed", "40"}}, true, 6, 40, 0, false},
        {{{"highway", "primary"}, {"maxspeed", "30 mph"}}, true, 2, 48, 0, false},
        {{{"highway", "living_street"}, {"maxspeed", "walk"}}, true, 7, 10, 0, false},
        {{{"highway", "service"}}, false, 0, 0, 0, false},
        {{{"highway", "footway"}}, false, 0, 0, 0, false},
        {{{"highway", "tertiary"}, {"oneway", "yes"}},
         true,
         4,
         60,
         osm2nav::kAttributeOneWay,
         false},
        {{{"highway", "tertiary"}, {"oneway", "-1"}}, true, 4, 60, osm2nav::kAttributeOneWay, true},
        {{{"highway", "secondary"}, {"junction", "roundabout"}},
         true,
         3,
         70,
         osm2nav::kAttributeOneWay | osm2nav::kAttributeRoundabout,
         false},
        {{{"highway", "motorway"}, {"oneway", "no"}, {"toll", "yes"}},
         true,
         0,
         120,
         osm2nav::kAttributeToll,
         false},
        {{{"highway", "unclassified"}, {"access", "private"}, {"bridge", "yes"}},
         true,
         5,
         50,
         osm2nav::kAttributeClosed | osm2nav::kAttributeBridge,
         false},
        {{{"route", "ferry"}, {"tunnel", "no"}}, true, 9, 10, osm2nav::kAttributeFerry, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.tags.front().first + "=" + row.tags.front().second);
        const auto road = osm2nav::MapRoad(row.tags, false);
        ASSERT_EQ(road.has_value(), row.isRoad);
        if (road) {
            EXPECT_EQ(road->roadClass, row.roadClass);
            EXPECT_EQ(road->speedKmh, row.speed);
            EXPECT_EQ(osm2nav::RoadAttributes(*road), row.attributes);
            EXPECT_EQ(road->isReversed, row.isReversed);
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
        {{{"name", "\xE2\x82\xAC"}, {"place", "hamlet"}}, "?", "", 0, 0},
        {{{"boundary", "administrative"}, {"admin_level", "2"}, {"ISO3166-1", "LI"}},
         "",
         "",
         2,
         438},
        {{{"boundary", "administrative"}, {"admin_level", "7"}}, "", "", 0, 0},
    };
    for (const auto& row : named) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(osm2nav::NameOf(row.tags), row.name);
        EXPECT_EQ(osm2nav::CityNameOf(row.tags), row.city);
        EXPECT_EQ(osm2nav::AdminLevelOf(row.tags), row.adminLevel);
        EXPECT_EQ(osm2nav::CountryCodeOf(row.tags), row.country);
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
        {"missing file", {}, {}, "", false, "no such file", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        testdata::TempDeviceRoot root;
        const auto extract = root.HostPath() / "in.osm";
        if (!row.garbage.empty()) {
            std::ofstream(extract) << row.garbage;
        } else if (!row.ways.empty()) {
            WriteExtract(extract, row.ways, row.addressTags, row.boundary);
        }
        osm2nav::ConvertOptions options{extract, root.HostPath() / "out"};
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

// The numbered address nodes of a street in the shared extract.
std::vector<std::pair<unsigned short, GeoPoint>> HouseNodes(const std::string& street) {
    std::vector<std::pair<unsigned short, GeoPoint>> nodes;
    osmium::io::Reader reader(NAV_OSM_EXTRACT, osmium::osm_entity_bits::node);
    while (osmium::memory::Buffer buffer = reader.read()) {
        for (const auto& node : buffer.select<osmium::Node>()) {
            const char* name = node.tags()["addr:street"];
            const char* number = node.tags()["addr:housenumber"];
            if (name != nullptr && number != nullptr && street == name && std::atoi(number) > 0) {
                nodes.emplace_back(static_cast<unsigned short>(std::atoi(number)),
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
        osm2nav::ConvertOptions packed;
        packed.isPacked = true;
        ConvertOnce({{"loose", {}}, {"packed", packed}});
    }
};

TEST_F(SharedExtract, OpensWithTheReadersAndFindsTheMunicipalities) {
    osmium::io::Reader reader(NAV_OSM_EXTRACT, osmium::osm_entity_bits::nothing);
    const osmium::Box bounds = reader.header().box();
    reader.close();
    for (const std::u16string folder : {u"\\loose", u"\\packed"}) {
        SCOPED_TRACE(std::string(folder.begin(), folder.end()));
        BlockCachePtr cache = BlockCache::Create(1024);
        const auto engine = RetrievalEngineImpl::Create(cache);
        ASSERT_TRUE(engine->Open(folder + u"\\Maps\\MAP.LVL"));
        auto datasets = DatasetsImpl::Create(cache, engine);
        ASSERT_TRUE(datasets->Open(folder + u"\\Database", u""));
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
        // A street of Vaduz by name within its city, with the numbers of its OSM address nodes.
        auto vaduz = datasets->FindCities(u"Vaduz", 0);
        ASSERT_TRUE(vaduz && vaduz->IsValid());
        auto streets = datasets->FindInArea(vaduz->GetCurrent()->GetAreaId(), u"Heiligkr");
        ASSERT_TRUE(streets && streets->IsValid());
        auto street = streets->GetCurrent();
        EXPECT_EQ(street->GetName(), u"Heiligkreuz");
        ASSERT_TRUE(street->HasHouseNumbers());
        const auto houses = HouseNodes("Heiligkreuz");
        ASSERT_FALSE(houses.empty());
        for (const auto& [number, where] : houses) {
            EXPECT_TRUE(street->HasHouseNumber(HouseNumber(number, 0))) << number;
            // The element that holds the number lies near the house (its middle point stands
            // for the number).
            const ElementPosition position = street->GetHouseNumberPosition(HouseNumber(number, 0));
            EXPECT_LT(MetresBetween(position.point, where), 150.0) << number;
        }
        datasets->Close();
        RoadNetwork network;
        ASSERT_TRUE(network.Load(folder + u"\\Net\\Net.rd", engine));
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
    ASSERT_TRUE(network.Load(u"\\loose\\Net\\Net.rd", {}));
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
