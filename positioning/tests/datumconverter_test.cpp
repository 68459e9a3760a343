#include "positioning/datumconverter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

constexpr double kMetresPerDegree = 111320.0; // for turning angle errors into ground metres

double DatumDms(double degrees, double minutes, double seconds) {
    return degrees + minutes / 60.0 + seconds / 3600.0;
}

// Ground distance in metres between two nearby positions, longitude differences taken across
// the antimeridian the short way.
double GroundMetres(double latitude1, double longitude1, double latitude2, double longitude2) {
    const double northMetres = (latitude2 - latitude1) * kMetresPerDegree;
    const double eastMetres = std::remainder(longitude2 - longitude1, 360.0) * kMetresPerDegree *
                              std::cos(latitude1 * kGeodeticRadiansPerDegree);
    return std::hypot(northMetres, eastMetres);
}

float Ulp(float value) {
    const float magnitude = std::abs(value);
    return std::nextafter(magnitude, std::numeric_limits<float>::infinity()) - magnitude;
}

int ZoneOfEasting(double easting) {
    return static_cast<int>(std::floor(easting / 1000000.0));
}

} // namespace

// Snyder, "Map Projections - A Working Manual", USGS Professional Paper 1395 (1987), numerical
// example of the ellipsoidal Transverse Mercator: Clarke 1866, 40 deg 30' N, 73 deg 30' W,
// origin 0 / 75 W, k0 = 0.9996 -> x = 127106.5 m, y = 4484124.4 m. The example rounds to 0.1 m
// and takes e^2 = 0.00676866 (we derive it from 1/f: 7 mm in y), hence 0.06 m.
TEST(TransverseMercator, MatchesSnydersWorkedExample) {
    const DatumConverter clarke1866(61); // NAD27 CONUS, on Clarke 1866
    const GridPosition grid = clarke1866.TransverseMercatorForward(40.5, -73.5, 0.0, -75.0, 0.9996);
    EXPECT_NEAR(grid.easting, 127106.5, 0.06);
    EXPECT_NEAR(grid.northing, 4484124.4, 0.06);
    // Inverse of the rounded grid values: 0.05 m of rounding is 5e-7 degrees.
    const GeodeticPosition back =
        clarke1866.TransverseMercatorInverse(127106.5, 4484124.4, 0.0, -75.0, 0.9996);
    EXPECT_NEAR(back.latitude, 40.5, 1e-6);
    EXPECT_NEAR(back.longitude, -73.5, 1e-6);
}

// IOGP Publication 373-7-2 (EPSG Guidance Note 7-2), Transverse Mercator example: OSGB 1936 /
// British National Grid (Airy 1830, origin 49 N 2 W, k0 = 0.9996012717, false origin 400000 /
// -100000): 50 deg 30' N, 0 deg 30' E -> E 577274.99, N 69740.50. The guidance note's own series
// differs from Snyder's by under 1 cm here, and rounds to 0.01 m: tolerance 0.02 m / 2e-7 deg.
TEST(TransverseMercator, MatchesEpsgBritishNationalGridExample) {
    const DatumConverter airy(75); // Ord Srvy Grt Britn, on Airy 1830
    const GridPosition grid = airy.TransverseMercatorForward(50.5, 0.5, 49.0, -2.0, 0.9996012717);
    EXPECT_NEAR(grid.easting + 400000.0, 577274.99, 0.02);
    EXPECT_NEAR(grid.northing - 100000.0, 69740.50, 0.02);
    const GeodeticPosition back = airy.TransverseMercatorInverse(
        577274.99 - 400000.0, 69740.50 + 100000.0, 49.0, -2.0, 0.9996012717);
    EXPECT_NEAR(back.latitude, 50.5, 2e-7);
    EXPECT_NEAR(back.longitude, 0.5, 2e-7);
}

