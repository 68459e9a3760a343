// Whole runs of the navigator program with a scenario script on a ProgramFolderWriter folder:
// the exit code, what it reports and what it leaves in the out folder.
#include "app/scenario/scenariorunner.h"
#include "app/startup/tests/shelltesting.h"
#include "testdata/golden.h"
#include "testdata/hostprogram.h"
#include "testdata/nmeawriter.h"
#include "testdata/receiverscenariowriter.h"
#include "testdata/resourcebundlewriter.h"
#include "testdata/tempdir.h"

#include "platform/files/paths.h"
#include "platform/kernel/codepage.h"
#include "platform/shell/process.h"
#include "platform/shell/resourcebundle.h"
#include "platform/window/window.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <optional>
#include <regex>
#include <signal.h>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// Runs the navigator program with the arguments after the folder; stderr is kept.
testdata::ProgramRun
RunNavigator(const std::filesystem::path& folder, std::vector<std::string> arguments,
             const std::string& launcher = {},
             std::chrono::milliseconds terminateAfter = std::chrono::milliseconds(0)) {
    std::vector<std::string> words;
    // xvfb-run -a takes the first display number without a lock file, and two runs started
    // together (other visible tests) may both take it: each process starts its search elsewhere.
    if (!launcher.empty())
        words = {launcher, "-a", "-n", std::to_string(200 + getpid() % 400)};
    words.push_back(NAV_NAVIGATOR_PROGRAM);
    words.push_back(folder.string());
    words.insert(words.end(), arguments.begin(), arguments.end());
    // The window's libraries keep allocations to the end of the process.
    std::string asan = launcher.empty() ? "" : "detect_leaks=0";
    if (const char* given = std::getenv("ASAN_OPTIONS"))
        asan = std::string(given) + (launcher.empty() ? "" : ":detect_leaks=0");
    return testdata::RunHostProgram(std::move(words), {"ASAN_OPTIONS=" + asan},
                                    folder.parent_path() / (folder.filename().string() + ".err"),
                                    terminateAfter.count() > 0 ? terminateAfter
                                                               : std::chrono::milliseconds::max());
}

