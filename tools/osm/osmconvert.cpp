#include "tools/osm/osmconvert.h"

#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "basiccomp/retrievalengine/code/ridfile.h"
#include "basiccomp/retrievalengine/code/searchfold.h"
#include "routing/roadnetwork.h"
#include "tablefiles/datasetsimpl.h"
#include "testdata/archivewriter.h"
#include "testdata/datasetfolderwriter.h"
#include "testdata/levelfilewriter.h"
#include "testdata/mapsetwriter.h"
#include "testdata/roadnetworkwriter.h"
#include "testdata/stylesheetwriter.h"
#include "testdata/tempdir.h"
#include "tools/osm/osmaddressindex.h"
#include "tools/osm/osmadvisor.h"
#include "tools/osm/osmcookies.h"
#include "tools/osm/osmhousenumbers.h"
#include "tools/osm/osmmapping.h"
#include "tools/osm/osmnetwork.h"
#include "tools/osm/osmnodes.h"
#include "utilities/usefulcode/memoryarena.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <fstream>
#include <map>
#include <new>
#include <optional>
#include <osmium/area/assembler.hpp>
#include <osmium/area/multipolygon_manager.hpp>
#include <osmium/handler/node_locations_for_ways.hpp>
#include <osmium/index/map/flex_mem.hpp>
#include <osmium/io/any_input.hpp>
#include <osmium/osm/box.hpp>
#include <osmium/relations/relations_manager.hpp>
#include <osmium/tags/tags_filter.hpp>
#include <osmium/visitor.hpp>
#include <set>
#include <stdexcept>

namespace osm2nav {
namespace {

// The extract as read: everything kept by id, so that every later step runs in id order.
struct Extract {
    NodeTable nodes;
    struct Way {
        Tags tags;
        std::vector<std::int64_t> refs;
    };
    std::map<std::int64_t, Way> ways;
    std::map<std::int64_t, Tags> taggedNodes;
    struct Relation {
        Tags tags;
        std::vector<std::int64_t> wayMembers;
    };
    std::map<std::int64_t, Relation> relations;
    // Administrative areas as assembled: outer and inner rings by relation id.
    std::map<std::int64_t, std::vector<std::vector<MapPoint>>> boundaries;
    GeoRect bounds;
    bool hasBounds = false;
};

// A street's name as the datasets' 16-byte name column holds it and as AddressOf keys the
// addresses of the street. The name is code page 1252 already: taking it for UTF-8 again would
// turn each letter beyond ASCII, with the bytes after it, into '?'.
std::string StreetKey(const std::string& street) {
    return street.substr(0, 16);
}

Tags TagsOf(const osmium::OSMObject& object) {
    Tags tags;
    for (const auto& tag : object.tags()) {
        tags.emplace_back(tag.key(), tag.value());
    }
    return tags;
}

// Collects the extract and the administrative areas libosmium assembles from it.
class ExtractHandler : public osmium::handler::Handler {
public:
    explicit ExtractHandler(Extract& extract)
        : m_extract(extract) {}

    void node(const osmium::Node& node) {
        if (!node.location().valid()) {
            return;
        }
        m_extract.nodes[node.id()] = DegreesToMapPoint(GeoPoint{
            static_cast<float>(node.location().lon()), static_cast<float>(node.location().lat())});
        if (!node.tags().empty()) {
            m_extract.taggedNodes[node.id()] = TagsOf(node);
        }
    }
    void way(const osmium::Way& way) {
        auto& stored = m_extract.ways[way.id()];
        stored.tags = TagsOf(way);
        for (const auto& ref : way.nodes()) {
            stored.refs.push_back(ref.ref());
        }
    }
    void relation(const osmium::Relation& relation) {
        auto& stored = m_extract.relations[relation.id()];
        stored.tags = TagsOf(relation);
        for (const auto& member : relation.members()) {
            if (member.type() == osmium::item_type::way) {
                stored.wayMembers.push_back(member.ref());
            }
        }
    }
    void area(const osmium::Area& area) {
        if (area.from_way() || AdminLevelOf(TagsOf(area)) == 0) {
            return;
        }
        auto& rings = m_extract.boundaries[area.orig_id()];
        const auto ringOf = [](const auto& ring) {
            std::vector<MapPoint> points;
            for (const auto& location : ring) {
                points.push_back(DegreesToMapPoint(GeoPoint{static_cast<float>(location.lon()),
                                                            static_cast<float>(location.lat())}));
            }
            return points;
        };
        for (const auto& outer : area.outer_rings()) {
            rings.push_back(ringOf(outer));
            for (const auto& inner : area.inner_rings(outer)) {
                rings.push_back(ringOf(inner));
            }
        }
    }

private:
    Extract& m_extract;
};

std::string Read(const std::filesystem::path& path, Extract& extract) {
    try {
        const osmium::io::File file(path.string());
        osmium::area::Assembler::config_type config;
        // Only administrative boundaries become areas: closed ways and other multipolygons
        // (buildings, land use) are not assembled at all.
        osmium::TagsFilter areaTags{false};
        areaTags.add_rule(true, osmium::TagMatcher{"boundary", "administrative"});
        osmium::area::MultipolygonManager<osmium::area::Assembler> areas(config, areaTags);
        osmium::relations::read_relations(file, areas);
        osmium::io::Reader reader(file);
        const osmium::Box box = reader.header().box();
        if (box.valid()) {
            extract.bounds = {static_cast<float>(box.bottom_left().lon()),
                              static_cast<float>(box.bottom_left().lat()),
                              static_cast<float>(box.top_right().lon()),
                              static_cast<float>(box.top_right().lat())};
            extract.hasBounds = true;
        }
        using Index =
            osmium::index::map::FlexMem<osmium::unsigned_object_id_type, osmium::Location>;
        Index index;
        osmium::handler::NodeLocationsForWays<Index> locations(index);
        locations.ignore_errors();
        ExtractHandler handler(extract);
        osmium::apply(reader, locations, handler,
                      areas.handler([&handler](osmium::memory::Buffer&& buffer) {
                          osmium::apply(buffer, handler);
                      }));
        reader.close();
    } catch (const std::exception& error) {
        return path.string() + ": cannot be read (" + error.what() + ")";
    }
    return {};
}

struct Warnings {
    std::uint32_t missingNodes = 0;
    std::uint32_t missingMembers = 0;
    std::uint32_t unassembledBoundaries = 0;
    std::uint32_t unwritableElements = 0;
    std::uint32_t duplicateNumbers = 0;
    std::uint32_t crowdedCrossings = 0;
    std::uint32_t unplacedNumbers = 0;
    std::uint32_t farNumbers = 0;
    std::uint32_t unsearchableCities = 0;
};

// One road piece between crossings: a map element and, when drivable, a network link.
struct Piece {
    std::vector<std::int64_t> nodes;
    RoadMapping road;
    std::string name;
    std::string street;
    std::size_t element = 0;
    std::int32_t areaId = 0; // the innermost area that holds its first point; 0: none
    std::string postalCode;  // empty: none
};
inline constexpr std::size_t kNoElement = SIZE_MAX;

struct City {
    std::string name;
    MapPoint point;
    std::int32_t areaId = 0;
    std::uint16_t country = 0;
    bool isMunicipality = false; // city, town or village (suburbs belong to one)
    std::size_t element = kNoElement;
    // In the datasets and the city index. A name that folds to nothing (blank, or only
    // characters code page 1252 lacks) can be neither typed nor found there, so such a city is
    // only a point of the map set.
    bool isListed = true;
};

bool IsSearchable(const std::string& name) {
    return !FoldSearchText(name.c_str()).empty();
}

struct Area {
    testdata::DatasetArea area;
    int adminLevel = 0;
    bool isMunicipality = false;
    std::uint32_t level = 0; // the area level (AreaLevelsOf)
    std::uint16_t country = 0;
    const std::vector<std::vector<MapPoint>>* rings = nullptr;
    MapRect bounds;                                                  // of the rings
    std::vector<std::pair<std::uint16_t, std::string>> countryNames; // a country's, by language
};

// Everything the writers are fed, made from the extract in one place.
class Model {
public:
    Model(const Extract& extract, const ConvertOptions& options)
        : m_extract(extract)
        , m_options(options) {}

