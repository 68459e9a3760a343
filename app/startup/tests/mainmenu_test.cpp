#include "app/startup/gpssimulationdlg.h"
#include "app/startup/modalwindow.h"
#include "app/startup/preferences.h"
#include "app/startup/tests/shelltesting.h"
#include "testdata/advisorwriter.h"
#include "testdata/nmeawriter.h"
#include "testdata/receiverscenariowriter.h"
#include "testdata/tempdir.h"
#include "testdata/wavewriter.h"
#include "utilities/usefulcode/apppaths.h"
#include "utilities/usefulcode/iniprofile.h"

#include "platform/gdi/gdi.h"
#include "platform/kernel/codepage.h"
#include "platform/shell/dialogs.h"
#include "platform/shell/process.h"
#include "platform/window/shell.h"
#include "platform/window/tests/windowtesting.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

using shelltesting::ShellRun;

// The program with the safety notice switched off, written to root.
void WriteQuietProgram(const testdata::TempDeviceRoot& root,
                       const std::vector<std::pair<std::string, std::string>>& pk = {}) {
    auto program = shelltesting::BuiltProgram();
    program.Pk("Zudav", "NoWarning", "1");
    for (const auto& [key, value] : pk) {
        const auto slash = key.find('/');
        program.Pk(key.substr(0, slash), key.substr(slash + 1), value);
    }
    ASSERT_TRUE(program.WriteTo(root));
}

void QuitStep(ShellRun&) {
    PostMessageW(ShellRun::MainWindow(), WM_COMMAND, 460, 0);
}

TEST(MainMenu, FocusRingMovesOnAndSkipsDisabledMovingMap) {
    shelltesting::RunIsolated([] {
        testdata::TempDeviceRoot root;
        WriteQuietProgram(root);
        const struct {
            UINT from;
            bool movingMapEnabled;
            UINT expected;
        } cases[] = {{585, false, 420}, {420, false, 430}, {430, false, 440}, {430, true, 1102},
                     {1102, true, 440}, {440, false, 450}, {450, false, 460}, {460, false, 420}};
        ShellRun run({[&cases](ShellRun&) {
                          HWND menu = ShellRun::MainWindow();
                          for (const auto& c : cases) {
                              SCOPED_TRACE(c.from);
                              EnableWindow(GetDlgItem(menu, 1102), c.movingMapEnabled);
                              SendMessageW(menu, WM_COMMAND, MAKEWPARAM(c.from, 1031),
                                           reinterpret_cast<LPARAM>(GetDlgItem(menu, c.from)));
                              EXPECT_EQ(GetFocus(), GetDlgItem(menu, c.expected));
                          }
                      },
                      QuitStep});
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_FALSE(run.ranOutOfScript);
    });
}

TEST(MainMenu, HoldsArrowHotKeysWhileRunningAndAcceleratorsOnlyWhileEnabled) {
    shelltesting::RunIsolated([] {
        testdata::TempDeviceRoot root;
        WriteQuietProgram(root);
        windowtesting::RegisterRecordingClass(u"HotKeyProbe");
        HWND probe = CreateWindowExW(0, u"HotKeyProbe", u"", WS_POPUP, 0, 0, 10, 10, nullptr,
                                     nullptr, nullptr, nullptr);
        std::vector<BOOL> registered;
        ShellRun run({[&registered, probe](ShellRun&) {
                          for (UINT key : {VK_UP, VK_LEFT, VK_DOWN, VK_RIGHT}) {
                              registered.push_back(RegisterHotKey(probe, 9, 0, key));
                              EXPECT_EQ(GetLastError(), ERROR_HOTKEY_ALREADY_REGISTERED);
                          }
                          // A modal page has disabled the main window: no accelerator.
                          EnableWindow(ShellRun::MainWindow(), FALSE);
                          shelltesting::PressWithControl('B');
                      },
                      [](ShellRun&) {
                          HWND menu = ShellRun::MainWindow();
                          ASSERT_NE(menu, nullptr);
                          EnableWindow(menu, TRUE);
                          shelltesting::PressWithControl('B');
                      }});
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_FALSE(run.ranOutOfScript);
        EXPECT_EQ(registered, std::vector<BOOL>(4, FALSE));
        for (UINT key : {VK_UP, VK_LEFT, VK_DOWN, VK_RIGHT}) {
            EXPECT_TRUE(RegisterHotKey(probe, 9, 0, key));
            UnregisterHotKey(probe, 9);
        }
        DestroyWindow(probe);
    });
}

