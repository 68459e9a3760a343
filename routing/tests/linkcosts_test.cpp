#include "routing/linkcosts.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <limits>
#include <optional>

namespace {

RouteOptions Options(std::uint32_t routeType, std::uint32_t travelMode) {
    RouteOptions options;
    options.routeType = routeType;
    options.travelMode = travelMode;
    return options;
}

TEST(LinkCosts, ClassSpeed) {
    struct Case {
        const char* name;
        std::uint32_t travelMode;
        std::uint32_t roadClass;
        std::int16_t tableSpeed; // stored at the class's index
        std::uint32_t preference;
        std::uint32_t special;
        std::uint32_t extra;
        float expected;
    };
    const Case cases[] = {
        {"table speed with factor 1.0", 1, 3, 80, 0, 0, 0, 80.0f},
        {"preference factor 1.3", 1, 3, 80, 1, 0, 0, 104.0f},
        {"slow table speed raised to 10", 1, 3, 4, 0, 0, 0, 10.0f},
        {"on foot 5 km/h, not raised", 12, 3, 80, 0, 0, 0, 5.0f},
        {"bicycle 15 km/h", 9, 3, 80, 0, 0, 0, 15.0f},
        {"bit 4 keeps the table in mode 12", 12, 17, 40, 0, 2, 0, 10.0f},
        {"bit 4 uses the special preference", 1, 17, 40, 1, 3, 1, 2.0f},
        {"bit 5 takes the smaller factor", 1, 0x23, 100, 1, 0, 2, 25.0f},
        {"bit 5 with a larger extra factor", 1, 0x23, 100, 2, 0, 1, 25.0f},
        {"preference beyond the table is neutral", 1, 3, 80, 99, 0, 0, 80.0f},
        {"zero table speed still 10 outside mode 12", 1, 5, 0, 0, 0, 0, 10.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RouteOptions options = Options(1, c.travelMode);
        options.speedTable[c.roadClass] = c.tableSpeed;
        options.preference[c.roadClass & 15u] = c.preference;
        options.specialLinkPreference = c.special;
        options.extraLinkPreference = c.extra;
        EXPECT_FLOAT_EQ(ClassSpeed(options, c.roadClass), c.expected);
    }
}

TEST(LinkCosts, MixedLinkCostAndCostPerMetre) {
    struct Case {
        const char* name;
        std::uint32_t routeType;
        std::int32_t classNumber;
        float length;
        float speed;
        float expected;
    };
    const Case cases[] = {
        {"shortest ignores speed", 0, 20, 300.0f, 50.0f, 10.0f},
        {"shortest ignores the class bonus", 0, 0, 300.0f, 120.0f, 10.0f},
        {"quickest without bonus from class 16", 1, 16, 300.0f, 50.0f, 6.0f},
        {"quickest class 0 adds 30", 1, 0, 300.0f, 30.0f, 5.0f},
        {"class 3 adds 7", 1, 3, 100.0f, 43.0f, 2.0f},
        {"class 15 adds 1", 1, 15, 100.0f, 49.0f, 2.0f},
        {"negative class adds nothing", 1, -1, 100.0f, 50.0f, 2.0f},
        {"mixed by weight 0.3", 2, 20, 300.0f, 50.0f, 300.0f * (0.7f / 50.0f + 0.3f / 30.0f)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const RouteOptions options = Options(c.routeType, 1);
        EXPECT_NEAR(MixedLinkCost(options, c.classNumber, c.length, c.speed), c.expected, 1e-4);
        if (c.classNumber >= 16) {
            EXPECT_NEAR(CostPerMetre(options, c.speed) * c.length, c.expected, 1e-4);
        }
    }
    EXPECT_EQ(CostPerMetre(Options(0, 1), 0.0f), 0.0f);
}

TEST(LinkCosts, LinkSpeedAndLinkCost) {
    // Class 20 has no class bonus; its table speed is 50 km/h. Quickest route: cost = length / v.
    struct Case {
        const char* name;
        std::uint32_t travelMode;
        std::uint32_t roadClass;
        bool isRestricted;
        std::optional<std::uint8_t> annotation;
        float speed; // LinkSpeed
        float cost;  // LinkCost over 100 m, class number 20
    };
    constexpr float kNone = kImpassableCost;
    const Case cases[] = {
        {"plain", 1, 20, false, std::nullopt, 50.0f, 2.0f},
        {"percentage 0x32 gives 100 %", 1, 20, false, std::uint8_t{0x32}, 50.0f, 2.0f},
        {"percentage 0x19 gives 50 %", 1, 20, false, std::uint8_t{0x19}, 25.0f, 4.0f},
        {"bit 7 caps below the speed", 1, 20, false, std::uint8_t{0x80 | 10}, 20.0f, 5.0f},
        {"bit 7 never raises the speed", 1, 20, false, std::uint8_t{0x80 | 40}, 50.0f, 2.0f},
        {"annotation value 0 closes the link", 1, 20, false, std::uint8_t{0x80}, 0.0f, kNone},
        {"restricted in car mode crawls", 1, 20, true, std::nullopt, 50.0f, 100.0f},
        {"restricted is plain in mode 2", 2, 20, true, std::nullopt, 50.0f, 2.0f},
        {"kind 24 at half a km/h", 1, 24, false, std::nullopt, 50.0f, 200.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RouteOptions options = Options(1, c.travelMode);
        options.speedTable[20] = 50;
        options.speedTable[24] = 50;
        EXPECT_FLOAT_EQ(LinkSpeed(options, c.roadClass, c.annotation), c.speed);
        const LinkCostInput link{c.roadClass, 20, 100.0f, c.isRestricted, c.annotation};
        EXPECT_FLOAT_EQ(LinkCost(options, link), c.cost);
    }
    RouteOptions closed = Options(1, 12);
    closed.speedTable[19] = 0;
    EXPECT_EQ(LinkCost(closed, {19, 20, 100.0f, false, std::nullopt}), kImpassableCost);
}

// For every road class word under several options, the plain cost per metre times a length is
// the cost LinkCost gives a link of that class without annotation or restriction, to the bit.
TEST(LinkCosts, PlainCostPerMetreAgreesWithLinkCost) {
    struct Case {
        const char* name;
        std::uint32_t routeType;
        std::uint32_t travelMode;
        float mixWeight;
        std::int16_t closedClassSpeed; // class 7's table speed; 0 closes it, factor 0 too
    };
    const Case cases[] = {
        {"shortest", 0, 1, 0.0f, 50},
        {"quickest", 1, 1, 0.0f, 50},
        {"mixed", 2, 1, 0.37f, 50},
        {"mixed on foot", 2, 12, 0.8f, 50},
        {"quickest by bicycle, a class closed", 1, 9, 0.0f, 0},
    };
    const float lengths[] = {0.0f, 5.0f, 137.5f, 32765.0f};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RouteOptions options = Options(c.routeType, c.travelMode);
        options.SetMixWeight(c.mixWeight);
        for (std::size_t i = 0; i < options.speedTable.size(); ++i) {
            options.speedTable[i] = static_cast<std::int16_t>(20 + (i * 7) % 90);
        }
        options.speedTable[7] = c.closedClassSpeed;
        options.factor = {1.0f, 1.3f, 0.7f, 0.0f, 2.0f, 0.25f};
        options.preference[9] = 3; // factor 0: the class is closed
        options.preference[4] = 1;
        options.specialLinkPreference = 2;
        options.extraLinkPreference = 5;
        int closed = 0;
        for (std::uint32_t roadClass = 0; roadClass < options.speedTable.size(); ++roadClass) {
            const std::optional<float> perMetre = PlainLinkCostPerMetre(options, roadClass);
            closed += perMetre ? 0 : 1;
            for (const float length : lengths) {
                LinkCostInput input;
                input.roadClass = roadClass;
                input.costClass = roadClass;
                input.lengthMetres = length;
                const float expected = LinkCost(options, input);
                const float got = perMetre ? length * *perMetre : kImpassableCost;
                ASSERT_EQ(std::bit_cast<std::uint32_t>(got), std::bit_cast<std::uint32_t>(expected))
                    << roadClass << " " << length;
            }
        }
        EXPECT_GT(closed, 0); // the closed classes were among them
    }
}

TEST(LinkCosts, RecordSpeed) {
    struct Case {
        const char* name;
        std::uint32_t travelMode;
        std::uint32_t attributeCode;
        float expected;
    };
    const Case cases[] = {
        {"class 17 uses its low byte in mode 12", 12, 0x311, 17.0f},
        {"class 23 uses its low byte in mode 9", 9, 23, 23.0f},
        {"class 24 is not special", 12, 24, 5.0f},
        {"on foot", 12, 3, 5.0f},
        {"bicycle", 9, 3, 15.0f},
        {"car reads the full code", 1, 0x503, 1283.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RouteOptions options = Options(1, c.travelMode);
        for (std::size_t i = 0; i < options.speedTable.size(); ++i) {
            options.speedTable[i] = static_cast<std::int16_t>(i);
        }
        EXPECT_FLOAT_EQ(RecordSpeed(options, RecordAttributes::Make(c.attributeCode, 1)),
                        c.expected);
    }
}

TEST(LinkCosts, LevelForDistance) {
    struct Case {
        const char* name;
        float distance;
        std::uint16_t mapCount;
        int expected;
    };
    const Case cases[] = {
        {"short", 4999.0f, 3, 0},
        {"5 km on two maps", 5000.0f, 2, 1},
        {"far on two maps", 1.0e6f, 2, 1},
        {"40 km on three maps", 40000.0f, 3, 2},
        {"just below 40 km", 39999.0f, 3, 1},
        {"one map", 1.0e6f, 1, 0},
        {"not comparable", std::numeric_limits<float>::quiet_NaN(), 3, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(LevelForDistance(c.distance, c.mapCount), c.expected);
    }
}

} // namespace
