// osm2nav EXTRACT OUTPUT-FOLDER [--levels N] [--language LANG] [--pack] [--service-roads]:
// converts an OpenStreetMap extract into a device data folder and prints what it wrote.
#include "tools/osm/osmconvert.h"

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <string_view>

namespace {

int Run(int argc, char** argv) {
    osm2nav::ConvertOptions options;
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
        } else if (argument == "--service-roads") {
            options.withServiceRoads = true;
        } else if (!argument.starts_with("--") && positional < 2) {
            (positional++ == 0 ? options.extract : options.output) = argument;
        } else {
            positional = -1;
            break;
        }
    }
    if (positional != 2) {
        std::cerr << "usage: osm2nav EXTRACT.osm.pbf OUTPUT-FOLDER [--levels N] [--language ger]"
                     " [--pack] [--service-roads]\n";
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    std::cerr << "osm2nav: converting " << options.extract.string() << "\n";
    if (const std::string error = osm2nav::Convert(options, std::cout); !error.empty()) {
        std::cerr << "osm2nav: " << error << "\n";
        return 1;
    }
    const auto elapsed = std::chrono::steady_clock::now() - start;
    std::cerr << "osm2nav: done in "
              << std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count() << " ms\n";
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    try {
        return Run(argc, argv);
    } catch (...) {
        std::cerr << "osm2nav: out of memory\n";
        return 1;
    }
}