TEST(MainMenu, HelpStartsViewerWithPathEndingThePreviousOne) {
    shelltesting::RunIsolated([] {
        testdata::TempDeviceRoot root;
        WriteQuietProgram(root, {{"HelpFile/Path", "\\Help\\Navi.htm"}});
        platform::ClearRecordedProcessLaunches();
        platform::ClearRecordedProcessTerminations();
        std::vector<std::size_t> terminated;
        ShellRun run({[](ShellRun&) {
                          PostMessageW(ShellRun::MainWindow(), WM_KEYDOWN, VK_F1, 0);
                          PostMessageW(ShellRun::MainWindow(), 0x404, 0, 0);
                          PostMessageW(ShellRun::MainWindow(), WM_COMMAND, 450, 0);
                      },
                      [&terminated](ShellRun&) {
                          terminated.push_back(platform::RecordedProcessTerminations().size());
                          PostMessageW(ShellRun::MainWindow(), WM_COMMAND, 460, 0);
                      }});
        EXPECT_EQ(run.exitCode, 0);
        const auto launches = platform::RecordedProcessLaunches();
        ASSERT_EQ(launches.size(), 3u);
        for (const auto& launch : launches) {
            EXPECT_EQ(launch.imageName, u"peghelp.exe");
            EXPECT_EQ(launch.commandLine, u"file:\\Help\\Navi.htm");
            EXPECT_EQ(launch.mask, SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI);
        }
        // Each start ends the one before; the last goes with the main window.
        EXPECT_EQ(terminated, std::vector<std::size_t>{2});
        const auto terminations = platform::RecordedProcessTerminations();
        ASSERT_EQ(terminations.size(), 3u);
        EXPECT_EQ(terminations.back().processId, launches.back().processId);
    });
}

// The edit text of the simulation value dialog that is up, then ends it with the command.
std::u16string AnswerValueDialog(ShellRun& run, const std::u16string& newText, UINT command) {
    auto* dialog = dynamic_cast<GpsSimulationDlg*>(DialogBase::FromWindow(GetActiveWindow()));
    EXPECT_NE(dialog, nullptr);
    if (dialog == nullptr)
        return u"no dialog";
    const std::u16string shown = platform::WindowTextOf(dialog->GetEdit()->GetWindow());
    if (!newText.empty())
        SetWindowTextW(dialog->GetEdit()->GetWindow(), newText.c_str());
    run.AnswerDialog(command);
    return shown;
}

