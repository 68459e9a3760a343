#pragma once
// An exact reference for the router: Dijkstra over the world model (not the network files) with
// link costs written from the cost formula, passability by class and direction for cars, turn
// prohibitions and prohibited manoeuvres over several links, and positions on links as virtual
// nodes joined to the usable ends of their link. Also prices a route's records over the same
// world and checks that they join up and make no prohibited turn or manoeuvre.

#include "routing/routeoptions.h"
#include "routing/routeposition.h"
#include "routing/routerecord.h"
#include "testdata/roadnetworkwriter.h"
#include "testdata/roadworld.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <optional>
#include <queue>
#include <set>
#include <string>
#include <vector>

namespace routingtest {

// A route end: a world node, or a place on a world link measured from one of its nodes.
struct OraclePlace {
    std::uint32_t node = 0;            // the node, or the link end the offset runs from
    std::optional<std::uint32_t> link; // world link index
    double offset = 0.0;               // metres from `node`
};

class RouteOracle {
public:
    static constexpr double kUnreachable = std::numeric_limits<double>::infinity();

    RouteOracle(const testdata::RoadWorld& world, const RouteOptions& options)
        : m_world(&world)
        , m_options(&options)
        , m_indexAtFrom(world.links.size())
        , m_indexAtTo(world.links.size())
        , m_linksOf(world.nodes.size()) {
        for (std::uint32_t i = 0; i < world.links.size(); ++i) {
            const testdata::WorldLink& l = world.links[i];
            m_indexAtFrom[i] = static_cast<std::uint8_t>(m_linksOf[l.from].size());
            m_linksOf[l.from].push_back(i);
            m_indexAtTo[i] = m_indexAtFrom[i];
            if (l.to != l.from) {
                m_indexAtTo[i] = static_cast<std::uint8_t>(m_linksOf[l.to].size());
                m_linksOf[l.to].push_back(i);
            }
        }
    }

    [[nodiscard]] double Weight() const {
        switch (m_options->routeType) {
        case 0:
            return 1.0;
        case 2:
            return m_options->mixWeight;
        default:
            return 0.0;
        }
    }
    // km/h of a class for cars: the table speed, at least 10, times its preference factor.
    [[nodiscard]] double Speed(std::uint32_t roadClass) const {
        double base = m_options->speedTable[roadClass];
        base = std::max(base, 10.0);
        const std::uint32_t preference = (roadClass & 16u) != 0
                                             ? m_options->specialLinkPreference
                                             : m_options->preference[roadClass & 15u];
        return base * m_options->factor[preference];
    }
    [[nodiscard]] static bool IsOpenToCars(std::uint32_t roadClass) {
        return roadClass != 24 && roadClass != 25 && roadClass != 26 && roadClass != 28;
    }
    [[nodiscard]] double Metres(std::uint32_t link) const {
        return m_world->links[link].lengthUnits * 5.0;
    }
    [[nodiscard]] double WholeLinkCost(std::uint32_t link) const {
        const std::uint32_t c = m_world->links[link].roadClass;
        const double bonus = c < 16 ? static_cast<double>(30 / (c + 1)) : 0.0;
        const double w = Weight();
        return Metres(link) * ((1.0 - w) / (Speed(c) + bonus) + w / 30.0);
    }
    [[nodiscard]] double PartCost(std::uint32_t link, double metres) const {
        const double w = Weight();
        return std::max(metres, 1.0) *
               ((1.0 - w) / Speed(m_world->links[link].roadClass) + w / 30.0);
    }
    // Whether the link may be driven from node `from` to its other end.
    [[nodiscard]] bool CanDrive(std::uint32_t link, std::uint32_t from) const {
        const testdata::WorldLink& l = m_world->links[link];
        return IsOpenToCars(l.roadClass) && (!l.isOneWay || l.from == from);
    }
    [[nodiscard]] std::uint32_t OtherEnd(std::uint32_t link, std::uint32_t node) const {
        const testdata::WorldLink& l = m_world->links[link];
        return l.from == node ? l.to : l.from;
    }

    // Turns that may not be made at a node: (arrival link index, leaving link index) there, the
    // node's links counted in world order. Turning back over the arrival link is never allowed.
    using Prohibitions = std::map<std::uint32_t, std::set<std::pair<std::uint8_t, std::uint8_t>>>;
    void SetProhibitions(Prohibitions prohibitions) { m_prohibitions = std::move(prohibitions); }

