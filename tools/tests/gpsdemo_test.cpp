// The GPS demo drive on a generated map: a route of the route service written by the demo writer
// and replayed through the GPS manager on the virtual clock.
#include "testdata/roadnetworkwriter.h"
#include "testdata/tempdir.h"
#include "testdata/testfiles.h"
#include "testdata/worldmapset.h"
#include "tools/gpsdemosteps.h"

#include <gtest/gtest.h>

namespace {

constexpr MapPoint kOrigin{1'260'000, 5'300'000};

TEST(GpsDemo, ReplaysTheWrittenRouteMatchedToItsStreetsInOrder) {
    testdata::TempDeviceRoot root;
    ASSERT_TRUE(root.WriteFile(u"\\Nav\\deziv.ini", testdata::ReadTestFile(NAV_DEZIV_INI)));
    // 4 x 2 nodes about 300 m apart; the second link of the bottom row bends north.
    testdata::RoadWorld world = testdata::RoadWorld::Grid(4, 2, 2000, kOrigin);
    testdata::WorldMapSetOptions mapOptions;
    std::uint32_t bent = 0;
    while (world.ElementBetween(1, 2) != world.links[bent].elementId) {
        ++bent;
    }
    mapOptions.bends[bent] = {{kOrigin.x + 3000, kOrigin.y + 400}};
    ASSERT_TRUE(testdata::WriteWorldMapSet(world, mapOptions, root, u"\\maps"));
    testdata::RoadNetworkWriter network(world, testdata::RoadNetworkOptions{});
    ASSERT_TRUE(network.WriteTo(root, u"\\Net"));
    ASSERT_TRUE(root.InstallModule(u"ziVur.dll"));

    gpsdemo::Options options;
    options.mapSet = u"\\maps\\World.rid";
    options.network = u"\\Net\\Net.rd";
    options.programFolder = u"\\Nav";
    options.from = world.PointAlong(0, 1, 0.1);
    options.to = world.PointAlong(2, 3, 0.9);
    options.out = "\\GPSDemoFile.txt";
    std::string error;
    const gpsdemo::Outcome outcome = gpsdemo::Run(options, error);
    ASSERT_EQ(error, "");

    const std::string bytes = root.ReadFile(u"\\GPSDemoFile.txt").value_or("");
    // The first point is node 1 (7 deg 6.471233 min N, 1 deg 41.5484 min E), heading for the
    // bend 1000 units east and 400 north: 68 degrees, at 10 m/s.
    EXPECT_EQ(bytes.substr(0, 115),
              "$GPGGA,000001,706.471233,N,00141.5484,E,1,08,1.1,203.9,M,48.0,M,,*77\r\n"
              "$GPVTG,068.0,T,068.0,M,0019.5,N,0036.0,K*46\r\n");
    ASSERT_GE(outcome.linesWritten, 60u);
    EXPECT_EQ(outcome.fixes.size(), outcome.linesWritten);
    // One fix reaches the worker at a time: one publication each.
    ASSERT_EQ(outcome.positions.size(), outcome.linesWritten);
    EXPECT_GE(outcome.onRouteInOrder * 10, outcome.positions.size() * 9);
    EXPECT_TRUE(outcome.isInRouteOrder);
    EXPECT_EQ(outcome.routeStreets.size(), 3u);
}

} // namespace
