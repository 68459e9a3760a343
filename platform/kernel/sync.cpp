#include "platform/kernel/sync.h"

#include "platform/kernel/detail/waitcore.h"
#include "platform/kernel/handles.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <system_error>
#include <thread>
#include <vector>

namespace {

using platform::detail::KernelCondition;
using platform::detail::KernelMutex;

using platform::detail::Waitable;
using platform::detail::WaitBlock;

class Event final : public Waitable {
public:
    Event(bool isManualReset, bool isSignalled)
        : m_isManualReset(isManualReset)
        , m_isSignalled(isSignalled) {}

    bool IsSignalledLocked() const override { return m_isSignalled; }
    void AcquireLocked() override {
        if (!m_isManualReset) {
            m_isSignalled = false;
        }
    }
    void SetLocked(bool isSignalled) {
        if (isSignalled && !m_isSignalled)
            CountReleasesLocked();
        m_isSignalled = isSignalled;
    }

    // Releases the waits in progress without leaving the event set: all of them for a manual
    // reset event, the oldest one not yet released for an auto-reset event.
    void PulseLocked() {
        CountReleasesLocked();
        for (const Registration& waiter : waiters) {
            const std::uint64_t bit = std::uint64_t{1} << waiter.index;
            if (m_isManualReset) {
                waiter.block->pulsedMask |= bit;
            } else if (waiter.block->pulsedMask == 0) {
                waiter.block->pulsedMask |= bit;
                break;
            }
        }
        m_isSignalled = false;
    }

private:
    // The waits in progress that the signal may release, as a stepped clock counts them: every
    // wait for any of its objects (of an auto-reset event's, the one that takes the signal keeps
    // its count, and the others drop theirs as they wait on). A wait for all of its objects may
    // wait on.
    void CountReleasesLocked() {
        for (const Registration& waiter : waiters) {
            if (!waiter.block->isWaitAll)
                platform::detail::CountReleaseLocked(*waiter.block);
        }
    }

public:
private:
    const bool m_isManualReset;
    bool m_isSignalled;
};

class Thread final : public Waitable {
public:
    explicit Thread(DWORD id)
        : id(id) {}

    bool IsSignalledLocked() const override { return hasEnded; }

