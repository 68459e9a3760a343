#pragma once
// Internals shared by the file calls: the table of open host files with their share modes, and
// host folder listing.

#include <cstdint>
#include <filesystem>
#include <string>
#include <sys/types.h>
#include <vector>

namespace platform::detail {

struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
};

// The identity of an existing host file or folder; false when it cannot be read.
[[nodiscard]] bool IdentityOf(const std::filesystem::path& host, FileIdentity& identity);

// True when no handle of this file is open without FILE_SHARE_DELETE (so it may be deleted or
// renamed).
[[nodiscard]] bool MayRemoveFile(const FileIdentity& identity);

// The names in a host folder (without "." and ".."), unsorted; empty when it cannot be read.
[[nodiscard]] std::vector<std::string> HostFolderEntries(const std::filesystem::path& folder);

// Win32 error for a failed host call.
[[nodiscard]] std::uint32_t ErrorFromErrno(int error);

} // namespace platform::detail
