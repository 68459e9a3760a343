// The SDL2 window of the visible back end.
#include "platform/gdi/visiblescreen.h"

#include "platform/gdi/dib.h"
#include "platform/gdi/screenshot.h"
#include "platform/gdi/xwindowerrors.h"
#include "platform/kernel/codepage.h"
#include "platform/kernel/sync.h"
#include "platform/window/input.h"
#include "platform/window/message.h"
#include "platform/window/programend.h"
#include "platform/window/window.h"

#include <SDL.h>
#include <X11/Xauth.h>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <string_view>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kFrameMilliseconds = 15;
constexpr int kMaxScale = 8;
// How long the end waits for the window to close: a display that has not answered by then is
// taken as gone.
constexpr int kCloseSeconds = 4;

// SDL2's video drivers that show nothing: it falls back to them when it finds no display.
constexpr std::string_view kUnseenVideoDrivers[] = {"offscreen", "dummy", "evdev"};

// "headless" gives nullopt, "visible" and "visible:SCALE" the window; false for anything else.
bool ParseScreen(std::string_view value, std::optional<platform::VisibleScreenOptions>& result) {
    result.reset();
    if (value == "headless")
        return true;
    if (!value.starts_with("visible"))
        return false;
    value.remove_prefix(7);
    platform::VisibleScreenOptions options;
    if (!value.empty()) {
        if (!value.starts_with(":") || value.size() < 2)
            return false;
        value.remove_prefix(1);
        unsigned scale = 0;
        const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), scale);
        const bool isNumber = error == std::errc() || error == std::errc::result_out_of_range;
        if (!isNumber || end != value.data() + value.size())
            return false;
        if (error == std::errc::result_out_of_range)
            scale = kMaxScale;
        options.scale = static_cast<int>(std::clamp(scale, 1U, unsigned{kMaxScale}));
    }
    result = options;
    return true;
}

// True when the variable SDL_VIDEODRIVER (a comma-separated list) names the driver: whoever
// set it wants that driver, seen or not.
bool IsDriverAskedFor(std::string_view driver) {
    const char* variable = std::getenv("SDL_VIDEODRIVER");
    std::string_view asked = variable != nullptr ? variable : "";
    while (!asked.empty()) {
        const std::size_t comma = std::min(asked.find(','), asked.size());
        if (asked.substr(0, comma) == driver)
            return true;
        asked.remove_prefix(std::min(comma + 1, asked.size()));
    }
    return false;
}

// "NAME is unset", "NAME is empty" or "NAME=value".
std::string DescribeVariable(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == 0)
        return std::string(name) + (value == nullptr ? " is unset" : " is empty");
    return std::string(name) + "=" + value;
}

// How long the display check waits, all addresses together, for a connection to be made.
constexpr auto kDisplayConnectTime = std::chrono::seconds(2);
// How long a display that took the check's connection is waited for to answer: a forwarding over
// a slow link answers in seconds, and only one silent this long (a stopped server) is refused.
constexpr auto kDisplayAnswerTime = std::chrono::seconds(25);
// The variable that sets the answer time in milliseconds instead (the tests of the check set it).
constexpr const char* kDisplayAnswerTimeVariable = "NAV_DISPLAY_ANSWER_MS";
// The variable that gives the addresses (numeric, comma-separated) the display's host is looked
// up as, instead of the resolver's (the tests of the check set it).
constexpr const char* kDisplayAddressesVariable = "NAV_DISPLAY_ADDRESSES";
// When the user is told that the display is slow to answer.
constexpr auto kSlowDisplayNotice = std::chrono::seconds(2);
// The pause before a local server whose queue of connections was full is asked again.
constexpr auto kBusyServerPause = std::chrono::milliseconds(10);
// How often a display that closed the check's connection without an answer is asked in all, and
// the pause before each new question.
constexpr int kClosedAsks = 3;
constexpr auto kClosedAgainPause = std::chrono::milliseconds(250);

using DisplayDeadline = std::chrono::steady_clock::time_point;

// Milliseconds left until the deadline, at least 0.
int MillisecondsLeft(DisplayDeadline deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    return static_cast<int>(std::max<std::int64_t>(left.count(), 0));
}

// True when the socket becomes ready before the deadline for one of events, or reports an error
// or a hang-up.
bool AwaitSocket(int socket, short events, DisplayDeadline deadline) {
    pollfd waiting{socket, events, 0};
    int ready = 0;
    do {
        ready = ::poll(&waiting, 1, MillisecondsLeft(deadline));
    } while (ready < 0 && errno == EINTR);
    return ready == 1;
}

// The authorisation the display check sends: the cookie an X authority file holds for the display,
// which X servers and ssh's X11 forwarding check.
constexpr std::string_view kCookieProtocol = "MIT-MAGIC-COOKIE-1";
// The address families of X authority entries for peers over IPv4 and IPv6.
constexpr unsigned short kXauthFamilyInternet = 0;
constexpr unsigned short kXauthFamilyInternet6 = 6;

// What the X authority file (XAUTHORITY, else ~/.Xauthority) gives for a display: the cookie
// sent, empty when it holds none; whether it holds an authorisation of another kind for the
// display, which the X library would send where the check sends nothing.
struct DisplayAuthorisation {
    std::string cookie;
    bool hasOtherKind = false;
};

