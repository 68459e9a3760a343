#pragma once
// The engine lock: two groups per engine object, queries in one and Open/Close in the other. Any
// number of holders of one group run together; the two groups exclude each other. A group that a
// thread holds can be entered again (there is no preference for either group), so nested calls
// never deadlock. Process-wide state: one lock and an alive flag, set at start-up and cleared at
// exit; while it is clear both operations do nothing. Safe from any thread.

#include <cstdint>

// One side of an engine lock: how many holders it has now. Guarded by the process-wide lock.
struct LockGroup {
    std::uint32_t count = 0;
};

class ReaderLock {
public:
    // Waits without time-out until `other` has no holder, then counts the caller into `own`;
    // the check and the count happen together, so the groups never overlap. False (nothing
    // counted) while the alive flag is clear.
    static bool Enter(LockGroup& own, LockGroup& other);
    // Counts one holder out of `own` and wakes the waiters of the other group when it empties.
    static void Leave(LockGroup& own);

    // The process-wide alive flag (set by the static initialiser, cleared by the exit handler).
    // Clearing it wakes every waiter, which then returns without counting itself in.
    static void SetAlive(bool isAlive);
    [[nodiscard]] static bool IsAlive();
};

// Holds a group for the lifetime of the guard.
class ReaderLockGuard {
public:
    ReaderLockGuard(LockGroup& own, LockGroup& other)
        : m_own(own)
        , m_didEnter(ReaderLock::Enter(own, other)) {}
    ~ReaderLockGuard() {
        if (m_didEnter) {
            ReaderLock::Leave(m_own);
        }
    }
    ReaderLockGuard(const ReaderLockGuard&) = delete;
    ReaderLockGuard& operator=(const ReaderLockGuard&) = delete;

private:
    LockGroup& m_own;
    bool m_didEnter;
};
