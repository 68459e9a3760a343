#include "testdata/junctionscenarios.h"

#include "testdata/roadnetworkwriter.h"

#include <cmath>

namespace testdata {

namespace {

constexpr double kArm = 1000.0; // map units, about 150 m

std::uint8_t ExtendedCodeOfConnector(std::uint32_t connector) {
    switch (connector) {
    case 0x40:
        return 3;
    case 0x80:
        return 4;
    case 0x100:
        return 5;
    default:
        return 0;
    }
}

ScenarioRoad Road(std::string nodes, std::string name,
                  std::uint16_t typeCode = maprecord::kResidentialType) {
    ScenarioRoad road;
    road.nodes = std::move(nodes);
    road.name = std::move(name);
    road.typeCode = typeCode;
    return road;
}

ScenarioRoad WithKinds(ScenarioRoad road, const AdvisorRoadKinds& kinds, bool isOneWay = false) {
    road.kinds = kinds;
    road.isOneWay = isOneWay;
    return road;
}

AdvisorRoadKinds Connector100() {
    AdvisorRoadKinds kinds;
    kinds.connector = 0x100;
    return kinds;
}

AdvisorRoadKinds Roundabout() {
    AdvisorRoadKinds kinds;
    kinds.isRoundabout = true;
    return kinds;
}

AdvisorRoadKinds LookedPast() {
    AdvisorRoadKinds kinds;
    kinds.isLookedPast = true;
    return kinds;
}

AdvisorRoadKinds JunctionByte(std::uint8_t value) {
    AdvisorRoadKinds kinds;
    kinds.junctionByte = value;
    return kinds;
}

} // namespace

AdvisorLinkFields AdvisorLinkFieldsOf(const AdvisorRoadKinds& kinds) {
    AdvisorLinkFields fields;
    if (kinds.isRoundabout) {
        fields.extendedCode = 2;
        fields.rawAttributes |= maprecord::kRawRing;
    } else {
        fields.extendedCode = ExtendedCodeOfConnector(kinds.connector);
    }
    if (kinds.isLookedPast) {
        fields.rawAttributes |= maprecord::kRawLookedPast;
    }
    fields.rawAttributes |= LinkAttributeBits(LinkNibble::A, kinds.junctionByte & 0xFu);
    fields.rawAttributes |= LinkAttributeBits(LinkNibble::B, kinds.junctionByte >> 4);
    fields.rawAttributes |= LinkAttributeBits(LinkNibble::C, kinds.junctionNibble & 0xFu);
    if (kinds.hasSignposts) {
        fields.rawAttributes |= maprecord::kRawSignpost;
    }
    if (kinds.hasPlaceName) {
        fields.rawAttributes |= maprecord::kRawFlag20;
    }
    return fields;
}

MapPoint PolarPoint(const MapPoint& from, double degrees, double units) {
    const double radians = degrees * 3.14159265358979323846 / 180.0;
    return {from.x + static_cast<std::int32_t>(std::lround(units * std::cos(radians))),
            from.y + static_cast<std::int32_t>(std::lround(units * std::sin(radians)))};
}

std::uint32_t WrittenScenario::Element(const std::string& nodes) const {
    if (nodes.size() != 2) {
        return 0xFFFFFFFF;
    }
    const auto a = world.NodeNamed(nodes[0]);
    const auto b = world.NodeNamed(nodes[1]);
    return a && b ? world.ElementBetween(*a, *b) : 0xFFFFFFFF;
}

std::optional<WrittenScenario> WriteJunctionScenario(const JunctionScenario& scenario,
                                                     const TempDeviceRoot& root,
                                                     std::u16string_view folder) {
    WrittenScenario out;
    std::map<char, std::uint32_t> nodeIndex;
    for (const auto& [name, point] : scenario.nodes) {
        nodeIndex[name] = static_cast<std::uint32_t>(out.world.nodes.size());
        out.world.nodes.push_back(point);
        out.world.nodeNames.push_back(name);
    }
    WorldMapSetOptions options;
    std::map<std::pair<char, char>, std::uint32_t> linkOf;
    for (const ScenarioRoad& road : scenario.roads) {
        const AdvisorLinkFields fields = AdvisorLinkFieldsOf(road.kinds);
        for (std::size_t i = 0; i + 1 < road.nodes.size(); ++i) {
            const auto from = nodeIndex.find(road.nodes[i]);
            const auto to = nodeIndex.find(road.nodes[i + 1]);
            if (from == nodeIndex.end() || to == nodeIndex.end() || from->second == to->second) {
                return std::nullopt;
            }
            WorldLink link;
            link.from = from->second;
            link.to = to->second;
            link.lengthUnits =
                FlatWorldLengthUnits(out.world.nodes[link.from], out.world.nodes[link.to]);
            link.roadClass = road.roadClass;
            link.extendedCode = fields.extendedCode;
            link.isOneWay = road.isOneWay;
            const auto index = static_cast<std::uint32_t>(out.world.links.size());
            out.world.links.push_back(link);
            linkOf[{road.nodes[i], road.nodes[i + 1]}] = index;
            linkOf[{road.nodes[i + 1], road.nodes[i]}] = index;
            options.typeCodes[index] = road.typeCode;
            options.attributes[index] = DefaultLinkAttributes(link) | fields.rawAttributes;
            if (!road.name.empty()) {
                options.names[index] = road.name;
            }
            if (road.country != 0) {
                options.countries[index] = road.country;
            }
        }
    }
    for (const ScenarioSignpost& signpost : scenario.signposts) {
        const auto from = linkOf.find({signpost.from.at(0), signpost.from.at(1)});
        const auto to = linkOf.find({signpost.to.at(0), signpost.to.at(1)});
        if (from == linkOf.end() || to == linkOf.end()) {
            return std::nullopt;
        }
        options.signposts[from->second].push_back({to->second, signpost.text});
    }
    for (const auto& [nodes, area] : scenario.areas) {
        const auto link = linkOf.find({nodes.at(0), nodes.at(1)});
        if (link == linkOf.end()) {
            return std::nullopt;
        }
        options.areas[link->second] = area;
    }
    options.extraElements = scenario.places;
    const std::u16string base(folder);
    auto mapSet = WriteWorldMapSet(out.world, options, root, base + u"\\maps");
    if (!mapSet) {
        return std::nullopt;
    }
    out.mapSet = std::move(*mapSet);
    RoadNetworkOptions network;
    network.hasAdditionalAttributes = true;
    RoadNetworkWriter writer(out.world, network);
    if (!writer.WriteTo(root, base + u"\\net")) {
        return std::nullopt;
    }
    out.networkPath = base + u"\\net\\Net.rd";
    return out;
}

JunctionScenario TJunctionScenario() {
    const MapPoint j = kScenarioCentre;
    JunctionScenario s;
    s.nodes = {{'J', j},
               {'S', PolarPoint(j, -90, kArm)},
               {'E', PolarPoint(j, 0, kArm)},
               {'W', PolarPoint(j, 180, kArm)}};
    s.roads = {Road("SJ", "South Street"), Road("JE", "Cross Street"), Road("JW", "Cross Street")};
    s.route = "SJE";
    return s;
}

JunctionScenario SplitScenario(double spread, std::uint8_t arrivingByte, std::uint8_t leavingByte) {
    const MapPoint j = kScenarioCentre;
    JunctionScenario s;
    s.nodes = {{'J', j},
               {'S', PolarPoint(j, -90, kArm)},
               {'R', PolarPoint(j, 90 - spread / 2, kArm)},
               {'L', PolarPoint(j, 90 + spread / 2, kArm)}};
    s.roads = {WithKinds(Road("SJ", "Stem"), JunctionByte(arrivingByte)),
               WithKinds(Road("JR", "Right Branch"), JunctionByte(leavingByte)),
               Road("JL", "Left Branch")};
    s.route = "SJR";
    return s;
}

JunctionScenario RoundaboutScenario() {
    // Ring nodes at 1, 2, 3, 4 o'clock steps of 90 degrees, entered from the south at R1; the
    // ring runs anticlockwise (R1 south, R2 east, R3 north, R4 west).
    const MapPoint c = kScenarioCentre;
    const double ring = 300.0;
    JunctionScenario s;
    s.nodes = {{'1', PolarPoint(c, -90, ring)},        {'2', PolarPoint(c, 0, ring)},
               {'3', PolarPoint(c, 90, ring)},         {'4', PolarPoint(c, 180, ring)},
               {'S', PolarPoint(c, -90, ring + kArm)}, {'E', PolarPoint(c, 0, ring + kArm)},
               {'N', PolarPoint(c, 90, ring + kArm)},  {'W', PolarPoint(c, 180, ring + kArm)}};
    // A crossing lists its links in world order, and a restricted link cursor ends at the first
    // link it may not leave by: the exits come first, and at 3, where the route leaves, the ring
    // goes on (3 4) before it arrives (2 3).
    const AdvisorRoadKinds ringKinds = Roundabout();
    s.roads = {Road("S1", "South Road"),
               Road("2E", "East Road"),
               Road("3N", "North Road"),
               Road("4W", "West Road"),
               WithKinds(Road("341", "Ring"), ringKinds, true),
               WithKinds(Road("123", "Ring"), ringKinds, true)};
    s.route = "S123N";
    return s;
}

JunctionScenario ArmedRoundaboutScenario(std::string route) {
    const MapPoint c = kScenarioCentre;
    const double ring = 300.0;
    JunctionScenario s;
    // Node 2 as far east as b and a lie west: the ring's extent is centred on c.
    s.nodes = {{'1', PolarPoint(c, -90, ring)},       {'2', PolarPoint(c, 0, 290)},
               {'3', PolarPoint(c, 90, ring)},        {'b', PolarPoint(c, 165, ring)},
               {'a', PolarPoint(c, 195, ring)},       {'S', PolarPoint(c, -90, ring + kArm)},
               {'E', PolarPoint(c, 0, ring + kArm)},  {'N', PolarPoint(c, 90, ring + kArm)},
               {'W', PolarPoint(c, 180, ring + 500)}, {'V', PolarPoint(c, 180, ring + 500 + kArm)}};
    const AdvisorRoadKinds ringKinds = Roundabout();
    s.roads = {Road("S1", "South Road"),
               WithKinds(Road("2E", "East Road"), {}, true),
               WithKinds(Road("N3", "North Road"), {}, true),
               WithKinds(Road("bW", "West Road"), {}, true),
               WithKinds(Road("Wa", "West Road"), LookedPast(), true),
               Road("VW", "West Road"),
               WithKinds(Road("123ba1", "Ring"), ringKinds, true)};
    ElementDescription poi;
    poi.typeLetter = 't';
    poi.typeCode = 5001;
    poi.name = "Fuel";
    const MapPoint at = s.nodes.at('2');
    poi.bounds = {at.x, at.y, at.x, at.y};
    ElementDescription city = poi;
    city.typeCode = 4000;
    city.name = "Ringtown";
    city.bounds = {c.x, c.y, c.x, c.y};
    s.places = {poi, city};
    s.route = std::move(route);
    return s;
}

JunctionScenario ScenarioAt(JunctionScenario scenario, const MapPoint& centre) {
    const std::int32_t dx = centre.x - kScenarioCentre.x;
    const std::int32_t dy = centre.y - kScenarioCentre.y;
    const auto move = [&](MapPoint& p) {
        p.x += dx;
        p.y += dy;
    };
    for (auto& [name, point] : scenario.nodes) {
        move(point);
    }
    for (ElementDescription& place : scenario.places) {
        if (place.typeLetter == 'p' || place.typeLetter == 'y') { // absolute points
            for (MapPoint& p : place.points) {
                move(p);
            }
        }
        place.bounds.x1 += dx;
        place.bounds.x2 += dx;
        place.bounds.y1 += dy;
        place.bounds.y2 += dy;
    }
    return scenario;
}

JunctionScenario CrossingScenario(std::uint16_t south, std::uint16_t north, std::uint16_t east,
                                  std::uint16_t west, double northDegrees) {
    const MapPoint j = kScenarioCentre;
    JunctionScenario s;
    s.nodes = {{'J', j},
               {'S', PolarPoint(j, -90, kArm)},
               {'N', PolarPoint(j, northDegrees, kArm)},
               {'E', PolarPoint(j, 0, kArm)},
               {'W', PolarPoint(j, 180, kArm)}};
    s.roads = {Road("SJ", "South", south), Road("JN", "North", north), Road("JE", "East", east),
               Road("JW", "West", west)};
    s.route = "SJN";
    return s;
}

JunctionScenario HighwayExitScenario() {
    const MapPoint j = kScenarioCentre;
    JunctionScenario s;
    const MapPoint r = PolarPoint(j, 60, kArm);
    const MapPoint k = PolarPoint(r, 60, kArm);
    s.nodes = {
        {'J', j}, {'S', PolarPoint(j, -90, kArm)}, {'N', PolarPoint(j, 90, 2 * kArm)}, {'R', r},
        {'K', k}, {'P', PolarPoint(k, 0, kArm)}};
    const AdvisorRoadKinds ramp = Connector100();
    s.roads = {Road("SJN", "/A 7", maprecord::kMotorwayType),
               WithKinds(Road("JRK", "", maprecord::kRampType), ramp),
               Road("KP", "Harbour Road", maprecord::kPrimaryType)};
    s.route = "SJRKP";
    return s;
}

JunctionScenario InterchangeScenario() {
    const MapPoint j = kScenarioCentre;
    JunctionScenario s;
    const MapPoint r = PolarPoint(j, 45, kArm);
    const MapPoint q = PolarPoint(r, 45, kArm);
    const MapPoint m = PolarPoint(r, 0, kArm);
    s.nodes = {{'J', j},
               {'S', PolarPoint(j, -90, kArm)},
               {'N', PolarPoint(j, 90, 3 * kArm)},
               {'R', r},
               {'Q', q},
               {'G', PolarPoint(q, 0, 2 * kArm)},
               {'M', m},
               {'H', PolarPoint(m, 0, kArm)}};
    const AdvisorRoadKinds ramp = Connector100();
    s.roads = {Road("SJN", "/A 7", maprecord::kMotorwayType),
               WithKinds(Road("JR", "", maprecord::kRampType), ramp),
               WithKinds(Road("RQ", "", maprecord::kRampType), ramp),
               WithKinds(Road("RM", "", maprecord::kRampType), ramp),
               Road("QG", "/A 8", maprecord::kMotorwayType),
               Road("MH", "/A 9", maprecord::kMotorwayType)};
    s.route = "SJRQG";
    return s;
}

JunctionScenario MedianUTurnScenario() {
    const MapPoint j = kScenarioCentre;
    const MapPoint j2 = PolarPoint(j, 180, 100);
    JunctionScenario s;
    s.nodes = {{'J', j},  {'S', PolarPoint(j, -90, kArm)},  {'N', PolarPoint(j, 90, kArm)},
               {'K', j2}, {'T', PolarPoint(j2, -90, kArm)}, {'M', PolarPoint(j2, 90, kArm)}};
    s.roads = {WithKinds(Road("SJN", "Avenue"), {}, true),
               WithKinds(Road("MKT", "Avenue"), {}, true), WithKinds(Road("JK", ""), LookedPast())};
    s.route = "SJKT";
    return s;
}

} // namespace testdata
