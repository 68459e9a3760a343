#include "platform/handles.h"

#include <mutex>
#include <unordered_map>

namespace platform {
namespace {

// Handle values are multiples of 4 starting at 4, as on the device; they are reused only after
// the counter wraps, so a stale handle is very unlikely to name a new object.
struct HandleTable {
    std::mutex mutex;
    std::unordered_map<std::uintptr_t, std::shared_ptr<KernelObject>> objects;
    std::uintptr_t next = 4;
};

HandleTable& Table() {
    static HandleTable* table = new HandleTable; // never destroyed: used by exit-time code
    return *table;
}

constexpr std::uintptr_t kHandleLimit = 0x3FFFFFFC; // keeps values positive 32-bit integers

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
        if (table.objects.emplace(value, object).second) {
            return reinterpret_cast<HANDLE>(value);
        }
    }
    return nullptr;
}

std::shared_ptr<KernelObject> LookupHandle(HANDLE handle) {
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
        return nullptr;
    }
    HandleTable& table = Table();
    std::lock_guard lock(table.mutex);
    const auto it = table.objects.find(reinterpret_cast<std::uintptr_t>(handle));
    return it == table.objects.end() ? nullptr : it->second;
}

bool UnregisterHandle(HANDLE handle) {
    std::shared_ptr<KernelObject> released; // destroyed outside the table's lock
    HandleTable& table = Table();
    std::lock_guard lock(table.mutex);
    const auto it = table.objects.find(reinterpret_cast<std::uintptr_t>(handle));
    if (it == table.objects.end()) {
        return false;
    }
    released = std::move(it->second);
    table.objects.erase(it);
    return true;
}

std::size_t OpenHandleCount() {
    HandleTable& table = Table();
    std::lock_guard lock(table.mutex);
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

DWORD GetLastError() { return t_lastError; }

void SetLastError(DWORD errorCode) { t_lastError = errorCode; }
