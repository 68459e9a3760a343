#pragma once
// The router benchmarks' reuse measure: a second calculation to the same destination from a
// farther start, reusing the saved destination search, then searching anew.

#include "bench/routetally.h"
#include "routing/routercore.h"
#include "routing/tests/routeoracle.h"

#include <optional>
#include <string>
#include <vector>

namespace bench {

// Times both calculations and, when both find a route, the reused route's cost over the fresh
// one's as the oracle prices their records.
inline void Rerun(RouterCore& router, const routingtest::RouteOracle& oracle,
                  const routingtest::OraclePlace& start,
                  const routingtest::OraclePlace& destination, ReuseTally& reuse) {
    CalculationFlags flags;
    flags.allowReuse = 1;
    Clock::time_point begin = Clock::now();
    const std::int32_t reused =
        router.Calculate(oracle.Entry(start), oracle.Entry(destination), flags);
    const std::vector<RouteRecord> reusedRecords = router.BuildRecords(-1, true);
    const double reuseSeconds = SecondsSince(begin);
    const bool wasReused = router.WasSearchReused();
    begin = Clock::now();
    const std::int32_t fresh =
        router.Calculate(oracle.Entry(start), oracle.Entry(destination), CalculationFlags{});
    const std::vector<RouteRecord>& freshRecords = router.BuildRecords(-1, true);
    const double freshSeconds = SecondsSince(begin);
    std::optional<double> ratio;
    if (reused == 6 && fresh == 6) {
        std::string problem;
        const auto a = oracle.PriceRecords(reusedRecords, start, destination, problem);
        const auto b = oracle.PriceRecords(freshRecords, start, destination, problem);
        if (a && b && *b > 0.0) {
            ratio = *a / *b;
        }
    }
    reuse.Add(reuseSeconds, freshSeconds, wasReused, ratio);
}

} // namespace bench
