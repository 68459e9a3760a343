#pragma once
// The GPS demo drive: a route between two points calculated by the route service, written as a
// demonstration file by NmeaDemoWriter and replayed through a GpsManager (alternative device,
// replay file, 3 sentences a second) on a virtual clock, one fix at a time. Paths are device
// paths; the program folder must hold "deziv.ini".

#include "positioning/matchedposition.h"
#include "routing/routeservice.h"
#include "utilities/mapgeometry/mapgeometry.h"

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace gpsdemo {

struct Options {
    std::u16string mapSet;        // ".lvl" or ".rid"
    std::u16string network;       // ".rd"
    std::u16string programFolder; // where "deziv.ini" lies
    GeoPoint from;
    GeoPoint to;
    std::string out = "GPSDemoFile.txt"; // 8-bit
};

struct Outcome {
    RouteRequestResult route;
    std::vector<std::uint32_t> routeStreets; // the records' elements in driving order
    std::size_t linesWritten = 0;            // GGA sentences in the file
    std::vector<GpsFix> fixes;               // as the receiver read them back
    std::vector<MatchedPosition> positions;  // as the manager published them, one per fix
    std::size_t onRoute = 0;                 // positions matched to a street of the route
    std::size_t onRouteInOrder = 0;          // those not behind the route street reached
    bool isInRouteOrder = true;              // matched route streets never went back
};

// Called with each published position and whether it lies on a street of the route.
using PositionSink = std::function<void(const MatchedPosition&, bool)>;

// The outcome; the error text (empty on success) names the step that failed.
[[nodiscard]] Outcome Run(const Options& options, std::string& error,
                          const PositionSink& sink = {});

} // namespace gpsdemo