// Meridian quadrants: WGS 84 10001965.7293 m (NIMA TR8350.2, derived geometric constants);
// Bessel 1841 10000855.7646 m, the quadrant that ellipsoid was fitted to. The series stops at
// e^6, which leaves well under a millimetre.
TEST(MeridianArc, MatchesPublishedQuadrantsAndIsExactlyZeroAtTheEquator) {
    const double halfPi = 3.141592653589793 / 2.0;
    const EllipsoidShape wgs84 = DatumConverter(kWgs84Datum).EllipsoidParameters();
    const EllipsoidShape bessel = DatumConverter(kDhdnDatum).EllipsoidParameters();
    EXPECT_NEAR(DatumConverter::MeridianArc(halfPi, wgs84.semiMajorAxis, wgs84.eccentricitySquared),
                10001965.7293, 0.001);
    EXPECT_NEAR(
        DatumConverter::MeridianArc(halfPi, bessel.semiMajorAxis, bessel.eccentricitySquared),
        10000855.7646, 0.001);
    const double atEquator =
        DatumConverter::MeridianArc(0.0, bessel.semiMajorAxis, bessel.eccentricitySquared);
    EXPECT_EQ(atEquator, 0.0);
    EXPECT_FALSE(std::signbit(atEquator));
    EXPECT_NEAR(
        DatumConverter::MeridianArc(-halfPi, wgs84.semiMajorAxis, wgs84.eccentricitySquared),
        -10001965.7293, 0.001);
}

// e^2 of the ellipsoids (WGS 84 0.00669437999014, NIMA TR8350.2; Bessel 1841 0.006674372231).
TEST(DatumConverter, GivesTheEllipsoidOfItsDatum) {
    const EllipsoidShape wgs84 = DatumConverter(kWgs84Datum).EllipsoidParameters();
    EXPECT_EQ(wgs84.semiMajorAxis, 6378137.0);
    EXPECT_NEAR(wgs84.eccentricitySquared, 0.00669437999014, 1e-14);
    const EllipsoidShape bessel = DatumConverter(kDhdnDatum).EllipsoidParameters();
    EXPECT_EQ(bessel.semiMajorAxis, 6377397.155);
    EXPECT_NEAR(bessel.eccentricitySquared, 0.006674372231, 1e-12);
    EXPECT_EQ(DatumConverter(kDhdnDatum).DatumRow().name, "Potsdam_Rauenberg_DHDN");
}

TEST(DatumConverter, TakesDatumNumbersOutsideTheTableAsWgs84) {
    for (const int index : {-1, 104, 1000, std::numeric_limits<int>::min()}) {
        SCOPED_TRACE(index);
        DatumConverter converter(index);
        EXPECT_EQ(converter.DatumIndex(), kWgs84Datum);
        EXPECT_EQ(converter.DatumRow().name, "WGS 84");
        const GeodeticPosition same = converter.DatumToWgs84(50.25, 8.75, index);
        EXPECT_EQ(same.latitude, 50.25);
        EXPECT_EQ(same.longitude, 8.75);
        const GeodeticPosition back = converter.Wgs84ToDatum(50.25, 8.75, index);
        EXPECT_EQ(back.latitude, 50.25);
        EXPECT_EQ(back.longitude, 8.75);
        DatumConverter reference(kDhdnDatum);
        const GridPosition grid = converter.GeographicToGaussKrueger(50.25, 8.75, index);
        const GridPosition wgs84Grid = reference.GeographicToGaussKrueger(50.25, 8.75, 100);
        EXPECT_EQ(converter.DatumIndex(), kWgs84Datum);
        EXPECT_EQ(grid.easting, wgs84Grid.easting);
        EXPECT_EQ(grid.northing, wgs84Grid.northing);
    }
}

TEST(DatumShift, LeavesWgs84PositionsExactlyUnchanged) {
    const DatumConverter converter(kDhdnDatum);
    const GeodeticPosition inputs[] = {
        {48.1234567891, 11.9876543219}, {-33.9, 151.2}, {0.0, -180.0}, {95.0, 400.0}};
    for (const GeodeticPosition& input : inputs) {
        const GeodeticPosition out = converter.DatumToWgs84(input.latitude, input.longitude, 100);
        EXPECT_EQ(out.latitude, input.latitude);
        EXPECT_EQ(out.longitude, input.longitude);
    }
}

