#include "utilities/usefulcode/critsect.h"

CritSect::CritSect() noexcept {
    InitializeCriticalSection(&m_section);
}

CritSect::~CritSect() {
    DeleteCriticalSection(&m_section);
}

void CritSect::Enter() noexcept {
    EnterCriticalSection(&m_section);
    ++m_busyCount;
}

void CritSect::Leave() noexcept {
    if (m_section.owningThread.load() != GetCurrentThreadId()) {
        return; // not ours: the count belongs to the owner
    }
    --m_busyCount;
    LeaveCriticalSection(&m_section);
}

ScopedLock::ScopedLock(CritSect* lock) noexcept
    : m_lock(lock) {
    if (m_lock != nullptr) {
        m_lock->Enter();
        m_isLocked = true;
    }
}

ScopedLock::~ScopedLock() {
    Unlock();
}

void ScopedLock::Unlock() noexcept {
    if (m_isLocked) {
        m_isLocked = false;
        m_lock->Leave();
    }
}

LockHandle::~LockHandle() {
    Unlock();
}

void LockHandle::Lock() {
    if (!m_isLocked && m_lock != nullptr) {
        m_lock->Enter();
        m_isLocked = true;
    }
}

void LockHandle::Unlock() {
    if (m_isLocked) {
        m_isLocked = false;
        m_lock->Leave();
    }
}
