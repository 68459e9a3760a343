#include "testdata/archivewriter.h"
#include "testdata/tempdir.h"
#include "utilities/usefulcode/cache/blockcache.h"
#include "utilities/usefulcode/cache/blockfile.h"
#include "utilities/usefulcode/cache/sfsmountset.h"
#include "utilities/usefulcode/memoryarena.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr DWORD kBlockSize = 16;
constexpr const char16_t* kPlainPath = u"\\Data\\plain.bin";

// n blocks whose bytes are 'a' + block index.
std::string Blocks(int count, DWORD blockSize = kBlockSize) {
    std::string bytes;
    for (int block = 0; block < count; ++block) {
        bytes.append(blockSize, static_cast<char>('a' + block));
    }
    return bytes;
}

std::string BlockText(const CachedBlockPtr& block, DWORD size = kBlockSize) {
    return std::string(reinterpret_cast<const char*>(block->GetData()), size);
}

class BlockFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!MemoryArena::Shared().HoldsMemory()) {
            ASSERT_TRUE(MemoryArena::Shared().Reserve(1 << 20));
        }
        m_cache = BlockCache::Create(64);
        ASSERT_TRUE(m_cache);
    }

    CachedFilePtr OpenPlain(FileAccess access, DWORD blockSize = kBlockSize) {
        return m_cache->GetPlainFile(kPlainPath, FileCreation::OpenExisting, access,
                                     FileShare::Read, blockSize);
    }

    [[nodiscard]] std::string DiskBytes() const { return m_root.ReadFile(kPlainPath).value(); }

    static BlockFile& AsBlockFile(const CachedFilePtr& file) {
        return static_cast<BlockFile&>(*file);
    }

    testdata::TempDeviceRoot m_root;
    BlockCachePtr m_cache;
};

TEST_F(BlockFileTest, ReadsBlocksAndCountsTheWholeOnes) {
    ASSERT_TRUE(m_root.WriteFile(kPlainPath, Blocks(3) + "xyz"));
    const CachedFilePtr file = OpenPlain(FileAccess::Read);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->GetBlockSize(), kBlockSize);
    EXPECT_EQ(file->GetUnitSize(), kBlockSize);
    EXPECT_EQ(file->GetEntrySize(), kBlockSize);
    EXPECT_EQ(file->GetBlockCount(), 3u);
    EXPECT_EQ(AsBlockFile(file).GetLogicalSize(), 3 * kBlockSize + 3);
    EXPECT_EQ(BlockText(file->GetBlock(1)), std::string(kBlockSize, 'b'));
    // The partial last block reads as its bytes followed by zeros.
    EXPECT_EQ(BlockText(file->GetBlock(3)), "xyz" + std::string(kBlockSize - 3, '\0'));
    EXPECT_EQ(file->GetBlockCount(), 4u);
}

TEST_F(BlockFileTest, BuffersStartOnCacheLines) {
    ASSERT_TRUE(m_root.WriteFile(kPlainPath, Blocks(4, 100)));
    const CachedFilePtr file = OpenPlain(FileAccess::Read, 100);
    std::vector<CachedBlockPtr> held;
    for (DWORD block = 0; block < 4; ++block) {
        held.push_back(file->GetBlock(block));
        ASSERT_TRUE(held.back());
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(held.back()->GetData()) % 64, 0u);
        EXPECT_EQ(held.back()->GetData()[99], 'a' + block);
        EXPECT_EQ(held.back()->GetData()[100], 0); // the modified mark
    }
}

TEST_F(BlockFileTest, AReadOnlyFileNeverGrows) {
    ASSERT_TRUE(m_root.WriteFile(kPlainPath, Blocks(2)));
    const CachedFilePtr file = OpenPlain(FileAccess::Read);
    ASSERT_TRUE(file);
    EXPECT_FALSE(file->GetBlock(5));
    EXPECT_FALSE(file->GetBlock(2));
    EXPECT_FALSE(file->GetBlock(0xFFFFFFFFu));
    EXPECT_EQ(file->GetBlockCount(), 2u);
    EXPECT_EQ(AsBlockFile(file).GetLogicalSize(), 2 * kBlockSize);
    EXPECT_EQ(DiskBytes(), Blocks(2));
    EXPECT_EQ(m_cache->GetLruList().GetEntryCount(), 0u);
}

