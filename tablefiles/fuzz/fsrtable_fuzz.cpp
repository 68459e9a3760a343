// Table files from arbitrary bytes: either the input as the whole file, or a valid table with the
// input's patches applied. Every lookup must stay inside the file. The file stays in memory, read
// as one mapped page and as pages of one block each.

#include "tablefiles/fsrtable.h"
#include "testdata/bytesfile.h"
#include "testdata/fuzzinput.h"
#include "testdata/memoryblockfile.h"
#include "testdata/tablefilewriter.h"
#include "utilities/usefulcode/memoryarena.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace {

std::vector<std::uint8_t> BaseTable() {
    testdata::TableFileWriter writer({ColumnType::UInt32, ColumnType::Text16, ColumnType::Int16});
    writer.SetScrambled(true);
    for (std::int64_t i = 0; i < 200; ++i) {
        writer.AddRow({i / 3, std::string(1, static_cast<char>('A' + i % 26)), -i});
    }
    return writer.Build();
}

void Exercise(FsrTable& table, const std::uint8_t* data, std::size_t size) {
    std::uint32_t walked = 0;
    for (FsrRecord record = table.GetRecord(0); record.IsValid() && walked < 2000; record.Next()) {
        ++walked;
    }
    std::vector<std::uint8_t> key(data, data + (size < 24 ? size : 24));
    for (const bool secondary : {false, true}) {
        for (FsrKeyRange range = table.Find(key, secondary); range.IsValid(); range.Next()) {
        }
        (void)table.FindRecord(key, secondary).IsValid();
    }
    const auto columns = table.GetColumnList();
    if (columns && !columns->columns.empty()) {
        std::array<std::uint8_t, 256> column{};
        std::copy(key.begin(), key.end(), column.begin());
        const FieldValue value(columns->columns[0].typeCode, column.data());
        FsrRowRange rows = table.FindRows(value, false);
        for (std::uint32_t i = 0; i <= columns->columns.size() && rows.IsValid(); ++i) {
            (void)rows.GetValue(i).AsInteger();
        }
    }
}

// The table over a memory file of the bytes in pages of pageSize bytes, its header read from them.
bool AttachInMemory(FsrTable& table, std::vector<std::uint8_t> bytes, DWORD pageSize) {
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
    static const std::vector<std::uint8_t> base = BaseTable();
    static BlockCachePtr cache = BlockCache::Create(32);
    if (size == 0 || !isReserved) {
        return 0;
    }
    std::vector<std::uint8_t> file = testdata::FileFromFuzzInput(base, data, size);
    FsrTable mapped(cache);
    if (!AttachInMemory(mapped, file, testdata::MemoryBlockFile::kWholeFile)) {
        return 0;
    }
    Exercise(mapped, data, size);
    const std::uint32_t blockSize = mapped.GetBlockSize();
    mapped.Close();
    FsrTable paged(cache);
    if (AttachInMemory(paged, std::move(file), blockSize)) {
        Exercise(paged, data, size);
    }
    return 0;
}
