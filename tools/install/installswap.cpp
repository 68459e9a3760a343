#include "tools/install/installswap.h"

#include "tools/install/installlayout.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <string_view>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace demoinstall {
namespace {

namespace fs = std::filesystem;

// The installer reads and copies files in blocks of this size.
constexpr std::size_t kReadBlockBytes = std::size_t{1} << 16;

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

// The first line of the mark of the folder open at `folder`: its device and inode.
std::string MarkText(int folder) {
    struct stat status {};
    if (::fstat(folder, &status) != 0)
        return "";
    return "installdemo " + std::to_string(status.st_dev) + " " + std::to_string(status.st_ino) +
           "\n";
}

// A mark's line keeping the mode of an install's root: "root <inode> <mode in octal>".
constexpr std::string_view kRootModeWord = "root ";
std::string RootModeLine(const RootMode& root) {
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(root.mode & 07777));
    return std::string(kRootModeWord) + std::to_string(root.inode) + " " + mode + "\n";
}

// The root modes a mark's text keeps, after its first line; lines that do not read are passed over.
std::vector<RootMode> RootModesOf(std::string_view text) {
    std::vector<RootMode> modes;
    for (std::size_t at = text.find('\n'); at != std::string_view::npos && at + 1 < text.size();) {
        const std::size_t end = std::min(text.find('\n', at + 1), text.size());
        const std::string_view line = text.substr(at + 1, end - at - 1);
        at = end < text.size() ? end : std::string_view::npos;
        const std::size_t space = line.rfind(' ');
        if (!line.starts_with(kRootModeWord) || space <= kRootModeWord.size())
            continue;
        const std::string_view inode =
            line.substr(kRootModeWord.size(), space - kRootModeWord.size());
        const std::string_view mode = line.substr(space + 1);
        RootMode root;
        unsigned bits = 0;
        if (std::from_chars(inode.data(), inode.data() + inode.size(), root.inode).ptr ==
                inode.data() + inode.size() &&
            std::from_chars(mode.data(), mode.data() + mode.size(), bits, 8).ptr ==
                mode.data() + mode.size() &&
            bits <= 07777) {
            root.mode = static_cast<mode_t>(bits);
            modes.push_back(root);
        }
    }
    return modes;
}

