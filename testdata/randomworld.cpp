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
        std::uint32_t units = FlatWorldLengthUnits(world.nodes[a], world.nodes[b]);
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
    // A node's links in world order, as the network writer numbers them.
    std::vector<std::vector<std::uint32_t>> linksOf(world.nodes.size());
    for (std::uint32_t i = 0; i < world.links.size(); ++i) {
        linksOf[world.links[i].from].push_back(i);
        linksOf[world.links[i].to].push_back(i);
    }
    const auto indexAt = [&](std::uint32_t node, std::uint32_t link) {
        const auto& links = linksOf[node];
        return static_cast<std::uint8_t>(std::find(links.begin(), links.end(), link) -
                                         links.begin());
    };
    for (std::uint32_t node = 0; node < world.nodes.size(); ++node) {
        const auto count = static_cast<std::uint32_t>(linksOf[node].size());
        // Draws only for the parts asked for, so that a world stays what it was without them.
        if (count >= 3 && options.turnTablePercent != 0 && draw.Percent(options.turnTablePercent)) {
            CrossingExtras& extras = out.extras[node];
            extras.hasTurnTable = true;
            const auto from = static_cast<std::uint8_t>(draw.Below(count));
            auto to = static_cast<std::uint8_t>(draw.Below(count));
            if (to == from) {
                to = static_cast<std::uint8_t>((to + 1) % count);
            }
            extras.prohibitedTurns.emplace_back(from, to);
        }
        if (count >= 2 && options.listItemPercent != 0 && draw.Percent(options.listItemPercent)) {
            const std::uint32_t in = linksOf[node][draw.Below(count)];
            const WorldLink& link = world.links[in];
            const std::uint32_t before = link.from == node ? link.to : link.from;
            const auto beforeCount = static_cast<std::uint32_t>(linksOf[before].size());
            const std::uint8_t from = indexAt(node, in);
            const auto to = static_cast<std::uint8_t>((from + 1 + draw.Below(count - 1)) % count);
            const std::uint8_t inAtBefore = indexAt(before, in);
            if (beforeCount < 2) {
                continue;
            }
            const auto earlier = static_cast<std::uint8_t>(
                (inAtBefore + 1 + draw.Below(beforeCount - 1)) % beforeCount);
            ManoeuvreItemDescription item{
                0, to, {static_cast<std::int8_t>(from), static_cast<std::int8_t>(earlier)}};
            out.extras[node].pendingPathLinks.push_back(from);
            out.extras[before].pendingPathLinks.push_back(inAtBefore);
            // Further links back, each leaving the crossing reached by another link than the
            // one it was reached by; the path ends early at a dead end.
            const std::uint32_t longest = std::min<std::uint32_t>(options.listItemLinks, 14);
            const std::uint32_t links = longest > 2 ? 2 + draw.Below(longest - 1) : 2;
            std::uint32_t at = before;
            std::uint8_t leaving = earlier;
            for (std::uint32_t k = 2;; ++k) {
                const std::uint32_t next = linksOf[at][leaving];
                const WorldLink& step = world.links[next];
                const std::uint32_t beyond = step.from == at ? step.to : step.from;
                const std::uint8_t arriving = indexAt(beyond, next);
                out.extras[at].pendingPathLinks.push_back(leaving);
                out.extras[beyond].pendingPathLinks.push_back(arriving);
                const auto beyondCount = static_cast<std::uint32_t>(linksOf[beyond].size());
                if (k >= links || beyondCount < 2) {
                    break;
                }
                at = beyond;
                leaving = static_cast<std::uint8_t>((arriving + 1 + draw.Below(beyondCount - 1)) %
                                                    beyondCount);
                item.values.push_back(static_cast<std::int8_t>(leaving));
            }
            out.extras[node].list2.push_back(std::move(item));
        }
    }
    for (std::uint32_t i = 0; i < world.links.size(); ++i) {
        if (world.links[i].isOneWay || options.list4Percent == 0 ||
            !draw.Percent(options.list4Percent)) {
            continue;
        }
        const WorldLink& link = world.links[i];
        out.extras[link.from].list4.push_back({indexAt(link.from, i), 1, 2, 0, true});
        out.extras[link.to].list4.push_back({indexAt(link.to, i), 3, 2, 0, true});
    }
    return out;
}

} // namespace testdata
