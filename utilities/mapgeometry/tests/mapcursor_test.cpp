#include "testdata/memoryblockfile.h"
#include "testdata/tempdir.h"
#include "utilities/mapgeometry/mapcursor.h"
#include "utilities/usefulcode/cache/blockcache.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

using testdata::MemoryBlockFile;

constexpr DWORD kRecord = 8192;
constexpr std::uint8_t kBlocks = 5;

// Five 8192-byte records, each filled with its own number plus 1.
std::vector<std::uint8_t> FiveBlocks() {
    std::vector<std::uint8_t> bytes(std::size_t{kRecord} * kBlocks);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<std::uint8_t>(i / kRecord + 1);
    }
    return bytes;
}

std::uint8_t FirstByte(const MapCursor& cursor) {
    return cursor.GetData() != nullptr ? cursor.GetData()[0] : 0;
}

TEST(MapCursor, PagesRecordsOfMappedMemoryAndBlockFiles) {
    testdata::TempDeviceRoot root;
    ASSERT_TRUE(root.WriteFile(u"\\map.rid", FiveBlocks()));
    BlockCachePtr cache = BlockCache::Create(256);
    const struct {
        const char* kind;
        CachedFilePtr file;
        DWORD recordsPerPage;
    } cases[] = {
        {"mapped",
         cache->GetMappedFile(u"\\map.rid", FileCreation::OpenExisting, FileAccess::Read,
                              FileShare::Read, kRecord),
         kBlocks},
        {"plain",
         cache->GetPlainFile(u"\\MAP.rid", FileCreation::OpenExisting, FileAccess::Read,
                             FileShare::Read, kRecord),
         kBlocks}, // the cache hands out the file already open under this name
        {"one page", testdata::MakeMemoryBlockFile(FiveBlocks(), kRecord), kBlocks},
        {"record per page", testdata::MakeMemoryBlockFile(FiveBlocks(), kRecord, kRecord), 1},
        {"32-byte records", testdata::MakeMemoryBlockFile(FiveBlocks(), 32, kRecord), 256},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind);
        ASSERT_TRUE(c.file);
        const bool isSmall = c.file->GetUnitSize() == 32;
        MapCursor cursor(c.file);
        EXPECT_EQ(cursor.GetRecordsPerPage(), c.recordsPerPage);
        EXPECT_EQ(cursor.GetData(), nullptr);
        EXPECT_EQ(cursor.GetIndex(), MapCursor::kNoIndex);
        const DWORD last = isSmall ? 1279 : 4;
        const struct {
            DWORD n;
            bool isHeld;
            std::uint8_t firstByte;
        } seeks[] = {{isSmall ? 512u : 2u, true, 3},
                     {last, true, kBlocks},
                     {last + 1, false, 0},
                     {0, true, 1},
                     {0xFFFFFFF0u, false, 0}};
        for (const auto& seek : seeks) {
            SCOPED_TRACE(seek.n);
            EXPECT_EQ(cursor.Seek(seek.n), seek.isHeld);
            EXPECT_EQ(FirstByte(cursor), seek.firstByte);
            EXPECT_EQ(cursor.GetIndex(), seek.n);
        }
        // Appending asks for a page past the count, which the file does not have.
        EXPECT_FALSE(cursor.Seek(last + 1, true));
        MapCursor positioned(c.file, 1);
        EXPECT_EQ(FirstByte(positioned), 1 + (isSmall ? 0 : 1));
        positioned.Reset();
        EXPECT_EQ(positioned.GetData(), nullptr);
        EXPECT_EQ(positioned.GetIndex(), 1u);
    }
    cache->RemoveFile(cases[0].file);
    cache->RemoveFile(cases[1].file);
}

TEST(MapCursor, FetchesAPageOnlyWhenItMovesToAnotherOne) {
    const struct {
        DWORD pageSize;
        std::vector<DWORD> seeks;
        std::uint32_t fetches;
    } cases[] = {
        {MemoryBlockFile::kWholeFile, {0, 0, 1, 4, 2, 2}, 1},
        {kRecord, {0, 0, 1, 1, 4, 2, 2}, 4},
        {kRecord, {3, 9, 3}, 2},           // an ended cursor fetches again
        {2 * kRecord, {0, 1, 2, 3, 1}, 3}, // two records per page
    };
    for (const auto& c : cases) {
        CachedFilePtr file = testdata::MakeMemoryBlockFile(FiveBlocks(), kRecord, c.pageSize);
        auto* memory = static_cast<MemoryBlockFile*>(file.Get());
        MapCursor cursor(file);
        for (DWORD n : c.seeks) {
            cursor.Seek(n);
        }
        EXPECT_EQ(memory->GetPageRequests(), c.fetches);
    }
}

} // namespace
