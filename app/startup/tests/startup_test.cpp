#include "app/startup/headlessanswers.h"
#include "app/startup/tests/shelltesting.h"
#include "testdata/hostprogram.h"
#include "testdata/tempdir.h"
#include "testdata/xauthoritywriter.h"
#include "ui/messagedialogs.h"

#include "platform/files/modules.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/codepage.h"
#include "platform/kernel/com.h"
#include "platform/shell/dialogs.h"
#include "platform/sound/sound.h"
#include "platform/window/instancechannel.h"
#include "platform/window/shell.h"
#include "platform/window/tests/windowtesting.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <optional>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using shelltesting::ShellRun;

std::string BoxTexts(const std::vector<platform::MessageBoxRecord>& boxes) {
    std::string texts;
    for (const auto& box : boxes)
        texts += platform::WideToAnsi(box.text) + " (" + platform::WideToAnsi(box.caption) + ")\n";
    return texts;
}

// The threads of this process.
std::size_t ThreadCount() {
    std::size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
        (void)entry;
        ++count;
    }
    return count;
}

// The threads of this process once those that were joined have gone: a joined thread can still
// be listed for a moment, as its join returns before the system has removed it. A thread left
// running stays, and the count with it.
std::size_t SettledThreadCount(std::size_t expected) {
    std::size_t count = ThreadCount();
    for (int attempt = 0; attempt < 200 && count > expected; ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        count = ThreadCount();
    }
    return count;
}

TEST(ShellStartup, ShowsMenuAndQuitsCleanlyByCommandAndByKey) {
    const struct {
        const char* language;
        bool byKey;
        const char16_t* quitText;
        UINT quitKey;
    } cases[] = {
        {"0", false, u"Beenden", 'B'}, {"1", true, u"Quit", 'Q'}, {"0", true, u"Beenden", 'B'}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.language) + (c.byKey ? " key" : " command"));
        shelltesting::RunIsolated([&c] {
            testdata::TempDeviceRoot root;
            ASSERT_TRUE(shelltesting::BuiltProgram()
                            .ServerSetting("Properties", "Language", c.language)
                            .Pk("Preferences", "VolValue", "30")
                            .WriteTo(root));
            (void)waveOutSetVolume(nullptr, 0x80008000u); // 50 % in both channels
            const std::size_t threadsBefore = ThreadCount();
            ShellRun run({[](ShellRun& r) { r.AnswerDialog(1); },
                          [&c](ShellRun& r) {
                              HWND menu = ShellRun::MainWindow();
                              ASSERT_NE(menu, nullptr);
                              r.notes.push_back(shelltesting::LoadedText(460));
                              for (int id : {585, 420, 430, 1102, 440, 450, 460})
                                  EXPECT_NE(GetDlgItem(menu, id), nullptr) << id;
                              EXPECT_FALSE(IsWindowEnabled(GetDlgItem(menu, 1102)));
                              EXPECT_FALSE(platform::IsTaskBarShown());
                              DWORD volume = 0;
                              (void)waveOutGetVolume(nullptr, &volume);
                              EXPECT_EQ(volume, 19660u | (19660u << 16));
                              // The system's close is ignored.
                              SendMessageW(menu, WM_CLOSE, 0, 0);
                              EXPECT_TRUE(IsWindow(menu));
                              if (c.byKey)
                                  shelltesting::PressWithControl(c.quitKey);
                              else
                                  PostMessageW(menu, WM_COMMAND, 460, 0);
                          }});
            EXPECT_EQ(run.exitCode, 0);
            EXPECT_FALSE(run.ranOutOfScript);
            ASSERT_EQ(run.dialogs.size(), 1u);
            EXPECT_EQ(run.dialogs[0].section, u"MsgBox");
            const std::u16string notice = c.language[0] == '1' ? u"Always watch" : u"Achten Sie";
            EXPECT_EQ(run.dialogs[0].text.substr(0, notice.size()), notice);
            EXPECT_TRUE(run.boxes.empty()) << BoxTexts(run.boxes);
            EXPECT_EQ(run.notes, std::vector<std::u16string>{c.quitText});
            EXPECT_TRUE(platform::IsTaskBarShown());
            EXPECT_EQ(ShellRun::MainWindow(), nullptr);
            EXPECT_EQ(GetModuleHandleW(u"LangGerCE.dll"), nullptr);
            EXPECT_EQ(GetModuleHandleW(u"LangEngCE.dll"), nullptr);
            DWORD volume = 0;
            (void)waveOutGetVolume(nullptr, &volume);
            EXPECT_EQ(volume, 0x7FFF7FFFu); // 50 % x 655.35 in both channels
            EXPECT_EQ(platform::ComInitializationCount(), 0);
            EXPECT_EQ(SettledThreadCount(threadsBefore), threadsBefore);
        });
    }
}

TEST(ShellStartup, ChoosesLanguageLibraryWithGermanFallback) {
    const struct {
        const char* language;
        bool withEnglish;
        bool withGerman;
        bool germanReadable;
        std::vector<std::string> boxes;
        const char16_t* quitText; // null: no window
    } cases[] = {
        {"0", true, true, true, {}, u"Beenden"},
        {"2", true, true, true, {}, u"Beenden"},
        {"7", true, true, true, {}, u"Beenden"},
        {"x", true, true, true, {}, u"Beenden"},
        {"1", true, true, true, {}, u"Quit"},
        {"1",
         false,
         true,
         true,
         {"The DLL: LangEngCE.dll could not be loaded! (Error)\n"},
         u"Beenden"},
        {"1",
         false,
         false,
         true,
         {"The DLL: LangEngCE.dll could not be loaded! (Error)\n",
          "The DLL: LangGerCE.dll could not be loaded! (Error)\n"},
         nullptr},
        {"0",
         true,
         true,
         false,
         {"The DLL: LangGerCE.dll could not be loaded! (Error)\n",
          "The DLL: LangGerCE.dll could not be loaded! (Error)\n"},
         nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.language) + (c.withEnglish ? " eng" : "") +
                     (c.withGerman ? " ger" : "") + (c.germanReadable ? "" : " unreadable"));
        shelltesting::RunIsolated([&c] {
            testdata::TempDeviceRoot root;
            auto program = shelltesting::BuiltProgram();
            program.ServerSetting("Properties", "Language", c.language)
                .Pk("Zudav", "NoWarning", "1");
            if (!c.germanReadable) {
                platform::ResourceBundle titleless;
                titleless.strings = {{460, u"Beenden"}};
                program.Bundle(u"LangGerCE.dll", titleless);
            }
            ASSERT_TRUE(program.WriteTo(root));
            if (!c.withEnglish)
                std::filesystem::remove(root.HostPathOf(u"\\LangEngCE.dll"));
            if (!c.withGerman)
                std::filesystem::remove(root.HostPathOf(u"\\LangGerCE.dll"));
            std::vector<std::u16string> quitTexts;
            ShellRun run({[&quitTexts](ShellRun&) {
                quitTexts.push_back(shelltesting::LoadedText(460));
                PostMessageW(ShellRun::MainWindow(), WM_COMMAND, 460, 0);
            }});
            EXPECT_EQ(run.exitCode, 0);
            std::vector<std::string> boxes;
            for (const auto& box : run.boxes)
                boxes.push_back(BoxTexts({box}));
            EXPECT_EQ(boxes, c.boxes);
            if (c.quitText != nullptr) {
                EXPECT_EQ(quitTexts, std::vector<std::u16string>{c.quitText});
                EXPECT_FALSE(run.ranOutOfScript);
            } else {
                EXPECT_TRUE(quitTexts.empty());
                EXPECT_TRUE(run.dialogs.empty());
            }
        });
    }
}

