#include "utilities/usefulcode/cache/cachelrulist.h"

#include "platform/kernel/time.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <set>
#include <thread>
#include <vector>

namespace {

constexpr DWORD kLruBlockSize = 100;

std::atomic<int> g_fakeFilesAlive{0};

// A file whose blocks are made in memory: each block's first byte is its index. It can be told
// to fail its loads, for want of memory or otherwise, and to hold at most a number of blocks.
class FakeFile final : public CachedFile {
public:
    enum class Failure { None, LacksMemory, Broken };

    explicit FakeFile(std::weak_ptr<CacheLruList> list)
        : CachedFile(std::move(list), u"fake", kLruBlockSize, kLruBlockSize) {
        ++g_fakeFilesAlive;
    }
    ~FakeFile() override { --g_fakeFilesAlive; }

    BYTE* LoadBlock(DWORD blockIndex) override {
        ++loads;
        const bool isFull = live.load() >= maxLive;
        SetLastLoadLackedMemory(failure == Failure::LacksMemory || isFull);
        if (failure != Failure::None || isFull) {
            return nullptr;
        }
        ++live;
        auto* data = new BYTE[kLruBlockSize]();
        data[0] = static_cast<BYTE>(blockIndex);
        return data;
    }
    void ReleaseBlock(BYTE* data, DWORD) override {
        ++releases;
        --live;
        delete[] data;
    }
    void Close() override {}
    [[nodiscard]] bool IsOpen() const override { return true; }
    [[nodiscard]] DWORD GetBlockCount() const override { return 0; }
    void SetBlockCount(DWORD) override {}
    [[nodiscard]] CachedBlockPtr GetBlock(DWORD blockIndex) override {
        return GetListedBlock(blockIndex);
    }
    [[nodiscard]] DWORD GetEntrySize() const override { return kLruBlockSize; }

    Failure failure = Failure::None;
    int maxLive = 1 << 30;
    std::atomic<int> loads{0};
    std::atomic<int> releases{0};
    std::atomic<int> live{0};
};

class CacheLruListTest : public ::testing::Test {
protected:
    void MakeList(DWORD capacityBytes) {
        m_list = std::make_shared<CacheLruList>(capacityBytes);
        m_filePointer = MakeCachedFile<FakeFile>(std::weak_ptr<CacheLruList>(m_list));
        m_file = static_cast<FakeFile*>(m_filePointer.Get());
    }

    CachedBlockPtr Get(DWORD blockIndex) { return m_file->GetBlock(blockIndex); }

    std::shared_ptr<CacheLruList> m_list;
    CachedFilePtr m_filePointer;
    FakeFile* m_file = nullptr;
};

TEST_F(CacheLruListTest, ServesARepeatedBlockWithoutLoadingItAgain) {
    MakeList(10 * kLruBlockSize);
    const CachedBlockPtr first = Get(3);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->GetData()[0], 3);
    EXPECT_EQ(first->GetIndex(), 3u);
    EXPECT_EQ(&first->GetFile(), m_file);
    EXPECT_EQ(Get(3).Get(), first.Get()); // the most recent entry
    Get(4);
    EXPECT_EQ(Get(3).Get(), first.Get()); // found in the index
    EXPECT_EQ(m_file->loads.load(), 2);
    EXPECT_EQ(m_list->GetUsedSize(), 2 * kLruBlockSize);
    EXPECT_EQ(m_list->GetEntryCount(), 2u);
}

TEST_F(CacheLruListTest, EvictsTheLeastRecentlyUsedBlocksThatNobodyHolds) {
    MakeList(3 * kLruBlockSize);
    Get(0);
    Get(1);
    Get(2);
    Get(0); // 1 is now the least recently used
    Get(3);
    EXPECT_EQ(m_file->releases.load(), 1);
    EXPECT_EQ(m_list->GetUsedSize(), 3 * kLruBlockSize);
    const int loads = m_file->loads.load();
    Get(0);
    Get(2);
    Get(3);
    EXPECT_EQ(m_file->loads.load(), loads); // still listed
    Get(1);
    EXPECT_EQ(m_file->loads.load(), loads + 1); // it was the one evicted
}

