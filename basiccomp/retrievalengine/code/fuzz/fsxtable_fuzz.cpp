// Field table files from arbitrary bytes: either the input as the whole file, or a valid file with
// the input's patches applied. Every lookup must stay inside its block and the file. The file
// stays in memory, read as one mapped page and as pages of one block each.

#include "basiccomp/retrievalengine/code/fsxtable.h"
#include "testdata/bytesfile.h"
#include "testdata/fieldtablefilewriter.h"
#include "testdata/fuzzinput.h"
#include "testdata/memoryblockfile.h"
#include "utilities/usefulcode/memoryarena.h"

#include <cstddef>
#include <cstdint>
#include <utility>
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

void Exercise(const FsxTable& table, const std::uint8_t* data) {
    for (std::uint32_t id = 0; id < 80; id += 1 + data[0] % 7) {
        const std::uint8_t key[4] = {static_cast<std::uint8_t>(id), 0, 0, 0};
        int steps = 0;
        for (FsxRecord record = table.Find(ByteSpan(key, 4), (id & 1) != 0);
             record.IsValid() && steps < 1000; record.Next()) {
            ++steps;
        }
    }
}

// The table over a memory file of the bytes in pages of pageSize bytes, its header read from them.
bool AttachInMemory(FsxTable& table, std::vector<std::uint8_t> bytes, DWORD pageSize) {
    CachedFilePtr file = testdata::MakeMemoryBlockFile(std::move(bytes), 1, pageSize);
    if (!file) {
        return false;
    }
    testdata::BytesFile header(static_cast<const testdata::MemoryBlockFile&>(*file).GetBytes());
    return table.Attach(header, std::move(file));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool isReserved = MemoryArena::Shared().Reserve(8 << 20);
    static BlockCachePtr cache = BlockCache::Create(32);
    static const std::vector<std::uint8_t> base = BaseFile();
    if (size == 0 || !isReserved) {
        return 0;
    }
    std::vector<std::uint8_t> file = testdata::FileFromFuzzInput(base, data, size);
    FsxTable mapped(cache);
    if (!AttachInMemory(mapped, file, testdata::MemoryBlockFile::kWholeFile)) {
        return 0;
    }
    Exercise(mapped, data);
    const std::uint32_t blockSize = mapped.GetBlockSize();
    mapped.Close();
    FsxTable paged(cache);
    if (AttachInMemory(paged, std::move(file), blockSize)) {
        Exercise(paged, data);
    }
    return 0;
}
