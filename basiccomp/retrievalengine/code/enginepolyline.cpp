#include "basiccomp/retrievalengine/code/enginepolyline.h"

#include <cmath>

namespace {

double PlaneDistance(const PlanePoint& a, const PlanePoint& b) {
    const float dx = b.x - a.x;
    const float dy = b.y - a.y;
    return std::sqrt(static_cast<double>(dx * dx + dy * dy));
}

} // namespace

EnginePolyline::EnginePolyline(const std::vector<GeoPoint>& points) {
    SetPoints(points);
}

void EnginePolyline::SetPoints(const std::vector<GeoPoint>& points) {
    if (points.empty()) {
        return;
    }
    if (m_planePoints.empty()) {
        m_origin = {points.front().y, points.front().x};
    }
    const DatumConverter converter(kWgs84Datum);
    m_planePoints.reserve(m_planePoints.size() + points.size());
    for (const GeoPoint& point : points) {
        m_planePoints.push_back(converter.ToPlane(point.y, point.x, m_origin));
    }
}

double EnginePolyline::GetLength() const {
    double length = 0.0;
    for (std::size_t i = 1; i < m_planePoints.size(); ++i) {
        length += PlaneDistance(m_planePoints[i - 1], m_planePoints[i]);
    }
    return length;
}

void EnginePolyline::Resample(std::int32_t n, int mode) {
    m_resampledPoints.clear();
    if (n < 1) {
        return;
    }
    std::int64_t k = (n != 1 && mode == 2) ? n - 2 : n;
    const double length = GetLength();
    const double step =
        mode == 0 ? length / static_cast<double>(k) : length / static_cast<double>(k + 1);
    if (!(step > 0.0)) {
        return;
    }
    if (mode == 2) {
        m_resampledPoints.push_back(m_planePoints.front());
    }
    // The count bounds the walk, so rounding in the remaining distance never adds a sample at
    // the last point.
    PlanePoint a = m_planePoints.front();
    double remaining = mode == 0 ? step / 2.0 : step;
    std::size_t next = 1;
    while (k > 0 && next < m_planePoints.size()) {
        const PlanePoint& b = m_planePoints[next];
        const double s = PlaneDistance(a, b);
        if (s > remaining) {
            const auto t = static_cast<float>(remaining / s);
            a = {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t};
            m_resampledPoints.push_back(a);
            --k;
            remaining = step;
        } else {
            remaining -= s;
            a = b;
            ++next;
        }
    }
    if (mode == 2 && n != 1) {
        m_resampledPoints.push_back(m_planePoints.back());
    }
}

void EnginePolyline::GetPoints(std::uint32_t n, std::vector<GeoPoint>& out, int mode) {
    out.clear();
    if (m_planePoints.size() < 2) {
        return;
    }
    Resample(static_cast<std::int32_t>(n), mode);
    const DatumConverter converter(kWgs84Datum);
    out.reserve(m_resampledPoints.size());
    for (const PlanePoint& point : m_resampledPoints) {
        const GeodeticPositionF position = converter.FromPlane(point, m_origin);
        out.push_back({position.longitude, position.latitude});
    }
}
