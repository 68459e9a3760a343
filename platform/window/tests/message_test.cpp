#include "platform/kernel/handles.h"
#include "platform/kernel/sync.h"
#include "platform/kernel/time.h"
#include "platform/window/input.h"
#include "platform/window/message.h"
#include "platform/window/paint.h"
#include "platform/window/testdriver.h"
#include "platform/window/tests/windowtesting.h"
#include "platform/window/window.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

using windowtesting::ClearLog;
using windowtesting::Numbers;
using windowtesting::RegisterRecordingClass;

namespace {

HWND MakeMessageTop(LPCWSTR className, DWORD style = WS_VISIBLE) {
    return CreateWindowExW(0, className, u"", style, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                           CW_USEDEFAULT, nullptr, nullptr, nullptr, nullptr);
}

TEST(MessageQueue, PostedMessagesFromEightThreadsArriveComplete) {
    RegisterRecordingClass(u"Rec");
    HWND window = MakeMessageTop(u"Rec", 0);
    constexpr int kThreads = 8;
    constexpr int kEach = 2000;
    std::vector<std::thread> threads;
    threads.reserve(kThreads);
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([=] {
            for (int i = 0; i < kEach; ++i) {
                ASSERT_TRUE(PostMessageW(window, WM_USER, static_cast<WPARAM>(t), i));
            }
        });
    }
    std::vector<int> next(kThreads, 0);
    int received = 0;
    MSG msg{};
    while (received < kThreads * kEach && GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ASSERT_EQ(msg.message, WM_USER);
        // Each thread's messages keep their order.
        ASSERT_EQ(msg.lParam, next[msg.wParam]++);
        ++received;
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(received, kThreads * kEach);
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    DestroyWindow(window);
}

TEST(MessageQueue, ThreadMessagesReachOnlyThreadsWithAQueue) {
    MSG msg{};
    (void)PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE); // makes this thread's queue
    const DWORD self = GetCurrentThreadId();
    DWORD other = 0;
    std::thread([&] { other = GetCurrentThreadId(); }).join();
    const struct {
        DWORD threadId;
        BOOL result;
    } cases[] = {{self, TRUE}, {other, FALSE}};
    for (const auto& c : cases) {
        std::thread([&] {
            EXPECT_EQ(PostThreadMessageW(c.threadId, WM_USER, 1, 2), c.result);
        }).join();
    }
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, nullptr);
    EXPECT_EQ(msg.message, WM_USER);
    EXPECT_EQ(msg.lParam, 2);
    SetLastError(0);
    EXPECT_FALSE(PostThreadMessageW(other, WM_USER, 0, 0));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_THREAD_ID);
}

TEST(MessageQueue, PaintAndTimerComeAfterPostedMessagesAndQuitEndsTheLoop) {
    platform::VirtualClock clock;
    platform::ScopedClock installed(clock);
    RegisterRecordingClass(u"Rec");
    HWND window = MakeMessageTop(u"Rec", WS_VISIBLE);
    platform::ScreenDriver(&clock).RunUntilIdle();
    SetTimer(window, 5, 100, nullptr);
    clock.Advance(100);
    InvalidateRect(window, nullptr, FALSE);
    PostMessageW(window, WM_USER, 0, 0);
    PostMessageW(window, WM_PAINT, 0, 0); // a posted paint is an ordinary message
    PostMessageW(window, WM_USER + 1, 0, 0);
    std::vector<UINT> order;
    MSG msg{};
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE) && order.size() < 8) {
        order.push_back(msg.message);
        if (msg.message == WM_TIMER)
            KillTimer(window, 5);
        // The posted paint leaves the update region alone; the generated one is answered.
        if (msg.message == WM_PAINT && msg.hwnd == window && order.size() > 2) {
            ValidateRect(window, nullptr);
        }
    }
    EXPECT_EQ(order, (std::vector<UINT>{WM_USER, WM_PAINT, WM_USER + 1, WM_PAINT, WM_TIMER}));
    PostQuitMessage(3);
    PostMessageW(window, WM_USER, 0, 0);
    EXPECT_EQ(GetMessageW(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(GetMessageW(&msg, nullptr, 0, 0), FALSE);
    EXPECT_EQ(msg.wParam, 3u);
    DestroyWindow(window);
}

TEST(Timers, FireOnTheVirtualClockAndRestartWhenSetAgain) {
    platform::VirtualClock clock;
    platform::ScopedClock installed(clock);
    RegisterRecordingClass(u"Rec");
    HWND window = MakeMessageTop(u"Rec", 0);
    platform::ScreenDriver driver(&clock);
    const struct {
        std::function<void()> action;
        std::uint64_t stepMs;
        size_t timersSoFar;
    } cases[] = {
        {[&] { SetTimer(window, 2, 1000, nullptr); }, 999, 0},
        {[] {}, 1, 1},
        {[] {}, 700, 1},
        {[&] { SetTimer(window, 2, 1000, nullptr); }, 300, 1}, // restarted at 1700
        {[] {}, 700, 2},
        {[&] { KillTimer(window, 2); }, 5000, 2},
    };
    ClearLog();
    int step = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(step++);
        c.action();
        driver.StepClock(c.stepMs);
        EXPECT_EQ(Numbers(window, {WM_TIMER}).size(), c.timersSoFar);
    }
    EXPECT_FALSE(KillTimer(window, 2));
    DestroyWindow(window);
}