// The authorisation for display number `display`, looked up as the X library looks it up for the
// connected socket: by this host's name for a local socket and for a peer at the loopback
// address, by the peer's address otherwise.
DisplayAuthorisation AuthorisationFor(int socket, int display) {
    DisplayAuthorisation authorisation;
    sockaddr_storage peer{};
    socklen_t length = sizeof peer;
    if (::getpeername(socket, reinterpret_cast<sockaddr*>(&peer), &length) != 0)
        return authorisation;
    unsigned short family = FamilyLocal;
    std::string address;
    if (peer.ss_family == AF_INET6) {
        const in6_addr& ip = reinterpret_cast<const sockaddr_in6&>(peer).sin6_addr;
        const char* bytes = reinterpret_cast<const char*>(ip.s6_addr);
        if (IN6_IS_ADDR_V4MAPPED(&ip)) {
            const in_addr_t loopback = htonl(INADDR_LOOPBACK);
            if (std::memcmp(bytes + 12, &loopback, 4) != 0) {
                family = kXauthFamilyInternet;
                address.assign(bytes + 12, 4);
            }
        } else if (!IN6_IS_ADDR_LOOPBACK(&ip)) {
            family = kXauthFamilyInternet6;
            address.assign(bytes, sizeof ip.s6_addr);
        }
    } else if (peer.ss_family == AF_INET) {
        const in_addr& ip = reinterpret_cast<const sockaddr_in&>(peer).sin_addr;
        if (ip.s_addr != htonl(INADDR_LOOPBACK)) {
            family = kXauthFamilyInternet;
            address.assign(reinterpret_cast<const char*>(&ip.s_addr), sizeof ip.s_addr);
        }
    } else if (peer.ss_family != AF_UNIX) {
        return authorisation;
    }
    if (family == FamilyLocal) {
        char host[256] = {};
        if (::gethostname(host, sizeof host - 1) != 0)
            return authorisation;
        address = host;
    }
    const std::string number = std::to_string(display);
    std::string protocol(kCookieProtocol);
    char* protocols[] = {protocol.data()};
    const int protocolLengths[] = {static_cast<int>(protocol.size())};
    // With no protocol named, the first entry for the display of whatever kind.
    for (const int types : {1, 0}) {
        Xauth* found =
            ::XauGetBestAuthByAddr(family, static_cast<unsigned short>(address.size()),
                                   address.data(), static_cast<unsigned short>(number.size()),
                                   number.data(), types, protocols, protocolLengths);
        if (found == nullptr)
            continue;
        if (types == 1)
            authorisation.cookie.assign(found->data, found->data_length);
        else
            authorisation.hasOtherKind = true;
        ::XauDisposeAuth(found);
        break;
    }
    return authorisation;
}

// Where the authorisation was read, and what it gave: "the display's cookie in XAUTHORITY=FILE",
// or no authorisation because the file ("~/.Xauthority (FILE)" without XAUTHORITY) does not
// exist, is empty or holds none for the display, or because XAUTHORITY names no file.
std::string DescribeAuthorisation(const DisplayAuthorisation& authorisation) {
    const char* variable = std::getenv("XAUTHORITY");
    if (variable != nullptr && *variable == 0)
        return "no authorisation was sent: XAUTHORITY is empty";
    const char* file = ::XauFileName();
    const std::string path = file != nullptr ? file : "";
    if (path.empty())
        return "no authorisation was sent: ~/.Xauthority is not there, HOME is unset";
    const std::string named =
        variable != nullptr ? "XAUTHORITY=" + path : "~/.Xauthority (" + path + ")";
    if (!authorisation.cookie.empty())
        return "the authorisation sent was the display's cookie in " + named;
    std::error_code error;
    const bool isThere = std::filesystem::exists(path, error);
    // A file that cannot be read (a folder, or one whose mode keeps the user out) gives no
    // authorisation, as the X library finds.
    int readError = 0;
    if (isThere) {
        const int file = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        char byte = 0;
        if (file < 0 || ::read(file, &byte, 1) < 0)
            readError = errno;
        if (file >= 0)
            ::close(file);
    }
    if (readError != 0)
        return "no authorisation was sent: " + named + " cannot be read (" +
               std::strerror(readError) + ")";
    const bool isEmpty = isThere && std::filesystem::file_size(path, error) == 0 && !error;
    return "no authorisation was sent: " + named +
           (!isThere  ? " does not exist"
            : isEmpty ? " is empty"
                      : " holds no " + std::string(kCookieProtocol) + " cookie for the display");
}

// The set-up request of protocol 11.0 in little-endian order, carrying the cookie when there is
// one: the byte order, the version, the lengths of the protocol's name and of its data, then each
// padded to 4 bytes.
std::string XSetUpRequest(const std::string& cookie) {
    const std::string_view protocol = cookie.empty() ? std::string_view() : kCookieProtocol;
    const auto little = [](std::size_t value) {
        return std::string{static_cast<char>(value & 0xFF), static_cast<char>(value >> 8 & 0xFF)};
    };
    std::string request = "l";
    request += '\0';
    request += little(11) + little(0) + little(protocol.size()) + little(cookie.size());
    request.append(2, '\0');
    for (const std::string_view part : {protocol, std::string_view(cookie)}) {
        request += part;
        request.append((4 - part.size() % 4) % 4, '\0');
    }
    return request;
}

// True when all of data is sent before the deadline.
bool SendBefore(int socket, std::string_view data, DisplayDeadline deadline) {
    while (!data.empty()) {
        const ssize_t sent = ::send(socket, data.data(), data.size(), MSG_NOSIGNAL);
        if (sent > 0)
            data.remove_prefix(static_cast<std::size_t>(sent));
        else if (sent == 0 || (errno != EAGAIN && errno != EINTR) ||
                 !AwaitSocket(socket, POLLOUT, deadline))
            return false;
    }
    return true;
}

// Reads up to size bytes into data before the deadline; the count read. *isClosed tells whether
// the peer closed (or reset) the connection before size bytes came.
std::size_t ReceiveBefore(int socket, char* data, std::size_t size, DisplayDeadline deadline,
                          bool* isClosed) {
    std::size_t count = 0;
    *isClosed = false;
    while (count < size && AwaitSocket(socket, POLLIN, deadline)) {
        const ssize_t received = ::recv(socket, data + count, size - count, 0);
        if (received > 0) {
            count += static_cast<std::size_t>(received);
        } else if (received == 0 || errno == ECONNRESET) {
            *isClosed = true;
            break;
        } else if (errno != EINTR && errno != EAGAIN) {
            break;
        }
    }
    return count;
}

