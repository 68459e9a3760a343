#include "routing/searchheap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <vector>

namespace {

SearchLabel* Label(SearchLabelPool& pool, float cost, std::uint32_t node = 0) {
    SearchLabel* label = pool.Allocate();
    label->cost = cost;
    label->nodeId = node;
    return label;
}

// The first slot whose label does not know its slot or costs less than its parent; 0 when every
// label is in place. Plain comparisons, no assertion per slot: the check runs after each of
// thousands of operations on a heap of thousands of labels.
std::uint32_t FirstMisplacedSlot(const SearchNodeHeap& heap) {
    for (std::uint32_t slot = 1; slot <= heap.GetCount(); ++slot) {
        const SearchLabel* label = heap.At(slot);
        if (label->heapIndex != slot || (slot > 1 && heap.At(slot / 2)->cost > label->cost)) {
            return slot;
        }
    }
    return 0;
}

TEST(SearchNodeHeap, AgreesWithAReferenceQueue) {
    struct Case {
        const char* name;
        unsigned seed;
        int operations;
        int distinctCosts; // few give many ties
    };
    const Case cases[] = {
        {"many ties", 1, 3000, 4},
        {"spread costs", 2, 3000, 100000},
        {"past 4000 labels", 3, 8000, 1000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SearchLabelPool pool;
        SearchNodeHeap heap(pool);
        std::multiset<float> reference;
        std::mt19937 random(c.seed);
        std::uniform_int_distribution<int> cost(0, c.distinctCosts - 1);
        std::uniform_int_distribution<int> op(0, 9);
        std::size_t most = 0;
        for (int i = 0; i < c.operations; ++i) {
            const int what = op(random);
            // The third case mostly pushes, so that the heap grows past its first slots.
            const bool isPush = c.seed == 3 ? what < 8 : what < 5;
            if (isPush || heap.IsEmpty()) {
                const auto value = static_cast<float>(cost(random));
                ASSERT_TRUE(heap.Push(Label(pool, value)));
                reference.insert(value);
            } else if (what < 8) {
                const std::uint32_t slot =
                    std::uniform_int_distribution<std::uint32_t>(1, heap.GetCount())(random);
                SearchLabel* label = heap.At(slot);
                reference.erase(reference.find(label->cost));
                label->cost = std::max(0.0f, label->cost - static_cast<float>(cost(random)));
                reference.insert(label->cost);
                heap.DecreaseKey(slot);
            } else {
                PoppedLabel popped = heap.PopMin();
                ASSERT_TRUE(popped);
                EXPECT_EQ(popped->cost, *reference.begin());
                reference.erase(reference.begin());
            }
            ASSERT_EQ(heap.GetCount(), reference.size());
            ASSERT_EQ(FirstMisplacedSlot(heap), 0u);
            most = std::max(most, reference.size());
        }
        EXPECT_EQ(heap.GetPeakCount(), most);
        if (c.seed == 3) {
            EXPECT_EQ(heap.GetCapacity(), 2 * SearchNodeHeap::kInitialLabels);
        }
        EXPECT_EQ(heap.GetGrowths(), c.seed == 3 ? 1u : 0u);
        heap.ResetPeak();
        EXPECT_EQ(heap.GetPeakCount(), heap.GetCount());
        for (float previous = -1.0f; !heap.IsEmpty();) {
            PoppedLabel popped = heap.PopMin();
            EXPECT_LE(previous, popped->cost);
            previous = popped->cost;
        }
        EXPECT_EQ(pool.GetLiveCount(), 0u);
    }
}

TEST(SearchNodeHeap, TieRules) {
    SearchLabelPool pool;
    SearchNodeHeap heap(pool);
    heap.Clear();
    EXPECT_TRUE(heap.IsEmpty());
    EXPECT_FALSE(heap.PopMin());
    SearchLabel* a = Label(pool, 0.0f, 1);
    SearchLabel* b = Label(pool, 5.0f, 2);
    SearchLabel* c = Label(pool, 5.0f, 3);
    SearchLabel* d = Label(pool, 5.0f, 4);
    for (SearchLabel* label : {b, c}) {
        ASSERT_TRUE(heap.Push(label));
    }
    EXPECT_EQ(heap.At(1), b); // an equal cost does not rise past the earlier label
    ASSERT_TRUE(heap.Push(a));
    ASSERT_TRUE(heap.Push(d));
    ASSERT_EQ(heap.At(1), a);
    heap.DecreaseKey(1); // nothing to do at the top
    EXPECT_EQ(heap.At(1), a);
    // Popping a: the last label (d) stops above its children of equal cost.
    EXPECT_EQ(heap.PopMin().Get(), a);
    EXPECT_EQ(heap.At(1), d);
    EXPECT_EQ(heap.At(2), c);
    EXPECT_EQ(heap.At(3), b);
    // Of two children of equal cost the left one moves up.
    SearchLabel* e = Label(pool, 7.0f, 5);
    ASSERT_TRUE(heap.Push(e));
    EXPECT_EQ(heap.PopMin().Get(), d);
    EXPECT_EQ(heap.At(1), c);
    EXPECT_EQ(FirstMisplacedSlot(heap), 0u);
    // A lowered label rises; its popped handle keeps it until released.
    e->cost = 1.0f;
    heap.DecreaseKey(e->heapIndex);
    EXPECT_EQ(heap.At(1), e);
    PoppedLabel held = heap.PopMin();
    EXPECT_EQ(pool.FromHandle(pool.HandleOf(held.Get())), e);
    const std::uint32_t handle = pool.HandleOf(held.Get());
    held.Reset();
    EXPECT_EQ(pool.FromHandle(handle), nullptr);
    heap.Clear();
    EXPECT_EQ(heap.GetCount(), 0u);
    EXPECT_EQ(pool.GetLiveCount(), 0u);
}

TEST(SearchNodeHeap, LoweredCostsOrderLaterPushesAndPops) {
    struct Case {
        const char* name;
        std::vector<float> pushed;
        std::uint32_t lowered; // slot
        float cost;            // its new cost
        float pushedAfter;
        std::vector<float> popped;
    };
    const Case cases[] = {
        {"the top lowered", {5.0f, 9.0f}, 1, 1.0f, 3.0f, {1.0f, 3.0f, 9.0f}},
        {"lowered, staying below its parent",
         {1.0f, 8.0f, 9.0f},
         2,
         4.0f,
         6.0f,
         {1.0f, 4.0f, 6.0f, 9.0f}},
        {"lowered past its parent", {2.0f, 5.0f, 7.0f}, 3, 1.0f, 6.0f, {1.0f, 2.0f, 5.0f, 6.0f}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SearchLabelPool pool;
        SearchNodeHeap heap(pool);
        for (const float cost : c.pushed) {
            ASSERT_TRUE(heap.Push(Label(pool, cost)));
        }
        heap.At(c.lowered)->cost = c.cost;
        heap.DecreaseKey(c.lowered);
        ASSERT_TRUE(heap.Push(Label(pool, c.pushedAfter)));
        std::vector<float> popped;
        while (!heap.IsEmpty()) {
            ASSERT_EQ(FirstMisplacedSlot(heap), 0u);
            popped.push_back(heap.PopMin()->cost);
        }
        EXPECT_EQ(popped, c.popped);
    }
}

} // namespace
