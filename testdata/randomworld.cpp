#include "testdata/randomworld.h"

#include <algorithm>
#include <random>

namespace testdata {

namespace {

// Draws from the engine's raw output, so the sequence does not depend on the library.
class Draw {
public:
    explicit Draw(std::uint32_t seed)
        : m_engine(seed) {}

    [[nodiscard]] std::uint32_t Below(std::uint32_t bound) {
        return bound == 0 ? 0 : static_cast<std::uint32_t>(m_engine() % bound);
    }
    [[nodiscard]] bool Percent(std::uint32_t percent) { return Below(100) < percent; }
    [[nodiscard]] std::int32_t Within(std::int32_t magnitude) {
        if (magnitude <= 0) {
            return 0;
        }
        const auto span = static_cast<std::uint32_t>(2 * magnitude + 1);
        return static_cast<std::int32_t>(Below(span)) - magnitude;
    }

private:
    std::mt19937 m_engine;
};

std::uint8_t DrawClass(Draw& draw, const RandomWorldOptions& options) {
    if (draw.Percent(options.kindPercent)) {
        constexpr std::uint8_t kKinds[3] = {24, 26, 28};
        return kKinds[draw.Below(3)];
    }
    if (draw.Percent(options.specialPercent)) {
        return static_cast<std::uint8_t>(16 + draw.Below(8));
    }
    return static_cast<std::uint8_t>(draw.Below(16));
}

} // namespace

RandomWorld MakeRandomWorld(const RandomWorldOptions& options) {
    Draw draw(options.seed);
    RandomWorld out;
    RoadWorld& world = out.world;
    for (std::uint32_t row = 0; row < options.rows; ++row) {
        for (std::uint32_t column = 0; column < options.columns; ++column) {
            world.nodes.push_back(
                {options.origin.x + static_cast<std::int32_t>(column) * options.spacing +
                     draw.Within(options.jitter),
                 options.origin.y + static_cast<std::int32_t>(row) * options.spacing +
                     draw.Within(options.jitter)});
        }
    }
    const auto add = [&](std::uint32_t a, std::uint32_t b) {
        if (draw.Percent(options.missingPercent)) {
            return;
        }
        WorldLink link;
        const bool isReversed = draw.Percent(50);
        link.from = isReversed ? b : a;
        link.to = isReversed ? a : b;
        link.elementId = static_cast<std::uint32_t>(world.links.size() + 1);
        std::uint32_t units = LengthUnitsBetween(world.nodes[a], world.nodes[b]);
        if (draw.Percent(options.detourPercent)) {
            units += units * (1 + draw.Below(4)) / 4;
        }
        link.lengthUnits = std::min<std::uint32_t>(units, 32767);
        link.roadClass = DrawClass(draw, options);
        link.isOneWay = draw.Percent(options.oneWayPercent);
        world.links.push_back(link);
    };
    for (std::uint32_t row = 0; row < options.rows; ++row) {
        for (std::uint32_t column = 0; column < options.columns; ++column) {
            const std::uint32_t node = row * options.columns + column;
            if (column + 1 < options.columns) {
                add(node, node + 1);
            }
            if (row + 1 < options.rows) {
                add(node, node + options.columns);
            }
        }
    }
    if (options.turnTablePercent == 0) {
        return out;
    }
    // A node's links in world order, as the network writer numbers them.
    std::vector<std::uint8_t> linkCount(world.nodes.size(), 0);
    for (const WorldLink& link : world.links) {
        ++linkCount[link.from];
        ++linkCount[link.to];
    }
    for (std::uint32_t node = 0; node < world.nodes.size(); ++node) {
        if (linkCount[node] < 3 || !draw.Percent(options.turnTablePercent)) {
            continue;
        }
        CrossingExtras& extras = out.extras[node];
        extras.hasTurnTable = true;
        const auto from = static_cast<std::uint8_t>(draw.Below(linkCount[node]));
        auto to = static_cast<std::uint8_t>(draw.Below(linkCount[node]));
        if (to == from) {
            to = static_cast<std::uint8_t>((to + 1) % linkCount[node]);
        }
        extras.prohibitedTurns.emplace_back(from, to);
    }
    return out;
}

} // namespace testdata
