#include "platform/files/memory.h"

#include "platform/kernel/handles.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <sys/mman.h>
#include <sys/sysinfo.h>
#include <unistd.h>
#include <unordered_set>

namespace {

// Reservations by base address; the value is the reserved size in bytes (whole pages).
struct RegionTable {
    std::mutex mutex;
    std::map<std::uintptr_t, std::size_t> regions;
    std::size_t reservedBytes = 0;
    std::optional<MEMORYSTATUS> statusOverride;
};

RegionTable& Regions() {
    static RegionTable* table = new RegionTable; // never destroyed: used by exit-time code
    return *table;
}

constexpr DWORD kProcessVirtualBytes = 0x7FFE0000;
constexpr DWORD kPhysicalClamp = 0x7FFFFFFF;

bool RoundUpToPages(std::size_t size, std::size_t& rounded) {
    const std::size_t page = platform::VirtualPageSize();
    if (size > SIZE_MAX - (page - 1)) {
        return false;
    }
    rounded = (size + page - 1) / page * page;
    return true;
}

int HostProtection(DWORD protect) {
    switch (protect) {
    case PAGE_NOACCESS:
        return PROT_NONE;
    case PAGE_READONLY:
        return PROT_READ;
    case PAGE_READWRITE:
        return PROT_READ | PROT_WRITE;
    default:
        return -1;
    }
}

// The page range [first, last) covering [address, address + size), when it lies inside one
// reservation; the table's lock must be held.
bool FindRange(const RegionTable& table, LPVOID address, SIZE_T size, std::uintptr_t& first,
               std::uintptr_t& last, std::uintptr_t& base) {
    const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(address);
    if (size > UINTPTR_MAX - start) {
        return false;
    }
    const std::uintptr_t page = platform::VirtualPageSize();
    first = start / page * page;
    const std::uintptr_t end = start + size;
    last = (end + page - 1) / page * page;
    auto it = table.regions.upper_bound(start);
    if (it == table.regions.begin()) {
        return false;
    }
    --it;
    base = it->first;
    return first >= base && last <= base + it->second;
}

LPVOID Reserve(SIZE_T size, DWORD allocationType, int protection) {
    std::size_t rounded = 0;
    if (!RoundUpToPages(size, rounded)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    const bool commit = (allocationType & MEM_COMMIT) != 0;
    void* base = mmap(nullptr, rounded, commit ? protection : PROT_NONE,
                      MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (base == MAP_FAILED) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    RegionTable& table = Regions();
    std::lock_guard lock(table.mutex);
    table.regions.emplace(reinterpret_cast<std::uintptr_t>(base), rounded);
    table.reservedBytes += rounded;
    return base;
}

LPVOID Commit(LPVOID address, SIZE_T size, int protection) {
    RegionTable& table = Regions();
    std::lock_guard lock(table.mutex);
    std::uintptr_t first = 0;
    std::uintptr_t last = 0;
    std::uintptr_t base = 0;
    if (!FindRange(table, address, size, first, last, base)) {
        SetLastError(ERROR_INVALID_ADDRESS);
        return nullptr;
    }
    if (mprotect(reinterpret_cast<void*>(first), last - first, protection) != 0) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return reinterpret_cast<LPVOID>(first);
}

BOOL Decommit(LPVOID address, SIZE_T size) {
    RegionTable& table = Regions();
    std::lock_guard lock(table.mutex);
    std::uintptr_t first = 0;
    std::uintptr_t last = 0;
    std::uintptr_t base = 0;
    if (size == 0) {
        const auto it = table.regions.find(reinterpret_cast<std::uintptr_t>(address));
        if (it == table.regions.end()) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        size = it->second;
    }
    if (!FindRange(table, address, size, first, last, base)) {
        SetLastError(ERROR_INVALID_ADDRESS);
        return FALSE;
    }
    // A fresh no-access mapping over the range drops the contents, so a later commit reads zero.
    void* fresh = mmap(reinterpret_cast<void*>(first), last - first, PROT_NONE,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_FIXED, -1, 0);
    if (fresh == MAP_FAILED) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    return TRUE;
}

BOOL Release(LPVOID address, SIZE_T size) {
    RegionTable& table = Regions();
    std::lock_guard lock(table.mutex);
    const auto it = table.regions.find(reinterpret_cast<std::uintptr_t>(address));
    if (size != 0 || it == table.regions.end()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    munmap(address, it->second);
    table.reservedBytes -= it->second;
    table.regions.erase(it);
    return TRUE;
}

struct LocalHeap {
    std::mutex mutex;
    std::unordered_set<void*> blocks;
};

LocalHeap& Locals() {
    static LocalHeap* heap = new LocalHeap; // never destroyed: used by exit-time code
    return *heap;
}

} // namespace

namespace platform {

SIZE_T VirtualPageSize() {
    static const SIZE_T page = [] {
        const long host = sysconf(_SC_PAGESIZE);
        return host > 0 ? static_cast<SIZE_T>(host) : SIZE_T{4096};
    }();
    return page;
}

void OverrideMemoryStatus(std::optional<MEMORYSTATUS> status) {
    RegionTable& table = Regions();
    std::lock_guard lock(table.mutex);
    table.statusOverride = status;
    if (table.statusOverride) {
        table.statusOverride->dwLength = sizeof(MEMORYSTATUS);
    }
}

} // namespace platform

LPVOID VirtualAlloc(LPVOID address, SIZE_T size, DWORD allocationType, DWORD protect) {
    const int protection = HostProtection(protect);
    const DWORD known = MEM_COMMIT | MEM_RESERVE;
    if (size == 0 || protection < 0 || (allocationType & ~known) != 0 ||
        (allocationType & known) == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (address == nullptr) {
        return Reserve(size, allocationType, protection);
    }
    if ((allocationType & MEM_RESERVE) != 0) {
        SetLastError(ERROR_INVALID_ADDRESS); // reserving at a chosen address is not offered
        return nullptr;
    }
    return Commit(address, size, protection);
}

BOOL VirtualFree(LPVOID address, SIZE_T size, DWORD freeType) {
    if (address == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (freeType == MEM_DECOMMIT) {
        return Decommit(address, size);
    }
    if (freeType == MEM_RELEASE) {
        return Release(address, size);
    }
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
}

void GlobalMemoryStatus(LPMEMORYSTATUS status) {
    if (status == nullptr) {
        return;
    }
    RegionTable& table = Regions();
    std::lock_guard lock(table.mutex);
    if (table.statusOverride) {
        *status = *table.statusOverride;
        return;
    }
    struct sysinfo info {};
    std::uint64_t total = 0;
    std::uint64_t available = 0;
    if (sysinfo(&info) == 0) {
        total = std::uint64_t{info.totalram} * info.mem_unit;
        available = (std::uint64_t{info.freeram} + info.bufferram) * info.mem_unit;
    }
    const auto clamp = [](std::uint64_t value) {
        return static_cast<DWORD>(std::min<std::uint64_t>(value, kPhysicalClamp));
    };
    MEMORYSTATUS report{};
    report.dwLength = sizeof(MEMORYSTATUS);
    report.dwMemoryLoad =
        total == 0 ? 0 : static_cast<DWORD>((total - std::min(total, available)) * 100 / total);
    report.dwTotalPhys = clamp(total);
    report.dwAvailPhys = clamp(available);
    report.dwTotalVirtual = kProcessVirtualBytes;
    report.dwAvailVirtual = static_cast<DWORD>(
        kProcessVirtualBytes - std::min<std::uint64_t>(table.reservedBytes, kProcessVirtualBytes));
    *status = report;
}

HLOCAL LocalAlloc(UINT flags, SIZE_T bytes) {
    if ((flags & ~LPTR) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    void* block = std::malloc(bytes == 0 ? 1 : bytes);
    if (block == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if ((flags & LMEM_ZEROINIT) != 0) {
        std::memset(block, 0, bytes);
    }
    LocalHeap& heap = Locals();
    std::lock_guard lock(heap.mutex);
    heap.blocks.insert(block);
    return block;
}

HLOCAL LocalFree(HLOCAL block) {
    if (block == nullptr) {
        return nullptr;
    }
    {
        LocalHeap& heap = Locals();
        std::lock_guard lock(heap.mutex);
        if (heap.blocks.erase(block) == 0) {
            SetLastError(ERROR_INVALID_HANDLE);
            return block;
        }
    }
    std::free(block);
    return nullptr;
}