TEST_F(CacheLruListTest, LoadsPastTheCapacityWhileCallersHoldTheBlocks) {
    MakeList(kLruBlockSize);
    const CachedBlockPtr first = Get(0);
    const CachedBlockPtr second = Get(1);
    const CachedBlockPtr third = Get(2);
    ASSERT_TRUE(third);
    EXPECT_EQ(m_list->GetUsedSize(), 3 * kLruBlockSize);
    EXPECT_EQ(m_list->GetEntryCount(), 3u);
    EXPECT_EQ(m_file->releases.load(), 0);
    EXPECT_EQ(first->GetData()[0], 0);
    EXPECT_EQ(second->GetData()[0], 1);
}

TEST_F(CacheLruListTest, EvictWithEveryEntryHeldRemovesNothing) {
    MakeList(10 * kLruBlockSize);
    std::vector<CachedBlockPtr> held = {Get(0), Get(1), Get(2)};
    EXPECT_FALSE(m_list->SetCapacity(kLruBlockSize));
    EXPECT_EQ(m_list->GetUsedSize(), 3 * kLruBlockSize);
    EXPECT_FALSE(m_list->Evict());
    EXPECT_EQ(m_list->GetEntryCount(), 3u);
    EXPECT_EQ(m_file->releases.load(), 0);
}

TEST_F(CacheLruListTest, EvictRemovesAnEntryOnlyTheListHolds) {
    MakeList(10 * kLruBlockSize);
    const CachedBlockPtr held = Get(0);
    Get(1); // only the list holds it now (count 1)
    const CachedBlockPtr alsoHeld = Get(2);
    EXPECT_TRUE(m_list->SetCapacity(2 * kLruBlockSize));
    EXPECT_EQ(m_list->GetEntryCount(), 2u);
    EXPECT_EQ(m_file->releases.load(), 1);
    EXPECT_EQ(m_list->GetUsedSize(), 2 * kLruBlockSize);
}

TEST_F(CacheLruListTest, CapacityZeroRemovesEveryEntryThatIsNotHeld) {
    MakeList(10 * kLruBlockSize);
    const CachedBlockPtr held = Get(1);
    Get(0);
    Get(2);
    Get(3);
    EXPECT_FALSE(m_list->SetCapacity(0));
    EXPECT_EQ(m_list->GetEntryCount(), 1u);
    EXPECT_EQ(m_list->GetUsedSize(), kLruBlockSize);
    EXPECT_EQ(m_list->GetCapacity(), 0u);
    EXPECT_EQ(m_file->releases.load(), 3);
    EXPECT_EQ(held->GetData()[0], 1);
}

TEST_F(CacheLruListTest, FlushKeepsHeldBlocksAndTheCapacity) {
    MakeList(10 * kLruBlockSize);
    const CachedBlockPtr held = Get(5);
    Get(6);
    m_list->Flush();
    EXPECT_EQ(m_list->GetCapacity(), 10 * kLruBlockSize);
    EXPECT_EQ(m_list->GetEntryCount(), 1u);
    EXPECT_EQ(Get(5).Get(), held.Get());
}

TEST_F(CacheLruListTest, ABlockLivesUntilItsLastReferenceGoes) {
    MakeList(kLruBlockSize);
    CachedBlockPtr held = Get(0);
    Get(1); // pushes 0 off the list's books only if it were free
    EXPECT_EQ(m_list->SetCapacity(0), false);
    EXPECT_EQ(m_file->releases.load(), 1); // block 1
    m_list->RemoveFileEntries(*m_file);
    EXPECT_EQ(m_list->GetEntryCount(), 0u);
    EXPECT_EQ(m_list->GetUsedSize(), 0u);
    EXPECT_EQ(m_file->releases.load(), 1);
    EXPECT_EQ(held->GetData()[0], 0);
    held.Release();
    EXPECT_EQ(m_file->releases.load(), 2);
}

TEST_F(CacheLruListTest, ABlockKeepsItsFileAlive) {
    MakeList(10 * kLruBlockSize);
    const int aliveBefore = g_fakeFilesAlive.load();
    CachedBlockPtr block = Get(7);
    m_filePointer.Release();
    m_list->RemoveFileEntries(*m_file);
    // Only the block holds the file now; its release still reaches the file.
    EXPECT_EQ(g_fakeFilesAlive.load(), aliveBefore);
    EXPECT_EQ(block->GetFile().GetName(), u"fake");
    EXPECT_EQ(m_file->releases.load(), 0);
    block.Release(); // hands the data back, then lets the file go
    EXPECT_EQ(g_fakeFilesAlive.load(), aliveBefore - 1);
    m_file = nullptr;
}

