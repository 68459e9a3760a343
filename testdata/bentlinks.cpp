#include "testdata/bentlinks.h"

#include <cstdint>
#include <random>

namespace testdata {

std::map<std::uint32_t, std::vector<MapPoint>>
BendWorldLinks(const RoadWorld& world, std::uint32_t seed, std::uint32_t percent) {
    // mt19937 and hand-made draws: the distributions of the library differ between platforms.
    std::mt19937 random(seed);
    const auto draw = [&](std::uint32_t below) { return below == 0 ? 0u : random() % below; };
    std::map<std::uint32_t, std::vector<MapPoint>> bends;
    for (std::uint32_t i = 0; i < world.links.size(); ++i) {
        if (draw(100) >= percent) {
            continue;
        }
        const MapPoint a = world.nodes[world.links[i].from];
        const MapPoint b = world.nodes[world.links[i].to];
        const std::int64_t dx = static_cast<std::int64_t>(b.x) - a.x;
        const std::int64_t dy = static_cast<std::int64_t>(b.y) - a.y;
        const std::uint32_t count = 1 + draw(3);
        std::vector<MapPoint> points;
        for (std::uint32_t k = 1; k <= count; ++k) {
            // Along the straight line at k / (count + 1), set off at right angles by up to a
            // quarter of its length to either side.
            const std::int64_t offset = static_cast<std::int64_t>(draw(51)) - 25;
            const std::int64_t x = a.x + dx * k / (count + 1) - dy * offset / 100;
            const std::int64_t y = a.y + dy * k / (count + 1) + dx * offset / 100;
            points.push_back({static_cast<std::int32_t>(x), static_cast<std::int32_t>(y)});
        }
        bends.emplace(i, std::move(points));
    }
    return bends;
}

} // namespace testdata
