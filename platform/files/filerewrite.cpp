#include "platform/files/filerewrite.h"

#include "platform/files/detail/fileshare.h"
#include "platform/files/errors.h"
#include "platform/files/paths.h"
#include "platform/kernel/codepage.h"
#include "platform/kernel/time.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace platform {
namespace {

// How long a rewrite waits for the writer that holds its folder's lock. Rewrites of settings
// files take milliseconds; a writer that holds the lock longer is stuck.
constexpr auto kLockWait = std::chrono::seconds(10);
constexpr auto kLongestLockPause = std::chrono::milliseconds(2);
// Symbolic links followed to the real file, as the host's own limit.
constexpr int kMostLinks = 40;
// Tries so many temporary names before a rewrite gives up.
constexpr unsigned kTemporaryNameTries = 64;

std::atomic<bool>& UnnamedFilesAllowed() {
    static std::atomic<bool> isAllowed{true};
    return isAllowed;
}

// The file a host path really names: its symbolic links followed, also to a file that does not
// exist yet, in a folder named without links. An errno value on failure.
int RealFile(std::filesystem::path path, std::filesystem::path& real) {
    for (int links = 0;; ++links) {
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0) {
            if (errno != ENOENT) {
                return errno;
            }
            break;
        }
        if (!S_ISLNK(info.st_mode)) {
            break;
        }
        if (links == kMostLinks) {
            return ELOOP;
        }
        std::error_code error;
        const std::filesystem::path link = std::filesystem::read_symlink(path, error);
        if (error) {
            return error.value();
        }
        path = link.is_absolute() ? link : path.parent_path() / link;
    }
    const std::filesystem::path name = path.filename();
    if (name.empty() || name == "." || name == "..") {
        return EISDIR;
    }
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::canonical(path.parent_path(), error);
    if (error) {
        return error.value();
    }
    real = folder / name;
    return 0;
}

// Takes the exclusive lock of an open folder, waiting kLockWait at most. Waits in short pauses
// rather than in the host call, so that a stuck writer cannot stop this one for ever.
bool LockFolder(int folder) {
    const auto deadline = std::chrono::steady_clock::now() + kLockWait;
    auto pause = std::chrono::microseconds(50);
    for (;;) {
        if (::flock(folder, LOCK_EX | LOCK_NB) == 0) {
            return true;
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno != EWOULDBLOCK || std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(pause);
        pause = std::min<std::chrono::microseconds>(pause * 2, kLongestLockPause);
    }
}

// Seconds since 1970-01-01 of the local time, cut to 20 bits, for temporary file names.
DWORD LocalSecondsStamp() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    FILETIME fileTime{};
    if (!SystemTimeToFileTime(&now, &fileTime)) {
        return 0;
    }
    const std::uint64_t value = FileTimeValue(fileTime);
    const std::uint64_t seconds =
        value >= kFileTimeOf1970 ? (value - kFileTimeOf1970) / 10000000 : 0;
    return static_cast<DWORD>(seconds & 0xFFFFF);
}

// prefix, the stamp as "%5X" (upper-case hexadecimal, padded with blanks to five) and ".tmp".
std::string TemporaryName(const std::string& prefix, DWORD stamp) {
    char digits[8];
    (void)std::snprintf(digits, sizeof digits, "%5X", static_cast<unsigned>(stamp & 0xFFFFF));
    return prefix + digits + ".tmp";
}

} // namespace

mode_t KeptMode(const struct stat& old, const struct stat& made) {
    mode_t mode = old.st_mode & 07777;
    if (made.st_uid != old.st_uid) {
        mode &= ~S_ISUID;
    }
    if (made.st_gid != old.st_gid) {
        const mode_t everybody = (mode & S_IRWXO) << 3;
        mode &= ~(S_ISGID | (S_IRWXG & ~everybody));
    }
    return mode;
}

