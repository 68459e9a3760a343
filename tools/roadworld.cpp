// roadworld WORLD OUTFOLDER: writes the map set ("<stem>.rid", ".dat", ".nam") and the road
// network ("<stem>.rd" and its files) of a world description into a host folder.
#include "testdata/roadworld.h"

#include "testdata/worlddescription.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

namespace {

int Run(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: roadworld WORLD OUTFOLDER\n";
        return 2;
    }
    std::ifstream file(argv[1], std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    if (!file) {
        std::cerr << argv[1] << ": cannot be read\n";
        return 1;
    }
    const auto parsed = testdata::ParseWorldDescription(text.str());
    if (const auto* line = std::get_if<std::size_t>(&parsed)) {
        std::cerr << argv[1] << ":" << *line << ": cannot be read\n";
        return 1;
    }
    const auto& description = std::get<testdata::WorldDescription>(parsed);
    const std::filesystem::path folder = argv[2];
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    testdata::MapSetWriter mapSet;
    const auto world = testdata::RoadWorld::FromSketch(description.sketch, mapSet);
    if (!world) {
        std::cerr << argv[1] << ": a road names a node that is not on the grid\n";
        return 1;
    }
    // With an address index: the engine maps element ids to themselves, so that routes read
    // their geometry.
    testdata::RidHeaderFields header;
    header.mapKind = 2;
    mapSet.SetHeader(header);
    if (!mapSet.WriteTo(folder / description.options.stem)) {
        std::cerr << folder.string() << ": the map set cannot be written\n";
        return 1;
    }
    testdata::RoadNetworkWriter network(*world, description.options);
    if (!network.WriteToHost(folder)) {
        std::cerr << folder.string() << ": the road network cannot be written\n";
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    try {
        return Run(argc, argv);
    } catch (...) {
        std::cerr << "roadworld: out of memory\n";
        return 1;
    }
}
