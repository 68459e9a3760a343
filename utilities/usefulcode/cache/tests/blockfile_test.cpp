#include "testdata/archivewriter.h"
#include "testdata/tempdir.h"
#include "utilities/usefulcode/cache/blockcache.h"
#include "utilities/usefulcode/cache/blockfile.h"
#include "utilities/usefulcode/cache/sfsmountset.h"
#include "utilities/usefulcode/handlefile.h"
#include "utilities/usefulcode/memoryarena.h"

#include "platform/kernel/debug.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr DWORD kFileBlockSize = 16;
constexpr const char16_t* kPlainPath = u"\\Data\\plain.bin";

// n blocks whose bytes are 'a' + block index.
std::string Blocks(int count, DWORD blockSize = kFileBlockSize) {
    std::string bytes;
    for (int block = 0; block < count; ++block) {
        bytes.append(blockSize, static_cast<char>('a' + block));
    }
    return bytes;
}

std::string BlockText(const CachedBlockPtr& block, DWORD size = kFileBlockSize) {
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

    CachedFilePtr OpenPlain(FileAccess access, DWORD blockSize = kFileBlockSize) {
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
    EXPECT_EQ(file->GetBlockSize(), kFileBlockSize);
    EXPECT_EQ(file->GetUnitSize(), kFileBlockSize);
    EXPECT_EQ(file->GetEntrySize(), kFileBlockSize);
    EXPECT_EQ(file->GetBlockCount(), 3u);
    EXPECT_EQ(AsBlockFile(file).GetLogicalSize(), 3 * kFileBlockSize + 3);
    EXPECT_EQ(BlockText(file->GetBlock(1)), std::string(kFileBlockSize, 'b'));
    // The partial last block reads as its bytes followed by zeros.
    EXPECT_EQ(BlockText(file->GetBlock(3)), "xyz" + std::string(kFileBlockSize - 3, '\0'));
    EXPECT_EQ(file->GetBlockCount(), 4u);
}

// Buffers are reused from the arena without being cleared, so the zeros after a short last
// block must be written over whatever an earlier block left there.
TEST_F(BlockFileTest, AShortLastBlockReadsAsZerosAlsoInAReusedBuffer) {
    constexpr DWORD kOddBlockSize = 1000; // a buffer size no other test asks the arena for
    ASSERT_TRUE(m_root.WriteFile(kPlainPath, Blocks(2, kOddBlockSize) + "tail"));
    const CachedFilePtr file = OpenPlain(FileAccess::Read, kOddBlockSize);
    ASSERT_TRUE(file);
    for (DWORD round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        for (DWORD full = 0; full < 2; ++full) {
            ASSERT_TRUE(file->GetBlock(full));
            m_cache->Flush(); // its buffer goes back to the arena, full of 'a' + full
        }
        const CachedBlockPtr last = file->GetBlock(2);
        ASSERT_TRUE(last);
        EXPECT_EQ(BlockText(last, kOddBlockSize), "tail" + std::string(kOddBlockSize - 4, '\0'));
        EXPECT_EQ(last->GetData()[kOddBlockSize], 0); // the modified mark
    }
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
    EXPECT_EQ(AsBlockFile(file).GetLogicalSize(), 2 * kFileBlockSize);
    EXPECT_EQ(DiskBytes(), Blocks(2));
    EXPECT_EQ(m_cache->GetLruList().GetEntryCount(), 0u);
}

TEST_F(BlockFileTest, AWritableFileGrowsToTheBlockAskedFor) {
    ASSERT_TRUE(m_root.WriteFile(kPlainPath, Blocks(2)));
    const CachedFilePtr file = OpenPlain(FileAccess::ReadWrite);
    ASSERT_TRUE(file);
    const CachedBlockPtr block = file->GetBlock(5);
    ASSERT_TRUE(block);
    EXPECT_EQ(AsBlockFile(file).GetLogicalSize(), 6 * kFileBlockSize);
    EXPECT_EQ(file->GetBlockCount(), 6u);
    EXPECT_EQ(DiskBytes().size(), 6 * kFileBlockSize);
    EXPECT_EQ(BlockText(block), std::string(kFileBlockSize, '\0'));
}

TEST_F(BlockFileTest, AShortFileHasOneBlockButOnlyAWritableOneIsExtended) {
    ASSERT_TRUE(m_root.WriteFile(kPlainPath, "abc"));
    {
        const CachedFilePtr file = OpenPlain(FileAccess::Read);
        ASSERT_TRUE(file);
        EXPECT_EQ(file->GetBlockCount(), 1u);
        EXPECT_EQ(BlockText(file->GetBlock(0)), "abc" + std::string(kFileBlockSize - 3, '\0'));
        m_cache->RemoveFile(file);
    }
    EXPECT_EQ(DiskBytes(), "abc");
    {
        const CachedFilePtr file = OpenPlain(FileAccess::ReadWrite);
        ASSERT_TRUE(file);
        EXPECT_EQ(file->GetBlockCount(), 1u);
        EXPECT_EQ(DiskBytes(), "abc" + std::string(kFileBlockSize - 3, '\0'));
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
    expected[kFileBlockSize] = 'X';
    EXPECT_EQ(DiskBytes(), expected);
}

TEST_F(BlockFileTest, AReadOnlyFileIsNeverWrittenEvenWhenItsDataIsChanged) {
    ASSERT_TRUE(m_root.WriteFile(kPlainPath, Blocks(2)));
    CachedFilePtr file = OpenPlain(FileAccess::Read);
    ASSERT_TRUE(file);
    {
        CachedBlockPtr block = file->GetBlock(0);
        block->GetData()[0] = 'X';
        block->GetData()[kFileBlockSize] = 1; // marked modified by a careless reader
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
                if (!block || block->GetData()[kFileBlockSize - 1] != 'a' + index) {
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
                                       FileShare::Read, kFileBlockSize);
    }

    SfsMountSet m_mounts;
};

TEST_F(ArchiveBlockFileTest, ReadsTheBlocksOfAMember) {
    const CachedFilePtr file = OpenMember(FileAccess::Read);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->GetBlockCount(), 3u);
    EXPECT_EQ(BlockText(file->GetBlock(2)), std::string(kFileBlockSize, 'c'));
    EXPECT_EQ(BlockText(file->GetBlock(3)), "tail" + std::string(kFileBlockSize - 4, '\0'));
    EXPECT_FALSE(file->GetBlock(4));
    EXPECT_EQ(m_cache->GetLruList().GetUsedSize(), 2 * kFileBlockSize);
}

TEST_F(ArchiveBlockFileTest, MembersOpenOnlyForReading) {
    EXPECT_FALSE(OpenMember(FileAccess::ReadWrite));
    EXPECT_FALSE(m_cache->GetArchiveFile(u"\\Db\\missing.fsr", FileCreation::OpenExisting,
                                         FileAccess::Read, FileShare::Read, kFileBlockSize));
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

namespace {

// A loose file whose reads fail once a number of bytes has been read, as a failing disk would.
class FailingReadFile final : public IFile {
public:
    explicit FailingReadFile(DWORD bytesBeforeFailure)
        : m_budget(bytesBeforeFailure) {}

    bool Open(const std::u16string& path, FileAccess access, FileShare share, FileCreation creation,
              FileHint hint) override {
        return m_file.Open(path, access, share, creation, hint);
    }
    [[nodiscard]] bool IsOpen() const override { return m_file.IsOpen(); }
    bool Close() override { return m_file.Close(); }
    DWORD Seek(LONG offset, SeekOrigin origin) override { return m_file.Seek(offset, origin); }
    DWORD Read(void* buffer, DWORD count) override {
        const DWORD allowed = std::min(count, m_budget);
        const DWORD read = allowed == 0 ? 0 : m_file.Read(buffer, allowed);
        m_budget -= read;
        return read;
    }
    DWORD Write(const void* buffer, DWORD count) override { return m_file.Write(buffer, count); }
    DWORD GetSize() override { return m_file.GetSize(); }
    bool Truncate(LONG sizeBytes) override { return m_file.Truncate(sizeBytes); }

private:
    HandleFile m_file;
    DWORD m_budget;
};

class FailingBlockFile final : public BlockFile {
public:
    FailingBlockFile(std::weak_ptr<CacheLruList> list, DWORD bytesBeforeFailure)
        : BlockFile(std::move(list), kPlainPath,
                    std::make_unique<FailingReadFile>(bytesBeforeFailure), false,
                    FileCreation::OpenExisting, FileAccess::Read, FileShare::Read, kFileBlockSize) {
    }
};

TEST_F(BlockFileTest, AReadFailingInsideTheFileFailsTheBlockInsteadOfReadingZeros) {
    ASSERT_TRUE(m_root.WriteFile(kPlainPath, Blocks(3)));
    auto list = std::make_shared<CacheLruList>(1024);
    // The first block reads whole; the second fails half-way through.
    const CachedFilePtr file =
        MakeCachedFile<FailingBlockFile>(std::weak_ptr<CacheLruList>(list), kFileBlockSize * 3 / 2);
    ASSERT_TRUE(file);
    ASSERT_TRUE(file->IsOpen());
    const CachedBlockPtr first = file->GetBlock(0);
    ASSERT_TRUE(first);
    EXPECT_EQ(BlockText(first), std::string(kFileBlockSize, 'a'));

    platform::DebugOutputCapture debug;
    EXPECT_FALSE(file->GetBlock(1)) << "a failed read is not a block of zeros";
    EXPECT_TRUE(debug.Contains(u"reading block 1 failed"));
}

} // namespace
