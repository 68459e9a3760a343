// gpsdemo MAPSET NETWORK FROM TO [OUT]: calculates a route between two points (lon,lat) on a map
// set (".lvl" or ".rid") and its road network (".rd"), writes it as a GPS demonstration file
// (default "GPSDemoFile.txt") and replays that through the GPS manager, printing each matched
// position and the share of fixes matched to streets of the route. Paths are host paths.
#include "tools/gpsdemosteps.h"

#include "platform/files/paths.h"
#include "platform/kernel/codepage.h"

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

namespace {

std::optional<GeoPoint> ParsePoint(const char* text) {
    float lon = 0.0f;
    float lat = 0.0f;
    char rest = 0;
    if (std::sscanf(text, "%f,%f%c", &lon, &lat, &rest) != 2) {
        return std::nullopt;
    }
    return GeoPoint{lon, lat};
}

// The device path of a host path under the device root "/".
std::u16string DevicePath(const std::filesystem::path& host) {
    return platform::Utf8ToUtf16(std::filesystem::absolute(host).lexically_normal().string());
}

} // namespace

int main(int argc, char** argv) {
    const auto from = argc >= 5 ? ParsePoint(argv[3]) : std::nullopt;
    const auto to = argc >= 5 ? ParsePoint(argv[4]) : std::nullopt;
    if (argc < 5 || argc > 6 || !from || !to) {
        std::fprintf(stderr, "usage: gpsdemo MAPSET NETWORK LON,LAT LON,LAT [OUT]\n");
        return 2;
    }
    if (!std::filesystem::exists(std::filesystem::path(NAV_DEMO_DATA) / "deziv.ini")) {
        std::fprintf(stderr, "gpsdemo: no deziv.ini in %s (the normal build puts it there)\n",
                     NAV_DEMO_DATA);
        return 1;
    }
    platform::SetDeviceRoot("/");
    gpsdemo::Options options;
    options.mapSet = DevicePath(argv[1]);
    options.network = DevicePath(argv[2]);
    options.programFolder = DevicePath(NAV_DEMO_DATA);
    options.from = *from;
    options.to = *to;
    options.out = platform::WideToAnsi(DevicePath(argc == 6 ? argv[5] : "GPSDemoFile.txt"));
    std::size_t index = 0;
    std::string error;
    const gpsdemo::Outcome outcome =
        gpsdemo::Run(options, error, [&index](const MatchedPosition& position, bool isOnRoute) {
            std::printf("%5zu  fix %10.6f %10.6f  matched %10.6f %10.6f  street %8d%s\n", ++index,
                        position.fix.longitude, position.fix.latitude, position.matched.x,
                        position.matched.y, position.street, isOnRoute ? "  route" : "");
        });
    if (!error.empty()) {
        std::fprintf(stderr, "gpsdemo: %s\n", error.c_str());
        return 1;
    }
    const double share = outcome.positions.empty()
                             ? 0.0
                             : 100.0 * static_cast<double>(outcome.onRouteInOrder) /
                                   static_cast<double>(outcome.positions.size());
    std::printf("route %d m, %zu fixes written, %zu replayed, %.1f %% matched to route streets in "
                "route order%s\n",
                outcome.route.length, outcome.linesWritten, outcome.positions.size(), share,
                outcome.isInRouteOrder ? "" : " (the match went back on the route)");
    return share >= 90.0 ? 0 : 1;
}
