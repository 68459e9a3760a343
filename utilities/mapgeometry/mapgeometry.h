#pragma once
// Map coordinates: integer map units (MapPoint, MapRect; 2^28 units per 360 degrees) and float
// degrees (GeoPoint, GeoRect; x = longitude, y = latitude), their conversions, the process-wide
// angle unit and the small geometry helpers every subsystem shares. Pure value code, any thread.

#include <atomic>
#include <cstdint>

inline constexpr double kMapUnitsPerDegree = 745654.0444444445;    // 2^28 / 360
inline constexpr double kDegreesPerMapUnit = 1.341104507446289e-6; // 360 / 2^28
// Scale of the map transform: metres per pixel times this gives map units per pixel.
inline constexpr double kMapUnitsPerMetre = 6.708960928213603;
inline constexpr double kMetresPerMapUnit = 0.1490543782711029;

struct GeoPoint {
    float x = 0.0f; // longitude, degrees
    float y = 0.0f; // latitude, degrees

    GeoPoint operator-(const GeoPoint& other) const { return {x - other.x, y - other.y}; }
    friend bool operator==(const GeoPoint&, const GeoPoint&) = default;
};

// Float rectangle in degrees. All zero means "nothing found". RectF is the same rectangle under
// the name the float rectangle tests use (x1 = minX, y1 = minY, x2 = maxX, y2 = maxY).
struct GeoRect {
    float minX = 0.0f;
    float minY = 0.0f;
    float maxX = 0.0f;
    float maxY = 0.0f;

    GeoRect() = default;
    GeoRect(float minXDegrees, float minYDegrees, float maxXDegrees, float maxYDegrees)
        : minX(minXDegrees)
        , minY(minYDegrees)
        , maxX(maxXDegrees)
        , maxY(maxYDegrees) {}

    GeoPoint GetCenter() const { return {(minX + maxX) * 0.5f, (minY + maxY) * 0.5f}; }
    // Moves each bound outward only, so that the point lies inside.
    void Extend(const GeoPoint& p);
    // Widens this rectangle to contain the other one; returns this rectangle.
    GeoRect& Union(const GeoRect& other);
    // minX - dx, maxX + dx, minY - dy, maxY + dy.
    void Inflate(float dx, float dy);
    // Swaps the x bounds and the y bounds where they are the wrong way round.
    void Normalize();
    // True when the rectangles share an area: rectangles that only touch do not. A zero-width
    // extent on an axis counts as covering its start (both rectangles are normalised first).
    static bool Intersects(const GeoRect& a, const GeoRect& b);

    friend bool operator==(const GeoRect&, const GeoRect&) = default;
};
using RectF = GeoRect;

struct MapPoint {
    std::int32_t x = 0;
    std::int32_t y = 0;

    friend bool operator==(const MapPoint&, const MapPoint&) = default;
};

struct MapRect {
    std::int32_t x1 = 0;
    std::int32_t y1 = 0;
    std::int32_t x2 = 0;
    std::int32_t y2 = 0;

    // True when the rectangles share at least one point: touching edges intersect.
    static bool Intersects(const MapRect& a, const MapRect& b);
    // True when the rectangles share an area: touching edges do not overlap. A zero-width extent
    // on an axis counts as covering its start (lower edges inclusive, upper edges exclusive).
    static bool Overlaps(const MapRect& a, const MapRect& b);
    // Swaps x1/x2 and y1/y2 where needed so that x1 <= x2 and y1 <= y2.
    void Normalize();
    // ((x1 + x2) / 2, (y1 + y2) / 2), the halves truncated toward zero.
    MapPoint GetCenter() const;
    // Moves each bound outward only, so that the point lies inside.
    void Extend(const MapPoint& p);

    friend bool operator==(const MapRect&, const MapRect&) = default;
    bool operator!=(const MapRect& other) const { return !(*this == other); }
};

// Degrees times kMapUnitsPerDegree, truncated toward zero. Values beyond the 32-bit range
// saturate at its ends; NaN gives 0.
MapRect DegreesToMapUnits(const GeoRect& degrees);
MapPoint DegreesToMapPoint(const GeoPoint& degrees);
// Map units times kDegreesPerMapUnit, rounded to float.
GeoRect MapUnitsToDegrees(const MapRect& mapUnits);
GeoPoint MapPointToDegrees(const MapPoint& mapUnits);

// Angle units of rotations in the map transform.
inline constexpr int kAngleUnitDegrees = 0;
inline constexpr int kAngleUnitRadians = 1;
inline constexpr int kAngleUnitGrads = 2;
// The process-wide angle unit; degrees at start-up.
inline std::atomic<int> AngleUnit{kAngleUnitDegrees};
// The value in radians for one of the kAngleUnit... units; 0 for any other unit.
double ToRadians(int unit, double value);

// dx * dx + dy * dy in 32-bit arithmetic: wraps (possibly to a negative value) once the
// distance exceeds about 46340 map units.
std::int32_t SquaredDistance(const MapPoint& a, const MapPoint& b);
// Projects p onto the segment from segmentStart to segmentEnd with an integer parameter t,
// clamped to 0..1: the result is segmentEnd when the projection reaches it, else segmentStart
// (also for a segment of length 0). Exact for any 32-bit coordinates.
MapPoint ProjectOntoSegment(const MapPoint& p, const MapPoint& segmentEnd,
                            const MapPoint& segmentStart);
