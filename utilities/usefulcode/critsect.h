#pragma once
// The lock embedded in most shared objects: a recursive critical section with a count of its
// owner's nested entries; its scoped guard; and the lock interface a firing signal works under.

#include "platform/kernel/sync.h"

#include <cstdint>

class CritSect {
public:
    CritSect() noexcept;
    ~CritSect();
    CritSect(const CritSect&) = delete;
    CritSect& operator=(const CritSect&) = delete;

    // Blocks until the calling thread owns the section; the owner may enter again.
    void Enter() noexcept;
    // Leaves one entry; ignored when the calling thread does not own the section.
    void Leave() noexcept;

    // The owner's nested entries. Only the owning thread reads a meaningful value.
    [[nodiscard]] std::uint32_t GetBusyCount() const noexcept { return m_busyCount; }

private:
    std::uint32_t m_busyCount = 0;
    CRITICAL_SECTION m_section;
};

// Enters a lock for the lifetime of the guard (a null lock is allowed and does nothing).
class ScopedLock {
public:
    explicit ScopedLock(CritSect* lock) noexcept;
    ~ScopedLock();
    ScopedLock(const ScopedLock&) = delete;
    ScopedLock& operator=(const ScopedLock&) = delete;

    // Leaves early; the destructor then does nothing.
    void Unlock() noexcept;

private:
    CritSect* m_lock;
    bool m_isLocked = false;
};

// The lock that EventSourceBody::Fire takes around its short sections.
class ILock {
public:
    virtual ~ILock() = default;
    virtual void Lock() = 0;
    virtual void Unlock() = 0;

protected:
    ILock() = default;
    ILock(const ILock&) = default;
    ILock& operator=(const ILock&) = default;
};

// An ILock over a CritSect, made unlocked; leaves the section when destroyed while locked.
// Locking it twice or unlocking it twice has no further effect.
class LockHandle final : public ILock {
public:
    explicit LockHandle(CritSect* lock) noexcept
        : m_lock(lock) {}
    ~LockHandle() override;
    LockHandle(const LockHandle&) = delete;
    LockHandle& operator=(const LockHandle&) = delete;

    void Lock() override;
    void Unlock() override;
    [[nodiscard]] bool IsLocked() const noexcept { return m_isLocked; }

private:
    CritSect* m_lock;
    bool m_isLocked = false;
};

// An ILock that does nothing, for sources that need no lock of their own.
class NullLock final : public ILock {
public:
    void Lock() override {}
    void Unlock() override {}
};
