// Map data files with their geometry stream from arbitrary bytes, read from memory: either the
// input as the ".rid" file, or a sound map set with the input's patches applied to its ".rid" and
// ".dat" files. Opening, the extent and a whole-map walk with geometry must stay inside the data
// and end.

#include "basiccomp/retrievalengine/code/elementwalks.h"
#include "basiccomp/retrievalengine/code/ridfile.h"
#include "testdata/fuzzinput.h"
#include "testdata/mapsetwriter.h"
#include "testdata/memoryblockfile.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

testdata::MapSetFiles BaseMapSet() {
    testdata::MapSetWriter writer;
    const char letters[] = {'t', 'l', 'm', 'n', 'o', 'p', 'r', 'y', 'z'};
    for (std::int32_t i = 0; i < 60; ++i) {
        testdata::ElementDescription element;
        element.typeLetter = letters[i % 9];
        element.bounds = {i * 50, (i * 37) % 3000, i * 50 + 400, (i * 37) % 3000 + 300};
        element.points = {{i * 50, 10}, {i * 50 + 40, 300}, {i * 50 + 7, 90}};
        if (element.typeLetter == 'r' || element.typeLetter == 'z') {
            element.points = {{0, 0}, {40, -30}};
        }
        element.typeCode = static_cast<std::uint16_t>(1000 + i % 20);
        (void)writer.Add(element);
    }
    return writer.SetDepth(2).SetVersion(2).Build();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const testdata::MapSetFiles base = BaseMapSet();
    if (size < 2) {
        return 0;
    }
    // The first byte chooses which file the rest patches; an odd mode byte replaces it.
    const bool isDat = (data[0] & 0x80) != 0;
    std::vector<std::uint8_t> rid = base.rid;
    std::vector<std::uint8_t> dat = base.dat;
    (isDat ? dat : rid) =
        testdata::FileFromFuzzInput(isDat ? base.dat : base.rid, data + 1, size - 1);
    CachedFilePtr ridFile = testdata::MakeMemoryBlockFile(std::move(rid), maprecord::kBlockSize);
    CachedFilePtr datFile = testdata::MakeMemoryBlockFile(std::move(dat), maprecord::kBlockSize);
    RidFile map{BlockCachePtr()};
    if (!map.Attach(ridFile)) {
        return 0;
    }
    MapRect extent;
    (void)map.ReadExtent(extent);
    std::size_t steps = 0;
    MapPoint point;
    for (AreaElementIterator walk(ridFile, map.GetRoot(),
                                  {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, map.GetVersion(),
                                  datFile);
         walk.IsValid() && steps < 100000; walk.Next(), ++steps) {
        if (walk.GetGeometry()) {
            const GeometryElement& geometry = *walk.GetGeometry().Get();
            for (std::uint32_t i = 0; geometry.GetPoint(i, point); ++i) {
            }
            (void)geometry.Intersects(extent);
        }
        if (steps % 8 == 0) {
            ElementIterator found;
            (void)map.GetElementStore().Find(found, walk.GetElementId() ^ (data[size - 1] & 7));
        }
    }
    return 0;
}
