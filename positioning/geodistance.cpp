#include "positioning/geodistance.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kEarthRadiusMetres = 6367444.0;
constexpr double kRadiansPerDegree = 0.017453292519944444;
// The same factor where it multiplies a float: the product is rounded to float.
constexpr float kRadiansPerDegreeF = 0.017453292f;
constexpr double kDegreesPerRadian = 57.29577951307855;

} // namespace

double GeoDistance(const GeoPoint& a, const GeoPoint& b) {
    const double scale = std::cos(static_cast<double>(a.y * kRadiansPerDegreeF));
    const float longitudeDifference = b.x - a.x;
    const float latitudeDifference = b.y - a.y;
    const double dx =
        static_cast<double>(longitudeDifference) * kRadiansPerDegree * scale * kEarthRadiusMetres;
    const double dy =
        static_cast<double>(latitudeDifference) * kRadiansPerDegree * kEarthRadiusMetres;
    return std::sqrt(dx * dx + dy * dy);
}

double GeoBearing(const GeoPoint& a, const GeoPoint& b) {
    const double distance = GeoDistance(a, b);
    if (distance == 0.0) {
        return 0.0;
    }
    const float latitudeDifference = b.y - a.y;
    // The north component is scaled exactly as in GeoDistance: with the float factor here a
    // north-south line would come out 0.007 degrees off (0.0071 for due north, 179.9929 for
    // due south). The clamp keeps asin defined whatever the rounding.
    const double northMetres =
        std::abs(static_cast<double>(latitudeDifference)) * kRadiansPerDegree * kEarthRadiusMetres;
    const double sine = std::clamp(northMetres / distance, -1.0, 1.0);
    const double angleFromEastWest = std::asin(sine) * kDegreesPerRadian;
    const bool isEast = b.x - a.x >= 0.0f;
    const bool isNorth = latitudeDifference >= 0.0f;
    if (isEast) {
        return isNorth ? 90.0 - angleFromEastWest : 90.0 + angleFromEastWest;
    }
    return isNorth ? 270.0 + angleFromEastWest : 270.0 - angleFromEastWest;
}

namespace {

// cos(x) as sqrt(1 - sin(x)^2), taking sin(x) as x for small angles.
double CosineWithShortcut(double x) {
    const double s = std::fabs(x) < 0.004 ? x : std::sin(x);
    return std::sqrt(1.0 - s * s);
}

} // namespace

double SphericalDistance(double longitude1, double latitude1, double longitude2, double latitude2) {
    const double latitudeCos = CosineWithShortcut((latitude2 - latitude1) * kRadiansPerDegree);
    const double longitudeCos = CosineWithShortcut((longitude2 - longitude1) * kRadiansPerDegree);
    const double sumCos = std::cos((latitude1 + latitude2) * kRadiansPerDegree);
    const double q =
        std::clamp(((latitudeCos + sumCos) * longitudeCos + latitudeCos - sumCos) * 0.5, -1.0, 1.0);
    return std::max(std::acos(q) * kEarthRadiusMetres, 0.0);
}
