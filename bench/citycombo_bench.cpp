// Completion in the destination input's city box among 20,000 cities of a written map set: for
// each letter of a six-letter name typed, the box's text to eight proposals in its list. The
// baseline in the same run asks the engine for the same prefix and reads eight cities alone.
// "vs_baseline" is how many times longer the completion takes; "ms_per_key" its time per letter.
#include "app/destinations/addresscombos.h"
#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "testdata/datafolderwriter.h"
#include "testdata/tempdir.h"
#include "ui/customcombobox.h"

#include "platform/window/message.h"
#include "platform/window/window.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t kComboCities = 20000;
constexpr char16_t kTypedName[] = u"Kalbes";
constexpr std::size_t kTypedLength = 6;

double Seconds(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// 20,000 cities of two or three syllables (many beginning with "K"), "Kalbes" among them, each
// with its point element in one map set.
struct ComboWorld {
    ComboWorld() {
        static const char* const kSyllables[] = {"ka",  "kal", "lbe", "bes", "berg", "dorf",
                                                 "hau", "sen", "tal", "wie", "ro",   "heim"};
        std::mt19937 random(11);
        std::uniform_int_distribution<std::size_t> pick(0, std::size(kSyllables) - 1);
        std::uniform_int_distribution<int> count(2, 3);
        const MapPoint origin = DegreesToMapPoint(GeoPoint{8.40f, 49.00f});
        testdata::DataFolderDatabase database;
        database.folder = u"\\Data\\Cities";
        database.world = testdata::RoadWorld::Grid(2, 2, 400, origin);
        testdata::WorldMapSetOptions& map = database.mapSet;
        for (std::uint32_t i = 0; i < kComboCities; ++i) {
            std::string name = i == kComboCities / 2 ? "kalbes" : "";
            for (int part = count(random); name.empty() && part > 0; --part) {
                name += kSyllables[pick(random)];
            }
            name[0] = static_cast<char>(name[0] - 'a' + 'A');
            const MapPoint at{origin.x + static_cast<std::int32_t>(i % 200) * 10,
                              origin.y + static_cast<std::int32_t>(i / 200) * 10};
            map.points.push_back({at, maprecord::kCityType, std::nullopt, name});
            map.cities.push_back({name, i, std::nullopt, 1});
        }
        map.countryNames = {{1, 0, "Deutschland"}};
        testdata::DataFolderWriter writer(u"\\Data");
        writer.AddDatabase(std::move(database)).Setting("Properties", "Language", "0");
        if (!writer.WriteTo(root, u"\\Windows\\Quarn.ini").has_value()) {
            return;
        }
        engine = RetrievalEngineImpl::CreateEngine(BlockCache::Create(1024));
        server = CreateIOnboardServer(RetrievalEngine::RetrievalEnginePtr(engine));
    }

    testdata::TempDeviceRoot root;
    six::RefCntPtr<RetrievalEngineImpl> engine;
    Onboard::OnboardServerPtr server;
};

LRESULT BenchPageProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
}

void BM_CityCompletionAgainstSearchAndEightReads(benchmark::State& state) {
    ComboWorld world;
    if (!world.server || !world.engine || !world.engine->IsOpen()) {
        state.SkipWithError("the map set cannot be written or opened");
        return;
    }
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = &BenchPageProcedure;
    windowClass.lpszClassName = u"CityComboBench";
    (void)RegisterClassW(&windowClass);
    HWND page = CreateWindowExW(0, u"CityComboBench", u"", WS_POPUP | WS_VISIBLE, 0, 0, 240, 320,
                                nullptr, nullptr, nullptr, nullptr);
    CustomComboBox combo(page, 100, 0x78571E, 0);
    CityComboBox cities(combo.GetWindow(), world.server, nullptr);
    const RetrievalEngine::RetrievalEnginePtr engine = world.server->GetRetrievalEngine();

    std::size_t shown = 0;
    std::size_t read = 0;
    double seconds = 0.0;
    double baselineSeconds = 0.0;
    benchmark::IterationCount rounds = 0;
    for (auto _ : state) {
        ++rounds;
        for (std::size_t length = 1; length <= kTypedLength; ++length) {
            const std::u16string prefix(kTypedName, length);
            auto start = std::chrono::steady_clock::now();
            SetWindowTextW(combo.GetWindow(), prefix.c_str());
            cities.Complete();
            shown += static_cast<std::size_t>(SendMessageW(combo.GetWindow(), CB_GETCOUNT, 0, 0));
            seconds += Seconds(start);

            start = std::chrono::steady_clock::now();
            AddressCursorPtr cursor = engine->FindCities(prefix, 0);
            for (int k = 0; k < kProposalsPerStep && cursor && cursor->IsValid(); ++k) {
                benchmark::DoNotOptimize(cursor->GetCurrent());
                ++read;
                if (!cursor->Next()) {
                    break;
                }
            }
            baselineSeconds += Seconds(start);
        }
    }
    if (shown != read) {
        state.SkipWithError("the box does not show what the search finds");
    }
    DestroyWindow(page);
    const double keys = static_cast<double>(rounds) * static_cast<double>(kTypedLength);
    state.counters["proposals_per_key"] = keys > 0.0 ? static_cast<double>(shown) / keys : 0.0;
    state.counters["ms_per_key"] = keys > 0.0 ? seconds * 1000.0 / keys : 0.0;
    state.counters["baseline_ms_per_key"] = keys > 0.0 ? baselineSeconds * 1000.0 / keys : 0.0;
    state.counters["vs_baseline"] = baselineSeconds > 0.0 ? seconds / baselineSeconds : 0.0;
}

} // namespace

BENCHMARK(BM_CityCompletionAgainstSearchAndEightReads)->Iterations(50)->UseRealTime();
BENCHMARK_MAIN();
