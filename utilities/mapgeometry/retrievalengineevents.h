#pragma once
// The event part of every retrieval engine: the opened and closed signals. The engine fires them
// outside its lock, after a successful Open and after Close. The signals are locked: listeners
// such as the map matcher's front connect and disconnect while other threads use the engine.

#include "utilities/usefulcode/eventsource.h"

class RetrievalEngineEvents {
public:
    RetrievalEngineEvents() = default;
    RetrievalEngineEvents(const RetrievalEngineEvents&) = delete;
    RetrievalEngineEvents& operator=(const RetrievalEngineEvents&) = delete;

    void NotifyOpened() { m_opened.Emit(); }
    void NotifyClosed() { m_closed.Emit(); }

    [[nodiscard]] EventSource<>& Opened() { return m_opened; }
    [[nodiscard]] EventSource<>& Closed() { return m_closed; }

protected:
    ~RetrievalEngineEvents() = default;

private:
    EventSource<> m_opened;
    EventSource<> m_closed;
};