// Runs the navigator program as RunNavigator does, sending SIGTERM the moment its error output
// holds line. The out folder's said.txt, which the runner writes as the program ends, is a
// FIFO until then: the end waits there for the signal, which so comes after the line in every
// run.
testdata::ProgramRun RunNavigatorTerminatedOnLine(const std::filesystem::path& folder,
                                                  std::vector<std::string> arguments,
                                                  const std::filesystem::path& out,
                                                  const std::string& line) {
    using Clock = std::chrono::steady_clock;
    testdata::ProgramRun run;
    const std::filesystem::path said = out / kSaidTextsFile;
    std::filesystem::create_directories(out);
    if (mkfifo(said.c_str(), 0600) != 0)
        return run;
    std::vector<std::string> words = {NAV_NAVIGATOR_PROGRAM, folder.string()};
    words.insert(words.end(), arguments.begin(), arguments.end());
    const std::filesystem::path errorFile =
        folder.parent_path() / (folder.filename().string() + ".err");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    const int child = testdata::StartHostProgram(words, {}, actions);
    posix_spawn_file_actions_destroy(&actions);
    if (child == -1)
        return run;
    const auto deadline = Clock::now() + std::chrono::seconds(60);
    while (testdata::ReadHostFile(errorFile).value_or("").find(line) == std::string::npos &&
           Clock::now() < deadline && waitpid(child, nullptr, WNOHANG) == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    (void)kill(child, SIGTERM);
    // A reader lets the program's end go on.
    const int reader = open(said.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    int status = 0;
    if (waitpid(child, &status, 0) == child && WIFEXITED(status))
        run.exitCode = WEXITSTATUS(status);
    if (reader != -1)
        close(reader);
    run.errors = testdata::ReadHostFile(errorFile).value_or("");
    std::filesystem::remove(errorFile);
    return run;
}

// The program's files around the grid database, with or without the safety notice.
void WriteScenarioProgram(const testdata::TempDeviceRoot& root, bool withNotice = false) {
    ASSERT_TRUE(shelltesting::BuiltProgram()
                    .Pk("Zudav", "NoWarning", withNotice ? "0" : "1")
                    .WriteTo(root));
}

std::filesystem::path WriteScript(const testdata::TempDeviceRoot& root, const std::string& text) {
    const std::filesystem::path file =
        root.HostPath().parent_path() / (root.HostPath().filename().string() + ".script");
    std::ofstream(file, std::ios::binary) << text;
    return file;
}

// The notice (its text an item the dialog draws), the main menu, the presettings and back.
std::string MenuScript() {
    return "# the notice, the main menu, the presettings and back\n"
           "step notice\n"
           "wait page MsgBox\n"
           "wait text \"" +
           platform::Utf16ToUtf8(shelltesting::GermanText(1101)) +
           "\" 0\n"
           "tap 1\n"
           "step menu\n"
           "wait page Screen\n"
           "frame main-menu\n"
           "step presettings\n"
           "tap 440\n"
           "wait page NavigPage\n"
           "frame presettings\n"
           "tap 320\n"
           "wait page Screen\n"
           "step quit\n"
           "wait text \"Beenden\" 0\n"
           "tap 460\n";
}

TEST(ScenarioRun, PlaysTheStepsAndLeavesFramesSaidTextsAndSounds) {
    testdata::TempDeviceRoot root;
    ASSERT_NO_FATAL_FAILURE(WriteScenarioProgram(root, true));
    const std::filesystem::path out = root.HostPath() / "out";
    const testdata::ProgramRun run =
        RunNavigator(root.HostPath(),
                     {"--script", WriteScript(root, MenuScript()).string(), "--out", out.string()});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.errors, "");
    const std::string menu = testdata::ReadHostFile(out / "main-menu.png").value_or("");
    const std::string presettings = testdata::ReadHostFile(out / "presettings.png").value_or("");
    EXPECT_EQ(testdata::PngFileSize(out / "main-menu.png"), std::make_pair(240, 320));
    EXPECT_EQ(testdata::PngFileSize(out / "presettings.png"), std::make_pair(240, 320));
    EXPECT_NE(menu, presettings);
    // Beside each picture the texts it shows, one a line: the menu's quit button among them.
    const std::string menuTexts = testdata::ReadHostFile(out / "main-menu.txt").value_or("");
    EXPECT_NE(("\n" + menuTexts).find("\nBeenden\n"), std::string::npos) << menuTexts;
    EXPECT_EQ(testdata::ReadHostFile(out / kSaidTextsFile), std::optional<std::string>(""));
    const std::string sounds = testdata::ReadHostFile(out / kSoundsFile).value_or("");
    ASSERT_EQ(sounds.size(), 44u);
    EXPECT_EQ(sounds.substr(0, 4), "RIFF");
    EXPECT_EQ(sounds.substr(36, 4), "data");
    // A line a named step with its times; no map was driven on, so no map frames.
    std::istringstream times(testdata::ReadHostFile(out / kStepTimesFile).value_or(""));
    std::vector<std::string> names;
    for (std::string line; std::getline(times, line);) {
        std::istringstream fields(line);
        std::string name;
        long long wallMs = -1;
        long long virtualMs = -1;
        long long frames = -1;
        long long runOutWaits = -1;
        fields >> name >> wallMs >> virtualMs >> frames >> runOutWaits;
        EXPECT_TRUE(fields && wallMs >= 0 && virtualMs >= 0 && frames == 0 && runOutWaits == 0)
            << line;
        names.push_back(name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"notice", "menu", "presettings", "quit"}));
}