    void Build() {
        BuildPieces();
        BuildAreas();
        BuildCities();
        BuildMapSets();
        BuildAreaTree();
        BuildWorld();
        BuildDatasets();
        BuildCookies();
    }

    const Extract& m_extract;
    const ConvertOptions& m_options;
    Warnings warnings;
    std::vector<Piece> pieces;
    std::vector<Area> areas;
    std::vector<City> cities;
    testdata::MapSetWriter detailed;
    testdata::MapSetWriter overview;
    testdata::RoadWorld world;
    testdata::DatasetFolderWriter datasets;
    AddressIndexBuilder addressIndex;
    CookieTables cookies;
    AdvisorFiles advisor;
    std::uint32_t streetCount = 0;
    std::uint32_t houseNumberCount = 0;
    std::uint32_t postalCodeCount = 0;
    std::uint32_t poiCount = 0;
    // Named points of interest: their element and the area that holds them (indexes).
    std::vector<std::pair<std::size_t, std::size_t>> namedPois;
    std::uint32_t listedCityCount = 0;

private:
    void BuildPieces() {
        std::map<std::int64_t, std::uint32_t> uses;
        std::vector<std::pair<const Extract::Way*, RoadMapping>> roads;
        std::map<std::string, std::vector<HouseAddress>> addresses;
        CollectAddresses(addresses);
        std::set<std::string> numbered;
        for (const auto& [name, list] : addresses) {
            numbered.insert(name);
        }
        for (const auto& [id, way] : m_extract.ways) {
            const auto road = MapRoad(way.tags, m_options.withServiceRoads);
            if (!road) {
                continue;
            }
            roads.emplace_back(&way, *road);
            for (std::size_t i = 0; i < way.refs.size(); ++i) {
                uses[way.refs[i]] += (i == 0 || i + 1 == way.refs.size()) ? 2 : 1;
            }
        }
        for (const auto& [way, road] : roads) {
            std::vector<std::int64_t> refs;
            for (const auto ref : way->refs) {
                if (m_extract.nodes.count(ref) == 0) {
                    continue;
                }
                if (refs.empty() || m_extract.nodes.at(refs.back()) != m_extract.nodes.at(ref)) {
                    refs.push_back(ref);
                }
            }
            if (refs.size() != way->refs.size()) {
                ++warnings.missingNodes;
            }
            if (refs.size() < 2) {
                continue;
            }
            if (road.isReversed) {
                std::reverse(refs.begin(), refs.end());
            }
            Piece piece{{refs.front()}, road, NameOf(way->tags), StreetNameOf(way->tags), 0, 0, {}};
            const bool isNumbered = numbered.count(StreetKey(piece.street)) != 0;
            double metres = 0;
            for (std::size_t i = 1; i < refs.size(); ++i) {
                piece.nodes.push_back(refs[i]);
                metres +=
                    MetresBetween(m_extract.nodes.at(refs[i - 1]), m_extract.nodes.at(refs[i]));
                const bool isLast = i + 1 == refs.size();
                // A piece ends at a crossing, before it would close on itself, before its
                // points outgrow a page of the geometry stream, and on a street with house
                // numbers where its middle would lie too far from its houses.
                const bool closesNext = !isLast && refs[i + 1] == piece.nodes.front();
                const bool isLong = isNumbered && metres >= kNumberedPieceMetres;
                if (isLast || uses[refs[i]] > 1 || closesNext || piece.nodes.size() >= 400 ||
                    isLong) {
                    uses[refs[i]] = std::max<std::uint32_t>(uses[refs[i]], 2);
                    pieces.push_back(piece);
                    piece.nodes = {refs[i]};
                    metres = 0;
                }
            }
        }
    }

