#pragma once
// Virtual memory (reserve, commit, decommit, release), the memory status report and the local
// heap of FormatMessageW buffers. Reserved but uncommitted pages trap on access, as on the device.
// Safe from any thread.

#include "platform/types.h"

#include <optional>

constexpr DWORD MEM_COMMIT = 0x1000;
constexpr DWORD MEM_RESERVE = 0x2000;
constexpr DWORD MEM_DECOMMIT = 0x4000;
constexpr DWORD MEM_RELEASE = 0x8000;

constexpr DWORD PAGE_NOACCESS = 0x01;
constexpr DWORD PAGE_READONLY = 0x02;
constexpr DWORD PAGE_READWRITE = 0x04;

// Reserves address space, commits pages, or both.
// - MEM_RESERVE (address null): a new region of size rounded up to whole pages, no access.
// - MEM_COMMIT with an address: makes the pages of [address, address + size) accessible with
//   the given protection. The range must lie inside one reservation (else null with
//   ERROR_INVALID_ADDRESS). Pages committed for the first time, or again after a decommit,
//   read as zero; pages already committed keep their contents.
// - MEM_COMMIT (with or without MEM_RESERVE) and a null address: reserves and commits at once.
// Protections: PAGE_NOACCESS, PAGE_READONLY, PAGE_READWRITE. Null with the last error set on
// failure (ERROR_INVALID_PARAMETER, ERROR_INVALID_ADDRESS, ERROR_NOT_ENOUGH_MEMORY).
[[nodiscard]] LPVOID VirtualAlloc(LPVOID address, SIZE_T size, DWORD allocationType, DWORD protect);

// MEM_DECOMMIT: the pages of [address, address + size) inside one reservation go back to no
// access and lose their contents; size 0 with the base decommits the whole reservation.
// MEM_RELEASE: size must be 0 and address the base of a reservation; frees all of it.
[[nodiscard]] BOOL VirtualFree(LPVOID address, SIZE_T size, DWORD freeType);

// Memory report with 32-bit fields, as on the device.
struct MEMORYSTATUS {
    DWORD dwLength;
    DWORD dwMemoryLoad; // percent of physical memory in use
    DWORD dwTotalPhys;
    DWORD dwAvailPhys;
    DWORD dwTotalPageFile;
    DWORD dwAvailPageFile;
    DWORD dwTotalVirtual;
    DWORD dwAvailVirtual;
};
using LPMEMORYSTATUS = MEMORYSTATUS*;

// Physical values come from the host, clamped to 0x7FFFFFFF so that callers' unsigned 32-bit
// sums cannot wrap; the virtual space is that of a 32-bit process (0x7FFE0000 bytes) less what
// VirtualAlloc has reserved. Tests may fix the whole report (platform::OverrideMemoryStatus).
void GlobalMemoryStatus(LPMEMORYSTATUS status);

using HLOCAL = void*;
constexpr UINT LMEM_FIXED = 0x0000;
constexpr UINT LMEM_ZEROINIT = 0x0040;
constexpr UINT LPTR = LMEM_FIXED | LMEM_ZEROINIT;

// Fixed blocks of the local heap (the buffers FormatMessageW allocates). Null on failure.
[[nodiscard]] HLOCAL LocalAlloc(UINT flags, SIZE_T bytes);
// Null on success; the block itself when it was not a local block (ERROR_INVALID_HANDLE).
HLOCAL LocalFree(HLOCAL block);

namespace platform {

// Replaces the GlobalMemoryStatus report (dwLength is filled in); nullopt restores the live one.
void OverrideMemoryStatus(std::optional<MEMORYSTATUS> status);

// Size of a page as VirtualAlloc rounds and commits (the host page, 4096 on common hosts).
[[nodiscard]] SIZE_T VirtualPageSize();

} // namespace platform
