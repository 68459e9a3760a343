#pragma once
// The process-wide TMC state that the TMC indicators of the pages show: the receiver state, the
// number of listed messages, the indicator window that is repainted and owns the TMC message
// boxes, the window of the message dialog and the action that shows the messages. The values
// may be read and set from any thread; the event fires on the thread that emits it.

#include "utilities/usefulcode/eventsource.h"

#include "platform/types.h"

#include <atomic>
#include <functional>
#include <mutex>

class TmcMonitor {
public:
    // The one monitor of the process.
    [[nodiscard]] static TmcMonitor& Instance();

    TmcMonitor() = default;
    TmcMonitor(const TmcMonitor&) = delete;
    TmcMonitor& operator=(const TmcMonitor&) = delete;

    // The monitor's signal; every TMC indicator connects to it.
    [[nodiscard]] EventSource<>& GetEvent() { return m_event; }

    // 0 none, 1 receiver not available (the start value), 2 running without TMC data, 3 TMC data
    // received. Setting it posts WM_PAINT to the owner window when there is one.
    [[nodiscard]] int GetReceiverState() const { return m_receiverState.load(); }
    void SetReceiverState(int state);
    // Number of listed messages, 0 at the start.
    [[nodiscard]] int GetMessageCount() const { return m_messageCount.load(); }
    void SetMessageCount(int count) { m_messageCount.store(count); }

    // The TMC indicator of the active page: repainted on changes, owner of the TMC message boxes.
    [[nodiscard]] HWND GetOwnerWindow() const { return m_ownerWindow.load(); }
    void SetOwnerWindow(HWND window) { m_ownerWindow.store(window); }

    // The message dialog's window while it is shown, otherwise null.
    [[nodiscard]] HWND GetVisibleDialogWindow() const;
    void SetDialogWindow(HWND window) { m_dialogWindow.store(window); }

    // Runs the action set last (nothing when none is set). The action runs without a lock held.
    void ShowMessages();
    // An empty function removes the action.
    void SetShowMessagesAction(std::function<void()> action);

private:
    EventSource<> m_event;
    std::atomic<int> m_receiverState{1};
    std::atomic<int> m_messageCount{0};
    std::atomic<HWND> m_ownerWindow{nullptr};
    std::atomic<HWND> m_dialogWindow{nullptr};
    std::mutex m_actionMutex;
    std::function<void()> m_showMessages;
};