// A connection of the display check to an X server that let it in, kept open until the window's
// library has made its own: a server resets when its last client leaves, dropping the
// connections it is still setting up, and one whose only client was the check (Xvfb under
// xvfb-run, say) would reset while the library connects.
class KeptDisplayConnection {
public:
    KeptDisplayConnection() = default;
    KeptDisplayConnection(const KeptDisplayConnection&) = delete;
    KeptDisplayConnection& operator=(const KeptDisplayConnection&) = delete;
    ~KeptDisplayConnection() { Close(); }

    void Keep(int socket) {
        Close();
        m_socket = socket;
    }
    void Close() {
        if (m_socket >= 0)
            ::close(m_socket);
        m_socket = -1;
    }

private:
    int m_socket = -1;
};

// What the display check asks: the display's number, the deadline for a connection to be made,
// how long a connection made is waited for to answer, when a display still silent is told as
// slow (once: *isSlowTold), and where it keeps the connection of a server that lets it in.
struct DisplayQuestion {
    int number = 0;
    DisplayDeadline deadline;
    std::chrono::milliseconds answerTime{};
    DisplayDeadline noticeAt;
    bool* isSlowTold = nullptr;
    KeptDisplayConnection* kept = nullptr;
};

// How the display answered the check.
enum class DisplayAnswerKind {
    Unasked,  // a name of a form the check does not know: SDL2 is left to try it
    Unusable, // a name the X library connects nowhere with, the reason told
    NoServer, // nothing that speaks X answers where the X library connects
    Accepted, // an X server let the check in (or asked for more authentication)
    Refused,  // an X server refused the connection, with its reason
    Closed,   // the peer closed without a byte, as ssh's X11 forwarding does to an authorisation
              // it does not take
};

struct DisplayAnswer {
    DisplayAnswerKind kind = DisplayAnswerKind::NoServer;
    std::string reason; // a refusal's, as the server gave it, or why the name cannot be used
    DisplayAuthorisation authorisation;
    int screens = -1; // the screens of a server that let the check in, -1 when not told
};

// A connection to an address as the X library makes it: made (the socket, not blocking), or not
// made (the error), or still pending at the deadline, as a blocking connection of the library
// would still wait.
struct DisplayConnection {
    int socket = -1;
    int error = 0;
    bool isPending = false;
};

DisplayConnection ConnectBefore(const sockaddr* address, socklen_t length,
                                DisplayDeadline deadline) {
    DisplayConnection connection;
    for (;;) {
        const int socket =
            ::socket(address->sa_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (socket < 0) {
            connection.error = errno;
            return connection;
        }
        if (::connect(socket, address, length) == 0) {
            connection.socket = socket;
            return connection;
        }
        const int error = errno;
        if (error == EAGAIN && address->sa_family == AF_UNIX) {
            // A local server whose queue of connections is full: the library's connection waits.
            ::close(socket);
            if (MillisecondsLeft(deadline) == 0) {
                connection.isPending = true;
                return connection;
            }
            std::this_thread::sleep_for(kBusyServerPause);
            continue;
        }
        if (error == EINPROGRESS) {
            if (!AwaitSocket(socket, POLLOUT, deadline)) {
                ::close(socket);
                connection.isPending = true;
                return connection;
            }
            int pending = 0;
            socklen_t size = sizeof pending;
            if (::getsockopt(socket, SOL_SOCKET, SO_ERROR, &pending, &size) == 0 && pending == 0) {
                connection.socket = socket;
                return connection;
            }
            connection.error = pending;
        } else {
            connection.error = error;
        }
        ::close(socket);
        return connection;
    }
}

// Sends the set-up request the X library sends, with the display's authorisation, over a
// connection made, and reads the answer before the deadline. An X server replies with a first
// byte of 0 (failed, with its reason), 1 (success) or 2 (authenticate further); a forwarding
// (ssh's X11 forwarding) closes without a byte a connection whose authorisation it does not take.
// Any other reply (an HTTP server on the display's port, say) is no X server, nor is silence: the
// kernel completes a connection for a listening server that is stopped too.
DisplayAnswer AskConnected(int socket, const DisplayQuestion& question) {
    DisplayAnswer answer;
    answer.authorisation = AuthorisationFor(socket, question.number);
    const DisplayDeadline deadline = std::chrono::steady_clock::now() + question.answerTime;
    bool isClosed = false;
    char head[8] = {};
    std::size_t count = 0;
    if (SendBefore(socket, XSetUpRequest(answer.authorisation.cookie), deadline)) {
        // A display still silent when the user would wonder is told as slow, once.
        if (!AwaitSocket(socket, POLLIN, std::min(question.noticeAt, deadline)) &&
            MillisecondsLeft(deadline) > 0 && !*question.isSlowTold) {
            *question.isSlowTold = true;
            (void)std::fprintf(stderr, "%s: waiting for the X display of %s to answer\n",
                               program_invocation_short_name, DescribeVariable("DISPLAY").c_str());
        }
        count = ReceiveBefore(socket, head, 1, deadline, &isClosed);
    } else {
        isClosed = errno == EPIPE || errno == ECONNRESET;
    }
    const auto first = static_cast<unsigned char>(head[0]);
    if (count == 0) {
        answer.kind = isClosed ? DisplayAnswerKind::Closed : DisplayAnswerKind::NoServer;
    } else if (first == 1 || first == 2) {
        answer.kind = DisplayAnswerKind::Accepted;
        // Success: the check is the server's client now. The reply's head ends with the length
        // of what follows (in units of 4 bytes), whose 21st byte is the count of the server's
        // screens.
        if (first == 1) {
            char fixed[24] = {};
            if (ReceiveBefore(socket, head + 1, 7, deadline, &isClosed) == 7 &&
                (static_cast<unsigned char>(head[6]) | static_cast<unsigned char>(head[7]) << 8) >=
                    6 &&
                ReceiveBefore(socket, fixed, sizeof fixed, deadline, &isClosed) == sizeof fixed)
                answer.screens = static_cast<unsigned char>(fixed[20]);
            question.kept->Keep(socket);
            return answer;
        }
    } else if (first == 0) {
        // The reason's length, the protocol version, the length of what follows; the reason.
        answer.kind = DisplayAnswerKind::Refused;
        if (ReceiveBefore(socket, head + 1, 7, deadline, &isClosed) == 7) {
            std::string reason(static_cast<unsigned char>(head[1]), '\0');
            reason.resize(ReceiveBefore(socket, reason.data(), reason.size(), deadline, &isClosed));
            // Told on one line: a line break or other control character is written as a blank.
            for (char& c : reason)
                c = static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? ' ' : c;
            while (!reason.empty() && reason.back() == ' ')
                reason.pop_back();
            answer.reason = reason;
        }
    }
    ::close(socket);
    return answer;
}

// The answer at the first address the X library would connect to: over the connection made there,
// else None (a connection that stays pending, or none made).
DisplayAnswer AskAt(const sockaddr* address, socklen_t length, const DisplayQuestion& question,
                    DisplayConnection* connection) {
    *connection = ConnectBefore(address, length, question.deadline);
    if (connection->socket < 0)
        return {};
    return AskConnected(connection->socket, question);
}

// The local socket of display `number`: abstract (a zero byte and the path, without a zero
// after it) or the file (its path ending with one).
DisplayAnswer AskLocally(int number, bool isAbstract, const DisplayQuestion& question,
                         DisplayConnection* connection) {
    const std::string path = "/tmp/.X11-unix/X" + std::to_string(number);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::size_t offset = isAbstract ? 1 : 0;
    std::copy(path.begin(), path.end(), address.sun_path + offset);
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + offset +
                                               path.size() + (isAbstract ? 0 : 1));
    return AskAt(reinterpret_cast<const sockaddr*>(&address), length, question, connection);
}

