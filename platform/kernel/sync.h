#pragma once
// Threads, events, waits, critical sections and interlocked operations with Win32 semantics.
// All calls are safe from any thread. Finite wait time-outs are measured on the installed clock
// (platform/time.h): under a virtual clock a wait times out only when the clock is advanced.

#include "platform/kernel/handles.h" // CloseHandle, GetLastError
#include "platform/types.h"

#include <atomic>
#include <mutex>

// ---- Interlocked operations (sequentially consistent) ----

// Increment and Decrement return the new value; the others return the previous value.
inline LONG InterlockedIncrement(LONG volatile* addend) {
    return __atomic_add_fetch(addend, 1, __ATOMIC_SEQ_CST);
}
inline LONG InterlockedDecrement(LONG volatile* addend) {
    return __atomic_sub_fetch(addend, 1, __ATOMIC_SEQ_CST);
}
inline LONG InterlockedExchange(LONG volatile* target, LONG value) {
    return __atomic_exchange_n(target, value, __ATOMIC_SEQ_CST);
}
inline LONG InterlockedExchangeAdd(LONG volatile* addend, LONG value) {
    return __atomic_fetch_add(addend, value, __ATOMIC_SEQ_CST);
}
inline LONG InterlockedCompareExchange(LONG volatile* destination, LONG exchange, LONG comparand) {
    __atomic_compare_exchange_n(destination, &comparand, exchange, false, __ATOMIC_SEQ_CST,
                                __ATOMIC_SEQ_CST);
    return comparand; // holds the previous value whether or not the exchange happened
}
inline PVOID InterlockedExchangePointer(PVOID volatile* target, PVOID value) {
    return __atomic_exchange_n(target, value, __ATOMIC_SEQ_CST);
}
inline PVOID InterlockedCompareExchangePointer(PVOID volatile* destination, PVOID exchange,
                                               PVOID comparand) {
    __atomic_compare_exchange_n(destination, &comparand, exchange, false, __ATOMIC_SEQ_CST,
                                __ATOMIC_SEQ_CST);
    return comparand;
}

// ---- Critical sections ----

// A recursive lock for the threads of this process: the owning thread may enter again and must
// leave as often as it entered. Usable as a plain value member (not copyable); the host mutex is
// built with the struct, so Initialize and Delete only check the state. Leaving a section the
// calling thread does not own is ignored.
struct CRITICAL_SECTION {
    std::recursive_mutex mutex;
    std::atomic<DWORD> owningThread{0}; // thread id of the owner, 0 when free
    LONG recursionCount = 0;            // changed only by the owner
};
using LPCRITICAL_SECTION = CRITICAL_SECTION*;

void InitializeCriticalSection(CRITICAL_SECTION* section);
void DeleteCriticalSection(CRITICAL_SECTION* section);
void EnterCriticalSection(CRITICAL_SECTION* section);
void LeaveCriticalSection(CRITICAL_SECTION* section);
// TRUE when the section was entered (free, or already owned by the caller).
[[nodiscard]] BOOL TryEnterCriticalSection(CRITICAL_SECTION* section);

// ---- Events ----

constexpr DWORD EVENT_PULSE = 1;
constexpr DWORD EVENT_RESET = 2;
constexpr DWORD EVENT_SET = 3;

// An unnamed event (the name is ignored). An auto-reset event releases exactly one wait and
// resets; a manual-reset event stays set until reset. Null when the handle table is full.
[[nodiscard]] HANDLE CreateEventW(void* security, BOOL manualReset, BOOL initialState,
                                  LPCWSTR name);
// FALSE with ERROR_INVALID_HANDLE when the handle is not an open event.
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);
// Releases the waits in progress (all for manual reset, one for auto reset), then resets.
BOOL PulseEvent(HANDLE event);
// EVENT_SET, EVENT_RESET or EVENT_PULSE; FALSE with ERROR_INVALID_PARAMETER for other codes.
BOOL EventModify(HANDLE event, DWORD function);

// ---- Waits ----

constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_TIMEOUT = 258;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFFu;
constexpr DWORD MAXIMUM_WAIT_OBJECTS = 64;

// Waits for an event or thread handle. timeoutMs 0 polls, INFINITE waits without limit.
// WAIT_FAILED with ERROR_INVALID_HANDLE for a handle that is not open or not waitable.
[[nodiscard]] DWORD WaitForSingleObject(HANDLE handle, DWORD timeoutMs);
// Wait-any returns WAIT_OBJECT_0 + the lowest signalled index; wait-all returns WAIT_OBJECT_0
// once all are signalled at the same time. WAIT_FAILED with ERROR_INVALID_PARAMETER for a count
// of 0 or above MAXIMUM_WAIT_OBJECTS or a handle given twice to a wait-all.
[[nodiscard]] DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll,
                                           DWORD timeoutMs);

// ---- Threads ----

using LPTHREAD_START_ROUTINE = DWORD (*)(LPVOID parameter);

constexpr DWORD STILL_ACTIVE = 259;
constexpr DWORD CREATE_SUSPENDED = 0x4;
constexpr DWORD STACK_SIZE_PARAM_IS_A_RESERVATION = 0x10000;

// Starts start(parameter) on a new thread. The handle is signalled when the routine returns; its
// return value is the exit code. Closing the handle does not stop the thread. Stack size and
// security are ignored; CREATE_SUSPENDED is not supported (null, ERROR_NOT_SUPPORTED).
// Null with ERROR_INVALID_PARAMETER for a null routine, ERROR_NOT_ENOUGH_MEMORY when the host
// cannot start a thread. threadId may be null.
[[nodiscard]] HANDLE CreateThread(void* security, SIZE_T stackSize, LPTHREAD_START_ROUTINE start,
                                  LPVOID parameter, DWORD flags, LPDWORD threadId);
// A non-zero id, unique among the threads of this process.
[[nodiscard]] DWORD GetCurrentThreadId();
// STILL_ACTIVE while the thread runs. FALSE with ERROR_INVALID_HANDLE for a non-thread handle.
[[nodiscard]] BOOL GetExitCodeThread(HANDLE thread, LPDWORD exitCode);

namespace platform {
// WaitForSingleObject that times out once GetTickCount reaches dueTick. Ticks compare by their
// signed difference, so a tick up to 2^31 ms back has been reached (the handle is then polled).
// The deadline is a fixed tick: a clock move between reading the tick and this call does not
// push it back.
[[nodiscard]] DWORD WaitForSingleObjectUntilTick(HANDLE handle, DWORD dueTick);
// Number of waits now blocked on an event or thread handle (0 for other handles). For tests that
// must know a thread has started waiting before they signal or advance the clock.
[[nodiscard]] std::size_t WaitsInProgress(HANDLE handle);
} // namespace platform
