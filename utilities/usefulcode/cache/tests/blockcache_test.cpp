#include "testdata/archivewriter.h"
#include "testdata/tempdir.h"
#include "utilities/usefulcode/cache/blockcache.h"
#include "utilities/usefulcode/cache/sfsmountset.h"
#include "utilities/usefulcode/memoryarena.h"

#include "platform/kernel/handles.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr DWORD kBlockSize = 64;

std::string Block(char fill) {
    return std::string(kBlockSize, fill);
}

std::string Text(const CachedBlockPtr& block, std::size_t size = kBlockSize) {
    return std::string(reinterpret_cast<const char*>(block->GetData()), size);
}

class BlockCacheTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!MemoryArena::Shared().HoldsMemory()) {
            ASSERT_TRUE(MemoryArena::Shared().Reserve(1 << 20));
        }
        ASSERT_TRUE(m_root.WriteFile(u"\\Db\\Streets.fsr", Block('a') + Block('b') + Block('c')));
        ASSERT_TRUE(m_root.WriteFile(u"\\Db\\Towns.fsr", Block('t') + Block('u')));
        m_cache = BlockCache::Create(1);
        ASSERT_TRUE(m_cache);
    }

    CachedFilePtr Plain(const std::u16string& name) {
        return m_cache->GetPlainFile(name, FileCreation::OpenExisting, FileAccess::Read,
                                     FileShare::Read, kBlockSize);
    }

    testdata::TempDeviceRoot m_root;
    BlockCachePtr m_cache;
};

TEST_F(BlockCacheTest, TakesItsCapacityInKilobytes) {
    EXPECT_EQ(m_cache->GetLruList().GetCapacity(), 1024u);
    m_cache->SetCapacityKB(3);
    EXPECT_EQ(m_cache->GetLruList().GetCapacity(), 3072u);
    m_cache->SetCapacityKB(0x00400000u); // would not fit 32 bits
    EXPECT_EQ(m_cache->GetLruList().GetCapacity(), 0xFFFFFFFFu);
}

TEST_F(BlockCacheTest, NamesDifferingOnlyInCaseShareOneFile) {
    const CachedFilePtr first = Plain(u"\\Db\\Streets.fsr");
    const CachedFilePtr second = Plain(u"\\DB\\STREETS.FSR");
    ASSERT_TRUE(first);
    EXPECT_EQ(first.Get(), second.Get());
    EXPECT_EQ(m_cache->GetFileCount(), 1u);
    EXPECT_EQ(first->GetBlock(1).Get(), second->GetBlock(1).Get());
}

TEST_F(BlockCacheTest, AnOpenNameIgnoresTheOtherArgumentsOfLaterRequests) {
    const CachedFilePtr mapped = m_cache->GetMappedFile(
        u"\\Db\\Streets.fsr", FileCreation::OpenExisting, FileAccess::Read, FileShare::Read, 32);
    ASSERT_TRUE(mapped);
    const CachedFilePtr again =
        m_cache->GetMappedFile(u"\\db\\streets.fsr", FileCreation::CreateAlways,
                               FileAccess::ReadWrite, FileShare::All, kBlockSize);
    const CachedFilePtr asPlain = Plain(u"\\Db\\Streets.fsr");
    EXPECT_EQ(again.Get(), mapped.Get());
    EXPECT_EQ(asPlain.Get(), mapped.Get());
    EXPECT_EQ(again->GetUnitSize(), 32u);
    EXPECT_EQ(again->GetBlockSize(), 3 * kBlockSize);
}

TEST_F(BlockCacheTest, CountsEachKindOfFileAgainstTheCapacity) {
    ASSERT_TRUE(m_root.InstallModule(u"ziVur.dll"));
    testdata::ArchiveWriter writer;
    ASSERT_TRUE(writer.AddMember("Names.fsr", Block('n') + Block('o')));
    ASSERT_TRUE(m_root.WriteFile(u"\\Db\\names.sfs", writer.Build()));
    SfsMountSet mounts;
    ASSERT_TRUE(mounts.Mount(u"\\Db\\names.sfs"));

    const CachedFilePtr mapped =
        m_cache->GetMappedFile(u"\\Db\\Towns.fsr", FileCreation::OpenExisting, FileAccess::Read,
                               FileShare::Read, kBlockSize);
    const CachedFilePtr plain = Plain(u"\\Db\\Streets.fsr");
    const CachedFilePtr archived =
        m_cache->GetArchiveFile(u"\\Db\\Names.fsr", FileCreation::OpenExisting, FileAccess::Read,
                                FileShare::Read, kBlockSize);
    ASSERT_TRUE(mapped && plain && archived);
    CacheLruList& list = m_cache->GetLruList();

    const struct {
        const CachedFilePtr& file;
        DWORD block;
        DWORD usedAfter;
        const char* first;
    } steps[] = {
        {mapped, 7, 12, "t"}, // a whole view counts 12 bytes, whatever the index
        {mapped, 0, 12, "t"},
        {plain, 2, 12 + kBlockSize, "c"},
        {archived, 1, 12 + 2 * kBlockSize, "o"},
        {archived, 1, 12 + 2 * kBlockSize, "o"},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.usedAfter);
        const CachedBlockPtr block = step.file->GetBlock(step.block);
        ASSERT_TRUE(block);
        EXPECT_EQ(Text(block, 1), step.first);
        EXPECT_EQ(list.GetUsedSize(), step.usedAfter);
    }
    EXPECT_EQ(mapped->GetEntrySize(), 12u);
    EXPECT_EQ(plain->GetEntrySize(), kBlockSize);
    EXPECT_EQ(archived->GetEntrySize(), kBlockSize);
}

