#include "utilities/usefulcode/autoevent.h"

#include "platform/kernel/sync.h"

AutoEvent::AutoEvent()
    : m_event(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}

AutoEvent::~AutoEvent() {
    if (thread != nullptr) {
        CloseHandle(thread);
    }
    if (m_event != nullptr) {
        CloseHandle(m_event);
    }
}

bool AutoEvent::Set() const {
    return m_event != nullptr && SetEvent(m_event) != FALSE;
}