TEST(MainMenu, DebugKeysActOnlyInSimulationButVersionAlwaysShows) {
    // The codes of 'l', 'r', 's', 't' and 'v': the keypad's separator, F3, F4, F5 and F7.
    static constexpr UINT kNoDebugKeys[] = {0x6C, VK_F3, VK_F1 + 3, VK_F5, VK_F1 + 6};
    const struct {
        const char* simulation;
        std::size_t fileRequests;
        std::vector<std::u16string> sections;
    } cases[] = {
        {"0", 0, {u"VersionDlg"}},
        {"1",
         2,
         {u"GpsSimulationDlg", u"GpsSimulationDlg", u"GpsSimulationDlg", u"GpsSimulationDlg",
          u"VersionDlg"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.simulation);
        shelltesting::RunIsolated([&c] {
            testdata::TempDeviceRoot root;
            WriteQuietProgram(root, {{"Zudav/Simulation", c.simulation}});
            ASSERT_TRUE(root.WriteFile(u"\\Replay.txt", "$GPGGA\r\n"));
            platform::ClearOpenFileDialogs();
            const bool isSimulation = c.simulation[0] == '1';
            std::vector<std::u16string> shown;
            const auto post = [](UINT key) {
                PostMessageW(ShellRun::MainWindow(), WM_KEYDOWN, key, 0);
            };
            std::vector<ShellRun::Step> steps = {[&](ShellRun&) {
                // A key-down message gives letters upper case: the lower-case letters' codes
                // are other keys', which are no debug keys.
                for (const UINT other : kNoDebugKeys)
                    post(other);
                platform::PushOpenFileAnswer(u"\\Replay.txt");
                post('L');
                post('R');
                post('S');
            }};
            if (isSimulation) {
                steps.push_back(
                    [&](ShellRun& r) { shown.push_back(AnswerValueDialog(r, u"3", 1)); });
                steps.push_back([&](ShellRun&) { post('S'); });
                steps.push_back(
                    [&](ShellRun& r) { shown.push_back(AnswerValueDialog(r, u"9", 2)); });
                steps.push_back([&](ShellRun&) { post('S'); });
                steps.push_back([&](ShellRun& r) { shown.push_back(AnswerValueDialog(r, {}, 2)); });
                steps.push_back([&](ShellRun&) { post('P'); });
                steps.push_back([&](ShellRun& r) { shown.push_back(AnswerValueDialog(r, {}, 2)); });
            }
            steps.push_back([&](ShellRun&) {
                platform::PushOpenFileAnswer(std::nullopt);
                post('T');
                // Ctrl+V is no version key.
                platform::InjectKey(VK_CONTROL, true);
                post('V');
            });
            steps.push_back([&](ShellRun&) {
                platform::InjectKey(VK_CONTROL, false);
                post('V');
            });
            steps.push_back([](ShellRun& r) { r.AnswerDialog(1); });
            steps.push_back(QuitStep);
            ShellRun run(std::move(steps));
            EXPECT_EQ(run.exitCode, 0);
            EXPECT_FALSE(run.ranOutOfScript);
            std::vector<std::u16string> sections;
            for (const auto& dialog : run.dialogs)
                sections.push_back(dialog.section);
            EXPECT_EQ(sections, c.sections);
            const auto requests = platform::RecordedOpenFileRequests();
            ASSERT_EQ(requests.size(), c.fileRequests);
            for (const auto& request : requests) {
                EXPECT_EQ(request.filter,
                          (std::vector<std::u16string>{u"Textdateien (*.txt)", u"*.txt",
                                                       u"Alle Dateien (*.*)", u"*.*"}));
                EXPECT_EQ(request.flags, OFN_FILEMUSTEXIST | OFN_HIDEREADONLY);
            }
            if (isSimulation) {
                // The speed shown, set to 3, kept by a cancel; the position is a number.
                ASSERT_EQ(shown.size(), 4u);
                EXPECT_EQ(shown[1], u"3");
                EXPECT_EQ(shown[2], u"3");
                EXPECT_FALSE(shown[3].empty());
                EXPECT_EQ(shown[3].find_first_not_of(u"0123456789"), std::u16string::npos);
                ASSERT_EQ(run.dialogs.size(), 5u);
                EXPECT_EQ(run.dialogs[0].text, shelltesting::GermanText(558));
            }
        });
    }
}

// A framework window that closes itself on a click; counts its creations.
class ClosingPage : public ModalPage {
public:
    explicit ClosingPage(int* creations)
        : m_creations(creations) {
        ConnectMessageHandler(m_window.map, WM_CREATE, this, &ClosingPage::OnCreate);
    }
    ~ClosingPage() override { m_window.Destroy(); }
    WindowHandle& GetWindowHandle() override { return m_window; }
    OwnerHandlerList& GetOwnerHandlerList() { return m_handlers; }

private:
    void OnCreate(UINT, WPARAM, LPARAM, LRESULT*, bool*) { ++*m_creations; }

    OwnerHandlerList m_handlers;
    WindowHandle m_window;
    int* m_creations;
};

TEST(MainMenu, RunModalWindowReusesItsWindowAndPassesQuitOn) {
    shelltesting::RunIsolated([] {
        testdata::TempDeviceRoot root;
        WriteQuietProgram(root);
        int creations = 0;
        ClosingPage page(&creations);
        std::vector<bool> visible;
        // Twice through the modal loop on one window, each ended by WM_CLOSE, then from the
        // menu's map list command a third loop that WM_QUIT ends, which must end the program.
        const auto close = [&](ShellRun&) {
            visible.push_back(IsWindowVisible(page.GetWindowHandle().window) != FALSE);
            PostMessageW(page.GetWindowHandle().window, WM_CLOSE, 0, 0);
        };
        ShellRun run({[&](ShellRun&) {
                          for (int round = 0; round < 2; ++round) {
                              RunModalWindow(page.GetWindowHandle()); // ended by the next step
                              visible.push_back(IsWindowVisible(page.GetWindowHandle().window) !=
                                                FALSE);
                              EXPECT_TRUE(IsWindow(page.GetWindowHandle().window));
                          }
                          GetShellFactories().mapList = [&creations](Onboard::OnboardServerPtr) {
                              return std::make_unique<ClosingPage>(&creations);
                          };
                          PostMessageW(ShellRun::MainWindow(), WM_COMMAND, 585, 0);
                      },
                      close, close, [](ShellRun&) { PostQuitMessage(0); }});
        GetShellFactories().mapList = nullptr;
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_FALSE(run.ranOutOfScript);
        EXPECT_EQ(visible, (std::vector<bool>{true, false, true, false}));
        EXPECT_EQ(creations, 2);
    });
}

} // namespace