    const DWORD id;
    bool hasEnded = false;
    DWORD exitCode = STILL_ACTIVE;
};

std::atomic<DWORD> g_nextThreadId{1};

DWORD NewThreadId() {
    DWORD id = g_nextThreadId.fetch_add(1);
    while (id == 0) { // after a wrap: 0 means "no thread"
        id = g_nextThreadId.fetch_add(1);
    }
    return id;
}

thread_local DWORD t_threadId = 0;

std::shared_ptr<Event> LookupEvent(HANDLE handle) {
    auto event = platform::LookupHandleAs<Event>(handle);
    if (!event) {
        SetLastError(ERROR_INVALID_HANDLE);
    }
    return event;
}

// Registers a wait with its objects for PulseEvent for the lifetime of this guard.
class WaitRegistration {
public:
    WaitRegistration(const std::vector<std::shared_ptr<Waitable>>& objects, WaitBlock* block)
        : m_objects(objects)
        , m_block(block) {
        for (unsigned i = 0; i < objects.size(); ++i) {
            objects[i]->waiters.push_back({block, i});
        }
    }
    ~WaitRegistration() {
        for (const auto& object : m_objects) {
            auto& list = object->waiters;
            list.erase(std::remove_if(list.begin(), list.end(),
                                      [this](const auto& r) { return r.block == m_block; }),
                       list.end());
        }
    }
    WaitRegistration(const WaitRegistration&) = delete;
    WaitRegistration& operator=(const WaitRegistration&) = delete;

private:
    const std::vector<std::shared_ptr<Waitable>>& m_objects;
    WaitBlock* m_block;
};

// Wait-any: the lowest index that is signalled or pulsed takes the signal.
bool TryAcquireAny(const std::vector<std::shared_ptr<Waitable>>& objects, WaitBlock& block,
                   DWORD& result) {
    for (unsigned i = 0; i < objects.size(); ++i) {
        const bool isPulsed = (block.pulsedMask >> i) & 1u;
        if (isPulsed || objects[i]->IsSignalledLocked()) {
            if (!isPulsed) {
                objects[i]->AcquireLocked();
            }
            result = WAIT_OBJECT_0 + i;
            return true;
        }
    }
    return false;
}

// Wait-all: every object signalled (or pulsed) at this moment; a pulse that does not complete
// the set is lost, as the event was reset at once.
bool TryAcquireAll(const std::vector<std::shared_ptr<Waitable>>& objects, WaitBlock& block) {
    for (unsigned i = 0; i < objects.size(); ++i) {
        const bool isPulsed = (block.pulsedMask >> i) & 1u;
        if (!isPulsed && !objects[i]->IsSignalledLocked()) {
            block.pulsedMask = 0;
            return false;
        }
    }
    for (unsigned i = 0; i < objects.size(); ++i) {
        if (!((block.pulsedMask >> i) & 1u)) {
            objects[i]->AcquireLocked();
        }
    }
    return true;
}

DWORD WaitForObjects(const std::vector<std::shared_ptr<Waitable>>& objects, bool waitAll,
                     platform::detail::WaitDeadline deadline) {
    std::unique_lock lock(KernelMutex());
    WaitBlock block;
    block.isWaitAll = waitAll;
    block.isProgramThread = platform::detail::IsProgramThread();
    WaitRegistration registration(objects, &block);
    DWORD result = WAIT_TIMEOUT;
    const bool isReleased = platform::detail::WaitLocked(lock, deadline, [&] {
        const bool isAcquired =
            waitAll ? TryAcquireAll(objects, block) : TryAcquireAny(objects, block, result);
        if (waitAll)
            result = WAIT_OBJECT_0;
        if (!isAcquired)
            platform::detail::DropMissedReleaseLocked(block);
        return isAcquired;
    });
    platform::detail::TakeReleaseCount(block);
    return isReleased ? result : WAIT_TIMEOUT;
}

DWORD WaitForHandles(DWORD count, const HANDLE* handles, BOOL waitAll,
                     platform::detail::WaitDeadline deadline) {
    if (count == 0 || count > MAXIMUM_WAIT_OBJECTS || handles == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    std::vector<std::shared_ptr<Waitable>> objects;
    objects.reserve(count);
    for (DWORD i = 0; i < count; ++i) {
        auto object = platform::LookupHandleAs<Waitable>(handles[i]);
        if (!object) {
            SetLastError(ERROR_INVALID_HANDLE);
            return WAIT_FAILED;
        }
        if (waitAll && std::find(objects.begin(), objects.end(), object) != objects.end()) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return WAIT_FAILED;
        }
        objects.push_back(std::move(object));
    }
    return WaitForObjects(objects, waitAll != FALSE, deadline);
}

} // namespace

// ---- Critical sections ----

void InitializeCriticalSection(CRITICAL_SECTION* section) {
    if (section != nullptr && section->owningThread.load() == 0) {
        section->recursionCount = 0;
    }
}

void DeleteCriticalSection(CRITICAL_SECTION* /*section*/) {
    // The host mutex goes with the struct; nothing to release here.
}

void EnterCriticalSection(CRITICAL_SECTION* section) {
    section->mutex.lock();
    if (section->recursionCount++ == 0) {
        section->owningThread.store(GetCurrentThreadId());
    }
}

BOOL TryEnterCriticalSection(CRITICAL_SECTION* section) {
    if (!section->mutex.try_lock()) {
        return FALSE;
    }
    if (section->recursionCount++ == 0) {
        section->owningThread.store(GetCurrentThreadId());
    }
    return TRUE;
}

