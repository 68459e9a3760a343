#include "utilities/usefulcode/greatcircledistance.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kEarthRadiusMetres = 6367444.0;
constexpr double kRadiansPerDegree = 0.017453292519944444;

} // namespace

double GreatCircleDistance(double x1, double y1, double x2, double y2) {
    // The law of cosines cannot give 0 reliably: sin^2 + cos^2 rounds to 1 - 1 ulp at some
    // latitudes, which is 0.095 m, or to 1 + 1 ulp, where acos is undefined without the clamp.
    if (x1 == x2 && y1 == y2) {
        return 0.0;
    }
    const double latitude1 = y1 * kRadiansPerDegree;
    const double latitude2 = y2 * kRadiansPerDegree;
    const double longitudeDifference = (x2 - x1) * kRadiansPerDegree;
    // Nearly equal points can still round the sum past 1.
    const double cosine =
        std::clamp(std::sin(latitude1) * std::sin(latitude2) +
                       std::cos(latitude1) * std::cos(latitude2) * std::cos(longitudeDifference),
                   -1.0, 1.0);
    const double distance = std::acos(cosine) * kEarthRadiusMetres;
    return distance < 0.0 ? 0.0 : distance;
}
