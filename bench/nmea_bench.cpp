// Bytes of receiver output turned into fixes per second: the sentence parser with the shipped
// protocols (Feed in the reader's 32-byte pieces, every completed cycle's fix taken) against
// gpsd's gpsdecode reading the same file from a pipe, its start-up (measured on an empty input)
// subtracted. Three kinds of receiver: GGA, VTG and RMC every second; GSA and RMC every second
// with GGA and GSV every fourth (restarts, void cycles); RMC, RMB, GGA and eight more every 2 s.
// Goal: 3x gpsdecode. Without gpsdecode only our rate is reported. A further case feeds a whole
// log in one call against the same log in pieces: the cost per byte must not grow with the size
// of a call (goal: a ratio near 1).
#include "positioning/sentenceparser.h"
#include "testdata/nmeawriter.h"
#include "testdata/tempdir.h"
#include "utilities/usefulcode/iniprofile.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

enum Mix { kGgaVtgRmc, kGsaRmc, kRmcRmbGga };

struct Track {
    std::string bytes;
    std::size_t cycles = 0;
    const char16_t* protocol = u"";
    const char* name = "";
};

// The values of cycle i of a track whose cycles lie `step` seconds apart, starting at the point
// (longitude, latitude) and moving away from it.
testdata::NmeaFixValues CycleValues(std::size_t i, std::size_t step, double latitude,
                                    double longitude) {
    testdata::NmeaFixValues values;
    const int seconds = static_cast<int>(i * step % 86400);
    values.hour = seconds / 3600;
    values.minute = seconds / 60 % 60;
    values.second = seconds % 60;
    values.latitude = latitude + static_cast<double>(i % 1000) * 1e-4;
    values.longitude = longitude - static_cast<double>(i % 777) * 1e-4;
    values.course = static_cast<double>(i % 360);
    values.speedKmh = static_cast<double>(i % 130);
    return values;
}

// About 17 MB of each kind; every 50th cycle void in the mixes, a restart every hour in GSA+RMC.
const Track& TrackOf(int mix) {
    static const Track tracks[] = {
        [] {
            Track track{{}, 100000, u"NMEA", "GGA+VTG+RMC"};
            testdata::NmeaWriter writer;
            for (std::size_t i = 0; i < track.cycles; ++i) {
                testdata::NmeaFixValues values = CycleValues(i, 1, 47.0, 9.5);
                writer.AddCycle(values);
            }
            track.bytes = writer.Build();
            return track;
        }(),
        [] {
            Track track{{}, 85000, u"NMEA-GSA-RMC", "GSA+RMC"};
            testdata::NmeaWriter writer;
            writer.SetMix(testdata::NmeaMix::GsaRmc).SetTimeFraction(".041");
            for (std::size_t i = 0; i < track.cycles; ++i) {
                testdata::NmeaFixValues values = CycleValues(i, 1, 47.0, 9.5);
                values.quality = i % 50 == 49 ? 0 : 1;
                if (i % 3600 == 1800) {
                    writer.AddRestart();
                }
                writer.AddCycle(values);
            }
            track.bytes = writer.Build();
            return track;
        }(),
        [] {
            Track track{{}, 25000, u"NMEA-RMC-RMB-GGA", "RMC+RMB+GGA"};
            testdata::NmeaWriter writer;
            writer.SetMix(testdata::NmeaMix::RmcRmbGga).SetTimeFraction("");
            for (std::size_t i = 0; i < track.cycles; ++i) {
                testdata::NmeaFixValues values = CycleValues(i, 2, 45.0, -122.5);
                values.quality = i % 50 == 49 ? 0 : 1;
                values.satellites = static_cast<int>(i % 12);
                writer.AddCycle(values);
            }
            track.bytes = writer.Build();
            return track;
        }(),
    };
    return tracks[mix];
}

void LoadShipped(SentenceParser& parser, const char16_t* protocol) {
    static const bool isLoaded = [] {
        std::ifstream file(NAV_DEZIV_INI, std::ios::binary);
        std::stringstream text;
        text << file.rdbuf();
        IniProfile::PreloadText(u"\\bench\\deziv.ini", text.str());
        return true;
    }();
    (void)isLoaded;
    parser.Load(u"\\bench\\deziv.ini", protocol);
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

// Our parser over the bytes in pieces of size; returns the fixes made.
std::size_t ParseInPieces(SentenceParser& parser, const std::string& bytes, std::size_t size) {
    std::size_t fixes = 0;
    GpsFix fix;
    for (std::size_t at = 0; at < bytes.size(); at += size) {
        parser.Feed(bytes.data() + at, std::min(size, bytes.size() - at));
        while (parser.IsCycleComplete()) {
            parser.FillFix(fix);
            parser.ResetCycle();
            ++fixes;
        }
    }
    benchmark::DoNotOptimize(fix);
    return fixes;
}

void BenchmarkSentenceParser(benchmark::State& state) {
    const Track& track = TrackOf(static_cast<int>(state.range(0)));
    state.SetLabel(track.name);
    SentenceParser parser;
    LoadShipped(parser, track.protocol);
    const std::string& bytes = track.bytes;
    std::size_t fixes = 0;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        fixes += ParseInPieces(parser, bytes, 32);
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const auto passes = static_cast<double>(state.iterations());
    state.SetBytesProcessed(static_cast<std::int64_t>(passes * static_cast<double>(bytes.size())));
    state.counters["fixes"] =
        benchmark::Counter(static_cast<double>(fixes), benchmark::Counter::kIsRate);
    if (fixes != static_cast<std::size_t>(state.iterations()) * track.cycles) {
        state.SkipWithError("a cycle was lost");
        return;
    }
    if (!HasGpsdecode()) {
        state.SetLabel(std::string(track.name) + ", gpsdecode not installed: our rate alone");
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

// The GSA+RMC log in one Feed against the same log in the serial device's 256-byte pieces.
void BenchmarkWholeLogInOneFeed(benchmark::State& state) {
    const Track& track = TrackOf(kGsaRmc);
    const std::string& bytes = track.bytes;
    const auto timed = [&](std::size_t size) {
        SentenceParser parser;
        LoadShipped(parser, track.protocol);
        const auto start = std::chrono::steady_clock::now();
        const std::size_t fixes = ParseInPieces(parser, bytes, size);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        return std::pair{fixes, seconds};
    };
    double whole = 0.0;
    for (auto _ : state) {
        const auto [fixes, seconds] = timed(bytes.size());
        if (fixes != track.cycles) {
            state.SkipWithError("a cycle was lost");
            return;
        }
        whole += seconds;
    }
    double pieces = 1e9;
    for (int run = 0; run < 3; ++run) { // the fastest of three
        pieces = std::min(pieces, timed(256).second);
    }
    const double ours = whole / static_cast<double>(state.iterations());
    state.SetBytesProcessed(
        static_cast<std::int64_t>(static_cast<double>(state.iterations() * bytes.size())));
    state.counters["vs_pieces"] = pieces / ours; // goal: near 1
}

} // namespace

BENCHMARK(BenchmarkSentenceParser)
    ->Arg(kGgaVtgRmc)
    ->Arg(kGsaRmc)
    ->Arg(kRmcRmbGga)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0);
BENCHMARK(BenchmarkWholeLogInOneFeed)->Unit(benchmark::kMillisecond)->MinTime(2.0);

BENCHMARK_MAIN();
