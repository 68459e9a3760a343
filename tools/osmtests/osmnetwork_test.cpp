// The data tool's road network levels: hand-written extracts (written through libosmium) for the
// level and merging rules, and the shared extract converted once with three levels for the
// connectivity of level 0 and the crossing positions.
#include "basiccomp/retrievalengine/code/elementcodes.h"
#include "basiccomp/retrievalengine/code/mapelement.h"
#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "routing/roadnetwork.h"
#include "testdata/tempdir.h"
#include "tools/osm/osmconvert.h"
#include "tools/osm/osmnetwork.h"
#include "tools/osmtests/convertedextract.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <fstream>
#include <iterator>
#include <map>
#include <numeric>
#include <osmium/builder/attr.hpp>
#include <osmium/io/writer.hpp>
#include <osmium/io/xml_output.hpp>
#include <sstream>

namespace {

using namespace osmium::builder::attr; // NOLINT: the builder's attribute names

// A main road through nodes 1-2-3-4 (0.002 degrees apart) tagged as given, and residential side
// roads from 2 and 3 to nodes 12 and 13 north of them. The nodes are listed out of id order
// (1, 11, 2, 12, ...), as an extract may list them.
void WriteMainRoad(const std::filesystem::path& path,
                   const std::vector<std::pair<std::string, std::string>>& mainTags) {
    osmium::memory::Buffer buffer(1 << 14, osmium::memory::Buffer::auto_grow::yes);
    for (std::int64_t id = 1; id <= 4; ++id) {
        const double x = 9.52 + 0.002 * static_cast<double>(id);
        osmium::builder::add_node(buffer, _id(id), _location(x, 47.14));
        osmium::builder::add_node(buffer, _id(id + 10), _location(x, 47.142));
    }
    osmium::builder::add_way(buffer, _id(100), _nodes({1, 2, 3, 4}), _tags(mainTags));
    osmium::builder::add_way(buffer, _id(101), _nodes({2, 12}), _tag("highway", "residential"));
    osmium::builder::add_way(buffer, _id(102), _nodes({3, 13}), _tag("highway", "residential"));
    osmium::io::Writer writer(path.string(), osmium::io::overwrite::allow);
    writer(std::move(buffer));
    writer.close();
}

constexpr double kEarthRadiusMetres = 6367444.0;
constexpr double kRadiansPerDegree = 3.14159265358979323846 / 180.0;

// Metres along the points on the system's earth sphere, by the haversine formula.
double HaversineMetres(const std::vector<GeoPoint>& points) {
    double metres = 0;
    for (std::size_t i = 1; i < points.size(); ++i) {
        const double latitude1 = points[i - 1].y * kRadiansPerDegree;
        const double latitude2 = points[i].y * kRadiansPerDegree;
        const double northward = std::sin((latitude2 - latitude1) / 2);
        const double eastward =
            std::sin((static_cast<double>(points[i].x) - points[i - 1].x) * kRadiansPerDegree / 2);
        const double h =
            northward * northward + std::cos(latitude1) * std::cos(latitude2) * eastward * eastward;
        metres += 2 * kEarthRadiusMetres * std::asin(std::sqrt(h));
    }
    return metres;
}

// A residential way at 47 degrees north of `segments` equal segments, `metres` long on the
// earth, running east or north.
void WriteStraightRoad(const std::filesystem::path& path, double metres, int segments,
                       bool isEastward) {
    osmium::memory::Buffer buffer(1 << 14, osmium::memory::Buffer::auto_grow::yes);
    const double latitude = 47.0;
    const double step = metres / segments / kEarthRadiusMetres / kRadiansPerDegree;
    std::vector<std::int64_t> ids;
    for (int k = 0; k <= segments; ++k) {
        const double x = 9.5 + (isEastward ? k * step / std::cos(latitude * kRadiansPerDegree) : 0);
        const double y = latitude + (isEastward ? 0 : k * step);
        ids.push_back(k + 1);
        osmium::builder::add_node(buffer, _id(k + 1), _location(x, y));
    }
    osmium::builder::add_way(buffer, _id(100), _nodes(ids), _tag("highway", "residential"));
    osmium::io::Writer writer(path.string(), osmium::io::overwrite::allow);
    writer(std::move(buffer));
    writer.close();
}

// The summary's line for a network level.
std::string LevelLine(const std::string& summary, int level) {
    const std::string head = "road network level " + std::to_string(level) + ": ";
    const auto at = summary.find(head);
    return at == std::string::npos
               ? ""
               : summary.substr(at + head.size(), summary.find('\n', at) - at - head.size());
}

TEST(OsmNetwork, UpperLevelsHoldTheMainRoadsWithTwoWayChainsMerged) {
    const struct {
        std::string label;
        std::vector<std::pair<std::string, std::string>> tags;
        std::uint32_t levels;
        std::vector<std::string> lines; // levels 0, 1, ...; empty: the level is not written
        std::string error = {};         // part of the message; empty: converts
    } rows[] = {
        {"one level", {{"highway", "secondary"}}, 1, {"6 crossings, 5 links, 0 optimised", ""}},
        {"secondary: its chain through the side roads' crossings is one link on level 1",
         {{"highway", "secondary"}},
         2,
         {"6 crossings, 5 links, 0 optimised", "2 crossings, 1 links, 1 optimised"}},
        {"tertiary link: level 1",
         {{"highway", "tertiary_link"}},
         2,
         {"6 crossings, 5 links, 0 optimised", "2 crossings, 1 links, 1 optimised"}},
        {"one-way: no chain",
         {{"highway", "secondary"}, {"oneway", "yes"}},
         2,
         {"6 crossings, 5 links, 0 optimised", "4 crossings, 3 links, 0 optimised"}},
        {"primary: on level 2, so not merged on level 1",
         {{"highway", "primary"}},
         3,
         {"6 crossings, 5 links, 0 optimised", "4 crossings, 3 links, 0 optimised",
          "2 crossings, 1 links, 1 optimised"}},
        {"motorway link on two levels",
         {{"highway", "motorway_link"}, {"oneway", "no"}},
         2,
         {"6 crossings, 5 links, 0 optimised", "2 crossings, 1 links, 1 optimised", ""}},
        {"residential: level 1 would be empty",
         {{"highway", "residential"}},
         2,
         {"", ""},
         "road network level 1 holds no roads"},
        {"tertiary: level 2 would be empty",
         {{"highway", "tertiary"}},
         3,
         {"", "", ""},
         "road network level 2 holds no roads"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        testdata::TempDeviceRoot root;
        const auto extract = root.HostPath() / "in.osm";
        WriteMainRoad(extract, row.tags);
        osm2nav::ConvertOptions options;
        options.extract = extract;
        options.output = root.HostPath() / "out";
        options.levels = row.levels;
        std::ostringstream summary;
        const std::string error = osm2nav::Convert(options, summary);
        EXPECT_NE(error.find(row.error), std::string::npos) << error;
        EXPECT_EQ(error.empty(), row.error.empty()) << error;
        for (std::size_t level = 0; level < row.lines.size(); ++level) {
            EXPECT_EQ(LevelLine(summary.str(), static_cast<int>(level)), row.lines[level]) << level;
        }
    }
}

// A link is as long as its road on the earth: an eastward road at 47 degrees north and a
// northward one of the same length on the ground store the same length, in 5 m units.
TEST(OsmNetwork, LinksAreAsLongEastwardAsNorthward) {
    const struct {
        std::string label;
        double metres;
        int segments;
        bool isEastward;
    } rows[] = {
        {"1 km eastward", 1000, 1, true},          {"1 km northward", 1000, 1, false},
        {"2.5 km eastward in 10", 2500, 10, true}, {"2.5 km northward in 10", 2500, 10, false},
        {"20 km eastward in 7", 20000, 7, true},   {"20 km northward in 7", 20000, 7, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        testdata::TempDeviceRoot root;
        const auto extract = root.HostPath() / "in.osm";
        WriteStraightRoad(extract, row.metres, row.segments, row.isEastward);
        osm2nav::ConvertOptions options;
        options.extract = extract;
        options.output = root.HostPath() / "out";
        std::ostringstream summary;
        ASSERT_EQ(osm2nav::Convert(options, summary), "");
        ASSERT_EQ(LevelLine(summary.str(), 0), "2 crossings, 1 links, 0 optimised");
        RoadNetwork network;
        ASSERT_TRUE(network.Load(std::u16string(u"\\out") + osm2nav::kNetworkFile, {}));
        const auto crossing = network.CreateCrossing({0, 0, 0xFFFFFFFF, 0});
        ASSERT_TRUE(crossing && crossing->IsValid());
        const auto cursor = network.CreateCursor(*crossing, 0, 0);
        ASSERT_TRUE(cursor->IsValid());
        EXPECT_EQ(cursor->GetLength(), static_cast<std::uint32_t>(row.metres));
    }
}

// The read-back compares the network as loaded with the layout the tool meant to write.
TEST(OsmNetwork, ReadBackReportsWhatDiffersFromTheLayout) {
    // Level 1 holds columns 0, 7 and 14 and rows 0 and 7: chains between the T crossings.
    const auto world = testdata::RoadWorld::Grid(15, 8, 2000, {1000000, 6000000}, 2);
    const auto options = osm2nav::NetworkOptions(2, false, 1000, world.links.size());
    auto moved = world;
    moved.nodes[20].x += 1;
    auto linked = world;
    linked.links.push_back({0, 16, 999});
    auto unoptimised = options;
    unoptimised.optimisationStarts = {-1, -1};
    const struct {
        std::string label;
        testdata::RoadWorld world;
        testdata::RoadNetworkOptions options;
        std::string error; // part of the message; empty: the same
    } rows[] = {
        {"as laid out", world, options, ""},
        {"one level", world, osm2nav::NetworkOptions(1, false, 1000, world.links.size()),
         "another number of levels"},
        {"a crossing moved by one map unit", moved, options, "level 0: crossing 20 moved"},
        {"a link more", linked, options, "level 0: crossing 0 reads back otherwise"},
        {"chains not merged: more upper crossings", world, unoptimised, "reads back otherwise"},
    };
    testdata::RoadNetworkWriter reference(world, options);
    ASSERT_TRUE(reference.Build());
    ASSERT_FALSE(reference.GetLayout()[1].chains.empty());
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        testdata::TempDeviceRoot root;
        testdata::RoadNetworkWriter written(row.world, row.options);
        ASSERT_TRUE(written.WriteTo(root, u"\\Net"));
        RoadNetwork loaded;
        ASSERT_TRUE(loaded.Load(u"\\Net\\Net.rd", {}));
        const std::string error = osm2nav::CheckNetwork(loaded, reference);
        EXPECT_NE(error.find(row.error), std::string::npos) << error;
        EXPECT_EQ(error.empty(), row.error.empty()) << error;
    }
}

// The shared extract converted with three levels, twice.
class SharedNetwork : public ConvertedExtract {
protected:
    static void SetUpTestSuite() {
        osm2nav::ConvertOptions options;
        options.levels = 3;
        ConvertOnce({{"out", options}, {"again", options}});
    }

    void SetUp() override {
        m_cache = BlockCache::Create(1024);
        m_engine = RetrievalEngineImpl::CreateEngine(m_cache);
        ASSERT_TRUE(m_engine->Open(std::u16string(u"\\out") + osm2nav::kLevelFile));
        ASSERT_TRUE(m_network.Load(std::u16string(u"\\out") + osm2nav::kNetworkFile,
                                   RetrievalEngine::RetrievalEnginePtr(m_engine)));
        ASSERT_EQ(m_network.GetMapCount(), 3);
    }
    void TearDown() override { m_engine->Close(); }

    // The crossings of a level in page order, and the index of each address.
    std::vector<CrossingAddress> Crossings(std::uint16_t level) {
        std::vector<CrossingAddress> addresses;
        for (auto crossing = m_network.CreateCrossing({0, 0, 0xFFFFFFFF, level});
             crossing && crossing->IsValid(); crossing->Next()) {
            addresses.push_back(crossing->GetAddress());
        }
        return addresses;
    }

    BlockCachePtr m_cache;
    six::RefCntPtr<RetrievalEngineImpl> m_engine;
    RoadNetwork m_network;
};

// Crossings reached from `from` along the arcs.
std::vector<bool> Reached(const std::vector<std::vector<std::size_t>>& arcs, std::size_t from) {
    std::vector<bool> isReached(arcs.size(), false);
    std::vector<std::size_t> open{from};
    isReached[from] = true;
    while (!open.empty()) {
        const std::size_t at = open.back();
        open.pop_back();
        for (const std::size_t to : arcs[at]) {
            if (!isReached[to]) {
                isReached[to] = true;
                open.push_back(to);
            }
        }
    }
    return isReached;
}

// A level as a car drives it: an arc from a crossing along each link whose direction code there
// is not 3 (one-way towards the crossing). The crossings that a search forwards and a search
// backwards from one crossing both reach are strongly connected: each reaches every other through
// that crossing. Taken from the busiest crossing of the largest connected set (links in either
// direction), they are that whole set but the dead ends of a few one-way service roads (a
// crossing with that one link): no other one-way road leads into a dead end or out of one.
// The set holds all but a few crossings (roads joined to the rest only by roads the network
// leaves out, such as closed roads, or beyond the extract's edge), on level 0 and on the upper
// levels of main roads alike.
TEST_F(SharedNetwork, CarsReachEveryCrossingOfTheLargestSetFromEveryOther) {
    for (std::uint16_t level = 0; level < 3; ++level) {
        SCOPED_TRACE(level);
        const std::vector<CrossingAddress> addresses = Crossings(level);
        ASSERT_EQ(addresses.size(), m_network.GetCrossingCount(level));
        std::map<std::pair<std::uint16_t, std::uint16_t>, std::size_t> index;
        for (std::size_t i = 0; i < addresses.size(); ++i) {
            index[{addresses[i].page, addresses[i].offset}] = i;
        }
        std::vector<std::vector<std::size_t>> forward(addresses.size());
        std::vector<std::vector<std::size_t>> backward(addresses.size());
        std::vector<std::vector<std::size_t>> either(addresses.size());
        for (std::size_t i = 0; i < addresses.size(); ++i) {
            const auto crossing = m_network.CreateCrossing(addresses[i]);
            ASSERT_TRUE(crossing && crossing->IsValid());
            for (auto cursor = m_network.CreateCursor(*crossing, 0, 0); cursor->IsValid();
                 cursor->Next()) {
                const std::size_t to =
                    index.at({cursor->GetTarget().page, cursor->GetTarget().offset});
                either[i].push_back(to);
                if (cursor->GetDirectionCode() != 3) {
                    forward[i].push_back(to);
                    backward[to].push_back(i);
                }
            }
        }
        // The largest connected set, grown from each crossing not yet in a set.
        std::vector<bool> largest;
        std::vector<bool> isSeen(addresses.size(), false);
        std::size_t largestSize = 0;
        for (std::size_t i = 0; i < addresses.size(); ++i) {
            if (isSeen[i]) {
                continue;
            }
            std::vector<bool> set = Reached(either, i);
            const auto size = static_cast<std::size_t>(std::count(set.begin(), set.end(), true));
            for (std::size_t k = 0; k < set.size(); ++k) {
                isSeen[k] = isSeen[k] || set[k];
            }
            if (size > largestSize) {
                largestSize = size;
                largest = std::move(set);
            }
        }
        auto busiest = static_cast<std::size_t>(std::find(largest.begin(), largest.end(), true) -
                                                largest.begin());
        for (std::size_t i = 0; i < addresses.size(); ++i) {
            if (largest[i] && forward[i].size() + backward[i].size() >
                                  forward[busiest].size() + backward[busiest].size()) {
                busiest = i;
            }
        }
        const std::vector<bool> ahead = Reached(forward, busiest);
        const std::vector<bool> behind = Reached(backward, busiest);
        std::size_t strong = 0;
        std::size_t outsideLargest = 0;
        std::size_t serviceDeadEnds = 0;
        for (std::size_t i = 0; i < addresses.size(); ++i) {
            strong += ahead[i] && behind[i] ? 1 : 0;
            outsideLargest += (ahead[i] || behind[i]) && !largest[i] ? 1 : 0;
            if (largest[i] && !(ahead[i] && behind[i])) {
                const auto crossing = m_network.CreateCrossing(addresses[i]);
                const auto cursor = m_network.CreateCursor(*crossing, 0, 0);
                const MapElementPtr element = m_engine->GetElement(cursor->GetElementId());
                ASSERT_TRUE(element);
                EXPECT_EQ(either[i].size(), 1u) << i;
                EXPECT_EQ(element->GetTypeCode(), maprecord::kServiceRoadType) << i;
                ++serviceDeadEnds;
            }
        }
        EXPECT_EQ(outsideLargest, 0u);
        EXPECT_GT(largestSize, addresses.size() * 98 / 100)
            << largestSize << " of " << addresses.size();
        EXPECT_LE(serviceDeadEnds, 3u);
        EXPECT_EQ(strong + serviceDeadEnds, largestSize);
    }
}

// Every link's crossing lies, bit for bit, on the first or last vertex the engine yields for the
// link's element, on every level; an optimised link's crossing on an end of the first or the last
// element of its chain.
TEST_F(SharedNetwork, CrossingsAreTheEnginesElementEnds) {
    const auto ends = [this](std::uint32_t element) {
        const MapElementPtr mapElement = m_engine->GetElement(element);
        std::vector<GeoPoint> points;
        if (!mapElement || !mapElement->GetPoints(points) || points.empty()) {
            ADD_FAILURE() << "no points for element " << element;
            return std::vector<GeoPoint>{};
        }
        return std::vector<GeoPoint>{points.front(), points.back()};
    };
    for (std::uint16_t level = 0; level < 3; ++level) {
        SCOPED_TRACE(level);
        std::size_t links = 0;
        std::size_t optimised = 0;
        for (const CrossingAddress& address : Crossings(level)) {
            const auto crossing = m_network.CreateCrossing(address);
            const GeoPoint at = crossing->Position();
            for (auto cursor = m_network.CreateCursor(*crossing, 0, 0); cursor->IsValid();
                 cursor->Next()) {
                std::vector<GeoPoint> candidates;
                const std::uint32_t id = cursor->GetElementId();
                if (m_network.IsOptimisedId(id)) {
                    const auto chain = m_network.LookupO2S(id);
                    ASSERT_FALSE(chain.empty()) << id;
                    candidates = ends(chain.front().elementId);
                    const auto last = ends(chain.back().elementId);
                    candidates.insert(candidates.end(), last.begin(), last.end());
                    ++optimised;
                } else {
                    candidates = ends(id);
                }
                const bool isAnEnd =
                    std::any_of(candidates.begin(), candidates.end(), [&at](const GeoPoint& p) {
                        return std::bit_cast<std::uint32_t>(p.x) ==
                                   std::bit_cast<std::uint32_t>(at.x) &&
                               std::bit_cast<std::uint32_t>(p.y) ==
                                   std::bit_cast<std::uint32_t>(at.y);
                    });
                EXPECT_TRUE(isAnEnd) << "link " << id;
                ++links;
            }
        }
        EXPECT_GT(links, level == 0 ? 4000u : 100u);
        EXPECT_EQ(optimised > 0, level > 0);
    }
}

// The network says what the advisor reads of a link: on every level, a link of a roundabout
// (its element has the ring bit) has extended code 2 and a ramp (type 1091) code 5, which the
// link cursor hands out as class bits 0x80 and 0x400; no other link has either.
TEST_F(SharedNetwork, RoundaboutAndRampLinksCarryTheirExtendedCodes) {
    ASSERT_TRUE(m_network.HasAdditionalAttributes());
    for (std::uint16_t level = 0; level < 3; ++level) {
        SCOPED_TRACE(level);
        std::size_t rings = 0;
        std::size_t ramps = 0;
        for (const CrossingAddress& address : Crossings(level)) {
            const auto crossing = m_network.CreateCrossing(address);
            for (auto cursor = m_network.CreateCursor(*crossing, 0, 0); cursor->IsValid();
                 cursor->Next()) {
                std::uint32_t id = cursor->GetElementId();
                if (m_network.IsOptimisedId(id)) {
                    id = m_network.LookupO2S(id).front().elementId;
                }
                const MapElementPtr element = m_engine->GetElement(id);
                ASSERT_TRUE(element) << id;
                ElementAttributes attributes;
                element->GetAttributes(attributes);
                const bool isRing = (attributes.word & maprecord::kRing) != 0;
                const bool isRamp = !isRing && element->GetTypeCode() == maprecord::kRampType;
                const std::uint32_t roadClass = cursor->GetRoadClass();
                EXPECT_EQ((roadClass & 0x80u) != 0, isRing) << id;
                EXPECT_EQ((roadClass & 0x400u) != 0, isRamp) << id;
                EXPECT_EQ(roadClass & 0x340u, 0u) << id;
                rings += isRing ? 1 : 0;
                ramps += isRamp ? 1 : 0;
            }
        }
        // The extract's roundabouts and ramps lie on level 0 at least.
        if (level == 0) {
            EXPECT_GT(rings, 0u);
            EXPECT_GT(ramps, 0u);
        }
    }
}

// Every level-0 link is as long as its element's points on the earth, within one 5 m unit plus
// 0.5 %, and all of them together within 0.5 %. Upper levels keep those lengths: a link copied
// up has its element's, an optimised link the sum of its chain, whose O2S rows give each
// element's.
TEST_F(SharedNetwork, LinksAreAsLongAsTheirElementsOnTheEarth) {
    std::map<std::uint32_t, std::uint32_t> baseMetres; // by element
    for (const CrossingAddress& address : Crossings(0)) {
        const auto crossing = m_network.CreateCrossing(address);
        for (auto cursor = m_network.CreateCursor(*crossing, 0, 0); cursor->IsValid();
             cursor->Next()) {
            baseMetres[cursor->GetElementId()] = cursor->GetLength();
        }
    }
    ASSERT_GT(baseMetres.size(), 2000u);
    double stored = 0;
    double along = 0;
    for (const auto& [element, metres] : baseMetres) {
        const MapElementPtr mapElement = m_engine->GetElement(element);
        std::vector<GeoPoint> points;
        ASSERT_TRUE(mapElement && mapElement->GetPoints(points)) << element;
        const double geometry = HaversineMetres(points);
        EXPECT_LE(std::abs(metres - geometry), 5.0 + 0.005 * geometry)
            << "element " << element << ": " << metres << " m stored";
        stored += metres;
        along += geometry;
    }
    EXPECT_NEAR(stored / along, 1.0, 0.005) << stored << " m stored, " << along << " m along";
    for (std::uint16_t level = 1; level < 3; ++level) {
        SCOPED_TRACE(level);
        for (const CrossingAddress& address : Crossings(level)) {
            const auto crossing = m_network.CreateCrossing(address);
            for (auto cursor = m_network.CreateCursor(*crossing, 0, 0); cursor->IsValid();
                 cursor->Next()) {
                const std::uint32_t id = cursor->GetElementId();
                if (!m_network.IsOptimisedId(id)) {
                    EXPECT_EQ(cursor->GetLength(), baseMetres.at(id)) << id;
                    continue;
                }
                std::uint32_t sum = 0;
                for (const O2SRecord& row : m_network.LookupO2S(id)) {
                    EXPECT_EQ(row.length, static_cast<float>(baseMetres.at(row.elementId)))
                        << id << " " << row.elementId;
                    sum += baseMetres.at(row.elementId);
                }
                EXPECT_EQ(cursor->GetLength(), sum) << id;
            }
        }
    }
}

// The same extract gives the same network files, byte for byte.
TEST_F(SharedNetwork, ASecondRunWritesTheSameNetwork) {
    const auto bytes = [](const std::filesystem::path& path) {
        std::ifstream file(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), {});
    };
    const auto folder = s_root->HostPathOf(std::u16string(u"\\out") + osm2nav::kNetworkFolder);
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string first = bytes(entry.path());
        EXPECT_FALSE(first.empty()) << entry.path();
        EXPECT_EQ(first,
                  bytes(s_root->HostPathOf(std::u16string(u"\\again") + osm2nav::kNetworkFolder) /
                        entry.path().filename()))
            << entry.path();
        ++files;
    }
    EXPECT_EQ(files, 9u); // ".rd", three levels of ".pag" and ".idx", O2S, S2O
}

