#include "utilities/usefulcode/eventhandler.h"

#include "utilities/usefulcode/eventsourcebody.h"

void EventHandler::DetachFromSource() {
    if (m_body != nullptr) {
        m_body->EraseHandler(this);
    }
}

void EventHandler::DetachFromTarget() {
    if (m_target != nullptr) {
        m_target->Remove(this);
    }
}

CritSect* EventHandler::GetSourceLock() const noexcept {
    return m_body != nullptr ? m_body->GetLock() : nullptr;
}

bool EventHandler::IsInvokedElsewhere() const noexcept {
    return m_body != nullptr && m_body->IsInvokedElsewhere(this);
}
