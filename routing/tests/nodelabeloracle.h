#pragma once
// What a search that keeps one arrival per node can reach, as a reference for the router with
// turn tables. A backward search from the destination keeps, per node, its least cost to the
// destination and the one link it leaves by; a turn into that link that is prohibited cuts the
// node off for every link that arrives by it, even where a dearer way on would be allowed. A
// forward search from the start, also with one arrival per node, meets those labels at nodes
// and over links. Written over the world model with the exact oracle's costs and turn rules.

#include "routing/tests/routeoracle.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <queue>
#include <vector>

namespace routingtest {

class NodeLabelOracle {
public:
    // The costs of a route that two searches with one arrival per node find: `atStart` is the
    // least meeting at the start's own crossings (its node or the usable ends of its link, with
    // the arrival the forward search keeps there); `anyMeeting` the least cost over every
    // meeting the forward search makes with the destination search. kUnreachable where there
    // is none.
    struct Bounds {
        double atStart = RouteOracle::kUnreachable;
        double anyMeeting = RouteOracle::kUnreachable;
    };

    NodeLabelOracle(const testdata::RoadWorld& world, const RouteOracle& oracle)
        : m_world(&world)
        , m_oracle(&oracle)
        , m_linksOf(world.nodes.size()) {
        for (std::uint32_t i = 0; i < world.links.size(); ++i) {
            m_linksOf[world.links[i].from].push_back(i);
            m_linksOf[world.links[i].to].push_back(i);
        }
    }

    [[nodiscard]] Bounds Reach(const OraclePlace& start, const OraclePlace& destination) const {
        const RouteOracle& o = *m_oracle;
        // The usable ends of the start link and what its part costs to each.
        std::vector<Label> starts;
        if (start.link) {
            const std::uint32_t k = *start.link;
            const std::uint32_t far = o.OtherEnd(k, start.node);
            if (o.CanDrive(k, start.node)) {
                starts.push_back({o.PartCost(k, o.Metres(k) - start.offset), far, k});
            }
            if (o.CanDrive(k, far)) {
                starts.push_back({o.PartCost(k, start.offset), start.node, k});
            }
        } else {
            starts.push_back({0.0, start.node, kNone});
        }
        const auto isStartEnd = [&](std::uint32_t node) {
            return std::any_of(starts.begin(), starts.end(),
                               [&](const Label& s) { return s.link != kNone && s.node == node; });
        };

        // Backward: `link` is the link a node is left by towards the destination.
        std::vector<Label> seeds;
        if (destination.link) {
            const std::uint32_t k = *destination.link;
            const std::uint32_t far = o.OtherEnd(k, destination.node);
            if (o.CanDrive(k, destination.node)) {
                seeds.push_back({o.PartCost(k, destination.offset), destination.node, k});
            }
            if (o.CanDrive(k, far)) {
                seeds.push_back({o.PartCost(k, o.Metres(k) - destination.offset), far, k});
            }
        } else {
            seeds.push_back({0.0, destination.node, kNone});
        }
        const std::vector<Label> back =
            Search(seeds, [&](std::uint32_t at, std::uint32_t out, std::uint32_t in) {
                // `in` arrives at `at` (driven from its other end), `out` leaves it.
                const std::uint32_t from = o.OtherEnd(in, at);
                if (!o.CanDrive(in, from) || (out != kNone && !o.MayTurn(at, in, out))) {
                    return false;
                }
                // At an end of the start link the route comes off that link, so `in` must be
                // allowed after it there.
                return !isStartEnd(from) || o.MayTurn(from, *start.link, in);
            });

        // Forward: `link` is the arrival link.
        const std::vector<Label> forward =
            Search(starts, [&](std::uint32_t at, std::uint32_t in, std::uint32_t out) {
                return o.CanDrive(out, at) && (in == kNone || o.MayTurn(at, in, out));
            });
        Bounds bounds;
        for (const Label& s : starts) {
            // A start crossing reached more cheaply by another link keeps that arrival.
            const Label& f = forward[s.node];
            const Label& d = back[s.node];
            if (d.cost != RouteOracle::kUnreachable && MayPass(s.node, f.link, d.link)) {
                bounds.atStart = std::min(bounds.atStart, f.cost + d.cost);
            }
        }
        for (std::uint32_t node = 0; node < forward.size(); ++node) {
            const Label& s = forward[node];
            const Label& d = back[node];
            if (s.cost == RouteOracle::kUnreachable || d.cost == RouteOracle::kUnreachable) {
                continue;
            }
            if (MayPass(node, s.link, d.link)) {
                bounds.anyMeeting = std::min(bounds.anyMeeting, s.cost + d.cost);
            }
            // Over a link into a node whose own arrival is another one.
            for (const std::uint32_t link : m_linksOf[node]) {
                const std::uint32_t next = o.OtherEnd(link, node);
                const Label& there = back[next];
                if (link == s.link || !o.CanDrive(link, node) ||
                    (s.link != kNone && !o.MayTurn(node, s.link, link)) ||
                    there.cost == RouteOracle::kUnreachable || !MayPass(next, link, there.link)) {
                    continue;
                }
                bounds.anyMeeting =
                    std::min(bounds.anyMeeting, s.cost + o.WholeLinkCost(link) + there.cost);
            }
        }
        return bounds;
    }

private:
    static constexpr std::uint32_t kNone = 0xFFFFFFFFu;
    struct Label {
        double cost = RouteOracle::kUnreachable;
        std::uint32_t node = 0;
        std::uint32_t link = kNone;
    };

    // Whether a route arriving by `in` may go on by `out` at the node (none: an end).
    [[nodiscard]] bool MayPass(std::uint32_t node, std::uint32_t in, std::uint32_t out) const {
        return in == kNone || out == kNone || m_oracle->MayTurn(node, in, out);
    }

    // Dijkstra with one label per node: a settled node's link is the only one it expands
    // after; `mayStep(node, itsLink, next)` says whether `next` may follow it there.
    template <typename MayStep>
    [[nodiscard]] std::vector<Label> Search(const std::vector<Label>& seeds,
                                            const MayStep& mayStep) const {
        std::vector<Label> labels(m_world->nodes.size());
        std::vector<bool> settled(m_world->nodes.size(), false);
        using Entry = std::pair<double, std::uint32_t>;
        std::priority_queue<Entry, std::vector<Entry>, std::greater<>> open;
        for (const Label& seed : seeds) {
            if (seed.cost < labels[seed.node].cost) {
                labels[seed.node] = seed;
                open.emplace(seed.cost, seed.node);
            }
        }
        while (!open.empty()) {
            const auto [cost, node] = open.top();
            open.pop();
            if (settled[node] || cost > labels[node].cost) {
                continue;
            }
            settled[node] = true;
            for (const std::uint32_t link : m_linksOf[node]) {
                const std::uint32_t next = m_oracle->OtherEnd(link, node);
                if (settled[next] || link == labels[node].link ||
                    !mayStep(node, labels[node].link, link)) {
                    continue;
                }
                const double reached = cost + m_oracle->WholeLinkCost(link);
                if (reached < labels[next].cost) {
                    labels[next] = {reached, next, link};
                    open.emplace(reached, next);
                }
            }
        }
        return labels;
    }

    const testdata::RoadWorld* m_world;
    const RouteOracle* m_oracle;
    std::vector<std::vector<std::uint32_t>> m_linksOf;
};

} // namespace routingtest
