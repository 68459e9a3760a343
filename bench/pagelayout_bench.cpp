// A page's size change: WM_SIZE to a page of 40 controls and labels (every rectangle rescaled
// and its window moved, the button, control and title fonts re-created and sent with
// WM_SETFONT) against moving the same 40 windows to the same rectangles with MoveWindow, in the
// same run. "vs_baseline" is how many times longer the page's size change takes.
#include "testdata/resourcebundlewriter.h"
#include "testdata/screendescwriter.h"
#include "testdata/tempdir.h"
#include "ui/pagebase.h"
#include "utilities/usefulcode/apppaths.h"
#include "utilities/usefulcode/windowhandle.h"

#include "platform/files/modules.h"
#include "platform/shell/resources.h"
#include "platform/window/message.h"
#include "platform/window/window.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <vector>

namespace {

constexpr int kButtons = 30;
constexpr int kLabels = 10;
constexpr UINT kFirstId = 3000;

class BenchPage : public PageBase {
public:
    BenchPage()
        : PageBase(u"BenchPage") {}
    UINT GetTitleId() override { return kFirstId; }
};

std::u16string EntryName(int index) {
    const std::string digits = std::to_string(index);
    return u"E" + std::u16string(digits.begin(), digits.end());
}

void MoveAll(const std::vector<HWND>& windows, const std::vector<RECT>& rects) {
    for (std::size_t i = 0; i < windows.size(); ++i) {
        const RECT& r = rects[i];
        MoveWindow(windows[i], r.left, r.top, r.right - r.left, r.bottom - r.top, FALSE);
    }
}

double Seconds(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_PageSizeChangeAgainstMovingItsWindows(benchmark::State& state) {
    testdata::TempDeviceRoot root;
    platform::ResourceBundle bundle;
    for (int i = 0; i < kButtons + kLabels; ++i)
        bundle.strings[kFirstId + i] = u"Text " + EntryName(i);
    if (!root.WriteFile(u"\\Windows\\LangEngCE.dll", testdata::WriteResourceBundle(bundle))) {
        state.SkipWithError("no language library");
        return;
    }
    HMODULE module = LoadLibraryW(u"LangEngCE.dll");
    platform::SetResourceInstance(module);
    testdata::ScreenDescWriter description;
    description.Section(u"BenchPage").Size(240, 320).Rect(u"Status", 10, 5, 230, 30);
    for (int i = 0; i < kButtons + kLabels; ++i) {
        const int column = i % 2;
        const int row = i / 2;
        description.Item(EntryName(i), 10 + column * 115, 35 + row * 14, 120 + column * 115,
                         47 + row * 14, 2);
    }
    (void)root.WriteFile(AppPaths::GetScreenDescFilePath(), description.Build());

    std::vector<HWND> windows;
    std::vector<RECT> large;
    std::vector<RECT> small;
    {
        BenchPage page;
        CreateWindowExW(0, WindowClassRegistry::ClassName(), u"", WS_POPUP | WS_VISIBLE, 0, 0, 480,
                        640, nullptr, nullptr, module, &page.GetPageHandle());
        for (int i = 0; i < kButtons; ++i) {
            windows.push_back(
                page.CreateControl(EntryName(i).c_str(), kFirstId + i, true, false, 0, 0));
        }
        for (int i = kButtons; i < kButtons + kLabels; ++i) {
            windows.push_back(
                page.CreateLabel(EntryName(i).c_str(), kFirstId + i, 0xFFFFFF, 0x000000));
        }
        SendMessageW(page.GetHwnd(), WM_SIZE, 0, MAKELPARAM(480, 640));
        for (HWND window : windows)
            large.push_back(page.GetChildRect(window));
        SendMessageW(page.GetHwnd(), WM_SIZE, 0, MAKELPARAM(240, 320));
        for (HWND window : windows)
            small.push_back(page.GetChildRect(window));
        // The page's windows are at the small rectangles: the first change makes them large.

        benchmark::IterationCount changes = 0;
        for (auto _ : state)
            ++changes; // the changes are timed below, as one run each
        // Interleaved, so that both see the same load of the machine.
        double seconds = 0.0;
        double baselineSeconds = 0.0;
        for (benchmark::IterationCount n = 0; n < changes; ++n) {
            const bool isLarge = n % 2 == 0;
            const auto pageStart = std::chrono::steady_clock::now();
            SendMessageW(page.GetHwnd(), WM_SIZE, 0,
                         isLarge ? MAKELPARAM(480, 640) : MAKELPARAM(240, 320));
            seconds += Seconds(pageStart);
            // Back where the page started, untimed, then the same moves by MoveWindow.
            MoveAll(windows, isLarge ? small : large);
            const auto baselineStart = std::chrono::steady_clock::now();
            MoveAll(windows, isLarge ? large : small);
            baselineSeconds += Seconds(baselineStart);
        }
        const double count = static_cast<double>(changes);
        state.counters["changes_per_s"] = seconds > 0.0 ? count / seconds : 0.0;
        state.counters["baseline_per_s"] = baselineSeconds > 0.0 ? count / baselineSeconds : 0.0;
        state.counters["vs_baseline"] = baselineSeconds > 0.0 ? seconds / baselineSeconds : 0.0;
    }
    platform::SetResourceInstance(nullptr);
    FreeLibrary(module);
}

} // namespace

BENCHMARK(BM_PageSizeChangeAgainstMovingItsWindows)->Iterations(20000)->UseRealTime();
BENCHMARK_MAIN();
