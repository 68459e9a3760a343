#pragma once
// The archive library, built in as the module "ziVur.dll": it mounts ".sfs" archives
// (docs/sfs-format.md) at a folder, after which each member opens as that folder, a backslash and
// the member's name, in any letter case. Members are read-only. Callers reach the library only
// through LoadLibraryW and GetProcAddressW (so that it can be missing); this header names the
// module and the types of its eight entry points. All entry points are safe from any thread.

#include "platform/types.h"

namespace platform {

inline constexpr char16_t kSfsModuleName[] = u"ziVur.dll";

// A member handle; kSfsInvalidHandle on failure.
constexpr DWORD kSfsInvalidHandle = 0xFFFFFFFF;

// "SFS_Mount" (archive path, mount folder, flags, value, value): 1 when mounted; 0 when the
// archive is missing, corrupt, already mounted or the folder does not exist. The flags and values
// are accepted and ignored. Several archives may share one folder; the earliest mounted wins a
// name that two of them hold.
using SfsMountFunction = int (*)(LPCWSTR archivePath, LPCWSTR mountFolder, DWORD flags,
                                 DWORD value1, DWORD value2);
// "SFS_UnMount" (folder): nonzero when at least one archive was mounted at the folder; every
// archive of that folder is released. Member handles still open keep working until closed.
using SfsUnMountFunction = int (*)(LPCWSTR mountFolder);
// "SFS_CreateFile": as CreateFileW for reading (OPEN_EXISTING or OPEN_ALWAYS of an existing
// member); write access or any creation fails with ERROR_ACCESS_DENIED, a missing member with
// ERROR_FILE_NOT_FOUND. Share modes and flags are accepted; members never conflict.
using SfsCreateFileFunction = DWORD (*)(LPCWSTR path, DWORD desiredAccess, DWORD shareMode,
                                        LPVOID securityAttributes, DWORD creationDisposition,
                                        DWORD flagsAndAttributes, LPVOID templateFile);
// "SFS_ReadFile": as ReadFile (TRUE with fewer or 0 bytes at the end of the member).
using SfsReadFileFunction = BOOL (*)(DWORD handle, LPVOID buffer, DWORD bytesToRead,
                                     LPDWORD bytesRead, LPVOID overlapped);
// "SFS_WriteFile": always FALSE with ERROR_ACCESS_DENIED and 0 bytes written.
using SfsWriteFileFunction = BOOL (*)(DWORD handle, LPCVOID buffer, DWORD bytesToWrite,
                                      LPDWORD bytesWritten, LPVOID overlapped);
// "SFS_SetFilePointer": as SetFilePointer on the member (0xFFFFFFFF on failure).
using SfsSetFilePointerFunction = DWORD (*)(DWORD handle, LONG distanceToMove, LPLONG distanceHigh,
                                            DWORD moveMethod);
// "SFS_CloseHandle": FALSE for a handle that is not open.
using SfsCloseHandleFunction = BOOL (*)(DWORD handle);
// "SFS_GetLastError": the calling thread's error code of its last failed library call (Win32
// codes; ERROR_FILE_CORRUPT for a refused archive).
using SfsGetLastErrorFunction = DWORD (*)();

} // namespace platform
