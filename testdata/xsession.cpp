#include "testdata/xsession.h"

#include "testdata/hostprogram.h"
#include "testdata/tempdir.h"
#include "testdata/xauthoritywriter.h"

#include "platform/window/programend.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/record.h>
#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <mutex>
#include <poll.h>
#include <pwd.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace testdata {

namespace {

constexpr auto kServerStartTime = std::chrono::seconds(20);
constexpr std::string_view kCookieName = "MIT-MAGIC-COOKIE-1";

std::string RandomBytes(std::size_t count) {
    std::string bytes(count, '\0');
    std::ifstream random("/dev/urandom", std::ios::binary);
    random.read(bytes.data(), static_cast<std::streamsize>(count));
    return bytes;
}

std::string HostName() {
    char host[256] = {};
    (void)gethostname(host, sizeof host - 1);
    return host;
}

// Ends the process (SIGTERM, then SIGKILL when it runs on five seconds more) and waits for it.
// A stopped process goes on to take the SIGTERM.
void EndProcess(int processId) {
    if (processId <= 0)
        return;
    (void)kill(processId, SIGTERM);
    (void)kill(processId, SIGCONT);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    int status = 0;
    while (waitpid(processId, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() >= deadline) {
            (void)kill(processId, SIGKILL);
            (void)waitpid(processId, &status, 0);
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

// The first line written to descriptor within limit; empty when none came.
std::string ReadLineBefore(int descriptor, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::string line;
    while (line.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd readable{descriptor, POLLIN, 0};
        if (left.count() <= 0 || poll(&readable, 1, static_cast<int>(left.count())) <= 0)
            return {};
        char buffer[64];
        const ssize_t count = read(descriptor, buffer, sizeof buffer);
        if (count <= 0)
            return {};
        line.append(buffer, static_cast<std::size_t>(count));
    }
    return line.substr(0, line.find('\n'));
}

// The test's own connections to the server pass over the errors of windows that went away while
// they were looked at.
int IgnoreXError(Display*, XErrorEvent*) {
    return 0;
}

// A connection of the test to the server with its cookie, errors passed over while it lives.
// XSetAuthorization sets the cookie for the connections the process opens; it is put back as it
// was at once.
class TestConnection {
public:
    // An empty name is DISPLAY's display, an empty cookie the one XAUTHORITY gives.
    TestConnection(const std::string& display, const std::string& cookie) {
        platform::KeepBrokenPipesFromEndingTheProcess();
        std::string name(kCookieName);
        std::string data = cookie;
        if (!cookie.empty()) {
            ::XSetAuthorization(name.data(), static_cast<int>(name.size()), data.data(),
                                static_cast<int>(data.size()));
        }
        m_display = ::XOpenDisplay(display.empty() ? nullptr : display.c_str());
        if (!cookie.empty())
            ::XSetAuthorization(nullptr, 0, nullptr, 0);
        m_earlier = ::XSetErrorHandler(IgnoreXError);
    }
    ~TestConnection() {
        if (m_display != nullptr) {
            ::XSync(m_display, False);
            ::XCloseDisplay(m_display);
        }
        ::XSetErrorHandler(m_earlier);
    }
    TestConnection(const TestConnection&) = delete;
    TestConnection& operator=(const TestConnection&) = delete;

    Display* Get() const { return m_display; }

private:
    Display* m_display = nullptr;
    XErrorHandler m_earlier = nullptr;
};

// How many pixels of the window are not black; -1 when it is not shown.
int LitPixels(Display* display, Window window) {
    XWindowAttributes attributes{};
    if (::XGetWindowAttributes(display, window, &attributes) == 0 ||
        attributes.map_state != IsViewable)
        return -1;
    XImage* image = ::XGetImage(display, window, 0, 0, static_cast<unsigned>(attributes.width),
                                static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
    if (image == nullptr)
        return -1;
    int lit = 0;
    for (int y = 0; y < attributes.height; ++y) {
        for (int x = 0; x < attributes.width; ++x)
            lit += (XGetPixel(image, x, y) & 0xFFFFFF) != 0 ? 1 : 0;
    }
    XDestroyImage(image);
    return lit;
}

// The program's file in a folder of PATH, empty when none of them holds one that can be run.
std::filesystem::path FoundOnPath(const std::string& program) {
    const char* variable = std::getenv("PATH");
    std::string_view folders = variable != nullptr ? variable : "";
    while (true) {
        const std::size_t colon = std::min(folders.find(':'), folders.size());
        const std::string folder(folders.substr(0, colon));
        const std::filesystem::path file = (folder.empty() ? "." : folder) + "/" + program;
        if (access(file.c_str(), X_OK) == 0)
            return file;
        if (colon == folders.size())
            return {};
        folders.remove_prefix(colon + 1);
    }
}

// Why the server started as processId (-1: not started) gave no display number: how it ended
// (processId is -1 then), or that it still runs, with what it wrote to its error output.
std::string WhyServerDidNotStart(int& processId, const std::filesystem::path& log) {
    if (processId < 0) {
        if (FoundOnPath("Xvfb").empty()) {
            const char* path = std::getenv("PATH");
            return std::string("Xvfb is not installed (not found on PATH=") +
                   (path != nullptr ? path : "") + "; Debian: xvfb)";
        }
        return "Xvfb could not be run";
    }
    std::string reason;
    int status = 0;
    if (waitpid(processId, &status, WNOHANG) != processId)
        reason =
            "Xvfb gave no display number within " + std::to_string(kServerStartTime.count()) + " s";
    else
        processId = -1;
    if (processId < 0 && WIFEXITED(status))
        reason = "Xvfb ended with exit status " + std::to_string(WEXITSTATUS(status));
    else if (processId < 0)
        reason = "Xvfb ended by signal " + std::to_string(WTERMSIG(status));
    const std::string said = ReadHostFile(log).value_or("");
    return reason + (said.empty() ? ", saying nothing" : ", saying: " + said);
}

// Each word in single quotes for a POSIX shell, a quote in it closed, escaped and opened again.
std::string QuotedForShell(const std::vector<std::string>& words) {
    std::string line;
    for (const std::string& word : words) {
        line += line.empty() ? "'" : " '";
        for (const char c : word)
            line += c == '\'' ? std::string("'\\''") : std::string(1, c);
        line += '\'';
    }
    return line;
}

} // namespace

TestXServer::TestXServer(const std::filesystem::path& folder) {
    // A connection made as the server resets is closed under the test's set-up request: the
    // write fails, and the test goes on, instead of ending there.
    platform::KeepBrokenPipesFromEndingTheProcess();
    m_cookie = RandomBytes(16);
    // The server takes the cookie whatever display number the entry names; clients look it up
    // by the number.
    const std::filesystem::path serverAuthority = folder / "server.xauth";
    XauthorityEntry entry;
    entry.address = HostName();
    entry.data = m_cookie;
    if (!WriteXauthorityFile(serverAuthority, {entry})) {
        m_failure = "cannot write " + serverAuthority.string();
        return;
    }
    int numberPipe[2] = {-1, -1};
    if (pipe2(numberPipe, O_CLOEXEC) != 0) {
        m_failure = "no pipe";
        return;
    }
    // The server writes the number it picked to descriptor 3.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, numberPipe[1], 3);
    posix_spawn_file_actions_addopen(&actions, 2, (folder / "xvfb.log").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    m_processId = StartHostProgram({"Xvfb", "-displayfd", "3", "-auth", serverAuthority.string(),
                                    "-nolisten", "tcp", "-screen", "0", "800x600x24"},
                                   {}, actions);
    posix_spawn_file_actions_destroy(&actions);
    close(numberPipe[1]);
    const std::string number = ReadLineBefore(numberPipe[0], kServerStartTime);
    close(numberPipe[0]);
    if (m_processId < 0 || number.empty() ||
        !std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        m_failure = "Xvfb did not start: " + WhyServerDidNotStart(m_processId, folder / "xvfb.log");
        return;
    }
    m_number = std::stoi(number);
    m_clientAuthority = folder / "client.xauth";
    entry.number = number;
    if (!WriteXauthorityFile(m_clientAuthority, {entry}))
        m_failure = "cannot write " + m_clientAuthority.string();
}

TestXServer::~TestXServer() {
    End();
}

void TestXServer::Pause() {
    if (m_processId > 0)
        (void)kill(m_processId, SIGSTOP);
}

void TestXServer::Resume() {
    if (m_processId > 0)
        (void)kill(m_processId, SIGCONT);
}

void TestXServer::End() {
    Release();
    EndProcess(m_processId);
    m_processId = -1;
}

bool KillXClient(const std::string& displayName, const std::string& cookie, unsigned long window) {
    const TestConnection connection(displayName, cookie);
    Display* display = connection.Get();
    if (display == nullptr)
        return false;
    ::XKillClient(display, window);
    ::XSync(display, False);
    return true;
}

bool MakeRefusedXRequests(const std::string& displayName, int count) {
    Display* display = ::XOpenDisplay(displayName.empty() ? nullptr : displayName.c_str());
    if (display == nullptr)
        return false;
    // An id of no window: the server gives clients ids far below.
    constexpr Window kNoWindow = 0x1FFFFFFF;
    for (int i = 0; i < count; ++i) {
        ::XMapWindow(display, kNoWindow);
        ::XSync(display, False);
    }
    for (int i = 0; i < count; ++i) {
        Atom type = 0;
        int format = 0;
        unsigned long items = 0;
        unsigned long after = 0;
        unsigned char* data = nullptr;
        if (::XGetWindowProperty(display, kNoWindow, XA_WM_NAME, 0, 16, False, AnyPropertyType,
                                 &type, &format, &items, &after, &data) == Success &&
            data != nullptr)
            ::XFree(data);
        ::XSync(display, False);
    }
    ::XCloseDisplay(display);
    return true;
}

std::string MissingDisplayReason() {
    const char* display = std::getenv("DISPLAY");
    if (display != nullptr && *display != 0)
        return {};
    return std::string("no display: DISPLAY is ") + (display == nullptr ? "unset" : "empty") +
           " (the test runs under xvfb-run where the build found it)";
}

bool IsContinuousIntegration() {
    const char* ci = std::getenv("CI");
    return ci != nullptr && (std::string_view(ci) == "true" || std::string_view(ci) == "1");
}

bool TestXServer::AwaitAnswerAndHold(std::chrono::milliseconds limit) {
    Release();
    if (m_number < 0)
        return false;
    const std::string name = DisplayName();
    std::string cookieName(kCookieName);
    std::string cookie = m_cookie;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        ::XSetAuthorization(cookieName.data(), static_cast<int>(cookieName.size()), cookie.data(),
                            static_cast<int>(cookie.size()));
        m_held = ::XOpenDisplay(name.c_str());
        ::XSetAuthorization(nullptr, 0, nullptr, 0);
        if (m_held != nullptr)
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

void TestXServer::Release() {
    if (m_held != nullptr)
        ::XCloseDisplay(m_held);
    m_held = nullptr;
}

unsigned long AwaitDrawnXWindow(const std::string& displayName, const std::string& cookie,
                                const std::string& name, int lit, std::chrono::milliseconds limit) {
    const TestConnection connection(displayName, cookie);
    Display* display = connection.Get();
    if (display == nullptr)
        return 0;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        Window root = DefaultRootWindow(display);
        Window parent = 0;
        Window* children = nullptr;
        unsigned count = 0;
        Window found = 0;
        if (::XQueryTree(display, root, &root, &parent, &children, &count) != 0) {
            for (unsigned i = 0; i < count && found == 0; ++i) {
                char* title = nullptr;
                if (::XFetchName(display, children[i], &title) != 0 && title != nullptr &&
                    name == title && LitPixels(display, children[i]) >= lit)
                    found = children[i];
                if (title != nullptr)
                    ::XFree(title);
            }
            if (children != nullptr)
                ::XFree(children);
        }
        if (found != 0)
            return found;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return 0;
}

bool TypeInXWindow(const std::string& displayName, const std::string& cookie, unsigned long window,
                   const std::vector<unsigned long>& keys, const std::vector<unsigned long>& held) {
    const TestConnection connection(displayName, cookie);
    Display* display = connection.Get();
    if (display == nullptr)
        return false;
    XWindowAttributes attributes{};
    if (::XGetWindowAttributes(display, window, &attributes) == 0)
        return false;
    int x = 0, y = 0;
    Window child = 0;
    ::XTranslateCoordinates(display, window, DefaultRootWindow(display), attributes.width / 2,
                            attributes.height / 2, &x, &y, &child);
    ::XTestFakeMotionEvent(display, DefaultScreen(display), x, y, CurrentTime);
    ::XSetInputFocus(display, window, RevertToPointerRoot, CurrentTime);
    const auto codeOf = [display](unsigned long key) { return ::XKeysymToKeycode(display, key); };
    if (std::any_of(keys.begin(), keys.end(),
                    [&](unsigned long key) { return codeOf(key) == 0; }) ||
        std::any_of(held.begin(), held.end(), [&](unsigned long key) { return codeOf(key) == 0; }))
        return false;
    for (const unsigned long key : held)
        ::XTestFakeKeyEvent(display, codeOf(key), True, CurrentTime);
    for (const unsigned long key : keys) {
        ::XTestFakeKeyEvent(display, codeOf(key), True, CurrentTime);
        ::XTestFakeKeyEvent(display, codeOf(key), False, CurrentTime);
    }
    for (auto key = held.rbegin(); key != held.rend(); ++key)
        ::XTestFakeKeyEvent(display, codeOf(*key), False, CurrentTime);
    ::XSync(display, False);
    return true;
}

// Two connections of the test: one that makes and ends the recording context, and one on which
// a thread of its own takes what is recorded until the context ends.
struct XRequestRecorder::Recording {
    Display* control = nullptr;
    Display* data = nullptr;
    XRecordContext context = 0;
    std::thread reading;
    std::mutex mutex;
    std::vector<unsigned long> windows;

    static void Take(XPointer self, XRecordInterceptData* intercepted) {
        auto* recording = reinterpret_cast<Recording*>(self);
        // A request: its header (4 bytes), then the window it names.
        if (intercepted->category == XRecordFromClient && intercepted->data_len >= 2) {
            std::uint32_t window = 0;
            std::memcpy(&window, intercepted->data + 4, sizeof window);
            std::lock_guard lock(recording->mutex);
            recording->windows.push_back(window);
        }
        XRecordFreeData(intercepted);
    }
};

XRequestRecorder::XRequestRecorder(const std::string& display, const std::string& cookie,
                                   int majorOpcode)
    : m_recording(std::make_unique<Recording>()) {
    platform::KeepBrokenPipesFromEndingTheProcess();
    std::string name(kCookieName);
    std::string data = cookie;
    ::XSetAuthorization(name.data(), static_cast<int>(name.size()), data.data(),
                        static_cast<int>(data.size()));
    m_recording->control = ::XOpenDisplay(display.c_str());
    m_recording->data = ::XOpenDisplay(display.c_str());
    ::XSetAuthorization(nullptr, 0, nullptr, 0);
    int major = 0, minor = 0;
    if (m_recording->control == nullptr || m_recording->data == nullptr ||
        ::XRecordQueryVersion(m_recording->control, &major, &minor) == 0)
        return;
    XRecordRange* range = ::XRecordAllocRange();
    if (range == nullptr)
        return;
    range->core_requests.first = static_cast<unsigned char>(majorOpcode);
    range->core_requests.last = static_cast<unsigned char>(majorOpcode);
    XRecordClientSpec clients = XRecordAllClients;
    m_recording->context = ::XRecordCreateContext(m_recording->control, 0, &clients, 1, &range, 1);
    ::XFree(range);
    if (m_recording->context == 0)
        return;
    ::XSync(m_recording->control, False);
    Recording* recording = m_recording.get();
    m_recording->reading = std::thread([recording] {
        (void)::XRecordEnableContext(recording->data, recording->context, Recording::Take,
                                     reinterpret_cast<XPointer>(recording));
    });
    // The context records once the server has enabled it: the start reply comes first.
    for (int wait = 0; wait < 500; ++wait) {
        XRecordState* state = nullptr;
        if (::XRecordGetContext(m_recording->control, m_recording->context, &state) != 0 &&
            state != nullptr) {
            const bool isEnabled = state->enabled != 0;
            ::XRecordFreeState(state);
            if (isEnabled) {
                m_isRecording = true;
                return;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

XRequestRecorder::~XRequestRecorder() {
    (void)Windows();
    if (m_recording->context != 0)
        (void)::XRecordFreeContext(m_recording->control, m_recording->context);
    for (Display* display : {m_recording->control, m_recording->data}) {
        if (display != nullptr)
            ::XCloseDisplay(display);
    }
}

std::vector<unsigned long> XRequestRecorder::Windows() {
    // The server sends what it recorded before the context ends, then the end.
    if (m_recording->reading.joinable()) {
        (void)::XRecordDisableContext(m_recording->control, m_recording->context);
        ::XSync(m_recording->control, False);
        m_recording->reading.join();
    }
    std::lock_guard lock(m_recording->mutex);
    return m_recording->windows;
}

TestSshServer::TestSshServer(const std::filesystem::path& folder) {
    constexpr const char* kServer = "/usr/sbin/sshd";
    std::error_code error;
    if (!std::filesystem::exists(kServer, error)) {
        m_failure = std::string("no ") + kServer + " (Debian: openssh-server)";
        return;
    }
    // The server's privilege separation folder, which a system's service start makes.
    std::filesystem::create_directories("/run/sshd", error);
    const std::filesystem::path hostKey = folder / "host_key";
    m_userKey = folder / "user_key";
    for (const std::filesystem::path& key : {hostKey, m_userKey}) {
        const ProgramRun made =
            RunHostProgram({"ssh-keygen", "-q", "-t", "ed25519", "-N", "", "-f", key.string()}, {},
                           folder / "keygen.err");
        if (made.exitCode != 0) {
            m_failure = "ssh-keygen failed: " + made.errors;
            return;
        }
    }
    const std::filesystem::path authorised = folder / "authorized_keys";
    std::filesystem::copy_file(m_userKey.string() + ".pub", authorised, error);
    const std::filesystem::path xauth = folder / "xauth";
    std::ofstream(xauth) << "#!/bin/sh\nexec xauth -f '" << (folder / "session.xauth").string()
                         << "' \"$@\"\n";
    std::filesystem::permissions(xauth, std::filesystem::perms::owner_all, error);
    // xauth tells of a file it makes: the session's is there, empty, as a user's is after the
    // first session.
    std::ofstream(folder / "session.xauth").flush();
    const std::filesystem::path config = folder / "sshd_config";
    const std::filesystem::path log = folder / "sshd.log";
    // A port of its own: another server may take the one tried first.
    for (int attempt = 0; attempt < 20 && m_processId < 0; ++attempt) {
        const int port = 20000 + static_cast<int>((getpid() * 7919L + attempt * 131L) % 40000);
        std::ofstream(config) << "Port " << port << "\nListenAddress 127.0.0.1\n"
                              << "HostKey " << hostKey.string() << "\n"
                              << "AuthorizedKeysFile " << authorised.string() << "\n"
                              << "PermitRootLogin yes\nPasswordAuthentication no\n"
                              << "KbdInteractiveAuthentication no\nUsePAM no\nStrictModes no\n"
                              << "X11Forwarding yes\nX11UseLocalhost yes\n"
                              << "XAuthLocation " << xauth.string() << "\n"
                              << "SetEnv XAUTHORITY=" << (folder / "session.xauth").string()
                              << "\nPidFile none\nPrintMotd no\nPrintLastLog no\n";
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 2, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        const int started =
            StartHostProgram({kServer, "-D", "-e", "-f", config.string()}, {}, actions);
        posix_spawn_file_actions_destroy(&actions);
        if (started < 0) {
            m_failure = "sshd cannot be started";
            return;
        }
        const auto deadline = std::chrono::steady_clock::now() + kServerStartTime;
        bool isListening = false;
        int status = 0;
        while (!isListening && std::chrono::steady_clock::now() < deadline &&
               waitpid(started, &status, WNOHANG) == 0) {
            isListening =
                ReadHostFile(log).value_or("").find("Server listening on") != std::string::npos;
            if (!isListening)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (isListening) {
            m_processId = started;
            m_port = port;
        } else {
            EndProcess(started);
            m_failure = "sshd did not start: " + ReadHostFile(log).value_or("");
        }
    }
    if (m_processId > 0)
        m_failure.clear();
}

TestSshServer::~TestSshServer() {
    EndProcess(m_processId);
}

std::vector<std::string> TestSshServer::ClientWords(const std::string& forwarding,
                                                    const std::vector<std::string>& command) const {
    const passwd* user = getpwuid(getuid());
    return {"ssh",
            forwarding,
            "-F",
            "/dev/null",
            "-i",
            m_userKey.string(),
            "-o",
            "IdentitiesOnly=yes",
            "-o",
            "StrictHostKeyChecking=no",
            "-o",
            "UserKnownHostsFile=/dev/null",
            "-o",
            "BatchMode=yes",
            "-o",
            "ConnectTimeout=20",
            "-o",
            "LogLevel=ERROR",
            "-p",
            std::to_string(m_port),
            std::string(user != nullptr ? user->pw_name : "root") + "@127.0.0.1",
            QuotedForShell(command)};
}

} // namespace testdata
