#include "platform/files/files.h"

#include "platform/files/detail/fileshare.h"
#include "platform/files/errors.h"
#include "platform/files/paths.h"

#include <cerrno>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {
namespace {

struct OpenEntry {
    const HostFile* file;
    DWORD access;
    DWORD share;
};

struct SharedFile {
    std::vector<OpenEntry> opens;
    bool isDeletePending = false;
    std::filesystem::path host; // where to delete it
};

using ShareKey = std::pair<std::uint64_t, std::uint64_t>;

struct ShareTable {
    std::mutex mutex;
    std::map<ShareKey, SharedFile> files;
    DeviceOpener deviceOpener = nullptr;
};

ShareTable& Shares() {
    static ShareTable* table = new ShareTable; // never destroyed: used by exit-time code
    return *table;
}

constexpr DWORD kGenericAll = 0x10000000;

DWORD DataAccess(DWORD desiredAccess) {
    DWORD access = desiredAccess & (GENERIC_READ | GENERIC_WRITE);
    if ((desiredAccess & kGenericAll) != 0) {
        access = GENERIC_READ | GENERIC_WRITE;
    }
    return access;
}

bool Conflicts(const OpenEntry& existing, DWORD access, DWORD share) {
    return ((access & GENERIC_READ) != 0 && (existing.share & FILE_SHARE_READ) == 0) ||
           ((access & GENERIC_WRITE) != 0 && (existing.share & FILE_SHARE_WRITE) == 0) ||
           ((existing.access & GENERIC_READ) != 0 && (share & FILE_SHARE_READ) == 0) ||
           ((existing.access & GENERIC_WRITE) != 0 && (share & FILE_SHARE_WRITE) == 0);
}

bool IsDeviceName(std::u16string_view name) {
    return !name.empty() && name.back() == u':' && name.find_first_of(u"\\/") == name.npos;
}

// The new position for a move from the tracked position; only a move from the end asks the host.
DWORD SeekFrom(int descriptor, std::uint64_t current, std::int64_t distance, DWORD moveMethod,
               std::uint64_t& position) {
    std::int64_t base = 0;
    if (moveMethod == FILE_CURRENT) {
        base = static_cast<std::int64_t>(current);
    } else if (moveMethod == FILE_END) {
        struct stat info {};
        if (::fstat(descriptor, &info) != 0) {
            return detail::ErrorFromErrno(errno);
        }
        base = info.st_size;
    } else if (moveMethod != FILE_BEGIN) {
        return ERROR_INVALID_PARAMETER;
    }
    if (distance < 0 && base + distance < 0) {
        return ERROR_NEGATIVE_SEEK;
    }
    if (distance > 0 && base > INT64_MAX - distance) {
        return ERROR_INVALID_PARAMETER;
    }
    position = static_cast<std::uint64_t>(base + distance);
    return ERROR_SUCCESS;
}

// The host open never waits (for the other end of a FIFO, a device's carrier): it runs under
// the share table's lock, which every open in the process takes. Reads and writes wait again
// once the descriptor is made (see ClearNonBlocking).
int HostOpenFlags(DWORD access, DWORD creation, bool append) {
    const bool needsWrite =
        (access & GENERIC_WRITE) != 0 || creation == CREATE_ALWAYS || creation == TRUNCATE_EXISTING;
    int flags = O_CLOEXEC | O_NONBLOCK | (needsWrite ? O_RDWR : O_RDONLY);
    if (append) {
        flags |= O_APPEND;
    }
    return flags;
}

// Back to waiting reads and writes after the open without waiting.
DWORD ClearNonBlocking(int descriptor) {
    const int flags = ::fcntl(descriptor, F_GETFL);
    if (flags < 0 || ::fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        return detail::ErrorFromErrno(errno);
    }
    return ERROR_SUCCESS;
}

} // namespace

