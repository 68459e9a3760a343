#pragma once
// What the router benchmarks count per query against the bidirectional Dijkstra, and the
// counters they report from it. One benchmark run at a time.

#include "routing/routercore.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

inline double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The value below which the share q of the sorted values lies; not for an empty list.
inline double Quantile(const std::vector<double>& sorted, double q) {
    return sorted[std::min(sorted.size() - 1, static_cast<std::size_t>(q * sorted.size()))];
}

// The Dijkstra's answer for one pair.
struct Optimum {
    double cost = 0.0; // BidirectionalDijkstra::kUnreachable without a route
    double seconds = 0.0;
    std::uint32_t settled = 0;
};

// Counters: "time_ratio" is router time over Dijkstra time summed over the pairs the router
// routes, "time_median", "time_p95" and "time_max" the same per pair; "router_ms" and
// "dijkstra_ms" are mean times per pair, "dijkstra_settled" the Dijkstra's mean settled nodes;
// "cost_median", "cost_p95" and "cost_max" the route's cost over the optimum (1.0 is optimal) on
// the "routes" priced; "unreachable" counts pairs without any route, "failed" those the router
// finds none for (of them "code10_19" out of search memory), "broken" routes whose records do not
// make a drivable route.
struct RouteTally {
    double routerSeconds = 0.0;
    double baselineSeconds = 0.0;
    double routedSeconds = 0.0; // of the pairs the router found a route for
    double routedBaselineSeconds = 0.0;
    double settled = 0.0;
    std::vector<double> costRatios;
    std::vector<double> timeRatios;
    int unreachable = 0;
    int failed = 0;
    int exhausted = 0;
    int broken = 0;

    // Counts one query of `result` taking `seconds`; true when its route is to be priced.
    [[nodiscard]] bool Add(std::int32_t result, double seconds, const Optimum& optimum) {
        routerSeconds += seconds;
        baselineSeconds += optimum.seconds;
        settled += optimum.settled;
        if (optimum.cost == std::numeric_limits<double>::infinity()) {
            ++unreachable;
            return false;
        }
        if (result != 6) {
            ++failed;
            exhausted += result == 10 || result == 19 ? 1 : 0;
            return false;
        }
        routedSeconds += seconds;
        routedBaselineSeconds += optimum.seconds;
        if (optimum.seconds > 0.0) {
            timeRatios.push_back(seconds / optimum.seconds);
        }
        return true;
    }
    // The route's cost as priced, nullopt when its records make no drivable route.
    void AddPrice(std::optional<double> cost, const Optimum& optimum) {
        if (cost) {
            costRatios.push_back(*cost / optimum.cost);
        } else {
            ++broken;
        }
    }

    void Report(benchmark::State& state) {
        const auto iterations = static_cast<double>(state.iterations());
        if (routedBaselineSeconds > 0.0) {
            state.counters["time_ratio"] = routedSeconds / routedBaselineSeconds;
        }
        if (!timeRatios.empty()) {
            std::sort(timeRatios.begin(), timeRatios.end());
            state.counters["time_median"] = Quantile(timeRatios, 0.5);
            state.counters["time_p95"] = Quantile(timeRatios, 0.95);
            state.counters["time_max"] = timeRatios.back();
        }
        state.counters["router_ms"] = routerSeconds * 1e3 / iterations;
        state.counters["dijkstra_ms"] = baselineSeconds * 1e3 / iterations;
        state.counters["dijkstra_settled"] = settled / iterations;
        if (!costRatios.empty()) {
            std::sort(costRatios.begin(), costRatios.end());
            state.counters["cost_median"] = Quantile(costRatios, 0.5);
            state.counters["cost_p95"] = Quantile(costRatios, 0.95);
            state.counters["cost_max"] = costRatios.back();
        }
        state.counters["routes"] = static_cast<double>(costRatios.size());
        state.counters["unreachable"] = unreachable;
        state.counters["failed"] = failed;
        state.counters["code10_19"] = exhausted;
        state.counters["broken"] = broken;
    }
};