    [[nodiscard]] std::uint8_t IndexAt(std::uint32_t node, std::uint32_t link) const {
        return m_world->links[link].from == node ? m_indexAtFrom[link] : m_indexAtTo[link];
    }
    [[nodiscard]] bool MayTurn(std::uint32_t node, std::uint32_t in, std::uint32_t out) const {
        if (in == out) {
            return false;
        }
        const auto found = m_prohibitions.find(node);
        return found == m_prohibitions.end() ||
               !found->second.contains({IndexAt(node, in), IndexAt(node, out)});
    }

    // A link driven from one of its ends: 2 x link, + 1 when driven from `from` to `to`.
    [[nodiscard]] std::uint32_t Driven(std::uint32_t link, std::uint32_t fromNode) const {
        return 2u * link + (m_world->links[link].from == fromNode ? 1u : 0u);
    }
    // The node a `Driven` link leads to.
    [[nodiscard]] std::uint32_t Reached(std::uint32_t driven) const {
        const testdata::WorldLink& l = m_world->links[driven / 2];
        return driven % 2 == 1 ? l.to : l.from;
    }
    // Links driven one after the other (`Driven` values), in driving order.
    using Manoeuvre = std::vector<std::uint32_t>;
    // A manoeuvre that may not be driven; its last link is the one turned into.
    void AddManoeuvre(const Manoeuvre& manoeuvre) {
        if (manoeuvre.empty()) {
            return;
        }
        for (std::size_t length = 1; length < manoeuvre.size(); ++length) {
            m_manoeuvreStarts.emplace(manoeuvre.begin(),
                                      manoeuvre.begin() + static_cast<std::ptrdiff_t>(length));
        }
        m_manoeuvresInto[manoeuvre.back()].push_back(manoeuvre);
    }
    // The manoeuvre a list-2 item of the node names: value 0 the link the node is left by, value
    // 1 the link it is reached by, value k the link by which the crossing reached over value
    // k - 1 was reached. nullopt when a value names no link there or the item names no link
    // the node is reached by.
    [[nodiscard]] std::optional<Manoeuvre>
    ManoeuvreOf(std::uint32_t node, const testdata::ManoeuvreItemDescription& item) const {
        if (item.values.empty()) {
            return std::nullopt;
        }
        Manoeuvre backwards;
        std::uint32_t at = node;
        for (const std::int8_t value : item.values) {
            if (value < 0 || static_cast<std::size_t>(value) >= m_linksOf[at].size()) {
                return std::nullopt;
            }
            const std::uint32_t link = m_linksOf[at][static_cast<std::size_t>(value)];
            const std::uint32_t before = OtherEnd(link, at);
            backwards.push_back(Driven(link, before));
            at = before;
        }
        if (item.value0 >= m_linksOf[node].size()) {
            return std::nullopt;
        }
        Manoeuvre manoeuvre(backwards.rbegin(), backwards.rend());
        manoeuvre.push_back(Driven(m_linksOf[node][item.value0], node));
        return manoeuvre;
    }
    // Whether driving `next` after the links `driven` completes a prohibited manoeuvre.
    [[nodiscard]] bool CompletesManoeuvre(const Manoeuvre& driven, std::uint32_t next) const {
        const auto into = m_manoeuvresInto.find(next);
        if (into == m_manoeuvresInto.end()) {
            return false;
        }
        return std::any_of(into->second.begin(), into->second.end(), [&](const Manoeuvre& m) {
            const std::size_t before = m.size() - 1;
            return before <= driven.size() &&
                   std::equal(m.begin(), m.end() - 1,
                              driven.end() - static_cast<std::ptrdiff_t>(before));
        });
    }

