#include "testdata/heapuse.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <new>

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) ||                         \
    __has_feature(memory_sanitizer)
#define NAV_HEAP_HOOKS 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define NAV_HEAP_HOOKS 1
#endif

#ifdef NAV_HEAP_HOOKS
#include <sanitizer/allocator_interface.h>
#else
#include <malloc.h>
#endif

namespace {

std::atomic<std::size_t> g_inUse{0};
std::atomic<std::size_t> g_peak{0};

void Counted(std::size_t bytes) {
    const std::size_t now = g_inUse.fetch_add(bytes, std::memory_order_relaxed) + bytes;
    std::size_t peak = g_peak.load(std::memory_order_relaxed);
    while (now > peak && !g_peak.compare_exchange_weak(peak, now, std::memory_order_relaxed)) {
    }
}

void Released(std::size_t bytes) {
    g_inUse.fetch_sub(bytes, std::memory_order_relaxed);
}

#ifdef NAV_HEAP_HOOKS

void OnAllocation(const volatile void* block, std::size_t bytes) {
    if (block != nullptr) {
        Counted(bytes);
    }
}

void OnRelease(const volatile void* block) {
    if (block != nullptr) {
        Released(__sanitizer_get_allocated_size(const_cast<const void*>(block)));
    }
}

// Counting starts from what the sanitizer holds already, so that blocks made before the hooks
// leave the count right when they are freed.
int InstallHooks() {
    g_inUse.store(__sanitizer_get_current_allocated_bytes(), std::memory_order_relaxed);
    g_peak.store(g_inUse.load(std::memory_order_relaxed), std::memory_order_relaxed);
    return __sanitizer_install_malloc_and_free_hooks(OnAllocation, OnRelease);
}

[[maybe_unused]] const int kHooksInstalled = InstallHooks();

#else

// A block's bytes as the allocator holds them: what it can use and the size word before it.
std::size_t BlockBytes(void* block) {
    return ::malloc_usable_size(block) + sizeof(std::size_t);
}

void* Allocate(std::size_t bytes, bool throwing) {
    void* block = std::malloc(bytes == 0 ? 1 : bytes);
    if (block == nullptr) {
        if (throwing) {
            throw std::bad_alloc();
        }
        return nullptr;
    }
    Counted(BlockBytes(block));
    return block;
}

void Free(void* block) noexcept {
    if (block != nullptr) {
        Released(BlockBytes(block));
        std::free(block);
    }
}

void* AllocateAligned(std::size_t bytes, std::align_val_t alignment, bool throwing) {
    const auto align = std::max(static_cast<std::size_t>(alignment), sizeof(void*));
    void* block = nullptr;
    if (::posix_memalign(&block, align, bytes == 0 ? 1 : bytes) != 0) {
        if (throwing) {
            throw std::bad_alloc();
        }
        return nullptr;
    }
    Counted(BlockBytes(block));
    return block;
}

#endif

} // namespace

#ifndef NAV_HEAP_HOOKS

// Every form of new and delete, so that no form of the C++ library's is left to pair with these.
void* operator new(std::size_t bytes) {
    return Allocate(bytes, true);
}
void* operator new[](std::size_t bytes) {
    return Allocate(bytes, true);
}
void* operator new(std::size_t bytes, const std::nothrow_t&) noexcept {
    return Allocate(bytes, false);
}
void* operator new[](std::size_t bytes, const std::nothrow_t&) noexcept {
    return Allocate(bytes, false);
}
void* operator new(std::size_t bytes, std::align_val_t alignment) {
    return AllocateAligned(bytes, alignment, true);
}
void* operator new[](std::size_t bytes, std::align_val_t alignment) {
    return AllocateAligned(bytes, alignment, true);
}
void* operator new(std::size_t bytes, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return AllocateAligned(bytes, alignment, false);
}
void* operator new[](std::size_t bytes, std::align_val_t alignment,
                     const std::nothrow_t&) noexcept {
    return AllocateAligned(bytes, alignment, false);
}
void operator delete(void* block) noexcept {
    Free(block);
}
void operator delete[](void* block) noexcept {
    Free(block);
}
void operator delete(void* block, std::size_t) noexcept {
    Free(block);
}
void operator delete[](void* block, std::size_t) noexcept {
    Free(block);
}
void operator delete(void* block, const std::nothrow_t&) noexcept {
    Free(block);
}
void operator delete[](void* block, const std::nothrow_t&) noexcept {
    Free(block);
}
void operator delete(void* block, std::align_val_t) noexcept {
    Free(block);
}
void operator delete[](void* block, std::align_val_t) noexcept {
    Free(block);
}
void operator delete(void* block, std::size_t, std::align_val_t) noexcept {
    Free(block);
}
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept {
    Free(block);
}
void operator delete(void* block, std::align_val_t, const std::nothrow_t&) noexcept {
    Free(block);
}
void operator delete[](void* block, std::align_val_t, const std::nothrow_t&) noexcept {
    Free(block);
}

#endif

namespace testdata {

std::size_t HeapBytesInUse() {
    return g_inUse.load(std::memory_order_relaxed);
}

std::size_t HeapBytesPeak() {
    return g_peak.load(std::memory_order_relaxed);
}

void ResetHeapPeak() {
    g_peak.store(g_inUse.load(std::memory_order_relaxed), std::memory_order_relaxed);
}

} // namespace testdata
