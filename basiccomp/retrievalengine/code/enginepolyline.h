#pragma once
// A map element's points carried into the geodesy's plane, where lengths can be measured, and
// resampled at equal distances along them (house numbers placed along a street element). One
// plane serves the whole polyline: the one around its first point, so that plane distances are
// distances along the element wherever it lies.

#include "positioning/datumconverter.h"
#include "utilities/mapgeometry/mapgeometry.h"

#include <cstdint>
#include <vector>

class EnginePolyline {
public:
    explicit EnginePolyline(const std::vector<GeoPoint>& points);
    virtual ~EnginePolyline() = default;

    // Clears `out`; with at least two plane points resamples (n, mode) and converts the samples
    // back to degrees (x = longitude, y = latitude). n beyond the i32 range gives no samples.
    virtual void GetPoints(std::uint32_t n, std::vector<GeoPoint>& out, int mode);
    // Sum of the segment lengths in plane units; 0 for fewer than two points.
    virtual double GetLength() const;
    // Appends the plane points of `points` (degrees) to the plane points; the first point ever
    // given is the origin of the plane.
    virtual void SetPoints(const std::vector<GeoPoint>& points);
    // Replaces the resampled points. Mode 0: n samples centred in n equal stretches; mode 2: the
    // two end points and n - 2 samples between them (n = 1: the first point and the middle);
    // any other mode: n samples at j x length / (n + 1). Nothing for n < 1 or length 0.
    virtual void Resample(std::int32_t n, int mode);

    const std::vector<PlanePoint>& PlanePoints() const { return m_planePoints; }
    const std::vector<PlanePoint>& ResampledPoints() const { return m_resampledPoints; }

private:
    std::vector<PlanePoint> m_planePoints;
    std::vector<PlanePoint> m_resampledPoints;
    GeodeticPositionF m_origin; // of the plane; set with the first plane point
};