// The text of the mark of a folder (not a link) that bears the mark written into it, not into
// another folder; nullopt for any other.
std::optional<std::string> OwnMarkText(const fs::path& folder) {
    const Descriptor fd(OpenFolder(folder));
    if (!fd.IsOpen())
        return std::nullopt;
    const Descriptor mark(
        ::openat(fd.Get(), kOwnFolderMark, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat status {};
    if (!mark.IsOpen() || ::fstat(mark.Get(), &status) != 0 || !S_ISREG(status.st_mode))
        return std::nullopt;
    char text[512];
    const ssize_t size = ::read(mark.Get(), text, sizeof text);
    const std::string expected = MarkText(fd.Get());
    if (size <= 0 || expected.empty() ||
        !std::string_view(text, static_cast<std::size_t>(size)).starts_with(expected))
        return std::nullopt;
    return std::string(text, static_cast<std::size_t>(size));
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

// Gives the owner of the folder open at `folder` the permissions that removing inside it needs
// (reading, searching, writing), where it lacks them; a folder of another owner is left as it is.
void GiveOwnerAccess(int folder) {
    struct stat status {};
    if (::fstat(folder, &status) == 0 && (status.st_mode & S_IRWXU) != S_IRWXU &&
        status.st_uid == ::geteuid())
        (void)::fchmod(folder, (status.st_mode & 07777) | S_IRWXU);
}

// Opens the folder `name` in the folder open at `parent`, never through a link; one its owner
// may not read is given the permission first. -1 with errno when it cannot be opened.
int OpenFolderIn(int parent, const char* name) {
    constexpr int kFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    int fd = ::openat(parent, name, kFlags);
    if (fd >= 0 || errno != EACCES)
        return fd;
    // Changed through a handle on the folder itself, so that a link put in its place meanwhile
    // is never followed.
    const Descriptor path(::openat(parent, name, O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat status {};
    if (!path.IsOpen() || ::fstat(path.Get(), &status) != 0 || status.st_uid != ::geteuid())
        return errno = EACCES, -1;
    const std::string handle = "/proc/self/fd/" + std::to_string(path.Get());
    if (::chmod(handle.c_str(), (status.st_mode & 07777) | S_IRWXU) != 0)
        return errno = EACCES, -1;
    return ::openat(parent, name, kFlags);
}

// The device of the file system a folder (not a link) lies on.
std::optional<dev_t> DeviceOf(const fs::path& path) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0)
        return std::nullopt;
    return status.st_dev;
}

// Whether the entry `name` of the folder open at `parent` (a link not followed) is a folder on
// another file system than `device`, or one where a mount begins.
bool IsMountedIn(int parent, const char* name, dev_t device) {
    struct statx status {};
    if (::statx(parent, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_TYPE, &status) != 0 ||
        !S_ISDIR(status.stx_mode))
        return false;
    return makedev(status.stx_dev_major, status.stx_dev_minor) != device ||
           (status.stx_attributes_mask & status.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
}

// Removes the entries of the folder open at `folder` (at `path`) but the one named `kept`, the
// folders' entries first, giving itself the permissions it needs in each; a link is removed as the
// link, and a folder on another file system than `device` is never entered. Goes on past what it
// cannot remove: each entry left is named with why in `left`. Whether nothing but `kept` is left.
bool RemoveEntries(int folder, const fs::path& path, std::string_view kept, dev_t device,
                   std::vector<std::string>& left) {
    GiveOwnerAccess(folder);
    const int listed = ::dup(folder);
    DIR* const dir = listed >= 0 ? ::fdopendir(listed) : nullptr;
    if (dir == nullptr) {
        left.push_back(Failed(path, "cannot be read"));
        if (listed >= 0)
            ::close(listed);
        return false;
    }
    std::vector<std::string> names;
    errno = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != ".." && name != kept)
            names.emplace_back(name);
        errno = 0;
    }
    const bool isListed = errno == 0;
    if (!isListed)
        left.push_back(Failed(path, "cannot be read"));
    ::closedir(dir);
    // In order, so that what is left is named alike at every try.
    std::sort(names.begin(), names.end());
    bool isEmptied = isListed;
    for (const std::string& name : names) {
        struct stat status {};
        if (::fstatat(folder, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
            left.push_back(Failed(path / name, "cannot be read"));
            isEmptied = false;
            continue;
        }
        const bool isFolder = S_ISDIR(status.st_mode);
        if (isFolder && IsMountedIn(folder, name.c_str(), device)) {
            left.push_back((path / name).string() + kMountedHere);
            isEmptied = false;
            continue;
        }
        if (isFolder) {
            const Descriptor below(OpenFolderIn(folder, name.c_str()));
            if (!below.IsOpen()) {
                left.push_back(Failed(path / name, "cannot be opened"));
                isEmptied = false;
                continue;
            }
            if (!RemoveEntries(below.Get(), path / name, "", device, left)) {
                isEmptied = false;
                continue;
            }
        }
        if (::unlinkat(folder, name.c_str(), isFolder ? AT_REMOVEDIR : 0) != 0) {
            left.push_back(Failed(path / name, "cannot be removed"));
            isEmptied = false;
        }
    }
    return isEmptied;
}

// Removes the mark from a folder, through to the storage unless `isWrittenThrough` is false.
void RemoveMark(const fs::path& folder, bool isWrittenThrough) {
    const Descriptor fd(OpenFolder(folder));
    if (fd.IsOpen() && ::unlinkat(fd.Get(), kOwnFolderMark, 0) == 0 && isWrittenThrough)
        (void)::fsync(fd.Get());
}

} // namespace

std::string Failed(const fs::path& path, const char* what) {
    return path.string() + ": " + what + ": " + std::strerror(errno);
}

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

std::string MarkOwnFolder(const fs::path& folder, bool isWrittenThrough,
                          const std::vector<RootMode>& rootModes, const StepReached& reached) {
    const Descriptor fd(OpenFolder(folder));
    std::string text = fd.IsOpen() ? MarkText(fd.Get()) : "";
    if (text.empty())
        return Failed(folder, "cannot be opened");
    for (const RootMode& root : rootModes)
        text += RootModeLine(root);
    // Written whole under another name first, the mark counts only once it is renamed; the rename
    // replaces the earlier mark in one step, which stays until then.
    if (::unlinkat(fd.Get(), kOwnFolderMarkPart, 0) != 0 && errno != ENOENT)
        return Failed(folder / kOwnFolderMarkPart, "cannot be removed");
    if (reached)
        reached(kStepMarking);
    const auto failed = [&](const char* name) {
        std::string problem = Failed(folder / name, "cannot be written");
        (void)::unlinkat(fd.Get(), kOwnFolderMarkPart, 0);
        return problem;
    };
    {
        const Descriptor mark(::openat(fd.Get(), kOwnFolderMarkPart,
                                       O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
        const bool isWritten = mark.IsOpen() && ::write(mark.Get(), text.data(), text.size()) ==
                                                    static_cast<ssize_t>(text.size());
        if (!isWritten || (isWrittenThrough && ::fsync(mark.Get()) != 0))
            return failed(kOwnFolderMarkPart);
    }
    if (reached)
        reached(kStepMarkWritten);
    if (::renameat(fd.Get(), kOwnFolderMarkPart, fd.Get(), kOwnFolderMark) != 0)
        return failed(kOwnFolderMark);
    if (isWrittenThrough && ::fsync(fd.Get()) != 0)
        return Failed(folder / kOwnFolderMark, "cannot be written");
    return "";
}

bool IsOwnFolder(const fs::path& folder) {
    return OwnMarkText(folder).has_value();
}

// Whether a folder holds nothing but a mark not yet written whole (an install cut short while it
// marked the folder it had just made).
bool HoldsOnlyAPartMark(const fs::path& path) {
    std::error_code error;
    fs::directory_iterator it(path, error);
    if (error || it == fs::directory_iterator() || it->path().filename() != kOwnFolderMarkPart ||
        !it->is_regular_file(error) || it->is_symlink(error))
        return false;
    it.increment(error);
    return !error && it == fs::directory_iterator();
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
        return IsOwnFolder(path) || HoldsOnlyAPartMark(path);
    return fs::is_directory(path / HostRelative(kDataFolder), error) &&
           fs::is_regular_file(fs::symlink_status(path / kProgramFile, error)) &&
           fs::is_regular_file(fs::symlink_status(path / kSettingsFile, error));
}

bool IsMountPoint(const fs::path& path) {
    struct statx at {};
    if (::statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_TYPE, &at) !=
            0 ||
        !S_ISDIR(at.stx_mode))
        return false;
    const fs::path normal = path.lexically_normal();
    if (normal == normal.root_path() ||
        (at.stx_attributes_mask & at.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0)
        return true;
    const std::optional<dev_t> parent = DeviceOf(normal.parent_path());
    return parent && makedev(at.stx_dev_major, at.stx_dev_minor) != *parent;
}

bool IsOnAnotherFileSystem(const fs::path& path, dev_t device) {
    return IsMountedIn(AT_FDCWD, path.c_str(), device);
}

std::vector<fs::path> MountPointsBelow(const fs::path& root, std::optional<dev_t> device,
                                       std::string* unread, fs::path* unreadFolder) {
    std::vector<fs::path> found;
    if (unread != nullptr)
        unread->clear();
    if (unreadFolder != nullptr)
        unreadFolder->clear();
    if (!device)
        device = DeviceOf(root);
    std::error_code error;
    if (!device || !fs::is_directory(fs::symlink_status(root, error)))
        return found;
    std::map<fs::path, std::string> unreadFolders;
    for (std::vector<fs::path> folders = {root}; !folders.empty();) {
        const fs::path folder = folders.back();
        folders.pop_back();
        for (auto it = fs::directory_iterator(folder, error);
             !error && it != fs::directory_iterator(); it.increment(error)) {
            const fs::file_type type = it->symlink_status(error).type();
            if (error)
                break;
            if (type != fs::file_type::directory)
                continue;
            if (IsOnAnotherFileSystem(it->path(), *device))
                found.push_back(it->path());
            else
                folders.push_back(it->path());
        }
        if (error)
            unreadFolders[folder] = folder.string() + ": cannot be read: " + error.message();
        error.clear();
    }
    std::sort(found.begin(), found.end());
    if (unread != nullptr && !unreadFolders.empty())
        *unread = unreadFolders.begin()->second;
    if (unreadFolder != nullptr && !unreadFolders.empty())
        *unreadFolder = unreadFolders.begin()->first;
    return found;
}

std::string RemoveInstallFolder(const fs::path& path, std::optional<dev_t> device) {
    if (!IsThere(path))
        return "";
    std::error_code error;
    const bool isEmpty =
        fs::is_directory(fs::symlink_status(path, error)) && fs::is_empty(path, error) && !error;
    if (!isEmpty && !IsOwnFolder(path) && !HoldsOnlyAPartMark(path))
        return path.string() + ": not a folder the installer made";
    if (IsMountPoint(path))
        return path.string() + kMountedHere;
    {
        const Descriptor fd(OpenFolder(path));
        struct stat status {};
        if (!fd.IsOpen() || ::fstat(fd.Get(), &status) != 0)
            return Failed(path, "cannot be opened");
        std::vector<std::string> left;
        if (!RemoveEntries(fd.Get(), path, kOwnFolderMark, device.value_or(status.st_dev), left)) {
            std::string words;
            for (const std::string& entry : left)
                words += (words.empty() ? "" : "; ") + entry;
            return words;
        }
        if (::unlinkat(fd.Get(), kOwnFolderMark, 0) != 0 && errno != ENOENT)
            return Failed(path / kOwnFolderMark, "cannot be removed");
    }
    if (::rmdir(path.c_str()) != 0)
        return Failed(path, "cannot be removed");
    return "";
}

fs::path LeftoverPath(const fs::path& output, const fs::path& folder) {
    struct stat status {};
    const std::string inode =
        ::lstat(folder.c_str(), &status) == 0 ? std::to_string(status.st_ino) : "0";
    return fs::path(output).concat(std::string(kLeftoverInfix) + inode);
}

std::vector<fs::path> Leftovers(const fs::path& output) {
    std::vector<fs::path> found;
    const std::string prefix = output.filename().string() + kLeftoverInfix;
    std::error_code error;
    for (auto it = fs::directory_iterator(output.parent_path(), error);
         !error && it != fs::directory_iterator(); it.increment(error)) {
        if (it->path().filename().string().starts_with(prefix) && !it->is_symlink(error) &&
            it->is_directory(error) && IsOwnFolder(it->path()))
            found.push_back(it->path());
    }
    std::sort(found.begin(), found.end());
    return found;
}

std::string PutOutOfTheWay(const fs::path& folder, const fs::path& output, fs::path& leftover) {
    const fs::path first = LeftoverPath(output, folder);
    // A name an entry of someone else's holds is passed over for the next, so that no name stops
    // the install for good; a bound only keeps a file system that says every name is taken from
    // keeping the install here.
    constexpr int kNames = 10000;
    for (int number = 1; number <= kNames; ++number) {
        leftover = number == 1 ? first : fs::path(first).concat("-" + std::to_string(number));
        // Without replacing: a plain rename would replace an empty folder someone made at that
        // name since it was looked at. A file system without the flag gets the check and the
        // rename.
        int error =
            ::renameat2(AT_FDCWD, folder.c_str(), AT_FDCWD, leftover.c_str(), RENAME_NOREPLACE) == 0
                ? 0
                : errno;
        if (error == EINVAL) {
            if (IsThere(leftover))
                continue;
            error = ::rename(folder.c_str(), leftover.c_str()) == 0 ? 0 : errno;
        }
        if (error == EEXIST || error == ENOTEMPTY)
            continue;
        if (error != 0) {
            errno = error;
            return Failed(folder, "cannot be moved out of the way");
        }
        return "";
    }
    return folder.string() + ": cannot be moved out of the way: " + first.string() + " and the " +
           std::to_string(kNames - 1) + " names after it are taken";
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

void RestoreRootMode(const fs::path& output, std::initializer_list<fs::path> marked,
                     std::ostream& log) {
    struct stat root {};
    if (::lstat(output.c_str(), &root) != 0 || !S_ISDIR(root.st_mode))
        return;
    std::vector<fs::path> folders = {output};
    folders.insert(folders.end(), marked.begin(), marked.end());
    for (const fs::path& folder : folders) {
        const std::optional<std::string> text = OwnMarkText(folder);
        for (const RootMode& kept : text ? RootModesOf(*text) : std::vector<RootMode>()) {
            if (kept.inode != root.st_ino)
                continue;
            if ((root.st_mode & 07777) != kept.mode && ::chmod(output.c_str(), kept.mode) == 0)
                log << "installdemo: " << output.string()
                    << ": an install cut short left its root open; its mode is given back\n";
            return;
        }
    }
}

std::string SwapIntoPlace(const fs::path& staging, const fs::path& output, const fs::path& previous,
                          bool isWrittenThrough, std::optional<mode_t> rootMode,
                          const StepReached& reached) {
    const auto tell = [&](const char* step) {
        if (reached)
            reached(step);
    };
    const auto giveRootMode = [&] {
        RemoveMark(output, isWrittenThrough);
        tell(kStepUnmarked);
        if (rootMode && ::chmod(output.c_str(), *rootMode & 07777) == 0)
            tell(kStepModeGiven);
        (void)Sync(output.parent_path(), true);
    };
    const fs::path parent = output.parent_path();
    if (isWrittenThrough && (!SyncTree(staging) || !Sync(parent, true)))
        return staging.string() + ": cannot be written through to the storage";
    std::error_code error;
    if (!IsThere(output)) {
        fs::rename(staging, output, error);
        if (error)
            return output.string() + ": " + error.message();
        tell(kStepInPlace);
        giveRootMode();
        return "";
    }
    // The modes the roots are to have, kept in both marks while a root's own is another: the
    // earlier root's while it is opened for its mark, and the new root's until it gets it. Wherever
    // a kill stops the swap, the next install finds them in a mark beside or at the output.
    struct stat earlier {};
    struct stat made {};
    if (::lstat(output.c_str(), &earlier) != 0 || ::lstat(staging.c_str(), &made) != 0)
        return Failed(output, "cannot be read");
    const bool isToOpen = (earlier.st_mode & S_IRWXU) != S_IRWXU;
    std::vector<RootMode> rootModes;
    if (isToOpen)
        rootModes.push_back({earlier.st_ino, static_cast<mode_t>(earlier.st_mode & 07777)});
    if (rootMode && (made.st_mode & 07777) != (*rootMode & 07777))
        rootModes.push_back({made.st_ino, static_cast<mode_t>(*rootMode & 07777)});
    if (!rootModes.empty()) {
        if (std::string problem = MarkOwnFolder(staging, isWrittenThrough, rootModes, reached);
            !problem.empty())
            return problem;
        tell(kStepNewMarked);
    }
    // Marked, the earlier install is known as the installer's own wherever a crash leaves it; a
    // root its owner may not write is given the permission for the mark, and back on failure.
    const bool isOpened =
        isToOpen && ::chmod(output.c_str(), (earlier.st_mode & 07777) | S_IRWXU) == 0;
    if (isOpened)
        tell(kStepRootOpened);
    const auto unmark = [&] {
        RemoveMark(output, isWrittenThrough);
        if (isOpened)
            (void)::chmod(output.c_str(), earlier.st_mode & 07777);
    };
    if (std::string problem = MarkOwnFolder(output, isWrittenThrough, rootModes, reached);
        !problem.empty()) {
        unmark();
        return problem;
    }
    tell(kStepEarlierMarked);
    if (::renameat2(AT_FDCWD, staging.c_str(), AT_FDCWD, output.c_str(), RENAME_EXCHANGE) == 0) {
        tell(kStepInPlace);
        giveRootMode();
        return "";
    }
    const int exchangeError = errno;
    if (exchangeError != EINVAL && exchangeError != ENOSYS && exchangeError != EOPNOTSUPP) {
        unmark();
        return output.string() + ": " + std::strerror(exchangeError);
    }
    // Two renames. Cut short between them, the next install takes the earlier one back.
    if (std::string left = RemoveInstallFolder(previous); !left.empty()) {
        unmark();
        return left;
    }
    fs::rename(output, previous, error);
    if (!error) {
        tell(kStepPutAside);
        fs::rename(staging, output, error);
    }
    if (error) {
        std::error_code ignored;
        if (!IsThere(output))
            fs::rename(previous, output, ignored);
        unmark();
        return output.string() + ": " + error.message();
    }
    tell(kStepInPlace);
    giveRootMode();
    return "";
}

std::string KindOfEntry(unsigned mode) {
    switch (mode & S_IFMT) {
    case S_IFREG:
        return "a file";
    case S_IFDIR:
        return "a folder";
    case S_IFLNK:
        return "a link";
    case S_IFIFO:
        return "a FIFO";
    case S_IFSOCK:
        return "a socket";
    case S_IFCHR:
    case S_IFBLK:
        return "a device";
    default:
        return "neither a file, a folder nor a link";
    }
}

FileRead ReadRegularFileInBlocks(const fs::path& path,
                                 const std::function<void(std::string_view)>& take) {
    FileRead file;
    // Looked at first, so that a device is never opened; checked again once open.
    struct stat first {};
    if (::lstat(path.c_str(), &first) == 0 && !S_ISREG(first.st_mode))
        return {true, std::nullopt, "not a regular file but " + KindOfEntry(first.st_mode)};
    const Descriptor fd(
        ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC));
    struct stat status {};
    if (!fd.IsOpen()) {
        file.isThere = errno != ENOENT && errno != ENOTDIR;
        if (::lstat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode))
            file.problem = "not a regular file but " + KindOfEntry(status.st_mode);
        else if (file.isThere)
            file.problem = std::string("cannot be read: ") + std::strerror(errno);
        return file;
    }
    file.isThere = true;
    if (::fstat(fd.Get(), &status) != 0) {
        file.problem = std::string("cannot be read: ") + std::strerror(errno);
        return file;
    }
    if (!S_ISREG(status.st_mode)) {
        file.problem = "not a regular file but " + KindOfEntry(status.st_mode);
        return file;
    }
    char block[kReadBlockBytes];
    while (true) {
        const ssize_t got = ::read(fd.Get(), block, sizeof block);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            file.problem = std::string("cannot be read: ") + std::strerror(errno);
            return file;
        }
        if (got == 0)
            return file;
        take(std::string_view(block, static_cast<std::size_t>(got)));
    }
}

FileRead ReadRegularFile(const fs::path& path) {
    std::string bytes;
    FileRead file = ReadRegularFileInBlocks(path, [&](std::string_view block) { bytes += block; });
    if (file.isThere && file.problem.empty())
        file.bytes = std::move(bytes);
    return file;
}

std::error_code CopyRegularFile(const fs::path& from, const fs::path& to) {
    const auto failed = [] { return std::error_code(errno, std::generic_category()); };
    const Descriptor source(
        ::open(from.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC));
    struct stat status {};
    if (!source.IsOpen() || ::fstat(source.Get(), &status) != 0)
        return failed();
    if (!S_ISREG(status.st_mode))
        return std::make_error_code(std::errc::not_supported);
    const Descriptor target(::open(
        to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, status.st_mode & 07777));
    if (!target.IsOpen() || ::fchmod(target.Get(), status.st_mode & 07777) != 0)
        return failed();
    std::string block(kReadBlockBytes, '\0');
    while (true) {
        const ssize_t got = ::read(source.Get(), block.data(), block.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return got == 0 ? std::error_code() : failed();
        for (ssize_t at = 0; at < got;) {
            const ssize_t put =
                ::write(target.Get(), block.data() + at, static_cast<std::size_t>(got - at));
            if (put < 0 && errno != EINTR)
                return failed();
            at += put > 0 ? put : 0;
        }
    }
}

} // namespace demoinstall
