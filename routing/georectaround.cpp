#include "routing/georectaround.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double kEarthRadiusMetres = 6367444.0;
// Products with these two are rounded to float, as the network's stored rectangles were built.
constexpr float kRadiansPerDegreeF = 0.017453292f;
constexpr float kDegreesPerMetreF = 8.998239e-6f;
constexpr double kDegreesPerRadian = 57.29577951307855;

} // namespace

GeoRect GeoRectAround(const GeoPoint& position, double distanceMetres) {
    const double distance = std::isnan(distanceMetres) ? 0.0 : std::abs(distanceMetres);
    // Narrowing a double beyond the float range is undefined; such a distance spans everything.
    const float distanceF = static_cast<float>(
        std::min(distance, static_cast<double>(std::numeric_limits<float>::max())));
    const float latitudeOffset = distanceF * kDegreesPerMetreF;
    const double minY = static_cast<double>(position.y) - static_cast<double>(latitudeOffset);
    const double maxY = static_cast<double>(position.y) + static_cast<double>(latitudeOffset);

    const double metresPerRadian =
        std::cos(static_cast<double>(position.y * kRadiansPerDegreeF)) * kEarthRadiusMetres;
    const double longitudeRadians = static_cast<double>(position.x * kRadiansPerDegreeF);
    // Near a pole the cosine goes to 0 (and the float factor makes it slightly negative at
    // exactly 90 degrees): the offset would be infinite or flip the rectangle over.
    const double offsetRadians = distance / metresPerRadian;
    if (!(metresPerRadian > 0.0) || !(offsetRadians * kDegreesPerRadian <= 180.0)) {
        return {-180.0f, static_cast<float>(minY), 180.0f, static_cast<float>(maxY)};
    }
    const double minX = (longitudeRadians - offsetRadians) * kDegreesPerRadian;
    const double maxX = (longitudeRadians + offsetRadians) * kDegreesPerRadian;
    return {static_cast<float>(minX), static_cast<float>(minY), static_cast<float>(maxX),
            static_cast<float>(maxY)};
}