TEST(ShellStartup, SafetyNoticeUnlessNoWarningAndNoDatasetsMessage) {
    const struct {
        const char* noWarning;
        bool withDatabase;
        std::vector<std::u16string> sections;
        bool hasMenu;
    } cases[] = {
        {nullptr, true, {u"MsgBox"}, true},
        {"0", true, {u"MsgBox"}, true},
        {"1", true, {}, true},
        {"5", true, {}, true},
        {"x", true, {u"MsgBox"}, true},
        {nullptr, false, {u"NoDatasetsMsgBox"}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.noWarning ? c.noWarning : "-") +
                     (c.withDatabase ? "" : " empty"));
        shelltesting::RunIsolated([&c] {
            testdata::TempDeviceRoot root;
            auto program = shelltesting::BuiltProgram(c.withDatabase);
            if (c.noWarning != nullptr)
                program.Pk("Zudav", "NoWarning", c.noWarning);
            ASSERT_TRUE(program.WriteTo(root));
            bool sawMenu = false;
            std::vector<ShellRun::Step> steps;
            if (!c.sections.empty())
                steps.push_back([](ShellRun& r) { r.AnswerDialog(1); });
            steps.push_back([&sawMenu](ShellRun&) {
                HWND menu = ShellRun::MainWindow();
                sawMenu = menu != nullptr;
                PostMessageW(menu, WM_COMMAND, 460, 0);
            });
            ShellRun run(std::move(steps));
            EXPECT_EQ(run.exitCode, 0);
            std::vector<std::u16string> sections;
            for (const auto& dialog : run.dialogs)
                sections.push_back(dialog.section);
            EXPECT_EQ(sections, c.sections);
            EXPECT_EQ(sawMenu, c.hasMenu);
            EXPECT_TRUE(run.boxes.empty()) << BoxTexts(run.boxes);
            EXPECT_EQ(ShellRun::MainWindow(), nullptr);
        });
    }
}