TEST(MessageQueue, PeekWithoutRemovingSeesAnInjectedTap) {
    RegisterRecordingClass(u"Rec");
    HWND window = MakeMessageTop(u"Rec");
    platform::ScreenDriver driver;
    driver.RunUntilIdle();
    platform::InjectStylus(platform::StylusAction::Down, POINT{30, 60});
    MSG msg{};
    const struct {
        UINT remove;
        bool isFound;
    } cases[] = {{PM_NOREMOVE, true}, {PM_NOREMOVE, true}, {PM_REMOVE, true}, {PM_REMOVE, false}};
    for (const auto& c : cases) {
        EXPECT_EQ(PeekMessageW(&msg, nullptr, WM_LBUTTONDOWN, WM_LBUTTONDOWN, c.remove) != FALSE,
                  c.isFound);
    }
    EXPECT_EQ(msg.hwnd, window);
    EXPECT_EQ(GET_X_LPARAM(msg.lParam), 30);
    EXPECT_EQ(GET_Y_LPARAM(msg.lParam), 60 - 26);
    DestroyWindow(window);
}

// Each of two threads owns a window and, while handling a send, sends to the other.
std::atomic<HWND> g_peer{nullptr};
LRESULT PingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_USER) {
        return wParam == 0 ? 1000 : SendMessageW(g_peer.load(), WM_USER, wParam - 1, 0) + 1;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

TEST(SendMessage, TwoThreadsSendingToEachOtherDoNotDeadlock) {
    RegisterRecordingClass(u"Ping", 0, 0, PingProcedure);
    HWND local = MakeMessageTop(u"Ping", 0);
    std::atomic<HWND> remote{nullptr};
    std::atomic<bool> stop{false};
    std::thread other([&] {
        remote = MakeMessageTop(u"Ping", 0);
        MSG msg{};
        while (!stop) {
            if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageW(&msg);
            else
                std::this_thread::yield();
        }
        DestroyWindow(remote);
    });
    while (remote.load() == nullptr)
        std::this_thread::yield();
    // Local asks remote, which asks local (answered while local waits), and so on.
    g_peer = local;
    const struct {
        WPARAM depth;
        LRESULT expected;
    } cases[] = {{0, 1000}, {1, 1001}, {5, 1005}};
    for (const auto& c : cases) {
        EXPECT_EQ(SendMessageW(remote, WM_USER, c.depth, 0), c.expected);
    }
    stop = true;
    other.join();
    EXPECT_EQ(SendMessageW(remote, WM_USER, 0, 0), 0); // its thread has ended
    DestroyWindow(local);
}

// A message another thread sent to a window that is destroyed before its thread served it is
// answered with 0 at once, as is one sent to a window already gone; the procedure never sees it.
TEST(SendMessage, AWindowDestroyedUnservedAnswersItsSendersWithZero) {
    const struct {
        const char* what;
        bool isSentFirst; // the message waits in the queue when the window goes
    } cases[] = {{"waiting when the window goes", true}, {"sent after it went", false}};
    RegisterRecordingClass(u"Unserved", 0, 0, [](HWND window, UINT message, WPARAM, LPARAM) {
        windowtesting::Record(window, message, 0, 0);
        return LRESULT{7};
    });
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        HWND window = MakeMessageTop(u"Unserved", 0);
        ClearLog();
        std::atomic<bool> isSent{false};
        std::atomic<bool> isAnswered{false};
        std::atomic<LRESULT> answer{-1};
        std::thread sender([&] {
            while (!isSent.load()) {
                std::this_thread::yield();
            }
            answer = SendMessageW(window, WM_USER + 5, 0, 0);
            isAnswered = true;
        });
        if (c.isSentFirst) {
            isSent = true;
            ASSERT_TRUE(windowtesting::WaitForSentMessage());
            EXPECT_TRUE(DestroyWindow(window));
        } else {
            EXPECT_TRUE(DestroyWindow(window));
            isSent = true;
        }
        // The sender is answered without this thread taking a message.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!isAnswered.load() && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        EXPECT_TRUE(isAnswered.load());
        MSG msg{};
        while (!isAnswered.load()) { // release a sender left waiting, so that the test ends
            (void)PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
        }
        sender.join();
        EXPECT_EQ(answer.load(), 0);
        EXPECT_EQ(Numbers(window, {WM_USER + 5}), std::vector<UINT>{});
    }
}

