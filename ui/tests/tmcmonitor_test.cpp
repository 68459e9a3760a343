#include "ui/shellhelpers.h"
#include "ui/tmcmonitor.h"

#include "platform/window/message.h"
#include "platform/window/shell.h"
#include "platform/window/testdriver.h"
#include "platform/window/window.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
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

// A dialog that records what the monitor hands it; Show makes a window the first time.
class RecordingTmcDialog : public TmcMessageDialog {
public:
    struct Log {
        std::vector<std::u16string> lines;
        std::vector<UINT> icons;
        std::u16string status;
        int dataCalls = 0;
        int shows = 0;
        int closes = 0;
    };
    RecordingTmcDialog(Log& log, bool makesWindow)
        : log_(log)
        , makesWindow_(makesWindow) {}
    ~RecordingTmcDialog() override {
        if (window_ != nullptr)
            DestroyWindow(window_);
    }
    void SetData(const std::vector<std::u16string>& lines,
                 const std::vector<UINT>& icons) override {
        log_.lines = lines;
        if (!icons.empty())
            log_.icons = icons;
        ++log_.dataCalls;
    }
    void SetStatusText(std::u16string_view text) override { log_.status = text; }
    [[nodiscard]] HWND GetHwnd() const override { return window_; }
    void Show() override {
        ++log_.shows;
        if (window_ == nullptr && makesWindow_) {
            window_ = CreateWindowExW(0, u"Static", u"", WS_POPUP | WS_VISIBLE, 30, 40, 50, 60,
                                      nullptr, nullptr, nullptr, nullptr);
        } else if (window_ != nullptr) {
            ShowWindow(window_, SW_SHOW);
        }
    }
    void Close() override { ++log_.closes; }
    void Hide() { ShowWindow(window_, SW_HIDE); }

private:
    Log& log_;
    bool makesWindow_;
    HWND window_ = nullptr;
};

TmcListEntry MonitorEntry(std::uint32_t id, std::u16string event, bool isLocated = true) {
    return TmcListEntry{id, u"Vaduz", std::move(event), isLocated};
}

TEST(TmcMonitor, ListsKeepLinesIconsAndIdsInStep) {
    RecordingTmcDialog::Log log; // outlives the monitor, which closes the dialog
    TmcMonitor monitor;
    monitor.SetDialog(std::make_unique<RecordingTmcDialog>(log, false));
    Listener listener;
    monitor.GetEvent().Connect(&listener, &Listener::OnEvent);
    const struct {
        const char* name;
        bool isAdd;
        TmcListEntry entry; // for a removal only its id counts
        std::vector<std::u16string> lines;
        std::vector<UINT> icons;
        std::vector<std::uint32_t> ids;
    } steps[] = {
        {"add", true, MonitorEntry(7, u"Stau"), {u"Vaduz\nStau\n"}, {4}, {7}},
        {"add unlocated",
         true,
         MonitorEntry(9, u"Glatteis", false),
         {u"Vaduz\nStau\n", u"Vaduz\nGlatteis\n"},
         {4, 3},
         {7, 9}},
        {"duplicate id",
         true,
         MonitorEntry(7, u"Unfall"),
         {u"Vaduz\nStau\n", u"Vaduz\nGlatteis\n"},
         {4, 3},
         {7, 9}},
        {"same text, other id",
         true,
         MonitorEntry(11, u"Stau", false),
         {u"Vaduz\nStau\n", u"Vaduz\nGlatteis\n", u"Vaduz\nStau\n"},
         {4, 3, 3},
         {7, 9, 11}},
        {"remove one of two equal texts",
         false,
         MonitorEntry(11, u""),
         {u"Vaduz\nStau\n", u"Vaduz\nGlatteis\n"},
         {4, 3},
         {7, 9}},
        {"unlisted removal",
         false,
         MonitorEntry(42, u""),
         {u"Vaduz\nStau\n", u"Vaduz\nGlatteis\n"},
         {4, 3},
         {7, 9}},
        // Replacing: the old message removed, the new one added.
        {"replace: remove", false, MonitorEntry(7, u""), {u"Vaduz\nGlatteis\n"}, {3}, {9}},
        {"replace: add",
         true,
         MonitorEntry(8, u"Stau aufgel\u00f6st"),
         {u"Vaduz\nGlatteis\n", u"Vaduz\nStau aufgel\u00f6st\n"},
         {3, 4},
         {9, 8}},
        {"remove", false, MonitorEntry(9, u""), {u"Vaduz\nStau aufgel\u00f6st\n"}, {4}, {8}},
        {"remove the last", false, MonitorEntry(8, u""), {}, {}, {}},
        {"remove from an empty list", false, MonitorEntry(8, u""), {}, {}, {}},
    };
    int events = 0;
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        if (step.isAdd) {
            monitor.AddEntry(step.entry);
        } else {
            monitor.RemoveEntry(step.entry.id);
        }
        EXPECT_EQ(listener.calls, ++events) << "every change fires the event";
        EXPECT_EQ(monitor.GetLines(), step.lines);
        EXPECT_EQ(monitor.GetIcons(), step.icons);
        EXPECT_EQ(monitor.GetLineIds(), step.ids);
        EXPECT_EQ(monitor.GetMessageCount(), static_cast<int>(step.lines.size()));
        EXPECT_EQ(log.lines, step.lines) << "the dialog follows";
    }
    monitor.GetEvent().Disconnect(&listener);
}

