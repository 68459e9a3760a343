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
        const auto index = writer.Add(element);
        if (!index) {
            return std::nullopt;
        }
        lineIndexes.push_back(*index);
    }
    std::vector<std::size_t> pointIndexes;
    for (const WorldPointElement& point : options.points) {
        ElementDescription element;
        element.typeLetter = 't';
        element.bounds = {point.position.x, point.position.y, point.position.x, point.position.y};
        element.typeCode = point.typeCode;
        element.name = point.name;
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
    if (!options.areas.empty()) {
        // One record from the first line element to beyond the last.
        std::uint32_t first = 0xFFFFFFFF;
        std::uint32_t last = 0;
        for (const std::size_t line : lineIndexes) {
            first = std::min(first, ids[line]);
            last = std::max(last, ids[line]);
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
    if (!index.WriteTo(root, folder)) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < lineIndexes.size(); ++i) {
        world.links[i].elementId = ids[lineIndexes[i]];
    }
    return out;
}

} // namespace testdata
