#include "testdata/drawtown.h"

#include "basiccomp/retrievalengine/code/elementcodes.h"
#include "testdata/addressindexwriter.h"
#include "testdata/levelfilewriter.h"
#include "testdata/stylesheetwriter.h"

#include <algorithm>
#include <array>

namespace testdata {

namespace {

constexpr std::uint8_t kAreaLayer = 1;
constexpr std::uint8_t kBuildingLayer = 2;
constexpr std::uint8_t kFerryLayer = 4;
constexpr std::uint8_t kStreetLayer = 6;
constexpr std::uint8_t kRoadLayer = 7;
constexpr std::uint8_t kMotorwayLayer = 8;
constexpr std::uint8_t kPointLayer = 10;
constexpr std::uint8_t kTownLayer = 11;

const std::array<std::uint16_t, 6> kStreetClasses = {1040, 1050, 1060, 1070, 1080, 1090};
const std::array<const char*, 8> kStreetNames = {"Bachgasse",  "Lindenweg", "Kirchstrasse",
                                                 "Feldweg",    "Muehlweg",  "Schulstrasse",
                                                 "Rosengasse", "Wiesenweg"};
const std::array<const char*, 4> kPointNames = {"Post", "Museum", "Kiosk", "Bad"};

// Highlight bits of the streets that carry them, in turn: link nibbles A and B (colour 1), C
// (colour 2), the ring, looked-past and flag-20 bits (colours 3 to 5).
std::uint32_t HighlightBits(std::size_t turn) {
    switch (turn % 6) {
    case 0:
        return LinkAttributeBits(LinkNibble::A, 0b0001);
    case 1:
        return LinkAttributeBits(LinkNibble::B, 0b0110);
    case 2:
        return LinkAttributeBits(LinkNibble::C, 0b1010);
    case 3:
        return maprecord::kRawRing;
    case 4:
        return maprecord::kRawLookedPast;
    default:
        return maprecord::kRawFlag20;
    }
}

ElementDescription Segment(MapPoint from, MapPoint to, std::uint16_t typeCode, std::uint8_t layer,
                           std::string name, std::uint32_t attributes) {
    ElementDescription segment;
    segment.bounds = {from.x, from.y, to.x, to.y};
    segment.bounds.Normalize();
    const bool isRightwards = to.x > from.x || (to.x == from.x && to.y > from.y);
    const bool isRising = to.y > from.y || (to.y == from.y && to.x > from.x);
    segment.typeLetter = isRightwards ? (isRising ? 'l' : 'o') : (isRising ? 'm' : 'n');
    segment.typeCode = typeCode;
    segment.subtype = layer;
    segment.name = std::move(name);
    segment.attributes = attributes;
    return segment;
}

ElementDescription Polyline(std::vector<MapPoint> points, std::uint16_t typeCode,
                            std::uint8_t layer, std::string name) {
    ElementDescription line;
    line.typeLetter = 'p';
    line.points = std::move(points);
    line.typeCode = typeCode;
    line.subtype = layer;
    line.name = std::move(name);
    return line;
}

ElementDescription Point(MapPoint at, std::uint16_t typeCode, std::uint8_t layer,
                         std::string name) {
    ElementDescription point;
    point.typeLetter = 't';
    point.bounds = {at.x, at.y, at.x + 10, at.y + 10};
    point.typeCode = typeCode;
    point.subtype = layer;
    point.name = std::move(name);
    return point;
}

} // namespace

DrawTownWriter::DrawTownWriter(int blocksPerSide, std::uint32_t seed)
    : m_blocks(std::clamp(blocksPerSide, 1, 60))
    , m_state(seed * 2654435761u + 1) {
    AddStreets();
    AddMainRoads();
    AddAreasAndPoints();
}

std::uint32_t DrawTownWriter::Next() {
    m_state = m_state * 1664525u + 1013904223u;
    return m_state >> 8;
}

MapPoint DrawTownWriter::GridPoint(int i, int j) {
    return {kOrigin.x + i * kBlock, kOrigin.y + j * kBlock};
}

MapPoint DrawTownWriter::GetCentre() const {
    const MapPoint far = GridPoint(m_blocks, m_blocks);
    return {(kOrigin.x + far.x) / 2, (kOrigin.y + far.y) / 2};
}

std::size_t DrawTownWriter::GetStreetSegment(int i, int j, bool isAlongX) const {
    return isAlongX ? m_alongX[static_cast<std::size_t>(j * m_blocks + i)]
                    : m_alongY[static_cast<std::size_t>(i * m_blocks + j)];
}

void DrawTownWriter::AddStreets() {
    std::size_t turn = 0;
    m_alongX.assign(static_cast<std::size_t>((m_blocks + 1) * m_blocks), 0);
    m_alongY.assign(m_alongX.size(), 0);
    for (int line = 0; line <= m_blocks; ++line) {
        for (const bool isAlongX : {true, false}) {
            const std::uint16_t typeCode = kStreetClasses[Next() % kStreetClasses.size()];
            const std::string name = std::string(kStreetNames[Next() % kStreetNames.size()]) + " " +
                                     std::to_string(line + 1);
            const bool isOneWay = typeCode == 1070 && line % 2 == 1;
            const bool isBackwards = line % 3 == 2;
            for (int step = 0; step < m_blocks; ++step) {
                MapPoint from = isAlongX ? GridPoint(step, line) : GridPoint(line, step);
                MapPoint to = isAlongX ? GridPoint(step + 1, line) : GridPoint(line, step + 1);
                if (isBackwards)
                    std::swap(from, to);
                std::uint32_t attributes = isOneWay ? maprecord::kRawOneWayAlong : 0;
                if ((line + step) % 4 == 1)
                    attributes |= HighlightBits(turn++);
                const std::size_t index = m_detail.size();
                m_detail.push_back(Segment(from, to, typeCode, kStreetLayer, name, attributes));
                (isAlongX ? m_alongX[static_cast<std::size_t>(line * m_blocks + step)]
                          : m_alongY[static_cast<std::size_t>(line * m_blocks + step)]) = index;
            }
        }
    }
}

void DrawTownWriter::AddMainRoads() {
    const int mid = m_blocks / 2;
    const std::int32_t half = kBlock / 2;
    std::vector<MapPoint> motorway;
    for (int i = -2; i <= m_blocks + 2; ++i) {
        const MapPoint p = GridPoint(i, mid);
        motorway.push_back({p.x, p.y + half + static_cast<std::int32_t>(Next() % 200) - 100});
    }
    std::vector<MapPoint> trunk;
    for (int j = -2; j <= m_blocks + 2; ++j) {
        const MapPoint p = GridPoint(mid, j);
        trunk.push_back({p.x + half + static_cast<std::int32_t>(Next() % 200) - 100, p.y});
    }
    m_motorway = m_detail.size();
    m_mainRoads = {m_detail.size(), m_detail.size() + 1};
    m_detail.push_back(Polyline(motorway, maprecord::kMotorwayType, kMotorwayLayer, "/A7/A8"));
    m_detail.push_back(Polyline(trunk, maprecord::kTrunkType, kRoadLayer, "Landstrasse/B 27"));
    // The diagonal road as offsets from its box corner (within 16 bits).
    const int span = std::min(m_blocks, 20);
    ElementDescription diagonal;
    diagonal.typeLetter = 'r';
    diagonal.typeCode = maprecord::kPrimaryType;
    diagonal.subtype = kRoadLayer;
    diagonal.name = "Talstrasse/E 45";
    const MapPoint start = GridPoint(0, 0);
    diagonal.bounds = {start.x + half / 2, start.y + half / 3,
                       start.x + half / 2 + span * kBlock - kBlock / 3,
                       start.y + half / 3 + span * kBlock - kBlock / 2};
    for (int k = 0; k <= span; ++k) {
        const std::int32_t dx = std::min(k * kBlock, span * kBlock - kBlock / 3);
        const std::int32_t dy =
            std::min(k * kBlock - (k % 2) * kBlock / 3, span * kBlock - kBlock / 2);
        diagonal.points.push_back({dx, std::max(dy, 0)});
    }
    m_mainRoads.push_back(m_detail.size());
    m_detail.push_back(diagonal);
    // Ramps at the motorway's ends and a ferry beside the town.
    for (const std::size_t end : {std::size_t{1}, motorway.size() - 2}) {
        const MapPoint at = motorway[end];
        m_detail.push_back(Segment(at, {at.x + half / 2, at.y - half}, maprecord::kRampType,
                                   kMotorwayLayer, "", 0));
    }
    const MapPoint east = GridPoint(m_blocks + 1, 0);
    m_detail.push_back(
        Polyline({east, {east.x + kBlock / 2, east.y + kBlock}, {east.x, east.y + 2 * kBlock}},
                 maprecord::kFerryType, kFerryLayer, "Faehre"));
}

void DrawTownWriter::AddAreasAndPoints() {
    const std::int32_t inset = kBlock / 8;
    for (int j = 0; j < m_blocks; ++j) {
        for (int i = 0; i < m_blocks; ++i) {
            const MapPoint a = GridPoint(i, j);
            const std::uint32_t pick = Next() % 10;
            if (pick < 2) {
                ElementDescription park;
                park.typeLetter = 'y';
                park.typeCode = 300;
                park.subtype = kAreaLayer;
                park.points = {{a.x + inset, a.y + inset},
                               {a.x + kBlock - inset, a.y + inset},
                               {a.x + kBlock - inset, a.y + kBlock - inset},
                               {a.x + kBlock / 2, a.y + kBlock - 2 * inset},
                               {a.x + inset, a.y + kBlock - inset}};
                m_detail.push_back(park);
            } else if (pick < 5) {
                ElementDescription building;
                building.typeLetter = 'z';
                building.typeCode = pick == 4 ? 700 : 500;
                building.subtype = pick == 4 ? kAreaLayer : kBuildingLayer;
                building.bounds = {a.x + 2 * inset, a.y + 2 * inset, a.x + kBlock - 2 * inset,
                                   a.y + kBlock / 2};
                const std::int32_t w = building.bounds.x2 - building.bounds.x1;
                const std::int32_t h = building.bounds.y2 - building.bounds.y1;
                building.points = {{0, 0}, {w, 0}, {w, h}, {0, h}};
                m_detail.push_back(building);
            }
            if (Next() % 3 == 0) {
                const std::uint32_t kind = Next() % 4;
                const MapPoint at{a.x + kBlock / 4 + static_cast<std::int32_t>(Next() % 600),
                                  a.y + kBlock / 2 + static_cast<std::int32_t>(Next() % 400)};
                m_detail.push_back(Point(at, static_cast<std::uint16_t>(5001 + kind), kPointLayer,
                                         std::string(kPointNames[kind]) + " " +
                                             std::to_string(j * m_blocks + i + 1)));
            }
        }
    }
    m_detail.push_back(Point(GetCentre(), maprecord::kCityType, kTownLayer, "Drawtown"));
}

bool DrawTownWriter::WriteTo(const TempDeviceRoot& root, std::u16string_view folder) {
    const std::u16string base(folder);
    MapSetWriter detail;
    for (const ElementDescription& element : m_detail) {
        if (!detail.Add(element))
            return false;
    }
    RidHeaderFields header;
    header.mapKind = 2;
    detail.SetHeader(header);
    if (!root.MakeFolder(base) || !detail.WriteTo(root.HostPathOf(base + u"\\town")))
        return false;
    m_detailIds = detail.GetElementIds();

    // The overview: the main roads pointing at their detailed selves, the town's name and one
    // area over the whole grid.
    m_overview.clear();
    for (const std::size_t road : m_mainRoads) {
        ElementDescription copy = m_detail[road];
        copy.attributes = m_detailIds[road];
        m_overview.push_back(copy);
    }
    const MapPoint far = GridPoint(m_blocks, m_blocks);
    ElementDescription area;
    area.typeLetter = 'y';
    area.typeCode = 300;
    area.subtype = kAreaLayer;
    area.points = {kOrigin, {far.x, kOrigin.y}, far, {kOrigin.x, far.y}};
    m_overview.push_back(area);
    m_overview.push_back(Point(GetCentre(), maprecord::kCityType, kTownLayer, "Drawtown"));
    MapSetWriter overview;
    for (const ElementDescription& element : m_overview) {
        if (!overview.Add(element))
            return false;
    }
    if (!overview.WriteTo(root.HostPathOf(base + u"\\overview")))
        return false;

    // House numbers along the streets that meet the grid's first column, countries of the roads.
    AddressIndexWriter index;
    for (std::size_t k = 0; k < m_detail.size(); ++k) {
        const ElementDescription& element = m_detail[k];
        const auto id = static_cast<std::int32_t>(m_detailIds[k]);
        if (element.subtype == kStreetLayer &&
            (element.typeCode == 1070 || element.typeCode == 1080 || element.typeCode == 1060)) {
            const auto n = static_cast<std::uint16_t>(2 * (k % 50) + 1);
            index.AddHouseNumbers({id, 12, 12, n, static_cast<std::uint16_t>(n + 1), 0, 0});
            index.AddHouseNumbers({id, 12, 12, static_cast<std::uint16_t>(n + 8),
                                   static_cast<std::uint16_t>(n + 9), 'A', 0});
        }
        if (element.typeCode >= 1010 && element.typeCode <= 1030)
            index.AddCookieCountry(id, 4);
    }
    index.AddCountry(4, 0, "Austria");
    if (!index.WriteTo(root, base))
        return false;
    return root.WriteFile(base + u"\\day.mpl", DefaultStyleSheet(false).Write()) &&
           root.WriteFile(base + u"\\night.mpl", DefaultStyleSheet(true).Write()) &&
           LevelFileWriter()
               .AddMapLine("town.rid", "day.mpl", 20, "night.mpl")
               .AddMapLine("overview.rid", "day.mpl", 100000, "night.mpl")
               .WriteTo(root.HostPathOf(base + u"\\" + std::u16string(kLevelFile)));
}

} // namespace testdata
