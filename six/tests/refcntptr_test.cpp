#include "six/refcntptr.h"
#include "six/tests/allocationprobe.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <latch>
#include <thread>
#include <vector>

namespace {

// Counts its destructions; `alive` turns false when destroyed so that late users notice.
struct Tracked {
    explicit Tracked(int& destroyed)
        : destroyedCount(&destroyed) {}
    ~Tracked() {
        alive.store(false);
        ++*destroyedCount;
    }
    int* destroyedCount;
    std::atomic<bool> alive{true};
};

static_assert(sizeof(six::RefCntPtr<Tracked>) == sizeof(void*));
using TrackedRep = six::RefCntRep<Tracked, six::MTModel>;
static_assert(offsetof(TrackedRep, count) == 0);
static_assert(sizeof(TrackedRep::count) == 4);

template <class Model> class RefCntPtrModel : public ::testing::Test {};
using Models = ::testing::Types<six::MTModel, six::STModel>;
TYPED_TEST_SUITE(RefCntPtrModel, Models);

TYPED_TEST(RefCntPtrModel, CopiesCountAndLastReleaseDestroysOnce) {
    using Ptr = six::RefCntPtr<Tracked, TypeParam>;
    int destroyed = 0;
    Ptr first(new Tracked(destroyed));
    ASSERT_TRUE(first);
    EXPECT_EQ(first.GetRep()->count, 1);
    {
        // NOLINTNEXTLINE(performance-unnecessary-copy-initialization): copying is under test
        Ptr second(first);
        // NOLINTNEXTLINE(performance-unnecessary-copy-initialization): copying is under test
        Ptr third(second);
        EXPECT_EQ(first.GetRep()->count, 3);
        EXPECT_EQ(second.Get(), first.Get());
        EXPECT_EQ(third.Get(), first.Get());
    }
    EXPECT_EQ(first.GetRep()->count, 1);
    EXPECT_EQ(destroyed, 0);
    Ptr moved(std::move(first));
    EXPECT_FALSE(first); // NOLINT(bugprone-use-after-move): a moved-from pointer is null
    EXPECT_EQ(moved.GetRep()->count, 1);
    moved.Release();
    EXPECT_EQ(destroyed, 1);
    moved.Release(); // releasing a null pointer does nothing
    EXPECT_EQ(destroyed, 1);
}

TYPED_TEST(RefCntPtrModel, AssignmentCountsSourceAndReleasesFormer) {
    using Ptr = six::RefCntPtr<Tracked, TypeParam>;
    int destroyedA = 0;
    int destroyedB = 0;
    Ptr a(new Tracked(destroyedA));
    Ptr b(new Tracked(destroyedB));
    Ptr c(a);

    const Ptr& alias = c;
    c = alias; // self-assignment leaves the count as it was
    EXPECT_EQ(a.GetRep()->count, 2);
    c = a; // another pointer on the same rep: same count
    EXPECT_EQ(a.GetRep()->count, 2);

    c = b;
    EXPECT_EQ(a.GetRep()->count, 1);
    EXPECT_EQ(b.GetRep()->count, 2);
    a = b; // a held the last reference to its object
    EXPECT_EQ(destroyedA, 1);
    EXPECT_EQ(b.GetRep()->count, 3);

    a = nullptr;
    c = Ptr();
    EXPECT_FALSE(a);
    EXPECT_EQ(b.GetRep()->count, 1);
    Ptr& sameB = b;
    b = std::move(sameB); // self-move keeps the reference
    EXPECT_EQ(b.GetRep()->count, 1);
    EXPECT_EQ(destroyedB, 0);
}

TEST(RefCntPtr, NullRawObjectGivesNullPointerWithoutAllocating) {
    if (!probe::AllocationScope::IsAvailable()) {
        GTEST_SKIP() << "allocation probe not available in this build";
    }
    probe::AllocationScope scope;
    six::RefCntPtr<Tracked, six::STModel> st(static_cast<Tracked*>(nullptr));
    six::RefCntPtr<Tracked, six::MTModel> mt(static_cast<Tracked*>(nullptr));
    EXPECT_FALSE(st);
    EXPECT_FALSE(mt);
    EXPECT_EQ(st.Get(), nullptr);
    EXPECT_EQ(scope.GetAllocations(), 0U);
}

TEST(RefCntPtr, FailedRepAllocationGivesNullAndDestroysTheObject) {
    if (!probe::AllocationScope::IsAvailable()) {
        GTEST_SKIP() << "allocation probe not available in this build";
    }
    int destroyed = 0;
    auto* object = new Tracked(destroyed);
    probe::AllocationScope scope(1);
    six::RefCntPtr<Tracked, six::STModel> ptr(object);
    EXPECT_EQ(scope.GetFailures(), 1U);
    EXPECT_FALSE(ptr);
    EXPECT_EQ(destroyed, 1);
}

TEST(TFactory, AllocRepStartsAtOneAndReportsFailureWithNull) {
    if (!probe::AllocationScope::IsAvailable()) {
        GTEST_SKIP() << "allocation probe not available in this build";
    }
    int destroyed = 0;
    Tracked object(destroyed);
    {
        probe::AllocationScope scope(1);
        auto* failed = TFactory<Tracked, six::MTModel>::AllocRep(&object);
        EXPECT_EQ(failed, nullptr);
        delete failed; // only if the check failed: the rep, never the object
    }
    auto* rep = TFactory<Tracked, six::MTModel>::AllocRep(nullptr);
    const bool isMade = rep != nullptr;
    const LONG count = isMade ? rep->count : 0;
    const bool hasObject = isMade && rep->object != nullptr;
    // A rep without an object: only the rep is freed (the leak checker sees the rest).
    TFactory<Tracked, six::MTModel>::DeallocRep(rep);
    EXPECT_TRUE(isMade);
    EXPECT_EQ(count, 1);
    EXPECT_FALSE(hasObject);
    TFactory<Tracked, six::MTModel>::DeallocRep(nullptr);
    EXPECT_EQ(destroyed, 0);
}

TEST(RefCntPtr, RepWithNullObjectIsSetButHasNoObject) {
    int destroyed = 0;
    six::RefCntPtr<Tracked> ptr(TFactory<Tracked, six::MTModel>::AllocRep(nullptr));
    EXPECT_TRUE(ptr);
    EXPECT_EQ(ptr.Get(), nullptr);
    six::RefCntPtr<Tracked> copy(ptr);
    EXPECT_EQ(ptr.GetRep()->count, 2);
    copy.Release();
    ptr.Release();
    EXPECT_EQ(destroyed, 0);
}

struct Base {
    virtual ~Base() = default;
    virtual int Kind() const { return 0; }
};
struct Derived : Base {
    explicit Derived(int& destroyed)
        : destroyedCount(&destroyed) {}
    ~Derived() override { ++*destroyedCount; }
    int Kind() const override { return 1; }
    int* destroyedCount;
};

TEST(RefCntPtr, PolymorphicObjectDiesThroughItsVirtualDestructor) {
    int destroyed = 0;
    six::RefCntPtr<Base> ptr(new Derived(destroyed));
    EXPECT_EQ(ptr->Kind(), 1);
    ptr.Release();
    EXPECT_EQ(destroyed, 1);
}

struct CountingFactory {
    static inline int allocs = 0;
    static inline int deallocs = 0;
    static six::RefCntRep<int, six::MTModel>* AllocRep(int* object) {
        ++allocs;
        return TFactory<int, six::MTModel>::AllocRep(object);
    }
    static void DeallocRep(six::RefCntRep<int, six::MTModel>* rep) {
        ++deallocs;
        TFactory<int, six::MTModel>::DeallocRep(rep);
    }
};

TEST(RefCntPtr, ReleasesThroughItsOwnFactory) {
    CountingFactory::allocs = 0;
    CountingFactory::deallocs = 0;
    {
        six::RefCntPtr<int, six::MTModel, CountingFactory> ptr(
            CountingFactory::AllocRep(new int(7)));
        six::RefCntPtr<int, six::MTModel, CountingFactory> copy(ptr);
        EXPECT_EQ(*copy, 7);
        ptr.Release();
        EXPECT_EQ(CountingFactory::deallocs, 0);
    }
    EXPECT_EQ(CountingFactory::allocs, 1);
    EXPECT_EQ(CountingFactory::deallocs, 1);
}

// Copies of one pointer are made and released on several threads at once. The object must die
// exactly once, and only after every thread has stopped using it (a sanitizer build also sees
// any access to a freed object).
TEST(RefCntPtrThreads, MTModelObjectDiesOnceAndNeverEarly) {
    constexpr int kThreads = 8;
    constexpr int kRounds = 20000;
    for (int repeat = 0; repeat < 5; ++repeat) {
        int destroyed = 0;
        std::atomic<int> lateUses{0};
        std::vector<std::thread> threads;
        std::latch start(kThreads + 1);
        {
            six::RefCntPtr<Tracked> master(new Tracked(destroyed));
            for (int t = 0; t < kThreads; ++t) {
                threads.emplace_back([own = master, &start, &lateUses]() mutable {
                    start.arrive_and_wait();
                    std::vector<six::RefCntPtr<Tracked>> copies;
                    for (int round = 0; round < kRounds; ++round) {
                        copies.push_back(own);
                        six::RefCntPtr<Tracked> extra(copies.back());
                        if (!extra->alive.load()) {
                            lateUses.fetch_add(1);
                        }
                        if (copies.size() > 16) {
                            copies.clear();
                        }
                    }
                    copies.clear();
                    own.Release();
                });
            }
        } // the master goes away while the threads still hold their copies
        start.arrive_and_wait();
        for (auto& thread : threads) {
            thread.join();
        }
        EXPECT_EQ(destroyed, 1);
        EXPECT_EQ(lateUses.load(), 0);
    }
}

} // namespace
