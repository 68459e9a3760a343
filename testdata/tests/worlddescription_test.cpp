#include "testdata/worlddescription.h"

#include <gtest/gtest.h>

namespace {

TEST(WorldDescription, ReadsSettingsGridAndRoads) {
    const auto parsed = testdata::ParseWorldDescription("# comment\r\n"
                                                        "stem Town\n"
                                                        "spacing 500\n"
                                                        "origin -3 4\n"
                                                        "maps 3\n"
                                                        "separated 1 0 1\n"
                                                        "archived 1\n"
                                                        "grid\n"
                                                        "a.b\n"
                                                        "c..\n"
                                                        "end\n"
                                                        "road Main abc class=24 level=2 oneway\n");
    ASSERT_TRUE(std::holds_alternative<testdata::WorldDescription>(parsed));
    const auto& world = std::get<testdata::WorldDescription>(parsed);
    EXPECT_EQ(world.options.stem, "Town");
    EXPECT_EQ(world.options.maps, 3u);
    EXPECT_EQ(world.options.separated, (std::vector<bool>{true, false, true}));
    EXPECT_TRUE(world.options.isArchived);
    EXPECT_EQ(world.sketch.spacing, 500);
    EXPECT_EQ(world.sketch.origin, (MapPoint{-3, 4}));
    EXPECT_EQ(world.sketch.rows, (std::vector<std::string>{"a.b", "c.."}));
    ASSERT_EQ(world.sketch.roads.size(), 1u);
    EXPECT_EQ(world.sketch.roads[0].roadClass, 24);
    EXPECT_EQ(world.sketch.roads[0].level, 2);
    EXPECT_EQ(world.sketch.roads[0].direction, testdata::GridSketch::Direction::OneWay);
}

TEST(WorldDescription, NamesTheFirstLineItCannotRead) {
    const struct {
        const char* text;
        std::size_t line;
    } cases[] = {{"maps 4\n", 1},         {"stem\n", 1},
                 {"spacing 0\n", 1},      {"\nroad A ab class=32\n", 2},
                 {"road A ab wide\n", 1}, {"road A\n", 1},
                 {"grid\nab\n", 2},       {"origin 1\n", 1},
                 {"colour red\n", 1},     {"road A ab level=x\n", 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const auto parsed = testdata::ParseWorldDescription(c.text);
        ASSERT_TRUE(std::holds_alternative<std::size_t>(parsed));
        EXPECT_EQ(std::get<std::size_t>(parsed), c.line);
    }
}

} // namespace
