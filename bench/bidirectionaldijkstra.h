#pragma once
// The time baseline of the router benchmark: a bidirectional node-based Dijkstra over a world's
// level-0 graph held in compact arrays (one forward and one backward arc list per node), each link
// priced for cars from the route options. Exact for worlds without turn prohibitions. It shares
// no code with the router. One query at a time per object.

#include "routing/routeoptions.h"
#include "testdata/roadworld.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <queue>
#include <utility>
#include <vector>

namespace bench {

// A route end: a world node, or a place on a world link `offset` metres from `node`, one of its
// ends.
struct GraphPlace {
    std::uint32_t node = 0;
    std::optional<std::uint32_t> link;
    double offset = 0.0;
};

class BidirectionalDijkstra {
public:
    static constexpr double kUnreachable = std::numeric_limits<double>::infinity();

    // The world must outlive the object.
    BidirectionalDijkstra(const testdata::RoadWorld& world, const RouteOptions& options)
        : m_world(&world) {
        const std::size_t nodes = world.nodes.size();
        std::vector<std::uint32_t> outCount(nodes + 1, 0);
        std::vector<std::uint32_t> inCount(nodes + 1, 0);
        ForEachArc([&](std::uint32_t from, std::uint32_t to, std::uint32_t) {
            ++outCount[from + 1];
            ++inCount[to + 1];
        });
        for (std::size_t i = 1; i <= nodes; ++i) {
            outCount[i] += outCount[i - 1];
            inCount[i] += inCount[i - 1];
        }
        m_sides[0].first = outCount;
        m_sides[1].first = inCount;
        m_sides[0].arcs.resize(outCount.back());
        m_sides[1].arcs.resize(inCount.back());
        ForEachArc([&](std::uint32_t from, std::uint32_t to, std::uint32_t link) {
            m_sides[0].arcs[outCount[from]++] = {to, link, 0.0};
            m_sides[1].arcs[inCount[to]++] = {from, link, 0.0};
        });
        for (Side& side : m_sides) {
            side.cost.assign(nodes, kUnreachable);
            side.stamp.assign(nodes, 0);
        }
        SetOptions(options);
    }

    // Prices every arc again for the options.
    void SetOptions(const RouteOptions& options) {
        m_options = options;
        for (Side& side : m_sides) {
            for (Arc& arc : side.arcs) {
                arc.cost = WholeCost(arc.link);
            }
        }
    }

    // The least cost from start to destination, kUnreachable without a route. A place's own
    // link is driven only in part, from the place to one of its ends.
    [[nodiscard]] double Cost(const GraphPlace& start, const GraphPlace& destination) {
        ++m_query;
        m_best = kUnreachable;
        m_settled = 0;
        m_excluded = {start.link.value_or(kNone), destination.link.value_or(kNone)};
        for (Side& side : m_sides) {
            side.open = {};
        }
        Seed(0, start);
        Seed(1, destination);
        while (!m_sides[0].open.empty() && !m_sides[1].open.empty()) {
            const double front = m_sides[0].open.top().first;
            const double back = m_sides[1].open.top().first;
            if (front + back >= m_best) {
                break;
            }
            SettleNext(front <= back ? 0 : 1);
        }
        return m_best;
    }

    // Nodes settled by the last query, both sides.
    [[nodiscard]] std::uint32_t GetSettledCount() const { return m_settled; }

private:
    static constexpr std::uint32_t kNone = 0xFFFFFFFFu;

    struct Arc {
        std::uint32_t to;
        std::uint32_t link;
        double cost;
    };
    using Entry = std::pair<double, std::uint32_t>;
    struct Side {
        std::vector<std::uint32_t> first; // arcs of node i: [first[i], first[i + 1])
        std::vector<Arc> arcs;
        std::vector<double> cost;
        std::vector<std::uint32_t> stamp; // the query that set cost
        std::priority_queue<Entry, std::vector<Entry>, std::greater<>> open;
    };

    [[nodiscard]] static bool IsOpenToCars(std::uint32_t roadClass) {
        return roadClass != 24 && roadClass != 25 && roadClass != 26 && roadClass != 28;
    }

