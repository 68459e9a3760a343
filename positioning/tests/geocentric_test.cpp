#include "positioning/geocentric.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

double Dms(double degrees, double minutes, double seconds) {
    return degrees + minutes / 60.0 + seconds / 3600.0;
}

const Ellipsoid& Wgs84() {
    return Ellipsoids()[20];
}
const Ellipsoid& International1924() {
    return Ellipsoids()[14];
}

} // namespace

// IOGP Publication 373-7-2 (EPSG Guidance Note 7-2), geographic/geocentric conversion example:
// WGS 84, 53 deg 48' 33.820" N, 2 deg 07' 46.380" E, h = 73.0 m ->
// X = 3771793.968 m, Y = 140253.342 m, Z = 5124304.349 m (given to the millimetre).
TEST(Geocentric, MatchesTheEpsgConversionExample) {
    const GeocentricPoint point =
        GeodeticToGeocentric({Dms(53, 48, 33.820), Dms(2, 7, 46.380)}, 73.0, Wgs84());
    EXPECT_NEAR(point.x, 3771793.968, 0.001);
    EXPECT_NEAR(point.y, 140253.342, 0.001);
    EXPECT_NEAR(point.z, 5124304.349, 0.001);
}

// The same guidance note's geocentric translation example, WGS 84 to ED50 (International 1924)
// with dX = +84.87, dY = +96.49, dZ = +116.95 m: the point above becomes X = 3771878.84,
// Y = 140349.83, Z = 5124421.30, that is 53 deg 48' 36.565" N, 2 deg 07' 51.477" E, h = 28.02 m.
// The closed form reads a point as lying on the ellipsoid; the example's point is 28 m above it
// (and 73 m above WGS 84 to start with), which moves the latitude by e^2 h sin(2 lat) / (2 N):
// 0.09 m for 28 m. Longitude is unaffected (1 cm allowed for the published rounding).
TEST(Geocentric, MatchesTheEpsgGeocentricTranslationExample) {
    const double latitudeMetres = 111250.0; // per degree at 54 N
    const double longitudeMetres = 65600.0;
    const double expectedLatitude = Dms(53, 48, 36.565);
    const double expectedLongitude = Dms(2, 7, 51.477);

    const GeodeticPosition ed50 =
        GeocentricToGeodetic({3771878.84, 140349.83, 5124421.30}, International1924());
    EXPECT_NEAR((ed50.latitude - expectedLatitude) * latitudeMetres, 0.0, 0.12);
    EXPECT_NEAR((ed50.longitude - expectedLongitude) * longitudeMetres, 0.0, 0.01);

    // From height 0 the shifted point lies 45 m below ED50's ellipsoid: 0.14 m the other way.
    const GeodeticPosition shifted =
        ShiftGeocentric({Dms(53, 48, 33.820), Dms(2, 7, 46.380)}, Wgs84(), {84.87, 96.49, 116.95},
                        International1924());
    EXPECT_NEAR((shifted.latitude - expectedLatitude) * latitudeMetres, 0.0, 0.2);
    EXPECT_NEAR((shifted.longitude - expectedLongitude) * longitudeMetres, 0.0, 0.01);
}

// Points on the ellipsoid come back exactly (to rounding), including the poles, the equator and
// the meridians 0, +-90 and 180 where the tangents and quotients of the closed form are infinite
// or zero.
TEST(Geocentric, RoundTripsOnTheEllipsoidIncludingTheSpecialLatitudesAndLongitudes) {
    const double latitudes[] = {-90.0, -45.0, 0.0, 0.5, 52.0, 90.0};
    const double longitudes[] = {-180.0, -90.0, -0.5, 0.0, 90.0, 135.0, 180.0};
    for (const double latitude : latitudes) {
        for (const double longitude : longitudes) {
            SCOPED_TRACE(testing::Message() << latitude << ", " << longitude);
            const GeocentricPoint point =
                GeodeticToGeocentric({latitude, longitude}, 0.0, Ellipsoids()[3]);
            const GeodeticPosition back = GeocentricToGeodetic(point, Ellipsoids()[3]);
            EXPECT_NEAR(back.latitude, latitude, 1e-9);
            if (std::abs(latitude) < 90.0) {
                EXPECT_NEAR(std::remainder(back.longitude - longitude, 360.0), 0.0, 1e-9);
            }
            EXPECT_LE(std::abs(back.longitude), 180.0);
        }
    }
}

TEST(Geocentric, TakesLatitudesBeyondThePolesAsThePoles) {
    const GeocentricPoint beyond = GeodeticToGeocentric({100.0, 10.0}, 0.0, Wgs84());
    const GeocentricPoint pole = GeodeticToGeocentric({90.0, 10.0}, 0.0, Wgs84());
    EXPECT_EQ(beyond.z, pole.z);
    EXPECT_NEAR(pole.z, 6356752.3142, 0.001); // WGS 84 semi-minor axis
    // The earth's centre has no direction; it still gives a finite position.
    const GeodeticPosition centre = GeocentricToGeodetic({0.0, 0.0, 0.0}, Wgs84());
    EXPECT_TRUE(std::isfinite(centre.latitude) && std::isfinite(centre.longitude));
}
