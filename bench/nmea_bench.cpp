// Bytes of receiver output turned into fixes per second: the sentence parser (Feed in the
// reader's 32-byte pieces, FillFix per cycle) against gpsd's gpsdecode reading the same file from
// a pipe, its start-up (measured on an empty input) subtracted. Goal: 3x gpsdecode. Without
// gpsdecode only our rate is reported.
#include "positioning/sentenceparser.h"
#include "testdata/nmeawriter.h"
#include "testdata/tempdir.h"
#include "utilities/usefulcode/iniprofile.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr int kCycles = 100000;

const std::string& Track() {
    static const std::string bytes = [] {
        testdata::NmeaWriter writer;
        for (int i = 0; i < kCycles; ++i) {
            testdata::NmeaFixValues values;
            const int seconds = i % 86400;
            values.hour = seconds / 3600;
            values.minute = seconds / 60 % 60;
            values.second = seconds % 60;
            values.latitude = 47.0 + (i % 1000) * 1e-4;
            values.longitude = 9.5 - (i % 777) * 1e-4;
            values.course = i % 360;
            values.speedKmh = i % 130;
            writer.AddCycle(values);
        }
        return writer.Build();
    }();
    return bytes;
}

bool HasGpsdecode() {
    return std::system("command -v gpsdecode > /dev/null 2>&1") == 0;
}

// Seconds one run of gpsdecode takes on the file at host path.
double GpsdecodeSeconds(const std::string& path) {
    const std::string command = "gpsdecode < '" + path + "' > /dev/null 2>&1";
    const auto start = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0) {
        return -1.0;
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Our parser over the whole track; returns the fixes made.
std::size_t ParseTrack(SentenceParser& parser) {
    const std::string& bytes = Track();
    std::size_t fixes = 0;
    GpsFix fix;
    for (std::size_t at = 0; at < bytes.size(); at += 32) {
        parser.Feed(bytes.data() + at, std::min<std::size_t>(32, bytes.size() - at));
        if (parser.IsCycleComplete()) {
            parser.FillFix(fix);
            parser.ResetCycle();
            ++fixes;
        }
    }
    benchmark::DoNotOptimize(fix);
    return fixes;
}

void BenchmarkSentenceParser(benchmark::State& state) {
    IniProfile::PreloadText(
        u"\\bench\\deziv.ini",
        "[NMEA]\n"
        "Input1=GPGGA,utctime,latitude,ns,longitude,ew,quality,satellites,hdop\n"
        "Input2=GPVTG,course,,,,,,speed\n");
    SentenceParser parser;
    parser.Load(u"\\bench\\deziv.ini", u"NMEA");
    const std::string& bytes = Track();
    std::size_t fixes = 0;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        fixes += ParseTrack(parser);
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const auto passes = static_cast<double>(state.iterations());
    state.SetBytesProcessed(static_cast<std::int64_t>(passes * static_cast<double>(bytes.size())));
    state.counters["fixes"] =
        benchmark::Counter(static_cast<double>(fixes), benchmark::Counter::kIsRate);
    if (fixes != static_cast<std::size_t>(state.iterations()) * kCycles) {
        state.SkipWithError("a cycle was lost");
        return;
    }
    if (!HasGpsdecode()) {
        state.SetLabel("gpsdecode not installed: our rate alone");
        return;
    }
    testdata::TempDeviceRoot root;
    if (!root.WriteFile(u"\\track.nmea", bytes) || !root.WriteFile(u"\\empty.nmea", "")) {
        state.SkipWithError("cannot write the track");
        return;
    }
    double startUp = 1e9;
    double decoding = 1e9;
    for (int run = 0; run < 3; ++run) { // the fastest of three
        startUp = std::min(startUp, GpsdecodeSeconds(root.HostPathOf(u"\\empty.nmea")));
        decoding = std::min(decoding, GpsdecodeSeconds(root.HostPathOf(u"\\track.nmea")));
    }
    const double theirs = std::max(decoding - startUp, 1e-9);
    const double ours = seconds / passes;
    state.counters["gpsdecode_MBps"] = static_cast<double>(bytes.size()) / theirs / 1e6;
    state.counters["ours_MBps"] = static_cast<double>(bytes.size()) / ours / 1e6;
    state.counters["vs_gpsdecode"] = theirs / ours; // goal: 3 or more
}

} // namespace

BENCHMARK(BenchmarkSentenceParser)->Unit(benchmark::kMillisecond)->MinTime(2.0);

BENCHMARK_MAIN();
