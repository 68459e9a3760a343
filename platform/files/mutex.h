#pragma once
// Mutexes named for all processes on one device root. A named mutex is a lock file in the device
// root that every process holding a handle to that name keeps a shared lock on; it exists while
// any process holds a handle. Mutexes are only tested for existence: they cannot be waited on or
// owned. Safe from any thread.

#include "platform/types.h"

#include <filesystem>
#include <string_view>

// Opens the mutex of this name, creating it when no process holds it. With a name, the last
// error is ERROR_ALREADY_EXISTS when it existed (in this or another process on the same device
// root) and ERROR_SUCCESS when this call created it. Without a name (null or empty) a new
// mutex of this process only. Security attributes are ignored. Null with
// ERROR_NOT_SUPPORTED when initialOwner is set (ownership is not kept), ERROR_INVALID_PARAMETER
// for a name over MAX_PATH characters, or the error of the lock file when it cannot be made.
[[nodiscard]] HANDLE CreateMutexW(void* security, BOOL initialOwner, LPCWSTR name);

namespace platform {

// The host path of the lock file of a named mutex in the present device root; other files that
// belong to that name sit beside it with other extensions.
[[nodiscard]] std::filesystem::path NamedMutexLockPath(std::u16string_view name);

// The host path of the socket of the instance channel of that name, beside the mutex's lock file.
[[nodiscard]] std::filesystem::path NamedMutexSocketPath(std::u16string_view name);

// Whether a file name is one NamedMutexLockPath gives: a named mutex's lock file, which stays in
// the device root once its holders have ended.
[[nodiscard]] bool IsNamedMutexLockFile(std::string_view fileName);

// Whether a file name is one NamedMutexSocketPath gives: an instance channel's socket, which stays
// in the device root when the process that listened on it was killed.
[[nodiscard]] bool IsNamedMutexSocketFile(std::string_view fileName);

// Whether any process holds a named mutex of the device root at host folder `root`, whatever
// its name: each lock file there is asked whether another open file holds a lock on it, without
// taking or changing one, so that a process starting meanwhile is not misled. False for a folder
// without lock files or one that cannot be read.
[[nodiscard]] bool IsAnyNamedMutexHeld(const std::filesystem::path& root);

} // namespace platform
