#include "platform/handles.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

struct Probe : platform::KernelObject {
    explicit Probe(int* deaths) : deaths(deaths) {}
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

} // namespace