class HostFileOpener {
public:
    static OpenedFile Open(std::u16string_view path, DWORD desiredAccess, DWORD shareMode,
                           DWORD creation, DWORD flags, bool append);

private:
    static DWORD Register(HostFile& file, const std::filesystem::path& host, DWORD share,
                          bool deleteOnClose);
};

// Enters an open file into the share table; the table's lock must be held.
DWORD HostFileOpener::Register(HostFile& file, const std::filesystem::path& host, DWORD share,
                               bool deleteOnClose) {
    struct stat info {};
    if (::fstat(file.m_descriptor, &info) != 0) {
        return detail::ErrorFromErrno(errno);
    }
    file.m_shareKey[0] = info.st_dev;
    file.m_shareKey[1] = info.st_ino;
    SharedFile& shared = Shares().files[ShareKey(info.st_dev, info.st_ino)];
    for (const OpenEntry& entry : shared.opens) {
        if (file.m_access != 0 && entry.access != 0 && Conflicts(entry, file.m_access, share)) {
            return ERROR_SHARING_VIOLATION; // the entry has opens, so it stays
        }
    }
    shared.opens.push_back(OpenEntry{&file, file.m_access, share});
    shared.host = host;
    shared.isDeletePending = shared.isDeletePending || deleteOnClose;
    file.m_isShared = true;
    return ERROR_SUCCESS;
}

OpenedFile HostFileOpener::Open(std::u16string_view path, DWORD desiredAccess, DWORD shareMode,
                                DWORD creation, DWORD flags, bool append) {
    OpenedFile result;
    const DWORD access = DataAccess(desiredAccess);
    if (creation < CREATE_NEW || creation > TRUNCATE_EXISTING ||
        (creation == TRUNCATE_EXISTING && (access & GENERIC_WRITE) == 0)) {
        result.error = ERROR_INVALID_PARAMETER;
        return result;
    }
    const ResolvedPath resolved = ResolveDevicePath(path);
    if (resolved.status == PathStatus::MissingFolder || resolved.status == PathStatus::BadName ||
        (resolved.status == PathStatus::MissingLeaf &&
         (creation == OPEN_EXISTING || creation == TRUNCATE_EXISTING))) {
        result.error = PathStatusError(resolved.status);
        return result;
    }
    const bool existed = resolved.status == PathStatus::Exists;
    if (existed && creation == CREATE_NEW) {
        result.error = ERROR_FILE_EXISTS;
        return result;
    }
    struct stat info {};
    if (resolved.isRoot ||
        (existed && ::stat(resolved.host.c_str(), &info) == 0 && S_ISDIR(info.st_mode))) {
        result.error = ERROR_ACCESS_DENIED;
        return result;
    }

    auto file = std::shared_ptr<HostFile>(new HostFile);
    file->m_access = access;
    file->m_isAppend = append;
    {
        std::lock_guard lock(Shares().mutex);
        int hostFlags = HostOpenFlags(access, creation, append);
        if (!existed) {
            hostFlags |= O_CREAT | O_EXCL;
        }
        file->m_descriptor = ::open(resolved.host.c_str(), hostFlags, 0666);
        if (file->m_descriptor < 0) {
            result.error = detail::ErrorFromErrno(errno);
            return result;
        }
        const DWORD shareError =
            Register(*file, resolved.host, shareMode, (flags & FILE_FLAG_DELETE_ON_CLOSE) != 0);
        if (shareError != ERROR_SUCCESS) {
            result.error = shareError; // the file object closes its descriptor
            return result;
        }
    }
    if (const DWORD error = ClearNonBlocking(file->m_descriptor); error != ERROR_SUCCESS) {
        result.error = error;
        return result;
    }
    // Emptying comes after the share check, so a refused open changes nothing.
    if (existed && (creation == CREATE_ALWAYS || creation == TRUNCATE_EXISTING) &&
        ::ftruncate(file->m_descriptor, 0) != 0) {
        result.error = detail::ErrorFromErrno(errno);
        return result;
    }
    if ((flags & (FILE_FLAG_SEQUENTIAL_SCAN | FILE_FLAG_RANDOM_ACCESS)) != 0) {
        (void)::posix_fadvise(file->m_descriptor, 0, 0,
                              (flags & FILE_FLAG_RANDOM_ACCESS) != 0 ? POSIX_FADV_RANDOM
                                                                     : POSIX_FADV_SEQUENTIAL);
    }
    result.file = std::move(file);
    result.error = existed && (creation == OPEN_ALWAYS || creation == CREATE_ALWAYS)
                       ? ERROR_ALREADY_EXISTS
                       : ERROR_SUCCESS;
    return result;
}