// The addresses of host at port: the resolver's, or those kDisplayAddressesVariable gives.
std::vector<sockaddr_storage> DisplayHostAddresses(const std::string& host, int port) {
    std::vector<sockaddr_storage> addresses;
    const auto add = [&addresses, port](const std::string& name, int flags) {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_flags = AI_NUMERICSERV | flags;
        addrinfo* found = nullptr;
        if (::getaddrinfo(name.c_str(), std::to_string(port).c_str(), &hints, &found) != 0)
            return;
        for (const addrinfo* at = found; at != nullptr; at = at->ai_next) {
            sockaddr_storage address{};
            std::memcpy(&address, at->ai_addr,
                        std::min<std::size_t>(at->ai_addrlen, sizeof address));
            addresses.push_back(address);
        }
        ::freeaddrinfo(found);
    };
    const char* given = std::getenv(kDisplayAddressesVariable);
    if (given == nullptr || *given == 0) {
        add(host, 0);
        return addresses;
    }
    std::string_view list = given;
    while (!list.empty()) {
        const std::size_t comma = std::min(list.find(','), list.size());
        if (comma > 0)
            add(std::string(list.substr(0, comma)), AI_NUMERICHOST);
        list.remove_prefix(std::min(comma + 1, list.size()));
    }
    return addresses;
}

// Port 6000 + number at each address of host in turn, up to the first that takes the connection.
DisplayAnswer AskOverTcp(std::string host, const DisplayQuestion& question) {
    if (host.size() > 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    DisplayAnswer answer;
    for (const sockaddr_storage& address : DisplayHostAddresses(host, 6000 + question.number)) {
        const socklen_t length =
            address.ss_family == AF_INET6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
        DisplayConnection connection;
        answer = AskAt(reinterpret_cast<const sockaddr*>(&address), length, question, &connection);
        if (connection.socket >= 0 || connection.isPending)
            break;
    }
    return answer;
}

// The check's answer time: kDisplayAnswerTime, or what kDisplayAnswerTimeVariable sets.
std::chrono::milliseconds DisplayAnswerTime() {
    const char* given = std::getenv(kDisplayAnswerTimeVariable);
    const std::string_view text = given != nullptr ? given : "";
    unsigned milliseconds = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), milliseconds);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return kDisplayAnswerTime;
    return std::chrono::milliseconds(milliseconds);
}

