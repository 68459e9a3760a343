#include "ui/gpsstatemonitor.h"

#include "platform/kernel/sync.h"
#include "platform/kernel/time.h"
#include "platform/window/message.h"
#include "platform/window/testdriver.h"
#include "platform/window/window.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

namespace {

std::atomic<DWORD> g_paintingThread{0};
std::atomic<int> g_paintsElsewhere{0};

LRESULT IndicatorProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT && GetCurrentThreadId() != g_paintingThread.load())
        ++g_paintsElsewhere;
    return DefWindowProcW(window, message, wParam, lParam);
}

struct Subscriber {
    OwnerHandlerList handlers;
    std::mutex mutex;
    std::vector<int> classes;
    OwnerHandlerList& GetOwnerHandlerList() { return handlers; }
    void OnFixClass(const int* fixClass) {
        std::lock_guard lock(mutex);
        classes.push_back(*fixClass);
    }
};

MatchedPosition Position(float hdop, std::uint16_t satellites) {
    MatchedPosition position;
    position.fix.hdop = hdop;
    position.fix.satellites = satellites;
    return position;
}

// The receiver is lost: a reconnect thread hands a silent position every 3000 ms while the
// user-interface thread hands the server's positions in between. Every hand-over is a change.
TEST(GpsStateMonitorThreads, ReconnectPositionsFireOnceEachAndPaintOnlyOnTheWindowsThread) {
    constexpr int kRounds = 20;
    platform::VirtualClock clock;
    platform::ScopedClock installed(clock);
    platform::ScreenDriver driver(&clock);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = &IndicatorProcedure;
    windowClass.lpszClassName = u"ThreadedIndicator";
    (void)RegisterClassW(&windowClass);
    HWND indicator = CreateWindowExW(0, u"ThreadedIndicator", u"", WS_VISIBLE, 0, 0, 20, 20,
                                     nullptr, nullptr, nullptr, nullptr);
    g_paintingThread = GetCurrentThreadId();
    GpsStateMonitor monitor;
    monitor.SetIndicatorWindow(indicator);
    Subscriber subscriber;
    monitor.GetEvent().Connect(&subscriber, &Subscriber::OnFixClass);

    HANDLE handed = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE never = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    const DWORD start = GetTickCount();
    std::thread reconnect([&] {
        for (int round = 1; round <= kRounds; ++round) {
            // Due every 3000 ms of the virtual clock, which the other thread advances.
            (void)platform::WaitForSingleObjectUntilTick(never, start + 3000u * round);
            monitor.OnPosition(Position(GpsFix::kHdopNoData, 0));
            SetEvent(handed);
        }
    });
    for (int round = 1; round <= kRounds; ++round) {
        monitor.OnPosition(Position(1.0f, static_cast<std::uint16_t>(round)));
        clock.Advance(3000);
        ASSERT_EQ(WaitForSingleObject(handed, INFINITE), WAIT_OBJECT_0);
        driver.RunUntilIdle();
    }
    reconnect.join();
    CloseHandle(handed);
    CloseHandle(never);
    driver.RunUntilIdle();

    std::vector<int> expected;
    for (int round = 0; round < kRounds; ++round) {
        expected.push_back(2);
        expected.push_back(0);
    }
    EXPECT_EQ(subscriber.classes, expected);
    EXPECT_EQ(g_paintsElsewhere.load(), 0);
    monitor.GetEvent().Disconnect(&subscriber);
    DestroyWindow(indicator);
}

} // namespace
