#include "platform/window/instancechannel.h"

#include "platform/files/mutex.h"
#include "platform/kernel/codepage.h"
#include "platform/kernel/debug.h"
#include "platform/kernel/sync.h"
#include "platform/littleendian.h"
#include "platform/window/message.h"
#include "platform/window/window.h"

#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr std::array<std::u16string_view, 6> kErrorTexts = {
    u"no error",
    u"shorter than the header",
    u"not an instance request",
    u"unknown layout version",
    u"unknown request kind",
    u"title length over the limit or not matching the size",
};
static_assert(kErrorTexts.size() ==
              static_cast<std::size_t>(platform::InstanceRequestError::BadLength) + 1);

constexpr UINT kRequestMessage = WM_USER + 0x100;
constexpr int kReadTimeoutMs = 1000; // a connected sender must deliver its request by then
constexpr char16_t kWindowClass[] = u"NavInstanceChannel";
constexpr mode_t kSocketMode = S_IRUSR | S_IWUSR; // the owner alone may connect

void PutU16(std::uint8_t* bytes, std::uint16_t value) {
    bytes[0] = static_cast<std::uint8_t>(value);
    bytes[1] = static_cast<std::uint8_t>(value >> 8);
}

void PutU32(std::uint8_t* bytes, std::uint32_t value) {
    PutU16(bytes, static_cast<std::uint16_t>(value));
    PutU16(bytes + 2, static_cast<std::uint16_t>(value >> 16));
}

std::optional<platform::InstanceRequest> Refuse(platform::InstanceRequestError code,
                                                platform::InstanceRequestError* error) {
    if (error != nullptr) {
        *error = code;
    }
    return std::nullopt;
}

// The socket's address: the socket file beside the mutex's lock file. A path too long for an
// address is reached through the folder's descriptor (dirFd, closed by the caller).
bool SocketAddress(std::u16string_view name, sockaddr_un* address, int* dirFd, std::string* path) {
    const std::filesystem::path socketPath = platform::NamedMutexSocketPath(name);
    *path = socketPath.string();
    *address = sockaddr_un{};
    address->sun_family = AF_UNIX;
    *dirFd = -1;
    std::string text = *path;
    if (text.size() >= sizeof(address->sun_path)) {
        *dirFd = ::open(socketPath.parent_path().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (*dirFd < 0) {
            return false;
        }
        text = "/proc/self/fd/" + std::to_string(*dirFd) + "/" + socketPath.filename().string();
        if (text.size() >= sizeof(address->sun_path)) {
            return false;
        }
    }
    std::memcpy(address->sun_path, text.c_str(), text.size() + 1);
    return true;
}

void CloseFd(int* fd) {
    if (*fd >= 0) {
        ::close(*fd);
        *fd = -1;
    }
}

// Reads exactly size bytes before the deadline; false on time-out, error or end of stream, and
// at once when stopFd (unless -1) becomes readable.
bool ReadAll(int fd, std::uint8_t* data, std::size_t size,
             std::chrono::steady_clock::time_point deadline, int stopFd = -1) {
    std::size_t done = 0;
    while (done < size) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return false;
        }
        pollfd waits[2] = {{fd, POLLIN, 0}, {stopFd, POLLIN, 0}};
        const int ready = ::poll(waits, stopFd >= 0 ? 2 : 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0 || (stopFd >= 0 && (waits[1].revents & (POLLIN | POLLHUP)) != 0)) {
            return false;
        }
        const ssize_t got = ::recv(fd, data + done, size - done, 0);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(got);
    }
    return true;
}

struct Channel {
    std::mutex mutex; // guards the fields while a channel opens or closes
    bool isOpen = false;
    DWORD ownerThread = 0;
    HWND window = nullptr;
    platform::InstanceRequestHandler handler; // read on the owner thread only
    int listenFd = -1;
    int wakeFds[2] = {-1, -1};
    std::string socketPath;
    struct stat socketFile {}; // the socket file it made at socketPath
    std::thread listener;
};

// Never destroyed: a channel left open at exit must not end the process through its thread.
Channel& TheChannel() {
    static Channel* channel = new Channel;
    return *channel;
}