// A headless run without a script has nobody to answer the program's boxes and open-file
// dialogs: a box takes its default button at once, a dialog is cancelled at once, and each is told
// in a line on the error output.
TEST(ShellStartup, HeadlessWithoutAScriptEachBoxAndOpenFileDialogIsAnsweredAtOnceAndTold) {
    static constexpr WCHAR kFilter[] = u"Text files (*.txt)\0*.txt\0All files (*.*)\0*.*\0";
    const auto askForFile = [] {
        WCHAR file[260] = {};
        OPENFILENAMEW request{};
        request.lStructSize = sizeof(request);
        request.lpstrFilter = kFilter;
        request.lpstrFile = file;
        request.nMaxFile = 260;
        request.Flags = OFN_FILEMUSTEXIST;
        return GetOpenFileNameW(&request) != FALSE ? 1 : 0;
    };
    const struct {
        const char* what;
        std::function<int()> ask; // the box's answer; the dialog's: 1 chosen, 0 cancelled
        int answer;
        std::string told;
    } rows[] = {
        {"a question",
         [] { return MessageBoxW(nullptr, u"Stop?", u"Route", MB_YESNO | MB_ICONQUESTION); }, IDYES,
         "navigator: message box \"Route\": Stop? -- answered Yes (headless)\n"},
        {"the open-file dialog", askForFile, 0,
         "navigator: open-file dialog \"Open\" (Text files (*.txt), All files (*.*)) -- "
         "cancelled (headless: run with --screen=visible to choose a file)\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        std::FILE* told = std::tmpfile();
        ASSERT_NE(told, nullptr);
        AnswerUnseenBoxesAndDialogs(told);
        platform::ClearOpenFileDialogs();
        EXPECT_EQ(row.ask(), row.answer);
        platform::SetMessageBoxSink({});
        platform::SetOpenFilePresenter({});
        std::rewind(told);
        std::string line(256, '\0');
        line.resize(std::fread(line.data(), 1, line.size(), told));
        std::fclose(told);
        EXPECT_EQ(line, row.told);
    }
    platform::ClearOpenFileDialogs();
}

// Starts the navigator program on a host folder; its process id, or -1.
pid_t StartNavigator(const std::filesystem::path& folder) {
    const std::string program = NAV_NAVIGATOR_PROGRAM;
    const std::string root = folder.string();
    char* const arguments[] = {const_cast<char*>(program.c_str()), const_cast<char*>(root.c_str()),
                               nullptr};
    pid_t child = -1;
    if (posix_spawn(&child, program.c_str(), nullptr, nullptr, arguments, environ) != 0)
        return -1;
    return child;
}

TEST(ShellStartup, SecondStartActivatesTheRunningInstanceAndEnds) {
    shelltesting::RunIsolated([] {
        testdata::TempDeviceRoot root;
        ASSERT_TRUE(shelltesting::BuiltProgram().Pk("Zudav", "NoWarning", "1").WriteTo(root));
        windowtesting::RegisterRecordingClass(u"ForegroundProbe");
        HWND probe = CreateWindowExW(0, u"ForegroundProbe", u"", WS_POPUP | WS_VISIBLE, 0, 0, 10,
                                     10, nullptr, nullptr, nullptr, nullptr);
        pid_t child = -1;
        int childStatus = -1;
        bool wasProbeInFront = false;
        HWND front = nullptr;
        HWND mainWindow = nullptr;
        std::vector<ShellRun::Step> steps;
        steps.push_back([&](ShellRun&) {
            SetForegroundWindow(probe);
            wasProbeInFront = GetForegroundWindow() == probe;
            child = StartNavigator(root.HostPath());
        });
        // The second process asks this one over the channel, which this loop serves between
        // the steps; each step waits a little for the child to end.
        for (int poll = 0; poll < 1000; ++poll) {
            steps.push_back([&](ShellRun&) {
                if (child <= 0 || childStatus != -1)
                    return;
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
                int status = 0;
                if (waitpid(child, &status, WNOHANG) == child)
                    childStatus = status;
                PostMessageW(nullptr, WM_NULL, 0, 0);
            });
        }
        steps.push_back([&](ShellRun&) {
            front = GetForegroundWindow();
            mainWindow = ShellRun::MainWindow();
            PostMessageW(ShellRun::MainWindow(), WM_COMMAND, 460, 0);
        });
        ShellRun run(std::move(steps));
        DestroyWindow(probe);
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_TRUE(wasProbeInFront);
        ASSERT_GT(child, 0);
        ASSERT_NE(childStatus, -1) << "the second start did not end";
        EXPECT_TRUE(WIFEXITED(childStatus));
        EXPECT_EQ(WEXITSTATUS(childStatus), 0);
        EXPECT_NE(mainWindow, nullptr);
        EXPECT_EQ(front, mainWindow);
    });
}

// The instance channel's handler activates the application's own window only: a request that
// names another window, a hidden internal one included, is refused and changes nothing.
TEST(ShellStartup, InstanceRequestsReachOnlyTheApplicationsWindow) {
    windowtesting::RegisterRecordingClass(u"TitleProbe");
    auto make = [](LPCWSTR title, DWORD style) {
        return CreateWindowExW(0, u"TitleProbe", title, WS_POPUP | style, 0, 0, 100, 100, nullptr,
                               nullptr, nullptr, nullptr);
    };
    HWND main = make(u"Navigator", WS_VISIBLE);
    HWND hidden = make(u"Internal", 0);
    HWND other = make(u"Other", WS_VISIBLE);
    const struct {
        const char16_t* title;
        bool isTaken;
    } cases[] = {
        {u"Internal", false},  {u"Other", false},    {u"", false},
        {u"navigator", false}, {u"Navigator", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(platform::WideToAnsi(c.title));
        ASSERT_TRUE(SetForegroundWindow(other));
        platform::InstanceRequest request;
        request.kind = platform::InstanceRequestKind::ActivateWindow;
        request.windowTitle = c.title;
        EXPECT_EQ(HandleInstanceRequest(request, u"Navigator"), c.isTaken);
        EXPECT_EQ(GetActiveWindow(), c.isTaken ? main : other);
        EXPECT_FALSE(IsWindowVisible(hidden));
    }
    DestroyWindow(main);
    DestroyWindow(hidden);
    DestroyWindow(other);
}

// Starts the program a second time while this one runs and serves this one's instance channel
// until the second process ends; its exit status, or -1 when it did not end in time.
int SecondStart(const std::filesystem::path& folder) {
    const pid_t child = StartNavigator(folder);
    if (child <= 0)
        return -1;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (;;) {
        MSG msg{};
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        int status = 0;
        if (waitpid(child, &status, WNOHANG) == child)
            return status;
        if (std::chrono::steady_clock::now() > deadline) {
            kill(child, SIGKILL);
            (void)waitpid(child, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

// What a second start did to a modal dialog of the running instance.
struct SecondStartOutcome {
    std::u16string section;      // the dialog's
    int childStatus = -1;        // the second process's wait status
    bool isDialogActive = false; // the dialog was still the active window afterwards
    bool isButtonOnTop = false;  // its button was the window at the button's point
    bool didTapEndIt = false;    // the tap on the button ended the dialog
};

// Run inside the modal loop of the active dialog: a second start, then a tap on the dialog's
// first button.
void StartAgainAndTap(const std::filesystem::path& folder, SecondStartOutcome& outcome,
                      HWND& dialogWindow) {
    dialogWindow = GetActiveWindow();
    const DialogBase* dialog = DialogBase::FromWindow(dialogWindow);
    ASSERT_NE(dialog, nullptr) << "no dialog is active";
    outcome.section = dialog->GetSection();
    outcome.childStatus = SecondStart(folder);
    outcome.isDialogActive = GetActiveWindow() == dialogWindow;
    const auto& items = dialog->GetItems();
    const auto button = std::find_if(items.begin(), items.end(),
                                     [](const auto& item) { return item.second.face != nullptr; });
    ASSERT_NE(button, items.end());
    const RECT& rect = button->second.rect;
    POINT point{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    ClientToScreen(dialogWindow, &point);
    HWND hit = WindowFromPoint(point);
    outcome.isButtonOnTop =
        hit == dialogWindow || (hit != nullptr && GetParent(hit) == dialogWindow);
    platform::InjectStylus(platform::StylusAction::Down, point);
    platform::InjectStylus(platform::StylusAction::Up, point);
}

// Run once the tap had its chance: whether the dialog went; one still there is closed, so that
// the run goes on.
void CheckTapEnded(HWND dialogWindow, SecondStartOutcome& outcome) {
    outcome.didTapEndIt = DialogBase::FromWindow(dialogWindow) == nullptr;
    if (!outcome.didTapEndIt)
        PostMessageW(dialogWindow, WM_COMMAND, IDCANCEL, 0);
}

// A second start while a modal dialog of the running instance is shown (the safety notice at
// start-up, a message box, the GPS-wait dialog) leaves that dialog in front and active, and the
// dialog still takes its tap: the disabled main window is neither activated nor raised over it.
TEST(ShellStartup, SecondStartLeavesTheModalDialogInFrontTakingItsTap) {
    shelltesting::RunIsolated([] {
        testdata::TempDeviceRoot root;
        ASSERT_TRUE(shelltesting::BuiltProgram().WriteTo(root));
        const std::filesystem::path folder = root.HostPath();
        // The safety notice, then each dialog shown modally over the main window as the modes
        // show them.
        const std::vector<std::function<INT_PTR(HWND)>> shows = {
            nullptr,
            [](HWND main) { return DestNotFoundMsgBox(1079, u"Vaduz").DoModal(main); },
            [](HWND main) { return NavWithoutGPSDlg().DoModal(main); },
        };
        std::vector<SecondStartOutcome> outcomes(shows.size());
        std::vector<HWND> dialogs(shows.size());
        std::vector<INT_PTR> results(shows.size(), -1);
        HWND activeAtEnd = nullptr;
        HWND mainAtEnd = nullptr;
        std::vector<ShellRun::Step> steps;
        for (std::size_t i = 0; i < shows.size(); ++i) {
            if (shows[i]) {
                steps.push_back(
                    [&, i](ShellRun&) { results[i] = shows[i](ShellRun::MainWindow()); });
            }
            steps.push_back(
                [&, i](ShellRun&) { StartAgainAndTap(folder, outcomes[i], dialogs[i]); });
            // In the main window's loop when the tap ended the dialog, else in the dialog's.
            steps.push_back([&, i](ShellRun&) { CheckTapEnded(dialogs[i], outcomes[i]); });
        }
        steps.push_back([&](ShellRun&) {
            activeAtEnd = GetActiveWindow();
            mainAtEnd = ShellRun::MainWindow();
            PostMessageW(ShellRun::MainWindow(), WM_COMMAND, 460, 0);
        });
        ShellRun run(std::move(steps));
        EXPECT_EQ(run.exitCode, 0);
        const std::u16string sections[] = {u"MsgBox", u"DestNotFoundMsgBox", u"NavWithoutGPSDlg"};
        for (std::size_t i = 0; i < outcomes.size(); ++i) {
            SCOPED_TRACE(platform::WideToAnsi(sections[i]));
            const SecondStartOutcome& outcome = outcomes[i];
            EXPECT_EQ(outcome.section, sections[i]);
            EXPECT_TRUE(WIFEXITED(outcome.childStatus) && WEXITSTATUS(outcome.childStatus) == 0)
                << "the second start ends with 0: " << outcome.childStatus;
            EXPECT_TRUE(outcome.isDialogActive);
            EXPECT_TRUE(outcome.isButtonOnTop);
            EXPECT_TRUE(outcome.didTapEndIt);
            if (shows[i]) {
                EXPECT_NE(results[i], -1);
            }
        }
        EXPECT_NE(activeAtEnd, nullptr);
        EXPECT_EQ(activeAtEnd, mainAtEnd) << "the main window takes over again";
    });
}

// A command line the program cannot run with is refused, naming what is wrong first, and so is
// the visible screen where no display can be reached: nothing runs unseen. Each command carries a
// script that quits at once, so that a run that went ahead ends too.
TEST(NavigatorCommandLine, RefusesWhatItCannotRunOrShowNamingIt) {
    testdata::TempDeviceRoot root;
    ASSERT_TRUE(shelltesting::BuiltProgram().Pk("Zudav", "NoWarning", "1").WriteTo(root));
    const std::filesystem::path host = root.HostPath();
    const std::string script = host.string() + ".script";
    std::ofstream(script, std::ios::binary) << "wait page Screen\ntap 460\n";
    const std::vector<std::string> quit = {"--script", script, "--out", (host / "out").string()};
    const std::string folder = host.string();
    const std::string missing = (host / "missing").string();
    const std::string file = root.HostPathOf(u"\\PK.ini").string();
    // A stopped X server takes connections and never answers; one stopped after it let the
    // display check in leaves the window's library waiting; a busy one (made for its row, as it
    // is busy from then on) keeps its queue of connections full for a while, then answers with a
    // refusal. A stopped server's local socket is where the X library waits, whatever answers on
    // the TCP port of its number.
    using testdata::StandInXDisplay;
    StandInXDisplay stopped(StandInXDisplay::Kind::Silent, {});
    StandInXDisplay stoppedLate(StandInXDisplay::Kind::StoppedAfterAnswering, {});
    StandInXDisplay stoppedBesidePort(StandInXDisplay::Kind::SilentBesideForwarding, {});
    // A server that resets when its last client leaves drops the window library's connection
    // unless the check's is still there.
    StandInXDisplay resetting(StandInXDisplay::Kind::EndsAtTheSecondClient, {});
    // ssh's X11 forwarding on a display's TCP port closes a connection whose set-up request
    // lacks its cookie and passes one that carries it on to the display (refused here, as by the
    // busy server); an HTTP proxy on such a port answers as no X server does.
    StandInXDisplay forwarding(StandInXDisplay::Kind::Forwarding, {}, "0123456789abcdef");
    StandInXDisplay http(StandInXDisplay::Kind::Http, {});
    // A display over a slow link answers in seconds; one that is resetting closes a connection.
    StandInXDisplay late(StandInXDisplay::Kind::AnswersLate, std::chrono::milliseconds(3000));
    StandInXDisplay closesFirst(StandInXDisplay::Kind::ClosesTheFirstConnection, {});
    // One resetting over a slow link: silent for seconds on each connection, the first closed.
    StandInXDisplay lateClosesFirst(StandInXDisplay::Kind::ClosesTheFirstConnection,
                                    std::chrono::milliseconds(3000));
    for (const StandInXDisplay* display :
         {&stopped, &stoppedLate, &stoppedBesidePort, &resetting, &forwarding, &http, &late,
          &closesFirst, &lateClosesFirst})
        ASSERT_NE(display->DisplayEntry(), "");
    // "DISPLAY=PROTOCOL/HOST:N" for the stand-in's ":N", and the program's line about it.
    const auto withProtocol = [](const StandInXDisplay& display, const std::string& protocol,
                                 const std::string& host = {}) {
        return display.DisplayEntry().insert(8, protocol + "/" + host);
    };
    const auto unusable = [&withProtocol](const StandInXDisplay& display,
                                          const std::string& protocol,
                                          const std::string& host = {}) {
        const std::string entry = display.DisplayEntry();
        const std::string number = entry.substr(entry.find(':') + 1);
        return "navigator: the visible screen cannot be opened: " +
               withProtocol(display, protocol, host) + " cannot be used: with the protocol \"" +
               protocol + "\" and " + (host.empty() ? "no host" : "the host \"" + host + "\"") +
               " the X library connects nowhere (" + protocol + "/localhost:" + number +
               " is the display's TCP port at this host, :" + number + " its local socket)\n";
    };
    // Each row's program reads an X authority file written here, never the user's: by default
    // one with another cookie for the forwarding, in its row one with the forwarding's own.
    const std::string authorised = host.string() + ".Xauthority";
    const std::string unauthorised = host.string() + ".Xauthority-other";
    testdata::XauthorityEntry cookie = forwarding.Authorisation();
    ASSERT_TRUE(testdata::WriteXauthorityFile(authorised, {cookie}));
    cookie.data = "fedcba9876543210";
    ASSERT_TRUE(testdata::WriteXauthorityFile(unauthorised, {cookie}));
    constexpr const char* kBusyDisplay = "busy";
    const struct {
        const char* what;
        std::vector<std::string> arguments; // before the script
        std::string environment;            // one more entry, or empty
        int exitCode;                       // -1: ended by a signal
        std::string message;                // the beginning of the program's line about it
        std::string display = "DISPLAY=";   // the X display named
        int terminateAfterMs = 0;           // SIGTERM sent then, when not 0
        std::string unsaid = {};            // what the error output must not say
        bool isMessageFirst = true; // else the X and Wayland libraries may tell of it before
        // XAUTHORITY holds the forwarding's cookie, and every set-up request it gets carries it.
        bool hasCookie = false;
        std::string alsoSaid = {}; // what the error output says after the message
        // A stand-in that must get no connection: the X library would not connect there.
        StandInXDisplay* unasked = nullptr;
        // How long the check waits for a display that took its connection to answer.
        int answerMs = 1500;
        // How many connections the forwarding closed for want of its cookie, when not -1; each
        // taken at least a pause after the one before.
        int closings = -1;
    } cases[] = {
        {"no folder", {}, "", 2, "navigator: no FOLDER is given"},
        {"missing folder",
         {missing},
         "",
         2,
         "navigator: the folder \"" + missing + "\" does not exist"},
        {"a file", {file}, "", 2, "navigator: \"" + file + "\" is not a folder"},
        {"screen option",
         {folder, "--screen=bogus"},
         "",
         2,
         "navigator: \"--screen=bogus\" is not understood: the screen is headless, visible or "
         "visible:SCALE"},
        {"screen variable",
         {folder},
         "NAV_SCREEN=bogus",
         2,
         "navigator: \"NAV_SCREEN=bogus\" is not understood"},
        // Without a runtime folder too, which the Wayland library would complain of first.
        {"no display",
         {folder, "--screen=visible:1"},
         "XDG_RUNTIME_DIR=",
         1,
         "navigator: the visible screen cannot be opened: no display can be reached (DISPLAY is "
         "empty"},
        // A display no X server answers: found before the graphics library tries its drivers.
        {"unanswered display",
         {folder, "--screen=visible:1"},
         "XDG_RUNTIME_DIR=",
         1,
         "navigator: the visible screen cannot be opened: no display can be reached "
         "(DISPLAY=:97: no X server answers",
         "DISPLAY=:97"},
        // The kernel completes a connection for a stopped server too: one that never answers is
        // no server, told as slow while it is waited for.
        {"stopped X server",
         {folder, "--screen=visible:1"},
         "XDG_RUNTIME_DIR=",
         1,
         "navigator: waiting for the X display of " + stopped.DisplayEntry() +
             " to answer\nnavigator: the visible screen cannot be opened: no display can be "
             "reached (" +
             stopped.DisplayEntry() + ": no X server answers, WAYLAND_DISPLAY is empty)\n",
         stopped.DisplayEntry(),
         0,
         {},
         true,
         false,
         {},
         nullptr,
         3000},
        // A display that answers after seconds, as over a slow link, is waited for.
        {"display that answers in 3 seconds",
         {folder, "--screen=visible:1"},
         "XDG_RUNTIME_DIR=",
         1,
         "navigator: waiting for the X display of " + late.DisplayEntry() +
             " to answer\nnavigator: the visible screen cannot be opened: the X server of " +
             late.DisplayEntry() +
             " refused the connection: \"stand-in display\"; no authorisation was sent: "
             "XAUTHORITY=" +
             unauthorised + " holds no MIT-MAGIC-COOKIE-1 cookie for the display\n",
         late.DisplayEntry(),
         0,
         {},
         true,
         false,
         {},
         nullptr,
         10000},
        // A protocol other than unix with no host is a display the X library connects nowhere
        // with: the check asks nowhere either.
        {"tcp with no host",
         {folder, "--screen=visible:1"},
         "XDG_RUNTIME_DIR=",
         1,
         unusable(stoppedBesidePort, "tcp"),
         withProtocol(stoppedBesidePort, "tcp"),
         0,
         {},
         true,
         false,
         {},
         &stoppedBesidePort},
        {"inet6 with no host",
         {folder, "--screen=visible:1"},
         "XDG_RUNTIME_DIR=",
         1,
         unusable(stoppedBesidePort, "inet6"),
         withProtocol(stoppedBesidePort, "inet6"),
         0,
         {},
         true,
         false,
         {},
         &stoppedBesidePort},
        {"inet with no host",
         {folder, "--screen=visible:1"},
         "XDG_RUNTIME_DIR=",
         1,
         unusable(stoppedBesidePort, "inet"),
         withProtocol(stoppedBesidePort, "inet"),
         0,
         {},
         true,
         false,
         {},
         &stoppedBesidePort},
        // The host "unix" is no host to a protocol other than unix.
        {"tcp with the host unix",
         {folder, "--screen=visible:1"},
         "XDG_RUNTIME_DIR=",
         1,
         unusable(stoppedBesidePort, "tcp", "unix"),
         withProtocol(stoppedBesidePort, "tcp", "unix"),
         0,
         {},
         true,
         false,
         {},
         &stoppedBesidePort},
        // A server that closed the check's first connection, as one resetting does, is asked
        // again.
        {"X server that closes the first connection",
         {folder, "--screen=visible:1"},
         "XDG_RUNTIME_DIR=",
         1,
         "navigator: the visible screen cannot be opened: the X server of " +
             closesFirst.DisplayEntry() +
             " refused the connection: \"stand-in display\"; no authorisation was sent: "
             "XAUTHORITY=" +
             unauthorised + " holds no MIT-MAGIC-COOKIE-1 cookie for the display\n",
         closesFirst.DisplayEntry()},
        // Asked again, a display still slow is not told as slow once more.
        {"X server that closes the first connection and answers late",
         {folder, "--screen=visible:1"},
         "XDG_RUNTIME_DIR=",
         1,
         "navigator: waiting for the X display of " + lateClosesFirst.DisplayEntry() +
             " to answer\nnavigator: the visible screen cannot be opened: the X server of " +
             lateClosesFirst.DisplayEntry() +
             " refused the connection: \"stand-in display\"; no authorisation was sent: "
             "XAUTHORITY=" +
             unauthorised + " holds no MIT-MAGIC-COOKIE-1 cookie for the display\n",
         lateClosesFirst.DisplayEntry(),
         0,
         {},
         true,
         false,
         {},
         nullptr,
         10000},
        // The X library waits at the local socket that takes its connection: the check asks
        // there alone, and tells silence there as no X server within its time.
        {"stopped X server beside a forwarding's port",
         {folder, "--screen=visible:1"},
         "XDG_RUNTIME_DIR=",
         1,
         "navigator: the visible screen cannot be opened: no display can be reached (" +
             stoppedBesidePort.DisplayEntry() +
             ": no X server answers, WAYLAND_DISPLAY is empty)\n",
         stoppedBesidePort.DisplayEntry(),
         0,
         {},
         true,
         false,
         {},
         &stoppedBesidePort},
        // SIGTERM ends the program while it waits for the display, in its check and after it.
        {"terminated while the display is asked",
         {folder, "--screen=visible:1"},
         "XDG_RUNTIME_DIR=",
         -1,
         "",
         stopped.DisplayEntry(),
         500},
        {"terminated while the window's library waits for the display",
         {folder, "--screen=visible:1"},
         "XDG_RUNTIME_DIR=",
         -1,
         "",
         stoppedLate.DisplayEntry(),
         500},
        // The check keeps its connection until the window's library has made its own.
        {"X server that resets when its last client leaves",
         {folder, "--screen=visible:1"},
         "XDG_RUNTIME_DIR=",
         1,
         "navigator: the visible screen cannot be opened: no display can be reached (" +
             resetting.DisplayEntry(),
         resetting.DisplayEntry(),
         0,
         "no X server answers",
         false},
        // A full queue is a busy server, waited for: its refusal, with the server's reason, is
        // the program's line, and the window's library is not tried.
        {"busy X server",
         {folder, "--screen=visible:1"},
         "XDG_RUNTIME_DIR=",
         1,
         "navigator: the visible screen cannot be opened: the X server of DISPLAY=:",
         kBusyDisplay,
         0,
         "no X server answers",
         true,
         false,
         " refused the connection: \"stand-in display\"; no authorisation was sent: XAUTHORITY=" +
             unauthorised + " holds no MIT-MAGIC-COOKIE-1 cookie for the display\n"},
        // ssh's X11 forwarding is asked with the display's cookie, as the X library asks it.
        {"X11 forwarding",
         {folder, "--screen=visible:1"},
         "XDG_RUNTIME_DIR=",
         1,
         "navigator: the visible screen cannot be opened: the X server of " +
             forwarding.DisplayEntry() +
             " refused the connection: \"stand-in display\"; the authorisation sent was the "
             "display's cookie in XAUTHORITY=" +
             authorised + "\n",
         forwarding.DisplayEntry(),
         0,
         {},
         true,
         true},
        // The host's addresses are tried in turn up to the first that takes the connection.
        {"X11 forwarding at the second address of its host",
         {folder, "--screen=visible:1"},
         "NAV_DISPLAY_ADDRESSES=::1,127.0.0.1",
         1,
         "navigator: the visible screen cannot be opened: the X server of " +
             forwarding.DisplayEntry() +
             " refused the connection: \"stand-in display\"; the authorisation sent was the "
             "display's cookie in XAUTHORITY=" +
             authorised + "\n",
         forwarding.DisplayEntry(),
         0,
         {},
         true,
         true},
        // One that closes the connection for want of its cookie is told so, asked a few times
        // only: ssh tells each connection it closes on its own side.
        {"X11 forwarding without its cookie",
         {folder, "--screen=visible:1"},
         "XDG_RUNTIME_DIR=",
         1,
         "navigator: the visible screen cannot be opened: " + forwarding.DisplayEntry() +
             " closed the connection without an answer (ssh's X11 forwarding does so when it "
             "does not take the authorisation or cannot reach the display behind it); the "
             "authorisation sent was the display's cookie in XAUTHORITY=" +
             unauthorised + "\n",
         forwarding.DisplayEntry(),
         0,
         {},
         true,
         false,
         {},
         nullptr,
         1500,
         3},
        // Any other answer is no X server's: the window's library is not tried, and the program's
        // line is all that is said.
        {"HTTP answer on the display's port",
         {folder, "--screen=visible:1"},
         "XDG_RUNTIME_DIR=",
         1,
         "navigator: the visible screen cannot be opened: no display can be reached (" +
             http.DisplayEntry() + ": no X server answers, WAYLAND_DISPLAY is empty)\n",
         http.DisplayEntry()},
    };
    // The window's libraries keep allocations to the end of the process.
    const char* sanitizer = std::getenv("ASAN_OPTIONS");
    const std::string asan =
        "ASAN_OPTIONS=" + std::string(sanitizer != nullptr ? sanitizer : "") + ":detect_leaks=0";
    constexpr auto kRowBound = std::chrono::milliseconds(20000);
    const auto tableEnd = std::chrono::steady_clock::now() + std::chrono::seconds(90);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> words = {NAV_NAVIGATOR_PROGRAM};
        words.insert(words.end(), c.arguments.begin(), c.arguments.end());
        words.insert(words.end(), quit.begin(), quit.end());
        std::optional<StandInXDisplay> busy;
        if (c.display == kBusyDisplay)
            busy.emplace(StandInXDisplay::Kind::Busy, std::chrono::milliseconds(700));
        std::vector<std::string> environment = {
            busy ? busy->DisplayEntry() : c.display,
            "WAYLAND_DISPLAY=",
            "SDL_VIDEODRIVER=",
            asan,
            "XAUTHORITY=" + (c.hasCookie ? authorised : unauthorised),
            "NAV_DISPLAY_ANSWER_MS=" + std::to_string(c.answerMs)};
        if (!c.environment.empty())
            environment.push_back(c.environment);
        // A program that does not end is ended within its row's bound, and the rows together
        // within the table's: a row that hangs fails alone.
        const int refused = forwarding.RequestsRefused();
        const std::size_t forwarded = forwarding.ConnectionTimes().size();
        const int unaskedBefore = c.unasked != nullptr ? c.unasked->RequestsRefused() : 0;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            tableEnd - std::chrono::steady_clock::now());
        const testdata::ProgramRun run = testdata::RunHostProgram(
            words, environment, host.string() + ".err",
            c.terminateAfterMs != 0 ? std::chrono::milliseconds(c.terminateAfterMs)
                                    : std::clamp(left, std::chrono::milliseconds(0), kRowBound));
        if (c.unasked != nullptr) {
            EXPECT_EQ(c.unasked->RequestsRefused(), unaskedBefore)
                << "the check asked where the X library does not connect";
        }
        if (c.display == resetting.DisplayEntry()) {
            EXPECT_EQ(resetting.IsFirstClientKept(), 1)
                << "the check's connection was gone before the window's library connected";
        }
        if (!c.alsoSaid.empty()) {
            EXPECT_NE(run.errors.find(c.alsoSaid), std::string::npos) << run.errors;
        }
        EXPECT_EQ(run.exitCode, c.exitCode) << run.errors;
        if (c.hasCookie) {
            EXPECT_EQ(forwarding.RequestsRefused(), refused)
                << "a set-up request lacked the cookie";
        }
        if (c.closings != -1) {
            EXPECT_EQ(forwarding.RequestsRefused() - refused, c.closings);
            // The forwarding takes each connection after the program saw the one before closed,
            // so the program's pause before it asks again lies between the two.
            const auto taken = forwarding.ConnectionTimes();
            for (std::size_t i = forwarded + 1; i < taken.size(); ++i) {
                EXPECT_GE(taken[i] - taken[i - 1], std::chrono::milliseconds(200))
                    << "connection " << i - forwarded + 1 << " came too soon after the one before";
            }
        }
        EXPECT_EQ(run.signal, c.exitCode == -1 ? SIGTERM : 0) << run.errors;
        if (!c.unsaid.empty()) {
            EXPECT_EQ(run.errors.find(c.unsaid), std::string::npos) << run.errors;
        }
        // The program's line is the first the user reads.
        const std::size_t said = run.errors.find(c.message);
        EXPECT_TRUE(c.isMessageFirst ? said == 0 : said != std::string::npos) << run.errors;
        // A message given as a whole line is all the program says.
        if (c.message.ends_with('\n')) {
            EXPECT_EQ(run.errors, c.message);
        }
        EXPECT_EQ(run.errors.find("\nusage: navigator FOLDER") != std::string::npos,
                  c.exitCode == 2)
            << run.errors;
    }
    for (const std::string& file : {script, authorised, unauthorised})
        std::filesystem::remove(file);
}

// Signals from outside, headless. One that the program was started with ignored (nohup, a
// background job of a shell) stays ignored; a SIGTERM that comes the moment the program's handler
// is in place, while it still starts, ends it in order, as one that comes later does: exit code
// 143, soon and never by the backstop, and the instance channel's socket removed.
TEST(NavigatorCommandLine, KeepsTheSignalsIgnoredAtItsStartAndEndsInOrderOnOneWhileItStarts) {
    testdata::TempDeviceRoot root;
    ASSERT_TRUE(shelltesting::BuiltProgram().WriteTo(root));
    const struct {
        const char* what;
        int ignored; // ignored at the start and sent first, 0: none
        int starts;  // each signalled the moment its handler is in place
    } rows[] = {
        {"SIGTERM as the program starts", 0, 12},
        {"SIGHUP ignored at the start (nohup)", SIGHUP, 1},
        {"SIGINT ignored at the start (a background job)", SIGINT, 1},
    };
    const char* sanitizer = std::getenv("ASAN_OPTIONS");
    const std::string asan =
        "ASAN_OPTIONS=" + std::string(sanitizer != nullptr ? sanitizer : "") + ":detect_leaks=0";
    const std::string errorFile = root.HostPath().string() + ".err";
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        for (int start = 0; start < row.starts; ++start) {
            SCOPED_TRACE(start);
            // Started as nohup and a shell start it: the signal ignored, then the program run in
            // the same process.
            const std::string ignore =
                row.ignored == 0 ? ":" : "trap '' " + std::to_string(row.ignored);
            posix_spawn_file_actions_t actions;
            posix_spawn_file_actions_init(&actions);
            posix_spawn_file_actions_addopen(&actions, 2, errorFile.c_str(),
                                             O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int child =
                testdata::StartHostProgram({"sh", "-c", ignore + "; exec \"$0\" \"$@\"",
                                            NAV_NAVIGATOR_PROGRAM, root.HostPath().string()},
                                           {asan}, actions);
            posix_spawn_file_actions_destroy(&actions);
            ASSERT_GT(child, 0);
            EXPECT_TRUE(testdata::AwaitSignalCaught(child, SIGTERM, std::chrono::seconds(60)));
            bool isRunning = true;
            if (row.ignored != 0) {
                (void)::kill(child, row.ignored);
                std::this_thread::sleep_for(std::chrono::milliseconds(500));
                int status = 0;
                isRunning = ::waitpid(child, &status, WNOHANG) == 0;
                EXPECT_TRUE(isRunning) << "the ignored signal ended the program";
            }
            const auto sent = std::chrono::steady_clock::now();
            (void)::kill(child, SIGTERM);
            int status = 0;
            while (isRunning && ::waitpid(child, &status, WNOHANG) == 0 &&
                   std::chrono::steady_clock::now() - sent < std::chrono::seconds(30))
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            const auto took = std::chrono::steady_clock::now() - sent;
            if (isRunning && ::waitpid(child, &status, WNOHANG) == 0) {
                (void)::kill(child, SIGKILL);
                (void)::waitpid(child, &status, 0);
            }
            const std::string errors = testdata::ReadHostFile(errorFile).value_or("");
            if (isRunning) {
                EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 143) << status << errors;
                // Below the backstop's ten seconds, which would say so on the error output.
                EXPECT_LT(took, std::chrono::seconds(9));
                EXPECT_EQ(errors.find("did not end"), std::string::npos) << errors;
            }
            for (const auto& entry : std::filesystem::directory_iterator(root.HostPath()))
                EXPECT_NE(entry.path().extension(), ".sock") << entry.path();
        }
    }
    std::filesystem::remove(errorFile);
}

// The program on root with the help page "\Navi.htm" and viewer as its help viewer, and beside
// root a script that taps "Hilfe" and quits; returns the script's path, empty on failure.
std::string WriteHelpProgram(const testdata::TempDeviceRoot& root, const std::string& viewer) {
    const std::string script = root.HostPath().string() + ".script";
    std::ofstream(script, std::ios::binary) << "wait page Screen\ntap 450\ntap 460\n";
    const bool isWritten =
        shelltesting::BuiltProgram()
            .Pk("Zudav", "NoWarning", "1")
            .Pk("HelpFile", "Path", "\\Navi.htm")
            .WriteTo(root) &&
        root.WriteFile(u"\\Navi.htm", "<html></html>") &&
        root.WriteFile(u"\\Windows\\launch.ini", "[peghelp.exe]\r\nViewer=" + viewer + "\r\n");
    return isWritten && std::filesystem::exists(script) ? script : std::string();
}

// "Hilfe" starts the viewer "\Windows\launch.ini" names on the help page's URL in a visible run
// (the window on SDL2's driver that shows nothing); a headless run only records the launch.
TEST(NavigatorCommandLine, HelpStartsTheLaunchFilesViewerOnlyInAVisibleRun) {
    testdata::TempDeviceRoot root;
    const std::filesystem::path host = root.HostPath();
    const std::filesystem::path marker = host.string() + ".viewed";
    const std::string viewer = host.string() + ".viewer";
    std::ofstream(viewer, std::ios::binary) << "#!/bin/sh\nprintf %s \"$1\" > " << marker << "\n";
    std::filesystem::permissions(viewer, std::filesystem::perms::owner_all);
    const std::string script = WriteHelpProgram(root, viewer);
    ASSERT_FALSE(script.empty());
    const char* sanitizer = std::getenv("ASAN_OPTIONS");
    const std::string asan =
        "ASAN_OPTIONS=" + std::string(sanitizer != nullptr ? sanitizer : "") + ":detect_leaks=0";
    const std::string url = "file://" + (host / "Navi.htm").string();
    for (const bool isVisible : {false, true}) {
        SCOPED_TRACE(isVisible ? "visible" : "headless");
        std::filesystem::remove(marker);
        const std::filesystem::path out = host.string() + ".out";
        std::vector<std::string> words = {
            NAV_NAVIGATOR_PROGRAM, host.string(), "--script", script, "--out", out.string()};
        if (isVisible)
            words.insert(words.end(), {"--screen=visible:1", "--speed", "100"});
        const testdata::ProgramRun run = testdata::RunHostProgram(
            words, {"SDL_VIDEODRIVER=dummy", asan}, host.string() + ".err");
        ASSERT_EQ(run.exitCode, 0) << run.errors;
        EXPECT_EQ(testdata::ReadHostFile(out / "launches.txt"),
                  std::optional<std::string>("peghelp.exe\tfile:\\Navi.htm\n"));
        // The viewer runs on its own, and may still be starting when the program has ended.
        for (int wait = 0; isVisible && wait < 500 && !std::filesystem::exists(marker); ++wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_EQ(testdata::ReadHostFile(marker),
                  isVisible ? std::optional<std::string>(url) : std::nullopt);
    }
    for (const std::string& file : {script, viewer, marker.string()})
        std::filesystem::remove(file);
    std::filesystem::remove_all(host.string() + ".out");
}

#ifdef NAV_VIEWER_PROBE
// A caller that reads the program's output through a pipe sees it end when the program ends,
// though the help viewer it started stays open: the viewer holds neither the pipe nor the
// program's files (the scenario), only the null device as its standard streams.
TEST(NavigatorCommandLine, TheHelpViewerKeepsNeitherTheOutputPipeNorTheScenarioOpen) {
    testdata::TempDeviceRoot root;
    const std::string host = root.HostPath().string();
    const std::string script = WriteHelpProgram(root, NAV_VIEWER_PROBE);
    ASSERT_FALSE(script.empty());
    const std::string report = host + ".viewed";
    const char* sanitizer = std::getenv("ASAN_OPTIONS");
    const testdata::PipedProgramRun run = testdata::RunHostProgramThroughPipe(
        {NAV_NAVIGATOR_PROGRAM, host, "--script", script, "--out", host + ".out",
         "--screen=visible:1", "--speed", "100"},
        {"SDL_VIDEODRIVER=dummy", "NAV_VIEWER_PROBE_OUT=" + report, "NAV_VIEWER_PROBE_STAY=60",
         "ASAN_OPTIONS=" + std::string(sanitizer != nullptr ? sanitizer : "") + ":detect_leaks=0"},
        std::chrono::seconds(30));
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_TRUE(run.isOutputEnded) << "the pipe stayed open after the program ended";
    const testdata::ViewerProbeReport viewed = testdata::AwaitViewerProbeReport(report);
    EXPECT_NE(viewed.url.find("/Navi.htm"), std::string::npos) << viewed.url;
    EXPECT_EQ(viewed.descriptors,
              (std::vector<std::string>{"0 /dev/null", "1 /dev/null", "2 /dev/null"}));
    ASSERT_GT(viewed.processId, 0);
    EXPECT_EQ(::kill(static_cast<pid_t>(viewed.processId), 0), 0) << "the viewer stays open";
    (void)::kill(static_cast<pid_t>(viewed.processId), SIGTERM);
    for (const std::string& file : {script, report})
        std::filesystem::remove(file);
    std::filesystem::remove_all(host + ".out");
}
#endif

} // namespace
