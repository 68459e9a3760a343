// Filling the stored destination list page with 30 entries of "Recent" over the converted
// extract and the real server: the list file read, each record parsed and given its country
// line from the elements near its point, the entries listed. The baseline in the same run walks
// the same 30 area queries alone. "vs_baseline" is how many times longer the filling takes.
#include "app/destinations/addresspage.h"
#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "bench/benchdevice.h"
#include "testdata/destinationwriter.h"
#include "testdata/tempdir.h"
#include "ui/customlistbox.h"
#include "utilities/usefulcode/apppaths.h"
#include "utilities/usefulcode/memoryarena.h"

#include "platform/files/modules.h"
#include "platform/shell/modulepath.h"
#include "platform/shell/resources.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kEntries = 30;
constexpr float kNearDegrees = 0.0005f;

double ElapsedSeconds(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_AddressPageFilledAgainstAreaWalks(benchmark::State& state) {
    testdata::TempDeviceRoot root;
    const auto bundle =
        testdata::ReadHostFile(std::filesystem::path(NAV_LANGUAGE_DIR) / "LangEngCE.dll");
    const auto layout = testdata::ReadHostFile(NAV_SCREEN_DESC_FILE);
    if (!benchdevice::ConvertExtract(root, "dest") || !bundle || !layout ||
        !root.WriteFile(u"\\Windows\\LangEngCE.dll", *bundle)) {
        state.SkipWithError("the device cannot be set up");
        return;
    }
    (void)MemoryArena::Shared().Reserve(4 << 20);
    platform::SetExecutablePath(u"\\Nav\\nav.exe");
    HMODULE module = LoadLibraryW(u"LangEngCE.dll");
    platform::SetResourceInstance(module);
    (void)root.WriteFile(AppPaths::GetScreenDescFilePath(), *layout);
    auto engine = RetrievalEngineImpl::CreateEngine(BlockCache::Create(2048));
    Onboard::OnboardServerPtr server =
        CreateIOnboardServer(RetrievalEngine::RetrievalEnginePtr(engine));
    const auto places = benchdevice::StreetPlaces(*engine, kEntries / 5);
    std::vector<std::u16string> records;
    for (std::size_t i = 0; i < places.size(); ++i) {
        records.push_back(
            testdata::UddRecordText({places[i].point.x, places[i].point.y, u"Vaduz",
                                     places[i].street, u"", u"", u"", u"", i % 3 == 2}));
    }
    if (records.size() != kEntries ||
        !root.WriteFile(AppPaths::GetSettingsFilePath(),
                        testdata::WriteListSection("Recent", records))) {
        state.SkipWithError("no 30 street points");
        return;
    }
    {
        AddressPage page(server, u"Recent", 103, 420, nullptr);
        ShowPageWindow(page.GetPageHandle(), true);

        benchmark::IterationCount rounds = 0;
        double seconds = 0.0;
        double baselineSeconds = 0.0;
        std::uint64_t walked = 0;
        for (auto _ : state) {
            ++rounds;
            auto start = std::chrono::steady_clock::now();
            page.FillList();
            seconds += ElapsedSeconds(start);

            start = std::chrono::steady_clock::now();
            for (const auto& [point, city, street] : places) {
                const GeoRect rect(point.x - kNearDegrees, point.y - kNearDegrees,
                                   point.x + kNearDegrees, point.y + kNearDegrees);
                for (auto cursor = engine->QueryArea(rect, 0xFFFFFFFF, 0xFFFFFFFF);
                     cursor && cursor->IsValid(); cursor->Next()) {
                    walked += cursor->GetTypeCode();
                }
            }
            benchmark::DoNotOptimize(walked);
            baselineSeconds += ElapsedSeconds(start);
        }
        if (page.GetListBox()->GetCount() != static_cast<int>(kEntries)) {
            state.SkipWithError("the page does not list every entry");
        }
        benchdevice::SetRatioCounters(state, "rounds_per_s", rounds, seconds, baselineSeconds);
    }
    server.Release();
    engine->Close();
    platform::SetResourceInstance(nullptr);
    (void)FreeLibrary(module);
    platform::SetExecutablePath(u"");
}

} // namespace

BENCHMARK(BM_AddressPageFilledAgainstAreaWalks)->Iterations(300)->UseRealTime();
BENCHMARK_MAIN();
