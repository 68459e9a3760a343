#include "positioning/datumconverter.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kPi = 3.141592653589793;
constexpr Ellipsoid kWgs84Ellipsoid{"WGS 84", 6378137.0, 298.257223563};
constexpr double kZoneWidthDegrees = 3.0;
constexpr double kZoneEastingStep = 1000000.0;
constexpr double kFalseEasting = 500000.0;
constexpr int kLastZone = 60; // central meridian 180 degrees
// Grid values beyond this are no place on earth; the bound keeps the series' powers finite.
constexpr double kGridLimitMetres = 1.0e8;

int SanitizedDatum(int datumIndex) {
    return IsDatumIndex(datumIndex) ? datumIndex : kWgs84Datum;
}

const Ellipsoid& EllipsoidOf(int datumIndex) {
    const GeodeticDatum& datum = GeodeticDatums()[static_cast<std::size_t>(datumIndex)];
    return Ellipsoids()[static_cast<std::size_t>(datum.ellipsoidIndex)];
}

double ClampLatitude(double latitude) {
    return std::clamp(latitude, -90.0, 90.0);
}

// Into [-180, 180]; remainder is exact, so a longitude already in range is returned unchanged.
double NormalizeLongitude(double longitude) {
    return std::remainder(longitude, 360.0);
}

// The zone whose central meridian (3 x zone) is nearest, halfway ties to the west. Longitudes
// near 0 go to zone 1 or -1: zone 0 cannot be told from zone 1 by its easting.
int ZoneOf(double longitude) {
    const double normalized = NormalizeLongitude(longitude);
    if (std::isnan(normalized)) {
        return 1;
    }
    const double nearest = std::ceil(normalized / kZoneWidthDegrees - 0.5);
    const int zone = static_cast<int>(
        std::clamp(nearest, -static_cast<double>(kLastZone), static_cast<double>(kLastZone)));
    if (zone == 0) {
        return normalized >= 0.0 ? 1 : -1;
    }
    return zone;
}

int ZoneOfEasting(double easting) {
    if (std::isnan(easting)) {
        return 1;
    }
    const double zone = std::floor(easting / kZoneEastingStep);
    const int clamped = static_cast<int>(
        std::clamp(zone, -static_cast<double>(kLastZone), static_cast<double>(kLastZone)));
    return clamped == 0 ? 1 : clamped;
}

} // namespace

DatumConverter::DatumConverter(int datumIndex)
    : m_datumIndex(SanitizedDatum(datumIndex)) {}

const GeodeticDatum& DatumConverter::DatumRow() const {
    return GeodeticDatums()[static_cast<std::size_t>(m_datumIndex)];
}

EllipsoidShape DatumConverter::EllipsoidParameters() const {
    const Ellipsoid& ellipsoid = EllipsoidOf(m_datumIndex);
    const double flattening = 1.0 / ellipsoid.inverseFlattening;
    return {ellipsoid.semiMajorAxis, 2.0 * flattening - flattening * flattening};
}

double DatumConverter::MeridianArc(double latitudeRadians, double semiMajorAxis,
                                   double eccentricitySquared) {
    if (latitudeRadians == 0.0) {
        return 0.0;
    }
    const double e2 = eccentricitySquared;
    const double e4 = e2 * e2;
    const double e6 = e4 * e2;
    const double phi = latitudeRadians;
    return semiMajorAxis *
           ((1.0 - e2 / 4.0 - 3.0 * e4 / 64.0 - 5.0 * e6 / 256.0) * phi -
            (3.0 * e2 / 8.0 + 3.0 * e4 / 32.0 + 45.0 * e6 / 1024.0) * std::sin(2.0 * phi) +
            (15.0 * e4 / 256.0 + 45.0 * e6 / 1024.0) * std::sin(4.0 * phi) -
            (35.0 * e6 / 3072.0) * std::sin(6.0 * phi));
}

