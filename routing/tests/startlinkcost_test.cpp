#include "routing/linkcosts.h"
#include "routing/startlinkcost.h"
#include "routing/tests/networkfixture.h"

#include <gtest/gtest.h>

namespace {

// One two-way link between two crossings; shortest route, so a metre costs 1/30.
TEST(StartLinkPartCost, TakesTheOffsetOrTheRest) {
    const auto world = testdata::RoadWorld::Grid(2, 1, 500, {1000000, 6000000});
    const auto net = routingtest::WriteAndLoad(world, {});
    ASSERT_TRUE(net->isLoaded);
    const float length = static_cast<float>(world.links[0].lengthUnits * 5);
    const GeoPoint a = world.Position(0);
    const GeoPoint b = world.Position(1);
    const GeoPoint nearA{a.x + (b.x - a.x) * 0.2f, a.y};
    const GeoPoint nearB{a.x + (b.x - a.x) * 0.9f, a.y};
    RouteOptions options;
    options.routeType = 0;
    struct Case {
        const char* name;
        StartEndpoint start;
        std::uint32_t node;
        std::uint32_t linkIndex;
        float metres; // -1: impassable
    };
    const Case cases[] = {
        {"crossing nearer the start: the offset", {nearA, 1, 15.0f}, 0, 0, 15.0f},
        {"farther crossing: the rest", {nearA, 1, 15.0f}, 1, 0, length - 15.0f},
        {"start near the other end", {nearB, 1, 7.0f}, 1, 0, 7.0f},
        {"and from the far crossing", {nearB, 1, 7.0f}, 0, 0, length - 7.0f},
        {"no start link", {nearA, 0xFFFFFFFF, 15.0f}, 0, 0, 0.0f},
        {"no such link at the crossing", {nearA, 1, 15.0f}, 0, 3, -1.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const float cost = StartLinkPartCost(*net->network, options, c.start,
                                             net->AddressOfNode(0, c.node), c.linkIndex);
        if (c.metres < 0.0f) {
            EXPECT_EQ(cost, kImpassableCost);
        } else {
            EXPECT_NEAR(cost, c.metres / 30.0f, 1e-4);
        }
    }
    EXPECT_EQ(StartLinkPartCost(*net->network, options, {nearA, 1, 15.0f}, {999, 0, 0, 0}, 0),
              kImpassableCost);
}

} // namespace
