#pragma once
// Test probe for the non-throwing allocations the pointers make: counts them on the calling
// thread and can make the next ones fail.

#include <cstddef>

namespace probe {

// Counts the calling thread's nothrow allocations while alive; after the first `skip` of them,
// the next failCount return null.
class AllocationScope {
public:
    explicit AllocationScope(std::size_t failCount = 0, std::size_t skip = 0);
    ~AllocationScope();
    AllocationScope(const AllocationScope&) = delete;
    AllocationScope& operator=(const AllocationScope&) = delete;

    // False in builds whose runtime owns operator new (ThreadSanitizer): nothing is counted or
    // failed there, and the tests that need the probe skip.
    [[nodiscard]] static bool IsAvailable();

    [[nodiscard]] std::size_t GetAllocations() const;
    [[nodiscard]] std::size_t GetFailures() const;
};

} // namespace probe
