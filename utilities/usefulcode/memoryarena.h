#pragma once
// The process-wide memory arena of the block buffers: one region reserved and committed at
// start-up, handed out by bumping a pointer; a freed block is kept for the next request of
// exactly the same size, and no memory goes back to the system while the program runs.
// Alloc, Free, Reserve and Release are safe from any thread (blocks are freed wherever their
// last reference goes). The region is given back only while no block is handed out.

#include "six/countedptr.h"

#include <cstdint>
#include <map>
#include <mutex>
#include <vector>

class MemoryArena {
public:
    // Size limit of an arena that has not been reserved yet (it holds no memory until then).
    static constexpr std::uint32_t kDefaultLimit = 0x500000;

    MemoryArena();
    ~MemoryArena();
    MemoryArena(const MemoryArena&) = delete;
    MemoryArena& operator=(const MemoryArena&) = delete;

    // The process-wide arena, created on the first call with the default limit and no memory;
    // it lasts until the process ends.
    [[nodiscard]] static CountedPtr<MemoryArena> Instance();

    // The same arena without a counted reference, for any thread (counted pointers of the arena
    // belong to the thread that made them).
    [[nodiscard]] static MemoryArena& Shared();

    // Reserves and commits sizeBytes at once and makes it the size limit; memory held before is
    // released first. False with a debug line, the arena unchanged, while blocks are handed out
    // and not freed. On other failures the box "ERROR: No memory reserved" or "ERROR: No memory"
    // (caption "Cache") is shown, the arena holds no memory and false comes back.
    [[nodiscard]] bool Reserve(std::uint32_t sizeBytes);

    // A block of sizeBytes (4-byte aligned when new), or null when the arena holds no memory,
    // the request does not fit, or sizeBytes is 0. The earliest freed block of exactly this size
    // is reused first.
    [[nodiscard]] void* Alloc(std::uint32_t sizeBytes);

    // Keeps a block handed out by Alloc for reuse; other addresses (null included) are ignored.
    void Free(void* address);

    // Gives the region back to the system and forgets every block. False with a debug line,
    // the arena unchanged, while blocks are handed out and not freed.
    [[nodiscard]] bool Release();

    [[nodiscard]] std::uint32_t GetLimit() const;
    [[nodiscard]] bool HoldsMemory() const;

private:
    static constexpr std::uint32_t kNoBlock = 0xFFFFFFFF;

    // A block carved from the region. Blocks are never merged or split, so the list of them
    // stays in address order and a freed one is found by binary search.
    struct Block {
        std::byte* address;
        std::int32_t sizeBytes;
        std::uint32_t nextFree; // the block freed after this one of the same size, or kNoBlock
        bool isFree;
    };
    // The freed blocks of one size, earliest freed first, linked through Block::nextFree.
    struct FreeQueue {
        std::uint32_t first = kNoBlock;
        std::uint32_t last = kNoBlock;
    };

    // False with a debug line naming the caller when blocks are outstanding.
    [[nodiscard]] bool MayReleaseLocked(const char16_t* caller) const;
    void ReleaseLocked();

    mutable std::mutex m_mutex;
    std::byte* m_base = nullptr;
    std::byte* m_next = nullptr;
    std::vector<Block> m_blocks;                    // every block carved, by address
    std::map<std::int32_t, FreeQueue> m_freeBlocks; // by size
    std::uint32_t m_limit = kDefaultLimit;
    std::uint32_t m_outstanding = 0; // blocks handed out and not freed
};