// The road world a conversion hands back is the one level 0 was written from: each link of each
// level-0 crossing is a world link (by its element) with the crossing at one of its ends, and
// each world link is met at both its ends.
TEST_F(SharedNetwork, HandsBackTheWorldLevel0WasWrittenFrom) {
    osm2nav::ConvertOptions options;
    options.extract = NAV_OSM_EXTRACT;
    options.output = s_root->HostPath() / "world";
    testdata::RoadWorld world;
    std::ostringstream summary;
    ASSERT_EQ(osm2nav::Convert(options, summary, &world), "");
    std::map<std::uint32_t, std::size_t> linkOfElement;
    for (std::size_t i = 0; i < world.links.size(); ++i) {
        linkOfElement[world.links[i].elementId] = i;
    }
    ASSERT_EQ(linkOfElement.size(), world.links.size());
    ASSERT_GT(world.links.size(), 2000u);
    std::vector<int> endsMet(world.links.size(), 0);
    for (const CrossingAddress& address : Crossings(0)) {
        const auto crossing = m_network.CreateCrossing(address);
        const GeoPoint at = crossing->Position();
        for (auto cursor = m_network.CreateCursor(*crossing, 0, 0); cursor->IsValid();
             cursor->Next()) {
            const auto found = linkOfElement.find(cursor->GetElementId());
            ASSERT_NE(found, linkOfElement.end()) << cursor->GetElementId();
            const testdata::WorldLink& link = world.links[found->second];
            EXPECT_TRUE(world.Position(link.from) == at || world.Position(link.to) == at)
                << link.elementId;
            ++endsMet[found->second];
        }
    }
    EXPECT_EQ(static_cast<std::size_t>(std::count(endsMet.begin(), endsMet.end(), 2)),
              world.links.size());
}

} // namespace
