#pragma once
// Read-only mappings of whole files into memory. A view stays valid until UnmapViewOfFile, even
// after the mapping and file handles are closed. Safe from any thread.

#include "platform/types.h"

constexpr DWORD FILE_MAP_WRITE = 0x0002;
constexpr DWORD FILE_MAP_READ = 0x0004;

// Opens a file so that it can be mapped; the arguments and results are those of CreateFileW.
[[nodiscard]] HANDLE CreateFileForMappingW(LPCWSTR fileName, DWORD desiredAccess, DWORD shareMode,
                                           LPVOID securityAttributes, DWORD creationDisposition,
                                           DWORD flagsAndAttributes, HANDLE templateFile);

// A mapping of an open file. Only PAGE_READONLY (2) is offered; a size of 0/0 means the whole
// file, a larger size than the file is refused. Returns null (not INVALID_HANDLE_VALUE) on
// failure: ERROR_FILE_INVALID for an empty file mapped whole, ERROR_INVALID_HANDLE for a handle
// that is not an open file, ERROR_INVALID_PARAMETER for other protections, names or sizes.
// Closed with CloseHandle; the file handle may be closed independently.
[[nodiscard]] HANDLE CreateFileMappingW(HANDLE file, LPVOID securityAttributes, DWORD protect,
                                        DWORD maximumSizeHigh, DWORD maximumSizeLow, LPCWSTR name);

// Maps numberOfBytes (0 = to the end of the mapping) from the offset, which must be a multiple
// of 65536 (ERROR_MAPPED_ALIGNMENT). Only FILE_MAP_READ. Null on failure.
[[nodiscard]] LPVOID MapViewOfFile(HANDLE fileMappingObject, DWORD desiredAccess,
                                   DWORD fileOffsetHigh, DWORD fileOffsetLow,
                                   SIZE_T numberOfBytesToMap);

// FALSE with ERROR_INVALID_ADDRESS for an address that is not the start of a view.
[[nodiscard]] BOOL UnmapViewOfFile(LPCVOID baseAddress);