TEST_F(BlockCacheTest, EvictsFreeBlocksOnceTheCapacityIsReached) {
    m_cache->SetCapacityKB(0); // every free block goes at once
    const CachedFilePtr file = Plain(u"\\Db\\Streets.fsr");
    const CachedBlockPtr held = file->GetBlock(0);
    EXPECT_TRUE(file->GetBlock(1));
    EXPECT_TRUE(file->GetBlock(2)); // evicts 1; 2 itself stays listed until the next load
    EXPECT_EQ(m_cache->GetLruList().GetEntryCount(), 2u);
    EXPECT_EQ(m_cache->GetLruList().GetUsedSize(), 2 * kBlockSize);
    m_cache->Flush();
    EXPECT_EQ(m_cache->GetLruList().GetEntryCount(), 1u);
    EXPECT_EQ(Text(held), Block('a'));
}

TEST_F(BlockCacheTest, RemoveFileWaitsForItsLastOpening) {
    const CachedFilePtr firstTable = Plain(u"\\Db\\Streets.fsr");
    const CachedFilePtr secondTable = Plain(u"\\Db\\Streets.fsr");
    ASSERT_TRUE(firstTable);
    const CachedBlockPtr loaded = secondTable->GetBlock(1);
    m_cache->RemoveFile(firstTable);
    EXPECT_EQ(m_cache->GetFileCount(), 1u);
    EXPECT_EQ(secondTable->GetBlock(1).Get(), loaded.Get());
    EXPECT_EQ(Text(secondTable->GetBlock(2)), Block('c'));

    m_cache->RemoveFile(secondTable);
    EXPECT_EQ(m_cache->GetFileCount(), 0u);
    EXPECT_EQ(m_cache->GetLruList().GetEntryCount(), 0u);
    EXPECT_EQ(m_cache->GetLruList().GetUsedSize(), 0u);
    EXPECT_EQ(Text(loaded), Block('b'));
    m_cache->RemoveFile(secondTable); // no longer in the set: ignored
    EXPECT_NE(Plain(u"\\Db\\Streets.fsr").Get(), nullptr);
}

TEST_F(BlockCacheTest, ARemovedFileClosesWhenItsLastHolderLetsGo) {
    const std::size_t handlesBefore = platform::OpenHandleCount();
    CachedFilePtr table = Plain(u"\\Db\\Streets.fsr");
    ASSERT_TRUE(table);
    CachedBlockPtr cursorBlock = table->GetBlock(2);
    m_cache->RemoveFile(table);
    table.Release();
    // A cursor still reads its block, and the file behind it is still open.
    EXPECT_EQ(Text(cursorBlock), Block('c'));
    EXPECT_TRUE(cursorBlock->GetFile().IsOpen());
    EXPECT_EQ(platform::OpenHandleCount(), handlesBefore + 1);
    cursorBlock.Release();
    EXPECT_EQ(platform::OpenHandleCount(), handlesBefore);
}

TEST_F(BlockCacheTest, RemoveFileIgnoresAFileItDoesNotHold) {
    BlockCachePtr other = BlockCache::Create(1);
    const CachedFilePtr foreign =
        other->GetPlainFile(u"\\Db\\Streets.fsr", FileCreation::OpenExisting, FileAccess::Read,
                            FileShare::Read, kBlockSize);
    const CachedFilePtr own = Plain(u"\\Db\\Streets.fsr");
    EXPECT_TRUE(own->GetBlock(0));
    m_cache->RemoveFile(foreign);
    m_cache->RemoveFile(CachedFilePtr());
    EXPECT_EQ(m_cache->GetFileCount(), 1u);
    EXPECT_EQ(m_cache->GetLruList().GetEntryCount(), 1u);
}

TEST_F(BlockCacheTest, FilesAndBlocksOutliveTheCacheButLoadNoMore) {
    const std::size_t handlesBefore = platform::OpenHandleCount();
    CachedFilePtr table = Plain(u"\\Db\\Streets.fsr");
    CachedBlockPtr block = table->GetBlock(0);
    EXPECT_TRUE(table->GetBlock(1));
    m_cache.Release();
    EXPECT_EQ(Text(block), Block('a'));
    EXPECT_FALSE(table->GetBlock(1));
    block.Release();
    table.Release();
    EXPECT_EQ(platform::OpenHandleCount(), handlesBefore);
}

} // namespace