TEST(CrossThreadCalls, ShowAndInvalidateFromAnotherThreadNeverBlock) {
    RegisterRecordingClass(u"Rec");
    HWND window = MakeMessageTop(u"Rec", 0);
    platform::ScreenDriver driver;
    driver.RunUntilIdle();
    ClearLog();
    std::thread other([&] {
        ShowWindow(window, SW_SHOWNA);
        SetWindowPos(window, nullptr, 0, 0, 100, 100, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        InvalidateRect(window, nullptr, TRUE);
        RECT rect{};
        EXPECT_TRUE(GetClientRect(window, &rect));
    });
    other.join();
    EXPECT_TRUE(Numbers(window).empty()); // nothing ran on the other thread
    driver.RunUntilIdle();
    EXPECT_EQ(Numbers(window),
              (std::vector<UINT>{WM_SHOWWINDOW, WM_SIZE, WM_PAINT, WM_ERASEBKGND}));
    EXPECT_TRUE(IsWindowVisible(window));
    DestroyWindow(window);
}

LRESULT g_eraseResult = 0;
HDC g_eraseDc = nullptr;
PAINTSTRUCT g_paint{};
RECT g_clipBox{};
LRESULT PaintingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    windowtesting::Record(window, message, wParam, lParam);
    if (message == WM_ERASEBKGND) {
        g_eraseDc = reinterpret_cast<HDC>(wParam);
        return g_eraseResult;
    }
    if (message == WM_PAINT) {
        BeginPaint(window, &g_paint);
        GetClipBox(g_paint.hdc, &g_clipBox);
        EndPaint(window, &g_paint);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

TEST(Painting, EraseComesFirstWithTheDcAndIsSuppressedByItsHandler) {
    RegisterRecordingClass(u"Paint", 0, 0, PaintingProcedure);
    HWND window = MakeMessageTop(u"Paint", WS_VISIBLE);
    platform::ScreenDriver driver;
    driver.RunUntilIdle();
    const struct {
        BOOL erase;
        LRESULT handlerResult;
        std::vector<UINT> messages;
        BOOL fErase;
    } cases[] = {
        {FALSE, 0, {WM_PAINT}, FALSE},
        {TRUE, 0, {WM_PAINT, WM_ERASEBKGND}, TRUE},
        {TRUE, 1, {WM_PAINT, WM_ERASEBKGND}, FALSE},
    };
    for (const auto& c : cases) {
        ClearLog();
        g_eraseResult = c.handlerResult;
        g_eraseDc = nullptr;
        RECT first{10, 10, 20, 20};
        RECT second{30, 5, 40, 15};
        InvalidateRect(window, &first, c.erase);
        InvalidateRect(window, &second, FALSE);
        driver.RunUntilIdle();
        EXPECT_EQ(Numbers(window), c.messages);
        EXPECT_EQ(g_paint.fErase, c.fErase);
        if (c.erase) {
            EXPECT_EQ(g_eraseDc, g_paint.hdc);
        }
        EXPECT_EQ(std::vector<LONG>({g_paint.rcPaint.left, g_paint.rcPaint.top,
                                     g_paint.rcPaint.right, g_paint.rcPaint.bottom}),
                  std::vector<LONG>({10, 5, 40, 20}));
        EXPECT_EQ(g_clipBox.right, 40);
        EXPECT_FALSE(GetUpdateRect(window, nullptr, FALSE)); // validated
    }
    DestroyWindow(window);
}

TEST(Painting, UpdateNowPaintsAtOnceAndClippingStylesShapeTheDc) {
    RegisterRecordingClass(u"Paint", 0, 0, PaintingProcedure);
    RegisterRecordingClass(u"Rec");
    HWND window = CreateWindowExW(0, u"Paint", u"", WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 100, 100,
                                  nullptr, nullptr, nullptr, nullptr);
    HWND child = CreateWindowExW(0, u"Rec", u"", WS_CHILD | WS_VISIBLE, 10, 10, 20, 20, window,
                                 nullptr, nullptr, nullptr);
    HWND sibling = CreateWindowExW(0, u"Rec", u"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 20, 20,
                                   40, 40, window, nullptr, nullptr, nullptr);
    HWND overlap = CreateWindowExW(0, u"Rec", u"", WS_CHILD | WS_VISIBLE, 50, 50, 20, 20, window,
                                   nullptr, nullptr, nullptr);
    platform::ScreenDriver driver;
    driver.RunUntilIdle();
    ClearLog();
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    EXPECT_EQ(Numbers(window), (std::vector<UINT>{WM_PAINT}));
    // Children are repainted with their parent only where the parent paints over them: also
    // where two areas beside the child join into one box that covers it.
    const RECT aroundChild{0, 0, 25, 25};
    const RECT corner{0, 0, 5, 5};
    const RECT farCorner{35, 35, 40, 40};
    const struct {
        DWORD parentStyle;
        UINT flags;
        size_t childPaints;
        std::vector<RECT> areas;
    } invalidations[] = {
        {WS_CLIPCHILDREN, RDW_INVALIDATE, 0, {aroundChild}},
        {WS_CLIPCHILDREN, RDW_INVALIDATE | RDW_ALLCHILDREN, 1, {aroundChild}},
        {0, RDW_INVALIDATE, 1, {aroundChild}},
        {0, RDW_INVALIDATE | RDW_NOCHILDREN, 0, {aroundChild}},
        {0, RDW_INVALIDATE, 1, {corner, farCorner}},
        {WS_CLIPCHILDREN, RDW_INVALIDATE, 0, {corner, farCorner}},
    };
    for (const auto& c : invalidations) {
        SetWindowLongW(window, GWL_STYLE, WS_VISIBLE | c.parentStyle);
        ClearLog();
        for (const RECT& area : c.areas)
            RedrawWindow(window, &area, nullptr, c.flags);
        driver.RunUntilIdle();
        EXPECT_EQ(Numbers(child, {WM_PAINT}).size(), c.childPaints);
        EXPECT_TRUE(Numbers(overlap, {WM_PAINT}).empty()); // outside the area
    }
    SetWindowLongW(window, GWL_STYLE, WS_VISIBLE | WS_CLIPCHILDREN);
    HDC parentDc = GetDC(window);
    HDC siblingDc = GetDC(sibling);
    const struct {
        HDC dc;
        int x;
        int y;
        BOOL isVisible;
    } cases[] = {
        {parentDc, 5, 5, TRUE},     {parentDc, 15, 15, FALSE}, // child cut out
        {parentDc, 55, 55, FALSE},  {siblingDc, 5, 5, TRUE},
        {siblingDc, 35, 35, FALSE}, // the higher sibling overlapping (50, 50) is cut out
        {siblingDc, 45, 45, FALSE}, // outside its client area
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.x);
        EXPECT_EQ(PtVisible(c.dc, c.x, c.y), c.isVisible);
    }
    RECT box{};
    EXPECT_EQ(GetClipBox(parentDc, &box), COMPLEXREGION);
    EXPECT_EQ(box.right, 100);
    ReleaseDC(window, parentDc);
    ReleaseDC(sibling, siblingDc);
    EXPECT_EQ(GetClipBox(parentDc, &box), ERROR_REGION);
    DestroyWindow(window);
}

} // namespace
