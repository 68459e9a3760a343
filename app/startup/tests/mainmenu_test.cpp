#include "app/startup/modalwindow.h"
#include "app/startup/tests/shelltesting.h"
#include "testdata/tempdir.h"

#include "platform/gdi/gdi.h"
#include "platform/shell/dialogs.h"
#include "platform/shell/process.h"
#include "platform/window/shell.h"
#include "platform/window/tests/windowtesting.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
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

TEST(MainMenu, DebugKeysNeedReceiverAndSimulationButVersionAlwaysShows) {
    for (const char* simulation : {"0", "1"}) {
        SCOPED_TRACE(simulation);
        shelltesting::RunIsolated([simulation] {
            testdata::TempDeviceRoot root;
            WriteQuietProgram(root, {{"Zudav/Simulation", simulation}});
            platform::ClearOpenFileDialogs();
            ShellRun run({[](ShellRun&) {
                              HWND menu = ShellRun::MainWindow();
                              for (UINT key : {'L', 'R', 'P', 'S', 'T', 'l', 'p'})
                                  PostMessageW(menu, WM_KEYDOWN, key, 0);
                              platform::InjectKey(VK_CONTROL, true);
                              PostMessageW(menu, WM_KEYDOWN, 'V', 0);
                          },
                          [](ShellRun&) {
                              platform::InjectKey(VK_CONTROL, false);
                              PostMessageW(ShellRun::MainWindow(), WM_KEYDOWN, 'v', 0);
                          },
                          [](ShellRun& r) { r.AnswerDialog(1); }, QuitStep});
            EXPECT_EQ(run.exitCode, 0);
            EXPECT_FALSE(run.ranOutOfScript);
            ASSERT_EQ(run.dialogs.size(), 1u);
            EXPECT_EQ(run.dialogs[0].section, u"VersionDlg");
            EXPECT_TRUE(platform::RecordedOpenFileRequests().empty());
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
