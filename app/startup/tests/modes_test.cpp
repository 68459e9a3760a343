#include "app/startup/tests/shelltesting.h"
#include "testdata/tempdir.h"

#include "platform/gdi/gdi.h"
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

// An arrow key the hot keys caught goes to the map an open mode shows; when no map takes it (a
// list page, the map list, the presettings), the window with the focus gets it, as it would
// without the hot keys.
TEST(MainMenuModes, AnArrowKeyNoMapTakesReachesTheFocus) {
    shelltesting::RunIsolated([] {
        testdata::TempDeviceRoot root;
        ASSERT_TRUE(shelltesting::BuiltProgram().Pk("Zudav", "NoWarning", "1").WriteTo(root));
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
            bool isModeOpen;
            bool showsMap;
            std::vector<WPARAM> keys;
        } cases[] = {{true, true, {}}, {true, false, {VK_DOWN}}, {false, false, {VK_DOWN}}};
        for (const auto& c : cases) {
            SCOPED_TRACE(std::to_string(c.isModeOpen) + std::to_string(c.showsMap));
            g_modeShowsMap = c.showsMap;
            std::vector<WPARAM> keys;
            ShellRun run({[&c](ShellRun&) {
                              if (c.isModeOpen)
                                  PostToMenu(WM_COMMAND, 420);
                          },
                          [&probe](ShellRun&) {
                              probe =
                                  CreateWindowExW(0, u"ArrowProbe", u"", WS_POPUP | WS_VISIBLE, 0,
                                                  0, 10, 10, nullptr, nullptr, nullptr, nullptr);
                              SetFocus(probe);
                              windowtesting::ClearLog();
                              PostToMenu(WM_HOTKEY, 3);
                          },
                          [&keys, &keysOf, &probe](ShellRun&) {
                              keys = keysOf();
                              DestroyWindow(probe);
                              PostToMenu(WM_COMMAND, 460);
                          }});
            EXPECT_EQ(run.exitCode, 0);
            EXPECT_EQ(keys, c.keys);
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