TEST_F(BlockFileTest, AWritableFileGrowsToTheBlockAskedFor) {
    ASSERT_TRUE(m_root.WriteFile(kPlainPath, Blocks(2)));
    const CachedFilePtr file = OpenPlain(FileAccess::ReadWrite);
    ASSERT_TRUE(file);
    const CachedBlockPtr block = file->GetBlock(5);
    ASSERT_TRUE(block);
    EXPECT_EQ(AsBlockFile(file).GetLogicalSize(), 6 * kBlockSize);
    EXPECT_EQ(file->GetBlockCount(), 6u);
    EXPECT_EQ(DiskBytes().size(), 6 * kBlockSize);
    EXPECT_EQ(BlockText(block), std::string(kBlockSize, '\0'));
}

TEST_F(BlockFileTest, AShortFileHasOneBlockButOnlyAWritableOneIsExtended) {
    ASSERT_TRUE(m_root.WriteFile(kPlainPath, "abc"));
    {
        const CachedFilePtr file = OpenPlain(FileAccess::Read);
        ASSERT_TRUE(file);
        EXPECT_EQ(file->GetBlockCount(), 1u);
        EXPECT_EQ(BlockText(file->GetBlock(0)), "abc" + std::string(kBlockSize - 3, '\0'));
        m_cache->RemoveFile(file);
    }
    EXPECT_EQ(DiskBytes(), "abc");
    {
        const CachedFilePtr file = OpenPlain(FileAccess::ReadWrite);
        ASSERT_TRUE(file);
        EXPECT_EQ(file->GetBlockCount(), 1u);
        EXPECT_EQ(DiskBytes(), "abc" + std::string(kBlockSize - 3, '\0'));
        m_cache->RemoveFile(file);
    }
}

TEST_F(BlockFileTest, AWritableFileWritesReleasedBlocksBack) {
    ASSERT_TRUE(m_root.WriteFile(kPlainPath, Blocks(3)));
    CachedFilePtr file = OpenPlain(FileAccess::ReadWrite);
    ASSERT_TRUE(file);
    {
        CachedBlockPtr block = file->GetBlock(1);
        ASSERT_TRUE(block);
        block->GetData()[0] = 'X';
    }
    m_cache->Flush(); // the last reference goes, the block is written back
    std::string expected = Blocks(3);
    expected[kBlockSize] = 'X';
    EXPECT_EQ(DiskBytes(), expected);
}

TEST_F(BlockFileTest, AReadOnlyFileIsNeverWrittenEvenWhenItsDataIsChanged) {
    ASSERT_TRUE(m_root.WriteFile(kPlainPath, Blocks(2)));
    CachedFilePtr file = OpenPlain(FileAccess::Read);
    ASSERT_TRUE(file);
    {
        CachedBlockPtr block = file->GetBlock(0);
        block->GetData()[0] = 'X';
        block->GetData()[kBlockSize] = 1; // marked modified by a careless reader
    }
    m_cache->Flush();
    EXPECT_EQ(DiskBytes(), Blocks(2));
}

TEST_F(BlockFileTest, RefusesBlockSizesItCannotServe) {
    ASSERT_TRUE(m_root.WriteFile(kPlainPath, Blocks(2)));
    EXPECT_FALSE(OpenPlain(FileAccess::Read, 0));
    EXPECT_FALSE(OpenPlain(FileAccess::Read, 0xFFFFFFFFu));
    EXPECT_EQ(m_cache->GetFileCount(), 0u);
}

TEST_F(BlockFileTest, AMissingFileIsNotOpened) {
    EXPECT_FALSE(OpenPlain(FileAccess::Read));
    EXPECT_EQ(m_cache->GetFileCount(), 0u);
}