TEST(TmcMonitor, ShowMessagesByReceiverStateAndCount) {
    const struct {
        const char* name;
        int state;
        bool hasMessage;
        bool hasDialog;
        bool shown;
    } cases[] = {
        {"state 1 with a message", 1, true, true, false},
        {"state 2 without messages", 2, false, true, false},
        {"state 2 with a message", 2, true, true, true},
        {"state 3 without messages: the empty dialog", 3, false, true, true},
        {"state 3 with a message", 3, true, true, true},
        {"no dialog", 3, true, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingTmcDialog::Log log;
        TmcMonitor monitor;
        if (c.hasDialog)
            monitor.SetDialog(std::make_unique<RecordingTmcDialog>(log, false));
        if (c.hasMessage)
            monitor.AddEntry(MonitorEntry(1, u"Stau"));
        monitor.SetStatusText(u"Radio L 87.5 MHz");
        monitor.SetReceiverState(c.state);
        log = {};
        monitor.ShowMessages();
        EXPECT_EQ(log.shows, c.shown ? 1 : 0);
        EXPECT_EQ(log.status, c.shown ? u"Radio L 87.5 MHz" : u"");
        EXPECT_EQ(log.lines.size(), c.shown && c.hasMessage ? 1U : 0U);
    }
}

TEST(TmcMonitor, FirstShowingTakesTheWholeScreenAndVisibilityFollowsTheWindow) {
    platform::ScreenDriver driver;
    RecordingTmcDialog::Log log; // outlives the monitor, which closes the dialog
    TmcMonitor monitor;
    auto owned = std::make_unique<RecordingTmcDialog>(log, true);
    RecordingTmcDialog* dialog = owned.get();
    monitor.SetDialog(std::move(owned));
    EXPECT_FALSE(monitor.IsDialogVisible());
    EXPECT_EQ(monitor.GetVisibleDialogWindow(), nullptr);
    ASSERT_TRUE(platform::IsTaskBarShown());
    monitor.SetReceiverState(3);
    monitor.ShowMessages();
    HWND window = dialog->GetHwnd();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(GetActiveWindow(), window);
    EXPECT_FALSE(platform::IsTaskBarShown());
    RECT rect{};
    GetWindowRect(window, &rect);
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.top, 0);
    EXPECT_EQ(rect.right, 240);
    EXPECT_EQ(rect.bottom, 320);
    EXPECT_TRUE(monitor.IsDialogVisible());
    EXPECT_EQ(monitor.GetVisibleDialogWindow(), window);

    // Hidden and shown again: no second switch to full screen.
    dialog->Hide();
    EXPECT_FALSE(monitor.IsDialogVisible());
    EXPECT_EQ(monitor.GetVisibleDialogWindow(), nullptr);
    EXPECT_TRUE(ShowTaskBar(window, true));
    MoveWindow(window, 5, 5, 20, 20, FALSE);
    monitor.ShowMessages();
    EXPECT_TRUE(platform::IsTaskBarShown());
    GetWindowRect(window, &rect);
    EXPECT_EQ(rect.left, 5);
    EXPECT_TRUE(monitor.IsDialogVisible());

    monitor.CloseDialog();
    EXPECT_EQ(log.closes, 1);
    EXPECT_EQ(monitor.GetDialog(), nullptr);
    EXPECT_FALSE(monitor.IsDialogVisible());
    monitor.CloseDialog(); // nothing left to close
    EXPECT_EQ(log.closes, 1);
    ShowTaskBar(nullptr, true);
}

TEST(TmcMonitor, StatusTextKeeps49CharactersAndReachesTheDialog) {
    RecordingTmcDialog::Log log;
    TmcMonitor monitor;
    monitor.SetStatusText(u"before the dialog");
    monitor.SetDialog(std::make_unique<RecordingTmcDialog>(log, false));
    const std::u16string longText(60, u'x');
    monitor.SetStatusText(longText);
    EXPECT_EQ(monitor.GetStatusText(), longText.substr(0, 49));
    EXPECT_EQ(log.status, longText.substr(0, 49));
    EXPECT_EQ(&TmcMonitor::Instance(), &TmcMonitor::Instance());
}

} // namespace
