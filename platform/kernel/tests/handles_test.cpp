#include "platform/kernel/handles.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

struct Probe : platform::KernelObject {
    explicit Probe(int* deaths)
        : deaths(deaths) {}
    ~Probe() override { ++*deaths; }
    int* deaths;
};

TEST(HandleTable, ClosingReleasesTheObjectOnceAndInvalidatesTheHandle) {
    int deaths = 0;
    HANDLE handle = platform::RegisterHandle(std::make_shared<Probe>(&deaths));
    ASSERT_NE(handle, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    auto held = platform::LookupHandleAs<Probe>(handle);
    ASSERT_NE(held, nullptr);

    EXPECT_TRUE(CloseHandle(handle));
    EXPECT_EQ(deaths, 0) << "a looked-up object lives on until its user lets go";
    held.reset();
    EXPECT_EQ(deaths, 1);

    EXPECT_EQ(platform::LookupHandle(handle), nullptr);
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(CloseHandle(handle));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST(HandleTable, NullAndInvalidHandlesNameNothing) {
    EXPECT_EQ(platform::LookupHandle(nullptr), nullptr);
    EXPECT_EQ(platform::LookupHandle(INVALID_HANDLE_VALUE), nullptr);
    EXPECT_FALSE(CloseHandle(INVALID_HANDLE_VALUE));
    EXPECT_EQ(platform::RegisterHandle(nullptr), nullptr);
}

TEST(HandleTable, HandlesAreDistinctSmallIntegers) {
    int deaths = 0;
    HANDLE a = platform::RegisterHandle(std::make_shared<Probe>(&deaths));
    HANDLE b = platform::RegisterHandle(std::make_shared<Probe>(&deaths));
    EXPECT_NE(a, b);
    EXPECT_LT(reinterpret_cast<std::uintptr_t>(a), 0x40000000u);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(a) % 4, 0u);
    EXPECT_TRUE(CloseHandle(a));
    EXPECT_TRUE(CloseHandle(b));
    EXPECT_EQ(deaths, 2);
}

TEST(HandleTable, AHandleClosedOnAnotherThreadNoLongerResolvesHere) {
    int deaths = 0;
    auto object = std::make_shared<Probe>(&deaths);
    HANDLE handle = platform::RegisterHandle(object);
    ASSERT_EQ(platform::LookupHandle(handle), object); // this thread now remembers the lookup
    ASSERT_EQ(platform::LookupHandle(handle), object);

    std::thread closer([handle] { EXPECT_TRUE(CloseHandle(handle)); });
    closer.join();

    EXPECT_EQ(platform::LookupHandle(handle), nullptr) << "the object is still alive, held here";
    EXPECT_EQ(deaths, 0);
    object.reset();
    EXPECT_EQ(deaths, 1);
}

// Readers keep looking a handle up while other threads open and close handles of their own; once
// the handle's closing is seen, no reader finds it again, although its object lives on here.
TEST(HandleTable, ReadersStopFindingAHandleOnceItsClosingIsSeen) {
    constexpr int kReaders = 3;
    constexpr int kRounds = 200;
    struct CountedProbe : platform::KernelObject {
        explicit CountedProbe(std::atomic<int>* lives)
            : lives(lives) {
            ++*lives;
        }
        ~CountedProbe() override { --*lives; }
        std::atomic<int>* lives;
    };
    std::atomic<int> lives{0};
    for (int round = 0; round < kRounds; ++round) {
        auto object = std::make_shared<CountedProbe>(&lives);
        HANDLE shared = platform::RegisterHandle(object);
        ASSERT_NE(shared, nullptr);
        std::atomic<bool> isClosed{false};
        std::atomic<int> foundAfterClosing{0};
        std::vector<std::thread> threads;
        for (int r = 0; r < kReaders; ++r) {
            threads.emplace_back([&] {
                for (bool wasClosed = false; !wasClosed;) {
                    wasClosed = isClosed.load(std::memory_order_acquire);
                    if (platform::LookupHandle(shared) != nullptr && wasClosed) {
                        ++foundAfterClosing;
                    }
                }
            });
        }
        threads.emplace_back([&] {
            while (!isClosed.load(std::memory_order_acquire)) {
                HANDLE own = platform::RegisterHandle(std::make_shared<CountedProbe>(&lives));
                EXPECT_NE(platform::LookupHandle(own), nullptr);
                EXPECT_TRUE(CloseHandle(own));
                EXPECT_EQ(platform::LookupHandle(own), nullptr);
            }
        });
        EXPECT_TRUE(CloseHandle(shared));
        isClosed.store(true, std::memory_order_release);
        for (auto& thread : threads) {
            thread.join();
        }
        ASSERT_EQ(foundAfterClosing.load(), 0) << "round " << round;
        EXPECT_EQ(lives.load(), 1) << "only the object held here is alive";
    }
}

} // namespace