// Landesvermessung und Geobasisinformation Brandenburg, "Geodaetische Grundlagen" of its
// topographic maps: at 13 deg 35' E, 52 deg 15' N a WGS 84 position plus 6.38" in longitude and
// 4.96" in latitude gives Potsdam datum (DHDN) coordinates. That figure comes from the official
// state transformation; the three-parameter mean shift of datum 103 agrees within a few
// metres. 0.1" is 3.1 m north and 1.9 m east here.
TEST(DatumShift, DhdnMatchesThePublishedBrandenburgOffsets) {
    DatumConverter converter(kWgs84Datum);
    const double potsdamLatitude = 52.25;
    const double potsdamLongitude = DatumDms(13, 35, 0);
    const GeodeticPosition wgs84 =
        converter.DatumToWgs84(potsdamLatitude, potsdamLongitude, kDhdnDatum);
    EXPECT_NEAR((potsdamLatitude - wgs84.latitude) * 3600.0, 4.96, 0.1);
    EXPECT_NEAR((potsdamLongitude - wgs84.longitude) * 3600.0, 6.38, 0.1);
    EXPECT_EQ(converter.DatumIndex(), kWgs84Datum); // a shift leaves the converter's datum
}

TEST(DatumShift, DatumToDatumGoesThroughWgs84AndRoundTrips) {
    const DatumConverter converter(kWgs84Datum);
    // European 1950 -> DHDN -> European 1950, at points across Europe.
    const GeodeticPosition points[] = {{52.5, 13.4}, {40.4, -3.7}, {60.2, 24.9}, {47.4, 8.5}};
    for (const GeodeticPosition& p : points) {
        const GeodeticPosition wgs84 = converter.DatumToWgs84(p.latitude, p.longitude, 28);
        const GeodeticPosition viaWgs84 =
            converter.Wgs84ToDatum(wgs84.latitude, wgs84.longitude, kDhdnDatum);
        const GeodeticPosition direct =
            converter.DatumToDatum(p.latitude, p.longitude, 28, kDhdnDatum);
        EXPECT_EQ(direct.latitude, viaWgs84.latitude);
        EXPECT_EQ(direct.longitude, viaWgs84.longitude);
        // The two datums differ by tens to hundreds of metres...
        EXPECT_GT(GroundMetres(p.latitude, p.longitude, direct.latitude, direct.longitude), 10.0);
        // ...and the way back lands within 1 cm (the height-free closed form is nearly
        // symmetric where both ellipsoids lie close to the surface).
        const GeodeticPosition back =
            converter.DatumToDatum(direct.latitude, direct.longitude, kDhdnDatum, 28);
        EXPECT_LT(GroundMetres(p.latitude, p.longitude, back.latitude, back.longitude), 0.01);
    }
}

TEST(GaussKrueger, TakesEastingsBelowOneMillionAsZoneOne) {
    DatumConverter converter(kWgs84Datum);
    const GeodeticPosition position = converter.GaussKruegerToGeographic(900000.0, 5500000.0, 103);
    EXPECT_EQ(converter.DatumIndex(), kDhdnDatum);
    // Zone 1: central meridian 3 degrees, x = 900000 - 1000000 - 500000.
    const GeodeticPosition zoneOne =
        converter.TransverseMercatorInverse(-600000.0, 5500000.0, 0.0, 3.0, 1.0);
    EXPECT_EQ(position.latitude, zoneOne.latitude);
    EXPECT_EQ(position.longitude, zoneOne.longitude);
    // 600 km west of 3 degrees; read as a zone 0 (meridian 0, x = +400000) it would lie east.
    EXPECT_LT(position.longitude, -4.0);
    EXPECT_GT(position.longitude, -6.5);
}

TEST(GaussKrueger, ChoosesZoneFourAtTenPointSixAndZoneThreeOnTheTieAtTenPointFive) {
    DatumConverter converter(kWgs84Datum);
    const GridPosition east = converter.GeographicToGaussKrueger(51.0, 10.6, kDhdnDatum);
    EXPECT_EQ(ZoneOfEasting(east.easting), 4);
    EXPECT_EQ(converter.DatumIndex(), kDhdnDatum);
    const GridPosition tie = converter.GeographicToGaussKrueger(51.0, 10.5, kDhdnDatum);
    EXPECT_EQ(ZoneOfEasting(tie.easting), 3);
    // It is a true tie: 1.5 degrees either side of 9 and 12 give exactly opposite x.
    const GridPosition fromNine = converter.TransverseMercatorForward(51.0, 10.5, 0.0, 9.0, 1.0);
    const GridPosition fromTwelve = converter.TransverseMercatorForward(51.0, 10.5, 0.0, 12.0, 1.0);
    EXPECT_EQ(fromNine.easting, -fromTwelve.easting);
    EXPECT_DOUBLE_EQ(tie.easting, fromNine.easting + 3500000.0);
}