HostFile::~HostFile() {
    if (m_isShared) {
        std::lock_guard lock(Shares().mutex);
        const ShareKey key(m_shareKey[0], m_shareKey[1]);
        const auto it = Shares().files.find(key);
        if (it != Shares().files.end()) {
            std::erase_if(it->second.opens, [this](const OpenEntry& e) { return e.file == this; });
            if (it->second.opens.empty()) {
                struct stat info {};
                if (it->second.isDeletePending && ::stat(it->second.host.c_str(), &info) == 0 &&
                    info.st_dev == m_shareKey[0] && info.st_ino == m_shareKey[1]) {
                    (void)::unlink(it->second.host.c_str());
                }
                Shares().files.erase(it);
            }
        }
    }
    if (m_descriptor >= 0) {
        ::close(m_descriptor);
    }
}

DWORD HostFile::Read(void* buffer, DWORD count, DWORD& transferred) {
    transferred = 0;
    if ((m_access & GENERIC_READ) == 0) {
        return ERROR_ACCESS_DENIED;
    }
    std::lock_guard lock(m_positionMutex);
    const DWORD error = ReadAt(m_position, buffer, count, transferred);
    m_position += transferred;
    return error;
}

DWORD HostFile::ReadAt(std::uint64_t offset, void* buffer, DWORD count, DWORD& transferred) const {
    transferred = 0;
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    while (transferred < count) {
        const ssize_t got = ::pread(m_descriptor, bytes + transferred, count - transferred,
                                    static_cast<off_t>(offset + transferred));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return ERROR_READ_FAULT;
        }
        if (got == 0) {
            break;
        }
        transferred += static_cast<DWORD>(got);
    }
    return ERROR_SUCCESS;
}

DWORD HostFile::Write(const void* buffer, DWORD count, DWORD& transferred) {
    transferred = 0;
    if ((m_access & GENERIC_WRITE) == 0) {
        return ERROR_ACCESS_DENIED;
    }
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    std::lock_guard lock(m_positionMutex);
    DWORD error = ERROR_SUCCESS;
    while (transferred < count) {
        // Appending writes go to the end whatever the position; others to the position.
        const ssize_t put = m_isAppend
                                ? ::write(m_descriptor, bytes + transferred, count - transferred)
                                : ::pwrite(m_descriptor, bytes + transferred, count - transferred,
                                           static_cast<off_t>(m_position + transferred));
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            error = put < 0 && errno == ENOSPC ? ERROR_DISK_FULL : ERROR_WRITE_FAULT;
            break;
        }
        transferred += static_cast<DWORD>(put);
    }
    // The position passes the bytes written, also when a write fails part-way. An appending
    // write leaves this descriptor's host offset just past its bytes.
    if (!m_isAppend) {
        m_position += transferred;
    } else if (transferred > 0) {
        const off_t end = ::lseek(m_descriptor, 0, SEEK_CUR);
        m_position = end < 0 ? m_position : static_cast<std::uint64_t>(end);
    }
    return error;
}

DWORD HostFile::Seek(std::int64_t distance, DWORD moveMethod, std::uint64_t& position) {
    std::lock_guard lock(m_positionMutex);
    const DWORD error = SeekFrom(m_descriptor, m_position, distance, moveMethod, position);
    if (error == ERROR_SUCCESS) {
        m_position = position;
    }
    return error;
}

