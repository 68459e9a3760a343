#include "advisor/advicerecord.h"

#include "utilities/usefulcode/greatcircledistance.h"
#include "utilities/usefulcode/segmentgeometry.h"

namespace {

double Distance(const GeoPoint& a, const GeoPoint& b) {
    return GreatCircleDistance(a.x, a.y, b.x, b.y);
}

} // namespace

double RemainingPolylineDistance(const GeoPoint& point, std::span<const GeoPoint> polyline) {
    // The nearest-segment rule answers 0 below two points, which would name a segment that is
    // not there.
    if (polyline.empty()) {
        return 0.0;
    }
    if (polyline.size() == 1) {
        return Distance(point, polyline[0]);
    }
    const std::size_t nearest = std::max<std::size_t>(NearestSegmentIndex(point, polyline), 1);
    const GeoPoint projected =
        ClosestPointOnSegment(point, polyline[nearest], polyline[nearest - 1]);
    double sum = Distance(projected, polyline[nearest]);
    for (std::size_t i = nearest + 1; i < polyline.size(); ++i) {
        sum += Distance(polyline[i - 1], polyline[i]);
    }
    return sum;
}
