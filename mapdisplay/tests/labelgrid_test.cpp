#include "mapdisplay/labelgrid.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <vector>

namespace {

// Closed rectangles that share a point: what the grid must never miss.
bool RectsMeet(const RECT& a, const RECT& b) {
    return a.left <= b.right && b.left <= a.right && a.top <= b.bottom && b.top <= a.bottom;
}

} // namespace

// Against a scan over every rectangle: each one a query meets or touches is found, once, at any
// coordinates (far out, negative, wider than the grid); erased ones are not found again.
TEST(LabelGrid, FindsEveryRectangleMeetingTheQueryOnce) {
    std::mt19937 random(11);
    const struct {
        int coordinateRange; // coordinates in [-range, range]
        int maxSide;
    } cases[] = {{400, 60}, {5000, 200}, {100000, 3000}, {64, 64}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.coordinateRange);
        std::uniform_int_distribution<int> coordinate(-c.coordinateRange, c.coordinateRange);
        std::uniform_int_distribution<int> side(0, c.maxSide);
        const auto randomRect = [&] {
            const LONG left = coordinate(random);
            const LONG top = coordinate(random);
            return RECT{left, top, left + side(random), top + side(random)};
        };
        LabelGrid grid;
        std::vector<RECT> placed;
        for (std::uint32_t id = 0; id < 300; ++id) {
            placed.push_back(randomRect());
            grid.Insert(id, placed.back());
        }
        std::set<std::uint32_t> erased;
        for (std::uint32_t id = 0; id < 300; id += 3) {
            grid.Erase(id, placed[id]);
            erased.insert(id);
        }
        std::vector<std::uint32_t> found;
        for (int query = 0; query < 200; ++query) {
            const RECT r = query % 2 == 0 ? randomRect() : placed[query]; // touching ones too
            grid.Find(r, found);
            const std::set<std::uint32_t> unique(found.begin(), found.end());
            EXPECT_EQ(unique.size(), found.size());
            for (std::uint32_t id = 0; id < placed.size(); ++id) {
                const bool isExpected = RectsMeet(r, placed[id]) && erased.count(id) == 0;
                if (isExpected || erased.count(id) != 0) {
                    EXPECT_EQ(unique.count(id), isExpected ? 1U : 0U) << id;
                }
            }
        }
        grid.Clear();
        grid.Find(
            RECT{-c.coordinateRange, -c.coordinateRange, c.coordinateRange, c.coordinateRange},
            found);
        EXPECT_TRUE(found.empty());
    }
}

// Rectangles far apart in distinct cells are not returned for each other's queries.
TEST(LabelGrid, ReturnsOnlyTheCellsNeighbours) {
    LabelGrid grid;
    for (std::uint32_t id = 0; id < 8; ++id) {
        const LONG left = static_cast<LONG>(id) * 2 * LabelGrid::kCellPixels + 10;
        grid.Insert(id, RECT{left, 10, left + 20, 30});
    }
    std::vector<std::uint32_t> found;
    grid.Find(RECT{2 * LabelGrid::kCellPixels + 5, 0, 2 * LabelGrid::kCellPixels + 15, 40}, found);
    EXPECT_EQ(found, std::vector<std::uint32_t>{1});
}
