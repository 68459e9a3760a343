// Field table files from arbitrary bytes: either the input as the whole file, or a valid file with
// the input's patches applied. Every lookup must stay inside its block and the file.

#include "basiccomp/retrievalengine/code/fsxtable.h"
#include "testdata/fieldtablefilewriter.h"
#include "testdata/fuzzinput.h"
#include "testdata/tempdir.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

std::vector<std::uint8_t> BaseFile() {
    testdata::FieldTableFileWriter writer({ColumnType::UInt32, ColumnType::UInt32});
    writer.SetBlockSize(256);
    for (std::int64_t i = 0; i < 300; ++i) {
        writer.AddRow({i / 4, i}, std::string(static_cast<std::size_t>(i % 40), 't'));
    }
    return writer.Build();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static testdata::TempDeviceRoot* root = new testdata::TempDeviceRoot(); // kept for the run
    static BlockCachePtr cache = BlockCache::Create(32);
    static const std::vector<std::uint8_t> base = BaseFile();
    if (size == 0 ||
        !root->WriteFile(u"\\fuzz.fsx", testdata::FileFromFuzzInput(base, data, size))) {
        return 0;
    }
    FsxTable table(cache);
    if (!table.OpenMapped(u"\\fuzz.fsx")) {
        return 0;
    }
    for (std::uint32_t id = 0; id < 80; id += 1 + data[0] % 7) {
        const std::uint8_t key[4] = {static_cast<std::uint8_t>(id), 0, 0, 0};
        int steps = 0;
        for (FsxRecord record = table.Find(ByteSpan(key, 4), (id & 1) != 0);
             record.IsValid() && steps < 1000; record.Next()) {
            ++steps;
        }
    }
    return 0;
}
