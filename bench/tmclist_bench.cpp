// Formatting and listing 1,000 TMC messages: each message formatted and added to the TMC
// monitor, which hands its lines to the message dialog, then the dialog's list refreshed,
// grouped by road. The baseline in the same run adds the same texts, unformatted, to a list of
// the same kind. "vs_baseline" is how many times longer the messages take.
#include "app/tmc/statustmcinfo.h"
#include "ui/customlistbox.h"
#include "ui/tmcmonitor.h"

#include "platform/gdi/text.h"
#include "platform/window/message.h"
#include "platform/window/window.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <vector>

namespace {

constexpr int kMessages = 1000;

double ElapsedSeconds(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::u16string Wide(const std::string& text) {
    return {text.begin(), text.end()};
}

std::vector<TmcListEntry> Messages() {
    const char* const roads[] = {"A", "B", "L"};
    const char* const events[] = {"Stau, 2 km", "Unfall; Fahrstreifen gesperrt",
                                  "Baustelle: Gegenverkehr ->Vaduz", "Glatteis <-> Nebel"};
    std::vector<TmcListEntry> entries;
    for (int i = 0; i < kMessages; ++i) {
        TmcListEntry entry;
        entry.id = static_cast<std::uint32_t>(i + 1);
        entry.location =
            Wide("Liechtenstein, " + std::string(roads[i % 3]) + " " +
                 std::to_string(1 + (i * 37) % 90) + " Vaduz-Nord - Schaan " + std::to_string(i));
        entry.event = Wide(events[i % 4]);
        entry.isLocated = i % 5 != 0;
        entries.push_back(entry);
    }
    return entries;
}

void BM_TmcMessagesListedAgainstPlainTexts(benchmark::State& state) {
    platform::SetFontFile("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
    const std::vector<TmcListEntry> entries = Messages();
    std::vector<std::u16string> plain;
    for (const TmcListEntry& entry : entries)
        plain.push_back(entry.location + u", " + entry.event);

    TmcMonitor& monitor = TmcMonitor::Instance();
    StatusTmcInfo::CreateDialog();
    monitor.GetDialog()->Show();
    HWND dialog = monitor.GetDialog()->GetHwnd();
    HWND page = CreateWindowExW(0, u"Static", u"", WS_POPUP | WS_VISIBLE, 0, 0, 240, 320, nullptr,
                                nullptr, nullptr, nullptr);
    CustomListBox baseline(page, 1, StatusTmcInfo::kListColour, 0);
    HWND baselineList = baseline.GetWindow();

    benchmark::IterationCount rounds = 0;
    double seconds = 0.0;
    double baselineSeconds = 0.0;
    for (auto _ : state) {
        ++rounds;
        for (auto id = static_cast<std::uint32_t>(kMessages); id > 0; --id)
            monitor.RemoveEntry(id);

        auto start = std::chrono::steady_clock::now();
        for (const TmcListEntry& entry : entries)
            monitor.AddEntry(entry);
        SendMessageW(dialog, WM_COMMAND, StatusTmcInfo::kRefreshId, 0);
        seconds += ElapsedSeconds(start);

        start = std::chrono::steady_clock::now();
        SendMessageW(baselineList, LB_RESETCONTENT, 0, 0);
        for (const std::u16string& text : plain)
            SendMessageW(baselineList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
        benchmark::DoNotOptimize(SendMessageW(baselineList, LB_GETCOUNT, 0, 0));
        baselineSeconds += ElapsedSeconds(start);
    }
    if (static_cast<StatusTmcInfo*>(monitor.GetDialog())->GetListBox()->GetCount() != kMessages)
        state.SkipWithError("the dialog does not list every message");

    StatusTmcInfo::CloseDialog();
    DestroyWindow(page);
    const double count = static_cast<double>(rounds);
    state.counters["rounds_per_s"] = seconds > 0.0 ? count / seconds : 0.0;
    state.counters["baseline_per_s"] = baselineSeconds > 0.0 ? count / baselineSeconds : 0.0;
    state.counters["vs_baseline"] = baselineSeconds > 0.0 ? seconds / baselineSeconds : 0.0;
}

} // namespace

BENCHMARK(BM_TmcMessagesListedAgainstPlainTexts)->Iterations(50)->UseRealTime();
BENCHMARK_MAIN();
