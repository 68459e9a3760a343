// The program in the SDL2 window (run under a virtual X display): the main menu reaches the
// window, its big icon is the window's icon, and Ctrl+Q ends the program; the program on a real X
// server of the test's own, directly and through ssh.
#include "app/startup/tests/shelltesting.h"
#include "testdata/hostprogram.h"
#include "testdata/tempdir.h"
#include "testdata/xauthoritywriter.h"
#include "testdata/xsession.h"

#include "platform/gdi/gdi.h"
#include "platform/gdi/visiblescreen.h"
#include "platform/window/window.h"

#include <gtest/gtest.h>

#include <X11/keysym.h>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using shelltesting::ShellRun;

// The X protocol's SendEvent request (its major opcode).
constexpr int kSendEventRequest = 25;

// A plain connection to the local socket of display (":N"), -1 when none could be made.
int ConnectToXSocket(const std::string& display) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string path = "/tmp/.X11-unix/X" + display.substr(display.find(':') + 1);
    if (path.size() >= sizeof address.sun_path)
        return -1;
    std::copy(path.begin(), path.end(), address.sun_path);
    const int connection = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (connection >= 0 &&
        connect(connection, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        close(connection);
        return -1;
    }
    return connection;
}

TEST(VisibleStart, ShowsTheMainMenuInTheWindowAndQuitsByKey) {
    NAV_SKIP_WITHOUT_DISPLAY();
    testdata::TempDeviceRoot root;
    ASSERT_TRUE(shelltesting::BuiltProgram()
                    .ServerSetting("Properties", "Language", "1")
                    .Pk("Zudav", "NoWarning", "1")
                    .WriteTo(root));
    platform::SetScreenSize(240, 320);
    ASSERT_TRUE(platform::StartVisibleScreen(platform::VisibleScreenOptions{1}));
    int differences = -1;
    int lit = 0;
    bool hasIcon = false;
    ShellRun run({[&](ShellRun&) {
        std::vector<std::uint32_t> pixels;
        int width = 0;
        int height = 0;
        ASSERT_TRUE(platform::CaptureVisibleScreen(&pixels, &width, &height));
        ASSERT_EQ(width, 240);
        ASSERT_EQ(height, 320);
        HDC screen = GetDC(nullptr);
        differences = 0;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const std::uint32_t p = pixels[static_cast<std::size_t>(y) * width + x];
                const COLORREF shown = RGB(p >> 16, p >> 8, p);
                differences += shown != GetPixel(screen, x, y) ? 1 : 0;
                lit += shown != 0 ? 1 : 0;
            }
        }
        ReleaseDC(nullptr, screen);
        std::vector<std::uint32_t> icon;
        hasIcon = platform::VisibleScreenIcon(&icon, &width, &height) && !icon.empty();
        shelltesting::PressWithControl('Q');
    }});
    platform::StopVisibleScreen();
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_FALSE(run.ranOutOfScript);
    EXPECT_EQ(differences, 0);
    EXPECT_GT(lit, 2000); // title, seven buttons, indicators
    EXPECT_TRUE(hasIcon);
}