LRESULT ChannelWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kRequestMessage) {
        Channel& channel = TheChannel();
        const auto* request = reinterpret_cast<const platform::InstanceRequest*>(lParam);
        return channel.handler && channel.handler(*request) ? 1 : 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// True when the process at the other end of the connection runs as this process's user.
bool IsPeerThisUser(int connection) {
    ucred peer{};
    socklen_t size = sizeof peer;
    return ::getsockopt(connection, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 &&
           size == sizeof peer && peer.uid == ::geteuid();
}

// Reads one request from a connection, has the owner thread handle it and answers. A request of
// another user is not read and gets no answer; neither does one still being read when the channel
// closes (wakeFd readable).
void Serve(int connection, HWND window, int wakeFd) {
    if (!IsPeerThisUser(connection)) {
        OutputDebugStringW(u"instance channel: a request of another user was refused\n");
        return;
    }
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kReadTimeoutMs);
    std::vector<std::uint8_t> bytes(platform::kInstanceRequestHeaderSize);
    if (!ReadAll(connection, bytes.data(), bytes.size(), deadline, wakeFd)) {
        return;
    }
    const std::uint32_t units = platform::ReadU32(bytes.data() + 8);
    if (units > platform::kInstanceRequestTitleMax) {
        OutputDebugStringW(u"instance channel: request title too long\n");
        return;
    }
    bytes.resize(bytes.size() + 2 * std::size_t{units});
    if (!ReadAll(connection, bytes.data() + platform::kInstanceRequestHeaderSize,
                 bytes.size() - platform::kInstanceRequestHeaderSize, deadline, wakeFd)) {
        return;
    }
    platform::InstanceRequestError error{};
    const auto request = platform::ParseInstanceRequest(bytes, &error);
    if (!request) {
        const std::u16string line = u"instance channel: request refused: " +
                                    std::u16string(platform::InstanceRequestErrorText(error)) +
                                    u"\n";
        OutputDebugStringW(line.c_str());
        return;
    }
    const std::uint8_t answer =
        SendMessageW(window, kRequestMessage, 0, reinterpret_cast<LPARAM>(&*request)) != 0 ? 1 : 0;
    (void)::send(connection, &answer, 1, MSG_NOSIGNAL);
}

void Listen(int listenFd, int wakeFd, HWND window) {
    for (;;) {
        pollfd waits[2] = {{listenFd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
        const int ready = ::poll(waits, 2, -1);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready < 0 || (waits[1].revents & (POLLIN | POLLHUP)) != 0) {
            return;
        }
        int connection = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0) {
            continue;
        }
        Serve(connection, window, wakeFd);
        CloseFd(&connection);
    }
}

bool RegisterChannelClass() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = ChannelWindowProc;
    windowClass.lpszClassName = kWindowClass;
    WNDCLASSW existing{};
    return GetClassInfoW(nullptr, kWindowClass, &existing) || RegisterClassW(&windowClass) != 0;
}

// Makes the listening socket, replacing a socket file a crashed instance left; anything else at
// its path (a file, folder or link) is not the channel's and is left as it is, and no socket is
// made. -1 on failure, with no socket file of its own left.
// Only this user may connect, whatever the umask: the socket's own mode is set before the bind,
// which gives the file that mode, and the file's mode once more after it, before any connection
// is accepted.
int MakeListeningSocket(std::u16string_view name, std::string* path) {
    sockaddr_un address{};
    int dirFd = -1;
    int fd = -1;
    if (SocketAddress(name, &address, &dirFd, path)) {
        struct stat existing {};
        if (::lstat(path->c_str(), &existing) == 0 && !S_ISSOCK(existing.st_mode)) {
            const std::u16string line = u"instance channel: " + platform::Utf8ToUtf16(*path) +
                                        u" is not a socket; left as it is\n";
            OutputDebugStringW(line.c_str());
        } else {
            (void)::unlink(path->c_str());
            fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
            if (fd < 0 || ::fchmod(fd, kSocketMode) != 0 ||
                ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
                CloseFd(&fd);
            } else if (::chmod(address.sun_path, kSocketMode) != 0 || ::listen(fd, 8) != 0) {
                CloseFd(&fd);
                (void)::unlink(path->c_str()); // the socket file it made
            }
        }
    }
    CloseFd(&dirFd);
    return fd;
}

void ReleaseLocked(Channel& channel) {
    CloseFd(&channel.listenFd);
    CloseFd(&channel.wakeFds[0]);
    CloseFd(&channel.wakeFds[1]);
    if (!channel.socketPath.empty()) {
        // Only the socket file it made: what has taken its place since is left as it is.
        struct stat now {};
        if (::lstat(channel.socketPath.c_str(), &now) == 0 && S_ISSOCK(now.st_mode) &&
            now.st_dev == channel.socketFile.st_dev && now.st_ino == channel.socketFile.st_ino)
            (void)::unlink(channel.socketPath.c_str());
        channel.socketPath.clear();
    }
    channel.handler = nullptr;
    channel.isOpen = false;
}

} // namespace

