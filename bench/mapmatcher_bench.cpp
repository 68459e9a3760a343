// The map matcher's Update per fix along a 20 km drive over a random world of about 100,000
// road segments opened by the engine, against a brute-force scan of every segment in memory
// for the nearest one to each fix (the baseline, same run). The matcher looks only at its search
// area, so it must not cost more than the scan; both report the time per fix.
#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "positioning/geodistance.h"
#include "positioning/mapmatcher.h"
#include "testdata/drivegenerator.h"
#include "testdata/gpsfixbatches.h"
#include "testdata/randomworld.h"
#include "testdata/tempdir.h"
#include "testdata/worldmapset.h"
#include "utilities/usefulcode/segmentgeometry.h"

#include "platform/kernel/time.h"

#include <benchmark/benchmark.h>

#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t kSide = 243; // about 100,000 links
constexpr double kDriveMetres = 20000.0;

struct Segment {
    GeoPoint a;
    GeoPoint b;
};

struct World {
    testdata::TempDeviceRoot root;
    testdata::RandomWorld random;
    six::RefCntPtr<RetrievalEngineImpl> engine;
    std::vector<Segment> segments;
    std::vector<std::vector<GpsFix>> batches;
    std::string error;
};

// A walk of 20 km through the world: from each node along a random link that may be driven
// that way, not straight back unless it is a dead end.
std::vector<std::uint32_t> WalkLinks(const testdata::RoadWorld& world, std::uint32_t start,
                                     std::vector<std::uint32_t>& nodes) {
    std::vector<std::vector<std::uint32_t>> at(world.nodes.size());
    for (std::uint32_t i = 0; i < world.links.size(); ++i) {
        at[world.links[i].from].push_back(i);
        at[world.links[i].to].push_back(i);
    }
    std::mt19937 draw(7);
    std::vector<std::uint32_t> links;
    nodes = {start};
    double metres = 0.0;
    std::uint32_t node = start;
    std::uint32_t came = std::numeric_limits<std::uint32_t>::max();
    while (metres < kDriveMetres) {
        std::vector<std::uint32_t> ways;
        for (const std::uint32_t link : at[node]) {
            const testdata::WorldLink& l = world.links[link];
            if ((!l.isOneWay || l.from == node) && link != came) {
                ways.push_back(link);
            }
        }
        if (ways.empty()) {
            if (came == std::numeric_limits<std::uint32_t>::max()) {
                break;
            }
            ways.push_back(came);
        }
        const std::uint32_t link = ways[draw() % ways.size()];
        const testdata::WorldLink& l = world.links[link];
        const std::uint32_t next = l.from == node ? l.to : l.from;
        metres += GeoDistance(world.Position(node), world.Position(next));
        links.push_back(link);
        nodes.push_back(next);
        node = next;
        came = link;
    }
    return links;
}

std::unique_ptr<World> MakeWorld() {
    auto w = std::make_unique<World>();
    testdata::RandomWorldOptions options;
    options.seed = 11;
    options.columns = kSide;
    options.rows = kSide;
    w->random = testdata::MakeRandomWorld(options);
    const auto mapSet = testdata::WriteWorldMapSet(w->random.world, {}, w->root, u"\\maps");
    if (!mapSet) {
        w->error = "the map set cannot be written";
        return w;
    }
    w->engine = RetrievalEngineImpl::CreateEngine(BlockCache::Create(4096));
    if (!w->engine->Open(mapSet->ridPath)) {
        w->error = "the map set does not open";
        return w;
    }
    const testdata::RoadWorld& world = w->random.world;
    for (const testdata::WorldLink& link : world.links) {
        w->segments.push_back({world.Position(link.from), world.Position(link.to)});
    }
    std::vector<std::uint32_t> nodes;
    const std::vector<std::uint32_t> links =
        WalkLinks(world, static_cast<std::uint32_t>(world.nodes.size() / 2 + kSide / 2), nodes);
    testdata::DriveGenerator generator;
    for (std::size_t i = 0; i < links.size(); ++i) {
        const GeoPoint a = world.Position(nodes[i]);
        const GeoPoint b = world.Position(nodes[i + 1]);
        generator.AddPiece(static_cast<int>(world.links[links[i]].elementId),
                           {{a.y, a.x}, {b.y, b.x}});
    }
    testdata::DriveSettings settings;
    settings.speedProfile = {{0.0, 50.0}};
    settings.noiseMetres = 5.0;
    w->batches = testdata::ToGpsFixBatches(generator.Generate(settings), 946684800);
    if (w->batches.size() < 1000) {
        w->error = "the drive is too short";
    }
    return w;
}

World& TheWorld() {
    static const std::unique_ptr<World> world = MakeWorld();
    return *world;
}

void BM_MatcherUpdatePerFix(benchmark::State& state) {
    World& w = TheWorld();
    if (!w.error.empty()) {
        state.SkipWithError(w.error.c_str());
        return;
    }
    platform::VirtualClock clock;
    const platform::ScopedClock installed(clock);
    std::int64_t matched = 0;
    for (auto _ : state) {
        MapMatcher matcher{AreaQueryPtr(w.engine)};
        matcher.SetSimpleMode(state.range(0) != 0);
        for (const auto& batch : w.batches) {
            clock.SetTick(batch.back().tick);
            matched += matcher.Update(batch);
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(w.batches.size()));
    state.counters["matched"] = benchmark::Counter(
        static_cast<double>(matched) / static_cast<double>(state.iterations() * w.batches.size()));
    state.counters["segments"] = static_cast<double>(w.segments.size());
}
BENCHMARK(BM_MatcherUpdatePerFix)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

// The baseline: the nearest of all segments to each fix.
void BM_NearestSegmentScanPerFix(benchmark::State& state) {
    World& w = TheWorld();
    if (!w.error.empty()) {
        state.SkipWithError(w.error.c_str());
        return;
    }
    for (auto _ : state) {
        for (const auto& batch : w.batches) {
            const GeoPoint p{batch.back().longitude, batch.back().latitude};
            float best = std::numeric_limits<float>::max();
            std::size_t nearest = 0;
            for (std::size_t i = 0; i < w.segments.size(); ++i) {
                const float d =
                    SquaredDistanceF(p, ClosestPointOnSegment(p, w.segments[i].a, w.segments[i].b));
                if (d < best) {
                    best = d;
                    nearest = i;
                }
            }
            benchmark::DoNotOptimize(nearest);
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(w.batches.size()));
}
BENCHMARK(BM_NearestSegmentScanPerFix)->Unit(benchmark::kMillisecond);

} // namespace
BENCHMARK_MAIN();
