#include "six/countedptr.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <iterator>
#include <latch>
#include <thread>
#include <vector>

namespace {

// True when the cells were handed out from consecutive words of one chunk.
bool AreConsecutive(const std::vector<CountCell*>& cells, std::size_t first, std::size_t count) {
    for (std::size_t i = first + 1; i < first + count; ++i) {
        if (cells[i] != cells[i - 1] + 1) {
            return false;
        }
    }
    return true;
}

TEST(CountPool, GrowsFromItsOwnCellByChunksOfInUsePlusNine) {
    CountPool pool;
    std::vector<CountCell*> cells;
    cells.reserve(64);
    // After n cells are handed out, the chunks so far: the first cell brings a chunk of 9, the
    // tenth (the chunk's last) one of 9 + 9, the 28th one of 27 + 9, the 64th one of 63 + 9.
    const struct {
        std::size_t handedOut;
        std::size_t chunks;
    } steps[] = {{1, 1}, {9, 1}, {10, 2}, {27, 2}, {28, 3}, {63, 3}, {64, 4}};
    for (const auto& step : steps) {
        SCOPED_TRACE(step.handedOut);
        while (cells.size() < step.handedOut) {
            CountCell* cell = pool.Alloc();
            ASSERT_NE(cell, nullptr);
            *cell = 1;
            cells.push_back(cell);
        }
        EXPECT_EQ(pool.GetInUse(), step.handedOut);
        EXPECT_EQ(pool.GetChunkCount(), step.chunks);
    }
    EXPECT_EQ(cells[0], pool.GetFirstCell());
    EXPECT_TRUE(AreConsecutive(cells, 1, 9));   // chunk 1: cells 2..10
    EXPECT_TRUE(AreConsecutive(cells, 10, 18)); // chunk 2: cells 11..28
    EXPECT_TRUE(AreConsecutive(cells, 28, 36)); // chunk 3: cells 29..64
    EXPECT_NE(cells[10], cells[9] + 1);
    EXPECT_NE(cells[28], cells[27] + 1);

    for (CountCell* cell : cells) {
        pool.Free(cell);
    }
    EXPECT_EQ(pool.GetInUse(), 0U);
    EXPECT_EQ(pool.GetChunkCount(), 0U);
}

TEST(CountPool, EmptyingFreesEveryChunkAndStartsAgainWithTheBuiltInCell) {
    CountPool pool;
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        std::vector<CountCell*> cells;
        cells.reserve(12);
        for (int i = 0; i < 12; ++i) {
            cells.push_back(pool.Alloc());
        }
        EXPECT_EQ(cells[0], pool.GetFirstCell());
        EXPECT_TRUE(AreConsecutive(cells, 1, 9));
        EXPECT_EQ(pool.GetChunkCount(), 2U);
        // Freed out of order; only the last one empties the pool.
        const std::size_t order[] = {5, 0, 11, 3, 8, 1, 10, 2, 7, 4, 9, 6};
        for (std::size_t i = 0; i < std::size(order); ++i) {
            pool.Free(cells[order[i]]);
            EXPECT_EQ(pool.GetChunkCount(), i + 1 == std::size(order) ? 0U : 2U);
        }
        EXPECT_EQ(pool.GetInUse(), 0U);
    }
}

TEST(CountPool, FreedCellIsHandedOutNext) {
    CountPool pool;
    CountCell* a = pool.Alloc();
    CountCell* b = pool.Alloc();
    CountCell* c = pool.Alloc();
    pool.Free(b);
    EXPECT_EQ(pool.Alloc(), b);
    pool.Free(c);
    pool.Free(a);
    EXPECT_EQ(pool.Alloc(), a); // last freed first
    EXPECT_EQ(pool.Alloc(), c);
    EXPECT_EQ(pool.GetInUse(), 3U);
    pool.Free(nullptr); // ignored
    EXPECT_EQ(pool.GetInUse(), 3U);
    pool.Free(a);
    pool.Free(b);
    pool.Free(c);
    EXPECT_EQ(pool.GetChunkCount(), 0U);
    pool.Free(a); // a stray free of an empty pool changes nothing
    EXPECT_EQ(pool.GetInUse(), 0U);
    EXPECT_EQ(pool.Alloc(), pool.GetFirstCell());
    pool.Free(const_cast<CountCell*>(pool.GetFirstCell()));
}

struct Singleton {
    explicit Singleton(int& destroyed)
        : destroyedCount(&destroyed) {}
    ~Singleton() { ++*destroyedCount; }
    int* destroyedCount;
};

TEST(CountedPtr, CopiesShareOneCellAndTheLastReleaseDestroysAndReturnsIt) {
    using Ptr = CountedPtr<Singleton>;
    CountPool& pool = Ptr::GetPool();
    ASSERT_EQ(pool.GetInUse(), 0U);
    int destroyed = 0;
    {
        Ptr first(new Singleton(destroyed));
        EXPECT_EQ(pool.GetInUse(), 1U);
        EXPECT_EQ(first.GetCount(), 1U);
        // NOLINTNEXTLINE(performance-unnecessary-copy-initialization): copying is under test
        Ptr second(first);
        Ptr third;
        third = second;
        EXPECT_EQ(first.GetCount(), 3U);
        EXPECT_EQ(pool.GetInUse(), 1U);
        EXPECT_EQ(third.Get(), first.Get());
    }
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(pool.GetInUse(), 0U);
    EXPECT_EQ(pool.GetChunkCount(), 0U);
}