    // Calls arc(from, to, link) for each direction a car may drive each link.
    template <typename ArcVisitor> void ForEachArc(ArcVisitor arc) const {
        for (std::uint32_t i = 0; i < m_world->links.size(); ++i) {
            const testdata::WorldLink& link = m_world->links[i];
            if (!IsOpenToCars(link.roadClass)) {
                continue;
            }
            arc(link.from, link.to, i);
            if (!link.isOneWay) {
                arc(link.to, link.from, i);
            }
        }
    }

    [[nodiscard]] bool CanDrive(std::uint32_t link, std::uint32_t from) const {
        const testdata::WorldLink& l = m_world->links[link];
        return IsOpenToCars(l.roadClass) && (!l.isOneWay || l.from == from);
    }
    [[nodiscard]] double TimeWeight() const {
        return m_options.routeType == 0   ? 1.0
               : m_options.routeType == 2 ? static_cast<double>(m_options.mixWeight)
                                          : 0.0;
    }
    // km/h: the class's table speed, at least 10, times its preference factor.
    [[nodiscard]] double ClassSpeed(std::uint32_t roadClass) const {
        const double table = std::max<double>(m_options.speedTable[roadClass], 10.0);
        const std::uint32_t preference = (roadClass & 16u) != 0
                                             ? m_options.specialLinkPreference
                                             : m_options.preference[roadClass & 15u];
        return table * m_options.factor[preference];
    }
    // A whole link: classes 0..15 drive 30 / (class + 1) km/h faster.
    [[nodiscard]] double WholeCost(std::uint32_t link) const {
        const testdata::WorldLink& l = m_world->links[link];
        // Whole km/h: the division is meant to truncate.
        const std::uint32_t bonus = l.roadClass < 16 ? 30u / (l.roadClass + 1u) : 0u;
        const double w = TimeWeight();
        return l.lengthUnits * 5.0 *
               ((1.0 - w) / (ClassSpeed(l.roadClass) + static_cast<double>(bonus)) + w / 30.0);
    }
    [[nodiscard]] double PartCost(std::uint32_t link, double metres) const {
        const double w = TimeWeight();
        return std::max(metres, 1.0) *
               ((1.0 - w) / ClassSpeed(m_world->links[link].roadClass) + w / 30.0);
    }

    void Reach(int sideIndex, std::uint32_t node, double cost) {
        Side& side = m_sides[sideIndex];
        if (side.stamp[node] == m_query && side.cost[node] <= cost) {
            return;
        }
        side.stamp[node] = m_query;
        side.cost[node] = cost;
        side.open.emplace(cost, node);
        const Side& other = m_sides[1 - sideIndex];
        if (other.stamp[node] == m_query) {
            m_best = std::min(m_best, cost + other.cost[node]);
        }
    }

    // A place on a node starts there; on a link, at the ends its part leads to (the start side)
    // or comes from (the destination side).
    void Seed(int sideIndex, const GraphPlace& place) {
        if (!place.link) {
            Reach(sideIndex, place.node, 0.0);
            return;
        }
        const std::uint32_t k = *place.link;
        const testdata::WorldLink& l = m_world->links[k];
        const std::uint32_t far = l.from == place.node ? l.to : l.from;
        const double metres = l.lengthUnits * 5.0;
        const bool isStart = sideIndex == 0;
        if (CanDrive(k, isStart ? place.node : far)) {
            Reach(sideIndex, far, PartCost(k, metres - place.offset));
        }
        if (CanDrive(k, isStart ? far : place.node)) {
            Reach(sideIndex, place.node, PartCost(k, place.offset));
        }
    }

    void SettleNext(int sideIndex) {
        Side& side = m_sides[sideIndex];
        const auto [cost, node] = side.open.top();
        side.open.pop();
        if (cost > side.cost[node]) {
            return; // an older entry of a node reached again more cheaply
        }
        ++m_settled;
        for (std::uint32_t a = side.first[node]; a < side.first[node + 1]; ++a) {
            const Arc& arc = side.arcs[a];
            if (arc.link != m_excluded.first && arc.link != m_excluded.second) {
                Reach(sideIndex, arc.to, cost + arc.cost);
            }
        }
    }

    const testdata::RoadWorld* m_world;
    RouteOptions m_options;
    Side m_sides[2]; // forward from the start, backward from the destination
    std::uint32_t m_query = 0;
    double m_best = kUnreachable;
    std::uint32_t m_settled = 0;
    std::pair<std::uint32_t, std::uint32_t> m_excluded{kNone, kNone};
};

} // namespace bench
