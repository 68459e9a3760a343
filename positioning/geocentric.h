#pragma once
// Geodetic positions on an ellipsoid and earth-centred geocentric coordinates, converted through
// the reduced latitude, and the three-parameter geocentric shift between two datums.
// Pure functions; safe from any thread.

#include "positioning/geodeticdatum.h"

// The degree-to-radian factor of every geodetic conversion. It is 2.5e-12 short of the exact
// value: a shift far below a millimetre anywhere on earth.
inline constexpr double kGeodeticRadiansPerDegree = 0.0174532925199;

// Latitude and longitude in degrees, north and east positive.
struct GeodeticPosition {
    double latitude = 0.0;
    double longitude = 0.0;
};

// Earth-centred coordinates in metres: z along the polar axis, x through longitude 0.
struct GeocentricPoint {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
};

// The point heightMetres above the ellipsoid at the position. Latitudes beyond +-90 are taken
// as +-90. A NaN coordinate gives NaN coordinates.
GeocentricPoint GeodeticToGeocentric(const GeodeticPosition& position, double heightMetres,
                                     const Ellipsoid& ellipsoid);

// The position of a point, taken as lying on the ellipsoid: reduced latitude b from
// tan b = z / ((1 - f) sqrt(x^2 + y^2)), then tan(latitude) = tan b / (1 - f). Exact for points
// on the ellipsoid; a point h metres off it comes out about e^2 h sin(2 lat) / (2 N) radians off
// (0.13 m for h = 45 m at 54 degrees). Longitude in [-180, 180]; the poles and the centre give
// finite results.
GeodeticPosition GeocentricToGeodetic(const GeocentricPoint& point, const Ellipsoid& ellipsoid);

// A position on the source ellipsoid (height 0) moved by the translation (dx, dy, dz) metres of
// the geocentric frames and read back on the target ellipsoid.
GeodeticPosition ShiftGeocentric(const GeodeticPosition& position, const Ellipsoid& source,
                                 const GeocentricPoint& translation, const Ellipsoid& target);
