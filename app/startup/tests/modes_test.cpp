#include "app/startup/tests/shelltesting.h"
#include "testdata/tempdir.h"

#include "platform/gdi/gdi.h"
#include "platform/gdi/messageboxwindow.h"
#include "platform/gdi/openfilewindow.h"
#include "platform/shell/dialogs.h"
#include "platform/window/testdriver.h"
#include "platform/window/tests/windowtesting.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using shelltesting::ShellRun;

// Whether the recording modes show a map that takes the arrow keys.
bool g_modeShowsMap = true;

// A mode that reports what the main window does with it.
class RecordingMode : public MenuMode {
public:
    RecordingMode(std::string name, std::vector<std::string>* log, ApplicationInterface* app)
        : m_name(std::move(name))
        , m_log(log)
        , m_application(app) {}
    ~RecordingMode() override { m_log->push_back(m_name + " deleted"); }
    void Activate(int, int) override { m_log->push_back(m_name + " activate"); }
    void Deactivate(void*) override {
        m_log->push_back(m_name + " deactivate");
        m_isDeactivated = true;
        m_application->NotifyModeClosed(false);
    }
    bool IsDeactivated() const override { return m_isDeactivated; }
    bool OnKey(UINT key) override {
        m_log->push_back(m_name + " key " + std::to_string(key));
        return g_modeShowsMap;
    }
    void ShowHelp() override { m_log->push_back(m_name + " help"); }

private:
    std::string m_name;
    std::vector<std::string>* m_log;
    ApplicationInterface* m_application;
    bool m_isDeactivated = false;
};

ShellFactories::ModeFactory RecordingFactory(const std::string& prefix,
                                             std::vector<std::string>* log) {
    auto count = std::make_shared<int>(0);
    return [prefix, log, count](const ModeContext& context) {
        return std::make_unique<RecordingMode>(prefix + std::to_string(++*count), log,
                                               context.application);
    };
}

void PostToMenu(UINT message, WPARAM wParam) {
    PostMessageW(ShellRun::MainWindow(), message, wParam, 0);
}

TEST(MainMenuModes, NewModeReplacesSameKindAndClosingDeletesOnlyDeactivatedModes) {
    shelltesting::RunIsolated([] {
        testdata::TempDeviceRoot root;
        ASSERT_TRUE(shelltesting::BuiltProgram().Pk("Zudav", "NoWarning", "1").WriteTo(root));
        std::vector<std::string> log;
        GetShellFactories().navigationMode = RecordingFactory("N", &log);
        GetShellFactories().tourMode = RecordingFactory("T", &log);
        ShellRun run({[](ShellRun&) { PostToMenu(WM_COMMAND, 420); },
                      [](ShellRun&) { PostToMenu(WM_COMMAND, 420); },
                      [](ShellRun&) { PostToMenu(WM_HOTKEY, 1); },
                      [](ShellRun&) { PostToMenu(WM_COMMAND, 430); },
                      [&log](ShellRun&) {
                          log.push_back("quit");
                          PostToMenu(WM_COMMAND, 460);
                      }});
        GetShellFactories() = ShellFactories{};
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(log, (std::vector<std::string>{
                           "N1 activate", "N1 deactivate", "N1 deleted", "N2 activate", "N2 key 38",
                           "N2 deactivate", "T1 activate", "N2 deleted", "quit", "T1 deleted"}));
    });
}

// What is over the main window while the arrows are pressed.
enum class Over { Nothing, OpenFileDialog, MessageBox };

// The open-file dialog that is up; null without one.
HWND ShownOpenFileDialog() {
    for (HWND window : platform::ShownWindows()) {
        if (platform::IsOpenFileDialogWindow(window))
            return window;
    }
    return nullptr;
}

