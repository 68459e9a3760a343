#include "utilities/usefulcode/memoryarena.h"

#include "platform/files/memory.h"
#include "platform/kernel/debug.h"
#include "platform/kernel/format.h"
#include "platform/kernel/messagebox.h"

#include <algorithm>

namespace {

constexpr std::uintptr_t kAlignment = 4;
constexpr UINT kBoxFlags = 0x40010; // error icon, brought to the foreground
constexpr const WCHAR* kBoxCaption = u"Cache";
constexpr const WCHAR* kReserveFailedText = u"ERROR: No memory reserved";
constexpr const WCHAR* kCommitFailedText = u"ERROR: No memory";

std::mutex& InstanceMutex() {
    static std::mutex mutex;
    return mutex;
}

// Made under InstanceMutex. Never destroyed: caches that are themselves static may release
// blocks into the arena while the program exits.
CountedPtr<MemoryArena>& InstanceHolder() {
    static auto* holder = new CountedPtr<MemoryArena>(new MemoryArena());
    return *holder;
}

} // namespace

MemoryArena::MemoryArena() = default;

MemoryArena::~MemoryArena() {
    std::lock_guard lock(m_mutex);
    ReleaseLocked();
}

CountedPtr<MemoryArena> MemoryArena::Instance() {
    std::lock_guard lock(InstanceMutex());
    return InstanceHolder();
}

MemoryArena& MemoryArena::Shared() {
    std::lock_guard lock(InstanceMutex());
    return *InstanceHolder();
}

bool MemoryArena::Reserve(std::uint32_t sizeBytes) {
    std::lock_guard lock(m_mutex);
    if (!MayReleaseLocked(u"Reserve")) {
        return false;
    }
    ReleaseLocked();
    m_limit = sizeBytes;
    void* reserved = VirtualAlloc(nullptr, sizeBytes, MEM_RESERVE, PAGE_NOACCESS);
    if (reserved == nullptr) {
        MessageBoxW(nullptr, kReserveFailedText, kBoxCaption, kBoxFlags);
        return false;
    }
    if (VirtualAlloc(reserved, sizeBytes, MEM_COMMIT, PAGE_READWRITE) == nullptr) {
        MessageBoxW(nullptr, kCommitFailedText, kBoxCaption, kBoxFlags);
        (void)VirtualFree(reserved, 0, MEM_RELEASE);
        return false;
    }
    m_base = static_cast<std::byte*>(reserved);
    m_next = m_base;
    return true;
}

void* MemoryArena::Alloc(std::uint32_t sizeBytes) {
    if (sizeBytes == 0) {
        return nullptr;
    }
    const auto size = static_cast<std::int32_t>(sizeBytes);
    if (size < 0) {
        return nullptr; // the sizes are kept as signed 32-bit; nothing that large fits anyway
    }
    std::lock_guard lock(m_mutex);
    if (const auto reusable = m_freeBlocks.find(size);
        reusable != m_freeBlocks.end() && reusable->second.first != kNoBlock) {
        FreeQueue& queue = reusable->second;
        Block& block = m_blocks[queue.first];
        queue.first = block.nextFree;
        if (queue.first == kNoBlock) {
            queue.last = kNoBlock;
        }
        block.isFree = false;
        ++m_outstanding;
        return block.address;
    }
    if (m_base == nullptr) {
        return nullptr;
    }
    const auto offset = static_cast<std::uintptr_t>(m_next - m_base);
    const std::uintptr_t alignedOffset = (offset + kAlignment - 1) & ~(kAlignment - 1);
    if (alignedOffset > m_limit || m_limit - alignedOffset < sizeBytes) {
        return nullptr;
    }
    std::byte* address = m_base + alignedOffset;
    m_blocks.push_back(Block{address, size, kNoBlock, false});
    m_next = address + sizeBytes;
    ++m_outstanding;
    return address;
}

void MemoryArena::Free(void* address) {
    auto* const bytes = static_cast<std::byte*>(address);
    std::lock_guard lock(m_mutex);
    const auto found = std::lower_bound(
        m_blocks.begin(), m_blocks.end(), bytes,
        [](const Block& block, const std::byte* wanted) { return block.address < wanted; });
    if (found == m_blocks.end() || found->address != bytes || found->isFree) {
        return;
    }
    // Queued after the blocks of the same size, so the earliest freed one is reused first.
    const auto index = static_cast<std::uint32_t>(found - m_blocks.begin());
    found->isFree = true;
    found->nextFree = kNoBlock;
    --m_outstanding;
    FreeQueue& queue = m_freeBlocks[found->sizeBytes];
    if (queue.last == kNoBlock) {
        queue.first = index;
    } else {
        m_blocks[queue.last].nextFree = index;
    }
    queue.last = index;
}

bool MemoryArena::Release() {
    std::lock_guard lock(m_mutex);
    if (!MayReleaseLocked(u"Release")) {
        return false;
    }
    ReleaseLocked();
    return true;
}

bool MemoryArena::MayReleaseLocked(const char16_t* caller) const {
    if (m_outstanding == 0) {
        return true;
    }
    // Blocks still point into the region: freeing it would hand their memory out again.
    const std::u16string line = platform::FormatW(
        u"MemoryArena: %s refused, %u blocks are still in use\n", caller, m_outstanding);
    OutputDebugStringW(line.c_str());
    return false;
}

void MemoryArena::ReleaseLocked() {
    if (m_base != nullptr) {
        (void)VirtualFree(m_base, 0, MEM_RELEASE);
    }
    m_base = nullptr;
    m_next = nullptr;
    m_blocks.clear();
    m_freeBlocks.clear();
    m_outstanding = 0;
}

std::uint32_t MemoryArena::GetLimit() const {
    std::lock_guard lock(m_mutex);
    return m_limit;
}

bool MemoryArena::HoldsMemory() const {
    std::lock_guard lock(m_mutex);
    return m_base != nullptr;
}
