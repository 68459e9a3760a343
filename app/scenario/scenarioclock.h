#pragma once
// The clock of a scenario run: a virtual clock that the steps move on (stepped), or that a
// keeper thread moves at a chosen multiple of real time (paced) from the moment the program
// first waits for input. Otherwise the keeper moves it only once the user-interface thread has
// been away from its idle loop for a second, in steps of 100 ms, each while that thread is
// blocked in a wait and no thread the clock woke is at work, so that a timed wait on that thread
// (or a wait for a thread that waits for the clock) cannot hang the run.

#include "platform/kernel/time.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

class ScenarioClock {
public:
    // speed 0: stepped; above 0: virtual milliseconds per real millisecond.
    explicit ScenarioClock(double speed);

    [[nodiscard]] platform::VirtualClock& Virtual() { return m_clock; }
    [[nodiscard]] bool IsPaced() const { return m_speed > 0.0; }
    // The user-interface thread is idle now (any thread).
    void NoteIdle();
    // Installs the clock and runs body with the keeper thread beside it; body's result.
    int Run(const std::function<int()>& body);

private:
    void Keep();
    // The user-interface thread waits, and only the clock can end the wait.
    [[nodiscard]] bool IsHeldByTheClock() const;

    platform::VirtualClock m_clock;
    double m_speed;
    std::atomic<std::int64_t> m_lastIdleMs{0}; // steady clock
    std::atomic<bool> m_hasBeenIdle{false};
    std::thread::id m_userInterfaceThread; // set before the keeper starts
    std::mutex m_mutex;
    std::condition_variable m_stop;
    bool m_isStopping = false;
};
