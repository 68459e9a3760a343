#include "tools/osm/osmnetwork.h"

#include "routing/roadnetwork.h"
#include "utilities/mapgeometry/mapgeometry.h"
#include "utilities/usefulcode/greatcircledistance.h"

#include <algorithm>
#include <cmath>

namespace osm2nav {
namespace {

constexpr std::uint32_t kIdStep = 1000000;

std::uint32_t RoundUp(std::uint64_t value) {
    return static_cast<std::uint32_t>((value + kIdStep - 1) / kIdStep * kIdStep);
}

std::size_t LinkCount(const testdata::RoadNetworkLevelLayout& layout) {
    std::size_t ends = 0;
    for (const auto& links : layout.linksOf) {
        ends += links.size();
    }
    return ends / 2;
}

std::string Level(std::uint32_t level) {
    return "road network level " + std::to_string(level) + ": ";
}

std::string CheckCrossings(RoadNetwork& loaded, const testdata::RoadNetworkWriter& writer,
                           std::uint32_t level) {
    const auto& layouts = writer.GetLayout();
    const auto& layout = layouts[level];
    const bool hasUpper = level + 1 < layouts.size();
    for (std::uint32_t id = 0; id < layout.addresses.size(); ++id) {
        const auto& written = layout.addresses[id];
        const auto crossing = loaded.CreateCrossing(
            {written.page, written.offset, 0xFFFFFFFF, static_cast<std::uint16_t>(level)});
        const std::uint32_t node = layout.nodeOfCrossing[id];
        const GeoPoint expected = writer.GetWorld().Position(node);
        if (!crossing || !crossing->IsValid() || crossing->GetId() != id ||
            crossing->GetLinkCount() != layout.linksOf[id].size()) {
            return Level(level) + "crossing " + std::to_string(id) + " reads back otherwise";
        }
        const GeoPoint position = crossing->Position();
        if (position.x != expected.x || position.y != expected.y) {
            return Level(level) + "crossing " + std::to_string(id) + " moved";
        }
        if (!hasUpper) {
            continue;
        }
        const auto& upperIds = layouts[level + 1].crossingOfNode;
        if (const auto upper = upperIds.find(node); upper != upperIds.end()) {
            const auto above = loaded.GetUpperCrossing(*crossing);
            if (!above || above->GetId() != upper->second) {
                return Level(level) + "crossing " + std::to_string(id) + " lost its upper crossing";
            }
        }
    }
    return {};
}

std::string CheckChains(RoadNetwork& loaded, const testdata::RoadNetworkWriter& writer,
                        std::uint32_t level) {
    const auto& world = writer.GetWorld();
    for (const auto& chain : writer.GetLayout()[level].chains) {
        const auto rows = loaded.LookupO2S(chain.id);
        bool isSame = rows.size() == chain.links.size();
        for (std::size_t k = 0; isSame && k < rows.size(); ++k) {
            const std::uint32_t element = world.links[chain.links[k]].elementId;
            const auto ids = loaded.OptimisedIdsOf(element);
            isSame = rows[k].elementId == element &&
                     std::find(ids.begin(), ids.end(), chain.id) != ids.end();
        }
        if (!isSame || loaded.LevelOfOptimisedId(chain.id) != static_cast<int>(level)) {
            return Level(level) + "optimised link " + std::to_string(chain.id) +
                   " reads back otherwise";
        }
    }
    return {};
}

} // namespace

std::uint32_t LinkLengthUnits(const std::vector<MapPoint>& points) {
    double metres = 0;
    for (std::size_t i = 1; i < points.size(); ++i) {
        const GeoPoint a = MapPointToDegrees(points[i - 1]);
        const GeoPoint b = MapPointToDegrees(points[i]);
        metres += GreatCircleDistance(a.x, a.y, b.x, b.y);
    }
    return static_cast<std::uint32_t>(std::clamp(std::lround(metres / 5.0), 1l, 32767l));
}

testdata::RoadNetworkOptions NetworkOptions(std::uint32_t levels, bool isPacked,
                                            std::uint32_t largestElementId, std::size_t linkCount) {
    testdata::RoadNetworkOptions options;
    options.isArchived = isPacked;
    // The links' extended codes (roundabouts, ramps) are read only with additional attributes.
    options.hasAdditionalAttributes = true;
    options.maps = levels;
    if (levels > 1) {
        using enum ColumnType;
        options.o2sColumns = {UInt32, UInt32, Float32, Float32, UInt32};
        options.s2oColumns = {UInt32, UInt32};
        std::int64_t start = RoundUp(std::uint64_t{largestElementId} + 1);
        options.optimisationStarts = {-1};
        for (std::uint32_t level = 1; level < levels; ++level) {
            options.optimisationStarts.push_back(start);
            start += RoundUp(2 * std::uint64_t{linkCount} + 2);
        }
    }
    return options;
}

std::string CheckNetwork(RoadNetwork& loaded, const testdata::RoadNetworkWriter& writer) {
    const auto& layouts = writer.GetLayout();
    if (loaded.GetMapCount() != layouts.size()) {
        return "the written road network has another number of levels";
    }
    for (std::uint32_t level = 0; level < layouts.size(); ++level) {
        if (level > 0 && layouts[level].nodeOfCrossing.empty()) {
            return "road network level " + std::to_string(level) + " holds no roads (only " +
                   (level == 1 ? "tertiary" : "primary") +
                   " roads and above reach it); ask for fewer levels";
        }
        if (loaded.GetCrossingCount(static_cast<std::uint16_t>(level)) !=
            layouts[level].nodeOfCrossing.size()) {
            return Level(level) + "another number of crossings";
        }
        if (std::string message = CheckCrossings(loaded, writer, level); !message.empty()) {
            return message;
        }
        if (std::string message = CheckChains(loaded, writer, level); !message.empty()) {
            return message;
        }
    }
    return {};
}

void PrintNetwork(const testdata::RoadNetworkWriter& writer, std::ostream& out) {
    const auto& layouts = writer.GetLayout();
    for (std::uint32_t level = 0; level < layouts.size(); ++level) {
        out << Level(level) << layouts[level].nodeOfCrossing.size() << " crossings, "
            << LinkCount(layouts[level]) << " links, " << layouts[level].chains.size()
            << " optimised\n";
    }
}

} // namespace osm2nav
