#include "testdata/worldmapset.h"

#include "testdata/addressindexwriter.h"
#include "testdata/mapsetwriter.h"

#include <algorithm>
#include <set>

namespace testdata {

std::uint32_t DefaultLinkAttributes(const WorldLink& link) {
    return link.isOneWay ? maprecord::kRawOneWayAlong : maprecord::kRawBothWays;
}

std::optional<WorldMapSet> WriteWorldMapSet(RoadWorld& world, const WorldMapSetOptions& options,
                                            const TempDeviceRoot& root,
                                            std::u16string_view folder) {
    MapSetWriter writer;
    // Slot 0 of the one Cookie2AreaId record says "no area"; each area named takes the next.
    std::vector<std::uint32_t> areaSlots{0};
    std::map<std::int32_t, std::uint32_t> slotOfArea;
    for (const auto& [link, area] : options.areas) {
        if (slotOfArea.emplace(area.id, static_cast<std::uint32_t>(areaSlots.size())).second) {
            areaSlots.push_back(static_cast<std::uint32_t>(area.id));
        }
    }
    // The tree's node ids follow from its layout alone; the city points' ids come later.
    AreaTreeWriter tree;
    for (const AreaSpec& area : options.treeAreas) {
        (void)tree.Add(area);
    }
    std::vector<std::int32_t> treeIds;
    for (std::size_t i = 0; i < options.treeAreas.size(); ++i) {
        treeIds.push_back(static_cast<std::int32_t>(tree.GetId(static_cast<std::int32_t>(i))));
        if (slotOfArea.emplace(treeIds.back(), static_cast<std::uint32_t>(areaSlots.size()))
                .second) {
            areaSlots.push_back(static_cast<std::uint32_t>(treeIds.back()));
        }
    }
    const auto treeSlotBits = [&](const std::map<std::uint32_t, std::size_t>& areas,
                                  std::uint32_t index) -> std::uint32_t {
        const auto area = areas.find(index);
        return area == areas.end() || area->second >= treeIds.size()
                   ? 0
                   : maprecord::RawSlotBits(slotOfArea.at(treeIds[area->second]), 0);
    };
    std::vector<std::size_t> lineIndexes;
    for (std::uint32_t i = 0; i < world.links.size(); ++i) {
        const WorldLink& link = world.links[i];
        ElementDescription element;
        element.typeLetter = 'p';
        element.points.push_back(world.nodes[link.from]);
        if (const auto bend = options.bends.find(i); bend != options.bends.end()) {
            element.points.insert(element.points.end(), bend->second.begin(), bend->second.end());
        }
        element.points.push_back(world.nodes[link.to]);
        const auto type = options.typeCodes.find(i);
        element.typeCode =
            type != options.typeCodes.end() ? type->second : maprecord::kResidentialType;
        element.subtype = options.linkLayer;
        const auto word = options.attributes.find(i);
        element.attributes =
            word != options.attributes.end() ? word->second : DefaultLinkAttributes(link);
        if (const auto name = options.names.find(i); name != options.names.end()) {
            element.name = name->second;
        }
        if (const auto area = options.areas.find(i); area != options.areas.end()) {
            element.attributes |= maprecord::RawSlotBits(slotOfArea.at(area->second.id), 0);
        }
        element.attributes |= treeSlotBits(options.linkTreeAreas, i);
        const auto index = writer.Add(element);
        if (!index) {
            return std::nullopt;
        }
        lineIndexes.push_back(*index);
    }
    std::vector<std::size_t> pointIndexes;
    for (std::uint32_t i = 0; i < options.points.size(); ++i) {
        const WorldPointElement& point = options.points[i];
        ElementDescription element;
        element.typeLetter = 't';
        element.bounds = {point.position.x, point.position.y, point.position.x, point.position.y};
        element.typeCode = point.typeCode;
        element.name = point.name;
        element.attributes |= treeSlotBits(options.pointTreeAreas, i);
        if (options.pointsTakeAreaFromCookie && options.pointTreeAreas.count(i) != 0) {
            element.attributes |= maprecord::kRawAreaFromCookie;
        }
        const auto index = writer.Add(element);
        if (!index) {
            return std::nullopt;
        }
        pointIndexes.push_back(*index);
    }
    std::vector<std::size_t> extraIndexes;
    for (const ElementDescription& element : options.extraElements) {
        const auto index = writer.Add(element);
        if (!index) {
            return std::nullopt;
        }
        extraIndexes.push_back(*index);
    }
    RidHeaderFields header;
    header.mapKind = 2; // with an address index: the engine maps element ids to themselves
    writer.SetHeader(header);
    const std::u16string base = std::u16string(folder) + u"\\" +
                                std::u16string(options.baseName.begin(), options.baseName.end());
    if (!root.MakeFolder(folder) || !writer.WriteTo(root.HostPathOf(base))) {
        return std::nullopt;
    }
    const std::vector<std::uint32_t>& ids = writer.GetElementIds();
    WorldMapSet out;
    out.ridPath = base + u".rid";
    AddressIndexWriter index;
    for (std::size_t i = 0; i < pointIndexes.size(); ++i) {
        const std::uint32_t id = ids[pointIndexes[i]];
        out.pointIds.push_back(id);
        if (const auto& entry = options.points[i].entryPoint) {
            index.AddEntryPoint(static_cast<std::int32_t>(id), entry->x, entry->y);
        }
    }
    for (const std::size_t extra : extraIndexes) {
        out.extraIds.push_back(ids[extra]);
    }
    if (areaSlots.size() > 1) {
        // One record from the first line element to beyond the last (points of a tree area
        // included).
        std::uint32_t first = 0xFFFFFFFF;
        std::uint32_t last = 0;
        for (const std::size_t line : lineIndexes) {
            first = std::min(first, ids[line]);
            last = std::max(last, ids[line]);
        }
        for (const auto& [point, area] : options.pointTreeAreas) {
            if (point < pointIndexes.size()) {
                first = std::min(first, ids[pointIndexes[point]]);
                last = std::max(last, ids[pointIndexes[point]]);
            }
        }
        index.AddCookieAreas(static_cast<std::int32_t>(first), areaSlots)
            .SetCookieEnd(static_cast<std::int32_t>(last) + 1);
        std::set<std::int32_t> written;
        for (const auto& [link, area] : options.areas) {
            if (written.insert(area.id).second) {
                index.AddArea(area);
            }
        }
    }
    for (const auto& [link, country] : options.countries) {
        if (link < lineIndexes.size()) {
            index.AddCookieCountry(static_cast<std::int32_t>(ids[lineIndexes[link]]), country);
        }
    }
    for (const auto& [link, signposts] : options.signposts) {
        for (const WorldSignpost& signpost : signposts) {
            if (link < lineIndexes.size() && signpost.towardsLink < lineIndexes.size()) {
                index.AddSignpost(static_cast<std::int32_t>(ids[lineIndexes[link]]),
                                  ids[lineIndexes[signpost.towardsLink]], "", signpost.text);
            }
        }
    }
    for (const WorldMapSetOptions::Country& country : options.countryNames) {
        index.AddCountry(country.number, country.language, country.name);
    }
    for (const auto& [point, country] : options.pointCountries) {
        if (point < pointIndexes.size()) {
            index.AddCookieCountry(static_cast<std::int32_t>(ids[pointIndexes[point]]), country);
        }
    }
    for (const auto& [link, numbers] : options.houseNumbers) {
        if (link < lineIndexes.size()) {
            // Two records, as the readers take them: the lowest numbers, then the highest; side
            // schemes 13 (odd) and 12 (even), 0 for a side without numbers.
            const auto id = static_cast<std::int32_t>(ids[lineIndexes[link]]);
            const std::uint16_t oddScheme = numbers.oddLow == 0 ? 0 : 13;
            const std::uint16_t evenScheme = numbers.evenLow == 0 ? 0 : 12;
            index.AddHouseNumbers(
                {id, oddScheme, evenScheme, numbers.oddLow, numbers.evenLow, 0, 0});
            index.AddHouseNumbers(
                {id, oddScheme, evenScheme, numbers.oddHigh, numbers.evenHigh, 0, 0});
        }
    }
    if (!index.WriteTo(root, folder)) {
        return std::nullopt;
    }
    if (!options.treeAreas.empty() || !options.cities.empty()) {
        // The tree again, its city areas naming their cities' points.
        AreaTreeWriter named;
        std::vector<AreaSpec> areas = options.treeAreas;
        for (const WorldMapSetOptions::City& city : options.cities) {
            if (city.treeArea && *city.treeArea < areas.size() &&
                city.point < pointIndexes.size()) {
                areas[*city.treeArea].elementId = ids[pointIndexes[city.point]];
            }
        }
        for (const AreaSpec& area : areas) {
            (void)named.Add(area);
        }
        CityIndexWriter cities;
        for (const WorldMapSetOptions::City& city : options.cities) {
            if (city.point >= pointIndexes.size()) {
                return std::nullopt;
            }
            const bool isArea = city.treeArea && *city.treeArea < treeIds.size();
            cities.Add({city.name,
                        isArea ? static_cast<std::uint32_t>(treeIds[*city.treeArea])
                               : ids[pointIndexes[city.point]],
                        !isArea, std::nullopt, city.country});
        }
        if (!root.WriteFile(std::u16string(folder) + u"\\EAreaI.tre", named.Build()) ||
            !cities.WriteTo(root, folder)) {
            return std::nullopt;
        }
    }
    for (std::size_t i = 0; i < lineIndexes.size(); ++i) {
        world.links[i].elementId = ids[lineIndexes[i]];
    }
    return out;
}

} // namespace testdata