FileRewrite::FileRewrite(std::u16string_view devicePath, std::u16string_view temporaryPrefix)
    : m_prefix(Utf16ToUtf8(temporaryPrefix)) {
    const ResolvedPath resolved = ResolveDevicePath(devicePath);
    if (resolved.status != PathStatus::Exists && resolved.status != PathStatus::MissingLeaf) {
        m_error = PathStatusError(resolved.status);
        return;
    }
    if (resolved.isRoot) {
        m_error = ERROR_ACCESS_DENIED;
        return;
    }
    if (const int error = RealFile(resolved.host, m_target); error != 0) {
        m_error = detail::ErrorFromErrno(error);
        return;
    }
    m_folder = ::open(m_target.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_folder < 0 && errno == EACCES) {
        // A folder this process may write but not read: it can be neither locked nor written
        // through to the storage, and its files cannot be listed to find leftovers, but the
        // rewrite itself needs none of that.
        m_folder = ::open(m_target.parent_path().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (m_folder < 0) {
            m_error = detail::ErrorFromErrno(errno);
        }
        return;
    }
    if (m_folder < 0) {
        m_error = detail::ErrorFromErrno(errno);
        return;
    }
    if (!LockFolder(m_folder)) {
        m_error = ERROR_SHARING_VIOLATION;
        ::close(m_folder);
        m_folder = -1;
        return;
    }
    RemoveLeftovers();
}

FileRewrite::~FileRewrite() {
    Discard();
    if (m_folder >= 0) {
        ::close(m_folder); // releases the lock
    }
}

bool FileRewrite::IsLeftoverName(std::string_view name) const {
    constexpr std::string_view kEnd = ".tmp";
    constexpr std::size_t kDigits = 5;
    if (name.size() != m_prefix.size() + kDigits + kEnd.size() || !name.starts_with(m_prefix) ||
        !name.ends_with(kEnd)) {
        return false;
    }
    const std::string_view digits = name.substr(m_prefix.size(), kDigits);
    return std::all_of(digits.begin(), digits.end(), [](char c) {
        return c == ' ' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
    });
}

// A temporary file of this naming that no live rewrite holds locked was left by a rewrite that
// ended before its commit. The folder's lock keeps other rewrites from making new ones meanwhile.
void FileRewrite::RemoveLeftovers() {
    for (const std::string& name : detail::HostFolderEntries(m_target.parent_path())) {
        if (!IsLeftoverName(name)) {
            continue;
        }
        const int file =
            ::openat(m_folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (file < 0) {
            continue;
        }
        struct stat opened {};
        struct stat named {};
        if (::fstat(file, &opened) == 0 && S_ISREG(opened.st_mode) &&
            ::flock(file, LOCK_EX | LOCK_NB) == 0 &&
            detail::MayRemoveFile({opened.st_dev, opened.st_ino}) &&
            ::fstatat(m_folder, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
            named.st_dev == opened.st_dev && named.st_ino == opened.st_ino) {
            (void)::unlinkat(m_folder, name.c_str(), 0);
        }
        ::close(file);
    }
}

DWORD FileRewrite::Create() {
    if (m_error != ERROR_SUCCESS) {
        return m_error;
    }
    if (m_temporary >= 0) {
        return ERROR_ALREADY_EXISTS;
    }
    // A file that replaces another starts private and takes the old one's mode at the commit.
    struct stat old {};
    const mode_t mode =
        ::stat(m_target.c_str(), &old) == 0 && S_ISREG(old.st_mode) ? S_IRUSR | S_IWUSR : 0666;
    // An unnamed file needs /proc to be linked in by its descriptor.
    if (UnnamedFilesAllowed().load() && ::access("/proc/self/fd", X_OK) == 0) {
        m_temporary = ::openat(m_folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
    }
    if (m_temporary < 0) {
        const DWORD stamp = LocalSecondsStamp();
        for (unsigned attempt = 0; attempt < kTemporaryNameTries && m_temporary < 0; ++attempt) {
            std::string name = TemporaryName(m_prefix, stamp + attempt);
            m_temporary = ::openat(m_folder, name.c_str(),
                                   O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
            if (m_temporary >= 0) {
                m_temporaryName = std::move(name);
            } else if (errno != EEXIST) {
                return detail::ErrorFromErrno(errno);
            }
        }
        if (m_temporary < 0) {
            return ERROR_FILE_EXISTS;
        }
    }
    // Held until the file is committed or discarded: a named temporary file that is locked
    // belongs to a live rewrite.
    (void)::flock(m_temporary, LOCK_EX | LOCK_NB);
    return ERROR_SUCCESS;
}

DWORD FileRewrite::Write(const void* bytes, std::size_t count) {
    if (m_temporary < 0) {
        return ERROR_INVALID_HANDLE;
    }
    const auto* at = static_cast<const char*>(bytes);
    while (count > 0) {
        const ssize_t put = ::write(m_temporary, at, count);
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            return put < 0 && (errno == ENOSPC || errno == EDQUOT) ? ERROR_DISK_FULL
                                                                   : ERROR_WRITE_FAULT;
        }
        at += put;
        count -= static_cast<std::size_t>(put);
    }
    return ERROR_SUCCESS;
}

// Gives the unnamed temporary file a name of the temporary naming.
DWORD FileRewrite::Link(std::string& name) {
    const std::string self = "/proc/self/fd/" + std::to_string(m_temporary);
    const DWORD stamp = LocalSecondsStamp();
    for (unsigned attempt = 0; attempt < kTemporaryNameTries; ++attempt) {
        std::string candidate = TemporaryName(m_prefix, stamp + attempt);
        if (::linkat(AT_FDCWD, self.c_str(), m_folder, candidate.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            name = std::move(candidate);
            return ERROR_SUCCESS;
        }
        if (errno != EEXIST) {
            return detail::ErrorFromErrno(errno);
        }
    }
    return ERROR_FILE_EXISTS;
}

DWORD FileRewrite::Commit() {
    if (m_temporary < 0) {
        return ERROR_INVALID_HANDLE;
    }
    // The old file's owner, group and mode, each as far as the host lets this process give it;
    // a file that stays private is no loss.
    struct stat old {};
    struct stat made {};
    if (::stat(m_target.c_str(), &old) == 0 && S_ISREG(old.st_mode) &&
        ::fstat(m_temporary, &made) == 0) {
        if (made.st_uid != old.st_uid) {
            (void)::fchown(m_temporary, old.st_uid, static_cast<gid_t>(-1));
        }
        if (made.st_gid != old.st_gid) {
            (void)::fchown(m_temporary, static_cast<uid_t>(-1), old.st_gid);
        }
        if (::fstat(m_temporary, &made) == 0) {
            (void)::fchmod(m_temporary, KeptMode(old, made));
        }
    }
    DWORD error = ::fsync(m_temporary) == 0 ? ERROR_SUCCESS : ERROR_WRITE_FAULT;
    if (error == ERROR_SUCCESS && m_temporaryName.empty()) {
        error = Link(m_temporaryName);
    }
    if (error == ERROR_SUCCESS &&
        ::renameat(m_folder, m_temporaryName.c_str(), m_folder, m_target.filename().c_str()) != 0) {
        error = detail::ErrorFromErrno(errno);
    }
    if (error != ERROR_SUCCESS) {
        Discard();
        return error;
    }
    m_temporaryName.clear(); // the name is the file's now
    (void)::fsync(m_folder); // the new entry survives a power loss
    ::close(m_temporary);
    m_temporary = -1;
    return ERROR_SUCCESS;
}

void FileRewrite::Discard() {
    if (!m_temporaryName.empty()) {
        (void)::unlinkat(m_folder, m_temporaryName.c_str(), 0);
        m_temporaryName.clear();
    }
    if (m_temporary >= 0) {
        ::close(m_temporary);
        m_temporary = -1;
    }
}

void FileRewrite::AllowUnnamedFiles(bool isAllowed) {
    UnnamedFilesAllowed().store(isAllowed);
}

} // namespace platform
