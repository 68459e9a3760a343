#include "platform/files/mutex.h"

#include "platform/files/paths.h"
#include "platform/kernel/codepage.h"
#include "platform/kernel/debug.h"
#include "platform/kernel/handles.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A lock file's name: the prefix, 16 hexadecimal digits of the name's hash and the extension.
constexpr char kLockFilePrefix[] = ".mutex-";
constexpr char kLockFileExtension[] = ".lock";
constexpr char kSocketFileExtension[] = ".sock";

// Byte 0 of the lock file carries the locks: every holder keeps a read lock; a process that can
// take a write lock is alone and creates the mutex, then turns its lock into a read lock (one
// step for open-file-description locks, so no other process slips in between).
struct NamedMutexObject : platform::KernelObject {
    ~NamedMutexObject() override;
    std::string key; // the lock file's host path; empty for an unnamed mutex
    int fd = -1;
};

struct MutexRegistry {
    // Recursive: dropping the last reference to an object inside the lock runs its destructor,
    // which takes the lock again.
    std::recursive_mutex mutex;
    std::map<std::string, std::weak_ptr<NamedMutexObject>> byKey;
};

MutexRegistry& Registry() {
    static MutexRegistry registry;
    return registry;
}

NamedMutexObject::~NamedMutexObject() {
    if (key.empty()) {
        return;
    }
    MutexRegistry& registry = Registry();
    std::lock_guard lock(registry.mutex);
    if (fd >= 0) {
        ::close(fd); // releases this process's read lock
    }
    auto it = registry.byKey.find(key);
    if (it != registry.byKey.end() && it->second.expired()) {
        registry.byKey.erase(it);
    }
}

struct flock ByteZero(short type) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 1;
    return lock;
}

bool LockByteZero(int fd, short type, bool wait) {
    struct flock lock = ByteZero(type);
    for (;;) {
        if (::fcntl(fd, wait ? F_OFD_SETLKW : F_OFD_SETLK, &lock) == 0) {
            return true;
        }
        if (errno != EINTR) {
            return false;
        }
    }
}

HANDLE Register(std::shared_ptr<NamedMutexObject> object, DWORD lastError) {
    HANDLE handle = platform::RegisterHandle(std::move(object));
    SetLastError(handle == nullptr ? ERROR_NOT_ENOUGH_MEMORY : lastError);
    return handle;
}

// Opens the lock file and takes this process's read lock; reports whether another process held
// the name already. False with the last error set.
bool OpenLockFile(NamedMutexObject* object, bool* existed) {
    object->fd = ::open(object->key.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (object->fd < 0) {
        const DWORD error = errno == EACCES ? ERROR_ACCESS_DENIED : ERROR_PATH_NOT_FOUND;
        const std::u16string line = u"CreateMutexW: cannot open the lock file " +
                                    platform::Utf8ToUtf16(object->key) + u"\n";
        OutputDebugStringW(line.c_str());
        SetLastError(error);
        return false;
    }
    *existed = !LockByteZero(object->fd, F_WRLCK, false);
    if (!*existed && (errno == EAGAIN || errno == EACCES)) {
        *existed = true;
    }
    if (!LockByteZero(object->fd, F_RDLCK, true)) {
        const std::u16string line =
            u"CreateMutexW: cannot lock " + platform::Utf8ToUtf16(object->key) + u"\n";
        OutputDebugStringW(line.c_str());
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    return true;
}

// Whether a file name is one of a named mutex's files with this extension: the prefix, 16
// lower-case hexadecimal digits and the extension, as NamedMutexLockPath makes them.
bool IsNamedMutexFile(std::string_view fileName, std::string_view extension) {
    constexpr std::size_t kHashDigits = 16;
    const std::string_view prefix = kLockFilePrefix;
    if (fileName.size() != prefix.size() + kHashDigits + extension.size() ||
        !fileName.starts_with(prefix) || !fileName.ends_with(extension)) {
        return false;
    }
    const std::string_view hash = fileName.substr(prefix.size(), kHashDigits);
    return hash.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

} // namespace

HANDLE CreateMutexW(void* /*security*/, BOOL initialOwner, LPCWSTR name) {
    if (initialOwner) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    const std::u16string_view nameView = name != nullptr ? std::u16string_view(name) : u"";
    if (nameView.empty()) {
        return Register(std::make_shared<NamedMutexObject>(), ERROR_SUCCESS);
    }
    if (nameView.size() > MAX_PATH) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const std::string key = platform::NamedMutexLockPath(nameView).string();
    MutexRegistry& registry = Registry();
    std::lock_guard lock(registry.mutex);
    if (auto it = registry.byKey.find(key); it != registry.byKey.end()) {
        if (std::shared_ptr<NamedMutexObject> existing = it->second.lock()) {
            return Register(std::move(existing), ERROR_ALREADY_EXISTS);
        }
    }
    auto object = std::make_shared<NamedMutexObject>();
    object->key = key;
    bool existed = false;
    if (!OpenLockFile(object.get(), &existed)) {
        const DWORD error = GetLastError();
        object.reset();
        SetLastError(error);
        return nullptr;
    }
    registry.byKey[key] = object;
    return Register(std::move(object), existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
}

namespace platform {

std::filesystem::path NamedMutexLockPath(std::u16string_view name) {
    // FNV-1a over the UTF-16 units: any name gives a short file name of the host.
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (const char16_t unit : name) {
        for (const int shift : {0, 8}) {
            hash ^= static_cast<std::uint8_t>(unit >> shift);
            hash *= 0x100000001b3ULL;
        }
    }
    char file[40];
    (void)std::snprintf(file, sizeof file, "%s%016llx%s", kLockFilePrefix,
                        static_cast<unsigned long long>(hash), kLockFileExtension);
    return DeviceRoot() / file;
}

std::filesystem::path NamedMutexSocketPath(std::u16string_view name) {
    return NamedMutexLockPath(name).replace_extension(kSocketFileExtension);
}

bool IsNamedMutexLockFile(std::string_view fileName) {
    return IsNamedMutexFile(fileName, kLockFileExtension);
}

bool IsNamedMutexSocketFile(std::string_view fileName) {
    return IsNamedMutexFile(fileName, kSocketFileExtension);
}

bool IsAnyNamedMutexHeld(const std::filesystem::path& root) {
    std::error_code error;
    for (auto it = std::filesystem::directory_iterator(root, error);
         !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
        const std::string file = it->path().filename().string();
        if (!file.starts_with(kLockFilePrefix) || !file.ends_with(kLockFileExtension)) {
            continue;
        }
        // Never waits for a writer (a FIFO of that name): only a regular file is asked.
        const int fd =
            ::open(it->path().c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
        if (fd < 0) {
            continue;
        }
        struct stat status {};
        if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
            ::close(fd);
            continue;
        }
        // The write lock a creator would ask for: any holder's read lock stands in its way.
        struct flock lock = ByteZero(F_WRLCK);
        const bool isHeld = ::fcntl(fd, F_OFD_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
        ::close(fd);
        if (isHeld) {
            return true;
        }
    }
    return false;
}

} // namespace platform
