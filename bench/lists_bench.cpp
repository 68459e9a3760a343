// Scrolling a 1,000-item CustomListBox one item per step, each step redrawn (off-screen picture,
// scroll bar, row lines and texts, copy to the window), against the bare work of the same rows
// in the same run: FillRect of the list's area and DrawTextW of each visible row into one memory
// DC. "vs_baseline" is how many times longer the list takes.
#include "ui/customlistbox.h"

#include "platform/gdi/text.h"
#include "platform/window/message.h"
#include "platform/window/paint.h"
#include "platform/window/window.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <vector>

namespace {

constexpr int kItems = 1000;
constexpr int kWidth = 200;
constexpr int kHeight = 300;
constexpr int kItemHeight = 20;

double Seconds(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::vector<std::u16string> Items() {
    std::vector<std::u16string> items;
    for (int i = 0; i < kItems; ++i) {
        const std::string text = "Destination " + std::to_string(i);
        items.emplace_back(text.begin(), text.end());
    }
    return items;
}

void BM_ListScrollAgainstPlainRows(benchmark::State& state) {
    platform::SetFontFile("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
    HWND page = CreateWindowExW(0, u"Static", u"", WS_POPUP | WS_VISIBLE, 0, 0, 240, 320, nullptr,
                                nullptr, nullptr, nullptr);
    const std::vector<std::u16string> items = Items();
    CustomListBox list(page, 1, 0x78571E, 0, items);
    MoveWindow(list.GetWindow(), 20, 10, kWidth, kHeight, TRUE);
    list.SetItemHeight(kItemHeight);
    LOGFONTW description{};
    description.lfHeight = -12;
    HFONT font = CreateFontIndirectW(&description);
    SendMessageW(list.GetWindow(), WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    const int visible = list.GetVisibleRows();
    const int last = kItems - visible;

    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, kWidth, kHeight);
    HGDIOBJ oldBitmap = SelectObject(memory, bitmap);
    HGDIOBJ oldFont = SelectObject(memory, font);
    HBRUSH background = CreateSolidBrush(0x78571E);
    SetTextColor(memory, 0xFFFFFF);
    SetBkMode(memory, TRANSPARENT);
    const RECT all{0, 0, kWidth, kHeight};
    int first = 0;

    // The two alternate step by step, so that a busy machine slows both alike.
    benchmark::IterationCount steps = 0;
    double seconds = 0.0;
    double baselineSeconds = 0.0;
    for (auto _ : state) {
        ++steps;
        auto start = std::chrono::steady_clock::now();
        if (!list.ScrollDown(1))
            list.SetFirstVisible(0);
        list.Redraw();
        seconds += Seconds(start);

        start = std::chrono::steady_clock::now();
        first = first < last ? first + 1 : 0;
        FillRect(memory, &all, background);
        for (int row = 0; row < visible; ++row) {
            RECT box{4, 1 + row * (kItemHeight + 1), kWidth - 16,
                     1 + row * (kItemHeight + 1) + kItemHeight};
            const std::u16string& text = items[static_cast<std::size_t>(first + row)];
            DrawTextW(memory, text.c_str(), -1, &box, 0);
        }
        benchmark::DoNotOptimize(GetPixel(memory, 10, 10));
        baselineSeconds += Seconds(start);
    }

    SelectObject(memory, oldFont);
    SelectObject(memory, oldBitmap);
    DeleteObject(background);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    DestroyWindow(page);
    DeleteObject(font);
    const double count = static_cast<double>(steps);
    state.counters["steps_per_s"] = seconds > 0.0 ? count / seconds : 0.0;
    state.counters["baseline_per_s"] = baselineSeconds > 0.0 ? count / baselineSeconds : 0.0;
    state.counters["vs_baseline"] = baselineSeconds > 0.0 ? seconds / baselineSeconds : 0.0;
}

} // namespace

BENCHMARK(BM_ListScrollAgainstPlainRows)->Iterations(10000)->UseRealTime();
BENCHMARK_MAIN();
