#include "platform/files/memory.h"
#include "platform/kernel/handles.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

namespace {

const SIZE_T kPage = platform::VirtualPageSize();

char* Reserve(SIZE_T size) {
    return static_cast<char*>(VirtualAlloc(nullptr, size, MEM_RESERVE, PAGE_NOACCESS));
}

bool AllZero(const char* at, SIZE_T size) {
    for (SIZE_T i = 0; i < size; ++i) {
        if (at[i] != 0) {
            return false;
        }
    }
    return true;
}

TEST(VirtualMemory, CommitInsideAReservationReadsZeroAndDecommitDropsContents) {
    char* base = Reserve(16 * kPage);
    ASSERT_NE(base, nullptr);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(base) % kPage, 0u);

    char* page =
        static_cast<char*>(VirtualAlloc(base + kPage + 10, 20, MEM_COMMIT, PAGE_READWRITE));
    EXPECT_EQ(page, base + kPage) << "commits whole pages from the page start";
    EXPECT_TRUE(AllZero(page, kPage));
    std::memset(page, 0x5A, kPage);
    EXPECT_EQ(VirtualAlloc(page, kPage, MEM_COMMIT, PAGE_READWRITE), page);
    EXPECT_EQ(page[kPage - 1], 0x5A) << "committing again keeps the contents";

    EXPECT_TRUE(VirtualFree(page, kPage, MEM_DECOMMIT));
    EXPECT_EQ(VirtualAlloc(page, kPage, MEM_COMMIT, PAGE_READWRITE), page);
    EXPECT_TRUE(AllZero(page, kPage)) << "a decommitted page comes back empty";

    EXPECT_TRUE(VirtualFree(base, 0, MEM_DECOMMIT)) << "size 0 at the base: the whole region";
    EXPECT_TRUE(VirtualFree(base, 0, MEM_RELEASE));
}

TEST(VirtualMemory, CommitOutsideAReservationFails) {
    char* base = Reserve(4 * kPage);
    ASSERT_NE(base, nullptr);
    int local = 0;
    const struct {
        void* address;
        SIZE_T size;
    } cases[] = {
        {base + 4 * kPage, kPage},     // just past the end
        {base + 3 * kPage, 2 * kPage}, // runs over the end
        {&local, sizeof local},        // never reserved
    };
    for (const auto& c : cases) {
        EXPECT_EQ(VirtualAlloc(c.address, c.size, MEM_COMMIT, PAGE_READWRITE), nullptr);
        EXPECT_EQ(GetLastError(), ERROR_INVALID_ADDRESS);
    }
    EXPECT_NE(VirtualAlloc(base + 3 * kPage, kPage, MEM_COMMIT, PAGE_READWRITE), nullptr)
        << "the last page itself is inside";
    EXPECT_TRUE(VirtualFree(base, 0, MEM_RELEASE));
    EXPECT_EQ(VirtualAlloc(base, kPage, MEM_COMMIT, PAGE_READWRITE), nullptr)
        << "released space is no reservation any more";
}

TEST(VirtualMemory, ReleaseNeedsTheBaseAndSizeZero) {
    char* base = Reserve(4 * kPage);
    ASSERT_NE(base, nullptr);
    const struct {
        void* address;
        SIZE_T size;
        DWORD type;
    } refused[] = {
        {base, kPage, MEM_RELEASE},
        {base + kPage, 0, MEM_RELEASE},
        {base, 0, MEM_RELEASE | MEM_DECOMMIT},
        {base + kPage, 0, MEM_DECOMMIT},
        {nullptr, 0, MEM_RELEASE},
    };
    for (const auto& r : refused) {
        EXPECT_FALSE(VirtualFree(r.address, r.size, r.type));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    }
    EXPECT_TRUE(VirtualFree(base, 0, MEM_RELEASE));
    EXPECT_FALSE(VirtualFree(base, 0, MEM_RELEASE));
}

TEST(VirtualMemory, AllocRefusesBadArgumentsAndCommitsAtOnceWithoutAddress) {
    EXPECT_EQ(VirtualAlloc(nullptr, 0, MEM_RESERVE, PAGE_NOACCESS), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(VirtualAlloc(nullptr, kPage, MEM_RESERVE, 0x40), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(VirtualAlloc(nullptr, kPage, MEM_DECOMMIT, PAGE_READWRITE), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

    auto* both = static_cast<char*>(
        VirtualAlloc(nullptr, 3 * kPage, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    ASSERT_NE(both, nullptr);
    EXPECT_TRUE(AllZero(both, 3 * kPage));
    both[3 * kPage - 1] = 1;
    EXPECT_TRUE(VirtualFree(both, 0, MEM_RELEASE));
}

using VirtualMemoryDeathTest = testing::Test;

TEST_F(VirtualMemoryDeathTest, UncommittedPagesTrap) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    char* base = Reserve(4 * kPage);
    ASSERT_NE(base, nullptr);
    ASSERT_NE(VirtualAlloc(base, kPage, MEM_COMMIT, PAGE_READWRITE), nullptr);
    base[0] = 1; // committed: fine
    volatile char* reserved = base + kPage;
    EXPECT_DEATH(reserved[0] = 1, "");
    ASSERT_TRUE(VirtualFree(base, kPage, MEM_DECOMMIT));
    volatile char* decommitted = base;
    EXPECT_DEATH((void)decommitted[0], "");
    EXPECT_TRUE(VirtualFree(base, 0, MEM_RELEASE));
}

TEST(MemoryStatus, ReportsThirtyTwoBitValuesAndCountsReservations) {
    MEMORYSTATUS before{};
    GlobalMemoryStatus(&before);
    EXPECT_EQ(before.dwLength, sizeof(MEMORYSTATUS));
    EXPECT_LE(before.dwAvailPhys, 0x7FFFFFFFu);
    EXPECT_LE(before.dwTotalPhys, 0x7FFFFFFFu);
    EXPECT_LE(before.dwAvailPhys, before.dwTotalPhys);
    EXPECT_LE(before.dwMemoryLoad, 100u);

    const SIZE_T size = 256 * kPage;
    void* region = VirtualAlloc(nullptr, size, MEM_RESERVE, PAGE_NOACCESS);
    ASSERT_NE(region, nullptr);
    MEMORYSTATUS during{};
    GlobalMemoryStatus(&during);
    EXPECT_EQ(before.dwAvailVirtual - during.dwAvailVirtual, size);
    EXPECT_TRUE(VirtualFree(region, 0, MEM_RELEASE));

    MEMORYSTATUS fixed{};
    fixed.dwAvailPhys = 8u << 20;
    fixed.dwAvailVirtual = 30u << 20;
    platform::OverrideMemoryStatus(fixed);
    MEMORYSTATUS seen{};
    GlobalMemoryStatus(&seen);
    EXPECT_EQ(seen.dwAvailPhys, 8u << 20);
    EXPECT_EQ(seen.dwAvailVirtual, 30u << 20);
    EXPECT_EQ(seen.dwLength, sizeof(MEMORYSTATUS));
    platform::OverrideMemoryStatus(std::nullopt);
    GlobalMemoryStatus(&seen);
    EXPECT_EQ(seen.dwAvailVirtual, before.dwAvailVirtual);
}

TEST(LocalHeap, FreesOnlyItsOwnBlocks) {
    auto* block = static_cast<unsigned char*>(LocalAlloc(LPTR, 64));
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block[63], 0);
    EXPECT_EQ(LocalFree(block), nullptr);
    int other = 0;
    EXPECT_EQ(LocalFree(&other), &other);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(LocalFree(nullptr), nullptr);
}

} // namespace
