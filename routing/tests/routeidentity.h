#pragma once
// Two calculations compared: what one router calculation gives (code, records, totals, settled
// counts, heap counts and progress reports) and the first difference between two of them, for
// the tests and benchmarks that hold a faster way to the same routes against the plain one.

#include "routing/routercore.h"

#include <array>
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

// Calculates with a recording observer in place of the router's own, which is put back.
inline CalculationOutcome CalculateOutcome(RouterCore& router, const RoutePositionEntry& start,
                                           const RoutePositionEntry& destination,
                                           const CalculationFlags& flags) {
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
