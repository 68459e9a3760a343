#include "utilities/usefulcode/memoryarena.h"

#include "platform/kernel/debug.h"
#include "platform/kernel/messagebox.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

namespace {

constexpr std::uint32_t kRegionSize = 1 << 20;

class MemoryArenaTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_arena.Reserve(kRegionSize)); }

    MemoryArena m_arena;
};

std::uintptr_t AddressOf(const void* pointer) {
    return reinterpret_cast<std::uintptr_t>(pointer);
}

TEST(MemoryArena, HoldsNoMemoryUntilReservedAndStartsWithTheDefaultLimit) {
    MemoryArena arena;
    EXPECT_EQ(arena.GetLimit(), 0x500000u);
    EXPECT_FALSE(arena.HoldsMemory());
    EXPECT_EQ(arena.Alloc(16), nullptr);
}

TEST(MemoryArena, AFailedReservationIsShownAndLeavesNoMemory) {
    platform::ClearRecordedMessageBoxes();
    MemoryArena arena;
    ASSERT_TRUE(arena.Reserve(4096));
    EXPECT_FALSE(arena.Reserve(0));
    EXPECT_FALSE(arena.HoldsMemory());
    EXPECT_EQ(arena.Alloc(4), nullptr);
    const auto boxes = platform::RecordedMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, u"ERROR: No memory reserved");
    EXPECT_EQ(boxes[0].caption, u"Cache");
    EXPECT_EQ(boxes[0].type, 0x40010u);
    EXPECT_EQ(boxes[0].owner, nullptr);
}

TEST(MemoryArena, InstanceIsOneArenaForTheWholeProcess) {
    const CountedPtr<MemoryArena> first = MemoryArena::Instance();
    const CountedPtr<MemoryArena> second = MemoryArena::Instance();
    ASSERT_TRUE(first);
    EXPECT_EQ(first.Get(), second.Get());
    EXPECT_EQ(&MemoryArena::Shared(), first.Get());
    EXPECT_EQ(first->GetLimit(), MemoryArena::kDefaultLimit);
}

TEST_F(MemoryArenaTest, ReusesAFreedBlockOnlyForTheSameSize) {
    void* first = m_arena.Alloc(100);
    ASSERT_NE(first, nullptr);
    m_arena.Free(first);
    EXPECT_EQ(m_arena.Alloc(100), first);
    void* larger = m_arena.Alloc(104);
    ASSERT_NE(larger, nullptr);
    EXPECT_NE(larger, first);
    EXPECT_GE(AddressOf(larger), AddressOf(first) + 100);
}

TEST_F(MemoryArenaTest, GivesTheEarliestFreedBlockOfASizeFirst) {
    void* a = m_arena.Alloc(64);
    void* b = m_arena.Alloc(64);
    void* c = m_arena.Alloc(64);
    m_arena.Free(b);
    m_arena.Free(a);
    m_arena.Free(c);
    EXPECT_EQ(m_arena.Alloc(64), b);
    EXPECT_EQ(m_arena.Alloc(64), a);
    EXPECT_EQ(m_arena.Alloc(64), c);
}

TEST_F(MemoryArenaTest, AlignsNewBlocksToFourBytes) {
    const struct {
        std::uint32_t first;
        std::uint32_t step;
    } cases[] = {{3, 4}, {1, 4}, {4, 4}, {5, 8}, {8193, 8196}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        void* first = m_arena.Alloc(c.first);
        void* second = m_arena.Alloc(8);
        ASSERT_NE(first, nullptr);
        ASSERT_NE(second, nullptr);
        EXPECT_EQ(AddressOf(second), AddressOf(first) + c.step);
        EXPECT_EQ(AddressOf(second) % 4, 0u);
    }
}

TEST_F(MemoryArenaTest, IgnoresFreeOfAddressesItDidNotHandOut) {
    void* first = m_arena.Alloc(32);
    int local = 0;
    m_arena.Free(&local);
    m_arena.Free(nullptr);
    m_arena.Free(static_cast<char*>(first) + 4);
    void* second = m_arena.Alloc(32);
    EXPECT_EQ(AddressOf(second), AddressOf(first) + 32); // new memory, no reuse
    m_arena.Free(first);
    m_arena.Free(first); // the second free of one block is unknown by then
    EXPECT_EQ(m_arena.Alloc(32), first);
    EXPECT_EQ(AddressOf(m_arena.Alloc(32)), AddressOf(second) + 32);
}