// The program's window on a real X server that lets in only clients with its cookie, reached as
// a user reaches it: on the display itself, and through an ssh server's X11 forwarding,
// untrusted (-X) and trusted (-Y), where the server will not share memory with the window. The
// window is shown, drawn, and takes a key typed on the server's own keyboard (Ctrl+Q, which
// quits), and nothing is said but, from a display slow to answer the program's first connection
// (a stopped server, or a forwarding under load), that the program waits for it. A cookie the
// server does not take is the program's one line, naming the file it read, before the window's
// library is started. A window whose client the server drops (xkill), directly or through ssh, or
// whose server ends, ends the program as a quit does, with its one line and exit code 1. Whatever
// way it ends, the program leaves nothing of its instance behind (the instance channel's socket,
// which its orderly end removes). The test's own connections to a server that goes fail, and the
// test goes on.
TEST(VisibleStart, OpensOnARealXServerDirectlyAndThroughSsh) {
    // The test's own connections are kept from ending it by the X session's guard alone: the
    // visible screen of an earlier test in this process left one of its own, taken away here as
    // the test run by itself has none.
    struct sigaction earlierBrokenPipeAction {};
    (void)sigaction(SIGPIPE, nullptr, &earlierBrokenPipeAction);
    (void)std::signal(SIGPIPE, SIG_DFL);
    testdata::TempDeviceRoot root;
    ASSERT_TRUE(shelltesting::BuiltProgram()
                    .ServerSetting("Properties", "Language", "1")
                    .Pk("Zudav", "NoWarning", "1")
                    .WriteTo(root));
    const std::filesystem::path folder = root.HostPath().string() + ".x";
    std::filesystem::create_directories(folder / "home");
    testdata::TestXServer server(folder);
    ASSERT_EQ(server.Failure(), "");
    const testdata::TestSshServer ssh(folder);
    ASSERT_EQ(ssh.Failure(), "");
    const std::string display = server.DisplayEntry();
    const std::string served = server.AuthorityFile().string();
    const std::string other = (folder / "other.xauth").string();
    const std::string missing = (folder / "missing.xauth").string();
    const std::string empty = (folder / "empty.xauth").string();
    testdata::XauthorityEntry otherCookie;
    char host[256] = {};
    ASSERT_EQ(gethostname(host, sizeof host - 1), 0);
    otherCookie.address = host;
    otherCookie.number = display.substr(display.find(':') + 1);
    otherCookie.data = "0123456789abcdef";
    ASSERT_TRUE(testdata::WriteXauthorityFile(other, {otherCookie}));
    ASSERT_TRUE(testdata::WriteXauthorityFile(empty, {}));
    const char* sanitizer = std::getenv("ASAN_OPTIONS");
    const std::string asan =
        "ASAN_OPTIONS=" + std::string(sanitizer != nullptr ? sanitizer : "") + ":detect_leaks=0";
    const char* undefined = std::getenv("UBSAN_OPTIONS");
    const std::string ubsan = "UBSAN_OPTIONS=" + std::string(undefined != nullptr ? undefined : "");
    const std::string refused = "navigator: the visible screen cannot be opened: the X server of " +
                                display + " refused the connection: ";
    // The display's name as the program's X library gives it comes between the two.
    const std::string lost[] = {"navigator: the connection to the X display \"",
                                "\" was lost; the program ends\n"};
    // What the program says, once and first, while its display is slow to answer; the display's
    // name as DISPLAY gives it comes between the two.
    const std::string slow[] = {"navigator: waiting for the X display of ", " to answer\n"};
    enum class End {
        Quit,         // Ctrl+Q typed in the window
        ClientKilled, // the server closes the window's connection
        ServerEnded,  // the X server ends (the table's last row: its server goes)
    };
    const struct {
        const char* what;
        std::string forwarding;    // ssh's option, empty for the display itself
        std::string authority;     // the program's XAUTHORITY, empty for none (~/.Xauthority)
        std::string errors;        // all that is said; empty: the window opens and takes the key
        std::string screen = {};   // after the display's number, as ".1"
        End end = End::Quit;       // how a window that opens goes
        bool isAnswerLate = false; // the server stopped until the program says it waits
    } rows[] = {
        {"the display itself", "", served, ""},
        {"ssh -X", "-X", served, ""},
        {"ssh -Y", "-Y", served, ""},
        {"a display slow to answer", "", served, "", "", End::Quit, true},
        {"the window's client killed", "", served, lost[0] + server.DisplayName() + lost[1], "",
         End::ClientKilled},
        {"the window's client killed through ssh -X", "-X", served, lost[0], "", End::ClientKilled},
        {"another cookie", "", other,
         refused +
             "\"Invalid MIT-MAGIC-COOKIE-1 key\"; the authorisation sent was the display's "
             "cookie in XAUTHORITY=" +
             other + "\n"},
        {"a missing authority file", "", missing,
         refused +
             "\"Authorization required, but no authorization protocol specified\"; no "
             "authorisation was sent: XAUTHORITY=" +
             missing + " does not exist\n"},
        {"an empty authority file", "", empty,
         refused +
             "\"Authorization required, but no authorization protocol specified\"; no "
             "authorisation was sent: XAUTHORITY=" +
             empty + " is empty\n"},
        {"an authority file that is a folder", "", folder.string(),
         refused +
             "\"Authorization required, but no authorization protocol specified\"; no "
             "authorisation was sent: XAUTHORITY=" +
             folder.string() + " cannot be read (Is a directory)\n"},
        // The server has one screen: the X library opens no other.
        {"a screen the server does not have", "", served,
         "navigator: the visible screen cannot be opened: " + display +
             ".1 names screen 1, and its X server has only screen 0\n",
         ".1"},
        {"no XAUTHORITY and no ~/.Xauthority", "", "",
         refused +
             "\"Authorization required, but no authorization protocol specified\"; no "
             "authorisation was sent: ~/.Xauthority (" +
             (folder / "home" / ".Xauthority").string() + ") does not exist\n"},
        {"the X server ended", "", served, lost[0] + server.DisplayName() + lost[1], "",
         End::ServerEnded},
    };
    // Each row ends within its bound, and all within the table's: guards against a hang, far
    // above what a row takes with four copies at once on two busy cores (the sanitizers' builds
    // run slower, and their limit is twice as long).
#if defined(__SANITIZE_ADDRESS__)
    constexpr auto kTableTime = std::chrono::seconds(300);
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    constexpr auto kTableTime = std::chrono::seconds(300);
#else
    constexpr auto kTableTime = std::chrono::seconds(150);
#endif
#else
    constexpr auto kTableTime = std::chrono::seconds(150);
#endif
    const auto tableEnd = std::chrono::steady_clock::now() + kTableTime;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        // The server resets as its last client leaves: the row starts once it answers, and the
        // test stays its client until the row ends.
        ASSERT_TRUE(server.AwaitAnswerAndHold(std::chrono::seconds(20)));
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            tableEnd - std::chrono::steady_clock::now());
        const auto bound =
            std::clamp(left, std::chrono::milliseconds(0), std::chrono::milliseconds(90000));
        const std::vector<std::string> program = {NAV_NAVIGATOR_PROGRAM, root.HostPath().string(),
                                                  "--screen=visible:1"};
        std::vector<std::string> words = program;
        std::vector<std::string> environment = {
            display + row.screen, "WAYLAND_DISPLAY=", "SDL_VIDEODRIVER=", asan, ubsan};
        if (row.authority.empty()) {
            words.insert(words.begin(), {"env", "-u", "XAUTHORITY"});
            environment.push_back("HOME=" + (folder / "home").string());
        } else {
            environment.push_back("XAUTHORITY=" + row.authority);
        }
        if (!row.forwarding.empty()) {
            // The session's shell runs the program with the sanitizers' settings; ssh finds the
            // display and its cookie in its own environment.
            std::vector<std::string> command = {"env", "SDL_AUDIODRIVER=dummy", asan, ubsan};
            command.insert(command.end(), program.begin(), program.end());
            words = ssh.ClientWords(row.forwarding, command);
        }
        // No event sent to the program's own window, which may be gone when it comes (SDL2's
        // event wait wakes itself so, over a connection of its own).
        std::unique_ptr<testdata::XRequestRecorder> sentEvents;
        if (row.end == End::Quit && row.errors.empty()) {
            sentEvents = server.RecordRequests(kSendEventRequest);
            EXPECT_TRUE(sentEvents->IsRecording());
        }
        unsigned long shownWindow = 0;
        testdata::ProgramRun run;
        std::atomic<bool> hasEnded = false;
        std::chrono::steady_clock::time_point endedAt;
        if (row.isAnswerLate)
            server.Pause();
        std::thread running([&] {
            run = testdata::RunHostProgram(words, environment, folder / "program.err", bound);
            endedAt = std::chrono::steady_clock::now();
            hasEnded = true;
        });
        if (row.isAnswerLate) {
            // The server goes on once the program has said that it waits, or has ended.
            const auto until = std::chrono::steady_clock::now() + bound;
            while (!hasEnded && std::chrono::steady_clock::now() < until &&
                   testdata::ReadHostFile(folder / "program.err").value_or("").find(slow[0]) ==
                       std::string::npos)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            server.Resume();
        }
        // The window drawn, looked for as long as the program runs within its bound.
        const auto drawnWindow = [&] {
            const auto until = std::chrono::steady_clock::now() + bound;
            unsigned long window = 0;
            while (window == 0 && !hasEnded && std::chrono::steady_clock::now() < until)
                window = server.AwaitDrawnWindow("Navigator", 2000, std::chrono::milliseconds(500));
            EXPECT_NE(window, 0UL) << (hasEnded ? "the program ended without drawing its window"
                                                : "no window drawn within the row's bound");
            return window;
        };
        if (row.end != End::Quit) {
            const unsigned long window = drawnWindow();
            const auto lostAt = std::chrono::steady_clock::now();
            if (window != 0 && row.end == End::ClientKilled) {
                EXPECT_TRUE(server.KillClient(window));
            } else if (window != 0) {
                // A connection of the test's own to the server that goes, as one it makes while
                // its server resets: a write to it fails (EPIPE), and the test goes on. A plain
                // one: the X library finds a server gone before it writes, unless the server goes
                // in between, which no test can time.
                const int connection = ConnectToXSocket(server.DisplayName());
                EXPECT_GE(connection, 0);
                server.End();
                if (connection >= 0) {
                    errno = 0;
                    EXPECT_EQ(write(connection, "l", 1), -1);
                    EXPECT_EQ(errno, EPIPE);
                    close(connection);
                }
            }
            running.join();
            // The end as after a quit, not the backstop's 10 s later.
            EXPECT_LT(endedAt - lostAt, std::chrono::seconds(8));
        } else if (row.errors.empty()) {
            const unsigned long window = drawnWindow();
            shownWindow = window;
            // Keys the program takes and does nothing with (Shift), a frame or so apart, over a
            // span in which it waits for events again and again: an event wait would wake
            // itself with an event sent to the window as they came. The pauses differ, so that
            // the keys do not keep coming at the same point of the program's frames.
            for (int typed = 0; typed < 100 && window != 0 && !hasEnded; ++typed) {
                if (!server.Type(window, {XK_Shift_L}))
                    break;
                std::this_thread::sleep_for(std::chrono::milliseconds(5 + typed * 7 % 40));
            }
            // The menu is drawn before the program makes its window active: a key typed before is
            // typed again, as a user would, until the program ends or its bound is up.
            const auto typedUntil = std::chrono::steady_clock::now() + bound;
            while (window != 0 && !hasEnded && std::chrono::steady_clock::now() < typedUntil) {
                // A window gone as the program ends takes no more keys.
                if (!server.Type(window, {XK_q}, {XK_Control_L}))
                    break;
                for (int wait = 0; wait < 100 && !hasEnded; ++wait)
                    std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        }
        if (running.joinable())
            running.join();
        if (sentEvents && shownWindow != 0) {
            const std::vector<unsigned long> sent = sentEvents->Windows();
            EXPECT_EQ(std::count(sent.begin(), sent.end(), shownWindow), 0)
                << "events sent to the program's own window";
        }
        sentEvents.reset();
        server.Release();
        EXPECT_EQ(run.exitCode, row.errors.empty() ? 0 : 1)
            << run.errors
            << (run.signal != 0 ? "ended by signal " + std::to_string(run.signal) : "");
        // The line of a display slow to answer comes from the late row's display, which must
        // have had it, and may come through ssh, whose forwarding is slow on a busy machine
        // (whatever the display was called there): it is taken away before what the row
        // expects. The display itself answers at once, and is told as nothing else.
        std::string errors = run.errors;
        if (const std::size_t lineEnd = errors.find('\n');
            (row.isAnswerLate || !row.forwarding.empty()) && lineEnd != std::string::npos &&
            errors.starts_with(slow[0]) &&
            std::string_view(errors).substr(0, lineEnd + 1).ends_with(slow[1]))
            errors.erase(0, lineEnd + 1);
        if (row.isAnswerLate) {
            EXPECT_TRUE(run.errors.starts_with(slow[0] + display + slow[1])) << run.errors;
        }
        if (row.end != End::Quit) {
            // One line, whatever the display was called through ssh.
            EXPECT_TRUE(errors.starts_with(row.errors) && errors.ends_with(lost[1]) &&
                        std::count(errors.begin(), errors.end(), '\n') == 1)
                << run.errors;
        } else {
            EXPECT_EQ(errors, row.errors) << run.errors;
        }
        for (const auto& entry : std::filesystem::directory_iterator(root.HostPath()))
            EXPECT_FALSE(entry.path().extension() == ".sock") << entry.path();
    }
    std::filesystem::remove_all(folder);
    (void)sigaction(SIGPIPE, &earlierBrokenPipeAction, nullptr);
}