// Over the six German zones the zone is the one whose projection gives the smallest |x|, the
// earlier zone on a tie, exactly as a search over zones 1..6 would find it.
TEST(GaussKrueger, ZoneIsTheSmallestAbsoluteXOfZonesOneToSix) {
    DatumConverter converter(kDhdnDatum);
    for (const double latitude : {-60.0, 0.0, 47.3, 54.9, 80.0}) {
        for (int step = 0; step <= 390; ++step) {
            const double longitude = step * 0.05;
            int bestZone = 0;
            double bestAbsX = 1e8;
            for (int zone = 1; zone <= 6; ++zone) {
                const double x =
                    converter.TransverseMercatorForward(latitude, longitude, 0.0, 3.0 * zone, 1.0)
                        .easting;
                if (std::abs(x) < bestAbsX) {
                    bestAbsX = std::abs(x);
                    bestZone = zone;
                }
            }
            const GridPosition grid =
                converter.GeographicToGaussKrueger(latitude, longitude, kDhdnDatum);
            ASSERT_EQ(ZoneOfEasting(grid.easting), bestZone) << latitude << ", " << longitude;
        }
    }
}

TEST(GaussKrueger, ContinuesZonesEveryThreeDegreesOutsideTheSixGermanOnes) {
    const struct {
        double longitude;
        int zone;
    } cases[] = {{0.0, 1},    {1.4, 1},      {19.5, 6},     {19.6, 7},   {37.6, 13},
                 {-0.1, -1},  {-1.6, -1},    {-4.5, -2},    {-9.1, -3},  {179.0, 60},
                 {180.0, 60}, {-179.0, -60}, {-180.0, -60}, {190.0, -57}};
    DatumConverter converter(kDhdnDatum);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.longitude);
        const GridPosition grid = converter.GeographicToGaussKrueger(45.0, c.longitude, 103);
        EXPECT_EQ(ZoneOfEasting(grid.easting), c.zone);
        // Every point lies within 3 degrees of its central meridian (about 240 km at 45 deg).
        const double x = grid.easting - c.zone * 1000000.0 - 500000.0;
        EXPECT_LT(std::abs(x), 240000.0);
        const GeodeticPosition back =
            converter.GaussKruegerToGeographic(grid.easting, grid.northing, 103);
        // The series loses a few millimetres at 3 degrees from the meridian.
        EXPECT_LT(GroundMetres(45.0, c.longitude, back.latitude, back.longitude), 0.005);
    }
}

TEST(GaussKrueger, RoundTripsWithinAMillimetreOverGermany) {
    DatumConverter converter(kDhdnDatum);
    for (int latitudeStep = 0; latitudeStep <= 34; ++latitudeStep) {
        for (int longitudeStep = 0; longitudeStep <= 40; ++longitudeStep) {
            const double latitude = 47.0 + 0.25 * latitudeStep;
            const double longitude = 5.5 + 0.25 * longitudeStep;
            const GridPosition grid =
                converter.GeographicToGaussKrueger(latitude, longitude, kDhdnDatum);
            const GeodeticPosition back =
                converter.GaussKruegerToGeographic(grid.easting, grid.northing, kDhdnDatum);
            ASSERT_LT(GroundMetres(latitude, longitude, back.latitude, back.longitude), 0.001)
                << latitude << ", " << longitude;
        }
    }
}

