// Messages posted from one thread and dispatched on another: the window system's queue
// (PostMessageW, GetMessageW, DispatchMessageW to a window procedure) against a std::deque
// guarded by a mutex and a condition variable that moves the same messages to the same kind of
// procedure, in the same run. "vs_baseline" is how many times longer the window system takes.
#include "platform/window/message.h"
#include "platform/window/window.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace {

constexpr int kBatch = 1000;

std::atomic<long> g_dispatched{0};

LRESULT CountingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_USER) {
        g_dispatched.fetch_add(1, std::memory_order_relaxed);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void WaitForCount(long count) {
    while (g_dispatched.load(std::memory_order_relaxed) < count) {
        std::this_thread::yield();
    }
}

double Seconds(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The window system: the consumer thread owns the window and runs a message loop.
double WindowSystemSeconds(benchmark::IterationCount batches) {
    std::atomic<HWND> window{nullptr};
    std::thread consumer([&] {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = CountingProcedure;
        windowClass.lpszClassName = u"Counting";
        (void)RegisterClassW(&windowClass);
        window =
            CreateWindowExW(0, u"Counting", u"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
        MSG msg{};
        while (GetMessageW(&msg, nullptr, 0, 0) > 0)
            DispatchMessageW(&msg);
        DestroyWindow(window);
    });
    while (window.load() == nullptr)
        std::this_thread::yield();
    g_dispatched = 0;
    const auto start = std::chrono::steady_clock::now();
    for (benchmark::IterationCount b = 0; b < batches; ++b) {
        for (int i = 0; i < kBatch; ++i)
            PostMessageW(window, WM_USER, 0, i);
        WaitForCount(static_cast<long>((b + 1) * kBatch));
    }
    const double seconds = Seconds(start);
    PostMessageW(window, WM_QUIT, 0, 0);
    consumer.join();
    return seconds;
}

// The baseline: the same messages through a locked deque to the same procedure.
double DequeSeconds(benchmark::IterationCount batches) {
    std::mutex mutex;
    std::condition_variable ready;
    std::deque<MSG> queue;
    std::thread consumer([&] {
        for (;;) {
            std::unique_lock lock(mutex);
            ready.wait(lock, [&] { return !queue.empty(); });
            const MSG msg = queue.front();
            queue.pop_front();
            lock.unlock();
            if (msg.message == WM_QUIT)
                return;
            CountingProcedure(msg.hwnd, msg.message, msg.wParam, msg.lParam);
        }
    });
    g_dispatched = 0;
    const auto start = std::chrono::steady_clock::now();
    for (benchmark::IterationCount b = 0; b < batches; ++b) {
        for (int i = 0; i < kBatch; ++i) {
            {
                std::lock_guard lock(mutex);
                queue.push_back(MSG{nullptr, WM_USER, 0, i, 0, {}});
            }
            ready.notify_one();
        }
        WaitForCount(static_cast<long>((b + 1) * kBatch));
    }
    const double seconds = Seconds(start);
    {
        std::lock_guard lock(mutex);
        queue.push_back(MSG{nullptr, WM_QUIT, 0, 0, 0, {}});
    }
    ready.notify_one();
    consumer.join();
    return seconds;
}

void BM_PostedAcrossThreadsAgainstLockedDeque(benchmark::State& state) {
    benchmark::IterationCount batches = 0;
    for (auto _ : state)
        ++batches; // the batches are timed below, as one run each
    const double seconds = WindowSystemSeconds(batches);
    const double baselineSeconds = DequeSeconds(batches);
    const double messages = static_cast<double>(batches) * kBatch;
    state.counters["messages_per_s"] = seconds > 0.0 ? messages / seconds : 0.0;
    state.counters["baseline_per_s"] = baselineSeconds > 0.0 ? messages / baselineSeconds : 0.0;
    state.counters["vs_baseline"] = baselineSeconds > 0.0 ? seconds / baselineSeconds : 0.0;
}

} // namespace

BENCHMARK(BM_PostedAcrossThreadsAgainstLockedDeque)->Iterations(500)->UseRealTime();
BENCHMARK_MAIN();
