#include "routing/routeoptions.h"

#include <gtest/gtest.h>

#include <cstring>
#include <new>

namespace {

TEST(RouteOptions, SpeedTable) {
    struct Case {
        const char* name;
        int speedIndex; // -1: defaults
        float speed;
        std::size_t index;
        std::int16_t expected;
    };
    const Case cases[] = {
        {"class 0 unreduced", -1, 0, 0, 120},
        {"index 64 is not reduced", -1, 0, 64, 120},
        {"index 65 reduced by 0x40", -1, 0, 65, 75},
        {"0x5C0: smallest of 0.75, 0.6, 0.75, 0.6", -1, 0, 0x5C0, 72},
        {"bit 0x20 alone", -1, 0, 0x20 | 2, 95},
        {"class 16 and up", -1, 0, 31, 10},
        {"top index", -1, 0, 2047, 6},
        {"0.5 km/h truncates to 0", 3, 0.5f, 3, 0},
        {"reduced below 1 gives 1", 3, 0.5f, 67, 1},
        {"huge speed held in range", 1, 1.0e9f, 1, 32767},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RouteOptions options;
        if (c.speedIndex >= 0) {
            options.speed[static_cast<std::size_t>(c.speedIndex)] = c.speed;
            options.DeriveSpeedTable();
        }
        EXPECT_EQ(options.speedTable[c.index], c.expected);
    }
}

TEST(RouteOptions, TimeWeight) {
    struct Case {
        std::uint32_t routeType;
        float mix;
        float expected;
    };
    const Case cases[] = {
        {0, 0.3f, 1.0f}, {1, 0.3f, 0.0f}, {2, 0.3f, 0.3f}, {2, 0.8f, 0.8f}, {5, 0.3f, 0.0f}};
    for (const Case& c : cases) {
        RouteOptions options;
        options.routeType = c.routeType;
        options.SetMixWeight(c.mix);
        EXPECT_EQ(options.GetMixWeight(), c.mix);
        EXPECT_EQ(options.GetTimeWeight(), c.expected) << c.routeType;
    }
}

TEST(RouteOptions, ExternalRoundTripAndEqualBlocks) {
    ExternalRouteOptions custom(2, 4);
    custom.speed = {0, 110, 0, 80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 7};
    for (std::uint32_t i = 0; i < 16; ++i) {
        custom.preference[i] = i % 6;
    }
    custom.specialLinkPreference = 3;
    custom.extraLinkPreference = 4;
    custom.customFactor = 0.7f;
    custom.mixWeight = 0.45f;
    custom.useAnnotations = 0;
    struct Case {
        const char* name;
        ExternalRouteOptions external;
    };
    const Case cases[] = {{"defaults", ExternalRouteOptions(1, 1)}, {"custom", custom}};
    const RouteOptions defaults;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const RouteOptions options = RouteOptions::FromExternal(c.external);
        ExternalRouteOptions expected = c.external;
        for (std::size_t i = 0; i < 16; ++i) {
            if (expected.speed[i] == 0) {
                expected.speed[i] = static_cast<std::uint16_t>(defaults.speed[i]);
                EXPECT_EQ(options.speed[i], defaults.speed[i]);
            }
        }
        expected.useAnnotations = 1;
        EXPECT_TRUE(RouteOptions::ToExternal(options) == expected);
        EXPECT_EQ(options.factor[5], c.external.customFactor);
        EXPECT_EQ(options.speedTable[65],
                  static_cast<std::int16_t>(static_cast<float>(options.speedTable[1]) * 0.75f));
        // Equal settings give byte-equal blocks, whatever was in the memory before.
        RouteOptions a = RouteOptions::FromExternal(c.external);
        RouteOptions b;
        std::memset(static_cast<void*>(&b), 0xA5, sizeof b);
        new (&b) RouteOptions(RouteOptions::FromExternal(c.external));
        EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0);
    }
    RouteOptions changed = RouteOptions::FromExternal(custom);
    changed.Apply(ExternalRouteOptions(1, 1));
    EXPECT_EQ(changed.speed[1], 110.0f); // speeds of 0 keep what the block had
    EXPECT_EQ(changed.routeType, 1u);
}

} // namespace