    void BuildAreas() {
        for (const auto& [id, relation] : m_extract.relations) {
            const int level = AdminLevelOf(relation.tags);
            const std::string name = ToCodePage1252(TagValue(relation.tags, "name"));
            if (level == 0 || name.empty()) {
                continue;
            }
            if (std::any_of(relation.wayMembers.begin(), relation.wayMembers.end(),
                            [&](std::int64_t way) { return m_extract.ways.count(way) == 0; })) {
                ++warnings.missingMembers;
            }
            // Missing members and self-intersecting rings leave a boundary unassembled.
            const auto rings = m_extract.boundaries.find(id);
            if (rings == m_extract.boundaries.end()) {
                ++warnings.unassembledBoundaries;
                continue;
            }
            MapRect rect{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
            for (const auto& ring : rings->second) {
                for (const auto& point : ring) {
                    rect.x1 = std::min(rect.x1, point.x);
                    rect.y1 = std::min(rect.y1, point.y);
                    rect.x2 = std::max(rect.x2, point.x);
                    rect.y2 = std::max(rect.y2, point.y);
                }
            }
            Area area;
            area.adminLevel = level;
            area.rings = &rings->second;
            area.bounds = rect;
            area.area.id = static_cast<std::int32_t>(areas.size() + 1);
            area.area.rect = MapUnitsToDegrees(rect);
            area.country = level == kCountryAdminLevel ? CountryCodeOf(relation.tags) : 0;
            if (level == kCountryAdminLevel) {
                area.countryNames = CountryNamesOf(relation.tags);
            }
            area.area.name = name;
            areas.push_back(area);
        }
        NumberCountries();
        MarkMunicipalities();
        std::vector<AdminArea> ranked;
        for (const auto& area : areas) {
            ranked.push_back({area.adminLevel, area.isMunicipality, {}});
        }
        // The boundaries between the country and the municipalities that hold each other, so
        // that each larger unit is ranked along its own chain.
        const auto isBetween = [](const Area& area) {
            return area.adminLevel > kCountryAdminLevel &&
                   area.adminLevel < kMunicipalityAdminLevel;
        };
        for (std::size_t inner = 0; inner < areas.size(); ++inner) {
            if (!isBetween(areas[inner])) {
                continue;
            }
            const MapPoint point = InnerPoint(areas[inner]);
            for (std::size_t outer = 0; outer < areas.size(); ++outer) {
                if (isBetween(areas[outer]) && areas[outer].adminLevel < areas[inner].adminLevel &&
                    Holds(areas[outer], point)) {
                    ranked[inner].holders.push_back(outer);
                }
            }
        }
        const std::vector<std::uint32_t> levels = AreaLevelsOf(ranked);
        for (std::size_t i = 0; i < areas.size(); ++i) {
            areas[i].level = levels[i];
            areas[i].area.kind = static_cast<std::int32_t>(levels[i]);
        }
    }

    // A country whose code names no number keeps none (0) as the extract's only country; beside
    // others it takes a number of its own that no other country of the extract holds. A country
    // area is named by its number; the other areas take the first country's number.
    void NumberCountries() {
        std::set<std::uint16_t> taken;
        std::size_t countryCount = 0;
        for (const auto& area : areas) {
            if (area.adminLevel == kCountryAdminLevel) {
                ++countryCount;
                taken.insert(area.country);
            }
        }
        std::uint16_t first = 0;
        for (auto& area : areas) {
            if (area.adminLevel != kCountryAdminLevel) {
                continue;
            }
            if (area.country == 0 && countryCount > 1) {
                area.country = FreeCountryNumber(taken);
                taken.insert(area.country);
            }
            area.area.name = std::to_string(area.country);
            first = first == 0 ? area.country : first;
        }
        for (auto& area : areas) {
            area.country = area.adminLevel == kCountryAdminLevel ? area.country : first;
        }
    }

    // The number of the country that holds the point; `fallback` where none does.
    std::uint16_t CountryAt(const MapPoint& point, std::uint16_t fallback) const {
        const Area* country = AreaAt(point, kCountryAreaLevel);
        return country != nullptr ? country->country : fallback;
    }

    // Municipalities: the boundaries of admin_level 8, and where a city, town or village lies in
    // none of them, the lowest boundary below the country that holds it, unless that encloses a
    // boundary of admin_level 8 (a larger unit whose municipalities the extract holds elsewhere).
    void MarkMunicipalities() {
        std::vector<MapRect> municipalities;
        for (auto& area : areas) {
            area.isMunicipality = area.adminLevel == kMunicipalityAdminLevel;
            if (area.isMunicipality) {
                municipalities.push_back(area.bounds);
            }
        }
        const auto enclosesMunicipality = [&](const Area& area) {
            return std::any_of(municipalities.begin(), municipalities.end(), [&](const MapRect& r) {
                return area.bounds.x1 <= r.x1 && area.bounds.y1 <= r.y1 && r.x2 <= area.bounds.x2 &&
                       r.y2 <= area.bounds.y2;
            });
        };
        for (const auto& [id, tags] : m_extract.taggedNodes) {
            if (!IsMunicipalityPlace(tags)) {
                continue;
            }
            const MapPoint& point = m_extract.nodes.at(id);
            Area* lowest = nullptr;
            bool isInMunicipality = false;
            for (auto& area : areas) {
                if (area.adminLevel == kCountryAdminLevel || !Holds(area, point)) {
                    continue;
                }
                isInMunicipality = isInMunicipality || area.adminLevel == kMunicipalityAdminLevel;
                if (lowest == nullptr || area.adminLevel > lowest->adminLevel) {
                    lowest = &area;
                }
            }
            if (lowest != nullptr && !isInMunicipality && !enclosesMunicipality(*lowest)) {
                lowest->isMunicipality = true;
            }
        }
    }

    // Even-odd rule over all rings of the area.
    static bool Holds(const Area& area, const MapPoint& p) {
        const MapRect& r = area.bounds;
        if (p.x < r.x1 || p.x > r.x2 || p.y < r.y1 || p.y > r.y2) {
            return false;
        }
        bool isInside = false;
        for (const auto& ring : *area.rings) {
            for (std::size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++) {
                const MapPoint& a = ring[i];
                const MapPoint& b = ring[j];
                if ((a.y > p.y) != (b.y > p.y) &&
                    p.x < static_cast<double>(b.x - a.x) * (p.y - a.y) / (b.y - a.y) + a.x) {
                    isInside = !isInside;
                }
            }
        }
        return isInside;
    }

    // A point inside the area as Holds sees it: the middle of the widest stretch inside it on the
    // row through the middle of its bounds (the middle of the bounds when the row crosses none).
    static MapPoint InnerPoint(const Area& area) {
        const MapRect& r = area.bounds;
        const std::int32_t y = r.y1 + (r.y2 - r.y1) / 2;
        std::vector<double> crossings;
        for (const auto& ring : *area.rings) {
            for (std::size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++) {
                const MapPoint& a = ring[i];
                const MapPoint& b = ring[j];
                if ((a.y > y) != (b.y > y)) {
                    crossings.push_back(static_cast<double>(b.x - a.x) * (y - a.y) / (b.y - a.y) +
                                        a.x);
                }
            }
        }
        std::sort(crossings.begin(), crossings.end());
        MapPoint inner = r.GetCenter();
        double widest = 0;
        for (std::size_t i = 0; i + 1 < crossings.size(); i += 2) {
            if (crossings[i + 1] - crossings[i] > widest) {
                widest = crossings[i + 1] - crossings[i];
                inner = {
                    static_cast<std::int32_t>(std::lround((crossings[i] + crossings[i + 1]) / 2)),
                    y};
            }
        }
        return inner;
    }

    // The innermost area of `lowestLevel` or above that holds the point.
    const Area* AreaAt(const MapPoint& point, std::uint32_t lowestLevel = 0) const {
        const Area* best = nullptr;
        for (const auto& area : areas) {
            if (area.level >= lowestLevel && (best == nullptr || area.level < best->level) &&
                Holds(area, point)) {
                best = &area;
            }
        }
        return best;
    }

    void BuildCities() {
        for (const auto& [id, tags] : m_extract.taggedNodes) {
            const std::string name = CityNameOf(tags);
            if (name.empty()) {
                continue;
            }
            City city{name, m_extract.nodes.at(id)};
            city.isMunicipality = IsMunicipalityPlace(tags);
            city.isListed = IsSearchable(name);
            // A city, town or village lies in its municipality, a suburb in the innermost area.
            if (const Area* area =
                    AreaAt(city.point, city.isMunicipality ? kMunicipalityAreaLevel : 0)) {
                city.areaId = area->area.id;
                city.country = area->country;
            }
            city.country = CountryAt(city.point, city.country);
            cities.push_back(city);
        }
        // A municipality without a place node of its name is a city at the middle of its bounds.
        for (const auto& area : areas) {
            const bool isNamed = std::any_of(cities.begin(), cities.end(), [&](const City& c) {
                return c.name == area.area.name;
            });
            if (area.isMunicipality && !isNamed) {
                City city{area.area.name, area.bounds.GetCenter(), area.area.id,
                          CountryAt(area.bounds.GetCenter(), area.country)};
                city.isMunicipality = true;
                city.isListed = IsSearchable(city.name);
                cities.push_back(city);
            }
        }
        for (const auto& city : cities) {
            warnings.unsearchableCities += city.isListed ? 0 : 1;
            listedCityCount += city.isListed ? 1 : 0;
        }
    }

    void BuildMapSets() {
        for (auto& piece : pieces) {
            testdata::ElementDescription element;
            element.typeLetter = 'p';
            for (const auto ref : piece.nodes) {
                element.points.push_back(m_extract.nodes.at(ref));
            }
            element.typeCode = piece.road.typeCode;
            element.subtype = RoadLayer(piece.road);
            // Named roads are found by the engine's searches.
            element.attributes =
                RoadAttributes(piece.road) | (piece.name.empty() ? 0 : maprecord::kRawSearchable);
            element.name = piece.name;
            // An element the map set cannot hold is left out of every output.
            const auto index = detailed.Add(element);
            piece.element = index.value_or(kNoElement);
            warnings.unwritableElements += index ? 0 : 1;
            if (index && piece.road.roadClass <= 3) {
                (void)overview.Add(element);
            }
        }
        for (auto& city : cities) {
            testdata::ElementDescription element;
            element.typeLetter = 't';
            element.bounds = {city.point.x, city.point.y, city.point.x + 1, city.point.y + 1};
            element.typeCode = maprecord::kCityType;
            element.subtype = kCityLayer;
            element.name = city.name;
            city.element = detailed.Add(element).value_or(kNoElement);
            if (city.isMunicipality) {
                (void)overview.Add(element);
            }
        }
        AddPointsOfInterest();
        testdata::RidHeaderFields header;
        header.mapKind = RidFile::kMapKindWithAddressIndex;
        // From 15 on the engine's searches rank their hits and keep to the elements' areas and
        // postal codes.
        header.mapDataValue = 15;
        detailed.SetHeader(header);
        (void)detailed.Build();
        (void)overview.Build();
    }

    // Points of interest: tagged nodes, and ways at the centre of their nodes.
    void AddPointsOfInterest() {
        const auto add = [&](const Tags& tags, const MapPoint& point) {
            testdata::ElementDescription element;
            element.typeLetter = 't';
            element.bounds = {point.x, point.y, point.x + 1, point.y + 1};
            element.typeCode = PoiTypeOf(tags);
            element.subtype = kPoiLayer;
            element.name = NameOf(tags);
            const auto index = element.typeCode != 0 ? detailed.Add(element) : std::nullopt;
            if (!index) {
                return;
            }
            ++poiCount;
            // A named point of interest lies in its city's area, so that a search for the
            // category in that city finds it.
            const Area* area = element.name.empty() ? nullptr : AreaAt(point);
            if (area != nullptr) {
                namedPois.push_back({*index, static_cast<std::size_t>(area - areas.data())});
            }
        };
        for (const auto& [id, tags] : m_extract.taggedNodes) {
            add(tags, m_extract.nodes.at(id));
        }
        for (const auto& [id, way] : m_extract.ways) {
            if (PoiTypeOf(way.tags) == 0) {
                continue;
            }
            MapRect bounds{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
            for (const auto ref : way.refs) {
                if (const auto node = m_extract.nodes.find(ref); node != m_extract.nodes.end()) {
                    bounds.Extend(node->second);
                }
            }
            if (bounds.x1 <= bounds.x2) {
                add(way.tags, bounds.GetCenter());
            }
        }
    }

    // The area tree gives the areas their ids, in the address index and the datasets alike.
    void BuildAreaTree() {
        std::map<std::int32_t, std::size_t> indexOf;
        for (const auto& area : areas) {
            indexOf[area.area.id] = addressIndex.AddArea(
                {area.area.name, area.level, area.bounds, area.country, area.countryNames});
        }
        for (const auto& city : cities) {
            if (city.element != kNoElement && city.isListed) {
                const auto area = indexOf.find(city.areaId);
                addressIndex.AddCity(
                    {city.name, area == indexOf.end() ? std::nullopt : std::optional(area->second),
                     detailed.GetElementIds()[city.element], city.country});
            }
        }
        addressIndex.Layout();
        for (auto& city : cities) {
            city.areaId =
                city.areaId == 0
                    ? 0
                    : static_cast<std::int32_t>(addressIndex.AreaId(indexOf.at(city.areaId)));
        }
        for (std::size_t i = 0; i < areas.size(); ++i) {
            areas[i].area.id = static_cast<std::int32_t>(addressIndex.AreaId(i));
        }
    }

    void BuildWorld() {
        std::map<std::int64_t, std::uint32_t> nodeIndex;
        const auto indexOf = [&](std::int64_t ref) {
            const auto [it, isNew] =
                nodeIndex.emplace(ref, static_cast<std::uint32_t>(world.nodes.size()));
            if (isNew) {
                world.nodes.push_back(m_extract.nodes.at(ref));
            }
            return it->second;
        };
        std::map<std::uint32_t, std::uint32_t> linkCount;
        for (const auto& piece : pieces) {
            if (piece.road.isClosed || piece.element == kNoElement) {
                continue;
            }
            testdata::WorldLink link;
            link.from = indexOf(piece.nodes.front());
            link.to = indexOf(piece.nodes.back());
            // A crossing holds at most 15 links; further ones are left out.
            if (linkCount[link.from] >= 15 || linkCount[link.to] >= 15) {
                ++warnings.crowdedCrossings;
                continue;
            }
            ++linkCount[link.from];
            ++linkCount[link.to];
            link.elementId = detailed.GetElementIds()[piece.element];
            std::vector<MapPoint> points;
            for (const auto ref : piece.nodes) {
                points.push_back(m_extract.nodes.at(ref));
            }
            link.lengthUnits = LinkLengthUnits(points);
            link.roadClass = LinkClass(piece.road);
            link.extendedBit = HasExtraLinkMark(piece.road);
            link.extendedCode = piece.road.extendedCode;
            link.isOneWay = piece.road.isOneWay;
            link.level = piece.road.networkLevel;
            world.links.push_back(link);
        }
    }

    void BuildDatasets() {
        for (const auto& area : areas) {
            datasets.AddArea(area.area);
        }
        std::map<const City*, std::int32_t> cityIds;
        for (const auto& city : cities) {
            if (!city.isListed) {
                continue;
            }
            const auto cityId = static_cast<std::int32_t>(cityIds.size() + 1);
            cityIds[&city] = cityId;
            datasets.AddCity({city.name, cityId, city.areaId, city.country, 0, std::nullopt});
        }
        datasets.AddType({1, "Street"});
        addressIndex.AddType(1, "Street");
        // Streets: named pieces grouped by name and the area that holds their first point.
        std::map<std::pair<std::string, std::int32_t>, std::vector<Piece*>> streets;
        for (auto& piece : pieces) {
            if (piece.element == kNoElement) {
                continue;
            }
            const Area* area = AreaAt(m_extract.nodes.at(piece.nodes.front()));
            piece.areaId = area ? area->area.id : 0;
            // Ramps and ferries are no streets to the engine's searches.
            if (!piece.street.empty() && maprecord::IsStreetType(piece.road.typeCode)) {
                streets[{StreetKey(piece.street), area ? area->area.id : -1}].push_back(&piece);
            }
        }
        std::map<std::string, std::vector<HouseAddress>> addresses;
        CollectAddresses(addresses);
        // The house numbers of every street first: the postal codes of an area's addresses
        // stand in for those of its streets without any.
        std::vector<std::vector<std::vector<MapPoint>>> streetLines;
        std::vector<HouseNumberPlacement> placements;
        std::map<std::int32_t, std::vector<std::string>> areaCodes;
        for (const auto& [key, streetPieces] : streets) {
            auto& lines = streetLines.emplace_back();
            for (const Piece* piece : streetPieces) {
                lines.emplace_back();
                for (const auto ref : piece->nodes) {
                    lines.back().push_back(m_extract.nodes.at(ref));
                }
            }
            placements.push_back(PlaceHouseNumbers(lines, addresses[key.first]));
            for (const HouseAddress* address : placements.back().placed) {
                areaCodes[key.second].push_back(address->postcode);
            }
        }
        std::map<std::string, MapRect> postalCodes;
        std::map<std::string, std::uint32_t> streetsNamed;
        std::map<const HouseAddress*, std::uint32_t> farFrom;
        std::int32_t streetId = 0;
        for (const auto& [key, streetPieces] : streets) {
            const auto& lines = streetLines[static_cast<std::size_t>(streetId)];
            const HouseNumberPlacement& placement = placements[static_cast<std::size_t>(streetId)];
            ++streetsNamed[key.first];
            for (const HouseAddress* address : placement.far) {
                ++farFrom[address];
            }
            warnings.duplicateNumbers += placement.duplicates;
            warnings.unplacedNumbers += placement.withoutNumber;
            std::vector<std::string> streetCodes;
            for (const HouseAddress* address : placement.placed) {
                ++houseNumberCount;
                if (!address->postcode.empty()) {
                    streetCodes.push_back(address->postcode);
                    const MapPoint& point = address->point;
                    auto [rect, isNew] = postalCodes.emplace(
                        address->postcode, MapRect{point.x, point.y, point.x, point.y});
                    rect->second.Extend(point);
                }
            }
            testdata::DatasetStreetEntry street;
            street.id = ++streetId;
            street.name = key.first;
            street.typeId = 1;
            street.postalCode = ChoosePostalCode(
                streetCodes, key.second > 0 ? areaCodes[key.second] : std::vector<std::string>());
            for (std::size_t i = 0; i < streetPieces.size(); ++i) {
                streetPieces[i]->postalCode = street.postalCode;
                const std::uint32_t elementId = detailed.GetElementIds()[streetPieces[i]->element];
                street.elements.push_back(elementId);
                testdata::DatasetElement element;
                element.id = elementId;
                for (const auto& point : lines[i]) {
                    element.points.push_back(MapPointToDegrees(point));
                }
                if (const auto found = placement.elements.find(i);
                    found != placement.elements.end()) {
                    const PlacedNumbers& numbers = found->second;
                    element.houseNumbers = testdata::DatasetHouseNumbers{
                        kHouseNumberScheme, RangeText(numbers.odd), RangeText(numbers.even)};
                    element.points = PointsWithMiddleAt(element.points, numbers.at);
                    addressIndex.AddHouseNumbers(elementId, numbers);
                }
                datasets.AddElement(element);
            }
            street.areas = AreasByLevel(key.second);
            datasets.AddStreet(street);
        }
        // Addresses that no street of their street's name lies near.
        for (const auto& [name, list] : addresses) {
            for (const auto& address : list) {
                const auto far = farFrom.find(&address);
                const std::uint32_t count = far == farFrom.end() ? 0 : far->second;
                warnings.farNumbers += count == streetsNamed[name] ? 1 : 0;
            }
        }
        streetCount = static_cast<std::uint32_t>(streetId);
        // Pieces of no street take the postal code of their area.
        for (auto& piece : pieces) {
            if (piece.postalCode.empty() && piece.areaId > 0) {
                piece.postalCode = ChoosePostalCode({}, areaCodes[piece.areaId]);
            }
        }
        for (const auto& [code, rect] : postalCodes) {
            datasets.AddPostalCode({code, 0, MapUnitsToDegrees(rect)});
            addressIndex.AddPostalCode(code, MapUnitsToDegrees(rect));
        }
        postalCodeCount = static_cast<std::uint32_t>(postalCodes.size());
    }

    // The area ids of levels 1, 2 and 3 of what lies in the area of id `areaId` (-1: none), as the
    // engine walks the area tree from it: the area or its nearest ancestor of that level, -1
    // where the walk passes over the level.
    std::array<std::int32_t, 3> AreasByLevel(std::int32_t areaId) const {
        std::array<std::int32_t, 3> ids{-1, -1, -1};
        const auto found = std::find_if(areas.begin(), areas.end(),
                                        [&](const Area& area) { return area.area.id == areaId; });
        if (areaId == -1 || found == areas.end()) {
            return ids;
        }
        for (std::uint32_t level = 1; level <= ids.size(); ++level) {
            std::optional<std::size_t> at = static_cast<std::size_t>(found - areas.begin());
            while (at && areas[*at].level < level) {
                at = addressIndex.ParentOf(*at);
            }
            if (at && areas[*at].level == level) {
                ids[level - 1] = areas[*at].area.id;
            }
        }
        return ids;
    }

    // Every road element names its area and postal code through the cookie tables, every city
    // and named point of interest its area.
    void BuildCookies() {
        std::vector<ElementAddress> elements;
        std::vector<std::size_t> indexes;
        const auto& ids = detailed.GetElementIds();
        if (ids.empty()) {
            return;
        }
        for (const auto& piece : pieces) {
            if (piece.element != kNoElement) {
                elements.push_back({ids[piece.element],
                                    static_cast<std::uint32_t>(std::max(piece.areaId, 0)),
                                    piece.postalCode});
                indexes.push_back(piece.element);
            }
        }
        for (const auto& [element, area] : namedPois) {
            elements.push_back(
                {ids[element], static_cast<std::uint32_t>(std::max(areas[area].area.id, 0)), ""});
            indexes.push_back(element);
        }
        // A city's point lies in the area that holds the city (its municipality), through which
        // the areas above it are found.
        for (const auto& city : cities) {
            if (city.element != kNoElement && city.areaId > 0) {
                elements.push_back(
                    {ids[city.element], static_cast<std::uint32_t>(city.areaId), ""});
                indexes.push_back(city.element);
            }
        }
        const auto bits =
            cookies.Assign(std::move(elements), *std::max_element(ids.begin(), ids.end()) + 1);
        for (std::size_t i = 0; i < indexes.size(); ++i) {
            (void)detailed.SetAttributes(indexes[i],
                                         detailed.GetElements()[indexes[i]].attributes | bits[i]);
        }
        addressIndex.AddCookies(cookies);
    }

    void CollectAddresses(std::map<std::string, std::vector<HouseAddress>>& addresses) const {
        for (const auto& [id, tags] : m_extract.taggedNodes) {
            if (const auto address = AddressOf(tags)) {
                addresses[address->street].push_back(
                    {m_extract.nodes.at(id), address->number, address->postcode});
            }
        }
        for (const auto& [id, way] : m_extract.ways) {
            const auto address = AddressOf(way.tags);
            if (!address) {
                continue;
            }
            double x = 0;
            double y = 0;
            std::size_t count = 0;
            for (const auto ref : way.refs) {
                if (const auto node = m_extract.nodes.find(ref); node != m_extract.nodes.end()) {
                    x += node->second.x;
                    y += node->second.y;
                    ++count;
                }
            }
            if (count != 0) {
                const MapPoint centre{static_cast<std::int32_t>(std::lround(x / count)),
                                      static_cast<std::int32_t>(std::lround(y / count))};
                addresses[address->street].push_back({centre, address->number, address->postcode});
            }
        }
    }
};

std::string WriteAll(Model& model, const ConvertOptions& options,
                     const testdata::TempDeviceRoot& root, testdata::RoadNetworkWriter& network) {
    if (!root.MakeFolder(kMapFolder)) {
        return "the map folder cannot be made";
    }
    const auto mapBase = [&](const char16_t* name) {
        return root.HostPathOf(std::u16string(kMapFolder) + u"\\" + name);
    };
    if (options.isPacked) {
        testdata::ArchiveWriter archive;
        if (!testdata::AddMapSetToArchive(model.detailed.Build(), "Map", archive) ||
            !testdata::AddMapSetToArchive(model.overview.Build(), "Overview", archive) ||
            !model.addressIndex.AddToArchive(archive) || !archive.WriteTo(mapBase(u"maps.sfs"))) {
            return "the map archive cannot be written";
        }
    } else if (!model.detailed.WriteTo(mapBase(u"Map")) ||
               !model.overview.WriteTo(mapBase(u"Overview")) ||
               !model.addressIndex.WriteTo(root, kMapFolder)) {
        return "the map set cannot be written";
    }
    // The map display's levels: the detailed map up to 20 metres per pixel, the overview
    // above, both with the default day and night sheets.
    if (!root.WriteFile(std::u16string(kMapFolder) + u"\\" + kDaySheet,
                        testdata::DefaultStyleSheet(false).Write()) ||
        !root.WriteFile(std::u16string(kMapFolder) + u"\\" + kNightSheet,
                        testdata::DefaultStyleSheet(true).Write())) {
        return "the style sheets cannot be written";
    }
    if (!testdata::LevelFileWriter()
             .AddMapLine("Map.rid", "Day.mpl", 20, "Night.mpl")
             .AddMapLine("Overview.rid", "Day.mpl", 100000, "Night.mpl")
             .WriteTo(root.HostPathOf(kLevelFile))) {
        return "the level file cannot be written";
    }
    for (std::size_t i = 0; i < testdata::kDatasetFileCount && options.isPacked; ++i) {
        model.datasets.SetTable(static_cast<testdata::DatasetFile>(i), {0, false, true, false, ""});
    }
    if (!model.datasets.WriteTo(root, kDatabaseFolder)) {
        return "the address datasets cannot be written";
    }
    if (!network.WriteTo(root, kNetworkFolder)) {
        return "the road network cannot be written (a crossing or record beyond its limits)";
    }
    return {};
}

// Reads every written file back through the system's readers.
std::string ReadBack(const Model& model, const testdata::TempDeviceRoot& root,
                     const testdata::RoadNetworkWriter& network) {
    if (!root.InstallModule(u"ziVur.dll")) {
        return "the read-back device cannot be prepared";
    }
    if (!MemoryArena::Shared().HoldsMemory() && !MemoryArena::Shared().Reserve(4 << 20)) {
        return "no memory for reading back";
    }
    BlockCachePtr cache = BlockCache::Create(1024);
    const auto engine = RetrievalEngineImpl::CreateEngine(cache);
    if (!engine->Open(kLevelFile)) {
        return "the written map set does not open";
    }
    auto datasets = DatasetsImpl::Create(cache, RetrievalEngine::RetrievalEnginePtr(engine));
    if (!datasets || !datasets->Open(kDatabaseFolder, u"")) {
        return "the written address datasets do not open";
    }
    for (const auto& city : model.cities) {
        if (!city.isListed) {
            continue;
        }
        const auto cursor = datasets->FindCities(WideOf(city.name), 0);
        if (!cursor || !cursor->IsValid()) {
            return "a written city is not found: " + city.name;
        }
    }
    datasets->Close();
    if (std::string message = model.addressIndex.ReadBack(*engine); !message.empty()) {
        return message;
    }
    if (std::string message = model.cookies.ReadBack(*engine); !message.empty()) {
        return message;
    }
    RoadNetwork loaded;
    if (!loaded.Load(kNetworkFile, RetrievalEngine::RetrievalEnginePtr(engine))) {
        return "the written road network does not load";
    }
    if (std::string message = CheckNetwork(loaded, network); !message.empty()) {
        return message;
    }
    engine->Close();
    return {};
}

void PrintSummary(const Extract& extract, const Model& model, const ConvertOptions& options,
                  const testdata::RoadNetworkWriter& network, std::ostream& out) {
    out << "extract: " << extract.nodes.size() << " nodes, " << extract.ways.size() << " ways, "
        << extract.relations.size() << " relations\n"
        << "map set: " << model.detailed.GetElements().size() << " elements in the detailed level, "
        << model.overview.GetElements().size() << " in the overview level\n"
        << "elements: " << model.pieces.size() << " roads, " << model.cities.size() << " cities, "
        << model.poiCount << " points of interest\n"
        << "datasets: " << model.streetCount << " streets, " << model.listedCityCount << " cities, "
        << model.areas.size() << " areas, " << model.postalCodeCount << " postal codes, "
        << model.houseNumberCount << " house numbers\n"
        << "address index: " << model.areas.size() << " areas in the tree, "
        << model.listedCityCount << " cities, " << model.addressIndex.GetHouseNumberElementCount()
        << " elements with house numbers, " << model.cookies.GetElementCount()
        << " elements with an area or postal code\n"
        << "advisor: " << model.advisor.configFiles << " configuration files, "
        << model.advisor.voiceSamples << " voice samples ("
        << (options.advisorData.empty() ? "none asked for" : VoiceLanguageOf(options.language))
        << ")\n";
    PrintNetwork(network, out);
    out << "warnings: " << model.warnings.missingNodes << " ways with missing nodes, "
        << model.warnings.missingMembers << " relations with missing members, "
        << model.warnings.unassembledBoundaries << " boundaries not assembled, "
        << model.warnings.duplicateNumbers << " duplicate house numbers, "
        << model.warnings.unplacedNumbers << " house numbers without a number, "
        << model.warnings.crowdedCrossings << " links beyond 15 at a crossing, "
        << model.warnings.unwritableElements << " elements the map set cannot hold, "
        << model.warnings.farNumbers << " house numbers far from their street, "
        << model.warnings.unsearchableCities << " place names with nothing to search by\n"
        << "not written: entry points, signposts, element country table, TMC location codes "
           "(not in the extract)\n"
        << "written " << (options.isPacked ? "packed" : "loose") << " into "
        << options.output.string() << "\n";
}

// The POSIX cksum checksum of a file's bytes: their CRC-32 (polynomial 0x04C11DB7, most
// significant bit first) followed by their count's bytes, least significant first, complemented;
// nullopt when it cannot be read.
std::optional<std::uint32_t> PosixChecksum(const std::filesystem::path& path) {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> entries{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t crc = i << 24;
            for (int bit = 0; bit < 8; ++bit) {
                crc = (crc & 0x80000000U) != 0 ? (crc << 1) ^ 0x04C11DB7U : crc << 1;
            }
            entries[i] = crc;
        }
        return entries;
    }();
    std::uint32_t crc = 0;
    const auto add = [&crc](unsigned char byte) { crc = (crc << 8) ^ table[(crc >> 24) ^ byte]; };
    std::ifstream in(path, std::ios::binary);
    std::vector<char> block(1 << 16);
    std::uint64_t length = 0;
    while (in) {
        in.read(block.data(), static_cast<std::streamsize>(block.size()));
        const auto count = static_cast<std::size_t>(in.gcount());
        for (std::size_t i = 0; i < count; ++i) {
            add(static_cast<unsigned char>(block[i]));
        }
        length += count;
    }
    if (in.bad() || !in.eof()) {
        return std::nullopt;
    }
    for (; length != 0; length >>= 8) {
        add(static_cast<unsigned char>(length & 0xFF));
    }
    return ~crc;
}

// The source record of the extract (kSourceFile) as it is now; empty when the file cannot be
// examined.
std::string SourceRecord(const std::filesystem::path& extract) {
    std::error_code error;
    const std::filesystem::path path = std::filesystem::canonical(extract, error);
    const std::uintmax_t size = error ? 0 : std::filesystem::file_size(path, error);
    const auto modified =
        error ? std::filesystem::file_time_type() : std::filesystem::last_write_time(path, error);
    const std::optional<std::uint32_t> checksum = error ? std::nullopt : PosixChecksum(path);
    if (!checksum) {
        return {};
    }
    const auto seconds =
        std::chrono::floor<std::chrono::seconds>(std::chrono::file_clock::to_sys(modified));
    return "extract=" + path.string() + "\nsize=" + std::to_string(size) +
           "\nmodified=" + std::to_string(seconds.time_since_epoch().count()) +
           "\ncksum=" + std::to_string(*checksum) + "\n";
}

// Moves the written folders into the output (copies them where a move cannot cross file
// systems).
std::string MoveTree(const std::filesystem::path& from, const std::filesystem::path& to) {
    std::error_code error;
    std::filesystem::create_directories(to, error);
    for (const auto& entry : std::filesystem::directory_iterator(from, error)) {
        if (entry.path().filename() == "Windows") {
            continue;
        }
        const auto target = to / entry.path().filename();
        std::filesystem::rename(entry.path(), target, error);
        if (error) {
            error.clear();
            std::filesystem::copy(entry.path(), target, std::filesystem::copy_options::recursive,
                                  error);
        }
        if (error) {
            return to.string() + ": cannot be written (" + error.message() + ")";
        }
    }
    return error ? to.string() + ": cannot be written" : std::string();
}

std::string ConvertOrThrow(const ConvertOptions& options, std::ostream& summary,
                           testdata::RoadWorld* world) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(options.extract, error)) {
        return options.extract.string() + ": no such file";
    }
    if (std::filesystem::exists(options.output, error) &&
        (!std::filesystem::is_directory(options.output, error) ||
         !std::filesystem::is_empty(options.output, error))) {
        return options.output.string() + ": not an empty folder (nothing is overwritten)";
    }
    if (options.levels < 1 || options.levels > 3) {
        return "--levels takes 1, 2 or 3";
    }
    if (VoiceLanguageOf(options.language).empty()) {
        return "--language takes ger, eng, fre, spa, ita or dut";
    }
    // Taken before reading: an extract changed while it is read then differs from its record.
    const std::string source = SourceRecord(options.extract);
    if (source.empty()) {
        return options.extract.string() + ": cannot be examined";
    }
    Extract extract;
    if (std::string message = Read(options.extract, extract); !message.empty()) {
        return message;
    }
    auto model = std::make_unique<Model>(extract, options);
    model->Build();
    if (model->world.links.empty()) {
        return options.extract.string() + ": the extract holds no roads";
    }
    const auto& elementIds = model->detailed.GetElementIds();
    testdata::RoadNetworkWriter network(
        model->world, NetworkOptions(options.levels, options.isPacked,
                                     *std::max_element(elementIds.begin(), elementIds.end()),
                                     model->world.links.size()));
    std::string message;
    {
        testdata::TempDeviceRoot root;
        message = WriteAll(*model, options, root, network);
        if (message.empty()) {
            message = ReadBack(*model, root, network);
        }
        if (message.empty() && !options.advisorData.empty()) {
            message = WriteAdvisorData(options.advisorData, VoiceLanguageOf(options.language),
                                       options.isPacked, root, model->advisor);
            message = message.empty() ? ReadBackAdvisorData(root, VoiceLanguageOf(options.language))
                                      : message;
        }
        if (message.empty() && !root.WriteFile(kSourceFile, source)) {
            message = "the source record cannot be written";
        }
        if (message.empty()) {
            message = MoveTree(root.HostPath(), options.output);
        }
    }
    if (message.empty()) {
        PrintSummary(extract, *model, options, network, summary);
        if (world != nullptr) {
            *world = std::move(model->world);
        }
    }
    return message;
}

} // namespace

std::string Convert(const ConvertOptions& options, std::ostream& summary,
                    testdata::RoadWorld* world) {
    // The temporary device is removed while an exception unwinds.
    try {
        return ConvertOrThrow(options, summary, world);
    } catch (const std::bad_alloc&) {
        return "out of memory";
    } catch (const std::exception& error) {
        return error.what();
    }
}

} // namespace osm2nav
