// The main window's rules for its modes, with the real modes: a mode of the same kind goes
// before a new one opens, WM_USER+1 deletes only closed modes, the moving map opens over a tour,
// and the arrow hot keys reach the map page on screen.
#include "app/modes/modes.h"
#include "app/pages/navshowpage.h"
#include "app/startup/tests/shelltesting.h"
#include "mapdisplay/mapview.h"
#include "testdata/tempdir.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using shelltesting::ShellRun;

// A real mode behind a wrapper that counts the live modes of its kind and keeps the newest.
class CountedMode final : public MenuMode {
public:
    CountedMode(std::unique_ptr<MenuMode> real, int* live, ModeControllerBase** newest)
        : m_real(std::move(real))
        , m_live(live) {
        ++*m_live;
        *newest = dynamic_cast<ModeControllerBase*>(m_real.get());
    }
    ~CountedMode() override { --*m_live; }
    void Activate(int page, int flag) override { m_real->Activate(page, flag); }
    void Deactivate(void* next) override { m_real->Deactivate(next); }
    bool IsDeactivated() const override { return m_real->IsDeactivated(); }
    bool OnKey(UINT key) override { return m_real->OnKey(key); }
    void ShowHelp() override { m_real->ShowHelp(); }

private:
    std::unique_ptr<MenuMode> m_real;
    int* m_live;
};

struct ModeCounts {
    int navigation = 0;
    int tour = 0;
    int movingMap = 0;
    ModeControllerBase* newestMovingMap = nullptr;
    ModeControllerBase* newestOther = nullptr;
};

void Count(ShellFactories::ModeFactory& factory, int* live, ModeControllerBase** newest) {
    factory = [real = factory, live, newest](const ModeContext& context) {
        std::unique_ptr<MenuMode> mode = real(context);
        return std::unique_ptr<MenuMode>(mode ? new CountedMode(std::move(mode), live, newest)
                                              : nullptr);
    };
}

void PostToShell(UINT message, WPARAM wParam) {
    PostMessageW(ShellRun::MainWindow(), message, wParam, 0);
}

TEST(ModesInTheShell, SameKindGoesFirstTheMovingMapJoinsATourAndHotKeysReachTheMap) {
    shelltesting::RunIsolated([] {
        testdata::TempDeviceRoot root;
        ASSERT_TRUE(shelltesting::BuiltProgram().Pk("Zudav", "NoWarning", "1").WriteTo(root));
        InstallModes();
        ModeCounts counts;
        ShellFactories& factories = GetShellFactories();
        Count(factories.navigationMode, &counts.navigation, &counts.newestOther);
        Count(factories.tourMode, &counts.tour, &counts.newestOther);
        Count(factories.movingMapMode, &counts.movingMap, &counts.newestMovingMap);
        std::vector<std::string> seen;
        const auto note = [&seen, &counts](const char* when) {
            seen.push_back(std::string(when) + ": " + std::to_string(counts.navigation) + " " +
                           std::to_string(counts.tour) + " " + std::to_string(counts.movingMap));
        };
        std::unique_ptr<platform::MessageSpy> spy;
        ShellRun run(
            {[](ShellRun&) { PostToShell(WM_COMMAND, 420); },
             [](ShellRun&) { PostToShell(WM_COMMAND, 420); },
             [&](ShellRun&) { note("second 420"); },
             [](ShellRun&) { PostToShell(WM_COMMAND, 430); }, [&](ShellRun&) { note("430"); },
             [](ShellRun&) { PostToShell(WM_COMMAND, 1102); },
             [&](ShellRun&) {
                 note("1102");
                 NavShowPage* page = counts.newestMovingMap != nullptr
                                         ? counts.newestMovingMap->GetMovingMapPage()
                                         : nullptr;
                 ASSERT_NE(page, nullptr);
                 ASSERT_NE(page->GetMapView(), nullptr);
                 spy = std::make_unique<platform::MessageSpy>(page->GetMapView()->GetHwnd(),
                                                              std::vector<UINT>{WM_VSCROLL});
                 PostToShell(WM_HOTKEY, 1);
             },
             [&](ShellRun&) {
                 seen.push_back("scrolls: " + std::to_string(spy->Messages().size()));
                 spy.reset();
                 PostToShell(WM_COMMAND, 460);
             }});
        GetShellFactories() = ShellFactories{};
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_FALSE(run.ranOutOfScript);
        EXPECT_EQ(seen, (std::vector<std::string>{"second 420: 1 0 0", "430: 0 1 0", "1102: 0 1 1",
                                                  "scrolls: 1"}));
        EXPECT_EQ(counts.navigation + counts.tour + counts.movingMap, 0);
    });
}

} // namespace
