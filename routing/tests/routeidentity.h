#pragma once
// Two calculations compared: what one router calculation gives (code, records, totals, settled
// counts, heap counts and progress reports) and the first difference between two of them, for
// the tests and benchmarks that hold a faster way to the same routes against the plain one.

#include "routing/routercore.h"

#include "platform/kernel/time.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace routingtest {

// Records the reports of a calculation; never cancels.
class ProgressRecorder final : public ProgressObserver {
public:
    bool IsCancelled() override { return false; }
    void ReportProgress(std::int32_t percent) override { reports.push_back(percent); }

    std::vector<std::int32_t> reports;
};

struct CalculationOutcome {
    std::int32_t result = 0;
    std::vector<RouteRecord> records;
    float length = 0.0f;
    float time = 0.0f;
    std::array<std::array<std::uint32_t, 3>, 2> settled{};
    std::uint32_t peakHeapLabels = 0;
    std::uint32_t heapGrowths = 0;
    std::vector<std::int32_t> progress;
};

// The outcome of the router's last calculation, which gave `result`, its records built with
// points, and the reports recorded for it.
inline CalculationOutcome OutcomeOf(RouterCore& router, std::int32_t result,
                                    std::vector<std::int32_t> progress) {
    CalculationOutcome outcome;
    outcome.result = result;
    outcome.records = router.BuildRecords(-1, true);
    outcome.length = router.GetLength();
    outcome.time = router.GetTravelTime();
    outcome.settled = router.GetStatistics().settled;
    outcome.peakHeapLabels = router.GetStatistics().peakHeapLabels;
    outcome.heapGrowths = router.GetStatistics().heapGrowths;
    outcome.progress = std::move(progress);
    return outcome;
}

// A clock that moves 1 ms each time it is read. The router's timed rules (progress every
// 200 ms, the end of a search 100 ms after meeting) then depend on how often it reads the
// clock, which two routers doing the same work do alike, and not on how fast the machine is.
class SteppingClock final : public platform::Clock {
public:
    [[nodiscard]] std::uint64_t TickMs() const override { return ++m_tick; }
    [[nodiscard]] std::uint64_t UtcFileTime() const override {
        return 125911584000000000ull + m_tick.load() * 10000u;
    }
    [[nodiscard]] int LocalOffsetMinutes(std::uint64_t) const override { return 0; }
    [[nodiscard]] bool FollowsHostTime() const override { return false; }

private:
    mutable std::atomic<std::uint64_t> m_tick{0};
};

// Calculates with a recording observer in place of the router's own, which is put back, on a
// clock of its own that starts at 0 for every calculation.
inline CalculationOutcome CalculateOutcome(RouterCore& router, const RoutePositionEntry& start,
                                           const RoutePositionEntry& destination,
                                           const CalculationFlags& flags) {
    SteppingClock clock;
    const platform::ScopedClock installed(clock);
    ProgressRecorder recorder;
    ProgressObserver* const previous = router.GetProgressObserver();
    router.SetProgressObserver(&recorder);
    const std::int32_t result = router.Calculate(start, destination, flags);
    router.SetProgressObserver(previous);
    return OutcomeOf(router, result, std::move(recorder.reports));
}

// Empty when the two are the same; else what differs first.
inline std::string OutcomeDifference(const CalculationOutcome& a, const CalculationOutcome& b) {
    std::ostringstream out;
    if (a.result != b.result) {
        out << "code " << a.result << " / " << b.result;
    } else if (a.records.size() != b.records.size()) {
        out << "records " << a.records.size() << " / " << b.records.size();
    } else if (a.length != b.length || a.time != b.time) {
        out << "totals " << a.length << " m " << a.time << " h / " << b.length << " m " << b.time
            << " h";
    } else if (a.settled != b.settled) {
        out << "settled counts";
    } else if (a.peakHeapLabels != b.peakHeapLabels || a.heapGrowths != b.heapGrowths) {
        out << "heap counts";
    } else if (a.progress != b.progress) {
        out << "progress reports";
    }
    for (std::size_t i = 0; out.tellp() == 0 && i < a.records.size(); ++i) {
        const RouteRecord& x = a.records[i];
        const RouteRecord& y = b.records[i];
        if (x.x != y.x || x.y != y.y || x.linkId != y.linkId || x.length != y.length ||
            x.time != y.time || x.elementAttributes != y.elementAttributes ||
            x.polyline != y.polyline || x.attributes.value != y.attributes.value ||
            !(x.crossing == y.crossing)) {
            out << "record " << i;
        }
    }
    return out.str();
}

} // namespace routingtest