// A step's failure ends the run with exit code 1, a signal that comes after it too; a signal
// before any failure ends it with the signal's code. An exploration (a seed given in place of the
// script) says so in its last line.
TEST(ScenarioRun, NamesTheFailingStepOrLineAndEndsWithItsCode) {
    const struct {
        const char* script;
        int exitCode;
        const char* error; // after "navigator: "; a pattern for an exploration
        bool hasRun;
        // SIGTERM sent then, the clock at real time, when not 0.
        std::chrono::milliseconds terminateAfter = std::chrono::milliseconds(0);
        bool isTerminatedOnFailure = false; // SIGTERM sent once the error output holds error
        const char* explored = nullptr;     // "SEED STEPS": an exploration in place of the script
    } cases[] = {
        {"wait page Screen\ntap 460\nframe late\n", 1,
         "line 3 failed: frame late: the program ended before it\n", true},
        {"step look\nwait page NavigPage 2000\ntap 460\n", 1,
         "step \"look\" (line 2) failed: wait page NavigPage 2000: the active window is Screen "
         "after 2000 ms\n",
         true},
        {"step gps\nwait page Screen\nwait fix 1000\n", 1,
         "step \"gps\" (line 3) failed: wait fix 1000: the GPS state has no fix after 1000 ms\n",
         true},
        {"step route\nwait page Screen\ndrive\n", 1,
         "step \"route\" (line 3) failed: drive: the server has no route\n", true},
        {"wait page Screen\ntap 999\n", 1,
         "line 2 failed: tap 999: the active window (Screen) shows no control 999\n", true},
        {"wait page Screen\n\nwait text \"Beenden 0\ntap 460\n", 2,
         "SCRIPT line 3: a quoted text is not closed\n", false},
        {"tap 460\nfly away\n", 2, "SCRIPT line 2: unknown step \"fly\"\n", false},
        // Ended from outside: told, and no failure of the step.
        {"wait text \"nie gezeigt\" 3600000\n", 143,
         "SIGTERM ended the program at line 1: wait text \"nie gezeigt\" 3600000\n", true,
         std::chrono::milliseconds(3000)},
        // A failure at the last step stays one when a signal comes the moment it is told.
        {"wait page Screen\ntap 999\n", 1,
         "line 2 failed: tap 999: the active window (Screen) shows no control 999\n", true,
         std::chrono::milliseconds(0), true},
        // An odd seed begins with the way to the guidance page, whose first wait, for the safety
        // notice, fails here.
        {"", 1,
         "step \"guidance\" \\(line 4\\) failed: wait page MsgBox: .*\n"
         "navigator: explored 0 steps from seed 1: failed; the script is OUT/explore-1\\.txt\n",
         true, std::chrono::milliseconds(0), true, "1 5"},
        {"", 143,
         "(SIGTERM ended the program at step .*\nnavigator: )?"
         "explored [0-9]+ steps from seed 2: ended by SIGTERM before its 1000000 "
         "steps; the script is OUT/explore-2\\.txt\n",
         true, std::chrono::milliseconds(3000), false, "2 1000000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script);
        testdata::TempDeviceRoot root;
        ASSERT_NO_FATAL_FAILURE(WriteScenarioProgram(root));
        const std::filesystem::path out = root.HostPath() / "out";
        const std::filesystem::path script = WriteScript(root, c.script);
        std::vector<std::string> arguments = {"--script", script.string(), "--out", out.string()};
        if (c.explored != nullptr) {
            std::istringstream explored(c.explored);
            std::string seed;
            std::string steps;
            explored >> seed >> steps;
            arguments = {"--explore", seed, "--steps", steps, "--out", out.string()};
        } else if (c.terminateAfter.count() > 0) {
            arguments.insert(arguments.end(), {"--speed", "1"});
        }
        std::string expected = std::string("navigator: ") + c.error;
        if (const std::size_t at = expected.find("SCRIPT"); at != std::string::npos)
            expected.replace(at, 6, script.string());
        if (const std::size_t at = expected.find("OUT"); at != std::string::npos)
            expected.replace(at, 3, out.string());
        const testdata::ProgramRun run =
            c.isTerminatedOnFailure
                ? RunNavigatorTerminatedOnLine(root.HostPath(), arguments, out,
                                               c.explored != nullptr ? " failed: " : expected)
                : RunNavigator(root.HostPath(), arguments, {}, c.terminateAfter);
        EXPECT_EQ(run.exitCode, c.exitCode);
        if (c.explored != nullptr)
            EXPECT_TRUE(std::regex_match(run.errors, std::regex(expected))) << run.errors;
        else
            EXPECT_EQ(run.errors, expected);
        EXPECT_EQ(std::filesystem::exists(out / kSaidTextsFile), c.hasRun);
        std::filesystem::remove(script);
    }
}

// A pick-list entry is chosen as the stylus does: the presettings' page list turns to the
// formats page, whose choices then take taps.
TEST(ScenarioRun, ChoosesAPickListEntryByItsDropDownButtonAndRow) {
    // FORMATS stands for the list's entry of the formats page.
    const struct {
        const char* steps; // after the presettings are shown
        int exitCode;
        const char* error;
    } cases[] = {
        {"tap 100 \"FORMATS\"\nwait page FormatPage 0\ntap 1216\ntap 542\n", 0, ""},
        {"tap 100 \"Nirgends\"\n", 1,
         "navigator: line 4 failed: tap 100 \"Nirgends\": pick list 100 has no entry "
         "\"Nirgends\"\n"},
        {"tap 542 \"FORMATS\"\n", 1,
         "navigator: line 4 failed: tap 542 \"FORMATS\": the active window (NavigPage) shows "
         "no pick list 542\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.steps);
        testdata::TempDeviceRoot root;
        ASSERT_NO_FATAL_FAILURE(WriteScenarioProgram(root));
        const std::string formats = platform::Utf16ToUtf8(shelltesting::GermanText(1219));
        ASSERT_FALSE(formats.empty());
        const auto fill = [&formats](std::string text) {
            for (std::size_t at = text.find("FORMATS"); at != std::string::npos;
                 at = text.find("FORMATS", at + formats.size()))
                text.replace(at, 7, formats);
            return text;
        };
        const std::filesystem::path script =
            WriteScript(root, "wait page Screen\ntap 440\nwait page NavigPage\n" + fill(c.steps) +
                                  "wait page Screen\ntap 460\n");
        const testdata::ProgramRun run =
            RunNavigator(root.HostPath(), {"--script", script.string(), "--out",
                                           (root.HostPath() / "out").string()});
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_EQ(run.errors, fill(c.error));
        std::filesystem::remove(script);
    }
}

// A settings file damaged by four zero bytes at its end: the presettings left with their OK are
// not saved, and the program's message about it comes up as a window. A script waits for its
// text and answers it by a tap on O.K., Enter or Esc, and the program carries on; answered ahead
// by a "messagebox" step it is not shown; not answered, the next wait fails naming it. Every
// box is listed with its answer.
TEST(ScenarioRun, AMessageBoxIsAWindowThatTheScriptWaitsForAndAnswers) {
    const struct {
        const char* answer; // the steps after the box's text was seen; "AHEAD": before it
        int exitCode;
        const char* listed; // the box's step, answer and how, in messageboxes.txt
        const char* error;
    } cases[] = {
        {"tap 1\n", 0, "box\tOK\tshown", ""},
        {"key Enter\n", 0, "box\tOK\tshown", ""},
        {"key Esc\n", 0, "box\tOK\tshown", ""},
        {"AHEAD", 0, "back\tOK\tscripted", ""},
        {"", 1, "box\t\tshown",
         "navigator: step \"back\" (line 10) failed: wait page Screen 1000: the active window "
         "is the message box \"Error\" after 1000 ms\n"
         "navigator: the message box \"Error\" (step \"box\") was left unanswered: TEXT\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer);
        testdata::TempDeviceRoot root;
        ASSERT_TRUE(shelltesting::BuiltProgram()
                        .Pk("Zudav", "NoWarning", "1")
                        .ZeroedPkTail(4)
                        .WriteTo(root));
        std::string text = platform::Utf16ToUtf8(shelltesting::GermanText(1401));
        ASSERT_NE(text.find("%s"), std::string::npos);
        text.replace(text.find("%s"), 2, "\\PK.ini");
        const bool isAhead = std::string(c.answer) == "AHEAD";
        const std::string script =
            "step presettings\nwait page Screen\ntap 440\nwait page NavigPage\n" +
            std::string(isAhead ? "messagebox ok\n" : "") + "tap 542\nstep box\n" +
            (isAhead ? "" : "wait text \"" + text + "\"\nframe box\n" + c.answer) +
            "step back\nwait page Screen 1000\nstep quit\ntap 460\n";
        const std::filesystem::path out = root.HostPath() / "out";
        const testdata::ProgramRun run =
            RunNavigator(root.HostPath(),
                         {"--script", WriteScript(root, script).string(), "--out", out.string()});
        std::string error = c.error;
        if (const std::size_t at = error.find("TEXT"); at != std::string::npos)
            error.replace(at, 4, text);
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_EQ(run.errors, error);
        // Told once in the run.
        std::string listed = c.listed;
        listed.insert(listed.find('\t'), "\tError\t" + text);
        EXPECT_EQ(testdata::ReadHostFile(out / kMessageBoxesFile), listed + "\n");
        if (!isAhead) {
            // In the frame: the caption, the button and the text, the box's first.
            const std::string shown = testdata::ReadHostFile(out / "box.txt").value_or("");
            EXPECT_EQ(shown.substr(0, shown.find(text) + text.size()), "Error\nOK\n" + text)
                << shown;
        }
    }
}

// A check names the first text shown without its string (a caption or a dialog's text, left
// blank as a string missing from the language library leaves them) or with its placeholder
// unfilled; the bundle's own texts pass. On the moving map, once the follow suspension is over,
// it judges the car's marker where the map drew it, but not on a map that has taken no position
// of the car (a receiver reporting a negative HDOP gives the indicator a fix and the map pages no
// position), nor on one that the user moved and no position has brought back since.
TEST(ScenarioRun, ACheckFindsATextShownWithoutItsString) {
    const std::string movingMap =
        "wait page MsgBox\ntap 1\nwait page Screen\nwait fix\ntap 1102\nwait page MovingMap\n"
        "clock 25000\ncheck\n";
    testdata::NmeaFixValues away; // off the grid's roads: a marker judged there has none around
    const std::string withHdop = testdata::NmeaWriter().AddCycle(away).Build();
    testdata::NmeaFixValues negative = away;
    negative.hdop = -0.5;
    const std::string negativeHdop = testdata::NmeaWriter().AddCycle(negative).Build();
    // The map takes positions at seconds 5 to 9 of every 70 only: before the pan, not after it.
    testdata::NmeaWriter beforePan;
    for (int second = 0; second < 70; ++second) {
        testdata::NmeaFixValues values = second >= 5 && second < 10 ? away : negative;
        values.minute = second / 60;
        values.second = second % 60;
        beforePan.AddCycle(values);
    }
    const std::string held = "wait page MsgBox\ntap 1\nwait page Screen\nwait fix\ntap 1102\n"
                             "wait page MovingMap\nclock 10000\nkey Left\nclock 25000\ncheck\n";
    const struct {
        UINT id;          // of the string changed in the German bundle; 0: none
        const char* text; // its text then (UTF-8); empty: left out
        std::string script;
        std::string replay; // of the receiver stand-in ("Simulation" on); empty: no receiver
        const char* error;  // after "navigator: "; empty: every step passes
    } cases[] = {
        {0, "", "wait page MsgBox\ncheck\ntap 1\nwait page Screen\ncheck\ntap 460\n", "", ""},
        {450, "", "wait page MsgBox\ntap 1\nwait page Screen\ncheck\n", "",
         "line 4 failed: check: control 450 of Screen shows a blank caption\n"},
        {450, "Hilfe <@>", "wait page MsgBox\ntap 1\nwait page Screen\ncheck\n", "",
         "line 4 failed: check: control 450 of Screen shows \"Hilfe <@>\" with its placeholder "
         "unfilled\n"},
        {1101, "", "wait page MsgBox\ncheck\n", "",
         "line 2 failed: check: item 1101 of MsgBox shows a blank text\n"},
        {0, "", movingMap, withHdop,
         "line 8 failed: check: the map of MovingMap at 4.201681 m a pixel shows no roads "
         "around the car's marker at (110, 183) - (130, 203)\n"},
        {0, "", movingMap, negativeHdop, ""},
        {0, "", held, beforePan.Build(), ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("row " + std::to_string(&c - cases) + ": " + c.script);
        testdata::TempDeviceRoot root;
        if (c.replay.empty()) {
            ASSERT_NO_FATAL_FAILURE(WriteScenarioProgram(root, true));
        } else {
            ASSERT_TRUE(shelltesting::BuiltProgram()
                            .Pk("Zudav", "NoWarning", "0")
                            .Pk("Zudav", "Simulation", "1")
                            .ReceiverScenario(
                                testdata::ReceiverScenarioWriter().SetReplay("Fix.txt").Build())
                            .WriteTo(root));
            ASSERT_TRUE(root.WriteFile(u"\\Fix.txt", c.replay));
        }
        if (c.id != 0) {
            const std::filesystem::path file = root.HostPath() / "LangGerCE.dll";
            const std::string bytes = testdata::ReadHostFile(file).value_or("");
            std::optional<platform::ResourceBundle> bundle = platform::ReadResourceBundle(
                {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
            ASSERT_TRUE(bundle);
            bundle->strings.erase(c.id);
            if (*c.text != 0)
                bundle->strings[c.id] = platform::Utf8ToUtf16(c.text);
            const std::vector<std::uint8_t> changed = testdata::WriteResourceBundle(*bundle);
            std::ofstream(file, std::ios::binary | std::ios::trunc)
                .write(reinterpret_cast<const char*>(changed.data()),
                       static_cast<std::streamsize>(changed.size()));
        }
        const std::filesystem::path script = WriteScript(root, c.script);
        const testdata::ProgramRun run =
            RunNavigator(root.HostPath(), {"--script", script.string(), "--out",
                                           (root.HostPath() / "out").string()});
        EXPECT_EQ(run.exitCode, *c.error == 0 ? 0 : 1);
        EXPECT_EQ(run.errors, *c.error == 0 ? "" : std::string("navigator: ") + c.error);
        std::filesystem::remove(script);
    }
}

// What the help viewer's start does in a run in this process.
enum class HelpStart {
    KeepsTheProgram5s,
    // Lets a thread of the program's show a message box at the clock's next move (LateBoxThread).
    LetsALateBoxCome,
    // Sets a timer of the program's thread (50 ms) whose tick releases that thread, which then
    // shows its box: work that the program's own thread sets off on the tick of a move.
    TimesALateBox,
    // Releases that thread, which shows its box at the clock's next move (100 ms on), and sets a
    // timer of the program's thread due on the same move, whose tick must find the box's work
    // done: else the run ends with 4.
    ChecksALateBoxOnATick,
    // Posts a message to a window of the program's thread and releases that thread, which posts
    // a second one a moment later and then shows its box: the program's thread, taking the first,
    // must find the second queued (else the run ends with 5), as it takes nothing while a thread
    // that the step's input set off is at work.
    PostsTwoMessages,
};

std::atomic<bool> g_isHelpStarted{false};
std::atomic<HelpStart> g_lateHelp{HelpStart::KeepsTheProgram5s};
HANDLE g_lateRelease = nullptr;            // releases the late box's thread
std::atomic<bool> g_isLateWorkDone{false}; // the late box's thread has done its work

HWND g_lateWindow = nullptr; // takes the two messages of PostsTwoMessages
constexpr UINT kFirstLateMessage = WM_USER + 0x701;
constexpr UINT kSecondLateMessage = WM_USER + 0x702;

LRESULT LateMessagesProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    MSG second{};
    if (message == kFirstLateMessage &&
        PeekMessageW(&second, window, kSecondLateMessage, kSecondLateMessage, PM_NOREMOVE) == FALSE)
        std::_Exit(5);
    return DefWindowProcW(window, message, wParam, lParam);
}

void ReleaseLateBoxOnTick(HWND, UINT, UINT_PTR id, DWORD) {
    (void)KillTimer(nullptr, id);
    (void)SetEvent(g_lateRelease);
}

void CheckLateWorkOnTick(HWND, UINT, UINT_PTR id, DWORD) {
    (void)KillTimer(nullptr, id);
    if (!g_isLateWorkDone.load())
        std::_Exit(4);
}

// A thread of the program's that shows a message box a moment (100 ms, after the timer's tick
// 300 ms, before the tick that checks it 20 ms) after it was woken: by the stepped clock at its
// first move after the help viewer's start, by the timer's tick, or by the clock's move 100 ms
// after the help viewer's start.
DWORD LateBoxThread(LPVOID) {
    HANDLE never = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (g_lateHelp == HelpStart::LetsALateBoxCome) {
        while (WaitForSingleObject(never, 100) == WAIT_TIMEOUT && !g_isHelpStarted.load()) {
        }
    } else {
        (void)WaitForSingleObject(g_lateRelease, INFINITE);
        if (g_lateHelp == HelpStart::ChecksALateBoxOnATick)
            (void)WaitForSingleObject(never, 100);
        if (g_lateHelp == HelpStart::PostsTwoMessages) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            (void)PostMessageW(g_lateWindow, kSecondLateMessage, 0, 0);
        }
    }
    // Work of real time, which the runner waits for up to its cap (2 s of real time): the tick's
    // check takes little of it, as the cap must hold on a busy machine, and enough that a runner
    // that did not wait would dispatch the tick first.
    std::this_thread::sleep_for(
        std::chrono::milliseconds(g_lateHelp == HelpStart::TimesALateBox           ? 300
                                  : g_lateHelp == HelpStart::ChecksALateBoxOnATick ? 20
                                                                                   : 100));
    g_isLateWorkDone = true;
    (void)MessageBoxW(nullptr, u"Late", u"Thread", MB_OK);
    CloseHandle(never);
    return 0;
}

// Runs the script in this process, a step away from the loop limited to stepSeconds of real time.
// Ends the process with the run's exit code; with a late box, with 3 when the frame "late" does
// not show it.
[[noreturn]] void RunInThisProcess(const testdata::TempDeviceRoot& root, const std::string& text,
                                   double speed, int stepSeconds, HelpStart help) {
    platform::SetDeviceRoot(root.HostPath());
    platform::SetProgramFolder(u"\\");
    platform::SetScreenSize(240, 320);
    platform::SetProcessLauncher([help](const platform::ProcessLaunch&) -> DWORD {
        if (help == HelpStart::KeepsTheProgram5s)
            std::this_thread::sleep_for(std::chrono::seconds(5));
        if (help == HelpStart::TimesALateBox)
            (void)SetTimer(nullptr, 0, 100, &ReleaseLateBoxOnTick);
        if (help == HelpStart::ChecksALateBoxOnATick) {
            (void)SetEvent(g_lateRelease);
            (void)SetTimer(nullptr, 0, 100, &CheckLateWorkOnTick);
        }
        if (help == HelpStart::PostsTwoMessages) {
            WNDCLASSW windowClass{};
            windowClass.lpfnWndProc = &LateMessagesProc;
            windowClass.lpszClassName = u"LateMessages";
            (void)RegisterClassW(&windowClass);
            g_lateWindow = CreateWindowExW(0, u"LateMessages", u"", WS_POPUP, 0, 0, 1, 1, nullptr,
                                           nullptr, nullptr, nullptr);
            (void)PostMessageW(g_lateWindow, kFirstLateMessage, 0, 0);
            (void)SetEvent(g_lateRelease);
        }
        g_isHelpStarted = true;
        return ERROR_SUCCESS;
    });
    g_lateHelp = help;
    g_lateRelease = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (help != HelpStart::KeepsTheProgram5s) {
        HANDLE thread = CreateThread(nullptr, 0, &LateBoxThread, nullptr, 0, nullptr);
        if (thread == nullptr)
            std::exit(2);
        CloseHandle(thread);
    }
    ScenarioScript script;
    ScriptError error;
    if (!ParseScenarioScript(text, script, error))
        std::exit(2);
    ScenarioOptions options;
    options.outFolder = root.HostPath() / "out";
    std::filesystem::create_directories(options.outFolder);
    options.speed = speed;
    options.writeFrames = help == HelpStart::LetsALateBoxCome;
    options.stepSeconds = stepSeconds;
    const int exitCode = RunScenario(script, options, stderr);
    if (help == HelpStart::LetsALateBoxCome && exitCode == 0) {
        const std::string shown =
            testdata::ReadHostFile(options.outFolder / "late.txt").value_or("");
        if (("\n" + shown).find("\nLate\n") == std::string::npos) {
            (void)std::fprintf(stderr, "the frame shows:\n%s", shown.c_str());
            std::exit(3);
        }
    }
    std::exit(exitCode);
}

// A step that keeps the program away from its loop past the limit ends the run as a hang; a step
// that comes back to the loop at each move of the clock does not, however long it takes. A step
// looks once the threads the clock's last move woke, and those that the program's thread set off
// on that move's tick, have done their work: a message box one of them shows a moment later is in
// a frame, and a text wait finds it. The threads a move wakes have done their work before the
// program's thread takes anything on its tick, and so have those that a step's input set off.
TEST(ScenarioRun, AStepWaitsForTheProgramsThreadsButOnlyOneAwayFromItsLoopPastTheLimitHangs) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // Help, a move of the clock, then the late box looked for at once and answered.
    const char* const lookedFor = "wait page Screen\ntap 450\nclock 100\nwait text \"Late\" 0\n"
                                  "key Enter\nwait page Screen\nwait text \"Beenden\" 0\ntap 460\n";
    const struct {
        const char* script;
        double speed;
        int stepSeconds;
        HelpStart help;
        int exitCode;
        const char* error; // a pattern of the error output
    } cases[] = {
        // The limit covers the program's start too, which takes a second or more of real time on
        // a busy machine; the watchdog looks every second, so a step outlasts limit and look.
        {"wait page Screen\ntap 450\n", 0.0, 2, HelpStart::KeepsTheProgram5s, 1,
         "line 2 has not ended, and the program has not come back to its loop for 2 s of real "
         "time \\(it hangs\\)"},
        {"wait page Screen\nwait page NavigPage 3500\n", 1.0, 2, HelpStart::KeepsTheProgram5s, 1,
         "line 2 failed: wait page NavigPage 3500: the active window is Screen after "
         "(3[5-9]|4[0-4])[0-9][0-9] ms"},
        {"wait page Screen\ntap 450\nclock 100\nframe late\nwait text \"Late\" 0\nkey Enter\n"
         "wait page Screen\nwait text \"Beenden\" 0\ntap 460\n",
         0.0, 300, HelpStart::LetsALateBoxCome, 0, ""},
        {lookedFor, 0.0, 300, HelpStart::TimesALateBox, 0, ""},
        {lookedFor, 0.0, 300, HelpStart::ChecksALateBoxOnATick, 0, ""},
        {lookedFor, 0.0, 300, HelpStart::PostsTwoMessages, 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("row " + std::to_string(&c - cases) + ": " + c.script);
        testdata::TempDeviceRoot root;
        ASSERT_NO_FATAL_FAILURE(WriteScenarioProgram(root));
        EXPECT_EXIT(RunInThisProcess(root, c.script, c.speed, c.stepSeconds, c.help),
                    ::testing::ExitedWithCode(c.exitCode), c.error);
    }
}

TEST(ScenarioRun, RefusesScriptOptionsThatDoNotGoTogether) {
    testdata::TempDeviceRoot root;
    ASSERT_NO_FATAL_FAILURE(WriteScenarioProgram(root));
    const std::string script = WriteScript(root, "tap 460\n").string();
    const std::vector<std::vector<std::string>> commands = {
        {"--script", script},
        {"--out", "out"},
        {"--speed", "2"},
        {"--script", script, "--out", "out", "--speed", "0"},
        {"--script", script, "--out", "out", "--speed", "fast"},
        {"--script", (root.HostPath() / "missing").string(), "--out", "out"},
        {"--explore", "1", "--out", "out"},
        {"--explore", "one", "--steps", "5", "--out", "out"},
        {"--explore", "1", "--steps", "0", "--out", "out"},
        {"--steps", "5", "--script", script, "--out", "out"},
        {"--explore", "1", "--steps", "5", "--out", "out", "--script", script},
        {"--explore", "1", "--steps", "5", "--out", "out", "--speed", "2"},
    };
    for (const auto& command : commands) {
        SCOPED_TRACE(command[1]);
        const testdata::ProgramRun run = RunNavigator(root.HostPath(), command);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_NE(run.errors, "");
    }
    std::filesystem::remove(script);
}

} // namespace

namespace {

// The program in the SDL2 window on a virtual X display, its clock at 20 times real time: the
// frames of the menu script equal the headless ones.
TEST(ScenarioRun, VisibleFramesEqualHeadlessOnes) {
    std::string xvfbRun;
    const char* path = std::getenv("PATH");
    std::string_view folders = path != nullptr ? path : "";
    while (!folders.empty() && xvfbRun.empty()) {
        const std::size_t colon = folders.find(':');
        const std::filesystem::path candidate =
            std::filesystem::path(std::string(folders.substr(0, colon))) / "xvfb-run";
        if (std::filesystem::exists(candidate))
            xvfbRun = candidate.string();
        folders.remove_prefix(colon == std::string_view::npos ? folders.size() : colon + 1);
    }
    if (xvfbRun.empty())
        GTEST_SKIP() << "no xvfb-run";
    testdata::TempDeviceRoot root;
    ASSERT_NO_FATAL_FAILURE(WriteScenarioProgram(root, true));
    const std::string script = WriteScript(root, MenuScript()).string();
    const std::filesystem::path headless = root.HostPath() / "headless";
    const std::filesystem::path visible = root.HostPath() / "visible";
    const testdata::ProgramRun first =
        RunNavigator(root.HostPath(), {"--script", script, "--out", headless.string()});
    const testdata::ProgramRun second = RunNavigator(
        root.HostPath(),
        {"--script", script, "--out", visible.string(), "--screen=visible:1", "--speed", "20"},
        xvfbRun);
    EXPECT_EQ(first.exitCode, 0) << first.errors;
    EXPECT_EQ(second.exitCode, 0) << second.errors;
    for (const char* frame : {"main-menu.png", "presettings.png"}) {
        SCOPED_TRACE(frame);
        const auto shown = testdata::ReadHostFile(visible / frame);
        ASSERT_TRUE(shown);
        EXPECT_EQ(shown, testdata::ReadHostFile(headless / frame));
    }
    std::filesystem::remove(script);
}

} // namespace
