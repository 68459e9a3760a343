// Route calculation on a random single-level world of 10,000 crossings: Calculate and
// BuildRecords of the router core against an exact Dijkstra over the same world in the same
// run. "ratio" is router time over Dijkstra time; "cost_median", "cost_p95" and "cost_max" are
// the route's cost over the optimum on the pairs measured (1.0 is optimal).
#include "routing/tests/routerfixture.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <vector>

namespace {

struct BenchWorld {
    std::unique_ptr<routingtest::RouterWorld> routed;
    std::vector<std::pair<routingtest::OraclePlace, routingtest::OraclePlace>> pairs;
};

BenchWorld& World() {
    static const std::unique_ptr<BenchWorld> world = [] {
        auto made = std::make_unique<BenchWorld>();
        testdata::RandomWorldOptions options;
        options.seed = 21;
        options.columns = 100;
        options.rows = 100;
        made->routed =
            routingtest::MakeRouterWorld(testdata::MakeRandomWorld(options).world, RouteOptions{});
        if (!made->routed->IsReady()) {
            std::abort();
        }
        routingtest::PlaceDraw draw(made->routed->world, 22);
        while (made->pairs.size() < 64) {
            const routingtest::OraclePlace start = draw.OnLink();
            const routingtest::OraclePlace destination = draw.OnLink();
            if (start.link != destination.link) {
                made->pairs.emplace_back(start, destination);
            }
        }
        return made;
    }();
    return *world;
}

void CalculateAgainstDijkstra(benchmark::State& state) {
    BenchWorld& world = World();
    RouterCore& router = *world.routed->router;
    const routingtest::RouteOracle oracle(world.routed->world, world.routed->options);
    double seconds = 0.0;
    double oracleSeconds = 0.0;
    std::vector<double> ratios;
    std::size_t next = 0;
    for (auto _ : state) {
        const auto& [start, destination] = world.pairs[next++ % world.pairs.size()];
        const RoutePositionEntry from = oracle.Entry(start);
        const RoutePositionEntry to = oracle.Entry(destination);
        const auto begin = std::chrono::steady_clock::now();
        const std::int32_t result = router.Calculate(from, to, CalculationFlags{});
        const std::vector<RouteRecord>& records = router.BuildRecords(-1, false);
        const auto middle = std::chrono::steady_clock::now();
        const double optimum = oracle.Cost(start, destination);
        const auto end = std::chrono::steady_clock::now();
        seconds += std::chrono::duration<double>(middle - begin).count();
        oracleSeconds += std::chrono::duration<double>(end - middle).count();
        std::string problem;
        if (result == 6 && optimum < routingtest::RouteOracle::kUnreachable) {
            if (const auto cost = oracle.PriceRecords(records, start, destination, problem)) {
                ratios.push_back(*cost / optimum);
            }
        }
    }
    state.counters["ratio"] = oracleSeconds > 0.0 ? seconds / oracleSeconds : 0.0;
    if (!ratios.empty()) {
        std::sort(ratios.begin(), ratios.end());
        state.counters["cost_median"] = ratios[ratios.size() / 2];
        state.counters["cost_p95"] = ratios[ratios.size() * 95 / 100];
        state.counters["cost_max"] = ratios.back();
        state.counters["routes"] = static_cast<double>(ratios.size());
    }
}

} // namespace

BENCHMARK(CalculateAgainstDijkstra)->Iterations(128)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