GridPosition DatumConverter::TransverseMercatorForward(double latitude, double longitude,
                                                       double originLatitude,
                                                       double centralMeridian,
                                                       double scaleFactor) const {
    const auto [a, e2] = EllipsoidParameters();
    const double secondE2 = e2 / (1.0 - e2);
    const double phi = ClampLatitude(latitude) * kGeodeticRadiansPerDegree;
    const double sinPhi = std::sin(phi);
    const double cosPhi = std::cos(phi);
    // The short degree factor keeps phi just inside +-pi/2, so the tangent stays finite.
    const double tanPhi = std::tan(phi);
    const double n = a / std::sqrt(1.0 - e2 * sinPhi * sinPhi);
    const double t = tanPhi * tanPhi;
    const double c = secondE2 * cosPhi * cosPhi;
    // The difference is taken in degrees first, so that points equally far east and west of
    // the meridian get exactly opposite x.
    const double aa =
        NormalizeLongitude(longitude - centralMeridian) * kGeodeticRadiansPerDegree * cosPhi;
    const double aa2 = aa * aa;
    const double x =
        scaleFactor * n *
        (aa + (1.0 - t + c) * aa * aa2 / 6.0 +
         (5.0 - 18.0 * t + t * t + 72.0 * c - 58.0 * secondE2) * aa * aa2 * aa2 / 120.0);
    const double y =
        scaleFactor *
        (MeridianArc(phi, a, e2) -
         MeridianArc(ClampLatitude(originLatitude) * kGeodeticRadiansPerDegree, a, e2) +
         n * tanPhi *
             (aa2 / 2.0 + (5.0 - t + 9.0 * c + 4.0 * c * c) * aa2 * aa2 / 24.0 +
              (61.0 - 58.0 * t + t * t + 600.0 * c - 330.0 * secondE2) * aa2 * aa2 * aa2 / 720.0));
    return {x, y};
}

GeodeticPosition DatumConverter::TransverseMercatorInverse(double x, double y,
                                                           double originLatitude,
                                                           double centralMeridian,
                                                           double scaleFactor) const {
    const auto [a, e2] = EllipsoidParameters();
    const double secondE2 = e2 / (1.0 - e2);
    x = std::clamp(x, -kGridLimitMetres, kGridLimitMetres);
    y = std::clamp(y, -kGridLimitMetres, kGridLimitMetres);
    const double arc =
        MeridianArc(ClampLatitude(originLatitude) * kGeodeticRadiansPerDegree, a, e2) +
        y / scaleFactor;
    const double mu =
        arc / (a * (1.0 - e2 / 4.0 - 3.0 * e2 * e2 / 64.0 - 5.0 * e2 * e2 * e2 / 256.0));
    const double root = std::sqrt(1.0 - e2);
    const double e1 = (1.0 - root) / (1.0 + root);
    const double e1p2 = e1 * e1;
    const double footpoint = mu + (3.0 * e1 / 2.0 - 27.0 * e1 * e1p2 / 32.0) * std::sin(2.0 * mu) +
                             (21.0 * e1p2 / 16.0 - 55.0 * e1p2 * e1p2 / 32.0) * std::sin(4.0 * mu) +
                             (151.0 * e1 * e1p2 / 96.0) * std::sin(6.0 * mu) +
                             (1097.0 * e1p2 * e1p2 / 512.0) * std::sin(8.0 * mu);
    const double cosFoot = std::cos(footpoint);
    // At or beyond a pole the longitude terms divide by cos 0: the pole itself is the answer.
    if (std::abs(footpoint) >= kPi / 2.0 || cosFoot < 1e-12) {
        return {footpoint < 0.0 ? -90.0 : 90.0, NormalizeLongitude(centralMeridian)};
    }
    const double sinFoot = std::sin(footpoint);
    const double tanFoot = std::tan(footpoint);
    const double c1 = secondE2 * cosFoot * cosFoot;
    const double t1 = tanFoot * tanFoot;
    const double w = 1.0 - e2 * sinFoot * sinFoot;
    const double n1 = a / std::sqrt(w);
    const double r1 = a * (1.0 - e2) / std::pow(w, 1.5);
    const double d = x / (n1 * scaleFactor);
    const double d2 = d * d;
    const double latitude =
        footpoint -
        (n1 * tanFoot / r1) *
            (d2 / 2.0 -
             (5.0 + 3.0 * t1 + 10.0 * c1 - 4.0 * c1 * c1 - 9.0 * secondE2) * d2 * d2 / 24.0 +
             (61.0 + 90.0 * t1 + 298.0 * c1 + 45.0 * t1 * t1 - 252.0 * secondE2 - 3.0 * c1 * c1) *
                 d2 * d2 * d2 / 720.0);
    const double longitude =
        (d - (1.0 + 2.0 * t1 + c1) * d * d2 / 6.0 +
         (5.0 - 2.0 * c1 + 28.0 * t1 - 3.0 * c1 * c1 + 8.0 * secondE2 + 24.0 * t1 * t1) * d * d2 *
             d2 / 120.0) /
        cosFoot;
    return {ClampLatitude(latitude / kGeodeticRadiansPerDegree),
            NormalizeLongitude(centralMeridian + longitude / kGeodeticRadiansPerDegree)};
}

