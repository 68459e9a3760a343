#pragma once
// A router over a written random or hand-made world, with the oracle and random places.

#include "routing/routercore.h"
#include "routing/tests/networkfixture.h"
#include "routing/tests/routeoracle.h"
#include "testdata/randomworld.h"

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <memory>
#include <optional>
#include <random>
#include <utility>

namespace routingtest {

struct RouterWorld {
    std::unique_ptr<WrittenNetwork> written;
    testdata::RoadWorld world;
    RouteOptions options;
    std::unique_ptr<RouterCore> router;

    [[nodiscard]] bool IsReady() const { return written && written->isLoaded; }
};

// Writes and loads the world and sets up a router over it with the options.
inline std::unique_ptr<RouterWorld>
MakeRouterWorld(testdata::RoadWorld world, const RouteOptions& options,
                testdata::RoadNetworkOptions networkOptions,
                SearchMemoryReserve& reserve = SearchMemoryReserve::Shared()) {
    auto out = std::make_unique<RouterWorld>();
    out->world = world;
    out->options = options;
    out->written = WriteAndLoad(std::move(world), std::move(networkOptions));
    if (!out->IsReady()) {
        return out;
    }
    out->router = std::make_unique<RouterCore>(reserve);
    // The network lives in the written fixture, which outlives the router.
    out->router->SetNetwork(RoadNetworkPtr(out->written->network.get(), [](RoadNetwork*) {}));
    out->router->SetOptions(options);
    return out;
}

inline std::unique_ptr<RouterWorld> MakeRouterWorld(testdata::RoadWorld world,
                                                    const RouteOptions& options) {
    testdata::RoadNetworkOptions networkOptions;
    return MakeRouterWorld(std::move(world), options, std::move(networkOptions));
}

// The distance bands routes are judged in: under 5 km, 5 to 40 km, over 40 km.
inline constexpr double kBandMetres[] = {0.0, 5000.0, 40000.0, 1e12};

// The band (0, 1 or 2) of an air distance in metres.
inline std::size_t DistanceBand(double metres) {
    return static_cast<std::size_t>(
        std::upper_bound(std::begin(kBandMetres), std::end(kBandMetres), metres) -
        std::begin(kBandMetres) - 1);
}

// Random places on nodes or on links open to cars (offsets whole tenths of a metre).
class PlaceDraw {
public:
    PlaceDraw(const testdata::RoadWorld& world, std::uint32_t seed)
        : m_world(&world)
        , m_engine(seed) {}

    [[nodiscard]] OraclePlace Node() {
        return {static_cast<std::uint32_t>(m_engine() % m_world->nodes.size()), std::nullopt, 0};
    }
    [[nodiscard]] OraclePlace OnLink() {
        for (;;) {
            const auto link = static_cast<std::uint32_t>(m_engine() % m_world->links.size());
            const testdata::WorldLink& l = m_world->links[link];
            if (!RouteOracle::IsOpenToCars(l.roadClass)) {
                continue;
            }
            const std::uint32_t tenths = l.lengthUnits * 50;
            const double offset = static_cast<double>(m_engine() % (tenths + 1)) / 10.0;
            return {(m_engine() & 1u) != 0 ? l.from : l.to, link,
                    static_cast<double>(static_cast<float>(offset))};
        }
    }

    // Two places on nodes or on links; nullopt when they fall on the same node or link.
    [[nodiscard]] std::optional<std::pair<OraclePlace, OraclePlace>> Pair(bool onLinks) {
        const OraclePlace start = onLinks ? OnLink() : Node();
        const OraclePlace destination = onLinks ? OnLink() : Node();
        if ((start.link && start.link == destination.link) ||
            (!start.link && start.node == destination.node)) {
            return std::nullopt;
        }
        return std::make_pair(start, destination);
    }

private:
    const testdata::RoadWorld* m_world;
    std::mt19937 m_engine;
};

// The network options that write a random world's extras on level 0.
inline testdata::RoadNetworkOptions NetworkOptionsOf(const testdata::RandomWorld& random) {
    testdata::RoadNetworkOptions network;
    for (const auto& [node, extras] : random.extras) {
        network.extras[0][node] = extras;
    }
    return network;
}

} // namespace routingtest
