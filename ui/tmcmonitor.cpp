#include "ui/tmcmonitor.h"

#include "platform/window/message.h"
#include "platform/window/window.h"

#include <utility>

TmcMonitor& TmcMonitor::Instance() {
    static TmcMonitor monitor;
    return monitor;
}

void TmcMonitor::SetReceiverState(int state) {
    m_receiverState.store(state);
    HWND owner = m_ownerWindow.load();
    if (owner != nullptr)
        PostMessageW(owner, WM_PAINT, 0, 0);
}

HWND TmcMonitor::GetVisibleDialogWindow() const {
    HWND dialog = m_dialogWindow.load();
    return dialog != nullptr && IsWindowVisible(dialog) ? dialog : nullptr;
}

void TmcMonitor::ShowMessages() {
    std::function<void()> action;
    {
        std::lock_guard lock(m_actionMutex);
        action = m_showMessages;
    }
    if (action)
        action();
}

void TmcMonitor::SetShowMessagesAction(std::function<void()> action) {
    std::lock_guard lock(m_actionMutex);
    m_showMessages = std::move(action);
}
