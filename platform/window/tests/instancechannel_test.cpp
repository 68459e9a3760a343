#include "testdata/tempdir.h"

#include "platform/files/mutex.h"
#include "platform/files/paths.h"
#include "platform/kernel/sync.h"
#include "platform/window/input.h"
#include "platform/window/instancechannel.h"
#include "platform/window/message.h"
#include "platform/window/tests/windowtesting.h"
#include "platform/window/window.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <linux/sockios.h>
#include <mutex>
#include <spawn.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using platform::InstanceRequest;
using platform::InstanceRequestError;
using platform::InstanceRequestKind;

// Pumps this thread's messages until the process ends; its exit code, or -1 when it did not end
// within ten seconds (it is then killed).
int PumpUntilExit(pid_t child) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (;;) {
        MSG msg{};
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageW(&msg);
        }
        int status = 0;
        const pid_t done = ::waitpid(child, &status, WNOHANG);
        if (done == child) {
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(child, SIGKILL);
            (void)::waitpid(child, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// Starts the second instance on the present device root; -1 when it cannot start.
pid_t StartProbe(const std::string& name, const std::string& title) {
    std::vector<std::string> arguments = {NAV_INSTANCE_PROBE, platform::DeviceRoot().string(),
                                          name};
    if (!title.empty()) {
        arguments.push_back(title);
    }
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    pid_t child = -1;
    if (::posix_spawn(&child, NAV_INSTANCE_PROBE, nullptr, nullptr, argv.data(), environ) != 0) {
        return -1;
    }
    return child;
}

std::vector<std::uint8_t> RequestBytes(std::u16string title) {
    return platform::EncodeInstanceRequest(
        InstanceRequest{InstanceRequestKind::ActivateWindow, std::move(title)});
}

} // namespace

TEST(InstanceRequestFormat, ReadsWhatItWritesAndRefusesEveryBrokenField) {
    const std::vector<std::uint8_t> good = RequestBytes(u"Navigator");
    ASSERT_EQ(good.size(), platform::kInstanceRequestHeaderSize + 18);
    auto changed = [&good](std::size_t at, std::uint8_t value) {
        std::vector<std::uint8_t> bytes = good;
        bytes[at] = value;
        return bytes;
    };
    std::vector<std::uint8_t> longTitle =
        RequestBytes(std::u16string(platform::kInstanceRequestTitleMax, u'x'));
    longTitle[8] = static_cast<std::uint8_t>(platform::kInstanceRequestTitleMax + 1);
    longTitle.push_back(0);
    longTitle.push_back(0);
    const struct {
        const char* what;
        std::vector<std::uint8_t> bytes;
        InstanceRequestError error;
    } cases[] = {
        {"good", good, InstanceRequestError::None},
        {"empty title", RequestBytes(u""), InstanceRequestError::None},
        {"header cut", std::vector<std::uint8_t>(good.begin(), good.begin() + 11),
         InstanceRequestError::TooShort},
        {"magic", changed(0, 'X'), InstanceRequestError::BadMagic},
        {"version", changed(4, 2), InstanceRequestError::BadVersion},
        {"kind 0", changed(6, 0), InstanceRequestError::UnknownKind},
        {"kind 2", changed(6, 2), InstanceRequestError::UnknownKind},
        {"title longer than the data", changed(8, 10), InstanceRequestError::BadLength},
        {"title shorter than the data", changed(8, 8), InstanceRequestError::BadLength},
        {"title over the limit", longTitle, InstanceRequestError::BadLength},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        InstanceRequestError error = InstanceRequestError::BadMagic;
        const auto request = platform::ParseInstanceRequest(c.bytes, &error);
        EXPECT_EQ(error, c.error);
        EXPECT_EQ(request.has_value(), c.error == InstanceRequestError::None);
        if (request) {
            EXPECT_EQ(platform::EncodeInstanceRequest(*request), c.bytes);
        }
    }
    const auto cut = platform::ParseInstanceRequest(
        RequestBytes(std::u16string(platform::kInstanceRequestTitleMax + 5, u'y')));
    ASSERT_TRUE(cut.has_value());
    EXPECT_EQ(cut->windowTitle.size(), platform::kInstanceRequestTitleMax);
}

namespace {

// What lies at the socket's path when the first instance opens its channel.
// What lies at the socket's path: before the channel opens, or (ReplacedByUsersFile) put there
// in place of the channel's socket while it is open.
enum class AtSocketPath { Nothing, KilledRunsSocket, UsersFile, UsersLink, ReplacedByUsersFile };

} // namespace

// The second process is real: it finds the mutex of the first and, when the first listens, has
// the first's handler activate the first's window on the first's thread. A socket a killed run
// left gives way to the channel; an entry of the user's at its path does not, and the first runs
// without a channel; one put in place of the channel's socket stays when the channel closes.
TEST(InstanceChannel, SecondProcessReachesTheFirstOnItsOwnThread) {
    windowtesting::RegisterRecordingClass(u"INSTANCEMAIN");
    const struct {
        const char* what;
        bool holdsMutex;
        bool listens; // opens the channel, which fails with an entry of the user's at its path
        bool handlerAnswer;
        bool longRoot; // a device root whose socket path is too long for a socket address
        int exitCode;
        int activations;
        AtSocketPath atSocketPath = AtSocketPath::Nothing;
    } cases[] = {
        {"alone", false, false, true, false, 0, 0},
        {"running without channel", true, false, true, false, 3, 0},
        {"running and listening", true, true, true, false, 2, 1},
        {"handler refuses", true, true, false, false, 3, 1},
        {"long device root", true, true, true, true, 2, 1},
        {"a socket a killed run left", true, true, true, false, 2, 1,
         AtSocketPath::KilledRunsSocket},
        {"a file of the user's at the socket's path", true, true, true, false, 3, 0,
         AtSocketPath::UsersFile},
        {"a link of the user's at the socket's path", true, true, true, false, 3, 0,
         AtSocketPath::UsersLink},
        {"a file of the user's in place of the open channel's socket", true, true, true, false, 2,
         1, AtSocketPath::ReplacedByUsersFile},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        testdata::TempDeviceRoot root;
        if (c.longRoot) {
            const std::filesystem::path deep = root.HostPath() / std::string(100, 'd');
            std::filesystem::create_directories(deep);
            platform::SetDeviceRoot(deep);
        }
        const std::filesystem::path socketPath = platform::NamedMutexSocketPath(u"Navigator");
        const std::filesystem::path usersFile = root.HostPath() / "notes.txt";
        if (c.atSocketPath == AtSocketPath::KilledRunsSocket) {
            const int left = ::socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            (void)std::snprintf(address.sun_path, sizeof address.sun_path, "%s",
                                socketPath.c_str());
            ASSERT_EQ(::bind(left, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
            ::close(left);
        } else if (c.atSocketPath == AtSocketPath::UsersFile) {
            ASSERT_TRUE(root.WriteFile(u"\\" + socketPath.filename().u16string(), "mine"));
        } else if (c.atSocketPath == AtSocketPath::UsersLink) {
            ASSERT_TRUE(root.WriteFile(u"\\notes.txt", "mine"));
            std::filesystem::create_symlink(usersFile, socketPath);
        }
        const bool isUsers =
            c.atSocketPath == AtSocketPath::UsersFile || c.atSocketPath == AtSocketPath::UsersLink;
        const bool isUsersAtClose = isUsers || c.atSocketPath == AtSocketPath::ReplacedByUsersFile;
        HWND main = CreateWindowExW(0, u"INSTANCEMAIN", u"Navigator", WS_VISIBLE | WS_POPUP, 0, 0,
                                    100, 100, nullptr, nullptr, nullptr, nullptr);
        HWND other = CreateWindowExW(0, u"INSTANCEMAIN", u"Other", WS_VISIBLE | WS_POPUP, 0, 0, 100,
                                     100, nullptr, nullptr, nullptr, nullptr);
        ASSERT_TRUE(SetForegroundWindow(other));
        HANDLE mutex = c.holdsMutex ? CreateMutexW(nullptr, FALSE, u"Navigator") : nullptr;
        int activations = 0;
        const DWORD uiThread = GetCurrentThreadId();
        if (c.listens) {
            EXPECT_EQ(platform::OpenInstanceChannel(
                          u"Navigator",
                          [&activations, &c, uiThread](const InstanceRequest& request) {
                              EXPECT_EQ(GetCurrentThreadId(), uiThread);
                              ++activations;
                              HWND found = FindWindowW(nullptr, request.windowTitle.c_str());
                              if (found != nullptr) {
                                  SendMessageW(found, WM_ACTIVATE, 0x10001, 0);
                                  SetForegroundWindow(found);
                              }
                              return found != nullptr && c.handlerAnswer;
                          }),
                      !isUsers);
            EXPECT_EQ(GetForegroundWindow(), other); // the channel's window takes nothing
        }
        windowtesting::ClearLog();
        const pid_t child = StartProbe("Navigator", "Navigator");
        ASSERT_GT(child, 0);
        EXPECT_EQ(PumpUntilExit(child), c.exitCode);
        EXPECT_EQ(activations, c.activations);
        EXPECT_EQ(GetForegroundWindow() == main, c.activations > 0);
        if (c.atSocketPath == AtSocketPath::ReplacedByUsersFile) {
            std::filesystem::remove(socketPath);
            ASSERT_TRUE(root.WriteFile(u"\\" + socketPath.filename().u16string(), "mine"));
        }
        platform::CloseInstanceChannel();
        if (mutex != nullptr) {
            EXPECT_TRUE(CloseHandle(mutex));
        }
        DestroyWindow(main);
        DestroyWindow(other);
        EXPECT_EQ(std::filesystem::symlink_status(socketPath).type(),
                  c.atSocketPath == AtSocketPath::UsersLink ? std::filesystem::file_type::symlink
                  : isUsersAtClose                          ? std::filesystem::file_type::regular
                                   : std::filesystem::file_type::not_found);
        EXPECT_EQ(testdata::ReadHostFile(socketPath),
                  isUsersAtClose ? std::optional<std::string>("mine") : std::nullopt);
    }
}

// The socket is its owner's alone whatever the umask, and a request of another user's process
// is refused even when the socket file was opened to everybody.
TEST(InstanceChannel, OnlyThisUserReachesTheChannel) {
    constexpr char kOtherUser[] = "65534";
    const struct {
        const char* what;
        mode_t umask;
        const char* user;   // the probe's user; null: this process's
        bool isOpenedToAll; // the socket file's mode is set to 0666 after the channel opened
        int exitCode;
        int activations;
    } cases[] = {
        {"this user, umask 000", 0, nullptr, false, 2, 1},
        {"this user, umask 077", 077, nullptr, false, 2, 1},
        {"another user", 0, kOtherUser, false, 3, 0},
        {"another user, the socket file opened to all", 0, kOtherUser, true, 3, 0},
    };
    windowtesting::RegisterRecordingClass(u"INSTANCEOWNER");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.user != nullptr && ::geteuid() != 0) {
            continue; // only root can run the probe as another user
        }
        testdata::TempDeviceRoot root;
        // Another user may pass through the device root to the socket; only the socket decides.
        std::filesystem::permissions(root.HostPath(), std::filesystem::perms::owner_all |
                                                          std::filesystem::perms::group_exec |
                                                          std::filesystem::perms::others_exec);
        HWND main = CreateWindowExW(0, u"INSTANCEOWNER", u"Navigator", WS_VISIBLE | WS_POPUP, 0, 0,
                                    100, 100, nullptr, nullptr, nullptr, nullptr);
        HANDLE mutex = CreateMutexW(nullptr, FALSE, u"Navigator");
        int activations = 0;
        const mode_t previousMask = ::umask(c.umask);
        const bool isOpen = platform::OpenInstanceChannel(
            u"Navigator", [&activations](const InstanceRequest&) { return ++activations > 0; });
        (void)::umask(previousMask);
        ASSERT_TRUE(isOpen);
        std::filesystem::path socketPath = platform::NamedMutexLockPath(u"Navigator");
        socketPath.replace_extension(".sock");
        struct stat info {};
        ASSERT_EQ(::stat(socketPath.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0600u);
        if (c.isOpenedToAll) {
            ASSERT_EQ(::chmod(socketPath.c_str(), 0666), 0);
        }
        if (c.user != nullptr) {
            ASSERT_EQ(::setenv("NAV_PROBE_USER", c.user, 1), 0);
        }
        const pid_t child = StartProbe("Navigator", "Navigator");
        (void)::unsetenv("NAV_PROBE_USER");
        ASSERT_GT(child, 0);
        EXPECT_EQ(PumpUntilExit(child), c.exitCode);
        EXPECT_EQ(activations, c.activations);
        platform::CloseInstanceChannel();
        EXPECT_TRUE(CloseHandle(mutex));
        DestroyWindow(main);
    }
}

// A sender that connects and sends rubbish, or nothing, does not stop the requests after it.
TEST(InstanceChannel, SkipsBrokenRequestsAndEndsOnClose) {
    testdata::TempDeviceRoot root;
    HANDLE mutex = CreateMutexW(nullptr, FALSE, u"Nav");
    ASSERT_NE(mutex, nullptr);
    std::vector<std::u16string> handled;
    ASSERT_TRUE(platform::OpenInstanceChannel(u"Nav", [&handled](const InstanceRequest& request) {
        handled.push_back(request.windowTitle);
        return true;
    }));
    EXPECT_FALSE(
        platform::OpenInstanceChannel(u"Nav", [](const InstanceRequest&) { return true; }));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);

    std::filesystem::path socketPath = platform::NamedMutexLockPath(u"Nav");
    socketPath.replace_extension(".sock");
    auto sendRaw = [&socketPath](const std::vector<std::uint8_t>& bytes) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        (void)std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socketPath.c_str());
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
            (void)::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            std::uint8_t answer = 0xFF;
            (void)::recv(fd, &answer, 1, 0); // the channel closes without an answer
        }
        ::close(fd);
    };
    std::atomic<int> results{-1};
    std::thread sender([&] {
        std::vector<std::uint8_t> broken = RequestBytes(u"A");
        broken[0] = 'X';
        sendRaw(broken);
        sendRaw({}); // connects and closes
        const bool first = platform::SendInstanceRequest(
            u"Nav", InstanceRequest{InstanceRequestKind::ActivateWindow, u"B"}, 5000);
        results = first ? 1 : 0;
    });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (results < 0 && std::chrono::steady_clock::now() < deadline) {
        MSG msg{};
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageW(&msg);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    sender.join();
    EXPECT_EQ(results, 1);
    EXPECT_EQ(handled, std::vector<std::u16string>{u"B"});

    platform::CloseInstanceChannel();
    EXPECT_FALSE(std::filesystem::exists(socketPath));
    EXPECT_FALSE(platform::SendInstanceRequest(
        u"Nav", InstanceRequest{InstanceRequestKind::ActivateWindow, u"B"}, 1000));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(CloseHandle(mutex));
}

