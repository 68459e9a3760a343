#pragma once
// The kernel handle table: files, events, threads, mappings and mutexes are objects registered
// under small integer handles. CloseHandle drops the table's reference; an object stays alive
// while a call that looked it up still uses it. Safe from any thread.

#include "platform/types.h"

#include <cstdint>
#include <memory>

namespace platform {

// Every kernel handle value lies below this one; other kinds of handle (module handles) start
// here, so that no value names two things.
constexpr std::uintptr_t kKernelHandleEnd = 0x40000000;

class KernelObject {
public:
    virtual ~KernelObject() = default;
};

// Registers an object and returns its new handle, or null when the table is full.
[[nodiscard]] HANDLE RegisterHandle(std::shared_ptr<KernelObject> object);

// The object behind a handle, or null for a closed, unknown or invalid handle.
[[nodiscard]] std::shared_ptr<KernelObject> LookupHandle(HANDLE handle);

template <class T> [[nodiscard]] std::shared_ptr<T> LookupHandleAs(HANDLE handle) {
    return std::dynamic_pointer_cast<T>(LookupHandle(handle));
}

// Removes a handle from the table; false when it was not open.
bool UnregisterHandle(HANDLE handle);

// Number of open kernel handles (for leak checks in tests).
[[nodiscard]] std::size_t OpenHandleCount();

} // namespace platform

// Closes any kernel handle; FALSE with ERROR_INVALID_HANDLE for one that is not open.
BOOL CloseHandle(HANDLE handle);

// Thread-local last-error code.
DWORD GetLastError();
void SetLastError(DWORD errorCode);
