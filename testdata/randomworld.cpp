#include "testdata/randomworld.h"

#include <algorithm>
#include <iterator>
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
    if (options.levels > 1) {
        // Local roads of a hierarchical world stay slower than its arterials.
        constexpr std::uint8_t kLocal[9] = {6, 7, 9, 10, 11, 12, 13, 14, 15};
        return kLocal[draw.Below(9)];
    }
    return static_cast<std::uint8_t>(draw.Below(16));
}

// The grid lines of the hierarchy, its spacings rounded to whole arterial spacings.
struct Hierarchy {
    explicit Hierarchy(const RandomWorldOptions& options)
        : levels(std::clamp<std::uint32_t>(options.levels, 1, 3))
        , arterialEvery(std::max<std::uint32_t>(options.arterialEvery, 1))
        , highwayEvery(std::max(options.highwayEvery / arterialEvery, 1u) * arterialEvery)
        , rampEvery(std::max(options.rampEvery / arterialEvery, 1u) * arterialEvery) {}

    [[nodiscard]] bool IsArterial(std::uint32_t line) const {
        return levels > 1 && line % arterialEvery == 0;
    }
    // The arterial lines, out of `count`, with a highway between them and the next line.
    [[nodiscard]] std::vector<std::uint32_t> HighwayLines(std::uint32_t count) const {
        std::vector<std::uint32_t> lines;
        for (std::uint32_t line = highwayEvery / 2; levels > 2 && line + 1 < count;
             line += highwayEvery) {
            lines.push_back(line - line % arterialEvery);
        }
        return lines;
    }

    std::uint32_t levels;
    std::uint32_t arterialEvery;
    std::uint32_t highwayEvery;
    std::uint32_t rampEvery;
};

// One grid link from node a to node b on grid line `line` (the row of a horizontal link, the
// column of a vertical one).
void AddGridLink(RoadWorld& world, Draw& draw, const RandomWorldOptions& options,
                 const Hierarchy& hierarchy, std::uint32_t a, std::uint32_t b, std::uint32_t line) {
    // Every draw comes before the arterial test, so a one-level world draws as it always did.
    const bool isArterial = hierarchy.IsArterial(line);
    if (draw.Percent(options.missingPercent) && !isArterial) {
        return;
    }
    WorldLink link;
    const bool isReversed = draw.Percent(50);
    link.from = isReversed ? b : a;
    link.to = isReversed ? a : b;
    link.elementId = static_cast<std::uint32_t>(world.links.size() + 1);
    std::uint32_t units = FlatWorldLengthUnits(world.nodes[a], world.nodes[b]);
    if (draw.Percent(options.detourPercent) && !isArterial) {
        units += units * (1 + draw.Below(4)) / 4;
    }
    link.lengthUnits = std::min<std::uint32_t>(units, 32767);
    const std::uint8_t drawnClass = DrawClass(draw, options);
    link.roadClass = isArterial
                         ? static_cast<std::uint8_t>(2 + (line / hierarchy.arterialEvery) % 4)
                         : drawnClass;
    link.isOneWay = draw.Percent(options.oneWayPercent) && !isArterial;
    link.level = isArterial ? 1 : 0;
    world.links.push_back(link);
}

void AddLevel2Link(RoadWorld& world, std::uint32_t from, std::uint32_t to, std::uint8_t roadClass) {
    WorldLink link;
    link.from = from;
    link.to = to;
    link.elementId = static_cast<std::uint32_t>(world.links.size() + 1);
    link.lengthUnits = FlatWorldLengthUnits(world.nodes[from], world.nodes[to]);
    link.roadClass = roadClass;
    link.level = 2;
    world.links.push_back(link);
}

// Highways half a spacing beside arterial lines. Positions count half spacings from the origin:
// even ones lie on a grid line, odd ones half way to the next.
class HighwayBuilder {
public:
    HighwayBuilder(RoadWorld& world, const RandomWorldOptions& options, const Hierarchy& hierarchy)
        : m_world(world)
        , m_options(options)
        , m_hierarchy(hierarchy)
        , m_rows(hierarchy.HighwayLines(options.rows))
        , m_columns(hierarchy.HighwayLines(options.columns)) {}

