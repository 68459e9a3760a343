#pragma once
// A thread holder: an auto-reset event (not signalled at creation, closed with the holder) and,
// beside it, the handle and id of the thread that the owner starts. One owner thread; the event
// itself may be set and waited on from any thread.

#include "platform/types.h"

class AutoEvent {
public:
    AutoEvent();
    // Closes the event and, when one is still held, the thread handle (the thread is not
    // stopped; its owner ends and joins it first).
    ~AutoEvent();
    AutoEvent(const AutoEvent&) = delete;
    AutoEvent& operator=(const AutoEvent&) = delete;

    // Null when the event could not be created.
    [[nodiscard]] HANDLE GetEvent() const { return m_event; }
    // False when there is no event.
    bool Set() const;

    HANDLE thread = nullptr; // the owner's thread, null when none was started
    DWORD threadId = 0;      // non-zero while the thread runs

private:
    HANDLE m_event;
};
