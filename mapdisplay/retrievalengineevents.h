#pragma once
// The event part of every retrieval engine: the opened and closed signals. The engine fires them
// outside its lock, after a successful Open and after Close; they fire without a lock of their
// own, so connections are made before other threads use the engine.

#include "utilities/usefulcode/eventsource.h"

class RetrievalEngineEvents {
public:
    RetrievalEngineEvents() = default;
    RetrievalEngineEvents(const RetrievalEngineEvents&) = delete;
    RetrievalEngineEvents& operator=(const RetrievalEngineEvents&) = delete;

    void NotifyOpened() { m_opened.Emit(); }
    void NotifyClosed() { m_closed.Emit(); }

    [[nodiscard]] SingleThreadedEventSource<>& Opened() { return m_opened; }
    [[nodiscard]] SingleThreadedEventSource<>& Closed() { return m_closed; }

protected:
    ~RetrievalEngineEvents() = default;

private:
    SingleThreadedEventSource<> m_opened;
    SingleThreadedEventSource<> m_closed;
};
