#include "tools/install/installswap.h"

#include "tools/install/installlayout.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace demoinstall {
namespace {

namespace fs = std::filesystem;

// Whether a folder holds folders only (none, or empty ones).
bool HoldsFoldersOnly(const fs::path& path) {
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(path, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (!it->is_directory(error) || it->is_symlink(error))
            return false;
    }
    return !error;
}

bool IsWholeInstall(const fs::path& path) {
    std::error_code error;
    return fs::is_directory(fs::symlink_status(path, error)) && !fs::is_empty(path, error) &&
           IsReplaceable(path, true);
}

// Writes a file or folder through to the storage; a file system that cannot sync a folder is
// taken as writing its entries in order.
bool Sync(const fs::path& path, bool isFolder) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | (isFolder ? O_DIRECTORY : 0));
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

// The entries of a folder but the one named `kept`, removed; false when one is left.
bool RemoveAllBut(const fs::path& folder, const fs::path& kept) {
    std::error_code error;
    std::vector<fs::path> entries;
    for (auto it = fs::directory_iterator(folder, error); !error && it != fs::directory_iterator();
         it.increment(error)) {
        if (it->path().filename() != kept)
            entries.push_back(it->path());
    }
    for (const fs::path& entry : entries) {
        if (!error)
            fs::remove_all(entry, error);
    }
    return !error;
}

} // namespace

bool IsReplaceable(const fs::path& path, bool isWhole) {
    std::error_code error;
    const fs::file_status status = fs::symlink_status(path, error);
    if (status.type() == fs::file_type::not_found)
        return true;
    if (!fs::is_directory(status))
        return false;
    if (fs::is_empty(path, error))
        return !error;
    if (!isWhole && HoldsFoldersOnly(path))
        return true;
    return fs::is_directory(path / HostRelative(kDataFolder), error) &&
           (!isWhole || (fs::is_regular_file(path / kProgramFile, error) &&
                         fs::is_regular_file(path / kSettingsFile, error)));
}

bool RemoveInstallFolder(const fs::path& path) {
    if (!IsThere(path))
        return true;
    std::error_code error;
    // The files first, the deepest level of the database folder's path on, each level but the
    // way down to that folder; then what is left, folders only.
    std::vector<fs::path> levels = {path};
    for (const fs::path& part : HostRelative(kDataFolder))
        levels.push_back(levels.back() / part);
    for (std::size_t i = levels.size(); i-- > 0;) {
        const fs::path kept = i + 1 < levels.size() ? levels[i + 1].filename() : fs::path();
        if (fs::is_directory(fs::symlink_status(levels[i], error)) &&
            !RemoveAllBut(levels[i], kept))
            return false;
    }
    fs::remove_all(path, error);
    return !error;
}

std::string TakeBackPutAside(const fs::path& output, const fs::path& previous, std::ostream& log) {
    std::error_code error;
    const bool isThere = IsThere(output);
    if ((isThere && !(fs::is_directory(output, error) && fs::is_empty(output, error))) ||
        !IsWholeInstall(previous))
        return "";
    if (isThere)
        fs::remove(output, error);
    if (!error)
        fs::rename(previous, output, error);
    if (error)
        return previous.string() +
               ": the earlier install put aside here cannot be taken back: " + error.message();
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
        (void)Sync(parent, true);
        return error ? output.string() + ": " + error.message() : "";
    }
    if (::renameat2(AT_FDCWD, staging.c_str(), AT_FDCWD, output.c_str(), RENAME_EXCHANGE) == 0) {
        (void)Sync(parent, true);
        // The staging folder holds the earlier install now, whose user's files the new one took.
        (void)RemoveInstallFolder(staging);
        return "";
    }
    const int exchangeError = errno;
    if (exchangeError != EINVAL && exchangeError != ENOSYS && exchangeError != EOPNOTSUPP)
        return output.string() + ": " + std::strerror(exchangeError);
    // Two renames. Cut short between them, the next install takes the earlier one back.
    if (!RemoveInstallFolder(previous))
        return previous.string() + ": cannot be removed";
    fs::rename(output, previous, error);
    if (!error)
        fs::rename(staging, output, error);
    if (error) {
        std::error_code ignored;
        if (!IsThere(output))
            fs::rename(previous, output, ignored);
        return output.string() + ": " + error.message();
    }
    (void)Sync(parent, true);
    (void)RemoveInstallFolder(previous);
    return "";
}

} // namespace demoinstall
