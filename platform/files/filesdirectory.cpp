// Folder operations, attributes and enumeration of the device file system.

#include "platform/files/detail/fileshare.h"
#include "platform/files/errors.h"
#include "platform/files/files.h"
#include "platform/files/paths.h"
#include "platform/kernel/text.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using platform::PathStatus;
using platform::ResolvedPath;

BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

BOOL Succeed() {
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

// Resolves a path that must name an existing entry; sets the last error when it does not.
bool ResolveExisting(LPCWSTR path, ResolvedPath& resolved, struct stat& info) {
    if (path == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    resolved = platform::ResolveDevicePath(path);
    if (resolved.status != PathStatus::Exists) {
        SetLastError(platform::PathStatusError(resolved.status));
        return false;
    }
    if (::stat(resolved.host.c_str(), &info) != 0) {
        SetLastError(platform::detail::ErrorFromErrno(errno));
        return false;
    }
    return true;
}

FILETIME FileTimeOf(const struct timespec& time) {
    const std::uint64_t ticks = platform::kFileTimeOf1970 +
                                static_cast<std::uint64_t>(time.tv_sec) * 10000000ull +
                                static_cast<std::uint64_t>(time.tv_nsec) / 100;
    return platform::MakeFileTime(ticks);
}

DWORD AttributesOf(const std::filesystem::path& host, const struct stat& info) {
    if (S_ISDIR(info.st_mode)) {
        return FILE_ATTRIBUTE_DIRECTORY;
    }
    // A file without any write permission is read-only also for a user whom the host lets write
    // everything (root), as the attribute is on the device.
    const bool isWritable =
        (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0 && ::access(host.c_str(), W_OK) == 0;
    return isWritable ? FILE_ATTRIBUTE_NORMAL : FILE_ATTRIBUTE_READONLY;
}

bool HasWildcard(std::u16string_view name) {
    return name.find_first_of(u"*?") != name.npos;
}

// '*' any run, '?' exactly one character, letters without case.
bool Matches(std::u16string_view name, std::u16string_view pattern) {
    if (pattern == u"*.*") {
        return true;
    }
    std::size_t n = 0;
    std::size_t p = 0;
    std::size_t starPattern = std::u16string_view::npos;
    std::size_t starName = 0;
    while (n < name.size()) {
        if (p < pattern.size() &&
            (pattern[p] == u'?' || TowLower(pattern[p]) == TowLower(name[n]))) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == u'*') {
            starPattern = p++;
            starName = n;
        } else if (starPattern != std::u16string_view::npos) {
            p = starPattern + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*') {
        ++p;
    }
    return p == pattern.size();
}

bool MakeEntry(std::u16string_view name, const std::filesystem::path& host,
               WIN32_FIND_DATAW& entry) {
    struct stat info {};
    if (name.size() >= MAX_PATH || ::stat(host.c_str(), &info) != 0) {
        return false;
    }
    entry = WIN32_FIND_DATAW{};
    entry.dwFileAttributes = AttributesOf(host, info);
    entry.ftCreationTime = FileTimeOf(info.st_ctim);
    entry.ftLastAccessTime = FileTimeOf(info.st_atim);
    entry.ftLastWriteTime = FileTimeOf(info.st_mtim);
    if (!S_ISDIR(info.st_mode)) {
        const auto size = static_cast<std::uint64_t>(info.st_size);
        entry.nFileSizeHigh = static_cast<DWORD>(size >> 32);
        entry.nFileSizeLow = static_cast<DWORD>(size);
    }
    std::copy(name.begin(), name.end(), entry.cFileName);
    entry.cFileName[name.size()] = 0;
    return true;
}

struct FindObject : platform::KernelObject {
    std::vector<WIN32_FIND_DATAW> entries;
    std::size_t next = 0;
};

bool NameLess(const WIN32_FIND_DATAW& a, const WIN32_FIND_DATAW& b) {
    return platform::CompareNoCase(a.cFileName, b.cFileName) < 0;
}

// Entries of an existing folder matching a wildcard pattern.
std::vector<WIN32_FIND_DATAW> ListFolder(const ResolvedPath& folder, std::u16string_view pattern) {
    std::vector<WIN32_FIND_DATAW> entries;
    WIN32_FIND_DATAW entry{};
    if (!folder.isRoot) {
        for (std::u16string_view dots : {u".", u".."}) {
            const auto host = dots == u"." ? folder.host : folder.host.parent_path();
            if (Matches(dots, pattern) && MakeEntry(dots, host, entry)) {
                entries.push_back(entry);
            }
        }
    }
    std::vector<WIN32_FIND_DATAW> named;
    for (const std::string& hostName : platform::detail::HostFolderEntries(folder.host)) {
        const std::u16string name = platform::Utf8ToUtf16(hostName);
        if (Matches(name, pattern) && MakeEntry(name, folder.host / hostName, entry)) {
            named.push_back(entry);
        }
    }
    std::sort(named.begin(), named.end(), NameLess);
    entries.insert(entries.end(), named.begin(), named.end());
    return entries;
}

// Splits a find pattern into its folder part and its last component.
void SplitPattern(std::u16string_view path, std::u16string_view& folder,
                  std::u16string_view& last) {
    const std::size_t cut = path.find_last_of(u"\\/");
    folder = cut == path.npos ? std::u16string_view() : path.substr(0, cut + 1);
    last = cut == path.npos ? path : path.substr(cut + 1);
}

} // namespace

BOOL DeleteFileW(LPCWSTR fileName) {
    ResolvedPath resolved;
    struct stat info {};
    if (!ResolveExisting(fileName, resolved, info)) {
        return FALSE;
    }
    if (S_ISDIR(info.st_mode)) {
        return Fail(ERROR_ACCESS_DENIED);
    }
    platform::detail::FileIdentity identity;
    if (!platform::detail::IdentityOf(resolved.host, identity) ||
        !platform::detail::MayRemoveFile(identity)) {
        return Fail(ERROR_SHARING_VIOLATION);
    }
    if (::unlink(resolved.host.c_str()) != 0) {
        return Fail(platform::detail::ErrorFromErrno(errno));
    }
    return Succeed();
}

BOOL MoveFileW(LPCWSTR existingFileName, LPCWSTR newFileName) {
    ResolvedPath source;
    struct stat info {};
    if (!ResolveExisting(existingFileName, source, info)) {
        return FALSE;
    }
    if (newFileName == nullptr) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    if (source.isRoot) {
        return Fail(ERROR_ACCESS_DENIED);
    }
    platform::detail::FileIdentity sourceIdentity;
    if (!platform::detail::IdentityOf(source.host, sourceIdentity) ||
        (!S_ISDIR(info.st_mode) && !platform::detail::MayRemoveFile(sourceIdentity))) {
        return Fail(ERROR_SHARING_VIOLATION);
    }
    ResolvedPath target = platform::ResolveDevicePath(newFileName);
    if (target.status == PathStatus::Exists) {
        // Only a change of letter case may name the same entry again.
        platform::detail::FileIdentity targetIdentity;
        const std::vector<std::u16string> parts = platform::DevicePathComponents(newFileName);
        if (parts.empty() || !platform::detail::IdentityOf(target.host, targetIdentity) ||
            targetIdentity.device != sourceIdentity.device ||
            targetIdentity.inode != sourceIdentity.inode) {
            return Fail(ERROR_ALREADY_EXISTS);
        }
        target.host = target.host.parent_path() / platform::Utf16ToUtf8(parts.back());
    } else if (target.status != PathStatus::MissingLeaf) {
        return Fail(platform::PathStatusError(target.status));
    }
    if (std::rename(source.host.c_str(), target.host.c_str()) != 0) {
        return Fail(platform::detail::ErrorFromErrno(errno));
    }
    return Succeed();
}

BOOL CreateDirectoryW(LPCWSTR pathName, LPVOID) {
    if (pathName == nullptr) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    const ResolvedPath resolved = platform::ResolveDevicePath(pathName);
    if (resolved.status == PathStatus::Exists) {
        return Fail(ERROR_ALREADY_EXISTS);
    }
    if (resolved.status != PathStatus::MissingLeaf) {
        return Fail(platform::PathStatusError(resolved.status));
    }
    if (::mkdir(resolved.host.c_str(), 0777) != 0) {
        return Fail(platform::detail::ErrorFromErrno(errno));
    }
    return Succeed();
}

BOOL RemoveDirectoryW(LPCWSTR pathName) {
    ResolvedPath resolved;
    struct stat info {};
    if (!ResolveExisting(pathName, resolved, info)) {
        return FALSE;
    }
    if (!S_ISDIR(info.st_mode)) {
        return Fail(ERROR_DIRECTORY);
    }
    if (resolved.isRoot) {
        return Fail(ERROR_ACCESS_DENIED);
    }
    if (::rmdir(resolved.host.c_str()) != 0) {
        return Fail(errno == EEXIST ? ERROR_DIR_NOT_EMPTY
                                    : platform::detail::ErrorFromErrno(errno));
    }
    return Succeed();
}

DWORD GetFileAttributesW(LPCWSTR fileName) {
    ResolvedPath resolved;
    struct stat info {};
    if (!ResolveExisting(fileName, resolved, info)) {
        return INVALID_FILE_ATTRIBUTES;
    }
    SetLastError(ERROR_SUCCESS);
    return AttributesOf(resolved.host, info);
}

HANDLE FindFirstFileW(LPCWSTR fileName, LPWIN32_FIND_DATAW findData) {
    if (fileName == nullptr || findData == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    std::u16string_view folderPart;
    std::u16string_view last;
    SplitPattern(fileName, folderPart, last);
    auto find = std::make_shared<FindObject>();
    if (last.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (HasWildcard(last)) {
        const ResolvedPath folder = platform::ResolveDevicePath(folderPart);
        struct stat info {};
        if (folder.status != PathStatus::Exists || ::stat(folder.host.c_str(), &info) != 0 ||
            !S_ISDIR(info.st_mode)) {
            SetLastError(folder.status == PathStatus::BadName ? ERROR_INVALID_NAME
                                                              : ERROR_PATH_NOT_FOUND);
            return INVALID_HANDLE_VALUE;
        }
        if (last.find_first_of(u":\"<>|") != last.npos ||
            std::any_of(last.begin(), last.end(), [](char16_t c) { return c < 0x20; })) {
            SetLastError(ERROR_INVALID_NAME);
            return INVALID_HANDLE_VALUE;
        }
        find->entries = ListFolder(folder, last);
    } else {
        const ResolvedPath resolved = platform::ResolveDevicePath(fileName);
        WIN32_FIND_DATAW entry{};
        if (resolved.status != PathStatus::Exists) {
            SetLastError(platform::PathStatusError(resolved.status));
            return INVALID_HANDLE_VALUE;
        }
        const std::u16string stored = platform::Utf8ToUtf16(resolved.host.filename().string());
        if (!resolved.isRoot && MakeEntry(stored, resolved.host, entry)) {
            find->entries.push_back(entry);
        }
    }
    if (find->entries.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    *findData = find->entries[0];
    find->next = 1;
    HANDLE handle = platform::RegisterHandle(find);
    if (handle == nullptr) {
        SetLastError(ERROR_TOO_MANY_OPEN_FILES);
        return INVALID_HANDLE_VALUE;
    }
    SetLastError(ERROR_SUCCESS);
    return handle;
}

BOOL FindNextFileW(HANDLE findFile, LPWIN32_FIND_DATAW findData) {
    const auto find = platform::LookupHandleAs<FindObject>(findFile);
    if (!find || findData == nullptr) {
        return Fail(find ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    }
    if (find->next >= find->entries.size()) {
        return Fail(ERROR_NO_MORE_FILES);
    }
    *findData = find->entries[find->next++];
    return Succeed();
}

BOOL FindClose(HANDLE findFile) {
    if (!platform::LookupHandleAs<FindObject>(findFile)) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    return CloseHandle(findFile);
}
