#include "tools/install/installswap.h"

#include "tools/install/installlayout.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string_view>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace demoinstall {
namespace {

namespace fs = std::filesystem;

// A file descriptor closed when it goes.
class Descriptor {
public:
    explicit Descriptor(int fd)
        : m_fd(fd) {}
    ~Descriptor() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    [[nodiscard]] int Get() const { return m_fd; }
    [[nodiscard]] bool IsOpen() const { return m_fd >= 0; }

private:
    int m_fd;
};

// A folder opened as itself, never through a link at its last component.
int OpenFolder(const fs::path& path) {
    return ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

// The text of the mark of the folder open at `folder`: its device and inode.
std::string MarkText(int folder) {
    struct stat status {};
    if (::fstat(folder, &status) != 0)
        return "";
    return "installdemo " + std::to_string(status.st_dev) + " " + std::to_string(status.st_ino) +
           "\n";
}

bool IsWholeInstall(const fs::path& path) {
    std::error_code error;
    return fs::is_directory(fs::symlink_status(path, error)) && !fs::is_empty(path, error) &&
           IsReplaceable(path, true);
}

// Writes a file or folder through to the storage; a file system that cannot sync a folder is
// taken as writing its entries in order.
bool Sync(const fs::path& path, bool isFolder) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW |
                                            (isFolder ? O_DIRECTORY : O_NONBLOCK));
    if (fd < 0)
        return false;
    const bool isSynced = ::fsync(fd) == 0 || (isFolder && errno == EINVAL);
    ::close(fd);
    return isSynced;
}

// Every file and folder below `path` and the folder itself, through to the storage.
bool SyncTree(const fs::path& path) {
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(path, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        const fs::file_type type = it->symlink_status(error).type();
        if ((type == fs::file_type::regular || type == fs::file_type::directory) &&
            !Sync(it->path(), type == fs::file_type::directory))
            return false;
    }
    return !error && Sync(path, true);
}

// Removes the entries of the folder open at `folder` but the one named `kept`, the folders'
// entries first; a link is removed as the link. False when one is left.
bool RemoveEntries(int folder, std::string_view kept) {
    const int listed = ::dup(folder);
    DIR* const dir = listed >= 0 ? ::fdopendir(listed) : nullptr;
    if (dir == nullptr) {
        if (listed >= 0)
            ::close(listed);
        return false;
    }
    std::vector<std::pair<std::string, bool>> entries; // name, whether a folder
    bool isListed = true;
    errno = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == ".." || name == kept)
            continue;
        struct stat status {};
        if (::fstatat(folder, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0) {
            isListed = false;
            break;
        }
        entries.emplace_back(name, S_ISDIR(status.st_mode));
    }
    isListed = isListed && errno == 0;
    ::closedir(dir);
    if (!isListed)
        return false;
    for (const auto& [name, isFolder] : entries) {
        if (isFolder) {
            const Descriptor below(
                ::openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (!below.IsOpen() || !RemoveEntries(below.Get(), ""))
                return false;
        }
        if (::unlinkat(folder, name.c_str(), isFolder ? AT_REMOVEDIR : 0) != 0)
            return false;
    }
    return true;
}

// Removes the mark from a folder, through to the storage unless `isWrittenThrough` is false.
void RemoveMark(const fs::path& folder, bool isWrittenThrough) {
    const Descriptor fd(OpenFolder(folder));
    if (fd.IsOpen() && ::unlinkat(fd.Get(), kOwnFolderMark, 0) == 0 && isWrittenThrough)
        (void)::fsync(fd.Get());
}

} // namespace

InstallLock::~InstallLock() {
    if (m_fd >= 0)
        ::close(m_fd); // lets the lock go
}

std::string InstallLock::Take(const fs::path& output) {
    const fs::path file = fs::path(output).concat(".lock");
    std::error_code error;
    fs::create_directories(output.parent_path(), error);
    const int fd = ::open(file.c_str(),
                          O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644);
    if (fd < 0)
        return file.string() + ": the install's lock cannot be made: " + std::strerror(errno) +
               "; nothing was changed";
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        return file.string() + ": not the install's lock file; nothing was changed";
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int lockError = errno;
        ::close(fd);
        if (lockError == EWOULDBLOCK)
            return output.string() + ": another install into it is running (it holds " +
                   file.string() + "); let it end, then install again; nothing was changed";
        return file.string() + ": the install's lock cannot be taken: " + std::strerror(lockError) +
               "; nothing was changed";
    }
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = fd;
    return "";
}

