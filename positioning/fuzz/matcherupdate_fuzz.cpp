// Fix batches decoded from arbitrary bytes, fed to a matcher over a small sketch map set attached
// from memory. No result may hold a NaN and the history index must stay within the ring.
#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "positioning/mapmatcher.h"
#include "testdata/matcherdrives.h"
#include "testdata/memoryblockfile.h"
#include "utilities/mapgeometry/elementrecord.h"

#include "platform/kernel/time.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace {

struct SketchEngine {
    SketchEngine() {
        const testdata::MatcherSketch sketch = testdata::XJunctionSketch();
        testdata::MapSetWriter writer;
        if (!testdata::AddMatcherSketch(writer, sketch)) {
            std::abort();
        }
        testdata::MapSetFiles files = writer.Build();
        engine = RetrievalEngineImpl::CreateEngine(BlockCache::Create(64));
        if (!engine->Attach(
                testdata::MakeMemoryBlockFile(std::move(files.rid), maprecord::kBlockSize),
                testdata::MakeMemoryBlockFile(std::move(files.dat), maprecord::kBlockSize),
                nullptr)) {
            std::abort();
        }
        origin = MapPointToDegrees(*testdata::MapSetWriter::NodePosition(sketch.grid, 'W'));
    }

    six::RefCntPtr<RetrievalEngineImpl> engine;
    GeoPoint origin;
};

bool Finite(const GeoPoint& p) {
    return std::isfinite(p.x) && std::isfinite(p.y);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const SketchEngine sketch;
    static platform::VirtualClock clock;
    static const platform::ScopedClock installed(clock);
    const testdata::DecodedFixes decoded = testdata::DecodeFixes(data, size, sketch.origin);
    MapMatcher matcher{AreaQueryPtr(sketch.engine)};
    matcher.SetSimpleMode(decoded.simple);
    for (const testdata::DecodedFixBatch& batch : decoded.batches) {
        clock.SetTick(batch.clockTick);
        (void)matcher.Update(batch.fixes);
        const MatchedPosition result = matcher.GetResult();
        const MatchRecord& newest = matcher.History().Newest();
        if (!Finite(result.matched) || !Finite(result.segmentStart) || !Finite(result.segmentEnd) ||
            !Finite(newest.snapped) || std::isnan(newest.error) || matcher.History().Index() < -1 ||
            matcher.History().Index() >= HistoryRing::kSize) {
            std::abort();
        }
    }
    return 0;
}