// How the display named "[protocol/][host]:number[.screen]" answers where the X library connects.
// The library takes the first address that connects and waits there: for a local display its
// abstract socket, then (when that is absent or refuses) its socket file, then, when neither
// connects and no protocol is named, port 6000 + number at "localhost"; for a host, that port at
// each of its addresses in turn. With a protocol other than "unix" and no host (or the host
// "unix") it connects nowhere. A connection must be made within kDisplayConnectTime, and answered
// within the answer time. A connection to a server that lets the check in goes to kept.
DisplayAnswer AskXDisplay(std::string_view name, KeptDisplayConnection& kept, int* screen) {
    DisplayAnswer unasked;
    unasked.kind = DisplayAnswerKind::Unasked;
    std::string_view protocol;
    const std::size_t colon = name.rfind(':');
    if (colon == std::string_view::npos || name.starts_with('/'))
        return unasked;
    std::string_view host = name.substr(0, colon);
    if (const std::size_t slash = host.find('/'); slash != std::string_view::npos) {
        protocol = host.substr(0, slash);
        host.remove_prefix(slash + 1);
    }
    std::string_view number = name.substr(colon + 1);
    std::string_view screenNumber;
    if (const std::size_t dot = number.find('.'); dot != std::string_view::npos) {
        screenNumber = number.substr(dot + 1);
        number = number.substr(0, dot);
    }
    const auto parse = [](std::string_view text, int* value) {
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), *value);
        return !text.empty() && error == std::errc() && end == text.data() + text.size();
    };
    int display = 0;
    *screen = 0;
    if (!parse(number, &display) || display > 59535 || host.ends_with(':') ||
        (!screenNumber.empty() && !parse(screenNumber, screen)) ||
        (protocol != "" && protocol != "unix" && protocol != "tcp" && protocol != "inet" &&
         protocol != "inet6"))
        return unasked;
    if (!protocol.empty() && protocol != "unix" && (host.empty() || host == "unix")) {
        DisplayAnswer unusable;
        unusable.kind = DisplayAnswerKind::Unusable;
        unusable.reason = "with the protocol \"" + std::string(protocol) + "\" and " +
                          (host.empty() ? "no host" : "the host \"unix\"") +
                          " the X library connects nowhere (" + std::string(protocol) +
                          "/localhost:" + std::string(number) +
                          " is the display's TCP port at this host, :" + std::string(number) +
                          " its local socket)";
        return unusable;
    }
    const bool isLocal =
        protocol == "unix" || (protocol.empty() && (host.empty() || host == "unix"));
    bool isSlowTold = false;
    DisplayQuestion question{display,
                             {},
                             DisplayAnswerTime(),
                             std::chrono::steady_clock::now() + kSlowDisplayNotice,
                             &isSlowTold,
                             &kept};
    const auto ask = [&] {
        question.deadline = std::chrono::steady_clock::now() + kDisplayConnectTime;
        if (isLocal) {
            DisplayConnection connection;
            DisplayAnswer answer = AskLocally(display, true, question, &connection);
            const bool isAbsent = connection.error == ENOENT || connection.error == ECONNREFUSED;
            if (connection.socket >= 0 || connection.isPending || !isAbsent)
                return answer;
            answer = AskLocally(display, false, question, &connection);
            if (connection.socket >= 0 || connection.isPending || !protocol.empty() ||
                !host.empty())
                return answer;
        }
        return AskOverTcp(isLocal || host.empty() ? "localhost" : std::string(host), question);
    };
    // A server that resets as its last client leaves closes the connections it is taking
    // meanwhile: a closed connection is asked again, a few times. ssh's X11 forwarding closes
    // each connection whose authorisation it does not take, and tells each on its own side.
    DisplayAnswer answer = ask();
    for (int asked = 1; answer.kind == DisplayAnswerKind::Closed && asked < kClosedAsks; ++asked) {
        std::this_thread::sleep_for(kClosedAgainPause);
        DisplayAnswer again = ask();
        if (again.kind == DisplayAnswerKind::NoServer)
            break;
        answer = std::move(again);
    }
    return answer;
}

// Why no display can be reached before SDL2 starts its video: no driver asked for by name, no
// Wayland display named and no X display that answers, or one that refuses. Empty when one may
// be there. SDL2 would otherwise try its drivers in turn, and the X and Wayland libraries tell
// their own failures on the error output before the program can say what is wrong. The
// connection of an X server that let the check in goes to kept.
std::string NoDisplayReason(KeptDisplayConnection& kept) {
    const auto isSet = [](const char* name) {
        const char* value = std::getenv(name);
        return value != nullptr && *value != 0;
    };
    if (isSet("SDL_VIDEODRIVER") || isSet("WAYLAND_DISPLAY"))
        return {};
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == 0)
        return "no display can be reached (" + DescribeVariable("DISPLAY") + ", " +
               DescribeVariable("WAYLAND_DISPLAY") + ")";
    int screen = 0;
    const DisplayAnswer answer = AskXDisplay(display, kept, &screen);
    const DisplayAuthorisation& authorisation = answer.authorisation;
    // The X library sends an authorisation of another kind where the check sent none: its
    // answer may differ.
    const bool isAskedAsTheLibraryAsks =
        !authorisation.cookie.empty() || !authorisation.hasOtherKind;
    switch (answer.kind) {
    case DisplayAnswerKind::NoServer:
        return "no display can be reached (" + DescribeVariable("DISPLAY") +
               ": no X server answers, " + DescribeVariable("WAYLAND_DISPLAY") + ")";
    case DisplayAnswerKind::Refused:
        if (!isAskedAsTheLibraryAsks)
            return {};
        return "the X server of " + DescribeVariable("DISPLAY") + " refused the connection: \"" +
               answer.reason + "\"; " + DescribeAuthorisation(authorisation);
    case DisplayAnswerKind::Closed:
        if (!isAskedAsTheLibraryAsks)
            return {};
        return DescribeVariable("DISPLAY") +
               " closed the connection without an answer (ssh's X11 forwarding does so when it "
               "does not take the authorisation or cannot reach the display behind it); " +
               DescribeAuthorisation(authorisation);
    case DisplayAnswerKind::Unusable:
        return DescribeVariable("DISPLAY") + " cannot be used: " + answer.reason;
    case DisplayAnswerKind::Accepted:
        // The X library opens no display whose screen the server does not have.
        if (answer.screens >= 0 && screen >= answer.screens)
            return DescribeVariable("DISPLAY") + " names screen " + std::to_string(screen) +
                   ", and its X server has only " +
                   (answer.screens == 1 ? std::string("screen 0")
                                        : "screens 0 to " + std::to_string(answer.screens - 1));
        break;
    case DisplayAnswerKind::Unasked:
        break;
    }
    return {};
}

// Why SDL2's current video driver shows nothing; empty when it shows the window (or was asked
// for by name).
std::string UnseenDriverReason() {
    const char* current = SDL_GetCurrentVideoDriver();
    const std::string_view driver = current != nullptr ? current : "";
    if (std::find(std::begin(kUnseenVideoDrivers), std::end(kUnseenVideoDrivers), driver) ==
            std::end(kUnseenVideoDrivers) ||
        IsDriverAskedFor(driver))
        return {};
    return "no display can be reached (" + DescribeVariable("DISPLAY") + ", " +
           DescribeVariable("WAYLAND_DISPLAY") + "); SDL2 fell back to its \"" +
           std::string(driver) + "\" video driver, which shows nothing";
}

