#pragma once
// Coordinate conversion between geodetic datums, the Transverse Mercator projection and the
// Gauss-Krueger grid (3-degree zones) of the DHDN datum. A small value object made where it is
// needed; the grid entry points change its datum, so give each thread its own.

#include "positioning/geocentric.h"
#include "positioning/geodeticdatum.h"

// Projected or grid coordinates in metres (Transverse Mercator: easting = x, northing = y).
struct GridPosition {
    double easting = 0.0;
    double northing = 0.0;
};

// A grid point narrowed to floats: x = easting, y = northing (metres).
struct PlanePoint {
    float x = 0.0f;
    float y = 0.0f;
};

// Latitude and longitude narrowed to floats (degrees).
struct GeodeticPositionF {
    float latitude = 0.0f;
    float longitude = 0.0f;
};

// Semi-major axis (metres) and first eccentricity squared of an ellipsoid.
struct EllipsoidShape {
    double semiMajorAxis = 0.0;
    double eccentricitySquared = 0.0;
};

// Every operation is total: datum numbers outside 0..103 are taken as 100 (WGS 84, no shift),
// latitudes beyond +-90 as +-90, longitudes in any turn; results are finite for finite input
// (NaN input, or an infinite longitude, gives NaN). Angles are degrees unless a name says
// otherwise.
class DatumConverter {
public:
    explicit DatumConverter(int datumIndex);

    int DatumIndex() const { return m_datumIndex; }
    // The datum table row of the current datum.
    const GeodeticDatum& DatumRow() const;
    // (a, e^2 = 2f - f^2) of the current datum's ellipsoid.
    EllipsoidShape EllipsoidParameters() const;

    // Metres along the meridian from the equator to the latitude; exactly 0 at latitude 0.
    static double MeridianArc(double latitudeRadians, double semiMajorAxis,
                              double eccentricitySquared);

    // Transverse Mercator on the current datum's ellipsoid, without false easting or northing;
    // northing counted from the origin latitude. The series is meant for a few degrees either
    // side of the central meridian.
    GridPosition TransverseMercatorForward(double latitude, double longitude, double originLatitude,
                                           double centralMeridian, double scaleFactor) const;
    // The inverse: a northing beyond a pole gives that pole on the central meridian. Grid
    // values are taken within +-1e8 m. Longitude in [-180, 180].
    GeodeticPosition TransverseMercatorInverse(double x, double y, double originLatitude,
                                               double centralMeridian, double scaleFactor) const;

    // Three-parameter shifts through geocentric coordinates, heights 0. Datum 100 returns the
    // input unchanged.
    GeodeticPosition DatumToWgs84(double latitude, double longitude, int datumIndex) const;
    GeodeticPosition Wgs84ToDatum(double latitude, double longitude, int datumIndex) const;
    GeodeticPosition DatumToDatum(double latitude, double longitude, int fromDatumIndex,
                                  int toDatumIndex) const;

    // Gauss-Krueger grid on the datum's ellipsoid (scale 1): easting = x + 500000 + zone x 1e6,
    // zone = central meridian / 3. Zones 1..6 (3..18 degrees east) take longitudes 0..19.5,
    // halfway ties going to the western zone; further zones continue every 3 degrees (7..60
    // east, -1..-60 west of 0), so every longitude lies within 3 degrees of its central
    // meridian. Both set the converter's datum.
    GridPosition GeographicToGaussKrueger(double latitude, double longitude, int datumIndex);
    // Zone = floor(easting / 1e6) within -60..60, 0 taken as 1.
    GeodeticPosition GaussKruegerToGeographic(double easting, double northing, int datumIndex);

    // WGS 84 from the DHDN grid and back (datum 103, which they leave as the current datum).
    // Float precision of the grid: 0.5 m for the zones 1..6, up to 4 m for the farthest zones.
    GeodeticPositionF GridToWgs84(float easting, float northing);
    PlanePoint Wgs84ToGrid(float latitude, float longitude);

    // The plane of map geometry around an origin: Transverse Mercator on the current datum's
    // ellipsoid, scale 1, with the origin's meridian as central meridian and its parallel as
    // origin latitude; x metres east, y metres north of the origin (the origin is (0, 0)). Give
    // all points of one figure the same origin: its plane lengths are lengths on the ground to
    // within 2e-6 up to 10 km east or west of the origin (the scale grows with the square of
    // that distance: 1.3e-4 at 100 km), and the pair undoes itself to float precision within 2
    // degrees of it. No datum shift; the antimeridian is no edge.
    PlanePoint ToPlane(float latitude, float longitude, const GeodeticPositionF& origin) const;
    // The inverse of ToPlane for the same origin and datum.
    GeodeticPositionF FromPlane(const PlanePoint& point, const GeodeticPositionF& origin) const;

private:
    int m_datumIndex;
};
