#include "routing/routepolyline.h"

#include "positioning/geodistance.h"
#include "utilities/usefulcode/greatcircledistance.h"
#include "utilities/usefulcode/segmentgeometry.h"

#include <algorithm>
#include <cstddef>

namespace {

double Metres(const GeoPoint& a, const GeoPoint& b) {
    return GreatCircleDistance(a.x, a.y, b.x, b.y);
}

GeoPoint Middle(const GeoPoint& a, const GeoPoint& b) {
    return {(a.x + b.x) / 2.0f, (a.y + b.y) / 2.0f};
}

// The nearest segment's end index (at least 1); the line has at least two vertices.
std::size_t SegmentEnd(const GeoPoint& p, std::span<const GeoPoint> line) {
    return std::max<std::size_t>(1, NearestSegmentIndex(p, line));
}

} // namespace

GeoPoint ProjectOntoPolyline(const GeoPoint& p, std::span<const GeoPoint> line) {
    if (line.empty()) {
        return p;
    }
    if (line.size() == 1) {
        return line[0];
    }
    GeoPoint best = line[0];
    double bestDistance = GeoDistance(p, best);
    for (std::size_t i = 1; i < line.size(); ++i) {
        const GeoPoint c = ClosestPointOnSegment(p, line[i], line[i - 1]);
        const double distance = GeoDistance(p, c);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = c;
        }
    }
    if (best == line.front()) {
        return Middle(line[0], line[1]);
    }
    if (best == line.back()) {
        return Middle(line[line.size() - 2], line.back());
    }
    return best;
}

double LengthToProjection(const GeoPoint& p, std::span<const GeoPoint> line) {
    if (line.size() < 2) {
        return 0.0;
    }
    const std::size_t end = SegmentEnd(p, line);
    double length = 0.0;
    for (std::size_t i = 1; i < end; ++i) {
        length += Metres(line[i - 1], line[i]);
    }
    return length + Metres(line[end - 1], ClosestPointOnSegment(p, line[end], line[end - 1]));
}

double LengthFromProjection(const GeoPoint& p, std::span<const GeoPoint> line) {
    if (line.size() < 2) {
        return 0.0;
    }
    const std::size_t end = SegmentEnd(p, line);
    double length = Metres(ClosestPointOnSegment(p, line[end], line[end - 1]), line[end]);
    for (std::size_t i = end + 1; i < line.size(); ++i) {
        length += Metres(line[i - 1], line[i]);
    }
    return length;
}

void CutHeadAt(const GeoPoint& p, std::vector<GeoPoint>& line) {
    if (line.size() < 2) {
        return;
    }
    const std::size_t end = SegmentEnd(p, line);
    line.erase(line.begin(), line.begin() + static_cast<std::ptrdiff_t>(end - 1));
    line.front() = p;
    // At a vertex the point takes its place, once.
    if (line.size() > 2 && line[1] == p) {
        line.erase(line.begin() + 1);
    }
}

void CutTailAt(const GeoPoint& p, std::vector<GeoPoint>& line) {
    if (line.size() < 2) {
        return;
    }
    const std::size_t end = SegmentEnd(p, line);
    line.resize(end + 1);
    line.back() = p;
    if (line.size() > 2 && line[line.size() - 2] == p) {
        line.pop_back();
    }
}