void LeaveCriticalSection(CRITICAL_SECTION* section) {
    if (section->owningThread.load() != GetCurrentThreadId()) {
        return; // not the owner: leaving would break the owner's lock
    }
    if (--section->recursionCount == 0) {
        section->owningThread.store(0);
    }
    section->mutex.unlock();
}

// ---- Events ----

HANDLE CreateEventW(void* /*security*/, BOOL manualReset, BOOL initialState, LPCWSTR /*name*/) {
    HANDLE handle = platform::RegisterHandle(
        std::make_shared<Event>(manualReset != FALSE, initialState != FALSE));
    if (handle == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    }
    return handle;
}

BOOL SetEvent(HANDLE event) {
    return EventModify(event, EVENT_SET);
}

BOOL ResetEvent(HANDLE event) {
    return EventModify(event, EVENT_RESET);
}

BOOL PulseEvent(HANDLE event) {
    return EventModify(event, EVENT_PULSE);
}

BOOL EventModify(HANDLE handle, DWORD function) {
    if (function != EVENT_SET && function != EVENT_RESET && function != EVENT_PULSE) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const auto event = LookupEvent(handle);
    if (!event) {
        return FALSE;
    }
    std::lock_guard lock(KernelMutex());
    if (function == EVENT_SET) {
        event->SetLocked(true);
    } else if (function == EVENT_RESET) {
        event->SetLocked(false);
        return TRUE;
    } else {
        event->PulseLocked();
    }
    KernelCondition().notify_all();
    return TRUE;
}

// ---- Waits ----

DWORD WaitForSingleObject(HANDLE handle, DWORD timeoutMs) {
    return WaitForMultipleObjects(1, &handle, FALSE, timeoutMs);
}

DWORD platform::WaitForSingleObjectUntilTick(HANDLE handle, DWORD dueTick) {
    return WaitForHandles(1, &handle, FALSE, platform::detail::WaitDeadline::AtTick(dueTick));
}

DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD timeoutMs) {
    return WaitForHandles(count, handles, waitAll,
                          platform::detail::WaitDeadline::After(timeoutMs));
}

// ---- Threads ----

HANDLE CreateThread(void* /*security*/, SIZE_T /*stackSize*/, LPTHREAD_START_ROUTINE start,
                    LPVOID parameter, DWORD flags, LPDWORD threadId) {
    if (start == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if ((flags & CREATE_SUSPENDED) != 0) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    auto thread = std::make_shared<Thread>(NewThreadId());
    HANDLE handle = platform::RegisterHandle(thread);
    if (handle == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    const platform::detail::StartingThread starting =
        platform::detail::CountStartingThread(true, thread->id);
    try {
        // The thread keeps its object alive, so it may outlive its handle; it is never joined.
        std::thread([thread, start, parameter, starting] {
            platform::detail::TakeStartingCount(starting);
            t_threadId = thread->id;
            const DWORD exitCode = start(parameter);
            std::lock_guard lock(KernelMutex());
            thread->exitCode = exitCode;
            thread->hasEnded = true;
            KernelCondition().notify_all();
        }).detach();
    } catch (const std::system_error&) {
        platform::detail::DropStartingCount(starting);
        platform::UnregisterHandle(handle);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if (threadId != nullptr) {
        *threadId = thread->id;
    }
    return handle;
}

DWORD GetCurrentThreadId() {
    if (t_threadId == 0) {
        t_threadId = NewThreadId();
    }
    return t_threadId;
}

BOOL GetExitCodeThread(HANDLE handle, LPDWORD exitCode) {
    const auto thread = platform::LookupHandleAs<Thread>(handle);
    if (!thread || exitCode == nullptr) {
        SetLastError(thread ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    std::lock_guard lock(KernelMutex());
    *exitCode = thread->exitCode;
    return TRUE;
}

std::size_t platform::WaitsInProgress(HANDLE handle) {
    const auto object = platform::LookupHandleAs<Waitable>(handle);
    if (!object) {
        return 0;
    }
    std::lock_guard lock(KernelMutex());
    return object->waiters.size();
}