TEST(CountedPtr, AssignmentOfTheSameObjectChangesNothingAndOtherwiseSwapsReferences) {
    using Ptr = CountedPtr<Singleton>;
    int destroyedA = 0;
    int destroyedB = 0;
    Ptr a(new Singleton(destroyedA));
    Ptr a2(a);
    Ptr b(new Singleton(destroyedB));
    EXPECT_EQ(Ptr::GetPool().GetInUse(), 2U);

    a2 = a;
    const Ptr& alias = a;
    a = alias; // self-assignment
    EXPECT_EQ(a.GetCount(), 2U);

    a2 = b;
    EXPECT_EQ(a.GetCount(), 1U);
    EXPECT_EQ(b.GetCount(), 2U);
    a = b; // drops the last reference to A
    EXPECT_EQ(destroyedA, 1);
    EXPECT_EQ(b.GetCount(), 3U);
    EXPECT_EQ(Ptr::GetPool().GetInUse(), 1U);

    a = Ptr();
    EXPECT_FALSE(a);
    EXPECT_EQ(b.GetCount(), 2U);
    a2.Release();
    b.Release();
    EXPECT_EQ(destroyedB, 1);
    EXPECT_EQ(Ptr::GetPool().GetInUse(), 0U);
}

TEST(CountedPtr, ExplicitReleaseEmptiesThePointerSoItsDestructorDoesNotCountAgain) {
    using Ptr = CountedPtr<Singleton>;
    int destroyed = 0;
    Ptr keeper(new Singleton(destroyed));
    {
        Ptr other(keeper);
        other.Release();
        EXPECT_FALSE(other);
        EXPECT_EQ(keeper.GetCount(), 1U);
        other.Release();
        EXPECT_EQ(keeper.GetCount(), 1U);
    } // other's destructor must not take keeper's reference away
    EXPECT_EQ(destroyed, 0);
    EXPECT_EQ(keeper.GetCount(), 1U);
    keeper.Release();
    EXPECT_EQ(destroyed, 1);
}

TEST(CountedPtr, NullObjectTakesNoCell) {
    using Ptr = CountedPtr<Singleton>;
    Ptr empty(static_cast<Singleton*>(nullptr));
    // NOLINTNEXTLINE(performance-unnecessary-copy-initialization): copying is under test
    Ptr copy(empty);
    EXPECT_FALSE(copy);
    EXPECT_EQ(copy.GetCount(), 0U);
    EXPECT_EQ(Ptr::GetPool().GetInUse(), 0U);
}

struct Pooled {
    int value = 0;
};

TEST(CountedPtr, PoolOfAPointerTypeGrowsAndEmptiesWithItsPointers) {
    using Ptr = CountedPtr<Pooled>;
    std::vector<Ptr> pointers;
    pointers.reserve(30);
    for (int i = 0; i < 30; ++i) {
        pointers.emplace_back(new Pooled{i});
    }
    EXPECT_EQ(Ptr::GetPool().GetInUse(), 30U);
    EXPECT_EQ(Ptr::GetPool().GetChunkCount(), 3U);
    EXPECT_EQ(pointers[29]->value, 29);
    pointers.clear();
    EXPECT_EQ(Ptr::GetPool().GetChunkCount(), 0U);
    Ptr again(new Pooled{1});
    EXPECT_EQ(Ptr::GetPool().GetChunkCount(), 1U);
    EXPECT_EQ(Ptr::GetPool().GetInUse(), 1U);
}

struct SharedReceiver {
    explicit SharedReceiver(int& destroyed)
        : destroyedCount(&destroyed) {}
    ~SharedReceiver() { ++*destroyedCount; }
    int* destroyedCount;
};

TEST(CountedPtr, OneSingletonCopiedAndReleasedOnFourThreadsKeepsItsCount) {
    using Ptr = CountedPtr<SharedReceiver>;
    constexpr int kThreads = 4;
    constexpr int kRounds = 20000;
    constexpr std::size_t kCopiesPerRound = 16;
    int destroyed = 0;
    Ptr owner(new SharedReceiver(destroyed));
    std::latch start(kThreads);
    std::vector<std::thread> threads;
    threads.reserve(kThreads);
    for (int t = 0; t < kThreads; ++t) {
        // Each thread gets its own reference, as a worker handed the receiver object does.
        threads.emplace_back([&start, held = owner] {
            start.arrive_and_wait();
            std::vector<Ptr> copies(kCopiesPerRound);
            for (int round = 0; round < kRounds; ++round) {
                for (Ptr& copy : copies) {
                    copy = held;
                }
                for (Ptr& copy : copies) {
                    copy.Release();
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(destroyed, 0);
    EXPECT_EQ(owner.GetCount(), 1U);
    EXPECT_EQ(Ptr::GetPool().GetInUse(), 1U);
    owner.Release();
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(Ptr::GetPool().GetInUse(), 0U);
    EXPECT_EQ(Ptr::GetPool().GetChunkCount(), 0U);
}

} // namespace
