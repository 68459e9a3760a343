// List files from arbitrary bytes (patches over a valid file, or the raw bytes): a load never
// allocates more than the file holds and always ends.
#include "basiccomp/retrievalengine/code/arealistfile.h"
#include "testdata/areatreewriter.h"
#include "testdata/fuzzinput.h"
#include "testdata/memorybytefile.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::vector<std::uint8_t> base =
        testdata::WriteAreaList({{1, {2, 3}}, {2, {4}}, {3, {}}, {4, {5, 6, 7}}});
    testdata::MemoryByteFile file(testdata::FileFromFuzzInput(base, data, size));
    AreaListMap map;
    (void)AreaListFile::Load(file, map);
    return 0;
}
