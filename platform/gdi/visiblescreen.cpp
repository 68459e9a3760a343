// The SDL2 window of the visible back end.
#include "platform/gdi/visiblescreen.h"

#include "platform/gdi/dib.h"
#include "platform/gdi/screenshot.h"
#include "platform/kernel/codepage.h"
#include "platform/window/input.h"
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
#include <cstdlib>
#include <cstring>
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

namespace {

constexpr int kFrameMilliseconds = 15;
constexpr int kMaxScale = 8;

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

// How long the display check waits, all addresses together, for an X server to answer.
constexpr auto kDisplayAnswerTime = std::chrono::seconds(2);
// The pause before a local server whose queue of connections was full is asked again.
constexpr auto kBusyServerPause = std::chrono::milliseconds(10);

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

// The cookie for display number `display` in the X authority file (XAUTHORITY, else
// ~/.Xauthority), looked up as the X library looks it up for the connected socket: by this
// host's name for a local socket and for a peer at the loopback address, by the peer's address
// otherwise. Empty when there is none.
std::string DisplayCookie(int socket, int display) {
    sockaddr_storage peer{};
    socklen_t length = sizeof peer;
    if (::getpeername(socket, reinterpret_cast<sockaddr*>(&peer), &length) != 0)
        return {};
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
        return {};
    }
    if (family == FamilyLocal) {
        char host[256] = {};
        if (::gethostname(host, sizeof host - 1) != 0)
            return {};
        address = host;
    }
    const std::string number = std::to_string(display);
    std::string protocol(kCookieProtocol);
    char* protocols[] = {protocol.data()};
    const int protocolLengths[] = {static_cast<int>(protocol.size())};
    Xauth* found = ::XauGetBestAuthByAddr(
        family, static_cast<unsigned short>(address.size()), address.data(),
        static_cast<unsigned short>(number.size()), number.data(), 1, protocols, protocolLengths);
    if (found == nullptr)
        return {};
    std::string cookie(found->data, found->data_length);
    ::XauDisposeAuth(found);
    return cookie;
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

// What the display check asks: the display's number, the deadline for all its addresses
// together, and where it keeps the connection of a server that lets it in.
struct DisplayQuestion {
    int number = 0;
    DisplayDeadline deadline;
    KeptDisplayConnection* kept = nullptr;
};

// True when an X server, or a forwarding to one, answers at the address before the deadline. It
// is sent the set-up request the X library sends, with the display's cookie. An X server replies
// with a first byte of 0, 1 or 2 (failed, success, authenticate: a refusal for want of
// authorisation is an answer too); a forwarding (ssh's X11 forwarding) closes, without a byte,
// a connection whose request lacks its cookie, and so tells that it is there. Any other reply
// (an HTTP server on the display's port, say) is no X server, nor is silence: the kernel
// completes a connection for a listening server that is stopped too. A local server whose queue
// of connections is full is busy, not absent, and is asked again until the deadline.
bool XServerAnswersAt(const sockaddr* address, socklen_t length, const DisplayQuestion& question) {
    const DisplayDeadline deadline = question.deadline;
    for (;;) {
        const int socket =
            ::socket(address->sa_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (socket < 0)
            return false;
        bool isConnected = ::connect(socket, address, length) == 0;
        if (!isConnected && errno == EAGAIN) {
            ::close(socket);
            if (MillisecondsLeft(deadline) == 0)
                return false;
            std::this_thread::sleep_for(kBusyServerPause);
            continue;
        }
        if (!isConnected && errno == EINPROGRESS && AwaitSocket(socket, POLLOUT, deadline)) {
            int error = 0;
            socklen_t size = sizeof error;
            isConnected =
                ::getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
        }
        bool isAnswered = false;
        if (isConnected &&
            SendBefore(socket, XSetUpRequest(DisplayCookie(socket, question.number)), deadline) &&
            AwaitSocket(socket, POLLIN, deadline)) {
            unsigned char answer = 0;
            ssize_t received = 0;
            do {
                received = ::recv(socket, &answer, 1, 0);
            } while (received < 0 && errno == EINTR);
            // A peer that closes with part of the request unread resets the connection.
            const bool isClosed = received == 0 || (received < 0 && errno == ECONNRESET);
            isAnswered = isClosed || (received == 1 && answer <= 2);
            // Success: the check is the server's client now.
            if (received == 1 && answer == 1) {
                question.kept->Keep(socket);
                return true;
            }
        }
        ::close(socket);
        return isAnswered;
    }
}

bool XServerAnswersLocally(const std::string& path, bool isAbstract,
                           const DisplayQuestion& question) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    // An abstract name is a zero byte and the path, without a zero after it; a file's path ends
    // with one.
    const std::size_t offset = isAbstract ? 1 : 0;
    if (path.size() + offset >= sizeof address.sun_path)
        return false;
    std::copy(path.begin(), path.end(), address.sun_path + offset);
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + offset +
                                               path.size() + (isAbstract ? 0 : 1));
    return XServerAnswersAt(reinterpret_cast<const sockaddr*>(&address), length, question);
}