TEST(GridEntryPoints, AreTheDhdnGridAndLeaveTheDhdnDatum) {
    DatumConverter converter(kWgs84Datum);
    const PlanePoint grid = converter.Wgs84ToGrid(50.1f, 8.7f);
    EXPECT_EQ(converter.DatumIndex(), kDhdnDatum);
    // Frankfurt lies in zone 3; DHDN grid values there are about 3.47e6 / 5.55e6.
    EXPECT_EQ(ZoneOfEasting(grid.x), 3);
    EXPECT_NEAR(grid.x, 3478000.0, 5000.0);
    EXPECT_NEAR(grid.y, 5552000.0, 5000.0);
    const DatumConverter wgs84(kWgs84Datum);
    const GeodeticPosition dhdn = wgs84.Wgs84ToDatum(50.1f, 8.7f, kDhdnDatum);
    DatumConverter gaussKrueger(kWgs84Datum);
    const GridPosition expected =
        gaussKrueger.GeographicToGaussKrueger(dhdn.latitude, dhdn.longitude, kDhdnDatum);
    EXPECT_EQ(grid.x, static_cast<float>(expected.easting));
    EXPECT_EQ(grid.y, static_cast<float>(expected.northing));
    DatumConverter back(kWgs84Datum);
    const GeodeticPositionF position = back.GridToWgs84(grid.x, grid.y);
    EXPECT_EQ(back.DatumIndex(), kDhdnDatum);
    EXPECT_LT(GroundMetres(50.1f, 8.7f, position.latitude, position.longitude), 1.0);
}

// Wgs84ToGrid then GridToWgs84 over the globe. The grid is computed in doubles, where the round
// trip is better than 1 mm for the projection and 0.11 m for the datum shift (worst case, far from
// Germany: the closed form ignores the height of up to 1.5 km that the DHDN shift gives there;
// under 1 cm in Germany). What remains is float rounding, summed per point as the worst case:
// half an ulp of easting and of northing (the projection's scale is at least 1, so a plane
// error is at most as large on the ground) and half an ulp of the returned latitude and
// longitude, turned into metres. That is about 0.6 m in Germany and up to about 3.9 m for the
// zones near +-180 degrees, where eastings reach 6e7 and their ulp is 4 m.
TEST(GridEntryPoints, RoundTripWithinFloatPrecisionEverywhere) {
    for (int latitudeStep = -32; latitudeStep <= 32; ++latitudeStep) {
        for (int longitudeStep = -72; longitudeStep <= 72; ++longitudeStep) {
            const float latitude = static_cast<float>(latitudeStep) * 2.5f;
            const float longitude = static_cast<float>(longitudeStep) * 2.5f;
            DatumConverter converter(kWgs84Datum);
            const PlanePoint plane = converter.Wgs84ToGrid(latitude, longitude);
            const GeodeticPositionF back = converter.GridToWgs84(plane.x, plane.y);
            const double tolerance = 0.5 * (Ulp(plane.x) + Ulp(plane.y)) +
                                     0.5 * Ulp(back.latitude) * kMetresPerDegree +
                                     0.5 * Ulp(back.longitude) * kMetresPerDegree + 0.12 + 0.001;
            ASSERT_LT(GroundMetres(latitude, longitude, back.latitude, back.longitude), tolerance)
                << latitude << ", " << longitude << " -> " << plane.x << ", " << plane.y;
        }
    }
}

TEST(Poles, GiveFiniteGridValuesAndComeBackAsThePole) {
    const DatumConverter bessel(kDhdnDatum);
    for (const double latitude : {90.0, -90.0, 120.0, -1000.0}) {
        SCOPED_TRACE(latitude);
        const GridPosition pole = bessel.TransverseMercatorForward(latitude, 40.0, 0.0, 9.0, 1.0);
        EXPECT_LT(std::abs(pole.easting), 0.001);
        EXPECT_NEAR(std::abs(pole.northing), 10000855.7646, 0.001);
        DatumConverter converter(kWgs84Datum);
        const PlanePoint plane = converter.Wgs84ToGrid(static_cast<float>(latitude), 10.0f);
        ASSERT_TRUE(std::isfinite(plane.x) && std::isfinite(plane.y));
        const GeodeticPositionF back = converter.GridToWgs84(plane.x, plane.y);
        EXPECT_NEAR(std::abs(back.latitude), 90.0, 1e-4);
        EXPECT_TRUE(std::isfinite(back.longitude));
    }
    // A northing past the pole is the pole, on the central meridian.
    for (const double northing : {10000856.0, 15000000.0, 1e12}) {
        const GeodeticPosition north = bessel.TransverseMercatorInverse(1000.0, northing, 0, 9, 1);
        EXPECT_EQ(north.latitude, 90.0);
        EXPECT_EQ(north.longitude, 9.0);
        const GeodeticPosition south = bessel.TransverseMercatorInverse(1000.0, -northing, 0, 9, 1);
        EXPECT_EQ(south.latitude, -90.0);
    }
}

