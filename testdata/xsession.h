#pragma once
// A real X session for the window's tests, as a user of the window has one: an X server of the
// test's own (Xvfb) that lets in only clients with its cookie, an ssh server on a loopback port
// that forwards X11 to it as ssh's X11 forwarding does, and the server's own input (XTest) that
// types into a window as the user's keyboard does.

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

struct _XDisplay;

namespace testdata {

// The X id of the first window of the screen of display (":N"; empty: DISPLAY) named name that
// is shown with at least `lit` pixels that are not black, waited for up to limit; 0 when none
// came. The test connects with cookie (empty: as XAUTHORITY or ~/.Xauthority gives it).
[[nodiscard]] unsigned long AwaitDrawnXWindow(const std::string& display, const std::string& cookie,
                                              const std::string& name, int lit,
                                              std::chrono::milliseconds limit);
// With the pointer moved into the window of display and the keyboard's focus given to it,
// presses and releases each key (an X keysym) in turn with the keys of `held` (keysyms) held
// down, on the server's own keyboard (XTest). False when the display cannot be reached or a key
// has no key code on the server's keyboard.
[[nodiscard]] bool TypeInXWindow(const std::string& display, const std::string& cookie,
                                 unsigned long window, const std::vector<unsigned long>& keys,
                                 const std::vector<unsigned long>& held = {});
// Has the X server of display close the connection of the client that made window, as xkill
// does. False when the display cannot be reached.
[[nodiscard]] bool KillXClient(const std::string& display, const std::string& cookie,
                               unsigned long window);

// On a connection of its own to display (empty: DISPLAY) as XAUTHORITY gives it, makes requests
// that the server refuses, each waited for, with the X error handler the process has: `count`
// maps of a window that does not exist (BadWindow of request 8), then `count` reads of its
// property (BadWindow of request 20). False when the display cannot be reached.
[[nodiscard]] bool MakeRefusedXRequests(const std::string& display, int count);

// The requests of one kind (a core request's major opcode) that every client of display (":N")
// sends from construction on, as the server's RECORD extension records them: the window each
// names in its first field (a SendEvent's destination, say). The test connects with cookie.
class XRequestRecorder {
public:
    XRequestRecorder(const std::string& display, const std::string& cookie, int majorOpcode);
    ~XRequestRecorder();
    XRequestRecorder(const XRequestRecorder&) = delete;
    XRequestRecorder& operator=(const XRequestRecorder&) = delete;

    // False when the display or its RECORD extension could not be reached.
    [[nodiscard]] bool IsRecording() const { return m_isRecording; }
    // The windows named by the requests recorded until now, when the recording ends.
    [[nodiscard]] std::vector<unsigned long> Windows();

private:
    struct Recording;
    std::unique_ptr<Recording> m_recording;
    bool m_isRecording = false;
};

// Why the tests that need an X display cannot run in this process, empty when DISPLAY names one.
[[nodiscard]] std::string MissingDisplayReason();
// True under continuous integration (CI=true in the environment), where a test that needs what
// this host lacks fails instead of being skipped.
[[nodiscard]] bool IsContinuousIntegration();

// Xvfb on a display number that no other display of this host has (it picks the first free one
// itself), asking every client for its cookie. Its files lie in folder (which must exist); it
// ends with the object.
class TestXServer {
public:
    explicit TestXServer(const std::filesystem::path& folder);
    ~TestXServer();
    TestXServer(const TestXServer&) = delete;
    TestXServer& operator=(const TestXServer&) = delete;

    // Empty when the server runs, else why it does not.
    [[nodiscard]] const std::string& Failure() const { return m_failure; }
    // ":N", and "DISPLAY=:N".
    [[nodiscard]] std::string DisplayName() const { return ":" + std::to_string(m_number); }
    [[nodiscard]] std::string DisplayEntry() const { return "DISPLAY=" + DisplayName(); }
    // An X authority file that holds the server's cookie for its display, as xauth writes it.
    [[nodiscard]] const std::filesystem::path& AuthorityFile() const { return m_clientAuthority; }

    // Waits up to limit for the server to let the test in with its cookie (a server that
    // resets as its last client leaves answers no one meanwhile), and stays connected until
    // Release or the end of the object, so that the server does not reset meanwhile: false
    // when it did not answer.
    [[nodiscard]] bool AwaitAnswerAndHold(std::chrono::milliseconds limit);
    void Release();

    // AwaitDrawnXWindow and TypeInXWindow on this server, with its cookie.
    [[nodiscard]] unsigned long AwaitDrawnWindow(const std::string& name, int lit,
                                                 std::chrono::milliseconds limit) const {
        return AwaitDrawnXWindow(DisplayName(), m_cookie, name, lit, limit);
    }
    [[nodiscard]] bool Type(unsigned long window, const std::vector<unsigned long>& keys,
                            const std::vector<unsigned long>& held = {}) const {
        return TypeInXWindow(DisplayName(), m_cookie, window, keys, held);
    }
    [[nodiscard]] bool KillClient(unsigned long window) const {
        return KillXClient(DisplayName(), m_cookie, window);
    }
    // Records the requests of majorOpcode that this server's clients send from now on.
    [[nodiscard]] std::unique_ptr<XRequestRecorder> RecordRequests(int majorOpcode) const {
        return std::make_unique<XRequestRecorder>(DisplayName(), m_cookie, majorOpcode);
    }
    // Stops the server (SIGSTOP) and has it go on again (SIGCONT): a stopped server's
    // connections are made (the kernel completes them), and none is answered until it goes on.
    void Pause();
    void Resume();
    // Ends the server (SIGTERM, then SIGKILL), stopped or not, and waits for it, as its
    // destructor does.
    void End();

private:
    std::string m_failure;
    int m_processId = -1;
    int m_number = -1;
    std::string m_cookie;
    std::filesystem::path m_clientAuthority;
    _XDisplay* m_held = nullptr;
};

// An ssh server on a free port of the loopback address, with host and user keys of its own, that
// lets this host's user in with the user key and forwards X11 (a display "localhost:N" of its
// own for each session). xauth, which it runs for each session to record the session's cookie,
// writes to folder/session.xauth, and the session's XAUTHORITY names that file. Its files lie in
// folder (which must exist); it ends with the object.
class TestSshServer {
public:
    explicit TestSshServer(const std::filesystem::path& folder);
    ~TestSshServer();
    TestSshServer(const TestSshServer&) = delete;
    TestSshServer& operator=(const TestSshServer&) = delete;

    // Empty when the server runs, else why it does not.
    [[nodiscard]] const std::string& Failure() const { return m_failure; }
    // The words that run command (each word quoted for the session's shell) in a session of
    // the server, through ssh with its X11 forwarding option ("-X", untrusted, or "-Y",
    // trusted). The client reads DISPLAY and XAUTHORITY from its environment, as a user's does.
    [[nodiscard]] std::vector<std::string>
    ClientWords(const std::string& forwarding, const std::vector<std::string>& command) const;

private:
    std::string m_failure;
    int m_processId = -1;
    int m_port = 0;
    std::filesystem::path m_userKey;
};

} // namespace testdata

// In a test that needs an X display: without one it is skipped, under continuous integration it
// fails, each with the reason.
#define NAV_SKIP_WITHOUT_DISPLAY()                                                                 \
    if (const std::string navMissingDisplay = testdata::MissingDisplayReason();                    \
        !navMissingDisplay.empty()) {                                                              \
        if (testdata::IsContinuousIntegration())                                                   \
            FAIL() << navMissingDisplay << " (CI=true: the test must run)";                        \
        GTEST_SKIP() << navMissingDisplay;                                                         \
    }
