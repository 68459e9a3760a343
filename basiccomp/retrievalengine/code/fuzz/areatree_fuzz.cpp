// Area tree files from arbitrary bytes (patches over a valid tree, or the raw bytes): every node
// is walked, read whole and walked up from; nothing may read outside its block or loop.
#include "basiccomp/retrievalengine/code/areatree.h"
#include "testdata/areatreewriter.h"
#include "testdata/fuzzinput.h"
#include "testdata/memoryblockfile.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

std::vector<std::uint8_t> BaseTree() {
    testdata::AreaTreeWriter writer;
    const std::int32_t country = writer.Add({"7", 10, -1, 70, {-1.0f, 40.0f, 2.0f, 50.0f}});
    const std::int32_t region = writer.Add({"Nord", 8, country, 80, {0.0f, 45.0f, 2.0f, 50.0f}});
    writer.Add({"Ahrweiler", 4, region, 40, {}});
    writer.Add({"Bonn", 4, country, 41, {}});
    return writer.Build();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::vector<std::uint8_t> base = BaseTree();
    AreaTreeCursor cursor(
        testdata::MakeMemoryBlockFile(testdata::FileFromFuzzInput(base, data, size),
                                      AreaTreeCursor::kBlockSize, AreaTreeCursor::kBlockSize));
    std::vector<std::uint32_t> ids;
    for (cursor.Next(); cursor.IsValid(); cursor.Next()) {
        ids.push_back(static_cast<std::uint32_t>(cursor.GetId()));
        volatile std::size_t sink = cursor.GetName().size() + cursor.GetChildren().size();
        (void)sink;
        (void)cursor.GetRect();
    }
    for (const std::uint32_t id : ids) {
        for (const std::uint32_t level : {0u, 8u, 10u, 11u}) {
            AreaTreeCursor walker = cursor;
            walker.Seek(id);
            (void)walker.WalkUpTo(level);
        }
    }
    return 0;
}
