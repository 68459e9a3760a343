// Writing a logbook status line that replaces the last line of a 1 MB logbook in place, against
// appending the same line to another 1 MB logbook, in the same run. Only the end of the file is
// read back, so the replacement should cost at most about twice the append. "vs_baseline" is how
// many times longer the replacement takes.
#include "app/startup/logbook.h"
#include "testdata/tempdir.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

namespace {

constexpr char16_t kReplacedLogbook[] = u"\\Replaced.txt";
constexpr char16_t kAppendedLogbook[] = u"\\Appended.txt";

double ElapsedSeconds(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// About 1 MB of logbook lines.
std::string MegabyteOfLines() {
    const std::string line = "Status\t\tVaduz\tAeulestrasse  12\t08.12.2026\t11:00:00\t00:01:00\t"
                             "00:01:00\t1,1\t1,1\r\n";
    std::string text;
    while (text.size() < (1U << 20)) {
        text += line;
    }
    return text;
}

void BM_StatusLineReplacedAgainstAppended(benchmark::State& state) {
    const testdata::TempDeviceRoot root;
    const std::string lines = MegabyteOfLines();
    if (!root.WriteFile(kReplacedLogbook, lines) || !root.WriteFile(kAppendedLogbook, lines)) {
        state.SkipWithError("cannot write the logbooks");
        return;
    }
    Logbook replaced(kReplacedLogbook);
    replaced.WriteStatusEntry(nullptr, nullptr); // the status line the others replace

    benchmark::IterationCount rounds = 0;
    double seconds = 0.0;
    double baselineSeconds = 0.0;
    for (auto _ : state) {
        ++rounds;
        auto start = std::chrono::steady_clock::now();
        replaced.WriteStatusEntry(nullptr, nullptr);
        seconds += ElapsedSeconds(start);

        Logbook appended(kAppendedLogbook); // a first status line is appended
        start = std::chrono::steady_clock::now();
        appended.WriteStatusEntry(nullptr, nullptr);
        baselineSeconds += ElapsedSeconds(start);
    }
    if (replaced.GetStatusEntries() < 2) {
        state.SkipWithError("no line was replaced");
    }
    const auto size = root.ReadFile(kReplacedLogbook).value_or("").size();
    if (size > lines.size() + 200) {
        state.SkipWithError("the replaced logbook grew");
    }
    const double count = static_cast<double>(rounds);
    state.counters["rounds_per_s"] = seconds > 0.0 ? count / seconds : 0.0;
    state.counters["baseline_per_s"] = baselineSeconds > 0.0 ? count / baselineSeconds : 0.0;
    state.counters["vs_baseline"] = baselineSeconds > 0.0 ? seconds / baselineSeconds : 0.0;
}

} // namespace

BENCHMARK(BM_StatusLineReplacedAgainstAppended)->Iterations(500)->UseRealTime();
BENCHMARK_MAIN();