    void Build() {
        for (const std::uint32_t row : m_rows) {
            for (const std::uint32_t column : m_columns) {
                m_interchanges[{row, column}] = AddNode(2 * column + 1, 2 * row + 1);
            }
        }
        for (const std::uint32_t row : m_rows) {
            AddHighway(row, false);
        }
        for (const std::uint32_t column : m_columns) {
            AddHighway(column, true);
        }
    }

private:
    std::uint32_t AddNode(std::uint32_t halvesX, std::uint32_t halvesY) {
        const std::int64_t spacing = m_options.spacing;
        m_world.nodes.push_back(
            {m_options.origin.x + static_cast<std::int32_t>(halvesX * spacing / 2),
             m_options.origin.y + static_cast<std::int32_t>(halvesY * spacing / 2)});
        return static_cast<std::uint32_t>(m_world.nodes.size() - 1);
    }

    // The highway beside grid line `line`: a node every arterial spacing and at each crossing
    // highway, then its ramps.
    void AddHighway(std::uint32_t line, bool isVertical) {
        const std::uint32_t across = isVertical ? m_options.rows : m_options.columns;
        std::map<std::uint32_t, std::uint32_t> along; // position along the highway -> node
        for (std::uint32_t i = 0; i < across; i += m_hierarchy.arterialEvery) {
            along[2 * i] = isVertical ? AddNode(2 * line + 1, 2 * i) : AddNode(2 * i, 2 * line + 1);
        }
        for (const std::uint32_t other : isVertical ? m_rows : m_columns) {
            along[2 * other + 1] =
                m_interchanges.at(isVertical ? std::pair{other, line} : std::pair{line, other});
        }
        for (auto next = std::next(along.begin()); next != along.end(); ++next) {
            AddLevel2Link(m_world, std::prev(next)->second, next->second, 0);
        }
        // Ramps from half a ramp spacing on: a highway end is no ramp.
        const std::uint32_t first = m_hierarchy.rampEvery / 2;
        for (std::uint32_t i = first - first % m_hierarchy.arterialEvery; i < across;
             i += m_hierarchy.rampEvery) {
            const std::uint32_t grid =
                isVertical ? i * m_options.columns + line : line * m_options.columns + i;
            AddLevel2Link(m_world, along.at(2 * i), grid, 1);
        }
    }

    RoadWorld& m_world;
    const RandomWorldOptions& m_options;
    const Hierarchy& m_hierarchy;
    std::vector<std::uint32_t> m_rows;    // highways above these rows
    std::vector<std::uint32_t> m_columns; // highways right of these columns
    std::map<std::pair<std::uint32_t, std::uint32_t>, std::uint32_t> m_interchanges;
};

// Turn tables, list-2 items and list-4 entries as asked for.
void AddExtras(RandomWorld& out, Draw& draw, const RandomWorldOptions& options) {
    RoadWorld& world = out.world;
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
}

} // namespace

RandomWorld MakeRandomWorld(const RandomWorldOptions& options) {
    Draw draw(options.seed);
    const Hierarchy hierarchy(options);
    RandomWorld out;
    out.levels = hierarchy.levels;
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
    for (std::uint32_t row = 0; row < options.rows; ++row) {
        for (std::uint32_t column = 0; column < options.columns; ++column) {
            const std::uint32_t node = row * options.columns + column;
            if (column + 1 < options.columns) {
                AddGridLink(world, draw, options, hierarchy, node, node + 1, row);
            }
            if (row + 1 < options.rows) {
                AddGridLink(world, draw, options, hierarchy, node, node + options.columns, column);
            }
        }
    }
    HighwayBuilder(world, options, hierarchy).Build();
    AddExtras(out, draw, options);
    return out;
}

RoadNetworkOptions RandomWorldNetworkOptions(const RandomWorld& random, bool withChains) {
    RoadNetworkOptions network;
    network.maps = random.levels;
    for (const auto& [node, extras] : random.extras) {
        network.extras[0][node] = extras;
    }
    if (withChains && random.levels > 1) {
        network.optimisationStarts.assign(std::begin(kRandomWorldChainStarts),
                                          std::begin(kRandomWorldChainStarts) + random.levels);
        network.o2sColumns = {ColumnType::UInt32, ColumnType::UInt32, ColumnType::Float32,
                              ColumnType::Float32, ColumnType::UInt32};
        network.s2oColumns = {ColumnType::UInt32, ColumnType::UInt32};
    }
    return network;
}

} // namespace testdata