namespace platform {

std::u16string_view InstanceRequestErrorText(InstanceRequestError error) {
    const auto index = static_cast<std::size_t>(error);
    return index < kErrorTexts.size() ? kErrorTexts[index] : u"unknown error";
}

std::vector<std::uint8_t> EncodeInstanceRequest(const InstanceRequest& request) {
    const std::size_t units = std::min(request.windowTitle.size(), kInstanceRequestTitleMax);
    std::vector<std::uint8_t> bytes(kInstanceRequestHeaderSize + 2 * units);
    std::memcpy(bytes.data(), kInstanceRequestMagic, 4);
    PutU16(bytes.data() + 4, kInstanceRequestVersion);
    PutU16(bytes.data() + 6, static_cast<WORD>(request.kind));
    PutU32(bytes.data() + 8, static_cast<std::uint32_t>(units));
    for (std::size_t i = 0; i < units; ++i) {
        PutU16(bytes.data() + kInstanceRequestHeaderSize + 2 * i, request.windowTitle[i]);
    }
    return bytes;
}

std::optional<InstanceRequest> ParseInstanceRequest(std::span<const std::uint8_t> data,
                                                    InstanceRequestError* error) {
    if (data.size() < kInstanceRequestHeaderSize) {
        return Refuse(InstanceRequestError::TooShort, error);
    }
    if (std::memcmp(data.data(), kInstanceRequestMagic, 4) != 0) {
        return Refuse(InstanceRequestError::BadMagic, error);
    }
    if (ReadU16(data.data() + 4) != kInstanceRequestVersion) {
        return Refuse(InstanceRequestError::BadVersion, error);
    }
    const WORD kind = ReadU16(data.data() + 6);
    if (kind != static_cast<WORD>(InstanceRequestKind::ActivateWindow)) {
        return Refuse(InstanceRequestError::UnknownKind, error);
    }
    const std::uint32_t units = ReadU32(data.data() + 8);
    if (units > kInstanceRequestTitleMax ||
        data.size() != kInstanceRequestHeaderSize + 2 * std::size_t{units}) {
        return Refuse(InstanceRequestError::BadLength, error);
    }
    InstanceRequest request;
    request.kind = static_cast<InstanceRequestKind>(kind);
    for (std::uint32_t i = 0; i < units; ++i) {
        request.windowTitle.push_back(static_cast<char16_t>(
            ReadU16(data.data() + kInstanceRequestHeaderSize + 2 * std::size_t{i})));
    }
    if (error != nullptr) {
        *error = InstanceRequestError::None;
    }
    return request;
}

} // namespace platform

namespace platform {

bool OpenInstanceChannel(std::u16string_view name, InstanceRequestHandler handler) {
    if (name.empty() || !handler) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    Channel& channel = TheChannel();
    std::lock_guard lock(channel.mutex);
    if (channel.isOpen) {
        SetLastError(ERROR_ALREADY_EXISTS);
        return false;
    }
    channel.isOpen = true;
    channel.handler = std::move(handler);
    std::string socketPath;
    channel.listenFd = MakeListeningSocket(name, &socketPath);
    if (channel.listenFd >= 0 && ::lstat(socketPath.c_str(), &channel.socketFile) == 0) {
        channel.socketPath = socketPath; // the channel's own, removed when it closes
    }
    if (channel.listenFd < 0 || ::pipe2(channel.wakeFds, O_CLOEXEC) != 0 ||
        !RegisterChannelClass()) {
        const std::u16string line =
            u"instance channel: cannot listen on " + Utf8ToUtf16(socketPath) + u"\n";
        OutputDebugStringW(line.c_str());
        ReleaseLocked(channel);
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    channel.window = CreateWindowExW(0, kWindowClass, u"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                     nullptr, nullptr);
    if (channel.window == nullptr) {
        ReleaseLocked(channel);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    channel.ownerThread = GetCurrentThreadId();
    try {
        channel.listener =
            std::thread(Listen, channel.listenFd, channel.wakeFds[0], channel.window);
    } catch (const std::system_error&) {
        DestroyWindow(channel.window);
        channel.window = nullptr;
        ReleaseLocked(channel);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    return true;
}

void CloseInstanceChannel() {
    Channel& channel = TheChannel();
    std::lock_guard lock(channel.mutex);
    if (!channel.isOpen || channel.ownerThread != GetCurrentThreadId()) {
        return;
    }
    // The window goes first: a request waiting for it is answered with false at once, and one
    // still being read is dropped on the wake, so the listener can be joined without waiting.
    DestroyWindow(channel.window);
    channel.window = nullptr;
    const std::uint8_t wake = 1;
    (void)::write(channel.wakeFds[1], &wake, 1);
    channel.listener.join();
    ReleaseLocked(channel);
}

bool SendInstanceRequest(std::u16string_view name, const InstanceRequest& request,
                         DWORD timeoutMs) {
    sockaddr_un address{};
    int dirFd = -1;
    std::string path;
    int fd = -1;
    DWORD error = ERROR_FILE_NOT_FOUND;
    if (SocketAddress(name, &address, &dirFd, &path)) {
        fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    }
    bool isAnswered = false;
    std::uint8_t answer = 0;
    if (fd >= 0 &&
        ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
        const std::vector<std::uint8_t> bytes = EncodeInstanceRequest(request);
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        error = ERROR_GEN_FAILURE;
        if (::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
            static_cast<ssize_t>(bytes.size())) {
            isAnswered = ReadAll(fd, &answer, 1, deadline);
            if (!isAnswered && std::chrono::steady_clock::now() >= deadline) {
                error = ERROR_TIMEOUT;
            }
        }
    }
    CloseFd(&fd);
    CloseFd(&dirFd);
    if (isAnswered && answer == 1) {
        return true;
    }
    SetLastError(error);
    return false;
}

} // namespace platform
