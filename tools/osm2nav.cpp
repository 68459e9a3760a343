// osm2nav EXTRACT OUTPUT-FOLDER [--levels N] [--language LANG] [--pack] [--no-service-roads]
// [--advisor FOLDER]: converts an OpenStreetMap extract into a device data folder, missing or
// empty, and prints what it wrote; the folder's "source.txt" records the extract's path, size,
// modification time and checksum. The advisor data come from FOLDER, by default the build's demo
// data.
#include "tools/osm/osmbaseline.h"
#include "tools/osm/osmconvert.h"
#include "tools/toolmain.h"

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string_view>

namespace {

using Clock = std::chrono::steady_clock;

long long Milliseconds(Clock::duration duration) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(duration).count();
}

// The baseline of the timing line: one libosmium pass that only counts the objects.
Clock::duration PlainPass(const std::filesystem::path& extract) {
    const auto start = Clock::now();
    (void)osm2nav::CountObjects(extract);
    return Clock::now() - start;
}

int Run(int argc, char** argv) {
    osm2nav::ConvertOptions options;
    options.advisorData = NAV_DEMO_DATA;
    int positional = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        const bool hasValue = i + 1 < argc;
        if (argument == "--levels" && hasValue) {
            options.levels = static_cast<std::uint32_t>(std::atoi(argv[++i]));
        } else if (argument == "--language" && hasValue) {
            options.language = argv[++i];
        } else if (argument == "--pack") {
            options.isPacked = true;
        } else if (argument == "--advisor" && hasValue) {
            options.advisorData = argv[++i];
        } else if (argument == "--no-service-roads") {
            options.withServiceRoads = false;
        } else if (!argument.starts_with("--") && positional < 2) {
            (positional++ == 0 ? options.extract : options.output) = argument;
        } else {
            positional = -1;
            break;
        }
    }
    if (positional != 2) {
        std::cerr << "usage: osm2nav EXTRACT.osm.pbf OUTPUT-FOLDER [--levels N] [--language ger]"
                     " [--pack] [--no-service-roads] [--advisor FOLDER]\n";
        return 2;
    }
    std::cerr << "osm2nav: converting " << options.extract.string() << "\n";
    const auto start = Clock::now();
    if (const std::string error = osm2nav::Convert(options, std::cout); !error.empty()) {
        std::cerr << "osm2nav: " << error << "\n";
        return 1;
    }
    const auto elapsed = Clock::now() - start;
    const auto plain = PlainPass(options.extract);
    std::cerr << "osm2nav: done in " << Milliseconds(elapsed) << " ms; a plain libosmium pass "
              << Milliseconds(plain) << " ms; ratio "
              << static_cast<double>(elapsed.count()) / static_cast<double>(plain.count()) << "\n";
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    return RunToolMain("osm2nav", Run, argc, argv);
}