// The device key for a PC key; 0 for keys the device does not have. The keypad is known by
// where its keys lie (the scan code), whatever the layout and Num Lock make of them; '+' and '-'
// by what they type, on whichever key the layout has them: '+' typed with Shift on the '=' key
// is the same key as '+' on a key of its own, as it is for the device.
UINT KeyOf(SDL_Keycode key, SDL_Scancode scancode) {
    if (scancode >= SDL_SCANCODE_KP_1 && scancode <= SDL_SCANCODE_KP_9)
        return VK_NUMPAD0 + 1 + static_cast<UINT>(scancode - SDL_SCANCODE_KP_1);
    switch (scancode) {
    case SDL_SCANCODE_KP_0:
        return VK_NUMPAD0;
    case SDL_SCANCODE_KP_PLUS:
        return VK_ADD;
    case SDL_SCANCODE_KP_MINUS:
        return VK_SUBTRACT;
    case SDL_SCANCODE_KP_MULTIPLY:
        return VK_MULTIPLY;
    case SDL_SCANCODE_KP_PERIOD:
    case SDL_SCANCODE_KP_DECIMAL:
        return VK_DECIMAL;
    case SDL_SCANCODE_KP_ENTER:
        return VK_RETURN;
    default:
        break;
    }
    if (key >= SDLK_a && key <= SDLK_z)
        return static_cast<UINT>('A' + (key - SDLK_a));
    if (key >= SDLK_0 && key <= SDLK_9)
        return static_cast<UINT>('0' + (key - SDLK_0));
    if (key >= SDLK_F1 && key <= SDLK_F12)
        return VK_F1 + static_cast<UINT>(key - SDLK_F1);
    switch (key) {
    case SDLK_LEFT:
        return VK_LEFT;
    case SDLK_RIGHT:
        return VK_RIGHT;
    case SDLK_UP:
        return VK_UP;
    case SDLK_DOWN:
        return VK_DOWN;
    case SDLK_RETURN:
        return VK_RETURN;
    case SDLK_ESCAPE:
        return VK_ESCAPE;
    case SDLK_TAB:
        return VK_TAB;
    case SDLK_BACKSPACE:
        return VK_BACK;
    case SDLK_SPACE:
        return VK_SPACE;
    case SDLK_DELETE:
        return VK_DELETE;
    case SDLK_HOME:
        return VK_HOME;
    case SDLK_END:
        return VK_END;
    case SDLK_PAGEUP:
        return VK_PRIOR;
    case SDLK_PAGEDOWN:
        return VK_NEXT;
    case SDLK_PLUS:
    case SDLK_EQUALS:
        return VK_OEM_PLUS;
    case SDLK_MINUS:
        return VK_OEM_MINUS;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT:
        return VK_SHIFT;
    case SDLK_LCTRL:
    case SDLK_RCTRL:
        return VK_CONTROL;
    default:
        return 0;
    }
}

// True for the device keys whose press types a character of its own (the loop's
// TranslateMessage makes it): letters, digits, the space bar, '+', '-' and the keypad's.
bool IsTypedByKey(UINT key) {
    return (key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9') ||
           (key >= VK_NUMPAD0 && key <= VK_NUMPAD9) || key == VK_SPACE || key == VK_OEM_PLUS ||
           key == VK_OEM_MINUS || key == VK_ADD || key == VK_SUBTRACT || key == VK_MULTIPLY ||
           key == VK_DECIMAL;
}

class VisibleScreen;

// The window whose thread uses the display, for the end of the program when the display is lost.
std::atomic<VisibleScreen*> g_shownScreen{nullptr};

[[noreturn]] void EndOnLostDisplay();

class VisibleScreen {
public:
    VisibleScreen() = default;
    VisibleScreen(const VisibleScreen&) = delete;
    VisibleScreen& operator=(const VisibleScreen&) = delete;
    ~VisibleScreen() {
        if (m_thread.joinable())
            (void)Stop();
    }

    bool Start(const platform::VisibleScreenOptions& options, std::string* whyNot) {
        m_scale = std::clamp(options.scale, 1, kMaxScale);
        m_ownerThread = GetCurrentThreadId();
        m_thread = std::thread([this] { Run(); });
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_isStarted; });
        if (!m_isOpen) {
            if (whyNot != nullptr)
                *whyNot = m_failure;
            lock.unlock();
            m_thread.join();
        }
        return m_isOpen;
    }

    // Closes the window and ends its thread; false when the display had been lost, the thread
    // then left to wait for the end of the process without touching the display again, or when
    // the display does not answer within kCloseSeconds (a frozen link: the thread waits in the X
    // library for a reply that may never come), the thread then left there.
    bool Stop() {
        m_isStopping = true;
        std::unique_lock lock(m_mutex);
        const bool hasClosed = m_changed.wait_for(lock, std::chrono::seconds(kCloseSeconds),
                                                  [this] { return m_hasEnded || m_isLost; });
        const bool isLost = m_isLost;
        lock.unlock();
        if (!hasClosed) {
            (void)std::fprintf(stderr,
                               "%s: the X display did not answer within %d seconds; the program "
                               "ends without closing its window\n",
                               program_invocation_short_name, kCloseSeconds);
        }
        if (isLost || !hasClosed)
            m_thread.detach();
        else
            m_thread.join();
        return hasClosed && !isLost;
    }

    // On the window's thread, inside the X library, when the display is gone: the end of the
    // program is asked of the thread that opened the window, as a quit ends it (WM_QUIT ends
    // every message loop), which finds the window lost when it closes it. This thread never
    // returns to the X library, which would end the process from here: it waits for the end,
    // which the end's backstop bounds. Before the window is open nothing of the program runs
    // yet: the process ends at once.
    [[noreturn]] void EndLost() {
        bool isOpen = false;
        DWORD owner = 0;
        {
            std::lock_guard lock(m_mutex);
            isOpen = m_isOpen;
            owner = m_ownerThread;
            m_isLost = true;
            m_changed.notify_all();
        }
        if (!isOpen)
            ::_exit(platform::kLostSessionExitCode);
        (void)platform::AskProgramEnd(owner, platform::kLostSessionExitCode);
        for (;;)
            std::this_thread::sleep_for(std::chrono::hours(1));
    }

    bool Icon(std::vector<std::uint32_t>* pixels, int* width, int* height) {
        std::lock_guard lock(m_mutex);
        if (m_icon.empty())
            return false;
        *pixels = m_icon;
        *width = m_iconWidth;
        *height = m_iconHeight;
        return true;
    }

    bool Capture(std::vector<std::uint32_t>* pixels, int* width, int* height) {
        std::unique_lock lock(m_mutex);
        m_isCaptureWanted = true;
        m_isCaptured = false;
        if (!m_changed.wait_for(lock, std::chrono::seconds(1),
                                [this] { return m_isCaptured || m_isLost; }) ||
            m_isLost)
            return false;
        *pixels = m_captured;
        *width = m_capturedWidth;
        *height = m_capturedHeight;
        return true;
    }

