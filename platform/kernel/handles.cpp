#include "platform/kernel/handles.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <shared_mutex>
#include <unordered_map>

namespace platform {
namespace {

// Handle values are multiples of 4 starting at 4, as on the device; they are reused only after
// the counter wraps, so a stale handle is very unlikely to name a new object.
// Lookups, made on every file call, share the lock (and mostly skip it, see LastLookup); only
// registering and closing take it alone.
struct HandleTable {
    std::shared_mutex mutex;
    std::unordered_map<std::uintptr_t, std::shared_ptr<KernelObject>> objects;
    std::uintptr_t next = 4;
    // Counts the handles closed, so that a thread's last lookup can be trusted while it stays
    // the same: registering never changes what an open handle names.
    std::atomic<std::uint64_t> closings{0};
};

HandleTable& Table() {
    static HandleTable* table = new HandleTable; // never destroyed: used by exit-time code
    return *table;
}

// Each thread's last lookup. A thread mostly works one handle at a time (a block read is a seek
// and a read), and repeating a lookup this way takes no lock. The object is held weakly, so that
// closing a handle still destroys it at once.
struct LastLookup {
    std::uintptr_t value = 0;
    std::uint64_t closings = 0;
    std::weak_ptr<KernelObject> object;

    ~LastLookup();
};

// Set once the thread's LastLookup is destroyed, for lookups made by exit-time code after it.
thread_local bool t_isLastLookupGone = false;
thread_local LastLookup t_lastLookup;

LastLookup::~LastLookup() {
    t_isLastLookupGone = true;
}

constexpr std::uintptr_t kHandleLimit = kKernelHandleEnd - 4; // the last kernel handle value

} // namespace

HANDLE RegisterHandle(std::shared_ptr<KernelObject> object) {
    if (!object) {
        return nullptr;
    }
    HandleTable& table = Table();
    std::lock_guard lock(table.mutex);
    for (std::uintptr_t tries = 0; tries < kHandleLimit / 4; ++tries) {
        const std::uintptr_t value = table.next;
        table.next = value >= kHandleLimit ? 4 : value + 4;
        if (!table.objects.contains(value)) {
            table.objects.emplace(value, std::move(object));
            return reinterpret_cast<HANDLE>(value);
        }
    }
    return nullptr;
}

std::shared_ptr<KernelObject> LookupHandle(HANDLE handle) {
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
        return nullptr;
    }
    const auto value = reinterpret_cast<std::uintptr_t>(handle);
    HandleTable& table = Table();
    // No handle closed since the last lookup: the handle still names the object found then,
    // unless that object is gone, which only a closing can cause.
    if (!t_isLastLookupGone && t_lastLookup.value == value &&
        t_lastLookup.closings == table.closings.load(std::memory_order_acquire)) {
        if (std::shared_ptr<KernelObject> object = t_lastLookup.object.lock()) {
            return object;
        }
    }
    std::shared_lock lock(table.mutex);
    const auto it = table.objects.find(value);
    if (it == table.objects.end()) {
        return nullptr;
    }
    if (!t_isLastLookupGone) {
        t_lastLookup.value = value;
        t_lastLookup.closings = table.closings.load(std::memory_order_relaxed);
        t_lastLookup.object = it->second;
    }
    return it->second;
}

bool UnregisterHandle(HANDLE handle) {
    std::shared_ptr<KernelObject> released; // destroyed outside the table's lock
    HandleTable& table = Table();
    std::lock_guard lock(table.mutex);
    const auto it = table.objects.find(reinterpret_cast<std::uintptr_t>(handle));
    if (it == table.objects.end()) {
        return false;
    }
    table.closings.fetch_add(1, std::memory_order_release);
    released = std::move(it->second);
    table.objects.erase(it);
    return true;
}

std::size_t OpenHandleCount() {
    HandleTable& table = Table();
    std::shared_lock lock(table.mutex);
    return table.objects.size();
}

} // namespace platform

namespace {
thread_local DWORD t_lastError = ERROR_SUCCESS;
}

BOOL CloseHandle(HANDLE handle) {
    if (!platform::UnregisterHandle(handle)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

DWORD GetLastError() {
    return t_lastError;
}

void SetLastError(DWORD errorCode) {
    t_lastError = errorCode;
}