namespace {

// A settings file that ends in zeros (a power loss) is never rewritten, and one without write
// permission (which binds every user) cannot be: the presettings and the TMC frequency written to
// it are refused, and the user is told once in the run, naming the file, each cause with its own
// message.
TEST(MainMenu, TellsOnceThatASettingsFileKeepsChangesUnsaved) {
    const struct {
        const char* what;
        bool isDamaged;
        UINT textId;
    } cases[] = {
        {"damaged", true, MainMenuWnd::kDamagedSettingsText},
        {"read-only", false, MainMenuWnd::kUnsavedSettingsText},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        shelltesting::RunIsolated([&c] {
            testdata::TempDeviceRoot root;
            testdata::ProgramFolderWriter program = shelltesting::BuiltProgram();
            program.Pk("Zudav", "NoWarning", "1");
            if (c.isDamaged) {
                program.ZeroedPkTail(16);
            }
            ASSERT_TRUE(program.WriteTo(root));
            if (!c.isDamaged) {
                std::filesystem::permissions(root.HostPathOf(u"\\PK.ini"),
                                             std::filesystem::perms::owner_read |
                                                 std::filesystem::perms::group_read);
            }
            const std::string before = root.ReadFile(u"\\PK.ini").value_or("");
            const std::u16string expected = shelltesting::GermanText(c.textId);
            ASSERT_NE(expected.find(u"%s"), std::u16string::npos);
            std::vector<std::size_t> boxesAfterStep;
            std::vector<ShellRun::Step> steps;
            // The presettings saved as the sheet's OK saves them, then the tuned TMC frequency as
            // the receiver supervision stores it, then both again.
            for (int round = 0; round < 2; ++round) {
                steps.push_back([](ShellRun&) {
                    PreferencesRecord record = LoadPreferences();
                    record.kilometres = 0;
                    SavePreferences(record);
                });
                steps.push_back([&boxesAfterStep](ShellRun&) {
                    boxesAfterStep.push_back(platform::RecordedMessageBoxes().size());
                    (void)IniProfile::WriteInt(u"Preferences", u"LastKnownTMCFreq", 911,
                                               AppPaths::GetSettingsFilePath().c_str());
                });
                steps.push_back([&boxesAfterStep](ShellRun&) {
                    boxesAfterStep.push_back(platform::RecordedMessageBoxes().size());
                });
            }
            steps.push_back(QuitStep);
            ShellRun run(std::move(steps));
            EXPECT_EQ(run.exitCode, 0);
            EXPECT_EQ(boxesAfterStep, (std::vector<std::size_t>{1, 1, 1, 1}));
            ASSERT_EQ(run.boxes.size(), 1u);
            const std::u16string text = run.boxes[0].text;
            const std::size_t mark = expected.find(u"%s");
            EXPECT_EQ(text.substr(0, mark), expected.substr(0, mark));
            EXPECT_TRUE(text.ends_with(expected.substr(mark + 2)));
            EXPECT_NE(text.find(u"PK.ini"), std::u16string::npos);
            EXPECT_EQ(root.ReadFile(u"\\PK.ini").value_or(""), before) << "never rewritten";
            std::filesystem::permissions(root.HostPathOf(u"\\PK.ini"),
                                         std::filesystem::perms::owner_all);
        });
    }
}

} // namespace