TEST(OutOfRangeGridValues, GiveFinitePositionsInRange) {
    const float large = std::numeric_limits<float>::max();
    const PlanePoint points[] = {{1e12f, 5e6f},    {-1e12f, 5e6f}, {large, large},
                                 {-large, -large}, {6.1e7f, 0.0f}, {4.5e6f, -9.9e6f}};
    for (const PlanePoint& point : points) {
        SCOPED_TRACE(testing::Message() << point.x << ", " << point.y);
        DatumConverter converter(kWgs84Datum);
        const GeodeticPositionF position = converter.GridToWgs84(point.x, point.y);
        ASSERT_TRUE(std::isfinite(position.latitude) && std::isfinite(position.longitude));
        EXPECT_LE(std::abs(position.latitude), 90.0f);
        EXPECT_LE(std::abs(position.longitude), 180.0f);
    }
}

TEST(NonFiniteInput, GivesNaNNotUndefinedBehaviour) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float infinity = std::numeric_limits<float>::infinity();
    DatumConverter converter(kWgs84Datum);
    const PlanePoint fromNaN = converter.Wgs84ToGrid(nan, 10.0f);
    EXPECT_TRUE(std::isnan(fromNaN.y));
    const PlanePoint fromInfiniteLongitude = converter.Wgs84ToGrid(50.0f, infinity);
    EXPECT_TRUE(std::isnan(fromInfiniteLongitude.x));
    const GeodeticPositionF back = converter.GridToWgs84(nan, 5e6f);
    EXPECT_TRUE(std::isnan(back.longitude));
    // An infinite latitude is just beyond the pole.
    const PlanePoint pole = converter.Wgs84ToGrid(infinity, 10.0f);
    EXPECT_TRUE(std::isfinite(pole.x) && std::isfinite(pole.y));
    // The same in the plane around an origin, and an origin that is no place.
    const DatumConverter wgs84(kWgs84Datum);
    const GeodeticPositionF origin{50.0f, 10.0f};
    EXPECT_TRUE(std::isnan(wgs84.ToPlane(nan, 10.0f, origin).y));
    EXPECT_TRUE(std::isnan(wgs84.ToPlane(50.0f, infinity, origin).x));
    EXPECT_TRUE(std::isnan(wgs84.FromPlane({nan, 0.0f}, origin).longitude));
    EXPECT_TRUE(std::isnan(wgs84.ToPlane(50.0f, 10.0f, {nan, 10.0f}).y));
    EXPECT_TRUE(std::isnan(wgs84.ToPlane(50.0f, 10.0f, {50.0f, nan}).x));
}

namespace {

// Metres between two nearby positions on the WGS 84 ellipsoid, from the meridian and
// prime-vertical radii of curvature at their mean latitude: within 1e-6 of the geodesic for lines
// of up to 10 km.
double EllipsoidLocalMetres(double latitude1, double longitude1, double latitude2,
                            double longitude2) {
    constexpr double a = 6378137.0;
    constexpr double f = 1.0 / 298.257223563;
    constexpr double e2 = 2.0 * f - f * f;
    const double phi = (latitude1 + latitude2) / 2.0 * kGeodeticRadiansPerDegree;
    const double w = 1.0 - e2 * std::sin(phi) * std::sin(phi);
    const double meridianRadius = a * (1.0 - e2) / std::pow(w, 1.5);
    const double primeVerticalRadius = a / std::sqrt(w);
    const double north = (latitude2 - latitude1) * kGeodeticRadiansPerDegree * meridianRadius;
    const double east = std::remainder(longitude2 - longitude1, 360.0) * kGeodeticRadiansPerDegree *
                        primeVerticalRadius * std::cos(phi);
    return std::hypot(north, east);
}

} // namespace

