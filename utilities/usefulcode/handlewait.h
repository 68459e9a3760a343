#pragma once
// Waits on kernel handles (events, threads) as the worker threads use them. Any thread.

#include "platform/kernel/sync.h"
#include "platform/types.h"

// WaitForSingleObject of the handle: WAIT_OBJECT_0, WAIT_TIMEOUT (258) or WAIT_FAILED.
[[nodiscard]] DWORD WaitForHandle(HANDLE handle, DWORD timeoutMs);
// Waits until any of the count handles is signalled: WAIT_OBJECT_0 + the lowest signalled index,
// WAIT_TIMEOUT, or WAIT_FAILED (also for a null array, a count of 0 or one above
// MAXIMUM_WAIT_OBJECTS).
[[nodiscard]] DWORD WaitForAnyHandle(DWORD count, const HANDLE* handles, DWORD timeoutMs);
