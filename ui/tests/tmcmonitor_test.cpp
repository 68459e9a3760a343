#include "ui/tmcmonitor.h"

#include "platform/window/message.h"
#include "platform/window/testdriver.h"
#include "platform/window/window.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

HWND MakeWindow(DWORD style) {
    return CreateWindowExW(0, u"Static", u"", style, 0, 0, 20, 20, nullptr, nullptr, nullptr,
                           nullptr);
}

struct Listener {
    OwnerHandlerList handlers;
    int calls = 0;
    OwnerHandlerList& GetOwnerHandlerList() { return handlers; }
    void OnEvent() { ++calls; }
};

TEST(TmcMonitor, StartsUnavailableAndRepaintsTheOwnerOnEveryStateChange) {
    TmcMonitor monitor;
    EXPECT_EQ(monitor.GetReceiverState(), 1);
    EXPECT_EQ(monitor.GetMessageCount(), 0);
    EXPECT_EQ(monitor.GetOwnerWindow(), nullptr);
    monitor.SetReceiverState(2); // no owner: nothing to repaint

    HWND owner = MakeWindow(WS_VISIBLE);
    platform::MessageSpy spy(owner, {WM_PAINT});
    monitor.SetOwnerWindow(owner);
    const struct {
        int state;
        bool fromOtherThread;
    } cases[] = {{3, false}, {0, false}, {2, true}};
    platform::ScreenDriver driver;
    driver.RunUntilIdle();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.state);
        spy.Clear();
        if (c.fromOtherThread) {
            std::thread([&monitor, &c] { monitor.SetReceiverState(c.state); }).join();
        } else {
            monitor.SetReceiverState(c.state);
        }
        EXPECT_EQ(monitor.GetReceiverState(), c.state);
        driver.RunUntilIdle();
        EXPECT_EQ(spy.Numbers(), std::vector<UINT>{WM_PAINT});
    }
    monitor.SetMessageCount(7);
    EXPECT_EQ(monitor.GetMessageCount(), 7);
    DestroyWindow(owner);
}

TEST(TmcMonitor, NamesTheDialogOnlyWhileItIsVisible) {
    TmcMonitor monitor;
    HWND shown = MakeWindow(WS_VISIBLE);
    HWND hidden = MakeWindow(0);
    const struct {
        HWND dialog;
        HWND expected;
    } cases[] = {{nullptr, nullptr}, {hidden, nullptr}, {shown, shown}};
    for (const auto& c : cases) {
        monitor.SetDialogWindow(c.dialog);
        EXPECT_EQ(monitor.GetVisibleDialogWindow(), c.expected);
    }
    DestroyWindow(shown);
    DestroyWindow(hidden);
    EXPECT_EQ(monitor.GetVisibleDialogWindow(), nullptr) << "a destroyed dialog is not shown";
}

TEST(TmcMonitor, ShowMessagesRunsTheActionSetLastAndTheEventReachesItsTargets) {
    TmcMonitor monitor;
    monitor.ShowMessages(); // no action: nothing
    int first = 0;
    int second = 0;
    monitor.SetShowMessagesAction([&first] { ++first; });
    monitor.ShowMessages();
    monitor.SetShowMessagesAction([&second] { ++second; });
    monitor.ShowMessages();
    monitor.ShowMessages();
    monitor.SetShowMessagesAction({});
    monitor.ShowMessages();
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 2);

    Listener listener;
    monitor.GetEvent().Connect(&listener, &Listener::OnEvent);
    monitor.GetEvent().Emit();
    EXPECT_EQ(listener.calls, 1);
    EXPECT_EQ(&TmcMonitor::Instance(), &TmcMonitor::Instance());
}

} // namespace