DWORD HostFile::Size(std::uint64_t& size) {
    struct stat info {};
    if (::fstat(m_descriptor, &info) != 0) {
        return detail::ErrorFromErrno(errno);
    }
    size = static_cast<std::uint64_t>(info.st_size);
    return ERROR_SUCCESS;
}

DWORD HostFile::SetEnd() {
    if ((m_access & GENERIC_WRITE) == 0) {
        return ERROR_ACCESS_DENIED;
    }
    std::lock_guard lock(m_positionMutex);
    if (::ftruncate(m_descriptor, static_cast<off_t>(m_position)) != 0) {
        return detail::ErrorFromErrno(errno);
    }
    return ERROR_SUCCESS;
}

OpenedFile OpenDeviceFile(std::u16string_view path, DWORD desiredAccess, DWORD shareMode,
                          DWORD creationDisposition, DWORD flagsAndAttributes, bool append) {
    return HostFileOpener::Open(path, desiredAccess, shareMode, creationDisposition,
                                flagsAndAttributes, append);
}

void SetDeviceOpener(DeviceOpener opener) {
    std::lock_guard lock(Shares().mutex);
    Shares().deviceOpener = opener;
}

namespace detail {

bool IdentityOf(const std::filesystem::path& host, FileIdentity& identity) {
    struct stat info {};
    if (::stat(host.c_str(), &info) != 0) {
        return false;
    }
    identity.device = info.st_dev;
    identity.inode = info.st_ino;
    return true;
}

bool MayRemoveFile(const FileIdentity& identity) {
    std::lock_guard lock(Shares().mutex);
    const auto it = Shares().files.find(ShareKey(identity.device, identity.inode));
    if (it == Shares().files.end()) {
        return true;
    }
    for (const OpenEntry& entry : it->second.opens) {
        if (entry.access != 0 && (entry.share & FILE_SHARE_DELETE) == 0) {
            return false;
        }
    }
    return true;
}

std::uint32_t ErrorFromErrno(int error) {
    switch (error) {
    case ENOENT:
        return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
        return ERROR_PATH_NOT_FOUND;
    case EEXIST:
        return ERROR_ALREADY_EXISTS;
    case ENOTEMPTY:
        return ERROR_DIR_NOT_EMPTY;
    case ENOSPC:
        return ERROR_DISK_FULL;
    case EMFILE:
    case ENFILE:
        return ERROR_TOO_MANY_OPEN_FILES;
    case ENAMETOOLONG:
        return ERROR_FILENAME_EXCED_RANGE;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case EINVAL:
        return ERROR_INVALID_PARAMETER;
    default:
        return ERROR_ACCESS_DENIED;
    }
}

} // namespace detail
} // namespace platform

HANDLE CreateFileW(LPCWSTR fileName, DWORD desiredAccess, DWORD shareMode, LPVOID, DWORD creation,
                   DWORD flagsAndAttributes, HANDLE) {
    if (fileName == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    const std::u16string_view name(fileName);
    if (platform::IsDeviceName(name)) {
        platform::DeviceOpener opener = nullptr;
        {
            std::lock_guard lock(platform::Shares().mutex);
            opener = platform::Shares().deviceOpener;
        }
        if (opener == nullptr) {
            SetLastError(ERROR_FILE_NOT_FOUND);
            return INVALID_HANDLE_VALUE;
        }
        return opener(name, desiredAccess, shareMode, creation, flagsAndAttributes);
    }
    platform::OpenedFile opened =
        platform::OpenDeviceFile(name, desiredAccess, shareMode, creation, flagsAndAttributes);
    if (!opened.file) {
        SetLastError(opened.error);
        return INVALID_HANDLE_VALUE;
    }
    HANDLE handle = platform::RegisterHandle(opened.file);
    if (handle == nullptr) {
        SetLastError(ERROR_TOO_MANY_OPEN_FILES);
        return INVALID_HANDLE_VALUE;
    }
    SetLastError(opened.error);
    return handle;
}
