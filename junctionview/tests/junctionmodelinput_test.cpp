#include "junctionview/fuzz/junctionmodelinput.h"
#include "testdata/junctionmodelinput.h"

#include <gtest/gtest.h>

namespace {

TEST(JunctionFuzzInput, SeedsBuildTheirJunctionsAndBrokenOnesEndCleanly) {
    auto nan = testdata::JunctionInputTJunction();
    nan.records[1].allowed[0].points[1].gx = 255;
    auto huge = testdata::JunctionInputRoundabout();
    huge.elements[1].points[1].gy = 0;
    auto flat = testdata::JunctionInputTJunction();
    flat.width = 65535;
    flat.height = 1;
    flat.left = -32768;
    auto second = testdata::JunctionInputTJunction();
    second.secondDistance = 1;
    second.radiusFactor = 250;
    const struct {
        const char* name;
        testdata::JunctionModelInput input;
        bool built;
        bool isRoundabout;
    } cases[] = {
        {"T junction", testdata::JunctionInputTJunction(), true, false},
        {"roundabout", testdata::JunctionInputRoundabout(), true, true},
        {"a street point that is no number", nan, false, false},
        {"a huge ring point", huge, false, false},
        {"a flat wide rectangle", flat, true, false},
        {"a second junction 1 m on, margins beyond the rectangle", second, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto bytes = testdata::EncodeJunctionModelInput(c.input);
        bool built = false;
        bool isRoundabout = false;
        EXPECT_TRUE(RunJunctionModel(DecodeJunctionModelInput(bytes.data(), bytes.size()), &built,
                                     &isRoundabout));
        EXPECT_EQ(built, c.built);
        EXPECT_EQ(isRoundabout, c.isRoundabout);
        // Every prefix of the input reads too.
        for (std::size_t n = 0; n < bytes.size(); ++n) {
            EXPECT_TRUE(RunJunctionModel(DecodeJunctionModelInput(bytes.data(), n))) << n;
        }
    }
}

} // namespace