// The window's tests need a display and, for a server of their own, Xvfb. Without a display they
// are skipped, except under continuous integration (CI=true), where they fail, saying why; a test
// whose Xvfb does not start says why it did not. The tests run as the test program itself.
TEST(VisibleStart, WithoutADisplayIsSkippedAndFailsUnderCi) {
    testdata::TempDeviceRoot root;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe");
    const std::string noXvfb = root.HostPath().string();
    const std::string window =
        "--gtest_filter=VisibleStart.ShowsTheMainMenuInTheWindowAndQuitsByKey";
    const std::string session =
        "--gtest_filter=VisibleStart.OpensOnARealXServerDirectlyAndThroughSsh";
    const struct {
        const char* what;
        std::vector<std::string> words; // before the test program
        std::string filter;
        int exitCode;
        std::vector<std::string> said; // each somewhere in the output
    } rows[] = {
        {"no DISPLAY",
         {"-u", "DISPLAY", "-u", "CI"},
         window,
         0,
         {"no display: DISPLAY is unset", "[  SKIPPED ]"}},
        {"no DISPLAY under CI",
         {"-u", "DISPLAY", "CI=true"},
         window,
         1,
         {"no display: DISPLAY is unset", "(CI=true: the test must run)", "[  FAILED  ]"}},
        {"an empty DISPLAY under CI",
         {"DISPLAY=", "CI=true"},
         window,
         1,
         {"no display: DISPLAY is empty", "[  FAILED  ]"}},
        {"no Xvfb",
         {"PATH=" + noXvfb},
         session,
         1,
         {"Xvfb did not start: Xvfb is not installed (not found on PATH=" + noXvfb}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        std::vector<std::string> words = {"/usr/bin/env"};
        words.insert(words.end(), row.words.begin(), row.words.end());
        words.insert(words.end(), {self.string(), row.filter});
        const testdata::PipedProgramRun run =
            testdata::RunHostProgramThroughPipe(words, {}, std::chrono::seconds(30));
        EXPECT_EQ(run.exitCode, row.exitCode) << run.output;
        for (const std::string& part : row.said)
            EXPECT_NE(run.output.find(part), std::string::npos) << part << "\n" << run.output;
    }
}

} // namespace