// The page-file reads of the network's stores so far (cache misses; none for mapped stores).
inline std::uint64_t PageReads(const RoadNetwork& network) {
    std::uint64_t reads = 0;
    for (std::uint16_t level = 0; level < network.GetMapCount(); ++level) {
        if (SeparatedPageStore* store = network.GetStore(level)) {
            reads += store->GetCacheCounts().misses;
        }
    }
    return reads;
}

// Counters of the router's own counts: "settled_d0" to "settled_d2" and "settled_s0" to
// "settled_s2" are mean crossings settled per query by the destination and the start side on
// levels 0 to 2; "heap_peak" the most labels one heap held, "heap_growths" the heaps grown past
// 4000 labels in the run, "reserve_pages_peak" the most search memory pages committed at once
// (4 KB each; the reserve holds 5120), "page_reads" the mean page-file reads per query.
struct SearchTally {
    std::array<std::array<double, 3>, 2> settled{};
    std::uint32_t heapPeak = 0;
    std::uint32_t heapGrowths = 0;
    std::uint32_t reservePagesPeak = 0;
    std::uint64_t pageReads = 0;
    int queries = 0;

    void Add(const RouterStatistics& statistics, std::uint64_t reads) {
        for (std::size_t side = 0; side < 2; ++side) {
            for (std::size_t level = 0; level < 3; ++level) {
                settled[side][level] += statistics.settled[side][level];
            }
        }
        heapPeak = std::max(heapPeak, statistics.peakHeapLabels);
        heapGrowths += statistics.heapGrowths;
        reservePagesPeak = std::max(reservePagesPeak, statistics.peakReservePages);
        pageReads += reads;
        ++queries;
    }

    void Report(benchmark::State& state) const {
        const double n = std::max(queries, 1);
        constexpr const char* kNames[2][3] = {{"settled_d0", "settled_d1", "settled_d2"},
                                              {"settled_s0", "settled_s1", "settled_s2"}};
        for (std::size_t side = 0; side < 2; ++side) {
            for (std::size_t level = 0; level < 3; ++level) {
                state.counters[kNames[side][level]] = settled[side][level] / n;
            }
        }
        state.counters["heap_peak"] = heapPeak;
        state.counters["heap_growths"] = heapGrowths;
        state.counters["reserve_pages_peak"] = reservePagesPeak;
        state.counters["page_reads"] = static_cast<double>(pageReads) / n;
    }
};

// Counters of a second calculation to the destination of a query from a start about 1.1 times
// as far, once reusing the saved destination search and once searching anew: "reuse_ms" and
// "fresh_ms" their mean times, "reuse_ratio" the quotient of the summed times, "reused" the
// pairs whose search was reused of "reuse_pairs" tried, "reuse_cost_max" the reused route's
// cost over the fresh one's at most.
struct ReuseTally {
    double reuseSeconds = 0.0;
    double freshSeconds = 0.0;
    double costMax = 0.0;
    int pairs = 0;
    int reused = 0;

    void Add(double reuse, double fresh, bool wasReused, std::optional<double> costRatio) {
        reuseSeconds += reuse;
        freshSeconds += fresh;
        ++pairs;
        reused += wasReused ? 1 : 0;
        if (costRatio) {
            costMax = std::max(costMax, *costRatio);
        }
    }

    void Report(benchmark::State& state) const {
        if (pairs == 0) {
            return;
        }
        state.counters["reuse_ms"] = reuseSeconds * 1e3 / pairs;
        state.counters["fresh_ms"] = freshSeconds * 1e3 / pairs;
        if (freshSeconds > 0.0) {
            state.counters["reuse_ratio"] = reuseSeconds / freshSeconds;
        }
        state.counters["reused"] = reused;
        state.counters["reuse_pairs"] = pairs;
        state.counters["reuse_cost_max"] = costMax;
    }
};

} // namespace bench
