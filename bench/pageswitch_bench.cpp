// Page switches of the navigation mode over the converted extract and the real server, headless
// on a 480 x 640 screen: a page command until its target page is painted, round the main page,
// the options page (2), the main page (0), the destination map page centred on "Vaduz,
// Äulestrasse" (7) and the main page again (0). The baseline in the same run shows and paints a
// bare framework window of the page's size as often. "ms_per_switch" is a switch's time,
// "map_ms" the switch to the map page's, and "vs_baseline" how many times longer a switch takes
// than the bare window.
#include "app/destinations/addresspage.h"
#include "app/destinations/destinationinputpage.h"
#include "app/modes/modes.h"
#include "app/pages/navshowpage.h"
#include "app/settings/optionspage.h"
#include "bench/benchdevice.h"
#include "mapdisplay/mapenginefacade.h"
#include "testdata/tempdir.h"
#include "tools/osm/osmconvert.h"
#include "utilities/usefulcode/apppaths.h"
#include "utilities/usefulcode/iniprofile.h"
#include "utilities/usefulcode/memoryarena.h"
#include "utilities/usefulcode/windowhandle.h"

#include "platform/files/modules.h"
#include "platform/gdi/text.h"
#include "platform/shell/modulepath.h"
#include "platform/shell/resources.h"
#include "platform/window/message.h"
#include "platform/window/testdriver.h"
#include "platform/window/window.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <utility>

namespace {

constexpr int kScreenWidth = 480;
constexpr int kScreenHeight = 640;

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

HWND PageWindow(PageBase* page) {
    return page != nullptr ? page->GetPageHandle().window : nullptr;
}

void BM_PageSwitchAgainstABareWindow(benchmark::State& state) {
    testdata::TempDeviceRoot root;
    const auto bundle =
        testdata::ReadHostFile(std::filesystem::path(NAV_LANGUAGE_DIR) / "LangGerCE.dll");
    const auto layout = testdata::ReadHostFile(NAV_SCREEN_DESC_FILE);
    if (!benchdevice::ConvertExtract(root, "switch") || !bundle || !layout ||
        !root.WriteFile(u"\\Windows\\LangGerCE.dll", *bundle)) {
        state.SkipWithError("the device cannot be set up");
        return;
    }
    (void)MemoryArena::Shared().Reserve(8 << 20);
    platform::SetExecutablePath(u"\\Nav\\nav.exe");
    platform::SetScreenSize(kScreenWidth, kScreenHeight);
    platform::SetFontFile("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
    HMODULE module = LoadLibraryW(u"LangGerCE.dll");
    platform::SetResourceInstance(module);
    (void)root.WriteFile(AppPaths::GetScreenDescFilePath(), *layout);
    // As the application does at start: the pages read their layout from memory, not the file.
    (void)IniProfile::Preload(AppPaths::GetScreenDescFilePath().c_str());
    (void)root.WriteFile(AppPaths::GetSettingsFilePath(), "[Preferences]\r\n");
    const auto facade = MapEngineFacade::Create(2048);
    if (!facade || !facade->LoadLevelFile(u"\\switch" + std::u16string(osm2nav::kLevelFile))) {
        state.SkipWithError("no map display facade");
        return;
    }
    Onboard::OnboardServerPtr server =
        CreateIOnboardServer(RetrievalEngine::RetrievalEnginePtr(facade));
    platform::ScreenDriver driver;
    {
        MatchedPosition position;
        ModeContext context;
        context.server = server;
        context.lastPosition = &position;
        context.facade = facade;
        NavigationMode mode(context);
        mode.Activate(static_cast<int>(NavigationMode::kPageId), 0);
        driver.RunUntilIdle();
        // The destination the map page centres on.
        DestinationDescription& destination = mode.GetDescription();
        AddressCursorPtr cities = facade->FindCities(u"Vaduz", 0);
        destination.city = cities && cities->IsValid() ? cities->GetCurrent() : nullptr;
        GeoMoleculeCursorPtr streets =
            destination.city
                ? facade->FindInArea(static_cast<std::uint32_t>(destination.city->GetAreaId()),
                                     u"\u00c4ulestrasse")
                : nullptr;
        destination.street = streets && streets->IsValid() ? streets->GetCurrent() : nullptr;
        if (!destination.street) {
            state.SkipWithError("no street to show");
            return;
        }
        HWND main = PageWindow(mode.GetMainPage());
        const std::pair<int, PageBase*> round[] = {{2, mode.GetOptionsPage()},
                                                   {0, mode.GetMainPage()},
                                                   {7, mode.GetDestinationMapPage()},
                                                   {0, mode.GetMainPage()}};
        RECT size{};
        GetWindowRect(main, &size);
        WindowHandle bare;
        CreateWindowExW(0, WindowClassRegistry::ClassName(), u"", WS_POPUP, size.left, size.top,
                        size.right - size.left, size.bottom - size.top, nullptr, nullptr,
                        platform::ResourceInstance(), &bare);
        driver.RunUntilIdle();

        double seconds = 0.0;
        double mapSeconds = 0.0; // the switches to the map page alone
        double baselineSeconds = 0.0;
        std::int64_t switches = 0;
        bool allShown = true;
        for (auto _ : state) {
            HWND caller = main;
            auto start = std::chrono::steady_clock::now();
            for (const auto& [code, page] : round) {
                const auto switchStart = std::chrono::steady_clock::now();
                mode.OnPageCommand(code, caller);
                caller = PageWindow(page);
                UpdateWindow(caller);
                driver.RunUntilIdle();
                allShown = allShown && IsWindowVisible(caller);
                if (code == 7) {
                    mapSeconds += SecondsSince(switchStart);
                }
            }
            seconds += SecondsSince(start);
            switches += static_cast<std::int64_t>(std::size(round));

            for (std::size_t i = 0; i < std::size(round); ++i) {
                start = std::chrono::steady_clock::now();
                ShowWindow(bare.window, SW_SHOW);
                UpdateWindow(bare.window);
                driver.RunUntilIdle();
                baselineSeconds += SecondsSince(start);
                // Hiding the bare window uncovers the page under it, whose repaint is no part of
                // showing and painting the bare window.
                ShowWindow(bare.window, SW_HIDE);
                driver.RunUntilIdle();
            }
        }
        if (!allShown) {
            state.SkipWithError("a page command did not show its page");
        }
        const double count = static_cast<double>(switches);
        state.counters["ms_per_switch"] = count > 0 ? 1000.0 * seconds / count : 0.0;
        state.counters["map_ms"] =
            state.iterations() > 0 ? 1000.0 * mapSeconds / static_cast<double>(state.iterations())
                                   : 0.0;
        state.counters["baseline_ms"] = count > 0 ? 1000.0 * baselineSeconds / count : 0.0;
        state.counters["vs_baseline"] = baselineSeconds > 0.0 ? seconds / baselineSeconds : 0.0;
        bare.Destroy();
    }
    server.Release();
    platform::SetResourceInstance(nullptr);
    (void)FreeLibrary(module);
    platform::SetFontFile({});
    platform::SetScreenSize(240, 320);
    platform::SetExecutablePath(u"");
}

} // namespace

BENCHMARK(BM_PageSwitchAgainstABareWindow)->Iterations(50)->UseRealTime();
BENCHMARK_MAIN();