// An arrow key the hot keys caught goes to the map an open mode shows; when no map takes it (a
// list page, the map list, the presettings), the window with the focus gets it, as it would
// without the hot keys. While a dialog or a message box of the program is up, every key goes to
// it and nothing beneath reacts: the open-file dialog's Up and Down pick its entries (over the
// main menu, over a mode's map), and a message box's arrows move no map.
TEST(MainMenuModes, AnArrowKeyNoMapTakesReachesTheFocus) {
    shelltesting::RunIsolated([] {
        testdata::TempDeviceRoot root;
        ASSERT_TRUE(shelltesting::BuiltProgram()
                        .Pk("Zudav", "NoWarning", "1")
                        .Pk("Zudav", "Simulation", "1")
                        .WriteTo(root));
        // GPS sentences, no RDS group: 'T' on the main menu says so in a message box.
        ASSERT_TRUE(root.WriteFile(u"\\Replay.txt", "$GPGGA\r\n"));
        platform::ShowOpenFileDialogsAsWindows();
        platform::ShowMessageBoxesAsWindows();
        std::vector<std::string> log;
        GetShellFactories().navigationMode = RecordingFactory("N", &log);
        windowtesting::RegisterRecordingClass(u"ArrowProbe");
        HWND probe = nullptr;
        const auto keysOf = [&probe] {
            std::vector<WPARAM> keys;
            std::lock_guard lock(windowtesting::LogMutex());
            for (const windowtesting::Logged& entry : windowtesting::Log()) {
                if (entry.window == probe && entry.message == WM_KEYDOWN)
                    keys.push_back(entry.wParam);
            }
            return keys;
        };
        const struct {
            const char* what;
            bool isModeOpen;
            bool showsMap;
            Over over;
            std::vector<UINT> pressed;
            std::vector<std::string> modeKeys; // what the mode's map took ("key CODE")
            std::vector<WPARAM> keys;          // what the focus beneath got
            int picked = -1;                   // the dialog's entry picked
        } cases[] = {
            {"a map takes it", true, true, Over::Nothing, {VK_DOWN}, {"key 40"}, {}},
            {"no map: the focus", true, false, Over::Nothing, {VK_DOWN}, {"key 40"}, {VK_DOWN}},
            {"no mode: the focus", false, false, Over::Nothing, {VK_DOWN}, {}, {VK_DOWN}},
            {"Up and Down in the open-file dialog over a mode's map",
             true,
             true,
             Over::OpenFileDialog,
             {VK_DOWN, VK_DOWN, VK_DOWN, VK_UP},
             {},
             {},
             1},
            {"Up in the open-file dialog over the main menu",
             false,
             false,
             Over::OpenFileDialog,
             {VK_UP},
             {},
             {},
             0},
            {"the arrows under a message box over a mode's map",
             true,
             true,
             Over::MessageBox,
             {VK_DOWN, VK_UP, VK_LEFT},
             {},
             {}},
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(c.what);
            g_modeShowsMap = c.showsMap;
            log.clear();
            std::vector<WPARAM> keys;
            bool isOverUp = false;
            int picked = -1;
            std::u16string field;
            std::u16string entry;
            ShellRun run(
                {[&c](ShellRun&) {
                     if (c.isModeOpen)
                         PostToMenu(WM_COMMAND, 420);
                 },
                 [&c, &probe](ShellRun&) {
                     probe = CreateWindowExW(0, u"ArrowProbe", u"", WS_POPUP | WS_VISIBLE, 0, 0, 10,
                                             10, nullptr, nullptr, nullptr, nullptr);
                     SetFocus(probe);
                     windowtesting::ClearLog();
                     // The main menu's replay keys (in simulation) ask for a file; the
                     // RDS file chosen ahead holds no group, which a box then tells.
                     if (c.over == Over::OpenFileDialog) {
                         PostToMenu(WM_KEYDOWN, 'L');
                     } else if (c.over == Over::MessageBox) {
                         platform::PushOpenFileAnswer(u"\\Replay.txt");
                         PostToMenu(WM_KEYDOWN, 'T');
                     }
                 },
                 [&c](ShellRun&) {
                     for (const UINT key : c.pressed) {
                         platform::InjectKey(key, true);
                         platform::InjectKey(key, false);
                     }
                 },
                 [&](ShellRun&) {
                     HWND active = GetActiveWindow();
                     if (HWND dialog = ShownOpenFileDialog()) {
                         isOverUp = true;
                         HWND list = GetDlgItem(dialog, platform::kOpenFileListId);
                         picked = static_cast<int>(SendMessageW(list, LB_GETCURSEL, 0, 0));
                         field =
                             platform::WindowTextOf(GetDlgItem(dialog, platform::kOpenFileNameId));
                         if (picked >= 0) {
                             std::u16string text(
                                 static_cast<std::size_t>(SendMessageW(
                                     list, LB_GETTEXTLEN, static_cast<WPARAM>(picked), 0)) +
                                     1,
                                 u'\0');
                             (void)SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(picked),
                                                reinterpret_cast<LPARAM>(text.data()));
                             text.pop_back();
                             entry = text;
                         }
                     } else {
                         isOverUp = platform::IsMessageBoxWindow(active);
                     }
                     // Esc cancels the dialog; Enter answers the box.
                     if (isOverUp) {
                         const UINT key = c.over == Over::OpenFileDialog ? VK_ESCAPE : VK_RETURN;
                         platform::InjectKey(key, true);
                         platform::InjectKey(key, false);
                     }
                 },
                 [&keys, &keysOf, &probe](ShellRun&) {
                     keys = keysOf();
                     DestroyWindow(probe);
                     PostToMenu(WM_COMMAND, 460);
                 }});
            EXPECT_EQ(run.exitCode, 0);
            EXPECT_FALSE(run.ranOutOfScript);
            EXPECT_EQ(isOverUp, c.over != Over::Nothing);
            std::vector<std::string> modeKeys;
            for (const std::string& line : log) {
                if (const std::size_t at = line.find(" key "); at != std::string::npos)
                    modeKeys.push_back(line.substr(at + 1));
            }
            EXPECT_EQ(modeKeys, c.modeKeys) << "the keys the map beneath took";
            EXPECT_EQ(keys, c.keys);
            EXPECT_EQ(picked, c.picked);
            if (c.picked >= 0) {
                EXPECT_FALSE(entry.empty());
                EXPECT_EQ(field, entry) << "the entry picked goes to the name field";
            }
        }
        GetShellFactories() = ShellFactories{};
        g_modeShowsMap = true;
    });
}

TEST(MainMenuTitle, TitleFontTakesTheTitleAreaHeight) {
    shelltesting::RunIsolated([] {
        testdata::TempDeviceRoot root;
        ASSERT_TRUE(shelltesting::BuiltProgram().Pk("Zudav", "NoWarning", "1").WriteTo(root));
        int rowsWithTitle = 0;
        ShellRun run({[&rowsWithTitle](ShellRun&) {
            HDC screen = GetDC(nullptr);
            // Over the first button of the demo layout at 240 x 320 only the title is drawn
            // (antialiased) on the black screen.
            for (int y = 0; y < 70; ++y) {
                for (int x = 12; x < 228; ++x) {
                    if (GetPixel(screen, x, y) != 0) {
                        ++rowsWithTitle;
                        break;
                    }
                }
            }
            ReleaseDC(nullptr, screen);
            PostToMenu(WM_COMMAND, 460);
        }});
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_GE(rowsWithTitle, 12) << rowsWithTitle;
    });
}

} // namespace