private:
    // failure: empty when the window is open, else why it is not.
    void Signal(const std::string& failure) {
        std::lock_guard lock(m_mutex);
        m_isStarted = true;
        m_isOpen = failure.empty();
        m_failure = failure;
        m_changed.notify_all();
    }

    void Handle(const SDL_Event& event) {
        switch (event.type) {
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
            const POINT point{event.button.x / m_scale, event.button.y / m_scale};
            const bool isDown = event.type == SDL_MOUSEBUTTONDOWN;
            if (event.button.button == SDL_BUTTON_LEFT) {
                platform::InjectStylus(
                    isDown ? platform::StylusAction::Down : platform::StylusAction::Up, point);
            } else if (event.button.button == SDL_BUTTON_RIGHT) {
                platform::InjectStylus(isDown ? platform::StylusAction::RightDown
                                              : platform::StylusAction::RightUp,
                                       point);
            }
            break;
        }
        case SDL_MOUSEMOTION:
            if ((event.motion.state & SDL_BUTTON_LMASK) != 0) {
                platform::InjectStylus(platform::StylusAction::Move,
                                       POINT{event.motion.x / m_scale, event.motion.y / m_scale});
            }
            break;
        case SDL_KEYDOWN:
        case SDL_KEYUP: {
            const UINT key = KeyOf(event.key.keysym.sym, event.key.keysym.scancode);
            if (key != 0)
                platform::InjectKey(key, event.type == SDL_KEYDOWN);
            if (event.type == SDL_KEYDOWN)
                m_isTypedByKey = key != 0 && IsTypedByKey(key);
            break;
        }
        case SDL_TEXTINPUT:
            // What the device's keys type comes with their key presses; the rest ('\', '.',
            // letters with accents ...) as the input panel types it.
            if (!m_isTypedByKey) {
                for (const char16_t c : platform::Utf8ToUtf16(event.text.text))
                    platform::InjectChar(c);
            }
            m_isTypedByKey = false;
            break;
        default:
            break;
        }
    }

    void Run() {
        // The window's own surface, scaled by a plain blit: no graphics driver is involved.
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
        // SIGINT and SIGTERM keep ending the program as they do headless, at every moment: SDL2
        // would otherwise turn them into a close request, from the start of its video on, while
        // it may still be waiting for a display.
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        KeptDisplayConnection checked;
        if (const std::string none = NoDisplayReason(checked); !none.empty()) {
            Signal(none);
            return;
        }
        // Before SDL2 connects: it passes on the errors it does not handle itself to the handler
        // it found.
        g_shownScreen = this;
        platform::TellXErrorsAndGoOn(EndOnLostDisplay);
        const int started = SDL_InitSubSystem(SDL_INIT_VIDEO);
        // SDL2's X connection, when it has one, is made.
        checked.Close();
        if (started != 0) {
            Signal(std::string("SDL2 cannot start its video: ") + SDL_GetError());
            return;
        }
        if (const std::string unseen = UnseenDriverReason(); !unseen.empty()) {
            SDL_QuitSubSystem(SDL_INIT_VIDEO);
            Signal(unseen);
            return;
        }
        std::vector<std::uint32_t> pixels;
        int width = 0, height = 0;
        (void)platform::ReadShownPixels(&pixels, &width, &height);
        SDL_Window* window =
            SDL_CreateWindow("Navigator", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                             width * m_scale, height * m_scale, 0);
        if (window != nullptr)
            platform::TellRefusedSharedMemoryAsBadAccess(window);
        if (window == nullptr || SDL_GetWindowSurface(window) == nullptr) {
            const std::string failure =
                std::string("SDL2 cannot make the window: ") + SDL_GetError();
            if (window != nullptr)
                SDL_DestroyWindow(window);
            SDL_QuitSubSystem(SDL_INIT_VIDEO);
            Signal(failure);
            return;
        }
        int shownWidth = width, shownHeight = height;
        Signal({});
        while (!m_isStopping) {
            // Polled, not waited for: SDL2's wait wakes itself by sending an event to the window
            // over a second connection to the display, which can reach the X server after the
            // window is gone (a key that quits), and be refused there.
            SDL_Event event;
            bool hasEvent = false;
            while (SDL_PollEvent(&event) != 0) {
                Handle(event);
                hasEvent = true;
            }
            if (!hasEvent)
                SDL_Delay(kFrameMilliseconds);
            // A capture asked for takes a frame read after the asking, never one read before.
            bool isCaptureWanted = false;
            {
                std::lock_guard lock(m_mutex);
                isCaptureWanted = m_isCaptureWanted;
            }
            if (!platform::ReadShownPixels(&pixels, &width, &height))
                continue;
            if (width != shownWidth || height != shownHeight) {
                SDL_SetWindowSize(window, width * m_scale, height * m_scale);
                shownWidth = width;
                shownHeight = height;
            }
            SDL_Surface* target = SDL_GetWindowSurface(window);
            SDL_Surface* frame = SDL_CreateRGBSurfaceWithFormatFrom(
                pixels.data(), width, height, 32, width * 4, SDL_PIXELFORMAT_RGB888);
            if (target == nullptr || frame == nullptr) {
                SDL_FreeSurface(frame);
                continue;
            }
            ShowIcon(window);
            SDL_Rect whole{0, 0, width * m_scale, height * m_scale};
            SDL_BlitScaled(frame, nullptr, target, &whole);
            SDL_FreeSurface(frame);
            if (isCaptureWanted)
                CaptureFrame(target);
            SDL_UpdateWindowSurface(window);
        }
        SDL_DestroyWindow(window);
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        g_shownScreen = nullptr;
        std::lock_guard lock(m_mutex);
        m_hasEnded = true;
        m_changed.notify_all();
    }

    // Gives the window the screen's big icon when it changed.
    void ShowIcon(SDL_Window* window) {
        const HICON icon = platform::ScreenIcon();
        if (icon == m_shownIcon)
            return;
        m_shownIcon = icon;
        std::vector<std::uint32_t> pixels;
        int width = 0, height = 0;
        if (icon == nullptr || !platform::ReadIconPixels(icon, &pixels, &width, &height))
            return;
        SDL_Surface* picture = SDL_CreateRGBSurfaceWithFormatFrom(
            pixels.data(), width, height, 32, width * 4, SDL_PIXELFORMAT_RGB888);
        if (picture == nullptr)
            return;
        SDL_SetWindowIcon(window, picture);
        SDL_FreeSurface(picture);
        std::lock_guard lock(m_mutex);
        m_icon = std::move(pixels);
        m_iconWidth = width;
        m_iconHeight = height;
    }

    void CaptureFrame(SDL_Surface* surface) {
        std::vector<std::uint32_t> captured(static_cast<std::size_t>(surface->w) * surface->h);
        const bool isRead =
            SDL_ConvertPixels(surface->w, surface->h, surface->format->format, surface->pixels,
                              surface->pitch, SDL_PIXELFORMAT_RGB888, captured.data(),
                              surface->w * 4) == 0;
        std::lock_guard lock(m_mutex);
        m_isCaptureWanted = false;
        if (!isRead)
            return;
        for (std::uint32_t& p : captured)
            p &= 0xFFFFFF;
        m_captured = std::move(captured);
        m_capturedWidth = surface->w;
        m_capturedHeight = surface->h;
        m_isCaptured = true;
        m_changed.notify_all();
    }

    int m_scale = 2;
    bool m_isTypedByKey = false; // the last key pressed types its character itself
    std::thread m_thread;
    DWORD m_ownerThread = 0; // the thread that opened the window
    std::atomic<bool> m_isStopping{false};
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_isStarted = false;
    bool m_isOpen = false;
    bool m_hasEnded = false; // the open window's thread has closed it
    bool m_isLost = false;   // the connection to the display was lost
    std::string m_failure;   // why the window did not open
    bool m_isCaptureWanted = false;
    bool m_isCaptured = false;
    std::vector<std::uint32_t> m_captured;
    int m_capturedWidth = 0;
    int m_capturedHeight = 0;
    HICON m_shownIcon = nullptr; // the window thread's
    std::vector<std::uint32_t> m_icon;
    int m_iconWidth = 0;
    int m_iconHeight = 0;
};

