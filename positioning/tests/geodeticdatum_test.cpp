#include "positioning/geodeticdatum.h"

#include <gtest/gtest.h>

#include <string_view>

namespace {

// Read by a dynamic initialiser of this file, before main: the tables are usable during
// start-up, whatever the order in which source files are initialised.
const std::string_view kDatumNameSeenAtStartUp = GeodeticDatums()[kDhdnDatum].name;
const double kAxisSeenAtStartUp = Ellipsoids()[3].semiMajorAxis;

} // namespace

TEST(GeodeticTables, AreReadyBeforeMain) {
    EXPECT_EQ(kDatumNameSeenAtStartUp, "Potsdam_Rauenberg_DHDN");
    EXPECT_EQ(kAxisSeenAtStartUp, 6377397.155);
}

TEST(GeodeticTables, HoldTheDatumRows) {
    const struct {
        int index;
        std::string_view name;
        int dx, dy, dz, ellipsoid;
    } rows[] = {
        {0, "Adindan", -162, -12, 206, 5},
        {6, "Ascension Island `58", -207, 107, 52, 14},
        {8, "Astro Beacon \"E\"", 145, 75, -272, 14},
        {28, "European 1950", -87, -98, -121, 14},
        {53, "Midway Astro 1961", 912, -58, 1227, 14},
        {66, "NAD83", 0, 0, 0, 11},
        {83, "Reunion", 94, -948, -1262, 14},
        {89, "Schwarzeck", 616, 97, -251, 21},
        {99, "WGS 72", 0, 0, 5, 19},
        {100, "WGS 84", 0, 0, 0, 20},
        {101, "Zanderij", -265, 120, -358, 14},
        {103, "Potsdam_Rauenberg_DHDN", 606, 23, 413, 3},
    };
    ASSERT_EQ(GeodeticDatums().size(), 104u);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.index);
        const GeodeticDatum& datum = GeodeticDatums()[static_cast<std::size_t>(row.index)];
        EXPECT_EQ(datum.name, row.name);
        EXPECT_EQ(datum.dx, row.dx);
        EXPECT_EQ(datum.dy, row.dy);
        EXPECT_EQ(datum.dz, row.dz);
        EXPECT_EQ(datum.ellipsoidIndex, row.ellipsoid);
    }
    // Row 102 is Bessel 1841 without a shift.
    const GeodeticDatum& unshifted = GeodeticDatums()[102];
    EXPECT_EQ(unshifted.ellipsoidIndex, 3);
    EXPECT_EQ(unshifted.dx | unshifted.dy | unshifted.dz, 0);
}

TEST(GeodeticTables, HoldTheEllipsoidRows) {
    const struct {
        int index;
        std::string_view name;
        double a, inverseFlattening;
    } rows[] = {
        {0, "Airy 1830", 6377563.396, 299.3249646},
        {3, "Bessel 1841", 6377397.155, 299.1528128},
        {4, "Clarke 1866", 6378206.4, 294.9786982},
        {11, "GRS 80", 6378137.0, 298.257222101},
        {14, "International 1924", 6378388.0, 297.0},
        {20, "WGS 84", 6378137.0, 298.257223563},
        {22, "Everest (India 1956)", 6377301.243, 300.8017},
    };
    ASSERT_EQ(Ellipsoids().size(), 23u);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.index);
        const Ellipsoid& ellipsoid = Ellipsoids()[static_cast<std::size_t>(row.index)];
        EXPECT_EQ(ellipsoid.name, row.name);
        EXPECT_EQ(ellipsoid.semiMajorAxis, row.a);
        EXPECT_EQ(ellipsoid.inverseFlattening, row.inverseFlattening);
    }
}

TEST(GeodeticTables, EveryDatumNamesAnExistingEllipsoidAndAShiftOfAtMostTwoKilometres) {
    for (const GeodeticDatum& datum : GeodeticDatums()) {
        SCOPED_TRACE(datum.name);
        EXPECT_FALSE(datum.name.empty());
        EXPECT_GE(datum.ellipsoidIndex, 0);
        EXPECT_LT(datum.ellipsoidIndex, kEllipsoidCount);
        EXPECT_LE(datum.dx * datum.dx + datum.dy * datum.dy + datum.dz * datum.dz, 2000 * 2000);
    }
    EXPECT_TRUE(IsDatumIndex(0));
    EXPECT_TRUE(IsDatumIndex(103));
    EXPECT_FALSE(IsDatumIndex(-1));
    EXPECT_FALSE(IsDatumIndex(104));
}