    // The least cost from start to destination; kUnreachable when there is no route. Labels
    // are per arrival link and the part of a prohibited manoeuvre driven up to it, so turn
    // prohibitions and manoeuvres are honoured exactly.
    [[nodiscard]] double Cost(const OraclePlace& start, const OraclePlace& destination) const {
        // A state: the links driven that still matter, which are the arrival link and, before
        // it, the longest run of links that begins a prohibited manoeuvre; none for a start on
        // a node. Runs of one link, by far the most, are found by that link.
        constexpr std::size_t kNew = std::numeric_limits<std::size_t>::max();
        std::vector<std::size_t> byArrival(2u * m_world->links.size(), kNew);
        std::map<Manoeuvre, std::size_t> byRun;
        std::vector<Manoeuvre> states;
        std::vector<double> best;
        using Entry = std::pair<double, std::size_t>;
        std::priority_queue<Entry, std::vector<Entry>, std::greater<>> open;
        const auto reach = [&](Manoeuvre run, double cost) {
            std::size_t& id =
                run.size() == 1 ? byArrival[run[0]] : byRun.try_emplace(run, kNew).first->second;
            if (id == kNew) {
                id = states.size();
                states.push_back(std::move(run));
                best.push_back(kUnreachable);
            }
            if (cost < best[id]) {
                best[id] = cost;
                open.emplace(cost, id);
            }
        };
        if (start.link) {
            const std::uint32_t k = *start.link;
            const std::uint32_t far = OtherEnd(k, start.node);
            if (CanDrive(k, start.node)) {
                reach(After({}, start.node, k), PartCost(k, Metres(k) - start.offset));
            }
            if (CanDrive(k, far)) {
                reach(After({}, far, k), PartCost(k, start.offset));
            }
        } else {
            reach({}, 0.0);
        }
        double toDestination = kUnreachable;
        while (!open.empty()) {
            const auto [cost, id] = open.top();
            open.pop();
            if (cost >= toDestination) {
                break;
            }
            if (cost > best[id]) {
                continue;
            }
            // A copy: `reach` grows the states.
            const Manoeuvre driven = states[id];
            const std::uint32_t node = driven.empty() ? start.node : Reached(driven.back());
            const auto mayLeave = [&](std::uint32_t out) {
                return (driven.empty() || MayTurn(node, driven.back() / 2, out)) &&
                       !CompletesManoeuvre(driven, Driven(out, node));
            };
            if (!destination.link && node == destination.node) {
                toDestination = cost;
                continue;
            }
            if (destination.link) {
                const std::uint32_t k = *destination.link;
                const std::uint32_t far = OtherEnd(k, destination.node);
                if (node == far && CanDrive(k, far) && mayLeave(k)) {
                    toDestination =
                        std::min(toDestination, cost + PartCost(k, Metres(k) - destination.offset));
                }
                if (node == destination.node && CanDrive(k, node) && mayLeave(k)) {
                    toDestination = std::min(toDestination, cost + PartCost(k, destination.offset));
                }
            }
            for (const std::uint32_t link : m_linksOf[node]) {
                // A position's own link is only driven in part: whole, it would turn back.
                if (link == start.link || link == destination.link || !CanDrive(link, node) ||
                    !mayLeave(link)) {
                    continue;
                }
                reach(After(driven, node, link), cost + WholeLinkCost(link));
            }
        }
        return toDestination;
    }

