#pragma once
// The draw town: a generated town for the map display's tests and benchmarks. A square grid of
// streets (one segment element per block side, classes 1040 to 1090 on layer 6, some one-way,
// some with highlight bits, with house numbers on both sides), a motorway "/A7/A8" (1010), a
// trunk road "Landstrasse/B 27" (1020) and "Talstrasse/E 45" (1030) through it, ramps, a
// ferry, parks and buildings (areas 300, 500, 700), points of interest (5001 to 5004) and the
// town's name (4000), on layers of all three class groups. A detailed level (map kind 2, with
// its address index) and an overview (map kind 0) whose main roads carry in their attribute
// word the id of the same road on the detailed level; the default day and night sheets; and
// the level file "town.lvl" (detailed level up to 20 metres per pixel, overview above).

#include "testdata/mapsetwriter.h"
#include "testdata/tempdir.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace testdata {

class DrawTownWriter {
public:
    static constexpr std::int32_t kBlock = 1342;          // map units per block side (200 m)
    static constexpr MapPoint kOrigin{7083000, 35120000}; // the grid's lower-left corner
    static constexpr char16_t kLevelFile[] = u"town.lvl";

    // A town of blocksPerSide x blocksPerSide blocks (1 to 60); the seed picks classes, areas
    // and points.
    explicit DrawTownWriter(int blocksPerSide = 6, std::uint32_t seed = 1);

    // Writes "town.*", "overview.*", the address tables, "day.mpl", "night.mpl" and "town.lvl"
    // into the device folder; false when a file cannot be written.
    [[nodiscard]] bool WriteTo(const TempDeviceRoot& root, std::u16string_view folder);

    [[nodiscard]] int GetBlocksPerSide() const { return m_blocks; }
    [[nodiscard]] MapPoint GetCentre() const;
    // The grid point (i, j), 0..blocksPerSide each.
    [[nodiscard]] static MapPoint GridPoint(int i, int j);
    // The detailed level's elements and, after WriteTo, their ids.
    [[nodiscard]] const std::vector<ElementDescription>& GetDetailElements() const {
        return m_detail;
    }
    [[nodiscard]] const std::vector<std::uint32_t>& GetDetailIds() const { return m_detailIds; }
    [[nodiscard]] const std::vector<ElementDescription>& GetOverviewElements() const {
        return m_overview;
    }
    // The index of the street segment from grid point (i, j) along x (or y) by one block.
    [[nodiscard]] std::size_t GetStreetSegment(int i, int j, bool isAlongX) const;
    [[nodiscard]] std::size_t GetMotorway() const { return m_motorway; }

private:
    void AddStreets();
    void AddMainRoads();
    void AddAreasAndPoints();
    std::uint32_t Next();

    int m_blocks;
    std::uint32_t m_state;
    std::vector<ElementDescription> m_detail;
    std::vector<ElementDescription> m_overview;
    std::vector<std::uint32_t> m_detailIds;
    std::vector<std::size_t> m_alongX; // segment indexes by (j * blocks + i)
    std::vector<std::size_t> m_alongY; // segment indexes by (i * blocks + j)
    std::vector<std::size_t> m_mainRoads;
    std::size_t m_motorway = 0;
};

} // namespace testdata