std::string MarkOwnFolder(const fs::path& folder, bool isWrittenThrough) {
    const Descriptor fd(OpenFolder(folder));
    const std::string text = fd.IsOpen() ? MarkText(fd.Get()) : "";
    if (text.empty())
        return folder.string() + ": cannot be opened: " + std::strerror(errno);
    if (::unlinkat(fd.Get(), kOwnFolderMark, 0) != 0 && errno != ENOENT)
        return (folder / kOwnFolderMark).string() + ": " + std::strerror(errno);
    const Descriptor mark(::openat(fd.Get(), kOwnFolderMark,
                                   O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
    const bool isWritten = mark.IsOpen() && ::write(mark.Get(), text.data(), text.size()) ==
                                                static_cast<ssize_t>(text.size());
    if (!isWritten || (isWrittenThrough && (::fsync(mark.Get()) != 0 || ::fsync(fd.Get()) != 0)))
        return (folder / kOwnFolderMark).string() + ": cannot be written: " + std::strerror(errno);
    return "";
}

bool IsOwnFolder(const fs::path& folder) {
    const Descriptor fd(OpenFolder(folder));
    if (!fd.IsOpen())
        return false;
    const Descriptor mark(
        ::openat(fd.Get(), kOwnFolderMark, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat status {};
    if (!mark.IsOpen() || ::fstat(mark.Get(), &status) != 0 || !S_ISREG(status.st_mode))
        return false;
    char text[128];
    const ssize_t size = ::read(mark.Get(), text, sizeof text);
    const std::string expected = MarkText(fd.Get());
    return size > 0 && !expected.empty() &&
           std::string_view(text, static_cast<std::size_t>(size)) == expected;
}

bool IsReplaceable(const fs::path& path, bool isWhole) {
    std::error_code error;
    const fs::file_status status = fs::symlink_status(path, error);
    if (status.type() == fs::file_type::not_found)
        return true;
    if (!fs::is_directory(status))
        return false;
    if (fs::is_empty(path, error))
        return !error;
    if (!isWhole)
        return IsOwnFolder(path);
    return fs::is_directory(path / HostRelative(kDataFolder), error) &&
           fs::is_regular_file(fs::symlink_status(path / kProgramFile, error)) &&
           fs::is_regular_file(fs::symlink_status(path / kSettingsFile, error));
}

bool RemoveInstallFolder(const fs::path& path) {
    if (!IsThere(path))
        return true;
    std::error_code error;
    if (fs::is_directory(fs::symlink_status(path, error)) && fs::is_empty(path, error) && !error)
        return fs::remove(path, error) && !error;
    if (!IsOwnFolder(path))
        return false;
    {
        const Descriptor fd(OpenFolder(path));
        if (!fd.IsOpen() || !RemoveEntries(fd.Get(), kOwnFolderMark) ||
            ::unlinkat(fd.Get(), kOwnFolderMark, 0) != 0)
            return false;
    }
    return fs::remove(path, error) && !error;
}

std::string TakeBackPutAside(const fs::path& output, const fs::path& previous, std::ostream& log) {
    std::error_code error;
    const bool isThere = IsThere(output);
    if ((isThere &&
         !(fs::is_directory(fs::symlink_status(output, error)) && fs::is_empty(output, error))) ||
        !IsWholeInstall(previous) || !IsOwnFolder(previous))
        return "";
    if (isThere)
        fs::remove(output, error);
    if (!error)
        fs::rename(previous, output, error);
    if (error)
        return previous.string() +
               ": the earlier install put aside here cannot be taken back: " + error.message();
    RemoveMark(output, true);
    (void)Sync(output.parent_path(), true);
    log << "installdemo: " << output.string() << " was missing and " << previous.string()
        << " held the earlier install, put aside by an install cut short; it is taken back\n";
    return "";
}

std::string SwapIntoPlace(const fs::path& staging, const fs::path& output, const fs::path& previous,
                          bool isWrittenThrough) {
    const fs::path parent = output.parent_path();
    if (isWrittenThrough && (!SyncTree(staging) || !Sync(parent, true)))
        return staging.string() + ": cannot be written through to the storage";
    std::error_code error;
    if (!IsThere(output)) {
        fs::rename(staging, output, error);
        if (error)
            return output.string() + ": " + error.message();
        RemoveMark(output, isWrittenThrough);
        (void)Sync(parent, true);
        return "";
    }
    // Marked, the earlier install is known as the installer's own wherever a crash leaves it.
    if (std::string problem = MarkOwnFolder(output, isWrittenThrough); !problem.empty())
        return problem;
    if (::renameat2(AT_FDCWD, staging.c_str(), AT_FDCWD, output.c_str(), RENAME_EXCHANGE) == 0) {
        RemoveMark(output, isWrittenThrough);
        (void)Sync(parent, true);
        // The staging folder holds the earlier install now, whose user's files the new one took.
        (void)RemoveInstallFolder(staging);
        return "";
    }
    const int exchangeError = errno;
    if (exchangeError != EINVAL && exchangeError != ENOSYS && exchangeError != EOPNOTSUPP) {
        RemoveMark(output, isWrittenThrough);
        return output.string() + ": " + std::strerror(exchangeError);
    }
    // Two renames. Cut short between them, the next install takes the earlier one back.
    if (!RemoveInstallFolder(previous)) {
        RemoveMark(output, isWrittenThrough);
        return previous.string() + ": cannot be removed";
    }
    fs::rename(output, previous, error);
    if (!error)
        fs::rename(staging, output, error);
    if (error) {
        std::error_code ignored;
        if (!IsThere(output))
            fs::rename(previous, output, ignored);
        RemoveMark(output, isWrittenThrough);
        return output.string() + ": " + error.message();
    }
    RemoveMark(output, isWrittenThrough);
    (void)Sync(parent, true);
    (void)RemoveInstallFolder(previous);
    return "";
}

} // namespace demoinstall