void EndOnLostDisplay() {
    if (VisibleScreen* screen = g_shownScreen.load())
        screen->EndLost();
    ::_exit(1);
}

std::mutex& ScreenMutex() {
    static std::mutex mutex;
    return mutex;
}

std::unique_ptr<VisibleScreen>& Current() {
    static std::unique_ptr<VisibleScreen> screen;
    return screen;
}

} // namespace

namespace platform {

std::optional<VisibleScreenOptions> VisibleScreenRequest(int argc, const char* const* argv,
                                                         std::string* error) {
    error->clear();
    std::string given;
    for (int i = 1; i < argc && argv != nullptr && given.empty(); ++i) {
        const std::string_view argument = argv[i] != nullptr ? argv[i] : "";
        if (argument.starts_with("--screen="))
            given = argument;
    }
    if (given.empty()) {
        const char* variable = std::getenv("NAV_SCREEN");
        if (variable == nullptr || *variable == 0)
            return std::nullopt;
        given = std::string("NAV_SCREEN=") + variable;
    }
    std::optional<VisibleScreenOptions> request;
    if (!ParseScreen(std::string_view(given).substr(given.find('=') + 1), request)) {
        *error = "\"" + given +
                 "\" is not understood: the screen is headless, visible or visible:SCALE (SCALE 1 "
                 "to 8)";
    }
    return request;
}

bool StartVisibleScreen(const VisibleScreenOptions& options, std::string* whyNot) {
    // A connection to the display that its peer closed (an ssh session gone) is told as lost,
    // never ends the process on the write that finds it so.
    KeepBrokenPipesFromEndingTheProcess();
    std::lock_guard lock(ScreenMutex());
    if (Current()) {
        if (whyNot != nullptr)
            *whyNot = "a window is open already";
        return false;
    }
    auto screen = std::make_unique<VisibleScreen>();
    if (!screen->Start(options, whyNot))
        return false;
    Current() = std::move(screen);
    return true;
}

bool StopVisibleScreen() {
    std::lock_guard lock(ScreenMutex());
    if (!Current())
        return true;
    if (Current()->Stop()) {
        Current().reset();
        return true;
    }
    // The thread of a window whose display was lost or froze still runs in it until the process
    // ends: what it uses is never destroyed.
    static auto* left = new std::vector<std::unique_ptr<VisibleScreen>>;
    left->push_back(std::move(Current()));
    return false;
}

bool VisibleScreenIcon(std::vector<std::uint32_t>* pixels, int* width, int* height) {
    std::lock_guard lock(ScreenMutex());
    if (!Current() || pixels == nullptr || width == nullptr || height == nullptr)
        return false;
    return Current()->Icon(pixels, width, height);
}

bool CaptureVisibleScreen(std::vector<std::uint32_t>* pixels, int* width, int* height) {
    std::lock_guard lock(ScreenMutex());
    if (!Current() || pixels == nullptr || width == nullptr || height == nullptr)
        return false;
    return Current()->Capture(pixels, width, height);
}

} // namespace platform
