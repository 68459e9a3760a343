#include "utilities/mapgeometry/readerlock.h"

#include <condition_variable>
#include <mutex>

namespace {

struct ReaderLockState {
    std::mutex mutex;
    std::condition_variable groupEmptied;
    bool isAlive = true;
};

// Lives until the process ends, so that engines destroyed by other static destructors still find
// it; the exit handler below only clears the flag.
ReaderLockState& SharedReaderLockState() {
    static auto* state = new ReaderLockState();
    return *state;
}

struct ExitHandler {
    ExitHandler() { SharedReaderLockState(); }
    ~ExitHandler() { ReaderLock::SetAlive(false); }
} g_exitHandler;

} // namespace

bool ReaderLock::Enter(LockGroup& own, LockGroup& other) {
    ReaderLockState& state = SharedReaderLockState();
    std::unique_lock lock(state.mutex);
    state.groupEmptied.wait(lock, [&] { return !state.isAlive || other.count == 0; });
    if (!state.isAlive) {
        return false;
    }
    ++own.count;
    return true;
}

void ReaderLock::Leave(LockGroup& own) {
    ReaderLockState& state = SharedReaderLockState();
    std::lock_guard lock(state.mutex);
    if (!state.isAlive || own.count == 0) {
        return;
    }
    if (--own.count == 0) {
        state.groupEmptied.notify_all();
    }
}

void ReaderLock::SetAlive(bool isAlive) {
    ReaderLockState& state = SharedReaderLockState();
    std::lock_guard lock(state.mutex);
    state.isAlive = isAlive;
    state.groupEmptied.notify_all();
}

bool ReaderLock::IsAlive() {
    ReaderLockState& state = SharedReaderLockState();
    std::lock_guard lock(state.mutex);
    return state.isAlive;
}