    // The records' cost, or a message when they do not make a drivable route between the places.
    [[nodiscard]] std::optional<double> PriceRecords(const std::vector<RouteRecord>& records,
                                                     const OraclePlace& start,
                                                     const OraclePlace& destination,
                                                     std::string& problem) const {
        if (records.empty()) {
            problem = "no records";
            return std::nullopt;
        }
        const auto at = [&](const RouteRecord& r, std::uint32_t node) {
            const GeoPoint p = m_world->Position(node);
            return r.x == p.x && r.y == p.y;
        };
        const auto linkOf = [&](const RouteRecord& r) -> std::optional<std::uint32_t> {
            if (r.linkId == 0 || r.linkId > m_world->links.size()) {
                return std::nullopt;
            }
            return r.linkId - 1;
        };
        double cost = 0.0;
        // Where the next record must be entered, once a record has fixed it.
        bool hasNode = false;
        std::uint32_t node = 0;
        std::optional<std::uint32_t> previous;
        Manoeuvre driven;
        for (std::size_t i = 0; i < records.size(); ++i) {
            const RouteRecord& r = records[i];
            const auto link = linkOf(r);
            if (!link) {
                problem = "record " + std::to_string(i) + " has no world link";
                return std::nullopt;
            }
            if (r.length < 1) {
                problem = "record " + std::to_string(i) + " shorter than 1 m";
                return std::nullopt;
            }
            const bool isFirstPart = i == 0 && start.link.has_value();
            const bool isLastPart = i + 1 == records.size() && destination.link.has_value();
            if (isFirstPart && link != start.link) {
                problem = "first record is not the start link";
                return std::nullopt;
            }
            if (isLastPart && link != destination.link) {
                problem = "last record is not the destination link";
                return std::nullopt;
            }
            if (isFirstPart) {
                // Leaves by the end that the next record is entered at.
                if (records.size() == 1) {
                    problem = "a one-record route between different links";
                    return std::nullopt;
                }
                const std::uint32_t far = OtherEnd(*link, start.node);
                const bool viaFar = at(records[1], far);
                if (!viaFar && !at(records[1], start.node)) {
                    problem = "route does not leave the start link at an end";
                    return std::nullopt;
                }
                const std::uint32_t from = viaFar ? start.node : far;
                if (!CanDrive(*link, from)) {
                    problem = "start link driven against its direction";
                    return std::nullopt;
                }
                cost += PartCost(*link, viaFar ? Metres(*link) - start.offset : start.offset);
                node = viaFar ? far : start.node;
                hasNode = true;
                previous = link;
                driven.push_back(Driven(*link, from));
                continue;
            }
            std::uint32_t entered = m_world->links[*link].from;
            if (!at(r, entered)) {
                entered = m_world->links[*link].to;
                if (!at(r, entered)) {
                    problem = "record " + std::to_string(i) + " not entered at a link end";
                    return std::nullopt;
                }
            }
            if (hasNode && node != entered) {
                problem = "record " + std::to_string(i) + " does not join the one before";
                return std::nullopt;
            }
            if (previous && !MayTurn(entered, *previous, *link)) {
                problem = "record " + std::to_string(i) + " follows a prohibited turn";
                return std::nullopt;
            }
            if (CompletesManoeuvre(driven, Driven(*link, entered))) {
                problem = "record " + std::to_string(i) + " completes a prohibited manoeuvre";
                return std::nullopt;
            }
            previous = link;
            driven.push_back(Driven(*link, entered));
            if (!hasNode && !start.link && entered != start.node) {
                problem = "route does not begin at the start";
                return std::nullopt;
            }
            if (isLastPart) {
                const bool fromNode = entered == destination.node;
                if (!CanDrive(*link, entered)) {
                    problem = "destination link driven against its direction";
                    return std::nullopt;
                }
                cost += PartCost(*link, fromNode ? destination.offset
                                                 : Metres(*link) - destination.offset);
                hasNode = false;
                break;
            }
            if (!CanDrive(*link, entered)) {
                problem = "record " + std::to_string(i) + " driven against its direction";
                return std::nullopt;
            }
            cost += WholeLinkCost(*link);
            node = OtherEnd(*link, entered);
            hasNode = true;
        }
        if (!destination.link && (!hasNode || node != destination.node)) {
            problem = "route does not end at the destination";
            return std::nullopt;
        }
        return cost;
    }

    // The router's entry for a place.
    [[nodiscard]] RoutePositionEntry Entry(const OraclePlace& place) const {
        RoutePositionEntry entry;
        const GeoPoint a = m_world->Position(place.node);
        entry.nodePoint = a;
        entry.point = a;
        if (place.link) {
            const GeoPoint b = m_world->Position(OtherEnd(*place.link, place.node));
            const double share = place.offset / Metres(*place.link);
            entry.point = {static_cast<float>(a.x + (b.x - a.x) * share),
                           static_cast<float>(a.y + (b.y - a.y) * share)};
            entry.elementId = m_world->links[*place.link].elementId;
            entry.offset = static_cast<float>(place.offset);
        }
        return entry;
    }

private:
    // The links that still matter after `driven` and then `link` from `node`: the longest run
    // at their end that begins a prohibited manoeuvre, at least the last link.
    [[nodiscard]] Manoeuvre After(const Manoeuvre& driven, std::uint32_t node,
                                  std::uint32_t link) const {
        Manoeuvre next = driven;
        next.push_back(Driven(link, node));
        for (std::size_t skip = 0; skip + 1 < next.size(); ++skip) {
            Manoeuvre run(next.begin() + static_cast<std::ptrdiff_t>(skip), next.end());
            if (m_manoeuvreStarts.contains(run)) {
                return run;
            }
        }
        return {next.back()};
    }

    const testdata::RoadWorld* m_world;
    const RouteOptions* m_options;
    Prohibitions m_prohibitions;
    // The prohibited manoeuvres by the link they end with, and the runs that begin one.
    std::map<std::uint32_t, std::vector<Manoeuvre>> m_manoeuvresInto;
    std::set<Manoeuvre> m_manoeuvreStarts;
    // Each link's index among its node's links, counted in world order, and a node's links.
    std::vector<std::uint8_t> m_indexAtFrom;
    std::vector<std::uint8_t> m_indexAtTo;
    std::vector<std::vector<std::uint32_t>> m_linksOf;
};

} // namespace routingtest
