#include "positioning/geocentric.h"

#include <algorithm>
#include <cmath>

GeocentricPoint GeodeticToGeocentric(const GeodeticPosition& position, double heightMetres,
                                     const Ellipsoid& ellipsoid) {
    const double flattening = 1.0 / ellipsoid.inverseFlattening;
    // std::clamp keeps a NaN latitude NaN, so bad input stays visible in the result.
    const double latitude = std::clamp(position.latitude, -90.0, 90.0) * kGeodeticRadiansPerDegree;
    const double longitude = position.longitude * kGeodeticRadiansPerDegree;
    // atan2 instead of atan((1 - f) tan(latitude)): no infinite tangent at the poles.
    const double reduced = std::atan2((1.0 - flattening) * std::sin(latitude), std::cos(latitude));
    const double semiMinorAxis = ellipsoid.semiMajorAxis * (1.0 - flattening);
    const double equatorDistance =
        ellipsoid.semiMajorAxis * std::cos(reduced) + heightMetres * std::cos(latitude);
    return {equatorDistance * std::cos(longitude), equatorDistance * std::sin(longitude),
            semiMinorAxis * std::sin(reduced) + heightMetres * std::sin(latitude)};
}

GeodeticPosition GeocentricToGeodetic(const GeocentricPoint& point, const Ellipsoid& ellipsoid) {
    const double flattening = 1.0 / ellipsoid.inverseFlattening;
    const double axisDistance = std::hypot(point.x, point.y);
    // Both quotients of the closed form go through atan2, so the poles (axis distance 0), the
    // equator and the meridians 0 and +-90 need no cases of their own.
    const double reduced = std::atan2(point.z, (1.0 - flattening) * axisDistance);
    const double latitude = std::atan2(std::sin(reduced), (1.0 - flattening) * std::cos(reduced));
    const double longitude = std::atan2(point.y, point.x);
    // The short degree factor would put the poles and +-pi a hair beyond +-90 and +-180 degrees.
    return {std::clamp(latitude / kGeodeticRadiansPerDegree, -90.0, 90.0),
            std::clamp(longitude / kGeodeticRadiansPerDegree, -180.0, 180.0)};
}

GeodeticPosition ShiftGeocentric(const GeodeticPosition& position, const Ellipsoid& source,
                                 const GeocentricPoint& translation, const Ellipsoid& target) {
    GeocentricPoint point = GeodeticToGeocentric(position, 0.0, source);
    point.x += translation.x;
    point.y += translation.y;
    point.z += translation.z;
    return GeocentricToGeodetic(point, target);
}