TEST_F(BlockFileTest, ABlockLargerThanTheArenaFailsWithoutRetrying) {
    const DWORD hugeBlock = MemoryArena::Shared().GetLimit() + 16;
    ASSERT_TRUE(m_root.WriteFile(kPlainPath, "abc"));
    const CachedFilePtr file = OpenPlain(FileAccess::Read, hugeBlock);
    ASSERT_TRUE(file);
    EXPECT_FALSE(file->GetBlock(0));
    EXPECT_FALSE(file->LastLoadLackedMemory());
}

// Blocks are loaded under the cache's lock but released wherever their last reference goes, so
// arena buffers are freed on one thread while another allocates.
TEST_F(BlockFileTest, ThreadsReadTheRightBlocksThroughASmallCache) {
    ASSERT_TRUE(m_root.WriteFile(kPlainPath, Blocks(20)));
    m_cache->SetCapacityKB(0);
    const CachedFilePtr file = OpenPlain(FileAccess::Read);
    ASSERT_TRUE(file);
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            std::vector<CachedBlockPtr> held;
            for (int round = 0; round < 2000; ++round) {
                const auto index = static_cast<DWORD>((round * 7 + t * 3) % 20);
                CachedBlockPtr block = file->GetBlock(index);
                if (!block || block->GetData()[kBlockSize - 1] != 'a' + index) {
                    ++wrong;
                    continue;
                }
                held.push_back(std::move(block));
                if (held.size() > 2) {
                    held.erase(held.begin()); // dropped here, possibly the last reference
                }
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(DiskBytes(), Blocks(20));
}

class ArchiveBlockFileTest : public BlockFileTest {
protected:
    void SetUp() override {
        BlockFileTest::SetUp();
        ASSERT_TRUE(m_root.InstallModule(u"ziVur.dll"));
        testdata::ArchiveWriter writer;
        ASSERT_TRUE(writer.AddMember("table.fsr", Blocks(3) + "tail"));
        ASSERT_TRUE(m_root.WriteFile(u"\\Db\\data.sfs", writer.Build()));
        ASSERT_TRUE(m_mounts.Mount(u"\\Db\\data.sfs"));
    }

    CachedFilePtr OpenMember(FileAccess access) {
        return m_cache->GetArchiveFile(u"\\Db\\table.fsr", FileCreation::OpenExisting, access,
                                       FileShare::Read, kBlockSize);
    }

    SfsMountSet m_mounts;
};

TEST_F(ArchiveBlockFileTest, ReadsTheBlocksOfAMember) {
    const CachedFilePtr file = OpenMember(FileAccess::Read);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->GetBlockCount(), 3u);
    EXPECT_EQ(BlockText(file->GetBlock(2)), std::string(kBlockSize, 'c'));
    EXPECT_EQ(BlockText(file->GetBlock(3)), "tail" + std::string(kBlockSize - 4, '\0'));
    EXPECT_FALSE(file->GetBlock(4));
    EXPECT_EQ(m_cache->GetLruList().GetUsedSize(), 2 * kBlockSize);
}

TEST_F(ArchiveBlockFileTest, MembersOpenOnlyForReading) {
    EXPECT_FALSE(OpenMember(FileAccess::ReadWrite));
    EXPECT_FALSE(m_cache->GetArchiveFile(u"\\Db\\missing.fsr", FileCreation::OpenExisting,
                                         FileAccess::Read, FileShare::Read, kBlockSize));
    EXPECT_TRUE(m_mounts.UnmountAll());
    EXPECT_FALSE(OpenMember(FileAccess::Read));
}

TEST_F(ArchiveBlockFileTest, AnOpenMemberKeepsWorkingAfterItsArchiveIsUnmounted) {
    const CachedFilePtr file = OpenMember(FileAccess::Read);
    ASSERT_TRUE(file);
    EXPECT_TRUE(m_mounts.UnmountAll());
    EXPECT_EQ(BlockText(file->GetBlock(0)), Blocks(1));
}

} // namespace
