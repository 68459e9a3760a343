#pragma once
// The router benchmarks' check that the network's link target tables change no route, and the
// counters that explain a router's time: after the timed runs, a router that reads every target
// record (the way without the tables) calculates the same pairs in the same order, and the two
// outcomes are compared. Run apart, neither router's memory is in the other's caches.

#include "bench/routetally.h"
#include "routing/networkcrossing.h"
#include "routing/tests/routeidentity.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace bench {

// One timed calculation with its record reads and the outcome, taken after the clock stopped.
struct TimedCalculation {
    std::int32_t result = 0;
    double seconds = 0.0;
    std::uint64_t recordReads = 0;
    routingtest::CalculationOutcome outcome;
};

// Calculate and BuildRecords (with points) timed; progress recorded only with a recorder, as an
// observer makes the search read the clock at every crossing it settles.
inline TimedCalculation TimeCalculation(RouterCore& router, const RoutePositionEntry& start,
                                        const RoutePositionEntry& destination,
                                        routingtest::ProgressRecorder* recorder = nullptr) {
    router.SetProgressObserver(recorder);
    TimedCalculation timed;
    const std::uint64_t reads = RecordReadsOnThisThread();
    const Clock::time_point begin = Clock::now();
    timed.result = router.Calculate(start, destination, CalculationFlags{});
    (void)router.BuildRecords(-1, true);
    timed.seconds = SecondsSince(begin);
    timed.recordReads = RecordReadsOnThisThread() - reads;
    router.SetProgressObserver(nullptr);
    timed.outcome = routingtest::OutcomeOf(router, timed.result,
                                           recorder != nullptr ? recorder->reports
                                                               : std::vector<std::int32_t>{});
    return timed;
}

// The two routers of the check, fresh when the timed runs start: one that uses the link target
// tables as the timed router does and one that reads every target record, both recording
// progress.
struct CheckRouters {
    RouterCore checking;
    RouterCore reading;

    CheckRouters(const RoadNetworkPtr& network, const RouteOptions& options) {
        for (RouterCore* router : {&checking, &reading}) {
            router->SetNetwork(network);
            router->SetOptions(options);
        }
        reading.SetLinkTargetTableUse(false);
    }
};

// Counters: "record_reads" crossing records read per settled crossing (both sides, all levels),
// "settled_ns" nanoseconds per settled crossing, "reading_ratio" the time with the tables over
// the time reading every target record (both with progress observers), "reading_record_reads"
// the records the router reading every target record reads per settled crossing; the label says
// "identical" when every pair gave both check routers and the timed router the same code,
// records, totals, settled and heap counts, else how many differed ("different") and the first
// difference. The progress reports are not compared: the router makes them by the clock (every
// 200 ms of a search), which a busy machine moves differently for two routers doing the same
// work.
struct SameRouteTally {
    // The outcome but its progress reports, which depend on the clock.
    static routingtest::CalculationOutcome
    WithoutProgress(routingtest::CalculationOutcome outcome) {
        outcome.progress.clear();
        return outcome;
    }

    struct Kept {
        RoutePositionEntry start;
        RoutePositionEntry destination;
        routingtest::CalculationOutcome outcome;
    };
    std::vector<Kept> kept;
    double seconds = 0.0;
    double checkingSeconds = 0.0;
    double readingSeconds = 0.0;
    double settled = 0.0;
    double recordReads = 0.0;
    double readingRecordReads = 0.0; // of the reading router, over its settled crossings
    double readingSettled = 0.0;
    int different = 0;
    std::string firstDifference;

    // Counts a timed calculation and keeps it for the check.
    void Add(const TimedCalculation& timed, const RoutePositionEntry& start,
             const RoutePositionEntry& destination) {
        seconds += timed.seconds;
        recordReads += static_cast<double>(timed.recordReads);
        for (const auto& side : timed.outcome.settled) {
            for (const std::uint32_t count : side) {
                settled += count;
            }
        }
        kept.push_back({start, destination, timed.outcome});
    }
    // Calculates the i-th kept pair with both check routers and compares; in the order kept.
    void Check(std::size_t i, CheckRouters& routers) {
        routingtest::ProgressRecorder checkingReports;
        routingtest::ProgressRecorder readingReports;
        // Taking turns at going first: the second finds the pair's records in the caches.
        TimedCalculation read;
        if (i % 2 == 1) {
            read = TimeCalculation(routers.reading, kept[i].start, kept[i].destination,
                                   &readingReports);
        }
        const TimedCalculation checked =
            TimeCalculation(routers.checking, kept[i].start, kept[i].destination, &checkingReports);
        if (i % 2 == 0) {
            read = TimeCalculation(routers.reading, kept[i].start, kept[i].destination,
                                   &readingReports);
        }
        checkingSeconds += checked.seconds;
        readingSeconds += read.seconds;
        readingRecordReads += static_cast<double>(read.recordReads);
        for (const auto& side : read.outcome.settled) {
            for (const std::uint32_t count : side) {
                readingSettled += count;
            }
        }
        std::string difference = routingtest::OutcomeDifference(WithoutProgress(checked.outcome),
                                                                WithoutProgress(read.outcome));
        if (difference.empty()) {
            difference = routingtest::OutcomeDifference(WithoutProgress(kept[i].outcome),
                                                        WithoutProgress(checked.outcome));
            difference = difference.empty() ? difference : "timed " + difference;
        }
        if (!difference.empty()) {
            firstDifference = firstDifference.empty() ? difference : firstDifference;
            ++different;
        }
    }

    void Report(benchmark::State& state) const {
        if (settled > 0.0) {
            state.counters["record_reads"] = recordReads / settled;
            state.counters["settled_ns"] = seconds * 1e9 / settled;
        }
        if (readingSeconds > 0.0) {
            state.counters["reading_ratio"] = checkingSeconds / readingSeconds;
        }
        if (readingSettled > 0.0) {
            state.counters["reading_record_reads"] = readingRecordReads / readingSettled;
        }
        state.counters["different"] = different;
        state.SetLabel(different == 0 ? "identical" : "DIFFERENT, first: " + firstDifference);
    }
};

} // namespace bench