TEST_F(CacheLruListTest, ARetriedLoadSucceedsOnceAFlushFreesMemory) {
    MakeList(10 * kLruBlockSize);
    m_file->maxLive = 2;
    Get(0);
    Get(1);
    const CachedBlockPtr block = Get(2);
    ASSERT_TRUE(block);
    EXPECT_EQ(block->GetData()[0], 2);
    EXPECT_EQ(m_file->releases.load(), 2); // the flush evicted both
    EXPECT_EQ(m_file->loads.load(), 4);
}

TEST_F(CacheLruListTest, GivesUpOnALoadThatLacksMemoryAfterOnePause) {
    platform::VirtualClock clock;
    clock.SetSleepAdvancesClock(true);
    platform::ScopedClock installed(clock);
    MakeList(10 * kLruBlockSize);
    m_file->failure = FakeFile::Failure::LacksMemory;
    const DWORD start = GetTickCount();
    EXPECT_FALSE(Get(0));
    const int expectedLoads =
        1 + CacheLruList::kLoadAttemptsPerPause * (CacheLruList::kMaxLoadPauses + 1);
    EXPECT_EQ(m_file->loads.load(), expectedLoads);
    EXPECT_EQ(GetTickCount() - start, CacheLruList::kLoadPauseMs * CacheLruList::kMaxLoadPauses);
    EXPECT_EQ(m_list->GetEntryCount(), 0u);
}

TEST_F(CacheLruListTest, DoesNotRetryALoadThatFailedForAnotherReason) {
    MakeList(10 * kLruBlockSize);
    const CachedBlockPtr held = Get(0);
    Get(1);
    m_file->failure = FakeFile::Failure::Broken;
    EXPECT_FALSE(Get(2));
    EXPECT_EQ(m_file->loads.load(), 3);
    EXPECT_EQ(m_list->GetEntryCount(), 2u); // nothing was flushed for it
}

TEST_F(CacheLruListTest, BlocksOfTwoFilesAreKeptApart) {
    MakeList(10 * kLruBlockSize);
    CachedFilePtr other = MakeCachedFile<FakeFile>(std::weak_ptr<CacheLruList>(m_list));
    const CachedBlockPtr mine = Get(1);
    const CachedBlockPtr theirs = other->GetBlock(1);
    EXPECT_NE(mine.Get(), theirs.Get());
    m_list->RemoveFileEntries(*other);
    EXPECT_EQ(m_list->GetEntryCount(), 1u);
    EXPECT_EQ(Get(1).Get(), mine.Get());
}

TEST_F(CacheLruListTest, ThreadsShareBlocksAndEvictOnlyFreeOnes) {
    MakeList(8 * kLruBlockSize);
    constexpr int kThreads = 6;
    std::atomic<int> wrongBlocks{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            std::vector<CachedBlockPtr> held;
            for (int round = 0; round < 3000; ++round) {
                const auto index = static_cast<DWORD>((round * 7 + t * 13) % 32);
                CachedBlockPtr block = Get(index);
                if (!block || block->GetData()[0] != index) {
                    ++wrongBlocks;
                    continue;
                }
                held.push_back(std::move(block));
                if (held.size() > 3) {
                    held.erase(held.begin());
                }
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(wrongBlocks.load(), 0);
    EXPECT_TRUE(m_list->Evict());
    EXPECT_LE(m_list->GetUsedSize(), 8 * kLruBlockSize);
    EXPECT_EQ(m_file->live.load(), static_cast<int>(m_list->GetEntryCount()));
}

TEST(CacheLruListLifetime, AFileOutlivingItsCacheLoadsNothingMore) {
    auto list = std::make_shared<CacheLruList>(10 * kLruBlockSize);
    CachedFilePtr file = MakeCachedFile<FakeFile>(std::weak_ptr<CacheLruList>(list));
    const CachedBlockPtr held = file->GetBlock(0);
    list.reset();
    EXPECT_EQ(held->GetData()[0], 0);
    EXPECT_FALSE(file->GetBlock(1));
}

} // namespace