TEST_F(MemoryArenaTest, RefusesRequestsBeyondTheLimitAndZeroSizes) {
    EXPECT_EQ(m_arena.Alloc(0), nullptr);
    EXPECT_EQ(m_arena.Alloc(kRegionSize + 1), nullptr);
    EXPECT_EQ(m_arena.Alloc(0x80000000u), nullptr);
    void* whole = m_arena.Alloc(kRegionSize);
    ASSERT_NE(whole, nullptr);
    EXPECT_EQ(m_arena.Alloc(1), nullptr);
    std::memset(whole, 0xAB, kRegionSize); // all of it is committed
}

TEST_F(MemoryArenaTest, ReleaseForgetsEveryBlock) {
    void* block = m_arena.Alloc(16);
    ASSERT_NE(block, nullptr);
    m_arena.Free(block);
    ASSERT_TRUE(m_arena.Release());
    EXPECT_FALSE(m_arena.HoldsMemory());
    EXPECT_EQ(m_arena.Alloc(16), nullptr);
    m_arena.Free(block); // unknown after the release
    ASSERT_TRUE(m_arena.Reserve(4096));
    EXPECT_EQ(m_arena.GetLimit(), 4096u);
    EXPECT_NE(m_arena.Alloc(4096), nullptr);
}

// A block still handed out points into the region: freeing the region would give its memory to
// the next request, so the arena refuses to let go of it until every block is back.
TEST_F(MemoryArenaTest, KeepsItsRegionWhileBlocksAreHandedOut) {
    const struct {
        const char* name;
        bool (*letGo)(MemoryArena&);
    } cases[] = {
        {"Release", [](MemoryArena& arena) { return arena.Release(); }},
        {"Reserve", [](MemoryArena& arena) { return arena.Reserve(kRegionSize); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(m_arena.HoldsMemory() || m_arena.Reserve(kRegionSize));
        void* held = m_arena.Alloc(16);
        void* reused = m_arena.Alloc(32);
        m_arena.Free(reused);
        reused = m_arena.Alloc(32); // a reused block counts as handed out again
        ASSERT_NE(held, nullptr);
        ASSERT_NE(reused, nullptr);
        platform::DebugOutputCapture debug;
        EXPECT_FALSE(c.letGo(m_arena));
        EXPECT_TRUE(debug.Contains(u"2 blocks are still in use"));
        EXPECT_TRUE(m_arena.HoldsMemory());
        void* next = m_arena.Alloc(16);
        EXPECT_NE(next, held);
        m_arena.Free(held);
        m_arena.Free(held); // a second free of one block counts once
        m_arena.Free(next);
        EXPECT_FALSE(c.letGo(m_arena)) << "one block is still handed out";
        m_arena.Free(reused);
        EXPECT_TRUE(c.letGo(m_arena));
    }
}

// Blocks are freed on the threads that drop them while others allocate: every block handed out
// must be exclusively its holder's.
TEST_F(MemoryArenaTest, KeepsBlocksApartWhenThreadsAllocateAndFree) {
    constexpr int kThreads = 4;
    constexpr int kRounds = 2000;
    std::atomic<int> overlaps{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            const auto pattern = static_cast<unsigned char>(0x10 + t);
            std::vector<void*> mine;
            for (int round = 0; round < kRounds; ++round) {
                const std::uint32_t size = 64 + static_cast<std::uint32_t>(round % 3) * 4;
                void* block = m_arena.Alloc(size);
                if (block != nullptr) {
                    std::memset(block, pattern, size);
                    mine.push_back(block);
                }
                if (mine.size() > 8) {
                    auto* bytes = static_cast<unsigned char*>(mine.front());
                    if (bytes[0] != pattern || bytes[63] != pattern) {
                        ++overlaps;
                    }
                    m_arena.Free(mine.front());
                    mine.erase(mine.begin());
                }
            }
            for (void* block : mine) {
                m_arena.Free(block);
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(overlaps.load(), 0);
}

} // namespace