// Segments across the edges of the 3-degree zones (and the antimeridian): with the plane around
// the first point, the straight line in the plane is as long as the line on the ground and its
// middle is the middle on the ground, up to the float rounding of its degrees.
TEST(PlaneAroundAnOrigin, IsLocallyEuclideanAcrossZoneEdges) {
    const struct {
        const char* name;
        GeodeticPositionF a, b;
    } cases[] = {
        {"across 7.5 E", {50.0f, 7.49f}, {50.0f, 7.51f}},
        {"across 10.5 E", {50.0f, 10.49f}, {50.0f, 10.51f}},
        {"across 10.5 E, westwards", {50.0f, 10.51f}, {50.0f, 10.49f}},
        {"across 13.5 E, slanting", {52.5f, 13.46f}, {52.52f, 13.55f}},
        {"across 16.5 E, 10 km", {48.2f, 16.43f}, {48.21f, 16.565f}},
        {"along 10.5 E", {47.5f, 10.5f}, {47.59f, 10.5f}},
        {"across 0, south", {-33.9f, -0.01f}, {-33.91f, 0.012f}},
        {"across the antimeridian", {-17.0f, 179.995f}, {-16.99f, -179.99f}},
        {"far north, across 10.5 E", {70.0f, 10.45f}, {70.005f, 10.56f}},
    };
    const DatumConverter converter(kWgs84Datum);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const PlanePoint a = converter.ToPlane(c.a.latitude, c.a.longitude, c.a);
        EXPECT_EQ(a.x, 0.0f);
        EXPECT_EQ(a.y, 0.0f);
        const PlanePoint b = converter.ToPlane(c.b.latitude, c.b.longitude, c.a);
        const double ground =
            EllipsoidLocalMetres(c.a.latitude, c.a.longitude, c.b.latitude, c.b.longitude);
        ASSERT_GT(ground, 500.0);
        EXPECT_NEAR(std::hypot(b.x, b.y) / ground, 1.0, 1e-5);
        const GeodeticPositionF middle = converter.FromPlane({b.x / 2.0f, b.y / 2.0f}, c.a);
        const double rounding =
            0.5 * (Ulp(middle.latitude) + Ulp(middle.longitude)) * kMetresPerDegree + 0.01;
        EXPECT_NEAR(
            EllipsoidLocalMetres(c.a.latitude, c.a.longitude, middle.latitude, middle.longitude),
            ground / 2.0, rounding);
        EXPECT_NEAR(
            EllipsoidLocalMetres(middle.latitude, middle.longitude, c.b.latitude, c.b.longitude),
            ground / 2.0, rounding);
    }
}

// ToPlane then FromPlane for points up to 2 degrees from origins all over the globe: float
// rounding of the plane point (its ulp is at most 0.016 m within 200 km) and of the returned
// degrees is all that remains.
TEST(PlaneAroundAnOrigin, RoundTripsWithinFloatPrecisionEverywhere) {
    const DatumConverter converter(kWgs84Datum);
    for (int latitudeStep = -17; latitudeStep <= 17; ++latitudeStep) {
        for (int longitudeStep = -12; longitudeStep <= 12; ++longitudeStep) {
            const GeodeticPositionF origin{static_cast<float>(latitudeStep) * 5.0f,
                                           static_cast<float>(longitudeStep) * 15.0f};
            for (const float dLatitude : {-0.5f, 0.0f, 0.02f, 1.0f}) {
                for (const float dLongitude : {-2.0f, -0.03f, 0.0f, 0.5f}) {
                    const float latitude = origin.latitude + dLatitude;
                    const float longitude = origin.longitude + dLongitude;
                    const PlanePoint plane = converter.ToPlane(latitude, longitude, origin);
                    const GeodeticPositionF back = converter.FromPlane(plane, origin);
                    const double tolerance =
                        0.5 * (Ulp(plane.x) + Ulp(plane.y)) +
                        0.5 * (Ulp(back.latitude) + Ulp(back.longitude)) * kMetresPerDegree + 0.001;
                    ASSERT_LT(GroundMetres(latitude, longitude, back.latitude, back.longitude),
                              tolerance)
                        << latitude << ", " << longitude << " around " << origin.latitude << ", "
                        << origin.longitude;
                }
            }
        }
    }
}