namespace {

// A voice archive that is missing or cannot be mounted leaves the guidance unspoken: the user is
// told once, naming the archive. A whole archive tells nothing.
TEST(MainMenu, TellsOnceThatAnUnusableVoiceArchiveLeavesTheGuidanceUnspoken) {
    const std::vector<std::uint8_t> whole =
        testdata::BuildVoiceArchive({{"TurnLeft", testdata::WaveWriter().Build()}});
    const struct {
        const char* name;
        std::optional<std::string> archive;
        std::size_t boxes;
    } cases[] = {
        {"none", std::nullopt, 1},
        {"whole", std::string(whole.begin(), whole.end()), 0},
        {"empty", std::string(), 1},
        {"cut", std::string(whole.begin(), whole.begin() + 12), 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        shelltesting::RunIsolated([&c] {
            testdata::TempDeviceRoot root;
            WriteQuietProgram(root);
            ASSERT_TRUE(root.InstallModule(u"ziVur.dll")); // the archive library
            if (c.archive) {
                ASSERT_TRUE(root.WriteFile(u"\\sound\\german_waves.sfs", *c.archive));
            }
            ShellRun run({QuitStep});
            EXPECT_EQ(run.exitCode, 0);
            ASSERT_EQ(run.boxes.size(), c.boxes);
            if (c.boxes != 0) {
                const std::u16string text = run.boxes[0].text;
                const std::u16string expected = shelltesting::GermanText(1404);
                EXPECT_EQ(text.substr(0, expected.find(u"%s")),
                          expected.substr(0, expected.find(u"%s")));
                EXPECT_NE(text.find(u"\\sound\\german_waves.sfs"), std::u16string::npos);
            }
        });
    }
}

// A GPS settings file that is missing or defines no protocol, and in simulation a receiver
// set-up that can give no position, keep positions from being read: each is named once, by the
// file at fault, as the menu shows (else the only word of it is that the receiver does not
// answer): the scenario when it is missing, empty, refused, not a file (a FIFO, never waited for)
// or names no replay, the replay file it names when that is missing, not a file, or holds no
// NMEA cycle. A missing settings file is not left behind empty.
TEST(MainMenu, NamesTheGpsFileThatKeepsPositionsFromBeingRead) {
    const std::string scenario = testdata::ReceiverScenarioWriter().SetReplay("Fix.txt").Build();
    const std::string fix = testdata::NmeaWriter().AddCycle({}).Build();
    const struct {
        const char* name;
        std::optional<std::string> settings; // "deziv.ini"; nullopt: the shipped one
        bool isMissing;                      // no "deziv.ini"
        std::optional<std::string> gpstmc;   // simulation with this scenario and "\Fix.txt"
        std::string replay;                  // "\Fix.txt" of a simulation
        const char16_t* removed;             // a file of the simulation taken away, or a FIFO
        bool isFifo;                         // put in its place
        const char16_t* named;               // nullptr: nothing
    } cases[] = {
        {"whole", std::nullopt, false, std::nullopt, fix, nullptr, false, nullptr},
        {"no settings", std::nullopt, true, std::nullopt, fix, nullptr, false, u"\\deziv.ini"},
        {"empty settings", "", false, std::nullopt, fix, nullptr, false, u"\\deziv.ini"},
        {"simulation", std::nullopt, false, scenario, fix, nullptr, false, nullptr},
        {"no scenario", std::nullopt, false, scenario, fix, u"\\gpstmc.ini", false,
         u"\\gpstmc.ini"},
        {"bad scenario", std::nullopt, false,
         testdata::ReceiverScenarioWriter().Build(testdata::ReceiverScenarioFault::BadNumber), fix,
         nullptr, false, u"\\gpstmc.ini"},
        {"empty scenario", std::nullopt, false, "", fix, nullptr, false, u"\\gpstmc.ini"},
        {"scenario a FIFO", std::nullopt, false, scenario, fix, u"\\gpstmc.ini", true,
         u"\\gpstmc.ini"},
        {"no replay named", std::nullopt, false, testdata::ReceiverScenarioWriter().Build(), fix,
         nullptr, false, u"\\gpstmc.ini"},
        {"no replay", std::nullopt, false, scenario, fix, u"\\Fix.txt", false, u"\\Fix.txt"},
        {"replay a FIFO", std::nullopt, false, scenario, fix, u"\\Fix.txt", true, u"\\Fix.txt"},
        {"empty replay", std::nullopt, false, scenario, "", nullptr, false, u"\\Fix.txt"},
        {"replay without NMEA", std::nullopt, false, scenario, "no sentence\r\n", nullptr, false,
         u"\\Fix.txt"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        shelltesting::RunIsolated([&c] {
            testdata::TempDeviceRoot root;
            auto program = shelltesting::BuiltProgram();
            program.Pk("Zudav", "NoWarning", "1");
            if (c.isMissing || c.settings) {
                program.GpsSettings(c.isMissing ? std::nullopt : c.settings);
            }
            if (c.gpstmc) {
                program.Pk("Zudav", "Simulation", "1");
                program.ReceiverScenario(*c.gpstmc);
            }
            ASSERT_TRUE(program.WriteTo(root));
            ASSERT_TRUE(root.WriteFile(u"\\Fix.txt", c.replay));
            if (c.removed != nullptr) {
                const std::filesystem::path file = root.HostPathOf(c.removed);
                ASSERT_TRUE(std::filesystem::remove(file));
                ASSERT_TRUE(!c.isFifo || ::mkfifo(file.c_str(), 0600) == 0);
            }
            ShellRun run({QuitStep});
            EXPECT_EQ(run.exitCode, 0);
            ASSERT_EQ(run.boxes.size(), c.named != nullptr ? 1u : 0u);
            if (c.named != nullptr) {
                const std::u16string expected = shelltesting::GermanText(1405);
                const std::u16string text = run.boxes[0].text;
                EXPECT_EQ(text.substr(0, expected.find(u"%s")),
                          expected.substr(0, expected.find(u"%s")));
                EXPECT_NE(text.find(c.named), std::u16string::npos) << platform::WideToAnsi(text);
            }
            EXPECT_EQ(std::filesystem::exists(root.HostPathOf(u"\\deziv.ini")), !c.isMissing);
        });
    }
}

} // namespace
