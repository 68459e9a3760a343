#include "six/tests/allocationprobe.h"

#include <new>

// ThreadSanitizer's runtime defines operator new itself; it cannot be replaced there.
#if defined(__SANITIZE_THREAD__)
#define PROBE_REPLACES_NEW 0
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define PROBE_REPLACES_NEW 0
#endif
#endif
#ifndef PROBE_REPLACES_NEW
#define PROBE_REPLACES_NEW 1
#endif

namespace {

thread_local bool t_isActive = false;
thread_local std::size_t t_allocations = 0;
thread_local std::size_t t_skipLeft = 0;
thread_local std::size_t t_failuresLeft = 0;
thread_local std::size_t t_failures = 0;

} // namespace

#if PROBE_REPLACES_NEW

namespace {

void* ProbedAllocate(std::size_t size) noexcept {
    if (t_isActive) {
        ++t_allocations;
        if (t_skipLeft > 0) {
            --t_skipLeft;
        } else if (t_failuresLeft > 0) {
            --t_failuresLeft;
            ++t_failures;
            return nullptr;
        }
    }
    try {
        return ::operator new(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

} // namespace

// The nothrow forms are replaced for the whole test program; they allocate through the plain
// operator new, so the ordinary operator delete frees their memory.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return ProbedAllocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return ::operator new[](size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

#endif

namespace probe {

bool AllocationScope::IsAvailable() {
    return PROBE_REPLACES_NEW != 0;
}

AllocationScope::AllocationScope(std::size_t failCount, std::size_t skip) {
    t_isActive = true;
    t_allocations = 0;
    t_failures = 0;
    t_skipLeft = skip;
    t_failuresLeft = failCount;
}

AllocationScope::~AllocationScope() {
    t_isActive = false;
    t_skipLeft = 0;
    t_failuresLeft = 0;
}

std::size_t AllocationScope::GetAllocations() const {
    return t_allocations;
}
std::size_t AllocationScope::GetFailures() const {
    return t_failures;
}

} // namespace probe
