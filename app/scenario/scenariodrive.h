#pragma once
// The file a scenario's drive replays: the route as the route list's demonstration writes it (a
// GGA and a VTG sentence a second), begun where the car is and ended by the car standing at the
// route's end, as a driver would: a drive on a new route goes on from the car's place instead of
// jumping back to where the route was planned, and the car stays at the destination instead of
// the replay starting the route over.

#include "routing/routeservice.h"
#include "utilities/mapgeometry/mapgeometry.h"

#include <optional>
#include <string>
#include <string_view>

// The car's place is looked for among the fixes this far from the file's start, and counts when
// one lies this near it.
inline constexpr double kDriveCatchUpMetres = 1000.0;
inline constexpr double kDriveNearMetres = 50.0;
// Fixes (seconds) the car stands at the route's end: half an hour.
inline constexpr int kDriveParkedFixes = 1800;

// The replay text shaped for a drive by a car at car (none: from the start). A cycle is a GGA
// sentence and the lines up to the next one. When a cycle's GGA position lies within
// kDriveNearMetres of car and within kDriveCatchUpMetres of the first cycle's (along the fixes),
// the text begins with the cycle after the nearest such one, so the car never steps back. Then
// the last cycle is repeated parkedFixes times, each a second later, its VTG speeds 0. Lines end
// in CR LF. Empty when no GGA has a position.
[[nodiscard]] std::string ShapeDriveText(std::string_view text, std::optional<GeoPoint> car,
                                         int parkedFixes);

// Writes route as the replay file (code page 1252 name) and shapes it for car; empty when
// written, otherwise why not.
[[nodiscard]] std::string WriteDriveFile(const std::string& file, const RouteRequestResult& route,
                                         std::optional<GeoPoint> car);
