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
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using shelltesting::ShellRun;

TEST(VisibleStart, ShowsTheMainMenuInTheWindowAndQuitsByKey) {
    if (std::getenv("DISPLAY") == nullptr)
        GTEST_SKIP() << "no display";
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
// quits), and nothing is said. A cookie the server does not take is the program's one line,
// naming the file it read, before the window's library is started.
TEST(VisibleStart, OpensOnARealXServerDirectlyAndThroughSsh) {
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
    const struct {
        const char* what;
        std::string forwarding;  // ssh's option, empty for the display itself
        std::string authority;   // the program's XAUTHORITY, empty for none (~/.Xauthority)
        std::string errors;      // all that is said; empty: the window opens and takes the key
        std::string screen = {}; // after the display's number, as ".1"
    } rows[] = {
        {"the display itself", "", served, ""},
        {"ssh -X", "-X", served, ""},
        {"ssh -Y", "-Y", served, ""},
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
    };
    // Each row ends within its bound, and all within the table's.
    const auto tableEnd = std::chrono::steady_clock::now() + std::chrono::seconds(90);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        // The server resets as its last client leaves: the row starts once it answers, and the
        // test stays its client until the row ends.
        ASSERT_TRUE(server.AwaitAnswerAndHold(std::chrono::seconds(20)));
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            tableEnd - std::chrono::steady_clock::now());
        const auto bound =
            std::clamp(left, std::chrono::milliseconds(0), std::chrono::milliseconds(30000));
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
        testdata::ProgramRun run;
        std::atomic<bool> hasEnded = false;
        std::thread running([&] {
            run = testdata::RunHostProgram(words, environment, folder / "program.err", bound);
            hasEnded = true;
        });
        if (row.errors.empty()) {
            const unsigned long window = server.AwaitDrawnWindow("Navigator", 2000, bound);
            EXPECT_NE(window, 0UL) << "no window drawn";
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
        running.join();
        server.Release();
        EXPECT_EQ(run.exitCode, row.errors.empty() ? 0 : 1) << run.errors;
        EXPECT_EQ(run.errors, row.errors);
    }
    std::filesystem::remove_all(folder);
}

} // namespace