namespace {

// Ends the process when a call does not return within ten seconds: a hang fails the test at once
// instead of at the test runner's limit.
class HangGuard {
public:
    explicit HangGuard(const char* what)
        : m_thread([this, what] {
            std::unique_lock lock(m_mutex);
            if (!m_done.wait_for(lock, std::chrono::seconds(10), [this] { return m_isDone; })) {
                std::fprintf(stderr, "%s did not return\n", what);
                std::_Exit(1);
            }
        }) {}
    ~HangGuard() {
        {
            std::lock_guard lock(m_mutex);
            m_isDone = true;
        }
        m_done.notify_one();
        m_thread.join();
    }
    HangGuard(const HangGuard&) = delete;
    HangGuard& operator=(const HangGuard&) = delete;

private:
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_isDone = false;
    std::thread m_thread;
};

} // namespace

// A second start that arrives while the instance shuts down: closing the channel answers the
// request it can no longer serve with false and returns at once, whether the request waits for
// the instance's thread or is still being sent, and a new instance then takes requests again.
TEST(InstanceChannel, ClosingAnswersARequestInFlightAndANewStartIsServed) {
    const struct {
        const char* what;
        bool isWholeRequest; // else only part of the header has come when the channel closes
    } cases[] = {{"request waiting for the instance's thread", true},
                 {"request still being sent", false}};
    const InstanceRequest request{InstanceRequestKind::ActivateWindow, u"Navigator"};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        testdata::TempDeviceRoot root;
        HANDLE mutex = CreateMutexW(nullptr, FALSE, u"Nav");
        ASSERT_NE(mutex, nullptr);
        int handled = 0;
        auto count = [&handled](const InstanceRequest&) { return ++handled > 0; };
        ASSERT_TRUE(platform::OpenInstanceChannel(u"Nav", count));
        std::filesystem::path socketPath = platform::NamedMutexLockPath(u"Nav");
        socketPath.replace_extension(".sock");

        std::future<std::pair<bool, DWORD>> answer;
        int partial = -1;
        if (c.isWholeRequest) {
            answer = std::async(std::launch::async, [&request] {
                const bool isAnswered = platform::SendInstanceRequest(u"Nav", request, 5000);
                return std::pair{isAnswered, GetLastError()};
            });
            // The listener has handed the request to this thread, which does not serve it.
            ASSERT_TRUE(windowtesting::WaitForSentMessage());
        } else {
            partial = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            (void)std::snprintf(address.sun_path, sizeof address.sun_path, "%s",
                                socketPath.c_str());
            ASSERT_EQ(
                ::connect(partial, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
            const std::vector<std::uint8_t> bytes = platform::EncodeInstanceRequest(request);
            ASSERT_EQ(::send(partial, bytes.data(), 6, MSG_NOSIGNAL), 6);
            // The listener has read the six bytes and waits for the rest of the header.
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            int unread = 6;
            while (unread != 0 && std::chrono::steady_clock::now() < deadline) {
                ASSERT_EQ(::ioctl(partial, SIOCOUTQ, &unread), 0);
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            ASSERT_EQ(unread, 0);
        }
        const auto closing = std::chrono::steady_clock::now();
        {
            HangGuard guard("CloseInstanceChannel");
            platform::CloseInstanceChannel();
        }
        // Well within the second a connected sender has to deliver its request.
        EXPECT_LT(std::chrono::steady_clock::now() - closing, std::chrono::milliseconds(500));
        EXPECT_FALSE(std::filesystem::exists(socketPath));
        if (c.isWholeRequest) {
            const auto [isAnswered, error] = answer.get();
            EXPECT_FALSE(isAnswered);
            EXPECT_EQ(error, ERROR_GEN_FAILURE);
        } else {
            std::uint8_t reply = 0xFF;
            EXPECT_EQ(::recv(partial, &reply, 1, 0), 0) << "closed without an answer";
            ::close(partial);
        }
        EXPECT_EQ(handled, 0);

        // The next instance listens and is reached.
        ASSERT_TRUE(platform::OpenInstanceChannel(u"Nav", count));
        auto next = std::async(std::launch::async, [&request] {
            return platform::SendInstanceRequest(u"Nav", request, 5000);
        });
        while (next.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready) {
            MSG msg{};
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                DispatchMessageW(&msg);
            }
        }
        EXPECT_TRUE(next.get());
        EXPECT_EQ(handled, 1);
        platform::CloseInstanceChannel();
        EXPECT_TRUE(CloseHandle(mutex));
    }
}
