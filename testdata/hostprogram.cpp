#include "testdata/hostprogram.h"

#include "testdata/tempdir.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <string_view>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>

extern char** environ;

namespace testdata {

namespace {

// The name of an environment entry, with its "=".
std::string NameOf(const std::string& entry) {
    return entry.substr(0, entry.find('=') + 1);
}

// This process's environment without "NAV_SCREEN", with "SDL_AUDIODRIVER=dummy" and the
// entries given, each replacing one of the same name.
std::vector<std::string> ProgramEnvironment(const std::vector<std::string>& environment) {
    std::vector<std::string> entries = {"SDL_AUDIODRIVER=dummy"};
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        const std::string name = NameOf(text);
        const bool isReplaced =
            name == "NAV_SCREEN=" || name == "SDL_AUDIODRIVER=" ||
            std::any_of(environment.begin(), environment.end(),
                        [&name](const std::string& given) { return NameOf(given) == name; });
        if (!isReplaced)
            entries.push_back(text);
    }
    entries.insert(entries.end(), environment.begin(), environment.end());
    return entries;
}

// Starts words with the environment's entries and the file actions; -1 when it cannot start.
pid_t SpawnHostProgram(std::vector<std::string>& words, std::vector<std::string> environment,
                       const posix_spawn_file_actions_t& actions) {
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    pid_t child = -1;
    if (posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0)
        return -1;
    return child;
}

int AwaitExitCode(pid_t child) {
    int status = 0;
    if (waitpid(child, &status, 0) == child && WIFEXITED(status))
        return WEXITSTATUS(status);
    return -1;
}

// Waits for the child; one still running after terminateAfter is sent SIGTERM, and SIGKILL ten
// seconds later.
void AwaitEnd(pid_t child, std::chrono::milliseconds terminateAfter, ProgramRun& run) {
    using Clock = std::chrono::steady_clock;
    const bool isTimed = terminateAfter != std::chrono::milliseconds::max();
    Clock::time_point signalAt = isTimed ? Clock::now() + terminateAfter : Clock::time_point::max();
    int signal = SIGTERM;
    int status = 0;
    for (;;) {
        const pid_t ended = waitpid(child, &status, isTimed ? WNOHANG : 0);
        if (ended == child)
            break;
        if (ended != 0)
            return;
        if (Clock::now() >= signalAt) {
            (void)kill(child, signal);
            signal = SIGKILL;
            signalAt = Clock::now() + std::chrono::seconds(10);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (WIFEXITED(status))
        run.exitCode = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        run.signal = WTERMSIG(status);
}

// An X server's refusal of a client's set-up: failed, the reason's length, protocol 11.0, the
// length of what follows in 4-byte units, then the reason padded to them.
std::string XSetUpRefusal() {
    const std::string reason = "stand-in display";
    const auto units = static_cast<char>((reason.size() + 3) / 4);
    std::string reply = {0, static_cast<char>(reason.size()), 11, 0, 0, 0, units, 0};
    reply += reason;
    reply.resize(8 + static_cast<std::size_t>(units) * 4, '\0');
    return reply;
}

// The local socket address of an abstract name (a zero byte, then the name); its length in
// *length.
sockaddr_un AbstractAddress(const std::string& name, socklen_t* length) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::size_t size = std::min(name.size(), sizeof address.sun_path - 1);
    std::copy_n(name.begin(), size, address.sun_path + 1);
    *length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + size);
    return address;
}

// A local stream socket bound to an abstract name, not yet listening; -1 when the name is taken.
int BindAbstract(const std::string& name) {
    const int socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (socket < 0)
        return -1;
    socklen_t length = 0;
    const sockaddr_un address = AbstractAddress(name, &length);
    if (bind(socket, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
        close(socket);
        return -1;
    }
    return socket;
}

// A connection to a listening abstract name, made without waiting; -1 when none is made.
int ConnectAbstract(const std::string& name) {
    const int socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (socket < 0)
        return -1;
    socklen_t length = 0;
    const sockaddr_un address = AbstractAddress(name, &length);
    if (connect(socket, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
        close(socket);
        return -1;
    }
    return socket;
}

// A TCP socket bound to the loopback address of family (AF_INET or AF_INET6) on port, not yet
// listening; -1 when it cannot be bound, with errno telling why.
int BindLoopback(int family, int port) {
    const int socket = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (socket < 0)
        return -1;
    int bound = -1;
    if (family == AF_INET6) {
        const int only = 1;
        (void)setsockopt(socket, IPPROTO_IPV6, IPV6_V6ONLY, &only, sizeof only);
        sockaddr_in6 address{};
        address.sin6_family = AF_INET6;
        address.sin6_port = htons(static_cast<std::uint16_t>(port));
        address.sin6_addr = in6addr_loopback;
        bound = bind(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    } else {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bound = bind(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    }
    if (bound != 0) {
        const int error = errno;
        close(socket);
        errno = error;
        return -1;
    }
    return socket;
}

// Whether the client is still connected: what it sent and nobody read is read now, and then
// its end of the connection is looked for.
bool IsStillConnected(int client) {
    char unread[256];
    for (;;) {
        const ssize_t count = recv(client, unread, sizeof unread, MSG_DONTWAIT);
        if (count > 0)
            continue;
        return count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    }
}

// Reads size bytes of the client into data; false when it closes first or stop becomes readable
// (the stand-in is ending).
bool ReceiveFromClient(int client, int stop, char* data, std::size_t size) {
    while (size > 0) {
        pollfd waiting[] = {{stop, POLLIN, 0}, {client, POLLIN, 0}};
        if (poll(waiting, 2, -1) <= 0 || waiting[0].revents != 0)
            return false;
        const ssize_t count = recv(client, data, size, 0);
        if (count <= 0)
            return false;
        data += count;
        size -= static_cast<std::size_t>(count);
    }
    return true;
}

} // namespace

int StartHostProgram(std::vector<std::string> words, const std::vector<std::string>& environment,
                     const posix_spawn_file_actions_t& actions) {
    if (words.empty())
        return -1;
    return SpawnHostProgram(words, ProgramEnvironment(environment), actions);
}

bool AwaitSignalCaught(int process, int signal, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    const std::string statusFile = "/proc/" + std::to_string(process) + "/status";
    do {
        std::ifstream status(statusFile);
        std::string line;
        while (std::getline(status, line)) {
            if (line.rfind("State:", 0) == 0 && line.find('Z') != std::string::npos)
                return false;
            if (line.rfind("SigCgt:", 0) == 0) {
                const unsigned long long caught = std::strtoull(line.c_str() + 7, nullptr, 16);
                if ((caught >> (signal - 1) & 1U) != 0)
                    return true;
            }
        }
        if (!status.eof())
            return false; // gone
        std::this_thread::yield();
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
}

ProgramRun RunHostProgram(std::vector<std::string> words,
                          const std::vector<std::string>& environment,
                          const std::filesystem::path& errorFile,
                          std::chrono::milliseconds terminateAfter) {
    ProgramRun run;
    if (words.empty())
        return run;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    if (const pid_t child = SpawnHostProgram(words, ProgramEnvironment(environment), actions);
        child != -1)
        AwaitEnd(child, terminateAfter, run);
    posix_spawn_file_actions_destroy(&actions);
    run.errors = ReadHostFile(errorFile).value_or("");
    std::error_code error;
    std::filesystem::remove(errorFile, error);
    return run;
}

PipedProgramRun RunHostProgramThroughPipe(std::vector<std::string> words,
                                          const std::vector<std::string>& environment,
                                          std::chrono::milliseconds limit) {
    PipedProgramRun run;
    int output[2] = {-1, -1};
    if (words.empty() || pipe2(output, O_CLOEXEC) != 0)
        return run;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output[1], 1);
    posix_spawn_file_actions_adddup2(&actions, output[1], 2);
    const pid_t child = SpawnHostProgram(words, ProgramEnvironment(environment), actions);
    posix_spawn_file_actions_destroy(&actions);
    close(output[1]);
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (child != -1) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd readable{output[0], POLLIN, 0};
        if (left.count() <= 0 || poll(&readable, 1, static_cast<int>(left.count())) <= 0)
            break;
        char buffer[4096];
        const ssize_t count = read(output[0], buffer, sizeof buffer);
        if (count <= 0) {
            run.isOutputEnded = count == 0;
            break;
        }
        run.output.append(buffer, static_cast<std::size_t>(count));
    }
    close(output[0]);
    if (child != -1)
        run.exitCode = AwaitExitCode(child);
    return run;
}

ViewerProbeReport AwaitViewerProbeReport(const std::filesystem::path& file) {
    ViewerProbeReport report;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    std::error_code error;
    while (!std::filesystem::exists(file, error) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    // The probe writes its report under another name and renames it: it is whole once there.
    std::ifstream in(file);
    std::string line;
    for (int number = 0; std::getline(in, line); ++number) {
        if (number == 0)
            report.url = line;
        else if (number == 1 && line.rfind("pid ", 0) == 0)
            report.processId = std::strtol(line.c_str() + 4, nullptr, 10);
        else if (number > 1)
            report.descriptors.push_back(line);
    }
    return report;
}

StandInXDisplay::StandInXDisplay(Kind kind, std::chrono::milliseconds busyFor, std::string cookie)
    : m_isTcp(kind == Kind::Forwarding || kind == Kind::Http)
    , m_cookie(std::move(cookie)) {
    if (pipe2(m_stop, O_CLOEXEC) != 0)
        return;
    for (int number = 200; number < 300 && m_number < 0; ++number) {
        if (Reserve(number, kind))
            m_number = number;
    }
    if (m_number < 0)
        return;
    if (kind == Kind::Busy)
        m_queued = ConnectAbstract("/tmp/.X11-unix/X" + std::to_string(m_number));
    if (kind != Kind::Silent && kind != Kind::SilentBesideForwarding)
        m_thread = std::thread([this, kind, busyFor] { Serve(kind, busyFor); });
}

bool StandInXDisplay::Reserve(int number, Kind kind) {
    const std::string socketFile = "/tmp/.X11-unix/X" + std::to_string(number);
    std::error_code error;
    if (std::filesystem::exists(socketFile, error))
        return false;
    // A server's lock file, as X servers write it: its process id in ten characters.
    const std::string lockFile = "/tmp/.X" + std::to_string(number) + "-lock";
    const int lock = open(lockFile.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0444);
    if (lock < 0)
        return false;
    char pid[16] = {};
    const int length = std::snprintf(pid, sizeof pid, "%10d\n", static_cast<int>(getpid()));
    const bool isLocked = write(lock, pid, static_cast<std::size_t>(length)) == length;
    close(lock);
    const int local = isLocked ? BindAbstract(socketFile) : -1;
    const int port = 6000 + number;
    const int tcp = local >= 0 ? BindLoopback(AF_INET, port) : -1;
    int tcp6 = -1;
    if (tcp >= 0) {
        tcp6 = BindLoopback(AF_INET6, port);
        // A host without IPv6 has no such address to hold.
        if (tcp6 < 0 && errno != EADDRINUSE)
            tcp6 = -2;
    }
    // A busy server's queue holds one connection: the one made for it fills it.
    const int backlog = kind == Kind::Busy ? 0 : 16;
    const int served = m_isTcp ? tcp : local;
    const bool isListening = tcp6 != -1 && listen(served, backlog) == 0 &&
                             (kind != Kind::SilentBesideForwarding || listen(tcp, backlog) == 0);
    if (!isListening) {
        for (const int socket : {local, tcp, tcp6}) {
            if (socket >= 0)
                close(socket);
        }
        std::filesystem::remove(lockFile, error);
        return false;
    }
    m_lockFile = lockFile;
    m_socket = served;
    for (const int socket : {local, tcp, tcp6}) {
        if (socket >= 0 && socket != served)
            m_reserved.push_back(socket);
    }
    if (kind == Kind::SilentBesideForwarding) {
        m_closingPeer = tcp;
        (void)fcntl(tcp, F_SETFL, fcntl(tcp, F_GETFL) | O_NONBLOCK);
    }
    return true;
}

StandInXDisplay::~StandInXDisplay() {
    if (m_stop[1] >= 0)
        (void)write(m_stop[1], "x", 1);
    if (m_thread.joinable())
        m_thread.join();
    for (int descriptor : {m_socket, m_queued, m_stop[0], m_stop[1]}) {
        if (descriptor >= 0)
            close(descriptor);
    }
    for (const int socket : m_reserved)
        close(socket);
    if (!m_lockFile.empty()) {
        std::error_code error;
        std::filesystem::remove(m_lockFile, error);
    }
}

int StandInXDisplay::RequestsRefused() {
    CloseWaitingTcpConnections();
    return m_refused;
}

void StandInXDisplay::CloseWaitingTcpConnections() {
    if (m_closingPeer < 0)
        return;
    for (int client = 0; (client = accept4(m_closingPeer, nullptr, nullptr, SOCK_CLOEXEC)) >= 0;) {
        ++m_refused;
        close(client);
    }
}

std::vector<std::chrono::steady_clock::time_point> StandInXDisplay::ConnectionTimes() const {
    const std::lock_guard lock(m_timesLock);
    return m_connectionTimes;
}

std::string StandInXDisplay::DisplayEntry() const {
    if (m_number < 0)
        return {};
    return std::string("DISPLAY=") + (m_isTcp ? "localhost:" : ":") + std::to_string(m_number);
}

XauthorityEntry StandInXDisplay::Authorisation() const {
    XauthorityEntry entry;
    char host[256] = {};
    (void)gethostname(host, sizeof host - 1);
    entry.address = host;
    entry.number = std::to_string(m_number);
    entry.data = m_cookie;
    return entry;
}

bool StandInXDisplay::CarriesCookie(int client) const {
    // The byte order, the version, the lengths of the protocol's name and of its data, then each
    // padded to 4 bytes.
    unsigned char head[12] = {};
    if (!ReceiveFromClient(client, m_stop[0], reinterpret_cast<char*>(head), sizeof head))
        return false;
    const auto length = [&head](std::size_t at) {
        return head[0] == 'B' ? std::size_t{head[at]} << 8 | head[at + 1]
                              : std::size_t{head[at + 1]} << 8 | head[at];
    };
    const auto padded = [](std::size_t size) { return (size + 3) / 4 * 4; };
    const std::size_t nameLength = length(6);
    const std::size_t dataLength = length(8);
    std::string rest(padded(nameLength) + padded(dataLength), '\0');
    return ReceiveFromClient(client, m_stop[0], rest.data(), rest.size()) &&
           rest.substr(0, nameLength) == "MIT-MAGIC-COOKIE-1" &&
           rest.substr(padded(nameLength), dataLength) == m_cookie;
}

void StandInXDisplay::Serve(Kind kind, std::chrono::milliseconds busyFor) {
    pollfd stop{m_stop[0], POLLIN, 0};
    if (kind == Kind::Busy && poll(&stop, 1, static_cast<int>(busyFor.count())) != 0)
        return;
    const std::string refusal = XSetUpRefusal();
    std::vector<int> clients;
    for (;;) {
        pollfd waiting[] = {{m_stop[0], POLLIN, 0}, {m_socket, POLLIN, 0}};
        if (poll(waiting, 2, -1) <= 0 || waiting[0].revents != 0)
            break;
        const int client = accept4(m_socket, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            continue;
        {
            const std::lock_guard lock(m_timesLock);
            m_connectionTimes.push_back(std::chrono::steady_clock::now());
        }
        if (kind == Kind::ClosesTheFirstConnection && busyFor.count() > 0 &&
            poll(&stop, 1, static_cast<int>(busyFor.count())) != 0) {
            close(client);
            break;
        }
        if (kind == Kind::ClosesTheFirstConnection && m_refused == 0) {
            ++m_refused;
            close(client);
            continue;
        }
        if (kind == Kind::AnswersLate && poll(&stop, 1, static_cast<int>(busyFor.count())) != 0) {
            close(client);
            break;
        }
        if (kind == Kind::Forwarding && !CarriesCookie(client)) {
            ++m_refused;
            close(client);
            continue;
        }
        if (kind == Kind::Http) {
            char first = 0;
            (void)ReceiveFromClient(client, m_stop[0], &first, 1);
            constexpr std::string_view kHttpError =
                "HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
            (void)send(client, kHttpError.data(), kHttpError.size(), MSG_NOSIGNAL);
            (void)shutdown(client, SHUT_WR);
        } else if (kind == Kind::StoppedAfterAnswering || kind == Kind::EndsAtTheSecondClient) {
            // The beginning of a success reply: the client is in, and waits for the rest.
            constexpr char kSuccess[] = {1, 0, 11, 0, 0, 0, 0, 0};
            if (clients.empty()) {
                (void)send(client, kSuccess, sizeof kSuccess, MSG_NOSIGNAL);
            } else if (kind == Kind::EndsAtTheSecondClient) {
                // As a server that resets when its last client leaves: one whose first client
                // left before the second came drops the second.
                m_isFirstClientKept = IsStillConnected(clients.front()) ? 1 : 0;
                close(client);
                break;
            }
        } else {
            // Apart from a forwarding's cookie, the client's set-up request is not looked at:
            // the refusal answers whatever it asked.
            (void)send(client, refusal.data(), refusal.size(), MSG_NOSIGNAL);
        }
        clients.push_back(client);
    }
    for (int client : clients)
        close(client);
}

} // namespace testdata