bool XServerAnswersOverTcp(const std::string& host, const DisplayQuestion& question) {
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), std::to_string(6000 + question.number).c_str(), &hints,
                      &found) != 0)
        return false;
    bool isAnswered = false;
    for (const addrinfo* at = found; at != nullptr && !isAnswered; at = at->ai_next)
        isAnswered = XServerAnswersAt(at->ai_addr, at->ai_addrlen, question);
    ::freeaddrinfo(found);
    return isAnswered;
}

// Whether an X server (or a forwarding to one) may answer on the display named
// "[protocol/][host]:number[.screen]": its socket (abstract or in /tmp/.X11-unix) for a local
// display, port 6000 + number over TCP for a host and, as the X library falls back to it, for a
// local display too, all within kDisplayAnswerTime. A name of another form is left to SDL2 to try.
// A connection to a server that lets the check in goes to kept.
bool MayXDisplayAnswer(std::string_view name, KeptDisplayConnection& kept) {
    std::string_view protocol;
    const std::size_t colon = name.rfind(':');
    if (colon == std::string_view::npos || name.starts_with('/'))
        return true;
    std::string_view host = name.substr(0, colon);
    if (const std::size_t slash = host.find('/'); slash != std::string_view::npos) {
        protocol = host.substr(0, slash);
        host.remove_prefix(slash + 1);
    }
    std::string_view number = name.substr(colon + 1);
    number = number.substr(0, number.find('.'));
    int display = 0;
    const auto [end, error] =
        std::from_chars(number.data(), number.data() + number.size(), display);
    if (number.empty() || error != std::errc() || end != number.data() + number.size() ||
        display > 59535 || host.ends_with(':') ||
        (protocol != "" && protocol != "unix" && protocol != "tcp" && protocol != "inet" &&
         protocol != "inet6"))
        return true;
    const bool isLocal =
        protocol == "unix" || (protocol.empty() && (host.empty() || host == "unix"));
    const DisplayQuestion question{display, std::chrono::steady_clock::now() + kDisplayAnswerTime,
                                   &kept};
    if (isLocal) {
        const std::string socket = "/tmp/.X11-unix/X" + std::to_string(display);
        if (XServerAnswersLocally(socket, true, question) ||
            XServerAnswersLocally(socket, false, question))
            return true;
        if (!protocol.empty())
            return false;
    }
    return XServerAnswersOverTcp(isLocal || host.empty() ? "localhost" : std::string(host),
                                 question);
}

// Why no display can be reached before SDL2 starts its video: no driver asked for by name, no
// Wayland display named and no X display that answers. Empty when one may be there. SDL2 would
// otherwise try its drivers in turn, and the Wayland library tells its own failure on the
// error output before the program can say what is wrong. The connection of an X server that let
// the check in goes to kept.
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
    if (MayXDisplayAnswer(display, kept))
        return {};
    return "no display can be reached (" + DescribeVariable("DISPLAY") + ": no X server answers, " +
           DescribeVariable("WAYLAND_DISPLAY") + ")";
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

class VisibleScreen {
public:
    bool Start(const platform::VisibleScreenOptions& options, std::string* whyNot) {
        m_scale = std::clamp(options.scale, 1, kMaxScale);
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

    void Stop() {
        m_isStopping = true;
        if (m_thread.joinable())
            m_thread.join();
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
        if (!m_changed.wait_for(lock, std::chrono::seconds(1), [this] { return m_isCaptured; }))
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
            SDL_Event event;
            if (SDL_WaitEventTimeout(&event, kFrameMilliseconds) != 0) {
                Handle(event);
                while (SDL_PollEvent(&event) != 0)
                    Handle(event);
            }
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
    std::atomic<bool> m_isStopping{false};
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_isStarted = false;
    bool m_isOpen = false;
    std::string m_failure; // why the window did not open
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

void StopVisibleScreen() {
    std::lock_guard lock(ScreenMutex());
    if (Current()) {
        Current()->Stop();
        Current().reset();
    }
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