GeodeticPosition DatumConverter::DatumToWgs84(double latitude, double longitude,
                                              int datumIndex) const {
    const int datum = SanitizedDatum(datumIndex);
    if (datum == kWgs84Datum) {
        return {latitude, longitude};
    }
    const GeodeticDatum& row = GeodeticDatums()[static_cast<std::size_t>(datum)];
    return ShiftGeocentric(
        {latitude, longitude}, EllipsoidOf(datum),
        {static_cast<double>(row.dx), static_cast<double>(row.dy), static_cast<double>(row.dz)},
        kWgs84Ellipsoid);
}

GeodeticPosition DatumConverter::Wgs84ToDatum(double latitude, double longitude,
                                              int datumIndex) const {
    const int datum = SanitizedDatum(datumIndex);
    if (datum == kWgs84Datum) {
        return {latitude, longitude};
    }
    const GeodeticDatum& row = GeodeticDatums()[static_cast<std::size_t>(datum)];
    return ShiftGeocentric(
        {latitude, longitude}, kWgs84Ellipsoid,
        {-static_cast<double>(row.dx), -static_cast<double>(row.dy), -static_cast<double>(row.dz)},
        EllipsoidOf(datum));
}

GeodeticPosition DatumConverter::DatumToDatum(double latitude, double longitude, int fromDatumIndex,
                                              int toDatumIndex) const {
    const GeodeticPosition wgs84 = DatumToWgs84(latitude, longitude, fromDatumIndex);
    return Wgs84ToDatum(wgs84.latitude, wgs84.longitude, toDatumIndex);
}

GridPosition DatumConverter::GeographicToGaussKrueger(double latitude, double longitude,
                                                      int datumIndex) {
    m_datumIndex = SanitizedDatum(datumIndex);
    const int zone = ZoneOf(longitude);
    const GridPosition projected =
        TransverseMercatorForward(latitude, longitude, 0.0, kZoneWidthDegrees * zone, 1.0);
    return {projected.easting + kFalseEasting + zone * kZoneEastingStep, projected.northing};
}

GeodeticPosition DatumConverter::GaussKruegerToGeographic(double easting, double northing,
                                                          int datumIndex) {
    m_datumIndex = SanitizedDatum(datumIndex);
    const int zone = ZoneOfEasting(easting);
    const double x = easting - zone * kZoneEastingStep - kFalseEasting;
    return TransverseMercatorInverse(x, northing, 0.0, kZoneWidthDegrees * zone, 1.0);
}

GeodeticPositionF DatumConverter::GridToWgs84(float easting, float northing) {
    m_datumIndex = kDhdnDatum;
    const GeodeticPosition dhdn = GaussKruegerToGeographic(easting, northing, kDhdnDatum);
    const GeodeticPosition wgs84 = DatumToWgs84(dhdn.latitude, dhdn.longitude, kDhdnDatum);
    return {static_cast<float>(wgs84.latitude), static_cast<float>(wgs84.longitude)};
}

PlanePoint DatumConverter::Wgs84ToGrid(float latitude, float longitude) {
    m_datumIndex = kDhdnDatum;
    const GeodeticPosition dhdn = Wgs84ToDatum(latitude, longitude, kDhdnDatum);
    const GridPosition grid = GeographicToGaussKrueger(dhdn.latitude, dhdn.longitude, kDhdnDatum);
    return {static_cast<float>(grid.easting), static_cast<float>(grid.northing)};
}

PlanePoint DatumConverter::ToPlane(float latitude, float longitude,
                                   const GeodeticPositionF& origin) const {
    const GridPosition projected =
        TransverseMercatorForward(latitude, longitude, origin.latitude, origin.longitude, 1.0);
    return {static_cast<float>(projected.easting), static_cast<float>(projected.northing)};
}

GeodeticPositionF DatumConverter::FromPlane(const PlanePoint& point,
                                            const GeodeticPositionF& origin) const {
    const GeodeticPosition position =
        TransverseMercatorInverse(point.x, point.y, origin.latitude, origin.longitude, 1.0);
    return {static_cast<float>(position.latitude), static_cast<float>(position.longitude)};
}
