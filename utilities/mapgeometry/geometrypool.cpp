#include "utilities/mapgeometry/geometrypool.h"

#include <mutex>

namespace {

struct PoolState {
    std::mutex mutex;
    std::array<GeometryPool::Slot, GeometryPool::kSlotCount> slots;
    std::size_t lastTaken = GeometryPool::kSlotCount - 1; // the first take is slot 0
};

PoolState& SharedPoolState() {
    static auto* state = new PoolState(); // never destroyed: references may outlive statics
    return *state;
}

} // namespace

GeometryPool::Slot* GeometryPool::Take() {
    PoolState& state = SharedPoolState();
    std::lock_guard lock(state.mutex);
    for (std::size_t step = 1; step <= kSlotCount; ++step) {
        const std::size_t index = (state.lastTaken + step) % kSlotCount;
        Slot& slot = state.slots[index];
        // Only the pool raises a count from 0, under this lock; acquire pairs with the release
        // of the last reference so its reads of the old object are done.
        if (slot.useCount.load(std::memory_order_acquire) == 0) {
            slot.useCount.store(1, std::memory_order_relaxed);
            state.lastTaken = index;
            return &slot;
        }
    }
    return nullptr;
}

std::size_t GeometryPool::GetLiveCount() {
    PoolState& state = SharedPoolState();
    std::lock_guard lock(state.mutex);
    std::size_t live = 0;
    for (const Slot& slot : state.slots) {
        live += slot.useCount.load(std::memory_order_relaxed) != 0 ? 1 : 0;
    }
    return live;
}
